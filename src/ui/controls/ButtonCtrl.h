#pragma once
// The self-drawn push buttons: ButtonCtrl (a caption), BitmapButtonCtrl (a
// picture) and ColourSwatchCtrl (a colour, edited with the colour dialog).
// The logic is ButtonLogic; these widgets paint it with the shared style and
// turn mouse and key events into calls on it.

#include "ui/controls/ButtonLogic.h"
#include "core/resources/GlobalStyle.h"
#include "ui/controls/SelfDrawnControl.h"

#include <QPixmap>

class ButtonCtrl : public SelfDrawnControl, public ButtonLogic {
    Q_OBJECT
public:
    explicit ButtonCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    explicit ButtonCtrl(QWidget* parent) : ButtonCtrl(nullptr, parent) {}

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    /// The face as drawn now.
    ButtonFace MakeFace(QPainter* painter) const;
};

/// A button showing a picture; it sizes itself to the picture + 6 by + 5.
class BitmapButtonCtrl : public ButtonCtrl {
    Q_OBJECT
public:
    BitmapButtonCtrl(ControlListener* owner, const QPixmap& normal, const QPixmap& disabled, QWidget* parent = nullptr);
    explicit BitmapButtonCtrl(QWidget* parent = nullptr) : BitmapButtonCtrl(nullptr, QPixmap(), QPixmap(), parent) {}
    void SetBitmaps(const QPixmap& normal, const QPixmap& disabled);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QPixmap m_normal;
    QPixmap m_disabled;
};

/// A button showing the colour its parameter holds (0x00BBGGRR); a click
/// opens the colour dialog (or the chooser a test installs).
class ColourSwatchCtrl : public SelfDrawnControl, public ColourSwatchLogic {
    Q_OBJECT
public:
    explicit ColourSwatchCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr);
    explicit ColourSwatchCtrl(QWidget* parent) : ColourSwatchCtrl(nullptr, parent) {}

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
};

/// Shared event plumbing of the push buttons.
namespace controlevents {
bool IsSpace(const QKeyEvent* event);
} // namespace controlevents
