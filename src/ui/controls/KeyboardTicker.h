#pragma once
// A periodic tick on a thread of its own, paced by the steady clock: tick n
// is due at start + n periods, so waiting late once does not shift the ticks
// after it. The callback runs on the ticker's thread.

#include <chrono>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

class KeyboardTicker {
public:
    KeyboardTicker() = default;
    ~KeyboardTicker() { Stop(); }
    KeyboardTicker(const KeyboardTicker&) = delete;
    KeyboardTicker& operator=(const KeyboardTicker&) = delete;

    /// Starts ticking every period (stopping a running ticker first).
    void Start(std::chrono::milliseconds period, std::function<void()> tick);
    /// Stops and waits for the thread; a tick under way finishes first.
    void Stop();
    bool Running() const { return m_thread.joinable(); }

private:
    void Run(std::chrono::milliseconds period);

    std::thread m_thread;
    std::mutex m_lock;
    std::condition_variable m_wake;
    bool m_stop = false;
    std::function<void()> m_tick;
};
