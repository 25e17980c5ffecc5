#pragma once
// The configuration cache: one XML file per settings configuration, named by
// the ConfigFile setting and kept in the data folder, that holds every object
// name of every ROM SIMM and the ranges of the parameters, so that a
// connection need not ask the module for them (which takes minutes):
//
//     <ProteusConfig>
//       <SIMMS>
//         <SIMM SIMM_ID="4">
//           <PRESETS><PRESET SIMM_ID="0">Name</PRESET>...</PRESETS>
//           <INSTRUMENTS>... <ARPS>... <SETUPS>... <DEMOS>... <RIFFS>...
//         </SIMM>
//       </SIMMS>
//       <PARAMETERS>
//         <MASTER_TRANSPOSE MIN_VALUE="-12" MAX_VALUE="12" DEFAULT="0" READ_ONLY="0"/>
//       </PARAMETERS>
//     </ProteusConfig>
//
// The operations are the class ConfigurationCacheFile at the end, over the module
// link; this header also holds the names of the file's parts and the helpers
// that do not need a module.

#include "core/ObjectKind.h"

#include <QString>

#include <cstdint>
#include "core/XMLDocument.h"
#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"
#include "module/SimmData.h"

namespace cachedoc {

/// The text a new cache document starts from.
inline constexpr char16_t kDocumentText[] = u"<?xml version='1.0' ?><ProteusConfig></ProteusConfig>";

inline constexpr char16_t kSimms[] = u"SIMMS";
inline constexpr char16_t kSimm[] = u"SIMM";
/// The SIMM id on a SIMM element, and the object's index on an object element.
inline constexpr char16_t kSimmId[] = u"SIMM_ID";
inline constexpr char16_t kParameters[] = u"PARAMETERS";
inline constexpr char16_t kMinValue[] = u"MIN_VALUE";
inline constexpr char16_t kMaxValue[] = u"MAX_VALUE";
inline constexpr char16_t kDefault[] = u"DEFAULT";
inline constexpr char16_t kReadOnly[] = u"READ_ONLY";
/// The value attribute of the preset documents' parameter elements.
inline constexpr char16_t kValue[] = u"VALUE";

/// The object element's name of a kind ("PRESET" ... "RIFF"); the list
/// element's name is it with "S" appended. Empty for a kind outside 1 ... 6.
QString ObjectElementName(int kind);

/// A number as the documents store it: the low 16 bits, sign-extended.
inline int Low16(int value)
{
    return int(std::int16_t(std::uint16_t(std::uint32_t(value) & 0xFFFFu)));
}

} // namespace cachedoc

/// The cache file's name: the ConfigFile setting. A setting that is not a
/// plain file name (empty, a path, "." or "..") is logged and "Default.xml"
/// used instead, so that no setting can make the program write elsewhere.
QString GetConfigurationCacheFileName();

/// Where a program-supplied cache file would lie: the folder of the running
/// program and the cache file's name; empty when the program's folder is
/// unknown.
QString GetProgramConfigurationPath();

class ConfigurationCacheFile : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Called on connection: fills the SIMMs' name caches and the min/max cache
    /// from the configuration cache file, building the file first when there is
    /// none, when it cannot be read or lacks its parts (the old file is kept
    /// beside it as "<name>.bad" and the user told), or, with the user's
    /// consent, when it was built for another set of ROMs; completed from the
    /// module when it lacks an installed ROM's element or holds fewer names
    /// of a kind than the ROM has (the SIMM list is compared as well as the
    /// checksum, which two sets of ROMs can share). False stops the
    /// connection: a failed build, a failed read, or an unreadable file that
    /// could not be kept aside (it is then left untouched).
    bool LoadCacheConfiguration();
    /// Builds the file from the module: every ROM SIMM's names and the ranges
    /// of the min/max cache that the module answered (IsRangeKnown); saves it
    /// whole (an existing file is replaced only by a complete build) and
    /// stores the SIMM checksum in ROMHash. Every failure is reported; false then.
    /// When a count of a ROM it would hold went unanswered (GetRomObjectCount),
    /// the names are loaded for this connection but no file is written and no
    /// checksum stored; the user is told, and the next connection builds it.
    bool CreateCacheConfiguration();
    /// The file's path in the data folder ("Tabrine" in the user's Documents
    /// folder) with the ConfigFile setting's name; a program-supplied file of
    /// that name seeds it when the user has none. The program's copy's path
    /// when there is no Documents folder.
    QString GetCacheConfigurationPath();
    /// The sum of the SIMM ids in the SIMM map (the user bank adds nothing).
    int GetSimmChecksum() const;
    /// Writes one list element (elementName + "S") into simmElement with an
    /// element per cached name of the kind: SIMM_ID = the index, text = the
    /// name. False only when the owning document cannot be reached.
    bool WriteObjectNames(const TPtr<_SimmData>& simm, int kind, XMLElement& simmElement, QStringView elementName);
    /// The number of elementName elements in simmElement's list; 0 without a list.
    int CountObjectElements(const XMLElement& simmElement, QStringView elementName);
    /// Stores the names of simmElement's list (missing: nothing read) in simm;
    /// an index outside the cache is ignored. True.
    bool ReadObjectNames(const TPtr<_SimmData>& simm, int kind, const XMLElement& simmElement, QStringView elementName);

private:
    // A file that cannot be read, or lacks its parts: reported, kept aside
    // and rebuilt (see LoadCacheConfiguration).
    bool RebuildUnreadableCache(const QString& path, const QString& problem);
};
