// The capability probe against the simulated module's profiles: the flags
// follow exactly what each profile supports, the stored flags spare the
// module, TestUI, the progress, and failures that stay quiet.
#include "core/Settings.h"
#include "module/Capabilities.h"
#include "module/Proteus.h"
#include "support/ProteusSimFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>

using proteustest::ProteusSimTest;
using proteustest::RecordingListener;
using sim::Fault;

namespace {

// What the probe must find on a module of this profile, by the profile's own switches.
std::uint32_t Supported(const sim::Profile& p)
{
    const int member = p.identity.member;
    const bool sixteenChannelModel = member == 2 || member == 4 || member == 5 || member == 7 || member == 11
        || member == 17 || member == 18 || member == 19 || member == 21;
    std::uint32_t flags = CAP_TESTED;
    if (p.has(QStringLiteral("setupDumps"))) {
        flags |= CAP_SETUP_DUMPS;
        if (p.channels == 32)
            flags |= CAP_32_CHANNELS;
    } else if (!sixteenChannelModel) {
        flags |= CAP_32_CHANNELS;
    }
    if (p.has(QStringLiteral("arpsAndBeats")))
        flags |= CAP_ARPS_AND_BEATS;
    if (p.has(QStringLiteral("sixteenControllers")))
        flags |= CAP_16_CONTROLLERS;
    if (p.has(QStringLiteral("tuningDumps")))
        flags |= CAP_TUNING_DUMPS;
    if (p.has(QStringLiteral("bankMapDumps")))
        flags |= CAP_BANK_MAP_DUMPS;
    if (p.has(QStringLiteral("presetDumps"))) {
        flags |= CAP_PRESET_DUMPS;
        if (p.has(QStringLiteral("sectionDumps")))
            flags |= CAP_SYSEX_DUMPS;
    }
    if (member != 15)
        flags |= CAP_LCD_INTERROGATION;
    return flags;
}

class CapabilityProbe : public ProteusSimTest {
protected:
    // The module as the connect sequence leaves it before the probe: identified.
    void StartModule(const QByteArray& profile)
    {
        Start({.profileJson = profile});
        proteus->hardwareConfig.familyMember = module->profile().identity.member;
    }
    std::uint32_t Stored() { return GetGlobalConfigurations().GetDword(Capabilities); }
};

} // namespace

TEST_F(CapabilityProbe, FindsWhatEachProfileSupports)
{
    const char* const profiles[] = {
        R"({"base": "full"})",
        R"({"base": "minimal"})",
        R"({"base": "noLcd"})",
        R"({"base": "audity"})",
        R"({"base": "mid"})",
        R"({"base": "a2k"})",
        // No setup dump: the model decides the channels.
        R"({"base": "minimal", "identity": {"member": 3}})",
        // A setup dump of 16 channels on a model the list does not name.
        R"({"base": "full", "channels": 16})",
        R"({"base": "full", "capabilities": {"presetDumps": false}})",
        R"({"base": "full", "capabilities": {"tuningDumps": false, "bankMapDumps": false, "sectionDumps": false}})",
    };
    for (const char* profile : profiles) {
        SCOPED_TRACE(profile);
        StartModule(profile);
        const std::uint32_t expected = Supported(module->profile());
        EXPECT_TRUE(proteus->CheckCapabilities());
        EXPECT_EQ(proteus->GetCapabilities(), expected) << std::hex << proteus->GetCapabilities() << " " << expected;
        EXPECT_EQ(Stored(), expected);
        EXPECT_TRUE(env->presenter->texts.isEmpty()) << env->presenter->texts.join(u'\n').toStdString();
    }
}

TEST_F(CapabilityProbe, StoredFlagsSpareTheModule)
{
    for (std::uint32_t stored : {CAP_TESTED, CAP_TESTED | CAP_SETUP_DUMPS | CAP_32_CHANNELS}) {
        SCOPED_TRACE(stored);
        StartModule(R"({"base": "full"})");
        GetGlobalConfigurations().SetDword(Capabilities, stored);
        EXPECT_TRUE(proteus->CheckCapabilities());
        EXPECT_EQ(proteus->GetCapabilities(), stored);
        EXPECT_TRUE(ToModule().empty());
    }
}

TEST_F(CapabilityProbe, ReportsProgressAndProbesWithEveryCapabilityButTested)
{
    struct Row {
        const char* name;
        const char* profile;
    };
    // The second module dumps no presets: the progress still takes seven steps.
    const Row rows[] = {{"everything", R"({"base": "full"})"}, {"no preset dumps", R"({"base": "minimal"})"}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartModule(row.profile);
        RecordingListener listener;
        std::vector<std::uint32_t> during;
        listener.onCall = [&](const QString& call) {
            if (call == QLatin1String("step"))
                during.push_back(proteus->GetCapabilities());
        };
        proteus->AddListener(&listener);
        proteus->CheckCapabilities();
        proteus->RemoveListener(&listener);
        QStringList expected{QStringLiteral("begin 0 7 Checking Device")};
        for (int i = 0; i < 7; ++i)
            expected << QStringLiteral("step");
        expected << QStringLiteral("end");
        listener.calls.removeIf([](const QString& c) { return c.startsWith(QLatin1String("sysex")); });
        EXPECT_EQ(listener.calls, expected);
        EXPECT_EQ(during, std::vector<std::uint32_t>(7, 0xFFFFFFFEu));
        EXPECT_FALSE(proteus->SuppressingWarnings());
    }
}

