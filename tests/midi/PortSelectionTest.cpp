#include "MidiTestSupport.h"

#include "midi/LoopbackBackend.h"
#include "midi/PortSelection.h"

#include <gtest/gtest.h>

namespace {

using namespace miditest;
using How = PortResolution::How;

TEST(PortSelection, StoredPortIsFoundByNumberThenByName)
{
    const std::vector<MidiPortInfo> ports = {
        {0, "Midi Through:Midi Through Port-0 14:0"},
        {1, "UM-ONE:UM-ONE MIDI 1 24:0"},
        {2, "Proteus:Proteus MIDI 1 28:0"},
    };
    struct Row {
        const char* name;
        int number;
        QString stored;
        PortResolution expected;
    };
    const Row rows[] = {
        {"nothing chosen", -1, "", {-1, How::None}},
        {"no name kept: the number as it is", 7, "", {7, How::ByNumber}},
        {"number still names the port", 1, "UM-ONE:UM-ONE MIDI 1 24:0", {1, How::ByNumber}},
        {"port moved to another number", 0, "UM-ONE:UM-ONE MIDI 1 24:0", {1, How::ByName}},
        {"port moved and its ALSA address changed", 1, "Proteus:Proteus MIDI 1 20:0", {2, How::ByName}},
        {"same place, new ALSA address", 2, "Proteus:Proteus MIDI 1 32:0", {2, How::ByNumber}},
        {"port gone", 1, "SB Live:MIDI 20:0", {-1, How::NotFound}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        const PortResolution got = ResolvePort(ports, r.number, r.stored);
        EXPECT_EQ(got.number, r.expected.number);
        EXPECT_EQ(got.how, r.expected.how);
    }
}

TEST(PortSelection, ConfiguredPortFollowsItsNameWhenDevicesComeAndGo)
{
    TestEnvironment env;
    LoopbackBackend backend;
    backend.AddDevice("Keyboard");
    backend.AddDevice("Proteus");

    StorePortChoice(InputPort, 1, "Proteus");
    StorePortChoice(BPort, 0, "Keyboard");
    EXPECT_EQ(GetGlobalConfigurations().ReadString("InputPortName", ""), "Proteus");
    EXPECT_EQ(ConfiguredPortNumber(InputPort, backend), 1);
    EXPECT_EQ(ConfiguredPortNumber(BPort, backend), 0);

    backend.RemoveDevice("Keyboard");
    EXPECT_EQ(ConfiguredPortNumber(InputPort, backend), 0);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(InputPort), 0u) << "the setting follows the port";
    EXPECT_TRUE(env.logger->Contains("MIDI input port \"Proteus\" has moved from 1 to 0"));
    EXPECT_EQ(ConfiguredPortNumber(BPort, backend), -1) << "the keyboard is gone";
    EXPECT_TRUE(env.logger->Contains("MIDI output port \"Keyboard\" (0) is not there"));

    // A setting stored without a name is taken as it stands.
    GetGlobalConfigurations().SetDword(OutputPort, 3);
    EXPECT_EQ(ConfiguredPortNumber(OutputPort, backend), 3);
    StorePortChoice(OutputPort, -1, "ignored");
    EXPECT_EQ(ConfiguredPortNumber(OutputPort, backend), -1);
    EXPECT_EQ(GetGlobalConfigurations().ReadString("OutputPortName", "x"), "");
}

} // namespace
