// The backup and restore dialogs: the switches by capability and by what a
// backup holds, the checks of OK, the search for backups, and a backup then a
// restore through both dialogs against the simulated module.
#include "AppDialogTestSupport.h"

#include "app/BackupDlg.h"
#include "app/RestoreDlg.h"
#include "module/Proteus.h"
#include "sim/DumpHandlers.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/SwitchCtrl.h"

#include <QDir>
#include <QFile>

using apptest::AppDialogTest;

namespace {

void Touch(const QString& path)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("x");
}

struct SwitchState {
    bool on;
    bool enabled;
    bool operator==(const SwitchState&) const = default;
};
std::ostream& operator<<(std::ostream& os, const SwitchState& s)
{
    return os << (s.on ? "on" : "off") << "/" << (s.enabled ? "enabled" : "disabled");
}

template <class Dialog>
std::vector<SwitchState> Switches(Dialog& dialog)
{
    std::vector<SwitchState> out;
    for (int kind = 0; kind < backupfiles::kKinds; ++kind)
        out.push_back({dialog.Switch(kind)->IsOn(), dialog.Switch(kind)->isEnabled()});
    return out;
}

class BackupDialogs : public AppDialogTest {
protected:
    /// Shows a backup dialog with name typed and presses OK; whether it closed with OK.
    bool BackupWithName(BackupDlg& dialog, const QString& name)
    {
        dialog.show();
        QCoreApplication::processEvents();
        dialog.NameEdit()->setText(name);
        dialog.OnCommand(cmd::IdOk);
        return !dialog.isVisible() && dialog.result() == QDialog::Accepted;
    }
};

} // namespace

TEST_F(BackupDialogs, BackupSwitchesFollowTheModulesCapabilities)
{
    const SwitchState on{true, true}, offDisabled{false, false}, offEnabled{false, true};
    struct Case {
        std::uint32_t caps;
        std::vector<SwitchState> expected; // setups, presets, arps, tunings, bank map
    };
    const Case cases[] = {
        {CAP_PRESET_DUMPS | CAP_SETUP_DUMPS, {on, on, offDisabled, offDisabled, offDisabled}},
        {apptest::kAllKinds, {on, on, on, on, on}},
        // Setups stay enabled (off) without their capability.
        {CAP_TUNING_DUMPS | CAP_BANK_MAP_DUMPS, {offEnabled, offDisabled, offDisabled, on, on}},
    };
    for (const Case& c : cases) {
        SetCapabilities(c.caps);
        BackupDlg dialog(QStringLiteral("Backup Module"), &panel, nullptr);
        EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Backup Module"));
        EXPECT_EQ(Switches(dialog), c.expected) << std::hex << c.caps;
    }
}

TEST_F(BackupDialogs, ABackupNameIsOnePlainFolderName)
{
    const char* refused[] = {"", "   ", ".", "..", "a/b", "../escape", "a\\b", "/tmp/x", ".hidden", "tab\there"};
    for (const char* name : refused) {
        presenter->texts.clear();
        BackupDlg dialog(QStringLiteral("Backup Module"), &panel, nullptr);
        EXPECT_FALSE(BackupWithName(dialog, QString::fromUtf8(name))) << name;
        EXPECT_TRUE(dialog.isVisible()) << name;
        EXPECT_EQ(presenter->texts.size(), 1) << name;
        EXPECT_TRUE(dialog.folder.isEmpty()) << name;
    }
    // Nothing was made anywhere: the data folder holds no folder at all.
    EXPECT_TRUE(QDir(DataFolder()).entryList(QDir::Dirs | QDir::NoDotAndDotDot | QDir::Hidden).isEmpty());
    EXPECT_FALSE(QDir(dir.filePath(QStringLiteral("docs/escape"))).exists());

    presenter->texts.clear();
    BackupDlg dialog(QStringLiteral("Backup Module"), &panel, nullptr);
    ASSERT_TRUE(BackupWithName(dialog, QStringLiteral("Sunday Set")));
    EXPECT_EQ(dialog.folder, QDir(DataFolder()).filePath(QStringLiteral("Sunday Set")));
    EXPECT_TRUE(QFileInfo(dialog.folder).isDir());
    EXPECT_TRUE(dialog.setups && dialog.presets && dialog.arps && dialog.tunings && dialog.bankMap);
    EXPECT_TRUE(presenter->texts.isEmpty());
}

