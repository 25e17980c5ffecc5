// The edit-buffer save: the preset being edited in the module's edit buffer
// stored into a user preset. With whole-preset dumps the module's own dump of
// the edit buffer goes straight back; without them the program builds the dump
// from the parameter records and uploads it.

#include "dump/EditBufferSave.h"

#include "dump/DumpHandshake.h"
#include "dump/PresetTransfer.h"

#include "core/Format.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "dump/EditBufferSave.h"
#include "dump/PresetDumpFormat.h"
#include "module/ParameterIds.h"
#include "module/StackedProgress.h"

#include <algorithm>
#include <array>

namespace {

constexpr unsigned kSavingEditBufferString = 262; // "Saving Edit buffer"
constexpr unsigned kReplyCapacity = 4096;

/// Parameters whose value in the dump is the ROM id of a partner parameter.
struct RomIdCarrier {
    int id;
    int partner;
};
constexpr RomIdCarrier kRomIdCarriers[] = {{929, 928}, {1042, 1027}, {1299, 1281}, {1300, 1290}, {1439, 1409}};

/// One section of the dump: ids first..last, each a 14-bit value.
struct IdRange {
    int first;
    int last;
};

/// The layer sections 6-10 in payload order; 1832 is sent as 0 (the gap in section 9).
constexpr IdRange kLayerSection6[] = {{1409, 1439}};
constexpr IdRange kLayerSection7[] = {{1537, 1539}};
constexpr IdRange kLayerSection8[] = {{1665, 1674}};
constexpr IdRange kLayerSection9[] = {{1793, 1831}, {0, 0}, {1833, 1834}};
constexpr IdRange kLayerSection10[] = {{1921, 1992}};

int RangeCount(std::span<const IdRange> ranges)
{
    int n = 0;
    for (const IdRange& r : ranges)
        n += r.last - r.first + 1;
    return n;
}

void Put14(std::uint8_t* at, int value)
{
    // Callers check Fits first; a value that does not fit is never written.
    SysExValue14::Encode(value, at);
}

} // namespace

std::vector<int> EditBufferLayerParameterIds()
{
    std::vector<int> ids;
    for (std::span<const IdRange> section :
         {std::span<const IdRange>(kLayerSection6), std::span<const IdRange>(kLayerSection7),
          std::span<const IdRange>(kLayerSection8), std::span<const IdRange>(kLayerSection9),
          std::span<const IdRange>(kLayerSection10)})
        for (const IdRange& r : section)
            for (int id = r.first; id <= r.last; ++id)
                if (id != 0)
                    ids.push_back(id);
    return ids;
}

TPtr<_ByteBlock> BuildPresetDumpHeader(int deviceId, int preset, long payloadLength, const int counts[10])
{
    std::array<std::uint8_t, kPresetHeaderLength> h{};
    h[0] = SYSEX_START;
    h[1] = EMU_MANUFACTURER_ID;
    h[2] = PROTEUS_PRODUCT_ID;
    h[3] = std::uint8_t(deviceId & 0x7F);
    h[4] = EDITOR_DESIGNATOR;
    h[5] = CMD_PRESET_DUMP;
    h[6] = PRESET_DUMP_CLOSED_HEADER;
    Put14(&h[kPresetNumberOffset], SysExValue14::Fits(preset) ? preset : 0);
    for (int i = 0; i < 4; ++i)
        h[kPresetByteCountOffset + std::size_t(i)] = std::uint8_t((payloadLength >> (7 * i)) & 0x7F);
    for (int i = 0; i < kPresetSectionCountCount; ++i)
        Put14(&h[kPresetSectionCountsOffset + 2 * std::size_t(i)], SysExValue14::Fits(counts[i]) ? counts[i] : 0);
    h[kPresetRenumberFieldOffset] = 0;
    h[kPresetRenumberFieldOffset + 1] = 0;
    h[kPresetHeaderLength - 1] = SYSEX_END;
    return MakeByteBlock(QByteArrayView(h.data(), qsizetype(h.size())));
}

TPtr<_ByteBlock> BuildPresetDumpPacket(int deviceId, int number, std::span<const std::uint8_t> payload)
{
    std::vector<std::uint8_t> p;
    p.reserve(payload.size() + kPacketMinLength);
    p.insert(p.end(), {SYSEX_START, EMU_MANUFACTURER_ID, PROTEUS_PRODUCT_ID, std::uint8_t(deviceId & 0x7F),
                       EDITOR_DESIGNATOR, CMD_PRESET_DUMP, PRESET_DUMP_CLOSED_DATA, 0, 0});
    Put14(&p[kPacketNumberOffset], number);
    p.insert(p.end(), payload.begin(), payload.end());
    // Only a full packet carries a real checksum; the receiver takes 0x7F
    // without a sum, which is what the last, shorter packet carries.
    p.push_back(payload.size() == kEditBufferPacketPayload ? PresetPacketChecksum(payload) : std::uint8_t(0x7F));
    p.push_back(SYSEX_END);
    return MakeByteBlock(QByteArrayView(p.data(), qsizetype(p.size())));
}

