// Preset download: a whole preset by the closed-loop protocol (every message
// answered) or the open-loop one (the module streams), and single sections.

#include "core/Format.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "dump/DumpFiles.h"
#include "dump/DumpHandshake.h"
#include "dump/PresetDumpFormat.h"
#include "dump/PresetTransfer.h"
#include "module/Capabilities.h"
#include "module/ParameterIds.h"
#include "module/StackedProgress.h"

#include <algorithm>
#include <cstring>

namespace {

const QString kDumpPreset = QStringLiteral("dump preset");
constexpr unsigned kReplyCapacity = 4096;
/// String-table id of "Dumping Preset".
constexpr unsigned kDumpingPresetString = 261;
/// Bad messages in a row that end a whole-preset download.
constexpr int kMaxBadBlocks = 3;

/// Drops what a failed download added, so the caller's list is as it was.
class ListRollback {
public:
    explicit ListRollback(ByteBlockList& blocks) : m_blocks(blocks), m_size(blocks.size()) {}
    ~ListRollback()
    {
        if (!m_kept)
            m_blocks.resize(m_size);
    }
    void Keep() { m_kept = true; }

private:
    ByteBlockList& m_blocks;
    std::size_t m_size;
    bool m_kept = false;
};

/// The length of a received reply from its first byte through its first F7
/// inside the received bytes; 0 when it has no F7 there.
unsigned ReplyLength(const std::uint8_t* reply, unsigned received)
{
    const std::uint8_t* end = std::find(reply, reply + received, SYSEX_END);
    return end == reply + received ? 0 : unsigned(end - reply) + 1;
}

TPtr<_ByteBlock> StoredMessage(const std::uint8_t* header, unsigned headerLength, const std::uint8_t* reply,
                               unsigned replyLength)
{
    TPtr<_ByteBlock> block = new _ByteBlock;
    block->Append(header, headerLength);
    block->Append(reply, replyLength);
    return block;
}

} // namespace

bool PresetTransfer::DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress,
                             ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Downloading Preset/Layer (sub-request 0x%x) %s %s (%d)", subRequest, m_data.GetSimmName(romId),
         Format(u"%d:%03d", preset / 128, preset % 128), layer);
    const bool result = _DownloadPreset(subRequest, romId, preset, layer, showProgress, blocks);

    // A dump of another preset than the one the basic channel plays leaves the
    // module's edit buffer pointing elsewhere; asking for a layer section of
    // the edit buffer brings it back. Its own result does not matter.
    if (!(romId == 0 && preset == -1)) {
        int currentRom = 0;
        int currentPreset = 0;
        if (!BasicChannelPreset(currentRom, currentPreset) || currentRom != romId || currentPreset != preset) {
            ByteBlockList scratch;
            _DownloadPreset(0x22, 0, -1, 0, false, scratch);
        }
    }
    return result;
}

bool PresetTransfer::BasicChannelPreset(int& romId, int& preset)
{
    // As the multisetup buffer holds it; without the buffer there is no answer.
    return m_link.GetChannelPreset(m_link.FindParameter(MULTIMODE_BASIC_CHANNEL)->value, romId, preset);
}

