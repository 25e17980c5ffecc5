#pragma once
// Faults the simulated module can be told to make. A fault matches the messages
// the module receives by route (command byte or universal route), by subject (the
// parameter id or object index the message names) and by occurrence, and changes
// how the module answers that one exchange.
#include "sim/Clock.h"
#include "sim/Profile.h"

#include <QByteArray>

namespace sim {

enum class FaultKind {
    Silence,       ///< the message is lost: not processed, nothing answered
    LateReply,     ///< the replies leave `delay` later than they would
    ModuleError,   ///< not processed; the module error reply for the message's command with `subCode`
    WrongDeviceId, ///< the replies carry `deviceId` instead of the module's own
    Truncate,      ///< each reply is cut to `length` bytes (plus F7 when `keepEnd`)
    OverLong,      ///< `length` extra data bytes are inserted before each reply's F7
    HighDataByte,  ///< the byte at `offset` of each reply becomes `byteValue` (a status byte inside SysEx)
    Disconnect,    ///< not processed; the connection drops when the reply would have left
    InputError,    ///< not processed; the host's input reports an error (with `bytes` as the broken data)
    Unsolicited,   ///< `bytes` leaves just before the replies
    Doubled,       ///< each reply leaves twice, the copy right behind it
};

struct Fault {
    FaultKind kind = FaultKind::Silence;
    int route = kAnyRoute;   ///< command byte or universal route; kAnyRoute matches every message
    int subject = -1;        ///< parameter id or object index; -1 matches any
    int occurrence = 0;      ///< 0: every matching message; n >= 1: only the nth matching message
    int times = -1;          ///< how many times it may still fire; -1 without limit

    SimTime delay{0};
    int subCode = 0;
    int deviceId = 0;
    int length = 0;
    bool keepEnd = false;
    int offset = 6;
    int byteValue = 0x80;
    QByteArray bytes;

    // Builders: Fault::Late(Millis(1500)).on(0x02).forSubject(388).nth(2)
    static Fault Silence() { return Make(FaultKind::Silence); }
    static Fault Late(SimTime d) { Fault f = Make(FaultKind::LateReply); f.delay = d; return f; }
    static Fault ModuleError(int sub) { Fault f = Make(FaultKind::ModuleError); f.subCode = sub; return f; }
    static Fault WrongDeviceId(int id) { Fault f = Make(FaultKind::WrongDeviceId); f.deviceId = id; return f; }
    static Fault Truncate(int keep, bool withEnd = false)
    {
        Fault f = Make(FaultKind::Truncate);
        f.length = keep;
        f.keepEnd = withEnd;
        return f;
    }
    static Fault OverLong(int extra) { Fault f = Make(FaultKind::OverLong); f.length = extra; return f; }
    static Fault HighDataByte(int at, int value = 0x80)
    {
        Fault f = Make(FaultKind::HighDataByte);
        f.offset = at;
        f.byteValue = value;
        return f;
    }
    static Fault Disconnect() { return Make(FaultKind::Disconnect); }
    static Fault InputError(QByteArray garbage = QByteArray("\xF0\x18\x0F", 3))
    {
        Fault f = Make(FaultKind::InputError);
        f.bytes = std::move(garbage);
        return f;
    }
    static Fault Unsolicited(QByteArray message)
    {
        Fault f = Make(FaultKind::Unsolicited);
        f.bytes = std::move(message);
        return f;
    }

    static Fault Doubled() { return Make(FaultKind::Doubled); }
    Fault& on(int r) { route = r; return *this; }
    Fault& forSubject(int s) { subject = s; return *this; }
    Fault& nth(int n) { occurrence = n; return *this; }
    Fault& limit(int n) { times = n; return *this; }

private:
    static Fault Make(FaultKind k)
    {
        Fault f;
        f.kind = k;
        return f;
    }
};

const char* FaultKindName(FaultKind kind);

} // namespace sim
