#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <functional>
#include <mutex>
#include <thread>
#include <vector>

#include <sys/stat.h>

using platform::SettingsStore;
using platform::StoredValue;

namespace {

const QString kKey = QStringLiteral("Software\\Brimcote Limited\\Tabrine\\Settings");

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
    ASSERT_EQ(f.write(bytes), bytes.size());
}

ino_t Inode(const QString& path)
{
    struct stat st{};
    return ::stat(QFile::encodeName(path).constData(), &st) == 0 ? st.st_ino : 0;
}

// Collects what the file store reports instead of printing it.
class ProblemRecorder {
public:
    ProblemRecorder()
    {
        platform::SetSettingsProblemHandler([this](const QString& text) {
            std::lock_guard l(m_lock);
            m_problems << text;
        });
    }
    ~ProblemRecorder() { platform::SetSettingsProblemHandler(nullptr); }
    QStringList Problems()
    {
        std::lock_guard l(m_lock);
        return m_problems;
    }

private:
    std::mutex m_lock;
    QStringList m_problems;
};

// ---------------------------------------------------------------------------
// The contract every store keeps, checked on the memory store and on the file store.

struct StoreKind {
    const char* name;
    std::function<std::shared_ptr<SettingsStore>(const QString& dir)> make;
};

class SettingsStoreContract : public ::testing::TestWithParam<StoreKind> {
protected:
    QTemporaryDir m_dir;
    std::shared_ptr<SettingsStore> m_store = GetParam().make(m_dir.path());
};

TEST_P(SettingsStoreContract, KeysAreCreatedWithTheirParentsAndFoundWithoutRegardToCase)
{
    SettingsStore& s = *m_store;
    EXPECT_FALSE(s.KeyExists(kKey));
    ASSERT_TRUE(s.CreateKey(kKey + QStringLiteral("\\ROMData\\3")));
    EXPECT_TRUE(s.KeyExists(QStringLiteral("software\\BRIMCOTE LIMITED\\tabrine")));
    EXPECT_TRUE(s.KeyExists(QStringLiteral("Software/Brimcote Limited/Tabrine/Settings/ROMData/3")));
    ASSERT_TRUE(s.CreateKey(kKey + QStringLiteral("\\Setups")));
    EXPECT_EQ(s.SubKeys(kKey), (QStringList{"ROMData", "Setups"}));
    EXPECT_TRUE(s.SubKeys(QStringLiteral("No\\Such\\Key")).isEmpty());

    EXPECT_TRUE(s.DeleteKey(kKey + QStringLiteral("\\romdata")));
    EXPECT_FALSE(s.KeyExists(kKey + QStringLiteral("\\ROMData\\3")));
    EXPECT_TRUE(s.KeyExists(kKey + QStringLiteral("\\Setups")));
    EXPECT_FALSE(s.DeleteKey(kKey + QStringLiteral("\\ROMData")));
}

