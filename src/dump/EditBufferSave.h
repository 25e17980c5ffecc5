#pragma once
// The pieces of a whole-preset dump the edit-buffer save builds itself
// (Proteus::SaveEditBuffer, Proteus::AltSaveEditBuffer): the 36-byte header
// and the numbered data packets of the closed-loop protocol.

#include "dump/ByteBlock.h"

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

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
