#pragma once
// The Restore Backup dialog: lists the backups found in the data folder in a
// value menu and chooses which kinds of data to send back to the module. It
// only collects the choice; the command that opened it runs
// Proteus::BackupModule with `folder` and the five switches after OK.
//
// The caller builds the dialog, calls FindBackups first (false: there is no
// backup, and the dialog is not shown), then runs it. A kind can be switched
// on only when the module takes it and the chosen backup holds its first file
// (found without regard to case); OK with nothing switched on is refused, so
// the command never reports a restore of nothing as done.

#include "app/BackupDlg.h"
#include "module/NameLists.h"
#include "ui/controls/ValueMenuCtrl.h"

#include <array>
#include <memory>

namespace Ui {
class RestoreDlg;
}

/// The backup menu as a form builds it (forms give controls no owner).
class RestoreMenuCtrl : public MenuCtrl {
    Q_OBJECT
public:
    explicit RestoreMenuCtrl(QWidget* parent = nullptr) : MenuCtrl(nullptr, parent) {}
};

class RestoreDlg : public ModalDialog {
    Q_OBJECT
public:
    /// The record the backup menu shows: the index of the chosen backup.
    static constexpr int RestoreNameId = 9270;

    RestoreDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~RestoreDlg() override;

    /// Lists the folders of the data folder that hold "TabrineBackup.txt"
    /// (not those whose names begin with "."), by name; false when none.
    bool FindBackups();

    // Results after OK, as Proteus::BackupModule takes them.
    QString folder;
    bool setups = false;
    bool presets = false;
    bool arps = false;
    bool tunings = false;
    bool bankMap = false;

    /// Every edit is taken; a change of backup re-evaluates the switches.
    bool EditParameter(ParamRecord* record) override;

    /// Backup index -> folder name.
    const NameMap& Backups() const { return m_names; }
    ParamRecord& NameRecord() { return m_nameRecord; }
    RestoreMenuCtrl* BackupMenu() const { return m_menu; }
    LitButtonCtrl* Switch(int kind) const { return m_switches[size_t(kind)]; }

protected:
    void OnOK() override;

private:
    /// Each kind on and enabled when the module takes it and the chosen backup holds its first file.
    void RefreshSwitches();
    QString ChosenFolder() const;

    std::unique_ptr<Ui::RestoreDlg> m_ui;
    RestoreMenuCtrl* m_menu = nullptr;
    std::array<LitButtonCtrl*, backupfiles::kKinds> m_switches{};
    std::array<ParamRecord, backupfiles::kKinds> m_records;
    ParamRecord m_nameRecord;
    NameMap m_names;
};
