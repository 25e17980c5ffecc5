#pragma once
// StackedProgress: the progress report of one long operation, scoped to it.
// Construction begins the progress on every listener of the module
// connection, destruction ends it on every way out of the operation, failures
// included. Nested objects each send their own begin and end, inner ones
// between the outer one's; the listener decides how to show nesting.
//
//     StackedProgress progress(proteus, showProgress, 0, count, u"%s %d:%d", text, romId, preset);
//     for (...) { ...; progress.Step(); }
//
// An inactive object does nothing at all. Texts are printf-style (Format) and
// reach the listeners cut to 255 characters.

#include "core/Format.h"

#include <QString>
#include <QStringView>

class ModuleLink;

/// The longest progress text the listeners receive.
inline constexpr int kProgressTextMax = 255;

class StackedProgress {
public:
    template <class... A>
    StackedProgress(ModuleLink* owner, bool active, int lower, int upper, QStringView format, const A&... args)
        : m_owner(owner), m_active(active && owner)
    {
        if (m_active)
            Begin(lower, upper, Format(format, args...));
    }
    virtual ~StackedProgress();
    StackedProgress(const StackedProgress&) = delete;
    StackedProgress& operator=(const StackedProgress&) = delete;

    template <class... A>
    void SetText(QStringView format, const A&... args)
    {
        if (m_active)
            Text(Format(format, args...));
    }
    void Step();

    bool IsActive() const { return m_active; }

    /// text cut to kProgressTextMax characters (never inside a surrogate pair).
    static QString Cut(const QString& text);

private:
    void Begin(int lower, int upper, const QString& text);
    void Text(const QString& text);

    ModuleLink* m_owner;
    bool m_active;
};
