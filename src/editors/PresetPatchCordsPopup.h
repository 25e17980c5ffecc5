#pragma once
// The preset patch cords popup ("PresetPatchCords"): the twelve patch cords
// of the current preset. Each row routes a modulation source to a
// destination with an amount: a source menu, an arrow, a destination menu and
// an "Amount" slider.
//
// It is a child popup of the preset editor, made with that editor's listener
// as parent: every value, range request and edit goes up to the editor, which
// sends it to the module and records it for undo. The controls reload on a
// change of channel, preset, setup, randomising or a sent dump.

#include "editors/PatchCordRows.h"
#include "ui/framework/Popup.h"

#include <array>
#include <memory>

namespace Ui {
class PresetPatchCordsPopup;
}

class PresetPatchCordsPopup : public Popup {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 149;
    static constexpr int kOwnTooltipId = 20590;
    static constexpr int kCordCount = 12;

    using CordRow = PatchCordRow;

    PresetPatchCordsPopup(ControlListener* parent, QWidget* parentWnd);
    ~PresetPatchCordsPopup() override;

    /// Row 0 ... 11 (cord 1 ... 12).
    const CordRow& Row(int index) const { return m_rows[std::size_t(index)]; }

private:

    std::unique_ptr<Ui::PresetPatchCordsPopup> m_ui;
    std::array<CordRow, kCordCount> m_rows{};
};
