#pragma once
// A connected Proteus talking to the simulated module over the loopback MIDI
// system, in virtual time: the module's clock is the program's clock, so a
// 1000 ms or 10000 ms time-out passes in microseconds and the same way every
// run. For the module-protocol and dump tests.
//
//   class MyTest : public proteustest::ProteusSimTest {};     // SetUp: Start({})
//   TEST_F(MyTest, Something)
//   {
//       Start({.profileJson = R"({"base": "minimal"})", .deviceId = 5});   // another module
//       AddFault(sim::Fault::Silence().on(0x02));
//       auto r = Exchange(sim::Hex("F0 18 0F 05 55 02 01 01 02 F7"), 2, sim::Hex("F0 18 0F 05 55 01 02"), 4);
//       EXPECT_FALSE(r.answered);
//       EXPECT_EQ(r.elapsedMs, 1100);                                         // virtual time
//       EXPECT_TRUE(Log().Contains("Timeout waiting for response to"));
//   }
//
// What a Start gives: a memory settings store, a recording logger (threshold 3;
// Log().SetLevel to change), a recording message presenter, the simulated module
// from the profile (device id overridden), a loopback backend with the module's
// device as ports 0/0, and a TestProteus opened on 0/0 with the options' device
// id, time-out and SysExDelay, connected (its connect notification only marks it
// connected unless runConnectSequence is set). The connection is given one record
// of services (`services`): the virtual clock and the loopback backend; the
// other services are the process-wide ones, which a test may replace.
#include "connection/ConnectionServices.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiTestSupport.h"
#include "module/Proteus.h"
#include "platform/Clock.h"
#include "sim/Fault.h"
#include "sim/Module.h"
#include "sim/SysExHex.h"
#include "sim/VirtualLoopback.h"

#include <gtest/gtest.h>

#include <QByteArray>
#include <QStringList>

#include <functional>
#include <memory>

namespace proteustest {

/// A Proteus for tests: without runConnectSequence the connect notification only
/// marks it connected, so a test meets a ready connection without the connect
/// sequence's hundreds of requests.
class TestProteus : public Proteus {
public:
    using Proteus::Proteus;
    using Proteus::SetConnected;

    bool runConnectSequence = false;
    /// The connect notification has been handled (the sequence, when run, has ended).
    bool connectHandled = false;

    /// Leaves the disconnect notification unhandled (the connection stays marked
    /// connected), for tests of what waits for it.
    bool ignoreDisconnect = false;

    void OnDisconnect() override
    {
        if (!ignoreDisconnect)
            Proteus::OnDisconnect();
    }

    void OnConnect() override
    {
        connectHandled = true;
        if (runConnectSequence) {
            Proteus::OnConnect();
            return;
        }
        MidiPort::OnConnect();
        SetConnected(true);
    }
};

/// Records what Proteus tells its listeners, one line per call ("begin 0 10 text",
/// "text t", "step", "end", "waiting", "sysex f0 ... f7", ...), with hooks that run
/// inside the calls.
class RecordingListener : public ProteusEvents {
public:
    void OnDeviceConnected() override { Record(QStringLiteral("connected")); }
    bool OnParameterChanging(ParamRecord*) override
    {
        Record(QStringLiteral("changing"));
        return allowChange;
    }
    void OnParameterChanged(ParamRecord*) override { Record(QStringLiteral("changed")); }
    void OnDeviceDisconnected() override { Record(QStringLiteral("disconnected")); }
    void OnWaiting() override
    {
        ++waiting; // counted, not recorded: one per pass of every wait
        if (onWaiting)
            onWaiting();
    }
    void OnBeginProgress(int lower, int upper, const QString& text) override
    {
        Record(QStringLiteral("begin %1 %2 %3").arg(lower).arg(upper).arg(text));
    }
    void OnProgressText(const QString& text) override { Record(QStringLiteral("text ") + text); }
    void OnProgressStep() override { Record(QStringLiteral("step")); }
    void OnEndProgress() override { Record(QStringLiteral("end")); }
    void OnSysExSent(const std::uint8_t* data, unsigned length) override
    {
        Record(QStringLiteral("sysex ")
               + sim::ToHex(QByteArray(reinterpret_cast<const char*>(data), qsizetype(length))));
    }
    void OnShortMessageSent(const std::uint8_t packed[4]) override
    {
        Record(QStringLiteral("short ") + sim::ToHex(QByteArray(reinterpret_cast<const char*>(packed), 4)));
    }

