#include "midi/LoopbackBackend.h"

#include "midi/MidiMessages.h"

#include <algorithm>
#include <map>
#include <thread>

namespace loopback_detail {

using Clock = std::chrono::steady_clock;

// 31250 baud, 10 bits a byte (start, eight data bits, stop).
constexpr auto kWireTimePerByte = std::chrono::microseconds(320);

enum class Kind { ToEditor, LongError, ShortError, OpenReport, CloseReport, ToDevice };

struct Item {
    Kind kind;
    std::shared_ptr<LoopbackDevice> device;
    std::vector<std::uint8_t> bytes;
    std::uint32_t packed = 0;
};

class InputConnection;
class OutputConnection;

struct Hub {
    explicit Hub(LoopbackBackend::Options o) : options(o)
    {
        if (options.chunkSize == 0)
            options.chunkSize = 1024;
    }

    LoopbackBackend::Options options;
    std::mutex lock;
    std::condition_variable changed;
    std::map<std::pair<Clock::time_point, std::uint64_t>, Item> queue;
    std::uint64_t nextSeq = 0;
    bool stop = false;
    bool delivering = false;
    const void* deliveringTo = nullptr;
    std::thread::id workerId;
    std::thread worker;
    std::vector<std::shared_ptr<LoopbackDevice>> devices;

    // When a message of n bytes handed over now is complete at the far end.
    Clock::time_point Pace(Clock::time_point& busyUntil, std::size_t n)
    {
        const auto now = Clock::now();
        if (!options.paceAtWireRate)
            return now;
        const auto start = std::max(now, busyUntil);
        busyUntil = start + kWireTimePerByte * static_cast<long>(n);
        return busyUntil;
    }

    void Enqueue(Clock::time_point due, Item item)
    {
        queue.emplace(std::make_pair(due, nextSeq++), std::move(item));
        changed.notify_all();
    }

    // Close waits here so that no callback into its sink is running or can
    // start once it returns; the worker itself never waits for itself.
    void WaitNotDeliveringTo(std::unique_lock<std::mutex>& l, const void* target)
    {
        if (std::this_thread::get_id() == workerId)
            return;
        changed.wait(l, [&] { return !(delivering && deliveringTo == target); });
    }

    template <class F>
    void CallUnlocked(std::unique_lock<std::mutex>& l, const void* target, F&& call)
    {
        delivering = true;
        deliveringTo = target;
        l.unlock();
        call();
        l.lock();
        delivering = false;
        deliveringTo = nullptr;
        changed.notify_all();
    }

    void Run();
    void Deliver(std::unique_lock<std::mutex>& l, Item& item);
};

class InputConnection final : public MidiInputConnection {
public:
    InputConnection(std::shared_ptr<Hub> h, std::shared_ptr<LoopbackDevice> d, MidiInputSink* s)
        : hub(std::move(h)), device(std::move(d)), sink(s)
    {
    }
    ~InputConnection() override { Close(); }

    MidiResult Start() override
    {
        std::lock_guard l(hub->lock);
        if (closed)
            return MidiResult::Fail(MidiError::InvalidHandle);
        started = true;
        return MidiResult::Ok();
    }

    void Close() override
    {
        std::unique_lock l(hub->lock);
        if (closed)
            return;
        closed = true;
        started = false;
        if (device->m_input == this)
            device->m_input = nullptr;
        hub->WaitNotDeliveringTo(l, this);
        const bool report = openReported && !closeReported;
        closeReported = true;
        l.unlock();
        if (report)
            sink->OnInputClosed();
    }

    std::shared_ptr<Hub> hub;
    std::shared_ptr<LoopbackDevice> device;
    MidiInputSink* sink;
    // Guarded by the hub's lock.
    bool started = false;
    bool openReported = false;
    bool closeReported = false;
    bool dead = false;
    bool closed = false;
};

class OutputConnection final : public MidiOutputConnection {
public:
    OutputConnection(std::shared_ptr<Hub> h, std::shared_ptr<LoopbackDevice> d, MidiOutputSink* s)
        : hub(std::move(h)), device(std::move(d)), sink(s)
    {
    }
    ~OutputConnection() override { Close(); }

    MidiResult SendShort(std::span<const std::uint8_t> bytes) override { return SendLong(bytes); }

