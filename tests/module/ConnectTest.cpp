// The connect sequence against the simulated module in virtual time: first
// and second connects, refused modules, TestUI, lost connections, beat data.
#include "support/ProteusSimFixture.h"
#include "support/ConnectSupport.h"

#include "core/GlobalResources.h"
#include "core/Settings.h"
#include "module/ParameterIds.h"
#include "sim/Profile.h"

#include <QTemporaryDir>

using namespace proteustest;

namespace {

class ConnectTest : public ProteusSimTest {
public:
    using ProteusSimTest::AddFault;

protected:
    void SetUp() override {}

    // Connects to the module of profileJson with the whole connect sequence.
    void Connect(const QByteArray& profileJson, std::function<void(TestProteus&)> extra = {})
    {
        SimOptions options;
        options.profileJson = profileJson;
        options.runConnectSequence = true;
        options.beforeOpen = [this, extra](TestProteus& p) {
            // A data folder of its own for every connect: the configuration cache starts cold.
            resources.reset();
            folder = std::make_unique<QTemporaryDir>();
            resources = std::make_unique<GlobalResources>();
            DataLocations l;
            l.documentsFolder = folder->filePath(QStringLiteral("docs"));
            l.programFolder = folder->filePath(QStringLiteral("bin"));
            resources->SetDataLocations(l);
            listener = std::make_unique<RecordingListener>();
            p.AddListener(listener.get());
            GetGlobalConfigurations().SetDword(Capabilities, CapabilitiesOf(module->profile()));
            if (extra)
                extra(p);
        };
        Start(options);
    }

    void TearDown() override
    {
        if (proteus && listener)
            proteus->RemoveListener(listener.get());
        Stop();
        listener.reset();
        resources.reset();
    }

    int Count(const QString& call) const { return int(listener->calls.count(call)); }

