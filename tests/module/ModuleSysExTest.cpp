// Module SysEx framing, 14-bit numbers and MIDI message lengths.
#include "module/ModuleSysEx.h"
#include "sim/SysExHex.h"

#include <gtest/gtest.h>

#include <optional>
#include <vector>

using sim::Hex;

namespace {

std::vector<std::uint8_t> Bytes(const char* hex)
{
    const QByteArray b = Hex(hex);
    return std::vector<std::uint8_t>(b.begin(), b.end());
}

QByteArray ToBytes(const SysExMessage& m)
{
    return QByteArray(reinterpret_cast<const char*>(m.Data()), qsizetype(m.Length()));
}

} // namespace

TEST(SysExValue14, EncodesTheRepresentableRangeAndRefusesTheRest)
{
    struct Row {
        const char* name;
        int value;
        std::optional<const char*> bytes; // nullopt: refused
    } rows[] = {
        {"zero", 0, "00 00"},
        {"largest 7-bit", 127, "7F 00"},
        {"carry into the high byte", 128, "00 01"},
        {"largest", 8191, "7F 3F"},
        {"minus one", -1, "7F 7F"},
        {"smallest", -8192, "00 40"},
        {"one above the range", 8192, std::nullopt},
        {"one below the range", -8193, std::nullopt},
        {"far out", 100000, std::nullopt},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::uint8_t out[2] = {0xEE, 0xEE};
        const bool fits = SysExValue14::Encode(row.value, out);
        ASSERT_EQ(fits, row.bytes.has_value());
        if (!fits) {
            EXPECT_EQ(out[0], 0xEE); // nothing written
            EXPECT_EQ(out[1], 0xEE);
            continue;
        }
        EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(out), 2), Hex(*row.bytes));
        EXPECT_LT(out[0], 0x80);
        EXPECT_LT(out[1], 0x80);
        EXPECT_EQ(SysExValue14::Decode(out[0], out[1]), row.value);
    }
}

TEST(SysExValue14, ReadsOnlyInsideTheData)
{
    const std::vector<std::uint8_t> data = Bytes("05 7F 7F 00 40");
    int v = 42;
    EXPECT_TRUE(SysExValue14::Read(data, 1, v));
    EXPECT_EQ(v, -1);
    EXPECT_TRUE(SysExValue14::Read(data, 3, v));
    EXPECT_EQ(v, -8192);
    v = 42;
    EXPECT_FALSE(SysExValue14::Read(data, 4, v)); // one byte left
    EXPECT_FALSE(SysExValue14::Read(data, 9, v));
    EXPECT_EQ(v, 42);
    // The top bit is no part of the number.
    EXPECT_EQ(SysExValue14::Decode(0x81, 0x80), 1);
}

TEST(ModuleSysExMessage, FramesTheCommandAndRefusesWhatWouldCorruptIt)
{
    ModuleSysExMessage request(5, CMD_PARAMETER_REQUEST);
    request.AddByte(1).AddValue14(257);
    EXPECT_TRUE(request.IsValid());
    EXPECT_EQ(ToBytes(request), Hex("F0 18 0F 05 55 02 01 01 02 F7"));

    ModuleSysExMessage edit(0x7F, CMD_PARAMETER_EDIT);
    edit.AddByte(2).AddValue14(388).AddValue14(-1);
    EXPECT_EQ(ToBytes(edit), Hex("F0 18 0F 7F 55 01 02 04 03 7F 7F F7"));

    struct Row {
        const char* name;
        int deviceId;
        int command;
        int byte;
        int value;
    } refused[] = {
        {"device id above 127", 128, CMD_PARAMETER_REQUEST, 1, 0},
        {"negative device id", -1, CMD_PARAMETER_REQUEST, 1, 0},
        {"command with the top bit", 0, 0x80, 1, 0},
        {"data byte with the top bit", 0, CMD_PARAMETER_REQUEST, 0x80, 0},
        {"number above 8191", 0, CMD_PARAMETER_REQUEST, 1, 8192},
        {"number below -8192", 0, CMD_PARAMETER_REQUEST, 1, -8193},
    };
    for (const Row& row : refused) {
        SCOPED_TRACE(row.name);
        ModuleSysExMessage m(row.deviceId, row.command);
        m.AddByte(row.byte).AddValue14(row.value);
        EXPECT_FALSE(m.IsValid());
        EXPECT_FALSE(m.Error().isEmpty());
        m.AddByte(1); // stays invalid
        EXPECT_FALSE(m.IsValid());
        // Whatever was built, no byte between F0 and F7 has its top bit set.
        for (unsigned i = 1; i + 1 < m.Length(); ++i)
            EXPECT_LT(m.Data()[i], 0x80) << i;
    }
}

TEST(GetMessageLength, MeasuresEachMessageWithinTheReceivedData)
{
    struct Row {
        const char* name;
        const char* data;
        int length;
    } rows[] = {
        {"SysEx up to its F7", "F0 01 02 F7 90 3C 40", 4},
        {"SysEx without F7 runs to the end", "F0 18 0F 00 55 01", 6},
        {"note on", "90 3C 40 F0", 3},
        {"program change", "C0 05 90", 2},
        {"pitch wheel", "E0 00 40", 3},
        {"F1 takes two bytes", "F1 05 F8", 2},
        {"song position", "F2 01 02", 3},
        {"song select", "F3 01", 2},
        {"clock", "F8 F8", 1},
        {"stray data byte alone", "05 06", 1},
        {"stray F7 alone", "F7 F0", 1},
        {"note on cut short by the end", "90 3C", 2},
        {"F1 cut short by the end", "F1", 1},
        {"nothing", "", 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        // Exactly as long as the data, so a read past it is caught.
        const std::vector<std::uint8_t> data = Bytes(row.data);
        const std::uint8_t* begin = data.data();
        EXPECT_EQ(GetMessageLength(begin, begin + data.size()), row.length);
    }
}

TEST(IsModuleErrorReply, NeedsTheWholeErrorHeadAndTheDeviceId)
{
    const std::vector<std::uint8_t> error = Bytes("F0 18 0F 05 55 70 02 00 01 00 F7");
    EXPECT_TRUE(IsModuleErrorReply(error.data(), error.size(), 5));
    EXPECT_FALSE(IsModuleErrorReply(error.data(), error.size(), 6));
    EXPECT_FALSE(IsModuleErrorReply(error.data(), 9, 5)); // sub-code cut off
    const std::vector<std::uint8_t> reply = Bytes("F0 18 0F 05 55 01 02 00 01 00 F7");
    EXPECT_FALSE(IsModuleErrorReply(reply.data(), reply.size(), 5));
}
