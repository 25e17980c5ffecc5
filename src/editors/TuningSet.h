#pragma once
// A user tuning table and the MIDI Tuning Standard messages that carry it:
// the 408-byte bulk tuning dump (between the module, the tuning editor and
// .sysex files) and the single-note changes the editor sends while the user
// edits. No window and no connection here.
//
// The bulk dump as this program writes it:
//   F0 7E <device id> 08 01 <program 0..11> <name, 16 bytes, blank padded>
//   128 x <semitone> <fine / 128> <fine mod 128>   (key 0 first)
//   7F (in place of the checksum: not computed) F7

#include "module/ModuleCommands.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <span>
#include <vector>

/// One key: the note it sounds (0..127) and how far above it, in 1/16384 of
/// a semitone (0..16383).
struct Tuning {
    int semitone = 0;
    int fine = 0;
    bool operator==(const Tuning&) const = default;
};

/// A tuning table: a name of at most 16 characters and the 128 keys.
class TuningSet {
public:
    static constexpr int kKeys = 128;
    static constexpr int kNameLength = 16;

    /// "User Tuning", equal temperament.
    TuningSet() { Reset(); }
    virtual ~TuningSet() = default;
    TuningSet(const TuningSet&) = default;
    TuningSet& operator=(const TuningSet&) = default;

    /// Equal temperament: key k sounds note k, fine 0. The name stays.
    void SetEqualTemperament();
    /// The name "User Tuning" and equal temperament.
    void Reset();

    QString name;
    std::array<Tuning, kKeys> entries{};
};

/// The layout of a bulk tuning dump.
namespace tuningdump {
inline constexpr std::size_t kSize = 408;
inline constexpr std::size_t kDeviceIdOffset = 2;
inline constexpr std::size_t kProgramOffset = 5;
inline constexpr std::size_t kNameOffset = 6;
inline constexpr std::size_t kEntriesOffset = 22;
inline constexpr std::size_t kChecksumOffset = 406;
} // namespace tuningdump

/// The dump of set for the module at deviceId as tuning program `program`.
/// Every value is kept within 0..127 (a semitone or fine value out of range
/// is clamped), so no byte of the dump can be taken for a status byte.
QByteArray EncodeTuningDump(const TuningSet& set, int deviceId, int program);

/// Whether bytes are a bulk tuning dump that can be read: F0 7E xx 08 01,
/// exactly 408 bytes ending in F7, and every byte between within 0..127.
/// The device id, the program and the checksum are not looked at.
bool IsTuningDump(std::span<const std::uint8_t> bytes);

/// Replaces set's name and keys from a dump; false (set unchanged) unless
/// IsTuningDump.
bool DecodeTuningDump(std::span<const std::uint8_t> bytes, TuningSet* set);

/// The key edited in the tuning editor: key k (0..11) of the octave shown,
/// with its three values (the note, and the fine offset's upper and lower 7
/// bits). In replicate mode base is relative to the key's octave and the
/// change goes to the same key of every octave (the note clamped to 0..127);
/// otherwise it goes to MIDI key octave x 12 + k (at most 127) with base as
/// the note.
std::vector<SingleNoteTuningChange> BuildKeyChanges(int k, int base, int coarse, int fine, bool replicate,
                                                    int octave);

/// Stores what changes sent into set: each key sounds the note and fine
/// offset it was sent, so the table always matches what the module plays.
void StoreKeyChanges(const std::vector<SingleNoteTuningChange>& changes, TuningSet* set);
