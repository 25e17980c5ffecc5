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

#include <condition_variable>
#include <csignal>
#include <mutex>
#include <thread>

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

// A Proteus that says when its connect sequence has ended.
class WatchedProteus : public Proteus {
public:
    using Proteus::Proteus;
    void OnConnect() override
    {
        Proteus::OnConnect();
        connectEnded = true;
    }
    bool connectEnded = false;
};

// A private server, the simulated module on its ports, and the editor's JACK
// backend; one connect after another through Connect. The settings and the
// documents folder stay for the rig's life, so the first connect is cold and
// every later one warm, whatever server runs then.
class JackRig {
public:
    // Starts a server of periodFrames (ending the one before) and puts the
    // module's ports on it. *noServer: jackd could not be started at all.
    bool Start(int periodFrames, QString* error, bool* noServer)
    {
        *noServer = false;
        if (ports) {
            server.signal(SIGCONT);
            ports->close();
            ports.reset();
        }
        server.stop();
        if (!server.start(60s, error, periodFrames)) {
            *noServer = true;
            return false;
        }
        if (!profile) {
            DataLocations l;
            l.documentsFolder = folder.filePath(QStringLiteral("docs"));
            l.programFolder = folder.filePath(QStringLiteral("bin"));
            resources.SetDataLocations(l);
            // A small module, so that the connect takes seconds at the wire rate.
            profile = sim::Profile::fromJson(R"({"base": "minimal", "userPresets": 4,
                "simms": [{"id": 4, "name": "Composer", "tag": "CMP", "presets": 4, "instruments": 4, "arps": 0, "demos": 0, "riffs": 0}]})",
                                             error);
            if (!profile)
                return false;
            GetGlobalConfigurations().SetDword(Capabilities, proteustest::CapabilitiesOf(*profile));
        }
        module = std::make_unique<sim::Module>(*profile); // a module belongs to one set of ports
        ports = std::make_unique<sim::JackPorts>(*module, QStringLiteral("Simulated Proteus"));
        if (!ports->open(error))
            return false;
        backend = std::make_shared<RtMidiBackend>(RtMidiBackend::Api::Jack, QStringLiteral("tabrine-connect"));
        in = PortNumber(backend->InputPorts(), ports->outputPortName());
        out = PortNumber(backend->OutputPorts(), ports->inputPortName());
        if (in < 0 || out < 0) {
            *error = QStringLiteral("the simulated module's ports are not listed");
            return false;
        }
        return true;
    }

    ~JackRig()
    {
        server.signal(SIGCONT);
        if (ports)
            ports->close();
    }

    // Opens a connection and pumps until its connect sequence has ended.
    void Connect(WatchedProteus& proteus)
    {
        ASSERT_TRUE(proteus.OpenPort(in, out, 0, 1000, 0, 0, false));
        const auto deadline = std::chrono::steady_clock::now() + 120s;
        while (!proteus.connectEnded && std::chrono::steady_clock::now() < deadline)
            proteus.PumpMessages();
        ASSERT_TRUE(proteus.connectEnded) << "the connect did not end";
    }

    miditest::TestEnvironment env;
    sim::JackServer server;
    QTemporaryDir folder;
    GlobalResources resources;
    std::optional<sim::Profile> profile;
    std::unique_ptr<sim::Module> module;
    std::unique_ptr<sim::JackPorts> ports;
    std::shared_ptr<RtMidiBackend> backend;
    int in = -1;
    int out = -1;
};

TEST(ConnectJack, WholeConnectReachesConnectedOverJackPorts)
{
    // A cold connect at the longest period (it builds the configuration
    // cache), then warm ones at a middling and a short period.
    JackRig rig;
    bool cold = true;
    for (const int period : {1024, 256, 64}) {
        SCOPED_TRACE(period);
        QString error;
        bool noServer = false;
        if (!rig.Start(period, &error, &noServer)) {
            if (noServer)
                GTEST_SKIP() << "no JACK server: " << error.toStdString();
            FAIL() << error.toStdString();
        }
        rig.env.presenter->texts.clear();
        rig.env.logger->Clear();
        WatchedProteus proteus(rig.backend);
        proteustest::RecordingListener listener;
        proteus.AddListener(&listener);
        rig.Connect(proteus);
        EXPECT_TRUE(proteus.IsReady()) << rig.env.logger->Lines().join(u'\n').toStdString();
        EXPECT_EQ(listener.calls.count(QStringLiteral("connected")), 1);
        EXPECT_EQ(proteus.hardwareConfig.familyMember, rig.profile->identity.member);
        ASSERT_NE(proteus.FindSimmData(4), nullptr);
        EXPECT_EQ(proteus.FindSimmData(4)->GetName(OBJECT_PRESET, 2),
                  QString::fromLatin1(rig.module->objectName(sim::ObjectKind::Preset, 4, 2).value()).trimmed());
        if (!cold) {
            EXPECT_TRUE(rig.env.presenter->texts.isEmpty()) << rig.env.presenter->texts.join(u'\n').toStdString();
        }
        cold = false;
        proteus.ClosePort();
        proteus.RemoveListener(&listener);
    }
}

// The server stalls (SIGSTOP) or dies (SIGKILL) in the middle of a connect:
// the connect still ends, not ready and with a message, and well within the
// limits of the waits involved. If it does not end, the server is let go on
// after a minute so that the test fails instead of hanging.
TEST(ConnectJack, ConnectEndsWhenTheServerStallsOrDiesMidConnect)
{
    for (const int sig : {SIGKILL, SIGSTOP}) {
        SCOPED_TRACE(sig == SIGSTOP ? "stalled" : "killed");
        JackRig rig;
        QString error;
        bool noServer = false;
        if (!rig.Start(64, &error, &noServer)) {
            if (noServer)
                GTEST_SKIP() << "no JACK server: " << error.toStdString();
            FAIL() << error.toStdString();
        }
        WatchedProteus proteus(rig.backend);
        proteustest::RecordingListener listener;
        proteus.AddListener(&listener);

        std::mutex lock;
        std::condition_variable changed;
        bool signalled = false;
        bool ended = false;
        bool rescued = false;
        int sent = 0;
        listener.onCall = [&](const QString& call) {
            // Past the identity and hardware requests, into the parameters.
            if (call.startsWith(u"sysex ") && ++sent == 12) {
                ASSERT_TRUE(rig.server.signal(sig));
                std::lock_guard l(lock);
                signalled = true;
                changed.notify_all();
            }
        };
        std::thread rescue([&] {
            std::unique_lock l(lock);
            changed.wait(l, [&] { return signalled || ended; });
            if (!changed.wait_for(l, 60s, [&] { return ended; })) {
                rescued = true;
                rig.server.signal(SIGCONT);
            }
        });
        rig.Connect(proteus);
        {
            std::lock_guard l(lock);
            ended = true;
            changed.notify_all();
        }
        rescue.join();

        EXPECT_TRUE(signalled) << "the connect sent only " << sent << " messages";
        EXPECT_FALSE(rescued) << "the connect hung on the stalled server";
        EXPECT_FALSE(proteus.IsReady());
        // A dead server is noticed at once; a stalled one as soon as a wait
        // runs out or the stall is noticed, whichever comes first.
        EXPECT_TRUE(rig.env.logger->Contains(sig == SIGKILL
                                                 ? QStringLiteral("The connection was lost while connecting to the module")
                                                 : QStringLiteral("WARNING")))
            << rig.env.logger->Lines().join(u'\n').toStdString();
        proteus.ClosePort();
        proteus.RemoveListener(&listener);
    }
}

} // namespace
