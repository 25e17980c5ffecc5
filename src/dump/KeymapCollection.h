#pragma once
// The key maps of the presets and their cache file (KeymapCache.xml in the
// data folder).

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"
#include "core/RefCounted.h"
#include "core/XMLDocument.h"
#include "module/KeyMapData.h"
#include <map>
#include <set>

#include <QString>

#include <cstdint>

class KeymapCollection : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// The six values of one preset layer the key maps need.
    struct LayerKeyData {
        int simm = 0;
        int instrument = 0;
        int keyLow = 0;
        int keyHigh = 0;
        int noTranspose = 0;
        int transpose = 0;
    };
    /// One preset's merged key map.
    class _PresetData : public RefCountedObject {
    public:
        _PresetData(int simmId, int presetNumber) : simmId(simmId), presetNumber(presetNumber) {}
        ~_PresetData() override = default;
        int simmId;
        int presetNumber;
        KeyMapData keyMap;
    };
    /// Key: (SIMM id << 16) | (preset number & 0xFFFF).
    using PresetDataMap = std::map<std::uint32_t, TPtr<_PresetData>>;
    static std::uint32_t PresetDataKey(int simmId, int presetNumber)
    {
        return (std::uint32_t(simmId) << 16) | (std::uint32_t(presetNumber) & 0xFFFFu);
    }

    /// The key map of every preset of every installed SIMM that has one:
    /// layers whose instrument has a key map in the Keymaps document, and with
    /// saveBeats the beat map for a preset whose riff is a beat riff ("BTS-").
    /// ROM presets come from KeymapCache.xml where it has them (what had to be
    /// downloaded is added and the file saved whole); user presets are always
    /// downloaded. onlyUnique skips user presets named in romPresetNames.
    /// False when a download fails: results then hold what was merged so far,
    /// and what was downloaded is not saved.
    bool CollectKeymapData(bool saveBeats, bool onlyUnique, const std::set<QString>& romPresetNames,
                           PresetDataMap& results);
    /// Loads KeymapCache.xml (the default content when there is none). A file
    /// that does not load is reported and the document holds the default
    /// content, so the file is rebuilt (and replaced whole) from the module.
    bool OpenKeymapCache(XMLDocument& document);
    /// The PRESET element of simmId/preset; with create, missing SIMM and
    /// PRESET elements are made (with ID and NAME).
    bool GetPresetData(XMLDocument& document, int simmId, int preset, XMLElement& element, bool create);
    bool GetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, LayerKeyData& data);
    bool SetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, const LayerKeyData& data);
    bool GetRiffCacheData(XMLDocument& document, int simmId, int preset, int& riffSimm, int& riffNumber,
                          QString& riffName);
    bool SetRiffCacheData(XMLDocument& document, int simmId, int preset, int riffSimm, int riffNumber,
                          const QString& riffName);
    /// Layer section dump (0x21) of one layer, decoded.
    bool DownloadLayerData(int simmId, int preset, int layer, LayerKeyData& data);
    /// Preset section dump (0x10): the riff's SIMM and number; its name from the names.
    bool DownloadRiffData(int simmId, int preset, int& riffSimm, int& riffNumber, QString& riffName);
    /// 128 one-key entries named by note.
    bool CreateDiatonicKeymap(KeyMapData& map);
    /// The 24 beat triggers' keys from the module, named by beat.
    bool CreateBeatKeymap(KeyMapData& map);
};
