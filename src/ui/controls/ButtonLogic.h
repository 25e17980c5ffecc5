#pragma once
// The logic of the self-drawn push buttons and two-state switches: press and
// capture state, the click and toggle rules, the edit of the bound parameter
// and the command notification. The widgets (ButtonCtrl.h, SwitchCtrl.h)
// only paint this state and feed mouse and key events in.

#include "ui/controls/ControlSurface.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlBase.h"
#include "ui/framework/ControlListener.h"

#include <cstdint>
#include <functional>
#include <optional>

/// The three states every button face is drawn in.
struct FaceState {
    bool disabled = false;
    bool pressed = false;
    bool focused = false;
    bool operator==(const FaceState&) const = default;
};

/// Shared by buttons and switches: the surface, the capture and the face.
class PressableLogic : public ControlBase {
public:
    explicit PressableLogic(ControlListener* owner) : ControlBase(owner) {}

    void SetSurface(ControlSurface* surface) { m_surface = surface; }
    /// The owner of a control a form built (forms build controls without one).
    void SetOwner(ControlListener* owner) { m_owner = owner; }
    ControlSurface* Surface() const { return m_surface; }
    /// The bound parameter 0, or null when none is bound.
    ParamRecord* MainParameter();
    bool HoldsCapture() const { return m_captured; }
    /// Disabled when the window is disabled or the owner's device is not
    /// ready (the control still reacts); focused with the keyboard focus.
    FaceState Face() const;

protected:
    void Repaint(bool now = false)
    {
        if (m_surface)
            m_surface->Repaint(now);
    }
    void SendCommand()
    {
        if (m_surface)
            m_surface->SendCommand();
    }
    bool DeviceReady() const;
    virtual bool ShowsPressed() const { return m_captured; }

    ControlSurface* m_surface = nullptr;
    bool m_captured = false;
};

/// The push button: a click sets its parameter to 1 (always, also when it
/// already holds 1) and sends the edit, then the command notification.
class ButtonLogic : public PressableLogic {
public:
    explicit ButtonLogic(ControlListener* owner) : PressableLogic(owner) {}

    /// Stores the tooltip id (the owner binds parameter 0 and adds the control afterwards).
    void Setup(int tooltipId);

    void MousePress();
    /// inside: the release point lies in the button.
    void MouseRelease(bool inside);
    void SpaceDown();
    /// Every key release repaints; the space bar clicks.
    void KeyUp(bool space);

    virtual void OnClicked();
    bool IsPressed() const { return m_pressed; }

protected:
    bool ShowsPressed() const override { return m_pressed || m_captured; }
    bool m_pressed = false;
};

/// Asks the user for a colour (0x00BBGGRR); nothing when cancelled.
using ColourChooser = std::function<std::optional<std::uint32_t>(std::uint32_t initial)>;

/// A button showing the colour held by its parameter; a click edits it.
class ColourSwatchLogic : public ButtonLogic {
public:
    explicit ColourSwatchLogic(ControlListener* owner) : ButtonLogic(owner) {}
    void SetChooser(ColourChooser chooser) { m_chooser = std::move(chooser); }
    /// The colour shown: the parameter's value, 0 without one.
    std::uint32_t Colour();
    void OnClicked() override;

private:
    ColourChooser m_chooser;
};

/// The two-state switch, its parameter kept at 0 (off) or 1 (on).
class SwitchLogic : public PressableLogic {
public:
    explicit SwitchLogic(ControlListener* owner) : PressableLogic(owner) {}

    void Setup(int tooltipId);

    void MousePress();
    void MouseRelease(bool inside);
    /// Every key release repaints; the space bar toggles.
    void KeyUp(bool space);

    /// Sets the state only: no edit, no command.
    virtual void SetState(bool on);
    /// After the user changed the state: the edit, then the command.
    virtual void OnToggled();
    bool IsOn() const { return m_on; }
    void Toggle();

    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;

protected:
    bool ShowsPressed() const override { return m_on || m_captured; }
    bool m_on = false;
};

/// Which lamp a lamp button shows.
enum class Lamp { Off, On, Disabled };

/// A switch with a lamp beside, above or below its caption.
class LitButtonLogic : public SwitchLogic {
public:
    explicit LitButtonLogic(ControlListener* owner) : SwitchLogic(owner) {}
    /// placement: 1 lamp above, 2 left of, 3 right of the caption, else below.
    void Setup(int captionPlacement, int tooltipId);
    int Placement() const { return m_placement; }
    /// Disabled lamp when the window is disabled, else on/off with the switch.
    virtual Lamp GetLamp() const;
    /// The caption's colour: disabled when the window is disabled or the device is not ready.
    bool TextDisabled() const { return Face().disabled; }

protected:
    int m_placement = 3;
};

/// The same switch with the lamp lit while it is off.
class UnLitButtonLogic : public LitButtonLogic {
public:
    explicit UnLitButtonLogic(ControlListener* owner) : LitButtonLogic(owner) {}
    Lamp GetLamp() const override;
};
