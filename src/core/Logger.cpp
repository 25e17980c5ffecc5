#include "core/Logger.h"

#include "core/RegistryKey.h"
#include "platform/Process.h"

#include <QFile>
#include <QStringEncoder>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <thread>

namespace {

std::int64_t SteadyMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::atomic<Logger::TickSource> g_tickSource{nullptr};

std::int64_t NowMs()
{
    const Logger::TickSource source = g_tickSource.load();
    return source ? source() : SteadyMs();
}

// The log window and the thread it lives on, read and changed together.
std::mutex g_windowLock;
Logger* g_window = nullptr;
std::thread::id g_windowThread;

} // namespace

Logger::Logger(const QString& name, unsigned flags) : m_name(name), m_flags(flags) {}

QString Logger::LevelTag(int level)
{
    switch (level) {
    case -3:
        return QStringLiteral("FATAL  : ");
    case -2:
        return QStringLiteral("WARNING: ");
    case -1:
    case 0:
        return QStringLiteral("INFO   : ");
    default:
        return Format(u"LEVEL %d: ", level);
    }
}

void Logger::SetTickSource(TickSource source)
{
    g_tickSource.store(source);
}

QString Logger::LogTimeFormat(const QLocale& locale)
{
    // Walk the format's fields: quoted text is kept, hours become 24-hour
    // ("H"), the AM/PM marker and the time zone are left out.
    const QString format = locale.timeFormat(QLocale::LongFormat);
    QString out;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        if (c == u'\'') {
            const qsizetype close = format.indexOf(u'\'', i + 1);
            const qsizetype end = close < 0 ? format.size() : close + 1;
            out += format.mid(i, end - i);
            i = end;
            continue;
        }
        qsizetype run = 1;
        while (i + run < format.size() && format[i + run] == c)
            ++run;
        if (c == u'h' || c == u'H')
            out += QString(std::min<qsizetype>(run, 2), u'H');
        else if (c == u'a' || c == u'A' || c == u'p' || c == u'P' || c == u't')
            ; // marker or zone: dropped
        else
            out += format.mid(i, run);
        i += run;
    }
    out.remove(QStringLiteral("()")); // "H:mm:ss (t)" leaves empty brackets
    return out.simplified();
}

QString Logger::FormatLine(unsigned flags, const QString& name, int level, const char* sourceFile, int line,
                           const QString& message, int size)
{
    if (flags & (LogDate | LogTime))
        return FormatLineAt(flags, name, level, sourceFile, line, message, size, QDateTime::currentDateTime(),
                            QLocale::system());
    return FormatLineAt(flags, name, level, sourceFile, line, message, size, QDateTime(), QLocale::c());
}

QString Logger::FormatLineAt(unsigned flags, const QString& name, int level, const char* sourceFile, int line,
                             const QString& message, int size, const QDateTime& now, const QLocale& locale)
{
    const int room = size - 1; // the last character is the terminating null
    QString out;
    auto append = [&](const QString& part) {
        if (out.size() < room)
            out += part.left(room - out.size());
    };
    const QString file = QString::fromLocal8Bit(sourceFile ? sourceFile : "");
    if ((flags & LogSourceFile) && (flags & LogSourceLine))
        append(Format(u"%s(%d): ", file, line));
    else if (flags & LogSourceFile)
        append(Format(u"%s: ", file));
    else if (flags & LogSourceLine)
        append(Format(u"(%d): ", line));
    if (flags & LogName)
        append(Format(u"%15.15s: ", name));
    if (flags & (LogDate | LogTime)) {
        const QString date = locale.toString(now.date(), QLocale::ShortFormat);
        const QString time = locale.toString(now.time(), LogTimeFormat(locale));
        if ((flags & LogDate) && (flags & LogTime))
            append(Format(u"%s %s: ", date, time));
        else if (flags & LogDate)
            append(Format(u"%s: ", date));
        else
            append(Format(u"%s: ", time));
    }
    if ((flags & LogLevelTag) && room - out.size() > 9)
        append(LevelTag(level));
    if (flags & LogProcessId)
        append(Format(u"%.04d: ", platform::CurrentProcessId()));
    if (flags & LogThreadId)
        append(Format(u"%.04d: ", platform::CurrentThreadId()));
    append(message);
    if ((flags & LogNewline) && out.size() < size - 2)
        out += u'\n';
    return out;
}

