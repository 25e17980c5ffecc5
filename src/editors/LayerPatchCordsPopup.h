#pragma once
// The layer patch cords popup ("LayerPatchCords"): the 24 patch cords of the
// current layer of the preset. Each row routes a modulation source to a
// destination with an amount: a source menu, an arrow, a destination menu and
// an "Amount" slider.
//
// It is a child popup of the preset editor, made with that editor's listener
// as parent: every value, range request and edit goes up to the editor, which
// sends it to the module and records it for undo. The controls reload on a
// change of channel, preset or layer.
//
// 24 rows are taller than most screens, so the window may be made shorter
// (never wider or narrower) and its rows then scroll vertically in a scroll
// area. The vertical scroll bar is always shown, disabled while everything
// fits; a line step moves by a 24th of the full height (at least one pixel),
// and while the thumb is dragged the rows stay put until it is released.

#include "editors/PatchCordRows.h"
#include "ui/framework/Popup.h"

#include <array>
#include <memory>

class QScrollArea;
class QScrollBar;

namespace Ui {
class LayerPatchCordsPopup;
}

class LayerPatchCordsPopup : public ResizingPopup {
    Q_OBJECT
public:
    static constexpr int kTemplateId = 150;
    static constexpr int kOwnTooltipId = 20260;
    static constexpr int kCordCount = 24;
    /// The full height is scrolled in this many line steps.
    static constexpr int kStepDivisor = 24;

    using CordRow = PatchCordRow;

    LayerPatchCordsPopup(ControlListener* parent, QWidget* parentWnd);
    ~LayerPatchCordsPopup() override;

    /// The full size: the rows' size with room for the scroll bar beside them
    /// (within the screen's available area).
    QSize GetMaxTrackSize() const override;

    /// Row 0 ... 23 (cord 1 ... 24).
    const CordRow& Row(int index) const { return m_rows[std::size_t(index)]; }
    QScrollArea* ScrollArea() const { return m_scroll; }
    QScrollBar* ScrollBar() const;
    /// The widget that holds the rows inside the scroll area.
    QWidget* Rows() const { return m_contents; }
    /// A line step in pixels: the full height / 24, at least 1.
    int LineStep() const;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    /// Moves the form's items into the scroll area.
    void BuildScrollArea();
    /// The scroll bar's line step and whether it can be used.
    void UpdateScrollBar();

    std::unique_ptr<Ui::LayerPatchCordsPopup> m_ui;
    std::array<CordRow, kCordCount> m_rows{};
    QScrollArea* m_scroll = nullptr;
    QWidget* m_contents = nullptr;
    QSize m_formSize;
};
