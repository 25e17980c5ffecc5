// Waiting for the module keeps the program alive but lets no user input and
// no second exchange in.
#include "MidiTestSupport.h"

#include "midi/LoopbackBackend.h"
#include "midi/WaitGuard.h"

#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QWindow>

#include <gtest/gtest.h>

namespace {

using namespace miditest;

// Records the events it gets and whether a wait was active at the time.
class Receiver final : public QObject {
public:
    struct Seen {
        QEvent::Type type;
        bool duringWait;
    };
    bool event(QEvent* e) override
    {
        seen.push_back({e->type(), WaitGuard::IsWaiting()});
        if (onEvent)
            onEvent(e);
        return true;
    }
    int Count(QEvent::Type type) const
    {
        return int(std::count_if(seen.begin(), seen.end(), [&](const Seen& s) { return s.type == type; }));
    }
    std::vector<Seen> seen;
    std::function<void(QEvent*)> onEvent;
};

void PostKey(QObject* to)
{
    QCoreApplication::postEvent(to, new QKeyEvent(QEvent::KeyPress, Qt::Key_A, Qt::NoModifier, "a"));
}

void PostClick(QObject* to)
{
    QCoreApplication::postEvent(to, new QMouseEvent(QEvent::MouseButtonPress, QPointF(1, 1), QPointF(1, 1),
                                                    Qt::LeftButton, Qt::LeftButton, Qt::NoModifier));
}

TEST(WaitGuard, OneWaitAtATimeAndNoExchangeStartsInsideIt)
{
    TestEnvironment env;
    EXPECT_TRUE(WaitGuard::MayStartExchange("Proteus::ParameterRequest"));
    {
        WaitGuard wait("Proteus::WaitForResponse");
        EXPECT_TRUE(wait);
        EXPECT_TRUE(WaitGuard::IsWaiting());
        EXPECT_EQ(WaitGuard::CurrentWait(), "Proteus::WaitForResponse");
        {
            WaitGuard nested("Proteus::GetDeviceDetails");
            EXPECT_FALSE(nested) << "a second wait inside the first does not begin";
            nested.KeepAlive(); // and does nothing
        }
        EXPECT_TRUE(WaitGuard::IsWaiting()) << "the refused guard leaves the active one alone";
        EXPECT_FALSE(WaitGuard::MayStartExchange("Proteus::ParameterRequest"));
        EXPECT_TRUE(env.logger->Contains(
            "Cannot start Proteus::ParameterRequest while Proteus::WaitForResponse waits for the module"));
    }
    EXPECT_FALSE(WaitGuard::IsWaiting());
    EXPECT_TRUE(WaitGuard::MayStartExchange("Proteus::ParameterRequest"));
}

TEST(WaitGuard, TimersRunDuringAWaitButUserInputWaitsForItsEnd)
{
    TestEnvironment env;
    auto backend = std::make_shared<LoopbackBackend>(LoopbackBackend::Options{false, 1024, true});
    auto device = backend->AddDevice("Module");
    RecordingPort port(true, backend);
    ASSERT_TRUE(port.OpenPort(0, 0, 5000));
    ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_CONNECT) == 1; }));

    // The module answers a request only after user input and a timer have
    // had their chance to interfere.
    Receiver receiver;
    bool timerRan = false;
    bool timerMayStart = true;
    device->SetReceiver([&](const Bytes& request) {
        if (request.front() == 0xF0)
            device->Send(MakeSysEx(200)); // 64 ms on the wire
    });

    const Bytes request = MakeSysEx(10);
    ASSERT_TRUE(port.Send(request.data(), unsigned(request.size())));
    {
        WaitGuard wait("Proteus::WaitForResponse");
        PostKey(&receiver);
        PostClick(&receiver);
        QCoreApplication::postEvent(&receiver, new QEvent(QEvent::User)); // not user input
        QTimer::singleShot(0, [&] {
            timerRan = true;
            timerMayStart = WaitGuard::MayStartExchange("Proteus::ParameterRequest");
        });
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (port.received.empty() && std::chrono::steady_clock::now() < deadline) {
            ASSERT_TRUE(port.PumpMessages());
            wait.KeepAlive();
        }
        ASSERT_EQ(port.received.size(), 1u) << "the reply comes through the pump";
        EXPECT_TRUE(timerRan) << "timers run while waiting";
        EXPECT_FALSE(timerMayStart) << "but cannot start an exchange";
        EXPECT_EQ(receiver.Count(QEvent::User), 1) << "posted work of our own runs";
        EXPECT_EQ(receiver.Count(QEvent::KeyPress), 0);
        EXPECT_EQ(receiver.Count(QEvent::MouseButtonPress), 0);
    }

    // After the wait the input arrives, in the order it was given.
    ASSERT_TRUE(ProcessUntil([&] { return receiver.seen.size() == 3; }));
    ASSERT_EQ(receiver.seen.size(), 3u);
    EXPECT_EQ(receiver.seen[1].type, QEvent::KeyPress);
    EXPECT_FALSE(receiver.seen[1].duringWait);
    EXPECT_EQ(receiver.seen[2].type, QEvent::MouseButtonPress);
    EXPECT_FALSE(receiver.seen[2].duringWait);
}

