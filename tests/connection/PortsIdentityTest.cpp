// Closing the port pair, the identity (Device Enquiry) and the hardware
// configuration against the simulated module, byte for byte, in virtual time.
#include "support/ProteusSimFixture.h"

#include <gtest/gtest.h>

using proteustest::ProteusSimTest;
using proteustest::SimOptions;
using sim::Fault;
using sim::Hex;

namespace {

class PortsIdentity : public ProteusSimTest {
protected:
    void StartWith(const char* profileJson, int deviceId = 0)
    {
        SimOptions options;
        options.profileJson = profileJson;
        options.deviceId = deviceId;
        Start(options);
    }

    std::vector<QByteArray> Sent()
    {
        return ToModule();
    }
};

struct Slot {
    int simmId, presets, instruments;
    bool operator==(const Slot&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Slot& s)
{
    return out << "{" << s.simmId << ", " << s.presets << ", " << s.instruments << "}";
}

} // namespace

TEST_F(PortsIdentity, IdentityIsAskedUnderTheDeviceId)
{
    struct Row {
        const char* name;
        const char* profile;
        int deviceId;
        const char* sent;
        int member;
        const char* revision;
    } rows[] = {
        {"device id 0", R"({"base": "full"})", 0, "F0 7E 00 06 01 F7", 3, "2.26"},
        {"device id 5, another model", R"({"base": "minimal"})", 5, "F0 7E 05 06 01 F7", 21, "1.00"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartWith(row.profile, row.deviceId);
        int maker = -1, family = -1, member = -1;
        QString revision;
        EXPECT_TRUE(proteus->GetDeviceDetails(maker, family, member, revision)) << TranscriptText().toStdString();
        EXPECT_EQ(Sent(), std::vector<QByteArray>{Hex(row.sent)});
        EXPECT_EQ(maker, 0x18);
        EXPECT_EQ(family, 516);
        EXPECT_EQ(member, row.member);
        EXPECT_EQ(revision, QString::fromUtf8(row.revision));
    }
}

TEST_F(PortsIdentity, HardwareConfigurationListsTheRomsThenTheUserBank)
{
    const char* fiveSimms = R"({"base": "full", "simms": [
        {"id": 4, "name": "A", "tag": "A", "presets": 512, "instruments": 1024, "arps": 0, "demos": 0, "riffs": 0},
        {"id": 9, "name": "B", "tag": "B", "presets": 256, "instruments": 640, "arps": 0, "demos": 0, "riffs": 0},
        {"id": 18, "name": "C", "tag": "C", "presets": 640, "instruments": 512, "arps": 0, "demos": 0, "riffs": 0},
        {"id": 67, "name": "D", "tag": "D", "presets": 128, "instruments": 384, "arps": 0, "demos": 0, "riffs": 0},
        {"id": 70, "name": "E", "tag": "E", "presets": 64, "instruments": 32, "arps": 0, "demos": 0, "riffs": 0}]})";
    const char* longRecords = R"({"base": "noLcd", "hardwareConfig": {"unusedByte": 2, "recordLength": 12}})";
    struct Row {
        const char* name;
        const char* profile;
        std::vector<Slot> simms;
    } rows[] = {
        {"two ROMs", R"({"base": "full"})", {{4, 512, 1024}, {9, 256, 640}, {0, 512, 0}}},
        {"records of 12 bytes", R"({"base": "audity"})", {{3, 1024, 512}, {0, 256, 0}}},
        {"five ROMs: only four records lie inside the 29 bytes kept", fiveSimms,
         {{4, 512, 1024}, {9, 256, 640}, {18, 640, 512}, {67, 128, 384}, {0, 512, 0}}},
        {"three records of 12 bytes: two lie inside", longRecords, {{4, 512, 1024}, {18, 640, 512}, {0, 512, 0}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartWith(row.profile);
        int count = -1;
        std::array<SimmSlot, HardwareConfig::kMaxSimms> simms{};
        EXPECT_TRUE(proteus->GetHardwareConfiguration(count, simms)) << TranscriptText().toStdString();
        EXPECT_EQ(Sent(), std::vector<QByteArray>{Hex("F0 18 0F 00 55 0A F7")});
        std::vector<Slot> got;
        for (int i = 0; i < count; ++i)
            got.push_back({simms[i].simmId, simms[i].presets, simms[i].instruments});
        EXPECT_EQ(got, row.simms);
    }
}

TEST_F(PortsIdentity, FailedRequestsClearTheirOutputsAndSayWhy)
{
    struct Row {
        const char* name;
        bool identity; // else the hardware configuration
        std::vector<Fault> faults;
        int deviceId;
        const char* logLine;
        bool sent;
    } rows[] = {
        {"identity: time-out", true, {Fault::Silence()}, 0, "No response to send Device Enquiry", true},
        {"identity: module error", true, {Fault::ModuleError(1)}, 0, "Error received for Device Enquiry", true},
        // Nine bytes still arrive after the header, the last one the F7.
        {"identity: reply one byte short", true, {Fault::Truncate(13, true)}, 0, "Error received for Device Enquiry",
         true},
        {"identity: a device id that cannot travel", true, {}, 200, "Failed to send Device Enquiry", false},
        {"hardware: time-out", false, {Fault::Silence()}, 0, "No response to Hardware Configuration Request", true},
        {"hardware: module error", false, {Fault::ModuleError(1)}, 0,
         "Error received for Hardware Configuration Enquiry", true},
        {"hardware: reply ends inside its second record", false, {Fault::Truncate(17, true)}, 0,
         "Error received for Hardware Configuration Enquiry", true},
        {"hardware: reply ends before its counts", false, {Fault::Truncate(9, true)}, 0,
         "Error received for Hardware Configuration Enquiry", true},
        {"hardware: a device id that cannot travel", false, {}, 200, "Failed to send Hardware Configuration Request",
         false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimOptions options;
        Start(options);
        if (row.deviceId) {
            // The setting held an id no message can carry.
            ASSERT_TRUE(proteus->OpenPort(0, 0, row.deviceId, 1000, 0, 0, false));
            for (int i = 0; i < 100 && !proteus->IsConnectNotified(); ++i)
                proteus->PumpMessages();
        }
        for (const Fault& f : row.faults)
            AddFault(Fault(f).on(row.identity ? sim::kRouteIdentityRequest : CMD_HARDWARE_CONFIG_REQUEST));
        bool ok = true;
        if (row.identity) {
            int maker = 1, family = 1, member = 1;
            QString revision = QStringLiteral("x");
            ok = proteus->GetDeviceDetails(maker, family, member, revision);
            EXPECT_EQ(maker, 0);
            EXPECT_EQ(family, 0);
            EXPECT_EQ(member, 0);
            EXPECT_TRUE(revision.isEmpty());
        } else {
            int count = 7;
            std::array<SimmSlot, HardwareConfig::kMaxSimms> simms{};
            ok = proteus->GetHardwareConfiguration(count, simms);
            EXPECT_EQ(count, 0);
        }
        EXPECT_FALSE(ok) << TranscriptText().toStdString();
        EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine)));
        EXPECT_EQ(Sent().size(), row.sent ? 1u : 0u);
    }
}

