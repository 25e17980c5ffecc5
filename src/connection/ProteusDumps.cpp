// The dump, file, cache and backup operations of the connection: each hands
// the call to the dump class that does the work, over the connection's link.

#include "connection/Proteus.h"

#include "dump/Backup.h"
#include "dump/BankMapDump.h"
#include "dump/ConfigurationCache.h"
#include "dump/DumpFiles.h"
#include "dump/DumpHandshake.h"
#include "dump/EditBufferSave.h"
#include "dump/FxBankExport.h"
#include "dump/InstrumentDefinition.h"
#include "dump/KeymapCollection.h"
#include "dump/ParameterElements.h"
#include "dump/PresetTransfer.h"
#include "dump/RomDataCache.h"
#include "dump/SetupArpTuningDumps.h"
#include "dump/SetupBuffer.h"

bool Proteus::SendHandshake(int code)
{
    return DumpHandshake(*this).SendHandshake(code);
}

int Proteus::ParseHandshake(std::span<const std::uint8_t> message, int deviceId, int* packet)
{
    return DumpHandshake::ParseHandshake(message, deviceId, packet);
}

TPtr<_ByteBlock> Proteus::ConvertBlocksToBlock(const ByteBlockList& blocks)
{
    return DumpHandshake::ConvertBlocksToBlock(blocks);
}

bool Proteus::DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress, ByteBlockList& blocks)
{
    return PresetTransfer(*this).DownloadPreset(subRequest, romId, preset, layer, showProgress, blocks);
}

bool Proteus::_DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress, ByteBlockList& blocks)
{
    return PresetTransfer(*this)._DownloadPreset(subRequest, romId, preset, layer, showProgress, blocks);
}

bool Proteus::DownloadShortPreset(int subRequest, int romId, int preset, int layer, ByteBlockList& blocks)
{
    return PresetTransfer(*this).DownloadShortPreset(subRequest, romId, preset, layer, blocks);
}

bool Proteus::UploadPreset(bool renumber, int preset, int layer, ByteBlockList& blocks)
{
    return PresetTransfer(*this).UploadPreset(renumber, preset, layer, blocks);
}

Proteus::DumpProblem Proteus::CheckPresetUpload(const ByteBlockList& blocks, bool renumber)
{
    return PresetTransfer::CheckPresetUpload(blocks, renumber);
}

bool Proteus::UploadShortPreset(int preset, int layer, TPtr<_ByteBlock> block)
{
    return PresetTransfer(*this).UploadShortPreset(preset, layer, block);
}

bool Proteus::DownloadBankMap(ByteBlockList& blocks)
{
    return BankMapDump(*this).DownloadBankMap(blocks);
}

bool Proteus::UploadBankMap(ByteBlockList& blocks)
{
    return BankMapDump(*this).UploadBankMap(blocks);
}

Proteus::DumpProblem Proteus::CheckBankMapUpload(const ByteBlockList& blocks)
{
    return BankMapDump::CheckBankMapUpload(blocks);
}

bool Proteus::GetBankMap(std::int16_t values[256])
{
    return BankMapDump(*this).GetBankMap(values);
}

bool Proteus::SetBankMap(const std::int16_t values[256])
{
    return BankMapDump(*this).SetBankMap(values);
}

bool Proteus::ReadSysExFile(const QString& path, ByteBlockList& blocks, OleProps& properties)
{
    return DumpFiles(*this).ReadSysExFile(path, blocks, properties);
}

bool Proteus::WriteSysExFile(const QString& path, const ByteBlockList& blocks, const OleProps& properties)
{
    return DumpFiles(*this).WriteSysExFile(path, blocks, properties);
}

bool Proteus::ReportDumpFailure(const QString& operation, const QString& reason)
{
    return DumpFiles(*this).ReportDumpFailure(operation, reason);
}

bool Proteus::WriteOleProps(const QString& path, const OleProps& properties)
{
    return DumpFiles(*this).WriteOleProps(path, properties);
}

bool Proteus::ReadOleProps(const QString& path, OleProps& properties)
{
    return DumpFiles(*this).ReadOleProps(path, properties);
}

bool Proteus::DownloadSetup(ByteBlockList& blocks)
{
    return SetupArpTuningDumps(*this).DownloadSetup(blocks);
}

