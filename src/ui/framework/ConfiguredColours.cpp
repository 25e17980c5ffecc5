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
    style.SetDisabledColours(palette);
}

void SetWindowColours(QPalette* palette, const GlobalStyle& style)
{
    SetConfiguredColours(palette, style);
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::AlternateBase})
        palette->setColor(role, style.Colour(BackgroundColour));
    for (QPalette::ColorRole role : {QPalette::Light, QPalette::Midlight})
        palette->setColor(role, style.Colour(HighlightColour));
    for (QPalette::ColorRole role : {QPalette::Dark, QPalette::Mid})
        palette->setColor(role, style.Colour(ShadowColour));
}
