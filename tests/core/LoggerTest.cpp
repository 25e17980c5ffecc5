#include "core/Logger.h"

#include "core/RegistryKey.h"

#include "RecordingLogger.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTemporaryDir>

#include <atomic>
#include <map>
#include <thread>

using platform::StoredValue;

namespace {

std::atomic<std::int64_t> g_fakeNow{1'000'000};
std::int64_t FakeNow()
{
    return g_fakeNow.load();
}

class LoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        Logger::SetTickSource(&FakeNow);
    }
    void TearDown() override { Logger::SetTickSource(nullptr); }

    static std::optional<StoredValue> StoredThreshold()
    {
        return platform::CurrentSettingsStore().ReadValue(GetTraceKeyPath(), QStringLiteral("Tabrine"));
    }
    static void Store(const StoredValue& v)
    {
        platform::CurrentSettingsStore().CreateKey(GetTraceKeyPath());
        platform::CurrentSettingsStore().WriteValue(GetTraceKeyPath(), QStringLiteral("Tabrine"), v);
    }
    static void LogEveryLevel(Logger& logger)
    {
        for (int level = -3; level <= 9; ++level)
            logger.Log(level, __FILE__, __LINE__, u"level %d", level);
    }
    static std::vector<int> LevelsUpTo(int threshold)
    {
        std::vector<int> out;
        for (int level = -3; level <= std::min(threshold, 9); ++level)
            out.push_back(level);
        return out;
    }
};

TEST_F(LoggerTest, ThresholdComesFromTheTraceKeyAndIsReadAgainAfterTenSeconds)
{
    ASSERT_FALSE(StoredThreshold().has_value());
    RecordingLogger logger;
    LogEveryLevel(logger);
    EXPECT_EQ(logger.Levels(), LevelsUpTo(0)) << "levels -3 to 0 pass, traces are dropped";
    EXPECT_EQ(StoredThreshold(), StoredValue::Number(0)) << "the missing value is created";

    // A change in the store is taken up at the first call more than 10 s after the last read.
    const struct {
        const char* name;
        std::int64_t advanceMs;
        std::optional<StoredValue> stored; // written before the calls; nothing: deleted
        int expectedThreshold;
        std::optional<StoredValue> storedAfter;
    } steps[] = {
        {"not yet read again", 10000, StoredValue::Number(9), 0, StoredValue::Number(9)},
        {"read again", 1, StoredValue::Number(9), 9, StoredValue::Number(9)},
        {"negative number", 10001, StoredValue::Number(0xFFFFFFFEu), -2, StoredValue::Number(0xFFFFFFFEu)},
        {"typed by hand as text", 10001, StoredValue::String(QStringLiteral("4")), 4, StoredValue::String(QStringLiteral("4"))},
        {"deleted: written back", 10001, std::nullopt, 4, StoredValue::Number(4)},
        {"unusable type: kept, not overwritten", 10001, StoredValue::Bytes("\x09"), 4, StoredValue::Bytes("\x09")},
        {"clock went back more than 10 s", -20000, StoredValue::Number(1), 1, StoredValue::Number(1)},
    };
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        if (step.stored)
            Store(*step.stored);
        else
            platform::CurrentSettingsStore().DeleteValue(GetTraceKeyPath(), QStringLiteral("Tabrine"));
        g_fakeNow += step.advanceMs;
        logger.Clear();
        LogEveryLevel(logger);
        EXPECT_EQ(logger.Levels(), LevelsUpTo(step.expectedThreshold));
        EXPECT_EQ(StoredThreshold(), step.storedAfter);
    }
}

// A store that notes every call made on a thread other than the main one.
class ThreadWatchingStore final : public platform::SettingsStore {
public:
    std::atomic<int> callsOffMainThread{0};

    bool CreateKey(const QString& p) override { return Note(), m_inner->CreateKey(p); }
    bool KeyExists(const QString& p) override { return Note(), m_inner->KeyExists(p); }
    std::optional<StoredValue> ReadValue(const QString& p, const QString& n) override { return Note(), m_inner->ReadValue(p, n); }
    bool WriteValue(const QString& p, const QString& n, const StoredValue& v) override { return Note(), m_inner->WriteValue(p, n, v); }
    bool DeleteValue(const QString& p, const QString& n) override { return Note(), m_inner->DeleteValue(p, n); }
    QStringList ValueNames(const QString& p) override { return Note(), m_inner->ValueNames(p); }
    QStringList SubKeys(const QString& p) override { return Note(), m_inner->SubKeys(p); }
    bool DeleteKey(const QString& p) override { return Note(), m_inner->DeleteKey(p); }

private:
    void Note()
    {
        if (std::this_thread::get_id() != m_main)
            ++callsOffMainThread;
    }
    std::thread::id m_main = std::this_thread::get_id();
    std::shared_ptr<platform::SettingsStore> m_inner = platform::MakeMemorySettingsStore();
};

