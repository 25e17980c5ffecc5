#include "midi/MidiPort.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/RegistryKey.h"
#include "midi/MidiMessages.h"

#include <QFile>

#include <cstring>

namespace {

constexpr unsigned kOpenInput = kMidiInputOpen;
constexpr unsigned kOpenOutput = kMidiOutputOpen;

constexpr unsigned kDeviceNotResponding = 238;
constexpr unsigned kAlternateNotResponding = 152;

std::uint32_t Pack(unsigned status, unsigned d1 = 0, unsigned d2 = 0)
{
    return (status & 0xFF) | ((d1 & 0xFF) << 8) | ((d2 & 0xFF) << 16);
}

} // namespace

// The port's face towards the backend: forwards what the backend reports.
class MidiPort::Driver final : public MidiInputSink, public MidiOutputSink {
public:
    explicit Driver(MidiPort* port) : m_port(port) {}
    void OnInputOpened() override { m_port->InOpened(); }
    void OnInputClosed() override { m_port->InClosed(); }
    void OnInputBytes(std::span<const std::uint8_t> bytes) override { m_port->InBytes(bytes); }
    void OnInputLongError(std::span<const std::uint8_t> bytes) override { m_port->InLongError(bytes); }
    void OnInputShortError(std::uint32_t packed) override { m_port->InShortError(packed); }
    void OnOutputOpened() override { m_port->OutOpened(); }
    void OnOutputClosed() override { m_port->OutClosed(); }

private:
    MidiPort* m_port;
};

TPtr<_MidiBuffer> MidiPort::BufferPool::Get()
{
    TPtr<_MidiBuffer> buffer;
    if (!TQueue::Get(buffer))
        buffer = new _MidiBuffer;
    return buffer;
}

namespace {

PortServices WithBackend(std::shared_ptr<MidiBackend> backend)
{
    PortServices services;
    services.backend = std::move(backend);
    return services;
}

} // namespace

MidiPort::MidiPort(bool isDevicePort, std::shared_ptr<MidiBackend> backend)
    : MidiPort(isDevicePort, WithBackend(std::move(backend)))
{
}

MidiPort::MidiPort(bool isDevicePort, PortServices services)
    : m_isDevicePort(isDevicePort),
      m_services(std::move(services)),
      m_window(this, m_services.clock),
      m_driver(std::make_unique<Driver>(this))
{
    if (!m_services.backend)
        m_services.backend = CurrentMidiBackend();
    TLOG(kLogBytes, u"%s()", u"MidiPort::MidiPort");
    RegistryKey trace(GetTraceKeyPath(), true, m_services.settings);
    m_inCapturePath = trace.ReadString(QStringLiteral("TabrineDumpIn"), QString(), true);
    m_outCapturePath = trace.ReadString(QStringLiteral("TabrineDumpOut"), QString(), true);
    // The capture files hold this run's traffic only.
    if (!m_inCapturePath.isEmpty())
        QFile::remove(m_inCapturePath);
    if (!m_outCapturePath.isEmpty())
        QFile::remove(m_outCapturePath);
    for (int i = 0; i < kMidiPoolBuffers; ++i) {
        m_inputPool.Put(new _MidiBuffer);
        m_outputPool.Put(new _MidiBuffer);
    }
    m_window.Create();
}

MidiPort::~MidiPort()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::~MidiPort");
    MidiPort::ClosePort();
    DestroyHiddenWindow();
}

void MidiPort::DestroyHiddenWindow()
{
    m_window.Destroy();
}

// ---- Opening and closing ----

