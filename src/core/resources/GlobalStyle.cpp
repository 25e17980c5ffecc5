#include "core/resources/GlobalStyle.h"

#include "core/Settings.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QPalette>
#include <QScreen>
#include <QWindow>

namespace {

GlobalStyle* g_style = nullptr;

QGuiApplication* GuiApp()
{
    return qobject_cast<QGuiApplication*>(QCoreApplication::instance());
}

// Rectangles with exclusive right and bottom edges, as the layout rules count.
struct Box {
    int l, t, r, b;
    static Box Of(const QRect& q) { return {q.left(), q.top(), q.left() + q.width(), q.top() + q.height()}; }
    QRect ToRect() const { return QRect(l, t, r - l, b - t); }
    Box Deflated(int dx, int dy) const { return {l + dx, t + dy, r - dx, b - dy}; }
};

Qt::Alignment AlignmentOf(unsigned style)
{
    using namespace buttonstyle;
    Qt::Alignment a;
    switch (style & BS_VCENTER) {
    case BS_TOP:
        a |= Qt::AlignTop;
        break;
    case BS_BOTTOM:
        a |= Qt::AlignBottom;
        break;
    default:
        a |= Qt::AlignVCenter;
        break;
    }
    switch (style & BS_CENTER) {
    case BS_LEFT:
        a |= Qt::AlignLeft;
        break;
    case BS_RIGHT:
        a |= Qt::AlignRight;
        break;
    default:
        a |= Qt::AlignHCenter;
        break;
    }
    return a;
}

} // namespace

QColor ColorFromColorRef(std::uint32_t colorRef)
{
    return QColor(int(colorRef & 0xFF), int((colorRef >> 8) & 0xFF), int((colorRef >> 16) & 0xFF));
}

GlobalStyle* TheGlobalStyle()
{
    return g_style;
}

// ---------------------------------------------------------------- wait cursor

void WaitCursorState::Push()
{
    if (m_count++ == 0 && GuiApp())
        QGuiApplication::setOverrideCursor(QCursor(WaitCursor()));
}

void WaitCursorState::Pop()
{
    if (m_count == 0)
        return;
    if (--m_count == 0 && GuiApp())
        QGuiApplication::restoreOverrideCursor();
}

// ---------------------------------------------------------------- life cycle

GlobalStyle::GlobalStyle()
{
    for (int i = 0; i < ColourCount; ++i)
        m_colours[i] = ColorFromColorRef(0);
    g_style = this;
}

GlobalStyle::~GlobalStyle()
{
    if (g_style == this)
        g_style = nullptr;
}

QString GlobalStyle::SkinResourcePath()
{
    return QStringLiteral(":/tabrine/skin.png");
}

void GlobalStyle::Initialise()
{
    ReloadColours();
    // A missing skin leaves the dialogs in the background colour alone.
    if (GuiApp())
        m_skin.load(SkinResourcePath());
    m_skinWidth = m_skin.width();
    m_skinHeight = m_skin.height();
    CreateGdiObjects();
    GlobalResources::Initialise();
}

void GlobalStyle::Shutdown()
{
    GlobalResources::Shutdown();
    m_skin = QPixmap();
}

void GlobalStyle::ReloadColours()
{
    GlobalConfigurations& settings = GetGlobalConfigurations();
    for (int i = 0; i < ColourCount; ++i) {
        m_colourRefs[i] = settings.GetDword(ConfigBackgroundColour + i);
        m_colours[i] = ColorFromColorRef(m_colourRefs[i]);
    }
    CreateGdiObjects();
    if (m_repaintAll) {
        m_repaintAll();
    } else if (GuiApp()) {
        for (QWindow* window : QGuiApplication::topLevelWindows())
            window->requestUpdate();
    }
}

void GlobalStyle::CreateGdiObjects()
{
    m_backgroundBrush = QBrush(m_colours[BackgroundColour]);
    m_foregroundBrush = QBrush(m_colours[ForegroundColour]);
    m_backgroundPen = QPen(m_colours[BackgroundColour], 2);
    m_foregroundPen = QPen(m_colours[ForegroundColour], 2);
    m_foregroundOnPen = QPen(m_colours[ForegroundOnColour], 2);
    // A one-pixel checkerboard; its set pixels take the colour it is used with.
    m_halftoneBrush = QBrush(Qt::Dense4Pattern);
}

// ---------------------------------------------------------------- the disabled look

