#include "midi/MidiMessages.h"

#include "core/Format.h"

int ShortMessageLength(std::uint8_t status)
{
    if (status < 0x80)
        return 0;
    if (status < 0xC0)
        return 3;
    if (status < 0xE0)
        return 2;
    if (status < 0xF0)
        return 3;
    switch (status) {
    case 0xF0:
    case 0xF7:
        return 0;
    case 0xF1:
    case 0xF3:
        return 2;
    case 0xF2:
        return 3;
    default:
        return 1;
    }
}

std::uint32_t PackShortMessage(std::span<const std::uint8_t> bytes)
{
    std::uint32_t packed = 0;
    for (std::size_t i = 0; i < bytes.size() && i < 3; ++i)
        packed |= std::uint32_t(bytes[i]) << (8 * i);
    return packed;
}

std::vector<std::uint8_t> UnpackShortMessage(std::uint32_t packed)
{
    const auto status = static_cast<std::uint8_t>(packed & 0xFF);
    const int length = ShortMessageLength(status);
    std::vector<std::uint8_t> bytes;
    for (int i = 0; i < length; ++i)
        bytes.push_back(static_cast<std::uint8_t>((packed >> (8 * i)) & 0xFF));
    return bytes;
}

std::vector<std::vector<std::uint8_t>> SplitMidiStream(std::span<const std::uint8_t> bytes)
{
    std::vector<std::vector<std::uint8_t>> out;
    std::vector<std::uint8_t> current;
    bool inSysEx = false;
    int expected = 0; // length of the short message being collected
    auto flush = [&] {
        if (!current.empty())
            out.push_back(std::move(current));
        current.clear();
        inSysEx = false;
        expected = 0;
    };

    for (const std::uint8_t b : bytes) {
        if (IsRealTime(b)) {
            out.push_back({b});
            continue;
        }
        if (b == 0xF0) {
            flush();
            current.push_back(b);
            inSysEx = true;
            continue;
        }
        if (inSysEx) {
            if (b < 0x80 || b == 0xF7) {
                current.push_back(b);
                if (b == 0xF7)
                    flush();
                continue;
            }
            flush(); // a status byte cuts the SysEx short
        }
        if (b >= 0x80) {
            flush();
            current.push_back(b);
            expected = ShortMessageLength(b);
            if (expected <= 1)
                flush();
            continue;
        }
        // A data byte: part of the short message being collected, or stray.
        if (expected > 0) {
            current.push_back(b);
            if (int(current.size()) == expected)
                flush();
            continue;
        }
        if (!current.empty() && current.front() >= 0x80)
            flush();
        current.push_back(b);
    }
    flush();
    return out;
}

QString DecodeShortMessage(std::uint32_t packed, bool devicePort)
{
    const unsigned status = packed & 0xFF;
    const unsigned d1 = (packed >> 8) & 0xFF;
    const unsigned d2 = (packed >> 16) & 0xFF;
    const QString port = devicePort ? QStringLiteral("A") : QStringLiteral("B");
    const int channel = int(status & 0x0F);
    const int value14 = int(d1 + (d2 << 7));

    if (status < 0x80)
        return {};
    switch (status & 0xF0) {
    case 0x80:
        return Format(u"MIDI_NOTE_OFF Port:%s chan:%d Key:%d Vel:%d", port, channel, d1, d2);
    case 0x90:
        return Format(u"MIDI_NOTE_ON Port:%s chan:%d Key:%d Vel:%d", port, channel, d1, d2);
    case 0xA0:
        return Format(u"MIDI_AFTERTOUCH Port:%s chan:%d Key:%d Vel:%d", port, channel, d1, d2);
    case 0xB0:
        return Format(u"MIDI_CONTROLCHANGE Port:%s chan:%d Ctrl:%d Val:%d", port, channel, d1, d2);
    case 0xC0:
        return Format(u"MIDI_PROGRAMCHANGE Port:%s chan:%d Prog:%d", port, channel, d1);
    case 0xD0:
        return Format(u"MIDI_CHANNELPRESSURE Port:%s chan:%d Press:%d", port, channel, d1);
    case 0xE0:
        return Format(u"MIDI_PITCHWHEEL Port:%s chan:%d %d", port, channel, value14);
    default:
        break;
    }
    switch (status) {
    case 0xF0:
        return Format(u"MIDI_SYSEX_START Port:%s", port);
    case 0xF1:
        return Format(u"MIDI_UNDEF1 Port:%s", port);
    case 0xF2:
        return Format(u"MIDI_SONG_POSITION Port:%s %d", port, value14);
    case 0xF3:
        return Format(u"MIDI_TUNE_SELECT Port:%s %d", port, d1);
    case 0xF4:
        return Format(u"MIDI_UNDEF2 Port:%s", port);
    case 0xF5:
        return Format(u"MIDI_UNDEF3 Port:%s", port);
    case 0xF6:
        return Format(u"MIDI_TUNE_REQUEST Port:%s", port);
    case 0xF7:
        return Format(u"MIDI_SYSEX_END Port:%s", port);
    case 0xF8:
        return Format(u"MIDI_CLOCK Port:%s", port);
    case 0xF9:
        return Format(u"MIDI_UNDEF4 Port:%s", port);
    case 0xFA:
        return Format(u"MIDI_START Port:%s", port);
    case 0xFB:
        return Format(u"MIDI_CONTINUE Port:%s", port);
    case 0xFC:
        return Format(u"MIDI_STOP Port:%s", port);
    case 0xFD:
        return Format(u"MIDI_UNDEF5 Port:%s", port);
    case 0xFE:
        return Format(u"MIDI_ACTIVE_SENSING Port:%s", port);
    default:
        return Format(u"MIDI_RESET Port:%s", port);
    }
}

QString NoteName(int note, bool withOctave)
{
    static const char16_t* const kNames[12] = {u"C", u"C#", u"D", u"Eb", u"E", u"F",
                                               u"F#", u"G", u"Ab", u"A", u"Bb", u"B"};
    // Floor division keeps a negative note inside the table instead of
    // indexing before it.
    int octave = note / 12;
    int index = note % 12;
    if (index < 0) {
        index += 12;
        --octave;
    }
    if (withOctave)
        return Format(u"%s%d", kNames[index], octave - 2);
    return Format(u"%s", kNames[index]);
}

std::optional<std::uint32_t> MidiThruMessage(std::uint32_t packed, int channel)
{
    const unsigned status = packed & 0xFF;
    if (status < 0x80)
        return std::nullopt;
    if (status < 0xF0)
        return (packed & ~0x0Fu) | (unsigned(channel) & 0x0Fu);
    switch (status) {
    case 0xF0:
    case 0xF1:
    case 0xF4:
    case 0xF5:
    case 0xF7:
    case 0xF9:
    case 0xFD:
        return std::nullopt;
    default:
        return packed;
    }
}
