// The setup, arp and tuning dumps against the simulated module: module -> file
// -> module round trips, the real captures, the setup's device id found through
// its section counts, and what every fault and every damaged block ends in.
#include "DumpTestSupport.h"

#include "dump/OleProps.h"
#include "module/Proteus.h"

#include <functional>

using dumptest::Blocks;
using dumptest::Bytes;
using dumptest::Capture;
using dumptest::DumpSimTest;
using sim::Fault;
using sim::Hex;

namespace {

using Transfer = std::function<bool(Proteus&, ByteBlockList&)>;

class Dumps : public DumpSimTest {};

} // namespace

// ---- Round trips ----------------------------------------------------------------------------

TEST_F(Dumps, EachDumpRoundTripsModuleFileModule)
{
    struct Row {
        const char* name;
        const char* profile;
        int deviceId;
        Transfer download;
        Transfer upload;
        std::function<void(sim::Module&)> disturb; // what the upload must undo
    };
    const Row rows[] = {
        {"setup, 32 channels", R"({"base": "full"})", 3, [](Proteus& p, ByteBlockList& b) { return p.DownloadSetup(b); },
         [](Proteus& p, ByteBlockList& b) { return p.UploadSetup(b, true); },
         [](sim::Module& m) {
             m.setParameterValueAt(131, {4}, 12);
             m.setParameterValue(257, 200);
             m.setParameterValue(142, 'Z');
         }},
        {"setup, the real 16-channel layout", R"({"base": "a2k"})", 0,
         [](Proteus& p, ByteBlockList& b) { return p.DownloadSetup(b); },
         [](Proteus& p, ByteBlockList& b) { return p.UploadSetup(b, false); },
         [](sim::Module& m) { m.setParameterValue(399, 11); }},
        {"setup, 24 master values", R"({"base": "mid"})", 0x41,
         [](Proteus& p, ByteBlockList& b) { return p.DownloadSetup(b); },
         [](Proteus& p, ByteBlockList& b) { return p.UploadSetup(b, true); },
         [](sim::Module& m) { m.setParameterValue(641, 1); }},
        {"user arp", R"({"base": "mid"})", 0, [](Proteus& p, ByteBlockList& b) { return p.DownloadArp(0, 7, b); },
         [](Proteus& p, ByteBlockList& b) { return p.UploadArp(7, b); },
         [](sim::Module& m) { m.state().arps[{0, 7}] = m.state().arps.at({14, 0}); }},
        {"user tuning", R"({"base": "full"})", 5, [](Proteus& p, ByteBlockList& b) { return p.DownloadTuning(3, b); },
         [](Proteus& p, ByteBlockList& b) { return p.UploadTuning(3, b); },
         [](sim::Module& m) { m.state().tunings[3] = QByteArray(400, 0x11); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartOn(row.profile, row.deviceId);
        const QString path = PathOf("Dump.sysex");
        ByteBlockList fromModule;
        ASSERT_TRUE(row.download(*proteus, fromModule));
        ASSERT_EQ(fromModule.size(), 1u);
        ASSERT_TRUE(proteus->WriteSysExFile(path, fromModule, OleProps()));

        OnModule(row.disturb);
        ByteBlockList again;
        ASSERT_TRUE(row.download(*proteus, again));
        ASSERT_NE(Bytes(again), Bytes(fromModule)) << "the disturbance changed nothing";

        ByteBlockList fromFile;
        OleProps props;
        ASSERT_TRUE(proteus->ReadSysExFile(path, fromFile, props));
        EXPECT_EQ(Bytes(fromFile), Bytes(fromModule));
        ASSERT_TRUE(row.upload(*proteus, fromFile));
        ByteBlockList back;
        ASSERT_TRUE(row.download(*proteus, back));
        EXPECT_EQ(Bytes(back), Bytes(fromModule)) << TranscriptText().toStdString();
        EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join(u'\n').toStdString();
    }
}

// ---- The real captures ------------------------------------------------------------------------

TEST_F(Dumps, RealCapturesDownloadAndUploadByteExact)
{
    const QByteArray setup = Capture("a2k-setup.syx");
    const QByteArray arp = Capture("xl7-arp-0000.syx");
    ASSERT_EQ(setup.size(), 757);
    ASSERT_EQ(arp.size(), 285);

    // The module that holds them hands them over as they are.
    StartOn(R"({"base": "a2k"})");
    ByteBlockList blocks;
    ASSERT_TRUE(proteus->DownloadSetup(blocks));
    EXPECT_EQ(Bytes(blocks), setup);
    StartOn(R"({"base": "mid"})");
    blocks.clear();
    ASSERT_TRUE(proteus->DownloadArp(14, 0, blocks));
    EXPECT_EQ(Bytes(blocks), arp);

    // Uploads send them unchanged but for the bytes the upload rewrites.
    for (bool writeDeviceId : {true, false}) {
        SCOPED_TRACE(writeDeviceId);
        StartOn(R"({"base": "full"})");
        ByteBlockList file = Blocks({setup});
        ASSERT_TRUE(proteus->UploadSetup(file, writeDeviceId));
        EXPECT_EQ(LastSent(), setup);
        EXPECT_EQ(proteus->GetDeviceId(), 0);
    }
    StartOn(R"({"base": "mid"})");
    for (int target : {0, 12}) {
        SCOPED_TRACE(target);
        ByteBlockList file = Blocks({arp});
        ASSERT_TRUE(proteus->UploadArp(target, file));
        // The arp number in bytes 6-7, 0 in the field after the 32 x 4 table (bytes 282-283).
        QByteArray expected = arp;
        expected.replace(6, 2, Hex(target == 0 ? "00 00" : "0C 00"));
        expected.replace(282, 2, Hex("00 00"));
        EXPECT_EQ(LastSent(), expected);
    }
}

// ---- The setup's device id ----------------------------------------------------------------------

TEST_F(Dumps, SetupDeviceIdIsFoundThroughTheSectionCounts)
{
    // The real capture: S1 holds 11 values, so the device id is the 14-bit value
    // at 62-63; bytes 80-81 are the first footswitch's controller (64).
    struct Row {
        const char* name;
        int idInDump;        // written at 62-63 of the capture
        bool writeDeviceId;
        int idAfter;         // the module's and the connection's
        const char* sentAt62;
        bool waited;         // one response time-out for the module to settle
    };
    const Row rows[] = {
        {"the module keeps its id", 5, true, 0, "00 00", false},
        {"the module takes the dump's id", 5, false, 5, "05 00", true},
        {"a footswitch controller is no device id", 0, false, 0, "00 00", false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartOn(R"({"base": "full"})");
        QByteArray dump = Capture("a2k-setup.syx");
        dump[3] = 0x22; // saved from a module of another device id
        dump[62] = char(row.idInDump);
        ByteBlockList blocks = Blocks({dump});
        const std::int64_t start = NowMs();
        ASSERT_TRUE(proteus->UploadSetup(blocks, row.writeDeviceId));
        const std::int64_t elapsed = NowMs() - start;
        const QByteArray sent = LastSent();
        EXPECT_EQ(sent.mid(3, 1), Hex("00"));
        EXPECT_EQ(sent.mid(62, 2), Hex(row.sentAt62));
        EXPECT_EQ(sent.mid(80, 2), Hex("40 00"));
        EXPECT_EQ(OnModule([](sim::Module& m) { return m.deviceId(); }), row.idAfter);
        EXPECT_EQ(OnModule([](sim::Module& m) { return m.parameterValue(399); }), 64);
        EXPECT_EQ(proteus->GetDeviceId(), row.idAfter);
        EXPECT_EQ(elapsed >= 1000, row.waited) << elapsed;
        // The connection still reaches the module.
        ByteBlockList back;
        EXPECT_TRUE(proteus->DownloadSetup(back));
    }

    // The simulated 32-channel module puts 19 values in S1: its device id is at 78-79.
    StartOn(R"({"base": "full", "deviceId": 9})", 9);
    ByteBlockList blocks;
    ASSERT_TRUE(proteus->DownloadSetup(blocks));
    QByteArray dump = Bytes(blocks);
    ASSERT_EQ(dump.mid(78, 2), Hex("09 00"));
    dump[78] = 12;
    blocks = Blocks({dump});
    ASSERT_TRUE(proteus->UploadSetup(blocks, false));
    EXPECT_EQ(proteus->GetDeviceId(), 12);
    EXPECT_EQ(OnModule([](sim::Module& m) { return m.deviceId(); }), 12);
}

// ---- Faults while downloading ---------------------------------------------------------------------

TEST_F(Dumps, DownloadFaultsEndInAReportedFailureAndNothingStored)
{
    struct Kind {
        const char* name;
        int route;
        Transfer download;
        const char* noReply;       // the box for a time-out
        const char* moduleError;   // the box for a module error
        const char* truncatedWithEnd;
    };
    const Kind kinds[] = {
        {"setup", 0x1D, [](Proteus& p, ByteBlockList& b) { return p.DownloadSetup(b); },
         "Failed to dump setup with failed to get dump request response",
         "Failed to reading sysex data with Failed to recive the incoming dump",
         "Failed to dump setup with a setup dump shorter than its section counts"},
        {"arp", 0x19, [](Proteus& p, ByteBlockList& b) { return p.DownloadArp(0, 3, b); },
         "Failed to dump arp with failed to get dump request response",
         "Failed to reading sysex data with Failed to receive the incoming dump",
         "Failed to dump arp with an arp dump shorter than its step counts"},
        // A universal request has no command byte: the module's error names none
        // the wait could match, so it ends in the time-out.
        {"tuning", sim::UniversalRoute(0x7E, 0x08, 0x00), [](Proteus& p, ByteBlockList& b) { return p.DownloadTuning(2, b); },
         "Failed to dump tuning with failed to get dump request response",
         "Failed to dump tuning with failed to get dump request response",
         "Failed to dump tuning with a tuning dump of 101 bytes instead of 408"},
    };
    for (const Kind& kind : kinds) {
        struct FaultRow {
            const char* name;
            Fault fault;
            const char* box;
        };
        const FaultRow faults[] = {
            {"module error", Fault::ModuleError(7), kind.moduleError},
            {"silence", Fault::Silence(), kind.noReply},
            {"disconnect", Fault::Disconnect(), kind.noReply},
            // The MIDI input never completes a message without its F7: nothing arrives.
            {"cut short without F7", Fault::Truncate(100), kind.noReply},
            {"cut short with F7", Fault::Truncate(100, true), kind.truncatedWithEnd},
        };
        for (const FaultRow& f : faults) {
            SCOPED_TRACE(QStringLiteral("%1, %2").arg(QLatin1String(kind.name), QLatin1String(f.name)).toStdString());
            StartOn(R"({"base": "full"})");
            Fault fault = f.fault;
            AddFault(fault.on(kind.route));
            // What a save does: the file is written only from a dump that came whole.
            const QString path = PathOf("Kept.sysex");
            ASSERT_TRUE(dumptest::WriteFile(path, "old dump"));
            ByteBlockList blocks;
            const bool saved = kind.download(*proteus, blocks) && proteus->WriteSysExFile(path, blocks, OleProps());
            EXPECT_FALSE(saved);
            EXPECT_TRUE(blocks.empty());
            EXPECT_EQ(dumptest::ReadFile(path), QByteArray("old dump"));
            ASSERT_EQ(Boxes().size(), 1) << Boxes().join(u'\n').toStdString();
            EXPECT_EQ(Boxes().front(), QLatin1String(f.box));
        }
    }
}

TEST_F(Dumps, DownloadsTakeOnlyTheirOwnReply)
{
    // A front-panel knob move sent just before the reply carries F0 18 0F dd 55
    // like the dump; a module error for the request is answered as a failure.
    const QByteArray knob = Hex("F0 18 0F 00 55 01 02 04 03 05 00 F7");
    struct Row {
        const char* name;
        int route;
        Transfer download;
        const char* command; // byte 5 of the stored block
    };
    const Row rows[] = {
        {"setup", 0x1D, [](Proteus& p, ByteBlockList& b) { return p.DownloadSetup(b); }, "1C"},
        {"arp", 0x19, [](Proteus& p, ByteBlockList& b) { return p.DownloadArp(0, 1, b); }, "18"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartOn(R"({"base": "full"})");
        AddFault(Fault::Unsolicited(knob).on(row.route));
        ByteBlockList blocks;
        ASSERT_TRUE(row.download(*proteus, blocks));
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_EQ(Bytes(blocks).mid(5, 1), Hex(row.command));
    }

    // A dump of another tuning is not the one asked for.
    StartOn(R"({"base": "full"})");
    const QByteArray otherTuning = Hex("F0 7E 00 08 01 05") + QByteArray(400, 0x20) + Hex("7F F7");
    AddFault(Fault::Unsolicited(otherTuning).on(sim::UniversalRoute(0x7E, 0x08, 0x00)));
    ByteBlockList tuning;
    ASSERT_TRUE(proteus->DownloadTuning(4, tuning));
    EXPECT_EQ(Bytes(tuning).left(6), Hex("F0 7E 00 08 01 04"));
}

TEST_F(Dumps, WhileWarningsAreSuppressedFailuresAreLoggedNotShown)
{
    AddFault(Fault::ModuleError(7).on(0x1D));
    AddFault(Fault::Silence().on(0x19));
    ByteBlockList blocks;
    {
        Proteus::SuppressWarningMessages quiet(proteus.get());
        EXPECT_FALSE(proteus->DownloadSetup(blocks));
        EXPECT_FALSE(proteus->DownloadArp(0, 0, blocks));
        ByteBlockList bad = Blocks({Hex("F0 18 0F 00 55 18 00 00 7F 7F 04 00 F7")});
        EXPECT_FALSE(proteus->UploadArp(0, bad));
    }
    EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join(u'\n').toStdString();
    EXPECT_TRUE(Log().Contains("Failed to reading sysex data with Failed to recive the incoming dump"));
    EXPECT_TRUE(Log().Contains("Failed to dump arp with failed to get dump request response"));
    EXPECT_TRUE(Log().Contains("Failed to upload sysex dump file with an arp dump shorter than its header"));
}

// ---- Blocks an upload refuses -------------------------------------------------------------------

TEST_F(Dumps, UploadsRefuseBlocksThatDoNotHoldTogether)
{
    const QByteArray setup = Capture("a2k-setup.syx");
    const QByteArray arp = Capture("xl7-arp-0000.syx");
    QByteArray tuning;
    {
        ByteBlockList b;
        ASSERT_TRUE(proteus->DownloadTuning(1, b));
        tuning = Bytes(b);
    }
    auto changed = [](QByteArray bytes, int at, const char* hex) { return bytes.replace(at, Hex(hex).size(), Hex(hex)); };
    QByteArray tooLong = setup;
    tooLong.insert(tooLong.size() - 1, QByteArray(400, '\0'));
    QByteArray arpTooLong = arp;
    arpTooLong.insert(arpTooLong.size() - 1, QByteArray(1200, '\0'));

    struct Row {
        const char* name;
        ByteBlockList blocks;
        std::function<bool(Proteus&, ByteBlockList&)> upload;
        const char* box; // nullptr: refused without a box
    };
    const auto setupUpload = [](Proteus& p, ByteBlockList& b) { return p.UploadSetup(b, true); };
    const auto arpUpload = [](Proteus& p, ByteBlockList& b) { return p.UploadArp(4, b); };
    const auto tuningUpload = [](Proteus& p, ByteBlockList& b) { return p.UploadTuning(4, b); };
    Row rows[] = {
        {"setup: 127 values per channel", Blocks({changed(setup, 18, "7F 00")}), setupUpload,
         "Failed to dump setup with a setup dump shorter than its section counts"},
        {"setup: negative master count", Blocks({changed(setup, 6, "0B 7F")}), setupUpload,
         "Failed to dump setup with a setup dump with a negative count"},
        {"setup: triggers past the end", Blocks({changed(setup, 468, "05 00 7F 00")}), setupUpload,
         "Failed to dump setup with a setup dump shorter than its beat trigger counts"},
        {"setup: no F7", Blocks({setup.left(756)}), setupUpload, "Failed to dump setup with a setup dump without its end"},
        {"setup: longer than a message may be", Blocks({tooLong}), setupUpload,
         "Failed to dump setup with failed to send dump data"},
        {"setup: an arp dump", Blocks({arp}), setupUpload, nullptr},
        {"setup: two messages", Blocks({setup, setup}), setupUpload, nullptr},
        {"arp: 33 steps in a 32-step table", Blocks({changed(arp, 8, "21 00")}), arpUpload,
         "Failed to upload sysex dump file with an arp dump shorter than its step counts"},
        {"arp: negative values per step", Blocks({changed(arp, 10, "7F 7F")}), arpUpload,
         "Failed to upload sysex dump file with an arp dump with a negative count"},
        {"arp: a setup dump", Blocks({setup}), arpUpload,
         "Failed to upload sysex dump file with File is not a previously saved Proteus dump file"},
        {"arp: two messages", Blocks({arp, arp}), arpUpload, nullptr},
        {"arp: longer than a message may be", Blocks({arpTooLong}), arpUpload,
         "Failed to dump arp with failed to send arp data"},
        {"tuning: a byte short", Blocks({tuning.left(406) + Hex("F7")}), tuningUpload,
         "Failed to dump tuning with a tuning dump of 407 bytes instead of 408"},
        {"tuning: a setup dump", Blocks({setup}), tuningUpload, nullptr},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        env->presenter->texts.clear();
        const std::size_t before = SentCount();
        ByteBlockList blocks = row.blocks;
        const QByteArray original = Bytes(blocks);
        EXPECT_FALSE(row.upload(*proteus, blocks));
        EXPECT_EQ(SentCount(), before);
        EXPECT_EQ(Bytes(blocks), original);
        if (row.box)
            EXPECT_EQ(Boxes(), QStringList{QLatin1String(row.box)});
        else
            EXPECT_TRUE(Boxes().isEmpty()) << Boxes().join(u'\n').toStdString();
    }
}

TEST_F(Dumps, WithoutTheirCapabilityOrConnectionNothingIsSent)
{
    const QByteArray setup = Capture("a2k-setup.syx");
    const QByteArray arp = Capture("xl7-arp-0000.syx");
    struct Row {
        const char* name;
        std::uint32_t lacking;
        std::function<bool(Proteus&)> call;
    };
    const Row rows[] = {
        {"setup download", CAP_SETUP_DUMPS, [](Proteus& p) { ByteBlockList b; return p.DownloadSetup(b); }},
        {"setup upload", CAP_SETUP_DUMPS, [&](Proteus& p) { ByteBlockList b = Blocks({setup}); return p.UploadSetup(b, true); }},
        {"arp download", CAP_ARPS_AND_BEATS, [](Proteus& p) { ByteBlockList b; return p.DownloadArp(0, 0, b); }},
        {"arp upload", CAP_ARPS_AND_BEATS, [&](Proteus& p) { ByteBlockList b = Blocks({arp}); return p.UploadArp(0, b); }},
        {"tuning download", CAP_TUNING_DUMPS, [](Proteus& p) { ByteBlockList b; return p.DownloadTuning(0, b); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t before = SentCount();
        proteus->SetCapabilities(dumptest::kAllCapabilities & ~row.lacking);
        EXPECT_FALSE(row.call(*proteus));
        proteus->SetCapabilities(dumptest::kAllCapabilities);
        proteus->SetConnected(false);
        EXPECT_FALSE(row.call(*proteus));
        proteus->SetConnected(true);
        EXPECT_EQ(SentCount(), before);
    }
    EXPECT_TRUE(Boxes().isEmpty());
}

TEST_F(Dumps, TuningUploadRenumbersAndMarksTheChecksum)
{
    ByteBlockList blocks;
    ASSERT_TRUE(proteus->DownloadTuning(7, blocks));
    const QByteArray downloaded = Bytes(blocks);
    ASSERT_EQ(downloaded.size(), 408);
    ASSERT_NE(uchar(downloaded[406]), 0x7F) << "the module's own checksum";
    ASSERT_TRUE(proteus->UploadTuning(3, blocks));
    const QByteArray sent = LastSent();
    EXPECT_EQ(sent.left(6), Hex("F0 7E 00 08 01 03"));
    EXPECT_EQ(sent.mid(6, 400), downloaded.mid(6, 400));
    EXPECT_EQ(sent.right(2), Hex("7F F7"));
    ByteBlockList back;
    ASSERT_TRUE(proteus->DownloadTuning(3, back));
    EXPECT_EQ(Bytes(back).mid(6, 400), downloaded.mid(6, 400));
}
