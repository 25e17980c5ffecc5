// Proteus: the port, the response matching and the blocking wait, the
// listener walks.
#include "connection/Proteus.h"

#include "module/ModuleInfo.h"

#include "core/Logger.h"
#include "core/MainWindowRepaint.h"
#include "core/Settings.h"
#include "midi/WaitGuard.h"
#include "platform/Clock.h"

#include <QStringList>

#include <algorithm>
#include <cstdlib>
#include <cstring>

namespace {

// With the long-wait flag a wait lasts at least this long (the module stores
// an uploaded preset before it answers).
constexpr std::int64_t kLongWaitMs = 10000;

// The first bytes of an ignored reply that its log line shows.
constexpr std::size_t kShownReplyBytes = 16;

} // namespace

// ---- Construction -----------------------------------------------------------------------

namespace {

ConnectionServices WithBackend(std::shared_ptr<MidiBackend> backend)
{
    ConnectionServices services = ProcessWideServices();
    services.backend = std::move(backend);
    return services;
}

} // namespace

Proteus::Proteus(std::shared_ptr<MidiBackend> backend) : Proteus(WithBackend(std::move(backend))) {}

Proteus::Proteus(const ConnectionServices& services)
    : MidiPort(true, services.Port()), m_services(services), m_linkServices(services.Link())
{
    m_services.backend = GetPortServices().backend;
}

Proteus::~Proteus()
{
    // Nothing may be dispatched to the half-destroyed object while the port
    // closes underneath it.
    DestroyHiddenWindow();
}

bool Proteus::OpenPort(int inputDevice, int outputDevice, int deviceId, unsigned timeoutMs, int writeDelay,
                       int sysExDelay, bool skipScreenDump)
{
    TLOG(kLogPortDetail, u"%s(%lx, %lx, %lx)", u"Proteus::OpenPort", inputDevice, outputDevice, deviceId);
    m_deviceId = deviceId;
    m_writeDelay = writeDelay;
    m_sysExDelay = sysExDelay;
    m_skipScreenDump = skipScreenDump;
    return MidiPort::OpenPort(inputDevice, outputDevice, timeoutMs);
}

// ---- Warnings ---------------------------------------------------------------------------

bool Proteus::ResponseWarningsSuppressed() const
{
    return m_suppressWarnings || GetGlobalConfigurations().GetBool(TestUI);
}

// ---- Sending ----------------------------------------------------------------------------

bool Proteus::ReadyToSend(const QString& request)
{
    if (!m_connected || !IsInputOpen() || !IsOutputOpen())
        return false;
    // A request from a timer, a posted call or a listener that runs inside a
    // wait would nest a second exchange in the first one.
    return WaitGuard::MayStartExchange(request);
}

bool Proteus::SendSysEx(const SysExMessage& message)
{
    if (!message.IsValid()) {
        TLOG(kLogError, u"Refused to send a SysEx message that would be corrupted: %s", message.Error());
        return false;
    }
    return Send(message.Data(), message.Length());
}

bool Proteus::SendSysEx(std::span<const std::uint8_t> message)
{
    if (const QString problem = SysExProblem(message); !problem.isEmpty()) {
        TLOG(kLogError, u"Refused to send a SysEx message that would be corrupted: %s", problem);
        return false;
    }
    return Send(message.data(), unsigned(message.size()));
}

void Proteus::TraceMessage(const char16_t* caller, const std::uint8_t* data, std::size_t length)
{
    // The threshold first: below the raw-bytes level nothing is formatted.
    if (CurrentLogger()->GetTraceLevel() < kLogBytes)
        return;
    // Only the message's own bytes are shown; the rest of the nine print as 0.
    std::uint8_t b[9] = {};
    if (data)
        std::memcpy(b, data, std::min<std::size_t>(length, 9));
    TLOG(kLogBytes, u"%s (%ld) -  0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x 0x%02x", caller, long(length), b[0],
         b[1], b[2], b[3], b[4], b[5], b[6], b[7], b[8]);
}

// ---- The queue of expected responses ----------------------------------------------------

TPtr<Proteus::_ExpectedResponse> Proteus::AddExpectedResponse(int commandId, const std::uint8_t* header,
                                                              unsigned headerLength, std::uint8_t* destination,
                                                              unsigned capacity, std::span<const std::uint8_t> key)
{
    TPtr<_ExpectedResponse> entry = new _ExpectedResponse;
    entry->commandId = commandId;
    if (header && headerLength)
        entry->header.assign(header, header + headerLength);
    entry->key.assign(key.begin(), key.end());
    entry->destination = destination;
    entry->capacity = destination ? capacity : 0;
    m_pending.push_back(entry);
    return entry;
}

