#pragma once
// What the editor knows about the connected module: its identity and ROM
// configuration, a name cache per installed SIMM, nine caches of parameter
// records and the value formatters. The module connection derives from it,
// so there is exactly one, living as long as the document.

#include "core/RefCounted.h"
#include "module/HardwareConfig.h"
#include "module/NameLists.h"
#include "module/ParameterCache.h"
#include "module/SimmData.h"
#include "module/ValueFormats.h"

#include <array>
#include <map>

class ProteusData {
public:
    /// SIMM id -> that bank's names; SIMM id 0 is the user bank.
    using SimmMap = std::map<int, TPtr<_SimmData>>;
    /// ValueFormat -> the function that shows a value in that format.
    using FormatMap = std::map<ValueFormat, ValueFormatter>;

    /// Fills the eight table caches (AllParameters stays empty until
    /// LoadAllParameters), registers the 44 value-name lists, copies the 79
    /// formatters and builds the trigger sets.
    ProteusData();
    ProteusData(const ProteusData&) = delete;
    ProteusData& operator=(const ProteusData&) = delete;
    virtual ~ProteusData();

    /// For each row in order, inserts a record (row name, row id, value 0)
    /// unless the cache holds that id already; an existing record keeps its
    /// values. Null rows or a count below 1 add nothing.
    static void FillParameterCache(ParameterCache& cache, const ParameterTableRow* rows, int count);

    /// Fills map from rows under tag, user renames from the Names document
    /// first (see the free RegisterNameList). Always true.
    static bool RegisterNameList(const NameListRow* rows, int count, NameMap* map, const QString& tag);

    /// Fills AllParameters (the min/max cache) from the master, multimode,
    /// preset and layer tables and, with arpsAndBeats, from the master arp,
    /// arp pattern, beat and preset arp tables. Records already there stay.
    void LoadAllParameters(bool arpsAndBeats);

    /// The eight table caches in the order parameters are looked up: master,
    /// master arp, multimode, arp pattern, beat, preset, preset arp, layer.
    std::array<ParameterCache*, 8> GetParameterCollections();
    /// The record of a table parameter from the eight table caches; for an id
    /// in none of them (129, 139, 897, 898, the pseudo-parameters) the shared
    /// DummyParameter(), with found set false. Never null.
    ParamRecord& FindTableParameter(ParameterId id, bool* found = nullptr);

    /// The formatter registered for format; FormatNumber for any other format.
    ValueFormatter GetFormatter(ValueFormat format) const;

    /// The MODULE_NAME name of the identified model; empty when not listed.
    QString GetModuleName() const;
    /// The SIMM_NAME name of simmId; empty when not listed.
    QString GetSimmName(int simmId) const;
    /// The cached object name from that SIMM's name cache: "(not instld)"
    /// when the SIMM is not in the map or the kind is outside 1 ... 6, empty
    /// when the index is out of range.
    QString GetSimmObjectName(ObjectKind kind, int simmId, int index) const;
    /// Stores a name in the user bank's (SIMM 0) cache; nothing when there is
    /// no user bank or the kind or index is out of range. True when stored.
    bool SetUserObjectName(ObjectKind kind, int index, const QString& name);

    /// The name cache of simmId; nullptr when that SIMM is not in the map.
    _SimmData* FindSimmData(int simmId) const;
    /// Enters data under its SIMM id unless that id has a cache already
    /// (the caches stay filled across reconnects). True when entered.
    bool AddSimmData(const TPtr<_SimmData>& data);

    HardwareConfig hardwareConfig;
    SimmMap simmMap;

    ParameterCache AllParameters;         ///< the min/max cache; filled on connect
    ParameterCache MasterParameters;
    ParameterCache MasterArpParameters;
    ParameterCache MultimodeParameters;
    ParameterCache BeatParameters;
    ParameterCache ArpPatternParameters;
    ParameterCache PresetParameters;
    ParameterCache PresetArpParameters;
    ParameterCache LayerParameters;

    FormatMap formatMap;
};
