#include "core/Settings.h"

#include "RecordingLogger.h"
#include "RecordingPresenter.h"

#include "platform/Process.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <sys/mount.h>

using platform::StoredValue;

namespace {

const QString kSettingsKey = QStringLiteral("Software\\Brimcote Limited\\Tabrine\\Settings");

class SettingsTest : public ::testing::Test {
protected:
    void SetUp() override { platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore()); }

    static platform::SettingsStore& Store() { return platform::CurrentSettingsStore(); }
    static std::optional<StoredValue> Stored(const QString& key, const char* name)
    {
        return Store().ReadValue(key, QString::fromLatin1(name));
    }
    static void Put(const char* name, const StoredValue& value)
    {
        ASSERT_TRUE(Store().WriteValue(kSettingsKey, QString::fromLatin1(name), value));
    }
};

TEST_F(SettingsTest, EmptyConfigurationReadsTheTableDefaults)
{
    GlobalConfigurations config;
    EXPECT_EQ(config.GetDword(InputPort), 0xFFFFFFFFu);
    EXPECT_EQ(config.GetDword(LongTimeout), 1000u);
    EXPECT_EQ(config.GetDword(ConfigBackgroundColour), 0x686159u);
    EXPECT_TRUE(config.GetBool(LoggerOnTop));
    EXPECT_FALSE(config.GetBool(TestUI));
    EXPECT_EQ(config.GetString(ConfigFile), QStringLiteral("Default.xml"));
    EXPECT_EQ(config.GetString(PresetFile), QString());

    // The whole table, as the module information report prints it.
    EXPECT_EQ(config.DumpToText(),
        "Configurations\n==============\n\n"
        "Configuration: InputPort - -1\n"
        "Configuration: OutputPort - -1\n"
        "Configuration: DeviceId - 0\n"
        "Configuration: BPort - -1\n"
        "Configuration: ControllerPort - -1\n"
        "Configuration: LongTimeout - 1000\n"
        "Configuration: WriteDelay - 500\n"
        "Configuration: SysExDelay - 0\n"
        "Configuration: SkipScreenDump - False\n"
        "Configuration: RepeatSpeed - 60\n"
        "Configuration: Diatonic - False\n"
        "Configuration: ChordNote1 - 4\n"
        "Configuration: ChordNote2 - 7\n"
        "Configuration: ChordNote3 - 0\n"
        "Configuration: ChordNote4 - 0\n"
        "Configuration: ConfigSendClock - False\n"
        "Configuration: Simulate - 0x0\n"
        "Configuration: ConfigFile - Default.xml\n"
        "Configuration: ROMHash - 0x0\n"
        "Configuration: ReaderFriendly - False\n"
        "Configuration: LoggerOnTop - True\n"
        "Configuration: UseLCD - False\n"
        "Configuration: TestUI - False\n"
        "Configuration: EnableTooltips - 2\n"
        "Configuration: Capabilities - 0x0\n"
        "Configuration: PresetFile - \n"
        "Configuration: PresetFilter - 0\n"
        "Configuration: SysexFile - \n"
        "Configuration: SetupFile - \n"
        "Configuration: TuningFile - \n"
        "Configuration: ScalaFile - \n"
        "Configuration: ConfigDescription - 0x0\n"
        "Configuration: ConfigBackgroundColour - 0x686159\n"
        "Configuration: ConfigForegroundColour - 0xc0c0c0\n"
        "Configuration: ConfigGroupColour - 0xffffff\n"
        "Configuration: ConfigHighlightColour - 0xaba7a3\n"
        "Configuration: ConfigShadowColour - 0x41382e\n"
        "Configuration: ConfigDisabledColour - 0x404040\n"
        "Configuration: ConfigForegroundOnColour - 0xffffff\n"
        "Configuration: ConfigBackgroundOnColour - 0x817364\n"
        "Configuration: ConfigFocusColour - 0xffffff\n");
    EXPECT_TRUE(Store().ValueNames(kSettingsKey).isEmpty()) << "reading stores nothing";
}

