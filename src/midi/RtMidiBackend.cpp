#include "midi/RtMidiBackend.h"

#include "core/Logger.h"
#include "midi/JackMidi.h"
#include "midi/MidiMessages.h"

#include <RtMidi.h>

#include <atomic>
#include <exception>
#include <mutex>

namespace {

RtMidi::Api ToRtMidi(RtMidiBackend::Api api)
{
    return api == RtMidiBackend::Api::Jack ? RtMidi::UNIX_JACK : RtMidi::LINUX_ALSA;
}

bool IsCompiled(RtMidi::Api api)
{
    std::vector<RtMidi::Api> apis;
    RtMidi::getCompiledApi(apis);
    return std::find(apis.begin(), apis.end(), api) != apis.end();
}

// RtMidi reports trouble through one callback per client. With the callback
// installed it no longer throws, so every call is followed by a look at what
// the callback recorded. Reports that come while no call of ours runs (on the
// input thread) are logged as they come.
class ErrorRecorder {
public:
    explicit ErrorRecorder(QString origin) : m_origin(std::move(origin)) {}

    static void Callback(RtMidiError::Type type, const std::string& text, void* user)
    {
        static_cast<ErrorRecorder*>(user)->Record(type, QString::fromStdString(text));
    }

    void Install(RtMidi& client) { client.setErrorCallback(&ErrorRecorder::Callback, this); }

    /// The number of errors so far; compare before and after a call.
    unsigned Count() const
    {
        std::lock_guard lock(m_lock);
        return m_count;
    }
    QString Last() const
    {
        std::lock_guard lock(m_lock);
        return m_last;
    }
    void SetQuiet(bool quiet) { m_quiet.store(quiet); }

private:
    void Record(RtMidiError::Type type, const QString& text)
    {
        if (type == RtMidiError::DEBUG_WARNING)
            return;
        {
            std::lock_guard lock(m_lock);
            ++m_count;
            m_last = text;
        }
        if (!m_quiet.load())
            TLOG(kLogError, u"%s: %s", m_origin, text);
    }

    QString m_origin;
    mutable std::mutex m_lock;
    unsigned m_count = 0;
    QString m_last;
    std::atomic<bool> m_quiet{true};
};

// Runs one RtMidi call, turning an exception into a failed result.
template <class F>
MidiResult Guarded(ErrorRecorder* errors, MidiError failCode, F&& call)
{
    const unsigned before = errors ? errors->Count() : 0;
    try {
        call();
    } catch (const RtMidiError& e) {
        return MidiResult::Fail(failCode, QString::fromStdString(e.getMessage()));
    } catch (const std::exception& e) {
        return MidiResult::Fail(failCode, QString::fromUtf8(e.what()));
    } catch (...) {
        return MidiResult::Fail(failCode, QStringLiteral("unknown failure in the MIDI system"));
    }
    if (errors && errors->Count() != before)
        return MidiResult::Fail(failCode, errors->Last());
    return MidiResult::Ok();
}

template <class Client>
MidiResult MakeClient(RtMidi::Api api, const QString& clientName, std::unique_ptr<Client>& out)
{
    if (!IsCompiled(api))
        return MidiResult::Fail(MidiError::NoDriver,
                                QStringLiteral("RtMidi was built without %1").arg(QString::fromStdString(RtMidi::getApiName(api))));
    return Guarded(nullptr, MidiError::NoDriver, [&] { out = std::make_unique<Client>(api, clientName.toStdString()); });
}

class RtInputConnection final : public MidiInputConnection {
public:
    RtInputConnection(MidiInputSink* sink, const QString& origin) : m_sink(sink), m_errors(origin) {}
    ~RtInputConnection() override { Close(); }

    static void Callback(double, std::vector<unsigned char>* message, void* user)
    {
        auto* self = static_cast<RtInputConnection*>(user);
        if (!message || message->empty() || !self->m_started.load(std::memory_order_acquire))
            return;
        self->m_sink->OnInputBytes(std::span<const std::uint8_t>(message->data(), message->size()));
    }

    MidiResult Start() override
    {
        m_started.store(true, std::memory_order_release);
        return MidiResult::Ok();
    }

