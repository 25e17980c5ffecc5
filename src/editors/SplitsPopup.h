#pragma once
// The splits popup ("Splits"): where the current layer of the preset sounds.
// Three rows (key, velocity, real-time controller), each a low limit, a fade
// below it, a high limit and a fade above it, as twelve sliders.
//
// It is a child popup of the preset editor, made with that editor's listener
// as parent: every value request and edit goes up to the editor, so the
// sliders follow the editor's layer selection (they reload on any change of
// channel, preset or layer) and their edits land on the editor's undo history.
// The editor enters it as a control (AddControl) and shows it with
// Show(owner, title).

#include "ui/framework/Popup.h"

#include <array>
#include <memory>

class TrackerCtrl;

namespace Ui {
class SplitsPopup;
}

class SplitsPopup : public Popup {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 152;
    /// The popup's own tooltip, shown over points that belong to no control.
    static constexpr int kOwnTooltipId = 20650;
    static constexpr int kSliderCount = 12;

    SplitsPopup(ControlListener* parent, QWidget* parentWnd);
    ~SplitsPopup() override;

    /// The sliders in row order: key, velocity, real-time; each low, low
    /// fade, high, high fade.
    TrackerCtrl* Slider(int index) const { return m_sliders[std::size_t(index)]; }

private:
    std::unique_ptr<Ui::SplitsPopup> m_ui;
    std::array<TrackerCtrl*, kSliderCount> m_sliders{};
};
