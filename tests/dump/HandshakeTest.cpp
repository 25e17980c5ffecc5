// Dump handshakes on the wire and the flattening of a preset dump.
#include "DumpSimTest.h"

#include "dump/PresetDumpFormat.h"
#include "module/Proteus.h"

namespace dumptest {
namespace {

class HandshakeTest : public DumpSimTest {};

TEST_F(HandshakeTest, EachCodeGoesOutAsSevenBytesWithTheCurrentDeviceId)
{
    StartDumps({.deviceId = 0x21});
    const struct {
        int code;
        const char* wire;
    } rows[] = {
        {HANDSHAKE_EOF, "F0 18 0F 21 55 7B F7"},    {HANDSHAKE_WAIT, "F0 18 0F 21 55 7C F7"},
        {HANDSHAKE_CANCEL, "F0 18 0F 21 55 7D F7"}, {HANDSHAKE_NAK, "F0 18 0F 21 55 7E F7"},
        {HANDSHAKE_ACK, "F0 18 0F 21 55 7F F7"},
    };
    for (const auto& row : rows)
        EXPECT_TRUE(proteus->SendHandshake(row.code));
    const Messages sent = ToModule();
    ASSERT_EQ(sent.size(), std::size(rows));
    for (std::size_t i = 0; i < std::size(rows); ++i)
        EXPECT_EQ(sent[i], sim::Hex(rows[i].wire)) << rows[i].wire;
}

TEST_F(HandshakeTest, ClosedPortFailsAndLogsTheCodeInDecimal)
{
    proteus->ClosePort();
    EXPECT_FALSE(proteus->SendHandshake(HANDSHAKE_CANCEL));
    EXPECT_TRUE(Log().Contains(QStringLiteral("Failed to send handshake request 125")));
    EXPECT_TRUE(ToModule().empty());
}

TEST(ParseHandshake, AcceptsTheShortFormAndTheFormWithAPacketNumber)
{
    const struct {
        const char* name;
        const char* bytes;
        int code;
        int packet;
    } rows[] = {
        {"short ACK", "F0 18 0F 05 55 7F F7", HANDSHAKE_ACK, -1},
        {"short EOF", "F0 18 0F 05 55 7B F7", HANDSHAKE_EOF, -1},
        {"numbered NAK", "F0 18 0F 05 55 7E 03 01 F7", HANDSHAKE_NAK, 131},
        {"numbered ACK 0", "F0 18 0F 05 55 7F 00 00 F7", HANDSHAKE_ACK, 0},
        {"other device", "F0 18 0F 06 55 7F F7", -1, -1},
        {"not a handshake code", "F0 18 0F 05 55 10 F7", -1, -1},
        {"one number byte", "F0 18 0F 05 55 7F 03 F7", -1, -1},
        {"no end", "F0 18 0F 05 55 7F 00", -1, -1},
        {"longer message", "F0 18 0F 05 55 7F 01 02 03 F7", -1, -1},
        {"empty", "", -1, -1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QByteArray b = sim::Hex(row.bytes);
        int packet = 99;
        EXPECT_EQ(Proteus::ParseHandshake({reinterpret_cast<const std::uint8_t*>(b.constData()), std::size_t(b.size())},
                                          5, &packet),
                  row.code);
        EXPECT_EQ(packet, row.packet);
    }
}

TEST(ConvertBlocksToBlock, JoinsTheHeaderAndEveryPayloadOfARealDump)
{
    for (const char* name : {"a2k-user-preset-0000.syx", "cs-rom4-preset-0000.syx"}) {
        SCOPED_TRACE(name);
        const Messages dump = Capture(QString::fromLatin1(name));
        ASSERT_GT(dump.size(), 2u);
        QByteArray expected = dump[0].chopped(1);
        for (std::size_t i = 1; i < dump.size(); ++i)
            expected += dump[i].mid(9, dump[i].size() - 11);
        expected += char(0xF7);

        const TPtr<_ByteBlock> flat = Proteus::ConvertBlocksToBlock(ToBlocks(dump));
        ASSERT_TRUE(flat);
        EXPECT_EQ(flat->ToByteArray(), expected);
        // Header without F7, the payload the header announces, one F7.
        const long announced = PresetHeaderByteCount(ToBlocks(dump).front()->Bytes());
        EXPECT_EQ(long(flat->Size()), 35 + announced + 1);
    }
}

TEST(ConvertBlocksToBlock, RefusesBlocksTooShortForWhatIsCutFromThem)
{
    const Messages dump = Capture(QStringLiteral("a2k-user-preset-0000.syx"));
    ASSERT_GT(dump.size(), 2u);
    const struct {
        const char* name;
        Messages blocks;
    } rows[] = {
        {"empty list", {}},
        {"short header", {dump[0].left(20), dump[1]}},
        {"ten-byte packet", {dump[0], dump[1], sim::Hex("F0 18 0F 00 55 10 02 02 00 F7")}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_FALSE(Proteus::ConvertBlocksToBlock(ToBlocks(row.blocks)));
    }
    // The smallest packet has an empty payload.
    const TPtr<_ByteBlock> flat =
        Proteus::ConvertBlocksToBlock(ToBlocks({dump[0], sim::Hex("F0 18 0F 00 55 10 02 01 00 7F F7")}));
    ASSERT_TRUE(flat);
    EXPECT_EQ(flat->ToByteArray(), dump[0]);
}

} // namespace
} // namespace dumptest
