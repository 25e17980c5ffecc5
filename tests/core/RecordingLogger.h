#pragma once
// A logger for tests: keeps every call it gets (before the threshold) and every
// line it outputs, with the thread that output it. Install it on the test's
// thread with SetLogWindow to see what the code under test logs there.
#include "core/Logger.h"

#include <mutex>
#include <thread>
#include <vector>

class RecordingLogger : public Logger {
public:
    struct Call {
        int level;
        QString sourceFile;
        int line;
        QString format;
        QString message; ///< the format applied to the arguments
    };
    struct Line {
        int level;
        QString text;
        std::thread::id thread;
    };

    RecordingLogger() : Logger(QStringLiteral("Tabrine"), LogLevelTag) {}

    void LogV(int level, const char* sourceFile, int line, QStringView format, std::span<const FormatArg> args) override
    {
        {
            std::lock_guard l(m_lock);
            m_calls.push_back({level, QString::fromLocal8Bit(sourceFile), line, format.toString(), FormatV(format, args)});
        }
        Logger::LogV(level, sourceFile, line, format, args);
    }
    void Output(int level, const QString& line) override
    {
        std::lock_guard l(m_lock);
        m_lines.push_back({level, line, std::this_thread::get_id()});
    }

    std::vector<Call> Calls()
    {
        std::lock_guard l(m_lock);
        return m_calls;
    }
    std::vector<Line> Lines()
    {
        std::lock_guard l(m_lock);
        return m_lines;
    }
    std::vector<int> Levels()
    {
        std::vector<int> out;
        for (const Line& l : Lines())
            out.push_back(l.level);
        return out;
    }
    void Clear()
    {
        std::lock_guard l(m_lock);
        m_calls.clear();
        m_lines.clear();
    }

private:
    std::mutex m_lock;
    std::vector<Call> m_calls;
    std::vector<Line> m_lines;
};

// Makes a RecordingLogger the current logger of this thread for a scope.
class ScopedLogCapture {
public:
    ScopedLogCapture() { SetLogWindow(&m_logger); }
    ~ScopedLogCapture() { SetLogWindow(nullptr); }
    RecordingLogger& operator*() { return m_logger; }
    RecordingLogger* operator->() { return &m_logger; }

private:
    RecordingLogger m_logger;
};