void Proteus::RemoveExpectedResponse(const TPtr<_ExpectedResponse>& entry)
{
    auto it = std::find(m_pending.begin(), m_pending.end(), entry);
    if (it != m_pending.end())
        m_pending.erase(it);
}

// ---- Receiving --------------------------------------------------------------------------

void Proteus::OnIncomingMessage()
{
    MidiPort::OnIncomingMessage();
    TPtr<_MidiBuffer> buffer;
    while (GetIncomingMessage(buffer)) {
        const std::uint8_t* data = buffer->Data();
        CheckReceivedData(data, data + buffer->BytesRecorded());
        ReleaseIncomingMessage(buffer);
        buffer = nullptr;
    }
}

void Proteus::CheckReceivedData(const std::uint8_t* data, const std::uint8_t* end)
{
    // Every message is at least one byte long, so the walk always ends.
    for (const std::uint8_t* p = data; p && p < end;)
        p = CheckResponse(p, end);
}

const std::uint8_t* Proteus::CheckResponse(const std::uint8_t* message, const std::uint8_t* end)
{
    // While a device scan collects identity replies, every message is its.
    if (m_scanMode)
        return OnScanReply(message, end);
    const int length = GetMessageLength(message, end);
    if (length <= 0)
        return end;
    const std::size_t n = std::size_t(length);
    TraceMessage(u"Proteus::CheckResponse", message, n);

    // An error reply carries F0 18 0F dd 55 like every module reply: a header
    // that stops before the command byte (the dumps wait on those five bytes
    // alone) would take it as data. Errors are attributed by command instead.
    const bool moduleError = IsModuleErrorReply(message, n, m_deviceId);
    bool answersAnother = false;
    for (const TPtr<_ExpectedResponse>& entry : m_pending) {
        const std::size_t headerLength = entry->header.size();
        if (headerLength > n)
            continue;
        if (moduleError && headerLength <= kSysExCommandOffset)
            continue;
        if (headerLength && std::memcmp(entry->header.data(), message, headerLength) != 0)
            continue;
        // The right kind of reply, but for another parameter or object: the
        // late reply of an earlier request, or an edit the module sent unasked.
        const std::size_t keyLength = entry->key.size();
        if (keyLength
            && (n < headerLength + keyLength
                || std::memcmp(entry->key.data(), message + headerLength, keyLength) != 0)) {
            answersAnother = true;
            continue;
        }
        // The oldest match takes the reply, even when it is already done;
        // a dump keeps such a later reply (two messages came in one pass, as
        // a streaming dump sends them) for its next wait instead.
        if (entry->done && m_keepEveryReply) {
            HoldBack(message, n);
            return message + n;
        }
        TLOG(kLogFlow, u"CheckResponse - Response found");
        const unsigned copy = unsigned(std::min<std::size_t>(n - headerLength, entry->capacity));
        if (copy)
            std::memcpy(entry->destination, message + headerLength, copy);
        entry->received = copy;
        entry->ok = true;
        entry->done = true;
        return message + n;
    }

    if (answersAnother) {
        QStringList bytes;
        for (std::size_t i = 0; i < n && i < kShownReplyBytes; ++i)
            bytes << Format(u"%02x", message[i]);
        if (n > kShownReplyBytes)
            bytes << QStringLiteral("...");
        TLOG(kLogNotice, u"Ignored a reply that answers no waiting request (late or unasked): %s", bytes.join(u' '));
        return message + n;
    }
    TLOG(kLogFlow, u"%s - Not an expected response - check for module error", u"Proteus::CheckResponse");
    if (!moduleError) {
        TLOG(kLogFlow, u"%s - Found unexpected response - not a module error", u"Proteus::CheckResponse");
        return message + n;
    }
    const int command = SysExValue14::Decode(message[6], message[7]);
    const int subCode = SysExValue14::Decode(message[8], message[9]);
    for (const TPtr<_ExpectedResponse>& entry : m_pending) {
        if (entry->commandId != command)
            continue;
        if (entry->done && m_keepEveryReply) {
            HoldBack(message, n);
            return message + n;
        }
        if (!ResponseWarningsSuppressed())
            TLOG(kLogNotice, u"Error received for cmd %d (sub:%d)", command, subCode);
        TLOG(kLogFlow, u"%s - Found error on expected response", u"Proteus::CheckResponse");
        ++m_moduleErrors; // tells "the module said no" from a reply lost or broken
        entry->done = true;
        entry->ok = false;
        entry->received = 0;
        return message + n;
    }
    if (!ResponseWarningsSuppressed())
        TLOG(kLogError, u"Error received for unexpected cmd %d (sub:%d)", command, subCode);
    return message + n;
}

