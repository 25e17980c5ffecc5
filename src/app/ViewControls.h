#pragma once
// The main panel's own forms of the shared controls. The panel's form builds
// its widgets with the parent window only; these give the controls that need
// an owner at construction a constructor the form can call (the panel sets
// the owner afterwards). The keyboard also follows the panel's octave spin:
// its picture starts at the octave the spin chose rather than a fixed one.

#include "ui/controls/KeyBoardCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/ValueMenuCtrl.h"

#include <QPixmap>

class ViewMenuCtrl : public MenuCtrl {
    Q_OBJECT
public:
    explicit ViewMenuCtrl(QWidget* parent = nullptr) : MenuCtrl(nullptr, parent) {}
};

class ViewSelectCtrl : public SelectCtrl {
    Q_OBJECT
public:
    explicit ViewSelectCtrl(QWidget* parent = nullptr) : SelectCtrl(nullptr, parent) {}
};

class ViewPopupSwitchCtrl : public PopupSwitchCtrl {
    Q_OBJECT
public:
    explicit ViewPopupSwitchCtrl(QWidget* parent = nullptr) : PopupSwitchCtrl(nullptr, parent) {}
};

/// The on-screen keyboard whose leftmost key is C of the chosen octave
/// (note 12 x octave). Presses, drags and the markers of the sounding notes
/// all follow the octave.
class ViewKeyboard : public KeyBoardCtrl {
    Q_OBJECT
public:
    explicit ViewKeyboard(QWidget* parent = nullptr);

    /// The octave of the leftmost key. A sounding note keeps sounding: its
    /// note-off goes to the note it started as.
    void SetOctave(int octave);
    int Octave() const { return m_octave; }
    /// The note a click at (x, y) plays; none outside the keys.
    std::optional<KeyHit> NoteAt(int x, int y) const { return HitTest(x, y, m_octave); }

protected:
    void paintEvent(QPaintEvent*) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override { mousePressEvent(event); }
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    void EndPress();

    int m_octave = 1;
    bool m_pressing = false;
};

/// The picture of a keyboard-mode button: its letter, bold and centred, in
/// size pixels, drawn in the shared style's text colour (or its disabled
/// colour).
QPixmap PanelLetterBitmap(QChar letter, QSize size, bool disabled);
