#include "sim/Clock.h"

#include <thread>

namespace sim {

SimTime RealClock::now() const
{
    return std::chrono::duration_cast<SimTime>(std::chrono::steady_clock::now() - start_);
}

void RealClock::sleepFor(SimTime d)
{
    if (d > SimTime::zero())
        std::this_thread::sleep_for(d);
}

} // namespace sim
