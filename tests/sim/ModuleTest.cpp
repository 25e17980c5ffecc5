// The simulated module's answers, byte for byte, and its timing on the virtual clock.
// Expected bytes are written out by hand from the message layouts, never produced by
// an encoder.
#include "sim/Bus.h"
#include "sim/Harness.h"
#include "sim/SysExHex.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>

using sim::Hex;
using sim::Millis;
using sim::Micros;

namespace {

std::unique_ptr<sim::Harness> Make(const char* json)
{
    QString error;
    auto h = sim::Harness::fromJson(json, &error);
    EXPECT_TRUE(h) << error.toStdString();
    return h;
}

using Replies = std::vector<QByteArray>;

} // namespace

TEST(SimModule, AnswersIdentityUnderItsOwnIdAndTheAllCallId)
{
    struct Row {
        const char* name;
        const char* profile;
        const char* request;
        Replies expected;
    };
    const Row rows[] = {
        // family 516 = 04 04, member 3 = 03 00, revision "2.26"
        {"own id", R"({"base": "full"})", "F0 7E 00 06 01 F7", {Hex("F0 7E 00 06 02 18 04 04 03 00 32 2E 32 36 F7")}},
        {"all-call id", R"({"base": "full", "deviceId": 5})", "F0 7E 7F 06 01 F7",
         {Hex("F0 7E 05 06 02 18 04 04 03 00 32 2E 32 36 F7")}},
        // member 21 = 15 00, revision "1.00"
        {"other member", R"({"base": "minimal", "deviceId": 5})", "F0 7E 05 06 01 F7",
         {Hex("F0 7E 05 06 02 18 04 04 15 00 31 2E 30 30 F7")}},
        {"other maker and family", R"({"identity": {"manufacturer": 33, "family": 515}})", "F0 7E 00 06 01 F7",
         {Hex("F0 7E 00 06 02 21 03 04 03 00 32 2E 32 36 F7")}},
        {"another device's id", R"({"base": "full", "deviceId": 5})", "F0 7E 06 06 01 F7", {}},
        {"longer than a request", R"({"base": "full"})", "F0 7E 00 06 01 00 F7", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto h = Make(row.profile);
        ASSERT_TRUE(h);
        EXPECT_EQ(h->exchange(Hex(row.request)), row.expected) << h->transcript().dump().toStdString();
    }
}

TEST(SimModule, AnswersHardwareConfiguration)
{
    struct Row {
        const char* name;
        const char* profile;
        QByteArray expected;
    };
    const Row rows[] = {
        // unused 02, 512 users = 00 04, 2 SIMMs of 6 bytes: Composer (4; 512, 1024), World Exp. (9; 256, 640)
        {"two ROMs", R"({"base": "full"})",
         Hex("F0 18 0F 00 55 09 02 00 04 02 06  04 00 00 04 00 08  09 00 00 02 00 05 F7")},
        // 12-byte records go on with arps (100), demos (1), riffs (0)
        {"long records", R"({"base": "audity", "deviceId": 16})",
         Hex("F0 18 0F 10 55 09 00 00 02 01 0C  03 00 00 08 00 04 64 00 01 00 00 00 F7")},
        {"no ROM", R"({"simms": [], "userPresets": 16})", Hex("F0 18 0F 00 55 09 02 10 00 00 06 F7")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto h = Make(row.profile);
        ASSERT_TRUE(h);
        QByteArray request = Hex("F0 18 0F 00 55 0A F7");
        request[3] = char(h->module().deviceId());
        EXPECT_EQ(h->exchange(request), Replies{row.expected});
    }
}

TEST(SimModule, AnswersParameterValueAndRangeRequests)
{
    auto h = Make(R"({"base": "full"})");
    ASSERT_TRUE(h);
    struct Row {
        const char* name;
        const char* request;
        const char* reply;
    };
    const Row rows[] = {
        // 257 = 01 02: value 96 (start value), range 25..300 (2C 02), default 120
        {"value", "F0 18 0F 00 55 02 01 01 02 F7", "F0 18 0F 00 55 01 02 01 02 60 00 F7"},
        {"range", "F0 18 0F 00 55 04 01 02 F7", "F0 18 0F 00 55 03 01 02 19 00 2C 02 78 00 00 F7"},
        // 1412 = 04 0B: value -1 travels as 7F 7F
        {"negative value", "F0 18 0F 00 55 02 01 04 0B F7", "F0 18 0F 00 55 01 02 04 0B 7F 7F F7"},
        // 1410 = 02 0B: -96..10, -96 = 20 7F
        {"negative minimum", "F0 18 0F 00 55 04 02 0B F7", "F0 18 0F 00 55 03 02 0B 20 7F 0A 00 00 00 00 F7"},
        // 136 = 08 01, read-only
        {"read-only flag", "F0 18 0F 00 55 04 08 01 F7", "F0 18 0F 00 55 03 08 01 00 00 7F 00 00 00 01 F7"},
        // 388 reads as the device id
        {"device id parameter", "F0 18 0F 00 55 02 01 04 03 F7", "F0 18 0F 00 55 01 02 04 03 00 00 F7"},
        // 139 on a 32-channel module: 0..31
        {"basic channel range", "F0 18 0F 00 55 04 0B 01 F7", "F0 18 0F 00 55 03 0B 01 00 00 1F 00 00 00 00 F7"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(h->exchange(Hex(row.request)), Replies{Hex(row.reply)}) << h->transcript().dump().toStdString();
    }
}

// What the module does with requests and edits it cannot serve, by profile policy.
TEST(SimModule, RefusesByPolicy)
{
    struct Row {
        const char* name;
        const char* profile;
        const char* message;
        Replies expected;
    };
    const Row rows[] = {
        // module error: F0 18 0F dd 55 70 cmd(2) sub(2) F7
        {"unknown parameter value", R"({"base": "full"})", "F0 18 0F 00 55 02 01 1A 03 F7",
         {Hex("F0 18 0F 00 55 70 02 00 02 00 F7")}},
        {"unknown parameter range", R"({"base": "full"})", "F0 18 0F 00 55 04 1A 03 F7",
         {Hex("F0 18 0F 00 55 70 04 00 02 00 F7")}},
        {"unknown parameter edit", R"({"base": "full"})", "F0 18 0F 00 55 01 02 1A 03 01 00 F7",
         {Hex("F0 18 0F 00 55 70 01 00 02 00 F7")}},
        // 411 (1B 03) on a 12-controller module that stays silent
        {"absent capability, silent module", R"({"base": "minimal"})", "F0 18 0F 00 55 02 01 1B 03 F7", {}},
        // 641 (01 05) on a module without arps that answers with an error
        {"absent capability, error", R"({"base": "minimal", "policies": {"unknownParameter": "error"}})",
         "F0 18 0F 00 55 02 01 01 05 F7", {Hex("F0 18 0F 00 55 70 02 00 02 00 F7")}},
        {"unknown command", R"({"base": "full"})", "F0 18 0F 00 55 33 F7", {Hex("F0 18 0F 00 55 70 33 00 01 00 F7")}},
        {"unknown command, silent", R"({"policies": {"unknownCommand": "silence"}})", "F0 18 0F 00 55 33 F7", {}},
        {"malformed request", R"({"base": "full"})", "F0 18 0F 00 55 02 05 01 02 F7", {Hex("F0 18 0F 00 55 70 02 00 03 00 F7")}},
        {"read-only edit, error", R"({"base": "mid"})", "F0 18 0F 00 55 01 02 08 01 05 00 F7",
         {Hex("F0 18 0F 00 55 70 01 00 04 00 F7")}},
        {"out of range edit, error", R"({"policies": {"outOfRangeEdit": "error"}})", "F0 18 0F 00 55 01 02 02 02 05 00 F7",
         {Hex("F0 18 0F 00 55 70 01 00 05 00 F7")}},
        {"another device id", R"({"base": "full"})", "F0 18 0F 01 55 02 01 01 02 F7", {}},
        {"no F7", R"({"base": "full"})", "F0 18 0F 00 55 02 01 01 02", {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto h = Make(row.profile);
        ASSERT_TRUE(h);
        EXPECT_EQ(h->exchange(Hex(row.message)), row.expected) << h->transcript().dump().toStdString();
    }
}

// An edit changes what the next request reads, within the policy for ranges and
// read-only parameters.
TEST(SimModule, EditsChangeLaterValues)
{
    struct Row {
        const char* name;
        const char* profile;
        const char* edit;
        const char* request;
        const char* reply;
    };
    const Row rows[] = {
        // 257 = 200 (48 01)
        {"plain", R"({"base": "full"})", "F0 18 0F 00 55 01 02 01 02 48 01 F7", "F0 18 0F 00 55 02 01 01 02 F7",
         "F0 18 0F 00 55 01 02 01 02 48 01 F7"},
        // 1410 = -50 (4E 7F)
        {"negative", R"({"base": "full"})", "F0 18 0F 00 55 01 02 02 0B 4E 7F F7", "F0 18 0F 00 55 02 01 02 0B F7",
         "F0 18 0F 00 55 01 02 02 0B 4E 7F F7"},
        // 257 = 500 is clamped to 300
        {"clamped", R"({"base": "full"})", "F0 18 0F 00 55 01 02 01 02 74 03 F7", "F0 18 0F 00 55 02 01 01 02 F7",
         "F0 18 0F 00 55 01 02 01 02 2C 02 F7"},
        // the mid profile ignores it and keeps 96
        {"out of range ignored", R"({"base": "mid"})", "F0 18 0F 00 55 01 02 01 02 74 03 F7",
         "F0 18 0F 00 55 02 01 01 02 F7", "F0 18 0F 00 55 01 02 01 02 60 00 F7"},
        // 136 is read-only and stays 0
        {"read-only ignored", R"({"base": "full"})", "F0 18 0F 00 55 01 02 08 01 05 00 F7",
         "F0 18 0F 00 55 02 01 08 01 F7", "F0 18 0F 00 55 01 02 08 01 00 00 F7"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto h = Make(row.profile);
        ASSERT_TRUE(h);
        EXPECT_EQ(h->exchange(Hex(row.edit)), Replies{});
        EXPECT_EQ(h->exchange(Hex(row.request)), Replies{Hex(row.reply)}) << h->transcript().dump().toStdString();
    }
}

// An edit of 388 (04 03) is made under the old id; from then on the module answers only the new one.
TEST(SimModule, DeviceIdEditTakesEffectAfterTheEdit)
{
    auto h = Make(R"({"base": "full"})");
    ASSERT_TRUE(h);
    EXPECT_EQ(h->exchange(Hex("F0 18 0F 00 55 01 02 04 03 05 00 F7")), Replies{});
    EXPECT_EQ(h->module().deviceId(), 5);
    EXPECT_EQ(h->exchange(Hex("F0 18 0F 00 55 02 01 04 03 F7")), Replies{});
    EXPECT_EQ(h->exchange(Hex("F0 18 0F 05 55 02 01 04 03 F7")), Replies{Hex("F0 18 0F 05 55 01 02 04 03 05 00 F7")});
    EXPECT_EQ(h->exchange(Hex("F0 7E 7F 06 01 F7")).at(0).at(2), char(5));
}

// Channel values follow 129, layer values follow 898, and 898 = -1 edits every layer.
TEST(SimModule, SelectorsPickTheStoredValue)
{
    auto h = Make(R"({"base": "full"})");
    ASSERT_TRUE(h);
    sim::Module& m = h->module();
    // channel 3: 131 (03 01) = 50; channel 0 keeps 127
    h->exchange(Hex("F0 18 0F 00 55 01 02 01 01 03 00 F7"));
    h->exchange(Hex("F0 18 0F 00 55 01 02 03 01 32 00 F7"));
    EXPECT_EQ(h->exchange(Hex("F0 18 0F 00 55 02 01 03 01 F7")), Replies{Hex("F0 18 0F 00 55 01 02 03 01 32 00 F7")});
    h->exchange(Hex("F0 18 0F 00 55 01 02 01 01 00 00 F7"));
    EXPECT_EQ(h->exchange(Hex("F0 18 0F 00 55 02 01 03 01 F7")), Replies{Hex("F0 18 0F 00 55 01 02 03 01 7F 00 F7")});
    EXPECT_EQ(m.parameterValueAt(131, {3}), 50);

    // layer 2: 1411 (03 0B) = -10; then all layers (898 = -1, 02 07 7F 7F): 1410 (02 0B) = 5
    h->exchange(Hex("F0 18 0F 00 55 01 02 02 07 02 00 F7"));
    h->exchange(Hex("F0 18 0F 00 55 01 02 03 0B 76 7F F7"));
    h->exchange(Hex("F0 18 0F 00 55 01 02 02 07 7F 7F F7"));
    h->exchange(Hex("F0 18 0F 00 55 01 02 02 0B 05 00 F7"));
    for (int layer = 0; layer < 4; ++layer) {
        EXPECT_EQ(m.parameterValueAt(1410, {layer}), 5) << layer;
        EXPECT_EQ(m.parameterValueAt(1411, {layer}), layer == 2 ? -10 : 0) << layer;
    }
    // With "all layers" selected a request reads layer 0.
    EXPECT_EQ(h->exchange(Hex("F0 18 0F 00 55 02 01 03 0B F7")), Replies{Hex("F0 18 0F 00 55 01 02 03 0B 00 00 F7")});
}

// 320 us per byte each way, processing in arrival order one message at a time.
TEST(SimModule, WireTimingOnTheVirtualClock)
{
    auto h = Make(R"({"base": "full", "timing": {"processingMicros": {"default": 1000, "identity": 2000}}})");
    ASSERT_TRUE(h);
    h->send(Hex("F0 7E 00 06 01 F7"));                   // 6 bytes: at the module after 1.92 ms
    EXPECT_TRUE(h->runner().pump(Millis(5)).empty());    // 1.92 + 2 ms processing + 15 * 0.32 = 8.72 ms
    EXPECT_EQ(h->clock().now(), Millis(5));
    const std::vector<sim::Delivery> got = h->runner().pump(Millis(100));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].at, Micros(8720));
    EXPECT_EQ(h->clock().now(), Micros(8720));

    // Two requests handed over together queue on the line and in the module: the second
    // value request (10 bytes) arrives 3.2 ms after the first and is processed after it.
    h->module().transcript().clear();
    const sim::SimTime t0 = h->clock().now();
    h->send(Hex("F0 18 0F 00 55 02 01 01 02 F7"));
    h->send(Hex("F0 18 0F 00 55 02 01 02 02 F7"));
    h->runner().runUntilIdle();
    const auto in = h->transcript().entries(sim::Direction::ToModule);
    const auto out = h->transcript().entries(sim::Direction::FromModule);
    ASSERT_EQ(in.size(), 2u);
    ASSERT_EQ(out.size(), 2u);
    EXPECT_EQ(in[0].arrived - t0, Micros(3200));
    EXPECT_EQ(in[1].arrived - t0, Micros(6400));
    EXPECT_EQ(out[0].sent - t0, Micros(4200));   // processed 3.2 .. 4.2 ms
    EXPECT_EQ(out[0].arrived - t0, Micros(8040)); // 12 bytes
    EXPECT_EQ(out[1].sent - t0, Micros(7400));   // processed 6.4 .. 7.4 ms, then waits for the line
    EXPECT_EQ(out[1].arrived - t0, Micros(11880));
}

TEST(SimModule, TransportLatencyDelaysEachRequestAndProcessingIsSummed)
{
    auto h = Make(R"({"base": "full", "timing": {"processingMicros": {"default": 1000}}})");
    ASSERT_TRUE(h);
    h->module().setLatency(Millis(3));
    const sim::SimTime t0 = h->clock().now();
    h->send(Hex("F0 18 0F 00 55 02 01 01 02 F7"));
    h->send(Hex("F0 18 0F 00 55 02 01 02 02 F7"));
    h->runner().runUntilIdle();
    const auto in = h->transcript().entries(sim::Direction::ToModule);
    const auto out = h->transcript().entries(sim::Direction::FromModule);
    ASSERT_EQ(in.size(), 2u);
    ASSERT_EQ(out.size(), 2u);
    // The line itself is as without latency; each request reaches the module 3 ms later.
    EXPECT_EQ(in[0].arrived - t0, Micros(6200));
    EXPECT_EQ(in[1].arrived - t0, Micros(9400));
    EXPECT_EQ(out[0].sent - t0, Micros(7200));
    EXPECT_EQ(h->module().processingTime(), Millis(2));
    ASSERT_EQ(h->module().processingPeriods().size(), 2u);
    EXPECT_EQ(h->module().processingPeriods()[1].first - t0, Micros(9400));
}

// Handlers are a table: a later area adds a command, and a long reply takes its bytes' time.
TEST(SimModule, AddedHandlerAndALongReply)
{
    auto h = Make(R"({"base": "full", "timing": {"processingMicros": {"0x60": 0}}})");
    ASSERT_TRUE(h);
    h->module().setHandler(0x60, [](sim::Module& m, sim::Exchange& ex) {
        ex.replies.push_back(m.frame(0x61, QByteArray(1000 - 7, '\x11')));
    });
    h->clock().advanceBy(Millis(2000)); // some time passes first
    h->send(Hex("F0 18 0F 00 55 60 F7"));
    const std::vector<sim::Delivery> got = h->runner().runUntilIdle();
    ASSERT_EQ(got.size(), 1u);
    ASSERT_EQ(got[0].bytes.size(), 1000);
    const sim::TranscriptEntry reply = h->transcript().entries(sim::Direction::FromModule).at(0);
    EXPECT_EQ(reply.sent, Millis(2000) + Micros(7 * 320));
    EXPECT_EQ(reply.arrived - reply.sent, Millis(320));
    // A time-out of ten seconds costs nothing real: the clock just moves.
    EXPECT_TRUE(h->runner().pump(Millis(10000)).empty());
    EXPECT_EQ(h->clock().now(), got[0].at + Millis(10000));
}

TEST(SimModule, UnsolicitedTrafficAndConnectionEvents)
{
    auto h = Make(R"({"base": "full"})");
    ASSERT_TRUE(h);
    sim::Module& m = h->module();
    m.sendUnsolicited(Hex("F0 18 0F 00 55 01 02 03 01 40 00 F7"), Millis(10));
    m.disconnectAt(Millis(20));
    m.reconnectAt(Millis(30));
    const std::vector<sim::Delivery> got = h->runner().runUntilIdle();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].kind, sim::EntryKind::Message);
    EXPECT_EQ(got[0].at, Millis(10) + Micros(12 * 320));
    EXPECT_EQ(got[1].kind, sim::EntryKind::Disconnect);
    EXPECT_EQ(got[1].at, Millis(20));
    EXPECT_EQ(got[2].kind, sim::EntryKind::Reconnect);
    EXPECT_TRUE(m.connected());
    EXPECT_EQ(h->exchange(Hex("F0 7E 00 06 01 F7")).size(), 1u);
}

// Short messages are kept for later checks and never answered.
TEST(SimModule, KeepsShortMessages)
{
    auto h = Make(R"({"base": "full"})");
    ASSERT_TRUE(h);
    EXPECT_EQ(h->exchange(Hex("B0 00 02")), Replies{});
    EXPECT_EQ(h->exchange(Hex("C0 2C")), Replies{});
    EXPECT_EQ(h->exchange(Hex("F8")), Replies{});
    EXPECT_EQ(h->module().state().shortMessages, (Replies{Hex("B0 00 02"), Hex("C0 2C"), Hex("F8")}));
}

TEST(SimModule, ObjectNamesFromProfile)
{
    auto h = Make(R"({"base": "full"})");
    ASSERT_TRUE(h);
    const sim::Module& m = h->module();
    EXPECT_EQ(m.objectName(sim::ObjectKind::Preset, 4, 7), QByteArray("CMP Preset 007  "));
    EXPECT_EQ(m.objectName(sim::ObjectKind::Preset, 0, 511), QByteArray("USR Preset 511  "));
    EXPECT_EQ(m.objectName(sim::ObjectKind::Preset, 0, 512), std::nullopt);
    EXPECT_EQ(m.objectName(sim::ObjectKind::Riff, 4, 0), std::nullopt);
    EXPECT_EQ(m.objectName(sim::ObjectKind::Instrument, 3, 0), std::nullopt); // SIMM not fitted
    EXPECT_EQ(m.objectCount(sim::ObjectKind::Instrument, 9), 640);
}

// The real-time mode answers on its own thread against the wall clock.
TEST(SimModule, RealTimeDriverAnswers)
{
    std::optional<sim::Profile> p = sim::Profile::load(QStringLiteral("full"));
    ASSERT_TRUE(p);
    sim::Module m(*p);
    std::mutex mutex;
    std::condition_variable cv;
    std::vector<sim::Delivery> got;
    sim::RealTimeDriver driver(m, [&](const sim::Delivery& d) {
        std::lock_guard<std::mutex> lock(mutex);
        got.push_back(d);
        cv.notify_all();
    });
    driver.start();
    driver.send(Hex("F0 7E 7F 06 01 F7"));
    std::unique_lock<std::mutex> lock(mutex);
    ASSERT_TRUE(cv.wait_for(lock, std::chrono::seconds(10), [&] { return !got.empty(); }));
    EXPECT_EQ(got[0].bytes, Hex("F0 7E 00 06 02 18 04 04 03 00 32 2E 32 36 F7"));
    EXPECT_GE(got[0].at, Micros(8720)); // never earlier than the wire and processing allow
    lock.unlock();
    driver.stop();
    EXPECT_EQ(driver.withDevice([](sim::Device& mod) { return mod.transcript().size(); }), 2u);
}

// Several modules behind a merger: all hear the broadcast, each answers under its own
// id, and the merger passes the replies on one after the other.
TEST(SimBus, MergesRepliesOfSeveralModules)
{
    sim::Bus bus;
    for (const char* json : {R"({"base": "full", "deviceId": 1})", R"({"base": "minimal", "deviceId": 2})",
                             R"({"base": "full", "deviceId": 3, "identity": {"manufacturer": 33, "family": 7}})"}) {
        std::optional<sim::Profile> p = sim::Profile::fromJson(json);
        ASSERT_TRUE(p);
        bus.add(std::make_unique<sim::Module>(*p));
    }
    sim::VirtualClock clock;
    sim::VirtualRunner runner(bus, clock);
    runner.send(Hex("F0 7E 7F 06 01 F7"));
    const std::vector<sim::Delivery> got = runner.runUntilIdle();
    ASSERT_EQ(got.size(), 3u);
    EXPECT_EQ(got[0].bytes, Hex("F0 7E 01 06 02 18 04 04 03 00 32 2E 32 36 F7"));
    EXPECT_EQ(got[1].bytes, Hex("F0 7E 02 06 02 18 04 04 15 00 31 2E 30 30 F7"));
    EXPECT_EQ(got[2].bytes, Hex("F0 7E 03 06 02 21 07 00 03 00 32 2E 32 36 F7"));
    // Each reply is whole at the merger at 8.72 ms, then takes 4.8 ms on the host's line.
    EXPECT_EQ(got[0].at, Micros(8720 + 4800));
    EXPECT_EQ(got[1].at, Micros(8720 + 2 * 4800));
    EXPECT_EQ(got[2].at, Micros(8720 + 3 * 4800));

    // A module message reaches only the module with that id.
    runner.send(Hex("F0 18 0F 02 55 0A F7"));
    const std::vector<sim::Delivery> config = runner.runUntilIdle();
    ASSERT_EQ(config.size(), 1u);
    EXPECT_EQ(config[0].bytes.at(3), char(2));
    EXPECT_EQ(bus.transcript().toModule().size(), 2u);
    EXPECT_EQ(bus.transcript().fromModule().size(), 4u);
}
