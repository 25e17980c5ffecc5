// The ROM data cache (object counts in the settings store), the loading of
// SIMM names with the Mappings document, and the configuration cache file,
// against the simulated module in virtual time.
#include "core/GlobalResources.h"
#include "core/RegistryKey.h"
#include "core/Settings.h"
#include "core/XMLDocument.h"
#include "dump/ConfigurationCache.h"
#include "module/Capabilities.h"
#include "module/Proteus.h"
#include "module/StackedProgress.h"
#include "support/ProteusSimFixture.h"
#include "PrivateTmpfs.h"
#include "RecordingPresenter.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <array>
#include <set>

namespace {

using proteustest::RecordingListener;

// Two ROMs with few objects, so a whole cache build stays small.
constexpr char kTwoRoms[] = R"({"base": "full", "simms": [
    {"id": 2, "name": "Orchestral", "tag": "ORC", "presets": 12, "instruments": 7, "arps": 5, "demos": 2, "riffs": 3},
    {"id": 6, "name": "World", "tag": "WLD", "presets": 9, "instruments": 4}]})";

constexpr char kFirstRunText[] =
    "This is the first time Tabrine has been run under this configuration.\r\nTo start, we need to download the "
    "current ROM configuration for your module.\r\nThis operation will take a few minutes to complete, but will "
    "speed startup in future.\r\n";
constexpr char kRomsChangedStart[] = "It appears that the current set of ROMs in your module has changed \r\n";

QString RomDataPath(int simmId)
{
    return QStringLiteral("Software\\Brimcote Limited\\Tabrine\\Settings\\ROMData\\%1").arg(simmId);
}

std::optional<std::uint32_t> StoredCount(int simmId, const QString& kind)
{
    RegistryKey key(RomDataPath(simmId), false);
    if (!key.IsOpen() || !key.ReadValue(kind))
        return std::nullopt;
    return key.ReadDword(kind, 0);
}

