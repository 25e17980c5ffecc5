#pragma once
// The hidden window: the post box through which a MIDI port's backend
// threads hand what happened to the thread that created the port.
//
// Any thread may Post a message; messages wait in one first-in first-out
// queue per window and are dispatched, one at a time and in the order
// posted, to the owner's HiddenWindowEvents::OnNotification on the creating
// thread: either by the event loop (one queued call wakes it) or by Pump,
// which waits for this window's messages only. The window also carries one
// repeating timer (the port's open time-out), which is dispatched after the
// messages posted before it fell due.

#include "midi/MidiBuffer.h"

#include <QObject>
#include <QString>

#include <atomic>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>

class QTimer;

/// One notification on the queue: what kind it is (a code of the owner's
/// own, such as a MIDI port's MidiNotifyCode) and the value that goes with it
/// (a packed short message, or 0).
struct HiddenWindowNotification {
    unsigned kind = 0;
    std::uint32_t value = 0;
};

/// Receiver of a hidden window's notifications, on the window's thread.
class HiddenWindowEvents {
public:
    virtual ~HiddenWindowEvents() = default;
    /// Create was called.
    virtual void OnWindowCreated() {}
    /// Destroy was called; nothing is dispatched after this.
    virtual void OnWindowDestroyed() {}
    /// One posted notification, in the order posted.
    virtual void OnNotification(const HiddenWindowNotification& notification) {}
    /// The repeating timer fell due; timerId is the id SetTimer was given.
    virtual void OnTimer(unsigned timerId) {}
};

class HiddenWindow final : public QObject {
public:
    /// A window whose messages go to owner; it belongs to the calling thread.
    /// Pump waits on clock (null: the program's clock at each wait).
    explicit HiddenWindow(HiddenWindowEvents* owner, std::shared_ptr<platform::Clock> clock = nullptr);
    ~HiddenWindow() override;

    /// Tells the owner (OnWindowCreated); true (the window exists from
    /// construction on).
    bool Create();
    /// Tells the owner (OnWindowDestroyed). From then on posts are
    /// dropped, the timer is off and Pump returns false.
    void Destroy();
    bool IsDestroyed() const { return m_destroyed.load(std::memory_order_acquire); }

    /// Appends a message; any thread. The creating thread's event loop is
    /// woken with one queued call however many messages wait.
    void Post(const HiddenWindowNotification& notification);

    /// Starts (or restarts) the repeating timer; creating thread only. An
    /// interval below 10 ms counts as 10 ms.
    void SetTimer(unsigned id, std::chrono::milliseconds interval);
    void KillTimer();
    bool IsTimerRunning() const { return m_timerDue.has_value(); }

    /// Waits up to maxWait for a message of this window or for its timer,
    /// then dispatches every waiting message and a due timer; other events of
    /// the thread stay queued. False once the window is destroyed.
    bool Pump(std::chrono::milliseconds maxWait);

    /// Dispatches every message waiting now, one at a time, so a handler that
    /// pumps in a nested loop keeps the order.
    void Drain();

    /// Messages posted and not yet dispatched.
    std::size_t PendingCount() const { return m_queue.Size(); }

private:
    void TimerFellDue();

    HiddenWindowEvents* m_owner;
    std::shared_ptr<platform::Clock> m_clock;
    TQueue<HiddenWindowNotification> m_queue;
    std::atomic<bool> m_wakePending{false};
    std::atomic<bool> m_destroyed{false};
    QTimer* m_timer;
    unsigned m_timerId = 0;
    std::chrono::milliseconds m_timerInterval{0};
    std::optional<std::chrono::steady_clock::time_point> m_timerDue;
};
