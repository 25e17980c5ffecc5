#pragma once
// The preset links popup ("PresetLinks"): the two links of the current
// preset. Each link plays another preset (-1: the link is off) with its own
// volume, pan, transposition, delay, key range and velocity range; its
// "Link Off" button switches the link off and is enabled only while the link
// is on.
//
// It is a child popup of the preset editor, made with that editor's listener
// as parent: every value request and edit goes up to the editor, which sends
// it to the module and records it for undo. Switching a link off is an edit of
// the link's preset (value -1, user bank) on that same road; when the editor
// or the module refuses it, the link's record keeps the value it had.

#include "module/ParamRecord.h"
#include "ui/framework/Popup.h"

#include <memory>
#include <vector>

class ButtonCtrl;

namespace Ui {
class PresetLinksPopup;
}

class PresetLinksPopup : public Popup {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 151;
    static constexpr int kOwnTooltipId = 20350;
    static constexpr int kLink1OffItem = 1069;
    static constexpr int kLink2OffItem = 1070;
    /// String-table ids of the two preset selection lists' titles.
    static constexpr unsigned kLink1Title = 175;
    static constexpr unsigned kLink2Title = 176;

    PresetLinksPopup(ControlListener* parent, QWidget* parentWnd);
    ~PresetLinksPopup() override;

    /// Each "Link Off" button is enabled iff its link's preset is not -1.
    void Refresh() override;

    void Activate() override;
    /// Every change refreshes the buttons first, then reaches the controls.
    void ParameterChanged(ParamRecord* record) override;
    /// The two link-off records become an edit of their link's preset.
    bool EditParameter(ParamRecord* record) override;

    /// The control on the given item.
    ControlBase* Control(int item) const;
    ButtonCtrl* OffButton(int link) const;
    ParamRecord* OffRecord(int link) { return link == 1 ? &m_link1Off : &m_link2Off; }

private:
    /// Sends the link's preset as -1 (user bank); the record is left as it
    /// was when the edit is refused.
    bool SwitchLinkOff(ParameterId presetId);

    std::unique_ptr<Ui::PresetLinksPopup> m_ui;
    std::vector<ControlBase*> m_controls;
    ParamRecord m_link1Off;
    ParamRecord m_link2Off;
};