QByteArray ReadBytes(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void WriteBytes(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

class CachesTest : public proteustest::ProteusSimTest {
protected:
    void SetUp() override { StartModule(kTwoRoms); }
    void TearDown() override
    {
        resources.reset();
        ProteusSimTest::TearDown();
    }

    void StartModule(const char* profile)
    {
        resources.reset();
        Start({.profileJson = profile});
        presenter = std::make_shared<RecordingPresenter>();
        SetMessagePresenter(presenter); // after Start, in place of the fixture's
        capabilities = CAP_TESTED | CAP_ARPS_AND_BEATS;
        proteus->SetCapabilities(capabilities);
        resources = std::make_unique<GlobalResources>();
        DataLocations l;
        l.documentsFolder = root.filePath(QStringLiteral("docs"));
        l.programFolder = root.filePath(QStringLiteral("app"));
        resources->SetDataLocations(l);
        resources->LoadDocuments();
    }

    /// A new connection to the same module with the same settings and files.
    void Reconnect()
    {
        proteus.reset();
        proteus = std::make_unique<proteustest::TestProteus>(services);
        ASSERT_TRUE(proteus->OpenPort(0, 0, 0, 1000, 0, 0, false));
        for (int i = 0; i < 100 && !proteus->IsConnected(); ++i)
            proteus->PumpMessages();
        ASSERT_TRUE(proteus->IsConnected());
        proteus->SetCapabilities(capabilities);
    }

    /// What identification does before the cache is read: the hardware
    /// configuration, the missing counts, a name cache per SIMM, the min/max cache.
    void Identify()
    {
        int count = 0;
        std::array<SimmSlot, HardwareConfig::kMaxSimms> simmSlots{};
        ASSERT_TRUE(proteus->GetHardwareConfiguration(count, simmSlots));
        for (int i = 0; i < count; ++i) {
            SimmSlot& s = simmSlots[i];
            const bool rom = s.simmId != 0;
            s.arps = proteus->GetRomObjectCount(OBJECT_ARP, s.simmId);
            s.setups = proteus->GetRomObjectCount(OBJECT_SETUP, s.simmId);
            s.demos = proteus->GetRomObjectCount(OBJECT_DEMO, s.simmId);
            s.riffs = rom ? proteus->GetRomObjectCount(OBJECT_RIFF, s.simmId) : 0;
            s.flag = rom ? 1 : 0;
            proteus->AddSimmData(
                TPtr<_SimmData>(new _SimmData(s.simmId, s.presets, s.instruments, s.arps, s.setups, s.demos, s.riffs, s.flag)));
        }
        proteus->hardwareConfig.SetSimms(std::span<const SimmSlot>(simmSlots.data(), std::size_t(count)));
        proteus->LoadAllParameters(true);
    }

    QString CachePath() const { return root.filePath(QStringLiteral("docs/Tabrine/Default.xml")); }
    std::size_t Sent() { return ToModule().size(); }
    /// The messages to the module since `from`, with command byte cmd.
    int SentSince(std::size_t from, int cmd)
    {
        const std::vector<QByteArray> all = ToModule();
        int n = 0;
        for (std::size_t i = from; i < all.size(); ++i)
            n += all[i].size() > 5 && uchar(all[i][5]) == cmd ? 1 : 0;
        return n;
    }
    /// The parameter ids of the range requests since `from`.
    std::set<int> RangeRequestsSince(std::size_t from)
    {
        const std::vector<QByteArray> all = ToModule();
        std::set<int> ids;
        for (std::size_t i = from; i < all.size(); ++i)
            if (all[i].size() == 9 && uchar(all[i][5]) == 0x04)
                ids.insert(sim::Module::Get14(all[i], 6));
        return ids;
    }
    void ClearFaults()
    {
        link->withDevice([&](sim::Device&) {
            module->clearFaults();
            return 0;
        });
    }
    QString Name(int kind, int simmId, int index) const
    {
        return proteus->GetSimmObjectName(ObjectKind(kind), simmId, index);
    }
    bool Shown(const QString& part) const
    {
        for (const ShownMessage& m : presenter->shown)
            if (m.text.contains(part))
                return true;
        return false;
    }
    /// Builds a good cache file from the module, answering nothing else.
    void BuildCache()
    {
        Identify();
        ASSERT_TRUE(proteus->LoadCacheConfiguration());
        ASSERT_TRUE(QFileInfo::exists(CachePath()));
        presenter->shown.clear();
    }

    QTemporaryDir root;
    std::unique_ptr<GlobalResources> resources;
    std::shared_ptr<RecordingPresenter> presenter;
    std::uint32_t capabilities = 0;
};

// ---- object counts ---------------------------------------------------------------------

TEST_F(CachesTest, ObjectCountsAreProbedOnceAndStored)
{
    // Past its last object the module answers a name request with an error,
    // or (demos, riffs) with the kind's placeholder name.
    constexpr char kDemoPlaceholder[] = R"(, "commands": {"names": {"pastCount": "placeholder", "placeholder": "SSSSSSSSSSSSSSSS"}})";
    constexpr char kRiffPlaceholder[] = R"(, "commands": {"names": {"pastCount": "placeholder", "placeholder": "ffffffffffffffff"}})";
    struct Row {
        const char* name;
        const char* simm;  // the SIMM 2 entry of the profile
        const char* names; // the names policy
        int kind;
        int expected;
    };
    const Row rows[] = {
        {"no presets", R"("presets": 0, "instruments": 1)", "", OBJECT_PRESET, 0},
        {"one preset", R"("presets": 1, "instruments": 1)", "", OBJECT_PRESET, 1},
        {"37 presets", R"("presets": 37, "instruments": 1)", "", OBJECT_PRESET, 37},
        {"exactly 1000", R"("presets": 1000, "instruments": 1)", "", OBJECT_PRESET, 1000},
        {"more than 1000", R"("presets": 1500, "instruments": 1)", "", OBJECT_PRESET, 1001},
        {"instruments", R"("presets": 1, "instruments": 513)", "", OBJECT_INSTRUMENT, 513},
        {"600 arps", R"("presets": 1, "instruments": 1, "arps": 600)", "", OBJECT_ARP, 600},
        {"more than 600 arps", R"("presets": 1, "instruments": 1, "arps": 900)", "", OBJECT_ARP, 601},
        {"demos", R"("presets": 1, "instruments": 1, "demos": 2)", "", OBJECT_DEMO, 2},
        {"demos end at the placeholder", R"("presets": 1, "instruments": 1, "demos": 2)", kDemoPlaceholder,
         OBJECT_DEMO, 2},
        {"riffs end at the placeholder", R"("presets": 1, "instruments": 1, "riffs": 3)", kRiffPlaceholder,
         OBJECT_RIFF, 3},
        {"a ROM without riffs", R"("presets": 1, "instruments": 1)", kRiffPlaceholder, OBJECT_RIFF, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartModule(QByteArray(R"({"base": "full", "simms": [{"id": 2, "name": "R", "tag": "R", )") + row.simm + "}]"
                    + row.names + "}");
        bool complete = false;
        std::size_t before = Sent();
        EXPECT_EQ(proteus->GetRomObjectCount(row.kind, 2, &complete), row.expected);
        EXPECT_TRUE(complete);
        EXPECT_LE(Sent() - before, 24u); // a search, not one request per object
        EXPECT_EQ(StoredCount(2, ObjectKindName(row.kind)), std::uint32_t(row.expected));

        before = Sent();
        EXPECT_EQ(proteus->GetRomObjectCount(row.kind, 2), row.expected);
        EXPECT_EQ(Sent(), before) << "the stored count is used";
    }
}

TEST_F(CachesTest, FixedAndStoredCountsNeedNoModule)
{
    const std::size_t before = Sent();
    EXPECT_EQ(proteus->GetRomObjectCount(OBJECT_ARP, 0), 100);
    EXPECT_EQ(proteus->GetRomObjectCount(OBJECT_SETUP, 0), 64);
    EXPECT_EQ(proteus->GetRomObjectCount(OBJECT_SETUP, 2), 0);
    EXPECT_FALSE(StoredCount(0, QStringLiteral("Arp")));
    EXPECT_FALSE(StoredCount(2, QStringLiteral("Setup")));

    RegistryKey(RomDataPath(2), true).WriteDword(QStringLiteral("Preset"), 0);
    EXPECT_EQ(proteus->GetRomObjectCount(OBJECT_PRESET, 2), 0) << "a stored 0 is a count, not a gap";
    EXPECT_EQ(Sent(), before);

    // No ROM holds that many: a damaged value is counted again and replaced.
    RegistryKey(RomDataPath(2), true).WriteDword(QStringLiteral("Instrument"), 50000);
    EXPECT_EQ(proteus->GetRomObjectCount(OBJECT_INSTRUMENT, 2), 7);
    EXPECT_EQ(StoredCount(2, QStringLiteral("Instrument")), 7u);
    EXPECT_TRUE(Log().Contains("The stored Instrument count 50000 of SIMM 2"));
}

TEST_F(CachesTest, RiffPlaceholderIsTwoLowerCaseLetters)
{
    struct Row {
        const char* first;
        int expected;
    };
    for (const Row& row : {Row{"ffirst riff", 0}, Row{"Ff riff", 3}, Row{"fF riff", 3}}) {
        SCOPED_TRACE(row.first);
        StartModule(R"({"base": "full", "simms": [{"id": 2, "name": "R", "tag": "R", "presets": 1, "instruments": 1,
            "riffs": 3}], "commands": {"names": {"pastCount": "placeholder", "placeholder": "ffffffffffffffff"}}})");
        link->withDevice([&](sim::Device&) {
            module->state().names[{6, 2, 0}] = QByteArray(row.first).leftJustified(16, ' ');
            return 0;
        });
        EXPECT_EQ(proteus->GetRomObjectCount(OBJECT_RIFF, 2), row.expected);
    }
}