    void Close() override
    {
        m_started.store(false, std::memory_order_release);
        if (!m_client)
            return;
        m_errors.SetQuiet(true);
        Guarded(&m_errors, MidiError::Error, [&] { m_client->closePort(); });
        // Destroying the client stops RtMidi's input thread (ALSA) or closes
        // the JACK client, so no callback runs after this.
        try {
            m_client.reset();
        } catch (...) {
        }
    }

    std::unique_ptr<RtMidiIn> m_client;
    MidiInputSink* m_sink;
    ErrorRecorder m_errors;
    std::atomic<bool> m_started{false};
};

class RtOutputConnection final : public MidiOutputConnection {
public:
    explicit RtOutputConnection(const QString& origin) : m_errors(origin) {}
    ~RtOutputConnection() override { Close(); }

    MidiResult SendShort(std::span<const std::uint8_t> bytes) override
    {
        if (!m_client)
            return MidiResult::Fail(MidiError::InvalidHandle);
        if (bytes.empty())
            return MidiResult::Fail(MidiError::InvalidParam, QStringLiteral("empty message"));
        return Guarded(&m_errors, MidiError::Error, [&] { m_client->sendMessage(bytes.data(), bytes.size()); });
    }

    MidiResult SendLong(std::span<const std::uint8_t> bytes) override
    {
        if (!m_client)
            return MidiResult::Fail(MidiError::InvalidHandle);
        if (bytes.empty())
            return MidiResult::Fail(MidiError::InvalidParam, QStringLiteral("empty message"));
        // RtMidi takes one message per call; long data may hold several.
        for (const auto& message : SplitMidiStream(bytes)) {
            MidiResult r = Guarded(&m_errors, MidiError::Error,
                                   [&] { m_client->sendMessage(message.data(), message.size()); });
            if (!r)
                return r;
        }
        return MidiResult::Ok();
    }

    void Close() override
    {
        if (!m_client)
            return;
        Guarded(&m_errors, MidiError::Error, [&] { m_client->closePort(); });
        try {
            m_client.reset();
        } catch (...) {
        }
    }

    std::unique_ptr<RtMidiOut> m_client;
    ErrorRecorder m_errors;
};

} // namespace

RtMidiBackend::RtMidiBackend(Api api, const QString& clientName) : m_api(api), m_clientName(clientName) {}

std::optional<RtMidiBackend::Api> RtMidiBackend::ApiFromName(const QString& name)
{
    const QString n = name.trimmed();
    if (n.compare(u"ALSA", Qt::CaseInsensitive) == 0)
        return Api::Alsa;
    if (n.compare(u"JACK", Qt::CaseInsensitive) == 0)
        return Api::Jack;
    return std::nullopt;
}

QString RtMidiBackend::ApiName(Api api)
{
    return api == Api::Jack ? QStringLiteral("JACK") : QStringLiteral("ALSA");
}

QString RtMidiBackend::Name() const
{
    return ApiName(m_api);
}

std::vector<MidiPortInfo> RtMidiBackend::Ports(bool input)
{
    std::vector<MidiPortInfo> ports;
    const QString what = input ? QStringLiteral("input") : QStringLiteral("output");
    ErrorRecorder errors(QStringLiteral("RtMidiBackend"));
    auto list = [&](auto& client) {
        errors.Install(*client);
        unsigned count = 0;
        MidiResult r = Guarded(&errors, MidiError::NoDriver, [&] { count = client->getPortCount(); });
        if (!r)
            return r;
        for (unsigned i = 0; i < count; ++i) {
            std::string name;
            r = Guarded(&errors, MidiError::Error, [&] { name = client->getPortName(i); });
            if (!r)
                return r;
            ports.push_back({int(i), QString::fromStdString(name)});
        }
        return MidiResult::Ok();
    };

    MidiResult r;
    if (m_api == Api::Jack) {
        ports = jackmidi::ListPorts(input, m_clientName, &r);
    } else if (input) {
        std::unique_ptr<RtMidiIn> client;
        r = MakeClient(ToRtMidi(m_api), m_clientName, client);
        if (r)
            r = list(client);
    } else {
        std::unique_ptr<RtMidiOut> client;
        r = MakeClient(ToRtMidi(m_api), m_clientName, client);
        if (r)
            r = list(client);
    }
    if (!r) {
        TLOG(kLogError, u"Cannot list the MIDI %s ports of %s: %s", what, Name(), r.detail);
        ports.clear();
    }
    return ports;
}

