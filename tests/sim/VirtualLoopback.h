#pragma once
// A simulated device (one module, or a bus) on the device side of a loopback MIDI
// device, in virtual time shared with the editor: the attachment is also the
// program's clock (platform::Clock), so a test installs one clock for both sides.
//
//   auto backend = std::make_shared<LoopbackBackend>();      // no wire pacing
//   sim::Module module(*sim::Profile::load("full"));
//   auto link = std::make_shared<sim::VirtualLoopback>(module, backend, backend->AddDevice("Proteus 2000"));
//   link->start();
//   platform::SetCurrentClock(link);                         // the editor's waits, ticks and pauses
//   ... MidiPort / Proteus on backend ...
//   platform::SetCurrentClock(nullptr);                      // before link goes
//
// Or, for one connection only, give it in the connection's services (the
// simulated-module fixture does): services.clock = link; Proteus proteus(services).
//
// Time moves only inside the editor's waits and pauses:
//   - WaitFor first lets the loopback settle (what the editor sent reaches the
//     device at the current virtual time, what the device delivered reaches the
//     editor's input), then, when nothing is ready, moves the clock to the device's
//     next delivery, at most by the wait's length, hands that delivery to the
//     editor's input and returns;
//   - SleepMs moves the clock by the whole pause, delivering everything on the way;
//   - NowMs reads the virtual clock.
// So a 1000 ms or 10000 ms time-out takes microseconds, and every run is the same.
//
// Deliveries map onto the loopback device as in LoopbackAttachment. The device is
// touched by the loopback's worker (the editor's messages) and by the waiting
// thread (time moving on); both go through one lock, as must tests: withDevice().
#include "midi/LoopbackBackend.h"
#include "platform/Clock.h"
#include "sim/Clock.h"
#include "sim/Device.h"

#include <memory>
#include <mutex>
#include <tuple>
#include <vector>

namespace sim {

class VirtualLoopback final : public platform::Clock {
public:
    /// backend must not pace at wire rate: the device's own serial lines do.
    VirtualLoopback(Device& device, std::shared_ptr<LoopbackBackend> backend, std::shared_ptr<LoopbackDevice> endpoint);
    ~VirtualLoopback() override;
    VirtualLoopback(const VirtualLoopback&) = delete;
    VirtualLoopback& operator=(const VirtualLoopback&) = delete;

    /// Starts hearing the loopback device.
    void start();
    /// Stops hearing it; after it returns nothing reaches the simulated device.
    void stop();

    /// Runs f(device) under the lock that guards the device.
    template <class F>
    auto withDevice(F&& f)
    {
        std::lock_guard<std::mutex> lock(state_->lock);
        return f(state_->device);
    }
    /// The virtual time now.
    SimTime now() const;
    LoopbackDevice& endpoint() { return *endpoint_; }

    /// Lets the loopback finish what is in flight at the current time.
    void settle();

    /// Where the editor's waiting went, summed since construction (virtual time).
    struct Accounts {
        SimTime paused{0};   ///< inside SleepMs: the editor's own configured pauses
        SimTime timedOut{0}; ///< waits that reached their time-out with nothing delivered
        int roundTrips = 0;  ///< waits ended by a message from the device
        /// The pauses and the expired waits as {start, end, expired}, in order.
        std::vector<std::tuple<SimTime, SimTime, bool>> periods;
    };
    Accounts accounts() const;

    // platform::Clock
    std::int64_t NowMs() const override;
    void SleepMs(std::int64_t ms) override;
    void WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, std::int64_t ms,
                 const std::function<bool()>& ready) override;

private:
    // Shared with the loopback's receiver, which may still run on the loopback's
    // worker after the receiver has been replaced.
    struct State {
        explicit State(Device& d) : device(d) {}
        std::mutex lock;
        Device& device;
        VirtualClock clock;
        bool hearing = false;
        Accounts accounts;
    };

    // Moves the clock to the first delivery before `deadline` (or to `deadline`),
    // or, with `all`, through every delivery up to `deadline`; returns what was delivered.
    std::vector<Delivery> advance(SimTime deadline, bool all);
    void forward(const std::vector<Delivery>& deliveries);

    std::shared_ptr<LoopbackBackend> backend_;
    std::shared_ptr<LoopbackDevice> endpoint_;
    std::shared_ptr<State> state_;
};

} // namespace sim
