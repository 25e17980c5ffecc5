#pragma once
// Driving the real program from outside, as a user would: it runs as a process of
// its own on the test's X display (Xvfb), tells where its windows and the main
// panel's controls are through its test-only geometry report (src/app/TestGeometry.h,
// the environment's TABRINE_TEST_GEOMETRY), and takes mouse and key input through
// the X server's XTEST extension (xdotool). There is no window manager: a click
// on a window activates it, so keys go to the window last clicked.
//
// Used by the end-to-end test (tests/app/e2e) and the start-up benchmark (bench/).

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QFile>
#include <QProcess>
#include <QRect>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QString>
#include <QStringList>
#include <QThread>

#include <chrono>
#include <functional>
#include <optional>
#include <vector>

#include <signal.h>

/// One reading of the geometry report.
struct GeometryReport {
    struct Window {
        QString name;
        QRect rect;
        QString title;
    };
    struct Item {
        int id = -1;
        QRect rect;
        bool enabled = false;
    };
    std::vector<Window> windows;
    std::vector<Item> items;

    static GeometryReport Parse(const QString& text)
    {
        static const QRegularExpression window(
            QStringLiteral(R"re(^window (\S+) (-?\d+) (-?\d+) (\d+) (\d+) "((?:[^"\\]|\\.)*)"$)re"));
        static const QRegularExpression item(QStringLiteral(R"(^item (\d+) (-?\d+) (-?\d+) (\d+) (\d+) ([01])$)"));
        GeometryReport r;
        for (const QString& line : text.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            if (const QRegularExpressionMatch m = window.match(line); m.hasMatch()) {
                // "\n" stands for a line end, a backslash before any other character for that character.
                const QString quoted = m.captured(6);
                QString title;
                for (qsizetype i = 0; i < quoted.size(); ++i) {
                    if (quoted[i] == QLatin1Char('\\') && i + 1 < quoted.size()) {
                        ++i;
                        title += quoted[i] == QLatin1Char('n') ? QChar(QLatin1Char('\n')) : quoted[i];
                    } else {
                        title += quoted[i];
                    }
                }
                r.windows.push_back({m.captured(1),
                                     QRect(m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt(),
                                           m.captured(5).toInt()),
                                     title});
            } else if (const QRegularExpressionMatch m = item.match(line); m.hasMatch()) {
                r.items.push_back({m.captured(1).toInt(),
                                   QRect(m.captured(2).toInt(), m.captured(3).toInt(), m.captured(4).toInt(),
                                         m.captured(5).toInt()),
                                   m.captured(6) == QStringLiteral("1")});
            }
        }
        return r;
    }

    static GeometryReport Read(const QString& path)
    {
        QFile f(path);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return Parse(QString::fromUtf8(f.readAll()));
    }

    const Item* FindItem(int id) const
    {
        for (const Item& i : items)
            if (i.id == id)
                return &i;
        return nullptr;
    }

    /// The main window: the window around the main panel's items; without items,
    /// the largest window.
    const Window* MainWindow() const
    {
        const Window* best = nullptr;
        for (const Window& w : windows) {
            if (!items.empty() && w.rect.contains(items.front().rect.center()))
                return &w;
            if (!best || w.rect.width() * w.rect.height() > best->rect.width() * best->rect.height())
                best = &w;
        }
        return items.empty() ? best : nullptr;
    }

    /// The windows other than the main window (dialogs, message boxes).
    std::vector<Window> OtherWindows() const
    {
        std::vector<Window> out;
        const Window* main = MainWindow();
        for (const Window& w : windows)
            if (&w != main)
                out.push_back(w);
        return out;
    }

    /// Every one of the items is listed and enabled.
    bool Enabled(const std::vector<int>& ids) const
    {
        for (const int id : ids) {
            const Item* i = FindItem(id);
            if (!i || !i->enabled)
                return false;
        }
        return true;
    }
    /// Every one of the items is listed and disabled.
    bool Disabled(const std::vector<int>& ids) const
    {
        for (const int id : ids) {
            const Item* i = FindItem(id);
            if (!i || i->enabled)
                return false;
        }
        return true;
    }
};

/// Waits until condition holds, asking every pollMs and keeping this process's
/// events going; false on timeout.
inline bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout, int pollMs = 20)
{
    const QDeadlineTimer deadline(timeout);
    while (!condition()) {
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, pollMs);
        QThread::msleep(pollMs);
    }
    return true;
}

/// Runs xdotool with args (XTEST input: mousemove, click, key); false when it failed.
inline bool XDoTool(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("xdotool"), args);
    return p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
}

inline bool HaveXDoTool() { return !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty(); }

/// Moves the pointer to at (screen coordinates) and clicks the left button there.
inline bool ClickAt(QPoint at)
{
    return XDoTool({QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
                    QStringLiteral("click"), QStringLiteral("1")});
}

/// Types one key chord ("ctrl+g", "Escape", "Return") into the window that has the focus.
inline bool PressKey(const QString& chord) { return XDoTool({QStringLiteral("key"), chord}); }

/// Asks a process to end (SIGTERM) and waits for it; false when it had to be killed.
inline bool EndProcess(QProcess& p, int waitMs = 10000)
{
    if (p.state() == QProcess::NotRunning)
        return true;
    ::kill(pid_t(p.processId()), SIGTERM);
    if (p.waitForFinished(waitMs))
        return true;
    p.kill();
    p.waitForFinished(5000);
    return false;
}