bool PresetTransfer::_DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress,
                              ByteBlockList& blocks)
{
    if (subRequest != PRESET_DUMP_CLOSED_DATA && subRequest != PRESET_DUMP_OPEN_DATA)
        return DownloadShortPreset(subRequest, romId, preset, layer, blocks);

    if (!m_link.HasCapability(CAP_PRESET_DUMPS))
        return false;
    StackedProgress progress(&m_link, showProgress, 0, 10, u"%s %d:%d", LoadResourceString(kDumpingPresetString), romId,
                             preset);
    if (!m_link.ReadyToSend(QStringLiteral("Proteus::DownloadPreset")))
        return false;

    const bool closedLoop = subRequest == PRESET_DUMP_CLOSED_DATA;
    ModuleSysExMessage request(m_link.GetDeviceId(), CMD_PRESET_DUMP_REQUEST);
    request.AddByte(subRequest).AddValue14(preset).AddValue14(romId);
    if (!m_link.SendSysEx(request))
        return DumpFiles(m_link).ReportDumpFailure(kDumpPreset, QStringLiteral("failed to send initial dump request"));

    ListRollback rollback(blocks);
    ModuleLink::KeepEveryReply keep(&m_link); // packets streamed back to back all count
    // The editor gives up on a closed-loop transfer: the module is told, so it
    // does not wait for a handshake that never comes.
    auto abandon = [&](const QString& reason) {
        DumpHandshake(m_link).SendHandshake(HANDSHAKE_CANCEL);
        return DumpFiles(m_link).ReportDumpFailure(kDumpPreset, reason);
    };
    // Silence or an error reply before the header: the module declined the
    // request itself (it may dump no presets at all). The module is told as
    // after any other failure.
    auto declined = [&](const ReplyResult& result) {
        const bool refused = result.Answered();
        if (closedLoop || refused)
            DumpHandshake(m_link).SendHandshake(HANDSHAKE_CANCEL);
        return DumpFiles(m_link).ReportDeclinedDump(kDumpPreset, refused ? QStringLiteral("invalid dump response")
                                                                         : QStringLiteral("failed to get dump request response"));
    };

    const std::vector<std::uint8_t> header = ModuleMessagePrefix(m_link.GetDeviceId());
    const std::uint8_t headerSub = closedLoop ? PRESET_DUMP_CLOSED_HEADER : PRESET_DUMP_OPEN_HEADER;
    const std::uint8_t dataSub = closedLoop ? PRESET_DUMP_CLOSED_DATA : PRESET_DUMP_OPEN_DATA;
    bool haveHeader = false;
    long announced = 0;  // the payload byte count the header gives
    long payload = 0;    // payload bytes stored so far
    int packet = 0;      // the number the next message must carry; the header is 0
    int badBlocks = 0;

    auto complete = [&]() {
        if (payload != announced)
            return DumpFiles(m_link).ReportDumpFailure(
                kDumpPreset, Format(u"%d data bytes received where the header announced %d", int(payload), int(announced)));
        rollback.Keep();
        return true;
    };

    for (;;) {
        const ReplyResult result = m_link.AwaitReply(request.Bytes(), {CMD_PRESET_DUMP_REQUEST, header, kReplyCapacity});
        if (!haveHeader && result.Declined())
            return declined(result);
        if (!result.Answered()) {
            const QString reason = QStringLiteral("failed to get dump request response");
            return closedLoop ? abandon(reason) : DumpFiles(m_link).ReportDumpFailure(kDumpPreset, reason);
        }
        if (!result.Replied())
            return abandon(QStringLiteral("invalid dump response"));
        const std::vector<std::uint8_t>& reply = result.bytes;
        const unsigned received = result.Size();
        if (received == 0)
            return abandon(QStringLiteral("invalid dump response code"));

        if (reply[0] == HANDSHAKE_EOF) {
            if (!haveHeader) {
                // An end before any header is what is left of an earlier
                // stream; this dump has not begun yet.
                TLOG(kLogError, u"Ignored an end of dump that came before the preset header");
                continue;
            }
            return complete();
        }
        if (reply[0] != CMD_PRESET_DUMP)
            return abandon(QStringLiteral("invalid dump response code"));
        if (received < 2 || reply[1] != (haveHeader ? dataSub : headerSub))
            return abandon(QStringLiteral("invalid dump response subcode"));

        const unsigned length = ReplyLength(reply.data(), received);
        const unsigned messageLength = length + unsigned(header.size());
        bool good = true;
        if (!haveHeader) {
            if (length == 0)
                return abandon(QStringLiteral("a preset header without its end"));
            if (messageLength < kPresetHeaderLength)
                return abandon(Format(u"a preset header of %d bytes, shorter than %d", int(messageLength),
                                      int(kPresetHeaderLength)));
        } else if (length == 0 || messageLength < kPacketMinLength) {
            TLOG(kLogError, u"Preset dump packet of %d bytes refused: a packet has at least %d", int(messageLength),
                 int(kPacketMinLength));
            good = false;
        } else {
            // The offsets below are inside the reply, 5 bytes after the message's start.
            const std::size_t numberAt = kPacketNumberOffset - header.size();
            const std::size_t payloadAt = kPacketHeadLength - header.size();
            const int number = SysExValue14::Decode(reply[numberAt], reply[numberAt + 1]);
            const std::uint8_t checksum = reply[length - 2];
            const std::uint8_t computed =
                PresetPacketChecksum(std::span<const std::uint8_t>(reply.data() + payloadAt, length - 2 - payloadAt));
            if (number != packet) {
                TLOG(kLogError, u"Preset dump packet %d refused: packet %d was expected", number, packet);
                good = false;
            } else if (checksum != 0x7F && checksum != computed) {
                TLOG(kLogError, u"Preset dump packet %d refused: checksum 0x%02x, computed 0x%02x", number, checksum,
                     computed);
                good = false;
            }
        }

        if (!good) {
            DumpHandshake(m_link).SendHandshake(HANDSHAKE_NAK);
            if (++badBlocks >= kMaxBadBlocks)
                return abandon(QStringLiteral("invalid dump response"));
            continue;
        }
        badBlocks = 0;
        if (closedLoop)
            DumpHandshake(m_link).SendHandshake(HANDSHAKE_ACK);
        TPtr<_ByteBlock> block = StoredMessage(header.data(), unsigned(header.size()), reply.data(), length);
        if (!haveHeader) {
            haveHeader = true;
            announced = PresetHeaderByteCount(block->Bytes());
        } else {
            payload += long(messageLength - kPacketMinLength);
        }
        blocks.push_back(block);
        progress.Step();
        ++packet;

        // The open-loop stream has no end message of its own: it is over when
        // the payload the header announced has come.
        if (!closedLoop && packet > 1 && payload >= announced)
            return complete();
    }
}