    MidiResult SendLong(std::span<const std::uint8_t> bytes) override
    {
        std::lock_guard l(hub->lock);
        if (closed)
            return MidiResult::Fail(MidiError::InvalidHandle);
        if (dead || hub->stop)
            return MidiResult::Fail(MidiError::NotReady, QStringLiteral("the loopback device has gone"));
        if (bytes.empty())
            return MidiResult::Fail(MidiError::InvalidParam, QStringLiteral("empty message"));
        for (auto& message : SplitMidiStream(bytes)) {
            const auto due = hub->Pace(device->m_toDeviceBusy, message.size());
            hub->Enqueue(due, Item{Kind::ToDevice, device, std::move(message), 0});
        }
        return MidiResult::Ok();
    }

    void Close() override
    {
        std::unique_lock l(hub->lock);
        if (closed)
            return;
        closed = true;
        if (device->m_output == this)
            device->m_output = nullptr;
        hub->WaitNotDeliveringTo(l, this);
        const bool report = openReported && !closeReported;
        closeReported = true;
        l.unlock();
        if (report && sink)
            sink->OnOutputClosed();
    }

    std::shared_ptr<Hub> hub;
    std::shared_ptr<LoopbackDevice> device;
    MidiOutputSink* sink;
    bool openReported = false;
    bool closeReported = false;
    bool dead = false;
    bool closed = false;
};

void Hub::Run()
{
    std::unique_lock l(lock);
    while (!stop) {
        if (queue.empty()) {
            changed.wait(l);
            continue;
        }
        auto it = queue.begin();
        if (it->first.first > Clock::now()) {
            changed.wait_until(l, it->first.first);
            continue;
        }
        Item item = std::move(it->second);
        queue.erase(it);
        Deliver(l, item);
        changed.notify_all();
    }
}

void Hub::Deliver(std::unique_lock<std::mutex>& l, Item& item)
{
    LoopbackDevice& device = *item.device;
    InputConnection* in = device.m_input;
    OutputConnection* out = device.m_output;
    switch (item.kind) {
    case Kind::ToEditor:
    case Kind::LongError:
    case Kind::ShortError: {
        if (!in || !in->started || in->dead)
            return; // nobody listening: lost, as on a cable
        MidiInputSink* sink = in->sink;
        CallUnlocked(l, in, [&] {
            if (item.kind == Kind::ToEditor)
                sink->OnInputBytes(item.bytes);
            else if (item.kind == Kind::LongError)
                sink->OnInputLongError(item.bytes);
            else
                sink->OnInputShortError(item.packed);
        });
        return;
    }
    case Kind::OpenReport:
        if (in && !in->openReported && !in->dead) {
            in->openReported = true;
            MidiInputSink* sink = in->sink;
            CallUnlocked(l, in, [&] { sink->OnInputOpened(); });
        }
        out = device.m_output; // may have changed while unlocked
        if (out && !out->openReported && !out->dead) {
            out->openReported = true;
            MidiOutputSink* sink = out->sink;
            if (sink)
                CallUnlocked(l, out, [&] { sink->OnOutputOpened(); });
        }
        return;
    case Kind::CloseReport:
        if (in && in->openReported && !in->closeReported) {
            in->closeReported = true;
            MidiInputSink* sink = in->sink;
            CallUnlocked(l, in, [&] { sink->OnInputClosed(); });
        }
        out = device.m_output;
        if (out && out->openReported && !out->closeReported) {
            out->closeReported = true;
            MidiOutputSink* sink = out->sink;
            if (sink)
                CallUnlocked(l, out, [&] { sink->OnOutputClosed(); });
        }
        return;
    case Kind::ToDevice:
        CallUnlocked(l, &device, [&] { device.Deliver(item.bytes); });
        return;
    }
}

} // namespace loopback_detail

using namespace loopback_detail;

// ---- LoopbackDevice ----

LoopbackDevice::LoopbackDevice(const QString& name, std::weak_ptr<Hub> hub) : m_name(name), m_hub(std::move(hub)) {}

LoopbackDevice::~LoopbackDevice() = default;

void LoopbackDevice::SetReceiver(Receiver receiver)
{
    std::lock_guard l(m_lock);
    m_receiver = std::move(receiver);
}

void LoopbackDevice::Deliver(const std::vector<std::uint8_t>& message)
{
    Receiver receiver;
    {
        std::lock_guard l(m_lock);
        m_received.push_back(message);
        receiver = m_receiver;
    }
    m_receivedChanged.notify_all();
    if (receiver)
        receiver(message);
}

