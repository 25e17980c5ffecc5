// The device scan: which Proteus-family modules share the port, and what tells
// them apart (model, firmware revision, ROM SIMMs). CopySetup uses it to find
// the connected module again after a setup moved it to another device id.
#include "connection/Proteus.h"

#include "core/Codepage.h"
#include "core/Logger.h"
#include "core/MainWindowRepaint.h"
#include "midi/WaitGuard.h"
#include "module/ReplyBytes.h"
#include "platform/Clock.h"

#include <array>
#include <cstdlib>

namespace {

// MIDI Universal Device Inquiry: F0 7E 7F 06 01 F7 to every device, answered by
// F0 7E id 06 02 maker family(2) member(2) revision(4) F7.
constexpr std::uint8_t kAllDevices = 0x7F;
constexpr std::size_t kIdentityMakerAt = 5;
constexpr std::size_t kIdentityFamilyAt = 6;
constexpr std::size_t kIdentityMemberAt = 8;
constexpr std::size_t kIdentityRevisionAt = 10;
constexpr std::size_t kIdentityRevisionLength = 4;
constexpr std::size_t kIdentityNeeded = kIdentityRevisionAt + kIdentityRevisionLength;
constexpr int kProteusFamily = 516;

// The hardware configuration reply after its header F0 18 0F id 55 09: one
// unused byte, the user preset count (2), the ROM SIMM count n, the record length
// L, then n records of L bytes that begin with the SIMM id (2).
constexpr unsigned kSignatureCapacity = 256;
constexpr std::size_t kConfigCountAt = 3;
constexpr std::size_t kConfigRecordLengthAt = 4;
constexpr std::size_t kConfigRecordsAt = 5;
constexpr std::size_t kSimmIdLength = 2;

// Sets a flag for its lifetime.
class FlagScope {
public:
    explicit FlagScope(bool& flag) : m_flag(flag) { m_flag = true; }
    ~FlagScope() { m_flag = false; }
    FlagScope(const FlagScope&) = delete;
    FlagScope& operator=(const FlagScope&) = delete;

private:
    bool& m_flag;
};

// Gives a variable another value for its lifetime.
template <class T>
class ValueScope {
public:
    ValueScope(T& variable, T value) : m_variable(variable), m_saved(variable) { m_variable = value; }
    ~ValueScope() { m_variable = m_saved; }
    ValueScope(const ValueScope&) = delete;
    ValueScope& operator=(const ValueScope&) = delete;

private:
    T& m_variable;
    T m_saved;
};

} // namespace

bool Proteus::ScanDevices(std::vector<std::pair<int, ScannedDevice>>& devices, bool& duplicate)
{
    TLOG(kLogFlow, u"%s()", u"Proteus::ScanDevices");
    devices.clear();
    duplicate = false;
    m_scannedDevices.clear();
    m_scanReplyBroken = false;
    if (!ReadyToSend(QStringLiteral("Proteus::ScanDevices")))
        return false;

    {
        // Every way out of the collection ends the scan mode, so that later
        // replies are matched as usual again.
        FlagScope scanning(m_scanMode);
        if (!SendSysEx(IdentityRequest(kAllDevices))) {
            TLOG(kLogError, u"Failed to send Broadcast Device Enquiry");
            return false;
        }
        // Nobody says how many modules will answer: the collection always
        // lasts the whole response time-out.
        WaitGuard guard(QStringLiteral("Proteus::ScanDevices"));
        if (!guard)
            return false;
        platform::Clock& clock = GetPortServices().Clock();
        const std::int64_t start = clock.NowMs();
        const std::int64_t timeout = GetTimeout();
        for (;;) {
            if (!PumpMessages()) {
                TLOG(kLogFlow, u"%s - The port closed while replies were collected", u"Proteus::ScanDevices");
                return false;
            }
            guard.KeepAlive();
            NotifyWaiting();
            GetPortServices().RepaintMainWindow();
            if (std::llabs(clock.NowMs() - start) > timeout)
                break;
        }
    }

    // A module whose identity reply was cut short was there but cannot be
    // told apart: the scan cannot say for certain what is on the port.
    if (m_scanReplyBroken)
        return false;

    for (auto it = m_scannedDevices.begin(); it != m_scannedDevices.end(); ++it) {
        if (m_scannedDevices.count(it->first) > 1) {
            TLOG(kLogError, u"Several devices answered with device id %d", it->first);
            duplicate = true;
            return true;
        }
    }
    for (auto& [deviceId, device] : m_scannedDevices)
        if (!RequestScannedSignature(deviceId, device))
            return false;
    devices.assign(m_scannedDevices.begin(), m_scannedDevices.end());
    return true;
}

