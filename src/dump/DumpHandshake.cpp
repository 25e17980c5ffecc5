// The closed-loop dump handshakes and the flattening of a multi-block preset dump.

#include "core/Logger.h"
#include "dump/DumpHandshake.h"
#include "dump/PresetDumpFormat.h"

bool DumpHandshake::SendHandshake(int code)
{
    ModuleSysExMessage message(m_link.GetDeviceId(), code);
    if (!m_link.SendSysEx(message)) {
        TLOG(kLogError, u"Failed to send handshake request %d", code);
        return false;
    }
    return true;
}

int DumpHandshake::ParseHandshake(std::span<const std::uint8_t> message, int deviceId, int* packet)
{
    if (packet)
        *packet = -1;
    // F0 18 0F dd 55 code F7, or with a packet number: F0 18 0F dd 55 code pp pp F7.
    const std::size_t n = message.size();
    if (n != kHandshakeLength && n != kHandshakeLength + 2)
        return -1;
    if (message[0] != SYSEX_START || message[1] != EMU_MANUFACTURER_ID || message[2] != PROTEUS_PRODUCT_ID
        || message[kSysExDeviceIdOffset] != deviceId || message[4] != EDITOR_DESIGNATOR || message[n - 1] != SYSEX_END)
        return -1;
    const int code = message[kSysExCommandOffset];
    if (code < HANDSHAKE_EOF || code > HANDSHAKE_ACK)
        return -1;
    if (n == kHandshakeLength + 2) {
        if (message[6] >= 0x80 || message[7] >= 0x80)
            return -1;
        if (packet)
            *packet = SysExValue14::Decode(message[6], message[7]);
    }
    return code;
}

TPtr<_ByteBlock> DumpHandshake::ConvertBlocksToBlock(const ByteBlockList& blocks)
{
    if (blocks.empty() || !blocks.front()) {
        TLOG(kLogError, u"Cannot flatten a preset dump: it holds no header");
        return nullptr;
    }
    const _ByteBlock& header = *blocks.front();
    if (header.Size() < kPresetHeaderLength) {
        TLOG(kLogError, u"Cannot flatten a preset dump: its header is %d bytes, a preset header is %d", int(header.Size()),
             int(kPresetHeaderLength));
        return nullptr;
    }
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        const unsigned size = blocks[i] ? blocks[i]->Size() : 0;
        if (size < kPacketMinLength) {
            TLOG(kLogError, u"Cannot flatten a preset dump: packet %d is %d bytes, shorter than a packet's %d", int(i),
                 int(size), int(kPacketMinLength));
            return nullptr;
        }
    }

    TPtr<_ByteBlock> flat = new _ByteBlock;
    flat->Append(header.Data(), header.Size() - 1); // the header without its F7
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        const _ByteBlock& packet = *blocks[i];
        // The payload: after the 9-byte head, before the checksum and the F7.
        flat->Append(packet.Data() + kPacketHeadLength, packet.Size() - kPacketMinLength);
    }
    const std::uint8_t end = SYSEX_END;
    flat->Append(&end, 1);
    return flat;
}
