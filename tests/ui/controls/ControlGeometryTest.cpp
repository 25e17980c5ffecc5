// The controls' geometry without any widget: the slider's mapping and layout,
// the progress bar's blocks, the lamp placement and the decimal reading.
#include "ui/controls/ControlGeometry.h"
#include "ui/controls/LogLines.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

TEST(TrackerMapping, ValueAndPixelAgreeInBothOrientations)
{
    const Edges h{10, 20, 138, 24}; // 128 pixels long
    const Edges v{50, 10, 54, 138};
    struct Case {
        bool horizontal;
        Edges channel;
        int m, M, value, pixel, back; // back: the value read at that pixel (truncating)
    } cases[] = {
        {true, h, 0, 127, 0, 6, 0},      // the thumb centres on the channel's left edge
        {true, h, 0, 127, 127, 134, 127},
        {true, h, 0, 127, 64, 70, 63},
        {true, h, -64, 63, 0, 70, -1},
        {false, v, 0, 127, 127, 6, 127}, // a vertical slider has its maximum on top
        {false, v, 0, 127, 0, 134, 0},
        {true, h, 5, 5, 5, 10, 5},       // an empty range: the channel's start
        {false, v, 5, 5, 5, 138, 5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.horizontal << " " << c.m << ".." << c.M << " v " << c.value);
        EXPECT_EQ(TrackerValueToPixel(c.horizontal, c.channel, c.m, c.M, c.value), c.pixel);
        EXPECT_EQ(TrackerPixelToValue(c.horizontal, c.channel, c.m, c.M, c.pixel), c.back);
    }
}

TEST(TrackerMapping, AChannelWithoutLengthGivesTheMinimum)
{
    // A short vertical slider can lose its channel's height; the mapping must not divide by it.
    EXPECT_EQ(TrackerPixelToValue(false, Edges{10, 30, 14, 30}, 3, 127, 17), 3);
    EXPECT_EQ(TrackerPixelToValue(true, Edges{30, 10, 30, 14}, -5, 5, 40), -5);
    const TrackerLayout squeezed = LayOutTracker(false, 30, 12, TrackerMetrics{20, 10, 20, 10}, 0, 127);
    EXPECT_EQ(squeezed.channel.Height(), 0);
    EXPECT_EQ(squeezed.tickSpacing, 0);
}

TEST(TrackerLayoutTest, HorizontalAndVerticalRectangles)
{
    const TrackerMetrics m{40, 13, 25, 13};
    const TrackerLayout h = LayOutTracker(true, 200, 40, m, 0, 127);
    EXPECT_EQ(h.title, (Edges{6, 2, 46, 15}));
    EXPECT_EQ(h.value, (Edges{46, 2, 194, 15}));
    EXPECT_EQ(h.channel, (Edges{6, 16, 194, 20}));
    EXPECT_EQ(TrackerThumb(true, h.channel, 30), (Edges{30, 16, 38, 28}));

    const TrackerLayout v = LayOutTracker(false, 40, 200, m, 0, 127);
    EXPECT_EQ(v.value, (Edges{7, 2, 32, 15}));
    EXPECT_EQ(v.title, (Edges{2, 185, 38, 198}));
    EXPECT_EQ(v.channel, (Edges{18, 19, 22, 181}));
    EXPECT_EQ(TrackerThumb(false, v.channel, 50), (Edges{12, 50, 28, 58}));
}

TEST(TrackerLayoutTest, TicksFallOnWholeValuesAtLeastFourPixelsApart)
{
    struct Case {
        int length, m, M, spacing;
    } cases[] = {
        {128, 0, 127, 4},  // 4 values: 4 * 128 / 127
        {100, 0, 10, 10},
        {100, 0, 1, 0},    // no value strictly inside
        {100, 0, 50, 4},
        {10, 0, 100, 4},   // value 40 is the first 4 pixels in
        {3, 0, 100, 0},    // even the last inner value is closer than 4 pixels
        {100, 5, 5, 0},
        {0, 0, 10, 0},
        {100, -8192, 8191, 4},
    };
    for (const Case& c : cases)
        EXPECT_EQ(TrackerTickSpacing(c.length, c.m, c.M), c.spacing) << c.length << " " << c.m << ".." << c.M;
}