TEST_F(SettingsTest, ValueEqualToItsDefaultIsRemovedAnyOtherStored)
{
    GlobalConfigurations config;
    const struct {
        const char* name;
        std::function<void()> set;
        const char* valueName;
        std::optional<StoredValue> stored;
    } rows[] = {
        {"number", [&] { config.SetDword(LongTimeout, 2000); }, "LongTimeout", StoredValue::Number(2000)},
        {"number back to default", [&] { config.SetDword(LongTimeout, 1000); }, "LongTimeout", std::nullopt},
        {"all ones is InputPort's default", [&] { config.SetDword(InputPort, 0xFFFFFFFFu); }, "InputPort", std::nullopt},
        {"text", [&] { config.SetString(ConfigFile, QStringLiteral("Studio.xml")); }, "ConfigFile", StoredValue::String(QStringLiteral("Studio.xml"))},
        {"text back to default", [&] { config.SetString(ConfigFile, QStringLiteral("Default.xml")); }, "ConfigFile", std::nullopt},
        {"empty text is PresetFile's default", [&] { config.SetString(PresetFile, QString()); }, "PresetFile", std::nullopt},
        {"bool off, default on", [&] { config.SetBool(LoggerOnTop, false); }, "LoggerOnTop", StoredValue::Number(0)},
        {"bool back on", [&] { config.SetBool(LoggerOnTop, true); }, "LoggerOnTop", std::nullopt},
        {"bool on, default off", [&] { config.SetBool(Diatonic, true); }, "Diatonic", StoredValue::Number(1)},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        row.set();
        EXPECT_EQ(Stored(kSettingsKey, row.valueName), row.stored);
    }
    EXPECT_TRUE(config.GetBool(Diatonic));
}

TEST_F(SettingsTest, StoredValuesOfAnotherTypeConvertOrGiveTheDefault)
{
    GlobalConfigurations config;
    Put("LongTimeout", StoredValue::String(QStringLiteral("0x10")));
    Put("WriteDelay", StoredValue::String(QStringLiteral("010")));
    Put("SysExDelay", StoredValue::Bytes("\x05"));
    Put("LoggerOnTop", StoredValue::String(QStringLiteral("0")));
    Put("TestUI", StoredValue::Number(2));
    Put("ConfigFile", StoredValue::Number(7));
    Put("PresetFile", StoredValue::Expand(QStringLiteral("%TABRINE_PRESETS%/a.xml")));
    qputenv("TABRINE_PRESETS", "/home/me/presets");
    EXPECT_EQ(config.GetDword(LongTimeout), 16u);
    EXPECT_EQ(config.GetDword(WriteDelay), 8u);
    EXPECT_EQ(config.GetDword(SysExDelay), 0u) << "binary gives the default";
    EXPECT_FALSE(config.GetBool(LoggerOnTop));
    EXPECT_TRUE(config.GetBool(TestUI));
    EXPECT_EQ(config.GetString(ConfigFile), QStringLiteral("7"));
    EXPECT_EQ(config.GetString(PresetFile), QStringLiteral("/home/me/presets/a.xml"));
}

TEST_F(SettingsTest, IdOutsideTheTableReadsEmptyAndWritesNothing)
{
    GlobalConfigurations config;
    for (int id : {-1, int(ConfigurationCount), 1000}) {
        SCOPED_TRACE(id);
        EXPECT_EQ(config.FindConfiguration(id), nullptr);
        EXPECT_EQ(config.GetString(id), QString());
        EXPECT_EQ(config.GetDword(id), 0u);
        EXPECT_FALSE(config.GetBool(id));
        config.SetString(id, QStringLiteral("x"));
        config.SetDword(id, 5);
        config.SetBool(id, true);
    }
    EXPECT_TRUE(Store().ValueNames(kSettingsKey).isEmpty());
    ASSERT_NE(config.FindConfiguration(ConfigFocusColour), nullptr);
    EXPECT_EQ(config.FindConfiguration(ConfigFocusColour)->id, int(ConfigFocusColour));
}

