#pragma once
// The values the device scan and the module commands of Proteus take and give
// (see the "Device scan and module commands" section of module/Proteus.h).

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

/// What tells one module from another on a shared MIDI port: its model, its
/// firmware revision and its ROM SIMMs. A scan yields one per module found;
/// Proteus::GetDeviceSignature gives the connected module's own.
struct ScannedDevice {
    int familyMember = 0;     ///< the model number of the identity reply
    QString revision;         ///< 4 characters
    std::vector<int> simmIds; ///< the ROM SIMM ids in the module's order, then 0 for the user bank

    /// Same model, same revision text, same SIMM ids in the same order.
    bool operator==(const ScannedDevice& other) const = default;
};

/// One change of a MIDI Tuning Standard single-note tuning message: the key
/// (0..127) sounds as the semitone (0..127) raised by fine / 16384 of a
/// semitone, fine = fineHigh * 128 + fineLow.
struct SingleNoteTuningChange {
    int key = 0;
    int semitone = 0;
    int fineHigh = 0;
    int fineLow = 0;
};

/// An arp pattern read through its parameters: the 12-character name (then a
/// terminating zero) and the 32 steps.
struct ArpPatternData {
    struct Step {
        int keyOffset = 0;
        int velocity = 0;
        int duration = 0;
        int repeat = 0;
    };
    static constexpr int kNameLength = 12;
    static constexpr int kSteps = 32;

    std::array<char16_t, kNameLength + 1> name{};
    std::array<Step, kSteps> steps{};
};

/// The copy-dialog label of a copy command 0x20 (CMD_COPY_PRESET) ..
/// 0x2A (CMD_COPY_LAYER_CORDS): "Preset" .. "Layer Cords"; empty for any
/// other value.
QString CopyCommandLabel(int command);

/// Whether command is one of the preset and layer copy commands (0x20-0x2A).
constexpr bool IsPresetCopyCommand(int command) { return command >= 0x20 && command <= 0x2A; }
/// Whether a preset copy command copies one layer (0x25-0x2A) and so names layers.
constexpr bool IsLayerCopyCommand(int command) { return command >= 0x25 && command <= 0x2A; }
