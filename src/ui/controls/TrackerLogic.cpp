#include "ui/controls/TrackerLogic.h"

#include "module/ParameterIds.h"
#include "module/Proteus.h"

#include <algorithm>

void TrackerLogic::Setup(int tooltipId, bool undoable, bool live, bool showTicks, int tickLength)
{
    SetToolTipId(tooltipId);
    m_undoable = undoable;
    m_live = live;
    m_showTicks = showTicks;
    m_tickLength = tickLength;
    if (m_surface) {
        const QSize size = m_surface->ClientSize();
        m_horizontal = size.height() < size.width();
    }
    LayOut();
}

void TrackerLogic::SetRange(int minimum, int maximum)
{
    m_minimum = minimum;
    m_maximum = maximum;
    LayOut();
}

void TrackerLogic::SetPosition(int value)
{
    SetValue(value);
    LayOut();
}

void TrackerLogic::SetValue(int value)
{
    m_value = value;
    ParamRecord* p = MainParameter();
    if (!p || p->value == value)
        return;
    const int old = p->value;
    p->previousValue = old;
    p->value = value;
    if (GetOwner() && !GetOwner()->EditParameter(p)) {
        m_value = old;
        p->previousValue = value;
        p->value = old;
        Repaint();
    }
}

int TrackerLogic::Clamp(int v) const
{
    // Not std::clamp: a range given upside down must not be undefined.
    return std::max(m_minimum, std::min(v, m_maximum));
}

Edges TrackerLogic::Thumb() const
{
    return TrackerThumb(m_horizontal, m_layout.channel,
                        TrackerValueToPixel(m_horizontal, m_layout.channel, m_minimum, m_maximum, ShownValue()));
}

void TrackerLogic::LayOut()
{
    if (!m_surface)
        return;
    TrackerMetrics metrics;
    const QSize title = m_surface->TextSize(m_surface->Caption());
    metrics.titleWidth = title.width();
    metrics.titleHeight = title.height();
    ParamRecord* p = MainParameter();
    if (p && GetOwner() && GetOwner()->GetProteus()) {
        ParamRecord probe = *p;
        probe.value = p->maximum;
        const int wMax = m_surface->TextSize(GetValueText(&probe)).width();
        probe.value = p->minimum;
        const int wMin = m_surface->TextSize(GetValueText(&probe)).width();
        metrics.valueWidth = std::max(wMax, wMin) + m_surface->TextSize(QStringLiteral("X")).width();
    } else {
        metrics.valueWidth = m_surface->TextSize(QStringLiteral("XXX")).width();
    }
    metrics.valueHeight = m_surface->TextSize(QStringLiteral("X")).height();
    const QSize client = m_surface->ClientSize();
    m_layout = LayOutTracker(m_horizontal, client.width(), client.height(), metrics, m_minimum, m_maximum);
    Repaint();
}

bool TrackerLogic::TextDisabled() const
{
    return (m_surface && !m_surface->IsWindowEnabled()) || !DeviceReady();
}

bool TrackerLogic::Usable() const
{
    return !TextDisabled();
}

QString TrackerLogic::ValueText()
{
    ParamRecord* p = MainParameter();
    if (!p)
        return QString::number(ShownValue());
    ParamRecord shown = *p;
    shown.value = ShownValue();
    return GetValueText(&shown);
}

void TrackerLogic::SendMarker(bool start)
{
    if (!GetOwner())
        return;
    ParamRecord marker(start ? QStringLiteral("START_UNDO") : QStringLiteral("END_UNDO"), start ? START_UNDO : END_UNDO,
                       0);
    if (ParamRecord* p = MainParameter())
        marker.SetText(p->name);
    GetOwner()->EditParameter(&marker);
}

void TrackerLogic::MousePress(int x, int y)
{
    if (m_surface)
        m_surface->TakeFocus();
    if (!Usable())
        return;
    const Edges thumb = Thumb();
    if (thumb.Contains(x, y)) {
        if (m_undoable) {
            SendMarker(true);
            m_groupOpen = true;
        }
        m_dragging = true;
        m_grabOffset = Coordinate(x, y) - (m_horizontal ? thumb.l : thumb.t);
        m_dragValue = m_value;
        m_captured = true;
    } else if (m_layout.channel.Contains(x, y)) {
        m_captured = true;
    }
}

void TrackerLogic::MouseMove(int x, int y)
{
    if (!m_dragging)
        return;
    m_dragValue =
        Clamp(TrackerPixelToValue(m_horizontal, m_layout.channel, m_minimum, m_maximum, Coordinate(x, y) - m_grabOffset));
    OnTrack(m_dragValue);
    if (m_live && GetOwner())
        if (ParamRecord* p = MainParameter())
            GetOwner()->PreviewParameterValue(p, m_dragValue);
    Repaint(true);
}