void Proteus::HoldBack(const std::uint8_t* message, std::size_t length)
{
    if (m_heldBack.size() >= kMaxHeldBack) {
        TLOG(kLogError, u"Dropped a held-back reply: %d replies are waiting already", int(m_heldBack.size()));
        m_heldBack.pop_front();
    }
    TLOG(kLogFlow, u"CheckResponse - Response held back for the next wait");
    m_heldBack.emplace_back(message, message + length);
}

void Proteus::SetKeepEveryReply(bool keep)
{
    m_keepEveryReply = keep;
    // Whatever the dump left unclaimed belongs to no later exchange.
    if (!keep)
        m_heldBack.clear();
}

void Proteus::ReplayHeldBack()
{
    if (m_heldBack.empty())
        return;
    // Each held reply is matched again in arrival order, before anything newer
    // is pumped; what the new wait does not want is dropped as it would have
    // been on arrival.
    std::deque<std::vector<std::uint8_t>> held;
    held.swap(m_heldBack);
    for (const std::vector<std::uint8_t>& message : held)
        CheckReceivedData(message.data(), message.data() + message.size());
}

void Proteus::OnIncomingError()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::OnIncomingError");
    TLOG(kLogError, u"Error received on MIDI input port");
    MidiPort::OnIncomingError();
    TPtr<_MidiBuffer> buffer;
    while (GetIncomingError(buffer)) {
        ReleaseIncomingMessage(buffer);
        buffer = nullptr;
    }
    // During a device scan the broken data may have been a module's identity
    // reply: the scan cannot say for certain what is on the port.
    if (m_scanMode) {
        TLOG(kLogError, u"Broken reply during the device scan: a module may have been missed");
        m_scanReplyBroken = true;
    }
    // Whatever was broken may have been the reply: every wait ends now.
    for (const TPtr<_ExpectedResponse>& entry : m_pending) {
        entry->done = true;
        entry->ok = false;
        entry->inputError = true;
        entry->received = 0;
    }
}

void Proteus::OnSent(const void* data, unsigned length)
{
    NotifySysExSent(static_cast<const std::uint8_t*>(data), length);
}

// ---- The wait ---------------------------------------------------------------------------

bool Proteus::WaitForResponse(int commandId, const std::uint8_t* sent, unsigned sentLength, const std::uint8_t* header,
                              unsigned headerLength, bool* ok, std::uint8_t* destination, unsigned capacity,
                              bool longWait, unsigned* received, std::span<const std::uint8_t> key)
{
    ExpectedReply expected;
    expected.commandId = commandId;
    if (header && headerLength)
        expected.header.assign(header, header + headerLength);
    expected.capacity = destination ? capacity : 0;
    expected.key = key;
    expected.longWait = longWait;
    const ReplyResult result = AwaitReply(std::span<const std::uint8_t>(sent, sent ? sentLength : 0), expected);
    if (ok)
        *ok = result.Replied();
    if (received)
        *received = result.Size();
    if (result.Size())
        std::memcpy(destination, result.Data(), result.Size());
    return result.Answered();
}

ReplyResult Proteus::Exchange(const SysExMessage& request, const ExpectedReply& expected)
{
    if (!SendSysEx(request))
        return {};
    return AwaitReply(request.Bytes(), expected);
}

ReplyResult Proteus::Exchange(std::span<const std::uint8_t> request, const ExpectedReply& expected)
{
    if (!SendSysEx(request))
        return {};
    return AwaitReply(request, expected);
}

