#include "module/NameLists.h"
#include "module/ProteusData.h"
#include "module/TriggerSets.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(ParameterCache, FindInsertAndOverwriteKeepTheRecordInPlace)
{
    ParameterCache cache;
    EXPECT_TRUE(cache.IsEmpty());
    EXPECT_EQ(cache.Find(MASTER_TUNE), nullptr);

    ParamRecord tune(QStringLiteral("MASTER_TUNE"), MASTER_TUNE, 5);
    ParamRecord* held = &cache.InsertOrOverwrite(tune);
    EXPECT_EQ(cache.Find(MASTER_TUNE), held);
    EXPECT_EQ(held->value, 5);

    // Overwrite copies every field into the record a control may point at.
    tune.value = -12;
    tune.minimum = -64;
    tune.maximum = 64;
    tune.readOnly = false;
    tune.SetText(QStringLiteral("cents"));
    EXPECT_EQ(&cache.InsertOrOverwrite(tune), held);
    EXPECT_EQ(held->value, -12);
    EXPECT_EQ(held->minimum, -64);
    EXPECT_EQ(held->maximum, 64);
    EXPECT_FALSE(held->readOnly);
    EXPECT_EQ(held->text, u"cents");

    // Insert-if-absent leaves what is held alone.
    EXPECT_EQ(&cache.InsertIfAbsent(ParamRecord(QStringLiteral("other"), MASTER_TUNE, 99)), held);
    EXPECT_EQ(held->value, -12);
    EXPECT_EQ(held->name, u"MASTER_TUNE");

    // Records stay put while others are added, and iterate in id order.
    cache.InsertOrOverwrite(ParamRecord(QStringLiteral("LCD_VIEW_ANGLE"), LCD_VIEW_ANGLE, 0));
    cache.InsertOrOverwrite(ParamRecord(QStringLiteral("LAYER_PAN"), LAYER_PAN, 0));
    EXPECT_EQ(cache.Find(MASTER_TUNE), held);
    std::vector<ParameterId> order;
    for (const auto& [id, record] : cache) {
        EXPECT_EQ(id, record.id);
        order.push_back(id);
    }
    EXPECT_EQ(order, (std::vector<ParameterId>{LCD_VIEW_ANGLE, MASTER_TUNE, LAYER_PAN}));
    EXPECT_EQ(cache.Count(), 3);
}

TEST(ProteusData, ConstructionFillsTheTableCachesOnly)
{
    ProteusData data;
    struct CacheCase {
        const char* name;
        const ParameterCache& cache;
        int count;
        ParameterId sample;
    };
    const CacheCase cases[] = {
        {"master", data.MasterParameters, 53, LCD_VIEW_ANGLE},
        {"master arp", data.MasterArpParameters, 21, MASTER_ARP_PATTERN_ROM_ID},
        {"multimode", data.MultimodeParameters, 24, MULTI_NAME_CHAR15},
        {"beat", data.BeatParameters, 12, MASTER_BEATS_RIFF_NDX},
        {"arp pattern", data.ArpPatternParameters, 19, ARP_STEP_REPEAT},
        {"preset", data.PresetParameters, 105, PRESET_FX_B_MIX_SUB4},
        {"preset arp", data.PresetArpParameters, 18, PRESET_ARP_POSTDELAY},
        {"layer", data.LayerParameters, 156, LAYER_CORD23_AMT},
    };
    for (const CacheCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.cache.Count(), c.count);
        const ParamRecord* record = c.cache.Find(c.sample);
        ASSERT_NE(record, nullptr);
        EXPECT_EQ(record->id, c.sample);
    }
    EXPECT_TRUE(data.AllParameters.IsEmpty());

    const ParamRecord* angle = data.MasterParameters.Find(LCD_VIEW_ANGLE);
    ASSERT_NE(angle, nullptr);
    EXPECT_EQ(angle->name, u"LCD_VIEW_ANGLE");
    EXPECT_EQ(angle->value, 0);
    EXPECT_EQ(angle->minimum, 0);
    EXPECT_EQ(angle->maximum, 0);
    EXPECT_TRUE(angle->readOnly);

    // Every formatter is registered; an unregistered format shows the number.
    EXPECT_EQ(data.formatMap.size(), 79u);
    EXPECT_EQ(data.GetFormatter(vf::MidiChannelPort)(16), u"1B");
    EXPECT_EQ(data.GetFormatter(79)(-7), u"-7");
    EXPECT_EQ(data.GetFormatter(-1)(12), u"12");
}

