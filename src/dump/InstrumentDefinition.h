#pragma once
// The instrument definition (.ins) file for sequencers that read Sonar
// instrument definitions: every preset of every SIMM as named patches in banks
// of 128, the controller names, optionally the presets' key maps as note
// names, and the instrument definition that ties them together.
//
// The text is built whole first (BuildInstrumentDefinition), then converted to
// the 8-bit code page (Windows-1252; characters without a place there become
// "?") and written whole or not at all.

#include "module/KeyMapData.h"

#include <QByteArray>
#include <QString>

#include <map>
#include <set>
#include <vector>
#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"

class ProteusData;

/// One preset's key map for the note-name section.
struct InstrumentKeyMap {
    int simmId = 0;
    int preset = 0;
    KeyMapData keyMap;
};

struct InstrumentDefinitionInput {
    QString deviceName;
    bool uniqueOnly = false;        ///< user presets named like a ROM preset are left out
    bool includeNoCategory = false; ///< else presets whose name begins with ":" are left out
    bool insertKeyMaps = false;
    bool arpsAndBeats = false;      ///< the module has CAP_ARPS_AND_BEATS: the beat triggers' Key line
    /// Controller number -> text, as the Controller Names section lists them.
    std::map<int, QString> controllers;
    /// In ascending (SIMM id, preset); only with insertKeyMaps.
    std::vector<InstrumentKeyMap> keyMaps;
    KeyMapData beatKeyMap;
};

/// The cached preset names of every ROM SIMM (not the user bank), from the
/// SIMM slots of the hardware configuration in slot order, as stored.
std::set<QString> RomPresetNames(const ProteusData& data);

/// The fixed controller names, then each real-time controller under the
/// number its parameter holds unless that number has a name already.
struct RealTimeControllerName {
    int number = 0;         ///< the controller number the module assigns to it now
    QString letter;         ///< "A" ... "P", "FS1" ... "FS3"
    QString label;
};
std::map<int, QString> InstrumentControllerNames(const std::vector<RealTimeControllerName>& rows,
                                                 const std::map<QString, QString>& mappedNames);

/// The whole file as text, every line ending in CR LF.
QString BuildInstrumentDefinition(const ProteusData& data, const InstrumentDefinitionInput& input);

/// "%s %s %s" (device, SIMM name, preset name or number) with ":", "=", "[",
/// "]", "&" and "*" made blanks.
QString KeyMapSectionName(const ProteusData& data, const QString& deviceName, int simmId, int preset);

class InstrumentDefinitionExport : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Writes the instrument definition (.ins) file of the module to path
    /// (dump/InstrumentDefinition.h), whole or not at all, in the 8-bit code
    /// page with CR LF, then empty file properties. With insertKeyMaps the
    /// presets' key maps are collected first; a failed collection ends it
    /// before the file is touched. A file that cannot be created shows string
    /// 272; a failed write is reported like a dump failure.
    bool WriteInstrumentDefinitionFile(const QString& path, const QString& deviceName, bool uniqueOnly,
                                       bool includeNoCategory, bool insertKeyMaps, bool beatsTriggers);

private:
    /// The presets' key maps in ascending (SIMM id, preset) and the beat
    /// triggers' map for the export (src/dump/InstrumentKeyMaps.cpp).
    bool CollectInstrumentKeyMaps(bool beatsTriggers, bool uniqueOnly, const std::set<QString>& romPresetNames,
                                  std::vector<InstrumentKeyMap>& maps, KeyMapData& beatKeyMap);
};