TEST_P(SettingsStoreContract, ValuesKeepTypeNameAndFirstWriteOrder)
{
    SettingsStore& s = *m_store;
    EXPECT_FALSE(s.WriteValue(kKey, QStringLiteral("LongTimeout"), StoredValue::Number(2000)))
        << "a value needs an existing key";
    ASSERT_TRUE(s.CreateKey(kKey));

    const std::pair<const char*, StoredValue> values[] = {
        {"Text", StoredValue::String(QStringLiteral("Default.xml"))},
        {"Expand", StoredValue::Expand(QStringLiteral("%HOME%/x"))},
        {"Multi", StoredValue::Multi({QStringLiteral("a"), QStringLiteral("b")})},
        {"EmptyMulti", StoredValue::Multi({})},
        {"Number", StoredValue::Number(0xFFFFFFFFu)},
        {"Bytes", StoredValue::Bytes(QByteArray("\x00\x01\xff", 3))},
        {"EmptyBytes", StoredValue::Bytes(QByteArray())},
    };
    for (const auto& [name, value] : values)
        ASSERT_TRUE(s.WriteValue(kKey, QString::fromLatin1(name), value)) << name;
    for (const auto& [name, value] : values) {
        SCOPED_TRACE(name);
        EXPECT_EQ(s.ReadValue(kKey, QString::fromLatin1(name).toUpper()), value);
    }

    // Overwriting under another case keeps the first spelling and position.
    ASSERT_TRUE(s.WriteValue(kKey, QStringLiteral("TEXT"), StoredValue::Number(1)));
    EXPECT_EQ(s.ValueNames(kKey),
              (QStringList{"Text", "Expand", "Multi", "EmptyMulti", "Number", "Bytes", "EmptyBytes"}));
    EXPECT_EQ(s.ReadValue(kKey, QStringLiteral("text")), StoredValue::Number(1));

    EXPECT_TRUE(s.DeleteValue(kKey, QStringLiteral("expand")));
    EXPECT_FALSE(s.DeleteValue(kKey, QStringLiteral("expand")));
    EXPECT_FALSE(s.ReadValue(kKey, QStringLiteral("Expand")).has_value());
    EXPECT_FALSE(s.ReadValue(QStringLiteral("No\\Such\\Key"), QStringLiteral("Text")).has_value());
    EXPECT_TRUE(s.ValueNames(QStringLiteral("No\\Such\\Key")).isEmpty());
}