namespace {

std::shared_ptr<LoopbackDevice> SelfOf(const std::shared_ptr<Hub>& hub, const LoopbackDevice* device)
{
    for (const auto& d : hub->devices)
        if (d.get() == device)
            return d;
    return nullptr;
}

} // namespace

bool LoopbackDevice::Send(std::span<const std::uint8_t> bytes)
{
    auto hub = m_hub.lock();
    if (!hub)
        return false;
    std::lock_guard l(hub->lock);
    auto self = SelfOf(hub, this);
    if (!self || hub->stop)
        return false;
    for (auto& message : SplitMidiStream(bytes)) {
        const std::size_t chunk = hub->options.chunkSize;
        if (hub->options.splitSysEx && message.front() == 0xF0 && message.size() > chunk) {
            for (std::size_t at = 0; at < message.size(); at += chunk) {
                std::vector<std::uint8_t> piece(message.begin() + long(at),
                                                message.begin() + long(std::min(message.size(), at + chunk)));
                const auto due = hub->Pace(m_toEditorBusy, piece.size());
                hub->Enqueue(due, Item{Kind::ToEditor, self, std::move(piece), 0});
            }
        } else {
            const auto due = hub->Pace(m_toEditorBusy, message.size());
            hub->Enqueue(due, Item{Kind::ToEditor, self, std::move(message), 0});
        }
    }
    return m_input && !m_input->dead;
}

bool LoopbackDevice::SendShort(std::uint32_t packed)
{
    const auto bytes = UnpackShortMessage(packed);
    if (bytes.empty())
        return false;
    return Send(bytes);
}

void LoopbackDevice::SendLongError(std::span<const std::uint8_t> bytes)
{
    auto hub = m_hub.lock();
    if (!hub)
        return;
    std::lock_guard l(hub->lock);
    if (auto self = SelfOf(hub, this); self && !hub->stop) {
        const auto due = hub->Pace(m_toEditorBusy, bytes.size());
        hub->Enqueue(due, Item{Kind::LongError, self, std::vector<std::uint8_t>(bytes.begin(), bytes.end()), 0});
    }
}

void LoopbackDevice::SendShortError(std::uint32_t packed)
{
    auto hub = m_hub.lock();
    if (!hub)
        return;
    std::lock_guard l(hub->lock);
    if (auto self = SelfOf(hub, this); self && !hub->stop)
        hub->Enqueue(hub->Pace(m_toEditorBusy, 3), Item{Kind::ShortError, self, {}, packed});
}

void LoopbackDevice::HoldOpen(bool hold)
{
    if (auto hub = m_hub.lock()) {
        std::lock_guard l(hub->lock);
        m_holdOpen = hold;
    }
}

void LoopbackDevice::ReportOpen()
{
    auto hub = m_hub.lock();
    if (!hub)
        return;
    std::lock_guard l(hub->lock);
    if (auto self = SelfOf(hub, this); self && !hub->stop)
        hub->Enqueue(Clock::now(), Item{Kind::OpenReport, self, {}, 0});
}

void LoopbackDevice::ReportClosed()
{
    auto hub = m_hub.lock();
    if (!hub)
        return;
    std::lock_guard l(hub->lock);
    if (m_input)
        m_input->dead = true;
    if (m_output)
        m_output->dead = true;
    if (auto self = SelfOf(hub, this); self && !hub->stop)
        hub->Enqueue(Clock::now(), Item{Kind::CloseReport, self, {}, 0});
}

bool LoopbackDevice::IsInputOpen() const
{
    auto hub = m_hub.lock();
    if (!hub)
        return false;
    std::lock_guard l(hub->lock);
    return m_input != nullptr;
}

bool LoopbackDevice::IsOutputOpen() const
{
    auto hub = m_hub.lock();
    if (!hub)
        return false;
    std::lock_guard l(hub->lock);
    return m_output != nullptr;
}

std::vector<std::vector<std::uint8_t>> LoopbackDevice::Received() const
{
    std::lock_guard l(m_lock);
    return m_received;
}

void LoopbackDevice::ClearReceived()
{
    std::lock_guard l(m_lock);
    m_received.clear();
}

bool LoopbackDevice::WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const
{
    std::unique_lock l(m_lock);
    return m_receivedChanged.wait_for(l, timeout, [&] { return m_received.size() >= count; });
}

// ---- LoopbackBackend ----

