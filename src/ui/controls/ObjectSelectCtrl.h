#pragma once
// SelectCtrl: the button that shows a module object's name and opens the
// name selection popup; the logic is SelectLogic.

#include "ui/controls/ObjectSelectLogic.h"
#include "ui/controls/SelfDrawnControl.h"

class SelectCtrl : public SelfDrawnControl, public SelectLogic {
    Q_OBJECT
public:
    explicit SelectCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    // As a form builds it; the owner is set when the control is bound.
    explicit SelectCtrl(QWidget* parent) : SelectCtrl(nullptr, parent) {}

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};