bool MidiPort::OpenPort(int inDevice, int outDevice, unsigned timeoutMs)
{
    TLOG(kLogBytes, u"%s(0x%x, 0x%x)", u"MidiPort::OpenPort", inDevice, outDevice);
    m_timeout.store(timeoutMs);
    ClosePort();

    const bool reports = m_services.backend->ReportsOpenAndClose();
    if (inDevice != -1) {
        TLOG(kLogNotice, u"Opening MIDI Input port");
        MidiResult r;
        std::unique_ptr<MidiInputConnection> input = m_services.backend->OpenInput(inDevice, m_driver.get(), &r);
        if (!input) {
            TLOG(kLogError, u"Failed to open MIDI input Port (0x%x %s)", r.code, GetErrorText(true, r.code));
            return false;
        }
        m_input = std::move(input);
        m_inputHandle.store(true, std::memory_order_release);
        if (!reports)
            InOpened();
        for (int i = 0; i < kMidiInputBuffers; ++i) {
            if (!PrepareAndAdd(m_inputPool.Get())) {
                ClosePort();
                return false;
            }
        }
        r = m_input->Start();
        if (!r) {
            TLOG(kLogError, u"Failed to start MIDI input Port (0x%x %s)", r.code, GetErrorText(true, r.code));
            ClosePort();
            return false;
        }
        m_inputStarted.store(true, std::memory_order_release);
        // Naming the port asks the MIDI system for its list: only when traced.
        if (CurrentLogger()->GetTraceLevel() >= 9)
            TLOG(kLogBytes, u"Successfully opened input port %d (%s)", inDevice, GetDeviceName(true, unsigned(inDevice)));
    }

    if (outDevice != -1) {
        TLOG(kLogNotice, u"Opening MIDI Output port");
        MidiResult r;
        std::unique_ptr<MidiOutputConnection> output;
        {
            std::lock_guard out(m_outLock);
            output = m_services.backend->OpenOutput(outDevice, m_driver.get(), &r);
            if (output) {
                m_output = std::move(output);
                m_outputHandle.store(true, std::memory_order_release);
            }
        }
        if (!m_outputHandle.load()) {
            TLOG(kLogError, u"Failed to open MIDI output Port (0x%x %s)", r.code, GetErrorText(false, r.code));
            ClosePort();
            return false;
        }
        if (!reports)
            OutOpened();
        if (CurrentLogger()->GetTraceLevel() >= 9)
            TLOG(kLogBytes, u"Successfully opened output port %d (%s)", outDevice, GetDeviceName(false, unsigned(outDevice)));
    }

    m_window.SetTimer(kMidiOpenTimerId, std::chrono::milliseconds(timeoutMs));
    return true;
}

bool MidiPort::ClosePort()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::ClosePort");
    m_window.KillTimer();
    const bool reports = m_services.backend->ReportsOpenAndClose();

    // The backend is closed before the port lock is taken: its threads take
    // that lock, and closing waits for them.
    if (m_inputHandle.load()) {
        TLOG(kLogNotice, u"Closing MIDI input port");
        m_inputStarted.store(false, std::memory_order_release);
        if (m_input)
            m_input->Close();
        m_input.reset();
        m_inputHandle.store(false, std::memory_order_release);
        if (!reports)
            InClosed();
    }
    {
        std::lock_guard out(m_outLock);
        if (m_outputHandle.load()) {
            TLOG(kLogNotice, u"Closing MIDI output port");
            if (m_output)
                m_output->Close();
            m_output.reset();
            m_outputHandle.store(false, std::memory_order_release);
            if (!reports)
                OutClosed();
        }
    }

    std::lock_guard lock(m_portLock);
    for (auto& [header, buffer] : m_inputInUse)
        m_inputPool.Put(buffer);
    m_inputInUse.clear();
    for (auto& [header, buffer] : m_outputInUse)
        m_outputPool.Put(buffer);
    m_outputInUse.clear();
    m_dataQueue.Clear();
    m_errorQueue.Clear();
    m_filling = nullptr;
    m_inSysEx = false;
    m_droppingSysEx = false;
    return true;
}

void MidiPort::OpenTimedOut()
{
    ClosePort();
    ShowMessageWith(m_services.presenter.get(), nullptr, msgbox::Ok, true,
                    m_isDevicePort ? kDeviceNotResponding : kAlternateNotResponding);
}

// ---- Sending ----

