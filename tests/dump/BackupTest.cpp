// Backup and restore of the module's user data against the simulated module:
// a full backup then a full restore reproduces the user data; a restore with a
// missing or damaged file sends nothing; a backup over an existing one never
// leaves a mixed folder marked as a backup.
#include "DumpTestSupport.h"

#include "module/Proteus.h"
#include "sim/DumpHandlers.h"
#include "support/QtPrint.h"

#include <QDir>
#include <QFile>

using dumptest::DumpSimTest;

namespace {

constexpr int kPresets = 3;
constexpr int kArps = 2;

struct UserData {
    std::vector<std::vector<QByteArray>> presets;
    std::vector<QByteArray> arps;
    std::map<int, QByteArray> tunings;
    std::vector<int> bankMap;
    std::vector<QByteArray> setupNames;
    bool operator==(const UserData&) const = default;
};

class Backup : public DumpSimTest {
protected:
    void SetUp() override
    {
        DumpSimTest::SetUp();
        StartModule();
    }
    void StartModule()
    {
        StartOn(R"({"base": "full", "userPresets": 4})");
        // The user bank with a ROM SIMM before it, which the pass passes over.
        const SimmSlot simms[] = {{.simmId = 4, .presets = 512, .arps = 200}, {.simmId = 0, .presets = kPresets, .arps = kArps}};
        proteus->hardwareConfig.SetSimms(simms);
    }
    QString Folder() const { return dir.filePath(QStringLiteral("MyBackup")); }

    UserData Read()
    {
        return OnModule([](sim::Module& m) {
            UserData d;
            // A restored preset carries its slot's number (bytes 7-8 of the header).
            for (int n = 0; n < kPresets; ++n) {
                std::vector<QByteArray> preset = sim::StoredPreset(m, 0, n);
                if (!preset.empty() && preset[0].size() > 8)
                    preset[0][7] = preset[0][8] = 0;
                d.presets.push_back(preset);
            }
            for (int n = 0; n < kArps; ++n) {
                const auto a = m.state().arps.find({0, n});
                d.arps.push_back(a == m.state().arps.end() ? QByteArray() : a->second.mid(8));
            }
            d.tunings = m.state().tunings;
            d.bankMap = m.state().bankMap;
            for (int n = 0; n < 64; ++n)
                d.setupNames.push_back(m.objectName(sim::ObjectKind::Setup, 0, n).value_or(QByteArray()));
            return d;
        });
    }
    /// Makes every kind of user object differ from what it was.
    void Disturb(int salt)
    {
        OnModule([&](sim::Module& m) {
            for (int n = 0; n < kPresets; ++n) {
                std::vector<QByteArray> other = sim::StoredPreset(m, 0, (n + salt) % kPresets + 1);
                m.state().dumps->presets[{0, n}] = other;
            }
            for (int i = 0; i < 256; ++i)
                m.state().bankMap[std::size_t(i)] = (i * 7 + salt) % 200;
            m.state().names[{int(sim::ObjectKind::Setup), 0, 5}] = QByteArray("Salt ").append(QByteArray::number(salt)).leftJustified(16, ' ');
            m.state().tunings.clear();
            return 0;
        });
    }
};

} // namespace

TEST_F(Backup, FullBackupThenRestoreReproducesTheUserData)
{
    // Give the module user data of its own: arps and a tuning the restore must bring back.
    ASSERT_TRUE(QDir().mkpath(Folder()));
    ByteBlockList arp;
    ASSERT_TRUE(proteus->DownloadArp(0, 0, arp));
    ASSERT_TRUE(proteus->UploadArp(1, arp));
    ASSERT_TRUE(proteus->UploadArp(0, arp));
    ByteBlockList tuning;
    ASSERT_TRUE(proteus->DownloadTuning(4, tuning));
    ASSERT_TRUE(proteus->UploadTuning(2, tuning));
    Disturb(1);
    const UserData before = Read();

    ASSERT_TRUE(proteus->BackupModule(Folder(), true, true, true, true, true, true));
    const QDir folder(Folder());
    for (const char* name : {"Setup0.sysex", "Setup63.sysex", "Preset2.sysex", "Arp1.sysex", "Tuning11.sysex", "BankMap.sysex"})
        EXPECT_TRUE(folder.exists(QLatin1String(name))) << name;
    EXPECT_FALSE(folder.exists(QStringLiteral("Preset3.sysex")));
    EXPECT_TRUE(folder.entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());

    // The report: UTF-16LE with BOM, LF line ends, the configuration's name first.
    QFile report(folder.filePath(QStringLiteral("TabrineBackup.txt")));
    ASSERT_TRUE(report.open(QIODevice::ReadOnly));
    const QByteArray bytes = report.readAll();
    ASSERT_GE(bytes.size(), 2);
    EXPECT_EQ(bytes.left(2), QByteArray("\xFF\xFE", 2));
    const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData() + 2), (bytes.size() - 2) / 2);
    EXPECT_TRUE(text.startsWith(QStringLiteral("Tabrine Backup from Configuration "))) << text.left(80).toStdString();
    EXPECT_TRUE(text.contains(QStringLiteral("\nBackup Made ")));
    EXPECT_FALSE(text.contains(QChar('\r')));

    Disturb(2);
    OnModule([](sim::Module& m) { m.state().arps.clear(); return 0; });
    ASSERT_NE(Read(), before);
    ASSERT_TRUE(proteus->BackupModule(Folder(), false, true, true, true, true, true)) << Boxes().join('\n').toStdString();
    const UserData after = Read();
    EXPECT_EQ(after.presets, before.presets);
    EXPECT_EQ(after.arps, before.arps);
    for (const auto& [n, body] : before.tunings)
        EXPECT_EQ(after.tunings.count(n) ? after.tunings.at(n) : QByteArray(), body) << "tuning " << n;
    EXPECT_EQ(after.bankMap, before.bankMap);
    EXPECT_EQ(after.setupNames, before.setupNames);
    EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join('\n').toStdString();
}

