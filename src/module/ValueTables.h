#pragma once
// The constant tables behind the value formats and name lists (generated into
// ValueTables.cpp by tools/gen_value_tables.py). Internal to the module library.

#include "module/NameLists.h"

namespace valuetables {

/// The 44 lists in registration order.
extern const NameListDefinition nameListDefinitions[NameListCount];

/// Fine-tune texts for magnitudes 0 ... 63 (leading blank below 10).
extern const char16_t* const fineTuneTexts[64];

/// Glide and LFO rates for values 0 ... 127: whole part and hundredths.
extern const unsigned char glideWhole[128];
extern const unsigned char glideHundredths[128];
extern const unsigned char lfoWhole[128];
extern const unsigned char lfoHundredths[128];

} // namespace valuetables
