#include "dump/SetupDumpLayout.h"

#include "module/ModuleSysEx.h"

namespace {

// Counts are 14-bit signed numbers; sizes are computed in 64 bits so that no
// count a damaged message may carry can overflow them.
std::int64_t Values(int count, int each) { return std::int64_t(count) * each; }

} // namespace

int ReadSetupValue(std::span<const std::uint8_t> bytes, std::size_t offset)
{
    int value = 0;
    SysExValue14::Read(bytes, offset, value);
    return value;
}

SetupDumpLayout SetupDumpLayout::Parse(std::span<const std::uint8_t> dump)
{
    SetupDumpLayout l;
    if (dump.empty())
        return l;
    if (dump.size() < kMinimumLength) {
        l.problem = Problem::TooShort;
        return l;
    }
    if (dump[0] != SYSEX_START || dump[1] != EMU_MANUFACTURER_ID || dump[2] != PROTEUS_PRODUCT_ID
        || dump[4] != EDITOR_DESIGNATOR || dump[kSysExCommandOffset] != CMD_SETUP_DUMP) {
        l.problem = Problem::BadPrefix;
        return l;
    }
    if (dump.back() != SYSEX_END) {
        l.problem = Problem::NoEnd;
        return l;
    }
    // Every block must end at or before the F7.
    const std::int64_t last = std::int64_t(dump.size()) - 1;

    std::int64_t at = kHeaderLength;
    bool negative = false;
    for (int s = 0; s < kSections; ++s) {
        l.sectionValues[s] = ReadSetupValue(dump, kCountsOffset + 2 * std::size_t(s));
        negative = negative || l.sectionValues[s] < 0;
    }
    l.channels = ReadSetupValue(dump, kChannelCountOffset);
    l.perChannel = ReadSetupValue(dump, kPerChannelOffset);
    if (negative || l.channels < 0 || l.perChannel < 0) {
        l.problem = Problem::NegativeCount;
        return l;
    }
    for (int s = 0; s < kSections; ++s) {
        l.sectionOffset[s] = std::size_t(std::min(at, last));
        at += 2 * std::int64_t(l.sectionValues[s]);
    }
    l.channelOffset = std::size_t(std::min(at, last));
    at += 2 * Values(l.channels, l.perChannel);
    if (at > last) {
        l.problem = Problem::ShorterThanHeader;
        return l;
    }
    l.fixedEnd = std::size_t(at);

    // A trigger block needs its two counts before the F7.
    if (at + 4 > last) {
        l.problem = Problem::None;
        return l;
    }
    l.triggers = ReadSetupValue(dump, std::size_t(at));
    l.perTrigger = ReadSetupValue(dump, std::size_t(at) + 2);
    if (l.triggers < 0 || l.perTrigger < 0) {
        l.problem = Problem::NegativeCount;
        return l;
    }
    l.triggerOffset = std::size_t(at + 4);
    at += 4 + 2 * Values(l.triggers, l.perTrigger);
    if (at > last) {
        l.problem = Problem::ShorterThanTriggers;
        return l;
    }
    l.hasTriggers = true;

    if (at + 4 > last) {
        l.problem = Problem::None;
        return l;
    }
    l.parts = ReadSetupValue(dump, std::size_t(at));
    l.perPart = ReadSetupValue(dump, std::size_t(at) + 2);
    if (l.parts < 0 || l.perPart < 0) {
        l.problem = Problem::NegativeCount;
        return l;
    }
    l.partOffset = std::size_t(at + 4);
    at += 4 + 2 * Values(l.parts, l.perPart);
    if (at > last) {
        l.problem = Problem::ShorterThanParts;
        return l;
    }
    l.hasParts = true;
    l.problem = Problem::None;
    return l;
}

std::optional<std::size_t> SetupDumpLayout::DeviceIdOffset() const
{
    return SectionValue(1, int(kDeviceIdInS2 / 2));
}

std::optional<std::size_t> SetupDumpLayout::SectionValue(int section, int index) const
{
    if (!IsValid() || section < 0 || section >= kSections || index < 0 || index >= sectionValues[section])
        return std::nullopt;
    return sectionOffset[section] + 2 * std::size_t(index);
}

std::optional<std::size_t> SetupDumpLayout::ChannelValue(int channel, int index) const
{
    if (!IsValid() || channel < 0 || channel >= channels || index < 0 || index >= perChannel)
        return std::nullopt;
    return channelOffset + 2 * (std::size_t(channel) * std::size_t(perChannel) + std::size_t(index));
}

std::optional<std::size_t> SetupDumpLayout::TriggerValue(int trigger, int index) const
{
    if (!IsValid() || !hasTriggers || trigger < 0 || trigger >= triggers || index < 0 || index >= perTrigger)
        return std::nullopt;
    return triggerOffset + 2 * (std::size_t(trigger) * std::size_t(perTrigger) + std::size_t(index));
}

std::optional<std::size_t> SetupDumpLayout::PartValue(int part, int index) const
{
    if (!IsValid() || !hasParts || part < 0 || part >= parts || index < 0 || index >= perPart)
        return std::nullopt;
    return partOffset + 2 * (std::size_t(part) * std::size_t(perPart) + std::size_t(index));
}

const char16_t* SetupDumpLayout::Describe(Problem problem)
{
    switch (problem) {
    case Problem::None: return u"a valid setup dump";
    case Problem::Empty: return u"an empty setup dump";
    case Problem::TooShort: return u"a setup dump shorter than its header";
    case Problem::BadPrefix: return u"a message that is no setup dump";
    case Problem::NoEnd: return u"a setup dump without its end";
    case Problem::NegativeCount: return u"a setup dump with a negative count";
    case Problem::ShorterThanHeader: return u"a setup dump shorter than its section counts";
    case Problem::ShorterThanTriggers: return u"a setup dump shorter than its beat trigger counts";
    case Problem::ShorterThanParts: return u"a setup dump shorter than its beat part counts";
    }
    return u"an invalid setup dump";
}