INSTANTIATE_TEST_SUITE_P(
    Stores, SettingsStoreContract,
    ::testing::Values(StoreKind{"Memory", [](const QString&) { return platform::MakeMemorySettingsStore(); }},
                      StoreKind{"File",
                                [](const QString& dir) {
                                    return platform::MakeFileSettingsStore(dir + QStringLiteral("/Tabrine.reg"));
                                }}),
    [](const auto& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------
// The file store.

class FileSettingsStoreTest : public ::testing::Test {
protected:
    std::shared_ptr<SettingsStore> Open() { return platform::MakeFileSettingsStore(m_path); }

    QTemporaryDir m_dir;
    QString m_path = m_dir.path() + QStringLiteral("/Brimcote Limited/Tabrine.reg");
    ProblemRecorder m_problems;
};

TEST_F(FileSettingsStoreTest, AnyTextAndNameReadsBackFromTheFileAsWritten)
{
    const QString texts[] = {
        QString(),
        QStringLiteral("plain"),
        QStringLiteral("  leading and trailing blanks  "),
        QStringLiteral("quote \" backslash \\ \\u0041 not an escape"),
        QStringLiteral("line\nbreak\r\nand\ttab"),
        QStringLiteral("[Software\\Fake]\n\"Injected\"=dword:00000001"),
        QString(QChar(0)) + QStringLiteral("nul and bell") + QChar(7) + QChar(0x7F),
        QStringLiteral("ünïcödé ✓ 音 😀"),
        QString(QChar(0xD800)) + QStringLiteral("lone surrogates") + QChar(0xDC00),
        QStringLiteral("separators") + QChar(0x2028) + QChar(0x2029) + QChar(0x85),
        QStringLiteral("; not a comment"),
        QStringLiteral("50% %HOME% %0025"),
    };
    const QString keyNames[] = {
        QStringLiteral("Config ] [ = \" ;"),
        QStringLiteral("100% %0041"),
        QStringLiteral("tab\there") + QChar(0x2028),
        QStringLiteral("Ünïcödé"),
    };
    {
        auto writer = Open();
        for (const QString& keyName : keyNames) {
            const QString key = kKey + u'\\' + keyName;
            ASSERT_TRUE(writer->CreateKey(key));
            int n = 0;
            for (const QString& text : texts) {
                const QString name = QStringLiteral("v%1 ").arg(n++) + text.left(20);
                ASSERT_TRUE(writer->WriteValue(key, name, StoredValue::String(text)));
                ASSERT_TRUE(writer->WriteValue(key, name + QStringLiteral(" expand"), StoredValue::Expand(text)));
            }
            ASSERT_TRUE(writer->WriteValue(key, QStringLiteral("list"), StoredValue::Multi(QStringList(std::begin(texts), std::end(texts)))));
        }
    }
    auto reader = Open();
    QStringList subKeys = reader->SubKeys(kKey);
    subKeys.sort();
    QStringList expected(std::begin(keyNames), std::end(keyNames));
    expected.sort();
    EXPECT_EQ(subKeys, expected);
    for (const QString& keyName : keyNames) {
        SCOPED_TRACE(keyName.toStdString());
        const QString key = kKey + u'\\' + keyName;
        int n = 0;
        for (const QString& text : texts) {
            const QString name = QStringLiteral("v%1 ").arg(n++) + text.left(20);
            EXPECT_EQ(reader->ReadValue(key, name), StoredValue::String(text)) << name.toStdString();
            EXPECT_EQ(reader->ReadValue(key, name + QStringLiteral(" expand")), StoredValue::Expand(text));
        }
        EXPECT_EQ(reader->ReadValue(key, QStringLiteral("list")),
                  StoredValue::Multi(QStringList(std::begin(texts), std::end(texts))));
    }
    EXPECT_TRUE(m_problems.Problems().isEmpty()) << m_problems.Problems().join(u'\n').toStdString();
}

TEST_F(FileSettingsStoreTest, FileIsReadableTextAndHandEditsAreRead)
{
    auto store = Open();
    ASSERT_TRUE(store->CreateKey(kKey + QStringLiteral("\\Setups")));
    ASSERT_TRUE(store->WriteValue(kKey, QStringLiteral("LongTimeout"), StoredValue::Number(2000)));
    ASSERT_TRUE(store->WriteValue(kKey, QStringLiteral("PresetFile"), StoredValue::String(QStringLiteral("C:\\a \"b\".xml"))));
    ASSERT_TRUE(store->WriteValue(kKey, QStringLiteral("Search"), StoredValue::Expand(QStringLiteral("%HOME%"))));
    ASSERT_TRUE(store->WriteValue(kKey, QStringLiteral("Names"), StoredValue::Multi({"a", "b"})));
    ASSERT_TRUE(store->WriteValue(kKey, QStringLiteral("Blob"), StoredValue::Bytes("\x01\xff")));
    EXPECT_EQ(ReadBytes(m_path),
              "Tabrine Settings Version 1\n"
              "; Per-user settings of Tabrine. Change them only while Tabrine is not running.\n"
              "\n"
              "[Software\\Brimcote Limited\\Tabrine\\Settings]\n"
              "\"LongTimeout\"=dword:000007d0\n"
              "\"PresetFile\"=\"C:\\\\a \\\"b\\\".xml\"\n"
              "\"Search\"=expand:\"%HOME%\"\n"
              "\"Names\"=multi:\"a\",\"b\"\n"
              "\"Blob\"=hex:01,ff\n"
              "\n"
              "[Software\\Brimcote Limited\\Tabrine\\Settings\\Setups]\n"
              "\n");

    // A file edited by hand: comments, blank lines, CR LF, blanks, any case of keywords.
    WriteBytes(m_path,
               "\xEF\xBB\xBFtabrine settings version 1\r\n"
               "# hand edited\r\n"
               "[Software\\Brimcote Limited\\Tabrine\\Studio]\r\n"
               "  \"DeviceId\" = DWORD:1F  \r\n"
               "\"Ports\"=MULTI: \"in\" , \"out\"\r\n"
               "\"Bytes\"=hex:\r\n"
               "\r\n");
    auto other = Open();
    const QString studio = QStringLiteral("Software\\Brimcote Limited\\Tabrine\\Studio");
    EXPECT_EQ(other->ReadValue(studio, QStringLiteral("DeviceId")), StoredValue::Number(31));
    EXPECT_EQ(other->ReadValue(studio, QStringLiteral("Ports")), StoredValue::Multi({"in", "out"}));
    EXPECT_EQ(other->ReadValue(studio, QStringLiteral("Bytes")), StoredValue::Bytes(QByteArray()));
    EXPECT_FALSE(other->KeyExists(kKey));
    EXPECT_TRUE(m_problems.Problems().isEmpty());
}

TEST_F(FileSettingsStoreTest, TwoStoresOnOneFileSeeEachOthersChangesAtOnceAndLoseNothing)
{
    // Two program instances with different configurations share the file.
    auto first = Open();
    auto second = Open();
    const QString a = QStringLiteral("Software\\Brimcote Limited\\Tabrine\\A");
    const QString b = QStringLiteral("Software\\Brimcote Limited\\Tabrine\\B");
    ASSERT_TRUE(first->CreateKey(a));
    ASSERT_TRUE(second->CreateKey(b));
    ASSERT_TRUE(first->WriteValue(a, QStringLiteral("LongTimeout"), StoredValue::Number(1)));
    ASSERT_TRUE(second->WriteValue(b, QStringLiteral("LongTimeout"), StoredValue::Number(2)));
    EXPECT_EQ(first->ReadValue(b, QStringLiteral("LongTimeout")), StoredValue::Number(2));
    EXPECT_EQ(second->ReadValue(a, QStringLiteral("LongTimeout")), StoredValue::Number(1));

    // Quick changes of the same size (one timestamp tick, perhaps the same
    // inode again) are never hidden behind a cached read.
    for (std::uint32_t i = 0; i < 200; ++i) {
        ASSERT_TRUE(first->WriteValue(a, QStringLiteral("Tick"), StoredValue::Number(i)));
        ASSERT_EQ(second->ReadValue(a, QStringLiteral("Tick")), StoredValue::Number(i));
        ASSERT_TRUE(second->DeleteValue(a, QStringLiteral("Tick")));
        ASSERT_FALSE(first->ReadValue(a, QStringLiteral("Tick")).has_value());
    }
    EXPECT_EQ(first->ReadValue(a, QStringLiteral("LongTimeout")), StoredValue::Number(1));
    EXPECT_EQ(first->ReadValue(b, QStringLiteral("LongTimeout")), StoredValue::Number(2));
}

TEST_F(FileSettingsStoreTest, FileEditedInPlaceWithinOneTimestampTickIsReadAgain)
{
    // An editor that rewrites the file in place keeps its inode; with the same
    // size and within one tick of the file system's clock the file's status
    // does not change at all, only its content does.
    ASSERT_TRUE(QDir().mkpath(QFileInfo(m_path).absolutePath()));
    auto store = Open();
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE(i);
        WriteBytes(m_path, "Tabrine Settings Version 1\n[A]\n\"x\"=dword:00000001\n");
        ASSERT_EQ(store->ReadValue(QStringLiteral("A"), QStringLiteral("x")), StoredValue::Number(1));
        WriteBytes(m_path, "Tabrine Settings Version 1\n[A]\n\"x\"=dword:00000002\n");
        ASSERT_EQ(store->ReadValue(QStringLiteral("A"), QStringLiteral("x")), StoredValue::Number(2));
    }
}

TEST_F(FileSettingsStoreTest, ConcurrentWritersOnManyThreadsLoseNothing)
{
    auto shared = Open();
    ASSERT_TRUE(shared->CreateKey(kKey));
    constexpr int kThreads = 4;
    constexpr int kWrites = 40;
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            // Half the threads share one store object, the others have their own.
            auto own = (t % 2) ? Open() : shared;
            for (int i = 0; i < kWrites; ++i) {
                own->WriteValue(kKey, QStringLiteral("t%1-%2").arg(t).arg(i), StoredValue::Number(std::uint32_t(i)));
                own->ReadValue(kKey, QStringLiteral("t%1-%2").arg((t + 1) % kThreads).arg(i));
            }
        });
    }
    for (auto& t : threads)
        t.join();
    auto fresh = Open();
    EXPECT_EQ(fresh->ValueNames(kKey).size(), kThreads * kWrites);
    for (int t = 0; t < kThreads; ++t)
        for (int i = 0; i < kWrites; ++i)
            EXPECT_EQ(fresh->ReadValue(kKey, QStringLiteral("t%1-%2").arg(t).arg(i)), StoredValue::Number(std::uint32_t(i)));
    EXPECT_TRUE(m_problems.Problems().isEmpty()) << m_problems.Problems().join(u'\n').toStdString();
}

