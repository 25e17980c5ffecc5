#include "core/resources/GuiFont.h"

#include <gtest/gtest.h>

#include <QApplication>
#include <QFontInfo>
#include <QFontMetrics>

TEST(GuiFont, TheBundledFontIsUsedWithRealGlyphs)
{
    bool ok = false;
    const QFont font = GuiFont(&ok);
    ASSERT_TRUE(ok);
    EXPECT_EQ(QFontInfo(font).family(), QString::fromLatin1(kGuiFontFamily));
    EXPECT_EQ(QFontInfo(font).pixelSize(), kGuiFontPixelSize);
    EXPECT_TRUE(QFontMetrics(font).inFont(QChar(u'&')));

    InstallGuiFont();
    EXPECT_EQ(QFontInfo(QApplication::font()).family(), QString::fromLatin1(kGuiFontFamily));
}

// The dialog forms were converted with these measures; a change here moves
// every dialog and needs tools/form_units run over the forms again.
TEST(GuiFont, BaseUnitsAreThoseTheFormsWereMadeWith)
{
    EXPECT_EQ(GuiBaseUnits(), (DialogBaseUnits{7, 13}));
}

TEST(GuiFont, DialogUnitsConvertFieldByFieldRoundingHalfAway)
{
    const DialogBaseUnits base{7, 13};
    // 175 x 52 units: 306.25 -> 306, 84.5 -> 85
    EXPECT_EQ(DialogUnitsToPixels(QSize(175, 52), base), QSize(306, 85));
    // 12.25, 11.375, 87.5, 22.75
    EXPECT_EQ(DialogUnitsToPixels(QRect(7, 7, 50, 14), base), QRect(12, 11, 88, 23));
    EXPECT_EQ(MulDivRound(-5, 6, 4), -8);
    EXPECT_EQ(MulDivRound(5, 6, 0), 0);
}
