#include "ui/controls/ControlGeometry.h"

#include <QChar>

#include <algorithm>
#include <climits>
#include <cstdint>

Edges Edges::Corrected() const
{
    Edges e = *this;
    e.t = std::max(e.t, 0);
    e.l = std::max(e.l, 0);
    e.b = std::max(e.b, e.t);
    e.r = std::max(e.r, e.l);
    return e;
}

int TrackerValueToPixel(bool horizontal, const Edges& channel, int minimum, int maximum, int value)
{
    if (maximum == minimum)
        return horizontal ? channel.l : channel.b;
    const std::int64_t range = std::int64_t(maximum) - minimum;
    if (horizontal)
        return int((std::int64_t(value) - minimum) * channel.Width() / range) + channel.l - kThumbLength / 2;
    return int(std::int64_t(channel.Height()) * (std::int64_t(maximum) - value) / range) + channel.t - kThumbLength / 2;
}

int TrackerPixelToValue(bool horizontal, const Edges& channel, int minimum, int maximum, int p)
{
    // A channel squeezed to nothing along the slider has a single position.
    const int length = horizontal ? channel.Width() : channel.Height();
    if (length == 0)
        return minimum;
    const std::int64_t range = std::int64_t(maximum) - minimum;
    const std::int64_t offset = horizontal ? std::int64_t(p) - channel.l + kThumbLength / 2
                                           : std::int64_t(channel.b) - p - kThumbLength / 2;
    const std::int64_t v = range * offset / length + minimum;
    return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}

int TrackerTickSpacing(int channelLength, int minimum, int maximum)
{
    if (maximum <= minimum || channelLength <= 0)
        return 0;
    const std::int64_t range = std::int64_t(maximum) - minimum;
    // The smallest step k with k * length / range >= 4, i.e. k * length >= 4 * range.
    std::int64_t k = (4 * range + channelLength - 1) / channelLength;
    k = std::max<std::int64_t>(k, 1);
    if (k > range - 1) // the step must land on a value strictly inside the range
        return 0;
    return int(k * channelLength / range);
}

Edges TrackerThumb(bool horizontal, const Edges& channel, int lead)
{
    if (horizontal)
        return {lead, channel.t, lead + kThumbLength, channel.t + kThumbAcross};
    const int centre = (channel.l + channel.r) / 2;
    return {centre - kThumbAcrossVertical / 2, lead, centre + kThumbAcrossVertical / 2, lead + kThumbLength};
}

TrackerLayout LayOutTracker(bool horizontal, int width, int height, const TrackerMetrics& m, int minimum, int maximum)
{
    TrackerLayout out;
    const Edges area{2, 2, width - 2, height - 2};
    if (horizontal) {
        out.channel.l = area.l + 4;
        out.channel.r = area.r - 4;
        out.title = {out.channel.l, area.t, out.channel.l + m.titleWidth, area.t + m.titleHeight};
        out.value = {out.title.r, area.t, out.channel.r, area.t + m.valueHeight};
        out.channel.t = area.t + std::max(m.titleHeight, m.valueHeight) + 1;
        out.channel.b = out.channel.t + kChannelThickness;
    } else {
        const int valueLeft = area.l + (area.Width() - m.valueWidth) / 2;
        out.value = {valueLeft, area.t, valueLeft + m.valueWidth, area.t + m.valueHeight};
        out.title = {area.l, area.b - m.titleHeight, area.r, area.b};
        const int centre = (area.l + area.r) / 2;
        out.channel = {centre - kChannelThickness / 2, out.value.b + 4, centre + kChannelThickness / 2, out.title.t - 4};
    }
    out.title = out.title.Corrected();
    out.value = out.value.Corrected();
    out.channel = out.channel.Corrected();
    out.tickSpacing =
        TrackerTickSpacing(horizontal ? out.channel.Width() : out.channel.Height(), minimum, maximum);
    return out;
}

std::vector<Edges> ProgressBlocks(int width, int height, int lower, int upper, int position)
{
    std::vector<Edges> blocks;
    const Edges inner{2, 2, width - 2, height - 2};
    const int side = inner.Height();
    // A bar squeezed to no height inside its frame would never advance.
    if (side <= 0 || inner.Width() <= 0)
        return blocks;
    const std::int64_t span = std::int64_t(upper) - lower;
    std::int64_t filled = 0;
    if (span > 0) {
        const std::int64_t pos = std::clamp<std::int64_t>(position, lower, upper);
        filled = (pos - lower) * inner.Width() / span;
    }
    int x = inner.l;
    do {
        blocks.push_back({x, inner.t, x + side, inner.b});
        x += side;
    } while (x - inner.l < filled);
    return blocks;
}

LampLayout LayOutLamp(const Edges& item, int lampWidth, int lampHeight, bool hasCaption, int placement)
{
    LampLayout out;
    const Edges work{item.l + 2, item.t + 2, item.r - 2, item.b - 2};
    if (!hasCaption) {
        out.lamp = {work.l, work.t, work.l + lampWidth, work.t + lampHeight};
        return out;
    }
    const int centreX = work.l + (work.Width() - lampWidth) / 2;
    const int centreY = work.t + (work.Height() - lampHeight) / 2;
    switch (placement) {
    case 1:
        out.lamp = {centreX, work.t, centreX + lampWidth, work.t + lampHeight};
        out.caption = {work.l, out.lamp.b + 2, work.r, work.b};
        out.alignment = Qt::AlignHCenter | Qt::AlignBottom;
        break;
    case 2:
        out.lamp = {work.l, centreY, work.l + lampWidth, centreY + lampHeight};
        out.caption = {out.lamp.r + 4, work.t, work.r, work.b};
        out.alignment = Qt::AlignLeft | Qt::AlignVCenter;
        break;
    case 3:
        out.lamp = {work.r - lampWidth, centreY, work.r, centreY + lampHeight};
        out.caption = {work.l, work.t, out.lamp.l - 4, work.b};
        out.alignment = Qt::AlignRight | Qt::AlignVCenter;
        break;
    default:
        out.lamp = {centreX, work.b - lampHeight, centreX + lampWidth, work.b};
        out.caption = {work.l, work.t, work.r, out.lamp.t - 2};
        out.alignment = Qt::AlignHCenter | Qt::AlignVCenter;
        break;
    }
    return out;
}

int ParseDecimal(QStringView text)
{
    qsizetype i = 0;
    while (i < text.size() && (text[i] == u' ' || (text[i] >= u'\t' && text[i] <= u'\r')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    std::int64_t v = 0;
    for (; i < text.size() && text[i] >= u'0' && text[i] <= u'9'; ++i) {
        v = v * 10 + (text[i].unicode() - u'0');
        if (v > std::int64_t(INT_MAX) + 1)
            v = std::int64_t(INT_MAX) + 1; // held at the end of the range, as wcstol does
    }
    if (negative)
        v = -v;
    return int(std::clamp<std::int64_t>(v, INT_MIN, INT_MAX));
}
