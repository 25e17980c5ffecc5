// Object names asked of the module: the name request for presets,
// instruments, arps, setups, demos and riffs, and the name of a ROM arp, which
// only its arp dump carries.
#include "connection/Proteus.h"

#include "core/Codepage.h"
#include "core/Logger.h"
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "core/TrimTrailingBlanks.h"
#include "module/ReplyBytes.h"

#include <array>
#include <vector>

namespace {

// Name reply after its header F0 18 0F dd 55 0B: kind, object(2), ROM id(2),
// 16 name characters, F7.
constexpr unsigned kNameReplyCapacity = 21;
constexpr std::size_t kNameAt = 5;
constexpr std::size_t kNameLength = 16;
// The reply repeats the kind, object and ROM id asked, as the request carries
// them after its command byte: only the reply for this object ends the wait.
constexpr std::size_t kNameKeyAt = 6;
constexpr std::size_t kNameKeyLength = 5;

// Arp dump after its header F0 18 0F dd 55 18: the name is bytes 14-25 of the
// whole message; the dump runs on far beyond it.
constexpr unsigned kArpDumpCapacity = 4096;
constexpr std::size_t kArpHeaderLength = 6;
constexpr std::size_t kArpNameAt = 14 - kArpHeaderLength;
constexpr std::size_t kArpNameLength = 12;

} // namespace

bool Proteus::GetObjectName(int kind, int romId, int index, bool& ok, QString& name)
{
    TLOG(kLogFlow, u"%s(%d, %d, %d)", u"Proteus::GetObjectName", kind, romId, index);
    // Only the arp dump carries a ROM arp's name.
    if (kind == OBJECT_ARP && romId != 0)
        return GetArpName(romId, index, ok, name);
    return LowLevelNameRequest(kind, romId, index, ok, name);
}

bool Proteus::LowLevelNameRequest(int kind, int romId, int index, bool& ok, QString& name)
{
    TLOG(kLogFlow, u"%s(%d, %d, %d)", u"Proteus::LowLevelNameRequest", kind, romId, index);
    name.clear();
    ok = false;
    if (!ReadyToSend(QStringLiteral("Proteus::LowLevelNameRequest")))
        return false;
    // Without a module (the user-interface test mode) every name counts as
    // answered, and stays empty.
    const bool testUI = GetGlobalConfigurations().GetBool(TestUI);
    auto fail = [&](const char16_t* text) {
        if (testUI)
            return true;
        if (!SuppressingWarnings())
            TLOG(kLogError, text, ObjectKindName(kind), romId, index);
        return false;
    };

    ModuleSysExMessage request(GetDeviceId(), CMD_NAME_REQUEST);
    request.AddByte(kind).AddValue14(index).AddValue14(romId);
    const std::span<const std::uint8_t> key(request.Data() + kNameKeyAt, kNameKeyLength);
    const ReplyResult result =
        Exchange(request, {CMD_NAME_REQUEST, ModuleReplyHeader(GetDeviceId(), CMD_NAME), kNameReplyCapacity, key});
    if (result.NotSent())
        return fail(u"Failed to send Name Request for %s SIMM %d Object %d");
    if (!result.Answered())
        return fail(u"No response for Name Request for %s SIMM %d Object %d");
    if (!result.Replied())
        return fail(u"Error received for Name Request for %s SIMM %d Object %d");
    const unsigned data = ReplyDataBytes(result.Data(), result.Size());
    if (data < kNameReplyCapacity) {
        if (!testUI && !SuppressingWarnings())
            TLOG(kLogError, u"Short reply to Name Request for %s SIMM %d Object %d: %u data bytes where %u are needed",
                 ObjectKindName(kind), romId, index, data, kNameReplyCapacity);
        return testUI;
    }
    name = TrimTrailingBlanks(AnsiToWide(result.Data() + kNameAt, kNameLength));
    ok = true;
    return true;
}

bool Proteus::GetArpName(int romId, int arp, bool& ok, QString& name)
{
    TLOG(kLogFlow, u"%s(%d, %d)", u"Proteus::GetArpName", romId, arp);
    name.clear();
    ok = false;
    if (!ReadyToSend(QStringLiteral("Proteus::GetArpName")))
        return false;
    ModuleSysExMessage request(GetDeviceId(), CMD_ARP_DUMP_REQUEST);
    request.AddValue14(arp).AddValue14(romId);
    const ReplyResult result =
        Exchange(request, {CMD_ARP_DUMP_REQUEST, ModuleReplyHeader(GetDeviceId(), CMD_ARP_DUMP), kArpDumpCapacity});
    if (result.NotSent()) {
        TLOG(kLogError, u"Failed to send Arp Name Request");
        return false;
    }
    if (!result.Answered()) {
        TLOG(kLogError, u"No response to Arp Name Request");
        return false;
    }
    if (!result.Replied()) {
        TLOG(kLogNotice, u"Error received for Arp Name Enquiry");
        return false;
    }
    const unsigned data = ReplyDataBytes(result.Data(), result.Size());
    if (data < kArpNameAt + kArpNameLength) {
        TLOG(kLogError, u"Short reply to Arp Name Request: %u data bytes where %u are needed", data,
             unsigned(kArpNameAt + kArpNameLength));
        return false;
    }
    name = TrimTrailingBlanks(AnsiToWide(result.Data() + kArpNameAt, kArpNameLength));
    ok = true;
    return true;
}
