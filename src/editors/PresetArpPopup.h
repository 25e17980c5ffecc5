#pragma once
// The preset arpeggiator popup ("PresetArp"): the arpeggiator settings the
// current preset stores (status, mode, pattern, note, velocity, gate time,
// extension, sync, delays, duration, recycle, keyboard thru, latch, key range
// and speed) as one panel of controls.
//
// It is a child popup of the preset editor, made with that editor's listener
// as parent: every value request and edit goes up to the editor, which sends
// it to the module and records it for undo. The controls reload on a change
// of channel, preset, setup, randomising or a sent dump. Hiding or closing
// the popup also closes the pattern selection list when it is open.

#include "ui/framework/Popup.h"

#include <memory>
#include <vector>

class SelectCtrl;

namespace Ui {
class PresetArpPopup;
}

class PresetArpPopup : public Popup {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 163;
    static constexpr int kOwnTooltipId = 20560;
    /// String-table id of the pattern selection list's title.
    static constexpr unsigned kPatternTitle = 168;

    PresetArpPopup(ControlListener* parent, QWidget* parentWnd);
    ~PresetArpPopup() override;

    /// A null owner (hiding) first closes the pattern selection list.
    void Show(PopupListener* owner, const QString& title) override;
    void OnClose() override;

    /// The control on the given item (a LitButtonCtrl, MenuCtrl, SelectCtrl or TrackerCtrl).
    ControlBase* Control(int item) const;
    SelectCtrl* PatternSelector() const { return m_pattern; }

private:
    std::unique_ptr<Ui::PresetArpPopup> m_ui;
    std::vector<ControlBase*> m_controls;
    SelectCtrl* m_pattern = nullptr;
};
