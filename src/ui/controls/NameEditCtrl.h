#pragma once
// NameCtrl: the line edit of a module object's name; the logic is NameEditLogic.

#include "ui/controls/NameEditLogic.h"

#include <QLineEdit>

class NameCtrl : public QLineEdit, public NameEditLogic {
    Q_OBJECT
public:
    explicit NameCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    // As a form builds it; the owner is set when the control is bound.
    explicit NameCtrl(QWidget* parent) : NameCtrl(nullptr, parent) {}
    void Setup(int maxChars, int tooltipId);

protected:
    void ShowText(const QString& text, int selectionStart, int selectionEnd) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
