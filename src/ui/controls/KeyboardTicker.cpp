#include "ui/controls/KeyboardTicker.h"

void KeyboardTicker::Start(std::chrono::milliseconds period, std::function<void()> tick)
{
    Stop();
    if (period.count() <= 0 || !tick)
        return;
    m_tick = std::move(tick);
    m_stop = false;
    m_thread = std::thread([this, period] { Run(period); });
}

void KeyboardTicker::Stop()
{
    if (!m_thread.joinable())
        return;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_stop = true;
    }
    m_wake.notify_all();
    m_thread.join();
    m_tick = nullptr;
}

void KeyboardTicker::Run(std::chrono::milliseconds period)
{
    using Clock = std::chrono::steady_clock;
    // The thread sleeps until shortly before each tick and yields through the
    // rest: a sleep alone may wake a scheduler slice late.
    constexpr auto kSpin = std::chrono::microseconds(300);
    const auto start = Clock::now();
    for (long long n = 1;; ++n) {
        const Clock::time_point due = start + n * period;
        {
            std::unique_lock<std::mutex> guard(m_lock);
            if (m_wake.wait_until(guard, due - kSpin, [this] { return m_stop; }))
                return;
        }
        while (Clock::now() < due)
            std::this_thread::yield();
        m_tick();
    }
}
