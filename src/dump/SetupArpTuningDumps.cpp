// Proteus: the setup, arp and tuning dumps, one message each way.
//
//   setup   F0 18 0F dd 55 1D F7                 -> F0 18 0F dd 55 1C ... F7 (SetupDumpLayout)
//   arp     F0 18 0F dd 55 19 arp(2) simm(2) F7  -> F0 18 0F dd 55 18 arp(2) A(2) B(2) x(2)
//                                                    name(12) A*B values field(2) F7
//   tuning  F0 7E dd 08 00 tt F7                 -> F0 7E dd 08 01 tt name(16) 128 x 3 cs F7 (408)
#include "core/Format.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "dump/DumpFiles.h"
#include "dump/SetupArpTuningDumps.h"
#include "dump/SetupBuffer.h"
#include "dump/SetupDumpLayout.h"
#include "platform/Clock.h"

#include <algorithm>
#include <functional>

namespace {

// The most a single-message dump reply may hold after its header.
constexpr unsigned kDumpReplyCapacity = 4096;

constexpr std::size_t kArpNumberOffset = 6;
constexpr std::size_t kArpStepsOffset = 8;
constexpr std::size_t kArpValuesPerStepOffset = 10;
constexpr std::size_t kArpTableOffset = 26;
// The table may be empty, the field after it and the F7 must be there.
constexpr std::size_t kArpMinimumLength = kArpTableOffset + 3;

constexpr std::size_t kTuningDumpLength = 408;
constexpr std::size_t kTuningDeviceIdOffset = 2;
constexpr std::size_t kTuningNumberOffset = 5;
constexpr std::uint8_t kMidiTuningStandard = 0x08;
constexpr std::uint8_t kBulkDumpRequest = 0x00;
constexpr std::uint8_t kBulkDump = 0x01;
// The checksum byte every uploaded tuning carries: modules take 7F as "not checked".
constexpr std::uint8_t kUncheckedChecksum = 0x7F;

constexpr std::size_t kStringFileNotADump = 258;

const QString kDumpSetup = QStringLiteral("dump setup");
const QString kDumpArp = QStringLiteral("dump arp");
const QString kDumpTuning = QStringLiteral("dump tuning");
const QString kReadingSysEx = QStringLiteral("reading sysex data");
const QString kUploadFile = QStringLiteral("upload sysex dump file");

bool IsModuleMessage(std::span<const std::uint8_t> m, std::uint8_t command)
{
    return m.size() > kSysExCommandOffset && m[0] == SYSEX_START && m[1] == EMU_MANUFACTURER_ID
        && m[2] == PROTEUS_PRODUCT_ID && m[4] == EDITOR_DESIGNATOR && m[kSysExCommandOffset] == command;
}

bool IsTuningDumpStart(std::span<const std::uint8_t> m)
{
    return m.size() > kTuningNumberOffset && m[0] == SYSEX_START && m[1] == kUniversalNonRealTime
        && m[3] == kMidiTuningStandard && m[4] == kBulkDump;
}

// Empty when the arp dump holds together (its table and the field after it end
// before the F7); else why not. *field gets the field's offset.
QString CheckArpDump(std::span<const std::uint8_t> m, std::size_t* field = nullptr)
{
    if (m.size() < kArpMinimumLength || m.back() != SYSEX_END)
        return QStringLiteral("an arp dump shorter than its header");
    const int steps = ReadSetupValue(m, kArpStepsOffset);
    const int perStep = ReadSetupValue(m, kArpValuesPerStepOffset);
    if (steps < 0 || perStep < 0)
        return QStringLiteral("an arp dump with a negative count");
    const std::int64_t at = std::int64_t(kArpTableOffset) + 2 * std::int64_t(steps) * perStep;
    if (at + 2 > std::int64_t(m.size()) - 1)
        return QStringLiteral("an arp dump shorter than its step counts");
    if (field)
        *field = std::size_t(at);
    return {};
}

QString CheckTuningDump(std::span<const std::uint8_t> m)
{
    if (!IsTuningDumpStart(m) || m.size() != kTuningDumpLength || m.back() != SYSEX_END)
        return Format(u"a tuning dump of %d bytes instead of %d", int(m.size()), int(kTuningDumpLength));
    return {};
}

QString CheckSetupDump(std::span<const std::uint8_t> m)
{
    const SetupDumpLayout layout = SetupDumpLayout::Parse(m);
    return layout.IsValid() ? QString() : QString::fromUtf16(SetupDumpLayout::Describe(layout.problem));
}

// A 14-bit number into two bytes of a copy of a block.
void Put14(QByteArray& bytes, std::size_t at, int value)
{
    std::uint8_t two[2] = {0x7F, 0x7F};
    SysExValue14::Encode(value, two);
    bytes[qsizetype(at)] = char(two[0]);
    bytes[qsizetype(at + 1)] = char(two[1]);
}

struct DownloadTexts {
    const QString& operation;     // sending, and a reply that does not hold together
    const QString& sendReason;
    const QString& waitOperation; // no reply
    const QString& errorReason;   // a module error for the request
};

// Sends request, waits for the reply that starts with header and appends it
// (header and all, through its F7) to blocks once check finds nothing wrong.
bool DownloadOne(ModuleLink& p, const SysExMessage& request, int commandId, const std::vector<std::uint8_t>& header,
                 const DownloadTexts& texts, const std::function<QString(std::span<const std::uint8_t>)>& check,
                 ByteBlockList& blocks)
{
    const ReplyResult result = p.Exchange(request, {commandId, header, kDumpReplyCapacity});
    if (result.NotSent())
        return DumpFiles(p).ReportDumpFailure(texts.operation, texts.sendReason);
    // Silence or an error reply is the module declining the dump; anything
    // else that is not the reply is a failure.
    DumpFiles files(p);
    const auto report = result.Declined() ? &DumpFiles::ReportDeclinedDump : &DumpFiles::ReportDumpFailure;
    if (!result.Answered())
        return (files.*report)(texts.waitOperation, QStringLiteral("failed to get dump request response"));
    if (!result.Replied())
        return (files.*report)(kReadingSysEx, texts.errorReason);

    // The message ends at its first F7; a reply without one was cut short (or
    // was longer than the module may send) and is no dump.
    const std::vector<std::uint8_t>& reply = result.bytes;
    const auto end = std::find(reply.begin(), reply.end(), SYSEX_END);
    if (end == reply.end())
        return DumpFiles(p).ReportDumpFailure(texts.operation, QStringLiteral("an incomplete dump"));
    std::vector<std::uint8_t> message(header);
    message.insert(message.end(), reply.begin(), end + 1);
    if (const QString problem = check(message); !problem.isEmpty())
        return DumpFiles(p).ReportDumpFailure(texts.operation, problem);
    blocks.push_back(MakeByteBlock(QByteArrayView(message.data(), qsizetype(message.size()))));
    return true;
}

} // namespace