TEST_F(CachesTest, CountWithAnUnansweredProbeIsNotStored)
{
    // Only an error reply or a placeholder says an object is missing; a
    // probe without a clear answer leaves the count unknown.
    struct Row {
        const char* name;
        sim::Fault fault;
    };
    const Row rows[] = {
        {"time-out", sim::Fault::Silence()},
        {"short reply", sim::Fault::Truncate(10, true)},
        {"broken input", sim::Fault::InputError()},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartModule(kTwoRoms);
        AddFault(sim::Fault(row.fault).on(0x0C).forSubject(7).limit(1)); // object 7 is there
        bool complete = true;
        EXPECT_EQ(proteus->GetRomObjectCount(OBJECT_PRESET, 2, &complete), 0);
        EXPECT_FALSE(complete);
        EXPECT_FALSE(StoredCount(2, QStringLiteral("Preset")));
        EXPECT_TRUE(Log().Contains("Could not count the Preset objects of SIMM 2"));

        // The next connection counts again, and this time keeps the count.
        EXPECT_EQ(proteus->GetRomObjectCount(OBJECT_PRESET, 2, &complete), 12);
        EXPECT_TRUE(complete);
        EXPECT_EQ(StoredCount(2, QStringLiteral("Preset")), 12u);
    }
}

// ---- names -------------------------------------------------------------------------------

