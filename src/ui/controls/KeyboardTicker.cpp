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
    const auto start = std::chrono::steady_clock::now();
    for (long long n = 1;; ++n) {
        {
            std::unique_lock<std::mutex> guard(m_lock);
            if (m_wake.wait_until(guard, start + n * period, [this] { return m_stop; }))
                return;
        }
        m_tick();
    }
}
