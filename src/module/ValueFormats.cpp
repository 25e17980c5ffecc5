#include "module/ValueFormats.h"

#include "core/Format.h"
#include "module/NameLists.h"
#include "module/ValueTables.h"

#include <array>
#include <cstdint>
#include <cstdlib>
#include <utility>

// Arithmetic on a value (value + 1, value - 64, value x 5, the magnitude) is
// done in 64 bits: the module never sends values near the int limits, but a
// formatter must still give the true number for any int rather than wrap it
// into a different one.

namespace {

const char16_t* const noteLetters[12] = {u"C", u"C#", u"D", u"Eb", u"E", u"F", u"F#", u"G", u"Ab", u"A", u"Bb", u"B"};

constexpr int rateTableSize = 128;

QString number(std::int64_t v)
{
    return QString::number(v);
}

QString panText(std::int64_t v)
{
    if (v == 0)
        return QStringLiteral("C");
    return Format(u"%lld %s", v < 0 ? -v : v, v < 0 ? u"L" : u"R");
}

QString channelText(int value)
{
    // The remainder truncates toward zero, as the module's own display does:
    // -1 shows as "0" rather than wrapping to "16".
    return number(value % 16 + 1);
}

QString channelPortText(int value)
{
    return Format(u"%d%c", value % 16 + 1, value < 16 ? u'A' : u'B');
}

// The note-name rule of the MIDI layer's NoteName, kept here so the value
// formats need no MIDI library; unlike it, a value outside the MIDI range
// shows as its number.
QString noteName(int note, bool withOctave)
{
    if (note < 0 || note > 127)
        return number(note);
    const QString letter = QString::fromUtf16(noteLetters[note % 12]);
    if (!withOctave)
        return letter;
    return letter + number(note / 12 - 2);
}

// Format 35 + Index shows list Index + 1.
template <int Index>
QString formatNameList(int value)
{
    return LookUpName(valuetables::nameListDefinitions[Index].list(), value);
}

template <std::size_t... I>
constexpr std::array<ValueFormatTableRow, sizeof...(I)> nameListRows(std::index_sequence<I...>)
{
    return {{{ValueFormat(vf::FirstNameList + I), &formatNameList<int(I)>}...}};
}

constexpr std::array<ValueFormatTableRow, vf::FirstNameList> numericRows{{
    {vf::Number, &FormatNumber},
    {vf::NumberPlusOne, &FormatNumberPlusOne},
    {vf::Decibels, &FormatDecibels},
    {vf::Pan, &FormatPan},
    {vf::PanCentre64, &FormatPanCentre64},
    {vf::Milliseconds, &FormatMilliseconds},
    {vf::Percent, &FormatPercent},
    {vf::NoteName, &FormatNoteName},
    {vf::NoteLetter, &FormatNoteLetter},
    {vf::KeyOffset, &FormatKeyOffset},
    {vf::GlideRate, &FormatGlideRate},
    {vf::ClockTempo, &FormatClockTempo},
    {vf::FineTune, &FormatFineTune},
    {vf::NumberOrCurrent, &FormatNumberOrCurrent},
    {vf::NumberOrOff, &FormatNumberOrOff},
    {vf::LfoRate, &FormatLfoRate},
    {vf::PlainNumber, &FormatPlainNumber},
    {vf::ControllerNumber, &FormatControllerNumber},
    {vf::MidiChannel, &FormatMidiChannel},
    {vf::MidiChannelPort, &FormatMidiChannelPort},
    {vf::MidiChannelOrMaster, &FormatMidiChannelOrMaster},
    {vf::MidiChannelPortOrMaster, &FormatMidiChannelPortOrMaster},
    {vf::FiveMilliseconds, &FormatFiveMilliseconds},
    {vf::SemitoneRange, &FormatSemitoneRange},
    {vf::SemitoneRangeOrMaster, &FormatSemitoneRangeOrMaster},
    {vf::VelocityOrPlayed, &FormatVelocityOrPlayed},
    {vf::ArpStepKey, &FormatArpStepKey},
    {vf::BeatTrigger, &FormatBeatTrigger},
    {vf::PercentOrAsTrigger, &FormatPercentOrAsTrigger},
    {vf::MidiChannelOrBasic, &FormatMidiChannelOrBasic},
    {vf::MidiChannelPortOrBasic, &FormatMidiChannelPortOrBasic},
    {vf::KeyOffsetOrNone, &FormatKeyOffsetOrNone},
    {vf::Tempo, &FormatTempo},
    {vf::Empty, &FormatEmpty},
    {vf::TuningCents, &FormatTuningCents},
}};

constexpr auto listRows = nameListRows(std::make_index_sequence<NameListCount>());

constexpr std::array<ValueFormatTableRow, vf::Count> buildTable()
{
    std::array<ValueFormatTableRow, vf::Count> table{};
    std::size_t i = 0;
    for (const auto& row : numericRows)
        table[i++] = row;
    for (const auto& row : listRows)
        table[i++] = row;
    return table;
}

constexpr std::array<ValueFormatTableRow, vf::Count> valueFormatTable = buildTable();

constexpr bool tableIsInFormatOrder()
{
    for (std::size_t i = 0; i < valueFormatTable.size(); ++i)
        if (valueFormatTable[i].format != ValueFormat(i))
            return false;
    return true;
}
static_assert(tableIsInFormatOrder(), "row i of the format table must be format i");

} // namespace

std::span<const ValueFormatTableRow> GetValueFormatTable()
{
    return valueFormatTable;
}

