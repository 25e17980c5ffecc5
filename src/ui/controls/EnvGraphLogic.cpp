#include "ui/controls/EnvGraphLogic.h"

#include "module/ParameterIds.h"

#include <algorithm>
#include <cmath>

namespace {
const QString kEnvelopeChange = QStringLiteral("Envelope Change");
} // namespace

void EnvGraphLogic::Setup(int tooltipId)
{
    SetToolTipId(tooltipId);
    LayOut();
}

void EnvGraphLogic::LayOut()
{
    if (!m_surface)
        return;
    const QSize size = m_surface->ClientSize();
    const QSize x = m_surface->TextSize(QStringLiteral("X"));
    // Edges as left, top, right, bottom with right and bottom exclusive.
    const int l = 1, t = 1, r = size.width() - 1, b = size.height() - 1;
    const int captionBottom = t + x.height() + 2;
    const int boxWidth = x.width() + 4;
    m_plusBox = QRect(QPoint(r - boxWidth, t), QPoint(r - 1, captionBottom - 1));
    m_minusBox = QRect(QPoint(m_plusBox.left() - 4 - boxWidth, t), QPoint(m_plusBox.left() - 5, captionBottom - 1));
    m_captionRect = QRect(QPoint(l, t), QPoint(m_minusBox.left() - 5, captionBottom - 1));
    m_graphRect = QRect(QPoint(l + 2, captionBottom + 2), QPoint(r - 3, b - 3));
    Repaint();
}

int EnvGraphLogic::Value(int index) const
{
    ParamRecord* p = unsigned(index) < ParameterCount() ? m_parameters[size_t(index)] : nullptr;
    return p ? p->value : 0;
}

int EnvGraphLogic::Minimum(int index) const
{
    ParamRecord* p = unsigned(index) < ParameterCount() ? m_parameters[size_t(index)] : nullptr;
    return p ? p->minimum : 0;
}

int EnvGraphLogic::Maximum(int index) const
{
    ParamRecord* p = unsigned(index) < ParameterCount() ? m_parameters[size_t(index)] : nullptr;
    return p ? p->maximum : 0;
}

std::array<int, 12> EnvGraphLogic::ShownValues() const
{
    if (m_dragging)
        return m_drag;
    std::array<int, 12> v{};
    for (int i = 0; i < 12; ++i)
        v[size_t(i)] = Value(i);
    return v;
}

namespace {
/// The mapping of the graph: logical time and level to device pixels and back.
struct Mapping {
    double orgX, orgY, extX, extY; // viewport origin and extent
    double winExtX, winExtY;       // window extent
    int minLevel;
};
} // namespace

static Mapping MakeMapping(const QRect& g, int zoom, int minLevel, int maxLevel)
{
    Mapping m;
    m.orgX = g.left() + 5;
    m.orgY = g.top() + g.height() - 5;
    m.extX = g.width() - 10;
    m.extY = -(g.height() - 10);
    m.winExtX = double(EnvGraphLogic::TimeSpan / std::max(zoom, 1));
    const int range = maxLevel - minLevel;
    m.winExtY = range < 2 ? 1 : range;
    m.minLevel = minLevel;
    return m;
}

QPoint EnvGraphLogic::PointPosition(const std::array<int, 12>& values, int i) const
{
    const Mapping m = MakeMapping(m_graphRect, m_zoom, Minimum(6), Maximum(6));
    int time = 0;
    for (int k = 0; k <= i; ++k)
        time += values[size_t(k)];
    const double x = m.orgX + time * m.extX / m.winExtX;
    const double y = m.orgY + (values[size_t(i + 6)] - m.minLevel) * m.extY / m.winExtY;
    return QPoint(int(std::lround(x)), int(std::lround(y)));
}

std::pair<int, int> EnvGraphLogic::PositionAt(int x, int y) const
{
    const Mapping m = MakeMapping(m_graphRect, m_zoom, Minimum(6), Maximum(6));
    const double logicalX = m.extX != 0 ? (x - m.orgX) * m.winExtX / m.extX : 0;
    const double logicalY = m.extY != 0 ? m.minLevel + (y - m.orgY) * m.winExtY / m.extY : m.minLevel;
    int before = 0;
    for (int k = 0; k < m_dragPoint; ++k)
        before += m_drag[size_t(k)];
    const int time = std::clamp(int(std::lround(logicalX)) - before, Minimum(0), std::max(Minimum(0), Maximum(0)));
    const int level = std::clamp(int(std::lround(logicalY)), Minimum(6), std::max(Minimum(6), Maximum(6)));
    return {time, level};
}

bool EnvGraphLogic::Usable() const
{
    return (!m_surface || m_surface->IsWindowEnabled()) && DeviceReady();
}

void EnvGraphLogic::MousePress(int x, int y)
{
    if (m_surface)
        m_surface->TakeFocus();
    if (!Usable() || !HasGraph() || !m_graphRect.adjusted(-4, -4, 4, 4).contains(x, y))
        return;
    const std::array<int, 12> values = ShownValues();
    for (int i = 5; i >= 0; --i) {
        const QPoint p = PointPosition(values, i);
        if (std::abs(x - p.x()) <= 4 && std::abs(y - p.y()) <= 4) {
            m_dragging = true;
            m_dragPoint = i;
            m_dragOffset = QPoint(x, y) - p;
            m_drag = values;
            m_captured = true;
            Repaint();
            return;
        }
    }
}

