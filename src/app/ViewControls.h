#pragma once
// The main panel's own forms of the shared controls. The panel's form builds
// its widgets with the parent window only; these give the controls that need
// an owner at construction a constructor the form can call (the panel sets
// the owner afterwards).

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

/// The on-screen keyboard of the panel: greyed while it cannot be played.
class ViewKeyboard : public KeyBoardCtrl {
    Q_OBJECT
public:
    explicit ViewKeyboard(QWidget* parent = nullptr) : KeyBoardCtrl(nullptr, parent) {}

    /// The octave of the leftmost key (note 12 x octave). A sounding note
    /// keeps sounding: its note-off goes to the note it started as.
    void SetOctave(int octave) { SetOctaveOffset(octave); }
    int Octave() const { return OctaveOffset(); }
    /// The note a click at (x, y) plays; none outside the keys.
    std::optional<KeyHit> NoteAt(int x, int y) const { return HitTest(x, y, OctaveOffset()); }

protected:
    void paintEvent(QPaintEvent* event) override;
};

/// The picture of a keyboard-mode button: its letter, bold and centred, in
/// size pixels, drawn in the shared style's text colour (or its disabled
/// colour).
QPixmap PanelLetterBitmap(QChar letter, QSize size, bool disabled);
