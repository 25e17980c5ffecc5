#pragma once
// The kinds of object a module holds. Their names (string-table texts 198 to
// 203, 204 "Unknown" for anything else) are also the "ID" keys of object
// entries in the Tooltips and Mappings documents.

#include <QString>

enum ObjectKind : int {
    OBJECT_PRESET = 1,
    OBJECT_INSTRUMENT = 2,
    OBJECT_ARP = 3,
    OBJECT_SETUP = 4,
    OBJECT_DEMO = 5,
    OBJECT_RIFF = 6,
};

/// "Preset", "Instrument", "Arp", "Setup", "Demo", "Riff"; "Unknown" for any
/// other value.
QString ObjectKindName(int kind);
