// The simulated module on real JACK MIDI ports, talked to by a JACK client of the test,
// on a private JACK server with the dummy driver.
#include "core/Settings.h"
#include "midi/MidiPort.h"
#include "midi/RtMidiBackend.h"
#include "platform/SettingsStore.h"
#include "sim/JackPorts.h"
#include "sim/JackServer.h"
#include "sim/Module.h"
#include "sim/SysExHex.h"

#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <condition_variable>
#include <functional>
#include <mutex>

using namespace std::chrono_literals;
using sim::Hex;

namespace {

struct HostInput {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<QByteArray> messages;

    static void OnMessage(double, std::vector<unsigned char>* m, void* self)
    {
        auto* in = static_cast<HostInput*>(self);
        std::lock_guard<std::mutex> guard(in->lock);
        in->messages.emplace_back(reinterpret_cast<const char*>(m->data()), qsizetype(m->size()));
        in->arrived.notify_all();
    }
    bool waitFor(std::size_t count)
    {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, 10s, [&] { return messages.size() >= count; });
    }
};

template <class Rt>
int FindPort(Rt& rt, const QString& name)
{
    for (unsigned i = 0; i < rt.getPortCount(); ++i)
        if (QString::fromStdString(rt.getPortName(i)) == name)
            return int(i);
    return -1;
}

} // namespace

// One private JACK server for the suite.
class SimJack : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new sim::JackServer;
        // Other test programs may hold the machine's one test JACK server for a while.
        if (!server->start(60s, &serverError)) {
            delete server;
            server = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }
    void SetUp() override
    {
        if (!server)
            GTEST_SKIP() << "no JACK server: " << serverError.toStdString();
    }
    static sim::JackServer* server;
    static QString serverError;
};
sim::JackServer* SimJack::server = nullptr;
QString SimJack::serverError;

TEST_F(SimJack, ModuleAnswersOverJackPorts)
{
    QString error;
    std::optional<sim::Profile> profile = sim::Profile::load(QStringLiteral("full"));
    ASSERT_TRUE(profile);
    sim::Module module(*profile);
    sim::JackPorts ports(module);
    ASSERT_TRUE(ports.open(&error)) << error.toStdString();

    HostInput input;
    RtMidiIn hostIn(RtMidi::UNIX_JACK, "tabrine-test-host-in");
    hostIn.ignoreTypes(false, true, true);
    hostIn.setCallback(&HostInput::OnMessage, &input);
    const int from = FindPort(hostIn, ports.outputPortName());
    ASSERT_GE(from, 0);
    hostIn.openPort(unsigned(from), "from_module");
    RtMidiOut hostOut(RtMidi::UNIX_JACK, "tabrine-test-host-out");
    const int to = FindPort(hostOut, ports.inputPortName());
    ASSERT_GE(to, 0);
    hostOut.openPort(unsigned(to), "to_module");

    const QByteArray identity = Hex("F0 7E 7F 06 01 F7");
    hostOut.sendMessage(reinterpret_cast<const unsigned char*>(identity.constData()), std::size_t(identity.size()));
    ASSERT_TRUE(input.waitFor(1));
    EXPECT_EQ(input.messages[0], Hex("F0 7E 00 06 02 18 04 04 03 00 32 2E 32 36 F7"));

    // A disconnect takes the module's ports off the JACK graph.
    ports.driver().withDevice([](sim::Device& d) { static_cast<sim::Module&>(d).addFault(sim::Fault::Disconnect()); });
    const QByteArray request = Hex("F0 18 0F 00 55 02 01 01 02 F7");
    hostOut.sendMessage(reinterpret_cast<const unsigned char*>(request.constData()), std::size_t(request.size()));
    ASSERT_TRUE(ports.waitUntilClosed(10s));
    EXPECT_EQ(FindPort(hostOut, ports.inputPortName()), -1);
    EXPECT_EQ(ports.driver().withDevice([](sim::Device& d) { return d.transcript().toModule().size(); }), 2u);
}

// The transport's own JACK backend under a MidiPort finds the simulated module's ports
// by name and exchanges SysEx with it.
namespace {

class ReceivingPort : public MidiPort {
public:
    using MidiPort::MidiPort;
    void OnConnect() override
    {
        MidiPort::OnConnect();
        connected = true;
    }
    void OnIncomingMessage() override
    {
        TPtr<_MidiBuffer> buffer;
        while (GetIncomingMessage(buffer)) {
            received.emplace_back(reinterpret_cast<const char*>(buffer->Data()), qsizetype(buffer->BytesRecorded()));
            ReleaseIncomingMessage(buffer);
        }
    }
    bool pumpUntil(const std::function<bool()>& done)
    {
        const auto deadline = std::chrono::steady_clock::now() + 10s;
        while (!done()) {
            if (std::chrono::steady_clock::now() > deadline)
                return false;
            PumpMessages();
        }
        return true;
    }
    bool connected = false;
    std::vector<QByteArray> received;
};

int PortNumber(const std::vector<MidiPortInfo>& ports, const QString& name)
{
    for (const MidiPortInfo& p : ports)
        if (p.name == name)
            return p.number;
    return -1;
}

} // namespace

TEST_F(SimJack, MidiPortOnTheJackBackendTalksToTheModule)
{
    platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
    GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
    std::optional<sim::Profile> profile = sim::Profile::load(QStringLiteral("audity"));
    ASSERT_TRUE(profile);
    sim::Module module(*profile);
    sim::JackPorts ports(module, QStringLiteral("Simulated Audity"));
    QString error;
    ASSERT_TRUE(ports.open(&error)) << error.toStdString();

    auto backend = std::make_shared<RtMidiBackend>(RtMidiBackend::Api::Jack, QStringLiteral("tabrine-test"));
    const int in = PortNumber(backend->InputPorts(), ports.outputPortName());
    const int out = PortNumber(backend->OutputPorts(), ports.inputPortName());
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    ReceivingPort port(true, backend);
    ASSERT_TRUE(port.OpenPort(in, out, 1000));
    ASSERT_TRUE(port.pumpUntil([&] { return port.connected; }));
    const QByteArray request = Hex("F0 18 0F 00 55 0A F7");
    ASSERT_TRUE(port.Send(request.constData(), unsigned(request.size())));
    ASSERT_TRUE(port.pumpUntil([&] { return !port.received.empty(); }));
    EXPECT_EQ(port.received[0], Hex("F0 18 0F 00 55 09 00 00 02 01 0C  03 00 00 08 00 04 64 00 01 00 00 00 F7"));
    port.ClosePort();
}
