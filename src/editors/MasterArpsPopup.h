#pragma once
// The master arpeggiator and beats settings ("MasterArp"): the module's master
// arpeggiator (641-661) and the beats engine's master settings (271-278) as one
// panel of controls, with the "Beat Editor" switch that shows the beat editor
// this popup owns. A child of the master settings popup: every request and
// edit goes up to it, which sends it and records it for undo.

#include "ui/framework/Popup.h"

#include <memory>

class BeatEditPopup;
class PopupSwitchCtrl;

namespace Ui {
class MasterArpsPopup;
}

class MasterArpsPopup : public Popup {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 162;
    static constexpr int kOwnTooltipId = 20430;
    enum : int {
        PatternItem = 1166,
        RiffItem = 1186,
        IgnoreControllersItem = 1187,
        IgnoreTempoItem = 1188,
        BeatChannelItem = 1189,
        TriggerChannelItem = 1190,
        BeatEditorItem = 1192,
    };

    MasterArpsPopup(ControlListener* parent, QWidget* parentWnd);
    ~MasterArpsPopup() override;

    /// Hiding closes the pattern and riff selections and the beat editor.
    void Show(PopupListener* owner, const QString& title) override;
    void OnClose() override;
    /// The capability rules (both ways) and the channel formats, then every control.
    void Activate() override;

    BeatEditPopup* BeatEditor() const { return m_beatEditor.get(); }
    PopupSwitchCtrl* BeatEditorSwitch() const { return m_beatSwitch; }
    ControlBase* ControlOf(int itemId) const;

private:
    void BindControls();
    void CloseChildren();
    int ChannelFormat();

    std::unique_ptr<Ui::MasterArpsPopup> m_ui;
    PopupSwitchCtrl* m_beatSwitch = nullptr;
    std::unique_ptr<BeatEditPopup> m_beatEditor;
};
