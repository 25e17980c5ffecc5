#include "ui/controls/SwitchCtrl.h"

#include "core/resources/GlobalStyle.h"
#include "ui/controls/ControlGeometry.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

template <class Logic>
void SwitchWidget<Logic>::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Logic::MousePress();
}

template <class Logic>
void SwitchWidget<Logic>::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click comes as this event instead: a fast
    // double click toggles twice.
    if (event->button() == Qt::LeftButton)
        Logic::MousePress();
}

template <class Logic>
void SwitchWidget<Logic>::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        Logic::MouseRelease(rect().contains(event->position().toPoint()));
}

template <class Logic>
void SwitchWidget<Logic>::keyPressEvent(QKeyEvent* event)
{
    // Key down does nothing special for a switch; the space bar is still ours.
    if (event->key() == Qt::Key_Space)
        event->accept();
    else
        event->ignore();
}

template <class Logic>
void SwitchWidget<Logic>::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    Logic::KeyUp(event->key() == Qt::Key_Space);
}

template <class Logic>
void SwitchWidget<Logic>::contextMenuEvent(QContextMenuEvent* event)
{
    Logic::ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

template class SwitchWidget<SwitchLogic>;
template class SwitchWidget<LitButtonLogic>;
template class SwitchWidget<UnLitButtonLogic>;

void SwitchCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ButtonFace face = CentredFace(&painter, Face());
    face.text = Caption();
    if (const GlobalStyle* style = Style())
        style->DrawTextButton(face);
    else
        PaintBackground(painter, rect());
}

BitmapSwitchCtrl::BitmapSwitchCtrl(ControlListener* owner, const QPixmap& normal, const QPixmap& disabled,
                                   QWidget* parent)
    : SwitchCtrl(owner, parent)
{
    SetBitmaps(normal, disabled);
}

void BitmapSwitchCtrl::SetBitmaps(const QPixmap& normal, const QPixmap& disabled)
{
    m_normal = normal;
    m_disabled = disabled;
    if (!m_normal.isNull())
        resize(m_normal.width() + 6, m_normal.height() + 5);
    update();
}

void BitmapSwitchCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ButtonFace face = CentredFace(&painter, Face());
    face.bitmap = face.disabled ? &m_disabled : &m_normal;
    if (const GlobalStyle* style = Style())
        style->DrawBitmapButton(face);
    else
        PaintBackground(painter, rect());
}

// ---- lamps ------------------------------------------------------------------------------------

const QPixmap& LampPixmap(Lamp lamp)
{
    // Drawn once: a small round lamp with a rim, lit, dark or greyed.
    static QPixmap pixmaps[3];
    QPixmap& pm = pixmaps[int(lamp)];
    if (pm.isNull()) {
        pm = QPixmap(11, 11);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        const QColor fill = lamp == Lamp::On    ? QColor(255, 64, 32)
                            : lamp == Lamp::Off ? QColor(96, 32, 24)
                                                : QColor(128, 128, 128);
        p.setPen(QColor(34, 34, 34));
        p.setBrush(fill);
        p.drawEllipse(QRectF(0.5, 0.5, 10, 10));
    }
    return pm;
}

void PaintLampButton(SelfDrawnControl& widget, LitButtonLogic& logic)
{
    QPainter painter(&widget);
    const GlobalStyle* style = TheGlobalStyle();
    const QRect item = widget.rect();
    if (style)
        style->PaintControlBackground(&painter, widget.parentWidget() ? widget.mapTo(widget.parentWidget(), QPoint())
                                                                       : QPoint(),
                                      item);
    const QPixmap& off = LampPixmap(Lamp::Off);
    const QString caption = widget.Caption();
    const LampLayout layout = LayOutLamp(Edges::Of(item), off.width(), off.height(), !caption.isEmpty(), logic.Placement());
    const FaceState face = logic.Face();
    PaintControlContent(painter, item, face.disabled, [&](QPainter& q) {
        if (!caption.isEmpty()) {
            q.setPen(style ? style->TextColour(face.disabled) : widget.palette().color(QPalette::WindowText));
            q.setFont(widget.font());
            q.drawText(layout.caption.ToRect(), layout.alignment | Qt::TextSingleLine | Qt::TextShowMnemonic, caption);
        }
        q.drawPixmap(layout.lamp.ToRect().topLeft(), LampPixmap(logic.GetLamp()));
    });
    if (style && GlobalStyle::ShowsFocus(face.focused, face.disabled))
        style->DrawFocusFrame(&painter, item);
}

void LitButtonCtrl::paintEvent(QPaintEvent*)
{
    PaintLampButton(*this, *this);
}

void UnLitButtonCtrl::paintEvent(QPaintEvent*)
{
    PaintLampButton(*this, *this);
}
