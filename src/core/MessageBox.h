#pragma once
// Every message the program shows the user goes through ShowMessage: a
// string-table format filled with arguments, captioned "Tabrine", optionally
// logged as a warning. Deep code (core, midi, module, dump) never opens a
// window itself: the presenter installed by the application shows the box;
// tests install a recorder with scripted answers.

#include "core/Format.h"

#include <QString>

#include <memory>
#include <span>

class QObject;

/// Message-box styles and results, numbered as the Windows MB_* styles and
/// ID* results, which callers compare.
namespace msgbox {
inline constexpr unsigned Ok = 0x0;
inline constexpr unsigned OkCancel = 0x1;
inline constexpr unsigned AbortRetryIgnore = 0x2;
inline constexpr unsigned YesNoCancel = 0x3;
inline constexpr unsigned YesNo = 0x4;
inline constexpr unsigned RetryCancel = 0x5;
inline constexpr unsigned IconError = 0x10;
inline constexpr unsigned IconQuestion = 0x20;
inline constexpr unsigned IconWarning = 0x30;
inline constexpr unsigned IconInformation = 0x40;
inline constexpr unsigned ButtonsMask = 0xF;
inline constexpr unsigned IconMask = 0xF0;

inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;
inline constexpr int IdAbort = 3;
inline constexpr int IdRetry = 4;
inline constexpr int IdIgnore = 5;
inline constexpr int IdYes = 6;
inline constexpr int IdNo = 7;

/// The answer given when no box can be shown: the choice that changes
/// nothing (OK, No for Yes/No, Cancel where there is one, Ignore for Abort/Retry/Ignore).
int DefaultAnswer(unsigned type);
} // namespace msgbox

/// The caption of every message box.
inline constexpr char16_t kProductName[] = u"Tabrine";
/// The string-table entry "%s": the caller gives the whole text as its argument.
inline constexpr unsigned kPlainText = 157;
/// The longest message text, in characters.
inline constexpr int kMessageTextMax = 4095;

class MessagePresenter {
public:
    virtual ~MessagePresenter() = default;
    /// Shows text and returns the user's answer (a msgbox::Id*). owner is the
    /// caller's window or null for the presenter's own choice.
    virtual int Present(QObject* owner, const QString& text, const QString& caption, unsigned type) = 0;
};

/// Installs the presenter; null restores the headless one, which writes the
/// text to standard error (not to the log) and answers msgbox::DefaultAnswer
/// without blocking.
void SetMessagePresenter(std::shared_ptr<MessagePresenter> presenter);

/// The text of a string-table entry; the empty text for an unknown id.
QString LoadResourceString(unsigned id);

/// Shows string stringId (the empty text when there is none) formatted with
/// args and cut to kMessageTextMax characters, captioned "Tabrine", and returns
/// the answer. With log set, the same text is also logged as exactly one
/// warning line (level -2, source "StdAfx" line 73, format "%s"). Called on the
/// user-interface thread.
int ShowMessageV(QObject* owner, unsigned type, bool log, unsigned stringId, std::span<const FormatArg> args);
/// ShowMessageV through presenter (null: the installed one), for code that
/// was given the presenter of its own (a module connection's).
int ShowMessageWithV(MessagePresenter* presenter, QObject* owner, unsigned type, bool log, unsigned stringId,
                     std::span<const FormatArg> args);

template <class... A>
int ShowMessage(QObject* owner, unsigned type, bool log, unsigned stringId, const A&... args)
{
    if constexpr (sizeof...(A) == 0) {
        return ShowMessageV(owner, type, log, stringId, {});
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return ShowMessageV(owner, type, log, stringId, std::span<const FormatArg>(list, sizeof...(A)));
    }
}

/// ShowMessage through presenter (null: the installed one).
template <class... A>
int ShowMessageWith(MessagePresenter* presenter, QObject* owner, unsigned type, bool log, unsigned stringId,
                    const A&... args)
{
    if constexpr (sizeof...(A) == 0) {
        return ShowMessageWithV(presenter, owner, type, log, stringId, {});
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return ShowMessageWithV(presenter, owner, type, log, stringId, std::span<const FormatArg>(list, sizeof...(A)));
    }
}
