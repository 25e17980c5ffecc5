#include "ui/framework/ConfiguredColours.h"

#include "core/resources/GlobalStyle.h"

#include <QPalette>
#include <QWidget>

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

void ApplyWindowColours(QWidget* window)
{
    const GlobalStyle* style = TheGlobalStyle();
    if (!style || !window)
        return;
    QPalette p = window->palette();
    SetConfiguredColours(&p, *style);
    for (QPalette::ColorRole role : {QPalette::Button, QPalette::AlternateBase})
        p.setColor(role, style->Colour(BackgroundColour));
    for (QPalette::ColorRole role : {QPalette::Light, QPalette::Midlight})
        p.setColor(role, style->Colour(HighlightColour));
    for (QPalette::ColorRole role : {QPalette::Dark, QPalette::Mid})
        p.setColor(role, style->Colour(ShadowColour));
    window->setPalette(p);
}