// With every kind switched off OK is refused with a message, and no folder is made.
TEST_F(BackupDialogs, BackingUpNothingIsRefused)
{
    BackupDlg dialog(QStringLiteral("Backup Module"), &panel, nullptr);
    for (int kind = 0; kind < backupfiles::kKinds; ++kind)
        if (dialog.Switch(kind)->IsOn())
            dialog.Switch(kind)->Toggle();
    EXPECT_FALSE(BackupWithName(dialog, QStringLiteral("Sunday")));
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(presenter->texts.size(), 1);
    EXPECT_TRUE(presenter->texts[0].contains(QStringLiteral("nothing to back up")));
    EXPECT_TRUE(dialog.folder.isEmpty());
    EXPECT_FALSE(QDir(DataFolder()).exists(QStringLiteral("Sunday")));

    presenter->texts.clear();
    dialog.Switch(3)->Toggle();
    EXPECT_TRUE(BackupWithName(dialog, QStringLiteral("Sunday")));
    EXPECT_TRUE(presenter->texts.isEmpty());
    EXPECT_TRUE(dialog.tunings && !dialog.setups && !dialog.presets && !dialog.arps && !dialog.bankMap);
}

TEST_F(BackupDialogs, NoBackupWithoutADataFolder)
{
    DataLocations none;
    style->SetDataLocations(none);
    BackupDlg dialog(QStringLiteral("Backup Module"), &panel, nullptr);
    EXPECT_FALSE(BackupWithName(dialog, QStringLiteral("Sunday")));
    ASSERT_EQ(presenter->texts.size(), 1);
    EXPECT_TRUE(presenter->texts[0].contains(QStringLiteral("no data folder")));
    EXPECT_FALSE(QFileInfo::exists(QStringLiteral("Sunday")));
}

TEST_F(BackupDialogs, AnExistingBackupIsOverwrittenOnlyOnYes)
{
    Touch(QDir(DataFolder()).filePath(QStringLiteral("Sunday/TabrineBackup.txt")));
    const QString question = LoadResourceString(150);

    BackupDlg dialog(QStringLiteral("Backup Module"), &panel, nullptr);
    EXPECT_FALSE(BackupWithName(dialog, QStringLiteral("Sunday")));
    EXPECT_EQ(presenter->texts, QStringList{question});
    EXPECT_EQ(dialog.NameEdit()->text(), QStringLiteral("Sunday")); // the name is kept

    presenter->answers = {msgbox::IdYes};
    dialog.OnCommand(cmd::IdOk);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(presenter->texts, (QStringList{question, question}));
}

TEST_F(BackupDialogs, FindBackupsOffersOnlyMarkedVisibleFolders)
{
    const QDir data(DataFolder());
    Touch(data.filePath(QStringLiteral("Zeta/TabrineBackup.txt")));
    Touch(data.filePath(QStringLiteral("alpha/tabrinebackup.TXT")));
    Touch(data.filePath(QStringLiteral(".Hidden/TabrineBackup.txt")));
    Touch(data.filePath(QStringLiteral("NoMarker/Setup0.sysex")));
    Touch(data.filePath(QStringLiteral("TabrineBackup.txt")));
    Touch(data.filePath(QStringLiteral("PlainFile")));

    RestoreDlg dialog(QStringLiteral("Restore Backup"), &panel, nullptr);
    ASSERT_TRUE(dialog.FindBackups());
    EXPECT_EQ(dialog.Backups(), (NameMap{{0, QStringLiteral("alpha")}, {1, QStringLiteral("Zeta")}}));
    EXPECT_EQ(dialog.NameRecord().maximum, 1);
    EXPECT_EQ(dialog.NameRecord().value, 0);
}

