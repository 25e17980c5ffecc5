#pragma once
// Geometry of the self-drawn controls, kept apart from any widget so that it
// can be checked without a display: the slider's value/pixel mapping and
// layout, the progress bar's blocks, the lamp button's placement, and the
// decimal reading of the numeric edit.
//
// Rectangles are kept as edges (left, top, right, bottom; right and bottom
// exclusive), the form every formula below is written in.

#include <QRect>
#include <QString>
#include <QStringView>

#include <vector>

struct Edges {
    int l = 0;
    int t = 0;
    int r = 0;
    int b = 0;

    int Width() const { return r - l; }
    int Height() const { return b - t; }
    bool Contains(int x, int y) const { return x >= l && x < r && y >= t && y < b; }
    QRect ToRect() const { return QRect(l, t, r - l, b - t); }
    static Edges Of(const QRect& r) { return {r.left(), r.top(), r.left() + r.width(), r.top() + r.height()}; }
    /// A negative top or left becomes 0, a bottom above its top and a right
    /// edge left of its left edge are raised to them.
    Edges Corrected() const;
    bool operator==(const Edges&) const = default;
};

// ------------------------------------------------------------ slider

inline constexpr int kThumbLength = 8;      ///< along the channel
inline constexpr int kThumbAcross = 12;     ///< across a horizontal channel
inline constexpr int kThumbAcrossVertical = 16;
inline constexpr int kChannelThickness = 4;

/// The thumb's leading edge for value v: x for a horizontal slider, y for a
/// vertical one (whose minimum is at the bottom). With an empty range the
/// thumb sits at the channel's start (left, or bottom).
int TrackerValueToPixel(bool horizontal, const Edges& channel, int minimum, int maximum, int value);
/// The value whose thumb leading edge is at p, truncating; not clamped. A
/// channel without length along the slider gives the minimum.
int TrackerPixelToValue(bool horizontal, const Edges& channel, int minimum, int maximum, int p);

/// What the slider's layout needs measured.
struct TrackerMetrics {
    int titleWidth = 0;
    int titleHeight = 0;
    int valueWidth = 0;  ///< the widest value text
    int valueHeight = 0;
};

struct TrackerLayout {
    Edges title;
    Edges value;
    Edges channel;
    int tickSpacing = 0; ///< pixels between ticks; 0 for none
};

/// Lays the slider out in a client area of width x height.
TrackerLayout LayOutTracker(bool horizontal, int width, int height, const TrackerMetrics& metrics, int minimum,
                            int maximum);
/// The first whole-value offset along the channel at least 4 pixels long; 0
/// when no value between the bounds gives one.
int TrackerTickSpacing(int channelLength, int minimum, int maximum);
/// The thumb's rectangle with its leading edge at lead.
Edges TrackerThumb(bool horizontal, const Edges& channel, int lead);

// ------------------------------------------------------------ progress bar

/// The square blocks of a progress bar drawn in a client area of the given
/// size (the 3D frame takes the outer 2 pixels): at least one block, the
/// last one may reach past the filled width. A bar with no room inside its
/// frame has no blocks.
std::vector<Edges> ProgressBlocks(int width, int height, int lower, int upper, int position);

// ------------------------------------------------------------ lamp button

enum class CaptionPlacement : int { LampAbove = 1, LampLeft = 2, LampRight = 3, LampBelow = 4 };

struct LampLayout {
    Edges lamp;
    Edges caption;     ///< empty without a caption
    int alignment = 0; ///< Qt::Alignment flags for the caption
};

/// Where the lamp and the caption go in a button of the given rectangle.
/// placement: 1 lamp above, 2 left of, 3 right of the caption, else below.
LampLayout LayOutLamp(const Edges& item, int lampWidth, int lampHeight, bool hasCaption, int placement);

// ------------------------------------------------------------ numeric text

/// Reads a base-10 integer the way the C library's wcstol does: optional
/// leading blanks and a sign, then the leading digits; text without digits
/// gives 0. Numbers beyond the int range are held at its ends.
int ParseDecimal(QStringView text);
