// Minimal stand-ins for operations of the parameter protocol and the module
// commands that the caches need and that are being built in their own areas:
// one message each, no special cases. They go when those operations land.
#include "core/Codepage.h"
#include "core/Logger.h"
#include "module/Proteus.h"

#include <array>

namespace {

int Value14(const std::uint8_t* data)
{
    return SysExValue14::Decode(data[0], data[1]);
}

} // namespace

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

bool Proteus::ParameterRequestWithMinMaxNoCache(ParamRecord* record)
{
    if (record->id >= 9000)
        return true;
    if (!ReadyToSend(QStringLiteral("Proteus::LowLevelParameterMinMaxRequest")))
        return false;
    ModuleSysExMessage m(GetDeviceId(), CMD_PARAMETER_MINMAX_REQUEST);
    m.AddValue14(record->id);
    if (!SendSysEx(m))
        return false;
    const std::uint8_t header[] = {0xF0, 0x18, 0x0F, std::uint8_t(GetDeviceId()), 0x55, CMD_PARAMETER_MINMAX};
    std::array<std::uint8_t, 9> reply{};
    bool answered = false;
    if (!WaitForResponse(CMD_PARAMETER_MINMAX_REQUEST, m.Data(), unsigned(m.Length()), header, sizeof header,
                         &answered, reply.data(), unsigned(reply.size()), false)
        || !answered)
        return false;
    record->minimum = Value14(&reply[2]);
    record->maximum = Value14(&reply[4]);
    record->defaultValue = Value14(&reply[6]);
    record->readOnly = reply[8] == 1;
    return true;
}

bool Proteus::ParameterRequest(ParamRecord* record)
{
    if (record->id > 8999)
        return true;
    if (!ReadyToSend(QStringLiteral("Proteus::LowLevelParameterRequest")))
        return false;
    ModuleSysExMessage m(GetDeviceId(), CMD_PARAMETER_REQUEST);
    m.AddByte(1).AddValue14(record->id);
    if (!SendSysEx(m))
        return false;
    const std::uint8_t header[] = {0xF0, 0x18, 0x0F, std::uint8_t(GetDeviceId()), 0x55, 0x01, 0x02};
    std::array<std::uint8_t, 4> reply{};
    bool answered = false;
    if (!WaitForResponse(CMD_PARAMETER_REQUEST, m.Data(), unsigned(m.Length()), header, sizeof header, &answered,
                         reply.data(), unsigned(reply.size()), false)
        || !answered)
        return false;
    record->previousValue = record->value;
    record->value = Value14(&reply[2]);
    return true;
}

int Proteus::GetRomIdParameter(const ParamRecord* record, QString& partnerName)
{
    struct Partner {
        int id;
        int partner;
        const char16_t* name;
    };
    static constexpr Partner kPartners[] = {
        {278, 277, u"MASTER_BEATS_RIFF_ROM_ID"}, {643, 660, u"MASTER_ARP_PATTERN_ROM_ID"},
        {928, 929, u"PRESET_RIFF_ROM_ID"},       {1027, 1042, u"PRESET_ARP_PATTERN_ROM_ID"},
        {1281, 1299, u"LINK_1_PRESET_ROM_ID"},   {1290, 1300, u"LINK_2_PRESET_ROM_ID"},
        {1409, 1439, u"LAYER_INST_ROM_ID"},
    };
    for (const Partner& p : kPartners) {
        if (p.id == record->id) {
            partnerName = QString::fromUtf16(p.name);
            return p.partner;
        }
    }
    partnerName = QStringLiteral("UNKNOWN_COMMAND");
    return -1;
}

bool Proteus::GetHardwareConfiguration(int& count, SimmSlot* simmSlots)
{
    count = 0;
    if (!ReadyToSend(QStringLiteral("Proteus::GetHardwareConfiguration")))
        return false;
    ModuleSysExMessage m(GetDeviceId(), CMD_HARDWARE_CONFIG_REQUEST);
    if (!SendSysEx(m))
        return false;
    const std::uint8_t header[] = {0xF0, 0x18, 0x0F, std::uint8_t(GetDeviceId()), 0x55, CMD_HARDWARE_CONFIG};
    std::array<std::uint8_t, 29> reply{};
    bool answered = false;
    unsigned received = 0;
    if (!WaitForResponse(CMD_HARDWARE_CONFIG_REQUEST, m.Data(), unsigned(m.Length()), header, sizeof header,
                         &answered, reply.data(), unsigned(reply.size()), false, &received)
        || !answered)
        return false;
    const int users = Value14(&reply[1]);
    const int simms = reply[3];
    const int length = reply[4];
    int n = 0;
    for (int i = 0; i < simms && n < HardwareConfig::kMaxSimms - 1 && length >= 6; ++i) {
        const unsigned at = 5 + unsigned(i * length);
        if (at + 6 > received)
            break;
        simmSlots[n] = SimmSlot{};
        simmSlots[n].simmId = Value14(&reply[at]);
        simmSlots[n].presets = Value14(&reply[at + 2]);
        simmSlots[n].instruments = Value14(&reply[at + 4]);
        simmSlots[n].flag = 1;
        ++n;
    }
    simmSlots[n] = SimmSlot{};
    simmSlots[n].presets = users;
    count = n + 1;
    return true;
}
