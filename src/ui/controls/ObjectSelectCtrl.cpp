#include "ui/controls/ObjectSelectCtrl.h"

#include "core/resources/GlobalStyle.h"
#include "ui/framework/CommandIds.h"

#include <QContextMenuEvent>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>

SelectCtrl::SelectCtrl(ControlListener* owner, QWidget* parent) : SelfDrawnControl(parent), SelectLogic(owner)
{
    SetSurface(this);
    SetControlWindow(this);
    setFocusPolicy(Qt::StrongFocus);
}

void SelectCtrl::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const FaceState state = Face();
    ButtonFace face = CentredFace(&painter, state);
    face.text = Text();
    if (const GlobalStyle* style = Style())
        style->DrawTextButton(face);
    else
        PaintBackground(painter, rect());
}

void SelectCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        MousePress();
}

void SelectCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        MouseRelease(rect().contains(event->position().toPoint()));
}

void SelectCtrl::keyReleaseEvent(QKeyEvent* event)
{
    if (event->isAutoRepeat())
        return;
    KeyUp(event->key() == Qt::Key_Space);
}

void SelectCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}
