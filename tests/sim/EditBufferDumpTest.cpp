// The simulated module's edit buffer is one preset: a real capture uploaded
// into it answers its values to parameter requests, comes back byte for byte
// when nothing was edited, and an edit changes exactly its value's bytes (and
// that packet's checksum) in the next dump. The expected values and places
// below were read off the captures by hand.
#include "sim/Harness.h"
#include "sim/SysExHex.h"

#include <QFile>

#include <gtest/gtest.h>

using sim::Hex;

namespace {

constexpr int kLayerSelect = 898;
constexpr int kNameChar0 = 899;
constexpr int kFxAAlgorithm = 1153;
constexpr int kRiffRomId = 929;
constexpr int kLayerInstrument = 1409;
constexpr int kLayerVolume = 1410;
constexpr int kLayerPan = 1411;
constexpr int kLayerKeyHigh = 1415;

std::vector<QByteArray> Messages(const QByteArray& bytes)
{
    return sim::SplitSysEx(bytes);
}

/// A capture as a closed-loop upload addressed to `preset` (-1: the edit buffer).
std::vector<QByteArray> Upload(const char* name, int preset)
{
    QFile f(qEnvironmentVariable("TABRINE_FIXTURES") + QLatin1Char('/') + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    std::vector<QByteArray> m = Messages(f.readAll());
    for (std::size_t i = 0; i < m.size(); ++i)
        m[i][6] = char(i == 0 ? 0x01 : 0x02);
    if (!m.empty()) {
        const int v = preset & 0x3FFF;
        m[0][7] = char(v & 0x7F);
        m[0][8] = char(v >> 7);
    }
    return m;
}

QByteArray Pair(int value)
{
    const int v = value & 0x3FFF;
    QByteArray pair(2, 0);
    pair[0] = char(v & 0x7F);
    pair[1] = char(v >> 7);
    return pair;
}

QByteArray Edit(int id, int value) { return Hex("F0 18 0F 00 55 01 02") + Pair(id) + Pair(value) + Hex("F7"); }

int Value(sim::Harness& h, int id, int layer = -1)
{
    if (layer >= 0)
        h.exchange(Edit(kLayerSelect, layer));
    const std::vector<QByteArray> r = h.exchange(Hex("F0 18 0F 00 55 02 01") + Pair(id) + Hex("F7"));
    if (r.size() != 1 || r[0].size() != 12)
        return -9999;
    const int v = (uchar(r[0][9]) | uchar(r[0][10]) << 7);
    return v > 8191 ? v - 16384 : v;
}

void Send(sim::Harness& h, const std::vector<QByteArray>& messages)
{
    for (const QByteArray& m : messages) {
        const std::vector<QByteArray> r = h.exchange(m);
        ASSERT_EQ(r.size(), 1u);
        ASSERT_EQ(uchar(r[0][5]), 0x7F) << "not taken: " << r[0].toHex(' ').toStdString();
    }
    h.exchange(Hex("F0 18 0F 00 55 7B F7"));
}

/// The edit buffer by the closed-loop protocol, every message ACKed.
std::vector<QByteArray> EditBuffer(sim::Harness& h)
{
    std::vector<QByteArray> out;
    std::vector<QByteArray> r = h.exchange(Hex("F0 18 0F 00 55 11 02 7F 7F 00 00 F7"));
    while (r.size() == 1 && uchar(r[0][5]) == 0x10) {
        out.push_back(r[0]);
        r = h.exchange(Hex("F0 18 0F 00 55 7F F7"));
    }
    return out;
}

std::string HexOf(const std::vector<QByteArray>& messages)
{
    std::string s;
    for (const QByteArray& m : messages)
        s += m.toHex(' ').toStdString() + "\n";
    return s;
}

} // namespace

TEST(SimEditBuffer, AnUploadSetsTheValuesItCarriesAndAnEditChangesOnlyItsBytesInTheNextDump)
{
    struct Row {
        const char* capture;
        const char* name;
        int fxA, riffRom, volume1, pan1, instrument2, keyHigh3;
        int volume2At;  ///< payload offset of layer 2's volume
        int perPacket;  ///< data bytes of a full packet
    };
    const Row rows[] = {
        // counts 52, 18, ...: layer 2 begins at 16 + 2 * 106 + 2 * 316
        {"a2k-user-preset-0000.syx", "pad:HOUSE       ", 1, 3, 0, 0, 12, 127, 862, 244},
        // counts 56, 19, ...: layer 2 begins at 16 + 2 * 111 + 2 * 316
        {"cs-rom4-preset-0000.syx", "brs:SforzadoSect", 13, 4, 3, -28, 237, 108, 872, 242},
        {"cs-rom4-preset-0512-numbered-edit-buffer.syx", "kb1:DynamicGrand", 14, 4, -96, 0, 1, 127, 872, 242},
        // counts 52, 19, ...
        {"p2k-init-open-loop.syx", "   :untitled    ", 14, 4, -96, 0, 0, 127, 864, 244},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.capture);
        auto h = sim::Harness::fromJson(R"({"base": "full"})");
        ASSERT_TRUE(h);
        const std::vector<QByteArray> upload = Upload(row.capture, -1);
        Send(*h, upload);

        QByteArray name;
        for (int i = 0; i < 16; ++i)
            name.append(char(Value(*h, kNameChar0 + i)));
        EXPECT_EQ(name, QByteArray(row.name));
        EXPECT_EQ(Value(*h, kFxAAlgorithm), row.fxA);
        EXPECT_EQ(Value(*h, kRiffRomId), row.riffRom);
        EXPECT_EQ(Value(*h, kLayerVolume, 1), row.volume1);
        EXPECT_EQ(Value(*h, kLayerPan, 1), row.pan1);
        EXPECT_EQ(Value(*h, kLayerInstrument, 2), row.instrument2);
        EXPECT_EQ(Value(*h, kLayerKeyHigh, 3), row.keyHigh3);

        // Read back, nothing edited: the upload exactly.
        EXPECT_EQ(HexOf(EditBuffer(*h)), HexOf(upload));

        // Layer 2's volume and the name's first character edited: their bytes
        // and the checksums of their packets change, nothing else.
        h->exchange(Edit(kLayerSelect, 2));
        h->exchange(Edit(kLayerVolume, -20));
        h->exchange(Edit(kNameChar0, 'Z'));
        std::vector<QByteArray> expected = upload;
        const int message = 1 + row.volume2At / row.perPacket;
        const int at = 9 + row.volume2At % row.perPacket;
        expected[std::size_t(message)].replace(at, 2, Pair(-20));
        expected[1][9] = 'Z';
        for (int i : {1, message}) {
            QByteArray& packet = expected[std::size_t(i)];
            int sum = 0;
            for (qsizetype k = 9; k < packet.size() - 2; ++k)
                sum += uchar(packet[k]);
            packet[packet.size() - 2] = char(~sum & 0x7F);
        }
        EXPECT_EQ(HexOf(EditBuffer(*h)), HexOf(expected));
    }
}

