// Proteus: closing the port pair, and the two requests that tell who the
// module is (the MIDI identity) and which ROM SIMMs it carries (the hardware
// configuration).
#include "connection/Proteus.h"

#include "core/Codepage.h"
#include "core/Logger.h"
#include "module/ReplyBytes.h"
#include "platform/Clock.h"

#include <algorithm>
#include <cstdlib>

namespace {

// How long ClosePort lets the disconnect notification come.
constexpr std::int64_t kCloseWaitMs = 499;

// What follows the identity reply's header: maker, family(2), member(2), revision(4).
constexpr unsigned kIdentityLength = 9;

// The hardware configuration reply after F0 18 0F dd 55 09: one unused byte,
// the user preset count (2), the ROM SIMM count n, the record length L, then
// n records of L bytes: SIMM id (2), presets (2), instruments (2), more.
constexpr unsigned kHardwareCapacity = 29;
constexpr unsigned kHardwareFixedLength = 5;
constexpr unsigned kSimmRecordMinimum = 6;

} // namespace

bool Proteus::ClosePort()
{
    TLOG(kLogPortDetail, u"%s()", u"Proteus::ClosePort");
    MidiPort::ClosePort();
    // Let the disconnect notification run the disconnect before returning, but
    // do not hang when it never comes.
    platform::Clock& clock = GetPortServices().Clock();
    const std::int64_t start = clock.NowMs();
    while (IsConnected() && std::llabs(clock.NowMs() - start) <= kCloseWaitMs) {
        if (!PumpMessages())
            break;
    }
    return true;
}

bool Proteus::GetDeviceDetails(int& maker, int& family, int& member, QString& revision)
{
    TLOG(kLogFlow, u"%s()", u"Proteus::GetDeviceDetails");
    maker = 0;
    family = 0;
    member = 0;
    revision.clear();
    if (!ReadyToSend(QStringLiteral("Proteus::GetDeviceDetails")))
        return false;

    // A device id outside 0 ... 127 makes the message invalid, and it is refused.
    const ReplyResult result =
        Exchange(IdentityRequest(GetDeviceId()), {kIdentityCommandId, IdentityReplyHeader(GetDeviceId()), kIdentityLength});
    if (result.NotSent()) {
        TLOG(kLogError, u"Failed to send Device Enquiry");
        return false;
    }
    if (!result.Answered()) {
        TLOG(kLogError, u"No response to send Device Enquiry");
        return false;
    }
    // A reply that ends early would have its F7 read as a revision character.
    if (!result.Replied() || ReplyDataBytes(result.Data(), result.Size()) < kIdentityLength) {
        TLOG(kLogNotice, u"Error received for Device Enquiry");
        return false;
    }
    const std::uint8_t* reply = result.Data();
    maker = reply[0];
    family = SysExValue14::Decode(reply[1], reply[2]);
    member = SysExValue14::Decode(reply[3], reply[4]);
    revision = AnsiToWide(reply + 5, 4);
    return true;
}

bool Proteus::GetHardwareConfiguration(int& count, std::array<SimmSlot, HardwareConfig::kMaxSimms>& simmSlots)
{
    TLOG(kLogFlow, u"%s()", u"Proteus::GetHardwareConfiguration");
    count = 0;
    if (!ReadyToSend(QStringLiteral("Proteus::GetHardwareConfiguration")))
        return false;

    const ReplyResult result =
        Exchange(ModuleSysExMessage(GetDeviceId(), CMD_HARDWARE_CONFIG_REQUEST),
                 {CMD_HARDWARE_CONFIG_REQUEST, ModuleReplyHeader(GetDeviceId(), CMD_HARDWARE_CONFIG), kHardwareCapacity});
    if (result.NotSent()) {
        TLOG(kLogError, u"Failed to send Hardware Configuration Request");
        return false;
    }
    if (!result.Answered()) {
        TLOG(kLogError, u"No response to Hardware Configuration Request");
        return false;
    }
    const bool ok = result.Replied();
    const std::uint8_t* reply = result.Data();

    // Only what lies inside the kept bytes is read. Records the 29 bytes cut
    // off are left out; a reply that ends before its own records is broken.
    const unsigned data = ok ? ReplyDataBytes(reply, result.Size()) : 0;
    const int simms = data >= kHardwareFixedLength ? reply[3] : 0;
    const unsigned recordLength = data >= kHardwareFixedLength ? reply[4] : 0;
    const bool recordsReadable = simms == 0 || recordLength >= kSimmRecordMinimum;
    const int whole = recordsReadable && simms > 0 ? int((data - kHardwareFixedLength) / recordLength) : 0;
    const bool cutByCapacity = data == kHardwareCapacity;
    if (!ok || data < kHardwareFixedLength || !recordsReadable || (whole < simms && !cutByCapacity)) {
        if (ok)
            TLOG(kLogFlow, u"%s - reply of %d data bytes does not hold %d SIMM records of %d bytes",
                 u"Proteus::GetHardwareConfiguration", data, simms, recordLength);
        TLOG(kLogNotice, u"Error received for Hardware Configuration Enquiry");
        return false;
    }

    simmSlots.fill(SimmSlot{});
    const int roms = std::min({simms, whole, HardwareConfig::kMaxSimms - 1});
    for (int i = 0; i < roms; ++i) {
        const std::uint8_t* record = reply + kHardwareFixedLength + std::size_t(i) * recordLength;
        SimmSlot& slot = simmSlots[std::size_t(i)];
        slot.simmId = SysExValue14::Decode(record[0], record[1]);
        slot.presets = SysExValue14::Decode(record[2], record[3]);
        slot.instruments = SysExValue14::Decode(record[4], record[5]);
    }
    SimmSlot& user = simmSlots[std::size_t(roms)];
    user.simmId = 0;
    user.presets = SysExValue14::Decode(reply[1], reply[2]);
    count = roms + 1;
    return true;
}
