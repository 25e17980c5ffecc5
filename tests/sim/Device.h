#pragma once
// What sits on the far side of the host's MIDI port pair, in simulated time: one
// module (sim::Module) or several behind a merger (sim::Bus). Runners and transport
// adapters drive either through this interface.
#include "sim/Clock.h"
#include "sim/Transcript.h"

#include <QByteArray>

#include <functional>
#include <optional>
#include <vector>

namespace sim {

/// What reaches the host: a message, or a change of the connection.
struct Delivery {
    SimTime at{0};
    EntryKind kind = EntryKind::Message;
    QByteArray bytes;
};

class Device {
public:
    using DeliverySink = std::function<void(const Delivery&)>;
    virtual ~Device() = default;

    /// The host hands over one whole message at time `at` (not before the last call's time).
    virtual void receiveFromHost(const QByteArray& message, SimTime at) = 0;
    /// Time of the next thing that will happen, if any.
    virtual std::optional<SimTime> nextEventTime() const = 0;
    /// Lets everything due up to t happen; deliveries go to the sink or the outbox.
    virtual void runUntil(SimTime t) = 0;
    /// Time up to which the device has run.
    virtual SimTime now() const = 0;
    /// Takes the deliveries collected while no sink is set.
    virtual std::vector<Delivery> takeDeliveries() = 0;
    /// Sends every delivery to `sink` as it happens instead of collecting it.
    virtual void setDeliverySink(DeliverySink sink) = 0;
    /// What passed on the host's side of this device.
    virtual const Transcript& transcript() const = 0;
};

} // namespace sim
