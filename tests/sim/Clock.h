#pragma once
// Time for the simulated module: a virtual clock that tests move by hand, so that
// time-outs of seconds pass in microseconds and every run is the same, and a real
// clock for the few integration tests that talk to the module over real ports.
#include <chrono>
#include <cstdint>

namespace sim {

// All simulator times are microseconds since the clock's start.
using SimTime = std::chrono::microseconds;

inline constexpr SimTime Micros(std::int64_t us) { return SimTime(us); }
inline constexpr SimTime Millis(std::int64_t ms) { return SimTime(ms * 1000); }

class Clock {
public:
    virtual ~Clock() = default;
    /// Current time; never goes backwards.
    virtual SimTime now() const = 0;
    /// Lets d pass: a virtual clock just moves on, a real one blocks the caller.
    virtual void sleepFor(SimTime d) = 0;
};

/// Starts at 0 and moves only when told to.
class VirtualClock : public Clock {
public:
    SimTime now() const override { return now_; }
    void sleepFor(SimTime d) override { advanceBy(d); }
    /// Moves to t; a t in the past is ignored (time never runs backwards).
    void advanceTo(SimTime t)
    {
        if (t > now_)
            now_ = t;
    }
    void advanceBy(SimTime d) { advanceTo(now_ + d); }

private:
    SimTime now_{0};
};

/// Wall-clock time (steady clock) since construction.
class RealClock : public Clock {
public:
    RealClock() : start_(std::chrono::steady_clock::now()) {}
    SimTime now() const override;
    void sleepFor(SimTime d) override;
    /// The steady-clock instant of a simulator time, for waits on condition variables.
    std::chrono::steady_clock::time_point toSteady(SimTime t) const { return start_ + t; }

private:
    std::chrono::steady_clock::time_point start_;
};

} // namespace sim
