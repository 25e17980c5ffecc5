#include "ui/controls/ProgressCtrl.h"

#include "core/resources/GlobalStyle.h"
#include "ui/controls/ControlGeometry.h"
#include "ui/controls/SelfDrawnControl.h"

#include <QContextMenuEvent>
#include <QPainter>

#include <algorithm>

ProgressCtrl::ProgressCtrl(ControlListener* owner, QWidget* parent) : QWidget(parent), ControlBase(owner)
{
    SetControlWindow(this);
}

void ProgressCtrl::SetRange(int lower, int upper)
{
    m_lower = lower;
    m_upper = upper;
    SetPos(m_position);
}

void ProgressCtrl::SetPos(int position)
{
    m_position = m_upper > m_lower ? std::max(m_lower, std::min(position, m_upper)) : m_lower;
    update();
}

void ProgressCtrl::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const GlobalStyle* style = TheGlobalStyle();
    const QRect client = rect();
    const QColor shadow = style ? style->Colour(ShadowColour) : palette().color(QPalette::Dark);
    const QColor fore = style ? style->Colour(ForegroundColour) : palette().color(QPalette::WindowText);
    if (style)
        style->PaintControlBackground(&p, parentWidget() ? mapTo(parentWidget(), QPoint()) : QPoint(), client);
    else
        p.fillRect(client, palette().window());
    // A disabled bar shows its frame and blocks in the disabled look.
    PaintControlContent(p, client, !isEnabled(), [&](QPainter& q) {
        if (client.width() > 1 && client.height() > 1) {
            q.fillRect(QRect(client.left(), client.top(), client.width() - 1, 1), shadow);
            q.fillRect(QRect(client.left(), client.top(), 1, client.height() - 1), shadow);
            q.fillRect(QRect(client.right(), client.top(), 1, client.height()), fore);
            q.fillRect(QRect(client.left(), client.bottom(), client.width(), 1), fore);
        }
        // Blocks never spill over the frame on the right.
        q.setClipRect(client.adjusted(2, 2, -2, -2));
        for (const Edges& block : ProgressBlocks(width(), height(), m_lower, m_upper, m_position))
            q.fillRect(block.ToRect(), fore);
    });
}

void ProgressCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}
