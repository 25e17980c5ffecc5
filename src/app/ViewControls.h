#pragma once
// The main panel's own keyboard control, and the pictures of its
// keyboard-mode buttons.

#include "ui/controls/KeyBoardCtrl.h"

#include <QPixmap>

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
};

/// The picture of a keyboard-mode button: its letter, bold and centred, in
/// size pixels, drawn in the shared style's text colour (or its disabled
/// colour).
QPixmap PanelLetterBitmap(QChar letter, QSize size, bool disabled);
