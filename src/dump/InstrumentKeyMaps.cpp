// The key maps the instrument definition export inserts: the presets' merged
// key maps from the key-map collection, in ascending (SIMM id, preset), and
// the beat triggers' map.

#include "core/Logger.h"
#include "dump/InstrumentDefinition.h"
#include "dump/KeymapCollection.h"
#include "module/Capabilities.h"

bool InstrumentDefinitionExport::CollectInstrumentKeyMaps(bool beatsTriggers, bool uniqueOnly, const std::set<QString>& romPresetNames,
                                       std::vector<InstrumentKeyMap>& maps, KeyMapData& beatKeyMap)
{
    KeymapCollection::PresetDataMap collected;
    if (!KeymapCollection(m_link).CollectKeymapData(beatsTriggers, uniqueOnly, romPresetNames, collected))
        return false;
    // The map's key is (SIMM id << 16) | preset, so its order is the export's.
    for (const auto& [key, data] : collected) {
        if (!data)
            continue;
        InstrumentKeyMap entry;
        entry.simmId = data->simmId;
        entry.preset = data->presetNumber;
        entry.keyMap = data->keyMap;
        maps.push_back(std::move(entry));
    }
    if (m_link.HasCapability(CAP_ARPS_AND_BEATS) && !KeymapCollection(m_link).CreateBeatKeymap(beatKeyMap)) {
        TLOG(kLogError, u"Failed to collect the beat triggers' key map");
        return false;
    }
    return true;
}