TEST(WaitGuard, EventLoopStartedInsideAWaitGetsItsInput)
{
    // A message box shown inside a wait runs its own loop and must be usable.
    Receiver receiver;
    WaitGuard wait("Proteus::WaitForResponse");
    QEventLoop modal;
    receiver.onEvent = [&](QEvent* e) {
        if (e->type() == QEvent::KeyPress)
            modal.quit();
    };
    QTimer::singleShot(0, [&] { PostKey(&receiver); });
    QTimer::singleShot(5000, &modal, &QEventLoop::quit); // bound
    modal.exec();
    ASSERT_EQ(receiver.Count(QEvent::KeyPress), 1);
    EXPECT_TRUE(receiver.seen.front().duringWait);
}

TEST(WaitGuard, WindowCloseRequestWaitsForTheEndOfTheWait)
{
    QWindow window;
    window.resize(50, 50);
    window.show();
    ASSERT_TRUE(window.isVisible());
    Receiver marker;
    {
        WaitGuard wait("Proteus::WaitForResponse");
        QCoreApplication::postEvent(&window, new QCloseEvent);
        QCoreApplication::postEvent(&marker, new QEvent(QEvent::User)); // after the close
        const auto deadline = std::chrono::steady_clock::now() + 5s;
        while (marker.seen.empty() && std::chrono::steady_clock::now() < deadline)
            wait.KeepAlive();
        ASSERT_EQ(marker.seen.size(), 1u);
        EXPECT_TRUE(window.isVisible()) << "the close was held back";
    }
    EXPECT_TRUE(ProcessUntil([&] { return !window.isVisible(); })) << "and honoured after the wait";
}

TEST(WaitGuard, DeferredWorkRunsOnceNoWaitIsActive)
{
    int ran = 0;
    WaitGuard::CallWhenNoWait(nullptr, [&] { ++ran; });
    EXPECT_EQ(ran, 1) << "at once without a wait";

    auto context = std::make_unique<QObject>();
    bool droppedRan = false;
    {
        WaitGuard wait("Proteus::WaitForResponse");
        WaitGuard::CallWhenNoWait(nullptr, [&] { ++ran; });
        WaitGuard::CallWhenNoWait(context.get(), [&] { droppedRan = true; });
        for (int i = 0; i < 5; ++i)
            wait.KeepAlive();
        EXPECT_EQ(ran, 1) << "not inside the wait";
    }
    context.reset(); // its call is dropped with it
    EXPECT_TRUE(ProcessUntil([&] { return ran == 2; }));
    QCoreApplication::processEvents();
    EXPECT_FALSE(droppedRan);
}

} // namespace