TEST_F(LoggerTest, LoggingOffTheMainThreadNeverTouchesTheStore)
{
    // The MIDI backend's thread logs under its port lock: it must not wait for
    // the settings file, nor write it. It uses the threshold the main thread read.
    auto store = std::make_shared<ThreadWatchingStore>();
    platform::SetCurrentSettingsStore(store);
    Store(StoredValue::Number(4));
    RecordingLogger logger;
    LogEveryLevel(logger);
    ASSERT_EQ(logger.Levels(), LevelsUpTo(4));

    const struct {
        const char* name;
        std::optional<StoredValue> stored; // nothing: the value is deleted
    } rows[] = {{"value changed", StoredValue::Number(9)}, {"value missing", std::nullopt}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        if (row.stored)
            Store(*row.stored);
        else
            platform::CurrentSettingsStore().DeleteValue(GetTraceKeyPath(), QStringLiteral("Tabrine"));
        g_fakeNow += 60000; // due for a read long since
        logger.Clear();
        std::thread([&] { LogEveryLevel(logger); }).join();
        EXPECT_EQ(store->callsOffMainThread.load(), 0);
        EXPECT_EQ(logger.Levels(), LevelsUpTo(4)) << "the last threshold read on the main thread";
    }
    // The main thread takes up the change.
    Store(StoredValue::Number(9));
    logger.Clear();
    LogEveryLevel(logger);
    EXPECT_EQ(logger.Levels(), LevelsUpTo(9));
}

TEST_F(LoggerTest, SetTraceLevelClampsAndCreatesTheKey)
{
    const struct {
        int level;
        std::int32_t stored;
    } rows[] = {{20, 9}, {9, 9}, {5, 5}, {0, 0}, {-3, -3}, {-7, -3}, {INT32_MIN, -3}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.level);
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        SetTraceLevel(QStringLiteral("Tabrine"), row.level);
        EXPECT_EQ(StoredThreshold(), StoredValue::Number(std::uint32_t(row.stored)));
    }
}

TEST(LogLine, LayoutFollowsTheFlagsInOrder)
{
    const QDateTime at(QDate(2024, 3, 5), QTime(14, 7, 9));
    const QLocale us(QLocale::English, QLocale::UnitedStates);
    const QString pid = QStringLiteral("%1").arg(QCoreApplication::applicationPid(), 4, 10, QLatin1Char('0'));
    const struct {
        const char* name;
        unsigned flags;
        int level;
        QString expected;
    } rows[] = {
        {"message only", 0, 0, "hello"},
        {"file", LogSourceFile, 0, "src/core/X.cpp: hello"},
        {"line", LogSourceLine, 0, "(42): hello"},
        {"file and line", LogSourceFile | LogSourceLine, 0, "src/core/X.cpp(42): hello"},
        {"name", LogName, 0, "        Tabrine: hello"},
        {"date", LogDate, 0, "3/5/24: hello"},
        {"time, 24-hour", LogTime, 0, "14:07:09: hello"},
        {"both loggers' flags", kDefaultLogFlags, -2, "3/5/24 14:07:09: WARNING: hello\n"},
        {"fatal", LogLevelTag, -3, "FATAL  : hello"},
        {"information -1", LogLevelTag, -1, "INFO   : hello"},
        {"information 0", LogLevelTag, 0, "INFO   : hello"},
        {"trace", LogLevelTag, 5, "LEVEL 5: hello"},
        {"below fatal", LogLevelTag, -4, "LEVEL -4: hello"},
        {"process", LogProcessId, 0, pid + ": hello"},
        // On Linux the main thread's id is the process id.
        {"thread", LogThreadId, 0, pid + ": hello"},
        {"everything", 0x1FF, 1, "src/core/X.cpp(42):         Tabrine: 3/5/24 14:07:09: LEVEL 1: " + pid + ": " + pid + ": hello\n"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Logger::FormatLineAt(row.flags, QStringLiteral("Tabrine"), row.level, "src/core/X.cpp", 42,
                                       QStringLiteral("hello"), kLogLineSize, at, us),
                  row.expected);
    }
    EXPECT_EQ(Logger::FormatLineAt(LogDate | LogTime, QString(), 0, nullptr, 0, QStringLiteral("x"), kLogLineSize, at,
                                   QLocale(QLocale::German, QLocale::Germany)),
              QStringLiteral("05.03.24 14:07:09: x"));
}

