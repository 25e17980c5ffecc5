#pragma once
// The Backup Module dialog: names a backup folder inside the data folder and
// chooses which kinds of the module's user data go into it. It only collects
// the choice; the command that opened it runs Proteus::BackupModule with
// `folder` and the five switches after OK.
//
// A backup folder is a folder directly inside the data folder that holds the
// report file "TabrineBackup.txt". Its name is one plain file-name component:
// the dialog refuses an empty name, a name holding a path separator, and "."
// or "..", so a backup can never land outside the data folder or in the data
// folder itself; and it refuses to back up at all without a data folder.

#include "ui/framework/BasicDialog.h"

#include <QString>

#include <array>
#include <cstdint>
#include <memory>

class LitButtonCtrl;
class EditCtrl;

namespace Ui {
class BackupDlg;
}

namespace backupfiles {
/// The report file that marks a folder as a backup.
inline constexpr char16_t kReportName[] = u"TabrineBackup.txt";
/// The kinds in switch order: setups, presets, arps, tunings, bank map.
inline constexpr int kKinds = 5;
/// The switch items, in switch order.
inline constexpr int kSwitchIds[kKinds] = {1356, 1357, 1359, 1358, 1360};
/// The capability that allows each kind.
std::uint32_t KindCapability(int kind);
/// The first file a backup of each kind writes ("Setup0.sysex" ... "BankMap.sysex").
QString FirstFileName(int kind);
/// The data folder with a trailing separator; empty when there is none.
QString DataFolder();
/// Whether folder holds a file of this name, the letters' case aside.
bool HoldsFile(const QString& folder, const QString& name);
/// Why name cannot name a backup folder; empty when it can.
QString BackupNameProblem(const QString& name);
/// The capabilities of the module the listener chain leads to (the stored
/// Capabilities setting when the chain leads to none).
std::uint32_t ModuleCapabilities(ControlListener* listener);
} // namespace backupfiles

class BackupDlg : public ModalDialog {
    Q_OBJECT
public:
    BackupDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~BackupDlg() override;

    // Results after OK, as Proteus::BackupModule takes them.
    QString folder;
    bool setups = false;
    bool presets = false;
    bool arps = false;
    bool tunings = false;
    bool bankMap = false;

    /// Every switch change is taken (the records are the dialog's own).
    bool EditParameter(ParamRecord* record) override;

    EditCtrl* NameEdit() const { return m_name; }
    LitButtonCtrl* Switch(int kind) const { return m_switches[size_t(kind)]; }

protected:
    void OnOK() override;

private:
    std::unique_ptr<Ui::BackupDlg> m_ui;
    EditCtrl* m_name = nullptr;
    std::array<LitButtonCtrl*, backupfiles::kKinds> m_switches{};
    std::array<ParamRecord, backupfiles::kKinds> m_records;
};
