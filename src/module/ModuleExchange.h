#pragma once
// One request and the reply it expects. Proteus::Exchange sends the request
// through the checking send, waits for the reply that starts with the
// expected header (and carries the key right after it, when there is one)
// and tells which way the wait ended, with the bytes that came.
//
//     ModuleSysExMessage request(GetDeviceId(), CMD_BANK_MAP_DUMP_REQUEST);
//     const ReplyResult r = Exchange(request, {CMD_BANK_MAP_DUMP_REQUEST,
//                                       ModuleReplyHeader(GetDeviceId(), CMD_BANK_MAP_DUMP), kCapacity});
//     if (r.NotSent()) ...       // refused or the port did not take it
//     if (!r.Answered()) ...     // time-out, busy or the port closed
//     if (!r.Replied()) ...      // a module error (or broken input)
//     use r.bytes                // what followed the header, up to the capacity

#include "module/ModuleSysEx.h"

#include <cstdint>
#include <span>
#include <vector>

/// What a request waits for.
struct ExpectedReply {
    /// The request's command byte: a module error that names it ends the wait.
    int commandId = 0;
    /// The first bytes of the reply, device id included.
    std::vector<std::uint8_t> header;
    /// How many bytes after the header are kept.
    unsigned capacity = 0;
    /// The bytes right after the header that only the reply to this request
    /// carries (the parameter or object it asked for); empty: any.
    std::span<const std::uint8_t> key = {};
    /// Waits at least the long time-out (for the module's slow answers).
    bool longWait = false;
};

/// How an exchange ended.
enum class ExchangeOutcome {
    Reply,       ///< the expected reply came
    ModuleError, ///< the module answered the command with an error
    InputError,  ///< the input reported broken data, which may have been the reply
    TimedOut,    ///< nothing came within the response time-out
    Busy,        ///< another exchange was waiting, so this one never waited
    PortClosed,  ///< the port stopped delivering while it waited
    NotSent,     ///< the request was refused or the port did not take it
};

struct ReplyResult {
    ExchangeOutcome outcome = ExchangeOutcome::NotSent;
    /// What followed the header in the reply, up to the capacity (empty for
    /// anything but a reply).
    std::vector<std::uint8_t> bytes;

    bool Replied() const { return outcome == ExchangeOutcome::Reply; }
    /// A reply, a module error or broken input: the module's turn is over.
    bool Answered() const
    {
        return outcome == ExchangeOutcome::Reply || outcome == ExchangeOutcome::ModuleError
            || outcome == ExchangeOutcome::InputError;
    }
    bool NotSent() const { return outcome == ExchangeOutcome::NotSent; }
    /// The module let the request pass: nothing came within the time-out, or
    /// it answered with an error. That is how a module meets a request it has
    /// no use for; broken input and a closed port are failures of another kind.
    bool Declined() const
    {
        return outcome == ExchangeOutcome::TimedOut || outcome == ExchangeOutcome::ModuleError;
    }
    const std::uint8_t* Data() const { return bytes.data(); }
    unsigned Size() const { return unsigned(bytes.size()); }
};

/// F0 18 0F dd 55 command: the start of every module reply to command.
std::vector<std::uint8_t> ModuleReplyHeader(int deviceId, std::uint8_t command);
/// The same followed by the reply's sub-command byte.
std::vector<std::uint8_t> ModuleReplyHeader(int deviceId, std::uint8_t command, std::uint8_t subCommand);
/// F0 18 0F dd 55: the start of every module message (the dump streams wait on
/// these five bytes and read the command themselves).
std::vector<std::uint8_t> ModuleMessagePrefix(int deviceId);

// The MIDI universal device inquiry: F0 7E dd 06 01 F7, answered by
// F0 7E dd 06 02 maker family(2) member(2) revision(4) F7.
constexpr std::uint8_t kUniversalNonRealTime = 0x7E;
constexpr std::uint8_t kGeneralInformation = 0x06;
constexpr std::uint8_t kIdentityRequest = 0x01;
constexpr std::uint8_t kIdentityReply = 0x02;
/// F0 7E dd 06 02.
constexpr unsigned kIdentityHeaderLength = 5;
/// A universal request has no command byte; a module error about it names -1.
constexpr int kIdentityCommandId = -1;

/// The identity request to deviceId (0x7F: every device).
SysExMessage IdentityRequest(int deviceId);
/// F0 7E dd 06 02.
std::vector<std::uint8_t> IdentityReplyHeader(int deviceId);

/// Why bytes cannot go out as one SysEx message (F0, data bytes below 0x80,
/// F7); empty when they can.
QString SysExProblem(std::span<const std::uint8_t> bytes);
