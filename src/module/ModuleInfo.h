#pragma once
// The plain-text report of the connected module and of the computer's MIDI
// devices that the backup writes into its marker file and the log window can
// show. It reads only what is known already; it sends nothing to the module.

#include <QString>

#include <cstdint>
#include <vector>

class ProteusData;
class MidiBackend;

/// What the report says about one MIDI output device. The fields are those a
/// Windows driver reports; a MIDI system that does not know one (ALSA, JACK)
/// leaves it 0, which reads "Unknown Technology" and an empty support text.
struct MidiOutputDeviceInfo {
    QString name;
    std::uint32_t manufacturer = 0;
    std::uint32_t product = 0;
    std::uint32_t driverVersion = 0; ///< high byte the major, low byte the minor version
    int technology = 0;              ///< 1 hardware port ... 7 software synthesizer
    int voices = 0;
    int notes = 0;
    std::uint32_t channelMask = 0;
    std::uint32_t support = 0;       ///< 0x1 volume, 0x2 left/right volume, 0x4 cache, 0x8 stream
};

struct MidiInputDeviceInfo {
    QString name;
    std::uint32_t manufacturer = 0;
    std::uint32_t product = 0;
    std::uint32_t driverVersion = 0;
    std::uint32_t support = 0;
};

/// The technology text of a MIDI output device ("Unknown Technology" outside 1 ... 7).
QString MidiTechnologyText(int technology);
/// "MIDICAPS_CACHE " (0x4), "MIDICAPS_LRVOLUME " (0x2), "MIDICAPS_STREAM " (0x8),
/// "MIDICAPS_VOLUME " (0x1), in that order, for the bits set; empty for none.
QString MidiSupportText(std::uint32_t support);

/// The devices the backend offers now: the port names; the MIDI systems under
/// it report nothing more, so every other field stays 0.
std::vector<MidiOutputDeviceInfo> MidiOutputDevices(MidiBackend& backend);
std::vector<MidiInputDeviceInfo> MidiInputDevices(MidiBackend& backend);

/// The whole report: module and revision, each SIMM slot with its object
/// counts (demos before setups, arps last), the program's version, the
/// settings dump, then one line per output and per input device.
QString FormatModuleInfo(const ProteusData& data, const QString& settingsDump,
                         const std::vector<MidiOutputDeviceInfo>& outputs,
                         const std::vector<MidiInputDeviceInfo>& inputs);
