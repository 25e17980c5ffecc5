#pragma once
// GlobalStyle: the shared visual resources every window paints from — the nine
// user-settable colours, their brushes and pens, the 1024 x 768 skin, the wait
// cursor's nesting count — and the drawing operations of the self-drawn
// controls. It is the application's GlobalResources (it derives from it), so
// one object holds both the documents and the look; a colour change reaches
// every window at once through ReloadColours.
//
// Needs a QGuiApplication for the skin and the cursor; everything else also
// works without one.

#include "core/GlobalResources.h"

#include <QBrush>
#include <QColor>
#include <QPen>
#include <QPixmap>
#include <QRect>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <vector>

class QPainter;
class QPalette;

/// A settings colour (0x00BBGGRR) as a QColor.
QColor ColorFromColorRef(std::uint32_t colorRef);

/// The nine colour slots; slot i is the setting ConfigBackgroundColour + i.
enum ColourSlot : int {
    BackgroundColour = 0,   ///< window background, text background
    ForegroundColour = 1,   ///< text
    GroupColour = 2,        ///< groups of controls in dialogs
    HighlightColour = 3,    ///< lit edge of 3D frames
    ShadowColour = 4,       ///< dark edge of 3D frames
    DisabledColour = 5,     ///< disabled controls and their text
    ForegroundOnColour = 6, ///< foreground of pressed buttons
    BackgroundOnColour = 7, ///< background of pressed buttons
    FocusColour = 8,        ///< the keyboard focus frame
    ColourCount = 9,
};

/// The kinds of standard control that ask for colours (numbered as the
/// Windows CTLCOLOR_* codes).
enum CtlColorType : int {
    CTLCOLOR_MSGBOX = 0,
    CTLCOLOR_EDIT = 1,
    CTLCOLOR_LISTBOX = 2,
    CTLCOLOR_BTN = 3,
    CTLCOLOR_DLG = 4,
    CTLCOLOR_SCROLLBAR = 5,
    CTLCOLOR_STATIC = 6,
};

/// Text placement bits of a button's style (the Windows BS_* bits). Both bits of
/// a pair (BS_CENTER, BS_VCENTER) mean centred.
namespace buttonstyle {
inline constexpr unsigned BS_LEFT = 0x100;
inline constexpr unsigned BS_RIGHT = 0x200;
inline constexpr unsigned BS_CENTER = 0x300;
inline constexpr unsigned BS_TOP = 0x400;
inline constexpr unsigned BS_BOTTOM = 0x800;
inline constexpr unsigned BS_VCENTER = 0xC00;
} // namespace buttonstyle

/// The shared wait-cursor record: the first holder in shows the wait cursor,
/// the last one out shows the normal cursor again. User-interface thread only.
class WaitCursorState {
public:
    void Push();
    /// An unmatched Pop is ignored.
    void Pop();
    int Count() const { return m_count; }
    Qt::CursorShape WaitCursor() const { return Qt::WaitCursor; }
    Qt::CursorShape NormalCursor() const { return Qt::ArrowCursor; }

private:
    int m_count = 0;
};

/// What a self-drawn button hands to the Draw*Button operations. Rectangles are
/// in the painter's coordinates.
struct ButtonFace {
    QPainter* painter = nullptr;
    QRect rect;                  ///< the button
    QPoint originInParent;       ///< the button's top-left in its parent's client area (where the skin shows)
    unsigned style = 0;          ///< buttonstyle bits placing the text
    bool disabled = false;
    bool pressed = false;
    bool focused = false;
    QString text;                                  ///< text button: null for none
    const std::vector<QPixmap>* imageList = nullptr; ///< text button: may be null
    int imageIndex = -1;                           ///< text button: -1 for no image
    const QPixmap* bitmap = nullptr;               ///< bitmap button: may be null
    QColor swatch;                                 ///< colour button
};

/// Where the parts of a button face go.
struct ButtonLayout {
    QRect focus;   ///< the focus frame, inside the 3D frame
    QRect content; ///< the text (or bitmap, or swatch) box
    QRect icon;    ///< the 16 x 16 icon box; null without an image list
};

class GlobalStyle : public GlobalResources {
public:
    GlobalStyle();
    ~GlobalStyle() override;

    /// Colours, skin and brushes, then the documents (GlobalResources::Initialise).
    void Initialise() override;
    /// Saves the documents, then lets the skin go.
    void Shutdown() override;

    /// Reads the nine colours again, rebuilds the brushes and pens, repaints
    /// every top-level window of the program.
    void ReloadColours();
    /// (Re)builds the brushes and pens from the current colours.
    void CreateGdiObjects();
    /// How the program's windows are all repainted after a colour change; the
    /// widget layer installs its own. By default every top-level QWindow is
    /// asked for an update.
    void SetRepaintAllWindows(std::function<void()> repaint) { m_repaintAll = std::move(repaint); }

