// Key maps of every preset for the instrument definition export: layer and
// riff data from the module, ROM presets' data kept in KeymapCache.xml in the
// data folder so that a second collection downloads nothing for them.

#include "dump/KeymapCollection.h"

#include "dump/PresetTransfer.h"

#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "module/ParameterIds.h"
#include "module/StackedProgress.h"
#include "module/ValueFormats.h"

namespace {

const QString kCacheFile = QStringLiteral("KeymapCache.xml");
constexpr char16_t kDefaultCache[] = u"<?xml version='1.0' ?><Proteus></Proteus>";
constexpr unsigned kCollectingKeymaps = 263;
constexpr int kLayerSectionRequest = 0x21;
constexpr int kPresetSectionRequest = 0x10;
constexpr int kLayers = 4;
constexpr int kBeatTriggers = 24;

// A signed 14-bit number, low 7 bits first, at offset of a stored message.
int Signed14(const _ByteBlock& block, unsigned offset)
{
    const std::uint8_t* d = block.Data();
    const int value = (d[offset] & 0x7F) | ((d[offset + 1] & 0x7F) << 7);
    return value > 8191 ? value - 16384 : value;
}

// Reports a failure through the document and gives false.
bool Fail(const XMLDocument& document, const char16_t* text)
{
    document.ReportError(text, -2);
    return false;
}

} // namespace

bool KeymapCollection::OpenKeymapCache(XMLDocument& document)
{
    if (!document.Create())
        return Fail(document, u"Failed to create LAYER_CACHE document");
    GlobalResources* resources = TheGlobalResources();
    const QString path = resources ? resources->GetDataFilePath(false, kCacheFile) : QString();
    if (!path.isEmpty()) {
        if (document.Load(path))
            return true;
        // A damaged cache is only a cache: reported, then rebuilt from the
        // module (and replaced whole) instead of blocking the collection.
        Fail(document, u"Failed to load LAYER_CACHE document");
    }
    if (!document.LoadXML(kDefaultCache))
        return Fail(document, u"Failed to load default LAYER_CACHE document");
    return true;
}

bool KeymapCollection::GetPresetData(XMLDocument& document, int simmId, int preset, XMLElement& element, bool create)
{
    element = XMLElement();
    XMLElement root = document.GetDocumentElement();
    if (root.IsNull())
        return Fail(document, u"Failed to get root element in LAYER_CACHE document");
    XMLElement simm = root.SelectSingleNode(u"./SIMM[@ID='%d']", {simmId});
    if (simm.IsNull()) {
        if (!create)
            return false;
        simm = document.CreateElement(u"SIMM");
        if (simm.IsNull())
            return Fail(document, u"Failed to create SIMM element in LAYER_CACHE document");
        simm.SetAttribute(u"ID", simmId);
        simm.SetAttribute(u"NAME", m_data.GetSimmName(simmId));
        if (!root.AppendChild(simm))
            return Fail(document, u"Failed to append SIMM element in LAYER_CACHE document");
    }
    XMLElement presetElement = simm.SelectSingleNode(u"./PRESET[@ID='%d']", {preset});
    if (presetElement.IsNull()) {
        if (!create)
            return false;
        presetElement = document.CreateElement(u"PRESET");
        if (presetElement.IsNull())
            return Fail(document, u"Failed to create PRESET element in LAYER_CACHE document");
        presetElement.SetAttribute(u"ID", preset);
        presetElement.SetAttribute(u"NAME", m_data.GetSimmObjectName(OBJECT_PRESET, simmId, preset));
        if (!simm.AppendChild(presetElement))
            return Fail(document, u"Failed to append PRESET element in LAYER_CACHE document");
    }
    element = presetElement;
    return true;
}

bool KeymapCollection::GetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, LayerKeyData& data)
{
    XMLElement presetElement;
    if (!GetPresetData(document, simmId, preset, presetElement, false))
        return false;
    XMLElement element = presetElement.SelectSingleNode(u"./LAYER[@ID='%d']", {layer});
    if (element.IsNull())
        return false;
    data.simm = element.GetIntAttribute(u"SIMM");
    data.instrument = element.GetIntAttribute(u"INSTRUMENT");
    data.keyLow = element.GetIntAttribute(u"KEYLO");
    data.keyHigh = element.GetIntAttribute(u"KEYHI");
    data.noTranspose = element.GetIntAttribute(u"NO_XPOSE");
    data.transpose = element.GetIntAttribute(u"XPOSE");
    return true;
}

bool KeymapCollection::SetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, const LayerKeyData& data)
{
    XMLElement presetElement;
    if (!GetPresetData(document, simmId, preset, presetElement, true))
        return false;
    XMLElement element = presetElement.SelectSingleNode(u"./LAYER[@ID='%d']", {layer});
    if (element.IsNull()) {
        element = document.CreateElement(u"LAYER");
        if (element.IsNull())
            return Fail(document, u"Failed to create LAYER in LAYER_CACHE document");
        element.SetAttribute(u"ID", layer);
        if (!presetElement.AppendChild(element))
            return Fail(document, u"Failed to append LAYER in LAYER_CACHE document");
    }
    element.SetAttribute(u"SIMM", data.simm);
    element.SetAttribute(u"INSTRUMENT", data.instrument);
    element.SetAttribute(u"KEYLO", data.keyLow);
    element.SetAttribute(u"KEYHI", data.keyHigh);
    element.SetAttribute(u"NO_XPOSE", data.noTranspose);
    element.SetAttribute(u"XPOSE", data.transpose);
    return true;
}

