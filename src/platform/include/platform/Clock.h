#pragma once
// The time source of the module conversation: tick counts for time-outs, the
// pauses between messages, and the bounded wait for MIDI input. The program
// uses the steady clock; tests install a virtual clock that moves time on by
// itself when nothing is due, so that a 1000 ms or 10000 ms time-out runs in
// microseconds and the same way every time.

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

namespace platform {

class Clock {
public:
    virtual ~Clock() = default;

    /// Milliseconds on a monotonic scale (only differences mean anything).
    virtual std::int64_t NowMs() const = 0;

    /// Lets ms milliseconds pass before returning.
    virtual void SleepMs(std::int64_t ms) = 0;

    /// Waits until ready() is true or ms milliseconds have passed. lock is
    /// held on entry and on return and guards what ready() reads; cv is
    /// notified by whoever makes ready() true. A virtual clock releases lock
    /// while it moves time on and delivers what falls due, so deliveries may
    /// take the same lock.
    virtual void WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, std::int64_t ms,
                         const std::function<bool()>& ready) = 0;
};

/// The real clock: std::chrono::steady_clock and condition-variable waits.
std::shared_ptr<Clock> MakeSteadyClock();

/// The clock the program uses; the steady clock unless a test installed another.
Clock& CurrentClock();

/// Installs a clock (tests); null restores the steady clock.
void SetCurrentClock(std::shared_ptr<Clock> clock);

} // namespace platform
