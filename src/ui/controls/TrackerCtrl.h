#pragma once
// The slider widgets: TrackerCtrl and the effects sliders FXTrackerCtrl and
// MasterFXTrackerCtrl. The logic is TrackerLogic; these widgets paint the
// title, the value, the channel with its ticks and the thumb, and feed mouse
// and key events in.

#include "ui/controls/SelfDrawnControl.h"
#include "ui/controls/TrackerLogic.h"

/// The slider's fixed colours.
namespace trackercolours {
inline const QColor ChannelFill(18, 30, 42);
inline const QColor ChannelLight(30, 54, 70);
inline const QColor ChannelDark(90, 106, 122);
inline const QColor ThumbFocused(192, 192, 192);
inline const QColor Thumb(142, 146, 150);
inline const QColor ThumbLight(215, 216, 217);
inline const QColor ThumbDark(34, 50, 70);
inline const QColor Tick(90, 106, 122);
} // namespace trackercolours

template <class Logic>
class TrackerWidget : public SelfDrawnControl, public Logic {
public:
    explicit TrackerWidget(ControlListener* owner, QWidget* parent) : SelfDrawnControl(parent), Logic(owner)
    {
        Logic::SetSurface(this);
        Logic::SetControlWindow(this);
    }

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override { Logic::LayOut(); }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void CaptionChanged() override { Logic::LayOut(); }
};

class TrackerCtrl : public TrackerWidget<TrackerLogic> {
    Q_OBJECT
public:
    explicit TrackerCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr) : TrackerWidget(owner, parent) {}
    explicit TrackerCtrl(QWidget* parent) : TrackerCtrl(nullptr, parent) {}
};

class FXTrackerCtrl : public TrackerWidget<FXTrackerLogic> {
    Q_OBJECT
public:
    explicit FXTrackerCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr) : TrackerWidget(owner, parent) {}
    explicit FXTrackerCtrl(QWidget* parent) : FXTrackerCtrl(nullptr, parent) {}
};

class MasterFXTrackerCtrl : public TrackerWidget<MasterFXTrackerLogic> {
    Q_OBJECT
public:
    explicit MasterFXTrackerCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr)
        : TrackerWidget(owner, parent)
    {
    }
    explicit MasterFXTrackerCtrl(QWidget* parent) : MasterFXTrackerCtrl(nullptr, parent) {}
};

/// Paints a slider of any kind.
void PaintTracker(SelfDrawnControl& widget, TrackerLogic& logic);
