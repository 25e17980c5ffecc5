#include "app/ViewControls.h"

#include "core/resources/GlobalStyle.h"

#include <QFont>
#include <QPainter>

QPixmap PanelLetterBitmap(QChar letter, QSize size, bool disabled)
{
    QPixmap picture(size);
    picture.fill(Qt::transparent);
    QColor colour = disabled ? QColor(128, 128, 128) : QColor(0, 0, 0);
    if (const GlobalStyle* style = TheGlobalStyle())
        colour = style->Colour(disabled ? DisabledColour : ForegroundColour);
    QPainter painter(&picture);
    painter.setRenderHint(QPainter::TextAntialiasing);
    QFont font = painter.font();
    font.setBold(true);
    font.setPixelSize(std::max(8, size.height() * 3 / 5));
    painter.setFont(font);
    painter.setPen(colour);
    painter.drawText(picture.rect(), Qt::AlignCenter, QString(letter));
    return picture;
}
