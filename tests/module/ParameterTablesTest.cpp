#include "module/ParamRecord.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

QString Name(const ParameterTableRow& row)
{
    return QString::fromUtf16(row.name);
}

struct TableCase {
    const char* name;
    const ParameterTableRow* rows;
    int count;
    int expectedCount;
};

std::vector<TableCase> AllTables()
{
    return {
        {"master", GetMasterParameterTable(), GetMasterParameterCount(), 53},
        {"multimode", GetMultimodeParameterTable(), GetMultimodeParameterCount(), 24},
        {"master arp", GetMasterArpParameterTable(), GetMasterArpParameterCount(), 21},
        {"arp pattern", GetArpPatternParameterTable(), GetArpPatternParameterCount(), 19},
        {"beat", GetBeatParameterTable(), GetBeatParameterCount(), 12},
        {"preset", GetPresetParameterTable(), GetPresetParameterCount(), 105},
        {"preset arp", GetPresetArpParameterTable(), GetPresetArpParameterCount(), 18},
        {"layer", GetLayerParameterTable(), GetLayerParameterCount(), 156},
    };
}

TEST(ParameterTables, CountsTotal408WithNoIdOrNameTwice)
{
    int total = 0;
    std::set<ParameterId> ids;
    std::set<QString> names;
    for (const TableCase& table : AllTables()) {
        SCOPED_TRACE(table.name);
        EXPECT_EQ(table.count, table.expectedCount);
        total += table.count;
        for (int i = 0; i < table.count; ++i) {
            const ParameterTableRow& row = table.rows[i];
            EXPECT_TRUE(ids.insert(row.id).second) << "id " << row.id << " twice";
            EXPECT_TRUE(names.insert(Name(row)).second) << Name(row).toStdString() << " twice";
            EXPECT_GE(row.id, 1);
            EXPECT_LE(row.id, 8999);
        }
    }
    EXPECT_EQ(total, 408);

    // The span view the data model fills its caches from holds the same rows.
    int spanTotal = 0;
    for (auto table : GetParameterTables())
        spanTotal += int(table.size());
    EXPECT_EQ(spanTotal, 408);
}

TEST(ParameterTables, PseudoParametersAndNotifiers)
{
    const ParameterTableRow* rows = GetPseudoParameterTable();
    const int count = GetPseudoParameterCount();
    EXPECT_EQ(count, 235);
    std::set<ParameterId> ids;
    for (int i = 0; i < count; ++i) {
        SCOPED_TRACE(Name(rows[i]).toStdString());
        EXPECT_TRUE(ids.insert(rows[i].id).second);
        EXPECT_TRUE((rows[i].id >= 9000 && rows[i].id <= 9342) || (rows[i].id >= 10000 && rows[i].id <= 10002));
    }
    EXPECT_EQ(SHORT_MIDI_MSG, 9000);
    EXPECT_EQ(START_UNDO, 9001);
    EXPECT_EQ(END_UNDO, 9002);
    EXPECT_EQ(UPLOAD_SYSEX, 9003);
    EXPECT_EQ(BEAT_TRIGGER_SELECT, 9029);
    EXPECT_EQ(OPTIONS_EDIT_MAPPINGS, 9342);
    EXPECT_EQ(SETUP_RELOAD_NOTIFIER, 10000);
    EXPECT_EQ(POPUP_RELOAD_NOTIFIER, 10001);
    EXPECT_EQ(ANY_PARAMETER, 10002);
}