TEST_F(CachesTest, LoadSimmNamesAppliesMappingsAndKeepsSetupNames)
{
    ASSERT_TRUE(resources->SetMappingsXML(QStringLiteral(R"(<Mappings>
        <DEVICE ID="Other"><OBJECT ID="Preset"><MAPPING ID="ORC">Wrong</MAPPING></OBJECT></DEVICE>
        <DEVICE ID="Settings">
          <OBJECT ID="Preset">
            <MAPPING ID="Preset">Pr</MAPPING>
            <MAPPING ID="">never</MAPPING>
            <SIMM ID="2">
              <MAPPINGS><MAPPING ID="ORC">Orch</MAPPING></MAPPINGS>
              <NAMES><NAME ID="1">Preset ORC Strings</NAME></NAMES>
            </SIMM>
          </OBJECT>
        </DEVICE></Mappings>)")));
    TPtr<_SimmData> rom(new _SimmData(2, 3, 0, 0, 0, 0, 0, 1));
    proteus->AddSimmData(rom);
    TPtr<_SimmData> user(new _SimmData(0, 0, 0, 0, 3, 0, 0, 0));
    proteus->AddSimmData(user);
    resources->SetSetupName(1, QStringLiteral("Live Rig"));

    RecordingListener listener;
    proteus->AddListener(&listener);
    {
        StackedProgress progress(proteus.get(), true, 0, 3, u"names");
        SimmSlot slot;
        slot.simmId = 2;
        slot.presets = 3;
        EXPECT_TRUE(proteus->LoadSimmNames(progress, slot));
        SimmSlot userSlot;
        userSlot.setups = 3;
        EXPECT_TRUE(proteus->LoadSimmNames(progress, userSlot));
    }
    proteus->RemoveListener(&listener);

    // The explicit name first, then the SIMM's replacements, then the kind's.
    EXPECT_EQ(rom->GetName(OBJECT_PRESET, 0), "Orch Pr 000");
    EXPECT_EQ(rom->GetName(OBJECT_PRESET, 1), "Pr Orch Strings");
    EXPECT_EQ(rom->GetName(OBJECT_PRESET, 2), "Orch Pr 002");
    EXPECT_EQ(user->GetName(OBJECT_SETUP, 0), "User Setup");
    EXPECT_EQ(user->GetName(OBJECT_SETUP, 1), "Live Rig");
    std::map<int, QString> stored;
    resources->GetSetupNames(stored);
    EXPECT_EQ(stored, (std::map<int, QString>{{0, "User Setup"}, {1, "Live Rig"}, {2, "User Setup"}}));
    EXPECT_EQ(listener.calls.count("step"), 3) << "setups make no steps";
    EXPECT_EQ(listener.calls.filter(QRegularExpression("^text .* Setups$")).size(), 1)
        << listener.calls.join('\n').toStdString();

    // A request that fails stops the load; names already there stay.
    AddFault(sim::Fault::Silence().on(0x0C).forSubject(1));
    rom->SetName(OBJECT_PRESET, 1, QStringLiteral("kept"));
    rom->SetName(OBJECT_PRESET, 2, QStringLiteral("kept"));
    StackedProgress progress(proteus.get(), false, 0, 0, u"");
    EXPECT_FALSE(proteus->LoadObjectNames(progress, rom, OBJECT_PRESET, 2, 3));
    EXPECT_EQ(rom->GetName(OBJECT_PRESET, 1), "kept");
    EXPECT_EQ(rom->GetName(OBJECT_PRESET, 2), "kept");
}

// ---- the configuration cache -------------------------------------------------------------

TEST_F(CachesTest, ColdBuildWritesEveryNameAndAnsweredRange)
{
    Identify();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_EQ(presenter->shown[0].text, kFirstRunText);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ROMHash), 8u) << "SIMM ids 0 + 2 + 6";

    XMLDocument doc;
    doc.Create();
    ASSERT_TRUE(doc.Load(CachePath()));
    const XMLElement root = doc.GetDocumentElement();
    EXPECT_EQ(root.GetNodeName(), "ProteusConfig");
    std::vector<XMLNode> top;
    root.GetChildNodes(top);
    ASSERT_EQ(top.size(), 2u);
    EXPECT_EQ(top[0].GetNodeName(), "SIMMS");
    EXPECT_EQ(top[1].GetNodeName(), "PARAMETERS");

    std::vector<XMLNode> simms;
    top[0].GetChildNodes(simms);
    ASSERT_EQ(simms.size(), 2u) << "the two ROMs, never the user bank";
    EXPECT_EQ(XMLElement(simms[0]).GetAttribute(u"SIMM_ID"), "2");
    EXPECT_EQ(XMLElement(simms[1]).GetAttribute(u"SIMM_ID"), "6");
    std::vector<XMLNode> lists;
    simms[0].GetChildNodes(lists);
    QStringList listNames;
    for (const XMLNode& n : lists)
        listNames << n.GetNodeName();
    EXPECT_EQ(listNames, QStringList({"PRESETS", "INSTRUMENTS", "ARPS", "SETUPS", "DEMOS", "RIFFS"}));
    const XMLElement preset = simms[0].SelectSingleNode(u"./PRESETS/PRESET[@SIMM_ID='11']");
    ASSERT_FALSE(preset.IsNull());
    EXPECT_EQ(preset.GetText(), "ORC Preset 011");
    EXPECT_EQ(simms[0].SelectSingleNode(u"./ARPS/ARP[@SIMM_ID='4']").GetText(), "ORC Arp 004");
    EXPECT_EQ(simms[0].SelectSingleNode(u"./RIFFS/RIFF[@SIMM_ID='2']").GetText(), "ORC Riff 002");
    std::vector<XMLNode> setups;
    simms[0].SelectNodes(u"./SETUPS/SETUP", setups);
    EXPECT_TRUE(setups.empty()) << "ROMs hold no setups";

    // Ranges as the module gave them, negatives as signed numbers.
    const XMLElement transpose = top[1].SelectSingleNode(u"./MASTER_TRANSPOSE");
    ASSERT_FALSE(transpose.IsNull());
    EXPECT_EQ(transpose.GetAttribute(u"MIN_VALUE"), "-12");
    EXPECT_EQ(transpose.GetAttribute(u"MAX_VALUE"), "12");
    EXPECT_EQ(transpose.GetAttribute(u"DEFAULT"), "0");
    EXPECT_EQ(transpose.GetAttribute(u"READ_ONLY"), "0");
    std::vector<XMLNode> ranges;
    top[1].GetChildNodes(ranges);
    int known = 0;
    for (const auto& [id, record] : proteus->AllParameters)
        known += proteus->IsRangeKnown(id) ? 1 : 0;
    EXPECT_EQ(int(ranges.size()), known);
    EXPECT_LT(known, proteus->AllParameters.Count()) << "the module lacks some parameters";
    EXPECT_EQ(Name(OBJECT_INSTRUMENT, 6, 3), "WLD Inst 003");
}

TEST_F(CachesTest, WarmLoadTakesNamesAndRangesFromTheFile)
{
    BuildCache();
    const QByteArray file = ReadBytes(CachePath());

    Reconnect();
    Identify(); // the counts come from the settings store: only the hardware configuration is asked
    const std::size_t before = Sent();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());
    EXPECT_EQ(Sent(), before) << TranscriptText().toStdString();
    EXPECT_TRUE(presenter->shown.empty());
    EXPECT_EQ(Name(OBJECT_PRESET, 2, 11), "ORC Preset 011");
    EXPECT_EQ(Name(OBJECT_ARP, 2, 4), "ORC Arp 004");
    EXPECT_EQ(Name(OBJECT_PRESET, 6, 8), "WLD Preset 008");
    const ParamRecord* transpose = proteus->AllParameters.Find(259);
    ASSERT_NE(transpose, nullptr);
    EXPECT_EQ(transpose->minimum, -12);
    EXPECT_EQ(transpose->maximum, 12);
    EXPECT_FALSE(transpose->readOnly);
    EXPECT_EQ(ReadBytes(CachePath()), file) << "reading never writes";
    // The ranges read count as known: a control's request asks only the value.
    const std::size_t request = Sent();
    EXPECT_TRUE(proteus->ParameterRequestWithMinMax(proteus->FindParameter(259)));
    EXPECT_EQ(SentSince(request, 0x04), 0);
    EXPECT_EQ(SentSince(request, 0x02), 1);

    // Without the arp capability the file's arps are passed over.
    capabilities = CAP_TESTED;
    Reconnect();
    Identify();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());
    EXPECT_EQ(Name(OBJECT_ARP, 2, 4), "");
    EXPECT_EQ(Name(OBJECT_PRESET, 2, 4), "ORC Preset 004");
}