TEST_F(SettingsTest, EachConfigurationHasItsOwnKey)
{
    GlobalConfigurations config;
    config.SetDword(DeviceId, 3);
    config.SetKeyName(QStringLiteral("Studio"));
    EXPECT_EQ(config.KeyName(), QStringLiteral("Studio"));
    EXPECT_EQ(config.KeyPath(), QStringLiteral("Software\\Brimcote Limited\\Tabrine\\Studio"));
    EXPECT_EQ(config.GetDword(DeviceId), 0u) << "Settings' value is not Studio's";
    config.SetDword(DeviceId, 5);
    config.WriteString(QStringLiteral("MainFrame"), QStringLiteral("1 2 3 4"));
    EXPECT_EQ(config.ReadString(QStringLiteral("MainFrame"), QString()), QStringLiteral("1 2 3 4"));
    EXPECT_EQ(config.ReadString(QStringLiteral("Missing"), QStringLiteral("def")), QStringLiteral("def"));
    EXPECT_EQ(Stored(config.KeyPath(), "DeviceId"), StoredValue::Number(5));
    EXPECT_EQ(Stored(kSettingsKey, "DeviceId"), StoredValue::Number(3));
    EXPECT_FALSE(Stored(kSettingsKey, "MainFrame").has_value());
}

TEST_F(SettingsTest, UnsafeConfigurationNameOpensNoKey)
{
    GlobalConfigurations config;
    ScopedLogCapture log;
    config.SetKeyName(QStringLiteral("..\\..\\Trace"));
    EXPECT_EQ(config.KeyPath(), QString());
    EXPECT_EQ(config.GetDword(LongTimeout), 1000u);
    config.SetDword(LongTimeout, 5);
    config.WriteString(QStringLiteral("MainFrame"), QStringLiteral("1 2 3 4"));
    for (const QString& key : Store().SubKeys(QStringLiteral("Software\\Brimcote Limited\\Tabrine")))
        EXPECT_TRUE(key == QStringLiteral("Settings") || key == QStringLiteral("Trace")) << key.toStdString();
    EXPECT_EQ(Store().ValueNames(GetTraceKeyPath()), QStringList{"Tabrine"});
    EXPECT_TRUE(Store().ValueNames(kSettingsKey).isEmpty());
    ASSERT_EQ(log->Calls().size(), 1u);
    EXPECT_EQ(log->Calls()[0].level, -2);
}

TEST_F(SettingsTest, SettingsAreNeverCachedAgainstAnotherInstance)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Tabrine.reg");
    platform::SetCurrentSettingsStore(platform::MakeFileSettingsStore(path));
    GlobalConfigurations mine;
    mine.SetKeyName(QStringLiteral("Mine"));
    mine.SetDword(LongTimeout, 2000);

    // Another program instance, with its own view of the same file.
    auto theirs = platform::MakeFileSettingsStore(path);
    const QString mineKey = ConfigurationKeyPath(QStringLiteral("Mine"));
    ASSERT_TRUE(theirs->WriteValue(mineKey, QStringLiteral("LongTimeout"), StoredValue::Number(3000)));
    ASSERT_TRUE(theirs->CreateKey(ConfigurationKeyPath(QStringLiteral("Theirs"))));
    ASSERT_TRUE(theirs->WriteValue(ConfigurationKeyPath(QStringLiteral("Theirs")), QStringLiteral("DeviceId"), StoredValue::Number(9)));
    EXPECT_EQ(mine.GetDword(LongTimeout), 3000u);
    mine.SetDword(DeviceId, 4);
    EXPECT_EQ(theirs->ReadValue(ConfigurationKeyPath(QStringLiteral("Theirs")), QStringLiteral("DeviceId")), StoredValue::Number(9));
    EXPECT_EQ(theirs->ReadValue(mineKey, QStringLiteral("DeviceId")), StoredValue::Number(4));
}

