#pragma once
// The module's System Exclusive messages: the one framing every module-specific
// message has in both directions, the 14-bit numbers inside them, the catalogue
// of command bytes, and the MIDI 1.0 message lengths by which a received buffer
// is split into messages.
//
//   F0 18 0F dd 55 cmd data... F7
//      |  |  |  |  |   numbers inside data are SysExValue14
//      |  |  |  |  command byte (catalogue below)
//      |  |  |  EDITOR_DESIGNATOR
//      |  |  the module's MIDI device id, 0..127
//      |  PROTEUS_PRODUCT_ID
//      EMU_MANUFACTURER_ID
//
// Building a message never puts a byte of 0x80 or more between F0 and F7: a
// device id, a data byte or a number that does not fit makes the message
// invalid, and an invalid message is refused instead of being sent corrupted.

#include <QString>

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

inline constexpr std::uint8_t SYSEX_START = 0xF0;
inline constexpr std::uint8_t SYSEX_END = 0xF7;
inline constexpr std::uint8_t EMU_MANUFACTURER_ID = 0x18;
inline constexpr std::uint8_t PROTEUS_PRODUCT_ID = 0x0F;
inline constexpr std::uint8_t EDITOR_DESIGNATOR = 0x55;

/// Offsets inside a module message.
inline constexpr std::size_t kSysExDeviceIdOffset = 3;
inline constexpr std::size_t kSysExCommandOffset = 5;
inline constexpr std::size_t kSysExDataOffset = 6;

// The command catalogue: byte 5 of a module message.
inline constexpr std::uint8_t CMD_PARAMETER_EDIT = 0x01;          ///< an edit; also the reply to 0x02
inline constexpr std::uint8_t CMD_PARAMETER_REQUEST = 0x02;
inline constexpr std::uint8_t CMD_PARAMETER_MINMAX = 0x03;        ///< reply to 0x04
inline constexpr std::uint8_t CMD_PARAMETER_MINMAX_REQUEST = 0x04;
inline constexpr std::uint8_t CMD_HARDWARE_CONFIG = 0x09;         ///< reply to 0x0A
inline constexpr std::uint8_t CMD_HARDWARE_CONFIG_REQUEST = 0x0A;
inline constexpr std::uint8_t CMD_NAME = 0x0B;                    ///< reply to 0x0C
inline constexpr std::uint8_t CMD_NAME_REQUEST = 0x0C;
inline constexpr std::uint8_t CMD_PRESET_DUMP = 0x10;
inline constexpr std::uint8_t CMD_PRESET_DUMP_REQUEST = 0x11;
inline constexpr std::uint8_t CMD_BANK_MAP_DUMP = 0x16;
inline constexpr std::uint8_t CMD_BANK_MAP_DUMP_REQUEST = 0x17;
inline constexpr std::uint8_t CMD_ARP_DUMP = 0x18;
inline constexpr std::uint8_t CMD_ARP_DUMP_REQUEST = 0x19;
inline constexpr std::uint8_t CMD_SCREEN_DUMP = 0x1A;             ///< reply to 0x1B
inline constexpr std::uint8_t CMD_SCREEN_DUMP_REQUEST = 0x1B;
inline constexpr std::uint8_t CMD_SETUP_DUMP = 0x1C;
inline constexpr std::uint8_t CMD_SETUP_DUMP_REQUEST = 0x1D;
inline constexpr std::uint8_t CMD_COPY_PRESET = 0x20;
inline constexpr std::uint8_t CMD_COPY_PRESET_COMMON = 0x21;
inline constexpr std::uint8_t CMD_COPY_PRESET_ARP = 0x22;
inline constexpr std::uint8_t CMD_COPY_PRESET_FX = 0x23;
inline constexpr std::uint8_t CMD_COPY_PRESET_LINK = 0x24;
inline constexpr std::uint8_t CMD_COPY_LAYER = 0x25;
inline constexpr std::uint8_t CMD_COPY_LAYER_COMMON = 0x26;
inline constexpr std::uint8_t CMD_COPY_LAYER_FILTER = 0x27;
inline constexpr std::uint8_t CMD_COPY_LAYER_LFO = 0x28;
inline constexpr std::uint8_t CMD_COPY_LAYER_ENVELOPE = 0x29;
inline constexpr std::uint8_t CMD_COPY_LAYER_CORDS = 0x2A;
inline constexpr std::uint8_t CMD_COPY_ARP = 0x2B;
inline constexpr std::uint8_t CMD_COPY_SETUP = 0x2C;
inline constexpr std::uint8_t CMD_FRONT_PANEL = 0x40;             ///< the module echoes it
inline constexpr std::uint8_t CMD_ERROR = 0x70;                   ///< the module's error reply
inline constexpr std::uint8_t CMD_RANDOMISE = 0x71;
inline constexpr std::uint8_t HANDSHAKE_EOF = 0x7B;
inline constexpr std::uint8_t HANDSHAKE_WAIT = 0x7C;
inline constexpr std::uint8_t HANDSHAKE_CANCEL = 0x7D;
inline constexpr std::uint8_t HANDSHAKE_NAK = 0x7E;
inline constexpr std::uint8_t HANDSHAKE_ACK = 0x7F;

