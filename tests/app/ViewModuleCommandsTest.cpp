// The panel's module, view and options commands: their enable and check
// rules in the main window, and each command run end to end against the
// simulated module with its dialog answered by a script.

#include "ViewFixture.h"

#include "app/BackupDlg.h"
#include "app/Application.h"
#include "app/BankMapDlg.h"
#include "app/Document.h"
#include "app/FileDialogs.h"
#include "app/Frame.h"
#include "app/OptionsDlg.h"
#include "app/RestoreDlg.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiTestSupport.h"
#include "module/Capabilities.h"
#include "module/ParameterIds.h"
#include "support/ShortcutCheck.h"
#include "ui/controls/EditCtrls.h"
#include "ui/framework/CommandIds.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace {

/// Records every box and answers OK.
class RecordingPresenter final : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString&, unsigned) override
    {
        texts << text;
        return msgbox::IdOk;
    }
    QStringList texts;
};

class ModuleCommandStates : public ::testing::Test {
protected:
    void TearDown() override { GetGlobalConfigurations().SetBool(TestUI, false); }
    miditest::TestEnvironment env;
    std::shared_ptr<LoopbackBackend> backend = std::make_shared<LoopbackBackend>();
    std::shared_ptr<LoopbackDevice> device = backend->AddDevice(QStringLiteral("Proteus"));
};

bool Enabled(Frame& frame, int command)
{
    QAction* a = frame.Action(command);
    return a && a->isEnabled();
}

TEST_F(ModuleCommandStates, EachCommandFollowsReadinessCapabilitiesAndTheEffectsRule)
{
    struct Case {
        const char* name;
        bool ready;
        std::uint32_t caps;
        int bypass, mode, fxChannel;
        bool bankMap, instrument, tooltips, fxBank, backup;
    };
    const Case cases[] = {
        {"not ready, nothing", false, 0, 1, 2, 0, false, false, false, false, false},
        {"not ready, bank map dumps", false, CAP_BANK_MAP_DUMPS, 1, 2, 0, true, false, false, false, true},
        {"ready, nothing", true, 0, 0, 0, 0, false, true, true, false, false},
        {"ready, preset dumps", true, CAP_PRESET_DUMPS, 0, 0, 0, false, true, true, false, true},
        {"ready, setup dumps", true, CAP_SETUP_DUMPS, 0, 0, 0, false, true, true, false, true},
        {"ready, tuning dumps", true, CAP_TUNING_DUMPS, 0, 0, 0, false, true, true, false, true},
        {"ready, arps only", true, CAP_ARPS_AND_BEATS | CAP_SYSEX_DUMPS, 0, 0, 0, false, true, true, false, false},
        {"ready, effects rule met", true, 0, 1, 2, 0, false, true, true, true, false},
        {"ready, effects not bypassed", true, 0, 0, 2, 0, false, true, true, false, false},
        {"ready, not multi mode", true, 0, 1, 1, 0, false, true, true, false, false},
        {"ready, no effects channel", true, 0, 1, 2, -1, false, true, true, false, false},
        {"not ready, effects rule met", false, 0, 1, 2, 3, false, false, false, false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        GetGlobalConfigurations().SetBool(TestUI, c.ready);
        Document document(backend);
        Frame frame(document);
        Proteus& proteus = document.GetProteus();
        proteus.SetCapabilities(c.caps);
        View& view = *frame.GetView();
        for (auto [id, value] : {std::pair{MASTER_FX_BYPASS, c.bypass}, std::pair{MASTER_MIDI_MODE, c.mode},
                                 std::pair{MULTIMODE_FX_CTRL_CHANNEL, c.fxChannel}}) {
            ParamRecord* record = view.GetParameter(id);
            ASSERT_NE(record, nullptr) << id;
            record->value = value;
        }
        frame.UpdateCommandStates();
        EXPECT_EQ(Enabled(frame, cmd::BankMap), c.bankMap);
        EXPECT_EQ(Enabled(frame, cmd::SaveInstrumentDefinition), c.instrument);
        EXPECT_EQ(Enabled(frame, cmd::TipEditor), c.instrument);
        for (int id : {cmd::TooltipsNone, cmd::TooltipsShort, cmd::TooltipsLong})
            EXPECT_EQ(Enabled(frame, id), c.tooltips) << id;
        EXPECT_EQ(Enabled(frame, cmd::ExportFxBank), c.fxBank);
        EXPECT_EQ(Enabled(frame, cmd::BackupModule), c.backup);
        EXPECT_EQ(Enabled(frame, cmd::RestoreBackup), c.backup);
        EXPECT_TRUE(Enabled(frame, cmd::Options));
        EXPECT_TRUE(Enabled(frame, cmd::MessageLog));
        EXPECT_TRUE(EachKeyBoundOnce(&frame));
    }
}

TEST_F(ModuleCommandStates, TheTooltipRadioMarkFollowsTheStoredMode)
{
    GetGlobalConfigurations().SetBool(TestUI, true);
    Document document(backend);
    Frame frame(document);
    auto checked = [&] {
        std::vector<bool> out;
        for (int id : {cmd::TooltipsNone, cmd::TooltipsShort, cmd::TooltipsLong})
            out.push_back(frame.Action(id)->isChecked());
        return out;
    };
    frame.RunCommand(cmd::TooltipsShort);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(EnableTooltips), 1u);
    EXPECT_EQ(checked(), (std::vector<bool>{false, true, false}));
    frame.RunCommand(cmd::TooltipsLong);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(EnableTooltips), 2u);
    // Changed elsewhere: the mark follows the setting.
    GetGlobalConfigurations().SetDword(EnableTooltips, 0);
    frame.UpdateCommandStates();
    EXPECT_EQ(checked(), (std::vector<bool>{true, false, false}));
}

