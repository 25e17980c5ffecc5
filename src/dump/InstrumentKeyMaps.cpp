// The key maps the instrument definition export inserts.
//
// They come from the key-map collection (which downloads the user presets'
// layers and keeps ROM presets in KeymapCache.xml). This build does not have
// that collection yet, so asking for key maps fails, logged, before any file
// is written; the export without key maps works.

#include "core/Logger.h"
#include "module/Proteus.h"

bool Proteus::CollectInstrumentKeyMaps(bool beatsTriggers, bool uniqueOnly, const std::set<QString>& romPresetNames,
                                       std::vector<InstrumentKeyMap>& maps, KeyMapData& beatKeyMap)
{
    (void)beatsTriggers;
    (void)uniqueOnly;
    (void)romPresetNames;
    (void)maps;
    (void)beatKeyMap;
    TLOG(-2, u"Failed to collect key maps: the key-map collection is not available");
    return false;
}
