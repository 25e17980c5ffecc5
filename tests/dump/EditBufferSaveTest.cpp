// The edit-buffer save against the simulated module: the module's own dump
// sent back under a new number, and the dump built from the parameter records
// on modules whose preset dumps do not work.
#include "DumpSimTest.h"

#include "dump/EditBufferSave.h"
#include "dump/PresetDumpFormat.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"

namespace dumptest {
namespace {

using sim::UploadAnswer;

constexpr char kEof[] = "F0 18 0F 00 55 7B F7";

/// The payload of a stored closed-loop dump (every packet's bytes between its head and its checksum).
QByteArray PayloadOf(const Messages& dump)
{
    QByteArray payload;
    for (std::size_t i = 1; i < dump.size(); ++i)
        payload += dump[i].mid(9, dump[i].size() - 11);
    return payload;
}

int Value14(const QByteArray& bytes, int at)
{
    const int v = (uchar(bytes[at]) & 0x7F) | ((uchar(bytes[at + 1]) & 0x7F) << 7);
    return v > 8191 ? v - 16384 : v;
}

std::vector<int> CountsOf(const QByteArray& header)
{
    std::vector<int> counts;
    for (int i = 0; i < 10; ++i)
        counts.push_back(Value14(header, 13 + 2 * i));
    return counts;
}

class EditBufferSaveTest : public DumpSimTest {
protected:
    /// The messages the host sent with sub-code 01 or 02 of the preset dump, in order.
    Messages PresetMessagesSent()
    {
        Messages out;
        for (const QByteArray& m : ToModule())
            if (m.size() > 6 && m[5] == 0x10 && (m[6] == 0x01 || m[6] == 0x02))
                out.push_back(m);
        return out;
    }
    Messages StoredPreset(int preset)
    {
        return OnDumps([&](sim::DumpState& d) {
            const auto it = d.presets.find({0, preset});
            return it == d.presets.end() ? Messages() : it->second;
        });
    }
};

TEST_F(EditBufferSaveTest, ModuleDumpGoesBackInFullPacketsWithRealChecksumsThenEof)
{
    const struct {
        const char* name;
        int payload;
        std::vector<int> packetSizes; ///< payload bytes of each packet sent
    } rows[] = {
        {"two full packets", 488, {244, 244}},
        {"one byte more", 489, {244, 244, 1}},
        {"header only", 0, {}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        // The module's own packets are 100 bytes: the save packs them anew.
        StartDumps({.profileJson = QByteArray(R"({"base": "full", "dumps": {"packetPayload": 100, "generatedPayload": )")
                        + QByteArray::number(row.payload) + "}}"});
        const Messages editBuffer = OnDumps([&](sim::DumpState&) { return sim::StoredPreset(*module, 0, -1); });
        ASSERT_FALSE(editBuffer.empty());

        proteustest::RecordingListener listener;
        proteus->AddListener(&listener);
        ASSERT_TRUE(proteus->SaveEditBuffer(300)) << TranscriptText().toStdString();
        proteus->RemoveListener(&listener);
        EXPECT_TRUE(listener.calls.contains(QStringLiteral("begin 0 20 Saving Edit buffer")));
        EXPECT_EQ(listener.calls.last(), QStringLiteral("end"));

        // What the module stored: the edit buffer's payload and counts under preset 300.
        const Messages stored = StoredPreset(300);
        ASSERT_EQ(stored.size(), row.packetSizes.size() + 1);
        EXPECT_EQ(PayloadOf(stored), PayloadOf(editBuffer));
        EXPECT_EQ(CountsOf(stored[0]), CountsOf(editBuffer[0]));
        QByteArray head = sim::Hex("F0 18 0F 00 55 10 01 2C 02");
        EXPECT_EQ(stored[0].left(9), head);
        EXPECT_EQ(stored[0].mid(33), sim::Hex("00 00 F7"));

        for (std::size_t i = 0; i < row.packetSizes.size(); ++i) {
            SCOPED_TRACE(i);
            const QByteArray& packet = stored[i + 1];
            ASSERT_EQ(packet.size(), row.packetSizes[i] + 11);
            EXPECT_EQ(Value14(packet, 7), int(i) + 1);
            const QByteArray body = packet.mid(9, row.packetSizes[i]);
            const int checksum = uchar(packet[packet.size() - 2]);
            if (row.packetSizes[i] == 244)
                EXPECT_EQ(checksum, sim::PacketChecksum(packet));
            else
                EXPECT_EQ(checksum, 0x7F);
        }
        EXPECT_EQ(SentCount(kEof), 1);
        EXPECT_TRUE(Boxes().isEmpty());
    }
}

TEST_F(EditBufferSaveTest, OnlyAckAndWaitLetTheSaveGoOn)
{
    const struct {
        const char* name;
        std::deque<UploadAnswer> answers;
        bool ok;
        int messagesSent; ///< header and packets
        const char* log;
    } rows[] = {
        {"WAITs between packets", {{UploadAnswer::Wait, 2}, {UploadAnswer::Verdict}, {UploadAnswer::Wait, 1}},
         true, 8, "Sent EOF"},
        {"a NAK is not answered by a resend", {{UploadAnswer::Verdict}, {UploadAnswer::Nak}}, false, 2,
         "Failed to save data to module"},
        {"an echo ends it too", {{UploadAnswer::Echo}}, false, 1, "Failed to save data to module"},
        {"the module cancels", {{UploadAnswer::Cancel}}, false, 1, "Failed to save data to module"},
        {"silence", {{UploadAnswer::Silence}}, false, 1, "No response downloading EDIT BUFFER when saving"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({});
        OnDumps([&](sim::DumpState& d) { d.uploadAnswers = row.answers; });
        EXPECT_EQ(proteus->SaveEditBuffer(7), row.ok) << TranscriptText().toStdString();
        // The download of the edit buffer sends no 10 01 / 10 02 of the host's own.
        EXPECT_EQ(int(PresetMessagesSent().size()), row.messagesSent);
        EXPECT_EQ(SentCount(kEof), row.ok ? 1 : 0);
        EXPECT_TRUE(Log().Contains(QString::fromLatin1(row.log)));
        EXPECT_EQ(StoredPreset(7).empty(), !row.ok);
        EXPECT_TRUE(Boxes().isEmpty()); // logged only
    }
}

TEST_F(EditBufferSaveTest, BuiltDumpCarriesEveryLayerAsTheModuleHoldsIt)
{
    const struct {
        const char* name;
        const char* profile;
        std::uint32_t capabilities;
        std::vector<int> counts;
        int payload;
    } rows[] = {
        {"minimal module", R"({"base": "minimal"})", 0, {52, 0, 16, 20, 4, 31, 3, 10, 42, 72}, 1456},
        {"16 controllers and arps", R"({"base": "full"})", CAP_16_CONTROLLERS | CAP_ARPS_AND_BEATS,
         {56, 19, 16, 20, 4, 31, 3, 10, 42, 72}, 1502},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({.profileJson = row.profile}, row.capabilities);
        // Each layer holds values of its own in the module; the editor's
        // records have never been asked, so only a re-read finds them.
        OnModule([](sim::Module& m) {
            for (int layer = 0; layer < 4; ++layer) {
                m.setParameterValue(LAYER_SELECT, layer);
                m.setParameterValue(1409, 100 + layer);
                m.setParameterValue(1439, 4 + layer);
                m.setParameterValue(1411, -(layer + 1));
                m.setParameterValue(1413, 10 * layer + 7);
                m.setParameterValue(1992, layer + 1);
            }
            m.setParameterValue(LAYER_SELECT, 2);
            return 0;
        });
        proteus->FindParameter(LAYER_SELECT)->value = 2;

        ASSERT_TRUE(proteus->SaveEditBuffer(9)) << TranscriptText().toStdString();
        const Messages stored = StoredPreset(9);
        ASSERT_FALSE(stored.empty());
        EXPECT_EQ(CountsOf(stored[0]), row.counts);
        const QByteArray payload = PayloadOf(stored);
        ASSERT_EQ(payload.size(), row.payload);
        EXPECT_EQ(PresetHeaderByteCount(std::span(reinterpret_cast<const std::uint8_t*>(stored[0].constData()),
                                                  std::size_t(stored[0].size()))),
                  row.payload);
        const int layersAt = 16 + 2 * (row.counts[0] + row.counts[1] + 16 + 20);
        for (int layer = 0; layer < 4; ++layer) {
            SCOPED_TRACE(layer);
            const int at = layersAt + layer * 316;
            EXPECT_EQ(Value14(payload, at), 100 + layer);               // 1409
            EXPECT_EQ(Value14(payload, at + 4), -(layer + 1));          // 1411, negative
            EXPECT_EQ(Value14(payload, at + 8), 10 * layer + 7);        // 1413
            EXPECT_EQ(Value14(payload, at + 60), 4 + layer);            // 1439: the ROM id of 1409
            EXPECT_EQ(Value14(payload, at + 62 + 6 + 20 + 2 * 39), 0);  // the unused place of 1832
            EXPECT_EQ(Value14(payload, at + 314), layer + 1);           // 1992
        }
        // The layer the user had is selected again, in the editor and in the module.
        EXPECT_EQ(proteus->FindParameter(LAYER_SELECT)->value, 2);
        EXPECT_EQ(OnModule([](sim::Module& m) { return m.parameterValue(LAYER_SELECT).value_or(-9); }), 2);
        EXPECT_EQ(SentCount(kEof), 1);
    }
}

TEST_F(EditBufferSaveTest, BuiltDumpIsNotSentWhenALayerCannotBeRead)
{
    StartDumps({.profileJson = R"({"base": "minimal"})"}, 0);
    OnModule([](sim::Module& m) { return m.setParameterValue(LAYER_SELECT, 1); });
    proteus->FindParameter(LAYER_SELECT)->value = 1;
    // The third layer's 1921 goes unanswered.
    AddFault(sim::Fault::Silence().on(0x02).forSubject(1921).nth(3));

    EXPECT_FALSE(proteus->SaveEditBuffer(9));
    EXPECT_TRUE(PresetMessagesSent().empty()); // nothing stale reaches the module
    EXPECT_TRUE(StoredPreset(9).empty());
    EXPECT_TRUE(Log().Contains(QStringLiteral("parameter 1921 of layer 3 could not be read")));
    EXPECT_EQ(proteus->FindParameter(LAYER_SELECT)->value, 1);
    EXPECT_EQ(OnModule([](sim::Module& m) { return m.parameterValue(LAYER_SELECT).value_or(-9); }), 1);
}

TEST(EditBufferDump, PacketsAndHeaderBytes)
{
    std::vector<std::uint8_t> payload(489);
    for (std::size_t i = 0; i < payload.size(); ++i)
        payload[i] = std::uint8_t(i & 0x7F);
    const ByteBlockList packets = BuildPresetDumpPackets(5, payload);
    ASSERT_EQ(packets.size(), 3u);
    EXPECT_EQ(packets[0]->ToByteArray().left(9), sim::Hex("F0 18 0F 05 55 10 02 01 00"));
    EXPECT_EQ(packets[2]->ToByteArray(), sim::Hex("F0 18 0F 05 55 10 02 03 00 68 7F F7"));
    EXPECT_EQ(packets[1]->Size(), 255u);
    EXPECT_TRUE(BuildPresetDumpPackets(5, {}).empty());

    const int counts[10] = {52, 0, 16, 20, 4, 31, 3, 10, 42, -1};
    EXPECT_EQ(BuildPresetDumpHeader(5, -1, 1456, counts)->ToByteArray(),
              sim::Hex("F0 18 0F 05 55 10 01 7F 7F 30 0B 00 00 34 00 00 00 10 00 14 00 04 00 1F 00 03 00 0A 00 "
                       "2A 00 7F 7F 00 00 F7"));
}

} // namespace
} // namespace dumptest