// Run in a child process by ConcurrentProcessesLoseNothing.
TEST(FileSettingsStoreChild, DISABLED_WriteValues)
{
    const QString path = qEnvironmentVariable("TABRINE_CHILD_STORE");
    const QString prefix = qEnvironmentVariable("TABRINE_CHILD_PREFIX");
    const int count = qEnvironmentVariableIntValue("TABRINE_CHILD_COUNT");
    ASSERT_FALSE(path.isEmpty());
    auto store = platform::MakeFileSettingsStore(path);
    ASSERT_TRUE(store->CreateKey(kKey + u'\\' + prefix));
    for (int i = 0; i < count; ++i) {
        ASSERT_TRUE(store->WriteValue(kKey, prefix + QString::number(i), StoredValue::Number(std::uint32_t(i))));
        ASSERT_TRUE(store->ReadValue(kKey, prefix + QString::number(i)).has_value());
    }
}

TEST_F(FileSettingsStoreTest, ConcurrentProcessesLoseNothing)
{
    ASSERT_TRUE(Open()->CreateKey(kKey));
    constexpr int kCount = 60;
    std::vector<std::unique_ptr<QProcess>> children;
    for (const char* prefix : {"first", "second", "third"}) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TABRINE_CHILD_STORE"), m_path);
        env.insert(QStringLiteral("TABRINE_CHILD_PREFIX"), QString::fromLatin1(prefix));
        env.insert(QStringLiteral("TABRINE_CHILD_COUNT"), QString::number(kCount));
        p->setProcessEnvironment(env);
        p->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--gtest_also_run_disabled_tests"),
                  QStringLiteral("--gtest_filter=FileSettingsStoreChild.DISABLED_WriteValues")});
        children.push_back(std::move(p));
    }
    for (auto& p : children) {
        ASSERT_TRUE(p->waitForFinished(120000));
        EXPECT_EQ(p->exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(p->exitCode(), 0) << p->readAllStandardOutput().toStdString();
    }
    auto store = Open();
    for (const char* prefix : {"first", "second", "third"}) {
        EXPECT_TRUE(store->KeyExists(kKey + u'\\' + QString::fromLatin1(prefix)));
        for (int i = 0; i < kCount; ++i)
            EXPECT_EQ(store->ReadValue(kKey, QString::fromLatin1(prefix) + QString::number(i)),
                      StoredValue::Number(std::uint32_t(i)))
                << prefix << i;
    }
    EXPECT_FALSE(QFileInfo::exists(m_path + QStringLiteral(".lock")));
}

