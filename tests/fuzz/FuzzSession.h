#pragma once
// A Proteus connected to the simulated module over the loopback in virtual
// time, built afresh for each input (support/ProteusSimFixture.h does the same
// for the tests): every dump capability set, the fuzz presenter answering.
#include "FuzzSupport.h"

#include "core/Settings.h"
#include "module/Capabilities.h"
#include "support/ProteusSimFixture.h"

#include <memory>
#include <optional>

namespace fuzz {

constexpr std::uint32_t kAllDumps =
    CAP_TESTED | CAP_PRESET_DUMPS | CAP_SETUP_DUMPS | CAP_TUNING_DUMPS | CAP_BANK_MAP_DUMPS | CAP_SYSEX_DUMPS;

class SimSession {
public:
    /// runConnectSequence: the whole connect sequence runs at the connection
    /// (it may then end unconnected); else the connection is only marked up.
    /// beforeOpen runs with the module built and the port not yet open.
    explicit SimSession(bool runConnectSequence = false, const std::function<void(sim::Module&)>& beforeOpen = {})
    {
        static const std::optional<sim::Profile> profile = sim::Profile::fromJson(R"({"base": "full"})");
        FUZZ_CHECK(profile.has_value());
        env = std::make_unique<miditest::TestEnvironment>();
        InstallPresenter();
        GetGlobalConfigurations().SetDword(Capabilities, kAllDumps);
        module = std::make_unique<sim::Module>(*profile);
        if (beforeOpen)
            beforeOpen(*module);
        backend = std::make_shared<LoopbackBackend>();
        link = std::make_shared<sim::VirtualLoopback>(*module, backend, backend->AddDevice(QStringLiteral("Proteus")));
        link->start();
        platform::SetCurrentClock(link);
        proteus = std::make_unique<proteustest::TestProteus>(backend);
        proteus->runConnectSequence = runConnectSequence;
        FUZZ_CHECK(proteus->OpenPort(0, 0, 0, 1000, 0, 0, false));
        for (int i = 0; i < 100 && !proteus->connectHandled; ++i)
            proteus->PumpMessages();
        if (!runConnectSequence)
            FUZZ_CHECK(proteus->IsConnected());
        proteus->SetCapabilities(kAllDumps);
    }

    ~SimSession()
    {
        proteus.reset();
        link->stop();
        platform::SetCurrentClock(nullptr);
        link.reset();
        backend.reset();
        module.reset();
        env.reset();
        InstallQuietLog();
        InstallPresenter();
    }

    SimSession(const SimSession&) = delete;
    SimSession& operator=(const SimSession&) = delete;

    template <class F>
    auto OnModule(F&& f)
    {
        return link->withDevice([&](sim::Device&) { return f(*module); });
    }

    /// Every message that reached the module so far (a little virtual time
    /// passes first, so that the last one has crossed the line).
    std::vector<QByteArray> ToModule()
    {
        link->SleepMs(400);
        link->settle();
        return link->withDevice([](sim::Device& d) { return d.transcript().toModule(); });
    }

    std::unique_ptr<miditest::TestEnvironment> env;
    std::unique_ptr<sim::Module> module;
    std::shared_ptr<LoopbackBackend> backend;
    std::shared_ptr<sim::VirtualLoopback> link;
    std::unique_ptr<proteustest::TestProteus> proteus;
};

/// A message the module may be sent: whole SysEx of data bytes, or a short
/// message (status, then data bytes).
inline bool IsSendable(const QByteArray& m)
{
    if (m.isEmpty())
        return false;
    if (std::uint8_t(m.front()) == 0xF0)
        return IsCleanSysEx(m);
    if (std::uint8_t(m.front()) < 0x80)
        return false;
    for (qsizetype i = 1; i < m.size(); ++i)
        if (std::uint8_t(m[i]) >= 0x80)
            return false;
    return true;
}

} // namespace fuzz