TEST_F(CachesTest, ChangedRomsAskBeforeRebuilding)
{
    BuildCache();
    const QByteArray file = ReadBytes(CachePath());
    GetGlobalConfigurations().SetDword(ROMHash, 99); // built for other ROMs

    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        presenter->shown.clear();
        presenter->answers = {msgbox::IdNo};
        const std::size_t before = Sent();
        EXPECT_TRUE(proteus->LoadCacheConfiguration());
        ASSERT_EQ(presenter->shown.size(), 1u) << "asked again at every connection";
        EXPECT_TRUE(presenter->shown[0].text.startsWith(kRomsChangedStart));
        EXPECT_EQ(presenter->shown[0].type & msgbox::ButtonsMask, msgbox::YesNo);
        EXPECT_EQ(Sent(), before);
        EXPECT_EQ(ReadBytes(CachePath()), file);
        EXPECT_EQ(GetGlobalConfigurations().GetDword(ROMHash), 99u);
    }

    presenter->answers = {msgbox::IdYes};
    const std::size_t before = Sent();
    EXPECT_TRUE(proteus->LoadCacheConfiguration());
    EXPECT_GT(SentSince(before, 0x0C), 30) << "the names were asked again";
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ROMHash), 8u);
}

TEST_F(CachesTest, RangesTheModuleDidNotAnswerAreLeftOutAndAskedLater)
{
    AddFault(sim::Fault::Silence().on(0x04).forSubject(259).limit(1));
    BuildCache();
    const QByteArray file = ReadBytes(CachePath());
    EXPECT_FALSE(file.contains("<MASTER_TRANSPOSE ")) << file.toStdString();
    EXPECT_TRUE(file.contains("<MASTER_CLOCK_TEMPO "));

    Reconnect();
    Identify();
    const std::size_t before = Sent();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());
    EXPECT_EQ(SentSince(before, 0x04), 1) << "only the missing range is asked";
    EXPECT_EQ(proteus->AllParameters.Find(259)->minimum, -12);
}

TEST_F(CachesTest, ParametersTheModuleDoesNotHaveAreNotCountedAsUnanswered)
{
    // Twelve controllers: M-P (411-414, 967-970) do not exist on this module
    // and are never asked; every other range is answered.
    constexpr char kTwelveControllers[] = R"({"base": "audity", "simms": [
        {"id": 2, "name": "Orchestral", "tag": "ORC", "presets": 12, "instruments": 7, "arps": 5, "demos": 2, "riffs": 3}]})";
    struct Row {
        const char* name;
        std::optional<sim::Fault> fault;
        const char* logged; // the count of unanswered ranges, or nothing
    };
    const Row rows[] = {
        {"every range it has answered", {}, nullptr},
        {"one range silent", sim::Fault::Silence().on(0x04).forSubject(259).limit(1),
         ": 1 parameter ranges were not answered"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QDir(root.filePath(QStringLiteral("docs"))).removeRecursively(); // a cold build every time
        StartModule(kTwelveControllers);
        ASSERT_FALSE(proteus->HasCapability(CAP_16_CONTROLLERS));
        if (row.fault)
            AddFault(*row.fault);
        Log().SetLevel(kLogError);
        Identify();
        ASSERT_TRUE(proteus->LoadCacheConfiguration());
        const QStringList counts = Log().Lines().filter(QStringLiteral("parameter ranges were not answered"));
        if (row.logged) {
            ASSERT_EQ(counts.size(), 1);
            EXPECT_TRUE(counts.front().contains(QLatin1String(row.logged))) << counts.front().toStdString();
        } else {
            EXPECT_TRUE(counts.isEmpty()) << counts.join(u'\n').toStdString();
        }
        const QByteArray file = ReadBytes(CachePath());
        EXPECT_TRUE(file.contains("<MASTER_MIDI_L_CONTROL "));
        EXPECT_FALSE(file.contains("<MASTER_MIDI_M_CONTROL "));
        EXPECT_FALSE(file.contains("<PRESET_CTRL_P "));
    }
}

TEST_F(CachesTest, BuildThatLosesTheModuleWritesNothing)
{
    Identify();
    AddFault(sim::Fault::Silence().on(0x0C).nth(20));
    EXPECT_FALSE(proteus->LoadCacheConfiguration());
    EXPECT_FALSE(QFileInfo::exists(CachePath()));
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ROMHash), 0u);

    // An existing file survives a rebuild that fails half way.
    ClearFaults();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());
    const QByteArray file = ReadBytes(CachePath());
    AddFault(sim::Fault::Silence().on(0x0A)); // the hardware configuration, after every name
    EXPECT_FALSE(proteus->CreateCacheConfiguration());
    EXPECT_EQ(ReadBytes(CachePath()), file);
}

