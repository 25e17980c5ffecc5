#include "ui/framework/ConfiguredColours.h"

#include "core/resources/GlobalStyle.h"

#include <QPalette>

void SetConfiguredColours(QPalette* palette, const GlobalStyle& style)
{
    const QColor background = style.Colour(BackgroundColour);
    const QColor foreground = style.Colour(ForegroundColour);
    for (QPalette::ColorRole role : {QPalette::Window, QPalette::Base})
        palette->setColor(role, background);
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        palette->setColor(role, foreground);
    palette->setColor(QPalette::Highlight, style.Colour(BackgroundOnColour));
    palette->setColor(QPalette::HighlightedText, style.Colour(ForegroundOnColour));
}
