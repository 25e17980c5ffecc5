#include "ui/controls/ButtonLogic.h"

ParamRecord* PressableLogic::MainParameter()
{
    return ParameterCount() > 0 ? ParameterAt(0) : nullptr;
}

bool PressableLogic::DeviceReady() const
{
    return !GetOwner() || GetOwner()->IsDeviceReady();
}

FaceState PressableLogic::Face() const
{
    FaceState face;
    face.disabled = (m_surface && !m_surface->IsWindowEnabled()) || !DeviceReady();
    face.pressed = ShowsPressed();
    face.focused = m_surface && m_surface->HasKeyboardFocus();
    return face;
}

// ---- push button ------------------------------------------------------------------------------

void ButtonLogic::Setup(int tooltipId)
{
    SetToolTipId(tooltipId);
}

void ButtonLogic::MousePress()
{
    m_pressed = true;
    if (m_surface)
        m_surface->TakeFocus();
    m_captured = true;
    Repaint();
}

void ButtonLogic::MouseRelease(bool inside)
{
    if (!m_captured)
        return;
    m_captured = false;
    if (inside)
        OnClicked();
    m_pressed = false;
    Repaint();
}

void ButtonLogic::SpaceDown()
{
    m_pressed = true;
    Repaint();
}

void ButtonLogic::KeyUp(bool space)
{
    if (space) {
        OnClicked();
        m_pressed = false;
    }
    Repaint();
}

void ButtonLogic::OnClicked()
{
    if (ParamRecord* p = MainParameter()) {
        p->previousValue = p->value;
        p->value = 1;
        if (GetOwner())
            GetOwner()->EditParameter(p); // what a refused command means is the owner's business
    }
    SendCommand();
}

std::uint32_t ColourSwatchLogic::Colour()
{
    ParamRecord* p = MainParameter();
    return p ? std::uint32_t(p->value) : 0;
}

void ColourSwatchLogic::OnClicked()
{
    if (ParamRecord* p = MainParameter(); p && m_chooser) {
        if (const std::optional<std::uint32_t> chosen = m_chooser(std::uint32_t(p->value))) {
            p->previousValue = p->value;
            p->value = int(*chosen);
            Repaint();
            if (GetOwner())
                GetOwner()->EditParameter(p);
        }
    }
    SendCommand();
}

// ---- switch -----------------------------------------------------------------------------------

void SwitchLogic::Setup(int tooltipId)
{
    SetToolTipId(tooltipId);
}

void SwitchLogic::MousePress()
{
    if (m_surface)
        m_surface->TakeFocus();
    m_captured = true;
    Repaint();
}

void SwitchLogic::MouseRelease(bool inside)
{
    if (!m_captured)
        return;
    m_captured = false;
    if (inside)
        Toggle();
    Repaint();
}

void SwitchLogic::KeyUp(bool space)
{
    if (space)
        Toggle();
    Repaint();
}

void SwitchLogic::Toggle()
{
    m_on = !m_on;
    if (ParamRecord* p = MainParameter()) {
        p->previousValue = p->value;
        p->value = m_on ? 1 : 0;
    }
    OnToggled();
}

void SwitchLogic::OnToggled()
{
    if (ParamRecord* p = MainParameter(); p && GetOwner())
        GetOwner()->EditParameter(p); // a refused edit leaves the switch as the user set it
    SendCommand();
}

void SwitchLogic::SetState(bool on)
{
    m_on = on;
    Repaint();
}

void SwitchLogic::Activate()
{
    ControlBase::Activate();
    if (ParamRecord* p = MainParameter())
        m_on = p->value != 0;
    Repaint();
}

void SwitchLogic::ParameterChanged(ParamRecord* record)
{
    ParamRecord* p = MainParameter();
    if (p && record && record->id == p->id) {
        if (record->value == (m_on ? 1 : 0))
            return;
        m_on = record->value != 0;
        Repaint();
        return;
    }
    ControlBase::ParameterChanged(record);
}

// ---- lamp buttons -----------------------------------------------------------------------------

void LitButtonLogic::Setup(int captionPlacement, int tooltipId)
{
    m_placement = captionPlacement;
    SwitchLogic::Setup(tooltipId);
    Repaint();
}

Lamp LitButtonLogic::GetLamp() const
{
    if (m_surface && !m_surface->IsWindowEnabled())
        return Lamp::Disabled;
    return m_on ? Lamp::On : Lamp::Off;
}

Lamp UnLitButtonLogic::GetLamp() const
{
    if (m_surface && !m_surface->IsWindowEnabled())
        return Lamp::Disabled;
    return m_on ? Lamp::Off : Lamp::On;
}
