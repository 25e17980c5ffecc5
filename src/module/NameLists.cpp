#include "module/NameLists.h"

#include "module/ValueTables.h"

#include "core/GlobalResources.h"

#include <utility>

namespace {

// The 44 global lists, built empty before the program's own code runs and
// filled once by the module data model (RegisterAllNameLists).
NameMap theNameLists[NameListCount];

// By default the renames live in the Names document of the shared resources;
// before those exist (and in tests) nothing is read or stored.
FunctionNameStore NamesDocumentStore()
{
    FunctionNameStore store;
    store.getFunctionNames = [](const QString& tag, NameMap& out) {
        GlobalResources* resources = TheGlobalResources();
        return resources && resources->GetFunctionNames(tag, out);
    };
    store.setFunctionName = [](const QString& tag, int value, const QString& name) {
        GlobalResources* resources = TheGlobalResources();
        return resources && resources->SetFunctionName(tag, value, name);
    };
    return store;
}

FunctionNameStore& nameStore()
{
    static FunctionNameStore store = NamesDocumentStore();
    return store;
}

} // namespace

std::span<const NameListDefinition> GetNameListDefinitions()
{
    return valuetables::nameListDefinitions;
}

NameMap* GetNameListByNumber(int number)
{
    if (number < 1 || number > NameListCount)
        return nullptr;
    return &valuetables::nameListDefinitions[number - 1].list();
}

QString LookUpName(const NameMap& list, int value)
{
    const auto it = list.find(value);
    return it == list.end() ? QString() : it->second;
}

NameMap& GetModuleNameList() { return theNameLists[0]; }
NameMap& GetSimmNameList() { return theNameLists[1]; }
NameMap& GetFilterNameList() { return theNameLists[2]; }
NameMap& GetLayerNameList() { return theNameLists[3]; }
NameMap& GetPresetFxaAlgorithmList() { return theNameLists[4]; }
NameMap& GetPresetFxbAlgorithmList() { return theNameLists[5]; }
NameMap& GetMasterFxaAlgorithmList() { return theNameLists[6]; }
NameMap& GetMasterFxbAlgorithmList() { return theNameLists[7]; }
NameMap& GetPresetCordSourceList() { return theNameLists[8]; }
NameMap& GetPresetCordDestinationList() { return theNameLists[9]; }
NameMap& GetLayerCordSourceList() { return theNameLists[10]; }
NameMap& GetLayerCordDestinationList() { return theNameLists[11]; }
NameMap& GetMultimodeArpNameList() { return theNameLists[12]; }
NameMap& GetMixOutputList() { return theNameLists[13]; }
NameMap& GetMasterTransposeNameList() { return theNameLists[14]; }
NameMap& GetMasterOutputFormatList() { return theNameLists[15]; }
NameMap& GetMasterMidiModeList() { return theNameLists[16]; }
NameMap& GetMasterVelocityCurveList() { return theNameLists[17]; }
NameMap& GetMasterArpPatternList() { return theNameLists[18]; }
NameMap& GetMasterArpSongStartList() { return theNameLists[19]; }
NameMap& GetMasterArpStepKeyOffsetList() { return theNameLists[20]; }
NameMap& GetBeatModeList() { return theNameLists[21]; }
NameMap& GetBeatLatchList() { return theNameLists[22]; }
NameMap& GetBeatGroupList() { return theNameLists[23]; }
NameMap& GetLayerSubmixList() { return theNameLists[24]; }
NameMap& GetLayerSoloList() { return theNameLists[25]; }
NameMap& GetLayerGroupList() { return theNameLists[26]; }
NameMap& GetLayerLfoShapeList() { return theNameLists[27]; }
NameMap& GetLayerLfoRateList() { return theNameLists[28]; }
NameMap& GetLayerEnvelopeModeList() { return theNameLists[29]; }
NameMap& GetLayerVolumeEnvelopeModeList() { return theNameLists[30]; }
NameMap& GetLayerLfoSyncList() { return theNameLists[31]; }
NameMap& GetLayerGlideCurveList() { return theNameLists[32]; }
NameMap& GetPresetTempoOffsetList() { return theNameLists[33]; }
NameMap& GetPresetTuningNameList() { return theNameLists[34]; }
NameMap& GetPresetArpSyncList() { return theNameLists[35]; }
NameMap& GetPresetArpModeList() { return theNameLists[36]; }
NameMap& GetPresetArpNoteList() { return theNameLists[37]; }
NameMap& GetPresetArpSync2List() { return theNameLists[38]; }
NameMap& GetPresetArpDurationList() { return theNameLists[39]; }
NameMap& GetArpSpeedList() { return theNameLists[40]; }
NameMap& GetArpXmitMidiList() { return theNameLists[41]; }
NameMap& GetPresetArpSongStartsList() { return theNameLists[42]; }
NameMap& GetPresetArpRecycleList() { return theNameLists[43]; }

void SetFunctionNameStore(FunctionNameStore store)
{
    nameStore() = std::move(store);
}

bool RegisterNameList(const NameListRow* rows, int count, NameMap* map, const QString& tag)
{
    if (!map || !rows || count <= 0)
        return true;
    const FunctionNameStore& store = nameStore();

    NameMap stored;
    if (store.getFunctionNames)
        store.getFunctionNames(tag, stored);

    for (int i = 0; i < count; ++i) {
        const NameListRow& row = rows[i];
        const auto renamed = stored.find(row.value);
        if (renamed != stored.end()) {
            map->insert({row.value, renamed->second});
            continue;
        }
        const QString name = QString::fromUtf16(row.name);
        map->insert({row.value, name});
        // Writing every default back is what makes the Names document list each
        // value, so the user can find and rename it there. A failed store only
        // means the default is not listed; the map already has the name.
        if (store.setFunctionName)
            store.setFunctionName(tag, row.value, name);
    }
    return true;
}

void RegisterAllNameLists()
{
    for (const NameListDefinition& list : valuetables::nameListDefinitions)
        RegisterNameList(list.rows.data(), int(list.rows.size()), &list.list(), QString::fromUtf16(list.tag));
}
