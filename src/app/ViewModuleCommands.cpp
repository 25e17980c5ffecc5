// The panel's commands that work on the module as a whole (bank map,
// instrument definition, effects bank, backup and restore), the view
// commands (Message Log, tooltip mode) and Options, with their enable rules.
// The main window's menu and keys end here (Frame::RunCommand).

#include "app/View.h"

#include "app/BackupDlg.h"
#include "app/BankMapDlg.h"
#include "app/Document.h"
#include "app/FileDialogs.h"
#include "app/OptionsDlg.h"
#include "app/RestoreDlg.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "module/Capabilities.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "ui/controls/LoggerPopup.h"
#include "ui/framework/CommandIds.h"

#include <QDialog>

#include <array>

namespace {

constexpr unsigned kBackupFailed = 147;
constexpr unsigned kRestoreFailed = 148;
constexpr unsigned kNoBackups = 149;

/// The value a module parameter holds now; nullopt when the module has none.
std::optional<int> ModuleValue(ControlListener& listener, int id)
{
    if (ParamRecord* record = listener.GetParameter(id))
        return record->value;
    return std::nullopt;
}

} // namespace

int View::TooltipCommand()
{
    const std::uint32_t mode = GetGlobalConfigurations().GetDword(EnableTooltips);
    return mode <= 2 ? cmd::TooltipsNone + int(mode) : 0;
}

bool View::OnUpdateBankMap()
{
    return m_document.GetProteus().HasCapability(CAP_BANK_MAP_DUMPS);
}

bool View::OnUpdateExportFxBank()
{
    if (!IsDeviceReady())
        return false;
    const std::optional<int> bypass = ModuleValue(*this, MASTER_FX_BYPASS);
    const std::optional<int> mode = ModuleValue(*this, MASTER_MIDI_MODE);
    const std::optional<int> channel = ModuleValue(*this, MULTIMODE_FX_CTRL_CHANNEL);
    return bypass == 1 && mode == 2 && channel && *channel != -1;
}

bool View::OnUpdateBackupRestore()
{
    const Proteus& proteus = m_document.GetProteus();
    for (std::uint32_t flag : {CAP_PRESET_DUMPS, CAP_SETUP_DUMPS, CAP_TUNING_DUMPS, CAP_BANK_MAP_DUMPS})
        if (proteus.HasCapability(flag))
            return true;
    return false;
}

namespace {

int RunDialog(const View::DialogRunner& runner, QDialog& dialog)
{
    return runner ? runner(dialog) : dialog.exec();
}

} // namespace

void View::OnEditBankMap()
{
    Proteus& proteus = m_document.GetProteus();
    // Until the module answers: program i selects preset i of the user bank.
    std::array<std::int16_t, 256> values{};
    for (int i = 0; i < 128; ++i)
        values[size_t(i)] = std::int16_t(i);
    std::array<std::int16_t, 256> read = values;
    if (proteus.GetBankMap(read.data()))
        values = read;
    else if (!GetGlobalConfigurations().GetBool(TestUI))
        return; // the read has reported its own failure
    // A failed read may have left part of its answer behind: the dialog starts
    // from the identity map then, not from a half-read one.

    BankMapDlg dialog(QStringLiteral("Bank Map"), this, window());
    dialog.bankMap = values;
    if (RunDialog(m_dialogRunner, dialog) == QDialog::Accepted && dialog.changed)
        proteus.SetBankMap(dialog.bankMap.data());
}

void View::OnViewMessageLog()
{
    QWidget* log = FindPopup(QStringLiteral("Message Log"));
    if (!log)
        return;
    if (log->isVisible()) {
        log->hide();
    } else {
        log->show();
        log->raise();
    }
}

void View::OnViewTooltips(int command)
{
    if (command < cmd::TooltipsNone || command > cmd::TooltipsLong)
        return;
    GetGlobalConfigurations().SetDword(EnableTooltips, std::uint32_t(command - cmd::TooltipsNone));
}

void View::OnSaveInstrumentDefinition()
{
    Proteus& proteus = m_document.GetProteus();
    SonarFileDlg dialog(QString(), proteus.HasCapability(CAP_ARPS_AND_BEATS), proteus.HasCapability(CAP_SYSEX_DUMPS),
                        window());
    dialog.deviceName = proteus.GetModuleName();
    if (dialog.DoModal() != QDialog::Accepted)
        return;
    OnWaiting();
    proteus.WriteInstrumentDefinitionFile(dialog.GetPathName(), dialog.deviceName, dialog.onlyUniqueUserPresets,
                                          dialog.includeNoCategory, dialog.insertKeyMap, dialog.includeBeatsTriggers);
}

void View::OnExportFxBank()
{
    Proteus& proteus = m_document.GetProteus();
    SysexFileDlg dialog(false, GetGlobalConfigurations().GetString(SysexFile), window());
    if (dialog.DoModal() != QDialog::Accepted)
        return;
    ByteBlockList blocks;
    if (proteus.CreateFXSysexBank(blocks))
        proteus.WriteSysExFile(dialog.GetPathName(), blocks, OleProps());
}

void View::OnBackupModule()
{
    BackupDlg dialog(QStringLiteral("Backup Module"), this, window());
    if (RunDialog(m_dialogRunner, dialog) != QDialog::Accepted)
        return;
    if (!m_document.GetProteus().BackupModule(dialog.folder, true, dialog.setups, dialog.presets, dialog.arps,
                                              dialog.tunings, dialog.bankMap))
        ShowMessage(this, msgbox::Ok, true, kBackupFailed);
}

void View::OnRestoreBackup()
{
    RestoreDlg dialog(QStringLiteral("Restore Backup"), this, window());
    if (!dialog.FindBackups()) {
        ShowMessage(this, msgbox::Ok, false, kNoBackups);
        return;
    }
    if (RunDialog(m_dialogRunner, dialog) != QDialog::Accepted)
        return;
    if (!m_document.GetProteus().BackupModule(dialog.folder, false, dialog.setups, dialog.presets, dialog.arps,
                                              dialog.tunings, dialog.bankMap))
        ShowMessage(this, msgbox::Ok, true, kRestoreFailed);
}

void View::OnOptions()
{
    OptionsDlg dialog(QStringLiteral("Tabrine Options"), this, window());
    dialog.LoadSettings();
    if (RunDialog(m_dialogRunner, dialog) == QDialog::Accepted)
        dialog.StoreSettings();
}
