// The waits of the MIDI transport end: a message posted while the pump is
// just starting to wait is never lost, and a call into the MIDI system that
// does not come back is given up after its limit.
#include "midi/HiddenWindow.h"
#include "midi/JackMidi.h"

#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <mutex>
#include <thread>

using namespace std::chrono_literals;

namespace {

class Counter final : public HiddenWindowEvents {
public:
    void OnNotification(const HiddenWindowNotification& notification) override
    {
        if (notification.kind == kMessage)
            ++seen;
    }
    static constexpr unsigned kMessage = 7;
    int seen = 0;
};

TEST(BoundedWait, APostRacingTheStartOfThePumpsWaitIsNeverLost)
{
    // Each round another thread posts at the moment the pump begins: before
    // its look at the queue, between that look and its sleep, or during the
    // sleep. A wake-up lost in between would leave the pump asleep for its
    // whole hour and the test would run into its time-out.
    Counter owner;
    HiddenWindow window(&owner);
    constexpr int kRounds = 3000;
    for (int round = 0; round < kRounds; ++round) {
        std::atomic<bool> go{false};
        std::thread poster([&] {
            while (!go.load(std::memory_order_acquire)) {
            }
            window.Post({Counter::kMessage, std::uint32_t(round)});
        });
        go.store(true, std::memory_order_release);
        while (owner.seen == round)
            ASSERT_TRUE(window.Pump(1h));
        poster.join();
        ASSERT_EQ(owner.seen, round + 1);
    }
}

TEST(BoundedWait, ACallThatDoesNotComeBackIsGivenUpAfterItsLimit)
{
    // The stuck call holds only what it owns; it finishes after the wait gave up.
    struct Gate {
        std::mutex lock;
        std::condition_variable opened;
        bool open = false;
        bool passed = false;
    };
    auto gate = std::make_shared<Gate>();
    EXPECT_FALSE(jackmidi::RunWithin(20ms, [gate] {
        std::unique_lock l(gate->lock);
        gate->opened.wait(l, [&] { return gate->open; });
        gate->passed = true;
        gate->opened.notify_all();
    }));
    {
        std::unique_lock l(gate->lock);
        gate->open = true;
        gate->opened.notify_all();
        gate->opened.wait(l, [&] { return gate->passed; });
    }

    // A call that ends is waited for, however long the limit.
    bool ran = false;
    EXPECT_TRUE(jackmidi::RunWithin(1h, [&ran] { ran = true; }));
    EXPECT_TRUE(ran);
}

} // namespace