TEST(ProteusData, FindTableParameterSearchesTheEightCachesOrGivesTheDummy)
{
    ProteusData data;
    struct Lookup {
        const char* name;
        ParameterId id;
        bool found;
    };
    const Lookup lookups[] = {
        {"master", MASTER_MIDI_ID, true},       {"master arp", MASTER_ARP_STATUS, true},
        {"multimode", MULTIMODE_PAN, true},     {"arp pattern", ARP_PATTERN_SELECT, true},
        {"beat", BEATS_MODE, true},             {"preset", PRESET_KBD_TUNE, true},
        {"preset arp", PRESET_ARP_MODE, true},  {"layer", LAYER_FILT_TYPE, true},
        {"basic channel", MULTIMODE_BASIC_CHANNEL, false},
        {"preset select", PRESET_SELECT, false},
        {"pseudo", AUDITION_BUTTON, false},
        {"zero", 0, false},
        {"negative", -5, false},
    };
    for (const Lookup& l : lookups) {
        SCOPED_TRACE(l.name);
        bool found = !l.found;
        ParamRecord& record = data.FindTableParameter(l.id, &found);
        EXPECT_EQ(found, l.found);
        if (l.found) {
            EXPECT_EQ(record.id, l.id);
            EXPECT_EQ(record.name, QString::fromUtf16(FindParameterTableRow(l.id).name));
        } else {
            EXPECT_EQ(&record, &DummyParameter());
            EXPECT_EQ(record.name, u"DUMMY_PARAMETER");
            EXPECT_EQ(record.id, 0);
        }
    }
}

TEST(ProteusData, LoadAllParametersHonoursArpsAndBeatsAndKeepsFirstValues)
{
    ProteusData data;
    data.LoadAllParameters(false);
    EXPECT_EQ(data.AllParameters.Count(), 53 + 24 + 105 + 156);
    for (const auto& [id, record] : data.AllParameters) {
        const bool arpOrBeat = (id >= 641 && id <= 661) || (id >= 769 && id <= 787) ||
                               (id >= 160 && id <= 166) || (id >= 271 && id <= 278) || (id >= 1025 && id <= 1043);
        EXPECT_FALSE(arpOrBeat) << "id " << id;
    }

    // A second fill keeps the record and the values it was given since.
    ParamRecord* tune = data.AllParameters.Find(MASTER_TUNE);
    ASSERT_NE(tune, nullptr);
    tune->value = 17;
    tune->maximum = 64;
    data.LoadAllParameters(true);
    EXPECT_EQ(data.AllParameters.Count(), 408);
    EXPECT_EQ(data.AllParameters.Find(MASTER_TUNE), tune);
    EXPECT_EQ(tune->value, 17);
    EXPECT_EQ(tune->maximum, 64);
    EXPECT_NE(data.AllParameters.Find(PRESET_ARP_POSTDELAY), nullptr);

    // Defensive input to the fill: nothing is read from a null table.
    ParameterCache cache;
    ProteusData::FillParameterCache(cache, nullptr, 5);
    ProteusData::FillParameterCache(cache, GetBeatParameterTable(), -1);
    EXPECT_TRUE(cache.IsEmpty());
}

TEST(ProteusData, ModuleSimmAndObjectNames)
{
    ProteusData data;
    struct NameCase {
        const char* name;
        QString actual;
        QString expected;
    };

    data.hardwareConfig.familyMember = 3;
    const QString proteus2000 = data.GetModuleName();
    data.hardwareConfig.familyMember = 1;
    const QString unlisted = data.GetModuleName();

    auto user = TPtr<_SimmData>(new _SimmData(0, 512, 0, 100, 64, 0, 0, 0));
    auto rom = TPtr<_SimmData>(new _SimmData(4, 512, 1024, 0, 0, 0, 0, 1));
    EXPECT_TRUE(data.AddSimmData(user));
    EXPECT_TRUE(data.AddSimmData(rom));
    // A bank already cached is kept (names survive a reconnect).
    EXPECT_FALSE(data.AddSimmData(TPtr<_SimmData>(new _SimmData(4, 1, 1, 0, 0, 0, 0, 1))));
    EXPECT_EQ(data.FindSimmData(4), rom.get());
    EXPECT_FALSE(data.AddSimmData(TPtr<_SimmData>()));

    rom->SetName(OBJECT_PRESET, 0, QStringLiteral("Grand Piano"));
    EXPECT_TRUE(data.SetUserObjectName(OBJECT_ARP, 99, QStringLiteral("My Arp")));
    EXPECT_FALSE(data.SetUserObjectName(OBJECT_ARP, 100, QStringLiteral("Too Far")));

    const NameCase cases[] = {
        {"model 3", proteus2000, QStringLiteral("Proteus 2000")},
        {"model 1 not listed", unlisted, QString()},
        {"simm 4", data.GetSimmName(4), QStringLiteral("Composer")},
        {"simm 0", data.GetSimmName(0), QStringLiteral("User")},
        {"simm 1 not listed", data.GetSimmName(1), QString()},
        {"rom preset", data.GetSimmObjectName(OBJECT_PRESET, 4, 0), QStringLiteral("Grand Piano")},
        {"user arp", data.GetSimmObjectName(OBJECT_ARP, 0, 99), QStringLiteral("My Arp")},
        {"index out of range", data.GetSimmObjectName(OBJECT_PRESET, 4, 512), QString()},
        {"simm not installed", data.GetSimmObjectName(OBJECT_PRESET, 9, 0), QStringLiteral("(not instld)")},
        {"kind out of range", data.GetSimmObjectName(ObjectKind(7), 4, 0), QStringLiteral("(not instld)")},
    };
    for (const NameCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.actual, c.expected);
    }

    // Without a user bank there is nowhere to store a user name.
    ProteusData empty;
    EXPECT_FALSE(empty.SetUserObjectName(OBJECT_PRESET, 0, QStringLiteral("x")));
}

