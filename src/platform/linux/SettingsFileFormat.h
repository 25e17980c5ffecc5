#pragma once
// The settings file as text: a header line, then one section per key and one
// line per value, in the manner of an exported registry file:
//
//     Tabrine Settings Version 1
//
//     [Software\Brimcote Limited\Tabrine\Settings]
//     "LongTimeout"=dword:000007d0
//     "PresetFile"="/home/me/presets/Warm \"pad\".xml"
//     "Search"=expand:"%HOME%/sounds"
//     "Names"=multi:"first","second"
//     "Blob"=hex:01,02,ff
//
// Texts are UTF-8 in double quotes; \\ \" \n \r \t and \uXXXX are the only
// escapes, and every control character, line separator and unpaired surrogate
// is written as \uXXXX, so any text reads back as it was written. In a
// section header the key names are joined by backslashes (a key name never
// holds one) and '%' followed by four hex digits stands for a character that
// cannot appear as it is ('%' itself, control characters).
// Blank lines and lines starting with ';' or '#' are ignored when reading;
// writing produces the canonical form, so hand-written comments do not
// survive the next change.

#include "KeyTree.h"

#include <QByteArray>
#include <QString>

namespace platform {

/// Why a file did not parse: the 1-based line and a short reason.
struct SettingsParseResult {
    bool ok = true;
    int line = 0;
    QString reason;
    explicit operator bool() const { return ok; }
    QString Description() const;
};

/// Parses the file's bytes into tree (which is cleared first). On failure the
/// tree is left empty. An empty file is a valid empty store.
SettingsParseResult ParseSettingsFile(const QByteArray& bytes, KeyTree& tree);

/// The canonical text of the tree.
QByteArray SerializeSettingsFile(const KeyTree& tree);

/// The first line of every settings file.
inline constexpr char kSettingsFileHeader[] = "Tabrine Settings Version 1";

} // namespace platform
