#include "module/ProteusData.h"

#include "module/TriggerSets.h"

ProteusData::ProteusData()
{
    FillParameterCache(MasterParameters, GetMasterParameterTable(), GetMasterParameterCount());
    FillParameterCache(MasterArpParameters, GetMasterArpParameterTable(), GetMasterArpParameterCount());
    FillParameterCache(MultimodeParameters, GetMultimodeParameterTable(), GetMultimodeParameterCount());
    FillParameterCache(BeatParameters, GetBeatParameterTable(), GetBeatParameterCount());
    FillParameterCache(ArpPatternParameters, GetArpPatternParameterTable(), GetArpPatternParameterCount());
    FillParameterCache(PresetParameters, GetPresetParameterTable(), GetPresetParameterCount());
    FillParameterCache(PresetArpParameters, GetPresetArpParameterTable(), GetPresetArpParameterCount());
    FillParameterCache(LayerParameters, GetLayerParameterTable(), GetLayerParameterCount());

    RegisterAllNameLists();
    for (const ValueFormatTableRow& row : GetValueFormatTable())
        formatMap.emplace(row.format, row.formatter);
    BuildTriggerSets();
}

ProteusData::~ProteusData() = default;

void ProteusData::FillParameterCache(ParameterCache& cache, const ParameterTableRow* rows, int count)
{
    if (!rows)
        return;
    for (int i = 0; i < count; ++i)
        cache.InsertIfAbsent(ParamRecord(rows[i], 0));
}

bool ProteusData::RegisterNameList(const NameListRow* rows, int count, NameMap* map, const QString& tag)
{
    return ::RegisterNameList(rows, count, map, tag);
}

void ProteusData::LoadAllParameters(bool arpsAndBeats)
{
    FillParameterCache(AllParameters, GetMasterParameterTable(), GetMasterParameterCount());
    FillParameterCache(AllParameters, GetMultimodeParameterTable(), GetMultimodeParameterCount());
    FillParameterCache(AllParameters, GetPresetParameterTable(), GetPresetParameterCount());
    FillParameterCache(AllParameters, GetLayerParameterTable(), GetLayerParameterCount());
    if (arpsAndBeats) {
        FillParameterCache(AllParameters, GetMasterArpParameterTable(), GetMasterArpParameterCount());
        FillParameterCache(AllParameters, GetArpPatternParameterTable(), GetArpPatternParameterCount());
        FillParameterCache(AllParameters, GetBeatParameterTable(), GetBeatParameterCount());
        FillParameterCache(AllParameters, GetPresetArpParameterTable(), GetPresetArpParameterCount());
    }
}

std::array<ParameterCache*, 8> ProteusData::GetParameterCollections()
{
    return {&MasterParameters, &MasterArpParameters, &MultimodeParameters, &ArpPatternParameters,
            &BeatParameters, &PresetParameters, &PresetArpParameters, &LayerParameters};
}

ParamRecord& ProteusData::FindTableParameter(ParameterId id, bool* found)
{
    for (ParameterCache* cache : GetParameterCollections()) {
        if (ParamRecord* record = cache->Find(id)) {
            if (found)
                *found = true;
            return *record;
        }
    }
    if (found)
        *found = false;
    return DummyParameter();
}

ValueFormatter ProteusData::GetFormatter(ValueFormat format) const
{
    const auto it = formatMap.find(format);
    return it != formatMap.end() && it->second ? it->second : &FormatNumber;
}

QString ProteusData::GetModuleName() const
{
    return LookUpName(GetModuleNameList(), hardwareConfig.familyMember);
}

QString ProteusData::GetSimmName(int simmId) const
{
    return LookUpName(GetSimmNameList(), simmId);
}

QString ProteusData::GetSimmObjectName(ObjectKind kind, int simmId, int index) const
{
    const _SimmData* data = FindSimmData(simmId);
    return data ? data->GetName(kind, index) : QString::fromUtf16(kNotInstalledName);
}

bool ProteusData::SetUserObjectName(ObjectKind kind, int index, const QString& name)
{
    _SimmData* user = FindSimmData(0);
    return user && user->SetName(kind, index, name);
}

_SimmData* ProteusData::FindSimmData(int simmId) const
{
    const auto it = simmMap.find(simmId);
    return it == simmMap.end() ? nullptr : it->second.get();
}

bool ProteusData::AddSimmData(const TPtr<_SimmData>& data)
{
    if (!data)
        return false;
    return simmMap.try_emplace(data->GetSimmId(), data).second;
}
