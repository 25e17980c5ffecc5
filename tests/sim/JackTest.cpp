// The simulated module on real JACK MIDI ports, talked to by a JACK client of the test,
// on a private JACK server with the dummy driver.
#include "sim/JackPorts.h"
#include "sim/JackServer.h"
#include "sim/Module.h"
#include "sim/SysExHex.h"

#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <condition_variable>
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

TEST(SimJack, ModuleAnswersOverJackPorts)
{
    sim::JackServer server;
    QString error;
    if (!server.start(10s, &error))
        GTEST_SKIP() << "no JACK server: " << error.toStdString();

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