bool KeymapCollection::GetRiffCacheData(XMLDocument& document, int simmId, int preset, int& riffSimm, int& riffNumber,
                               QString& riffName)
{
    XMLElement presetElement;
    if (!GetPresetData(document, simmId, preset, presetElement, false))
        return false;
    XMLElement element = presetElement.SelectSingleNode(u"./RIFF");
    if (element.IsNull())
        return false;
    riffSimm = element.GetIntAttribute(u"SIMM");
    riffNumber = element.GetIntAttribute(u"ID");
    riffName = m_data.GetSimmObjectName(OBJECT_RIFF, riffSimm, riffNumber);
    return true;
}

bool KeymapCollection::SetRiffCacheData(XMLDocument& document, int simmId, int preset, int riffSimm, int riffNumber,
                               const QString& riffName)
{
    XMLElement presetElement;
    if (!GetPresetData(document, simmId, preset, presetElement, true))
        return false;
    XMLElement element = presetElement.SelectSingleNode(u"./RIFF");
    if (element.IsNull()) {
        element = document.CreateElement(u"RIFF");
        if (element.IsNull())
            return Fail(document, u"Failed to create RIFF in LAYER_CACHE document");
        if (!presetElement.AppendChild(element))
            return Fail(document, u"Failed to append RIFF in LAYER_CACHE document");
    }
    element.SetAttribute(u"SIMM", riffSimm);
    element.SetAttribute(u"ID", riffNumber);
    element.SetAttribute(u"NAME", riffName);
    return true;
}

bool KeymapCollection::DownloadLayerData(int simmId, int preset, int layer, LayerKeyData& data)
{
    if (!m_link.HasCapability(CAP_SYSEX_DUMPS) || !m_link.IsConnected() || !m_link.IsInputOpen() || !m_link.IsOutputOpen())
        return false;
    TLOG(kLogOperation, u"Downloading Layer Data %s(%d)", m_data.GetSimmObjectName(OBJECT_PRESET, simmId, preset), layer);
    ByteBlockList blocks;
    if (!PresetTransfer(m_link).DownloadPreset(kLayerSectionRequest, simmId, preset, layer, false, blocks))
        return false;
    // The highest offset read is 74: a shorter reply is refused rather than
    // read past its end.
    if (blocks.size() != 1 || !blocks.front() || blocks.front()->Size() < 75) {
        TLOG(kLogError, u"Layer Download returned an invalid dump");
        return false;
    }
    const _ByteBlock& block = *blocks.front();
    data.simm = Signed14(block, 73);
    data.instrument = Signed14(block, 13);
    data.keyLow = Signed14(block, 21);
    data.keyHigh = Signed14(block, 25);
    data.noTranspose = Signed14(block, 55);
    data.transpose = Signed14(block, 53);
    return true;
}

bool KeymapCollection::DownloadRiffData(int simmId, int preset, int& riffSimm, int& riffNumber, QString& riffName)
{
    if (!m_link.HasCapability(CAP_SYSEX_DUMPS) || !m_link.IsConnected() || !m_link.IsInputOpen() || !m_link.IsOutputOpen())
        return false;
    TLOG(kLogOperation, u"Downloading Riff Data %s", m_data.GetSimmObjectName(OBJECT_PRESET, simmId, preset));
    ByteBlockList blocks;
    if (!PresetTransfer(m_link).DownloadPreset(kPresetSectionRequest, simmId, preset, 0, false, blocks))
        return false;
    if (blocks.size() != 1 || !blocks.front()) {
        TLOG(kLogError, u"RIFF Download returned invalid number of blocks");
        return false;
    }
    if (blocks.front()->Size() < 63) {
        TLOG(kLogError, u"RIFF Download returned a dump too short to hold the riff");
        return false;
    }
    riffSimm = Signed14(*blocks.front(), 61);
    riffNumber = Signed14(*blocks.front(), 59);
    riffName = m_data.GetSimmObjectName(OBJECT_RIFF, riffSimm, riffNumber);
    return true;
}

bool KeymapCollection::CreateDiatonicKeymap(KeyMapData& map)
{
    map.clear();
    map.mergeMode = KeyMapData::MergeAppend;
    for (int key = 0; key < 128; ++key)
        map.AddKey(key, key, FormatNoteName(key));
    return true;
}

