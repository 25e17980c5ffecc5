#include "ui/controls/TrackerCtrl.h"

#include "core/resources/GlobalStyle.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

namespace {

void Frame3d(QPainter& p, const QRect& r, const QColor& topLeft, const QColor& bottomRight)
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    p.fillRect(QRect(r.left(), r.top(), r.width() - 1, 1), topLeft);
    p.fillRect(QRect(r.left(), r.top(), 1, r.height() - 1), topLeft);
    p.fillRect(QRect(r.right(), r.top(), 1, r.height()), bottomRight);
    p.fillRect(QRect(r.left(), r.bottom(), r.width(), 1), bottomRight);
}

TrackerLogic::Key KeyOf(int key)
{
    switch (key) {
    case Qt::Key_Escape: return TrackerLogic::KeyEscape;
    case Qt::Key_PageUp: return TrackerLogic::KeyPageUp;
    case Qt::Key_PageDown: return TrackerLogic::KeyPageDown;
    case Qt::Key_Left: return TrackerLogic::KeyLeft;
    case Qt::Key_Right: return TrackerLogic::KeyRight;
    case Qt::Key_Up: return TrackerLogic::KeyUp;
    case Qt::Key_Down: return TrackerLogic::KeyDown;
    default: return TrackerLogic::KeyOther;
    }
}

} // namespace

void PaintTracker(SelfDrawnControl& widget, TrackerLogic& logic)
{
    using namespace trackercolours;
    QPainter p(&widget);
    const GlobalStyle* style = TheGlobalStyle();
    const QRect client = widget.rect();
    if (style)
        style->PaintControlBackground(&p, widget.parentWidget() ? widget.mapTo(widget.parentWidget(), QPoint()) : QPoint(),
                                      client);
    else
        p.fillRect(client, widget.palette().window());
    // A slider that cannot be used shows its texts and marks in the disabled look and no focus.
    const bool disabled = logic.TextDisabled();
    const bool focused = GlobalStyle::ShowsFocus(widget.hasFocus(), disabled);
    const QColor text = style ? style->TextColour(disabled) : widget.palette().color(QPalette::WindowText);
    PaintControlContent(p, client, disabled, [&](QPainter& q) {
        q.setPen(text);
        q.setFont(widget.font());
        const TrackerLayout& layout = logic.Layout();
        const bool horizontal = logic.IsHorizontal();
        q.drawText(layout.value.ToRect(),
                   Qt::TextSingleLine | Qt::AlignVCenter | (horizontal ? Qt::AlignRight : Qt::AlignHCenter),
                   logic.ValueText());

        const QRect channel = layout.channel.ToRect();
        q.fillRect(channel, ChannelFill);
        Frame3d(q, channel, ChannelLight, ChannelDark);

        const int length = horizontal ? layout.channel.Width() : layout.channel.Height();
        if (logic.ShowTicks() && layout.tickSpacing > 0) {
            const int count = length / layout.tickSpacing;
            for (int i = 0; i < count; ++i) {
                const int at = i * layout.tickSpacing;
                if (horizontal)
                    q.fillRect(QRect(layout.channel.l + at, layout.channel.b, 1, logic.TickLength()), Tick);
                else
                    q.fillRect(QRect(layout.channel.l - logic.TickLength(), layout.channel.b - 1 - at, logic.TickLength(), 1),
                               Tick);
            }
        }
        q.setPen(text);
        q.drawText(layout.title.ToRect(),
                   Qt::TextSingleLine | Qt::TextShowMnemonic | Qt::AlignVCenter | (horizontal ? Qt::AlignLeft : Qt::AlignHCenter),
                   widget.Caption());

        const QRect thumb = logic.Thumb().ToRect();
        q.fillRect(thumb, focused ? ThumbFocused : Thumb);
        Frame3d(q, thumb, ThumbLight, ThumbDark);
    });
    if (style && focused)
        style->DrawFocusFrame(&p, client.adjusted(1, 1, -1, -1));
}

template <class Logic>
void TrackerWidget<Logic>::paintEvent(QPaintEvent*)
{
    PaintTracker(*this, *this);
}

template <class Logic>
void TrackerWidget<Logic>::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        Logic::MousePress(at.x(), at.y());
    }
}

template <class Logic>
void TrackerWidget<Logic>::mouseDoubleClickEvent(QMouseEvent* event)
{
    mousePressEvent(event);
}

template <class Logic>
void TrackerWidget<Logic>::mouseMoveEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    Logic::MouseMove(at.x(), at.y());
}

template <class Logic>
void TrackerWidget<Logic>::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        const QPoint at = event->position().toPoint();
        Logic::MouseRelease(at.x(), at.y());
    }
}

template <class Logic>
void TrackerWidget<Logic>::keyPressEvent(QKeyEvent* event)
{
    const bool modifiers = event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier | Qt::AltModifier);
    if (Logic::KeyPress(KeyOf(event->key()), modifiers))
        event->accept();
    else
        event->ignore();
}

template <class Logic>
void TrackerWidget<Logic>::contextMenuEvent(QContextMenuEvent* event)
{
    Logic::ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

template class TrackerWidget<TrackerLogic>;
template class TrackerWidget<FXTrackerLogic>;
template class TrackerWidget<MasterFXTrackerLogic>;
