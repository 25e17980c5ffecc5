#pragma once
// Waiting for the module without freezing the program, and without letting
// a second exchange start inside the wait.
//
// A request to the module blocks the user-interface thread until the reply
// comes (up to 10 s and more for a dump). A WaitGuard marks that wait:
//
//     if (!WaitGuard::MayStartExchange(u"Proteus::ParameterRequest"))
//         return false;                         // another exchange is waiting
//     port.Send(request, length);
//     WaitGuard wait(u"Proteus::WaitForResponse");
//     while (!answered && !timedOut) {
//         if (!port.PumpMessages()) break;      // this port's notifications only
//         wait.KeepAlive();                     // paint, answer the desktop
//         ...
//     }
//
// While a guard is active on the user-interface thread:
//   - KeepAlive runs the thread's events except user input
//     (QEventLoop::ExcludeUserInputEvents): windows repaint and the desktop's
//     "are you alive" pings are answered, so the program is not marked as
//     not responding; timers and posted calls run too.
//   - user input that reaches any object anyway (posted input events, input
//     sent by code that runs during the wait) and window close requests are
//     held back and delivered, in order, when the outermost wait ends. Input
//     in an event loop started inside the wait (a modal message box) is not
//     held back.
//   - MayStartExchange fails at once and logs; code of ours that runs from
//     timers or posted calls and could start an exchange must ask it first,
//     or run through CallWhenNoWait.
// Only one wait is active at a time: a guard made while another is active
// is inactive (operator bool false) and its owner must not wait.

#include <QString>

#include <functional>

class QObject;

class WaitGuard {
public:
    /// Begins a wait named what (for log lines) on the calling thread.
    explicit WaitGuard(const QString& what);
    ~WaitGuard();
    WaitGuard(const WaitGuard&) = delete;
    WaitGuard& operator=(const WaitGuard&) = delete;

    /// False when another wait was already active: this guard does nothing.
    explicit operator bool() const { return m_active; }

    /// One pass of keeping the program alive; does nothing for an inactive
    /// guard or away from the application's thread.
    void KeepAlive();

    /// Whether a wait is active on the calling thread.
    static bool IsWaiting();
    /// The name of the active wait, empty when none.
    static QString CurrentWait();
    /// Asks to start a module exchange named what: false (logged at level
    /// -2) while a wait is active on the calling thread.
    static bool MayStartExchange(const QString& what);
    /// Runs call now when no wait is active, else once the outermost wait
    /// has ended (from the event loop). context: call is dropped when it is
    /// destroyed first; null for none.
    static void CallWhenNoWait(QObject* context, std::function<void()> call);

private:
    bool m_active = false;
};
