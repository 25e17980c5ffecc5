#include "core/Logger.h"

#include "core/RegistryKey.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QFile>
#include <QLocale>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <thread>

#include <unistd.h>

namespace {

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

std::atomic<Logger*> g_window{nullptr};
std::atomic<std::thread::id> g_windowThread{};

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

QString Logger::FormatLine(unsigned flags, const QString& name, int level, const char* sourceFile, int line,
                           const QString& message, int size)
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
        const QDateTime now = QDateTime::currentDateTime();
        const QString date = QLocale::system().toString(now.date(), QLocale::ShortFormat);
        const QString time = now.time().toString(QStringLiteral("HH:mm:ss"));
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
        append(Format(u"%.04d: ", static_cast<int>(::getpid())));
    if (flags & LogThreadId)
        append(Format(u"%.04d: ", static_cast<int>(std::hash<std::thread::id>{}(std::this_thread::get_id()) % 100000)));
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
    const std::int64_t now = NowMs();
    const std::int64_t last = m_lastRead.load();
    if (last < 0 || std::llabs(now - last) > 10000) {
        m_lastRead.store(now);
        RegistryKey key(GetTraceKeyPath(), false);
        bool have = false;
        if (key.IsOpen()) {
            if (auto v = key.ReadValue(m_name); v && v->type == platform::ValueType::Dword) {
                m_threshold.store(static_cast<std::int32_t>(v->dword));
                have = true;
            }
        }
        if (!have)
            SetTraceLevel(m_name, m_threshold.load());
    }
    return m_threshold.load();
}

QString GetTraceKeyPath()
{
    return QString::fromUtf16(kProgramRegistryKey) + QStringLiteral("\\Trace");
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
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return;
    QByteArray bytes;
    if (file.size() == 0)
        bytes.append("\xFF\xFE", 2);
    const QString text = line + QStringLiteral("\r\n");
    bytes.append(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
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
    Logger* window = g_window.load(std::memory_order_acquire);
    if (window && g_windowThread.load() == std::this_thread::get_id())
        return window;
    return &TheTmpLogStore();
}

void SetLogWindow(Logger* window)
{
    g_windowThread.store(std::this_thread::get_id());
    g_window.store(window, std::memory_order_release);
}
