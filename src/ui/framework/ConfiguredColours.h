#pragma once
// The configured colours on a standard widget's palette: background behind
// the text and in entry fields, the text colour, and the "on" colours for the
// selected item. Dialogs and the controls' menus take them from here, so both
// colour their standard widgets alike.

class GlobalStyle;
class QPalette;
class QWidget;

/// Sets the background, text, selection and disabled-text roles of palette from style.
void SetConfiguredColours(QPalette* palette, const GlobalStyle& style);

/// Gives a dialog or panel window the application's configured colours: those
/// above, and buttons and alternate rows on the background colour, the bevels
/// of its standard widgets in the highlight and shadow colours. Nothing
/// without a style.
void ApplyWindowColours(QWidget* window);
