// Preset download against the simulated module: whole presets by both
// protocols from the real captures, the faults a module or a line can make,
// and sections.
#include "DumpSimTest.h"

#include "module/Proteus.h"

namespace dumptest {
namespace {

using sim::DumpFault;
using sim::DumpFaultKind;

constexpr char kClosedRequestUser0[] = "F0 18 0F 00 55 11 02 00 00 00 00 F7";
constexpr char kAck[] = "F0 18 0F 00 55 7F F7";
constexpr char kNak[] = "F0 18 0F 00 55 7E F7";
constexpr char kCancel[] = "F0 18 0F 00 55 7D F7";
constexpr char kEditBufferLayer[] = "F0 18 0F 00 55 11 22 7F 7F 00 00 00 00 F7";

class PresetDownloadTest : public DumpSimTest {
protected:
    bool Download(int sub, int rom, int preset, ByteBlockList& blocks)
    {
        return proteus->DownloadPreset(sub, rom, preset, 0, false, blocks);
    }
};

TEST_F(PresetDownloadTest, RealCapturesComeBackByteForByteInBothProtocols)
{
    // The module serves the captures in the closed-loop form it keeps; an
    // open-loop request streams the same messages with sub-codes 03 and 04.
    const struct {
        const char* capture;
        int rom;
        int preset;
    } rows[] = {
        {"a2k-user-preset-0000.syx", 0, 0}, // 52/18, packets of 244
        {"p2k-init-open-loop.syx", 0, 1},   // 52/19, saved from an open-loop dump
        {"cs-rom4-preset-0000.syx", 4, 0},  // 56/19, packets of 242
    };
    for (const int sub : {2, 4}) {
        for (const auto& row : rows) {
            SCOPED_TRACE(QStringLiteral("%1 sub %2").arg(QLatin1String(row.capture)).arg(sub).toStdString());
            StartDumps({.sysExDelay = 500}); // real pacing: several packets arrive in one pause
            const Messages capture = Capture(QString::fromLatin1(row.capture));
            ASSERT_FALSE(capture.empty());
            ByteBlockList blocks;
            ASSERT_TRUE(Download(sub, row.rom, row.preset, blocks)) << TranscriptText().toStdString();
            EXPECT_EQ(ToMessages(blocks), sub == 2 ? ClosedLoop(capture) : OpenLoop(capture));
            EXPECT_TRUE(Boxes().isEmpty());
            // Closed loop answers every message, header included; open loop none.
            EXPECT_EQ(SentCount(kAck), sub == 2 ? int(capture.size()) : 0);
            EXPECT_EQ(SentCount(kNak) + SentCount(kCancel), 0);
        }
    }
}

TEST_F(PresetDownloadTest, ConversationOnTheWire)
{
    ByteBlockList blocks;
    ASSERT_TRUE(Download(2, 0, 0, blocks));
    const Messages sent = ToModule();
    Messages expected{sim::Hex(kClosedRequestUser0)};
    for (int i = 0; i < 8; ++i) // header and seven packets
        expected.push_back(sim::Hex(kAck));
    // Another preset than the basic channel's was dumped: the edit buffer is asked for again.
    expected.push_back(sim::Hex(kEditBufferLayer));
    EXPECT_EQ(sent, expected);

    // Asking for the edit buffer itself needs no follow-up.
    StartDumps({});
    ByteBlockList edit;
    ASSERT_TRUE(Download(2, 0, -1, edit));
    EXPECT_EQ(ToModule().front(), sim::Hex("F0 18 0F 00 55 11 02 7F 7F 00 00 F7"));
    EXPECT_EQ(SentCount(kEditBufferLayer), 0);
}

TEST_F(PresetDownloadTest, ClosedLoopFaults)
{
    const Messages capture = ClosedLoop(Capture(QStringLiteral("a2k-user-preset-0000.syx")));
    ASSERT_EQ(capture.size(), 8u);
    const struct {
        const char* name;
        std::vector<DumpFault> dumpFaults;
        std::vector<sim::Fault> lineFaults;
        bool ok;
        int naks;
        int cancels;
        const char* reason; // the box's text, when it fails
    } rows[] = {
        {"wrong checksum, resent", {{DumpFaultKind::WrongChecksum, 2}}, {}, true, 1, 0, nullptr},
        {"repeated packet", {{DumpFaultKind::RepeatPacket, 3}}, {}, true, 1, 0, nullptr},
        {"skipped packet", {{DumpFaultKind::SkipPacket, 2}}, {}, true, 1, 0, nullptr},
        {"two bad, a good one, two bad",
         {{DumpFaultKind::WrongChecksum, 2, 2}, {DumpFaultKind::WrongChecksum, 3, 2}}, {}, true, 4, 0, nullptr},
        {"three bad in a row", {{DumpFaultKind::WrongChecksum, 2, 3}}, {}, false, 3, 1,
         "Failed to dump preset with invalid dump response"},
        {"early EOF", {{DumpFaultKind::EarlyEof, 3}}, {}, false, 0, 0,
         "Failed to dump preset with 488 data bytes received where the header announced 1492"},
        {"EOF missing", {{DumpFaultKind::NoEof, 8}}, {}, false, 0, 1,
         "Failed to dump preset with failed to get dump request response"},
        {"module cancels", {{DumpFaultKind::Cancel, 4}}, {}, false, 0, 1,
         "Failed to dump preset with invalid dump response code"},
        {"silence after an ACK", {}, {sim::Fault::Silence().on(0x7F).nth(3)}, false, 0, 1,
         "Failed to dump preset with failed to get dump request response"},
        {"module error for the request", {}, {sim::Fault::ModuleError(9).on(0x11)}, false, 0, 1,
         "Failed to dump preset with invalid dump response"},
        {"header cut short", {}, {sim::Fault::Truncate(20, true).on(0x11)}, false, 0, 1,
         "Failed to dump preset with a preset header of 21 bytes, shorter than 36"},
        {"packet cut short", {}, {sim::Fault::Truncate(10, true).on(0x7F).nth(2)}, true, 1, 0, nullptr},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({});
        OnDumps([&](sim::DumpState& d) { d.faults = row.dumpFaults; });
        for (const sim::Fault& f : row.lineFaults)
            AddFault(f);
        ByteBlockList blocks{MakeByteBlock(QByteArray("kept"))};
        const bool ok = proteus->_DownloadPreset(2, 0, 0, 0, false, blocks);
        EXPECT_EQ(ok, row.ok) << TranscriptText().toStdString();
        if (row.ok) {
            Messages expected{QByteArray("kept")};
            expected.insert(expected.end(), capture.begin(), capture.end());
            EXPECT_EQ(ToMessages(blocks), expected);
            EXPECT_TRUE(Boxes().isEmpty());
        } else {
            // A failed download adds nothing to what the caller held.
            EXPECT_EQ(ToMessages(blocks), Messages{QByteArray("kept")});
            EXPECT_EQ(Boxes(), QStringList{QString::fromLatin1(row.reason)});
        }
        EXPECT_EQ(SentCount(kNak), row.naks);
        EXPECT_EQ(SentCount(kCancel), row.cancels);
    }
}

TEST_F(PresetDownloadTest, ChecksumSevenFIsAcceptedWhateverTheSum)
{
    OnDumps([](sim::DumpState& d) { d.faults = {{DumpFaultKind::Checksum7F, 3}}; });
    ByteBlockList blocks;
    ASSERT_TRUE(proteus->_DownloadPreset(2, 0, 0, 0, false, blocks));
    Messages expected = ClosedLoop(Capture(QStringLiteral("a2k-user-preset-0000.syx")));
    ASSERT_NE(uchar(expected[3][expected[3].size() - 2]), 0x7F);
    expected[3][expected[3].size() - 2] = char(0x7F);
    EXPECT_EQ(ToMessages(blocks), expected);
    EXPECT_EQ(SentCount(kNak), 0);
}

TEST_F(PresetDownloadTest, DisconnectMidDumpFailsAndKeepsNothing)
{
    AddFault(sim::Fault::Disconnect().on(0x7F).nth(3));
    ByteBlockList blocks;
    EXPECT_FALSE(proteus->_DownloadPreset(2, 0, 0, 0, false, blocks));
    EXPECT_TRUE(blocks.empty());
    ASSERT_EQ(Boxes().size(), 1);
    EXPECT_TRUE(Boxes().front().startsWith(QStringLiteral("Failed to dump preset with")));
}

TEST_F(PresetDownloadTest, OpenLoopEndsOnTheAnnouncedByteCount)
{
    // 488 bytes are two full packets: the stream has no short last packet.
    const struct {
        const char* name;
        bool eof;
    } rows[] = {{"no EOF", false}, {"EOF after the stream", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({.profileJson = QByteArray(R"({"base": "full", "dumps": {"generatedPayload": 488, "openLoopEof": )")
                        + (row.eof ? "true" : "false") + "}}"});
        ByteBlockList first;
        ASSERT_TRUE(proteus->_DownloadPreset(4, 0, 7, 0, false, first)) << TranscriptText().toStdString();
        ASSERT_EQ(first.size(), 3u);
        EXPECT_EQ(first[1]->Size(), 255u);
        EXPECT_EQ(first[2]->Size(), 255u);
        // An EOF that follows is not taken for the end of the next dump.
        ByteBlockList second;
        ASSERT_TRUE(proteus->_DownloadPreset(4, 0, 8, 0, false, second)) << TranscriptText().toStdString();
        EXPECT_EQ(second.size(), 3u);
        EXPECT_NE(ToMessages(first), ToMessages(second));
        EXPECT_TRUE(Boxes().isEmpty());
    }
}

TEST_F(PresetDownloadTest, OpenLoopBadPacketEndsInCancelBecauseTheStreamGoesOn)
{
    OnDumps([](sim::DumpState& d) { d.faults = {{DumpFaultKind::WrongChecksum, 2}}; });
    ByteBlockList blocks;
    EXPECT_FALSE(proteus->_DownloadPreset(4, 0, 0, 0, false, blocks));
    EXPECT_EQ(SentCount(kNak), 3);
    EXPECT_EQ(SentCount(kCancel), 1);
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("Failed to dump preset with invalid dump response")});
    EXPECT_TRUE(blocks.empty());
}

TEST_F(PresetDownloadTest, WithoutTheCapabilityNothingIsSent)
{
    const struct {
        const char* name;
        int sub;
        std::uint32_t capabilities;
    } rows[] = {
        {"whole preset without 0x100", 2, kAllDumps & ~CAP_PRESET_DUMPS},
        {"open loop without 0x100", 4, kAllDumps & ~CAP_PRESET_DUMPS},
        {"section without 0x1000", 0x21, kAllDumps & ~CAP_SYSEX_DUMPS},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({}, row.capabilities);
        ByteBlockList blocks;
        EXPECT_FALSE(proteus->_DownloadPreset(row.sub, 0, 0, 0, false, blocks));
        EXPECT_TRUE(ToModule().empty());
        EXPECT_TRUE(Boxes().isEmpty());
    }
}

TEST_F(PresetDownloadTest, SectionIsOneMessageWithoutHandshake)
{
    ByteBlockList blocks;
    ASSERT_TRUE(proteus->_DownloadPreset(0x21, 4, 3, 2, false, blocks));
    EXPECT_EQ(ToModule(), Messages{sim::Hex("F0 18 0F 00 55 11 21 03 00 02 00 04 00 F7")});
    ASSERT_EQ(blocks.size(), 1u);
    const QByteArray got = blocks[0]->ToByteArray();
    EXPECT_TRUE(got.startsWith(sim::Hex("F0 18 0F 00 55 10 21 03 00 02 00 04 00")));
    EXPECT_EQ(uchar(got.back()), 0xF7);

    StartDumps({});
    ByteBlockList preset;
    ASSERT_TRUE(proteus->_DownloadPreset(0x10, 0, 5, 0, false, preset));
    EXPECT_EQ(ToModule(), Messages{sim::Hex("F0 18 0F 00 55 11 10 05 00 00 00 F7")});

    StartDumps({});
    AddFault(sim::Fault::ModuleError(3).on(0x11));
    ByteBlockList refused;
    EXPECT_FALSE(proteus->_DownloadPreset(0x21, 0, 0, 0, false, refused));
    EXPECT_TRUE(refused.empty());
    EXPECT_EQ(Boxes(), QStringList{QStringLiteral("Failed to reading sysex data with Failed to recive the incoming dump")});
}

TEST_F(PresetDownloadTest, WhileWarningsAreSuppressedFailuresAreOnlyLogged)
{
    AddFault(sim::Fault::Silence().on(0x11));
    ByteBlockList blocks;
    {
        Proteus::SuppressWarningMessages quiet(proteus.get());
        EXPECT_FALSE(proteus->_DownloadPreset(2, 0, 0, 0, false, blocks));
    }
    EXPECT_TRUE(Boxes().isEmpty());
    EXPECT_TRUE(Log().Contains(QStringLiteral("Failed to dump preset with failed to get dump request response")));
}

TEST_F(PresetDownloadTest, ProgressCoversTheWholeDumpWhenAsked)
{
    proteustest::RecordingListener listener;
    proteus->AddListener(&listener);
    ByteBlockList blocks;
    ASSERT_TRUE(proteus->_DownloadPreset(2, 0, 0, 0, true, blocks));
    QStringList expected{QStringLiteral("begin 0 10 Dumping Preset 0:0")};
    for (int i = 0; i < 8; ++i)
        expected << QStringLiteral("step");
    expected << QStringLiteral("end");
    QStringList progress;
    for (const QString& call : listener.calls)
        if (!call.startsWith(QStringLiteral("sysex")))
            progress << call;
    EXPECT_EQ(progress, expected);
    proteus->RemoveListener(&listener);
}

} // namespace
} // namespace dumptest
