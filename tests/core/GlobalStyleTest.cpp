#include "core/resources/GlobalStyle.h"

#include "core/Settings.h"
#include "platform/SettingsStore.h"

#include <QCursor>
#include <QGuiApplication>
#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

inline void PrintTo(const QRect& r, std::ostream* os)
{
    *os << "QRect(" << r.x() << ", " << r.y() << ", " << r.width() << ", " << r.height() << ")";
}

namespace {

class GlobalStyleTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
        DataLocations l;
        l.documentsFolder = dir.filePath(QStringLiteral("docs"));
        style.SetDataLocations(l);
        style.SetRepaintAllWindows([this] { ++repaints; });
        style.Initialise();
    }
    void TearDown() override
    {
        style.Shutdown();
        platform::SetCurrentSettingsStore(nullptr);
    }

    /// A canvas filled with a colour no drawing uses.
    static QImage Canvas(int w, int h)
    {
        QImage image(w, h, QImage::Format_RGB32);
        image.fill(QColor(1, 2, 3));
        return image;
    }
    QColor SkinAt(int x, int y) const { return style.Skin().toImage().pixelColor(x, y); }

    QTemporaryDir dir;
    GlobalStyle style;
    int repaints = 0;
};

} // namespace

TEST_F(GlobalStyleTest, ColoursComeFromTheSettingsAndRepaintEveryWindow)
{
    EXPECT_EQ(TheGlobalStyle(), &style);
    EXPECT_EQ(TheGlobalResources(), &style);
    EXPECT_EQ(style.Colour(BackgroundColour), QColor(0x59, 0x61, 0x68)); // 0x686159 is blue 68, green 61, red 59
    EXPECT_EQ(style.Colour(BackgroundOnColour), QColor(0x64, 0x73, 0x81));

    const int before = repaints;
    GetGlobalConfigurations().SetDword(ConfigBackgroundColour, 0x00112233);
    GetGlobalConfigurations().SetDword(ConfigFocusColour, 0x000000FF);
    style.ReloadColours();
    EXPECT_EQ(repaints, before + 1);
    EXPECT_EQ(style.ColourRef(BackgroundColour), 0x00112233u);
    EXPECT_EQ(style.Colour(BackgroundColour), QColor(0x33, 0x22, 0x11));
    EXPECT_EQ(style.Colour(FocusColour), QColor(255, 0, 0));
    EXPECT_EQ(style.BackgroundBrush().color(), QColor(0x33, 0x22, 0x11));
    EXPECT_EQ(style.BackgroundPen().color(), QColor(0x33, 0x22, 0x11));
    EXPECT_EQ(style.BackgroundPen().width(), 2);
}

TEST_F(GlobalStyleTest, SkinBacksDialogsAndControls)
{
    ASSERT_EQ(style.SkinWidth(), 1024);
    ASSERT_EQ(style.SkinHeight(), 768);

    // A dialog larger than the skin shows the background colour beyond it.
    QImage dialog = Canvas(1100, 800);
    {
        QPainter p(&dialog);
        EXPECT_TRUE(style.PaintDialogBackground(&p, dialog.rect(), 0, 0));
    }
    EXPECT_EQ(dialog.pixelColor(500, 300), SkinAt(500, 300));
    EXPECT_EQ(dialog.pixelColor(1050, 100), style.Colour(BackgroundColour));
    EXPECT_EQ(dialog.pixelColor(100, 790), style.Colour(BackgroundColour));

    // A control at (300, 200) in its parent shows the skin from there.
    QImage control = Canvas(40, 20);
    {
        QPainter p(&control);
        EXPECT_TRUE(style.PaintControlBackground(&p, QPoint(300, 200), control.rect()));
    }
    for (QPoint at : {QPoint(0, 0), QPoint(39, 19), QPoint(17, 5)})
        EXPECT_EQ(control.pixelColor(at), SkinAt(300 + at.x(), 200 + at.y()));
}