TEST(HelpFiles, TheHelpAndTheReadMeLieBesideTheBuiltProgram)
{
    const QString programFolder = QStringLiteral(TABRINE_PROGRAM_DIR);
    const QString help = Application::HelpFilePath(programFolder);
    EXPECT_EQ(QFileInfo(help).absolutePath(), QFileInfo(programFolder).absoluteFilePath());
    QFile file(help);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << help.toStdString();
    EXPECT_TRUE(file.readAll().contains("<title>Tabrine Help</title>"));
    EXPECT_TRUE(QFileInfo::exists(QDir(programFolder).filePath(QStringLiteral("ReadMe.txt"))));
}

class ModuleCommands : public viewtest::ViewFixture {
protected:
    void SetUp() override
    {
        Start(R"({"base": "full"})");
        SetMessagePresenter(presenter);
    }
    void TearDown() override
    {
        SetMessagePresenter(nullptr);
        GetGlobalConfigurations().SetBool(TestUI, false);
        ViewFixture::TearDown();
    }
    QString DataFolder() { return style->GetDataFilePath(true, QString()); }

    std::shared_ptr<RecordingPresenter> presenter = std::make_shared<RecordingPresenter>();
    int runs = 0;
};

TEST_F(ModuleCommands, BackupThenRestoreThroughTheDialogs)
{
    Connect();
    presenter->texts.clear(); // the first-connect notice
    view->SetDialogRunner([this](QDialog& d) {
        ++runs;
        auto& dialog = dynamic_cast<BackupDlg&>(d);
        dialog.show();
        QCoreApplication::processEvents();
        dialog.NameEdit()->setText(QStringLiteral("Sunday"));
        dialog.OnCommand(cmd::IdOk);
        return dialog.result();
    });
    view->OnBackupModule();
    ASSERT_EQ(runs, 1);
    EXPECT_TRUE(presenter->texts.isEmpty()) << presenter->texts.join('\n').toStdString();
    const QDir backup(QDir(DataFolder()).filePath(QStringLiteral("Sunday")));
    EXPECT_TRUE(QFileInfo::exists(backup.filePath(QStringLiteral("TabrineBackup.txt"))));
    EXPECT_TRUE(QFileInfo::exists(backup.filePath(QStringLiteral("Setup0.sysex"))));

    // The module's bank map changes after the backup; the restore brings it back.
    std::array<std::int16_t, 256> saved{};
    ASSERT_TRUE(Connection().GetBankMap(saved.data()));
    std::array<std::int16_t, 256> other = saved;
    other[5] = 77;
    ASSERT_TRUE(Connection().SetBankMap(other.data()));
    link->SleepMs(400);
    ASSERT_EQ(link->withDevice([this](sim::Device&) { return module->state().bankMap; })[5], 77);

    QString chosen;
    view->SetDialogRunner([&](QDialog& d) {
        ++runs;
        auto& dialog = dynamic_cast<RestoreDlg&>(d);
        dialog.show();
        QCoreApplication::processEvents();
        dialog.OnCommand(cmd::IdOk);
        chosen = dialog.folder;
        return dialog.result();
    });
    const size_t mark = ToModule().size();
    view->OnRestoreBackup();
    EXPECT_EQ(runs, 2);
    EXPECT_TRUE(presenter->texts.isEmpty()) << presenter->texts.join('\n').toStdString();
    EXPECT_EQ(QDir(chosen).dirName(), QStringLiteral("Sunday"));
    EXPECT_FALSE(Since(mark).empty());
    link->SleepMs(400);
    const std::vector<int> stored = link->withDevice([this](sim::Device&) { return module->state().bankMap; });
    ASSERT_EQ(stored.size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(stored[size_t(i)], saved[size_t(i)]) << i;
}

TEST_F(ModuleCommands, TheInstrumentDefinitionIsWrittenWhereTheDialogSays)
{
    Connect();
    presenter->texts.clear(); // the first-connect notice
    const QString path = QDir(folder->path()).filePath(QStringLiteral("module.ins"));
    QString deviceName;
    SetFileDialogScript([&](FileDialogBase& d) {
        auto& dialog = dynamic_cast<SonarFileDlg&>(d);
        deviceName = dialog.deviceName;
        dialog.Choose(path);
        return int(QDialog::Accepted);
    });
    view->OnSaveInstrumentDefinition();
    SetFileDialogScript({});
    EXPECT_EQ(deviceName, Connection().GetModuleName());
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    EXPECT_TRUE(file.readAll().contains(deviceName.toLatin1()));
    EXPECT_TRUE(presenter->texts.isEmpty()) << presenter->texts.join('\n').toStdString();
}

TEST_F(ModuleCommands, TheEffectsBankIsWrittenAsSysEx)
{
    Connect();
    presenter->texts.clear(); // the first-connect notice
    GetGlobalConfigurations().SetString(SysexFile, QStringLiteral("old.sysex"));
    const QString path = QDir(folder->path()).filePath(QStringLiteral("fx.sysex"));
    QString offered;
    SetFileDialogScript([&](FileDialogBase& d) {
        EXPECT_FALSE(d.IsOpenDialog());
        offered = QFileInfo(d.selectedFiles().value(0)).fileName();
        d.Choose(path);
        return int(QDialog::Accepted);
    });
    view->OnExportFxBank();
    SetFileDialogScript({});
    EXPECT_EQ(offered, QStringLiteral("old.sysex"));
    EXPECT_EQ(GetGlobalConfigurations().GetString(SysexFile), QStringLiteral("old.sysex"));
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray bytes = file.readAll();
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_EQ(std::uint8_t(bytes.front()), 0xF0);
    EXPECT_EQ(std::uint8_t(bytes.back()), 0xF7);
}

TEST_F(ModuleCommands, RestoreWithoutABackupSaysSoAndOpensNoDialog)
{
    Connect();
    presenter->texts.clear(); // the first-connect notice
    view->SetDialogRunner([this](QDialog&) {
        ++runs;
        return int(QDialog::Accepted);
    });
    view->OnRestoreBackup();
    EXPECT_EQ(runs, 0);
    EXPECT_EQ(presenter->texts, QStringList{QStringLiteral("No backups were found to restore")});
}

TEST_F(ModuleCommands, TheBankMapIsReadEditedAndSent)
{
    Connect();
    presenter->texts.clear(); // the first-connect notice
    std::array<std::int16_t, 256> before{};
    ASSERT_TRUE(Connection().GetBankMap(before.data()));
    view->SetDialogRunner([&](QDialog& d) {
        ++runs;
        auto& dialog = dynamic_cast<BankMapDlg&>(d);
        EXPECT_EQ(dialog.bankMap, before);
        dialog.show();
        QCoreApplication::processEvents();
        dialog.Selector(2)->OnPopupSelect(1, 4, 321);
        dialog.OnCommand(cmd::IdOk);
        return dialog.result();
    });
    view->OnEditBankMap();
    ASSERT_EQ(runs, 1);
    link->SleepMs(400);
    const std::vector<int> stored = link->withDevice([this](sim::Device&) { return module->state().bankMap; });
    ASSERT_EQ(stored.size(), 256u);
    EXPECT_EQ(stored[2], 321);
    EXPECT_EQ(stored[128 + 2], 4);
    EXPECT_EQ(stored[3], before[3]);
}

TEST_F(ModuleCommands, AFailedBankMapReadOpensTheIdentityMapOnlyInTestMode)
{
    // Not connected: the read fails.
    for (bool testUI : {false, true}) {
        SCOPED_TRACE(testUI);
        GetGlobalConfigurations().SetBool(TestUI, testUI);
        std::array<std::int16_t, 256> shown{};
        runs = 0;
        view->SetDialogRunner([&](QDialog& d) {
            ++runs;
            shown = dynamic_cast<BankMapDlg&>(d).bankMap;
            return int(QDialog::Rejected);
        });
        view->OnEditBankMap();
        EXPECT_EQ(runs, testUI ? 1 : 0);
        if (testUI) {
            for (int i = 0; i < 256; ++i)
                EXPECT_EQ(shown[size_t(i)], i < 128 ? i : 0) << i;
        }
    }
}

TEST_F(ModuleCommands, OptionsStoresTheSettingsOnlyOnOk)
{
    for (bool ok : {false, true}) {
        SCOPED_TRACE(ok);
        GetGlobalConfigurations().SetBool(ReaderFriendly, false);
        view->SetDialogRunner([&](QDialog& d) {
            auto& dialog = dynamic_cast<OptionsDlg&>(d);
            EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Tabrine Options"));
            dialog.screenReaderFriendly = true;
            return int(ok ? QDialog::Accepted : QDialog::Rejected);
        });
        view->OnOptions();
        EXPECT_EQ(GetGlobalConfigurations().GetBool(ReaderFriendly), ok);
    }
}

} // namespace
