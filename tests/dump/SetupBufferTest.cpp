// The multisetup buffer: validation by the dump's own counts, values read and
// written through them (the real 16-channel capture, a small dump with beat
// blocks), the refusals, and loading, saving, files, restore and store against
// the simulated module.
#include "DumpTestSupport.h"

#include "dump/OleProps.h"
#include "dump/SetupBuffer.h"
#include "module/ParamRecord.h"

using dumptest::Blocks;
using dumptest::Bytes;
using dumptest::Capture;
using dumptest::DumpSimTest;
using dumptest::kAllCapabilities;
using proteustest::RecordingListener;
using sim::Fault;
using sim::Hex;

namespace {

// S1 1 value, S2 3, S3 0, S4 0, S5 1; 2 channels x 1; 4 triggers x 2; 2 parts x 3.
// H = 36 + 2 x 7 = 50; triggers at 54, parts at 74; 87 bytes.
const char kSmallDump[] = "F0 18 0F 00 55 1C  01 00 03 00 00 00 00 00 01 00  02 00 01 00"
                          "54 69 6E 79 20 20 20 20 20 20 20 20 20 20 20 20" // "Tiny"
                          "60 00"                                           // 257 = 96
                          "02 00 01 00 05 00"                               // 385, 386, 388 = 5
                          "01 00"                                           // 139 = 1
                          "0A 00 7F 7F"                                     // 9015: channel 0 = 10, channel 1 = -1
                          "04 00 02 00  24 00 01 00 25 00 00 00 26 00 01 00 27 00 00 00"
                          "02 00 03 00  10 00 7F 7F 02 00 11 00 01 00 03 00"
                          "F7";

QByteArray SmallDump() { return Hex(kSmallDump); }

ParamRecord Record(ParameterId id, int value = 0, int romId = 0)
{
    ParamRecord r(QStringLiteral("P%1").arg(id), id, value);
    r.romId = romId;
    return r;
}

class SetupBufferTest : public DumpSimTest {
protected:
    SetupBuffer& Buffer() { return *proteus->GetSetupBuffer(); }
    bool Hold(const QByteArray& dump) { return Buffer().SetDump(MakeByteBlock(dump)); }
    QByteArray Held() { return Buffer().GetDump() ? Buffer().GetDump()->ToByteArray() : QByteArray(); }
    void SelectLayer(int layer)
    {
        ParamRecord select = Record(LAYER_SELECT, layer);
        ASSERT_TRUE(proteus->LowLevelParameterEdit(&select));
        ASSERT_EQ(proteus->GetCurrentLayer(), layer);
    }
};

} // namespace