TEST_F(CachesTest, AnUnansweredCountLeavesTheCacheUnwrittenUntilItIsAnswered)
{
    // One name request of the count probe goes unanswered: that count is
    // unknown, and a file written now would lack its names for good.
    AddFault(sim::Fault::Silence().on(0x0C).forSubject(7).limit(1));
    Identify();
    ASSERT_TRUE(Log().Contains("Could not count the"));
    ClearFaults();
    EXPECT_TRUE(proteus->LoadCacheConfiguration());
    EXPECT_FALSE(QFileInfo::exists(CachePath()));
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ROMHash), 0u);
    EXPECT_TRUE(Shown(QStringLiteral("has not been saved")));
    EXPECT_EQ(Name(OBJECT_PRESET, 2, 11), "ORC Preset 011") << "this connection has the names it could count";

    // The next connection counts again and writes the whole cache.
    Reconnect();
    Identify();
    presenter->shown.clear();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());
    EXPECT_FALSE(Shown(QStringLiteral("has not been saved")));
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ROMHash), 8u);
    Reconnect();
    Identify();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());
    EXPECT_EQ(Name(OBJECT_ARP, 2, 4), "ORC Arp 004");
    EXPECT_EQ(Name(OBJECT_RIFF, 2, 2), "ORC Riff 002");
    EXPECT_EQ(Name(OBJECT_PRESET, 6, 8), "WLD Preset 008");
}

TEST_F(CachesTest, ACacheLackingPartsOfTheInstalledRomsIsBuiltAgain)
{
    const auto replace = [](const char* pattern, const char* with) {
        return [=](QByteArray text) {
            QString s = QString::fromUtf8(text);
            s.replace(QRegularExpression(QLatin1String(pattern), QRegularExpression::DotMatchesEverythingOption),
                      QLatin1String(with));
            return s.toUtf8();
        };
    };
    const struct {
        const char* name;
        std::function<QByteArray(QByteArray)> spoil;
    } rows[] = {
        {"a ROM without its element", replace(R"(<SIMM SIMM_ID=["']6["']>.*?</SIMM>)", "")},
        {"fewer names than the ROM has", replace(R"(<ARP SIMM_ID=["']4["']>[^<]*</ARP>)", "")},
        // 1 + 7 is 2 + 6: the checksum cannot tell these ROMs apart.
        {"other ROMs of the same checksum",
         [&](QByteArray t) { return replace(R"(<SIMM SIMM_ID=["']6["']>)", R"(<SIMM SIMM_ID="7">)")(
                                 replace(R"(<SIMM SIMM_ID=["']2["']>)", R"(<SIMM SIMM_ID="1">)")(t)); }},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QFile::remove(CachePath());
        StartModule(kTwoRoms);
        BuildCache();
        const QByteArray good = ReadBytes(CachePath());
        const QByteArray spoilt = row.spoil(good);
        ASSERT_NE(spoilt, good);
        WriteBytes(CachePath(), spoilt);

        Reconnect();
        Identify();
        ASSERT_TRUE(proteus->LoadCacheConfiguration());
        EXPECT_TRUE(Shown(QStringLiteral("does not hold every name")));
        EXPECT_EQ(Name(OBJECT_ARP, 2, 4), "ORC Arp 004");
        EXPECT_EQ(Name(OBJECT_PRESET, 6, 8), "WLD Preset 008");
        EXPECT_EQ(ReadBytes(CachePath()), good);
    }
}

TEST_F(CachesTest, ACacheThatCannotBeSavedNamesTheReason)
{
    const QString folder = root.filePath(QStringLiteral("docs/Tabrine"));
    ASSERT_TRUE(QDir().mkpath(folder));
    dumptest::PrivateTmpfs disk(folder, 64 * 1024);
    if (!disk.IsMounted())
        GTEST_SKIP() << "no small file system for this test: " << disk.Why();
    dumptest::FillUp(folder);
    Identify();
    EXPECT_FALSE(proteus->LoadCacheConfiguration());
    EXPECT_TRUE(Shown(QStringLiteral("No space left on device")));
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ROMHash), 0u);
}