// Rows checked against the reference by name, id and position: the first and
// last rows of each table, the rows whose order is not the id order, and the
// names whose spelling is easy to get wrong.
TEST(ParameterTables, SpotChecksByPosition)
{
    struct Spot {
        const char* table;
        int index;
        const char16_t* name;
        ParameterId id;
    };
    const Spot spots[] = {
        {"master", 0, u"LCD_VIEW_ANGLE", 1},
        {"master", 14, u"MASTER_MIDI_A_CONTROL", 391},
        {"master", 21, u"MASTER_MIDI_H_CONTROL", 398},
        {"master", 32, u"MASTER_MIDI_L_CONTROL", 409},
        {"master", 33, u"MASTER_MIDI_M_CONTROL", 411},
        {"master", 40, u"MASTER_FXB_SEND_FXA", 516},
        {"master", 52, u"MASTER_FX_B_MIX_SEND4", 528},
        {"multimode", 0, u"MULTIMODE_FX_CTRL_CHANNEL", 140},
        {"multimode", 2, u"MULTIMODE_VOLUME", 131},
        {"multimode", 8, u"MULTI_NAME_CHAR0", 142},
        {"multimode", 23, u"MULTI_NAME_CHAR15", 157},
        {"master arp", 19, u"MASTER_ARP_PATTERN_ROM_ID", 660},
        {"master arp", 20, u"MASTER_ARP_POSTDELAY", 661},
        {"arp pattern", 2, u"ARP_NAME_CHAR_0", 771},
        {"arp pattern", 13, u"ARP_NAME_CHAR_11", 782},
        {"arp pattern", 18, u"ARP_STEP_REPEAT", 787},
        {"beat", 0, u"BEAT_TRIGGER_KEY", 160},
        {"beat", 11, u"MASTER_BEATS_RIFF_NDX", 278},
        {"preset", 0, u"PRESET_NAME_CHAR_0", 899},
        {"preset", 24, u"PRESET_KBD_TUNE", 923},
        {"preset", 29, u"PRESET_CTRL_M", 967},
        {"preset", 33, u"PRESET_RIFF", 928},
        {"preset", 35, u"PRESET_CORD_0_SOURCE", 931},
        {"preset", 70, u"PRESET_CORD_11_AMOUNT", 966},
        {"preset", 71, u"LINK_1_PRESET", 1281},
        {"preset", 88, u"LINK_2_VEL_HIGH", 1298},
        {"preset", 103, u"PRESET_FX_A_MIX_SUB3", 1167},
        {"preset", 104, u"PRESET_FX_B_MIX_SUB4", 1168},
        {"preset arp", 17, u"PRESET_ARP_POSTDELAY", 1043},
        {"layer", 0, u"LAYER_INSTRUMENT", 1409},
        {"layer", 43, u"LAYER_VOL_ENV_MODE", 1793},
        {"layer", 56, u"LAYER_FILT_ENV_MODE", 1806},
        {"layer", 68, u"LAYER_FENV_RLS2_LVL", 1818},
        {"layer", 69, u"LAYER_AUX_ENV_MODE", 1819},
        {"layer", 82, u"LAYER_FENV_REPEAT", 1833},
        {"layer", 83, u"LAYER_AUXENV_REPEAT", 1834},
        {"layer", 84, u"LAYER_CORD0_SRC", 1921},
        {"layer", 155, u"LAYER_CORD23_AMT", 1992},
    };
    std::map<std::string, TableCase> byName;
    for (const TableCase& table : AllTables())
        byName.emplace(table.name, table);
    for (const Spot& spot : spots) {
        SCOPED_TRACE(std::string(spot.table) + " row " + std::to_string(spot.index));
        const TableCase& table = byName.at(spot.table);
        ASSERT_LT(spot.index, table.count);
        EXPECT_EQ(Name(table.rows[spot.index]), QString::fromUtf16(spot.name));
        EXPECT_EQ(table.rows[spot.index].id, spot.id);
    }
}