ValueFormatter GetValueFormatter(ValueFormat format)
{
    if (format < 0 || format > vf::Last)
        return &FormatNumber;
    return valueFormatTable[std::size_t(format)].formatter;
}

QString FormatValue(ValueFormat format, int value)
{
    return GetValueFormatter(format)(value);
}

QString FormatNumber(int value) { return number(value); }
QString FormatNumberPlusOne(int value) { return number(std::int64_t(value) + 1); }
QString FormatDecibels(int value) { return Format(u"%d dB", value); }
QString FormatPan(int value) { return panText(value); }
QString FormatPanCentre64(int value) { return panText(std::int64_t(value) - 64); }
QString FormatMilliseconds(int value) { return Format(u"%d ms", value); }
QString FormatPercent(int value) { return Format(u"%d %%", value); }
QString FormatNoteName(int value) { return noteName(value, true); }
QString FormatNoteLetter(int value) { return noteName(value, false); }

QString FormatKeyOffset(int value)
{
    // The letter follows the pitch class, also below zero (-1 is a B); the
    // number is the quotient truncated toward zero, so -1 ... -11 read "... 0".
    const std::int64_t v = value;
    const auto index = std::size_t(std::llabs((v + 144) % 12));
    return Format(u"%s %lld", noteLetters[index], v / 12);
}

QString FormatGlideRate(int value)
{
    if (value < 0 || value >= rateTableSize)
        return QString();
    const int t = (valuetables::glideWhole[value] * 1000 + valuetables::glideHundredths[value] * 10) / 5;
    return Format(u"%2d.%03d sec/oct", t / 1000, t % 1000);
}

QString FormatClockTempo(int value)
{
    return value == 0 ? QStringLiteral("Midi") : Format(u"%d bpm", value);
}

QString FormatFineTune(int value)
{
    const std::int64_t magnitude = value < 0 ? -std::int64_t(value) : value;
    const char16_t* text = magnitude < 64 ? valuetables::fineTuneTexts[magnitude] : valuetables::fineTuneTexts[0];
    return Format(u"%s%s cents", value < 0 ? u"-" : u"+", text);
}

QString FormatNumberOrCurrent(int value)
{
    return value == 0 ? QStringLiteral("Current") : number(value);
}

QString FormatNumberOrOff(int value)
{
    return value == 0 ? QStringLiteral("Off") : number(value);
}

QString FormatLfoRate(int value)
{
    if (value < 0 || value >= rateTableSize)
        return QString();
    return Format(u"%2d.%02d Hz", valuetables::lfoWhole[value], valuetables::lfoHundredths[value]);
}

QString FormatPlainNumber(int value) { return number(value); }

QString FormatControllerNumber(int value)
{
    switch (value) {
    case -3:
        return QStringLiteral("Off");
    case -2:
        return QStringLiteral("Mpr");
    case -1:
        return QStringLiteral("PWh");
    default:
        return number(value);
    }
}

QString FormatMidiChannel(int value) { return channelText(value); }
QString FormatMidiChannelPort(int value) { return channelPortText(value); }

QString FormatMidiChannelOrMaster(int value)
{
    return value == -1 ? QStringLiteral("Master") : channelText(value);
}

QString FormatMidiChannelPortOrMaster(int value)
{
    return value == -1 ? QStringLiteral("Master") : channelPortText(value);
}

QString FormatFiveMilliseconds(int value)
{
    if (value < 0)
        return FormatPlainNumber(value);
    return Format(u"%3lld ms", std::int64_t(value) * 5);
}

QString FormatSemitoneRange(int value) { return Format(u"+/-%d semis", value); }

QString FormatSemitoneRangeOrMaster(int value)
{
    return value == -1 ? QStringLiteral("Master") : FormatSemitoneRange(value);
}

QString FormatVelocityOrPlayed(int value)
{
    return value == 0 ? QStringLiteral("Played") : number(value);
}

QString FormatArpStepKey(int value)
{
    switch (value) {
    case -52:
        return QStringLiteral("End");
    case -51:
        return QStringLiteral("Skip");
    case -50:
        return QStringLiteral("Rest");
    case -49:
        return QStringLiteral("Tie");
    default:
        return FormatKeyOffset(value);
    }
}

QString FormatBeatTrigger(int value)
{
    if (value <= 15)
        return Format(u"Part %lld", std::int64_t(value) + 1);
    if (value <= 19)
        return Format(u"Group %d", value - 15);
    switch (value) {
    case 20:
        return QStringLiteral("Start/Stop");
    case 21:
        return QStringLiteral("Clear");
    case 22:
        return QStringLiteral("Mute");
    default:
        return QStringLiteral("Hold");
    }
}

QString FormatPercentOrAsTrigger(int value)
{
    return value == -1 ? QStringLiteral("As Trigger") : Format(u"%d%%", value);
}

QString FormatMidiChannelOrBasic(int value)
{
    return value == -1 ? QStringLiteral("Basic") : channelText(value);
}

QString FormatMidiChannelPortOrBasic(int value)
{
    return value == -1 ? QStringLiteral("Basic") : channelPortText(value);
}

QString FormatKeyOffsetOrNone(int value)
{
    return value == 0 ? QStringLiteral("None") : FormatKeyOffset(value);
}

QString FormatTempo(int value) { return Format(u"%d bpm", value); }

QString FormatEmpty(int) { return QString(); }

QString FormatTuningCents(int value)
{
    // QString::number always writes a '.', whatever the C locale says.
    return QString::number(double(value) * 100.0 / 16384.0, 'f', 4) + QStringLiteral(" cents");
}
