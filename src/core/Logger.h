#pragma once
// Levelled logging. Every part of the program fetches the current logger and
// logs with a level, its source file and line, and a printf-style format:
//
//     TLOG(kLogError, u"Failed to send %s", name);
//
// A line is kept when its level is not above the logger's threshold, which is
// the "Tabrine" value of the Trace key, re-read at most every 10 seconds.
// Levels: -3 fatal, -2 warning or error, -1 and 0 information, 1 and up trace
// detail (4 decoded MIDI traffic, 9 function entry and buffer states).

#include "core/Format.h"
#include "core/RefCounted.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <atomic>
#include <cstdint>
#include <deque>
#include <mutex>
#include <span>
#include <vector>

/// The levels lines are logged at. A line is kept when its level is not above
/// the logger's threshold.
inline constexpr int kLogFatal = -3;      ///< the program cannot go on
inline constexpr int kLogError = -2;      ///< a warning or an error
inline constexpr int kLogNotice = -1;     ///< something the user may want to know
inline constexpr int kLogInfo = 0;        ///< start and end of the program
inline constexpr int kLogDumpStep = 1;    ///< each step of saving the edit buffer
inline constexpr int kLogOperation = 4;   ///< an operation begins (decoded MIDI traffic)
inline constexpr int kLogPortDetail = 5;  ///< ports opened and closed, file properties, upload ends
inline constexpr int kLogBlockDetail = 6; ///< each block of a preset upload and its answer
inline constexpr int kLogDeviceDetail = 7; ///< what the module told about itself
inline constexpr int kLogFlow = 8;        ///< function entry and how each reply was matched
inline constexpr int kLogBytes = 9;       ///< raw bytes and buffer states

/// Bits of the line layout, applied in this order.
enum LogFormatFlags : unsigned {
    LogSourceFile = 0x1,
    LogSourceLine = 0x2,
    LogDate = 0x4,
    LogTime = 0x8,
    LogLevelTag = 0x10,
    LogNewline = 0x20,
    LogProcessId = 0x40,
    LogThreadId = 0x80,
    LogName = 0x100,
};

/// The flags both of the program's loggers use: date, time, level tag, newline.
inline constexpr unsigned kDefaultLogFlags = 0x3C;
/// The longest line a logger builds, terminating null included.
inline constexpr int kLogLineSize = 4096;

class Logger : public RefCountedObject {
public:
    Logger(const QString& name, unsigned flags);

    /// Formats and outputs the line when level passes the threshold.
    virtual void LogV(int level, const char* sourceFile, int line, QStringView format, std::span<const FormatArg> args);

    template <class... A>
    void Log(int level, const char* sourceFile, int line, QStringView format, const A&... args)
    {
        if constexpr (sizeof...(A) == 0) {
            LogV(level, sourceFile, line, format, {});
        } else {
            const FormatArg list[] = {FormatArg(args)...};
            LogV(level, sourceFile, line, format, std::span<const FormatArg>(list, sizeof...(A)));
        }
    }

    /// Where a finished line goes; the base writes it to standard error.
    virtual void Output(int level, const QString& line);

    /// The threshold, re-read from the Trace key when the last read is more
    /// than 10 s old (the first call always reads). A DWORD reads as a signed
    /// number, a text as by RegistryKey::ReadDword ("9", "-2"); when the key or
    /// the value is missing it is created with the current threshold; a
    /// value of another type leaves the threshold as it was. Only the main
    /// thread reads the store: other threads get the threshold it last read.
    int GetTraceLevel();

    /// The millisecond clock the 10 s re-read interval is measured on; null
    /// restores the steady clock. Tests install a clock they move by hand.
    using TickSource = std::int64_t (*)();
    static void SetTickSource(TickSource source);

    const QString& Name() const { return m_name; }
    unsigned Flags() const { return m_flags; }

    /// Builds one line as the flags lay it out, cut to size - 1 characters:
    /// the level tag only while more than 9 characters are left, the newline
    /// only while the text is shorter than size - 2.
    /// The date is the system locale's short date, the time its time of day
    /// in 24-hour form (LogTimeFormat).
    static QString FormatLine(unsigned flags, const QString& name, int level, const char* sourceFile, int line,
                              const QString& message, int size = kLogLineSize);
    /// FormatLine at a given moment in a given locale.
    static QString FormatLineAt(unsigned flags, const QString& name, int level, const char* sourceFile, int line,
                                const QString& message, int size, const QDateTime& now, const QLocale& locale);
    /// The locale's time-of-day format forced to 24 hours: hours as "H",
    /// without AM/PM marker or time zone ("h:mm:ss AP t" becomes "H:mm:ss").
    static QString LogTimeFormat(const QLocale& locale);
    /// "FATAL  : ", "WARNING: ", "INFO   : " or "LEVEL %d: ".
    static QString LevelTag(int level);

    /// Makes the next GetTraceLevel read the store (the log window, after the
    /// user typed a new level).
    void ForgetLastRead() { m_lastRead.store(kNeverRead); }

private:
    static constexpr std::int64_t kNeverRead = INT64_MIN;

    QString m_name;
    unsigned m_flags;
    std::atomic<int> m_threshold{0};
    std::atomic<std::int64_t> m_lastRead{kNeverRead};
};

/// The start-up logger: keeps lines for a log window that opens later (at most
/// kTmpLogStoreCapacity, the oldest dropped first, as the window keeps no more
/// either), appends them to the log file, and writes them to standard error.
/// Any thread may log through it; every access to the waiting lines and every
/// append to the file is serialised.
class TmpLogStore final : public Logger {
public:
    /// Reads the threshold and the log file path, and deletes that file so it
    /// holds only this run.
    TmpLogStore(const QString& name, unsigned flags);
    void Output(int level, const QString& line) override;

    /// Takes every waiting line, oldest first.
    std::vector<QString> TakeWaiting();
    /// Appends the line to the log file: UTF-16LE, FF FE when the file is
    /// empty, "\r\n" after the line, the file closed again. Appends from
    /// different threads never interleave. A file that cannot be opened is skipped.
    void AppendToLogFile(const QString& line);
    /// The log file path ("TabrineLog" of the Trace key, expanded); empty for none.
    QString LogFilePath() const;
    /// Re-reads the log file path from the Trace key and deletes that file (start of a run).
    void ResetLogFile();

private:
    mutable std::mutex m_queueLock;
    std::deque<QString> m_waiting;
    mutable std::mutex m_fileLock;
    QString m_path;
};

inline constexpr std::size_t kTmpLogStoreCapacity = 2000;

/// The start-up logger, built on first use.
TmpLogStore& TheTmpLogStore();

/// The log window's logger on the thread that registered the window, else the
/// start-up logger. Lines from other threads never reach a window directly:
/// they wait in the start-up logger until the window takes them on its own
/// thread, so a window being destroyed is never written to from elsewhere.
Logger* CurrentLogger();

/// Makes window the current logger for the calling (user-interface) thread;
/// the window calls it with null before it goes away.
void SetLogWindow(Logger* window);

/// "Software\Brimcote Limited\Tabrine\Trace".
QString GetTraceKeyPath();

/// Stores level, clamped to -3..9, as the DWORD valueName of the Trace key.
void SetTraceLevel(const QString& valueName, int level);

#define TLOG(level, ...) ::CurrentLogger()->Log((level), __FILE__, __LINE__, __VA_ARGS__)
