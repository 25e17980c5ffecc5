#include "core/MessageBox.h"

#include "core/Logger.h"

#include <cstdio>
#include <mutex>

int msgbox::DefaultAnswer(unsigned type)
{
    switch (type & ButtonsMask) {
    case YesNo:
        return IdNo;
    case YesNoCancel:
    case OkCancel:
    case RetryCancel:
        return IdCancel;
    case AbortRetryIgnore:
        return IdIgnore;
    default:
        return IdOk;
    }
}

namespace {

// Without a window system the text still reaches the user running the
// program, but not the log: the caller decides what is logged.
class HeadlessPresenter final : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString& caption, unsigned type) override
    {
        const QByteArray line = (caption + QStringLiteral(": ") + text + u'\n').toLocal8Bit();
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        return msgbox::DefaultAnswer(type);
    }
};

std::mutex g_lock;
std::shared_ptr<MessagePresenter> g_presenter;

std::shared_ptr<MessagePresenter> Presenter()
{
    std::lock_guard l(g_lock);
    if (!g_presenter)
        g_presenter = std::make_shared<HeadlessPresenter>();
    return g_presenter;
}

} // namespace

void SetMessagePresenter(std::shared_ptr<MessagePresenter> presenter)
{
    std::lock_guard l(g_lock);
    g_presenter = std::move(presenter);
}

int ShowMessageV(QObject* owner, unsigned type, bool log, unsigned stringId, std::span<const FormatArg> args)
{
    return ShowMessageWithV(nullptr, owner, type, log, stringId, args);
}

int ShowMessageWithV(MessagePresenter* presenter, QObject* owner, unsigned type, bool log, unsigned stringId,
                     std::span<const FormatArg> args)
{
    QString text = FormatV(LoadResourceString(stringId), args);
    if (text.size() > kMessageTextMax)
        text.truncate(kMessageTextMax);
    if (log)
        CurrentLogger()->Log(-2, "StdAfx", 73, u"%s", text);
    const QString caption = QString::fromUtf16(kProductName);
    if (presenter)
        return presenter->Present(owner, text, caption, type);
    return Presenter()->Present(owner, text, caption, type);
}