bool Proteus::RequestScannedSignature(int deviceId, ScannedDevice& device)
{
    // The module is asked under its own device id, and its module errors are
    // recognised by that id too, for the length of this exchange.
    ValueScope<int> askedId(m_deviceId, deviceId);
    const ReplyResult result =
        Exchange(ModuleSysExMessage(deviceId, CMD_HARDWARE_CONFIG_REQUEST),
                 {CMD_HARDWARE_CONFIG_REQUEST, ModuleReplyHeader(deviceId, CMD_HARDWARE_CONFIG), kSignatureCapacity});
    if (result.NotSent()) {
        TLOG(kLogError, u"Failed to send Hardware Configuration Request for Signature");
        return false;
    }
    if (!result.Answered()) {
        TLOG(kLogError, u"No response to Hardware Configuration Request for Signature");
        return false;
    }
    if (!result.Replied()) {
        TLOG(kLogNotice, u"Error received for Hardware Configuration Enquiry for Signature");
        return false;
    }

    const std::uint8_t* reply = result.Data();
    const unsigned data = ReplyDataBytes(reply, result.Size());
    auto shortReply = [&](std::size_t needed) {
        TLOG(kLogError, u"Short reply to Hardware Configuration Request for Signature from device %d: %u data bytes where %u are needed",
             deviceId, data, unsigned(needed));
        return false;
    };
    if (data < kConfigRecordsAt)
        return shortReply(kConfigRecordsAt);
    const int count = reply[kConfigCountAt];
    const std::size_t recordLength = reply[kConfigRecordLengthAt];
    if (count > 0 && recordLength < kSimmIdLength) {
        TLOG(kLogError, u"Hardware Configuration Request for Signature from device %d: SIMM records of %d bytes hold no SIMM id",
             deviceId, int(recordLength));
        return false;
    }
    std::vector<int> simmIds;
    for (int i = 0; i < count; ++i) {
        const std::size_t at = kConfigRecordsAt + std::size_t(i) * recordLength;
        // Records beyond what a wait keeps are not read; one the reply
        // promised but did not carry makes it short.
        if (at + kSimmIdLength > kSignatureCapacity)
            break;
        if (at + kSimmIdLength > data)
            return shortReply(at + kSimmIdLength);
        simmIds.push_back(SysExValue14::Decode(reply[at], reply[at + 1]));
    }
    simmIds.push_back(0); // the user bank, as in the connected module's signature
    device.simmIds = std::move(simmIds);
    return true;
}

const std::uint8_t* Proteus::OnScanReply(const std::uint8_t* message, const std::uint8_t* end)
{
    const int length = GetMessageLength(message, end);
    if (length <= 0)
        return end;
    const std::size_t n = std::size_t(length);
    TraceMessage(u"Proteus::OnScanReply", message, n);
    const std::uint8_t* next = message + n;

    if (n < kIdentityHeaderLength || message[0] != SYSEX_START || message[1] != kUniversalNonRealTime
        || message[3] != kGeneralInformation || message[4] != kIdentityReply || message[2] > 0x7F)
        return next;
    const int deviceId = message[2];
    // Only the fields the reply carries as data bytes can be read; each of
    // them must be an E-mu Proteus module's before its length matters.
    const unsigned data = 1 + ReplyDataBytes(message + 1, unsigned(n - 1));
    if (data > kIdentityMakerAt && message[kIdentityMakerAt] != EMU_MANUFACTURER_ID)
        return next;
    if (data >= kIdentityFamilyAt + 2
        && SysExValue14::Decode(message[kIdentityFamilyAt], message[kIdentityFamilyAt + 1]) != kProteusFamily)
        return next;
    if (data < kIdentityNeeded) {
        TLOG(kLogError, u"Short identity reply from device %d: %u data bytes where %u are needed", deviceId, data,
             unsigned(kIdentityNeeded));
        m_scanReplyBroken = true;
        return next;
    }
    ScannedDevice device;
    device.familyMember = SysExValue14::Decode(message[kIdentityMemberAt], message[kIdentityMemberAt + 1]);
    device.revision = AnsiToWide(message + kIdentityRevisionAt, kIdentityRevisionLength);
    TLOG(kLogFlow, u"%s - Found device %d (model %d, revision %s)", u"Proteus::OnScanReply", deviceId, device.familyMember,
         device.revision);
    m_scannedDevices.emplace(deviceId, std::move(device));
    return next;
}

bool Proteus::GetDeviceSignature(ScannedDevice& signature) const
{
    signature.familyMember = hardwareConfig.familyMember;
    signature.revision = hardwareConfig.GetRevision();
    signature.simmIds.clear();
    for (const SimmSlot& slot : hardwareConfig.GetSimms())
        signature.simmIds.push_back(slot.simmId);
    return true;
}
