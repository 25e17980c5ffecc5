#pragma once
// Scala scales (.scl): reading the text format of the Scala tuning program
// and mapping a scale of up to 12 notes onto the keys of a MIDI Tuning
// Standard table. No window here; the tuning editor shows the messages.
//
// The format: lines starting with "!" are comments (blank lines are skipped
// too); the first other line is the description, the next the number of
// notes, then one pitch per line. A pitch whose first word holds a point is
// in cents ("701.955"), otherwise it is a ratio "n/d" or a whole number "2";
// anything after the pitch is ignored. The scale's first note, 1/1, is not
// listed; the last listed pitch is the period (usually the octave, 2/1).
//
//     ScalaScale scale;
//     if (unsigned message = ReadScalaScaleFile(path, &scale))
//         ShowMessage(this, msgbox::Ok, false, message);     // 153 or 154
//     else if (scale.pitches.size() <= 12)
//         keys = MapScalaScale(scale.pitches);

#include <QByteArrayView>
#include <QString>

#include <array>
#include <cstdint>
#include <vector>

/// String-table ids of the Scala messages.
inline constexpr unsigned kScalaOpenFailed = 153;  ///< "Failed to open Scala File"
inline constexpr unsigned kScalaReadFailed = 154;  ///< "Could not read Scala scale file"
inline constexpr unsigned kScalaTooManyNotes = 155; ///< "... more than 12 notes in an Octave"

/// The most notes per octave a scale may have to be mapped onto the keys.
inline constexpr int kScalaMaxNotes = 12;
/// Pitches from 0 up to (not including) this many cents are taken: beyond it
/// no MIDI key could sound the note.
inline constexpr double kScalaMaxCents = 12800.0;

struct ScalaScale {
    QString description;        ///< trimmed; never empty in a scale read successfully
    int count = 0;              ///< the number of notes the file states
    std::vector<double> pitches; ///< in cents, in file order
};

/// Reads the text of a .scl file. False when it is no usable scale: no
/// description, a stated count of 0 or one that disagrees with the pitches
/// listed, or a pitch that is not a number, below 0 cents, a ratio of 0 or
/// with denominator 0, or too large for any key. out is then unchanged.
bool ParseScalaScale(QByteArrayView text, ScalaScale* out);

/// Reads a .scl file: 0 when read, else the string-table id of the message
/// to show (kScalaOpenFailed, kScalaReadFailed). out is changed only on success.
unsigned ReadScalaScaleFile(const QString& path, ScalaScale* out);

/// For each scale size n (1 to 12), the scale degree each key of the octave
/// (C, C#, D, Eb, E, F, F#, G, Ab, A, Bb, B) sounds: 0 is the scale's first
/// note (1/1), d the d-th pitch listed. Row 0 is unused.
extern const int ScalaDegreeTable[kScalaMaxNotes + 1][12];

/// One key of a MIDI Tuning Standard table: the note it sounds and the fine
/// offset above it in 1/16384 of a semitone, as two 7-bit bytes.
struct TuningKeyBytes {
    int semitone = 0;
    int upper = 0;
    int lower = 0;
    bool operator==(const TuningKeyBytes&) const = default;
};

/// The bytes of MIDI key `key` (0..127) sounding `cents` above the C of its
/// octave; every byte within 0..127, and never 7F 7F 7F (which means "no change").
TuningKeyBytes ScalaKeyBytes(double cents, int key);

/// The 128 keys of a scale of 1 to 12 pitches (as read): each key of every
/// octave sounds the degree the table gives it. Fewer or more pitches give
/// equal temperament.
std::array<TuningKeyBytes, 128> MapScalaScale(const std::vector<double>& pitches);
