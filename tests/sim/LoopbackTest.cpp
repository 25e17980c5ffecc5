// The simulated module behind a loopback MIDI device, talked to through a real
// MidiPort: the way every protocol test above the transport reaches it.
#include "core/Settings.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiPort.h"
#include "platform/SettingsStore.h"
#include "sim/LoopbackAttachment.h"
#include "sim/Module.h"
#include "sim/SysExHex.h"
#include "sim/VirtualLoopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <functional>

using namespace std::chrono_literals;
using sim::Fault;
using sim::Hex;

namespace {

// A device port that keeps what it is told.
class ListeningPort : public MidiPort {
public:
    using MidiPort::MidiPort;
    void OnConnect() override
    {
        MidiPort::OnConnect();
        connected = true;
    }
    void OnDisconnect() override { disconnected = true; }
    void OnIncomingMessage() override
    {
        TPtr<_MidiBuffer> buffer;
        while (GetIncomingMessage(buffer)) {
            received.emplace_back(reinterpret_cast<const char*>(buffer->Data()), qsizetype(buffer->BytesRecorded()));
            ReleaseIncomingMessage(buffer);
        }
    }
    void OnIncomingError() override
    {
        TPtr<_MidiBuffer> buffer;
        while (GetIncomingError(buffer)) {
            ++errors;
            ReleaseIncomingMessage(buffer);
        }
    }
    bool send(const QByteArray& m) { return Send(m.constData(), unsigned(m.size())); }
    // Pumps the port's notifications until done() holds; false after the limit.
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
    bool disconnected = false;
    int errors = 0;
    std::vector<QByteArray> received;
};

class SimLoopback : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
        std::optional<sim::Profile> p = sim::Profile::load(QStringLiteral("full"));
        ASSERT_TRUE(p);
        module = std::make_unique<sim::Module>(*p);
        backend = std::make_shared<LoopbackBackend>();
        link = std::make_unique<sim::LoopbackAttachment>(*module, backend->AddDevice(QStringLiteral("Proteus 2000")));
        link->start();
        port = std::make_unique<ListeningPort>(true, backend);
        ASSERT_TRUE(port->OpenPort(0, 0, 1000));
        ASSERT_TRUE(port->pumpUntil([&] { return port->connected; }));
    }
    void TearDown() override
    {
        if (port)
            port->ClosePort();
        port.reset();
        link.reset();
    }
    void addFault(const Fault& f)
    {
        link->driver().withDevice([&](sim::Device&) { module->addFault(f); });
    }

    std::unique_ptr<sim::Module> module;
    std::shared_ptr<LoopbackBackend> backend;
    std::unique_ptr<sim::LoopbackAttachment> link;
    std::unique_ptr<ListeningPort> port;
};

} // namespace

TEST_F(SimLoopback, ModuleAnswersThroughAMidiPort)
{
    ASSERT_TRUE(port->send(Hex("F0 7E 00 06 01 F7")));
    ASSERT_TRUE(port->send(Hex("F0 18 0F 00 55 02 01 01 02 F7")));
    ASSERT_TRUE(port->pumpUntil([&] { return port->received.size() == 2; }));
    EXPECT_EQ(port->received[0], Hex("F0 7E 00 06 02 18 04 04 03 00 32 2E 32 36 F7"));
    EXPECT_EQ(port->received[1], Hex("F0 18 0F 00 55 01 02 01 02 60 00 F7"));
    const auto toModule = link->driver().withDevice([](sim::Device& d) { return d.transcript().toModule(); });
    EXPECT_EQ(toModule, (std::vector<QByteArray>{Hex("F0 7E 00 06 01 F7"), Hex("F0 18 0F 00 55 02 01 01 02 F7")}));
}

TEST_F(SimLoopback, ConnectionFaultsReachThePort)
{
    addFault(Fault::InputError(Hex("F0 18 0F 00 55 01")).on(sim::kRouteIdentityRequest));
    ASSERT_TRUE(port->send(Hex("F0 7E 00 06 01 F7")));
    ASSERT_TRUE(port->pumpUntil([&] { return port->errors == 1; }));
    EXPECT_TRUE(port->received.empty());

    addFault(Fault::Disconnect().on(0x02));
    ASSERT_TRUE(port->send(Hex("F0 18 0F 00 55 02 01 01 02 F7")));
    ASSERT_TRUE(port->pumpUntil([&] { return port->disconnected; }));
    EXPECT_FALSE(port->send(Hex("F0 7E 00 06 01 F7"))); // the device has gone away
}

TEST(SimVirtualLoopback, TimeMovesOnlyInTheEditorsWaitsAndPauses)
{
    platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
    GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
    std::optional<sim::Profile> p = sim::Profile::load(QStringLiteral("full"));
    ASSERT_TRUE(p);
    sim::Module module(*p);
    auto backend = std::make_shared<LoopbackBackend>();
    auto link = std::make_shared<sim::VirtualLoopback>(module, backend, backend->AddDevice(QStringLiteral("Proteus 2000")));
    link->start();
    platform::SetCurrentClock(link);
    {
        ListeningPort port(true, backend);
        ASSERT_TRUE(port.OpenPort(0, 0, 1000));
        port.PumpMessages(); // the connect was posted while the port opened
        ASSERT_TRUE(port.connected);
        ASSERT_TRUE(port.send(Hex("F0 18 0F 00 55 02 01 01 02 F7")));
        EXPECT_EQ(link->now(), sim::SimTime(0)); // sending takes no time

        // One wait step moves to the reply's arrival and hands it over.
        port.PumpMessages();
        ASSERT_EQ(port.received.size(), 1u);
        const sim::SimTime arrived = link->withDevice(
            [](sim::Device& d) { return d.transcript().entries(sim::Direction::FromModule).at(0).arrived; });
        EXPECT_EQ(link->now(), arrived);
        EXPECT_GT(arrived, sim::SimTime(0));

        // Nothing due: the whole step passes; a pause passes whole too.
        port.PumpMessages();
        EXPECT_EQ(link->now(), arrived + sim::Millis(100));
        platform::CurrentClock().SleepMs(250);
        EXPECT_EQ(link->now(), arrived + sim::Millis(350));
        port.ClosePort();
    }
    platform::SetCurrentClock(nullptr);
}
