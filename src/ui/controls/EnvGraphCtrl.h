#pragma once
// The envelope graph widget: paints EnvGraphLogic (caption, zoom boxes, axes,
// the six break points and the selected point's label) and feeds mouse and
// keys in.

#include "ui/controls/EnvGraphLogic.h"
#include "ui/controls/SelfDrawnControl.h"

class EnvGraphCtrl : public SelfDrawnControl, public EnvGraphLogic {
    Q_OBJECT
public:
    explicit EnvGraphCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    // As a form builds it; the owner is set when the control is bound.
    explicit EnvGraphCtrl(QWidget* parent) : EnvGraphCtrl(nullptr, parent) {}

protected:
    void paintEvent(QPaintEvent*) override;
    void resizeEvent(QResizeEvent*) override { LayOut(); }
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    bool focusNextPrevChild(bool) override { return false; }
};
