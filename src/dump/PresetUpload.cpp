// Preset upload: a stored whole preset by the closed-loop protocol, or one
// preset or layer section as a single message.

#include "core/Format.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "dump/DumpFiles.h"
#include "dump/DumpHandshake.h"
#include "dump/LayerChooser.h"
#include "dump/PresetDumpFormat.h"
#include "dump/PresetTransfer.h"

#include <algorithm>

namespace {

const QString kUploadPreset = QStringLiteral("upload preset");
constexpr unsigned kReplyCapacity = 4096;
constexpr unsigned kNotADumpString = 258;       // "File is not a previously saved Proteus dump file"
constexpr unsigned kBadHeaderString = 259;      // "Received Invalid Sysex Dump Format for Header"
constexpr unsigned kBadDataBlockString = 260;   // "Received Invalid Sysex Dump Format for Data Block"
/// Refusals of one message the upload takes before it gives up. Every answer
/// but ACK and WAIT is a refusal: a NAK, but also an echo of the message or
/// any other stray reply, which would otherwise have it resent for ever.
constexpr int kMaxNaks = 3;

bool HasModulePrefix(std::span<const std::uint8_t> b)
{
    return b.size() >= 5 && b[0] == SYSEX_START && b[1] == EMU_MANUFACTURER_ID && b[2] == PROTEUS_PRODUCT_ID
        && b[4] == EDITOR_DESIGNATOR;
}

/// A whole message F0 ... F7 with nothing but data bytes between.
bool IsWholeMessage(std::span<const std::uint8_t> b)
{
    return b.size() >= 2 && b.front() == SYSEX_START && b.back() == SYSEX_END
        && std::none_of(b.begin() + 1, b.end() - 1, [](std::uint8_t v) { return v >= 0x80; });
}

bool IsPresetMessage(std::span<const std::uint8_t> b, std::size_t minimum, std::initializer_list<std::uint8_t> subs)
{
    return b.size() >= minimum && HasModulePrefix(b) && IsWholeMessage(b) && b[kSysExCommandOffset] == CMD_PRESET_DUMP
        && std::find(subs.begin(), subs.end(), b[kPresetSubCodeOffset]) != subs.end();
}

void Put14(std::vector<std::uint8_t>& b, std::size_t at, int value)
{
    std::uint8_t v[2] = {0, 0};
    SysExValue14::Encode(value, v);
    b[at] = v[0];
    b[at + 1] = v[1];
}

} // namespace

DumpProblem PresetTransfer::CheckPresetUpload(const ByteBlockList& blocks, bool renumber)
{
    const QString notADump = QStringLiteral("upload sysex dump file");
    const std::span<const std::uint8_t> first =
        !blocks.empty() && blocks.front() ? blocks.front()->Bytes() : std::span<const std::uint8_t>();
    if (first.size() < kPacketHeadLength || !HasModulePrefix(first))
        return {notADump, LoadResourceString(kNotADumpString)};
    const std::uint8_t sub = first[kPresetSubCodeOffset];
    const bool whole = sub == PRESET_DUMP_CLOSED_HEADER || sub == PRESET_DUMP_OPEN_HEADER;
    if (!whole) {
        const bool layerSection = sub >= 0x20;
        const std::size_t minimum = renumber && layerSection ? 11 : renumber ? 9 : 7;
        if (!IsWholeMessage(first) || first.size() < minimum || first[kSysExCommandOffset] != CMD_PRESET_DUMP)
            return {notADump, LoadResourceString(kNotADumpString)};
        return {};
    }
    if (!IsPresetMessage(first, kPresetHeaderLength, {PRESET_DUMP_CLOSED_HEADER, PRESET_DUMP_OPEN_HEADER}))
        return {kUploadPreset, LoadResourceString(kBadHeaderString)};
    long payload = 0;
    for (std::size_t i = 1; i < blocks.size(); ++i) {
        const std::span<const std::uint8_t> b = blocks[i] ? blocks[i]->Bytes() : std::span<const std::uint8_t>();
        if (!IsPresetMessage(b, kPacketMinLength, {PRESET_DUMP_CLOSED_DATA, PRESET_DUMP_OPEN_DATA}))
            return {kUploadPreset, LoadResourceString(kBadDataBlockString)};
        payload += long(b.size() - kPacketMinLength);
    }
    const long announced = PresetHeaderByteCount(first);
    if (payload != announced)
        return {kUploadPreset,
                Format(u"%d data bytes in the dump where its header announces %d", int(payload), int(announced))};
    return {};
}

