// Preset upload and the round trip module -> file -> module against the
// simulated module, with the real captures.
#include "DumpSimTest.h"

#include "dump/LayerChooser.h"
#include "module/Proteus.h"

#include <QTemporaryDir>

namespace dumptest {
namespace {

using sim::UploadAnswer;

constexpr char kCancel[] = "F0 18 0F 00 55 7D F7";
constexpr char kEof[] = "F0 18 0F 00 55 7B F7";

class PresetUploadTest : public DumpSimTest {
protected:
    /// Messages the host sent with the whole-preset sub-code sub.
    int SentWithSub(int sub)
    {
        int n = 0;
        for (const QByteArray& m : ToModule())
            n += m.size() > 6 && m[5] == 0x10 && m[6] == char(sub) ? 1 : 0;
        return n;
    }
    Messages LastAccepted()
    {
        return OnDumps([](sim::DumpState& d) { return d.acceptedUploads.empty() ? Messages() : d.acceptedUploads.back(); });
    }

    QTemporaryDir dir;
};

const struct CaptureRow {
    const char* capture;
    int rom;
    int preset;
} kCaptures[] = {
    {"a2k-user-preset-0000.syx", 0, 0},
    {"p2k-init-open-loop.syx", 0, 1},
    {"cs-rom4-preset-0000.syx", 4, 0},
    {"cs-rom4-preset-0512-numbered-edit-buffer.syx", -1, -1}, // only from the file
};

TEST_F(PresetUploadTest, RoundTripModuleFileModuleIsByteExact)
{
    for (const CaptureRow& row : kCaptures) {
        if (row.rom < 0)
            continue;
        SCOPED_TRACE(row.capture);
        StartDumps({});
        const Messages capture = ClosedLoop(Capture(QString::fromLatin1(row.capture)));
        ByteBlockList downloaded;
        ASSERT_TRUE(proteus->DownloadPreset(2, row.rom, row.preset, 0, false, downloaded));

        const QString path = dir.filePath(QStringLiteral("Preset.sysex"));
        OleProps written;
        written.title = QStringLiteral("Preset title");
        written.comments = QStringLiteral("A comment");
        ASSERT_TRUE(proteus->WriteSysExFile(path, downloaded, written));
        ByteBlockList read;
        OleProps props;
        ASSERT_TRUE(proteus->ReadSysExFile(path, read, props));
        EXPECT_EQ(ToMessages(read), capture);
        EXPECT_EQ(props.title, written.title);
        EXPECT_EQ(props.comments, written.comments);

        // Back into the slot its header names (user preset 0 for all three).
        ASSERT_TRUE(proteus->UploadPreset(false, 0, 0, read)) << TranscriptText().toStdString();
        EXPECT_EQ(LastAccepted(), capture);
        EXPECT_EQ(SentCount(kEof), 1);
        EXPECT_EQ(SentCount(kCancel), 0);
        ByteBlockList again;
        ASSERT_TRUE(proteus->DownloadPreset(2, 0, 0, 0, false, again));
        EXPECT_EQ(ToMessages(again), capture);
        EXPECT_TRUE(Boxes().isEmpty());
    }
}

TEST_F(PresetUploadTest, EveryCaptureFileUploadsClosedLoopRenumberedAndUnderTheCurrentId)
{
    StartDumps({.deviceId = 5});
    for (const CaptureRow& row : kCaptures) {
        SCOPED_TRACE(row.capture);
        ByteBlockList blocks;
        OleProps props;
        ASSERT_TRUE(proteus->ReadSysExFile(QDir(sim::CapturesFolder()).filePath(QString::fromLatin1(row.capture)),
                                           blocks, props));
        ASSERT_TRUE(proteus->UploadPreset(true, 300, 0, blocks)) << TranscriptText().toStdString();
        // Closed-loop sub-codes, this module's id, preset 300 (2C 02) and the field at 33-34 cleared.
        Messages expected = WithByte(ClosedLoop(Capture(QString::fromLatin1(row.capture))), 3, 5);
        expected[0][7] = char(0x2C);
        expected[0][8] = char(0x02);
        expected[0][33] = 0;
        expected[0][34] = 0;
        EXPECT_EQ(LastAccepted(), expected);
        // The list keeps the bytes as they were sent.
        EXPECT_EQ(ToMessages(blocks), expected);
        EXPECT_EQ(OnDumps([](sim::DumpState& d) { return d.presets.at({0, 300}); }), expected);
    }
}

TEST_F(PresetUploadTest, HandshakesFromTheModule)
{
    const Messages capture = Capture(QStringLiteral("a2k-user-preset-0000.syx"));
    const struct {
        const char* name;
        std::deque<UploadAnswer> answers;
        std::vector<sim::Fault> lineFaults;
        bool numbered;
        bool ok;
        int headersSent;
        int cancels;
        const char* reason;
    } rows[] = {
        {"short ACKs", {}, {}, false, true, 1, 0, nullptr},
        {"numbered ACKs", {}, {}, true, true, 1, 0, nullptr},
        {"NAK three times, then ACK",
         {{UploadAnswer::Nak}, {UploadAnswer::Nak}, {UploadAnswer::Nak}}, {}, true, true, 4, 0, nullptr},
        {"NAK on a packet", {{UploadAnswer::Verdict}, {UploadAnswer::Nak}}, {}, false, true, 1, 0, nullptr},
        {"WAIT is waited through",
         {{UploadAnswer::Wait, 2}, {UploadAnswer::Verdict}, {UploadAnswer::Wait, 1}}, {}, true, true, 1, 0, nullptr},
        {"NAK four times",
         {{UploadAnswer::Nak}, {UploadAnswer::Nak}, {UploadAnswer::Nak}, {UploadAnswer::Nak}}, {}, true, false, 4, 1,
         "Failed to upload preset with module NAkd more than three times on a single block"},
        {"module cancels", {{UploadAnswer::Verdict}, {UploadAnswer::Cancel}}, {}, true, false, 1, 0,
         "Failed to upload preset with module cancelled upload"},
        {"the block echoed for ever",
         {{UploadAnswer::Echo}, {UploadAnswer::Echo}, {UploadAnswer::Echo}, {UploadAnswer::Echo}}, {}, true, false, 4, 1,
         "Failed to upload preset with module answered a block with no handshake"},
        {"silence", {{UploadAnswer::Silence}}, {}, true, false, 1, 1,
         "Failed to upload preset with failed to wait for response"},
        {"module error", {}, {sim::Fault::ModuleError(4).on(0x10).nth(2)}, true, false, 1, 1,
         "Failed to upload preset with failed to wait for response"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({.profileJson = QByteArray(R"({"base": "full", "dumps": {"numberedHandshakes": )")
                        + (row.numbered ? "true" : "false") + "}}"});
        OnDumps([&](sim::DumpState& d) { d.uploadAnswers = row.answers; });
        for (const sim::Fault& f : row.lineFaults)
            AddFault(f);
        ByteBlockList blocks = ToBlocks(capture);
        const std::int64_t start = NowMs();
        EXPECT_EQ(proteus->UploadPreset(false, 0, 0, blocks), row.ok) << TranscriptText().toStdString();
        EXPECT_EQ(SentWithSub(0x01), row.headersSent);
        EXPECT_EQ(SentCount(kCancel), row.cancels);
        if (row.ok) {
            EXPECT_EQ(LastAccepted(), capture);
            EXPECT_TRUE(Boxes().isEmpty());
        } else {
            EXPECT_TRUE(LastAccepted().empty());
            EXPECT_EQ(SentCount(kEof), 0);
            EXPECT_EQ(Boxes(), QStringList{QString::fromLatin1(row.reason)});
        }
        if (row.answers.size() == 1 && row.answers.front().kind == UploadAnswer::Silence)
            EXPECT_GE(NowMs() - start, 10000); // the long wait of an upload
    }
}

TEST_F(PresetUploadTest, DamagedDumpsAreRefusedBeforeAnythingIsSent)
{
    const Messages capture = Capture(QStringLiteral("a2k-user-preset-0000.syx"));
    auto with = [&](std::size_t index, QByteArray message) {
        Messages m = capture;
        m[index] = std::move(message);
        return m;
    };
    Messages noLastPacket = capture;
    noLastPacket.pop_back();
    QByteArray highByte = capture[2];
    highByte[100] = char(0x90);
    const struct {
        const char* name;
        Messages blocks;
        const char* box;
    } rows[] = {
        {"not a module dump", {sim::Hex("F0 7E 00 06 02 F7")},
         "Failed to upload sysex dump file with File is not a previously saved Proteus dump file"},
        {"header of 30 bytes", with(0, capture[0].left(29) + char(0xF7)),
         "Failed to upload preset with Received Invalid Sysex Dump Format for Header"},
        {"header without its end", with(0, capture[0].chopped(1)),
         "Failed to upload preset with Received Invalid Sysex Dump Format for Header"},
        {"packet of 10 bytes", with(3, sim::Hex("F0 18 0F 00 55 10 02 03 00 F7")),
         "Failed to upload preset with Received Invalid Sysex Dump Format for Data Block"},
        {"packet of another kind", with(3, WithByte({capture[3]}, 6, 0x10).front()),
         "Failed to upload preset with Received Invalid Sysex Dump Format for Data Block"},
        {"status byte inside a packet", with(2, highByte),
         "Failed to upload preset with Received Invalid Sysex Dump Format for Data Block"},
        {"payload shorter than announced", noLastPacket,
         "Failed to upload preset with 1464 data bytes in the dump where its header announces 1492"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({});
        ByteBlockList blocks = ToBlocks(row.blocks);
        EXPECT_FALSE(proteus->UploadPreset(true, 9, 0, blocks));
        EXPECT_TRUE(ToModule().empty());
        EXPECT_EQ(ToMessages(blocks), row.blocks);
        EXPECT_EQ(Boxes(), QStringList{QString::fromLatin1(row.box)});
    }
}

TEST_F(PresetUploadTest, SectionGoesAsOneMessageWithoutWaiting)
{
    ByteBlockList section;
    ASSERT_TRUE(proteus->DownloadPreset(0x21, 0, -1, 1, false, section));
    const QByteArray original = section.front()->ToByteArray();
    StartDumps({.deviceId = 3});
    const std::int64_t start = NowMs();
    ASSERT_TRUE(proteus->UploadPreset(false, 0, 0, section));
    EXPECT_LT(NowMs() - start, 1000);
    QByteArray expected = original;
    expected[3] = 3;
    EXPECT_EQ(ToModule(), Messages{expected});
}

TEST_F(PresetUploadTest, RenumberedLayerSectionAsksForTheLayer)
{
    ByteBlockList downloaded;
    ASSERT_TRUE(proteus->DownloadPreset(0x21, 0, -1, 1, false, downloaded));
    const QByteArray original = downloaded.front()->ToByteArray();

    // No chooser answers (Cancel): nothing is sent.
    StartDumps({});
    ByteBlockList blocks = ToBlocks({original});
    EXPECT_FALSE(proteus->UploadPreset(true, 12, -1, blocks));
    EXPECT_TRUE(ToModule().empty());

    QString caption;
    SetLayerChooser([&](const QString& c) -> std::optional<int> {
        caption = c;
        return 2;
    });
    EXPECT_TRUE(proteus->UploadPreset(true, 12, -1, blocks));
    SetLayerChooser(nullptr);
    EXPECT_EQ(caption, QStringLiteral("Choose Layer"));
    QByteArray expected = original;
    expected[7] = 12;
    expected[8] = 0;
    expected[9] = 2;
    expected[10] = 0;
    EXPECT_EQ(ToModule(), Messages{expected});
    EXPECT_EQ(OnDumps([](sim::DumpState& d) { return d.sectionUploads; }), Messages{expected});
}

} // namespace
} // namespace dumptest
