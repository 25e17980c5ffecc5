#pragma once
// Record of everything that passed between the host and the simulated module,
// in the order it happened, with virtual times, for tests to assert on.
#include "sim/Clock.h"

#include <QByteArray>
#include <QString>

#include <vector>

namespace sim {

enum class Direction { ToModule, FromModule };

enum class EntryKind {
    Message,    ///< a MIDI message (SysEx or short)
    Disconnect, ///< the connection dropped (module side)
    Reconnect,  ///< the connection came back
    InputError, ///< the host's input reported a broken message; bytes hold what arrived
};

struct TranscriptEntry {
    SimTime sent{0};      ///< handed to the serial line
    SimTime arrived{0};   ///< completely received at the other end
    Direction direction = Direction::ToModule;
    EntryKind kind = EntryKind::Message;
    QByteArray bytes;
    QString label;        ///< short decoded description ("parameter request 388")
    QString note;         ///< what the module did about it when not the plain answer ("ignored: device id 5")
};

class Transcript {
public:
    const std::vector<TranscriptEntry>& entries() const { return entries_; }
    bool empty() const { return entries_.empty(); }
    std::size_t size() const { return entries_.size(); }
    const TranscriptEntry& operator[](std::size_t i) const { return entries_[i]; }
    void clear() { entries_.clear(); }

    /// The bytes of every message in one direction, in order.
    std::vector<QByteArray> messages(Direction d) const;
    std::vector<QByteArray> toModule() const { return messages(Direction::ToModule); }
    std::vector<QByteArray> fromModule() const { return messages(Direction::FromModule); }
    /// Entries in one direction.
    std::vector<TranscriptEntry> entries(Direction d) const;
    /// One line per entry: time, direction, hex bytes, label and note; for failure output.
    QString dump() const;

    std::size_t append(TranscriptEntry e)
    {
        entries_.push_back(std::move(e));
        return entries_.size() - 1;
    }
    TranscriptEntry& at(std::size_t i) { return entries_[i]; }

private:
    std::vector<TranscriptEntry> entries_;
};

/// One entry as one line: sent and arrived times, direction ("host>module" or
/// "module>host"), the bytes in lower-case hex separated by spaces, the label in
/// brackets, then the note in parentheses when there is one.
QString DumpLine(const TranscriptEntry& e);

/// A short description of a message as the module sees it (its own decoding).
QString Describe(const QByteArray& message);

} // namespace sim