void EnvGraphLogic::MouseMove(int x, int y)
{
    if (!m_dragging)
        return;
    const auto [time, level] = PositionAt(x - m_dragOffset.x(), y - m_dragOffset.y());
    m_drag[size_t(m_dragPoint)] = time;
    m_drag[size_t(m_dragPoint + 6)] = level;
    Repaint(true);
}

void EnvGraphLogic::MouseRelease(int x, int y)
{
    if (!Usable())
        return;
    if (m_plusBox.contains(x, y)) {
        ++m_zoom;
    } else if (m_minusBox.contains(x, y)) {
        if (m_zoom > 1)
            --m_zoom;
    } else if (m_dragging) {
        MouseMove(x, y);
        m_dragging = false;
        m_captured = false;
        ParamRecord* time = ParameterAt(unsigned(m_dragPoint));
        ParamRecord* level = unsigned(m_dragPoint + 6) < ParameterCount() ? ParameterAt(unsigned(m_dragPoint + 6)) : nullptr;
        if (m_owner) {
            if (ParamRecord* start = m_owner->GetParameter(START_UNDO)) {
                start->SetText(kEnvelopeChange);
                m_owner->EditParameter(start);
            }
            // The commit is sent five times over, as the module's edit path expects.
            for (int n = 0; n < 5; ++n)
                for (auto [record, value] : {std::pair{time, m_drag[size_t(m_dragPoint)]},
                                             std::pair{level, m_drag[size_t(m_dragPoint + 6)]}}) {
                    if (!record)
                        continue;
                    record->previousValue = record->value;
                    record->value = value;
                    m_owner->EditParameter(record);
                }
            if (ParamRecord* end = m_owner->GetParameter(END_UNDO)) {
                end->SetText(kEnvelopeChange);
                m_owner->EditParameter(end);
            }
        }
    }
    Repaint();
}

void EnvGraphLogic::Change(int index, int amount)
{
    ParamRecord* p = unsigned(index) < ParameterCount() ? ParameterAt(unsigned(index)) : nullptr;
    if (!p || amount == 0)
        return;
    const int result = amount < 0 ? std::max(p->value + amount, p->minimum) : std::min(p->value + amount, p->maximum);
    if (result == p->value)
        return;
    p->previousValue = p->value;
    p->value = result;
    if (m_owner)
        m_owner->EditParameter(p);
    Repaint();
}

bool EnvGraphLogic::KeyPress(Key key, bool shift, bool ctrl, bool alt)
{
    if (!Usable() || alt)
        return true; // dropped
    const int step = shift ? 10 : 1;
    const int t = m_selected;
    const int l = m_selected + 6;
    switch (key) {
    case KeyLeft:
        if (ctrl)
            m_selected = std::max(m_selected - 1, 0), Repaint();
        else
            Change(t, -step);
        return true;
    case KeyRight:
        if (ctrl)
            m_selected = std::min(m_selected + 1, 5), Repaint();
        else
            Change(t, step);
        return true;
    case KeyUp:
        if (ctrl)
            m_selected = std::min(m_selected + 1, 5), Repaint();
        else
            Change(l, step);
        return true;
    case KeyDown:
        if (ctrl)
            m_selected = std::min(m_selected + 1, 5), Repaint();
        else
            Change(l, -step);
        return true;
    case KeyPageUp: Change(l, 10); return true;
    case KeyPageDown: Change(l, -10); return true;
    case KeyHome: Change(t, -Value(t)); return true;
    case KeyEnd: Change(t, 127 - Value(t)); return true;
    case KeyPlus: ++m_zoom; Repaint(); return true;
    case KeyMinus:
        if (m_zoom > 1)
            --m_zoom;
        Repaint();
        return true;
    default: return false;
    }
}

void EnvGraphLogic::KeyRelease(bool escape, bool f5)
{
    if (!Usable())
        return;
    if (escape && m_dragging) {
        m_dragging = false;
        m_captured = false;
        Repaint();
    }
    if (f5)
        LayOut();
}

void EnvGraphLogic::Activate()
{
    PressableLogic::Activate();
    LayOut();
}

void EnvGraphLogic::ParameterChanged(ParamRecord* record)
{
    bool matched = false;
    for (ParamRecord* p : m_parameters)
        if (p && record && p->id == record->id) {
            matched = true;
            if (p->value != record->value) {
                p->previousValue = p->value;
                p->value = record->value;
            }
        }
    if (matched)
        LayOut();
    PressableLogic::ParameterChanged(record);
}

QString EnvGraphLogic::PointName(int i)
{
    static const char* const names[6] = {"Atk 1", "Atk 2", "Dcy 1", "Dcy 2", "Rel 1", "Rel 2"};
    return i >= 0 && i < 6 ? QString::fromLatin1(names[i]) : QString();
}

QString EnvGraphLogic::PointLabel() const
{
    const int i = m_dragging ? m_dragPoint : m_selected;
    const std::array<int, 12> v = ShownValues();
    return QStringLiteral("%1 (%2,%3)").arg(PointName(i)).arg(v[size_t(i)]).arg(v[size_t(i + 6)]);
}