TEST(HardwareConfig, AddSimmSkipsDuplicatesAndNeverPassesEightSlots)
{
    HardwareConfig config;
    EXPECT_EQ(config.GetSimmCount(), 0);
    EXPECT_EQ(config.manufacturer, 0);
    EXPECT_TRUE(config.GetRevision().isEmpty());

    EXPECT_TRUE(config.AddSimm({4, 512, 1024, 0, 0, 0, 0, 1}));
    EXPECT_FALSE(config.AddSimm({4, 1, 1, 0, 0, 0, 0, 1}));
    EXPECT_EQ(config.GetSimmCount(), 1);
    EXPECT_EQ(config.FindSimm(4)->presets, 512);

    for (int id = 10; id < 20; ++id)
        config.AddSimm({id, 1, 0, 0, 0, 0, 0, 1});
    EXPECT_EQ(config.GetSimmCount(), HardwareConfig::kMaxSimms);
    EXPECT_NE(config.FindSimm(16), nullptr);
    EXPECT_EQ(config.FindSimm(17), nullptr);

    // The reply's list is taken as given, cut at eight.
    std::vector<SimmSlot> reply(10);
    for (int i = 0; i < 10; ++i)
        reply[size_t(i)].simmId = 100 + i;
    config.SetSimms(reply);
    EXPECT_EQ(config.GetSimmCount(), 8);
    EXPECT_EQ(config.GetSimms().back().simmId, 107);
    config.ClearSimms();
    EXPECT_EQ(config.GetSimmCount(), 0);
    EXPECT_EQ(config.FindSimm(0), nullptr);

    config.SetRevision(QStringLiteral("2.26b"));
    EXPECT_EQ(config.GetRevision(), u"2.26");
}

TEST(TriggerSets, ContentsAsBuilt)
{
    struct SetCase {
        const char* name;
        const TriggerSet& set;
        TriggerSet expected;
    };
    const TriggerSet preset{10000, 139, 129, 897, 9015, 9004, 9003};
    auto plus = [](TriggerSet s, std::initializer_list<ParameterId> ids) {
        s.insert(ids);
        return s;
    };
    const SetCase cases[] = {
        {"master", GetMasterTriggerSet(), {10000}},
        {"channel", GetChannelTriggerSet(), {10000, 139, 129}},
        {"preset", GetPresetTriggerSet(), preset},
        {"preset audition", GetPresetAuditionTriggerSet(), plus(preset, {9017})},
        {"layer", GetLayerTriggerSet(), plus(preset, {898})},
        {"filter", GetFilterTriggerSet(), plus(preset, {898, 1537})},
        {"arp pattern", GetArpPatternTriggerSet(), plus(preset, {769})},
        {"arp step", GetArpStepTriggerSet(), plus(preset, {769, 770})},
        {"beat", GetBeatTriggerSet(), {10000, 9005, 9029}},
        {"keyboard tuning", GetKeyboardTuningTriggerSet(), {923}},
    };
    for (const SetCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.set, c.expected);
    }
    // Built once: constructing the data model hands out the same sets.
    const TriggerSet* before = &GetLayerTriggerSet();
    ProteusData data;
    EXPECT_EQ(&GetLayerTriggerSet(), before);
}

} // namespace
