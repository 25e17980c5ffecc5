#include "ui/controls/ButtonCtrl.h"

#include "core/resources/GlobalStyle.h"

#include <QColorDialog>
#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

bool controlevents::IsSpace(const QKeyEvent* event)
{
    return event->key() == Qt::Key_Space;
}

namespace {

template <class Logic>
void PressEvent(Logic& logic, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    logic.MousePress();
    event->accept();
}

template <class Logic>
void ReleaseEvent(Logic& logic, QWidget* widget, QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    logic.MouseRelease(widget->rect().contains(event->position().toPoint()));
    event->accept();
}

template <class Logic>
void KeyDown(Logic& logic, QKeyEvent* event, QWidget* widget)
{
    if (controlevents::IsSpace(event)) {
        logic.SpaceDown();
        event->accept();
        return;
    }
    event->ignore();
}

template <class Logic>
void KeyRelease(Logic& logic, QKeyEvent* event)
{
    if (event->isAutoRepeat()) // a held key repeats its press, not its release
        return;
    logic.KeyUp(controlevents::IsSpace(event));
}

} // namespace

ButtonCtrl::ButtonCtrl(ControlListener* owner, QWidget* parent) : SelfDrawnControl(parent), ButtonLogic(owner)
{
    SetSurface(this);
    SetControlWindow(this);
}

ButtonFace ButtonCtrl::MakeFace(QPainter* painter) const
{
    return CentredFace(painter, Face());
}

void ButtonCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ButtonFace face = MakeFace(&painter);
    face.text = Caption();
    if (const GlobalStyle* style = Style())
        style->DrawTextButton(face);
    else
        PaintBackground(painter, rect());
}

void ButtonCtrl::mousePressEvent(QMouseEvent* event)
{
    PressEvent<ButtonLogic>(*this, event);
}

void ButtonCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    // The second press of a double click comes as this event instead.
    PressEvent<ButtonLogic>(*this, event);
}

void ButtonCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    ReleaseEvent<ButtonLogic>(*this, this, event);
}

void ButtonCtrl::keyPressEvent(QKeyEvent* event)
{
    KeyDown<ButtonLogic>(*this, event, this);
}

void ButtonCtrl::keyReleaseEvent(QKeyEvent* event)
{
    KeyRelease<ButtonLogic>(*this, event);
}

void ButtonCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

// ---- bitmap button ------------------------------------------------------------------------------

BitmapButtonCtrl::BitmapButtonCtrl(ControlListener* owner, const QPixmap& normal, const QPixmap& disabled,
                                   QWidget* parent)
    : ButtonCtrl(owner, parent)
{
    SetBitmaps(normal, disabled);
}

void BitmapButtonCtrl::SetBitmaps(const QPixmap& normal, const QPixmap& disabled)
{
    m_normal = normal;
    m_disabled = disabled;
    if (!m_normal.isNull())
        resize(m_normal.width() + 6, m_normal.height() + 5);
    update();
}

void BitmapButtonCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    ButtonFace face = MakeFace(&painter);
    face.bitmap = face.disabled ? &m_disabled : &m_normal;
    if (const GlobalStyle* style = Style())
        style->DrawBitmapButton(face);
    else
        PaintBackground(painter, rect());
}

// ---- colour swatch ------------------------------------------------------------------------------

ColourSwatchCtrl::ColourSwatchCtrl(ControlListener* owner, QWidget* parent)
    : SelfDrawnControl(parent), ColourSwatchLogic(owner)
{
    SetSurface(this);
    SetControlWindow(this);
    SetChooser([this](std::uint32_t initial) -> std::optional<std::uint32_t> {
        const QColor start = ColorFromColorRef(initial);
        const QColor chosen = QColorDialog::getColor(start, this, QString());
        if (!chosen.isValid())
            return std::nullopt;
        return std::uint32_t(chosen.red()) | std::uint32_t(chosen.green()) << 8 | std::uint32_t(chosen.blue()) << 16;
    });
}

void ColourSwatchCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const FaceState state = Face();
    ButtonFace face = CentredFace(&painter, state);
    face.swatch = ColorFromColorRef(Colour());
    if (const GlobalStyle* style = Style())
        style->DrawColourButton(face);
    else
        painter.fillRect(rect(), face.swatch);
}

void ColourSwatchCtrl::mousePressEvent(QMouseEvent* event)
{
    PressEvent<ColourSwatchLogic>(*this, event);
}

void ColourSwatchCtrl::mouseDoubleClickEvent(QMouseEvent* event)
{
    PressEvent<ColourSwatchLogic>(*this, event);
}

void ColourSwatchCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    ReleaseEvent<ColourSwatchLogic>(*this, this, event);
}

void ColourSwatchCtrl::keyPressEvent(QKeyEvent* event)
{
    KeyDown<ColourSwatchLogic>(*this, event, this);
}

void ColourSwatchCtrl::keyReleaseEvent(QKeyEvent* event)
{
    KeyRelease<ColourSwatchLogic>(*this, event);
}

void ColourSwatchCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}
