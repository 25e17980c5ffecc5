#include "editors/TuningSet.h"

#include "core/Codepage.h"

#include <algorithm>

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;
constexpr std::uint8_t kUniversalNonRealTime = 0x7E;
constexpr std::uint8_t kMidiTuningStandard = 0x08;
constexpr std::uint8_t kBulkDump = 0x01;
constexpr std::uint8_t kUncheckedChecksum = 0x7F;

int Clamp7(int v)
{
    return std::clamp(v, 0, 127);
}

} // namespace

void TuningSet::SetEqualTemperament()
{
    for (int k = 0; k < kKeys; ++k)
        entries[std::size_t(k)] = {k, 0};
}

void TuningSet::Reset()
{
    name = QStringLiteral("User Tuning");
    SetEqualTemperament();
}

QByteArray EncodeTuningDump(const TuningSet& set, int deviceId, int program)
{
    using namespace tuningdump;
    QByteArray d(qsizetype(kSize), '\0');
    d[0] = char(kSysExStart);
    d[1] = char(kUniversalNonRealTime);
    d[kDeviceIdOffset] = char(Clamp7(deviceId));
    d[3] = char(kMidiTuningStandard);
    d[4] = char(kBulkDump);
    d[kProgramOffset] = char(Clamp7(program));
    WideToAnsiPadded(set.name, d.data() + kNameOffset, std::size_t(TuningSet::kNameLength));
    for (std::size_t i = kNameOffset; i < kEntriesOffset; ++i)
        if (std::uint8_t(d[qsizetype(i)]) > 0x7F)
            d[qsizetype(i)] = '?'; // a byte above 7F inside the message would break it
    for (int k = 0; k < TuningSet::kKeys; ++k) {
        const Tuning& t = set.entries[std::size_t(k)];
        const int fine = std::clamp(t.fine, 0, 16383);
        const std::size_t at = kEntriesOffset + 3 * std::size_t(k);
        d[qsizetype(at)] = char(Clamp7(t.semitone));
        d[qsizetype(at + 1)] = char(fine / 128);
        d[qsizetype(at + 2)] = char(fine % 128);
    }
    d[kChecksumOffset] = char(kUncheckedChecksum);
    d[qsizetype(kSize - 1)] = char(kSysExEnd);
    return d;
}

bool IsTuningDump(std::span<const std::uint8_t> b)
{
    using namespace tuningdump;
    if (b.size() != kSize || b[0] != kSysExStart || b[1] != kUniversalNonRealTime || b[3] != kMidiTuningStandard ||
        b[4] != kBulkDump || b[kSize - 1] != kSysExEnd)
        return false;
    return std::all_of(b.begin() + 1, b.end() - 1, [](std::uint8_t v) { return v <= 0x7F; });
}

bool DecodeTuningDump(std::span<const std::uint8_t> b, TuningSet* set)
{
    using namespace tuningdump;
    if (!set || !IsTuningDump(b))
        return false;
    set->name = AnsiToWide(b.data() + kNameOffset, std::size_t(TuningSet::kNameLength));
    for (int k = 0; k < TuningSet::kKeys; ++k) {
        const std::size_t at = kEntriesOffset + 3 * std::size_t(k);
        set->entries[std::size_t(k)] = {b[at], b[at + 1] * 128 + b[at + 2]};
    }
    return true;
}

std::vector<SingleNoteTuningChange> BuildKeyChanges(int k, int base, int coarse, int fine, bool replicate, int octave)
{
    std::vector<SingleNoteTuningChange> changes;
    if (replicate) {
        for (int j = 0; j + k < TuningSet::kKeys; j += 12)
            changes.push_back({j + k, Clamp7(j + base), coarse, fine});
    } else {
        changes.push_back({std::min(octave * 12 + k, 127), base, coarse, fine});
    }
    return changes;
}

void StoreKeyChanges(const std::vector<SingleNoteTuningChange>& changes, TuningSet* set)
{
    for (const SingleNoteTuningChange& c : changes) {
        if (c.key < 0 || c.key >= TuningSet::kKeys)
            continue;
        set->entries[std::size_t(c.key)] = {Clamp7(c.semitone), Clamp7(c.fineHigh) * 128 + Clamp7(c.fineLow)};
    }
}
