#pragma once
// The master settings ("Master"): the module's global settings (MIDI mode and
// device id, SysEx delay, bend range and velocity curve, transpose and tuning,
// the tempo source, the controller numbers of the real-time controllers and
// foot switches, output format and front-panel edit options, and the two
// master effects). Every control edits one module parameter at once; the edit
// is recorded on the popup's own undo history (Undo and Redo buttons, Ctrl+Z
// and Ctrl+Y). The "Master Arps && Beats" switch shows the master arpeggiator
// and beats popup, which this popup owns and whose edits come through here.
//
// The panel makes it at the first connect (top-level, the view as parent).

#include "ui/framework/Popup.h"
#include "ui/framework/UndoRedo.h"

#include <memory>

class ButtonCtrl;
class MasterArpsPopup;
class PopupSwitchCtrl;

namespace Ui {
class MasterPopup;
}

class MasterPopup : public Popup, public UndoRedo {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 147;
    static constexpr int kOwnTooltipId = 20480;
    /// Item ids the rules and tests need.
    enum : int {
        ControlChannelItem = 1085,
        TempoUpItem = 1075,
        TempoDownItem = 1076,
        QuickEditItem = 1090,
        FxCtrlItem = 1091,
        UndoItem = 1096,
        RedoItem = 1097,
        MasterArpItem = 1017,
    };

    MasterPopup(ControlListener* parent, QWidget* parentWnd, bool topLevel = true);
    ~MasterPopup() override;

    /// Hiding closes the master arpeggiator with it.
    void Show(PopupListener* owner, const QString& title) override;
    void OnClose() override;
    /// The enable rules and the Undo and Redo captions.
    void Refresh() override;
    void OnCommand(int id) override;

    // ---- ControlBase
    /// The capability rules (both ways), then every control.
    void Activate() override;

    // ---- ControlListener
    bool EditParameter(ParamRecord* record) override;

    // ---- UndoRedo
    bool ApplyChange(ParamRecord* record) override;
    void OnUndoStackChanged() override { Refresh(); }

    MasterArpsPopup* MasterArp() const { return m_masterArp.get(); }
    PopupSwitchCtrl* MasterArpSwitch() const { return m_arpSwitch; }
    ControlBase* ControlOf(int itemId) const;

private:
    void BindControls();
    /// The channel formats of Control Channel and FX Ctrl for the module at hand.
    void ChooseChannelFormats();
    bool HasCapability(std::uint32_t flag);
    /// The value the connection holds for a module parameter; fallback when it is unknown.
    int ValueOf(int id, int fallback);

    std::unique_ptr<Ui::MasterPopup> m_ui;
    ParamRecord m_undoRecord;
    ParamRecord m_redoRecord;
    PopupSwitchCtrl* m_arpSwitch = nullptr;
    std::unique_ptr<MasterArpsPopup> m_masterArp;
};