TEST_F(CachesTest, DamagedFileIsReportedKeptAndRebuilt)
{
    BuildCache();
    const QByteArray good = ReadBytes(CachePath());
    struct Row {
        const char* name;
        QByteArray bytes;
        const char* report;
    };
    const Row rows[] = {
        {"truncated", good.left(good.size() / 2), "Failed to load configuration document. Parse Error. "},
        {"not XML", "PK\x03\x04 zip", "Failed to load configuration document. Parse Error. "},
        {"no SIMMS", "<ProteusConfig><PARAMETERS/></ProteusConfig>",
         "Failed to select SIMMS element of configuration document"},
        {"no PARAMETERS", "<ProteusConfig><SIMMS/></ProteusConfig>",
         "Failed to create PARAMETERS in configuration document"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        WriteBytes(CachePath(), row.bytes);
        presenter->shown.clear();
        EXPECT_TRUE(proteus->LoadCacheConfiguration());
        ASSERT_EQ(presenter->shown.size(), 1u);
        EXPECT_TRUE(presenter->shown[0].text.contains(row.report)) << presenter->shown[0].text.toStdString();
        EXPECT_TRUE(presenter->shown[0].text.contains(CachePath() + ".bad"));
        EXPECT_EQ(ReadBytes(CachePath() + ".bad"), row.bytes) << "the user's file is kept";
        EXPECT_EQ(ReadBytes(CachePath()), good) << "rebuilt whole";
    }
}

TEST_F(CachesTest, DamagedFileIsLeftAloneWhenItCannotBeReplaced)
{
    Identify();
    const QByteArray damaged = "<ProteusConfig><SIMMS><SIMM SIMM_ID=\"2\"><PRESETS>"
                               "<PRESET SIMM_ID=\"0\">Bogus</PRESET></PRESETS></SIMM></SIMMS></ProteusConfig>";
    WriteBytes(CachePath(), damaged);
    GetGlobalConfigurations().SetDword(ROMHash, 8);

    // The module is gone: the rebuild fails, and nothing of the bad file was taken.
    AddFault(sim::Fault::Silence());
    EXPECT_FALSE(proteus->LoadCacheConfiguration());
    EXPECT_EQ(ReadBytes(CachePath()), damaged);
    EXPECT_EQ(Name(OBJECT_PRESET, 2, 0), "");
    ClearFaults();

    // It cannot be kept aside: refused, before any module traffic.
    QFile::remove(CachePath() + ".bad");
    QDir().mkpath(CachePath() + ".bad");
    presenter->shown.clear();
    const std::size_t before = Sent();
    EXPECT_FALSE(proteus->LoadCacheConfiguration());
    EXPECT_EQ(Sent(), before);
    EXPECT_EQ(ReadBytes(CachePath()), damaged);
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_TRUE(presenter->shown[0].text.contains("could not be kept as")) << presenter->shown[0].text.toStdString();
}

TEST_F(CachesTest, DamagedElementsAreNeverReadAsZeros)
{
    Identify();
    // One ROM installed, of four presets: the file below holds as many
    // elements, so it counts as complete and is read, not rebuilt.
    proteus->simmMap.erase(2);
    proteus->simmMap.erase(6);
    proteus->AddSimmData(TPtr<_SimmData>(new _SimmData(2, 4, 0, 0, 0, 0, 0, 1)));
    const SimmSlot installed[] = {*proteus->hardwareConfig.FindSimm(0), {.simmId = 2, .presets = 4, .flag = 1}};
    proteus->hardwareConfig.SetSimms(installed);
    WriteBytes(CachePath(), R"(<?xml version='1.0' ?><ProteusConfig><SIMMS><SIMM SIMM_ID="2">
        <PRESETS><PRESET SIMM_ID="3">Third   </PRESET><PRESET>No index</PRESET><PRESET SIMM_ID="99">Past</PRESET><PRESET SIMM_ID="1">Second</PRESET></PRESETS>
        </SIMM><SIMM SIMM_ID="5"><PRESETS><PRESET SIMM_ID="0">Not installed</PRESET></PRESETS></SIMM>
        <SIMM><PRESETS><PRESET SIMM_ID="0">No SIMM</PRESET></PRESETS></SIMM></SIMMS>
        <PARAMETERS><MASTER_TRANSPOSE MIN_VALUE="-12" DEFAULT="0" READ_ONLY="0"/>
        <MASTER_CLOCK_TEMPO MIN_VALUE="65561" MAX_VALUE="300" DEFAULT="120" READ_ONLY="7"/>
        <NO_SUCH_PARAMETER MIN_VALUE="1" MAX_VALUE="2" DEFAULT="1" READ_ONLY="0"/></PARAMETERS></ProteusConfig>)");
    GetGlobalConfigurations().SetDword(ROMHash, std::uint32_t(proteus->GetSimmChecksum()));
    const std::size_t before = Sent();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());

    EXPECT_EQ(Name(OBJECT_PRESET, 2, 3), "Third");
    EXPECT_EQ(Name(OBJECT_PRESET, 2, 0), "") << "an element without an index lands nowhere";
    EXPECT_EQ(proteus->FindSimmData(5), nullptr);
    EXPECT_EQ(proteus->FindSimmData(0)->GetName(OBJECT_PRESET, 0), "");
    const ParamRecord* tempo = proteus->AllParameters.Find(257);
    EXPECT_EQ(tempo->minimum, 25) << "low 16 bits of 65561";
    EXPECT_TRUE(tempo->readOnly);
    // MASTER_TRANSPOSE lacks its maximum: asked, like every parameter the file lacks.
    EXPECT_EQ(proteus->AllParameters.Find(259)->maximum, 12);
    const std::set<int> asked = RangeRequestsSince(before);
    EXPECT_EQ(asked.count(259), 1u);
    EXPECT_EQ(asked.count(258), 1u);
    EXPECT_EQ(asked.count(257), 0u);
}

