#include "ui/controls/SelfDrawnControl.h"

#include "core/resources/GlobalStyle.h"
#include "ui/controls/ButtonLogic.h"
#include "ui/framework/BasicDialog.h"
#include "ui/framework/Caption.h"
#include "ui/framework/ItemId.h"

#include <QFontMetrics>
#include <QPainter>

void PaintControlContent(QPainter& painter, const QRect& area, bool disabled,
                         const std::function<void(QPainter&)>& paint)
{
    if (const GlobalStyle* style = TheGlobalStyle())
        style->PaintContent(&painter, area, disabled, paint);
    else
        paint(painter);
}

SelfDrawnControl::SelfDrawnControl(QWidget* parent) : QWidget(parent)
{
    setFocusPolicy(Qt::StrongFocus);
}

void SelfDrawnControl::SetCaption(const QString& caption)
{
    m_caption = caption;
    setAccessibleName(AccessibleNameFromCaption(caption));
    CaptionChanged();
    update();
}

void SelfDrawnControl::Repaint(bool now)
{
    if (now && isVisible())
        repaint();
    else
        update();
}

void SelfDrawnControl::TakeFocus()
{
    setFocus(Qt::MouseFocusReason);
}

bool SelfDrawnControl::HasKeyboardFocus() const
{
    return hasFocus();
}

bool SelfDrawnControl::IsWindowEnabled() const
{
    return isEnabled();
}

void SelfDrawnControl::SetWindowEnabled(bool enabled)
{
    setEnabled(enabled);
}

void SelfDrawnControl::SendCommand()
{
    if (m_commandHandler) {
        m_commandHandler(m_controlId);
        return;
    }
    for (QWidget* w = parentWidget(); w; w = w->parentWidget())
        if (auto* dialog = qobject_cast<BasicDialog*>(w)) {
            dialog->OnCommand(ControlId());
            return;
        }
}

int SelfDrawnControl::ControlId() const
{
    return m_controlId >= 0 ? m_controlId : ItemIdOf(this);
}

QSize SelfDrawnControl::ClientSize() const
{
    return size();
}

QSize SelfDrawnControl::TextSize(const QString& text) const
{
    const QFontMetrics metrics(font());
    return QSize(metrics.horizontalAdvance(text), metrics.height());
}

const GlobalStyle* SelfDrawnControl::Style()
{
    return TheGlobalStyle();
}

ButtonFace SelfDrawnControl::CentredFace(QPainter* painter, const FaceState& state) const
{
    ButtonFace face;
    face.painter = painter;
    face.rect = rect();
    face.originInParent = OriginInParent();
    face.disabled = state.disabled;
    face.pressed = state.pressed;
    face.focused = state.focused;
    face.style = buttonstyle::BS_CENTER | buttonstyle::BS_VCENTER;
    return face;
}

QPoint SelfDrawnControl::OriginInParent() const
{
    return parentWidget() ? mapTo(parentWidget(), QPoint(0, 0)) : QPoint(0, 0);
}

void SelfDrawnControl::PaintBackground(QPainter& painter, const QRect& rect) const
{
    if (const GlobalStyle* style = Style()) {
        painter.fillRect(rect, style->Colour(BackgroundColour));
        style->PaintControlBackground(&painter, OriginInParent(), rect);
    } else {
        painter.fillRect(rect, palette().window());
    }
}
