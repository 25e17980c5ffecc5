#include "sim/VirtualLoopback.h"

#include <QByteArray>

#include <algorithm>
#include <chrono>
#include <span>

namespace sim {

namespace {

// Settling is real work on the loopback's worker (microseconds); this only
// bounds a hang.
constexpr std::chrono::milliseconds kSettleLimit{5000};

} // namespace

VirtualLoopback::VirtualLoopback(Device& device, std::shared_ptr<LoopbackBackend> backend,
                                 std::shared_ptr<LoopbackDevice> endpoint)
    : backend_(std::move(backend)), endpoint_(std::move(endpoint)), state_(std::make_shared<State>(device))
{
}

VirtualLoopback::~VirtualLoopback() { stop(); }

void VirtualLoopback::start()
{
    {
        std::lock_guard<std::mutex> lock(state_->lock);
        state_->hearing = true;
    }
    std::weak_ptr<State> weak = state_;
    endpoint_->SetReceiver([weak](const std::vector<std::uint8_t>& message) {
        const std::shared_ptr<State> s = weak.lock();
        if (!s)
            return;
        std::lock_guard<std::mutex> lock(s->lock);
        if (!s->hearing)
            return;
        // Heard at the current virtual time: time moves only while the editor
        // waits, and every wait settles the loopback first.
        s->device.receiveFromHost(QByteArray(reinterpret_cast<const char*>(message.data()), qsizetype(message.size())),
                                  std::max(s->clock.now(), s->device.now()));
    });
}

void VirtualLoopback::stop()
{
    endpoint_->SetReceiver({});
    // Waits for a receiver call in progress on the loopback's worker.
    std::lock_guard<std::mutex> lock(state_->lock);
    state_->hearing = false;
}

SimTime VirtualLoopback::now() const
{
    std::lock_guard<std::mutex> lock(state_->lock);
    return state_->clock.now();
}

std::int64_t VirtualLoopback::NowMs() const
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(now()).count();
}

void VirtualLoopback::settle()
{
    backend_->Flush(kSettleLimit);
}

std::vector<Delivery> VirtualLoopback::advance(SimTime deadline, bool all)
{
    std::lock_guard<std::mutex> lock(state_->lock);
    Device& device = state_->device;
    VirtualClock& clock = state_->clock;
    std::vector<Delivery> got;
    for (std::optional<SimTime> next = device.nextEventTime(); next && *next <= deadline;
         next = device.nextEventTime()) {
        clock.advanceTo(*next);
        device.runUntil(*next);
        for (Delivery& d : device.takeDeliveries())
            got.push_back(std::move(d));
        if (!all && !got.empty())
            return got;
    }
    clock.advanceTo(deadline);
    device.runUntil(deadline);
    for (Delivery& d : device.takeDeliveries())
        got.push_back(std::move(d));
    return got;
}

void VirtualLoopback::forward(const std::vector<Delivery>& deliveries)
{
    for (const Delivery& d : deliveries) {
        const auto bytes = std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(d.bytes.constData()),
                                                         std::size_t(d.bytes.size()));
        switch (d.kind) {
        case EntryKind::Message:
            endpoint_->Send(bytes);
            break;
        case EntryKind::InputError:
            endpoint_->SendLongError(bytes);
            break;
        case EntryKind::Disconnect:
            endpoint_->ReportClosed();
            break;
        case EntryKind::Reconnect:
            break; // the port opens the device again by itself
        }
    }
    settle();
}

VirtualLoopback::Accounts VirtualLoopback::accounts() const
{
    std::lock_guard<std::mutex> lock(state_->lock);
    return state_->accounts;
}

void VirtualLoopback::SleepMs(std::int64_t ms)
{
    settle();
    if (ms <= 0)
        return;
    {
        std::lock_guard<std::mutex> lock(state_->lock);
        state_->accounts.paused += Millis(ms);
        const SimTime start = state_->clock.now();
        state_->accounts.periods.emplace_back(start, start + Millis(ms), false);
    }
    forward(advance(now() + Millis(ms), true));
}

void VirtualLoopback::WaitFor(std::unique_lock<std::mutex>& lock, std::condition_variable&, std::int64_t ms,
                              const std::function<bool()>& ready)
{
    // The caller's lock guards what ready() reads; deliveries take it too.
    lock.unlock();
    settle();
    lock.lock();
    if (ready() || ms <= 0)
        return;
    lock.unlock();
    const SimTime start = now();
    const std::vector<Delivery> got = advance(start + Millis(ms), false);
    {
        std::lock_guard<std::mutex> guard(state_->lock);
        const bool message = std::any_of(got.begin(), got.end(),
                                         [](const Delivery& d) { return d.kind == EntryKind::Message; });
        if (message)
            ++state_->accounts.roundTrips;
        else if (got.empty()) {
            state_->accounts.timedOut += state_->clock.now() - start;
            state_->accounts.periods.emplace_back(start, state_->clock.now(), true);
        }
    }
    forward(got);
    lock.lock();
}

} // namespace sim
