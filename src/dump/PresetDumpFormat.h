#pragma once
// The layouts of the module's dump messages that the editor decodes: the
// handshakes, the whole-preset header and data packets, and the bank map.
//
// Whole preset (closed loop 10 01 / 10 02, open loop 10 03 / 10 04):
//
//   header  F0 18 0F dd 55 10 01|03 pp pp  c0 c1 c2 c3  n0 n0 ... n9 n9  rr rr F7   (36 bytes)
//           pp pp  preset number, 14-bit signed (7F 7F: the edit buffer)
//           c0..c3 the payload's byte count, 28 bits, low 7 bits first
//           n0..n9 ten 14-bit section counts (the layout differs between
//                  family members: 52/18, 52/19, 56/19 ... are all real)
//           rr rr  a 14-bit field the upload clears when it renumbers
//   packet  F0 18 0F dd 55 10 02|04 kk kk  payload...  cs F7               (at least 11 bytes)
//           kk kk  packet number, 14-bit signed; the first data packet is 1
//           cs     (~sum of the payload bytes) & 0x7F; 0x7F passes whatever the sum
//
// Bank map  F0 18 0F dd 55 16  256 × 14-bit signed  F7                      (exactly 519 bytes)
//
// Nothing may be read from a block at a fixed offset before its length has
// been checked against these sizes.

#include <cstddef>
#include <cstdint>
#include <span>

/// F0 18 0F dd 55 code F7.
inline constexpr std::size_t kHandshakeLength = 7;

/// Whole-preset sub-requests and the sub-codes of the messages that answer them.
enum PresetDumpSubCode : std::uint8_t {
    PRESET_DUMP_CLOSED_HEADER = 0x01,
    PRESET_DUMP_CLOSED_DATA = 0x02, ///< also the closed-loop request
    PRESET_DUMP_OPEN_HEADER = 0x03,
    PRESET_DUMP_OPEN_DATA = 0x04,   ///< also the open-loop request
};

/// The sub-code offset (byte after the 0x10 command).
inline constexpr std::size_t kPresetSubCodeOffset = 6;
/// Offsets inside the whole-preset header.
inline constexpr std::size_t kPresetNumberOffset = 7;
inline constexpr std::size_t kPresetByteCountOffset = 9;
inline constexpr std::size_t kPresetSectionCountsOffset = 13;
inline constexpr int kPresetSectionCountCount = 10;
inline constexpr std::size_t kPresetRenumberFieldOffset = 33;
/// The shortest header that holds every field above (and its F7).
inline constexpr std::size_t kPresetHeaderLength = 36;

/// Offsets inside a data packet.
inline constexpr std::size_t kPacketNumberOffset = 7;
/// F0 18 0F dd 55 10 sub kk kk: the bytes before the payload.
inline constexpr std::size_t kPacketHeadLength = 9;
/// The head, the checksum and the F7: a packet with an empty payload.
inline constexpr std::size_t kPacketMinLength = 11;

/// The open-loop rule of thumb: a stored reply (from the 0x10 through the F7)
/// shorter than this is the module's last packet.
inline constexpr std::size_t kOpenLoopFullReplyLength = 250;

/// F0 18 0F dd 55 16, 256 values of two bytes, F7.
inline constexpr std::size_t kBankMapEntries = 256;
inline constexpr std::size_t kBankMapValuesOffset = 6;
inline constexpr std::size_t kBankMapLength = kBankMapValuesOffset + 2 * kBankMapEntries + 1;

/// The checksum of a data packet's payload: the inverted 8-bit sum, masked with 0x7F.
inline std::uint8_t PresetPacketChecksum(std::span<const std::uint8_t> payload)
{
    std::uint8_t sum = 0;
    for (std::uint8_t b : payload)
        sum = std::uint8_t(sum + b);
    return std::uint8_t(~sum & 0x7F);
}

/// The payload byte count a whole-preset header announces (bytes 9-12, 28 bits
/// low 7 first); -1 when header is shorter than kPresetHeaderLength.
inline long PresetHeaderByteCount(std::span<const std::uint8_t> header)
{
    if (header.size() < kPresetHeaderLength)
        return -1;
    long count = 0;
    for (int i = 3; i >= 0; --i)
        count = (count << 7) | (header[kPresetByteCountOffset + std::size_t(i)] & 0x7F);
    return count;
}
