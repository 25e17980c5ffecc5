#include "app/ViewControls.h"

#include "core/resources/GlobalStyle.h"

#include <QEvent>
#include <QFont>
#include <QMouseEvent>
#include <QPainter>

ViewKeyboard::ViewKeyboard(QWidget* parent) : KeyBoardCtrl(nullptr, parent) {}

void ViewKeyboard::SetOctave(int octave)
{
    m_octave = octave;
    update();
}

void ViewKeyboard::paintEvent(QPaintEvent*)
{
    static const QPixmap picture = Picture();
    QPainter painter(this);
    painter.drawPixmap(0, 0, picture);
    for (int note : Marked())
        painter.fillRect(MarkerRect(note, m_octave), QColor(255, 255, 255));
    // A keyboard that cannot be played looks it: greyed like the other
    // controls while there is no module.
    if (!isEnabled())
        painter.fillRect(rect(), QColor(60, 64, 70, 120));
}

void ViewKeyboard::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton)
        return;
    m_pressing = true;
    const QPoint at = event->position().toPoint();
    if (std::optional<KeyHit> hit = NoteAt(at.x(), at.y()))
        NoteInput(true, hit->note, hit->velocity);
}

void ViewKeyboard::mouseMoveEvent(QMouseEvent* event)
{
    // A drag plays from key to key only in the momentary mode.
    if (!m_pressing || Mode() != 0)
        return;
    const QPoint at = event->position().toPoint();
    const std::optional<KeyHit> hit = NoteAt(at.x(), at.y());
    if (!hit || hit->note == HeldNote())
        return;
    if (HeldNote() != None && HeldVelocity() != None)
        NoteInput(false, HeldNote(), HeldVelocity());
    NoteInput(true, hit->note, hit->velocity);
}

void ViewKeyboard::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        EndPress();
}

void ViewKeyboard::changeEvent(QEvent* event)
{
    // Disabled while a key is down (the module went away): the press ends.
    if (event->type() == QEvent::EnabledChange && !isEnabled() && m_pressing)
        EndPress();
    KeyBoardCtrl::changeEvent(event);
}

void ViewKeyboard::EndPress()
{
    m_pressing = false;
    if (HeldNote() != None && HeldVelocity() != None)
        NoteInput(false, HeldNote(), HeldVelocity());
}

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
