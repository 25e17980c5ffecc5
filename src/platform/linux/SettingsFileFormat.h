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
// survive the next change. A line that cannot be read (a hand edit such as
// "x"="C:\dir" or a comment after a value) is skipped and kept as it was:
// writing puts it back in its key, so it is never lost. Only a file that is no
// settings file at all (its first line is not the header) fails as a whole.

#include "KeyTree.h"

#include <QByteArray>
#include <QString>

namespace platform {

/// Why a file did not parse (ok false: nothing was read), or why some of its
/// lines were skipped (unreadLines): the 1-based line of the first problem
/// and a short reason.
struct SettingsParseResult {
    bool ok = true;
    int unreadLines = 0;   ///< lines skipped and kept as they were
    QByteArray unreadText; ///< those lines, each followed by a line feed
    int line = 0;
    QString reason;
    explicit operator bool() const { return ok; }
    QString Description() const;
};

/// Parses the file's bytes into tree (which is cleared first). On failure the
/// tree is left empty. An empty file is a valid empty store. Lines that cannot
/// be read are kept in the tree (KeyTree::Key::unread).
SettingsParseResult ParseSettingsFile(const QByteArray& bytes, KeyTree& tree);

/// The canonical text of the tree.
QByteArray SerializeSettingsFile(const KeyTree& tree);

/// The first line of every settings file.
inline constexpr char kSettingsFileHeader[] = "Tabrine Settings Version 1";

} // namespace platform