void GlobalStyle::PaintContent(QPainter* painter, const QRect& area, bool disabled,
                               const std::function<void(QPainter&)>& paint) const
{
    if (!painter || !paint)
        return;
    if (!disabled) {
        paint(*painter);
        return;
    }
    if (area.isEmpty())
        return;
    // The content goes onto a clear layer first, so it greys and sinks as one
    // picture: a thumb does not let the channel under it show through.
    const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QImage layer((QSizeF(area.size()) * ratio).toSize(), QImage::Format_ARGB32_Premultiplied);
    layer.setDevicePixelRatio(ratio);
    layer.fill(Qt::transparent);
    {
        QPainter content(&layer);
        content.setFont(painter->font());
        content.setBackground(painter->background());
        content.translate(-area.topLeft());
        paint(content);
    }
    for (int y = 0; y < layer.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(layer.scanLine(y));
        for (int x = 0; x < layer.width(); ++x) {
            const int grey = qGray(line[x]); // premultiplied: the grey stays within the alpha
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]));
        }
    }
    painter->save();
    painter->setOpacity(painter->opacity() * DisabledOpacity);
    painter->drawImage(area.topLeft(), layer);
    painter->restore();
}

void GlobalStyle::SetDisabledColours(QPalette* palette) const
{
    if (!palette)
        return;
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText, QPalette::HighlightedText})
        palette->setColor(QPalette::Disabled, role, m_colours[DisabledColour]);
}

// ---------------------------------------------------------------- painting

QBrush GlobalStyle::OnCtlColor(const QBrush& defaultBrush, QPainter* painter, int ctlType) const
{
    if (painter) {
        painter->setPen(m_colours[ForegroundColour]);
        painter->setBackground(m_colours[BackgroundColour]);
    }
    switch (ctlType) {
    case CTLCOLOR_MSGBOX:
    case CTLCOLOR_EDIT:
    case CTLCOLOR_LISTBOX:
        return m_backgroundBrush;
    case CTLCOLOR_BTN:
    case CTLCOLOR_STATIC:
        if (painter)
            painter->setBackgroundMode(Qt::TransparentMode);
        return QBrush(Qt::NoBrush);
    default:
        return defaultBrush;
    }
}

void GlobalStyle::DrawFocusFrame(QPainter* painter, const QRect& rect) const
{
    if (!painter || rect.isEmpty())
        return;
    const Box b = Box::Of(rect);
    const QRect edges[] = {QRect(b.l, b.t, b.r - b.l, 1), QRect(b.l, b.b - 1, b.r - b.l, 1), QRect(b.l, b.t, 1, b.b - b.t),
                           QRect(b.r - 1, b.t, 1, b.b - b.t)};
    QBrush dots = m_halftoneBrush;
    dots.setColor(m_colours[FocusColour]);
    const QColor background = painter->background().color();
    for (const QRect& edge : edges) {
        painter->fillRect(edge, background);
        painter->fillRect(edge, dots);
    }
}

bool GlobalStyle::PaintControlBackground(QPainter* painter, QPoint originInParent, const QRect& rect) const
{
    if (painter && !m_skin.isNull())
        painter->drawPixmap(rect.topLeft(), m_skin, QRect(originInParent + rect.topLeft(), rect.size()));
    return true;
}

bool GlobalStyle::PaintDialogBackground(QPainter* painter, const QRect& clientRect, int x, int y) const
{
    if (!painter)
        return true;
    painter->fillRect(clientRect, m_colours[BackgroundColour]);
    if (!m_skin.isNull())
        painter->drawPixmap(QPoint(0, 0), m_skin, QRect(x, y, m_skinWidth, m_skinHeight));
    return true;
}

void GlobalStyle::KeepRectOnScreen(QRect* rect, const QRect& area)
{
    if (!rect)
        return;
    const int right = area.x() + area.width();
    const int bottom = area.y() + area.height();
    if (rect->x() + rect->width() > right)
        rect->moveLeft(right - rect->width());
    if (rect->y() + rect->height() > bottom)
        rect->moveTop(bottom - rect->height());
    if (rect->x() < area.x())
        rect->moveLeft(area.x());
    if (rect->y() < area.y())
        rect->moveTop(area.y());
}

void GlobalStyle::KeepRectOnScreen(QRect* rect)
{
    if (!rect || !GuiApp())
        return;
    QScreen* screen = QGuiApplication::screenAt(rect->center());
    if (!screen) {
        // Mostly off every screen: the one it overlaps most.
        qint64 best = 0;
        for (QScreen* candidate : QGuiApplication::screens()) {
            const QRect overlap = candidate->geometry().intersected(*rect);
            const qint64 area = qint64(overlap.width()) * overlap.height();
            if (area > best) {
                best = area;
                screen = candidate;
            }
        }
    }
    if (!screen)
        screen = QGuiApplication::primaryScreen();
    if (screen)
        KeepRectOnScreen(rect, screen->availableGeometry());
}

