#pragma once
// The preset editor ("Edit"): edits the module's edit buffer, the preset
// selected on the basic channel. The upper part edits one layer at a time
// (chosen with LAYER_SELECT), the lower part the preset-wide settings; the
// bottom row holds undo, redo, Apply (save into a user preset), randomise and
// the preset's tooltip text, and four switches in the Amplifier box mute
// layers for a while without losing their instruments.
//
// It is a top-level popup of the main panel: it talks to the module itself
// and keeps its own undo history. Its child popups (splits, patch cords,
// links, preset arpeggiator, tuning) pass their requests and edits up
// through it, so their edits land on its history too.

#include "app/View.h"
#include "dump/ByteBlock.h"
#include "ui/framework/Popup.h"
#include "ui/framework/UndoRedo.h"

#include <array>
#include <memory>
#include <vector>

class ButtonCtrl;
class LitButtonCtrl;
class PopupSwitchCtrl;
class SelectCtrl;
class TrackerCtrl;

namespace Ui {
class EditPopup;
}

class EditPopup : public Popup, public UndoRedo, public PresetEditorCalls {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 148;
    static constexpr int kOwnTooltipId = 20140;

    // Item ids the editor and its tests refer to.
    enum Item {
        LayerMenuItem = 1022,
        InstrumentItem = 1023,
        RiffItem = 1038,
        SplitsItem = 1020,
        LayerCordsItem = 1018,
        EditTuningItem = 1003,
        LinksItem = 1054,
        PresetCordsItem = 1021,
        PresetArpItem = 1047,
        UndoItem = 1056,
        RedoItem = 1057,
        ApplyItem = 1013,
        RandomiseItem = 1055,
        EditTooltipItem = 1014,
        FirstMuteItem = 1203,
        MuteLabelItem = 1207,
        FirstWideControllerItem = 1093,
    };

    EditPopup(const QString& name, bool topLevel, ControlListener* parent, QWidget* parentWnd);
    ~EditPopup() override;

    /// The child popup of this name, made with this editor as parent; null for
    /// a child whose class is not part of the program yet (its switch then
    /// stays disabled).
    std::unique_ptr<Popup> CreateChildPopup(const QString& name);

    // ---- window
    void Show(PopupListener* owner, const QString& title) override;
    void OnClose() override;
    void Refresh() override;
    void OnCommand(int id) override;

    // ---- ControlBase
    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;
    bool AllowParameterChange(ParamRecord* record) override;

    // ---- ControlListener
    bool RequestParameterValues(ParamRecord* record) override;
    bool EditParameter(ParamRecord* record) override;
    void RevertLastEdit() override;

    // ---- UndoRedo
    bool ApplyChange(ParamRecord* record) override;
    void OnUndoStackChanged() override { Refresh(); }

    // ---- commands
    /// Apply: asks for a user preset and saves the edit buffer into it.
    bool SavePreset();
    /// Before a preset, channel or program change with unsaved edits: Yes
    /// saves, No forgets the edits, Cancel (false) refuses the change.
    bool QuerySaveChanges();
    /// Mutes (instrument out: the layer's instrument) or unmutes (instrument
    /// in, then 0) one layer of the edit buffer.
    bool MuteLayer(int layer, bool mute, int* instrument);
    void UnmuteAllLayers();

    // ---- PresetEditorCalls (the File commands)
    QString GetTitleText() override;
    QString GetTooltipText() override;
    void SetTooltipText(const QString& text) override;

    // ---- for the editor's callers and tests
    ParamRecord* OwnRecord(int id);
    Popup* ChildPopup(const QString& name) const;
    PopupSwitchCtrl* ChildSwitch(int item) const;

protected:
    /// Asks which user preset to save into ("Save Preset"); false on Cancel.
    virtual bool ChooseSavePreset(int* preset);
    /// Opens the tip editor on text; false on Cancel.
    virtual bool EditTooltipText(QString* text);

private:
    struct Child {
        QString name;
        int item;
        std::unique_ptr<Popup> popup;
    };

    void MakeRecords();
    void BindControls();
    void MakeChildren();
    void CloseChildren();
    void SetTooltipText();
    void ForgetEdits();
    int CurrentLayer();
    ParamRecord* MuteRecordOfLayer(int layer);
    void OnMuteSwitch(ParamRecord* record);
    void OnEditTooltip();
    void DoUndo();
    void DoRedo();

    std::unique_ptr<Ui::EditPopup> m_ui;
    std::vector<std::unique_ptr<ParamRecord>> m_records;
    std::vector<Child> m_children;
    SelectCtrl* m_instrument = nullptr;
    SelectCtrl* m_riff = nullptr;
    std::array<LitButtonCtrl*, 4> m_muteSwitches{};
};