TEST_F(CapabilityProbe, FailuresAreLoggedNotShownAndLeaveTheirFlagsClear)
{
    struct Row {
        const char* name;
        Fault fault;
        std::uint32_t clear; // flags the fault must leave clear
        const char* log;
    };
    const Row rows[] = {
        // A module error is no setup dump: no 0x200, and the channels by the model (3: 32).
        {"setup refused", Fault::ModuleError(7).on(0x1D), CAP_SETUP_DUMPS,
         "Failed to reading sysex data with Failed to recive the incoming dump"},
        {"setup cut short", Fault::Truncate(30, true).on(0x1D), CAP_SETUP_DUMPS,
         "Failed to dump setup with a setup dump shorter than its section counts"},
        {"silent module", Fault::Silence(),
         CAP_SETUP_DUMPS | CAP_ARPS_AND_BEATS | CAP_16_CONTROLLERS | CAP_TUNING_DUMPS | CAP_BANK_MAP_DUMPS
             | CAP_PRESET_DUMPS | CAP_SYSEX_DUMPS,
         "Failed to dump preset with failed to get dump request response"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartModule(R"({"base": "full"})");
        AddFault(row.fault);
        proteus->CheckCapabilities();
        const std::uint32_t found = proteus->GetCapabilities();
        EXPECT_EQ(found & row.clear, 0u) << std::hex << found;
        EXPECT_EQ(found & ~row.clear, Supported(module->profile()) & ~row.clear) << std::hex << found;
        EXPECT_TRUE(found & CAP_32_CHANNELS);
        EXPECT_TRUE(env->presenter->texts.isEmpty()) << env->presenter->texts.join(u'\n').toStdString();
        EXPECT_TRUE(Log().Contains(QLatin1String(row.log))) << row.log;
    }
}

TEST_F(CapabilityProbe, TestUiAssumesTheSetupWithoutAskingIt)
{
    StartModule(R"({"base": "minimal"})");
    GetGlobalConfigurations().SetBool(TestUI, true);
    proteus->CheckCapabilities();
    GetGlobalConfigurations().SetBool(TestUI, false);
    const std::vector<QByteArray> sent = ToModule();
    EXPECT_TRUE(std::none_of(sent.begin(), sent.end(), [](const QByteArray& m) {
        return m.startsWith(sim::Hex("F0 18 0F 00 55 1D"));
    }));
    EXPECT_EQ(proteus->GetCapabilities() & 0x0210u, 0x0210u);
}

TEST_F(CapabilityProbe, WhatAModuleLacksIsNoErrorWhatComesBrokenIs)
{
    struct Row {
        const char* name;
        const char* profile;
        std::optional<Fault> fault;
        std::uint32_t clear;  // flags the probe must leave clear
        const char* error;    // the error line expected, or none at all
    };
    const Row rows[] = {
        // Modules that refuse or ignore what they lack: quiet.
        {"minimal", R"({"base": "minimal"})", {}, CAP_PRESET_DUMPS | CAP_SETUP_DUMPS | CAP_BANK_MAP_DUMPS, nullptr},
        {"no section dumps", R"({"base": "mid"})", {}, CAP_SYSEX_DUMPS, nullptr},
        {"bank map refused", R"({"base": "full"})", Fault::ModuleError(7).on(0x17), CAP_BANK_MAP_DUMPS, nullptr},
        {"bank map ignored", R"({"base": "full"})", Fault::Silence().on(0x17), CAP_BANK_MAP_DUMPS, nullptr},
        {"section refused", R"({"base": "full"})", Fault::ModuleError(7).on(0x11).nth(2), CAP_SYSEX_DUMPS, nullptr},
        {"setup ignored", R"({"base": "full"})", Fault::Silence().on(0x1D), CAP_SETUP_DUMPS, nullptr},
        // A reply that comes broken is a failure, still logged as one.
        {"setup cut short", R"({"base": "full"})", Fault::Truncate(30, true).on(0x1D), CAP_SETUP_DUMPS,
         "Failed to dump setup with a setup dump shorter than its section counts"},
        {"setup garbled", R"({"base": "full"})", Fault::InputError().on(0x1D), CAP_SETUP_DUMPS,
         "Failed to reading sysex data with Failed to recive the incoming dump"},
        {"bank map cut short", R"({"base": "full"})", Fault::Truncate(40, true).on(0x17), CAP_BANK_MAP_DUMPS,
         "Bank map reply refused"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartModule(row.profile);
        if (row.fault)
            AddFault(*row.fault);
        Log().SetLevel(kLogError); // only error lines are kept
        Log().Clear();
        proteus->CheckCapabilities();
        const std::uint32_t found = proteus->GetCapabilities();
        EXPECT_EQ(found & row.clear, 0u) << std::hex << found;
        EXPECT_EQ(found & ~row.clear, Supported(module->profile()) & ~row.clear) << std::hex << found;
        EXPECT_TRUE(env->presenter->texts.isEmpty()) << env->presenter->texts.join(u'\n').toStdString();
        const QStringList errors = Log().Lines();
        if (row.error) {
            EXPECT_TRUE(Log().Contains(QLatin1String(row.error))) << errors.join(u'\n').toStdString();
        } else {
            EXPECT_TRUE(errors.isEmpty()) << errors.join(u'\n').toStdString();
        }
    }
}