    /// Colours for a standard control: text in the foreground colour on the
    /// background colour; edits, list boxes and message boxes get the
    /// background brush, buttons and statics a transparent background and no
    /// brush (the skin shows through); others keep defaultBrush.
    QBrush OnCtlColor(const QBrush& defaultBrush, QPainter* painter, int ctlType) const;
    /// A one-pixel dotted frame: the focus colour alternating with the painter's
    /// background colour.
    void DrawFocusFrame(QPainter* painter, const QRect& rect) const;
    /// Paints the skin that lies under a child control: rect in the control's
    /// coordinates, originInParent the control's place in its parent, whose
    /// client area shows the skin from its origin. True.
    bool PaintControlBackground(QPainter* painter, QPoint originInParent, const QRect& rect) const;
    /// Fills a dialog's client area with the background colour and draws the
    /// skin from skin position (x, y) at its origin. True.
    bool PaintDialogBackground(QPainter* painter, const QRect& clientRect, int x, int y) const;

    /// Moves a window rectangle, never resizing it, onto the available area of
    /// the screen that holds it (the primary screen when none does): right and
    /// bottom edges first, then left and top, so a rectangle larger than the
    /// area ends at its top-left corner. Unchanged without a screen.
    static void KeepRectOnScreen(QRect* rect);
    /// The same against a given area.
    static void KeepRectOnScreen(QRect* rect, const QRect& area);

    /// Self-drawn buttons: background (the background-on colour when pressed,
    /// else the skin), a raised or sunken 3D frame, the content, the focus frame.
    /// A disabled face has its text, icon and swatch in the disabled look and no focus frame.
    void DrawTextButton(const ButtonFace& face) const;
    void DrawBitmapButton(const ButtonFace& face) const;
    void DrawColourButton(const ButtonFace& face) const;
    static ButtonLayout TextButtonLayout(const ButtonFace& face);
    /// Bitmap and colour buttons share one layout.
    static ButtonLayout InsetButtonLayout(const ButtonFace& face);

    // The look of a control that cannot be used (its window is disabled or
    // its module is not ready), the same for every control: its text in the
    // disabled colour, its text and marks (thumbs, channels, ticks, lamps,
    // swatches, icons, pictures) greyed and half sunk into what lies under
    // them, no focus frame and no hover.

    /// How much of a disabled control's content shows over what lies under it.
    static constexpr double DisabledOpacity = 0.5;
    /// The text colour: the disabled colour when disabled, else the foreground colour.
    QColor TextColour(bool disabled) const { return m_colours[disabled ? DisabledColour : ForegroundColour]; }
    /// Paints a control's content (its texts and marks, not the skin behind
    /// them) with paint, inside area of the painter: straight on when usable;
    /// when disabled, greyed and painted at DisabledOpacity, as a whole.
    void PaintContent(QPainter* painter, const QRect& area, bool disabled,
                      const std::function<void(QPainter&)>& paint) const;
    /// Whether a control shows its focus frame: only when it has the focus and is usable.
    static bool ShowsFocus(bool focused, bool disabled) { return focused && !disabled; }
    /// The disabled text roles of a standard widget's palette in the disabled colour.
    void SetDisabledColours(QPalette* palette) const;

    QColor Colour(int slot) const { return slot >= 0 && slot < ColourCount ? m_colours[slot] : QColor(); }
    std::uint32_t ColourRef(int slot) const { return slot >= 0 && slot < ColourCount ? m_colourRefs[slot] : 0; }
    const QBrush& BackgroundBrush() const { return m_backgroundBrush; }
    const QBrush& ForegroundBrush() const { return m_foregroundBrush; }
    const QPen& ForegroundPen() const { return m_foregroundPen; }
    const QPen& ForegroundOnPen() const { return m_foregroundOnPen; }
    const QPen& BackgroundPen() const { return m_backgroundPen; }
    const QBrush& HalftoneBrush() const { return m_halftoneBrush; }
    /// The skin; null before Initialise, after Shutdown, or without a QGuiApplication.
    const QPixmap& Skin() const { return m_skin; }
    int SkinWidth() const { return m_skinWidth; }
    int SkinHeight() const { return m_skinHeight; }
    WaitCursorState& GetWaitCursorState() { return m_waitCursor; }

    /// The resource path of the skin picture.
    static QString SkinResourcePath();

private:
    void Draw3dFrame(QPainter* painter, const QRect& rect, const QColor& topLeft, const QColor& bottomRight) const;
    void DrawFaceBackground(const ButtonFace& face) const;

    std::array<std::uint32_t, ColourCount> m_colourRefs{};
    std::array<QColor, ColourCount> m_colours{};
    QPixmap m_skin;
    int m_skinWidth = 0;
    int m_skinHeight = 0;
    QBrush m_backgroundBrush;
    QBrush m_foregroundBrush;
    QPen m_foregroundPen;
    QPen m_foregroundOnPen;
    QPen m_backgroundPen;
    QBrush m_halftoneBrush;
    WaitCursorState m_waitCursor;
    std::function<void()> m_repaintAll;
};

/// The application's style; null when none exists.
GlobalStyle* TheGlobalStyle();
