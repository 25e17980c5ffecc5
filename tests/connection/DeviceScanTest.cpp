// The device scan over several simulated modules on one port (a MIDI merger),
// and a setup copy into the edit buffer that moves the module to another device
// id, which the connection then finds again by its signature.
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "sim/Bus.h"
#include "support/ProteusSimFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <vector>

using proteustest::ProteusSimTest;
using proteustest::TestProteus;
using sim::Fault;
using sim::Hex;

namespace {

constexpr int kIdentityRoute = sim::kRouteIdentityRequest;
const char kBroadcast[] = "F0 7E 7F 06 01 F7";

QString HwRequest(int deviceId)
{
    return sim::ToHex(Hex("F0 18 0F") + char(deviceId) + Hex("55 0A F7"));
}

struct BusModule {
    QByteArray profile;
    int deviceId;
    std::vector<Fault> faults = {};
    std::function<void(sim::Module&)> setUp = {};
};

// Several modules behind one port pair; the connection talks to device id 0 unless told.
class DeviceScan : public ProteusSimTest {
protected:
    void TearDown() override
    {
        Stop();
        bus.reset();
    }

    void StartBus(const std::vector<BusModule>& modules, int deviceId = 0)
    {
        Stop();
        bus.reset();
        env = std::make_unique<miditest::TestEnvironment>();
        bus = std::make_unique<sim::Bus>();
        for (const BusModule& m : modules) {
            QString error;
            std::optional<sim::Profile> profile = sim::Profile::fromJson(m.profile, &error);
            ASSERT_TRUE(profile) << error.toStdString();
            sim::Module& added = bus->add(std::make_unique<sim::Module>(*profile));
            added.setDeviceId(m.deviceId);
            for (const Fault& f : m.faults)
                added.addFault(f);
            if (m.setUp)
                m.setUp(added);
        }
        backend = std::make_shared<LoopbackBackend>();
        link = std::make_shared<sim::VirtualLoopback>(*bus, backend, backend->AddDevice(QStringLiteral("Proteus")));
        link->start();
        platform::SetCurrentClock(link);
        proteus = std::make_unique<TestProteus>(backend);
        ASSERT_TRUE(proteus->OpenPort(0, 0, deviceId, 1000, 0, 0, false));
        for (int i = 0; i < 100 && !proteus->IsConnected(); ++i)
            proteus->PumpMessages();
        ASSERT_TRUE(proteus->IsConnected());
    }

    QStringList Sent(std::size_t from = 0)
    {
        const std::vector<QByteArray> all = ToModule();
        QStringList out;
        for (std::size_t i = from; i < all.size(); ++i)
            out << sim::ToHex(all[i]);
        return out;
    }

    /// The connected module's identity and ROMs as the "full" profile reports them.
    void KnowFullModule(const QString& revision = QStringLiteral("2.26"))
    {
        proteus->hardwareConfig.familyMember = 3;
        proteus->hardwareConfig.SetRevision(revision);
        const SimmSlot banks[] = {{4, 512}, {9, 256}, {0, 512}};
        proteus->hardwareConfig.SetSimms(banks);
    }

