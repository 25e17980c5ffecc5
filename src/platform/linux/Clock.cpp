#include "platform/Clock.h"

#include <chrono>
#include <thread>

namespace platform {

namespace {

class SteadyClock final : public Clock {
public:
    std::int64_t NowMs() const override
    {
        using namespace std::chrono;
        return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
    }

    void SleepMs(std::int64_t ms) override
    {
        if (ms > 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    }

    void WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable& cv, std::int64_t ms,
                 const std::function<bool()>& ready) override
    {
        cv.wait_for(lock, std::chrono::milliseconds(ms > 0 ? ms : 0), ready);
    }
};

std::mutex g_lock;
std::shared_ptr<Clock> g_clock;

} // namespace

std::shared_ptr<Clock> MakeSteadyClock()
{
    return std::make_shared<SteadyClock>();
}

Clock& CurrentClock()
{
    std::lock_guard l(g_lock);
    if (!g_clock)
        g_clock = MakeSteadyClock();
    return *g_clock;
}

void SetCurrentClock(std::shared_ptr<Clock> clock)
{
    std::lock_guard l(g_lock);
    g_clock = std::move(clock);
}

} // namespace platform
