#include "module/NameLists.h"
#include "module/ValueFormats.h"

#include <gtest/gtest.h>

#include <climits>

namespace {

struct FormatCase {
    const char* name;
    ValueFormat format;
    int value;
    QString expected;
};

void registerListsOnce()
{
    static const bool registered = [] {
        SetFunctionNameStore({});
        RegisterAllNameLists();
        return true;
    }();
    (void)registered;
}

void checkCases(std::initializer_list<FormatCase> cases)
{
    registerListsOnce();
    for (const FormatCase& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(FormatValue(c.format, c.value), c.expected);
    }
}

TEST(ValueFormats, TableHasOneFormatterPerFormatInOrder)
{
    const auto table = GetValueFormatTable();
    ASSERT_EQ(table.size(), std::size_t(79));
    for (std::size_t i = 0; i < table.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_EQ(table[i].format, ValueFormat(i));
        EXPECT_EQ(GetValueFormatter(ValueFormat(i)), table[i].formatter);
    }
    for (const NameListDefinition& list : GetNameListDefinitions())
        EXPECT_EQ(list.valueFormat, vf::FirstNameList + list.number - 1);
}

TEST(ValueFormats, DocumentedExamples)
{
    checkCases({
        // Pan, plain and centred on 64.
        {"pan centre", vf::Pan, 0, "C"},
        {"pan left", vf::Pan, -20, "20 L"},
        {"pan right", vf::Pan, 5, "5 R"},
        {"pan64 centre", vf::PanCentre64, 64, "C"},
        {"pan64 left", vf::PanCentre64, 0, "64 L"},
        // Notes: octave is value / 12 - 2.
        {"note middle C", vf::NoteName, 60, "C3"},
        {"note lowest", vf::NoteName, 0, "C-2"},
        {"note letter", vf::NoteLetter, 61, "C#"},
        // Key offsets: letter by pitch class, quotient truncated toward zero.
        {"key offset -1", vf::KeyOffset, -1, "B 0"},
        {"key offset 12", vf::KeyOffset, 12, "C 1"},
        {"key offset -13", vf::KeyOffset, -13, "B -1"},
        // Rate tables at both ends.
        {"glide 0", vf::GlideRate, 0, " 0.000 sec/oct"},
        {"glide 127", vf::GlideRate, 127, "32.738 sec/oct"},
        {"lfo 0", vf::LfoRate, 0, " 0.08 Hz"},
        {"lfo 127", vf::LfoRate, 127, "18.14 Hz"},
        // Fine tune: sign, then the table text of the magnitude.
        {"fine tune -32", vf::FineTune, -32, "-50.0 cents"},
        {"fine tune 0", vf::FineTune, 0, "+ 0.0 cents"},
        {"fine tune beyond table", vf::FineTune, 70, "+ 0.0 cents"},
        // Channels with port letters.
        {"channel port 0", vf::MidiChannelPort, 0, "1A"},
        {"channel port 15", vf::MidiChannelPort, 15, "16A"},
        {"channel port 16", vf::MidiChannelPort, 16, "1B"},
        {"channel port 31", vf::MidiChannelPort, 31, "16B"},
        {"channel port master", vf::MidiChannelPortOrMaster, -1, "Master"},
        // Beat triggers.
        {"beat part 1", vf::BeatTrigger, 0, "Part 1"},
        {"beat group 1", vf::BeatTrigger, 16, "Group 1"},
        {"beat group 4", vf::BeatTrigger, 19, "Group 4"},
        {"beat hold", vf::BeatTrigger, 23, "Hold"},
        // Tuning cents in floating point.
        {"tuning half", vf::TuningCents, 8192, "50.0000 cents"},
        {"tuning minus one", vf::TuningCents, -16384, "-100.0000 cents"},
        // Name lists.
        {"module not listed", vf::ModuleName, 1, ""},
        {"step offset rest", vf::MasterArpStepKeyOffset, -50, "Rest"},
        // Outside 0 ... 78: plain decimal.
        {"format -1", -1, 42, "42"},
        {"format 79", 79, -7, "-7"},
    });
}

TEST(ValueFormats, EveryFormatsText)
{
    // One row per format that the examples above leave out, so a mistyped
    // text or a format wired to the wrong formatter shows.
    checkCases({
        {"number", vf::Number, -5, "-5"},
        {"number plus one", vf::NumberPlusOne, 0, "1"},
        {"decibels", vf::Decibels, -6, "-6 dB"},
        {"milliseconds", vf::Milliseconds, 250, "250 ms"},
        {"percent with blank", vf::Percent, 50, "50 %"},
        {"clock tempo midi", vf::ClockTempo, 0, "Midi"},
        {"clock tempo", vf::ClockTempo, 120, "120 bpm"},
        {"fine tune +63", vf::FineTune, 63, "+98.7 cents"},
        {"fine tune -9", vf::FineTune, -9, "-14.2 cents"},
        {"current", vf::NumberOrCurrent, 0, "Current"},
        {"current other", vf::NumberOrCurrent, 3, "3"},
        {"off", vf::NumberOrOff, 0, "Off"},
        {"off other", vf::NumberOrOff, 7, "7"},
        {"glide 48", vf::GlideRate, 48, " 0.208 sec/oct"},
        {"lfo 24", vf::LfoRate, 24, " 1.04 Hz"},
        {"plain number", vf::PlainNumber, 300, "300"},
        {"controller off", vf::ControllerNumber, -3, "Off"},
        {"controller pressure", vf::ControllerNumber, -2, "Mpr"},
        {"controller wheel", vf::ControllerNumber, -1, "PWh"},
        {"controller number", vf::ControllerNumber, 7, "7"},
        {"channel", vf::MidiChannel, 0, "1"},
        {"channel wraps at 16", vf::MidiChannel, 17, "2"},
        {"channel master", vf::MidiChannelOrMaster, -1, "Master"},
        {"channel not master", vf::MidiChannelOrMaster, 15, "16"},
        {"channel port not master", vf::MidiChannelPortOrMaster, 20, "5B"},
        {"five ms", vf::FiveMilliseconds, 3, " 15 ms"},
        {"five ms wide", vf::FiveMilliseconds, 400, "2000 ms"},
        {"five ms negative", vf::FiveMilliseconds, -1, "-1"},
        {"semitones", vf::SemitoneRange, 12, "+/-12 semis"},
        {"semitones master", vf::SemitoneRangeOrMaster, -1, "Master"},
        {"semitones not master", vf::SemitoneRangeOrMaster, 2, "+/-2 semis"},
        {"played", vf::VelocityOrPlayed, 0, "Played"},
        {"velocity", vf::VelocityOrPlayed, 100, "100"},
        {"step end", vf::ArpStepKey, -52, "End"},
        {"step skip", vf::ArpStepKey, -51, "Skip"},
        {"step rest", vf::ArpStepKey, -50, "Rest"},
        {"step tie", vf::ArpStepKey, -49, "Tie"},
        {"step key offset", vf::ArpStepKey, -48, "C -4"},
        {"beat part 16", vf::BeatTrigger, 15, "Part 16"},
        {"beat start stop", vf::BeatTrigger, 20, "Start/Stop"},
        {"beat clear", vf::BeatTrigger, 21, "Clear"},
        {"beat mute", vf::BeatTrigger, 22, "Mute"},
        {"beat hold above", vf::BeatTrigger, 100, "Hold"},
        {"as trigger", vf::PercentOrAsTrigger, -1, "As Trigger"},
        {"percent no blank", vf::PercentOrAsTrigger, 80, "80%"},
        {"basic", vf::MidiChannelOrBasic, -1, "Basic"},
        {"basic channel", vf::MidiChannelOrBasic, 9, "10"},
        {"basic port", vf::MidiChannelPortOrBasic, -1, "Basic"},
        {"basic port channel", vf::MidiChannelPortOrBasic, 16, "1B"},
        {"key offset none", vf::KeyOffsetOrNone, 0, "None"},
        {"key offset not none", vf::KeyOffsetOrNone, 7, "G 0"},
        {"tempo", vf::Tempo, 0, "0 bpm"},
        {"empty", vf::Empty, 12, ""},
        {"tuning zero", vf::TuningCents, 0, "0.0000 cents"},
        {"tuning one step", vf::TuningCents, 1, "0.0061 cents"},
        // Name lists: first, last and a shared-tag pair.
        {"module name", vf::ModuleName, 3, "Proteus 2000"},
        {"recycle", vf::PresetArpRecycle, 1, "On"},
        {"sync", vf::PresetArpSync, 0, "Key Sync"},
        {"lfo rate name", vf::LayerLfoRate, -1, "32th"},
    });
}

TEST(ValueFormats, ValuesOutsideTablesGiveDefinedTexts)
{
    checkCases({
        // A note outside 0 ... 127 shows as its number, not as a letter read
        // from before or after the letter table.
        {"note -1", vf::NoteName, -1, "-1"},
        {"note 128", vf::NoteName, 128, "128"},
        {"note letter -13", vf::NoteLetter, -13, "-13"},
        {"note int min", vf::NoteName, INT_MIN, "-2147483648"},
        // Rate tables have 128 rows.
        {"glide -1", vf::GlideRate, -1, ""},
        {"glide 128", vf::GlideRate, 128, ""},
        {"lfo -1", vf::LfoRate, -1, ""},
        {"lfo 128", vf::LfoRate, 128, ""},
        {"fine tune -64", vf::FineTune, -64, "- 0.0 cents"},
        {"fine tune int min", vf::FineTune, INT_MIN, "- 0.0 cents"},
        // Name lists: values without a row.
        {"filter gap", vf::FilterName, 3, ""},
        {"recycle beyond", vf::PresetArpRecycle, 3, ""},
        {"layer below", vf::LayerName, -2, ""},
        // Arithmetic near the int limits gives the true number.
        {"plus one at max", vf::NumberPlusOne, INT_MAX, "2147483648"},
        {"pan at min", vf::Pan, INT_MIN, "2147483648 L"},
        {"pan64 at min", vf::PanCentre64, INT_MIN, "2147483712 L"},
        {"five ms at max", vf::FiveMilliseconds, INT_MAX, "10737418235 ms"},
        {"key offset at min", vf::KeyOffset, INT_MIN, "Ab -178956970"},
        {"key offset at max", vf::KeyOffset, INT_MAX, "G 178956970"},
        {"beat part at min", vf::BeatTrigger, INT_MIN, "Part -2147483647"},
    });

    // Every format over extreme values: each gives some text without reading
    // outside a table (the sanitizer build turns such a read into a failure).
    registerListsOnce();
    const int extremes[] = {INT_MIN, INT_MIN + 1, -1000, -145, -144, -53, -1, 0, 63, 64, 127, 128, 1000, INT_MAX};
    for (ValueFormat format = -1; format <= vf::Count; ++format)
        for (int value : extremes)
            (void)FormatValue(format, value);
}

TEST(ValueFormats, NoteNamesWithAndWithoutOctave)
{
    struct Row {
        int note;
        bool withOctave;
        const char* expected;
    };
    const Row rows[] = {
        {60, true, "C3"}, {0, true, "C-2"}, {61, false, "C#"}, {127, true, "G8"},
        {70, false, "Bb"}, {23, true, "B-1"}, {24, true, "C0"}, {128, false, "128"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.expected);
        EXPECT_EQ(row.withOctave ? FormatNoteName(row.note) : FormatNoteLetter(row.note),
                  QString::fromLatin1(row.expected));
    }
}

} // namespace