TEST(ParameterTables, LookupByIdGivesTheRowOrTheDummy)
{
    struct Lookup {
        const char* name;
        ParameterId id;
        const char16_t* expected;
    };
    const Lookup lookups[] = {
        {"master row", MASTER_MIDI_P_CONTROL, u"MASTER_MIDI_P_CONTROL"},
        {"layer row", LAYER_FILT_TYPE, u"LAYER_FILT_TYPE"},
        {"pseudo row", MULTIMODE_PRESET, u"MULTIMODE_PRESET"},
        {"notifier", ANY_PARAMETER, u"ANY_PARAMETER"},
        // Fixed records of the connection and SIMM-id partners are in no table.
        {"basic channel", MULTIMODE_BASIC_CHANNEL, u"DUMMY_PARAMETER"},
        {"layer select", LAYER_SELECT, u"DUMMY_PARAMETER"},
        {"instrument rom id", LAYER_INST_ROM_ID, u"DUMMY_PARAMETER"},
        {"unused 410", 410, u"DUMMY_PARAMETER"},
        {"zero", 0, u"DUMMY_PARAMETER"},
        {"negative", -1, u"DUMMY_PARAMETER"},
        {"beyond notifiers", 10003, u"DUMMY_PARAMETER"},
    };
    for (const Lookup& l : lookups) {
        SCOPED_TRACE(l.name);
        const ParameterTableRow& row = FindParameterTableRow(l.id);
        EXPECT_EQ(Name(row), QString::fromUtf16(l.expected));
        const bool known = QString::fromUtf16(l.expected) != u"DUMMY_PARAMETER";
        EXPECT_EQ(row.id, known ? l.id : 0);
        EXPECT_EQ(IsKnownParameter(l.id), known);
    }
}

TEST(ParamRecord, ConstructionCopyAndTextHistory)
{
    const ParamRecord empty;
    EXPECT_TRUE(empty.name.isEmpty());
    EXPECT_EQ(empty.id, 0);
    EXPECT_EQ(empty.romId, 0);
    EXPECT_EQ(empty.value, 0);
    EXPECT_EQ(empty.minimum, 0);
    EXPECT_EQ(empty.maximum, 0);
    EXPECT_EQ(empty.defaultValue, 0);
    EXPECT_EQ(empty.previousRomId, 0);
    EXPECT_EQ(empty.previousValue, 0);
    EXPECT_TRUE(empty.text.isEmpty());
    EXPECT_TRUE(empty.previousText.isEmpty());
    EXPECT_TRUE(empty.readOnly);

    ParamRecord record(QStringLiteral("PRESET_RIFF"), PRESET_RIFF, 7);
    EXPECT_EQ(record.name, u"PRESET_RIFF");
    EXPECT_EQ(record.value, 7);
    EXPECT_TRUE(record.readOnly);
    EXPECT_EQ(record.minimum, 0);

    record.SetText(QStringLiteral("first"));
    record.SetText(QStringLiteral("second"));
    EXPECT_EQ(record.text, u"second");
    EXPECT_EQ(record.previousText, u"first");

    record.romId = 3;
    record.minimum = -1;
    record.maximum = 511;
    record.readOnly = false;
    ParamRecord copy = record;
    EXPECT_EQ(copy.name, record.name);
    EXPECT_EQ(copy.romId, 3);
    EXPECT_EQ(copy.maximum, 511);
    EXPECT_FALSE(copy.readOnly);
    EXPECT_EQ(copy.previousText, u"first");

    // CopyValues carries the change, not the identity or the range.
    ParamRecord target(FindParameterTableRow(LINK_1_PRESET));
    target.maximum = 99;
    target.CopyValues(record);
    EXPECT_EQ(target.name, u"LINK_1_PRESET");
    EXPECT_EQ(target.id, LINK_1_PRESET);
    EXPECT_EQ(target.maximum, 99);
    EXPECT_EQ(target.value, 7);
    EXPECT_EQ(target.romId, 3);
    EXPECT_EQ(target.text, u"second");
    EXPECT_EQ(target.previousText, u"first");
}

TEST(ParamRecord, DummyIsDefinedOnEveryLookup)
{
    ParamRecord& dummy = DummyParameter();
    EXPECT_EQ(dummy.name, u"DUMMY_PARAMETER");
    dummy.value = 42;
    dummy.id = 1234;
    dummy.SetText(QStringLiteral("stale"));
    const ParamRecord& again = DummyParameter();
    EXPECT_EQ(&again, &dummy);
    EXPECT_EQ(again.id, 0);
    EXPECT_EQ(again.value, 0);
    EXPECT_TRUE(again.text.isEmpty());
    EXPECT_EQ(again.name, u"DUMMY_PARAMETER");
}

} // namespace