TEST_F(PortsIdentity, NothingIsAskedWhileNotConnected)
{
    proteus->SetConnected(false);
    int maker = 0, family = 0, member = 0, count = 0;
    QString revision;
    std::array<SimmSlot, HardwareConfig::kMaxSimms> simms{};
    EXPECT_FALSE(proteus->GetDeviceDetails(maker, family, member, revision));
    EXPECT_FALSE(proteus->GetHardwareConfiguration(count, simms));
    EXPECT_TRUE(Sent().empty());
    EXPECT_FALSE(Log().Contains(QStringLiteral("Device Enquiry")));
    EXPECT_FALSE(Log().Contains(QStringLiteral("Hardware Configuration")));
}

TEST_F(PortsIdentity, ClosePortWaitsAtMostHalfASecondForTheDisconnect)
{
    struct Row {
        const char* name;
        bool connected;
        std::int64_t from, to; // virtual milliseconds: from < elapsed <= to
    } rows[] = {
        // This connection never marks itself disconnected: the wait runs out.
        {"no disconnect arrives", true, 499, 600},
        {"already disconnected", false, -1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        proteus->SetConnected(row.connected);
        proteus->ignoreDisconnect = row.connected;
        const std::int64_t start = NowMs();
        EXPECT_TRUE(proteus->ClosePort());
        const std::int64_t elapsed = NowMs() - start;
        EXPECT_GT(elapsed, row.from);
        EXPECT_LE(elapsed, row.to);
        EXPECT_FALSE(proteus->IsInputOpen());
        EXPECT_FALSE(proteus->IsOutputOpen());
    }
}