TEST(ProgressBlocksTest, AlwaysOneBlockUnlessSqueezed)
{
    struct Case {
        int w, h, lower, upper, pos;
        std::size_t blocks;
    } cases[] = {
        {104, 14, 0, 100, 0, 1},    // at the lower bound
        {104, 14, 0, 0, 0, 1},      // an empty range
        {104, 14, 10, 0, 5, 1},
        {104, 14, 0, 100, 100, 10}, // 100 px filled with 10 px blocks
        {104, 14, 0, 100, 11, 2},   // 11 px filled: the second block reaches past it
        {104, 14, 0, 100, 5000, 10},// a position beyond the range is held at the end
        {104, 4, 0, 100, 50, 0},    // no room inside the frame
        {104, 3, 0, 100, 50, 0},
        {3, 14, 0, 100, 50, 0},
    };
    for (const Case& c : cases) {
        const auto blocks = ProgressBlocks(c.w, c.h, c.lower, c.upper, c.pos);
        EXPECT_EQ(blocks.size(), c.blocks) << c.w << "x" << c.h << " " << c.pos;
        if (!blocks.empty()) {
            EXPECT_EQ(blocks.front(), (Edges{2, 2, 2 + c.h - 4, c.h - 2}));
        }
    }
}

TEST(LampLayoutTest, PlacementsAroundTheCaption)
{
    const Edges item{0, 0, 104, 24}; // working area 2..102 x 2..22
    const LampLayout left = LayOutLamp(item, 10, 10, true, 2);
    EXPECT_EQ(left.lamp, (Edges{2, 7, 12, 17}));
    EXPECT_EQ(left.caption.l, 16); // 4 pixels right of the lamp
    const LampLayout right = LayOutLamp(item, 10, 10, true, 3);
    EXPECT_EQ(right.lamp, (Edges{92, 7, 102, 17}));
    EXPECT_EQ(right.caption.r, 88);
    EXPECT_TRUE(right.alignment & Qt::AlignRight);
    const LampLayout above = LayOutLamp(Edges{0, 0, 44, 44}, 10, 10, true, 1);
    EXPECT_EQ(above.lamp, (Edges{17, 2, 27, 12}));
    EXPECT_EQ(above.caption.t, 14);
    const LampLayout below = LayOutLamp(Edges{0, 0, 44, 44}, 10, 10, true, 0);
    EXPECT_EQ(below.lamp, (Edges{17, 32, 27, 42}));
    EXPECT_EQ(below.caption.b, 30);
    const LampLayout bare = LayOutLamp(item, 10, 10, false, 3);
    EXPECT_EQ(bare.lamp, (Edges{2, 2, 12, 12}));
}

TEST(ParseDecimalTest, ReadsLikeTheCLibrary)
{
    struct Case {
        const char16_t* text;
        int value;
    } cases[] = {
        {u"12abc", 12}, {u"  -5", -5}, {u"+7", 7}, {u"", 0}, {u"abc", 0}, {u"- 3", 0},
        {u"\t42 ", 42}, {u"99999999999", INT_MAX}, {u"-99999999999", INT_MIN},
    };
    for (const Case& c : cases)
        EXPECT_EQ(ParseDecimal(QStringView(c.text)), c.value) << QString::fromUtf16(c.text).toStdString();
}

TEST(LogLinesTest, KeepsAtMostItsCapacityAndSplitsText)
{
    LogLines lines(3);
    lines.AddText(QStringLiteral("a\r\n\r\nb\nc\r\n"));
    ASSERT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Line(0), QStringLiteral("a"));
    lines.AddLine(QStringLiteral("d"));
    ASSERT_EQ(lines.Count(), 3);
    EXPECT_EQ(lines.Line(0), QStringLiteral("b"));
    EXPECT_EQ(lines.AllText(), QStringLiteral("b\r\nc\r\nd\r\n"));
    lines.Clear();
    EXPECT_EQ(lines.AllText(), QString());

    LogLines big;
    for (int i = 0; i < kLogWindowCapacity + 1; ++i)
        big.AddLine(QString::number(i));
    EXPECT_EQ(big.Count(), kLogWindowCapacity);
    EXPECT_EQ(big.Line(0), QStringLiteral("1"));
}

} // namespace
