#pragma once
// The hidden window: the post box through which a MIDI port's backend
// threads hand what happened to the thread that created the port.
//
// Any thread may Post a message; messages wait in one first-in first-out
// queue per window and are dispatched, one at a time and in the order
// posted, to the owner's HiddenWindowEvents::OnMessage on the creating
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
#include <optional>

class QTimer;

/// Message numbers a hidden window dispatches besides registered ones.
enum HiddenWindowMessage : unsigned {
    kHiddenWindowCreate = 0x0001,  ///< dispatched by Create
    kHiddenWindowDestroy = 0x0002, ///< dispatched by Destroy
    kHiddenWindowTimer = 0x0113,   ///< the window's timer fell due; wParam is its id
};

/// A message number for a name, from 0xC000 up, the same for the same name
/// throughout the run (names compared exactly).
unsigned RegisterHiddenWindowMessage(const QString& name);

/// Receiver of a hidden window's messages.
class HiddenWindowEvents {
public:
    virtual ~HiddenWindowEvents() = default;
    /// Handles one message; the base version returns 0 and leaves handled false.
    virtual std::intptr_t OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool* handled);
};

class HiddenWindow final : public QObject, public HiddenWindowEvents {
public:
    /// A window whose messages go to owner; it belongs to the calling thread.
    explicit HiddenWindow(HiddenWindowEvents* owner);
    ~HiddenWindow() override;

    /// Dispatches kHiddenWindowCreate to the owner; true (the window exists
    /// from construction on).
    bool Create();
    /// Dispatches kHiddenWindowDestroy to the owner. From then on posts are
    /// dropped, the timer is off and Pump returns false.
    void Destroy();
    bool IsDestroyed() const { return m_destroyed.load(std::memory_order_acquire); }

    /// Appends a message; any thread. The creating thread's event loop is
    /// woken with one queued call however many messages wait.
    void Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam);

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

    std::intptr_t OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool* handled) override;

private:
    struct Message {
        unsigned message = 0;
        std::uintptr_t wParam = 0;
        std::intptr_t lParam = 0;
    };

    void Dispatch(const Message& m);
    void TimerFellDue();

    HiddenWindowEvents* m_owner;
    TQueue<Message> m_queue;
    std::atomic<bool> m_wakePending{false};
    std::atomic<bool> m_destroyed{false};
    QTimer* m_timer;
    unsigned m_timerId = 0;
    std::chrono::milliseconds m_timerInterval{0};
    std::optional<std::chrono::steady_clock::time_point> m_timerDue;
};