LoopbackBackend::LoopbackBackend() : LoopbackBackend(Options{}) {}

LoopbackBackend::LoopbackBackend(Options options) : m_hub(std::make_shared<Hub>(options))
{
    std::lock_guard l(m_hub->lock);
    m_hub->worker = std::thread([hub = m_hub.get()] { hub->Run(); });
    m_hub->workerId = m_hub->worker.get_id();
}

LoopbackBackend::~LoopbackBackend()
{
    {
        std::lock_guard l(m_hub->lock);
        m_hub->stop = true;
        m_hub->queue.clear();
    }
    m_hub->changed.notify_all();
    if (m_hub->worker.joinable())
        m_hub->worker.join();
}

std::shared_ptr<LoopbackDevice> LoopbackBackend::AddDevice(const QString& name)
{
    std::lock_guard l(m_hub->lock);
    std::shared_ptr<LoopbackDevice> device(new LoopbackDevice(name, m_hub));
    m_hub->devices.push_back(device);
    return device;
}

void LoopbackBackend::RemoveDevice(const QString& name)
{
    std::shared_ptr<LoopbackDevice> device = FindDevice(name);
    if (!device)
        return;
    device->ReportClosed();
    std::lock_guard l(m_hub->lock);
    auto& list = m_hub->devices;
    list.erase(std::find(list.begin(), list.end(), device));
}

std::shared_ptr<LoopbackDevice> LoopbackBackend::FindDevice(const QString& name) const
{
    std::lock_guard l(m_hub->lock);
    for (const auto& d : m_hub->devices)
        if (d->Name() == name)
            return d;
    return nullptr;
}

bool LoopbackBackend::Flush(std::chrono::milliseconds timeout)
{
    std::unique_lock l(m_hub->lock);
    return m_hub->changed.wait_for(l, timeout, [&] { return m_hub->queue.empty() && !m_hub->delivering; });
}

std::vector<MidiPortInfo> LoopbackBackend::InputPorts()
{
    std::lock_guard l(m_hub->lock);
    std::vector<MidiPortInfo> ports;
    for (std::size_t i = 0; i < m_hub->devices.size(); ++i)
        ports.push_back({int(i), m_hub->devices[i]->Name()});
    return ports;
}

std::vector<MidiPortInfo> LoopbackBackend::OutputPorts()
{
    return InputPorts();
}

std::unique_ptr<MidiInputConnection> LoopbackBackend::OpenInput(int number, MidiInputSink* sink, MidiResult* result)
{
    std::unique_lock l(m_hub->lock);
    auto fail = [&](MidiError code, const QString& detail) {
        if (result)
            *result = MidiResult::Fail(code, detail);
        return nullptr;
    };
    if (number < 0 || std::size_t(number) >= m_hub->devices.size())
        return fail(MidiError::BadDeviceId, QStringLiteral("%1 loopback ports").arg(m_hub->devices.size()));
    auto device = m_hub->devices[std::size_t(number)];
    if (device->m_input)
        return fail(MidiError::Allocated, device->Name());
    auto conn = std::make_unique<InputConnection>(m_hub, device, sink);
    device->m_input = conn.get();
    const bool report = !device->m_holdOpen;
    conn->openReported = report;
    l.unlock();
    if (result)
        *result = MidiResult::Ok();
    // The open is reported while the open call runs, as drivers do.
    if (report)
        sink->OnInputOpened();
    return conn;
}

std::unique_ptr<MidiOutputConnection> LoopbackBackend::OpenOutput(int number, MidiOutputSink* sink, MidiResult* result)
{
    std::unique_lock l(m_hub->lock);
    auto fail = [&](MidiError code, const QString& detail) {
        if (result)
            *result = MidiResult::Fail(code, detail);
        return nullptr;
    };
    if (number < 0 || std::size_t(number) >= m_hub->devices.size())
        return fail(MidiError::BadDeviceId, QStringLiteral("%1 loopback ports").arg(m_hub->devices.size()));
    auto device = m_hub->devices[std::size_t(number)];
    if (device->m_output)
        return fail(MidiError::Allocated, device->Name());
    auto conn = std::make_unique<OutputConnection>(m_hub, device, sink);
    device->m_output = conn.get();
    const bool report = !device->m_holdOpen;
    conn->openReported = report;
    l.unlock();
    if (result)
        *result = MidiResult::Ok();
    if (report && sink)
        sink->OnOutputOpened();
    return conn;
}
