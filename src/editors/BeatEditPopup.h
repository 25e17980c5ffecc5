#pragma once
// The beat editor ("BeatEdit"): the 24 beat parts of the module's beats engine
// (parts 1-16, groups 1-4, start/stop, clear, mute and hold), each with its
// trigger key and latch, and for parts 1-16 its velocity, transposition and
// group. All parts are listed at once from the connection's beat-data cache;
// the controls above the list edit the selected part. The module addresses the
// five beat parameters through its layer selection, so every edit goes up as
// one undo group: select the part, edit the value, put the layer back.
//
// A child of the master arpeggiator popup: its edits climb to the master
// settings popup, which sends them and keeps the undo history.

#include "ui/framework/Popup.h"

#include <memory>

class LabelCtrl;
class QStandardItemModel;

namespace Ui {
class BeatEditPopup;
}

class BeatEditPopup : public ResizingPopup {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 166;
    static constexpr int kOwnTooltipId = 20030;
    static constexpr int kParts = 24;
    enum : int {
        PartLabelItem = 1179,
        ListItem = 1180,
        KeyItem = 1181,
        LatchItem = 1182,
        VelocityItem = 1183,
        TransposeItem = 1184,
        GroupItem = 1171,
    };

    BeatEditPopup(ControlListener* parent, QWidget* parentWnd);
    ~BeatEditPopup() override;

    // ---- ControlBase
    /// Fills the list, then shows the module's current beat part.
    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

    // ---- ControlListener
    /// The five beat parameters and the part selector are answered from the cache.
    bool RequestParameterValues(ParamRecord* record) override;
    bool RequestParameterMinMax(ParamRecord* record) override;
    bool EditParameter(ParamRecord* record) override;

    int CurrentPart() const { return m_currentPart; }
    /// The list's rows, for tests: row, column text.
    QString CellText(int row, int column) const;
    int RowCount() const;
    int SelectedRow() const;
    /// Selects a row as the user would.
    void SelectRow(int row);
    LabelCtrl* PartLabel() const { return m_partLabel; }

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    void BindControls();
    void LoadPartList();
    /// Selects row without the selection handler.
    void SelectRowQuietly(int row);
    void OnRowChanged(int row);
    /// Switches the controls to part (label, enabling, values).
    void ShowPart(int part);
    void UpdateEnabling();
    void SetCell(int row, int column, const QString& text);
    /// The cached value of a beat parameter for part; false for other ids.
    bool CachedValue(int id, int part, int* value);
    void LayOutList();

    std::unique_ptr<Ui::BeatEditPopup> m_ui;
    ParamRecord m_partSelect;
    int m_currentPart = 0;
    LabelCtrl* m_partLabel = nullptr;
    QStandardItemModel* m_model = nullptr;
    bool m_quiet = false;
};