TEST_F(Backup, ARestoreWithABadFileSendsNothing)
{
    ASSERT_TRUE(QDir().mkpath(Folder()));
    ASSERT_TRUE(proteus->BackupModule(Folder(), true, true, true, true, true, true));
    const QDir folder(Folder());

    struct Row {
        const char* name;
        const char* file;
        std::function<bool(const QString&)> damage;
    };
    const Row rows[] = {
        {"a missing preset", "Preset2.sysex", [](const QString& p) { return QFile::remove(p); }},
        {"a file of another kind", "Tuning11.sysex",
         [&](const QString& p) { return QFile::remove(p) && QFile::copy(folder.filePath(QStringLiteral("Arp0.sysex")), p); }},
        {"no message at all", "BankMap.sysex", [](const QString& p) { return dumptest::WriteFile(p, QByteArray("not sysex")); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const QString path = folder.filePath(QLatin1String(row.file));
        const QByteArray good = dumptest::ReadFile(path);
        ASSERT_TRUE(row.damage(path));
        env->presenter->texts.clear();
        const std::size_t sentBefore = SentCount();
        EXPECT_FALSE(proteus->BackupModule(Folder(), false, true, true, true, true, true));
        EXPECT_EQ(SentCount(), sentBefore) << "the module was touched";
        ASSERT_EQ(Boxes().size(), 1) << Boxes().join('\n').toStdString();
        EXPECT_TRUE(Boxes().front().contains(QLatin1String(row.file))) << Boxes().front().toStdString();
        QFile::remove(path);
        ASSERT_TRUE(dumptest::WriteFile(path, good));
    }
    // File names are found without regard to case.
    ASSERT_TRUE(QDir(Folder()).rename(QStringLiteral("Preset0.sysex"), QStringLiteral("preset0.SYSEX")));
    EXPECT_TRUE(proteus->BackupModule(Folder(), false, false, true, false, false, false)) << Boxes().join('\n').toStdString();
}

TEST_F(Backup, ABackupOverAnotherIsSwappedInWhole)
{
    ASSERT_TRUE(QDir().mkpath(Folder()));
    ASSERT_TRUE(proteus->BackupModule(Folder(), true, false, true, false, true, false));
    const QDir folder(Folder());
    const QByteArray oldPreset = dumptest::ReadFile(folder.filePath(QStringLiteral("Preset1.sysex")));
    const QByteArray oldTuning = dumptest::ReadFile(folder.filePath(QStringLiteral("Tuning0.sysex")));
    Disturb(1);

    // A pass that fails half way (the module has no fifth user preset) leaves
    // the old backup as it was and no staging folder behind.
    proteus->hardwareConfig.SetSimms(std::vector<SimmSlot>{{.simmId = 0, .presets = 5, .arps = kArps}});
    EXPECT_FALSE(proteus->BackupModule(Folder(), true, false, true, true, false, false));
    EXPECT_EQ(dumptest::ReadFile(folder.filePath(QStringLiteral("Preset1.sysex"))), oldPreset);
    EXPECT_FALSE(folder.exists(QStringLiteral("Preset4.sysex")));
    EXPECT_TRUE(folder.exists(QStringLiteral("TabrineBackup.txt")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"MyBackup"});

    // A complete pass replaces the files of its options, keeps the others.
    StartModule();
    Disturb(1);
    ASSERT_TRUE(proteus->BackupModule(Folder(), true, false, true, false, false, false)) << Boxes().join('\n').toStdString();
    EXPECT_NE(dumptest::ReadFile(folder.filePath(QStringLiteral("Preset1.sysex"))), oldPreset);
    EXPECT_EQ(dumptest::ReadFile(folder.filePath(QStringLiteral("Tuning0.sysex"))), oldTuning);
    EXPECT_TRUE(folder.exists(QStringLiteral("TabrineBackup.txt")));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden), QStringList{"MyBackup"});
}

TEST_F(Backup, AReportThatCannotBeWrittenFailsTheBackup)
{
    // A folder in place of the report: the report cannot be written.
    ASSERT_TRUE(QDir().mkpath(Folder() + QStringLiteral("/TabrineBackup.txt")));
    EXPECT_FALSE(proteus->BackupModule(Folder(), true, false, false, false, false, true));
}