bool KeymapCollection::CreateBeatKeymap(KeyMapData& map)
{
    map.clear();
    ParamRecord* offset = m_link.FindParameter(BEATS_TRIGGER_OFFSET);
    if (!m_link.ParameterRequest(offset))
        return false;
    map.mergeMode = KeyMapData::MergeReplace;
    map.transpose = offset->value;
    map.lowKey = 0;
    map.highKey = 127;

    ParamRecord* select = m_link.FindParameter(BEAT_LAYER_SELECT);
    const int oldLayer = select->value;
    bool ok = true;
    for (int beat = 0; beat < kBeatTriggers && ok; ++beat) {
        select->previousValue = select->value;
        select->value = beat;
        ParamRecord* key = m_link.FindParameter(BEAT_TRIGGER_KEY);
        key->previousValue = key->value;
        key->value = beat + 12;
        ok = m_link.ParameterEdit(select) && m_link.ParameterRequest(key);
        if (ok)
            map.AddKey(key->value, key->value, FormatBeatTrigger(beat));
    }
    select->previousValue = select->value;
    select->value = oldLayer;
    m_link.ParameterEdit(select);
    return ok;
}

bool KeymapCollection::CollectKeymapData(bool saveBeats, bool onlyUnique, const std::set<QString>& romPresetNames,
                                PresetDataMap& results)
{
    TLOG(kLogFlow, u"%s(%s, %s)", u"Proteus::CollectKeymapData", saveBeats ? u"Saving Beats" : u"Not Saving Beats",
         onlyUnique ? u"Only Unique User Presets" : u"All User Presets");
    TLOG(kLogOperation, u"Collecting keymap data");

    int total = 0;
    for (const SimmSlot& slot : m_data.hardwareConfig.GetSimms())
        total += slot.presets;
    XMLDocument cache;
    OpenKeymapCache(cache);
    bool dirty = false;
    StackedProgress progress(&m_link, true, 0, total, LoadResourceString(kCollectingKeymaps));

    KeyMapData beatMap;
    if (saveBeats && !CreateBeatKeymap(beatMap))
        return false;
    KeyMapData diatonic;
    CreateDiatonicKeymap(diatonic);

    GlobalResources* resources = TheGlobalResources();
    for (const SimmSlot& slot : m_data.hardwareConfig.GetSimms()) {
        const int simmId = slot.simmId;
        for (int preset = 0; preset < slot.presets; ++preset) {
            if (onlyUnique && simmId == 0
                && romPresetNames.count(m_data.GetSimmObjectName(OBJECT_PRESET, simmId, preset)) != 0) {
                progress.Step();
                continue;
            }
            std::array<KeyMapData, kLayers> layerMaps;
            int mask = 0;
            for (int layer = 0; layer < kLayers; ++layer) {
                LayerKeyData data;
                if (simmId == 0 || !GetLayerCacheData(cache, simmId, preset, layer, data)) {
                    if (!DownloadLayerData(simmId, preset, layer, data))
                        return false;
                    if (simmId != 0 && SetLayerCacheData(cache, simmId, preset, layer, data))
                        dirty = true;
                }
                KeyMapData& map = layerMaps[size_t(layer)];
                std::vector<KeyRange> ranges;
                if (data.instrument != 0 && data.noTranspose == 0 && resources
                    && resources->GetKeyMap(data.simm, data.instrument, ranges)) {
                    for (const KeyRange& range : ranges)
                        map.AddKey(range.low, range.high, range.text);
                    mask |= 1 << layer;
                } else {
                    map = diatonic;
                }
                map.transpose = data.transpose;
                map.lowKey = data.keyLow;
                map.highKey = data.keyHigh;
            }
            bool beats = false;
            if (saveBeats) {
                int riffSimm = 0;
                int riffNumber = 0;
                QString riffName;
                if (simmId == 0 || !GetRiffCacheData(cache, simmId, preset, riffSimm, riffNumber, riffName)) {
                    if (!DownloadRiffData(simmId, preset, riffSimm, riffNumber, riffName))
                        return false;
                    if (simmId != 0 && SetRiffCacheData(cache, simmId, preset, riffSimm, riffNumber, riffName))
                        dirty = true;
                }
                if (riffName.left(4).compare(QStringLiteral("BTS-"), Qt::CaseInsensitive) == 0) {
                    beats = true;
                    mask |= 16;
                }
            }
            if (mask != 0) {
                TPtr<_PresetData> entry(new _PresetData(simmId, preset));
                std::vector<const KeyMapData*> maps;
                for (const KeyMapData& map : layerMaps)
                    maps.push_back(&map);
                if (beats)
                    maps.push_back(&beatMap);
                entry->keyMap.Merge(maps);
                results[PresetDataKey(simmId, preset)] = entry;
            }
            progress.Step();
        }
    }

    if (dirty) {
        const QString path = resources ? resources->GetDataFilePath(true, kCacheFile) : QString();
        // Written whole or not at all: a failed save keeps the old file. The
        // key maps are collected either way; the user learns why the next
        // collection will ask the module again.
        QString reason = QStringLiteral("no data folder");
        if (path.isEmpty() || !cache.Save(path, &reason)) {
            TLOG(kLogError, u"Failed to save LAYER_CACHE document %s: %s", path, reason);
            ShowMessageWith(Presenter(), nullptr, msgbox::Ok, true, kPlainText,
                        Format(u"The key-map cache %s could not be saved: %s. The key maps will be asked of the module "
                               u"again next time.",
                               path.isEmpty() ? kCacheFile : path, reason));
        }
    }
    return true;
}
