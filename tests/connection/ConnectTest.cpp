// The connect sequence against the simulated module in virtual time: first
// and second connects, refused modules, TestUI, lost connections, beat data.
#include "support/ProteusSimFixture.h"
#include "support/ConnectSupport.h"

#include "core/GlobalResources.h"
#include "core/Settings.h"
#include "module/ParameterIds.h"
#include "sim/Profile.h"

#include <QTemporaryDir>

#include <map>

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

        // Every setting was read: the user hears of no missing one.
        EXPECT_TRUE(env->presenter->texts.filter(QStringLiteral("settings could not be read")).isEmpty());

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

TEST_F(ConnectTest, FirstConnectAsksForNothingItAlreadyHas)
{
    // The cache build needs the SIMM list and the names the object counts already
    // read: both come from earlier in the same connect, not from the module again.
    for (const char* name : {"full", "audity"}) {
        SCOPED_TRACE(name);
        Connect(QByteArray(R"({"base": ")") + name + R"("})");
        ASSERT_TRUE(proteus->IsReady());
        const std::vector<QByteArray> sent = ToModule();
        EXPECT_EQ(CountRequests(sent, sim::Hex("F0 18 0F 00 55 0A F7")), 1);
        std::map<QByteArray, int> nameRequests;
        for (const QByteArray& m : sent)
            if (m.startsWith(sim::Hex("F0 18 0F 00 55 0C")))
                ++nameRequests[m];
        ASSERT_FALSE(nameRequests.empty());
        for (const auto& [request, times] : nameRequests)
            EXPECT_EQ(times, 1) << request.toHex(' ').toStdString();
    }
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

// One value that does not come: the rest of its group is still read, and the
// user hears that the connection holds defaults the module may not have.
TEST_F(ConnectTest, AValueThatFailsLeavesTheRestOfItsGroupReadAndTellsTheUser)
{
    const std::vector<int> controllers = {392, 393, 394, 395, 396, 397, 398, 399, 400, 401, 402, 403};
    Connect(R"({"base": "full"})", [&](TestProteus&) {
        for (int id : controllers)
            module->setParameterValue(id, id - 380); // none of them their default
        AddFault(sim::Fault::Silence().on(CMD_PARAMETER_REQUEST).forSubject(391).limit(1));
    });
    ASSERT_TRUE(proteus->IsReady());
    EXPECT_EQ(Count(QStringLiteral("connected")), 1);
    for (int id : controllers)
        EXPECT_EQ(proteus->FindParameter(id)->value, id - 380) << id;
    EXPECT_TRUE(Log().Contains(QStringLiteral("No response to Parameter Request")));
    const QStringList told = env->presenter->texts.filter(QStringLiteral("1 of the module's settings could not be read"));
    ASSERT_EQ(told.size(), 1) << env->presenter->texts.join(u'\n').toStdString();
    EXPECT_TRUE(Log().Contains(told[0]));

    // Everything answered: no such box.
    Connect(R"({"base": "full"})");
    ASSERT_TRUE(proteus->IsReady());
    EXPECT_TRUE(env->presenter->texts.filter(QStringLiteral("could not be read")).isEmpty());
}

// A range reply that comes after its request gave up answers no later request:
// the ranges the connect keeps (and writes to the configuration cache) are the
// module's own.
TEST_F(ConnectTest, ALateRangeReplyShiftsNoRange)
{
    Connect(R"({"base": "full"})", [&](TestProteus&) {
        AddFault(sim::Fault::Late(sim::Millis(1200)).on(CMD_PARAMETER_MINMAX_REQUEST).nth(5));
    });
    ASSERT_TRUE(proteus->IsReady());
    int compared = 0;
    for (int id = 257; id <= 528; ++id) {
        const sim::ParameterDef* def = module->profile().parameter(id);
        const ParamRecord* cached = proteus->AllParameters.Find(id);
        if (!def || !cached || def->scope != QStringLiteral("global") || id == 523) // 523: a range of our own
            continue;
        SCOPED_TRACE(id);
        if (cached->minimum == 0 && cached->maximum == 0 && def->maximum != 0)
            continue; // the one whose reply came late
        EXPECT_EQ(cached->minimum, def->minimum);
        EXPECT_EQ(cached->maximum, def->maximum);
        EXPECT_EQ(cached->defaultValue, def->defaultValue);
        ++compared;
    }
    EXPECT_GT(compared, 40);
    EXPECT_TRUE(Log().Contains(QStringLiteral("Ignored a reply that answers no waiting request")));
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

// Every field of the beat data, for comparing two of them whole.
QStringList BeatFields(const Proteus::BeatData& d)
{
    QStringList out{QStringLiteral("channel %1 trigger %2 offset %3").arg(d.beatChannel).arg(d.triggerChannel).arg(d.triggerOffset),
                    QStringLiteral("preset %1:%2 %3 riff %4:%5 %6")
                        .arg(d.romId).arg(d.presetNumber).arg(d.presetName)
                        .arg(d.riffSimm).arg(d.riffNumber).arg(d.riffName)};
    for (std::size_t i = 0; i < d.layers.size(); ++i) {
        const Proteus::BeatLayerRow& r = d.layers[i];
        out << QStringLiteral("layer %1: key %2 latch %3 velocity %4 transpose %5 group %6")
                   .arg(i).arg(r.triggerKey).arg(r.latch).arg(r.velocity).arg(r.transpose).arg(r.group);
    }
    return out;
}

TEST_F(ConnectTest, BeatDataFollowsTheChangesOfItsParameters)
{
    Connect(R"({"base": "full"})", [&](TestProteus&) {
        for (int layer = 0; layer < 16; ++layer) {
            module->setParameterValueAt(BEATS_VELOCITY, {layer}, layer + 1);
            module->setParameterValueAt(BEATS_XPOSE, {layer}, -(layer + 1));
            module->setParameterValueAt(BEATS_GROUP, {layer}, layer % 4 + 1);
        }
    });
    ASSERT_TRUE(proteus->IsReady());
    // The connect put each beat part into its own field.
    for (int layer = 0; layer < 16; ++layer) {
        SCOPED_TRACE(layer);
        const Proteus::BeatLayerRow& row = proteus->GetBeatData().layers[size_t(layer)];
        EXPECT_EQ(row.velocity, layer + 1);
        EXPECT_EQ(row.transpose, -(layer + 1));
        EXPECT_EQ(row.group, layer % 4 + 1);
    }

    auto edit = [&](int id, int value, int romId = 0) {
        ParamRecord record = *proteus->FindParameter(id);
        record.previousValue = record.value;
        record.value = value;
        record.romId = romId;
        return proteus->ParameterEdit(&record);
    };

    // With beat layer 7 selected, an edit changes its one field of row 7.
    ASSERT_TRUE(edit(BEAT_LAYER_SELECT, 7));
    using Field = std::function<int&(Proteus::BeatData&)>;
    struct Row {
        int id;
        int value;
        Field field;
    } rows[] = {
        {BEAT_TRIGGER_KEY, 70, [](Proteus::BeatData& d) -> int& { return d.layers[7].triggerKey; }},
        {BEAT_TRIGGER_LATCH, 1, [](Proteus::BeatData& d) -> int& { return d.layers[7].latch; }},
        {BEATS_VELOCITY, 50, [](Proteus::BeatData& d) -> int& { return d.layers[7].velocity; }},
        {BEATS_XPOSE, 12, [](Proteus::BeatData& d) -> int& { return d.layers[7].transpose; }},
        {BEATS_GROUP, 3, [](Proteus::BeatData& d) -> int& { return d.layers[7].group; }},
        {BEATS_TRIGGER_CHANNEL, 4, [](Proteus::BeatData& d) -> int& { return d.triggerChannel; }},
        {BEATS_TRIGGER_OFFSET, -5, [](Proteus::BeatData& d) -> int& { return d.triggerOffset; }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.id);
        Proteus::BeatData expected = proteus->GetBeatData();
        row.field(expected) = row.value;
        ASSERT_TRUE(edit(row.id, row.value));
        EXPECT_EQ(BeatFields(proteus->GetBeatData()), BeatFields(expected));
    }

    // A preset change on the beat channel reloads its preset and riff; on
    // another channel it changes nothing. The beat channel here is 9.
    ASSERT_EQ(proteus->GetBeatData().beatChannel, 9);
    auto presetDumpRequests = [&] { return CountRequests(ToModule(), sim::Hex("F0 18 0F 00 55 11")); };
    ASSERT_TRUE(edit(MULTIMODE_BASIC_CHANNEL, 9));
    ASSERT_TRUE(edit(MULTIMODE_PRESET, 12, 4));
    Proteus::BeatData reloaded = proteus->GetBeatData();
    EXPECT_EQ(reloaded.romId, 4);
    EXPECT_EQ(reloaded.presetNumber, 12);
    EXPECT_EQ(reloaded.presetName, proteus->GetSimmObjectName(OBJECT_PRESET, 4, 12));
    EXPECT_FALSE(reloaded.presetName.isEmpty());
    EXPECT_EQ(reloaded.riffName, proteus->GetSimmObjectName(OBJECT_RIFF, reloaded.riffSimm, reloaded.riffNumber));

    ASSERT_TRUE(edit(MULTIMODE_BASIC_CHANNEL, 5));
    const int requests = presetDumpRequests();
    ASSERT_TRUE(edit(MULTIMODE_PRESET, 20, 4));
    EXPECT_EQ(presetDumpRequests(), requests);
    EXPECT_EQ(BeatFields(proteus->GetBeatData()), BeatFields(reloaded));

    // A riff that cannot be read leaves the preset and riff as they were, on a
    // change and on a whole refresh.
    ASSERT_TRUE(edit(MULTIMODE_BASIC_CHANNEL, 9));
    AddFault(sim::Fault::Silence().on(0x11));
    ASSERT_TRUE(edit(MULTIMODE_PRESET, 30, 4));
    EXPECT_EQ(BeatFields(proteus->GetBeatData()), BeatFields(reloaded));
    proteus->UpdateBeatDataCache();
    EXPECT_EQ(BeatFields(proteus->GetBeatData()).mid(0, 2), BeatFields(reloaded).mid(0, 2));

    // Without preset section dumps the riff cannot be known.
    proteus->SetCapabilities(proteus->GetCapabilities() & ~CAP_SYSEX_DUMPS);
    ASSERT_TRUE(edit(MULTIMODE_PRESET, 40, 4));
    EXPECT_EQ(proteus->GetBeatData().presetNumber, 40);
    EXPECT_EQ(proteus->GetBeatData().riffName, QStringLiteral("BTS-Unknown"));
    EXPECT_EQ(proteus->GetBeatData().riffNumber, reloaded.riffNumber);
}

} // namespace

TEST_F(ConnectTest, ModulesThatLackFeaturesConnectColdAndWarmWithoutAnError)
{
    for (const char* name : {"minimal", "mid", "audity", "a2k"}) {
        SCOPED_TRACE(name);
        // Nothing known yet: the capability probe runs and the configuration cache is built.
        Connect(QByteArray(R"({"base": ")") + name + R"("})", [this](TestProteus&) {
            GetGlobalConfigurations().SetDword(Capabilities, 0);
            Log().SetLevel(kLogError); // only error lines are kept
            Log().Clear();
        });
        ASSERT_TRUE(proteus->IsReady());
        EXPECT_EQ(proteus->GetCapabilities(), CapabilitiesOf(module->profile()) | CAP_LCD_INTERROGATION);
        EXPECT_TRUE(Log().Lines().isEmpty()) << "cold: " << Log().Lines().join(u'\n').toStdString();

        proteus->ClosePort();
        ASSERT_TRUE(proteus->OpenPort(0, 0, 0, 1000, 0, 0, false));
        for (int i = 0; i < 100 && !proteus->IsReady(); ++i)
            proteus->PumpMessages();
        ASSERT_TRUE(proteus->IsReady());
        EXPECT_TRUE(Log().Lines().isEmpty()) << "warm: " << Log().Lines().join(u'\n').toStdString();
    }
}