bool MidiPort::Send(std::uint32_t message)
{
    TLOG(kLogBytes, u"%s(0x%x)", u"MidiPort::Send", message);
    return SendShortBytes(message);
}

bool MidiPort::SendShortBytes(std::uint32_t message)
{
    std::lock_guard out(m_outLock);
    if (!m_output)
        return false;
    if (CurrentLogger()->GetTraceLevel() >= 4) {
        const QString line = DecodeShortMessage(message, m_isDevicePort);
        if (!line.isEmpty())
            TLOG(kLogOperation, u"%s", line);
    }
    const std::vector<std::uint8_t> bytes = UnpackShortMessage(message);
    if (bytes.empty()) {
        // Running status and SysEx framing bytes cannot go out on their own.
        TLOG(kLogError, u"Cannot send short message 0x%x without a status byte", message);
        return false;
    }
    const MidiResult r = m_output->SendShort(bytes);
    if (!r) {
        TLOG(kLogError, u"Failed to send short message 0x%x (0x%x %s)", message, r.code, GetErrorText(false, r.code));
        return false;
    }
    return true;
}

bool MidiPort::Send(const void* data, unsigned length)
{
    TLOG(kLogBytes, u"%s(0x%x, %d)", u"MidiPort::Send", data, length);
    std::unique_lock out(m_outLock);
    if (!m_output)
        return false;
    if (length > _MidiBuffer::kSize) {
        TLOG(kLogError, u"Cannot send messages larger than preconfigured size");
        return false;
    }

    TPtr<_MidiBuffer> buffer;
    {
        std::lock_guard lock(m_portLock);
        buffer = m_outputPool.Get();
        if (!m_outputInUse.emplace(buffer.get(), buffer).second) {
            TLOG(kLogError, u"Failed to insert output buffer 0x%x", static_cast<const void*>(buffer.get()));
            return false;
        }
        if (length)
            std::memcpy(buffer->Data(), data, length);
        buffer->header.data = buffer->Data();
        buffer->header.bufferLength = length;
        buffer->header.bytesRecorded = 0;
    }

    // The backend copies the bytes before it returns; the buffer is not
    // touched by anyone else meanwhile, so the port lock is not held.
    const MidiResult r = m_output->SendLong(std::span<const std::uint8_t>(buffer->Data(), length));
    if (!r) {
        TLOG(kLogError, u"Failed to send output buffer (0x%x %s)", r.code, GetErrorText(false, r.code));
        std::lock_guard lock(m_portLock);
        m_outputInUse.erase(buffer.get());
        m_outputPool.Put(buffer);
        return false;
    }

    if (m_isDevicePort && !m_outCapturePath.isEmpty())
        AppendToCapture(m_outCapturePath, buffer->Data(), length);
    {
        std::lock_guard lock(m_portLock);
        LogState(QStringLiteral("Sent outgoing message"), buffer.get());
    }
    // No backend tells us when it is done with the bytes: they were copied,
    // so the buffer is done now.
    OutDone(buffer.get());
    out.unlock();

    OnSent(data, length);
    return true;
}

void MidiPort::AppendToCapture(const QString& path, const std::uint8_t* data, std::size_t length)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Append))
        return; // a capture file that cannot be opened is skipped
    file.write(reinterpret_cast<const char*>(data), qint64(length));
}

// ---- Receiving ----

bool MidiPort::PrepareAndAdd(TPtr<_MidiBuffer> buffer)
{
    TLOG(kLogBytes, u"%s(0x%x)", u"MidiPort::PrepareAndAdd", static_cast<const void*>(buffer.get()));
    if (!buffer)
        return false;
    std::lock_guard lock(m_portLock);
    if (!m_inputHandle.load()) {
        TLOG(kLogError, u"Failed to add MIDI input Port buffer (0x%x %s)", MidiError::InvalidHandle,
             GetErrorText(true, MidiError::InvalidHandle));
        return false;
    }
    // A buffer handed back twice would be filled twice at once.
    if (m_inputInUse.count(buffer.get())) {
        TLOG(kLogError, u"Failed to add MIDI input Port buffer (0x%x %s): buffer 0x%x is already with the input",
             MidiError::InvalidParam, GetErrorText(true, MidiError::InvalidParam),
             static_cast<const void*>(buffer.get()));
        return false;
    }
    buffer->header.data = buffer->Data();
    buffer->header.bufferLength = _MidiBuffer::kSize;
    buffer->header.bytesRecorded = 0;
    buffer->header.flags = 0;
    m_inputInUse.emplace(buffer.get(), buffer);
    LogState(QStringLiteral("Buffer Prepare and Add"), buffer.get());
    return true;
}

