#pragma once
// The pieces of a whole-preset dump the edit-buffer save builds itself
// (EditBufferSave::SaveEditBuffer, EditBufferSave::AltSaveEditBuffer): the 36-byte header
// and the numbered data packets of the closed-loop protocol.

#include "dump/ByteBlock.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>
#include "dump/DumpPart.h"

/// Payload bytes of a full data packet (255 bytes in all).
inline constexpr std::size_t kEditBufferPacketPayload = 244;

/// F0 18 0F dd 55 10 01, preset, the payload's byte count (28 bits), the ten
/// section counts, 0 at bytes 33-34, F7. Numbers that cannot travel in 14 bits
/// are written as 0 (callers check them first).
TPtr<_ByteBlock> BuildPresetDumpHeader(int deviceId, int preset, long payloadLength, const int counts[10]);

/// F0 18 0F dd 55 10 02, number, payload, checksum, F7. A full packet
/// (kEditBufferPacketPayload bytes) carries the real checksum, a shorter one 0x7F.
TPtr<_ByteBlock> BuildPresetDumpPacket(int deviceId, int number, std::span<const std::uint8_t> payload);

/// The payload cut into packets of at most kEditBufferPacketPayload bytes,
/// numbered from 1 (the header counts as packet 0); none for an empty payload.
ByteBlockList BuildPresetDumpPackets(int deviceId, std::span<const std::uint8_t> payload);

/// The layer parameters the built dump carries for each layer, in payload
/// order, without the unused place of 1832.
std::vector<int> EditBufferLayerParameterIds();

class EditBufferSave : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Stores the edit buffer into user preset `preset`. With CAP_PRESET_DUMPS
    /// the module's own closed-loop dump of the edit buffer goes back under the
    /// new number (every packet ACKed, WAIT waited through, anything else ends
    /// the save); without it AltSaveEditBuffer. Failures are logged, not shown
    /// (but those of the download, which shows its own).
    bool SaveEditBuffer(int preset);
    /// Downloads the edit buffer: the header's ten section counts into counts,
    /// every packet's payload appended to payload (made when null).
    bool DumpPreset(int counts[10], TPtr<_ByteBlock>& payload);
    /// Builds the dump from the parameter records and uploads it (UploadPreset).
    /// Every layer is selected in turn (LAYER_SELECT) and its records are read
    /// again from the module; a record that cannot be read ends the save with
    /// false and nothing sent. LAYER_SELECT gets its value back on every path.
    bool AltSaveEditBuffer(int preset);
};