std::vector<MidiPortInfo> RtMidiBackend::InputPorts()
{
    return Ports(true);
}

std::vector<MidiPortInfo> RtMidiBackend::OutputPorts()
{
    return Ports(false);
}

std::unique_ptr<MidiInputConnection> RtMidiBackend::OpenInput(int number, MidiInputSink* sink, MidiResult* result)
{
    if (m_api == Api::Jack) {
        MidiResult r;
        auto conn = jackmidi::OpenInput(number, sink, m_clientName, &r);
        if (!conn)
            LogJackOpenFailure(true, number, r);
        if (result)
            *result = r;
        return conn;
    }
    auto conn = std::make_unique<RtInputConnection>(sink, QStringLiteral("MIDI input (%1)").arg(Name()));
    MidiResult r = MakeClient(ToRtMidi(m_api), m_clientName, conn->m_client);
    if (r) {
        conn->m_errors.Install(*conn->m_client);
        unsigned count = 0;
        r = Guarded(&conn->m_errors, MidiError::NoDriver, [&] { count = conn->m_client->getPortCount(); });
        if (r && (number < 0 || unsigned(number) >= count))
            r = MidiResult::Fail(MidiError::BadDeviceId, QStringLiteral("%1 input ports").arg(count));
    }
    if (r) {
        RtInputConnection* raw = conn.get();
        r = Guarded(&conn->m_errors, MidiError::Error, [&] {
            raw->m_client->ignoreTypes(false, false, false);
            raw->m_client->setCallback(&RtInputConnection::Callback, raw);
            raw->m_client->openPort(unsigned(number), "Tabrine Input");
        });
        if (r && !conn->m_client->isPortOpen())
            r = MidiResult::Fail(MidiError::Error, QStringLiteral("the port did not open"));
    }
    if (!r) {
        if (!r.detail.isEmpty())
            TLOG(kLogError, u"Cannot open MIDI input %d of %s: %s", number, Name(), r.detail);
        if (result)
            *result = r;
        return nullptr;
    }
    conn->m_errors.SetQuiet(false);
    if (result)
        *result = MidiResult::Ok();
    return conn;
}

std::unique_ptr<MidiOutputConnection> RtMidiBackend::OpenOutput(int number, MidiOutputSink* sink, MidiResult* result)
{
    if (m_api == Api::Jack) {
        MidiResult r;
        auto conn = jackmidi::OpenOutput(number, sink, m_clientName, &r);
        if (!conn)
            LogJackOpenFailure(false, number, r);
        if (result)
            *result = r;
        return conn;
    }
    auto conn = std::make_unique<RtOutputConnection>(QStringLiteral("MIDI output (%1)").arg(Name()));
    MidiResult r = MakeClient(ToRtMidi(m_api), m_clientName, conn->m_client);
    if (r) {
        conn->m_errors.Install(*conn->m_client);
        unsigned count = 0;
        r = Guarded(&conn->m_errors, MidiError::NoDriver, [&] { count = conn->m_client->getPortCount(); });
        if (r && (number < 0 || unsigned(number) >= count))
            r = MidiResult::Fail(MidiError::BadDeviceId, QStringLiteral("%1 output ports").arg(count));
    }
    if (r) {
        r = Guarded(&conn->m_errors, MidiError::Error, [&] { conn->m_client->openPort(unsigned(number), "Tabrine Output"); });
        if (r && !conn->m_client->isPortOpen())
            r = MidiResult::Fail(MidiError::Error, QStringLiteral("the port did not open"));
    }
    if (!r) {
        if (!r.detail.isEmpty())
            TLOG(kLogError, u"Cannot open MIDI output %d of %s: %s", number, Name(), r.detail);
        if (result)
            *result = r;
        return nullptr;
    }
    if (result)
        *result = MidiResult::Ok();
    return conn;
}

void RtMidiBackend::LogJackOpenFailure(bool input, int number, const MidiResult& r) const
{
    if (!r.detail.isEmpty())
        TLOG(kLogError, u"Cannot open MIDI %s %d of %s: %s", input ? u"input" : u"output", number, Name(), r.detail);
}
