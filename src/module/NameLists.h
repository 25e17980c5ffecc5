#pragma once
// The 44 value-name lists: value -> display name maps that the name-list value
// formats (35 ... 78) and the value menus and labels show. Each list is one
// global NameMap, empty from program start until the module data model
// registers it from its constant rows (RegisterAllNameLists, once, in list
// order). A user may rename any value through the Names document; the rename
// is read at registration, so it shows from the next start.

#include <QString>

#include <functional>
#include <map>
#include <span>

/// Ordered map value -> name. A value missing from a list has no name.
using NameMap = std::map<int, QString>;

/// One of the 44 value-name lists (a global NameMap).
using NameList = NameMap;

/// One constant row of a list's defaults.
struct NameListRow {
    const char16_t* name;
    int value;
};

/// Everything fixed about one list: its number (1 ... 44, registration order),
/// its tag (the key of its names in the Names document; lists 36 and 39 share
/// "PRESET_ARP_SYNC"), the value format that shows it (34 + number), its rows
/// and the accessor of its global map.
struct NameListDefinition {
    int number;
    const char16_t* tag;
    int valueFormat;
    std::span<const NameListRow> rows;
    NameMap& (*list)();
};

inline constexpr int NameListCount = 44;

/// The 44 definitions in registration order (index = number - 1).
std::span<const NameListDefinition> GetNameListDefinitions();

/// The global map of list `number` (1 ... 44); nullptr for any other number.
NameMap* GetNameListByNumber(int number);

/// The name of `value` in `list`; the empty string when the list has none.
QString LookUpName(const NameMap& list, int value);

// One accessor per list, returning its global map (numbers 1 ... 44 in order).
NameMap& GetModuleNameList();
NameMap& GetSimmNameList();
NameMap& GetFilterNameList();
NameMap& GetLayerNameList();
NameMap& GetPresetFxaAlgorithmList();
NameMap& GetPresetFxbAlgorithmList();
NameMap& GetMasterFxaAlgorithmList();
NameMap& GetMasterFxbAlgorithmList();
NameMap& GetPresetCordSourceList();
NameMap& GetPresetCordDestinationList();
NameMap& GetLayerCordSourceList();
NameMap& GetLayerCordDestinationList();
NameMap& GetMultimodeArpNameList();
NameMap& GetMixOutputList();
NameMap& GetMasterTransposeNameList();
NameMap& GetMasterOutputFormatList();
NameMap& GetMasterMidiModeList();
NameMap& GetMasterVelocityCurveList();
NameMap& GetMasterArpPatternList();
NameMap& GetMasterArpSongStartList();
NameMap& GetMasterArpStepKeyOffsetList();
NameMap& GetBeatModeList();
NameMap& GetBeatLatchList();
NameMap& GetBeatGroupList();
NameMap& GetLayerSubmixList();
NameMap& GetLayerSoloList();
NameMap& GetLayerGroupList();
NameMap& GetLayerLfoShapeList();
NameMap& GetLayerLfoRateList();
NameMap& GetLayerEnvelopeModeList();
NameMap& GetLayerVolumeEnvelopeModeList();
NameMap& GetLayerLfoSyncList();
NameMap& GetLayerGlideCurveList();
NameMap& GetPresetTempoOffsetList();
NameMap& GetPresetTuningNameList();
NameMap& GetPresetArpSyncList();
NameMap& GetPresetArpModeList();
NameMap& GetPresetArpNoteList();
NameMap& GetPresetArpSync2List();
NameMap& GetPresetArpDurationList();
NameMap& GetArpSpeedList();
NameMap& GetArpXmitMidiList();
NameMap& GetPresetArpSongStartsList();
NameMap& GetPresetArpRecycleList();

/// Where the user's renames live: by default the Names document of the shared
/// resources (TheGlobalResources), so nothing is read or stored back before
/// those exist. Tests install their own store, or an empty one for none.
struct FunctionNameStore {
    /// Adds every name stored for list `tag` to `out` (the first stored name of
    /// a value wins); false when nothing is stored for the list.
    std::function<bool(const QString& tag, NameMap& out)> getFunctionNames;
    /// Stores `name` for `value` of list `tag`; false when it could not be stored.
    std::function<bool(const QString& tag, int value, const QString& name)> setFunctionName;
};

/// Installs the rename store used by RegisterNameList (replaces any earlier one).
void SetFunctionNameStore(FunctionNameStore store);

/// Fills `map` from `rows`, in row order: a value the user renamed under `tag`
/// gets the stored name, every other value its row name, which is then stored
/// under {tag, value} so that the Names document lists every default. Stored
/// names for values without a row are ignored. A value already in `map` keeps
/// its name (the lists are filled once). Always true.
bool RegisterNameList(const NameListRow* rows, int count, NameMap* map, const QString& tag);

/// Registers the 44 global lists in list order (the module data model's
/// constructor calls it once).
void RegisterAllNameLists();
