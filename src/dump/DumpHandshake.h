#pragma once
// The dump handshakes: the short messages that pace a closed-loop dump.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"

#include <QString>

#include <cstdint>

class DumpHandshake : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Sends the 7-byte handshake F0 18 0F dd 55 code F7 with the current
    /// device id (code: HANDSHAKE_EOF .. HANDSHAKE_ACK). Waits for nothing.
    /// False (logged with the code in decimal) when it cannot be sent.
    bool SendHandshake(int code);
    /// The handshake code a received message carries, or -1 when it is none:
    /// F0 18 0F dd 55 code F7, or the same with a 14-bit packet number before
    /// the F7 (the module's ACK and NAK may name the packet they answer).
    /// packet (may be null) gets that number, or -1 for the short form.
    static int ParseHandshake(std::span<const std::uint8_t> message, int deviceId, int* packet = nullptr);
    /// Flattens a closed-loop whole-preset dump into one message: the header
    /// without its F7, then each data packet's payload (without its 9-byte
    /// head, checksum and F7), then F7. Null when the list is empty or a
    /// block is too short for what is cut from it (header: a whole 36-byte
    /// preset header; packet: at least 11 bytes).
    static TPtr<_ByteBlock> ConvertBlocksToBlock(const ByteBlockList& blocks);
};