    QStringList calls;
    int waiting = 0;
    bool allowChange = true;
    std::function<void()> onWaiting;
    /// Runs inside every recorded call, after it was recorded.
    std::function<void(const QString&)> onCall;

private:
    void Record(const QString& call)
    {
        calls << call;
        if (onCall)
            onCall(call);
    }
};

struct SimOptions {
    /// The module's profile: a literal profile text naming its base.
    QByteArray profileJson = R"({"base": "full"})";
    int deviceId = 0;          ///< the module's and the connection's device id
    unsigned longTimeout = 1000;
    int sysExDelay = 0;
    /// Runs the whole connect sequence at the connect notification; Start then
    /// does not insist on a connection (a refused module ends unconnected).
    bool runConnectSequence = false;
    /// Runs just before the port is opened (settings, listeners, resources).
    std::function<void(TestProteus&)> beforeOpen;
    int writeDelay = 0;
};

/// What one Exchange saw.
struct ExchangeResult {
    bool sent = false;
    bool answered = false;     ///< WaitForResponse's result
    bool ok = false;
    unsigned received = 0;
    QByteArray data;           ///< the destination, capacity bytes (untouched bytes stay 0xA5)
    bool guardIntact = true;   ///< nothing was written past the capacity
    std::int64_t elapsedMs = 0; ///< virtual time from the send to the end of the wait
};

class ProteusSimTest : public ::testing::Test {
protected:
    void SetUp() override { Start({}); }
    void TearDown() override { Stop(); }

    /// (Re)builds everything for options.
    void Start(const SimOptions& options)
    {
        Stop();
        env = std::make_unique<miditest::TestEnvironment>();
        QString error;
        std::optional<sim::Profile> profile = sim::Profile::fromJson(options.profileJson, &error);
        ASSERT_TRUE(profile) << error.toStdString();
        module = std::make_unique<sim::Module>(*profile);
        module->setDeviceId(options.deviceId);
        backend = std::make_shared<LoopbackBackend>();
        link = std::make_shared<sim::VirtualLoopback>(*module, backend, backend->AddDevice(QStringLiteral("Proteus")));
        link->start();
        services = ConnectionServices{};
        services.clock = link;
        services.backend = backend;
        proteus = std::make_unique<TestProteus>(services);
        proteus->runConnectSequence = options.runConnectSequence;
        if (options.beforeOpen)
            options.beforeOpen(*proteus);
        ASSERT_TRUE(proteus->OpenPort(0, 0, options.deviceId, options.longTimeout, options.writeDelay, options.sysExDelay,
                                      false));
        for (int i = 0; i < 100 && !proteus->connectHandled; ++i)
            proteus->PumpMessages();
        if (!options.runConnectSequence)
            ASSERT_TRUE(proteus->IsConnected());
    }

    void Stop()
    {
        proteus.reset();
        if (link)
            link->stop();
        // A test that installed a clock of its own (a bus of modules) gets the default back.
        platform::SetCurrentClock(nullptr);
        services = ConnectionServices{};
        link.reset();
        backend.reset();
        module.reset();
        env.reset();
    }

    miditest::RecordingLogger& Log() { return *env->logger; }
    std::int64_t NowMs() const { return link->NowMs(); }
    void AddFault(const sim::Fault& fault)
    {
        link->withDevice([&](sim::Device&) { module->addFault(fault); });
    }
    /// What reached the module so far.
    std::vector<QByteArray> ToModule()
    {
        link->settle();
        return link->withDevice([](sim::Device& d) { return d.transcript().toModule(); });
    }
    QString TranscriptText()
    {
        return link->withDevice([](sim::Device& d) { return d.transcript().dump(); });
    }

    /// Sends request as it stands and waits for header (commandId names it in
    /// module errors), keeping capacity bytes.
    ExchangeResult Exchange(const QByteArray& request, int commandId, const QByteArray& header, unsigned capacity,
                            bool longWait = false)
    {
        constexpr char kUntouched = char(0xA5);
        constexpr int kGuard = 8;
        ExchangeResult r;
        QByteArray buffer(qsizetype(capacity) + kGuard, kUntouched);
        const std::int64_t start = NowMs();
        const auto* req = reinterpret_cast<const std::uint8_t*>(request.constData());
        r.sent = proteus->Send(req, unsigned(request.size()));
        r.answered = proteus->WaitForResponse(commandId, req, unsigned(request.size()),
                                              reinterpret_cast<const std::uint8_t*>(header.constData()),
                                              unsigned(header.size()), &r.ok,
                                              reinterpret_cast<std::uint8_t*>(buffer.data()), capacity, longWait,
                                              &r.received);
        r.elapsedMs = NowMs() - start;
        r.data = buffer.left(qsizetype(capacity));
        r.guardIntact = buffer.mid(qsizetype(capacity)) == QByteArray(kGuard, kUntouched);
        return r;
    }

    std::unique_ptr<miditest::TestEnvironment> env;
    std::unique_ptr<sim::Module> module;
    std::shared_ptr<LoopbackBackend> backend;
    std::shared_ptr<sim::VirtualLoopback> link;
    /// What the connection was given: the virtual clock and the backend.
    ConnectionServices services;
    std::unique_ptr<TestProteus> proteus;
};

} // namespace proteustest