ReplyResult Proteus::AwaitReply(std::span<const std::uint8_t> sent, const ExpectedReply& expected)
{
    TraceMessage(u"Proteus::WaitForResponse", sent.data(), sent.size());

    ReplyResult result;
    result.outcome = ExchangeOutcome::Busy;
    std::vector<std::uint8_t> reply(expected.capacity);
    TPtr<_ExpectedResponse> entry =
        AddExpectedResponse(expected.commandId, expected.header.data(), unsigned(expected.header.size()),
                            reply.data(), expected.capacity, expected.key);
    {
        WaitGuard guard(QStringLiteral("Proteus::WaitForResponse"));
        if (guard) {
            ReplayHeldBack();
            platform::Clock& clock = GetPortServices().Clock();
            const std::int64_t start = clock.NowMs();
            std::int64_t timeout = GetTimeout();
            if (expected.longWait)
                timeout = std::max(timeout, kLongWaitMs);
            for (;;) {
                if (!PumpMessages()) {
                    result.outcome = ExchangeOutcome::PortClosed;
                    break;
                }
                guard.KeepAlive();
                NotifyWaiting();
                GetPortServices().RepaintMainWindow();
                if (entry->done) {
                    result.outcome = entry->ok            ? ExchangeOutcome::Reply
                                     : entry->inputError ? ExchangeOutcome::InputError
                                                         : ExchangeOutcome::ModuleError;
                    TLOG(kLogFlow, u"%s - Found response %d", u"Proteus::WaitForResponse", entry->ok);
                    break;
                }
                const std::int64_t elapsed = std::llabs(clock.NowMs() - start);
                if (elapsed > timeout) {
                    if (!ResponseWarningsSuppressed()) {
                        QString bytes;
                        for (const std::uint8_t b : sent)
                            bytes += Format(u"0x%02x ", b);
                        TLOG(kLogError, u"Timeout waiting for response to %s", bytes);
                    }
                    TLOG(kLogFlow, u"%s - Timed out", u"Proteus::WaitForResponse");
                    result.outcome = ExchangeOutcome::TimedOut;
                    break;
                }
            }
        }
    }
    RemoveExpectedResponse(entry);
    if (result.Answered()) {
        reply.resize(entry->received);
        result.bytes = std::move(reply);
    }
    // The pause paces a sequence of requests; a pump that ended means the
    // port is going away and nobody waits for the pause.
    if ((result.Answered() || result.outcome == ExchangeOutcome::TimedOut) && m_sysExDelay > 0)
        GetPortServices().Clock().SleepMs(m_sysExDelay);
    return result;
}

// ---- Listeners --------------------------------------------------------------------------

void Proteus::AddListener(ProteusEvents* listener)
{
    if (listener)
        m_listeners.insert(listener);
}

void Proteus::RemoveListener(ProteusEvents* listener)
{
    m_listeners.erase(listener);
}

template <class Call>
void Proteus::ForEachListener(Call&& call)
{
    // A snapshot: a listener may remove itself or another one (and go) while
    // it is called, so each is looked up again before its turn.
    const std::vector<ProteusEvents*> snapshot(m_listeners.begin(), m_listeners.end());
    for (ProteusEvents* listener : snapshot)
        if (m_listeners.count(listener))
            call(listener);
}

void Proteus::NotifyDeviceConnected()
{
    ForEachListener([](ProteusEvents* l) { l->OnDeviceConnected(); });
}

bool Proteus::NotifyParameterChanging(ParamRecord* record)
{
    bool allowed = true;
    ForEachListener([&](ProteusEvents* l) {
        if (allowed)
            allowed = l->OnParameterChanging(record);
    });
    return allowed;
}

void Proteus::NotifyParameterChanged(ParamRecord* record)
{
    ForEachListener([&](ProteusEvents* l) { l->OnParameterChanged(record); });
}

void Proteus::NotifyDeviceDisconnected()
{
    ForEachListener([](ProteusEvents* l) { l->OnDeviceDisconnected(); });
}

void Proteus::NotifyWaiting()
{
    ForEachListener([](ProteusEvents* l) { l->OnWaiting(); });
}

void Proteus::NotifyBeginProgress(int lower, int upper, const QString& text)
{
    ForEachListener([&](ProteusEvents* l) { l->OnBeginProgress(lower, upper, text); });
}

void Proteus::NotifyProgressText(const QString& text)
{
    ForEachListener([&](ProteusEvents* l) { l->OnProgressText(text); });
}

void Proteus::NotifyProgressStep()
{
    ForEachListener([](ProteusEvents* l) { l->OnProgressStep(); });
}

void Proteus::NotifyEndProgress()
{
    ForEachListener([](ProteusEvents* l) { l->OnEndProgress(); });
}

void Proteus::NotifySysExSent(const std::uint8_t* data, unsigned length)
{
    ForEachListener([&](ProteusEvents* l) { l->OnSysExSent(data, length); });
}

void Proteus::NotifyShortMessageSent(const std::uint8_t packed[4])
{
    ForEachListener([&](ProteusEvents* l) { l->OnShortMessageSent(packed); });
}

// ---- Module information -------------------------------------------------------------

QString Proteus::GetModuleInfo()
{
    return FormatModuleInfo(*this, GetGlobalConfigurations().DumpToText(), MidiOutputDevices(Backend()),
                            MidiInputDevices(Backend()));
}