TEST_F(CachesTest, TestUiRunsWithoutAModule)
{
    GetGlobalConfigurations().SetBool(TestUI, true);
    EXPECT_TRUE(proteus->LoadCacheConfiguration());
    ASSERT_EQ(presenter->shown.size(), 1u);
    EXPECT_EQ(presenter->shown[0].text,
              "Tabrine is being run in TestUI mode and has no cache configuration file.\r\n");
    EXPECT_FALSE(QFileInfo::exists(CachePath()));

    // With a file, its ROMs are taken as installed, with the counts found in it.
    WriteBytes(CachePath(), R"(<ProteusConfig><SIMMS><SIMM SIMM_ID="4">
        <PRESETS><PRESET SIMM_ID="0">One</PRESET><PRESET SIMM_ID="1">Two</PRESET></PRESETS>
        <RIFFS><RIFF SIMM_ID="0">Groove</RIFF></RIFFS></SIMM></SIMMS><PARAMETERS/></ProteusConfig>)");
    GetGlobalConfigurations().SetDword(ROMHash, 0);
    EXPECT_TRUE(proteus->LoadCacheConfiguration());
    const _SimmData* added = proteus->FindSimmData(4);
    ASSERT_NE(added, nullptr);
    EXPECT_EQ(added->GetCount(OBJECT_PRESET), 2);
    EXPECT_EQ(added->GetCount(OBJECT_RIFF), 1);
    EXPECT_EQ(added->GetName(OBJECT_PRESET, 1), "Two");
    const SimmSlot* slot = proteus->hardwareConfig.FindSimm(4);
    ASSERT_NE(slot, nullptr);
    EXPECT_EQ(slot->presets, 2);
    EXPECT_EQ(slot->riffs, 1);
    EXPECT_EQ(slot->flag, 1);
}

TEST_F(CachesTest, ProgramSuppliedFileSeedsTheUsersCopy)
{
    BuildCache();
    const QByteArray shipped = ReadBytes(CachePath());
    QFile::remove(CachePath());
    const QString programCopy = root.filePath(QStringLiteral("app/Default.xml"));
    WriteBytes(programCopy, shipped);
    QFile::setPermissions(programCopy, QFileDevice::ReadOwner);

    Reconnect();
    Identify();
    const std::size_t before = Sent();
    ASSERT_TRUE(proteus->LoadCacheConfiguration());
    EXPECT_EQ(Sent(), before) << "read, not built";
    EXPECT_EQ(ReadBytes(CachePath()), shipped);
    EXPECT_TRUE(QFileInfo(CachePath()).isWritable());
    EXPECT_EQ(Name(OBJECT_PRESET, 6, 2), "WLD Preset 002");

    // A setting that is not a file name cannot send the cache elsewhere.
    GetGlobalConfigurations().SetString(ConfigFile, QStringLiteral("../escape.xml"));
    EXPECT_EQ(proteus->GetCacheConfigurationPath(), CachePath());
    EXPECT_TRUE(Log().Contains("is not a file name"));
}

// ---- parameter elements ------------------------------------------------------------------

TEST_F(CachesTest, ParameterElementsValueForm)
{
    ParameterCache records;
    auto add = [&](const char16_t* name, int id, int value, int romId) {
        ParamRecord r(QString::fromUtf16(name), id, value);
        r.romId = romId;
        records.InsertOrOverwrite(r);
    };
    add(u"MASTER_CLOCK_TEMPO", 257, 140, 0);
    add(u"MASTER_TRANSPOSE", 259, 70000, 0); // stored as its low 16 bits: 4464
    add(u"LAYER_INSTRUMENT", 1409, 300, 2);  // names a ROM object: SIMM_ID too

    XMLDocument doc;
    doc.Create();
    doc.LoadXML(u"<?xml version='1.0' ?><ProteusSettings><PRESET/></ProteusSettings>");
    XMLElement preset = doc.GetDocumentElement().SelectSingleNode(u"./PRESET");
    ASSERT_TRUE(proteus->WriteParameterElements(records, preset, false));
    const QString xml = doc.GetXML();
    EXPECT_EQ(xml.mid(xml.indexOf(u"<ProteusSettings>")).simplified().remove(' '),
              QStringLiteral("<ProteusSettings><PRESET><MASTER_CLOCK_TEMPOVALUE=\"140\"/>"
                             "<MASTER_TRANSPOSEVALUE=\"4464\"/><LAYER_INSTRUMENTVALUE=\"300\"SIMM_ID=\"2\"/>"
                             "</PRESET></ProteusSettings>"));

    // Read back into changed records; only what differs from the module is edited.
    link->withDevice([&](sim::Device&) { return module->setParameterValue(257, 140); });
    for (auto& [id, r] : records) {
        r.value = 1;
        r.romId = 0;
    }
    XMLElement(preset.SelectSingleNode(u"./MASTER_TRANSPOSE")).SetAttribute(u"VALUE", u"");
    QList<int> edited;
    StackedProgress progress(proteus.get(), false, 0, 0, u"");
    ASSERT_TRUE(proteus->ReadParameterElements(
        progress,
        [&](ParamRecord* r) {
            edited << r->id;
            return true;
        },
        records, preset, false));
    EXPECT_EQ(records.Find(257)->value, 140);
    EXPECT_EQ(records.Find(257)->previousValue, 1);
    EXPECT_EQ(records.Find(259)->value, 1) << "an element without a value changes nothing";
    EXPECT_EQ(records.Find(1409)->value, 300);
    EXPECT_EQ(records.Find(1409)->romId, 2);
    EXPECT_EQ(edited, QList<int>({1409})) << "257 equals the module's value";
}

} // namespace