void TrackerLogic::MouseRelease(int x, int y)
{
    if (!m_captured)
        return;
    const bool take = m_dragging || m_layout.channel.Contains(x, y);
    m_dragging = false;
    if (m_groupOpen) {
        m_groupOpen = false;
        SendMarker(false);
    }
    m_captured = false;
    if (take) {
        const int v = Clamp(
            TrackerPixelToValue(m_horizontal, m_layout.channel, m_minimum, m_maximum, Coordinate(x, y) - m_grabOffset));
        SetValue(v);
    }
    Repaint(true);
}

bool TrackerLogic::KeyPress(Key key, bool modifiers)
{
    if (key == KeyOther)
        return false;
    if (!Usable())
        return key != KeyEscape;
    if (modifiers)
        return key != KeyEscape; // swallowed: a modified step does nothing at all
    const int step = (m_maximum - m_minimum) / 10;
    switch (key) {
    case KeyEscape:
        if (!m_dragging)
            return false; // Esc then belongs to the dialog
        m_captured = false;
        m_dragging = false;
        if (m_groupOpen) {
            // The drag is cancelled, but the group it opened is closed, empty.
            m_groupOpen = false;
            SendMarker(false);
        }
        Repaint(true);
        return true;
    case KeyPageUp:
        SetPosition(std::min(m_value + step, m_maximum));
        return true;
    case KeyPageDown:
        SetPosition(std::max(m_value - step, m_minimum));
        return true;
    case KeyLeft:
    case KeyDown:
        if (m_value > m_minimum)
            SetPosition(m_value - 1);
        return true;
    case KeyUp:
    case KeyRight:
        if (m_value < m_maximum)
            SetPosition(m_value + 1);
        return true;
    case KeyOther:
        break;
    }
    return false;
}

void TrackerLogic::Activate()
{
    ControlBase::Activate();
    ParamRecord* p = MainParameter();
    if (!p)
        return;
    SetRange(p->minimum, p->maximum);
    SetPosition(std::max(p->minimum, std::min(p->value, p->maximum)));
    ParameterChanged(p);
}

void TrackerLogic::ParameterChanged(ParamRecord* record)
{
    ParamRecord* p = MainParameter();
    if (p && record) {
        if (record->id == p->id) {
            if (record->value != p->value) {
                p->previousValue = p->value;
                p->value = record->value;
            }
            if (p->value != m_value)
                SetPosition(p->value);
            return;
        }
        if (IsTriggeredBy(record))
            Repaint();
    }
    ControlBase::ParameterChanged(record);
}

// ---- effects sliders ----------------------------------------------------------------------------

bool FXControlEnabled(int midiMode, int fxControlChannel, int basicChannel, int fxBypass)
{
    return midiMode != 2 || (fxControlChannel == basicChannel && fxBypass == 1);
}

bool MasterFXControlEnabled(int midiMode, int fxControlChannel, int fxBypass)
{
    return fxControlChannel == -1 && fxBypass == 1 && midiMode == 2;
}

namespace {

// The value of the owner's record for id; 0 when the owner holds none. A root
// that holds no such record may answer with a placeholder of another id.
int RecordValue(ControlListener* owner, int id)
{
    ParamRecord* r = owner ? owner->GetParameter(id) : nullptr;
    return r && r->id == id ? r->value : 0;
}

} // namespace

bool FXControlEnabledBy(ControlListener* owner)
{
    return FXControlEnabled(RecordValue(owner, MASTER_MIDI_MODE), RecordValue(owner, MULTIMODE_FX_CTRL_CHANNEL),
                            RecordValue(owner, MULTIMODE_BASIC_CHANNEL), RecordValue(owner, MASTER_FX_BYPASS));
}

bool MasterFXControlEnabledBy(ControlListener* owner)
{
    return MasterFXControlEnabled(RecordValue(owner, MASTER_MIDI_MODE),
                                  RecordValue(owner, MULTIMODE_FX_CTRL_CHANNEL), RecordValue(owner, MASTER_FX_BYPASS));
}

bool FXTrackerLogic::EnabledByRouting()
{
    return FXControlEnabledBy(GetOwner());
}

bool MasterFXTrackerLogic::EnabledByRouting()
{
    return MasterFXControlEnabledBy(GetOwner());
}

void FXTrackerLogic::ApplyRule()
{
    if (m_surface)
        m_surface->SetWindowEnabled(EnabledByRouting());
}

void FXTrackerLogic::Activate()
{
    TrackerLogic::Activate();
    ApplyRule();
}

void FXTrackerLogic::ParameterChanged(ParamRecord* record)
{
    TrackerLogic::ParameterChanged(record);
    ApplyRule();
}