TEST_F(FileSettingsStoreTest, DamagedFileReadsEmptyAndIsKeptBeforeTheNextChange)
{
    const struct {
        const char* name;
        QByteArray bytes;
    } damaged[] = {
        {"other file", "<?xml version=\"1.0\"?>\n<config/>\n"},
        {"unterminated text", "Tabrine Settings Version 1\n[A]\n\"x\"=\"abc\n"},
        {"bad number", "Tabrine Settings Version 1\n[A]\n\"x\"=dword:zz\n"},
        {"number too long", "Tabrine Settings Version 1\n[A]\n\"x\"=dword:123456789\n"},
        {"unknown escape", "Tabrine Settings Version 1\n[A]\n\"x\"=\"a\\qb\"\n"},
        {"value before key", "Tabrine Settings Version 1\n\"x\"=\"a\"\n"},
        {"stray line", "Tabrine Settings Version 1\n[A]\nx=1\n"},
        {"header not closed", "Tabrine Settings Version 1\n[A\n"},
        {"not UTF-8", "Tabrine Settings Version 1\n[A]\n\"x\"=\"\xff\xfe\"\n"},
        {"truncated hex", "Tabrine Settings Version 1\n[A]\n\"x\"=hex:0g\n"},
    };
    for (const auto& row : damaged) {
        SCOPED_TRACE(row.name);
        QDir(m_dir.path()).removeRecursively();
        QDir().mkpath(QFileInfo(m_path).absolutePath());
        WriteBytes(m_path, row.bytes);
        const int reportedBefore = m_problems.Problems().size();

        auto store = Open();
        EXPECT_FALSE(store->KeyExists(QStringLiteral("A")));
        EXPECT_TRUE(store->SubKeys(QString()).isEmpty());
        EXPECT_EQ(m_problems.Problems().size(), reportedBefore + 1) << "reported once, not on every read";
        EXPECT_EQ(ReadBytes(m_path), row.bytes) << "reading never rewrites the file";

        ASSERT_TRUE(store->CreateKey(kKey));
        ASSERT_TRUE(store->WriteValue(kKey, QStringLiteral("DeviceId"), StoredValue::Number(3)));
        EXPECT_EQ(ReadBytes(m_path + QStringLiteral(".bad")), row.bytes);
        EXPECT_FALSE(QFileInfo::exists(m_path + QStringLiteral(".bad.2"))) << "one copy, made once";
        EXPECT_EQ(Open()->ReadValue(kKey, QStringLiteral("DeviceId")), StoredValue::Number(3));
    }

    // An earlier copy is never overwritten by a later one.
    WriteBytes(m_path, "damaged again");
    ASSERT_TRUE(Open()->CreateKey(kKey));
    EXPECT_EQ(ReadBytes(m_path + QStringLiteral(".bad.2")), "damaged again");
    EXPECT_EQ(ReadBytes(m_path + QStringLiteral(".bad")), damaged[std::size(damaged) - 1].bytes);
}

