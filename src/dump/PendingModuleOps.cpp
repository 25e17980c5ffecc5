// A minimal stand-in for the module commands' name request, which is being
// built in its own area: one message, no special cases. It goes when that lands.
#include "core/Codepage.h"
#include "core/Logger.h"
#include "module/Proteus.h"

#include <array>

bool Proteus::GetObjectName(int kind, int romId, int index, bool& ok, QString& name)
{
    ok = false;
    name.clear();
    if (!ReadyToSend(QStringLiteral("Proteus::LowLevelNameRequest")))
        return false;
    ModuleSysExMessage m(GetDeviceId(), CMD_NAME_REQUEST);
    m.AddByte(std::uint8_t(kind & 0x7F)).AddValue14(index).AddValue14(romId);
    if (!SendSysEx(m))
        return false;
    const std::uint8_t header[] = {0xF0, 0x18, 0x0F, std::uint8_t(GetDeviceId()), 0x55, CMD_NAME};
    std::array<std::uint8_t, 21> reply{};
    bool answered = false;
    if (!WaitForResponse(CMD_NAME_REQUEST, m.Data(), unsigned(m.Length()), header, sizeof header, &answered,
                         reply.data(), unsigned(reply.size()), false))
        return false;
    if (!answered)
        return false;
    name = AnsiToWide(reply.data() + 5, 16);
    while (name.endsWith(u' '))
        name.chop(1);
    ok = true;
    return true;
}