TEST(LogLine, TimeOfDayIsTheLocalesFormatInTwentyFourHours)
{
    const struct {
        const char* locale;
        const char* format;
    } rows[] = {
        {"en_US", "H:mm:ss"}, {"de_DE", "HH:mm:ss"}, {"C", "HH:mm:ss"},
        {"ko_KR", "H시 m분 s초"}, {"zh_CN", "HH:mm:ss"}, {"fa_IR", "H:mm:ss"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.locale);
        EXPECT_EQ(Logger::LogTimeFormat(QLocale(QString::fromLatin1(row.locale))), QString::fromUtf8(row.format));
    }
}

TEST(LogLine, LongLinesAreCutToTheBuffer)
{
    const QString abc = QStringLiteral("abcdefghijkl");
    const struct {
        const char* name;
        unsigned flags;
        QString message;
        int size;
        QString expected;
    } rows[] = {
        {"room for everything", LogLevelTag | LogNewline, abc, 30, "INFO   : abcdefghijkl\n"},
        {"tag needs more than 9 left", LogLevelTag | LogNewline, abc, 11, "INFO   : a"},
        {"no tag with 9 left", LogLevelTag | LogNewline, abc, 10, "abcdefghi"},
        {"newline while shorter than size - 2", LogNewline, "abc", 6, "abc\n"},
        {"no newline at size - 2", LogNewline, "abcd", 6, "abcd"},
        {"file name cut too", LogSourceFile, abc, 8, "src/cor"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(Logger::FormatLine(row.flags, QString(), 0, "src/core/X.cpp", 1, row.message, row.size), row.expected);
    }
    const QString huge(5000, u'x');
    EXPECT_EQ(Logger::FormatLine(kDefaultLogFlags, QString(), 0, nullptr, 0, huge).size(), kLogLineSize - 1);
    EXPECT_EQ(Logger::FormatLine(LogNewline, QString(), 0, nullptr, 0, QString(kLogLineSize - 3, u'x')).size(),
              kLogLineSize - 2);
    EXPECT_EQ(Logger::FormatLine(LogNewline, QString(), 0, nullptr, 0, QString(kLogLineSize - 2, u'x')).size(),
              kLogLineSize - 2);
}

class TmpLogStoreTest : public LoggerTest {
protected:
    void SetUp() override
    {
        LoggerTest::SetUp();
        qputenv("TABRINE_LOG_DIR", QFile::encodeName(m_dir.path()));
        RegistryKey trace(GetTraceKeyPath(), true);
        trace.WriteExpandString(QStringLiteral("TabrineLog"), QStringLiteral("%TABRINE_LOG_DIR%/TabrineLog.txt"));
    }
    QByteArray LogBytes() const
    {
        QFile f(m_logPath);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    static QByteArray Utf16(const QString& s)
    {
        return QByteArray(reinterpret_cast<const char*>(s.utf16()), s.size() * 2);
    }

    QTemporaryDir m_dir;
    QString m_logPath = m_dir.path() + QStringLiteral("/TabrineLog.txt");
};

TEST_F(TmpLogStoreTest, LogFileHoldsThisRunAsUtf16WithOneByteOrderMark)
{
    {
        QFile old(m_logPath);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("the previous run");
    }
    TPtr<TmpLogStore> store = new TmpLogStore(QStringLiteral("Tabrine"), LogLevelTag | LogNewline);
    EXPECT_EQ(store->LogFilePath(), m_logPath);
    EXPECT_FALSE(QFile::exists(m_logPath)) << "deleted when the store is built";

    store->Log(-2, __FILE__, __LINE__, u"first %d", 1);
    store->Log(0, __FILE__, __LINE__, u"音 😀");
    store->Log(1, __FILE__, __LINE__, u"dropped");
    EXPECT_EQ(LogBytes(), QByteArray("\xFF\xFE") + Utf16(QStringLiteral("WARNING: first 1\n\r\nINFO   : 音 😀\n\r\n")));
    const std::vector<QString> waiting = store->TakeWaiting();
    EXPECT_EQ(waiting, (std::vector<QString>{"WARNING: first 1\n", "INFO   : 音 😀\n"}));
    EXPECT_TRUE(store->TakeWaiting().empty());

    // A file that cannot be opened is skipped; the lines still wait for the window.
    RegistryKey(GetTraceKeyPath(), false).WriteString(QStringLiteral("TabrineLog"), m_dir.path() + QStringLiteral("/no/such/dir/log"));
    TPtr<TmpLogStore> unwritable = new TmpLogStore(QStringLiteral("Tabrine"), LogLevelTag);
    unwritable->Log(0, __FILE__, __LINE__, u"kept");
    EXPECT_EQ(unwritable->TakeWaiting(), std::vector<QString>{"INFO   : kept"});
}

TEST_F(TmpLogStoreTest, LinesFromManyThreadsNeitherInterleaveNorOverflowTheQueue)
{
    TPtr<TmpLogStore> store = new TmpLogStore(QStringLiteral("Tabrine"), LogLevelTag | LogNewline);
    constexpr int kThreads = 4;
    constexpr int kLines = 600; // more than the queue keeps
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t)
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i)
                store->Log(0, __FILE__, __LINE__, u"thread %d line %d of a line long enough to be written in pieces", t, i);
        });
    for (auto& t : threads)
        t.join();

    const QByteArray bytes = LogBytes();
    ASSERT_TRUE(bytes.startsWith("\xFF\xFE"));
    const QString text = QStringDecoder(QStringDecoder::Utf16LE)(bytes.mid(2));
    EXPECT_FALSE(text.contains(QChar(0xFEFF))) << "one byte-order mark only";
    QStringList lines = text.split(QStringLiteral("\n\r\n"));
    ASSERT_EQ(lines.takeLast(), QString());
    ASSERT_EQ(lines.size(), kThreads * kLines);
    const QRegularExpression shape(QStringLiteral("^INFO   : thread (\\d) line (\\d+) of a line long enough to be written in pieces$"));
    std::map<int, int> next;
    for (const QString& line : lines) {
        const auto m = shape.match(line);
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        const int t = m.captured(1).toInt();
        EXPECT_EQ(m.captured(2).toInt(), next[t]++) << "each thread's lines in order";
    }

    // The queue keeps the newest lines: of each thread, its last ones, in order.
    const std::vector<QString> waiting = store->TakeWaiting();
    ASSERT_EQ(waiting.size(), kTmpLogStoreCapacity);
    std::map<int, std::vector<int>> kept;
    for (const QString& line : waiting) {
        const auto m = shape.match(line.chopped(1));
        ASSERT_TRUE(m.hasMatch()) << line.toStdString();
        kept[m.captured(1).toInt()].push_back(m.captured(2).toInt());
    }
    for (const auto& [t, numbers] : kept) {
        SCOPED_TRACE(t);
        ASSERT_FALSE(numbers.empty());
        EXPECT_EQ(numbers.back(), kLines - 1);
        for (size_t i = 1; i < numbers.size(); ++i)
            EXPECT_EQ(numbers[i], numbers[i - 1] + 1);
    }
}