TEST_F(SettingsTest, DescriptionFileIsNarrowTextWithCrLfWrittenWhole)
{
    QFile expectedFile(qEnvironmentVariable("TABRINE_TEST_DATA", QStringLiteral(TABRINE_SOURCE_TEST_DATA))
                       + QStringLiteral("/core/Configurations.txt"));
    ASSERT_TRUE(expectedFile.open(QIODevice::ReadOnly)) << expectedFile.fileName().toStdString();
    const QByteArray expected = expectedFile.readAll();

    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Configurations.txt");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write(QByteArray(20000, 'x'));
    }
    GlobalConfigurations config;
    config.SetDword(LongTimeout, 2000); // the file shows defaults, not current values
    ASSERT_TRUE(config.WriteDescriptionFile(path));
    QFile written(path);
    ASSERT_TRUE(written.open(QIODevice::ReadOnly));
    EXPECT_EQ(written.readAll(), expected) << "replaced whole, byte for byte";

    EXPECT_FALSE(config.WriteDescriptionFile(dir.path() + QStringLiteral("/missing/Configurations.txt")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot), QStringList{"Configurations.txt"});
}

// ---------------------------------------------------------------------------
// The settings file under faults: a damaged line, a lock that cannot be taken.

const QByteArray kStudioFile = "Tabrine Settings Version 1\n"
                               "[Software\\Brimcote Limited\\Tabrine\\Studio]\n"
                               "\"InputPort\"=dword:00000002\n"
                               "\"LongTimeout\"=dword:000007d0\n";

bool WriteFile(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

TEST_F(SettingsTest, DamagedLineIsShownOnceWithNoOwnerAndTheRestOfTheFileSurvives)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Tabrine.reg");
    const QByteArray badLine = "\"PresetFile\"=\"C:\\Presets\\warm.xml\"";
    ASSERT_TRUE(WriteFile(path, kStudioFile + badLine + "\n"));
    platform::SetCurrentSettingsStore(platform::MakeFileSettingsStore(path));
    auto presenter = RecordingPresenter::Install();
    ForgetSettingsProblems();
    CollectSettingsProblems();

    // Start-up: the logger reads (and writes back) its threshold, the
    // configuration is opened, then the waiting problems are shown.
    GlobalConfigurations config;
    config.SetKeyName(QStringLiteral("Studio"));
    TheTmpLogStore().ForgetLastRead();
    TLOG(0, u"started");
    EXPECT_TRUE(presenter->texts.empty()) << "nothing is shown before start-up is done";
    ShowSettingsProblems();
    ASSERT_EQ(presenter->texts.size(), 1u);
    EXPECT_EQ(presenter->owners[0], nullptr);
    EXPECT_TRUE(presenter->texts[0].contains(QStringLiteral("line 5"))) << presenter->texts[0].toStdString();

    EXPECT_EQ(config.GetDword(InputPort), 2u);
    EXPECT_EQ(config.GetDword(LongTimeout), 2000u);
    config.SetDword(DeviceId, 7);
    ShowSettingsProblems();
    EXPECT_EQ(presenter->texts.size(), 1u) << "told once";
    const QByteArray after = ReadFile(path);
    EXPECT_TRUE(after.contains(badLine + "\n")) << after.toStdString();
    EXPECT_TRUE(after.contains("\"Tabrine\"=dword:00000000")) << "the logger's threshold";
    EXPECT_EQ(config.GetDword(InputPort), 2u);
    EXPECT_EQ(config.GetDword(DeviceId), 7u);

    platform::SetSettingsProblemHandler(nullptr);
    ForgetSettingsProblems();
    SetMessagePresenter(nullptr);
}