bool Proteus::UploadSetup(ByteBlockList& blocks, bool writeDeviceId)
{
    return SetupArpTuningDumps(*this).UploadSetup(blocks, writeDeviceId);
}

bool Proteus::DownloadArp(int romId, int arp, ByteBlockList& blocks)
{
    return SetupArpTuningDumps(*this).DownloadArp(romId, arp, blocks);
}

bool Proteus::UploadArp(int arp, ByteBlockList& blocks)
{
    return SetupArpTuningDumps(*this).UploadArp(arp, blocks);
}

bool Proteus::DownloadTuning(int tuning, ByteBlockList& blocks)
{
    return SetupArpTuningDumps(*this).DownloadTuning(tuning, blocks);
}

bool Proteus::UploadTuning(int tuning, ByteBlockList& blocks)
{
    return SetupArpTuningDumps(*this).UploadTuning(tuning, blocks);
}

Proteus::DumpProblem Proteus::CheckSetupUpload(const ByteBlockList& blocks)
{
    return SetupArpTuningDumps::CheckSetupUpload(blocks);
}

Proteus::DumpProblem Proteus::CheckArpUpload(const ByteBlockList& blocks)
{
    return SetupArpTuningDumps::CheckArpUpload(blocks);
}

Proteus::DumpProblem Proteus::CheckTuningUpload(const ByteBlockList& blocks)
{
    return SetupArpTuningDumps::CheckTuningUpload(blocks);
}

bool Proteus::CreateFXSysexBank(ByteBlockList& blocks)
{
    return FxBankExport(*this).CreateFXSysexBank(blocks);
}

int Proteus::GetRomObjectCount(int kind, int simmId, bool* complete)
{
    return RomDataCache(*this).GetRomObjectCount(kind, simmId, complete);
}

Proteus::ObjectProbe Proteus::ProbeObject(int kind, int simmId, int index)
{
    return RomDataCache(*this).ProbeObject(kind, simmId, index);
}

bool Proteus::IsObjectPresent(int kind, int simmId, int index)
{
    return RomDataCache(*this).IsObjectPresent(kind, simmId, index);
}

bool Proteus::LoadObjectNames(StackedProgress& progress, const TPtr<_SimmData>& simm, int kind, int simmId, int count)
{
    return RomDataCache(*this).LoadObjectNames(progress, simm, kind, simmId, count);
}

bool Proteus::LoadSimmNames(StackedProgress& progress, const SimmSlot& slot)
{
    return RomDataCache(*this).LoadSimmNames(progress, slot);
}

bool Proteus::LoadAllSimmNames()
{
    return RomDataCache(*this).LoadAllSimmNames();
}

void Proteus::RefreshMinMaxCache()
{
    RomDataCache(*this).RefreshMinMaxCache();
}

bool Proteus::LoadCacheConfiguration()
{
    return ConfigurationCacheFile(*this).LoadCacheConfiguration();
}

bool Proteus::CreateCacheConfiguration()
{
    return ConfigurationCacheFile(*this).CreateCacheConfiguration();
}

QString Proteus::GetCacheConfigurationPath()
{
    return ConfigurationCacheFile(*this).GetCacheConfigurationPath();
}

int Proteus::GetSimmChecksum() const
{
    return ConfigurationCacheFile(const_cast<Proteus&>(*this)).GetSimmChecksum();
}

bool Proteus::WriteObjectNames(const TPtr<_SimmData>& simm, int kind, XMLElement& simmElement, QStringView elementName)
{
    return ConfigurationCacheFile(*this).WriteObjectNames(simm, kind, simmElement, elementName);
}

int Proteus::CountObjectElements(const XMLElement& simmElement, QStringView elementName)
{
    return ConfigurationCacheFile(*this).CountObjectElements(simmElement, elementName);
}

bool Proteus::ReadObjectNames(const TPtr<_SimmData>& simm, int kind, const XMLElement& simmElement, QStringView elementName)
{
    return ConfigurationCacheFile(*this).ReadObjectNames(simm, kind, simmElement, elementName);
}