bool SetupArpTuningDumps::SendDumpBlock(const _ByteBlock& block)
{
    // Checked before it goes: a byte of 0x80 or more between F0 and F7 (a
    // damaged file, a device id outside 0 ... 127) is refused instead of
    // splitting the message on the wire.
    const std::span<const std::uint8_t> bytes = block.Bytes();
    if (bytes.size() < 2 || bytes.front() != SYSEX_START || bytes.back() != SYSEX_END)
        return false;
    return m_link.SendSysEx(bytes);
}

// ---- What the uploads check before they send ----------------------------------------------

namespace {

QString OneMessageProblem(const ByteBlockList& blocks, const char16_t* what)
{
    if (blocks.size() != 1 || !blocks.front())
        return Format(u"%d messages where %s has one", int(blocks.size()), what);
    return {};
}

} // namespace

DumpProblem SetupArpTuningDumps::CheckSetupUpload(const ByteBlockList& blocks)
{
    if (QString problem = OneMessageProblem(blocks, u"a setup dump"); !problem.isEmpty())
        return {kDumpSetup, problem};
    const std::span<const std::uint8_t> dump = blocks.front()->Bytes();
    if (!IsModuleMessage(dump, CMD_SETUP_DUMP))
        return {kUploadFile, LoadResourceString(kStringFileNotADump)};
    if (QString problem = CheckSetupDump(dump); !problem.isEmpty())
        return {kDumpSetup, problem};
    return {};
}

DumpProblem SetupArpTuningDumps::CheckArpUpload(const ByteBlockList& blocks)
{
    if (QString problem = OneMessageProblem(blocks, u"an arp dump"); !problem.isEmpty())
        return {kUploadFile, problem};
    const std::span<const std::uint8_t> dump = blocks.front()->Bytes();
    if (!IsModuleMessage(dump, CMD_ARP_DUMP))
        return {kUploadFile, LoadResourceString(kStringFileNotADump)};
    if (QString problem = CheckArpDump(dump); !problem.isEmpty())
        return {kUploadFile, problem};
    return {};
}