TEST_F(FileSettingsStoreTest, UnreadableFileReadsEmptyAndIsNeverReplaced)
{
    // A folder where the file should be cannot be read, even by root.
    ASSERT_TRUE(QDir().mkpath(m_path));
    ASSERT_TRUE(QDir().mkpath(m_path + QStringLiteral("/inside")));
    auto store = Open();
    EXPECT_FALSE(store->KeyExists(QStringLiteral("Software")));
    EXPECT_FALSE(store->CreateKey(kKey));
    EXPECT_FALSE(store->KeyExists(kKey));
    EXPECT_TRUE(QFileInfo(m_path + QStringLiteral("/inside")).isDir());
    EXPECT_GE(m_problems.Problems().size(), 2);
}

TEST_F(FileSettingsStoreTest, ChangesThatChangeNothingLeaveTheFileAlone)
{
    auto store = Open();
    EXPECT_FALSE(store->KeyExists(kKey));
    EXPECT_FALSE(QFileInfo::exists(m_path)) << "reading creates nothing";
    ASSERT_TRUE(store->CreateKey(kKey)) << "the folder is created on the first change";
    ASSERT_TRUE(store->WriteValue(kKey, QStringLiteral("DeviceId"), StoredValue::Number(3)));
    const QByteArray before = ReadBytes(m_path);
    const ino_t inode = Inode(m_path);

    EXPECT_TRUE(store->CreateKey(kKey));
    EXPECT_TRUE(store->WriteValue(kKey, QStringLiteral("deviceid"), StoredValue::Number(3)));
    EXPECT_FALSE(store->DeleteValue(kKey, QStringLiteral("Missing")));
    EXPECT_FALSE(store->WriteValue(QStringLiteral("Missing"), QStringLiteral("x"), StoredValue::Number(1)));
    EXPECT_EQ(Inode(m_path), inode);
    EXPECT_EQ(ReadBytes(m_path), before);
}

} // namespace