    std::unique_ptr<sim::Bus> bus;
};

using Devices = std::vector<std::pair<int, ScannedDevice>>;

TEST_F(DeviceScan, FindsEveryProteusModuleAndItsSignature)
{
    struct Row {
        const char* name;
        std::vector<BusModule> modules;
        bool result;
        bool duplicate;
        Devices devices;
        QStringList sent;
        const char* logLine = nullptr;
    } rows[] = {
        {"two modules; other makers and families are not listed",
         {{R"({"base": "full"})", 0},
          {R"({"base": "noLcd"})", 5},
          {R"({"base": "full", "identity": {"manufacturer": 65}})", 9},
          {R"({"base": "full", "identity": {"family": 100}})", 11}},
         true, false,
         {{0, {3, QStringLiteral("2.26"), {4, 9, 0}}}, {5, {15, QStringLiteral("1.11"), {4, 18, 67, 0}}}},
         {sim::ToHex(Hex(kBroadcast)), HwRequest(0), HwRequest(5)}},
        {"12-byte SIMM records are read by their length", {{R"({"base": "audity"})", 2}}, true, false,
         {{2, {2, QStringLiteral("1.02"), {3, 0}}}}, {sim::ToHex(Hex(kBroadcast)), HwRequest(2)}},
        {"nobody answers", {{R"({"base": "full"})", 0, {Fault::Silence().on(kIdentityRoute)}}}, true, false, {},
         {sim::ToHex(Hex(kBroadcast))}},
        {"two modules with one device id: no configuration is asked",
         {{R"({"base": "full"})", 3}, {R"({"base": "minimal"})", 3}}, true, true, {}, {sim::ToHex(Hex(kBroadcast))},
         "Several devices answered with device id 3"},
        {"a configuration that never comes",
         {{R"({"base": "full"})", 0}, {R"({"base": "noLcd"})", 5, {Fault::Silence().on(CMD_HARDWARE_CONFIG_REQUEST)}}},
         false, false, {}, {sim::ToHex(Hex(kBroadcast)), HwRequest(0), HwRequest(5)},
         "No response to Hardware Configuration Request for Signature"},
        {"a configuration refused under the module's own id",
         {{R"({"base": "full"})", 0}, {R"({"base": "noLcd"})", 5, {Fault::ModuleError(3).on(CMD_HARDWARE_CONFIG_REQUEST)}}},
         false, false, {}, {sim::ToHex(Hex(kBroadcast)), HwRequest(0), HwRequest(5)},
         "Error received for Hardware Configuration Enquiry for Signature"},
        {"a configuration cut inside its SIMM records",
         {{R"({"base": "full"})", 0, {Fault::Truncate(12, true).on(CMD_HARDWARE_CONFIG_REQUEST)}}}, false, false, {},
         {sim::ToHex(Hex(kBroadcast)), HwRequest(0)},
         "Short reply to Hardware Configuration Request for Signature from device 0: 6 data bytes where 7 are needed"},
        {"an identity reply cut before the revision",
         {{R"({"base": "full"})", 0}, {R"({"base": "noLcd"})", 5, {Fault::Truncate(11, true).on(kIdentityRoute)}}},
         false, false, {}, {sim::ToHex(Hex(kBroadcast))},
         "Short identity reply from device 5: 11 data bytes where 14 are needed"},
        {"an identity reply broken into an input error",
         {{R"({"base": "full"})", 0}, {R"({"base": "noLcd"})", 5, {Fault::InputError().on(kIdentityRoute)}}},
         false, false, {}, {sim::ToHex(Hex(kBroadcast))},
         "Broken reply during the device scan: a module may have been missed"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartBus(row.modules);
        Devices devices = {{99, {}}};
        bool duplicate = !row.duplicate;
        const std::int64_t start = NowMs();
        EXPECT_EQ(proteus->ScanDevices(devices, duplicate), row.result);
        EXPECT_GE(NowMs() - start, 1000); // the collection lasts the whole response time-out
        EXPECT_EQ(duplicate, row.duplicate);
        EXPECT_EQ(devices, row.devices);
        EXPECT_EQ(Sent(), row.sent) << TranscriptText().toStdString();
        if (row.logLine)
            EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine))) << row.logLine;
        // The connection is itself again: its own device id, replies matched as usual.
        EXPECT_FALSE(proteus->IsScanning());
        EXPECT_EQ(proteus->GetDeviceId(), 0);
        EXPECT_EQ(proteus->PendingResponseCount(), 0u);
    }
}

TEST_F(DeviceScan, AfterAScanRepliesAreMatchedAgain)
{
    StartBus({{R"({"base": "full"})", 0}});
    Devices devices;
    bool duplicate = false;
    ASSERT_TRUE(proteus->ScanDevices(devices, duplicate));
    EXPECT_TRUE(proteus->ClickButton(1));
    ScannedDevice own;
    KnowFullModule();
    EXPECT_TRUE(proteus->GetDeviceSignature(own));
    ASSERT_EQ(devices.size(), 1u);
    EXPECT_EQ(devices[0].second, own); // the same form as the connected module's signature
}

