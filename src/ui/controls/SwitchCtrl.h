#pragma once
// The self-drawn two-state switches: SwitchCtrl (a caption on a face that
// stays pressed while on), BitmapSwitchCtrl (a picture), and the lamp
// buttons LitButtonCtrl and UnLitButtonCtrl (a lamp beside, above or below
// the caption). The logic is SwitchLogic / LitButtonLogic.

#include "ui/controls/ButtonLogic.h"
#include "ui/controls/SelfDrawnControl.h"

#include <QPixmap>

/// The event plumbing every switch shares.
template <class Logic>
class SwitchWidget : public SelfDrawnControl, public Logic {
public:
    explicit SwitchWidget(ControlListener* owner, QWidget* parent) : SelfDrawnControl(parent), Logic(owner)
    {
        Logic::SetSurface(this);
        Logic::SetControlWindow(this);
    }

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

class SwitchCtrl : public SwitchWidget<SwitchLogic> {
    Q_OBJECT
public:
    explicit SwitchCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr) : SwitchWidget(owner, parent) {}
    explicit SwitchCtrl(QWidget* parent) : SwitchCtrl(nullptr, parent) {}

protected:
    void paintEvent(QPaintEvent*) override;
};

/// A switch showing a picture; it sizes itself to the picture + 6 by + 5.
class BitmapSwitchCtrl : public SwitchCtrl {
    Q_OBJECT
public:
    BitmapSwitchCtrl(ControlListener* owner, const QPixmap& normal, const QPixmap& disabled, QWidget* parent = nullptr);
    explicit BitmapSwitchCtrl(QWidget* parent = nullptr) : BitmapSwitchCtrl(nullptr, QPixmap(), QPixmap(), parent) {}
    void SetBitmaps(const QPixmap& normal, const QPixmap& disabled);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap m_normal;
    QPixmap m_disabled;
};

/// The three lamp pictures (off, on, disabled), all the same size.
const QPixmap& LampPixmap(Lamp lamp);

class LitButtonCtrl : public SwitchWidget<LitButtonLogic> {
    Q_OBJECT
public:
    explicit LitButtonCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr) : SwitchWidget(owner, parent) {}
    explicit LitButtonCtrl(QWidget* parent) : LitButtonCtrl(nullptr, parent) {}

protected:
    void paintEvent(QPaintEvent*) override;
};

class UnLitButtonCtrl : public SwitchWidget<UnLitButtonLogic> {
    Q_OBJECT
public:
    explicit UnLitButtonCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr) : SwitchWidget(owner, parent)
    {
    }
    explicit UnLitButtonCtrl(QWidget* parent) : UnLitButtonCtrl(nullptr, parent) {}

protected:
    void paintEvent(QPaintEvent*) override;
};

/// Paints a lamp button of either kind.
void PaintLampButton(SelfDrawnControl& widget, LitButtonLogic& logic);
