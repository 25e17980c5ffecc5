#include "midi/HiddenWindow.h"

#include <QHash>
#include <QMetaObject>
#include <QTimer>

#include <mutex>

namespace {

std::mutex g_messageLock;
QHash<QString, unsigned> g_messages;

} // namespace

unsigned RegisterHiddenWindowMessage(const QString& name)
{
    std::lock_guard lock(g_messageLock);
    auto it = g_messages.constFind(name);
    if (it != g_messages.constEnd())
        return *it;
    const unsigned id = 0xC000u + unsigned(g_messages.size());
    g_messages.insert(name, id);
    return id;
}

std::intptr_t HiddenWindowEvents::OnMessage(unsigned, std::uintptr_t, std::intptr_t, bool*)
{
    return 0;
}

HiddenWindow::HiddenWindow(HiddenWindowEvents* owner) : m_owner(owner), m_timer(new QTimer(this))
{
    m_queue.SetAlwaysSignal(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    QObject::connect(m_timer, &QTimer::timeout, this, [this] { TimerFellDue(); });
}

HiddenWindow::~HiddenWindow()
{
    // The owner may be half destroyed by now: mark the window gone without
    // telling it.
    m_destroyed.store(true, std::memory_order_release);
    KillTimer();
}

bool HiddenWindow::Create()
{
    Dispatch({kHiddenWindowCreate, 0, 0});
    return true;
}

void HiddenWindow::Destroy()
{
    if (m_destroyed.exchange(true, std::memory_order_acq_rel))
        return;
    KillTimer();
    m_queue.Clear();
    bool handled = false;
    OnMessage(kHiddenWindowDestroy, 0, 0, &handled);
}

void HiddenWindow::Post(unsigned message, std::uintptr_t wParam, std::intptr_t lParam)
{
    if (IsDestroyed())
        return;
    m_queue.Put({message, wParam, lParam}, true);
    // One queued call wakes the event loop; the flag stays set until the
    // drain begins, so a burst of posts costs one call.
    if (!m_wakePending.exchange(true, std::memory_order_acq_rel))
        QMetaObject::invokeMethod(this, [this] { Drain(); }, Qt::QueuedConnection);
}

void HiddenWindow::Drain()
{
    m_wakePending.store(false, std::memory_order_release);
    Message m;
    while (!IsDestroyed() && m_queue.Get(m))
        Dispatch(m);
}

void HiddenWindow::Dispatch(const Message& m)
{
    bool handled = false;
    OnMessage(m.message, m.wParam, m.lParam, &handled);
}

std::intptr_t HiddenWindow::OnMessage(unsigned message, std::uintptr_t wParam, std::intptr_t lParam, bool* handled)
{
    if (!m_owner)
        return 0;
    return m_owner->OnMessage(message, wParam, lParam, handled);
}

void HiddenWindow::SetTimer(unsigned id, std::chrono::milliseconds interval)
{
    if (IsDestroyed())
        return;
    if (interval < std::chrono::milliseconds(10))
        interval = std::chrono::milliseconds(10);
    m_timerId = id;
    m_timerInterval = interval;
    m_timerDue = std::chrono::steady_clock::now() + interval;
    m_timer->start(interval);
}

void HiddenWindow::KillTimer()
{
    m_timer->stop();
    m_timerDue.reset();
}

void HiddenWindow::TimerFellDue()
{
    // Messages posted before the timer fell due come first, as they would
    // on a window whose timer message has the lowest priority.
    Drain();
    if (!m_timerDue || IsDestroyed())
        return; // a handler killed the timer
    m_timerDue = std::chrono::steady_clock::now() + m_timerInterval;
    m_timer->start(m_timerInterval); // the pump and the event loop share one phase
    Dispatch({kHiddenWindowTimer, m_timerId, 0});
}

bool HiddenWindow::Pump(std::chrono::milliseconds maxWait)
{
    using namespace std::chrono;
    if (IsDestroyed())
        return false;
    milliseconds wait = maxWait;
    if (m_timerDue) {
        const auto left = duration_cast<milliseconds>(*m_timerDue - steady_clock::now()) + milliseconds(1);
        wait = std::clamp(left, milliseconds(0), maxWait);
    }
    const bool got = m_queue.WaitForItem(wait);
    if (got)
        Drain();
    if (!IsDestroyed() && m_timerDue && steady_clock::now() >= *m_timerDue)
        TimerFellDue();
    return !IsDestroyed();
}
