#include "module/ModuleSysEx.h"

#include "core/Format.h"

namespace {

constexpr std::array<std::uint8_t, 256> MakeLengthTable()
{
    std::array<std::uint8_t, 256> t{};
    for (int b = 0; b < 256; ++b) {
        std::uint8_t n = 1;
        if (b >= 0x80 && b <= 0xBF)
            n = 3;
        else if (b >= 0xC0 && b <= 0xDF)
            n = 2;
        else if (b >= 0xE0 && b <= 0xEF)
            n = 3;
        else if (b == 0xF0)
            n = 0;
        else if (b == 0xF1 || b == 0xF3)
            n = 2;
        else if (b == 0xF2)
            n = 3;
        t[std::size_t(b)] = n;
    }
    return t;
}

} // namespace

const std::array<std::uint8_t, 256> kMidiMessageLengths = MakeLengthTable();

bool SysExValue14::Encode(int value, std::uint8_t out[2])
{
    if (!Fits(value))
        return false;
    const int v = value < 0 ? value + 0x4000 : value;
    out[0] = std::uint8_t(v & 0x7F);
    out[1] = std::uint8_t(v >> 7);
    return true;
}

int SysExValue14::Decode(std::uint8_t low, std::uint8_t high)
{
    const int v = (high & 0x7F) * 128 + (low & 0x7F);
    return v > kMaximum ? v - 16384 : v;
}

bool SysExValue14::Read(std::span<const std::uint8_t> data, std::size_t offset, int& value)
{
    if (offset >= data.size() || data.size() - offset < 2)
        return false;
    value = Decode(data[offset], data[offset + 1]);
    return true;
}

int GetMessageLength(const std::uint8_t* message, const std::uint8_t* end)
{
    if (!message || !end || message >= end)
        return 0;
    const std::ptrdiff_t available = end - message;
    if (*message == SYSEX_START) {
        for (const std::uint8_t* p = message + 1; p < end; ++p)
            if (*p == SYSEX_END)
                return int(p - message + 1);
        return int(available);
    }
    const std::ptrdiff_t n = kMidiMessageLengths[*message];
    return int(n < available ? n : available);
}

bool IsModuleErrorReply(const std::uint8_t* message, std::size_t length, int deviceId)
{
    // The command and sub-code must be there to attribute the error at all.
    if (!message || length < kSysExDataOffset + 4)
        return false;
    return message[0] == SYSEX_START && message[1] == EMU_MANUFACTURER_ID && message[2] == PROTEUS_PRODUCT_ID
        && message[3] == deviceId && message[4] == EDITOR_DESIGNATOR && message[5] == CMD_ERROR;
}

SysExMessage::SysExMessage() : m_bytes{SYSEX_START, SYSEX_END} {}

void SysExMessage::Fail(const QString& why)
{
    if (m_error.isEmpty())
        m_error = why;
}

SysExMessage& SysExMessage::AddByte(int value)
{
    if (value < 0 || value > 0x7F) {
        Fail(Format(u"data byte %d at offset %d is not a 7-bit value", value, int(m_bytes.size() - 1)));
        value = 0; // the message is invalid; keep its length as built
    }
    m_bytes.insert(m_bytes.end() - 1, std::uint8_t(value));
    return *this;
}

SysExMessage& SysExMessage::AddBytes(std::span<const std::uint8_t> bytes)
{
    for (const std::uint8_t b : bytes)
        AddByte(b);
    return *this;
}

SysExMessage& SysExMessage::AddValue14(int value)
{
    std::uint8_t two[2] = {0, 0};
    if (!SysExValue14::Encode(value, two))
        Fail(Format(u"value %d at offset %d is outside -8192..8191", value, int(m_bytes.size() - 1)));
    m_bytes.insert(m_bytes.end() - 1, two, two + 2);
    return *this;
}

ModuleSysExMessage::ModuleSysExMessage(int deviceId, int command)
{
    AddByte(EMU_MANUFACTURER_ID);
    AddByte(PROTEUS_PRODUCT_ID);
    if (deviceId < 0 || deviceId > 0x7F) {
        Fail(Format(u"device id %d is outside 0..127", deviceId));
        deviceId = 0;
    }
    AddByte(deviceId);
    AddByte(EDITOR_DESIGNATOR);
    if (command < 0 || command > 0x7F) {
        Fail(Format(u"command 0x%x is not a 7-bit value", command));
        command = 0;
    }
    AddByte(command);
}