bool MidiPort::TakeIncoming(InQueue& queue, TPtr<_MidiBuffer>& out, const char16_t* name)
{
    TLOG(kLogBytes, u"%s(0x%x)", name, static_cast<const void*>(&out));
    {
        std::lock_guard lock(m_portLock);
        if (!queue.Get(out))
            return false;
    }
    if (m_isDevicePort && !m_inCapturePath.isEmpty())
        AppendToCapture(m_inCapturePath, out->Data(), out->BytesRecorded());
    return true;
}

bool MidiPort::GetIncomingMessage(TPtr<_MidiBuffer>& out)
{
    return TakeIncoming(m_dataQueue, out, u"MidiPort::GetIncomingMessage");
}

bool MidiPort::GetIncomingError(TPtr<_MidiBuffer>& out)
{
    return TakeIncoming(m_errorQueue, out, u"MidiPort::GetIncomingError");
}

bool MidiPort::ReleaseIncomingMessage(TPtr<_MidiBuffer>& buffer)
{
    TLOG(kLogBytes, u"%s(0x%x)", u"MidiPort::ReleaseIncomingMessage", static_cast<const void*>(buffer.get()));
    return PrepareAndAdd(buffer);
}

// ---- What the backend reports (its own thread) ----

void MidiPort::Notify(MidiNotifyCode code, std::uint32_t packed)
{
    m_window.Post({unsigned(code), packed});
}

void MidiPort::NotifyConnectOnce()
{
    bool expected = false;
    if (m_connectNotified.compare_exchange_strong(expected, true))
        Notify(MIDI_NOTIFY_CONNECT);
}

void MidiPort::InOpened()
{
    const unsigned flags = m_openFlags.fetch_or(kOpenInput) | kOpenInput;
    // The input opens first: with the output still closed the connect is
    // reported now, and the output's open adds nothing.
    if (!m_outputHandle.load() || (flags & kOpenOutput))
        NotifyConnectOnce();
}

void MidiPort::OutOpened()
{
    const unsigned flags = m_openFlags.fetch_or(kOpenOutput) | kOpenOutput;
    if (!m_inputHandle.load() || (flags & kOpenInput))
        NotifyConnectOnce();
}

void MidiPort::InClosed()
{
    m_openFlags.fetch_and(~kOpenInput);
    if (m_connectNotified.exchange(false))
        Notify(MIDI_NOTIFY_DISCONNECT);
}

void MidiPort::OutClosed()
{
    m_openFlags.fetch_and(~kOpenOutput);
    if (m_connectNotified.exchange(false))
        Notify(MIDI_NOTIFY_DISCONNECT);
}

void MidiPort::OutDone(_MidiBuffer* buffer)
{
    std::lock_guard lock(m_portLock);
    auto it = m_outputInUse.find(buffer);
    if (it == m_outputInUse.end()) {
        TLOG(kLogError, u"Failed to remove buffer 0x%x in MidiOutProc\n", static_cast<const void*>(buffer));
        return;
    }
    TPtr<_MidiBuffer> done = it->second;
    m_outputInUse.erase(it);
    m_outputPool.Put(done);
    LogState(QStringLiteral("Outgoing MIDI message complete"), done.get());
}

void MidiPort::InShortError(std::uint32_t packed)
{
    if (m_inputStarted.load(std::memory_order_acquire))
        Notify(MIDI_NOTIFY_SHORT_ERROR, packed);
}

