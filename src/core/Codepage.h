#pragma once
// The "ANSI code page" of the module's 8-bit text fields and of the 8-bit files
// the program writes: Windows-1252, whatever the system's locale. Names and
// revisions travel in fixed-size fields that are blank padded, not terminated.

#include <QByteArray>
#include <QByteArrayView>
#include <QList>
#include <QString>
#include <QStringView>

#include <cstddef>
#include <cstdint>

/// The character of one Windows-1252 byte. The five bytes the code page leaves
/// undefined (81 8D 8F 90 9D) give the C1 control of the same number, as Windows does.
char16_t AnsiCharToUnicode(std::uint8_t byte);

/// Windows-1252 text to Unicode, byte for character.
QString AnsiToUnicode(QByteArrayView bytes);

/// Unicode to Windows-1252, one byte per character (a surrogate pair is one
/// character); a character the code page lacks becomes '?'.
QByteArray UnicodeToAnsi(QStringView text);

/// Converts exactly n bytes of an 8-bit field (which need not be terminated):
/// the result has n characters, blanks and zero bytes included.
QString AnsiToWide(const void* field, std::size_t n);

/// Fills the n bytes of field with blanks (0x20), then writes text into them
/// through the code page without a terminator; characters beyond n are dropped.
void WideToAnsiPadded(QStringView text, void* field, std::size_t n);