TEST_F(SetupBufferTest, ValidatesByTheDumpsOwnCounts)
{
    const QByteArray small = SmallDump();
    ASSERT_EQ(small.size(), 87);
    struct Row {
        const char* name;
        QByteArray dump;
        bool valid;
        int triggers;
        int parts;
        const char* log;
    };
    const Row rows[] = {
        {"whole", small, true, 4, 2, nullptr},
        {"fixed part and F7 only", small.left(50) + Hex("F7"), true, 0, 0,
         "Downloaded setup buffer has no beat triggers or parts"},
        {"triggers without parts", small.left(70) + Hex("F7"), true, 4, 0, "Downloaded setup buffer has no beat parts"},
        {"the real capture", Capture("a2k-setup.syx"), true, 0, 0, nullptr},
        {"empty", QByteArray(), false, 0, 0, "Downloaded setup buffer is empty (buf_start:0x"},
        {"19 bytes", small.left(18) + Hex("F7"), false, 0, 0,
         "Downloaded setup buffer is smaller that the minimum header size"},
        {"another command", QByteArray(small).replace(5, 1, Hex("1D")), false, 0, 0,
         "Downloaded setup buffer has invalid prefix bytes"},
        {"the F7 inside the last channel value", small.left(49) + Hex("F7"), false, 0, 0,
         "Downloaded setup buffer is smaller than header byte counts indicate"},
        {"triggers cut short", small.left(66) + Hex("F7"), false, 0, 0,
         "Downloaded setup buffer is smaller than header byte counts + triggers indicate"},
        {"parts cut short", small.left(84) + Hex("F7"), false, 0, 0,
         "Downloaded setup buffer is smaller than header byte counts + triggers + beats indicate"},
        {"negative master count", QByteArray(small).replace(6, 2, Hex("7F 7F")), false, 0, 0,
         "Downloaded setup buffer has a negative count"},
        {"negative part count", QByteArray(small).replace(70, 2, Hex("7F 7F")), false, 0, 0,
         "Downloaded setup buffer has a negative count"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartOn(R"({"base": "full"})");
        Log().SetLevel(4);
        SetupBuffer buffer(proteus.get());
        ASSERT_TRUE(buffer.SetDump(MakeByteBlock(Capture("a2k-setup.syx"))));
        Log().Clear();
        EXPECT_EQ(buffer.SetDump(MakeByteBlock(row.dump)), row.valid);
        if (row.log && !row.valid)
            EXPECT_TRUE(Log().Contains(QLatin1String(row.log))) << row.log;
        // A dump that does not hold together is never taken: the one held stays.
        EXPECT_EQ(buffer.GetDump()->ToByteArray(), row.valid ? row.dump : Capture("a2k-setup.syx"));
        int triggers = -1;
        int parts = -1;
        Log().Clear();
        EXPECT_TRUE(buffer.Validate(&triggers, &parts));
        EXPECT_EQ(triggers, row.valid ? row.triggers : 0);
        EXPECT_EQ(parts, row.valid ? row.parts : 0);
        if (row.log && row.valid)
            EXPECT_TRUE(Log().Contains(QLatin1String(row.log))) << row.log;
    }
}

TEST_F(SetupBufferTest, ReadsValuesWhereTheCountsPutThem)
{
    struct Row {
        const char* name;
        ParameterId id;
        int channel;
        bool result;
        int value;
        int romId; // -1: the row has no SIMM id, romId untouched
    };
    // The real capture: S1 11 values at 36, S2 22 at 58, S3 16 at 102, S4 20 at
    // 134, S5 3 at 174, 16 channels x 9 from 180.
    const Row real[] = {
        {"tempo, S1 first", 257, -1, true, 120, -1},
        {"device id, S2 third (62-63)", MASTER_MIDI_ID, -1, true, 0, -1},
        {"FS1 controller (80-81)", 399, -1, true, 64, -1},
        {"L controller, S2 last", 409, -1, true, 83, -1},
        {"M controller, past S2's 22 values", MASTER_MIDI_M_CONTROL, -1, true, 0, -1},
        {"FX A decay, S3", 514, -1, true, 40, -1},
        {"arp status, S4 first", MASTER_ARP_STATUS, -1, true, 1, -1},
        {"arp pattern and its SIMM id, S4 values 2 and 19", 643, -1, true, 0, 0},
        {"beat riff and its SIMM id, past S1's 11 values", 278, -1, true, 0, 0},
        {"tempo control channel, S5", 141, -1, true, 15, -1},
        {"name character 8", 150, -1, true, 'u', -1},
        {"channel 0 volume", 131, 0, true, 127, -1},
        {"channel 0 output, 7F 7F", 133, 0, true, -1, -1},
        {"channel 15 preset", MULTIMODE_PRESET, 15, true, 15, 0},
        {"channel 16 of 16", 131, 16, false, 0, -1},
        {"channel -1", MULTIMODE_PRESET, -1, false, 0, -1},
        {"no beat triggers", 160, -1, false, 0, -1},
        {"no beat parts", 164, -1, false, 0, -1},
        {"not a setup parameter", 1409, 0, false, 0, -1},
    };
    ASSERT_TRUE(Hold(Capture("a2k-setup.syx")));
    EXPECT_EQ(Buffer().GetChannelCount(), 16);
    EXPECT_EQ(Buffer().GetSetupName(), QStringLiteral("User Setup      "));
    for (const Row& row : real) {
        SCOPED_TRACE(row.name);
        ParamRecord r = Record(row.id, 4242, 77);
        EXPECT_EQ(Buffer().GetParameter(row.channel, &r), row.result);
        EXPECT_EQ(r.value, row.result ? row.value : 4242);
        EXPECT_EQ(r.previousValue, row.result ? 4242 : 0);
        EXPECT_EQ(r.romId, row.result && row.romId >= 0 ? row.romId : 77);
    }

    // Beat triggers and parts by the connection's current layer.
    ASSERT_TRUE(Hold(SmallDump()));
    struct Beat {
        int layer;
        ParameterId id;
        bool result;
        int value;
    };
    const Beat beats[] = {
        {0, 160, true, 0x24}, {3, 160, true, 0x27}, {3, 161, true, 0}, {4, 160, false, 0},
        {1, 165, true, 1},    {0, 165, true, -1},   {1, 166, true, 3}, {2, 164, false, 0},
    };
    for (const Beat& b : beats) {
        SCOPED_TRACE(testing::Message() << "layer " << b.layer << " id " << b.id);
        SelectLayer(b.layer);
        ParamRecord r = Record(b.id, 4242);
        EXPECT_EQ(Buffer().GetParameter(-1, &r), b.result);
        EXPECT_EQ(r.value, b.result ? b.value : 4242);
    }
    ParamRecord preset = Record(MULTIMODE_PRESET, 0, 9);
    ASSERT_TRUE(Buffer().GetParameter(1, &preset));
    EXPECT_EQ(preset.value, -1);
    EXPECT_EQ(preset.romId, 0) << "a channel of one value has no room for the SIMM id";
}

TEST_F(SetupBufferTest, WritesValuesIntoTheDumpOnly)
{
    const QByteArray real = Capture("a2k-setup.syx");
    struct Row {
        const char* name;
        ParamRecord record;
        int channel;
        bool result;
        std::vector<std::pair<int, const char*>> changes; // offset, bytes
    };
    const Row rows[] = {
        {"channel 1 volume", Record(131, 100), 1, true, {{200, "64 00"}}},
        {"channel 2 preset and SIMM", Record(MULTIMODE_PRESET, 300, 4), 2, true, {{216, "2C 02"}, {232, "04 00"}}},
        {"negative pan", Record(132, -5), 0, true, {{184, "7B 7F"}}},
        {"arp pattern and its SIMM id", Record(643, 5, 14), -1, true, {{138, "05 00"}, {172, "0E 00"}}},
        {"beat riff past S1's values: ignored", Record(278, 5, 14), -1, true, {}},
        {"device id", Record(MASTER_MIDI_ID, 9), -1, true, {{62, "09 00"}}},
        {"name character, low byte", Record(142, 0x141), -1, true, {{20, "41"}}},
        {"name character of 8 bits", Record(142, 0xE9), -1, false, {}},
        {"past S2's values: ignored", Record(MASTER_MIDI_M_CONTROL, 5), -1, true, {}},
        {"a value that does not fit", Record(257, 9000), -1, false, {}},
        {"channel 16 of 16", Record(131, 1), 16, false, {}},
        {"not a setup parameter", Record(1409, 1), 0, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        ASSERT_TRUE(Hold(real));
        ParamRecord r = row.record;
        EXPECT_EQ(Buffer().SetParameter(row.channel, &r), row.result);
        QByteArray expected = real;
        for (const auto& [at, hex] : row.changes)
            expected.replace(at, Hex(hex).size(), Hex(hex));
        EXPECT_EQ(Held(), expected);
    }
    // Nothing held: nothing to write, nothing to read.
    Buffer().OnDisconnect();
    ParamRecord r = Record(131, 3);
    EXPECT_FALSE(Buffer().SetParameter(0, &r));
    EXPECT_FALSE(Buffer().GetParameter(0, &r));
    EXPECT_EQ(r.value, 3);
    EXPECT_EQ(Buffer().GetSetupName(), QString());
}

TEST_F(SetupBufferTest, AModuleWithoutSetupDumpsLeavesItEmptyWithNothingToReport)
{
    struct Row {
        const char* name;
        std::uint32_t capabilities;
        bool reported; // the empty buffer is logged as an error
    };
    const Row rows[] = {
        {"no setup dumps", kAllCapabilities & ~CAP_SETUP_DUMPS, false},
        // Setup dumps that should have come and did not: that stays an error.
        {"setup dumps, none loaded", kAllCapabilities, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartOn(R"({"base": "minimal"})");
        proteus->SetCapabilities(row.capabilities);
        Buffer().OnConnect(); // the module gives no setup: nothing is held
        proteus->SetReady(true);
        Log().SetLevel(kLogError);
        Log().Clear();

        ParamRecord volume = Record(131, 33);
        proteus->DistributeParameterChanged(&volume);
        int romId = 0;
        int preset = 0;
        EXPECT_FALSE(proteus->GetChannelPreset(0, romId, preset));
        ParamRecord check = Record(131, 7);
        EXPECT_FALSE(Buffer().GetParameter(0, &check));
        EXPECT_EQ(check.value, 7);
        EXPECT_EQ(Buffer().GetSetupName(), QString());
        EXPECT_FALSE(Buffer().Validate(nullptr, nullptr));

        const QStringList errors = Log().Lines();
        EXPECT_EQ(Log().Contains(QStringLiteral("Downloaded setup buffer is empty")), row.reported)
            << errors.join(u'\n').toStdString();
        if (!row.reported)
            EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
    }
}

TEST_F(SetupBufferTest, LoadsEditsAndSavesTheModulesEditBuffer)
{
    struct Row {
        const char* name;
        const char* profile;
        bool capability32;
        int channels;
        int triggers;
        int parts;
    };
    const Row rows[] = {
        {"32 channels with beats", R"({"base": "full", "deviceId": 7})", true, 32, 24, 16},
        {"the real 16-channel module", R"({"base": "a2k", "deviceId": 7})", true, 16, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartOn(row.profile, 7);
        Log().SetLevel(4);
        Buffer().OnConnect();
        EXPECT_EQ(Buffer().GetChannelCount(), row.channels);
        EXPECT_EQ(Buffer().GetTriggerCount(), row.triggers);
        EXPECT_EQ(Buffer().GetPartCount(), row.parts);
        EXPECT_TRUE(Log().Contains(QStringLiteral("Downloaded setup buffer has %1 channels, %2 triggers and %3 parts")
                                       .arg(row.channels)
                                       .arg(row.triggers)
                                       .arg(row.parts)));

        // A change distributed for the basic channel goes into the held dump.
        proteus->SetReady(true);
        proteus->FindParameter(MULTIMODE_BASIC_CHANNEL)->value = 5;
        ParamRecord volume = Record(131, 33);
        proteus->DistributeParameterChanged(&volume);
        ParamRecord check = Record(131);
        ASSERT_TRUE(Buffer().GetParameter(5, &check));
        EXPECT_EQ(check.value, 33);
        // The connection answers the channel's preset from the buffer.
        ParamRecord* preset = proteus->FindParameter(MULTIMODE_PRESET);
        ASSERT_TRUE(proteus->ParameterRequest(preset));
        EXPECT_EQ(preset->value, 5);

        ASSERT_TRUE(Buffer().SaveEditBuffer());
        ByteBlockList back;
        ASSERT_TRUE(proteus->DownloadSetup(back));
        EXPECT_EQ(Bytes(back), Held());
        EXPECT_EQ(OnModule([](sim::Module& m) { return m.parameterValueAt(131, {5}); }), 33);
        EXPECT_EQ(OnModule([](sim::Module& m) { return m.deviceId(); }), 7);
    }

    // A load that fails keeps what was held.
    const QByteArray held = Held();
    AddFault(Fault::Silence().on(0x1D));
    EXPECT_FALSE(Buffer().LoadEditBuffer());
    EXPECT_EQ(Held(), held);
}

TEST_F(SetupBufferTest, FilesRestoreAndStore)
{
    StartOn(R"({"base": "a2k"})");
    RecordingListener listener;
    proteus->AddListener(&listener);
    proteus->SetReady(true);
    ASSERT_TRUE(Buffer().LoadEditBuffer());
    const QString path = PathOf("Setup.sysex");
    ASSERT_TRUE(Buffer().SaveFile(path));
    EXPECT_EQ(dumptest::ReadFile(path), Capture("a2k-setup.syx"));
    OleProps props;
    props.ReadFrom(path);
    EXPECT_EQ(props.title, QStringLiteral("User Setup"));

    // Loading sends the file's dump and holds it; every control is told to reload.
    ParamRecord volume = Record(131, 1);
    ASSERT_TRUE(Buffer().SetParameter(0, &volume));
    listener.calls.clear();
    const std::size_t sent = SentCount();
    ASSERT_TRUE(Buffer().LoadFile(path));
    EXPECT_EQ(SentCount(), sent + 1);
    EXPECT_EQ(LastSent(), Capture("a2k-setup.syx"));
    EXPECT_EQ(Held(), Capture("a2k-setup.syx"));
    EXPECT_TRUE(listener.calls.contains(QStringLiteral("changed")));

    // A damaged file is refused, by the upload and in TestUI mode alike; the held dump stays.
    QByteArray damaged = Capture("a2k-setup.syx");
    damaged[18] = 0x7F;
    ASSERT_TRUE(dumptest::WriteFile(path, damaged));
    ASSERT_TRUE(Buffer().SetParameter(0, &volume));
    const QByteArray held = Held();
    for (bool testUI : {false, true}) {
        SCOPED_TRACE(testUI);
        GetGlobalConfigurations().SetBool(TestUI, testUI);
        EXPECT_FALSE(Buffer().LoadFile(path));
        EXPECT_EQ(Held(), held);
    }
    GetGlobalConfigurations().SetBool(TestUI, false);

    // Restore recalls the stored setup, then reloads it; store copies the edit buffer.
    const std::size_t before = SentCount();
    listener.calls.clear();
    ASSERT_TRUE(Buffer().RestoreSetup(3));
    EXPECT_TRUE(listener.calls.contains(QStringLiteral("changed")));
    ASSERT_TRUE(Buffer().StoreSetup(4));
    std::vector<QByteArray> sentNow = ToModule();
    sentNow.erase(sentNow.begin(), sentNow.begin() + qsizetype(before));
    const auto at = [&](const char* hex) {
        return std::find(sentNow.begin(), sentNow.end(), Hex(hex)) - sentNow.begin();
    };
    EXPECT_LT(at("F0 18 0F 00 55 2C 03 00 7F 7F F7"), at("F0 18 0F 00 55 1D F7"));
    EXPECT_EQ(sentNow.back(), Hex("F0 18 0F 00 55 2C 7F 7F 04 00 F7"));
    ByteBlockList now;
    ASSERT_TRUE(proteus->DownloadSetup(now));
    EXPECT_EQ(Held(), Bytes(now));
    EXPECT_NE(Buffer().GetSetupName(), QStringLiteral("User Setup      ")) << "setup 3 has a name of its own";
    proteus->RemoveListener(&listener);
}

// A file that is not one setup dump (more than one message, none, or another
// dump) is refused with a message before anything is sent; the held dump stays,
// in TestUI mode too.
TEST_F(SetupBufferTest, AFileThatIsNotOneSetupDumpIsRefusedAndSaysSo)
{
    StartOn(R"({"base": "a2k"})");
    proteus->SetReady(true);
    ASSERT_TRUE(Buffer().LoadEditBuffer());
    const QByteArray setup = Capture("a2k-setup.syx");
    const struct {
        const char* name;
        QByteArray file;
    } rows[] = {
        {"two setups", setup + setup},
        {"a setup and an arp", setup + Capture("xl7-arp-0000.syx")},
        {"no message", QByteArray()},
        {"an arp", Capture("xl7-arp-0000.syx")},
    };
    const QString path = PathOf("Mixed.sysex");
    for (bool testUI : {false, true}) {
        GetGlobalConfigurations().SetBool(TestUI, testUI);
        for (const auto& row : rows) {
            SCOPED_TRACE(QStringLiteral("%1, TestUI %2").arg(QLatin1String(row.name)).arg(testUI).toStdString());
            ASSERT_TRUE(dumptest::WriteFile(path, row.file));
            ParamRecord volume = Record(131, 9);
            ASSERT_TRUE(Buffer().SetParameter(0, &volume));
            const QByteArray held = Held();
            const std::size_t sent = SentCount();
            env->presenter->texts.clear();
            EXPECT_FALSE(Buffer().LoadFile(path));
            EXPECT_EQ(Held(), held);
            EXPECT_EQ(SentCount(), sent);
            ASSERT_EQ(Boxes().size(), 1);
            EXPECT_EQ(Boxes().front(), path + QStringLiteral(" is not a setup file: a setup file holds one setup dump "
                                                             "and nothing else."));
        }
    }
    GetGlobalConfigurations().SetBool(TestUI, false);
}
