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
    palette.setColor(QPalette::Disabled, QPalette::Text, style->Colour(DisabledColour));
    widget->setPalette(palette);
}

EditCtrl::EditCtrl(ControlListener* owner, QWidget* parent) : QLineEdit(parent), ControlBase(owner)
{
    SetWindow(this);
    ApplyControlColours(this);
}

void EditCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), kControlContextMenu);
}

NumericEditCtrl::NumericEditCtrl(ControlListener* owner, QWidget* parent) : QLineEdit(parent), NumericEditLogic(owner)
{
    SetWindow(this);
    ApplyControlColours(this);
}

void NumericEditCtrl::focusOutEvent(QFocusEvent* event)
{
    Commit(text());
    QLineEdit::focusOutEvent(event);
}

void NumericEditCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), kControlContextMenu);
}

ComboCtrl::ComboCtrl(QWidget* parent) : QComboBox(parent), ControlBase(nullptr)
{
    SetWindow(this);
    ApplyControlColours(this);
}

void ComboCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), kControlContextMenu);
}

ListCtrl::ListCtrl(ControlListener* owner, QWidget* parent) : QTreeView(parent), ControlBase(owner)
{
    SetWindow(this);
    setRootIsDecorated(false);
    ApplyControlColours(this);
}

void ListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), kControlContextMenu);
}

TreeCtrl::TreeCtrl(ControlListener* owner, QWidget* parent) : QTreeWidget(parent), ControlBase(owner)
{
    SetWindow(this);
    ApplyControlColours(this);
}

void TreeCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), kControlContextMenu);
}

ListBoxCtrl::ListBoxCtrl(ControlListener* owner, QWidget* parent) : QListWidget(parent), ControlBase(owner)
{
    SetWindow(this);
    ApplyControlColours(this);
}

void ListBoxCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), kControlContextMenu);
}

SpinButtonCtrl::SpinButtonCtrl(QWidget* parent) : QSpinBox(parent), ControlBase(nullptr)
{
    SetWindow(this);
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
    ShowContextMenu(this, event->globalPos(), kControlContextMenu);
}
