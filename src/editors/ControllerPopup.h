#pragma once
// The real-time controllers ("Controllers"): plays the module's controllers A
// to P, the three foot switches, modulation, expression and portamento time,
// and the beat triggers, from the screen as a controller keyboard would. Every
// move becomes a MIDI short message (a control change on the basic channel, or
// a note on the beat trigger channel); nothing goes out as SysEx. Controller
// moves are recorded on the popup's own undo history; trigger presses are not.
// The popup also follows the control changes and trigger notes the rest of the
// program sends (ShowControlChange, ShowTriggerNote).
//
// The panel makes it at the first connect (top-level, the view as parent) and
// calls it through ControllerPopupCalls.

#include "app/View.h"
#include "ui/framework/Popup.h"
#include "ui/framework/UndoRedo.h"

#include <array>
#include <memory>

class ButtonCtrl;
class LabelCtrl;
class SwitchCtrl;

namespace Ui {
class ControllerPopup;
}

class ControllerPopup : public Popup, public UndoRedo, public ControllerPopupCalls {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 161;
    static constexpr int kOwnTooltipId = 20060;
    enum : int {
        ResetItem = 1160,
        UndoItem = 1189,
        RedoItem = 1190,
        ClearItem = 1182,
        VelocityItem = 1184,
        BeatChannelItem = 1213,
        TriggerChannelItem = 1214,
        PresetNameItem = 1215,
        RiffNameItem = 1216,
        BeatChannelStatic = 1218,
        TriggerChannelStatic = 1219,
    };

    ControllerPopup(ControlListener* parent, QWidget* parentWnd, bool topLevel = true);
    ~ControllerPopup() override;

    void Refresh() override;
    void OnCommand(int id) override;

    // ---- ControlBase
    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

    // ---- ControlListener
    /// The popup's own records hold their values: nothing to ask.
    bool RequestParameterValues(ParamRecord* record) override;
    bool RequestParameterMinMax(ParamRecord* record) override;
    bool EditParameter(ParamRecord* record) override;

    // ---- UndoRedo
    bool ApplyChange(ParamRecord* record) override;
    void OnUndoStackChanged() override { Refresh(); }

    // ---- ControllerPopupCalls (the panel)
    bool AnyBeatTriggerOn() override { return IsTriggerActive(); }
    void ReleaseTriggers() override;
    void ResetControllers() override;
    void ShowControlChange(int status, int controller, int value) override;
    void ShowTriggerNote(int status, int note, int velocity) override;

    bool IsTriggerActive();
    void SetControllerCaptions();
    void SetControllerDisplay(int id, int value);
    void UpdateBeatLabels();
    void ClearTriggerDisplay();
    /// A control change on channel; nothing is sent when the controller
    /// number or the value is no MIDI data byte (0-127). True when sent.
    bool SendControlChange(int channel, int controller, int value);
    /// A note on or off on channel; nothing is sent when key or velocity is no data byte.
    bool SendTriggerNote(bool on, int channel, int key, int velocity);

    ParamRecord* OwnRecord(int id);
    /// The control bound to one of the popup's records.
    ControlBase* ControlOfRecord(int id) const;

private:
    void MakeRecords();
    void BindControls();
    int BasicChannel();
    /// The trigger channel, the basic channel standing in for -1.
    int TriggerChannel();
    bool RiffIsBeats();
    bool HasCapability(std::uint32_t flag);
    /// The controller-number parameter of controller row i (A-P, FS1-FS3); null when unknown.
    ParamRecord* ControllerNumber(int row);
    bool TriggerEdit(ParamRecord* record);
    void EditOwn(int id);

    std::unique_ptr<Ui::ControllerPopup> m_ui;
    std::vector<std::unique_ptr<ParamRecord>> m_records;
    std::vector<ButtonCtrl*> m_buttons;
    std::array<LabelCtrl*, 4> m_labels{};
};
