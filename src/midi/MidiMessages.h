#pragma once
// Small pure helpers over MIDI bytes: message lengths, packing short messages,
// splitting a byte stream into messages, the readable trace line of a short
// message, note names and the re-channelling of the MIDI thru.

#include <QString>

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <vector>

/// The wire length of a short message starting with status (MIDI 1.0): 3 for
/// 0x80-0xBF and 0xE0-0xEF, 2 for 0xC0-0xDF, 0xF1 and 0xF3, 3 for 0xF2, 1 for
/// 0xF4-0xF6 and the real-time bytes 0xF8-0xFF. 0 for anything that is not the
/// status of a short message: data bytes (below 0x80), 0xF0 and 0xF7.
int ShortMessageLength(std::uint8_t status);

/// True for the real-time bytes 0xF8-0xFF, which may appear anywhere.
inline bool IsRealTime(std::uint8_t status)
{
    return status >= 0xF8;
}

/// Packs up to three bytes with the status in the low byte, as short messages
/// travel through the program (missing bytes are 0).
std::uint32_t PackShortMessage(std::span<const std::uint8_t> bytes);

/// The bytes of a packed short message, as long as its status says; empty
/// when the low byte is not a short-message status.
std::vector<std::uint8_t> UnpackShortMessage(std::uint32_t packed);

/// Splits a byte stream into MIDI messages, in order of completion. A SysEx
/// runs from F0 to its F7, or, when cut short, up to the next status byte or
/// the end; a short message takes its length, or less when a status byte comes
/// first. A real-time byte is a message of its own at the point it appears;
/// the message around it goes on without it. Data bytes without a status are
/// returned together as one piece. Every input byte is in exactly one piece.
std::vector<std::vector<std::uint8_t>> SplitMidiStream(std::span<const std::uint8_t> bytes);

/// The trace line of a short message sent on the device port ("A") or the
/// alternate port ("B"), such as "MIDI_NOTE_ON Port:A chan:0 Key:60 Vel:100";
/// empty for a packed message whose status is below 0x80.
QString DecodeShortMessage(std::uint32_t packed, bool devicePort);

/// The name of a note: C, C#, D, Eb, E, F, F#, G, Ab, A, Bb, B, followed with
/// withOctave by the octave note / 12 - 2 (60 is "C3", 0 is "C-2"). Notes
/// outside 0..127 are named by the same rule without reading outside the table.
QString NoteName(int note, bool withOctave);

/// The MIDI thru of the controller port: the message to pass on to the module
/// for one received short message, or nothing when it is dropped. Channel
/// voice messages (0x80-0xEF) take the low nibble of channel; system messages
/// 0xF2, 0xF3, 0xF6, 0xF8, 0xFA-0xFC, 0xFE and 0xFF pass unchanged; data
/// bytes, 0xF0, 0xF1, 0xF4, 0xF5, 0xF7, 0xF9 and 0xFD are dropped. The data
/// bytes never change.
std::optional<std::uint32_t> MidiThruMessage(std::uint32_t packed, int channel);
