#include "ui/controls/EnvGraphCtrl.h"

#include "core/resources/GlobalStyle.h"
#include "ui/framework/CommandIds.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

EnvGraphCtrl::EnvGraphCtrl(ControlListener* owner, QWidget* parent) : SelfDrawnControl(parent), EnvGraphLogic(owner)
{
    SetSurface(this);
    SetControlWindow(this);
    setFocusPolicy(Qt::StrongFocus);
}

void EnvGraphCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const GlobalStyle* style = Style();
    auto colour = [style, this](int slot) { return style ? style->Colour(slot) : palette().color(QPalette::WindowText); };
    // An envelope that cannot be used shows its texts and marks in the disabled look and no focus.
    const bool disabled = !isEnabled() || !DeviceReady();
    const bool focused = GlobalStyle::ShowsFocus(hasFocus(), disabled);
    const QColor text = colour(disabled ? DisabledColour : ForegroundColour);
    PaintBackground(painter, rect());
    PaintControlContent(painter, rect(), disabled, [&](QPainter& q) {
        q.setPen(text);
        q.drawText(CaptionRect(), Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, Caption());
        q.drawRect(PlusBox().adjusted(0, 0, -1, -1));
        q.drawText(PlusBox().adjusted(2, 2, -2, -2), Qt::AlignCenter, QStringLiteral("+"));
        q.drawRect(MinusBox().adjusted(0, 0, -1, -1));
        q.setPen(Zoom() == 1 ? colour(DisabledColour) : text);
        q.drawText(MinusBox().adjusted(2, 2, -2, -2), Qt::AlignCenter, QStringLiteral("-"));
        if (!HasGraph())
            return;
        const QRect g = GraphRect();
        q.fillRect(g, colour(ShadowColour));
        q.setPen(Qt::black);
        q.drawRect(g.adjusted(0, 0, -1, -1));
        q.save();
        q.setClipRect(g);
        const std::array<int, 12> v = ShownValues();
        q.setPen(colour(ForegroundColour));
        // The axes: time 0 upwards over the level range, level 0 along the time span.
        std::array<int, 12> axis{};
        axis[6] = ParameterAt(6)->maximum;
        const QPoint top = PointPosition(axis, 0);
        axis[6] = ParameterAt(6)->minimum;
        const QPoint bottom = PointPosition(axis, 0);
        q.drawLine(top, bottom);
        axis[6] = 0;
        const QPoint origin = PointPosition(axis, 0);
        axis[0] = TimeSpan;
        q.drawLine(origin, PointPosition(axis, 0));
        QPoint previous = origin;
        for (int i = 0; i < 6; ++i) {
            const QPoint p = PointPosition(v, i);
            q.setPen(colour(ForegroundColour));
            q.drawLine(previous, p);
            previous = p;
        }
        for (int i = 0; i < 6; ++i) {
            const QPoint p = PointPosition(v, i);
            q.setPen(focused && i == SelectedPoint() ? QColor(Qt::white) : colour(ForegroundColour));
            q.drawRect(QRect(p - QPoint(4, 4), QSize(8, 8)));
        }
        q.restore();
    });
    if (focused) {
        painter.setPen(colour(ForegroundColour));
        painter.drawText(QRect(0, CaptionRect().top(), CaptionRect().right() + 1, CaptionRect().height()),
                         Qt::AlignRight | Qt::AlignBottom | Qt::TextSingleLine, PointLabel());
        if (style)
            style->DrawFocusFrame(&painter, rect());
    }
}

void EnvGraphCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    MousePress(at.x(), at.y());
}

void EnvGraphCtrl::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    MouseMove(at.x(), at.y());
}

void EnvGraphCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    const QPoint at = event->position().toPoint();
    MouseRelease(at.x(), at.y());
}

void EnvGraphCtrl::keyPressEvent(QKeyEvent* event)
{
    Key key = KeyOther;
    switch (event->key()) {
    case Qt::Key_Left: key = KeyLeft; break;
    case Qt::Key_Right: key = KeyRight; break;
    case Qt::Key_Up: key = KeyUp; break;
    case Qt::Key_Down: key = KeyDown; break;
    case Qt::Key_PageUp: key = KeyPageUp; break;
    case Qt::Key_PageDown: key = KeyPageDown; break;
    case Qt::Key_Home: key = KeyHome; break;
    case Qt::Key_End: key = KeyEnd; break;
    case Qt::Key_Plus: key = (event->modifiers() & Qt::KeypadModifier) ? KeyPlus : KeyOther; break;
    case Qt::Key_Minus: key = (event->modifiers() & Qt::KeypadModifier) ? KeyMinus : KeyOther; break;
    default: break;
    }
    const Qt::KeyboardModifiers m = event->modifiers();
    if (key != KeyOther && KeyPress(key, m & Qt::ShiftModifier, m & Qt::ControlModifier, m & Qt::AltModifier)) {
        update();
        event->accept();
        return;
    }
    SelfDrawnControl::keyPressEvent(event);
}

void EnvGraphCtrl::keyReleaseEvent(QKeyEvent* event)
{
    KeyRelease(event->key() == Qt::Key_Escape, event->key() == Qt::Key_F5);
    SelfDrawnControl::keyReleaseEvent(event);
}

void EnvGraphCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}