    std::unique_ptr<RecordingListener> listener;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<GlobalResources> resources;
};

TEST_F(ConnectTest, FirstConnectOfEveryFamilyMemberReachesConnected)
{
    for (const char* name : {"full", "minimal", "noLcd", "audity", "mid"}) {
        SCOPED_TRACE(name);
        Connect(QByteArray(R"({"base": ")") + name + R"("})");
        const sim::Profile& p = module->profile();
        ASSERT_TRUE(proteus->IsReady()) << TranscriptText().left(2000).toStdString();
        EXPECT_EQ(Count(QStringLiteral("connected")), 1);
        EXPECT_EQ(proteus->hardwareConfig.familyMember, p.identity.member);
        EXPECT_EQ(proteus->hardwareConfig.GetRevision(), QString::fromLatin1(p.identity.revision).trimmed());

        const std::vector<QByteArray> sent = ToModule();
        ASSERT_GE(sent.size(), 2u);
        EXPECT_EQ(sent[0], sim::Hex("F0 7E 00 06 01 F7"));           // identity first
        EXPECT_EQ(sent[1], sim::Hex("F0 18 0F 00 55 0A F7"));        // then the ROM configuration

        // Every ROM SIMM and the user bank, with the module's names.
        EXPECT_EQ(proteus->hardwareConfig.GetSimmCount(), int(p.simms.size()) + 1);
        for (const auto& simm : p.simms) {
            const _SimmData* data = proteus->FindSimmData(simm.id);
            ASSERT_NE(data, nullptr);
            EXPECT_EQ(data->GetCount(OBJECT_PRESET), simm.presets);
            EXPECT_EQ(data->GetName(OBJECT_PRESET, 1),
                      QString::fromLatin1(module->objectName(sim::ObjectKind::Preset, simm.id, 1).value()).trimmed());
        }
        const _SimmData* user = proteus->FindSimmData(0);
        ASSERT_NE(user, nullptr);
        EXPECT_EQ(user->GetName(OBJECT_PRESET, 0),
                  QString::fromLatin1(module->objectName(sim::ObjectKind::Preset, 0, 0).value()).trimmed());

        // Arp and beat groups only on modules that have them; every arp count 0 otherwise.
        const bool arps = p.has(QStringLiteral("arpsAndBeats"));
        EXPECT_EQ(CountRequests(sent, sim::Hex("F0 18 0F 00 55 02 01 14 02")) > 0, arps); // BEAT_TRIGGER_KEY 160
        if (!arps)
            for (const SimmSlot& slot : proteus->hardwareConfig.GetSimms())
                EXPECT_EQ(slot.arps, 0);

        // The connection ends with the basic channel distributed and beat layer 0 selected.
        EXPECT_EQ(listener->calls.last(), QStringLiteral("changed"));
        EXPECT_EQ(proteus->GetCurrentLayer(), 0);
    }
}

TEST_F(ConnectTest, SecondConnectAsksNoRangeAgain)
{
    Connect(R"({"base": "full"})");
    ASSERT_TRUE(proteus->IsReady());
    const std::vector<QByteArray> first = ToModule();
    const int firstRanges = CountRequests(first, sim::Hex("F0 18 0F 00 55 04"));
    EXPECT_GT(firstRanges, 400);

    proteus->ClosePort();
    EXPECT_FALSE(proteus->IsConnected());
    EXPECT_EQ(Count(QStringLiteral("disconnected")), 1);
    ASSERT_TRUE(proteus->OpenPort(0, 0, 0, 1000, 0, 0, false));
    for (int i = 0; i < 100 && !proteus->IsReady(); ++i)
        proteus->PumpMessages();
    ASSERT_TRUE(proteus->IsReady());
    EXPECT_EQ(Count(QStringLiteral("connected")), 2);

    const std::vector<QByteArray> all = ToModule();
    const std::vector<QByteArray> second(all.begin() + std::ptrdiff_t(first.size()), all.end());
    EXPECT_EQ(CountRequests(second, sim::Hex("F0 18 0F 00 55 04")), 0);    // ranges cached
    EXPECT_GT(CountRequests(second, sim::Hex("F0 18 0F 00 55 02 01")), 400); // values asked again
}

TEST_F(ConnectTest, RefusedModulesCloseThePortsAndTellTheUser)
{
    struct Row {
        const char* name;
        QByteArray profile;
        std::function<void(ConnectTest&)> fault;
        const char* message;
    };
    const Row rows[] = {
        {"no identity reply", R"({"base": "full"})",
         [](ConnectTest& t) { t.AddFault(sim::Fault::Silence().on(sim::kRouteIdentityRequest)); },
         "Device not responding"},
        {"family 515", R"({"base": "full", "identity": {"family": 515}})", {}, "Device is not a Emu Proteus"},
        {"another maker", R"({"base": "full", "identity": {"manufacturer": 65}})", {},
         "Device is not a Emu Proteus"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Connect(row.profile, [&](TestProteus&) {
            if (row.fault)
                row.fault(*this);
        });
        EXPECT_FALSE(proteus->IsConnected());
        EXPECT_FALSE(proteus->IsReady());
        EXPECT_EQ(Count(QStringLiteral("connected")), 0);
        EXPECT_TRUE(env->presenter->texts.contains(QString::fromUtf8(row.message))) << env->presenter->texts.join(u'|').toStdString();
        EXPECT_EQ(ToModule().size(), 1u); // nothing after the identity request
    }
}

// A connection lost at any point of the sequence: the listeners never hear
// "connected", and no SIMM keeps a half-learned name cache.
TEST_F(ConnectTest, DisconnectDuringTheSequenceEndsItCleanly)
{
    struct Row {
        const char* name;
        sim::Fault fault;
        bool testUI;
    };
    const Row rows[] = {
        {"at the ROM configuration", sim::Fault::Disconnect().on(0x0A), false},
        {"while loading names", sim::Fault::Disconnect().on(0x0C).nth(40), false},
        {"while loading values", sim::Fault::Disconnect().on(0x02).nth(300), false},
        {"while loading beat layers", sim::Fault::Disconnect().on(0x02).forSubject(BEAT_TRIGGER_LATCH).nth(3), false},
        {"while loading values, TestUI on", sim::Fault::Disconnect().on(0x02).nth(300), true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Connect(R"({"base": "full"})", [&](TestProteus&) {
            GetGlobalConfigurations().SetDword(TestUI, row.testUI ? 1 : 0);
            AddFault(row.fault);
        });
        EXPECT_FALSE(proteus->IsConnected());
        EXPECT_FALSE(proteus->IsReady());
        EXPECT_EQ(Count(QStringLiteral("connected")), 0) << listener->calls.join(u' ').right(300).toStdString();
        EXPECT_TRUE(proteus->simmMap.empty());
        EXPECT_EQ(proteus->GetBeatData().riffName, QString());
        EXPECT_TRUE(Log().Contains(QStringLiteral("MIDI port disconnected")));
        GetGlobalConfigurations().SetDword(TestUI, 0);
    }
}

TEST_F(ConnectTest, TestUIRunsTheWholeSequenceWithoutAModule)
{
    Connect(R"({"base": "full"})", [&](TestProteus&) {
        GetGlobalConfigurations().SetDword(TestUI, 1);
        AddFault(sim::Fault::Silence());
    });
    EXPECT_TRUE(proteus->IsReady());
    EXPECT_EQ(Count(QStringLiteral("connected")), 1);
    EXPECT_EQ(proteus->hardwareConfig.manufacturer, 0x18);
    EXPECT_EQ(proteus->hardwareConfig.family, 516);
    EXPECT_EQ(proteus->hardwareConfig.familyMember, 3);
    EXPECT_EQ(proteus->hardwareConfig.GetRevision(), QStringLiteral("2.26"));
    const _SimmData* user = proteus->FindSimmData(0);
    ASSERT_NE(user, nullptr);
    EXPECT_EQ(user->GetCount(OBJECT_PRESET), 512);
    EXPECT_EQ(user->GetCount(OBJECT_ARP), 100);
    EXPECT_EQ(user->GetCount(OBJECT_SETUP), 64);
    EXPECT_EQ(user->GetName(OBJECT_SETUP, 63), QStringLiteral("User Setup"));
    // Nothing refuses the missing module (the setup buffer may say that its
    // stand-in file for the module's setup is missing).
    EXPECT_FALSE(env->presenter->texts.contains(QStringLiteral("Device not responding")));
    EXPECT_FALSE(env->presenter->texts.contains(QStringLiteral("Device is not a Emu Proteus")));
    GetGlobalConfigurations().SetDword(TestUI, 0);
}

TEST_F(ConnectTest, SimulatedFamilyMemberSetsMemberAndRevision)
{
    struct Row {
        int simulate;
        const char* revision;
    };
    for (const Row& row : {Row{18, "1.07"}, Row{14, "2.00"}, Row{7, "2.26"}}) {
        SCOPED_TRACE(row.simulate);
        Connect(R"({"base": "full"})",
                [&](TestProteus&) { GetGlobalConfigurations().SetDword(Simulate, std::uint32_t(row.simulate)); });
        EXPECT_TRUE(proteus->IsReady());
        EXPECT_EQ(proteus->hardwareConfig.familyMember, row.simulate);
        EXPECT_EQ(proteus->hardwareConfig.GetRevision(), QString::fromUtf8(row.revision));
        GetGlobalConfigurations().SetDword(Simulate, 0);
    }
}

TEST_F(ConnectTest, BeatLayersAreSteppedAndLayerZeroSelectedAgain)
{
    Connect(R"({"base": "full"})");
    ASSERT_TRUE(proteus->IsReady());
    // LAYER_SELECT (898 = 02 07) edits: 0 for the user data, then beat layers 0-23, then 0.
    std::vector<int> layers;
    for (const QByteArray& m : ToModule())
        if (m.startsWith(sim::Hex("F0 18 0F 00 55 01 02 02 07")) && m.size() == 12)
            layers.push_back(Get14Signed(m, 9));
    std::vector<int> expected{0};
    for (int i = 0; i < 24; ++i)
        expected.push_back(i);
    expected.push_back(0);
    EXPECT_EQ(layers, expected);
    const Proteus::BeatData& beats = proteus->GetBeatData();
    for (int i = 0; i < 24; ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(beats.layers[size_t(i)].triggerKey, module->parameterValueAt(BEAT_TRIGGER_KEY, {i}).value_or(-1));
        if (i > 15)
            EXPECT_EQ(beats.layers[size_t(i)].velocity, 0);
    }
    EXPECT_EQ(beats.triggerOffset, proteus->FindParameter(BEATS_TRIGGER_OFFSET)->value);
}

} // namespace
