// The tuning table and its MIDI Tuning Standard messages: the bulk dump both
// ways (and the dumps that are refused), the single-note changes of one edited
// key, and what the table keeps of them.
#include "editors/TuningSet.h"

#include "sim/SysExHex.h"

#include <gtest/gtest.h>

namespace {

QByteArray BytesOf(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

std::span<const std::uint8_t> Span(const QByteArray& b)
{
    return {reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())};
}

} // namespace

TEST(TuningDump, ConstructedTableIsUserTuningInEqualTemperament)
{
    const TuningSet set;
    const QByteArray d = EncodeTuningDump(set, 0x11, 3);
    ASSERT_EQ(d.size(), 408);
    QByteArray expected = sim::Hex("F0 7E 11 08 01 03") + QByteArray("User Tuning     ");
    for (int k = 0; k < 128; ++k)
        expected += BytesOf({char(k), 0, 0});
    expected += sim::Hex("7F F7");
    EXPECT_EQ(d, expected);
}

TEST(TuningDump, RoundTripKeepsNameAndEveryFineValue)
{
    TuningSet set;
    set.name = QStringLiteral("Werckmeister");
    set.entries[0] = {0, 16383};
    set.entries[60] = {61, 8192};
    set.entries[127] = {127, 1};
    const QByteArray d = EncodeTuningDump(set, 0, 0);
    EXPECT_EQ(d.mid(22, 3), sim::Hex("00 7F 7F"));
    TuningSet back;
    ASSERT_TRUE(DecodeTuningDump(Span(d), &back));
    EXPECT_EQ(back.name, QStringLiteral("Werckmeister    "));
    EXPECT_EQ(back.entries, set.entries);
}

TEST(TuningDump, ValuesOutOfRangeNeverMakeAStatusByte)
{
    TuningSet set;
    set.name = QString::fromUtf8("Ré");
    set.entries[5] = {300, 40000};
    set.entries[6] = {-4, -1};
    const QByteArray d = EncodeTuningDump(set, 200, -1);
    for (qsizetype i = 1; i < d.size() - 1; ++i)
        EXPECT_LE(uchar(d[i]), 0x7F) << "byte " << i;
    EXPECT_EQ(d.mid(22 + 15, 6), sim::Hex("7F 7F 7F 00 00 00"));
}

TEST(TuningDump, OnlyWholeWellFormedDumpsAreRead)
{
    const QByteArray good = EncodeTuningDump(TuningSet(), 0, 0);
    QByteArray xorChecksum = good;
    xorChecksum[406] = 0x15;
    QByteArray otherDevice = good;
    otherDevice[2] = 0x7F;
    otherDevice[5] = 0x0B;
    struct Case {
        const char* name;
        QByteArray bytes;
        bool readable;
    };
    QByteArray highByte = good;
    highByte[22 + 30] = char(0x90);
    QByteArray highName = good;
    highName[7] = char(0xE9);
    QByteArray noEnd = good;
    noEnd[407] = 0x7F;
    const Case cases[] = {
        {"as written", good, true},
        {"with the standard's checksum", xorChecksum, true},
        {"of another device and program", otherDevice, true},
        {"real-time universal message", QByteArray(good).replace(1, 1, "\x7F"), false},
        {"single-note change", QByteArray(good).replace(4, 1, "\x02"), false},
        {"dump request", sim::Hex("F0 7E 00 08 00 00 F7"), false},
        {"one byte short", good.left(407), false},
        {"one byte long", good.left(407) + sim::Hex("00 F7"), false},
        {"no F7 at the end", noEnd, false},
        {"a data byte above 7F", highByte, false},
        {"a name byte above 7F", highName, false},
        {"a preset dump", sim::Hex("F0 18 0F 00 55 10 21 00 F7"), false},
        {"nothing", QByteArray(), false},
    };
    for (const Case& c : cases) {
        TuningSet set;
        set.entries[1] = {77, 5};
        EXPECT_EQ(IsTuningDump(Span(c.bytes)), c.readable) << c.name;
        EXPECT_EQ(DecodeTuningDump(Span(c.bytes), &set), c.readable) << c.name;
        if (!c.readable) {
            EXPECT_EQ(set.entries[1], (Tuning{77, 5})) << c.name;
        }
    }
}

TEST(TuningKeyChanges, TableOfEditedKeys)
{
    struct Case {
        const char* name;
        int k, base, coarse, fine;
        bool replicate;
        int octave;
        std::vector<std::array<int, 4>> expected; ///< key, semitone, coarse, fine (first and last shown)
        std::size_t count;
    };
    const Case cases[] = {
        {"replicated C to -1: key 0 clamped to 0", 0, -1, 0, 0, true, 2, {{0, 0, 0, 0}, {120, 119, 0, 0}}, 11},
        {"replicated B: ten octaves", 11, 11, 3, 4, true, 2, {{11, 11, 3, 4}, {119, 119, 3, 4}}, 10},
        {"replicated G: eleven octaves, up to key 127", 7, 8, 0, 0, true, 0, {{7, 8, 0, 0}, {127, 127, 0, 0}}, 11},
        {"replicated Ab: ten octaves", 8, 8, 0, 0, true, 0, {{8, 8, 0, 0}, {116, 116, 0, 0}}, 10},
        {"one key of octave 5", 3, 70, 1, 2, false, 5, {{63, 70, 1, 2}, {63, 70, 1, 2}}, 1},
        {"G of octave 10 is key 127", 7, 127, 0, 0, false, 10, {{127, 127, 0, 0}, {127, 127, 0, 0}}, 1},
    };
    for (const Case& c : cases) {
        const auto changes = BuildKeyChanges(c.k, c.base, c.coarse, c.fine, c.replicate, c.octave);
        ASSERT_EQ(changes.size(), c.count) << c.name;
        auto row = [](const SingleNoteTuningChange& s) {
            return std::array<int, 4>{s.key, s.semitone, s.fineHigh, s.fineLow};
        };
        EXPECT_EQ(row(changes.front()), c.expected.front()) << c.name;
        EXPECT_EQ(row(changes.back()), c.expected.back()) << c.name;
    }
    // The twelfth octave of C in replicate mode: key 12 sounds 11.
    EXPECT_EQ(BuildKeyChanges(0, -1, 0, 0, true, 2)[1].semitone, 11);
}

TEST(TuningKeyChanges, TableKeepsWhatWasSentToEveryKey)
{
    // A table whose octaves differ (as after a download): a replicated fine
    // edit sends the replicated note with it, and the table keeps both.
    TuningSet set;
    set.entries[40] = {45, 0};
    StoreKeyChanges(BuildKeyChanges(4, 4, 2, 0, true, 2), &set);
    EXPECT_EQ(set.entries[40], (Tuning{40, 256}));
    EXPECT_EQ(set.entries[4], (Tuning{4, 256}));
    StoreKeyChanges(BuildKeyChanges(0, 200, 0, 0, false, 3), &set);
    EXPECT_EQ(set.entries[36], (Tuning{127, 0}));
}
