#pragma once
// The arp pattern editor ("ArpEdit"): edits one user arpeggiator pattern of
// the module: its name, its loop point and its 32 steps (key offset,
// velocity, duration, repeat). The module edits a pattern through parameters:
// ARP_PATTERN_SELECT picks the pattern, ARP_PATTERN_STEP_SELECT the step the
// four step parameters then refer to.
//
// The whole pattern is shown at once in a step list read from the module
// when the popup is first shown, after a pattern change made here and after
// a copy; otherwise single cells follow the parameter changes. A click on a
// row selects that step in the module (an undoable edit). "Copy Arp" copies
// any ROM or user pattern into the one edited; "Edit Tooltip" edits the
// pattern's tooltip text (undoable too).
//
// A top-level editor made by the main panel: it sends its edits to the
// module itself and keeps its own undo history.

#include "ui/framework/Popup.h"
#include "ui/framework/UndoRedo.h"

#include <memory>
#include <vector>

class ButtonCtrl;
class LabelCtrl;
class ListCtrl;
class MenuCtrl;
class NameCtrl;
class QDialog;
class QStandardItemModel;
class SelectCtrl;
class TrackerCtrl;

namespace Ui {
class ArpEditPopup;
}

class ArpEditPopup : public ResizingPopup, public UndoRedo {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 164;
    static constexpr int kOwnTooltipId = 20010;
    static constexpr int kSteps = 32;
    /// The step list's columns: step, key offset, velocity, duration, repeat.
    static constexpr int kColumns = 5;

    ArpEditPopup(const QString& name, bool topLevel, ControlListener* parent, QWidget* parentWnd);
    ~ArpEditPopup() override;

    // ---- window
    /// The first showing reads the pattern and the pattern's tooltip.
    void Show(PopupListener* owner, const QString& title) override;
    /// Undo and Redo follow the histories.
    void Refresh() override;
    void OnCommand(int id) override;
    void OnClose() override;

    // ---- ControlListener
    bool EditParameter(ParamRecord* record) override;

    // ---- ControlBase
    void ParameterChanged(ParamRecord* record) override;

    // ---- UndoRedo
    bool ApplyChange(ParamRecord* record) override;
    void OnUndoStackChanged() override { Refresh(); }

    /// Reads the pattern from the module into the step list, selects step 1
    /// and empties the histories. False (list left empty, histories kept)
    /// when the module does not answer.
    bool LoadPattern();

    // ---- state, for tests
    ParamRecord* OwnRecord(int id);
    ListCtrl* StepList() const { return m_list; }
    /// The row selected in the step list; -1 when none.
    int SelectedRow() const;
    /// Selects a row as a click would (the list's notification follows).
    void SelectRow(int row);
    int RowCount() const;
    QString CellText(int row, int column) const;
    ButtonCtrl* Button(int itemId) const;
    SelectCtrl* PatternSelector() const { return m_pattern; }

protected:
    /// Runs a modal dialog (the copy and tip editor dialogs); tests answer
    /// here instead of showing it.
    virtual int RunDialog(QDialog& dialog);

    void resizeEvent(QResizeEvent* event) override;

private:
    void MakeRecords();
    void BindControls();
    /// The list's selection changed (by the user or by the popup).
    void OnStepListChanged();
    void SetRowSelected(int row);
    /// Copies the pattern's tooltip into the EDIT_TOOLTIP record.
    void LoadTooltip(int pattern);
    bool CopyArp();
    void EditTooltip();
    /// The text of a value in a format, as the connection formats it.
    QString Format(int format, int value);
    /// Rereads the pattern's name into the user bank's name cache.
    void RefreshPatternName();
    void LayOutList();

    std::unique_ptr<Ui::ArpEditPopup> m_ui;
    std::unique_ptr<QStandardItemModel> m_model;
    std::vector<std::unique_ptr<ParamRecord>> m_records;
    ListCtrl* m_list = nullptr;
    SelectCtrl* m_pattern = nullptr;
    NameCtrl* m_name = nullptr;
    LabelCtrl* m_stepLabel = nullptr;
    bool m_stepsLoaded = false;
    bool m_updatingList = false;
};