/// The module's error reply, 11 bytes: F0 18 0F dd 55 70 command(2) sub-code(2) F7.
inline constexpr std::size_t kModuleErrorLength = 11;

/// A number inside module SysEx (and inside the MIDI Tuning Standard messages):
/// two 7-bit bytes, low byte first; a negative number travels as itself plus
/// 0x4000, so -1 is 7F 7F. Only -8192..8191 can travel.
struct SysExValue14 {
    static constexpr int kMinimum = -8192;
    static constexpr int kMaximum = 8191;

    static constexpr bool Fits(int value) { return value >= kMinimum && value <= kMaximum; }

    /// The two bytes of value; false and nothing written when it does not fit.
    static bool Encode(int value, std::uint8_t out[2]);

    /// The number two received bytes carry; above 8191 it is negative. The top
    /// bit of each byte is not part of the number.
    static int Decode(std::uint8_t low, std::uint8_t high);

    /// The number at offset of data; false (value untouched) when the two bytes
    /// are not both inside data.
    static bool Read(std::span<const std::uint8_t> data, std::size_t offset, int& value);
};

/// The MIDI 1.0 length of a message by its first byte: 1 for a stray data byte
/// (skipped alone), 3 for 80-BF and E0-EF, 2 for C0-DF, 2 for F1 and F3, 3 for
/// F2, 1 for F4-FF; F0 is not in the table (0): SysEx is measured to its F7.
extern const std::array<std::uint8_t, 256> kMidiMessageLengths;

/// The length of the message that starts at message, never past end: for F0
/// up to and including the first F7, or to end when no F7 follows; for any
/// other byte the table entry, cut to what was received. At least 1 while
/// message < end; 0 when message >= end (or null).
int GetMessageLength(const std::uint8_t* message, const std::uint8_t* end);

/// Whether the first length bytes of message are a module error reply from
/// deviceId: F0 18 0F dd 55 70, with the failed command and the sub-code
/// (bytes 6-9) inside the message.
bool IsModuleErrorReply(const std::uint8_t* message, std::size_t length, int deviceId);

/// A SysEx message built byte by byte: F0, what is added, F7. Every byte
/// between F0 and F7 must be below 0x80; the first one that is not makes the
/// message invalid (Error() says which), and an invalid message stays so.
class SysExMessage {
public:
    /// F0 alone.
    SysExMessage();
    virtual ~SysExMessage() = default;

    /// One data byte, 0..127.
    SysExMessage& AddByte(int value);
    /// Data bytes as they stand, each 0..127.
    SysExMessage& AddBytes(std::span<const std::uint8_t> bytes);
    /// A number as SysExValue14, -8192..8191.
    SysExMessage& AddValue14(int value);

    bool IsValid() const { return m_error.isEmpty(); }
    explicit operator bool() const { return IsValid(); }
    /// Why the message is invalid; empty when it is valid.
    const QString& Error() const { return m_error; }

    /// The whole message, F0 to F7 (whatever was built, also when invalid).
    const std::uint8_t* Data() const { return m_bytes.data(); }
    unsigned Length() const { return unsigned(m_bytes.size()); }
    const std::vector<std::uint8_t>& Bytes() const { return m_bytes; }

protected:
    void Fail(const QString& why);

private:
    std::vector<std::uint8_t> m_bytes; // always ends with F7
    QString m_error;
};

/// F0 18 0F dd 55 command, data, F7: a device id outside 0..127 or a command
/// byte of 0x80 or more makes the message invalid.
class ModuleSysExMessage : public SysExMessage {
public:
    ModuleSysExMessage(int deviceId, int command);
};
