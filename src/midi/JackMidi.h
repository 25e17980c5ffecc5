#pragma once
// MIDI ports on a JACK server, spoken to through libjack directly: the JACK
// half of RtMidiBackend.
//
// Every call that asks the server something (open, list, connect, close) runs
// with a time limit: a server that has stopped answering (stalled, stopped by
// a signal, swamped) costs at most that limit, and the call fails with a
// reason instead of hanging the program. Sending never waits: the bytes go
// into a buffer that the server's process cycle empties, and a full buffer is
// a failed send.
//
// A connection whose client the server has shut down (the server quit or
// threw the client out), or whose process cycle has not run for
// kJackStallLimit, reports itself closed through its sink, once; from then
// on its sends fail, and its close logs the reason.

#include "midi/MidiBackend.h"

#include <chrono>
#include <functional>
#include <memory>
#include <vector>

namespace jackmidi {

/// The longest a single question to the server may take.
inline constexpr std::chrono::milliseconds kJackCallLimit{5000};
/// How long a connection's process cycle may stay away before the
/// connection counts as lost.
inline constexpr std::chrono::milliseconds kJackStallLimit{5000};
/// Bytes a connection's output can hold while the server has not taken them.
inline constexpr std::size_t kJackOutputBufferBytes = 65536;

/// Runs call on a thread of its own and waits up to limit for it to end.
/// True when it ended in time. Otherwise the thread is left to finish on its
/// own: call must own (by value or shared pointer) everything it touches.
bool RunWithin(std::chrono::milliseconds limit, std::function<void()> call);

/// The server's MIDI ports: input = ports that can be read from (the program's
/// inputs), numbered in the server's order. Empty and *result set on failure.
std::vector<MidiPortInfo> ListPorts(bool input, const QString& clientName, MidiResult* result);

std::unique_ptr<MidiInputConnection> OpenInput(int number, MidiInputSink* sink, const QString& clientName,
                                               MidiResult* result);
std::unique_ptr<MidiOutputConnection> OpenOutput(int number, MidiOutputSink* sink, const QString& clientName,
                                                 MidiResult* result);

} // namespace jackmidi