TEST_F(BackupDialogs, FindBackupsFindsNothingInAnEmptyDataFolder)
{
    RestoreDlg dialog(QStringLiteral("Restore Backup"), &panel, nullptr);
    EXPECT_FALSE(dialog.FindBackups());
    DataLocations none;
    style->SetDataLocations(none);
    EXPECT_FALSE(dialog.FindBackups());
}

TEST_F(BackupDialogs, RestoreSwitchesFollowTheChosenBackupWhateverTheCase)
{
    const QDir data(DataFolder());
    // What the backup writes, and the same in other cases.
    for (const char* f : {"Setup0.sysex", "Preset0.sysex", "Arp0.sysex", "Tuning0.sysex", "BankMap.sysex"})
        Touch(data.filePath(QStringLiteral("A Full/") + QLatin1String(f)));
    for (const char* f : {"SETUP0.SYSEX", "preset0.sysex"})
        Touch(data.filePath(QStringLiteral("B Older/") + QLatin1String(f)));
    Touch(data.filePath(QStringLiteral("A Full/TabrineBackup.txt")));
    Touch(data.filePath(QStringLiteral("B Older/TabrineBackup.txt")));

    RestoreDlg dialog(QStringLiteral("Restore Backup"), &panel, nullptr);
    ASSERT_TRUE(dialog.FindBackups());
    dialog.show();
    QCoreApplication::processEvents();
    const SwitchState on{true, true}, off{false, false};
    EXPECT_EQ(Switches(dialog), (std::vector<SwitchState>{on, on, on, on, on}));

    // Choosing the other backup in the menu re-evaluates the switches at once.
    dialog.BackupMenu()->Choose(1);
    EXPECT_EQ(dialog.NameRecord().value, 1);
    EXPECT_EQ(Switches(dialog), (std::vector<SwitchState>{on, on, off, off, off}));
    EXPECT_TRUE(dialog.BackupMenu()->Text().contains(QStringLiteral("B Older"))) << dialog.BackupMenu()->Text().toStdString();

    // A kind the module does not take stays off even when the backup holds it.
    SetCapabilities(CAP_SETUP_DUMPS);
    dialog.BackupMenu()->Choose(0);
    EXPECT_EQ(Switches(dialog), (std::vector<SwitchState>{on, off, off, off, off}));

    dialog.OnCommand(cmd::IdOk);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.folder, data.filePath(QStringLiteral("A Full")));
    EXPECT_TRUE(dialog.setups);
    EXPECT_FALSE(dialog.presets || dialog.arps || dialog.tunings || dialog.bankMap);
}

TEST_F(BackupDialogs, RestoringNothingIsRefused)
{
    const QDir data(DataFolder());
    Touch(data.filePath(QStringLiteral("Empty/TabrineBackup.txt")));
    Touch(data.filePath(QStringLiteral("Setups/setup0.sysex")));
    Touch(data.filePath(QStringLiteral("Setups/TabrineBackup.txt")));

    RestoreDlg dialog(QStringLiteral("Restore Backup"), &panel, nullptr);
    ASSERT_TRUE(dialog.FindBackups());
    dialog.show();
    QCoreApplication::processEvents();
    // "Empty" holds nothing to restore: OK refuses and says why.
    dialog.OnCommand(cmd::IdOk);
    EXPECT_TRUE(dialog.isVisible());
    ASSERT_EQ(presenter->texts.size(), 1);
    EXPECT_TRUE(presenter->texts[0].contains(QStringLiteral("nothing to restore")));
    EXPECT_TRUE(dialog.folder.isEmpty());

    // The user switching the only kind off is refused the same way.
    dialog.BackupMenu()->Choose(1);
    ASSERT_TRUE(dialog.Switch(0)->IsOn());
    dialog.Switch(0)->Toggle();
    dialog.OnCommand(cmd::IdOk);
    EXPECT_TRUE(dialog.isVisible());
    EXPECT_EQ(presenter->texts.size(), 2);
}

namespace {

struct UserData {
    std::vector<std::vector<QByteArray>> presets;
    std::map<int, QByteArray> tunings;
    std::vector<int> bankMap;
    bool operator==(const UserData&) const = default;
};

} // namespace

