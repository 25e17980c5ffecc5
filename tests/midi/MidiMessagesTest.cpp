#include "midi/MidiMessages.h"

#include <gtest/gtest.h>

#include <optional>

namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(MidiMessages, TrafficLineOfEveryKindOfShortMessage)
{
    struct Row {
        const char* name;
        std::uint32_t packed;
        bool devicePort;
        QString line;
    };
    const Row rows[] = {
        {"note on, alternate port, channel 9", 0x643C99, false, "MIDI_NOTE_ON Port:B chan:9 Key:60 Vel:100"},
        {"note off, device port", 0x403C80, true, "MIDI_NOTE_OFF Port:A chan:0 Key:60 Vel:64"},
        {"aftertouch", 0x2010A3, true, "MIDI_AFTERTOUCH Port:A chan:3 Key:16 Vel:32"},
        {"control change", 0x7F07B1, true, "MIDI_CONTROLCHANGE Port:A chan:1 Ctrl:7 Val:127"},
        {"program change", 0x05CF, true, "MIDI_PROGRAMCHANGE Port:A chan:15 Prog:5"},
        {"channel pressure", 0x50D2, true, "MIDI_CHANNELPRESSURE Port:A chan:2 Press:80"},
        {"pitch wheel centre is 8192", 0x4000E0, true, "MIDI_PITCHWHEEL Port:A chan:0 8192"},
        {"song position", 0x0102F2, true, "MIDI_SONG_POSITION Port:A 130"},
        {"tune select", 0x07F3, true, "MIDI_TUNE_SELECT Port:A 7"},
        {"sysex start", 0xF0, true, "MIDI_SYSEX_START Port:A"},
        {"undefined F1", 0xF1, true, "MIDI_UNDEF1 Port:A"},
        {"sysex end", 0xF7, false, "MIDI_SYSEX_END Port:B"},
        {"clock", 0xF8, true, "MIDI_CLOCK Port:A"},
        {"undefined FD", 0xFD, true, "MIDI_UNDEF5 Port:A"},
        {"active sensing", 0xFE, true, "MIDI_ACTIVE_SENSING Port:A"},
        {"system reset", 0xFF, true, "MIDI_RESET Port:A"},
        {"data byte has no line", 0x7F, true, ""},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(DecodeShortMessage(r.packed, r.devicePort), r.line);
    }
}

TEST(MidiMessages, NoteNames)
{
    struct Row {
        int note;
        bool withOctave;
        QString name;
    };
    const Row rows[] = {
        {60, true, "C3"}, {0, true, "C-2"}, {61, false, "C#"}, {127, true, "G8"},
        {70, true, "Bb3"}, {68, false, "Ab"},
        // Outside the MIDI range the name still comes from the table.
        {-1, true, "B-3"}, {-12, false, "C"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.note);
        EXPECT_EQ(NoteName(r.note, r.withOctave), r.name);
    }
}

TEST(MidiMessages, ThruRechannelsChannelVoiceOnly)
{
    struct Row {
        const char* name;
        std::uint32_t in;
        int channel;
        std::optional<std::uint32_t> out;
    };
    const Row rows[] = {
        {"note on to the first channel", 0x643C92, 0, 0x643C90},
        {"channel above 15 keeps its low nibble", 0x643C92, 19, 0x643C93},
        {"control change keeps its data", 0x7F07B0, 5, 0x7F07B5},
        {"pitch wheel", 0x4000EF, 1, 0x4000E1},
        {"clock unchanged", 0xF8, 7, 0xF8},
        {"active sensing unchanged", 0xFE, 7, 0xFE},
        {"song position unchanged", 0x0102F2, 7, 0x0102F2},
        {"reset unchanged", 0xFF, 7, 0xFF},
        {"sysex start dropped", 0xF0, 0, std::nullopt},
        {"time code dropped", 0x05F1, 0, std::nullopt},
        {"undefined F4 dropped", 0xF4, 0, std::nullopt},
        {"undefined F5 dropped", 0xF5, 0, std::nullopt},
        {"sysex end dropped", 0xF7, 0, std::nullopt},
        {"undefined F9 dropped", 0xF9, 0, std::nullopt},
        {"undefined FD dropped", 0xFD, 0, std::nullopt},
        {"data byte dropped", 0x3C, 0, std::nullopt},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(MidiThruMessage(r.in, r.channel), r.out);
    }
}

TEST(MidiMessages, StreamSplitsIntoMessages)
{
    struct Row {
        const char* name;
        Bytes in;
        std::vector<Bytes> out;
    };
    const Row rows[] = {
        {"sysex, short message, sysex back to back",
         {0xF0, 1, 2, 0xF7, 0x90, 60, 100, 0xF0, 3, 0xF7},
         {{0xF0, 1, 2, 0xF7}, {0x90, 60, 100}, {0xF0, 3, 0xF7}}},
        {"real-time byte inside a sysex comes out first",
         {0xF0, 1, 0xF8, 2, 0xF7},
         {{0xF8}, {0xF0, 1, 2, 0xF7}}},
        {"sysex cut short by a status byte",
         {0xF0, 1, 2, 0xC0, 5},
         {{0xF0, 1, 2}, {0xC0, 5}}},
        {"sysex without its end runs to the end", {0xF0, 1, 2}, {{0xF0, 1, 2}}},
        {"short message cut short", {0x90, 60, 0xB0, 7, 100}, {{0x90, 60}, {0xB0, 7, 100}}},
        {"data bytes without a status stay together", {1, 2, 3, 0xF6}, {{1, 2, 3}, {0xF6}}},
        {"an end without a start stands alone", {0xF7, 0xFE}, {{0xF7}, {0xFE}}},
        {"two-byte system messages", {0xF1, 5, 0xF3, 2}, {{0xF1, 5}, {0xF3, 2}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        EXPECT_EQ(SplitMidiStream(r.in), r.out);
    }
}

TEST(MidiMessages, PackingFollowsTheStatusLength)
{
    EXPECT_EQ(PackShortMessage(Bytes{0x90, 60, 100}), 0x643C90u);
    EXPECT_EQ(UnpackShortMessage(0x643C90), (Bytes{0x90, 60, 100}));
    EXPECT_EQ(UnpackShortMessage(0xFF05C3), (Bytes{0xC3, 0x05})); // program change: two bytes only
    EXPECT_EQ(UnpackShortMessage(0x0000F8), (Bytes{0xF8}));
    EXPECT_TRUE(UnpackShortMessage(0x643C).empty());  // no status byte
    EXPECT_TRUE(UnpackShortMessage(0xF0).empty());    // not a short message
}

} // namespace