ByteBlockList BuildPresetDumpPackets(int deviceId, std::span<const std::uint8_t> payload)
{
    ByteBlockList packets;
    int number = 1;
    for (std::size_t at = 0; at < payload.size(); at += kEditBufferPacketPayload)
        packets.push_back(BuildPresetDumpPacket(
            deviceId, number++, payload.subspan(at, std::min(kEditBufferPacketPayload, payload.size() - at))));
    return packets;
}

bool EditBufferSave::SaveEditBuffer(int preset)
{
    TLOG(kLogFlow, u"%s(%d)", u"Proteus::SaveEditBuffer", preset);
    if (!m_link.HasCapability(CAP_PRESET_DUMPS))
        return AltSaveEditBuffer(preset);

    StackedProgress progress(&m_link, true, 0, 20, u"%s", LoadResourceString(kSavingEditBufferString));
    if (!m_link.ReadyToSend(QStringLiteral("Proteus::SaveEditBuffer")))
        return false;
    if (!SysExValue14::Fits(preset)) {
        TLOG(kLogError, u"Failed to save the edit buffer: preset %d cannot be addressed", preset);
        return false;
    }

    int counts[kPresetSectionCountCount] = {};
    TPtr<_ByteBlock> payload = new _ByteBlock;
    if (!DumpPreset(counts, payload))
        return false;

    const std::span<const std::uint8_t> data = payload->Bytes();
    const TPtr<_ByteBlock> header = BuildPresetDumpHeader(m_link.GetDeviceId(), preset, long(data.size()), counts);
    if (!m_link.SendSysEx(header->Bytes())) {
        TLOG(kLogError, u"Failed to send download EDIT BUFFER when saving");
        return false;
    }
    TLOG(kLogDumpStep, u"Sent Header");

    const ExpectedReply expected{CMD_PRESET_DUMP_REQUEST, ModuleMessagePrefix(m_link.GetDeviceId()), kReplyCapacity};
    ModuleLink::KeepEveryReply keep(&m_link); // a WAIT and the ACK behind it may come together
    int packet = 1;
    std::size_t position = 0;
    for (;;) {
        const ReplyResult result = m_link.AwaitReply(header->Bytes(), expected);
        if (!result.Answered()) {
            TLOG(kLogError, u"No response downloading EDIT BUFFER when saving");
            return false;
        }
        const bool ok = result.Replied();
        const int code = result.Size() ? int(result.bytes[0]) : -1;
        TLOG(kLogDumpStep, u"Response byte 0x%x received", code);
        if (ok && code == HANDSHAKE_WAIT)
            continue;
        if (!ok || code != HANDSHAKE_ACK) {
            TLOG(kLogError, u"Failed to save data to module");
            return false;
        }
        if (position >= data.size()) {
            if (!DumpHandshake(m_link).SendHandshake(HANDSHAKE_EOF)) {
                TLOG(kLogError, u"Failed to send EOF");
                return false;
            }
            TLOG(kLogDumpStep, u"Sent EOF");
            return true;
        }
        const std::size_t length = std::min(kEditBufferPacketPayload, data.size() - position);
        const TPtr<_ByteBlock> block = BuildPresetDumpPacket(m_link.GetDeviceId(), packet++, data.subspan(position, length));
        position += length;
        if (!m_link.SendSysEx(block->Bytes())) {
            TLOG(kLogError, u"Failed to send upload when saving");
            return false;
        }
        TLOG(kLogDumpStep, u"Sent Data");
        progress.Step();
    }
}

bool EditBufferSave::DumpPreset(int counts[10], TPtr<_ByteBlock>& payload)
{
    ByteBlockList blocks;
    if (!PresetTransfer(m_link).DownloadPreset(PRESET_DUMP_CLOSED_DATA, 0, -1, -1, true, blocks))
        return false;
    // The download checked every message it stored: a header of at least 36
    // bytes, packets of at least 11.
    const std::span<const std::uint8_t> header = blocks.front()->Bytes();
    for (int i = 0; i < kPresetSectionCountCount; ++i)
        counts[i] = SysExValue14::Decode(header[kPresetSectionCountsOffset + 2 * std::size_t(i)],
                                         header[kPresetSectionCountsOffset + 2 * std::size_t(i) + 1]);
    if (!payload)
        payload = new _ByteBlock;
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        const _ByteBlock& packet = *blocks[i];
        payload->Append(packet.Data() + kPacketHeadLength, packet.Size() - kPacketMinLength);
    }
    return true;
}

