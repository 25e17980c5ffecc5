#include "midi/JackMidi.h"

#include "core/Logger.h"
#include "midi/MidiMessages.h"

#include <jack/jack.h>
#include <jack/midiport.h>
#include <jack/ringbuffer.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <system_error>
#include <thread>

namespace jackmidi {

namespace {

std::int64_t NowMs()
{
    using namespace std::chrono;
    return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

QString NoAnswer(const char* what)
{
    return QStringLiteral("the JACK server did not answer within %1 ms (%2)")
        .arg(kJackCallLimit.count())
        .arg(QString::fromLatin1(what));
}

// One JACK client with one MIDI port: what the server's threads, the
// connection and a close that outlives the connection share. The server's
// callbacks get a plain pointer to it; it lives until the client is closed.
class Link {
public:
    explicit Link(bool isInput) : input(isInput) {}
    ~Link()
    {
        if (ring)
            jack_ringbuffer_free(ring);
    }
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    const bool input;
    jack_client_t* client = nullptr;
    jack_port_t* port = nullptr;
    jack_ringbuffer_t* ring = nullptr; // output: [length][bytes] records
    std::uint32_t frontLeft = 0;      // output, process thread only: bytes of the front record not yet sent

    std::mutex sinkLock; // held while a sink is called, and to take the sinks away
    MidiInputSink* inSink = nullptr;
    MidiOutputSink* outSink = nullptr;
    std::atomic<bool> started{false};
    std::atomic<bool> lost{false};
    std::atomic<std::int64_t> lastCycleMs{0};

    std::mutex stateLock;
    QString lostReason;
    bool openFinished = false;  // the open call has ended (successfully or not)
    bool openAbandoned = false; // nobody waits for the open any more

    void ReportLost(const QString& reason)
    {
        if (lost.exchange(true))
            return;
        {
            std::lock_guard l(stateLock);
            lostReason = reason;
        }
        std::lock_guard l(sinkLock);
        if (inSink)
            inSink->OnInputClosed();
        if (outSink)
            outSink->OnOutputClosed();
    }

    QString LostReason()
    {
        std::lock_guard l(stateLock);
        return lostReason;
    }

    // Watching: a thread that notices a process cycle that stays away. It
    // only reports; the loss is logged when the connection is closed, on the
    // closing thread.
    void StartWatching()
    {
        m_watcher = std::thread([this] { Watch(); });
    }

    void StopWatching()
    {
        {
            std::lock_guard l(m_watchLock);
            m_watchStop = true;
        }
        m_watchWake.notify_all();
        if (m_watcher.joinable())
            m_watcher.join();
    }

private:
    void Watch()
    {
        using namespace std::chrono_literals;
        std::unique_lock l(m_watchLock);
        while (!m_watchStop && !lost.load()) {
            m_watchWake.wait_for(l, 250ms, [this] { return m_watchStop; });
            if (m_watchStop)
                break;
            const std::int64_t quiet = NowMs() - lastCycleMs.load(std::memory_order_relaxed);
            if (quiet > kJackStallLimit.count())
                ReportLost(QStringLiteral("the JACK server has not run the client for %1 ms").arg(quiet));
        }
    }

    std::mutex m_watchLock;
    std::condition_variable m_watchWake;
    bool m_watchStop = false;
    std::thread m_watcher;
};

int ProcessInput(jack_nframes_t frames, void* arg)
{
    auto* link = static_cast<Link*>(arg);
    link->lastCycleMs.store(NowMs(), std::memory_order_relaxed);
    void* buffer = jack_port_get_buffer(link->port, frames);
    const jack_nframes_t count = buffer ? jack_midi_get_event_count(buffer) : 0;
    if (count == 0 || !link->started.load(std::memory_order_acquire))
        return 0;
    std::lock_guard l(link->sinkLock);
    if (!link->inSink)
        return 0;
    for (jack_nframes_t i = 0; i < count; ++i) {
        jack_midi_event_t event;
        if (jack_midi_event_get(&event, buffer, i) == 0 && event.size > 0)
            link->inSink->OnInputBytes(std::span<const std::uint8_t>(event.buffer, event.size));
    }
    return 0;
}

int ProcessOutput(jack_nframes_t frames, void* arg)
{
    auto* link = static_cast<Link*>(arg);
    link->lastCycleMs.store(NowMs(), std::memory_order_relaxed);
    void* buffer = jack_port_get_buffer(link->port, frames);
    if (!buffer)
        return 0;
    jack_midi_clear_buffer(buffer);
    // A connection made by the open takes effect at the start of a later
    // cycle; what is written before that goes nowhere. So the output waits
    // for it.
    if (jack_port_connected(link->port) == 0)
        return 0;
    // As many whole messages as the cycle's buffer takes; the rest waits for
    // the next cycle. A message larger than an empty buffer (a long SysEx on
    // a short period) goes out in pieces, one a cycle.
    bool wrote = false;
    for (;;) {
        if (link->frontLeft == 0) {
            std::uint32_t length = 0;
            const std::size_t queued = jack_ringbuffer_read_space(link->ring);
            if (queued < sizeof length)
                break;
            jack_ringbuffer_peek(link->ring, reinterpret_cast<char*>(&length), sizeof length);
            if (queued < sizeof length + length)
                break;
            jack_ringbuffer_read_advance(link->ring, sizeof length);
            link->frontLeft = length;
            if (length == 0)
                continue;
        }
        const std::size_t room = jack_midi_max_event_size(buffer);
        if (room == 0 || (link->frontLeft > room && wrote))
            break;
        const std::size_t n = std::min<std::size_t>(link->frontLeft, room);
        jack_midi_data_t* data = jack_midi_event_reserve(buffer, 0, n);
        if (!data)
            break;
        jack_ringbuffer_read(link->ring, reinterpret_cast<char*>(data), n);
        link->frontLeft -= std::uint32_t(n);
        wrote = true;
    }
    return 0;
}

void OnShutdown(jack_status_t, const char* reason, void* arg)
{
    static_cast<Link*>(arg)->ReportLost(
        QStringLiteral("the JACK server closed the client (%1)").arg(QString::fromLocal8Bit(reason ? reason : "")));
}

void CloseClient(Link& link)
{
    if (!link.client)
        return;
    jack_client_close(link.client); // deactivates first: no callback runs after it
    link.client = nullptr;
    link.port = nullptr;
}

// Opens the client, finds port `number`, makes our port and connects the two.
MidiResult OpenClient(Link& link, const QByteArray& clientName, int number)
{
    jack_status_t status{};
    link.client = jack_client_open(clientName.constData(), JackNoStartServer, &status);
    if (!link.client)
        return MidiResult::Fail(MidiError::NoDriver,
                                QStringLiteral("no JACK server is running (status 0x%1)").arg(unsigned(status), 0, 16));
    const char** ports = jack_get_ports(link.client, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                        link.input ? JackPortIsOutput : JackPortIsInput);
    int count = 0;
    while (ports && ports[count])
        ++count;
    QByteArray target;
    if (number >= 0 && number < count)
        target = ports[number];
    if (ports)
        jack_free(ports);

    MidiResult r;
    if (target.isEmpty()) {
        r = MidiResult::Fail(MidiError::BadDeviceId,
                             QStringLiteral("%1 %2 ports").arg(count).arg(link.input ? u"input" : u"output"));
    } else if (!(link.port = jack_port_register(link.client, link.input ? "Tabrine Input" : "Tabrine Output",
                                                JACK_DEFAULT_MIDI_TYPE, link.input ? JackPortIsInput : JackPortIsOutput,
                                                0))) {
        r = MidiResult::Fail(MidiError::Error, QStringLiteral("the JACK server refused a new port"));
    } else if (!link.input && !(link.ring = jack_ringbuffer_create(kJackOutputBufferBytes))) {
        r = MidiResult::Fail(MidiError::NoMemory);
    } else {
        jack_set_process_callback(link.client, link.input ? &ProcessInput : &ProcessOutput, &link);
        jack_on_info_shutdown(link.client, &OnShutdown, &link);
        link.lastCycleMs.store(NowMs());
        if (jack_activate(link.client) != 0) {
            r = MidiResult::Fail(MidiError::Error, QStringLiteral("the JACK server did not start the client"));
        } else {
            const char* own = jack_port_name(link.port);
            const int rc = link.input ? jack_connect(link.client, target.constData(), own)
                                      : jack_connect(link.client, own, target.constData());
            if (rc != 0 && rc != EEXIST)
                r = MidiResult::Fail(MidiError::Error, QStringLiteral("cannot connect %1 to %2")
                                                           .arg(QString::fromLocal8Bit(link.input ? target.constData() : own),
                                                                QString::fromLocal8Bit(link.input ? own : target.constData())));
        }
    }
    if (!r)
        CloseClient(link);
    return r;
}

// Opens a link within the time limit; null and *result on failure.
std::shared_ptr<Link> OpenLink(bool input, int number, const QString& clientName, MidiResult* result)
{
    auto link = std::make_shared<Link>(input);
    auto outcome = std::make_shared<MidiResult>();
    const QByteArray name = clientName.toLocal8Bit();
    bool ended = RunWithin(kJackCallLimit, [link, outcome, name, number] {
        const MidiResult r = OpenClient(*link, name, number);
        bool abandoned;
        {
            std::lock_guard l(link->stateLock);
            link->openFinished = true;
            abandoned = link->openAbandoned;
            if (!abandoned)
                *outcome = r;
        }
        if (abandoned)
            CloseClient(*link); // came too late: nobody will use it
    });
    {
        std::lock_guard l(link->stateLock);
        if (link->openFinished)
            ended = true; // finished just after the wait gave up
        else
            link->openAbandoned = true;
    }
    MidiResult r = ended ? *outcome : MidiResult::Fail(MidiError::NotReady, NoAnswer("opening a port"));
    if (result)
        *result = r;
    return r ? link : nullptr;
}

// Takes the sinks away, stops the watcher and closes the client within the
// time limit (a server that does not answer keeps the link until it does).
void Shut(std::shared_ptr<Link>& link, const QString& label)
{
    if (!link)
        return;
    link->started.store(false, std::memory_order_release);
    {
        std::lock_guard l(link->sinkLock);
        link->inSink = nullptr;
        link->outSink = nullptr;
    }
    link->StopWatching();
    if (link->lost.load())
        TLOG(kLogError, u"%s lost: %s", label, link->LostReason());
    std::shared_ptr<Link> closing = std::move(link);
    if (!RunWithin(kJackCallLimit, [closing] { CloseClient(*closing); }))
        TLOG(kLogError, u"%s: %s; the client is left to close when the server answers", label, NoAnswer("closing a port"));
}

class JackInput final : public MidiInputConnection {
public:
    JackInput(std::shared_ptr<Link> link, MidiInputSink* sink) : m_link(std::move(link))
    {
        {
            std::lock_guard l(m_link->sinkLock);
            m_link->inSink = sink;
        }
        m_link->StartWatching();
    }
    ~JackInput() override { Close(); }

    MidiResult Start() override
    {
        if (!m_link)
            return MidiResult::Fail(MidiError::InvalidHandle);
        m_link->started.store(true, std::memory_order_release);
        return MidiResult::Ok();
    }

    void Close() override { Shut(m_link, QStringLiteral("MIDI input (JACK)")); }

private:
    std::shared_ptr<Link> m_link;
};

class JackOutput final : public MidiOutputConnection {
public:
    JackOutput(std::shared_ptr<Link> link, MidiOutputSink* sink) : m_link(std::move(link))
    {
        {
            std::lock_guard l(m_link->sinkLock);
            m_link->outSink = sink;
        }
        m_link->StartWatching();
    }
    ~JackOutput() override { Close(); }

    MidiResult SendShort(std::span<const std::uint8_t> bytes) override
    {
        if (bytes.empty())
            return MidiResult::Fail(MidiError::InvalidParam, QStringLiteral("empty message"));
        return Queue({std::vector<std::uint8_t>(bytes.begin(), bytes.end())});
    }

    MidiResult SendLong(std::span<const std::uint8_t> bytes) override
    {
        if (bytes.empty())
            return MidiResult::Fail(MidiError::InvalidParam, QStringLiteral("empty message"));
        return Queue(SplitMidiStream(bytes));
    }

    void Close() override
    {
        std::lock_guard l(m_writeLock);
        Shut(m_link, QStringLiteral("MIDI output (JACK)"));
    }

private:
    // Hands whole messages to the process cycle, all or none; never waits.
    MidiResult Queue(const std::vector<std::vector<std::uint8_t>>& messages)
    {
        std::lock_guard l(m_writeLock);
        if (!m_link)
            return MidiResult::Fail(MidiError::InvalidHandle);
        if (m_link->lost.load())
            return MidiResult::Fail(MidiError::NotReady, m_link->LostReason());
        std::size_t need = 0;
        for (const auto& m : messages)
            need += sizeof(std::uint32_t) + m.size();
        if (jack_ringbuffer_write_space(m_link->ring) < need)
            return MidiResult::Fail(MidiError::NotReady,
                                    QStringLiteral("the JACK server is not taking the output (%1 bytes wait)")
                                        .arg(jack_ringbuffer_read_space(m_link->ring)));
        for (const auto& m : messages) {
            const auto length = std::uint32_t(m.size());
            jack_ringbuffer_write(m_link->ring, reinterpret_cast<const char*>(&length), sizeof length);
            jack_ringbuffer_write(m_link->ring, reinterpret_cast<const char*>(m.data()), m.size());
        }
        return MidiResult::Ok();
    }

    std::mutex m_writeLock; // one writer at a time into the ring
    std::shared_ptr<Link> m_link;
};

struct CallState {
    std::mutex lock;
    std::condition_variable ended;
    bool done = false;
};

} // namespace

bool RunWithin(std::chrono::milliseconds limit, std::function<void()> call)
{
    auto state = std::make_shared<CallState>();
    std::thread worker;
    try {
        worker = std::thread([state, call = std::move(call)] {
            call();
            {
                std::lock_guard l(state->lock);
                state->done = true;
            }
            state->ended.notify_all();
        });
    } catch (const std::system_error& e) {
        TLOG(kLogError, u"Cannot start a thread for a MIDI system call: %s", QString::fromLocal8Bit(e.what()));
        return false;
    }
    bool done;
    {
        std::unique_lock l(state->lock);
        done = state->ended.wait_for(l, limit, [&] { return state->done; });
    }
    if (done)
        worker.join();
    else
        worker.detach();
    return done;
}

std::vector<MidiPortInfo> ListPorts(bool input, const QString& clientName, MidiResult* result)
{
    struct Listing {
        MidiResult result;
        std::vector<MidiPortInfo> ports;
    };
    auto listing = std::make_shared<Listing>();
    const QByteArray name = clientName.toLocal8Bit();
    const bool ended = RunWithin(kJackCallLimit, [listing, name, input] {
        jack_status_t status{};
        jack_client_t* client = jack_client_open(name.constData(), JackNoStartServer, &status);
        if (!client) {
            listing->result = MidiResult::Fail(
                MidiError::NoDriver, QStringLiteral("no JACK server is running (status 0x%1)").arg(unsigned(status), 0, 16));
            return;
        }
        if (const char** ports = jack_get_ports(client, nullptr, JACK_DEFAULT_MIDI_TYPE,
                                                input ? JackPortIsOutput : JackPortIsInput)) {
            for (int i = 0; ports[i]; ++i)
                listing->ports.push_back({i, QString::fromLocal8Bit(ports[i])});
            jack_free(ports);
        }
        jack_client_close(client);
    });
    MidiResult r = ended ? listing->result : MidiResult::Fail(MidiError::NotReady, NoAnswer("listing ports"));
    if (result)
        *result = r;
    return r ? listing->ports : std::vector<MidiPortInfo>{};
}

std::unique_ptr<MidiInputConnection> OpenInput(int number, MidiInputSink* sink, const QString& clientName,
                                               MidiResult* result)
{
    std::shared_ptr<Link> link = OpenLink(true, number, clientName, result);
    if (!link)
        return nullptr;
    return std::make_unique<JackInput>(std::move(link), sink);
}

std::unique_ptr<MidiOutputConnection> OpenOutput(int number, MidiOutputSink* sink, const QString& clientName,
                                                 MidiResult* result)
{
    std::shared_ptr<Link> link = OpenLink(false, number, clientName, result);
    if (!link)
        return nullptr;
    return std::make_unique<JackOutput>(std::move(link), sink);
}

} // namespace jackmidi
