#pragma once
// Driving a simulated device (one module, or a bus of them) in time: VirtualRunner
// moves a VirtualClock from event to event (a 10-second time-out takes no real time);
// RealTimeDriver runs the device on its own thread against the wall clock, for tests
// over loopback or real ports.
#include "sim/Clock.h"
#include "sim/Device.h"

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>
#include <vector>

namespace sim {

class VirtualRunner {
public:
    VirtualRunner(Device& device, VirtualClock& clock) : device_(device), clock_(clock) {}

    /// Hands a message to the module at the clock's current time.
    void send(const QByteArray& message) { device_.receiveFromHost(message, clock_.now()); }
    /// Waits at most maxWait of virtual time for something to reach the host: moves the clock
    /// to the first delivery (returning everything that arrived at that instant) or to
    /// now + maxWait (returning nothing).
    std::vector<Delivery> pump(SimTime maxWait);
    /// Lets time pass until nothing more will happen; returns every delivery on the way.
    std::vector<Delivery> runUntilIdle();
    /// Lets d pass; returns every delivery on the way.
    std::vector<Delivery> advanceBy(SimTime d);

private:
    Device& device_;
    VirtualClock& clock_;
};

/// Runs a module on a thread of its own in wall-clock time. Deliveries go to the sink on
/// that thread, outside the device lock. Touch the device only through withDevice().
class RealTimeDriver {
public:
    using Sink = std::function<void(const Delivery&)>;
    RealTimeDriver(Device& device, Sink sink);
    ~RealTimeDriver();
    RealTimeDriver(const RealTimeDriver&) = delete;
    RealTimeDriver& operator=(const RealTimeDriver&) = delete;

    void start();
    /// Stops and joins the thread; what was still due is dropped.
    void stop();
    /// Thread-safe: hands a message to the module now.
    void send(const QByteArray& message);
    /// Runs f(device) under the lock that guards the device.
    template <class F>
    auto withDevice(F&& f)
    {
        std::lock_guard<std::mutex> lock(mutex_);
        return f(device_);
    }
    const RealClock& clock() const { return clock_; }

private:
    void run();

    Device& device_;
    Sink sink_;
    RealClock clock_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool woken_ = false;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace sim
