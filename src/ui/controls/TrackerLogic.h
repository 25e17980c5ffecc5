#pragma once
// The slider's logic: range, committed and dragged value, layout, the drag,
// channel-click and key rules, the undo brackets around a drag, live preview
// and the edit of the bound parameter. TrackerCtrl.h paints it.
//
// Undo brackets always pair: the closing marker goes out only after an
// opening one, on mouse-up or when Esc cancels the drag, so a plain click in
// the channel or a cancelled drag never leaves a half-open group behind.

#include "ui/controls/ButtonLogic.h"
#include "ui/controls/ControlGeometry.h"

class TrackerLogic : public PressableLogic {
public:
    explicit TrackerLogic(ControlListener* owner) : PressableLogic(owner) {}

    /// Stores the tooltip id and the settings, takes the orientation from the
    /// window's shape (wider than high: horizontal), then lays out.
    void Setup(int tooltipId, bool undoable, bool live, bool showTicks = true, int tickLength = 4);
    void SetRange(int minimum, int maximum);
    /// Commits value (SetValue), then lays out.
    void SetPosition(int value);
    /// Commits a value: with a bound parameter holding another value, the edit
    /// goes to the owner; a refused edit puts the old value back.
    virtual void SetValue(int value);
    /// Called at every drag step with the new value.
    virtual void OnTrack(int value) {}
    /// Measures and places the parts (nothing without a window), then repaints.
    void LayOut();

    /// Mouse and keys, in client coordinates. KeyPress answers whether the key
    /// was taken (a key the slider does not use goes on to the dialog).
    void MousePress(int x, int y);
    void MouseMove(int x, int y);
    void MouseRelease(int x, int y);
    enum Key { KeyEscape, KeyPageUp, KeyPageDown, KeyLeft, KeyRight, KeyUp, KeyDown, KeyOther };
    bool KeyPress(Key key, bool modifiers);

    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

    bool IsHorizontal() const { return m_horizontal; }
    bool IsDragging() const { return m_dragging; }
    bool IsUndoable() const { return m_undoable; }
    bool IsLive() const { return m_live; }
    int Minimum() const { return m_minimum; }
    int Maximum() const { return m_maximum; }
    int Value() const { return m_value; }
    int DragValue() const { return m_dragValue; }
    /// The value the thumb shows: the drag value while dragging.
    int ShownValue() const { return m_dragging ? m_dragValue : m_value; }
    const TrackerLayout& Layout() const { return m_layout; }
    Edges Thumb() const;
    bool ShowTicks() const { return m_showTicks; }
    int TickLength() const { return m_tickLength; }
    /// The shown value as text: the value format's formatter, else decimal.
    QString ValueText();
    /// Text in the disabled colour: window disabled or device not ready.
    bool TextDisabled() const;
    /// Whether the slider takes mouse and keys (enabled, device ready).
    bool Usable() const;

protected:
    /// Sends an undo bracket marker named after the bound parameter.
    void SendMarker(bool start);
    int Clamp(int v) const;
    int Coordinate(int x, int y) const { return m_horizontal ? x : y; }

    bool m_dragging = false;
    bool m_groupOpen = false; ///< an opening undo marker went out for this drag
    bool m_undoable = false;
    bool m_live = false;
    bool m_horizontal = true;
    bool m_showTicks = true;
    int m_tickLength = 4;
    int m_grabOffset = 0;
    int m_minimum = 0;
    int m_maximum = 0;
    int m_value = 0;
    int m_dragValue = 0;
    TrackerLayout m_layout;
};

/// A slider for an effects parameter, enabled by the module's effects routing.
class FXTrackerLogic : public TrackerLogic {
public:
    explicit FXTrackerLogic(ControlListener* owner) : TrackerLogic(owner) {}
    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;
    virtual bool EnabledByRouting();

protected:
    void ApplyRule();
};

/// The slider for a master effects parameter.
class MasterFXTrackerLogic : public FXTrackerLogic {
public:
    explicit MasterFXTrackerLogic(ControlListener* owner) : FXTrackerLogic(owner) {}
    bool EnabledByRouting() override;
};

/// The effects enable rules, shared with the value menus.
bool FXControlEnabled(int midiMode, int fxControlChannel, int basicChannel, int fxBypass);
bool MasterFXControlEnabled(int midiMode, int fxControlChannel, int fxBypass);
/// The same rules over the routing records the owner holds (a record it
/// lacks counts as 0).
bool FXControlEnabledBy(ControlListener* owner);
bool MasterFXControlEnabledBy(ControlListener* owner);
