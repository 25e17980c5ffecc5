#include "ui/controls/NameEditCtrl.h"

#include "ui/framework/CommandIds.h"

#include <QContextMenuEvent>

NameCtrl::NameCtrl(ControlListener* owner, QWidget* parent) : QLineEdit(parent), NameEditLogic(owner)
{
    SetControlWindow(this);
    setMaxLength(MaxChars);
    connect(this, &QLineEdit::textChanged, this, [this](const QString& text) { Commit(text); });
}

void NameCtrl::Setup(int maxChars, int tooltipId)
{
    SetToolTipId(tooltipId);
    setMaxLength(std::min(maxChars, int(MaxChars)));
    update();
}

void NameCtrl::ShowText(const QString& text, int selectionStart, int selectionEnd)
{
    setText(text);
    if (selectionEnd > selectionStart)
        setSelection(selectionStart, selectionEnd - selectionStart);
    else
        setCursorPosition(selectionStart);
}

void NameCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}
