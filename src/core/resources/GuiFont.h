#pragma once
// The program's one dialog font. Every dialog, popup and self-drawn control
// writes its text in it, and dialog units (the measure the dialog layouts were
// made in) are converted to pixels with its metrics, so text and layout
// measure the same on every machine. The font file ships inside the program
// as a Qt resource, so a machine without it installed still shows real glyphs.
//
// Needs a QGuiApplication.

#include <QFont>
#include <QRect>
#include <QSize>

/// The measures of a font that dialog units are counted in.
struct DialogBaseUnits {
    int averageCharWidth = 0; ///< ((width of "A..Za..z") / 26 + 1) / 2
    int height = 0;           ///< the font's line height (ascent + descent)
    bool operator==(const DialogBaseUnits&) const = default;
};

/// The family name of the bundled dialog font.
inline constexpr char kGuiFontFamily[] = "DejaVu Sans";
/// Its size in pixels (the size of the classic 8-point dialog font on a 96 dpi screen).
inline constexpr int kGuiFontPixelSize = 11;

/// Loads the bundled font into the application's font database (once) and
/// returns the dialog font. False in ok when the resource could not be loaded;
/// the font then falls back to whatever the system has of that family.
QFont GuiFont(bool* ok = nullptr);
/// Makes the dialog font the application's default font, so every widget
/// that does not set its own uses it.
void InstallGuiFont();

/// The base units of a font, measured as the classic dialog manager does.
DialogBaseUnits BaseUnitsOf(const QFont& font);
/// The base units of the dialog font.
DialogBaseUnits GuiBaseUnits();

/// value * numerator / denominator, rounded half away from zero (0 for a zero denominator).
int MulDivRound(int value, int numerator, int denominator);
/// Dialog units to pixels: x and width by averageCharWidth / 4, y and height by height / 8,
/// each field converted on its own.
QRect DialogUnitsToPixels(const QRect& units, const DialogBaseUnits& base);
QSize DialogUnitsToPixels(const QSize& units, const DialogBaseUnits& base);