ButtonLayout GlobalStyle::TextButtonLayout(const ButtonFace& face)
{
    ButtonLayout layout;
    const Box focus = Box::Of(face.rect).Deflated(2, 2);
    Box content = focus.Deflated(3, 1);
    const int shift = face.pressed ? 1 : -1; // only the left and top edges move
    content.l += shift;
    content.t += shift;
    if (face.imageList) {
        layout.icon = QRect(content.l, content.t + (content.b - content.t - 16) / 2, 16, 16);
        content.l += 21; // the gap stays even when no image is drawn
    }
    layout.focus = focus.ToRect();
    layout.content = content.ToRect();
    return layout;
}

ButtonLayout GlobalStyle::InsetButtonLayout(const ButtonFace& face)
{
    ButtonLayout layout;
    const Box focus = Box::Of(face.rect).Deflated(1, 1);
    Box content = focus.Deflated(1, 1);
    if (face.pressed) {
        content.l += 1;
        content.t += 1;
    }
    layout.focus = focus.ToRect();
    layout.content = content.ToRect();
    return layout;
}

void GlobalStyle::Draw3dFrame(QPainter* painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight) const
{
    const Box b = Box::Of(rect);
    const int w = b.r - b.l;
    const int h = b.b - b.t;
    if (w <= 0 || h <= 0)
        return;
    painter->fillRect(QRect(b.l, b.t, w - 1, 1), topLeft);
    painter->fillRect(QRect(b.l, b.t, 1, h - 1), topLeft);
    painter->fillRect(QRect(b.r - 1, b.t, 1, h), bottomRight);
    painter->fillRect(QRect(b.l, b.b - 1, w, 1), bottomRight);
}

void GlobalStyle::DrawFaceBackground(const ButtonFace& face) const
{
    if (face.pressed)
        face.painter->fillRect(face.rect, m_colours[BackgroundOnColour]);
    else
        PaintControlBackground(face.painter, face.originInParent, face.rect);
    if (face.pressed)
        Draw3dFrame(face.painter, face.rect, m_colours[ShadowColour], m_colours[HighlightColour]);
    else
        Draw3dFrame(face.painter, face.rect, m_colours[HighlightColour], m_colours[ShadowColour]);
}

void GlobalStyle::DrawTextButton(const ButtonFace& face) const
{
    QPainter* p = face.painter;
    if (!p)
        return;
    const ButtonLayout layout = TextButtonLayout(face);
    p->save();
    p->setBackgroundMode(Qt::TransparentMode);
    p->setBackground(m_colours[face.pressed ? BackgroundOnColour : BackgroundColour]);
    if (GuiApp())
        p->setFont(QGuiApplication::font());
    DrawFaceBackground(face);
    PaintContent(p, face.rect, face.disabled, [&](QPainter& q) {
        if (face.imageList && face.imageIndex >= 0 && face.imageIndex < int(face.imageList->size()))
            q.drawPixmap(layout.icon.topLeft(), (*face.imageList)[std::size_t(face.imageIndex)], QRect(0, 0, 16, 16));
        if (!face.text.isNull()) {
            q.setPen(TextColour(face.disabled));
            // A caption's "&" marks its access key (underlined) and "&&" is a plain ampersand.
            q.drawText(layout.content, int(AlignmentOf(face.style)) | Qt::TextSingleLine | Qt::TextShowMnemonic,
                       face.text);
        }
    });
    p->restore();
    if (ShowsFocus(face.focused, face.disabled))
        DrawFocusFrame(p, layout.focus);
}

void GlobalStyle::DrawBitmapButton(const ButtonFace& face) const
{
    QPainter* p = face.painter;
    if (!p)
        return;
    const ButtonLayout layout = InsetButtonLayout(face);
    DrawFaceBackground(face);
    if (face.bitmap && !face.bitmap->isNull())
        PaintContent(p, face.rect, face.disabled, [&](QPainter& q) {
            q.drawPixmap(layout.content.topLeft() + QPoint(1, 1), *face.bitmap, QRect(QPoint(0, 0), layout.content.size()));
        });
    if (ShowsFocus(face.focused, face.disabled))
        DrawFocusFrame(p, layout.focus);
}

void GlobalStyle::DrawColourButton(const ButtonFace& face) const
{
    QPainter* p = face.painter;
    if (!p)
        return;
    const ButtonLayout layout = InsetButtonLayout(face);
    DrawFaceBackground(face);
    PaintContent(p, face.rect, face.disabled, [&](QPainter& q) { q.fillRect(layout.content, face.swatch); });
    if (ShowsFocus(face.focused, face.disabled))
        DrawFocusFrame(p, layout.focus);
}
