// One whole connect in real time over JACK MIDI ports: the editor's JACK
// backend on one side, the simulated module on the other, a private JACK
// server with the dummy driver. Skipped with a message when no server starts.
#include "core/GlobalResources.h"
#include "core/Settings.h"
#include "midi/RtMidiBackend.h"
#include "module/Proteus.h"
#include "platform/SettingsStore.h"
#include "sim/JackPorts.h"
#include "sim/JackServer.h"
#include "sim/Module.h"
#include "support/ConnectSupport.h"
#include "support/ProteusSimFixture.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace {

int PortNumber(const std::vector<MidiPortInfo>& ports, const QString& name)
{
    for (const MidiPortInfo& p : ports)
        if (p.name == name)
            return p.number;
    return -1;
}

TEST(ConnectJack, WholeConnectReachesConnectedOverJackPorts)
{
    sim::JackServer server;
    QString error;
    if (!server.start(60s, &error))
        GTEST_SKIP() << "no JACK server: " << error.toStdString();

    miditest::TestEnvironment env;
    QTemporaryDir folder;
    GlobalResources resources;
    DataLocations l;
    l.documentsFolder = folder.filePath(QStringLiteral("docs"));
    l.programFolder = folder.filePath(QStringLiteral("bin"));
    resources.SetDataLocations(l);

    // A small module, so that the connect takes seconds at the wire rate.
    std::optional<sim::Profile> profile = sim::Profile::fromJson(R"({"base": "minimal", "userPresets": 4,
        "simms": [{"id": 4, "name": "Composer", "tag": "CMP", "presets": 4, "instruments": 4, "arps": 0, "demos": 0, "riffs": 0}]})",
                                                                 &error);
    ASSERT_TRUE(profile) << error.toStdString();
    GetGlobalConfigurations().SetDword(Capabilities, proteustest::CapabilitiesOf(*profile));
    sim::Module module(*profile);
    sim::JackPorts ports(module, QStringLiteral("Simulated Proteus"));
    ASSERT_TRUE(ports.open(&error)) << error.toStdString();

    auto backend = std::make_shared<RtMidiBackend>(RtMidiBackend::Api::Jack, QStringLiteral("tabrine-connect"));
    const int in = PortNumber(backend->InputPorts(), ports.outputPortName());
    const int out = PortNumber(backend->OutputPorts(), ports.inputPortName());
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    {
        Proteus proteus(backend);
        proteustest::RecordingListener listener;
        proteus.AddListener(&listener);
        ASSERT_TRUE(proteus.OpenPort(in, out, 0, 1000, 0, 0, false));
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (!proteus.IsReady() && std::chrono::steady_clock::now() < deadline && listener.calls.count(QStringLiteral("disconnected")) == 0)
            proteus.PumpMessages();
        EXPECT_TRUE(proteus.IsReady());
        EXPECT_EQ(listener.calls.count(QStringLiteral("connected")), 1);
        EXPECT_EQ(proteus.hardwareConfig.familyMember, profile->identity.member);
        ASSERT_NE(proteus.FindSimmData(4), nullptr);
        EXPECT_EQ(proteus.FindSimmData(4)->GetName(OBJECT_PRESET, 2),
                  QString::fromLatin1(module.objectName(sim::ObjectKind::Preset, 4, 2).value()).trimmed());
        proteus.ClosePort();
        proteus.RemoveListener(&listener);
    }
    ports.close();
}

} // namespace