TEST(SimEditBuffer, AnUploadIntoAUserPresetLeavesTheEditBufferAlone)
{
    auto h = sim::Harness::fromJson(R"({"base": "full"})");
    ASSERT_TRUE(h);
    const std::vector<QByteArray> before = EditBuffer(*h);
    ASSERT_FALSE(before.empty());
    Send(*h, Upload("a2k-user-preset-0000.syx", 5));
    EXPECT_EQ(Value(*h, kNameChar0), 'I'); // "Init Preset"
    EXPECT_EQ(Value(*h, kLayerInstrument, 2), 0);
    EXPECT_EQ(HexOf(EditBuffer(*h)), HexOf(before));
}

TEST(SimEditBuffer, CountsThatDisagreeWithThePayloadTakeOnlyWhatTheyReachAndKeepEveryByte)
{
    struct Row {
        const char* name;
        int countAt;     ///< which of the ten counts is changed
        int count;
        int instrument1; ///< layer 1's instrument (29 in the capture) afterwards
        int instrument3; ///< layer 3's (12 in the capture)
    };
    const Row rows[] = {
        {"two layers", 4, 2, 29, 0},
        {"layers far past the payload", 4, 8191, 29, 12},
        {"a negative count", 1, -1, 0, 0},
        {"a preset section far past the payload", 0, 8000, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto h = sim::Harness::fromJson(R"({"base": "full"})");
        ASSERT_TRUE(h);
        std::vector<QByteArray> upload = Upload("a2k-user-preset-0000.syx", -1);
        upload[0].replace(13 + 2 * row.countAt, 2, Pair(row.count));
        Send(*h, upload);
        EXPECT_EQ(Value(*h, kLayerInstrument, 1), row.instrument1);
        EXPECT_EQ(Value(*h, kLayerInstrument, 3), row.instrument3);
        EXPECT_EQ(HexOf(EditBuffer(*h)), HexOf(upload));
    }
}