TEST_F(SettingsTest, ExistingConfigurationReadsWhileAnotherProcessHoldsTheLock)
{
    QTemporaryDir dir;
    const QString path = dir.path() + QStringLiteral("/Tabrine.reg");
    ASSERT_TRUE(WriteFile(path, kStudioFile));
    platform::SetCurrentSettingsStore(
        platform::MakeFileSettingsStore(path, {std::chrono::milliseconds(100)}));
    QLockFile held(path + QStringLiteral(".lock"));
    ASSERT_TRUE(held.tryLock(0));

    GlobalConfigurations config;
    config.SetKeyName(QStringLiteral("Studio"));
    EXPECT_EQ(config.GetDword(LongTimeout), 2000u);
    EXPECT_EQ(config.GetDword(InputPort), 2u);

    // A configuration that does not exist yet is created by the first change
    // that can take the lock.
    config.SetKeyName(QStringLiteral("Stage"));
    config.SetDword(LongTimeout, 3000);
    EXPECT_EQ(config.GetDword(LongTimeout), 1000u);
    held.unlock();
    config.SetDword(LongTimeout, 3000);
    EXPECT_EQ(config.GetDword(LongTimeout), 3000u);
}

// Run by ExistingConfigurationReadsOnAReadOnlyOrFullFileSystem in a private
// mount namespace: the settings folder is a small tmpfs made read-only or full.
TEST(SettingsInMountNamespace, DISABLED_Child)
{
    const QString dir = qEnvironmentVariable("TABRINE_NS_DIR");
    const QString fault = qEnvironmentVariable("TABRINE_NS_FAULT");
    ASSERT_FALSE(dir.isEmpty());
    if (::mount("tmpfs", QFile::encodeName(dir).constData(), "tmpfs", 0, "size=64k") != 0)
        GTEST_SKIP() << "cannot mount a tmpfs here";
    const QString path = dir + QStringLiteral("/Tabrine.reg");
    ASSERT_TRUE(WriteFile(path, kStudioFile));
    if (fault == QStringLiteral("read-only")) {
        ASSERT_EQ(::mount("tmpfs", QFile::encodeName(dir).constData(), nullptr, MS_REMOUNT | MS_RDONLY, "size=64k"), 0);
    } else {
        QFile filler(dir + QStringLiteral("/filler"));
        ASSERT_TRUE(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush())
            ;
    }
    platform::SetCurrentSettingsStore(platform::MakeFileSettingsStore(path, {std::chrono::milliseconds(100)}));
    GlobalConfigurations config;
    config.SetKeyName(QStringLiteral("Studio"));
    EXPECT_EQ(config.GetDword(LongTimeout), 2000u);
    EXPECT_EQ(config.GetDword(InputPort), 2u);
    config.SetDword(LongTimeout, 3000); // fails, and is reported
    EXPECT_EQ(config.GetDword(LongTimeout), 2000u);
    EXPECT_EQ(ReadFile(path), kStudioFile) << "a failed change loses nothing";
}

TEST(SettingsInMountNamespace, ExistingConfigurationReadsOnAReadOnlyOrFullFileSystem)
{
    const QString unshare = QStandardPaths::findExecutable(QStringLiteral("unshare"));
    if (unshare.isEmpty() || QProcess::execute(unshare, {QStringLiteral("-m"), QStringLiteral("true")}) != 0)
        GTEST_SKIP() << "private mount namespaces are not allowed here";
    for (const char* fault : {"read-only", "full"}) {
        SCOPED_TRACE(fault);
        QTemporaryDir dir;
        QProcess child;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("TABRINE_NS_DIR"), dir.path());
        env.insert(QStringLiteral("TABRINE_NS_FAULT"), QString::fromLatin1(fault));
        child.setProcessEnvironment(env);
        child.setProcessChannelMode(QProcess::MergedChannels);
        child.start(unshare, {QStringLiteral("-m"), QStringLiteral("--propagation"), QStringLiteral("private"),
                              QCoreApplication::applicationFilePath(), QStringLiteral("--gtest_also_run_disabled_tests"),
                              QStringLiteral("--gtest_filter=SettingsInMountNamespace.DISABLED_Child")});
        ASSERT_TRUE(child.waitForFinished(60000));
        const QString output = QString::fromLocal8Bit(child.readAll());
        if (output.contains(QStringLiteral("cannot mount a tmpfs here")))
            GTEST_SKIP() << "cannot mount a tmpfs in a private mount namespace";
        EXPECT_EQ(child.exitStatus(), QProcess::NormalExit);
        EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
        EXPECT_TRUE(output.contains(QStringLiteral("[  PASSED  ] 1 test"))) << output.toStdString();
    }
}