void MidiPort::InBytes(std::span<const std::uint8_t> bytes)
{
    if (!m_inputStarted.load(std::memory_order_acquire))
        return; // before the start, as a driver does, input is not taken
    std::size_t i = 0;
    while (i < bytes.size()) {
        const std::uint8_t b = bytes[i];
        if (IsRealTime(b)) {
            Notify(MIDI_NOTIFY_SHORT_DATA, b); // may come anywhere, also inside a SysEx
            ++i;
            continue;
        }
        {
            std::lock_guard lock(m_portLock);
            if (m_inSysEx && (b < 0x80 || b == 0xF7)) {
                // The SysEx goes on: its data bytes up to and including F7.
                std::size_t end = i;
                while (end < bytes.size() && bytes[end] < 0x80)
                    ++end;
                if (end < bytes.size() && bytes[end] == 0xF7)
                    ++end;
                AppendSysEx(bytes.subspan(i, end - i));
                i = end;
                continue;
            }
            if (m_inSysEx)
                EndSysExAsError(); // cut short by a status byte
            if (b == 0xF0) {
                m_inSysEx = true;
                std::size_t end = i + 1;
                while (end < bytes.size() && bytes[end] < 0x80)
                    ++end;
                if (end < bytes.size() && bytes[end] == 0xF7)
                    ++end;
                AppendSysEx(bytes.subspan(i, end - i));
                i = end;
                continue;
            }
        }
        // A short message, or data bytes with no status before them.
        const int length = ShortMessageLength(b);
        std::size_t end = i + 1;
        if (length > 0) {
            while (end < bytes.size() && int(end - i) < length && bytes[end] < 0x80)
                ++end;
        } else {
            while (end < bytes.size() && bytes[end] < 0x80)
                ++end;
        }
        const std::uint32_t packed = PackShortMessage(bytes.subspan(i, end - i));
        if (length > 0 && int(end - i) == length)
            Notify(MIDI_NOTIFY_SHORT_DATA, packed);
        else
            Notify(MIDI_NOTIFY_SHORT_ERROR, packed);
        i = end;
    }
}

void MidiPort::AppendSysEx(std::span<const std::uint8_t> bytes)
{
    for (const std::uint8_t b : bytes) {
        if (m_droppingSysEx) {
            if (b == 0xF7) {
                m_droppingSysEx = false;
                m_inSysEx = false;
            }
            continue;
        }
        if (!m_filling) {
            if (m_inputInUse.empty()) {
                // Every buffer is with the owner: the rest of this SysEx is lost.
                TLOG(kLogError, u"No MIDI input buffer free: SysEx data lost");
                m_droppingSysEx = b != 0xF7;
                m_inSysEx = m_droppingSysEx;
                continue;
            }
            m_filling = m_inputInUse.begin()->first;
        }
        MidiHeader& h = m_filling->header;
        h.data[h.bytesRecorded++] = b;
        if (b == 0xF7) {
            m_inSysEx = false;
            ReturnFilled(false);
        } else if (h.bytesRecorded >= h.bufferLength) {
            ReturnFilled(false); // full: the SysEx goes on in the next buffer
        }
    }
}

void MidiPort::EndSysExAsError()
{
    if (!m_filling && m_inSysEx && !m_droppingSysEx) {
        // The SysEx had just filled a buffer, which went to the owner as data:
        // an empty error buffer tells the owner that the message broke off.
        if (m_inputInUse.empty())
            TLOG(kLogError, u"No MIDI input buffer free: input error lost");
        else
            m_filling = m_inputInUse.begin()->first;
    }
    if (m_filling)
        ReturnFilled(true);
    m_inSysEx = false;
    m_droppingSysEx = false;
}