bool Proteus::WriteParameterElements(const ParameterCache& records, XMLElement& parent, bool minMax)
{
    return ParameterElements(*this).WriteParameterElements(records, parent, minMax);
}

bool Proteus::ReadParameterElements(StackedProgress& progress, const ParameterEditor& editor, ParameterCache& records, const XMLElement& parent, bool minMax)
{
    return ParameterElements(*this).ReadParameterElements(progress, editor, records, parent, minMax);
}

bool Proteus::SaveEditBuffer(int preset)
{
    return EditBufferSave(*this).SaveEditBuffer(preset);
}

bool Proteus::DumpPreset(int counts[10], TPtr<_ByteBlock>& payload)
{
    return EditBufferSave(*this).DumpPreset(counts, payload);
}

bool Proteus::AltSaveEditBuffer(int preset)
{
    return EditBufferSave(*this).AltSaveEditBuffer(preset);
}

bool Proteus::WriteInstrumentDefinitionFile(const QString& path, const QString& deviceName, bool uniqueOnly, bool includeNoCategory, bool insertKeyMaps, bool beatsTriggers)
{
    return InstrumentDefinitionExport(*this).WriteInstrumentDefinitionFile(path, deviceName, uniqueOnly, includeNoCategory, insertKeyMaps, beatsTriggers);
}

bool Proteus::CollectKeymapData(bool saveBeats, bool onlyUnique, const std::set<QString>& romPresetNames, PresetDataMap& results)
{
    return KeymapCollection(*this).CollectKeymapData(saveBeats, onlyUnique, romPresetNames, results);
}

bool Proteus::OpenKeymapCache(XMLDocument& document)
{
    return KeymapCollection(*this).OpenKeymapCache(document);
}

bool Proteus::GetPresetData(XMLDocument& document, int simmId, int preset, XMLElement& element, bool create)
{
    return KeymapCollection(*this).GetPresetData(document, simmId, preset, element, create);
}

bool Proteus::GetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, LayerKeyData& data)
{
    return KeymapCollection(*this).GetLayerCacheData(document, simmId, preset, layer, data);
}

bool Proteus::SetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, const LayerKeyData& data)
{
    return KeymapCollection(*this).SetLayerCacheData(document, simmId, preset, layer, data);
}

bool Proteus::GetRiffCacheData(XMLDocument& document, int simmId, int preset, int& riffSimm, int& riffNumber, QString& riffName)
{
    return KeymapCollection(*this).GetRiffCacheData(document, simmId, preset, riffSimm, riffNumber, riffName);
}

bool Proteus::SetRiffCacheData(XMLDocument& document, int simmId, int preset, int riffSimm, int riffNumber, const QString& riffName)
{
    return KeymapCollection(*this).SetRiffCacheData(document, simmId, preset, riffSimm, riffNumber, riffName);
}

bool Proteus::DownloadLayerData(int simmId, int preset, int layer, LayerKeyData& data)
{
    return KeymapCollection(*this).DownloadLayerData(simmId, preset, layer, data);
}

bool Proteus::DownloadRiffData(int simmId, int preset, int& riffSimm, int& riffNumber, QString& riffName)
{
    return KeymapCollection(*this).DownloadRiffData(simmId, preset, riffSimm, riffNumber, riffName);
}

bool Proteus::CreateDiatonicKeymap(KeyMapData& map)
{
    return KeymapCollection(*this).CreateDiatonicKeymap(map);
}

bool Proteus::CreateBeatKeymap(KeyMapData& map)
{
    return KeymapCollection(*this).CreateBeatKeymap(map);
}

bool Proteus::BackupModule(const QString& folder, bool backup, bool setups, bool presets, bool arps, bool tunings, bool bankMap)
{
    return ModuleBackup(*this).BackupModule(folder, backup, setups, presets, arps, tunings, bankMap);
}

QByteArray Proteus::BackupReport()
{
    return ModuleBackup(*this).BackupReport();
}

// ---- The setup buffer's place in the connection -----------------------------------------

void Proteus::SetupBufferDeleter::operator()(SetupBuffer* buffer) const
{
    delete buffer;
}

SetupBuffer* Proteus::CreateSetupBuffer()
{
    auto* buffer = new SetupBuffer(this);
    SetSetupParameters(buffer);
    return buffer;
}