DumpProblem SetupArpTuningDumps::CheckTuningUpload(const ByteBlockList& blocks)
{
    if (QString problem = OneMessageProblem(blocks, u"a tuning dump"); !problem.isEmpty())
        return {kDumpTuning, problem};
    if (QString problem = CheckTuningDump(blocks.front()->Bytes()); !problem.isEmpty())
        return {kDumpTuning, problem};
    return {};
}

// ---- Setup ------------------------------------------------------------------------------

bool SetupArpTuningDumps::DownloadSetup(ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Downloading Setup");
    if (!m_link.HasCapability(CAP_SETUP_DUMPS) || !m_link.ReadyToSend(QStringLiteral("Proteus::DownloadSetup")))
        return false;
    const ModuleSysExMessage request(m_link.GetDeviceId(), CMD_SETUP_DUMP_REQUEST);
    // The header names the reply's command: a module error carries the same
    // first five bytes and must never be taken for the dump.
    const std::vector<std::uint8_t> header = ModuleReplyHeader(m_link.GetDeviceId(), CMD_SETUP_DUMP);
    const DownloadTexts texts{kDumpSetup, QStringLiteral("failed to send initial dump request"), kDumpSetup,
                              QStringLiteral("Failed to recive the incoming dump")};
    return DownloadOne(*&m_link, request, CMD_SETUP_DUMP_REQUEST, header, texts, CheckSetupDump, blocks);
}

bool SetupArpTuningDumps::UploadSetup(ByteBlockList& blocks, bool writeDeviceId)
{
    TLOG(kLogOperation, u"Uploading Setup");
    if (!m_link.HasCapability(CAP_SETUP_DUMPS) || !m_link.ReadyToSend(QStringLiteral("Proteus::UploadSetup")))
        return false;
    // A list that is no setup dump at all is refused without a message.
    if (blocks.size() != 1 || !blocks.front() || !IsModuleMessage(blocks.front()->Bytes(), CMD_SETUP_DUMP))
        return false;
    if (const DumpProblem problem = CheckSetupUpload(blocks))
        return DumpFiles(m_link).ReportDumpFailure(problem.operation, problem.reason);
    const std::span<const std::uint8_t> dump = blocks.front()->Bytes();
    const SetupDumpLayout layout = SetupDumpLayout::Parse(dump);

    QByteArray bytes = blocks.front()->ToByteArray();
    bytes[qsizetype(kSysExDeviceIdOffset)] = char(m_link.GetDeviceId());
    // The master device id lies where the section counts put it; the bytes of
    // a fixed place hold another master setting on most models.
    int adopt = -1;
    if (const std::optional<std::size_t> at = layout.DeviceIdOffset()) {
        if (writeDeviceId) {
            Put14(bytes, *at, m_link.GetDeviceId());
        } else {
            const int id = ReadSetupValue(dump, *at);
            if (id != m_link.GetDeviceId())
                adopt = id;
        }
    }
    TPtr<_ByteBlock> block = MakeByteBlock(bytes);
    if (!SendDumpBlock(*block))
        return DumpFiles(m_link).ReportDumpFailure(kDumpSetup, QStringLiteral("failed to send dump data"));
    // The caller's copy shows what was sent; a failed send leaves it as given.
    blocks.front() = block;
    // Only a module that got the dump has moved to its device id.
    if (adopt >= 0 && m_link.SetDeviceId(adopt))
        Services().Clock().SleepMs(m_link.GetTimeout());
    return true;
}

// ---- Arp --------------------------------------------------------------------------------

bool SetupArpTuningDumps::DownloadArp(int romId, int arp, ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Downloading Arp %s %s", m_data.GetSimmName(romId), Format(u"%d:%03d", romId, arp));
    if (!m_link.HasCapability(CAP_ARPS_AND_BEATS) || !m_link.ReadyToSend(QStringLiteral("Proteus::DownloadArp")))
        return false;
    ModuleSysExMessage request(m_link.GetDeviceId(), CMD_ARP_DUMP_REQUEST);
    request.AddValue14(arp).AddValue14(romId);
    const std::vector<std::uint8_t> header = ModuleReplyHeader(m_link.GetDeviceId(), CMD_ARP_DUMP);
    const QString sendReason = QStringLiteral("failed to send initial arp dump request");
    const QString errorReason = QStringLiteral("Failed to receive the incoming dump");
    const DownloadTexts texts{kDumpArp, sendReason, kDumpArp, errorReason};
    return DownloadOne(*&m_link, request, CMD_ARP_DUMP_REQUEST, header, texts,
                       [](std::span<const std::uint8_t> m) { return CheckArpDump(m); }, blocks);
}

