#include "sim/Runner.h"

namespace sim {

std::vector<Delivery> VirtualRunner::pump(SimTime maxWait)
{
    const SimTime deadline = clock_.now() + maxWait;
    for (std::optional<SimTime> next = device_.nextEventTime(); next && *next <= deadline;
         next = device_.nextEventTime()) {
        clock_.advanceTo(*next);
        device_.runUntil(*next);
        std::vector<Delivery> got = device_.takeDeliveries();
        if (!got.empty())
            return got;
    }
    clock_.advanceTo(deadline);
    device_.runUntil(deadline);
    return device_.takeDeliveries();
}

std::vector<Delivery> VirtualRunner::runUntilIdle()
{
    std::vector<Delivery> all;
    for (std::optional<SimTime> next = device_.nextEventTime(); next; next = device_.nextEventTime()) {
        clock_.advanceTo(*next);
        device_.runUntil(*next);
    }
    device_.runUntil(clock_.now());
    for (Delivery& d : device_.takeDeliveries())
        all.push_back(std::move(d));
    return all;
}

std::vector<Delivery> VirtualRunner::advanceBy(SimTime d)
{
    const SimTime end = clock_.now() + d;
    for (std::optional<SimTime> next = device_.nextEventTime(); next && *next <= end; next = device_.nextEventTime()) {
        clock_.advanceTo(*next);
        device_.runUntil(*next);
    }
    clock_.advanceTo(end);
    device_.runUntil(end);
    return device_.takeDeliveries();
}

RealTimeDriver::RealTimeDriver(Device& device, Sink sink) : device_(device), sink_(std::move(sink)) {}

RealTimeDriver::~RealTimeDriver() { stop(); }

void RealTimeDriver::start()
{
    std::lock_guard<std::mutex> lock(mutex_);
    if (thread_.joinable())
        return;
    stopping_ = false;
    thread_ = std::thread([this] { run(); });
}

void RealTimeDriver::stop()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable())
        thread_.join();
}

void RealTimeDriver::send(const QByteArray& message)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        device_.receiveFromHost(message, std::max(clock_.now(), device_.now()));
        woken_ = true;
    }
    wake_.notify_all();
}

void RealTimeDriver::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    while (!stopping_) {
        const std::optional<SimTime> next = device_.nextEventTime();
        auto ready = [this] { return stopping_ || woken_; };
        if (next)
            wake_.wait_until(lock, clock_.toSteady(*next), ready);
        else
            wake_.wait(lock, ready);
        woken_ = false;
        if (stopping_)
            break;
        device_.runUntil(std::max(clock_.now(), device_.now()));
        std::vector<Delivery> got = device_.takeDeliveries();
        if (got.empty())
            continue;
        // The sink may send (and so lock) again; never call it under the lock.
        lock.unlock();
        for (const Delivery& d : got)
            sink_(d);
        lock.lock();
    }
}

} // namespace sim