// Both the normal and the disabled text colour stand out from the skin they
// are drawn on (contrast of relative luminance, averaged over the skin).
TEST_F(GlobalStyleTest, TextColoursAreReadableOnTheSkin)
{
    auto luminance = [](QColor c) {
        auto channel = [](double v) { return v <= 0.04045 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * channel(c.redF()) + 0.7152 * channel(c.greenF()) + 0.0722 * channel(c.blueF());
    };
    const QImage skin = style.Skin().toImage();
    ASSERT_FALSE(skin.isNull());
    double sum = 0;
    int count = 0;
    for (int y = 0; y < skin.height(); y += 16)
        for (int x = 0; x < skin.width(); x += 16, ++count)
            sum += luminance(skin.pixelColor(x, y));
    const double back = sum / count;
    auto contrast = [](double a, double b) { return (std::max(a, b) + 0.05) / (std::min(a, b) + 0.05); };
    EXPECT_GE(contrast(luminance(style.Colour(ForegroundColour)), back), 2.0);
    EXPECT_GE(contrast(luminance(style.Colour(DisabledColour)), back), 2.0);
}

TEST_F(GlobalStyleTest, KeepRectOnScreenMovesWithoutResizing)
{
    struct Row {
        const char* name;
        QRect area, rect, expected;
    };
    const QRect screen(0, 0, 1280, 1024);
    const QRect second(1280, 0, 1920, 1080);
    const Row rows[] = {
        {"inside stays", screen, QRect(100, 100, 300, 200), QRect(100, 100, 300, 200)},
        {"left of the screen", screen, QRect(-50, 10, 300, 200), QRect(0, 10, 300, 200)},
        {"past the right edge", screen, QRect(1100, 10, 300, 200), QRect(980, 10, 300, 200)},
        {"past the bottom", screen, QRect(10, 900, 300, 200), QRect(10, 824, 300, 200)},
        {"wider than the screen", screen, QRect(200, 10, 1500, 200), QRect(0, 10, 1500, 200)},
        {"larger than the screen", screen, QRect(-9, -9, 2000, 2000), QRect(0, 0, 2000, 2000)},
        {"second screen keeps its place", second, QRect(1300, 50, 300, 200), QRect(1300, 50, 300, 200)},
        {"second screen, off its right", second, QRect(3100, 50, 300, 200), QRect(2900, 50, 300, 200)},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QRect r = row.rect;
        GlobalStyle::KeepRectOnScreen(&r, row.area);
        EXPECT_EQ(r, row.expected);
    }

    // Against the real (offscreen) screen.
    const QRect available = QGuiApplication::primaryScreen()->availableGeometry();
    QRect r(available.x() - 50, available.y() + 10, 100, 50);
    GlobalStyle::KeepRectOnScreen(&r);
    EXPECT_EQ(r, QRect(available.x(), available.y() + 10, 100, 50));
}

TEST_F(GlobalStyleTest, TextButtonLayoutFollowsPressedStateAndIconGap)
{
    std::vector<QPixmap> images;
    ButtonFace face;
    face.rect = QRect(10, 20, 100, 30); // right 110, bottom 50 (exclusive)
    face.pressed = false;
    ButtonLayout released = GlobalStyle::TextButtonLayout(face);
    EXPECT_EQ(released.focus, QRect(12, 22, 96, 26));
    EXPECT_EQ(released.content, QRect(14, 22, 91, 25)); // left 15-1, top 23-1, right 105, bottom 47
    face.pressed = true;
    ButtonLayout pressed = GlobalStyle::TextButtonLayout(face);
    EXPECT_EQ(pressed.content.left() - released.content.left(), 2);
    EXPECT_EQ(pressed.content.top() - released.content.top(), 2);
    EXPECT_EQ(pressed.content.right(), released.content.right());
    EXPECT_TRUE(pressed.icon.isNull());

    // An image list leaves the 21-pixel gap even with no image chosen.
    face.imageList = &images;
    face.imageIndex = -1;
    ButtonLayout withIcon = GlobalStyle::TextButtonLayout(face);
    EXPECT_EQ(withIcon.content.left(), pressed.content.left() + 21);
    EXPECT_EQ(pressed.content, QRect(16, 24, 89, 23));
    EXPECT_EQ(withIcon.icon, QRect(16, 24 + (23 - 16) / 2, 16, 16));

    face.pressed = false;
    ButtonLayout inset = GlobalStyle::InsetButtonLayout(face);
    EXPECT_EQ(inset.focus, QRect(11, 21, 98, 28));
    EXPECT_EQ(inset.content, QRect(12, 22, 96, 26));
    face.pressed = true;
    EXPECT_EQ(GlobalStyle::InsetButtonLayout(face).content, QRect(13, 23, 95, 25));
}

// Pressed: sunken on the background-on colour. Released: raised over the skin.
TEST_F(GlobalStyleTest, ButtonsDrawRaisedOrSunkenFrames)
{
    struct Row {
        const char* name;
        bool pressed;
        ColourSlot topLeft, bottomRight;
    };
    for (const Row& row : {Row{"released", false, HighlightColour, ShadowColour}, Row{"pressed", true, ShadowColour, HighlightColour}}) {
        SCOPED_TRACE(row.name);
        QImage image = Canvas(60, 30);
        {
            QPainter p(&image);
            ButtonFace face;
            face.painter = &p;
            face.rect = image.rect();
            face.originInParent = QPoint(400, 300);
            face.pressed = row.pressed;
            face.text = QString(); // no text: only background and frame
            style.DrawTextButton(face);
        }
        EXPECT_EQ(image.pixelColor(5, 0), style.Colour(row.topLeft));
        EXPECT_EQ(image.pixelColor(0, 5), style.Colour(row.topLeft));
        EXPECT_EQ(image.pixelColor(59, 5), style.Colour(row.bottomRight));
        EXPECT_EQ(image.pixelColor(5, 29), style.Colour(row.bottomRight));
        EXPECT_EQ(image.pixelColor(30, 15), row.pressed ? style.Colour(BackgroundOnColour) : SkinAt(430, 315));
    }

    // A colour button fills its content box with the swatch.
    QImage swatch = Canvas(20, 20);
    {
        QPainter p(&swatch);
        ButtonFace face;
        face.painter = &p;
        face.rect = swatch.rect();
        face.swatch = QColor(200, 10, 10);
        style.DrawColourButton(face);
    }
    EXPECT_EQ(swatch.pixelColor(2, 2), QColor(200, 10, 10));
    EXPECT_EQ(swatch.pixelColor(17, 17), QColor(200, 10, 10));
    EXPECT_NE(swatch.pixelColor(1, 1), QColor(200, 10, 10));
}

TEST_F(GlobalStyleTest, FocusFrameAlternatesFocusAndBackgroundColours)
{
    QImage image = Canvas(20, 20);
    const QColor background(0, 0, 255);
    {
        QPainter p(&image);
        p.setBackground(background);
        style.DrawFocusFrame(&p, QRect(2, 2, 16, 16));
    }
    const QColor focus = style.Colour(FocusColour);
    for (int x = 3; x < 17; ++x) {
        SCOPED_TRACE(x);
        EXPECT_NE(image.pixelColor(x, 2), image.pixelColor(x + 1, 2)); // alternate along the edge
        EXPECT_TRUE(image.pixelColor(x, 2) == focus || image.pixelColor(x, 2) == background);
    }
    EXPECT_EQ(image.pixelColor(10, 10), QColor(1, 2, 3)); // inside untouched
}

TEST_F(GlobalStyleTest, ControlColoursByControlKind)
{
    QImage image = Canvas(4, 4);
    QPainter p(&image);
    const QBrush fallback(Qt::red);
    struct Row {
        const char* name;
        int type;
        int brush; // 0 background brush, 1 no brush, 2 the default
    };
    const Row rows[] = {{"edit", CTLCOLOR_EDIT, 0},       {"list box", CTLCOLOR_LISTBOX, 0},
                        {"message box", CTLCOLOR_MSGBOX, 0}, {"static", CTLCOLOR_STATIC, 1},
                        {"button", CTLCOLOR_BTN, 1},       {"dialog", CTLCOLOR_DLG, 2},
                        {"scroll bar", CTLCOLOR_SCROLLBAR, 2}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        p.setBackgroundMode(Qt::OpaqueMode);
        const QBrush brush = style.OnCtlColor(fallback, &p, row.type);
        const QBrush expected[] = {style.BackgroundBrush(), QBrush(Qt::NoBrush), fallback};
        EXPECT_EQ(brush, expected[row.brush]);
        EXPECT_EQ(p.backgroundMode(), row.brush == 1 ? Qt::TransparentMode : Qt::OpaqueMode);
        EXPECT_EQ(p.pen().color(), style.Colour(ForegroundColour));
        EXPECT_EQ(p.background().color(), style.Colour(BackgroundColour));
    }
}

TEST_F(GlobalStyleTest, NestedWaitCursorsRestoreOnlyAtTheOuterEnd)
{
    WaitCursorState& state = style.GetWaitCursorState();
    ASSERT_EQ(QGuiApplication::overrideCursor(), nullptr);
    state.Push();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    state.Push();
    state.Pop();
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    state.Pop();
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    state.Pop(); // unmatched: ignored
    EXPECT_EQ(state.Count(), 0);
}
