#include "sim/Bus.h"

#include "sim/Module.h"

#include <algorithm>

namespace sim {

Module& Bus::add(std::unique_ptr<Module> module)
{
    module->runUntil(now_);
    modules_.push_back(std::move(module));
    return *modules_.back();
}

void Bus::receiveFromHost(const QByteArray& message, SimTime at)
{
    runUntil(at);
    TranscriptEntry e;
    e.sent = now_;
    e.arrived = now_ + SimTime(message.size() * byteTime_.count());
    e.direction = Direction::ToModule;
    e.bytes = message;
    e.label = Describe(message);
    transcript_.append(std::move(e));
    for (const std::unique_ptr<Module>& m : modules_)
        m->receiveFromHost(message, now_);
}

std::optional<SimTime> Bus::nextEventTime() const
{
    std::optional<SimTime> next;
    if (!pending_.empty())
        next = pending_.begin()->first.first;
    for (const std::unique_ptr<Module>& m : modules_) {
        const std::optional<SimTime> t = m->nextEventTime();
        if (t && (!next || *t < *next))
            next = t;
    }
    return next;
}

void Bus::runUntil(SimTime t)
{
    // Step through the earliest event of any module or of the merger, so that messages
    // reach the merger in the order they complete.
    for (std::optional<SimTime> next = nextEventTime(); next && *next <= t; next = nextEventTime()) {
        now_ = std::max(now_, *next);
        for (const std::unique_ptr<Module>& m : modules_) {
            m->runUntil(now_);
            for (const Delivery& d : m->takeDeliveries())
                merge(d);
        }
        while (!pending_.empty() && pending_.begin()->first.first <= now_) {
            Delivery d = std::move(pending_.begin()->second);
            pending_.erase(pending_.begin());
            if (sink_)
                sink_(d);
            else
                outbox_.push_back(std::move(d));
        }
    }
    now_ = std::max(now_, t);
    for (const std::unique_ptr<Module>& m : modules_)
        m->runUntil(now_);
}

void Bus::merge(const Delivery& d)
{
    Delivery out = d;
    if (d.kind == EntryKind::Message || d.kind == EntryKind::InputError) {
        const SimTime start = std::max(d.at, lineBusy_);
        lineBusy_ = start + SimTime(d.bytes.size() * byteTime_.count());
        out.at = lineBusy_;
    }
    TranscriptEntry e;
    e.sent = d.at;
    e.arrived = out.at;
    e.direction = Direction::FromModule;
    e.kind = d.kind;
    e.bytes = d.bytes;
    e.label = d.kind == EntryKind::Message ? Describe(d.bytes) : QString();
    transcript_.append(std::move(e));
    pending_.emplace(std::make_pair(out.at, sequence_++), std::move(out));
}

std::vector<Delivery> Bus::takeDeliveries()
{
    std::vector<Delivery> out;
    out.swap(outbox_);
    return out;
}

} // namespace sim
