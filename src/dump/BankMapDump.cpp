// Bank map dumps: the module's 256 bank entries in one message, raw (backup,
// capability probe) and decoded (the bank map dialog).

#include "core/Logger.h"
#include "dump/BankMapDump.h"
#include "dump/PresetDumpFormat.h"

#include <algorithm>

namespace {

constexpr unsigned kReplyCapacity = 4096;

/// Why a block is no bank map message (any device id); empty when it is one.
QString BankMapProblem(const _ByteBlock* block)
{
    if (!block)
        return QStringLiteral("an empty entry");
    const std::span<const std::uint8_t> b = block->Bytes();
    if (b.size() != kBankMapLength)
        return QStringLiteral("%1 bytes where a bank map has %2").arg(b.size()).arg(kBankMapLength);
    if (b[0] != SYSEX_START || b[1] != EMU_MANUFACTURER_ID || b[2] != PROTEUS_PRODUCT_ID || b[4] != EDITOR_DESIGNATOR
        || b[kSysExCommandOffset] != CMD_BANK_MAP_DUMP || b.back() != SYSEX_END)
        return QStringLiteral("not a bank map message");
    if (std::any_of(b.begin() + 1, b.end() - 1, [](std::uint8_t v) { return v >= 0x80; }))
        return QStringLiteral("a status byte inside the message");
    return {};
}

} // namespace

bool BankMapDump::DownloadBankMap(ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Downloading Bank Map");
    if (!m_link.ReadyToSend(QStringLiteral("Proteus::DownloadBankMap")))
        return false;
    const std::vector<std::uint8_t> header = ModuleReplyHeader(m_link.GetDeviceId(), CMD_BANK_MAP_DUMP);
    const ReplyResult result = m_link.Exchange(ModuleSysExMessage(m_link.GetDeviceId(), CMD_BANK_MAP_DUMP_REQUEST),
                                           {CMD_BANK_MAP_DUMP_REQUEST, header, kReplyCapacity});
    if (result.NotSent()) {
        TLOG(kLogError, u"Failed to send Bank Map Request");
        return false;
    }
    // Silence or an error reply while the capability probe asks is the
    // module saying it has no bank map to give: noted, not reported.
    const int level = m_link.SuppressingWarnings() && result.Declined() ? kLogInfo : kLogError;
    if (!result.Answered()) {
        TLOG(level, u"No response to Bank Map Request");
        return false;
    }
    if (!result.Replied()) {
        TLOG(level, u"Error received for Bank Map Request");
        return false;
    }
    const std::vector<std::uint8_t>& reply = result.bytes;
    const auto end = std::find(reply.begin(), reply.end(), SYSEX_END);
    TPtr<_ByteBlock> block = new _ByteBlock;
    block->Append(header.data(), unsigned(header.size()));
    if (end != reply.end())
        block->Append(reply.data(), unsigned(end - reply.begin()) + 1);
    if (const QString problem = BankMapProblem(block.get()); !problem.isEmpty()) {
        TLOG(kLogError, u"Bank map reply refused: %s", problem);
        return false;
    }
    blocks.push_back(block);
    return true;
}

DumpProblem BankMapDump::CheckBankMapUpload(const ByteBlockList& blocks)
{
    const QString operation = QStringLiteral("upload bank map");
    if (blocks.size() != 1)
        return {operation, QStringLiteral("%1 messages where a bank map has one").arg(blocks.size())};
    if (QString problem = BankMapProblem(blocks.front().get()); !problem.isEmpty())
        return {operation, problem};
    return {};
}

bool BankMapDump::UploadBankMap(ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Uploading Bank Map");
    m_state.lastUploadRefusal.clear();
    if (!m_link.ReadyToSend(QStringLiteral("Proteus::UploadBankMap"))) {
        m_state.lastUploadRefusal = QStringLiteral("the module is not ready");
        return false;
    }
    if (const DumpProblem problem = CheckBankMapUpload(blocks)) {
        TLOG(kLogError, u"Bank map upload refused: %s", problem.reason);
        m_state.lastUploadRefusal = problem.reason;
        return false;
    }
    // Sent with the current device id, like every other upload: a map saved
    // from a module under another id would otherwise be ignored by this one.
    // The caller's block keeps its bytes.
    std::vector<std::uint8_t> message(blocks.front()->Bytes().begin(), blocks.front()->Bytes().end());
    if (m_link.GetDeviceId() < 0 || m_link.GetDeviceId() > 0x7F) {
        TLOG(kLogError, u"Failed to send Bank Map Upload");
        m_state.lastUploadRefusal = QStringLiteral("the device id %1 does not fit a message").arg(m_link.GetDeviceId());
        return false;
    }
    message[kSysExDeviceIdOffset] = std::uint8_t(m_link.GetDeviceId());
    if (!m_link.SendSysEx(message)) {
        TLOG(kLogError, u"Failed to send Bank Map Upload");
        m_state.lastUploadRefusal = QStringLiteral("the message could not be sent");
        return false;
    }
    return true;
}

bool BankMapDump::GetBankMap(std::int16_t values[256])
{
    ByteBlockList blocks;
    if (!DownloadBankMap(blocks) || blocks.size() != 1)
        return false;
    const std::span<const std::uint8_t> b = blocks.front()->Bytes();
    if (b.size() != kBankMapLength)
        return false;
    for (std::size_t i = 0; i < kBankMapEntries; ++i) {
        const std::size_t at = kBankMapValuesOffset + 2 * i;
        values[i] = std::int16_t(SysExValue14::Decode(b[at], b[at + 1]));
    }
    return true;
}

bool BankMapDump::SetBankMap(const std::int16_t values[256])
{
    ModuleSysExMessage message(m_link.GetDeviceId(), CMD_BANK_MAP_DUMP);
    for (std::size_t i = 0; i < kBankMapEntries; ++i)
        message.AddValue14(values[i]);
    if (!message.IsValid()) {
        TLOG(kLogError, u"Bank map refused: %s", message.Error());
        return false;
    }
    ByteBlockList blocks{MakeByteBlock(QByteArrayView(message.Data(), qsizetype(message.Length())))};
    return UploadBankMap(blocks);
}