bool PresetTransfer::DownloadShortPreset(int subRequest, int romId, int preset, int layer, ByteBlockList& blocks)
{
    if (!m_link.HasCapability(CAP_SYSEX_DUMPS))
        return false;
    if (!m_link.ReadyToSend(QStringLiteral("Proteus::DownloadShortPreset")))
        return false;

    ModuleSysExMessage request(m_link.GetDeviceId(), CMD_PRESET_DUMP_REQUEST);
    request.AddByte(subRequest).AddValue14(preset);
    if (subRequest >= 0x20)
        request.AddValue14(layer);
    request.AddValue14(romId);
    const bool known = (subRequest >= 0x10 && subRequest <= 0x14) || (subRequest >= 0x20 && subRequest <= 0x25);
    const std::vector<std::uint8_t> header =
        ModuleReplyHeader(m_link.GetDeviceId(), CMD_PRESET_DUMP, std::uint8_t(known ? subRequest : 0x00));
    const ReplyResult result = m_link.Exchange(request, {CMD_PRESET_DUMP_REQUEST, header, kReplyCapacity});
    if (result.NotSent())
        return DumpFiles(m_link).ReportDumpFailure(kDumpPreset, QStringLiteral("failed to send initial short dump request"));
    DumpFiles files(m_link);
    const auto report = result.Declined() ? &DumpFiles::ReportDeclinedDump : &DumpFiles::ReportDumpFailure;
    if (!result.Answered())
        return (files.*report)(kDumpPreset, QStringLiteral("failed to get short dump request response"));
    if (!result.Replied())
        return (files.*report)(QStringLiteral("reading sysex data"), QStringLiteral("Failed to recive the incoming dump"));
    const std::vector<std::uint8_t>& reply = result.bytes;
    const unsigned received = result.Size();
    const unsigned length = ReplyLength(reply.data(), received);
    if (length == 0)
        return DumpFiles(m_link).ReportDumpFailure(kDumpPreset, QStringLiteral("a section dump without its end"));
    blocks.push_back(StoredMessage(header.data(), unsigned(header.size()), reply.data(), length));
    return true;
}
