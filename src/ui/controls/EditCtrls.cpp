#include "ui/controls/EditCtrls.h"

#include "core/resources/GlobalStyle.h"

#include <QContextMenuEvent>
#include <QPainter>

void ApplyControlColours(QWidget* widget)
{
    const GlobalStyle* style = TheGlobalStyle();
    if (!style)
        return;
    QPalette palette = widget->palette();
    for (QPalette::ColorRole role : {QPalette::Base, QPalette::Window})
        palette.setColor(role, style->Colour(BackgroundColour));
    for (QPalette::ColorRole role : {QPalette::Text, QPalette::WindowText, QPalette::ButtonText})
        palette.setColor(role, style->Colour(ForegroundColour));
    style->SetDisabledColours(&palette);
    widget->setPalette(palette);
}

EditCtrl::EditCtrl(ControlListener* owner, QWidget* parent) : QLineEdit(parent), ControlBase(owner)
{
    SetControlWindow(this);
    ApplyControlColours(this);
}

void EditCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

NumericEditCtrl::NumericEditCtrl(ControlListener* owner, QWidget* parent) : QLineEdit(parent), NumericEditLogic(owner)
{
    SetControlWindow(this);
    ApplyControlColours(this);
}

void NumericEditCtrl::focusOutEvent(QFocusEvent* event)
{
    Commit(text());
    QLineEdit::focusOutEvent(event);
}

void NumericEditCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

ComboCtrl::ComboCtrl(QWidget* parent) : QComboBox(parent), ControlBase(nullptr)
{
    SetControlWindow(this);
    ApplyControlColours(this);
}

void ComboCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

ListCtrl::ListCtrl(ControlListener* owner, QWidget* parent) : QTreeView(parent), ControlBase(owner)
{
    SetControlWindow(this);
    setRootIsDecorated(false);
    ApplyControlColours(this);
}

void ListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

TreeCtrl::TreeCtrl(ControlListener* owner, QWidget* parent) : QTreeWidget(parent), ControlBase(owner)
{
    SetControlWindow(this);
    ApplyControlColours(this);
}

void TreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

ListBoxCtrl::ListBoxCtrl(ControlListener* owner, QWidget* parent) : QListWidget(parent), ControlBase(owner)
{
    SetControlWindow(this);
    ApplyControlColours(this);
}

void ListBoxCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}

SpinButtonCtrl::SpinButtonCtrl(QWidget* parent) : QSpinBox(parent), ControlBase(nullptr)
{
    SetControlWindow(this);
    ApplyControlColours(this);
}

void SpinButtonCtrl::paintEvent(QPaintEvent* event)
{
    if (const GlobalStyle* style = TheGlobalStyle()) {
        QPainter p(this);
        style->PaintControlBackground(&p, parentWidget() ? mapTo(parentWidget(), QPoint()) : QPoint(), rect());
    }
    QSpinBox::paintEvent(event);
}

void SpinButtonCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}