TEST_F(BackupDialogs, BackupThenRestoreThroughTheDialogsBringsTheDataBack)
{
    proteustest::SimOptions options;
    options.profileJson = R"({"base": "full", "userPresets": 4})";
    StartAll(options);
    const SimmSlot simms[] = {{.simmId = 4, .presets = 512, .arps = 200}, {.simmId = 0, .presets = 3, .arps = 2}};
    proteus->hardwareConfig.SetSimms(simms);
    proteustest::RecordingListener progress;
    proteus->AddListener(&progress);

    auto read = [this] {
        link->SleepMs(400);
        return link->withDevice([this](sim::Device&) {
            UserData d;
            for (int n = 0; n < 3; ++n) {
                std::vector<QByteArray> preset = sim::StoredPreset(*module, 0, n);
                if (!preset.empty() && preset[0].size() > 8)
                    preset[0][7] = preset[0][8] = 0; // a restored preset carries its slot's number
                d.presets.push_back(preset);
            }
            d.tunings = module->state().tunings;
            d.bankMap = module->state().bankMap;
            return d;
        });
    };
    auto disturb = [this] {
        link->SleepMs(400);
        link->withDevice([this](sim::Device&) {
            for (int n = 0; n < 3; ++n)
                module->state().dumps->presets[{0, n}] = sim::StoredPreset(*module, 0, (n + 1) % 3 + 1);
            for (int i = 0; i < 256; ++i)
                module->state().bankMap[std::size_t(i)] = (i * 7 + 3) % 200;
            module->state().tunings.clear();
        });
    };
    ByteBlockList tuning;
    ASSERT_TRUE(proteus->DownloadTuning(4, tuning));
    ASSERT_TRUE(proteus->UploadTuning(2, tuning));
    const UserData before = read();

    // Backup Module: the dialog names the folder, the command runs the backup.
    BackupDlg backup(QStringLiteral("Backup Module"), &panel, nullptr);
    ASSERT_TRUE(BackupWithName(backup, QStringLiteral("Before The Gig")));
    progress.calls.clear();
    ASSERT_TRUE(proteus->BackupModule(backup.folder, true, backup.setups, backup.presets, backup.arps, backup.tunings,
                                      backup.bankMap));
    EXPECT_TRUE(progress.calls.filter(QStringLiteral("begin")).size() >= 1) << progress.calls.join('\n').toStdString();
    EXPECT_TRUE(progress.calls.contains(QStringLiteral("step")));
    EXPECT_TRUE(progress.calls.contains(QStringLiteral("end")));

    disturb();
    ASSERT_NE(read(), before);

    // Restore Backup: the dialog finds what the backup wrote (its own file names).
    RestoreDlg restore(QStringLiteral("Restore Backup"), &panel, nullptr);
    ASSERT_TRUE(restore.FindBackups());
    EXPECT_EQ(restore.Backups().at(0), QStringLiteral("Before The Gig"));
    restore.show();
    QCoreApplication::processEvents();
    const SwitchState on{true, true};
    EXPECT_EQ(Switches(restore), (std::vector<SwitchState>{on, on, on, on, on}));
    restore.OnCommand(cmd::IdOk);
    ASSERT_EQ(restore.result(), QDialog::Accepted);
    EXPECT_EQ(restore.folder, backup.folder);
    progress.calls.clear();
    ASSERT_TRUE(proteus->BackupModule(restore.folder, false, restore.setups, restore.presets, restore.arps,
                                      restore.tunings, restore.bankMap))
        << presenter->texts.join('\n').toStdString();
    EXPECT_TRUE(progress.calls.contains(QStringLiteral("step")));
    const UserData after = read();
    EXPECT_EQ(after.presets, before.presets);
    EXPECT_EQ(after.bankMap, before.bankMap);
    for (const auto& [n, body] : before.tunings)
        EXPECT_EQ(after.tunings.count(n) ? after.tunings.at(n) : QByteArray(), body) << "tuning " << n;
    EXPECT_TRUE(presenter->texts.isEmpty()) << presenter->texts.join('\n').toStdString();
    proteus->RemoveListener(&progress);
}
