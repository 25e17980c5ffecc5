#pragma once
// A simulated device (one module or a bus) on the device side of a loopback MIDI
// device, so that a MidiPort (and everything above it) talks to it in-process.
// The device runs in real time on a RealTimeDriver: replies reach the port when the
// simulated wire and processing say. Leave the loopback's own wire pacing off, or
// every message pays its bytes' time twice.
//
//   auto backend = std::make_shared<LoopbackBackend>();
//   sim::Module module(*sim::Profile::load("full"));
//   sim::LoopbackAttachment link(module, backend->AddDevice("Proteus 2000"));
//   link.start();
//   MidiPort port(true, backend);   // opens ports 0, 0 and talks to the module
//
// Deliveries map onto the loopback device: messages are sent to the port's input;
// an input error makes the input report a bad SysEx holding the broken bytes; a
// disconnect makes the device go away (the open ports report their close and later
// sends fail); a reconnect only lets the module hear again: the port must be opened
// anew, as after unplugging a real device.
#include "midi/LoopbackBackend.h"
#include "sim/Device.h"
#include "sim/Runner.h"

#include <memory>
#include <mutex>

namespace sim {

class LoopbackAttachment {
public:
    LoopbackAttachment(Device& device, std::shared_ptr<LoopbackDevice> endpoint);
    ~LoopbackAttachment();
    LoopbackAttachment(const LoopbackAttachment&) = delete;
    LoopbackAttachment& operator=(const LoopbackAttachment&) = delete;

    /// Starts hearing the loopback device and running the simulated one.
    void start();
    /// Stops both; after it returns nothing reaches the simulated device.
    void stop();

    RealTimeDriver& driver() { return driver_; }
    LoopbackDevice& endpoint() { return *endpoint_; }

private:
    // Shared with the loopback's receiver, which may still be running on the loopback's
    // worker thread after the receiver has been replaced.
    struct Link {
        std::mutex lock;
        RealTimeDriver* driver = nullptr;
    };

    void onDelivery(const Delivery& d);

    std::shared_ptr<LoopbackDevice> endpoint_;
    RealTimeDriver driver_;
    std::shared_ptr<Link> link_;
};

} // namespace sim