bool PresetTransfer::UploadPreset(bool renumber, int preset, int layer, ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Uploading Preset/Layer %s %s (%d)", m_data.GetSimmName(0), Format(u"%d:%03d", preset / 128, preset % 128),
         layer);
    if (!m_link.ReadyToSend(QStringLiteral("Proteus::UploadPreset")) || blocks.empty())
        return false;
    if (m_link.GetDeviceId() < 0 || m_link.GetDeviceId() > 0x7F)
        return false;

    // Everything is checked before the first byte goes out, so a damaged dump
    // leaves the module as it was.
    if (const DumpProblem problem = CheckPresetUpload(blocks, renumber))
        return DumpFiles(m_link).ReportDumpFailure(problem.operation, problem.reason);
    const std::span<const std::uint8_t> first = blocks.front()->Bytes();
    const std::uint8_t sub = first[kPresetSubCodeOffset];
    const bool whole = sub == PRESET_DUMP_CLOSED_HEADER || sub == PRESET_DUMP_OPEN_HEADER;
    if (renumber && !SysExValue14::Fits(preset))
        return DumpFiles(m_link).ReportDumpFailure(kUploadPreset, Format(u"preset number %d out of range", preset));

    if (renumber) {
        std::vector<std::uint8_t> b(first.begin(), first.end());
        if (whole) {
            Put14(b, kPresetNumberOffset, preset);
            Put14(b, kPresetRenumberFieldOffset, 0);
        } else {
            Put14(b, kPresetNumberOffset, preset);
            if (sub >= 0x20) {
                if (layer == -1) {
                    const std::optional<int> chosen =
                        ChooseLayer(Services().chooseLayer, QStringLiteral("Choose Layer"));
                    if (!chosen)
                        return false;
                    layer = *chosen;
                }
                if (!SysExValue14::Fits(layer))
                    return DumpFiles(m_link).ReportDumpFailure(kUploadPreset, Format(u"layer number %d out of range", layer));
                Put14(b, 9, layer);
            }
        }
        blocks.front() = MakeByteBlock(QByteArrayView(b.data(), qsizetype(b.size())));
    }

    if (!whole)
        return UploadShortPreset(preset, layer, blocks.front());

    auto abandon = [&](const QString& reason) {
        // The module would otherwise wait for a message that never comes.
        DumpHandshake(m_link).SendHandshake(HANDSHAKE_CANCEL);
        return DumpFiles(m_link).ReportDumpFailure(kUploadPreset, reason);
    };
    const std::vector<std::uint8_t> header = ModuleMessagePrefix(m_link.GetDeviceId());
    ModuleLink::KeepEveryReply keep(&m_link); // a WAIT and the ACK behind it may come together
    int naks = 0;
    for (std::size_t current = 0; current < blocks.size();) {
        // Open-loop sub-codes become closed-loop ones, and the message carries this module's id.
        std::vector<std::uint8_t> b(blocks[current]->Bytes().begin(), blocks[current]->Bytes().end());
        if (current == 0 && b[kPresetSubCodeOffset] == PRESET_DUMP_OPEN_HEADER)
            b[kPresetSubCodeOffset] = PRESET_DUMP_CLOSED_HEADER;
        if (current > 0 && b[kPresetSubCodeOffset] == PRESET_DUMP_OPEN_DATA)
            b[kPresetSubCodeOffset] = PRESET_DUMP_CLOSED_DATA;
        b[kSysExDeviceIdOffset] = std::uint8_t(m_link.GetDeviceId());
        if (!std::equal(b.begin(), b.end(), blocks[current]->Bytes().begin(), blocks[current]->Bytes().end()))
            blocks[current] = MakeByteBlock(QByteArrayView(b.data(), qsizetype(b.size())));

        if (!m_link.SendSysEx(b))
            return abandon(QStringLiteral("failed to send block"));
        TLOG(kLogBlockDetail, u"Preset %s block sent", current == 0 ? u"header" : u"data");

        int code = -1;
        for (;;) {
            const ReplyResult result =
                m_link.AwaitReply(b, {CMD_PRESET_DUMP_REQUEST, header, kReplyCapacity, {}, true});
            if (!result.Answered())
                return abandon(QStringLiteral("failed to wait for response"));
            if (!result.Replied())
                return abandon(QStringLiteral("failed to receive a valid response"));
            const std::vector<std::uint8_t>& reply = result.bytes;
            std::vector<std::uint8_t> message(header);
            const auto end = std::find(reply.begin(), reply.end(), SYSEX_END);
            message.insert(message.end(), reply.begin(), end == reply.end() ? end : end + 1);
            TLOG(kLogBlockDetail, u"Response byte 0x%x received", reply.empty() ? -1 : int(reply[0]));
            code = DumpHandshake(m_link).ParseHandshake(message, m_link.GetDeviceId());
            if (code != HANDSHAKE_WAIT)
                break;
        }

        switch (code) {
        case HANDSHAKE_CANCEL:
            return DumpFiles(m_link).ReportDumpFailure(kUploadPreset, QStringLiteral("module cancelled upload"));
        case HANDSHAKE_NAK:
            if (++naks > kMaxNaks)
                return abandon(QStringLiteral("module NAkd more than three times on a single block"));
            break; // the same message again
        case HANDSHAKE_ACK:
            naks = 0;
            ++current;
            break;
        default:
            // No handshake (an echo, a stray message): counted with the NAKs.
            if (++naks > kMaxNaks)
                return abandon(QStringLiteral("module answered a block with no handshake"));
            break; // the same message again
        }
    }
    if (!DumpHandshake(m_link).SendHandshake(HANDSHAKE_EOF))
        return DumpFiles(m_link).ReportDumpFailure(kUploadPreset, QStringLiteral("Failed to send EOF"));
    TLOG(kLogPortDetail, u"Sent EOF");
    return true;
}

bool PresetTransfer::UploadShortPreset(int preset, int layer, TPtr<_ByteBlock> block)
{
    TLOG(kLogFlow, u"%s(%d, %d)", u"Proteus::UploadShortPreset", preset, layer);
    if (!m_link.ReadyToSend(QStringLiteral("Proteus::UploadShortPreset")))
        return false;
    if (!block || m_link.GetDeviceId() < 0 || m_link.GetDeviceId() > 0x7F)
        return false;
    const std::span<const std::uint8_t> first = block->Bytes();
    if (first.size() < 7 || !HasModulePrefix(first) || !IsWholeMessage(first)
        || first[kSysExCommandOffset] != CMD_PRESET_DUMP)
        return false;
    std::vector<std::uint8_t> b(first.begin(), first.end());
    b[kSysExDeviceIdOffset] = std::uint8_t(m_link.GetDeviceId());
    if (!m_link.SendSysEx(b)) {
        TLOG(kLogError, u"Failed to send upload Preset");
        return false;
    }
    return true;
}
