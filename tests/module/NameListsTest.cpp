#include "module/NameLists.h"
#include "module/ValueFormats.h"

#include <gtest/gtest.h>

#include <map>
#include <vector>

namespace {

// A Names document in memory: tag -> value -> name, with a log of every store.
struct MemoryNameStore {
    std::map<QString, NameMap> names;
    std::vector<std::pair<QString, int>> stores;

    FunctionNameStore hooks()
    {
        return {
            [this](const QString& tag, NameMap& out) {
                const auto it = names.find(tag);
                if (it == names.end())
                    return false;
                out.insert(it->second.begin(), it->second.end());
                return true;
            },
            [this](const QString& tag, int value, const QString& name) {
                stores.emplace_back(tag, value);
                names[tag][value] = name;
                return true;
            },
        };
    }
};

// Clears the hook however a test ends, so no other test sees a dead store.
struct StoreGuard {
    explicit StoreGuard(MemoryNameStore& store) { SetFunctionNameStore(store.hooks()); }
    ~StoreGuard() { SetFunctionNameStore({}); }
};

const NameListDefinition& definition(int number)
{
    return GetNameListDefinitions()[std::size_t(number - 1)];
}

TEST(NameLists, FortyFourListsWithTheirTagsFormatsSizesAndAccessors)
{
    struct Row {
        const char* tag;
        int size;
        NameMap& (*accessor)();
    };
    // In list order; the format of list n is 34 + n.
    const Row expected[] = {
        {"MODULE_NAME", 23, &GetModuleNameList},
        {"SIMM_NAME", 36, &GetSimmNameList},
        {"FILTER_NAME", 51, &GetFilterNameList},
        {"LAYER_NAME", 5, &GetLayerNameList},
        {"PRESET_FXA_ALGORITHM", 45, &GetPresetFxaAlgorithmList},
        {"PRESET_FXB_ALGORITHM", 33, &GetPresetFxbAlgorithmList},
        {"MASTER_FXA_ALGORITHM", 44, &GetMasterFxaAlgorithmList},
        {"MASTER_FXB_ALGORITHM", 32, &GetMasterFxbAlgorithmList},
        {"PRESET_CORD_SOURCE", 31, &GetPresetCordSourceList},
        {"PRESET_CORD_DESTINATION", 28, &GetPresetCordDestinationList},
        {"LAYER_CORD_SOURCE", 78, &GetLayerCordSourceList},
        {"LAYER_CORD_DESTINATION", 69, &GetLayerCordDestinationList},
        {"MULTIMODE_ARP_NAME", 4, &GetMultimodeArpNameList},
        {"MIX_OUTPUT", 5, &GetMixOutputList},
        {"MASTER_TRANSPOSE_NAME", 25, &GetMasterTransposeNameList},
        {"MASTER_OUTPUT_FORMAT", 2, &GetMasterOutputFormatList},
        {"MASTER_MIDI_MODE", 3, &GetMasterMidiModeList},
        {"MASTER_VELOCITY_CURVE", 14, &GetMasterVelocityCurveList},
        {"MASTER_ARP_PATTERN", 8, &GetMasterArpPatternList},
        {"MASTER_ARP_SONG_START", 4, &GetMasterArpSongStartList},
        {"MASTER_ARP_STEP_KEY_OFFSET", 4, &GetMasterArpStepKeyOffsetList},
        {"BEAT_MODE", 4, &GetBeatModeList},
        {"BEAT_LATCH", 3, &GetBeatLatchList},
        {"BEAT_GROUP", 5, &GetBeatGroupList},
        {"LAYER_SUBMIX", 4, &GetLayerSubmixList},
        {"LAYER_SOLO", 9, &GetLayerSoloList},
        {"LAYER_GROUP", 24, &GetLayerGroupList},
        {"LAYER_LFO_SHAPE", 17, &GetLayerLfoShapeList},
        {"LAYER_LFO_RATE", 25, &GetLayerLfoRateList},
        {"LAYER_ENVELOPE_MODE", 2, &GetLayerEnvelopeModeList},
        {"LAYER_VOLUME_ENVELOPE_MODE", 3, &GetLayerVolumeEnvelopeModeList},
        {"LAYER_LFO_SYNC", 2, &GetLayerLfoSyncList},
        {"LAYER_GLIDE_CURVE", 9, &GetLayerGlideCurveList},
        {"PRESET_TEMPO_OFFSET", 5, &GetPresetTempoOffsetList},
        {"PRESET_TUNING_NAME", 24, &GetPresetTuningNameList},
        {"PRESET_ARP_SYNC", 2, &GetPresetArpSyncList},
        {"PRESET_ARP_MODE", 8, &GetPresetArpModeList},
        {"PRESET_ARP_NOTE", 19, &GetPresetArpNoteList},
        {"PRESET_ARP_SYNC", 2, &GetPresetArpSync2List},
        {"PRESET_ARP_DURATION", 20, &GetPresetArpDurationList},
        {"ARP_SPEED", 5, &GetArpSpeedList},
        {"ARP_XMIT_MIDI", 4, &GetArpXmitMidiList},
        {"PRESET_ARP_SONG_STARTS", 4, &GetPresetArpSongStartsList},
        {"PRESET_ARP_RECYCLE", 3, &GetPresetArpRecycleList},
    };
    static_assert(std::size(expected) == NameListCount);
    ASSERT_EQ(GetNameListDefinitions().size(), std::size_t(NameListCount));

    SetFunctionNameStore({});
    RegisterAllNameLists();

    for (int number = 1; number <= NameListCount; ++number) {
        const Row& row = expected[number - 1];
        const NameListDefinition& list = definition(number);
        SCOPED_TRACE(row.tag);
        EXPECT_EQ(list.number, number);
        EXPECT_EQ(QString::fromUtf16(list.tag), QString::fromLatin1(row.tag));
        EXPECT_EQ(list.valueFormat, 34 + number);
        EXPECT_EQ(list.rows.size(), std::size_t(row.size));
        EXPECT_EQ(&list.list(), &row.accessor());
        EXPECT_EQ(GetNameListByNumber(number), &row.accessor());
        // Every row's value is distinct, so the registered map has one entry per row.
        EXPECT_EQ(row.accessor().size(), std::size_t(row.size));
    }
    EXPECT_EQ(GetNameListByNumber(0), nullptr);
    EXPECT_EQ(GetNameListByNumber(45), nullptr);
}

TEST(NameLists, EntriesKeepTheirExactTexts)
{
    SetFunctionNameStore({});
    RegisterAllNameLists(); // a second registration changes nothing

    struct Row {
        const char* name;
        NameMap& (*list)();
        int value;
        QString text;
    };
    const Row rows[] = {
        // Typographic apostrophe, not '.
        {"module 7", &GetModuleNameList, 7, QString::fromUtf16(u"Mo\u2019Phatt")},
        {"module first", &GetModuleNameList, 2, "Audity 2000"},
        {"module last", &GetModuleNameList, 24, "PX-7"},
        {"simm user bank", &GetSimmNameList, 0, "User"},
        {"simm last flash", &GetSimmNameList, 119, "Flash 14"},
        {"filter out of order value", &GetFilterNameList, 156, "AngelzHairz 12 FLG"},
        {"filter 127", &GetFilterNameList, 127, "No Filter"},
        {"layer all", &GetLayerNameList, -1, "All Layers"},
        {"master fxb 30", &GetMasterFxbAlgorithmList, 30, "Pan DistortedFlange"},
        {"preset fxb 30", &GetPresetFxbAlgorithmList, 30, "Pan Dist.Flange"},
        {"preset cord dc", &GetPresetCordSourceList, 160, "DC (DC Offset)"},
        // Runs of blanks are part of the names.
        {"layer cord key", &GetLayerCordSourceList, 8, "Key   0..127"},
        {"layer cord lfo 2", &GetLayerCordSourceList, 105, "Lfo 2     0..127"},
        {"layer cord aux env", &GetLayerCordSourceList, 88, "Aux Env  0..127"},
        {"layer cord dest last", &GetLayerCordDestinationList, 191, "Cord Amnt 24"},
        {"velocity curve comma", &GetMasterVelocityCurveList, 2, "Exp-Lo, Comp-Hi"},
        {"transpose none", &GetMasterTransposeNameList, 0, "None"},
        {"step offset end", &GetMasterArpStepKeyOffsetList, -52, "End"},
        {"lfo shape random", &GetLayerLfoShapeList, -1, "Random"},
        {"lfo shape pattern", &GetLayerLfoShapeList, 10, "Pat Sus4Trip"},
        {"lfo rate spelling kept", &GetLayerLfoRateList, -5, "8th Tripet"},
        {"lfo rate first", &GetLayerLfoRateList, -25, "Octal Double Whole"},
        {"tuning last", &GetPresetTuningNameList, 23, "Tuning 12"},
        // Without a Names document the two sync lists keep their own spellings.
        {"arp sync", &GetPresetArpSyncList, 1, "Quantised"},
        {"arp sync 2", &GetPresetArpSync2List, 1, "Quantized"},
        {"arp duration off", &GetPresetArpDurationList, 0, "Off"},
        {"arp speed", &GetArpSpeedList, 2, "1/4X"},
        {"recycle", &GetPresetArpRecycleList, 2, "On (No Predelay)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(LookUpName(row.list(), row.value), row.text);
    }
    EXPECT_EQ(LookUpName(GetModuleNameList(), 1), QString());
}

TEST(NameLists, UserRenamesOverlayDefaultsAndEveryDefaultIsStoredBack)
{
    const QString filterTag = QStringLiteral("FILTER_NAME");
    MemoryNameStore store;
    store.names[filterTag][127] = "Bypass";
    store.names[filterTag][500] = "No such filter";
    StoreGuard guard(store);

    const NameListDefinition& filters = definition(3);
    NameMap map;
    EXPECT_TRUE(RegisterNameList(filters.rows.data(), int(filters.rows.size()), &map, filterTag));

    EXPECT_EQ(map.size(), filters.rows.size());
    EXPECT_EQ(LookUpName(map, 127), "Bypass");
    EXPECT_EQ(LookUpName(map, 0), "Classic 4 LPF");
    EXPECT_EQ(map.count(500), 0u) << "a stored name for a value without a row is ignored";

    // Every default but the renamed one is written back, in row order.
    ASSERT_EQ(store.stores.size(), filters.rows.size() - 1);
    EXPECT_EQ(store.stores.front(), std::make_pair(filterTag, 0));
    EXPECT_EQ(store.stores.back(), std::make_pair(filterTag, 163));
    EXPECT_EQ(store.names[filterTag][127], "Bypass");
    EXPECT_EQ(store.names[filterTag][163], "KlangKling 12 SFX");
}

TEST(NameLists, SecondSyncListSharesTheFirstListsStoredNames)
{
    MemoryNameStore store;
    StoreGuard guard(store);

    NameMap first, second;
    const NameListDefinition& sync = definition(36);
    const NameListDefinition& sync2 = definition(39);
    RegisterNameList(sync.rows.data(), int(sync.rows.size()), &first, QString::fromUtf16(sync.tag));
    RegisterNameList(sync2.rows.data(), int(sync2.rows.size()), &second, QString::fromUtf16(sync2.tag));

    EXPECT_EQ(LookUpName(first, 1), "Quantised");
    EXPECT_EQ(LookUpName(second, 0), "Key Sync");
    EXPECT_EQ(LookUpName(second, 1), "Quantised");
    EXPECT_EQ(store.stores.size(), 2u) << "the second list finds both names stored";
}

} // namespace
