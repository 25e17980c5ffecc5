#pragma once
// The on-screen keyboard: a drawn piano picture (seven octaves from C1) with
// the markers of the sounding keys, the mouse fed into KeyboardLogic, and the
// test-note keys (Ctrl+Shift+Z, S, X, D, C) taken from every window of the
// program before anything else sees them.

#include "ui/controls/KeyboardLogic.h"
#include "ui/controls/SelfDrawnControl.h"

class KeyBoardCtrl : public SelfDrawnControl, public KeyboardLogic {
    Q_OBJECT
public:
    explicit KeyBoardCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    ~KeyBoardCtrl() override;

    QSize sizeHint() const override { return QSize(PictureWidth, PictureHeight); }
    /// The keyboard picture alone.
    static QPixmap Picture();

protected:
    std::optional<KeyboardSettings> RunConfigureDialog(QWidget* parent, const KeyboardSettings& settings) override;
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    void changeEvent(QEvent* event) override;
};
