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
// The operations are members of Proteus (module/Proteus.h, the section of the
// ROM data cache and the configuration cache); this header holds the names
// of the file's parts and the helpers that do not need a module.

#include "core/ObjectKind.h"

#include <QString>

#include <cstdint>

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