void MidiPort::ReturnFilled(bool asError)
{
    _MidiBuffer* header = m_filling;
    m_filling = nullptr;
    auto it = m_inputInUse.find(header);
    if (it == m_inputInUse.end()) {
        TLOG(kLogError, u"Failed to remove buffer in MidiInProc\n");
        return;
    }
    TPtr<_MidiBuffer> buffer = it->second;
    m_inputInUse.erase(it);
    LogState(QStringLiteral("Receive input"), buffer.get());
    if (asError) {
        m_errorQueue.Put(buffer);
        Notify(MIDI_NOTIFY_INCOMING_ERROR);
    } else {
        m_dataQueue.Put(buffer);
        Notify(MIDI_NOTIFY_INCOMING_MESSAGE);
    }
}

void MidiPort::InLongError(std::span<const std::uint8_t> bytes)
{
    if (!m_inputStarted.load(std::memory_order_acquire))
        return;
    std::lock_guard lock(m_portLock);
    // The bad data ends any SysEx in progress; it goes to the error queue in
    // the buffer that was being filled, or in a fresh one.
    m_inSysEx = false;
    m_droppingSysEx = false;
    if (!m_filling) {
        if (m_inputInUse.empty()) {
            TLOG(kLogError, u"No MIDI input buffer free: input error lost");
            return;
        }
        m_filling = m_inputInUse.begin()->first;
    }
    MidiHeader& h = m_filling->header;
    for (const std::uint8_t b : bytes) {
        if (h.bytesRecorded >= h.bufferLength)
            break;
        h.data[h.bytesRecorded++] = b;
    }
    ReturnFilled(true);
}

// ---- The hidden window ----

bool MidiPort::PumpMessages()
{
    return m_window.Pump(std::chrono::milliseconds(100));
}

void MidiPort::PostConnectNotification()
{
    Notify(MIDI_NOTIFY_CONNECT);
}

void MidiPort::PostDisconnectNotification()
{
    Notify(MIDI_NOTIFY_DISCONNECT);
}

void MidiPort::OnNotification(const HiddenWindowNotification& notification)
{
    const std::uint32_t packed = notification.value;
    switch (notification.kind) {
    case MIDI_NOTIFY_CONNECT:
        OnConnect();
        break;
    case MIDI_NOTIFY_INCOMING_MESSAGE:
        OnIncomingMessage();
        break;
    case MIDI_NOTIFY_INCOMING_ERROR:
        OnIncomingError();
        break;
    case MIDI_NOTIFY_DISCONNECT:
        OnDisconnect();
        break;
    case MIDI_NOTIFY_SHORT_DATA:
        OnShortData(packed);
        break;
    case MIDI_NOTIFY_SHORT_ERROR:
        OnShortError(packed);
        break;
    default:
        break;
    }
}

void MidiPort::OnTimer(unsigned)
{
    // The only timer is the open time-out.
    OpenTimedOut();
}

void MidiPort::OnConnect()
{
    m_window.KillTimer();
}

// ---- Helpers ----

QString MidiPort::GetDeviceName(bool input, unsigned deviceId)
{
    MidiBackend& backend = *m_services.backend;
    const std::vector<MidiPortInfo> ports = input ? backend.InputPorts() : backend.OutputPorts();
    for (const MidiPortInfo& p : ports)
        if (p.number >= 0 && unsigned(p.number) == deviceId)
            return p.name;
    return {};
}

QString MidiPort::GetErrorText(bool, MidiError code)
{
    return MidiErrorText(code);
}

void MidiPort::LogState(const QString& label, const _MidiBuffer* buffer)
{
    if (CurrentLogger()->GetTraceLevel() < 9)
        return;
    TLOG(kLogBytes, u"MIDI State: %s 0x%x Input Free: %d, InDataQ: %d, InErrorQ: %d, InUse: %d, Output Free: %d, InUse: %d",
         label, static_cast<const void*>(buffer), int(m_inputPool.Size()), int(m_dataQueue.Size()),
         int(m_errorQueue.Size()), int(m_inputInUse.size()), int(m_outputPool.Size()), int(m_outputInUse.size()));
}