TEST_F(LoggerTest, OnlyTheWindowsOwnThreadReachesTheWindow)
{
    RecordingLogger window;
    SetLogWindow(&window);
    EXPECT_EQ(CurrentLogger(), &window);
    TLOG(0, u"on the window's thread");
    Logger* seenElsewhere = nullptr;
    std::thread([&] {
        seenElsewhere = CurrentLogger();
        TLOG(0, u"from another thread");
    }).join();
    EXPECT_EQ(seenElsewhere, &TheTmpLogStore());
    ASSERT_EQ(window.Lines().size(), 1u);
    EXPECT_EQ(window.Lines()[0].text, QStringLiteral("INFO   : on the window's thread"));
    SetLogWindow(nullptr);
    EXPECT_EQ(CurrentLogger(), &TheTmpLogStore());

    // Windows come and go while other threads keep logging: none of their
    // lines reaches a window, so none can reach one being destroyed.
    std::atomic<bool> stop{false};
    std::vector<std::thread> loggers;
    for (int t = 0; t < 3; ++t)
        loggers.emplace_back([&] {
            while (!stop)
                TLOG(0, u"background line");
        });
    for (int i = 0; i < 200; ++i) {
        auto* w = new RecordingLogger;
        SetLogWindow(w);
        TLOG(0, u"window %d", i);
        SetLogWindow(nullptr);
        const auto lines = w->Lines();
        ASSERT_EQ(lines.size(), 1u);
        EXPECT_EQ(lines[0].thread, std::this_thread::get_id());
        delete w;
    }
    stop = true;
    for (auto& t : loggers)
        t.join();
    TheTmpLogStore().TakeWaiting();
}

} // namespace
