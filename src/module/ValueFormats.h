#pragma once
// Value formats: how a control shows a parameter's value as text. A format is
// an int 0 ... 78 that a control carries beside its record; 0 ... 34 are
// numeric and special-text formatters, 35 ... 78 show the value's name from
// one of the 44 value-name lists (format 35 + i shows list i + 1). Every
// formatter is total: any int gives a defined text, never a read outside a
// table (a value missing from a list gives the empty string).

#include <QString>

#include <span>

/// Chooses a value's text; see the constants in namespace vf.
using ValueFormat = int;

/// Turns a value into its display text; never fails.
using ValueFormatter = QString (*)(int value);

namespace vf {
enum : ValueFormat {
    Number = 0,                    // "%d"
    NumberPlusOne = 1,             // "%d" of value + 1
    Decibels = 2,                  // "%d dB"
    Pan = 3,                       // "C", "20 L", "5 R"
    PanCentre64 = 4,               // Pan of value - 64
    Milliseconds = 5,              // "%d ms"
    Percent = 6,                   // "%d %"
    NoteName = 7,                  // "C3" for 60
    NoteLetter = 8,                // "C" for 60
    KeyOffset = 9,                 // "B 0" for -1, "C 1" for 12
    GlideRate = 10,                // "32.738 sec/oct" for 127
    ClockTempo = 11,               // "Midi" for 0, else "%d bpm"
    FineTune = 12,                 // "-50.0 cents" for -32
    NumberOrCurrent = 13,          // "Current" for 0
    NumberOrOff = 14,              // "Off" for 0
    LfoRate = 15,                  // "18.14 Hz" for 127
    PlainNumber = 16,              // "%d"
    ControllerNumber = 17,         // "Off", "Mpr", "PWh" for -3 ... -1
    MidiChannel = 18,              // "1" ... "16"
    MidiChannelPort = 19,          // "1A" ... "16B"
    MidiChannelOrMaster = 20,      // "Master" for -1
    MidiChannelPortOrMaster = 21,  // "Master" for -1
    FiveMilliseconds = 22,         // "%3d ms" of value x 5
    SemitoneRange = 23,            // "+/-%d semis"
    SemitoneRangeOrMaster = 24,    // "Master" for -1
    VelocityOrPlayed = 25,         // "Played" for 0
    ArpStepKey = 26,               // "End", "Skip", "Rest", "Tie" for -52 ... -49
    BeatTrigger = 27,              // "Part 1" ... "Hold"
    PercentOrAsTrigger = 28,       // "As Trigger" for -1, else "%d%"
    MidiChannelOrBasic = 29,       // "Basic" for -1
    MidiChannelPortOrBasic = 30,   // "Basic" for -1
    KeyOffsetOrNone = 31,          // "None" for 0
    Tempo = 32,                    // "%d bpm"
    Empty = 33,                    // always ""
    TuningCents = 34,              // "50.0000 cents" for 8192

    // Name lists, in list order (format 35 + i shows list i + 1).
    ModuleName = 35,
    SimmName = 36,
    FilterName = 37,
    LayerName = 38,
    PresetFxaAlgorithm = 39,
    PresetFxbAlgorithm = 40,
    MasterFxaAlgorithm = 41,
    MasterFxbAlgorithm = 42,
    PresetCordSource = 43,
    PresetCordDestination = 44,
    LayerCordSource = 45,
    LayerCordDestination = 46,
    MultimodeArpName = 47,
    MixOutput = 48,
    MasterTransposeName = 49,
    MasterOutputFormat = 50,
    MasterMidiMode = 51,
    MasterVelocityCurve = 52,
    MasterArpPattern = 53,
    MasterArpSongStart = 54,
    MasterArpStepKeyOffset = 55,
    BeatMode = 56,
    BeatLatch = 57,
    BeatGroup = 58,
    LayerSubmix = 59,
    LayerSolo = 60,
    LayerGroup = 61,
    LayerLfoShape = 62,
    LayerLfoRate = 63,
    LayerEnvelopeMode = 64,
    LayerVolumeEnvelopeMode = 65,
    LayerLfoSync = 66,
    LayerGlideCurve = 67,
    PresetTempoOffset = 68,
    PresetTuningName = 69,
    PresetArpSync = 70,
    PresetArpMode = 71,
    PresetArpNote = 72,
    PresetArpSync2 = 73,
    PresetArpDuration = 74,
    ArpSpeed = 75,
    ArpXmitMidi = 76,
    PresetArpSongStarts = 77,
    PresetArpRecycle = 78,

    FirstNameList = ModuleName,
    Last = PresetArpRecycle,
    Count = 79,
};
} // namespace vf

/// One row of the constant format table.
struct ValueFormatTableRow {
    ValueFormat format;
    ValueFormatter formatter;
};

/// The 79 rows {format, formatter} for formats 0 ... 78, in order; the module
/// data model copies them into its format map.
std::span<const ValueFormatTableRow> GetValueFormatTable();

/// The formatter of `format`; FormatNumber for a format outside 0 ... 78.
ValueFormatter GetValueFormatter(ValueFormat format);

/// GetValueFormatter(format)(value).
QString FormatValue(ValueFormat format, int value);

// The numeric and special-text formatters (formats 0 ... 34). Where a value
// lies outside a table they index, see the note on each.
QString FormatNumber(int value);
QString FormatNumberPlusOne(int value);
QString FormatDecibels(int value);
QString FormatPan(int value);
QString FormatPanCentre64(int value);
QString FormatMilliseconds(int value);
QString FormatPercent(int value);
// Note names (formats 7 and 8): the letter of value mod 12 (C, C#, D, Eb, E,
// F, F#, G, Ab, A, Bb, B), for format 7 followed by the octave value / 12 - 2
// (60 -> "C3", 0 -> "C-2"). A value outside 0 ... 127 is no note and shows
// as its number in decimal.
QString FormatNoteName(int value);
QString FormatNoteLetter(int value);
QString FormatKeyOffset(int value);
QString FormatGlideRate(int value);  // values 0 ... 127; any other: the empty string
QString FormatClockTempo(int value);
QString FormatFineTune(int value);   // magnitudes outside 0 ... 63 show entry 0
QString FormatNumberOrCurrent(int value);
QString FormatNumberOrOff(int value);
QString FormatLfoRate(int value);    // values 0 ... 127; any other: the empty string
QString FormatPlainNumber(int value);
QString FormatControllerNumber(int value);
QString FormatMidiChannel(int value);
QString FormatMidiChannelPort(int value);
QString FormatMidiChannelOrMaster(int value);
QString FormatMidiChannelPortOrMaster(int value);
QString FormatFiveMilliseconds(int value);
QString FormatSemitoneRange(int value);
QString FormatSemitoneRangeOrMaster(int value);
QString FormatVelocityOrPlayed(int value);
QString FormatArpStepKey(int value);
QString FormatBeatTrigger(int value);
QString FormatPercentOrAsTrigger(int value);
QString FormatMidiChannelOrBasic(int value);
QString FormatMidiChannelPortOrBasic(int value);
QString FormatKeyOffsetOrNone(int value);
QString FormatTempo(int value);
QString FormatEmpty(int value);
QString FormatTuningCents(int value);