void Logger::LogV(int level, const char* sourceFile, int line, QStringView format, std::span<const FormatArg> args)
{
    if (GetTraceLevel() < level)
        return;
    Output(level, FormatLine(m_flags, m_name, level, sourceFile, line, FormatV(format, args)));
}

void Logger::Output(int, const QString& line)
{
    const QByteArray bytes = line.toLocal8Bit();
    std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stderr);
}

int Logger::GetTraceLevel()
{
    // Only the main (user-interface) thread reads the store; every other
    // thread uses the threshold it last read. A thread that logs (the MIDI
    // backend's, under its port lock) must never wait for the settings file,
    // nor write it.
    if (!platform::IsMainThread())
        return m_threshold.load();
    const std::int64_t now = NowMs();
    const std::int64_t last = m_lastRead.load();
    if (last == kNeverRead || std::llabs(now - last) > 10000) {
        m_lastRead.store(now);
        RegistryKey key(GetTraceKeyPath(), false);
        const auto value = key.IsOpen() ? key.ReadValue(m_name) : std::nullopt;
        if (!value) {
            // Created so that it can be found and edited.
            SetTraceLevel(m_name, m_threshold.load());
        } else if (value->type == platform::ValueType::Dword || value->type == platform::ValueType::String
                   || value->type == platform::ValueType::ExpandString
                   || value->type == platform::ValueType::MultiString) {
            m_threshold.store(static_cast<std::int32_t>(key.ReadDword(m_name, 0)));
        }
    }
    return m_threshold.load();
}

QString GetTraceKeyPath()
{
    static const QString path = QString::fromUtf16(kProgramRegistryKey) + QStringLiteral("\\Trace");
    return path;
}

void SetTraceLevel(const QString& valueName, int level)
{
    level = std::clamp(level, -3, 9);
    RegistryKey key(GetTraceKeyPath(), true);
    key.WriteDword(valueName, static_cast<std::uint32_t>(level));
}

TmpLogStore::TmpLogStore(const QString& name, unsigned flags) : Logger(name, flags)
{
    GetTraceLevel();
    ResetLogFile();
}

void TmpLogStore::ResetLogFile()
{
    RegistryKey key(GetTraceKeyPath(), true);
    const QString path = key.ReadString(QStringLiteral("TabrineLog"), QString(), true);
    {
        std::lock_guard l(m_fileLock);
        m_path = path;
    }
    if (!path.isEmpty())
        QFile::remove(path);
}

QString TmpLogStore::LogFilePath() const
{
    std::lock_guard l(m_fileLock);
    return m_path;
}

void TmpLogStore::Output(int level, const QString& line)
{
    {
        std::lock_guard l(m_queueLock);
        m_waiting.push_back(line);
        while (m_waiting.size() > kTmpLogStoreCapacity)
            m_waiting.pop_front();
    }
    AppendToLogFile(line);
    Logger::Output(level, line);
}

std::vector<QString> TmpLogStore::TakeWaiting()
{
    std::lock_guard l(m_queueLock);
    std::vector<QString> out(m_waiting.begin(), m_waiting.end());
    m_waiting.clear();
    return out;
}

void TmpLogStore::AppendToLogFile(const QString& line)
{
    std::lock_guard l(m_fileLock);
    if (m_path.isEmpty())
        return;
    // Opened, appended to and closed for every line, so the file can be read
    // (and deleted by the next run) while the program runs. The mark and the
    // line go out in one write.
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
        return;
    QByteArray bytes;
    if (file.size() == 0)
        bytes.append("\xFF\xFE", 2);
    QStringEncoder toUtf16(QStringEncoder::Utf16LE);
    bytes += toUtf16(line + QStringLiteral("\r\n"));
    file.write(bytes);
}

TmpLogStore& TheTmpLogStore()
{
    static TmpLogStore* store = [] {
        auto* s = new TmpLogStore(QStringLiteral("Tabrine"), kDefaultLogFlags);
        s->AddRef(); // lives for the whole run
        return s;
    }();
    return *store;
}

Logger* CurrentLogger()
{
    {
        std::lock_guard l(g_windowLock);
        if (g_window && g_windowThread == std::this_thread::get_id())
            return g_window;
    }
    return &TheTmpLogStore();
}

void SetLogWindow(Logger* window)
{
    std::lock_guard l(g_windowLock);
    g_window = window;
    g_windowThread = std::this_thread::get_id();
}