TEST_F(DeviceScan, ASetupThatMovesTheModuleIsFollowedByItsSignature)
{
    // Loading setup 2 moves "our" module (first on the bus) from device id 0 to 9.
    auto movesTo = [](int id) { return [id](sim::Module& m) { m.state().setupDeviceIds[2] = id; }; };
    const QString copy = sim::ToHex(Hex("F0 18 0F 00 55 2C 02 00 7F 7F F7"));
    const QString ask388 = sim::ToHex(Hex("F0 18 0F 00 55 02 01 04 03 F7"));
    const QString broadcast = sim::ToHex(Hex(kBroadcast));
    struct Row {
        const char* name;
        std::vector<BusModule> modules;
        QString revision;
        bool result;
        int deviceId;
        QStringList sent;
        int message; // string-table id of the message box, 0 for none
    } rows[] = {
        {"a module still answering under its id changes nothing", {{R"({"base": "full"})", 0}}, "2.26", true, 0,
         {copy, ask388}, 0},
        {"found again by its signature among others",
         {{R"({"base": "full"})", 0, {}, movesTo(9)}, {R"({"base": "noLcd"})", 3}}, "2.26", true, 9,
         {copy, ask388, broadcast, HwRequest(3), HwRequest(9)}, 0},
        {"two modules like it: the id stays",
         {{R"({"base": "full"})", 0, {}, movesTo(9)}, {R"({"base": "full"})", 4}}, "2.26", false, 0,
         {copy, ask388, broadcast, HwRequest(4), HwRequest(9)}, 160},
        {"none like it", {{R"({"base": "full"})", 0, {}, movesTo(9)}}, "9.99", false, 0,
         {copy, ask388, broadcast, HwRequest(9)}, 161},
        {"two devices with one id", {{R"({"base": "full"})", 0, {}, movesTo(3)}, {R"({"base": "noLcd"})", 3}}, "2.26",
         false, 0, {copy, ask388, broadcast}, 159},
        {"the devices cannot be told apart",
         {{R"({"base": "full"})", 0, {Fault::Truncate(9, true).on(kIdentityRoute)}, movesTo(9)}}, "2.26", false, 0,
         {copy, ask388, broadcast}, 158},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartBus(row.modules);
        KnowFullModule(row.revision);
        EXPECT_EQ(proteus->CopySetup(2, -1), row.result);
        EXPECT_EQ(proteus->GetDeviceId(), row.deviceId);
        EXPECT_EQ(Sent(), row.sent) << TranscriptText().toStdString();
        const QStringList boxes = env->presenter->texts;
        if (row.message) {
            ASSERT_EQ(boxes.size(), 1);
            EXPECT_EQ(boxes[0], LoadResourceString(unsigned(row.message)));
            EXPECT_TRUE(Log().Contains(boxes[0].left(60)));
        } else {
            EXPECT_TRUE(boxes.isEmpty());
        }
        // The device id was not asked about noisily.
        EXPECT_FALSE(Log().Contains(QStringLiteral("No response to Parameter Request")));
    }

    // Once followed, the module is addressed under its new id, also at the next start.
    StartBus({{R"({"base": "full"})", 0, {}, movesTo(9)}});
    KnowFullModule();
    ASSERT_TRUE(proteus->CopySetup(2, -1));
    EXPECT_EQ(GetGlobalConfigurations().GetDword(DeviceId), 9u);
    EXPECT_EQ(proteus->FindParameter(MASTER_MIDI_ID)->value, 9);
    const std::size_t mark = ToModule().size();
    EXPECT_TRUE(proteus->ClickButton(1));
    EXPECT_EQ(Sent(mark).first(), sim::ToHex(Hex("F0 18 0F 09 55 40 20 01 00 01 F7")));
}

} // namespace
