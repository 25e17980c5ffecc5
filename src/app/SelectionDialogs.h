#pragma once
// The object selection dialogs: each lets the user pick a module object (a
// preset, an arp pattern or a setup) and, for export and copy, what part of
// a preset to take. They send nothing to the module; the opener presets the
// result fields, runs the dialog and reads the results after OK (after
// Cancel it ignores them).
//
// Each selector edits a private record of its dialog, registered under a
// pseudo-parameter id of the dialog's own, so the choice comes back to the
// dialog and never reaches the module. Pressing a selector opens the main
// panel's named selection popup, found through the parent listener chain.

#include "module/ParamRecord.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/framework/BasicDialog.h"

#include <QPointer>
#include <QWindow>

#include <array>
#include <memory>
#include <vector>

class ComboCtrl;
class LitButtonCtrl;
class QComboBox;
class QLabel;

namespace Ui {
class SaveDlg;
class DumpDlg;
class CopyArpDlg;
class SetupSelectDlg;
class ExportDataDlg;
class CopyPresetDlg;
} // namespace Ui

/// What the six dialogs share: the private records, the selectors bound to
/// them, and the edits of those records shown by their selectors.
class SelectionDialog : public ModalDialog {
    Q_OBJECT
public:
    ~SelectionDialog() override;

    /// An edit of one of the dialog's records is shown by the control bound
    /// to it; every edit is accepted and nothing else happens.
    bool EditParameter(ParamRecord* record) override;

    /// The dialog's private record of this id; null when it has none.
    ParamRecord* Record(int id);

    /// The main panel's popup of this name, found through the parent chain.
    /// While this dialog runs the popup belongs to it, so that the dialog's
    /// modality leaves the popup open to the user's choice.
    QWidget* FindPopup(const QString& name) override;
    /// Closes the dialog; the popups it borrowed go back to their windows.
    void done(int result) override;

protected:
    SelectionDialog(const QString& title, int templateId, ControlListener* parent, QWidget* parentWnd);

    /// The dialog's start, once, when it is first shown: the records, the
    /// selectors and the lists.
    virtual void Start() = 0;
    void showEvent(QShowEvent* event) override;

    /// A private record named name under id: a copy of the record of sourceId
    /// the parent chain holds, else the SIMM id and value given.
    ParamRecord& MakeRecord(const QString& name, int id, int sourceId, int romId, int value);
    /// Binds selector to record (no trigger set, format 0), sets it up and registers it.
    void AttachSelector(SelectCtrl* selector, ParamRecord* record, int kind, bool userBankOnly, bool showCategory,
                        const QString& popupName, unsigned popupTitleId, int tooltipId);
    /// Gives a list its tooltip and registers it.
    void AttachList(ComboCtrl* list, int tooltipId);

private:
    /// Gives every borrowed popup back to the window it belonged to.
    void ReturnPopups();

    struct BorrowedPopup {
        QPointer<QWidget> popup;
        QPointer<QWindow> owner;
    };
    std::vector<BorrowedPopup> m_borrowed;
    std::array<ParamRecord, 2> m_records;
    int m_recordCount = 0;
    bool m_started = false;
};

/// Chooses the user preset a preset is saved into.
class SaveDlg : public SelectionDialog {
    Q_OBJECT
public:
    SaveDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~SaveDlg() override;

    int m_presetNumber = 0;

    SelectCtrl* Selector() const;

protected:
    void Start() override;
    void OnOK() override;

private:
    std::unique_ptr<Ui::SaveDlg> m_ui;
};

/// Chooses the preset a SysEx dump is taken of.
class DumpDlg : public SelectionDialog {
    Q_OBJECT
public:
    DumpDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~DumpDlg() override;

    int m_romId = 0;
    int m_presetNumber = 0;

    SelectCtrl* Selector() const;

protected:
    void Start() override;
    void OnOK() override;

private:
    std::unique_ptr<Ui::DumpDlg> m_ui;
};

/// Chooses the arp pattern copied into the current user pattern.
class CopyArpDlg : public SelectionDialog {
    Q_OBJECT
public:
    CopyArpDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~CopyArpDlg() override;

    int m_romId = 0;
    int m_arpNumber = 0;

    SelectCtrl* Selector() const;

protected:
    void Start() override;
    void OnOK() override;

private:
    std::unique_ptr<Ui::CopyArpDlg> m_ui;
};

/// Chooses the setup the current setup is stored into, or the one restored.
class SetupSelectDlg : public SelectionDialog {
    Q_OBJECT
public:
    SetupSelectDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~SetupSelectDlg() override;

    int m_setupNumber = 0;
    /// True: the chosen setup is restored (any bank); false: the current
    /// setup is stored into it (user setups only).
    bool m_restore = false;

    SelectCtrl* Selector() const;
    QLabel* Prompt() const;

protected:
    void Start() override;
    void OnOK() override;

private:
    std::unique_ptr<Ui::SetupSelectDlg> m_ui;
};

/// Chooses a preset and which part of it is exported as SysEx.
class ExportDataDlg : public SelectionDialog {
    Q_OBJECT
public:
    ExportDataDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~ExportDataDlg() override;

    /// 2 the whole preset (closed loop), 4 the whole preset (open loop),
    /// 0x10-0x14 a preset section, 0x20-0x25 a layer section.
    int m_subRequest = 2;
    int m_romId = 0;
    int m_presetNumber = 0;
    int m_layer = 0;

    bool EditParameter(ParamRecord* record) override;

    SelectCtrl* Selector() const;
    QComboBox* SectionList() const;
    QComboBox* LayerList() const;
    LitButtonCtrl* ClosedLoopSwitch() const;

protected:
    void Start() override;
    void OnOK() override;

private:
    /// The section rule: which of the layer list and the switch is shown,
    /// and the sub-request.
    void SectionChanged();

    std::unique_ptr<Ui::ExportDataDlg> m_ui;
    ParamRecord m_closedLoop;
};

/// Chooses what part of which preset is copied into which user preset.
class CopyPresetDlg : public SelectionDialog {
    Q_OBJECT
public:
    CopyPresetDlg(const QString& title, ControlListener* parent, QWidget* parentWnd);
    ~CopyPresetDlg() override;

    /// 0x20 the whole preset ... 0x2A a layer's cords.
    int m_copyCommand = 32;
    int m_sourceRomId = 0;
    int m_sourcePreset = 0;
    int m_sourceLayer = 0;   ///< -1 all layers
    int m_destinationPreset = 0;
    int m_destinationLayer = 0;

    SelectCtrl* SourceSelector() const;
    SelectCtrl* DestinationSelector() const;
    QComboBox* CopyList() const;
    QComboBox* SourceLayerList() const;
    QComboBox* DestinationLayerList() const;

protected:
    void Start() override;
    void OnOK() override;

private:
    void CopyChanged();
    void SourceLayerChanged();

    std::unique_ptr<Ui::CopyPresetDlg> m_ui;
};
