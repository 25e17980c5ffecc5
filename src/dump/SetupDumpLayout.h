#pragma once
// Where everything lies inside one setup dump, the module's multisetup as one
// SysEx message (command 0x1C). Every number in it is a 14-bit value (two
// bytes, low 7 bits first, 8192 and above negative):
//
//   0   F0 18 0F dd 55 1C
//   6   N(S1) N(S2) N(S3) N(S4) N(S5)    values in the five sections
//   16  channels, values per channel
//   20  16 name bytes (one byte per character, not 14-bit)
//   36  S1 master | S2 MIDI and controllers | S3 master effects |
//       S4 master arpeggiator | S5 multimode globals, back to back
//       per-channel blocks, channel 0 first            -> ends at H
//   H   beat trigger count, values per trigger, the triggers   (optional)
//   P   beat part count, values per part, the parts   (optional, after triggers)
//       ... (real modules may send more bytes) F7
//
// The counts come from the module and differ between models (a real 16-channel
// module sends 11 master values, others 19 or more), so nothing inside a dump
// has a fixed offset past byte 36: the master device id, for one, is the third
// value of S2, wherever S1's count puts S2. Parse walks the counts and checks
// that every block lies inside the message before its final F7.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>

struct SetupDumpLayout {
    /// Why a message is not a usable setup dump.
    enum class Problem {
        None,
        Empty,              ///< no bytes at all
        TooShort,           ///< not even the counts (20 bytes)
        BadPrefix,          ///< not F0 18 0F dd 55 1C
        NoEnd,              ///< its last byte is not F7
        NegativeCount,      ///< a count of the header, the triggers or the parts below 0
        ShorterThanHeader,  ///< the sections and channels reach the F7
        ShorterThanTriggers,///< the trigger values reach the F7
        ShorterThanParts,   ///< the part values reach the F7
    };

    static constexpr std::size_t kCountsOffset = 6;
    static constexpr std::size_t kChannelCountOffset = 16;
    static constexpr std::size_t kPerChannelOffset = 18;
    static constexpr std::size_t kNameOffset = 20;
    static constexpr std::size_t kNameLength = 16;
    static constexpr std::size_t kHeaderLength = 36;
    /// The shortest message whose counts can be read.
    static constexpr std::size_t kMinimumLength = 20;
    static constexpr int kSections = 5;
    /// Byte offset of the master device id (MASTER_MIDI_ID) inside S2.
    static constexpr std::size_t kDeviceIdInS2 = 4;

    Problem problem = Problem::Empty;

    int sectionValues[kSections] = {};
    std::size_t sectionOffset[kSections] = {};
    int channels = 0;
    int perChannel = 0;
    std::size_t channelOffset = 0; ///< channel 0's first value
    std::size_t fixedEnd = 0;      ///< H: the end of the per-channel blocks

    bool hasTriggers = false;
    int triggers = 0;
    int perTrigger = 0;
    std::size_t triggerOffset = 0; ///< trigger 0's first value (after the two counts)
    bool hasParts = false;
    int parts = 0;
    int perPart = 0;
    std::size_t partOffset = 0;    ///< part 0's first value

    /// Walks the counts of dump. problem says what is wrong; the fields up to
    /// the failing block are filled.
    static SetupDumpLayout Parse(std::span<const std::uint8_t> dump);

    bool IsValid() const { return problem == Problem::None; }

    /// Where the master device id lies, or nothing when S2 holds fewer than
    /// three values (the dump then carries no device id).
    std::optional<std::size_t> DeviceIdOffset() const;

    /// The byte offset of value `index` (0-based) of a block, or nothing when
    /// the block or the value is not in this dump: section 0..4, channel
    /// 0..channels-1, trigger 0..triggers-1, part 0..parts-1; a negative index
    /// is never in it.
    std::optional<std::size_t> SectionValue(int section, int index) const;
    std::optional<std::size_t> ChannelValue(int channel, int index) const;
    std::optional<std::size_t> TriggerValue(int trigger, int index) const;
    std::optional<std::size_t> PartValue(int part, int index) const;

    /// A short text for a refusal: "a setup dump shorter than its section counts".
    static const char16_t* Describe(Problem problem);
};

/// The 14-bit number at offset (signed: 8192 and above negative); 0 when the two
/// bytes are not both inside bytes.
int ReadSetupValue(std::span<const std::uint8_t> bytes, std::size_t offset);