TEST(ConfigurationName, CommandLineChoosesASafeConfigurationOrTheDefault)
{
    platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
    const struct {
        const char* name;
        QString commandLine;
        QString configuration; // empty: refused, the default is chosen
        QString file;
    } rows[] = {
        {"nothing", "", "Settings", "Default.xml"},
        {"blanks", "  \t ", "Settings", "Default.xml"},
        {"a name", "Studio", "Studio", "Studio.xml"},
        {"trimmed", "  Live Rig ", "Live Rig", "Live Rig.xml"},
        {"the default named", "Settings", "Settings", "Settings.xml"},
        {"any letters", "Ünïcödé 音 (2)", "Ünïcödé 音 (2)", "Ünïcödé 音 (2).xml"},
        {"dots inside", "v1.2", "v1.2", "v1.2.xml"},
        {"longest", QString(64, u'n'), QString(64, u'n'), QString(64, u'n') + ".xml"},
        {"emoji", "Rig 😀", "Rig 😀", "Rig 😀.xml"},
        {"musical symbol", "𝄞 Strings", "𝄞 Strings", "𝄞 Strings.xml"},
        // refused
        {"too long", QString(65, u'n'), "", ""},
        {"parent folder", "../evil", "", ""},
        {"only dots", "..", "", ""},
        {"slash", "a/b", "", ""},
        {"backslash", "a\\b", "", ""},
        {"control character", QStringLiteral("bad\nline"), "", ""},
        {"escape", QStringLiteral("bad\x1b[31m"), "", ""},
        {"direction override", QStringLiteral("\u202Elmx.exe"), "", ""},
        {"half an emoji", QString(QChar(0xD83D)) + QStringLiteral("Rig"), "", ""},
        {"other half alone", QStringLiteral("Rig") + QChar(0xDE00), "", ""},
        {"invisible character beyond the first plane", QStringLiteral("Rig") + QString::fromUcs4(U"\U000E0001"), "", ""},
        {"colon", "C:x", "", ""},
        {"wildcard", "a*", "", ""},
        {"trailing dot", "name.", "", ""},
        {"device name", "con", "", ""},
        {"device name with extension", "LPT1.cfg", "", ""},
        {"the log settings' key", "trace", "", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        ScopedLogCapture log;
        const ConfigurationChoice choice = ChooseConfiguration(row.commandLine);
        QString warning;
        EXPECT_EQ(ChooseConfigurationName(row.commandLine, &warning), choice.name);
        EXPECT_EQ(warning, choice.warning);
        if (!row.configuration.isEmpty()) {
            EXPECT_TRUE(IsValidConfigurationName(choice.name));
            EXPECT_EQ(choice.name, row.configuration);
            EXPECT_EQ(choice.fileName, row.file);
            EXPECT_EQ(choice.warning, QString());
            EXPECT_TRUE(log->Calls().empty());
            continue;
        }
        EXPECT_FALSE(IsValidConfigurationName(row.commandLine.trimmed()));
        EXPECT_EQ(choice.name, QStringLiteral("Settings"));
        EXPECT_EQ(choice.fileName, QStringLiteral("Default.xml"));
        EXPECT_TRUE(choice.warning.contains(QStringLiteral("using \"Settings\""))) << choice.warning.toStdString();
        // The refused name is shown without its control characters: one log line stays one line.
        for (const QChar c : choice.warning)
            EXPECT_FALSE(c.category() == QChar::Other_Control || c.category() == QChar::Other_Format);
        ASSERT_EQ(log->Calls().size(), 2u) << "logged once (by both calls)";
        EXPECT_EQ(log->Calls()[0].level, -2);
        EXPECT_EQ(log->Calls()[0].message, choice.warning);
    }
}

} // namespace
