#include "midi/HiddenWindow.h"

#include <QMetaObject>
#include <QTimer>

HiddenWindow::HiddenWindow(HiddenWindowEvents* owner, std::shared_ptr<platform::Clock> clock)
    : m_owner(owner), m_clock(std::move(clock)), m_timer(new QTimer(this))
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
    if (m_owner)
        m_owner->OnWindowCreated();
    return true;
}

void HiddenWindow::Destroy()
{
    if (m_destroyed.exchange(true, std::memory_order_acq_rel))
        return;
    KillTimer();
    m_queue.Clear();
    if (m_owner)
        m_owner->OnWindowDestroyed();
}

void HiddenWindow::Post(const HiddenWindowNotification& notification)
{
    if (IsDestroyed())
        return;
    m_queue.Put(notification, true);
    // One queued call wakes the event loop; the flag stays set until the
    // drain begins, so a burst of posts costs one call.
    if (!m_wakePending.exchange(true, std::memory_order_acq_rel))
        QMetaObject::invokeMethod(this, [this] { Drain(); }, Qt::QueuedConnection);
}

void HiddenWindow::Drain()
{
    m_wakePending.store(false, std::memory_order_release);
    HiddenWindowNotification n;
    while (!IsDestroyed() && m_queue.Get(n)) {
        if (m_owner)
            m_owner->OnNotification(n);
    }
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
    if (m_owner)
        m_owner->OnTimer(m_timerId);
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
    const bool got = m_queue.WaitForItem(wait, m_clock.get());
    if (got)
        Drain();
    if (!IsDestroyed() && m_timerDue && steady_clock::now() >= *m_timerDue)
        TimerFellDue();
    return !IsDestroyed();
}