bool SetupArpTuningDumps::UploadArp(int arp, ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Uploading Arp %s", Format(u"%d:%03d", 0, arp));
    if (!m_link.HasCapability(CAP_ARPS_AND_BEATS) || !m_link.ReadyToSend(QStringLiteral("Proteus::UploadArp")))
        return false;
    if (blocks.size() != 1 || !blocks.front())
        return false;
    if (const DumpProblem problem = CheckArpUpload(blocks))
        return DumpFiles(m_link).ReportDumpFailure(problem.operation, problem.reason);
    const std::span<const std::uint8_t> dump = blocks.front()->Bytes();
    std::size_t field = 0;
    CheckArpDump(dump, &field);
    if (!SysExValue14::Fits(arp)) {
        TLOG(kLogError, u"Failed to upload arp %d: the number does not fit a dump", arp);
        return false;
    }

    QByteArray bytes = blocks.front()->ToByteArray();
    Put14(bytes, kArpNumberOffset, arp);
    // A user arp comes from no SIMM.
    Put14(bytes, field, 0);
    bytes[qsizetype(kSysExDeviceIdOffset)] = char(m_link.GetDeviceId());
    TPtr<_ByteBlock> block = MakeByteBlock(bytes);
    if (!SendDumpBlock(*block))
        return DumpFiles(m_link).ReportDumpFailure(kDumpArp, QStringLiteral("failed to send arp data"));
    // The caller's copy shows what was sent; a failed send leaves it as given.
    blocks.front() = block;
    return true;
}

// ---- Tuning -----------------------------------------------------------------------------

bool SetupArpTuningDumps::DownloadTuning(int tuning, ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Downloading Setup");
    if (!m_link.HasCapability(CAP_TUNING_DUMPS) || !m_link.ReadyToSend(QStringLiteral("Proteus::DownloadTuning")))
        return false;
    SysExMessage request;
    request.AddByte(kUniversalNonRealTime).AddByte(m_link.GetDeviceId()).AddByte(kMidiTuningStandard)
        .AddByte(kBulkDumpRequest).AddByte(tuning);
    // The tuning number is part of the header: a dump of another tuning is not this one.
    const std::vector<std::uint8_t> header{SYSEX_START,        kUniversalNonRealTime, std::uint8_t(m_link.GetDeviceId()),
                                           kMidiTuningStandard, kBulkDump,             std::uint8_t(tuning)};
    const DownloadTexts texts{kDumpTuning, QStringLiteral("failed to send initial dump request"), kDumpTuning,
                              QStringLiteral("Failed to recive the incoming dump")};
    return DownloadOne(*&m_link, request, 0, header, texts, CheckTuningDump, blocks);
}

bool SetupArpTuningDumps::UploadTuning(int tuning, ByteBlockList& blocks)
{
    TLOG(kLogOperation, u"Uploading Tuning %d", tuning);
    if (!m_link.HasCapability(CAP_TUNING_DUMPS) || !m_link.ReadyToSend(QStringLiteral("Proteus::UploadTuning")))
        return false;
    if (blocks.size() != 1 || !blocks.front() || !IsTuningDumpStart(blocks.front()->Bytes()))
        return false;
    if (const DumpProblem problem = CheckTuningUpload(blocks))
        return DumpFiles(m_link).ReportDumpFailure(problem.operation, problem.reason);
    if (tuning < 0 || tuning > 0x7F) {
        TLOG(kLogError, u"Failed to upload tuning %d: not a tuning program", tuning);
        return false;
    }

    QByteArray bytes = blocks.front()->ToByteArray();
    bytes[qsizetype(kTuningDeviceIdOffset)] = char(m_link.GetDeviceId());
    bytes[qsizetype(kTuningNumberOffset)] = char(tuning);
    bytes[bytes.size() - 2] = char(kUncheckedChecksum);
    TPtr<_ByteBlock> block = MakeByteBlock(bytes);
    if (!SendDumpBlock(*block))
        return DumpFiles(m_link).ReportDumpFailure(kDumpTuning, QStringLiteral("failed to send tuning data"));
    // The caller's copy shows what was sent; a failed send leaves it as given.
    blocks.front() = block;
    return true;
}