MidiBufferCounts MidiPort::GetBufferCounts() const
{
    std::lock_guard lock(m_portLock);
    MidiBufferCounts c;
    c.inputFree = int(m_inputPool.Size());
    c.dataQueue = int(m_dataQueue.Size());
    c.errorQueue = int(m_errorQueue.Size());
    c.inputInUse = int(m_inputInUse.size());
    c.outputFree = int(m_outputPool.Size());
    c.outputInUse = int(m_outputInUse.size());
    return c;
}

// ---- Short-message senders ----

bool MidiPort::SendNoteOff(unsigned channel, unsigned note, unsigned velocity)
{
    TLOG(kLogBytes, u"%s(%u, %u, %u)", u"MidiPort::SendNoteOff", channel, note, velocity);
    return Send(Pack(0x80 | (channel & 0x0F), note & 0x7F, velocity & 0x7F));
}

bool MidiPort::SendNoteOn(unsigned channel, unsigned note, unsigned velocity)
{
    TLOG(kLogBytes, u"%s(%u, %u, %u)", u"MidiPort::SendNoteOn", channel, note, velocity);
    return Send(Pack(0x90 | (channel & 0x0F), note & 0x7F, velocity & 0x7F));
}

bool MidiPort::SendAfterTouch(unsigned channel, unsigned note, unsigned pressure)
{
    TLOG(kLogBytes, u"%s(%u, %u, %u)", u"MidiPort::SendAfterTouch", channel, note, pressure);
    return Send(Pack(0xA0 | (channel & 0x0F), note & 0x7F, pressure & 0x7F));
}

bool MidiPort::SendControlChange(unsigned channel, unsigned controller, unsigned value)
{
    TLOG(kLogBytes, u"%s(%u, %u, %u)", u"MidiPort::SendControlChange", channel, controller, value);
    return Send(Pack(0xB0 | (channel & 0x0F), controller & 0x7F, value & 0x7F));
}

bool MidiPort::SendProgramChange(unsigned channel, unsigned program)
{
    TLOG(kLogBytes, u"%s(%u, %u)", u"MidiPort::SendProgramChange", channel, program);
    return Send(Pack(0xC0 | (channel & 0x0F), program & 0x7F));
}

bool MidiPort::SendChannelPressure(unsigned channel, std::uint16_t value)
{
    TLOG(kLogBytes, u"%s(%u, %u)", u"MidiPort::SendChannelPressure", channel, value);
    return Send(Pack(0xD0 | (channel & 0x0F), value & 0x7F));
}

bool MidiPort::SendPitchWheel(unsigned channel, std::uint16_t value)
{
    TLOG(kLogBytes, u"%s(%u, %u)", u"MidiPort::SendPitchWheel", channel, value);
    return Send(Pack(0xE0 | (channel & 0x0F), value & 0x7F, (value >> 7) & 0x7F));
}

bool MidiPort::SendSongPosition(std::uint16_t position)
{
    TLOG(kLogBytes, u"%s(%u)", u"MidiPort::SendSongPosition", position);
    return Send(Pack(0xF2, position & 0x7F, (position >> 7) & 0x7F));
}

bool MidiPort::SendTuneSelect(unsigned song)
{
    TLOG(kLogBytes, u"%s(%u)", u"MidiPort::SendTuneSelect", song);
    return Send(Pack(0xF3, song & 0x7F));
}

bool MidiPort::SendTuneRequest()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::SendTuneRequest");
    return Send(Pack(0xF6));
}

bool MidiPort::SendClock()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::SendClock");
    return Send(Pack(0xF8));
}

bool MidiPort::SendStart()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::SendStart");
    return Send(Pack(0xFA));
}

bool MidiPort::SendContinue()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::SendContinue");
    return Send(Pack(0xFB));
}

bool MidiPort::SendStop()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::SendStop");
    return Send(Pack(0xFC));
}

bool MidiPort::SendActiveSensing()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::SendActiveSensing");
    return Send(Pack(0xFE));
}

bool MidiPort::SendReset()
{
    TLOG(kLogBytes, u"%s()", u"MidiPort::SendReset");
    return Send(Pack(0xFF));
}