namespace {

/// Puts LAYER_SELECT back to the layer it had when the save began, on every path.
class LayerSelectRestore {
public:
    LayerSelectRestore(ModuleLink* owner, int layer) : m_owner(owner), m_layer(layer) {}
    ~LayerSelectRestore()
    {
        if (!m_changed)
            return;
        ParamRecord* select = m_owner->FindParameter(LAYER_SELECT);
        select->previousValue = select->value;
        select->value = m_layer;
        if (!m_owner->ParameterEdit(select))
            TLOG(kLogError, u"Failed to select layer %d again after saving the edit buffer", m_layer);
    }
    void Changed() { m_changed = true; }

private:
    ModuleLink* m_owner;
    int m_layer;
    bool m_changed = false;
};

} // namespace

bool EditBufferSave::AltSaveEditBuffer(int preset)
{
    TLOG(kLogFlow, u"%s(%d)", u"Proteus::AltSaveEditBuffer", preset);
    if (!m_link.ReadyToSend(QStringLiteral("Proteus::AltSaveEditBuffer")))
        return false;

    const bool sixteen = m_link.HasCapability(CAP_16_CONTROLLERS);
    const bool arps = m_link.HasCapability(CAP_ARPS_AND_BEATS);
    int counts[kPresetSectionCountCount] = {sixteen ? 56 : 52, arps ? 19 : 0, 16, 20, 4, 31, 3, 10, 42, 72};

    std::vector<std::uint8_t> payload;
    bool fits = true;
    auto value = [&](int id) {
        if (id == 0)
            return 0;
        for (const RomIdCarrier& c : kRomIdCarriers)
            if (c.id == id)
                return m_link.FindParameter(c.partner)->romId;
        return m_link.FindParameter(id)->value;
    };
    auto append = [&](int id) {
        const int v = value(id);
        std::uint8_t pair[2] = {0, 0};
        if (!SysExValue14::Encode(v, pair)) {
            TLOG(kLogError, u"Failed to save the edit buffer: parameter %d holds %d, which cannot be sent", id, v);
            fits = false;
        }
        payload.insert(payload.end(), pair, pair + 2);
    };
    auto appendRanges = [&](std::span<const IdRange> ranges) {
        for (const IdRange& r : ranges)
            for (int id = r.first; id <= r.last; ++id)
                append(id);
    };

    // The name: one byte per character parameter. Only 7 bits can travel in SysEx.
    for (int id = 899; id <= 914; ++id)
        payload.push_back(std::uint8_t(m_link.FindParameter(id)->value & 0x7F));
    appendRanges(std::initializer_list<IdRange>{{915, sixteen ? 970 : 966}});
    if (arps)
        appendRanges(std::initializer_list<IdRange>{{1025, 1043}});
    appendRanges(std::initializer_list<IdRange>{{1153, 1168}});
    appendRanges(std::initializer_list<IdRange>{{1281, 1300}});

    // The layer records follow LAYER_SELECT only when they are asked again:
    // each is re-read after its layer is selected, and a record that cannot be
    // read ends the save, so no layer is stored with another layer's values.
    ParamRecord* select = m_link.FindParameter(LAYER_SELECT);
    const std::vector<int> layerIds = EditBufferLayerParameterIds();
    {
    LayerSelectRestore restore(&m_link, select->value); // before the upload, and on every failure
    for (int layer = 0; layer < 4; ++layer) {
        select->previousValue = select->value;
        select->value = layer;
        restore.Changed();
        if (!m_link.ParameterEdit(select)) {
            TLOG(kLogError, u"Failed to save the edit buffer: layer %d could not be selected", layer + 1);
            return false;
        }
        for (int id : layerIds) {
            if (std::any_of(std::begin(kRomIdCarriers), std::end(kRomIdCarriers),
                            [id](const RomIdCarrier& c) { return c.id == id; }))
                continue; // comes with its partner's request
            if (!m_link.ParameterRequest(m_link.FindParameter(id))) {
                TLOG(kLogError, u"Failed to save the edit buffer: parameter %d of layer %d could not be read", id,
                     layer + 1);
                return false;
            }
        }
        appendRanges(kLayerSection6);
        appendRanges(kLayerSection7);
        appendRanges(kLayerSection8);
        appendRanges(kLayerSection9);
        appendRanges(kLayerSection10);
    }
    }
    if (!fits)
        return false;

    ByteBlockList blocks;
    blocks.push_back(BuildPresetDumpHeader(m_link.GetDeviceId(), preset, long(payload.size()), counts));
    for (TPtr<_ByteBlock>& packet : BuildPresetDumpPackets(m_link.GetDeviceId(), payload))
        blocks.push_back(packet);
    return PresetTransfer(m_link).UploadPreset(true, preset, 0, blocks);
}
