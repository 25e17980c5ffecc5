#pragma once
// Writing expected MIDI bytes in tests as hex text, independently of any encoder:
//   Hex("F0 18 0F 00 55 02 01 04 03 F7")
#include <QByteArray>
#include <QString>

#include <string_view>
#include <vector>

namespace sim {

/// Bytes from hex text; blanks, commas and line breaks between bytes are ignored, so
/// "F0 18 0F" and "F0180F" are the same. Bad text stops the program with a message
/// naming it (it is a mistake in the test, not a condition to handle).
QByteArray Hex(std::string_view text);
/// "f0 18 0f ..." for messages in test output.
QString ToHex(const QByteArray& bytes);
/// The SysEx messages (F0 ... F7) in bytes, in order; bytes outside a message are skipped.
std::vector<QByteArray> SplitSysEx(const QByteArray& bytes);

} // namespace sim
