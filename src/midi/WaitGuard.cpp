#include "midi/WaitGuard.h"

#include "core/Logger.h"

#include <QCoreApplication>
#include <QEvent>
#include <QEventLoop>
#include <QMetaObject>
#include <QPointer>
#include <QThread>

#include <memory>
#include <vector>

namespace {

// Holds back user input (and window close requests) that reaches objects of
// the application's thread while a wait is active.
class InputHold final : public QObject {
public:
    explicit InputHold(int loopLevel) : m_loopLevel(loopLevel) {}

    ~InputHold() override
    {
        for (auto& h : m_held)
            delete h.event;
    }

    bool eventFilter(QObject* receiver, QEvent* event) override
    {
        // An event loop started inside the wait (a modal box) gets its input.
        if (QThread::currentThread()->loopLevel() > m_loopLevel)
            return false;
        const bool input = event->isInputEvent();
        const bool closeRequest = event->type() == QEvent::Close && receiver->isWindowType();
        if (!input && !closeRequest)
            return false;
        m_held.push_back({QPointer<QObject>(receiver), event->clone()});
        // A refused close leaves the window open; it is asked again later.
        event->ignore();
        return true;
    }

    // Delivers what was held, in order, through the event loop.
    void Release()
    {
        for (auto& h : m_held) {
            if (h.receiver) {
                h.event->setAccepted(true);
                QCoreApplication::postEvent(h.receiver, h.event);
            } else {
                delete h.event;
            }
        }
        m_held.clear();
    }

private:
    struct Held {
        QPointer<QObject> receiver;
        QEvent* event;
    };
    int m_loopLevel;
    std::vector<Held> m_held;
};

struct Deferred {
    QPointer<QObject> context;
    bool hasContext = false;
    std::function<void()> call;
};

struct WaitState {
    bool active = false;
    QString what;
    std::unique_ptr<InputHold> hold;
    std::vector<Deferred> afterWait;
};

thread_local WaitState t_wait;

bool OnApplicationThread()
{
    const QCoreApplication* app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void Schedule(Deferred d)
{
    QObject* target = d.hasContext ? d.context.data() : QCoreApplication::instance();
    if (!target) {
        if (!d.hasContext)
            d.call(); // no event loop at all: nothing to wait for
        return;
    }
    // From the event loop the call may meet a newer wait: it asks again.
    QMetaObject::invokeMethod(
        target, [d]() mutable { WaitGuard::CallWhenNoWait(d.hasContext ? d.context.data() : nullptr, d.call); },
        Qt::QueuedConnection);
}

} // namespace

WaitGuard::WaitGuard(const QString& what)
{
    if (t_wait.active) {
        TLOG(kLogError, u"Cannot wait for %s while %s waits for the module", what, t_wait.what);
        return;
    }
    m_active = true;
    t_wait.active = true;
    t_wait.what = what;
    if (OnApplicationThread()) {
        t_wait.hold = std::make_unique<InputHold>(QThread::currentThread()->loopLevel());
        QCoreApplication::instance()->installEventFilter(t_wait.hold.get());
    }
}

WaitGuard::~WaitGuard()
{
    if (!m_active)
        return;
    std::unique_ptr<InputHold> hold = std::move(t_wait.hold);
    std::vector<Deferred> deferred = std::move(t_wait.afterWait);
    t_wait.afterWait.clear();
    t_wait.active = false;
    t_wait.what.clear();
    if (hold) {
        if (QCoreApplication* app = QCoreApplication::instance())
            app->removeEventFilter(hold.get());
        hold->Release();
    }
    for (auto& d : deferred)
        Schedule(std::move(d));
}

void WaitGuard::KeepAlive()
{
    if (!m_active || !OnApplicationThread())
        return;
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
}

bool WaitGuard::IsWaiting()
{
    return t_wait.active;
}

QString WaitGuard::CurrentWait()
{
    return t_wait.what;
}

bool WaitGuard::MayStartExchange(const QString& what)
{
    if (!t_wait.active)
        return true;
    TLOG(kLogError, u"Cannot start %s while %s waits for the module", what, t_wait.what);
    return false;
}

void WaitGuard::CallWhenNoWait(QObject* context, std::function<void()> call)
{
    if (!call)
        return;
    if (!t_wait.active) {
        call();
        return;
    }
    Deferred d;
    d.context = context;
    d.hasContext = context != nullptr;
    d.call = std::move(call);
    t_wait.afterWait.push_back(std::move(d));
}
