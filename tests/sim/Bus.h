#pragma once
// Several simulated modules on one host port pair, as behind a MIDI thru box and a
// merger: every module hears everything the host sends; the merger takes each
// module's message once it has arrived whole and sends it on over the host's one
// input line, in order of completion (so a merged message spends its bytes' time on
// the wire twice). Used for device scans and for devices that are not modules at all.
#include "sim/Device.h"

#include <cstdint>
#include <map>
#include <memory>
#include <vector>

namespace sim {

class Module;

class Bus : public Device {
public:
    /// byteTime: the host input line's time per byte (320 us for MIDI).
    explicit Bus(SimTime byteTime = Micros(320)) : byteTime_(byteTime) {}

    /// Adds a module; the bus owns it. Returns it for setting up.
    Module& add(std::unique_ptr<Module> module);
    std::size_t size() const { return modules_.size(); }
    Module& operator[](std::size_t i) { return *modules_[i]; }

    void receiveFromHost(const QByteArray& message, SimTime at) override;
    std::optional<SimTime> nextEventTime() const override;
    void runUntil(SimTime t) override;
    SimTime now() const override { return now_; }
    std::vector<Delivery> takeDeliveries() override;
    void setDeliverySink(DeliverySink sink) override { sink_ = std::move(sink); }
    /// The host's side: what the host sent and what the merger passed on.
    const Transcript& transcript() const override { return transcript_; }

private:
    void merge(const Delivery& d);

    SimTime byteTime_;
    std::vector<std::unique_ptr<Module>> modules_;
    std::map<std::pair<SimTime, std::uint64_t>, Delivery> pending_; // merged, not yet at the host
    std::uint64_t sequence_ = 0;
    SimTime now_{0};
    SimTime lineBusy_{0};
    Transcript transcript_;
    std::vector<Delivery> outbox_;
    DeliverySink sink_;
};

} // namespace sim
