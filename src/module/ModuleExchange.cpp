#include "module/ModuleExchange.h"

#include "core/Format.h"

std::vector<std::uint8_t> ModuleMessagePrefix(int deviceId)
{
    return {SYSEX_START, EMU_MANUFACTURER_ID, PROTEUS_PRODUCT_ID, std::uint8_t(deviceId), EDITOR_DESIGNATOR};
}

std::vector<std::uint8_t> ModuleReplyHeader(int deviceId, std::uint8_t command)
{
    std::vector<std::uint8_t> header = ModuleMessagePrefix(deviceId);
    header.push_back(command);
    return header;
}

std::vector<std::uint8_t> ModuleReplyHeader(int deviceId, std::uint8_t command, std::uint8_t subCommand)
{
    std::vector<std::uint8_t> header = ModuleReplyHeader(deviceId, command);
    header.push_back(subCommand);
    return header;
}

SysExMessage IdentityRequest(int deviceId)
{
    SysExMessage request;
    request.AddByte(kUniversalNonRealTime).AddByte(deviceId).AddByte(kGeneralInformation).AddByte(kIdentityRequest);
    return request;
}

std::vector<std::uint8_t> IdentityReplyHeader(int deviceId)
{
    return {SYSEX_START, kUniversalNonRealTime, std::uint8_t(deviceId), kGeneralInformation, kIdentityReply};
}

QString SysExProblem(std::span<const std::uint8_t> bytes)
{
    if (bytes.size() < 2 || bytes.front() != SYSEX_START || bytes.back() != SYSEX_END)
        return QStringLiteral("it does not run from F0 to F7");
    for (std::size_t i = 1; i + 1 < bytes.size(); ++i) {
        if (bytes[i] >= 0x80)
            return Format(u"data byte %d at offset %d is not a 7-bit value", int(bytes[i]), int(i));
    }
    return {};
}
