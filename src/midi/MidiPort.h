#pragma once
// MidiPort: one MIDI input and one MIDI output port, opened together and
// used as one link to one device. It sends short messages and SysEx of up to
// 1024 bytes, receives short messages and SysEx into a circulating set of
// 1024-byte buffers, tells its owner when both directions are open or have
// closed, gives up with a message when the open is not reported in time, and
// on the device port copies every SysEx it passes to two capture files.
//
// Two ports exist in the program: the device port ("A"), which the module
// connection derives from, and the alternate port ("B": controller keyboard
// in, the module's second input out).
//
// Threads. Everything the port reports reaches its owner's MidiEvents on the
// thread that created the port, through the port's hidden window: the
// backend's threads only move buffers between the port's lists under the
// port lock and post notifications. Sends may come from any thread (the
// keyboard's timer sends short messages while the user-interface thread
// sends SysEx); every send and the close of the output hold the output
// lock. Lock order: output lock, then port lock, then a queue's own lock.
//
// Receiving SysEx. The backend's bytes fill the buffers handed to it (ten
// after an open), up to and including F7 or until a buffer is full: a SysEx
// longer than 1024 bytes arrives in more than one buffer, and one that comes
// in pieces is put together in its buffer. The owner takes the filled
// buffers off the data queue and must hand each back with
// ReleaseIncomingMessage, or the backend runs out of buffers and further
// SysEx is lost (logged) until the port is reopened. A SysEx cut short by
// another status byte, or reported bad by the MIDI system, goes to the error
// queue instead: what was left of it, or an empty buffer when it broke off
// just as a full buffer had gone to the owner.

#include "midi/HiddenWindow.h"
#include "midi/MidiBackend.h"
#include "midi/MidiBuffer.h"
#include "midi/PortServices.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <map>
#include <memory>
#include <mutex>
#include <span>

/// What the hidden window carries from the backend's threads: the kind of a
/// notification. Code n reaches MidiEvents slot n + 1.
enum MidiNotifyCode : std::uintptr_t {
    MIDI_NOTIFY_CONNECT = 0,          ///< both requested directions are open
    MIDI_NOTIFY_INCOMING_MESSAGE = 1, ///< a SysEx buffer is on the data queue
    MIDI_NOTIFY_INCOMING_ERROR = 2,   ///< a buffer is on the error queue
    MIDI_NOTIFY_DISCONNECT = 3,       ///< a direction closed after a connect
    MIDI_NOTIFY_SHORT_DATA = 4,       ///< a short message arrived (value: packed)
    MIDI_NOTIFY_SHORT_ERROR = 5,      ///< a bad short message arrived (value: packed)
};

/// The open-state bits (MidiPort::GetOpenFlags): each is set when the MIDI
/// system has reported that direction open, cleared when it closes.
inline constexpr unsigned kMidiInputOpen = 0x1;
inline constexpr unsigned kMidiOutputOpen = 0x2;
inline constexpr unsigned kMidiPairOpen = kMidiInputOpen | kMidiOutputOpen;

/// The id of the open timer on the hidden window.
inline constexpr unsigned kMidiOpenTimerId = 2;
/// Buffers made for each pool at construction, and handed to the input at each open.
inline constexpr int kMidiPoolBuffers = 20;
inline constexpr int kMidiInputBuffers = 10;

/// The port owner's listener: a class deriving from MidiPort overrides these,
/// called on the port's creating thread (OnSent on the sending thread).
class MidiEvents {
public:
    virtual ~MidiEvents() = default;
    /// Both requested directions are open.
    virtual void OnConnect() {}
    /// A SysEx buffer was queued: drain with GetIncomingMessage.
    virtual void OnIncomingMessage() {}
    /// A buffer was queued on the error queue: drain with GetIncomingError.
    virtual void OnIncomingError() {}
    /// A direction closed after a connect was notified.
    virtual void OnDisconnect() {}
    /// A short message arrived, packed with the status in the low byte.
    virtual void OnShortData(std::uint32_t packed) {}
    /// The MIDI system reported a bad short message.
    virtual void OnShortError(std::uint32_t packed) {}
    /// At the end of every successful SysEx send, outside every port lock.
    virtual void OnSent(const void* data, unsigned length) {}
};

/// Where a port's buffers are (the numbers of the "MIDI State" trace line).
struct MidiBufferCounts {
    int inputFree = 0;    ///< input pool
    int dataQueue = 0;    ///< filled, waiting for the owner
    int errorQueue = 0;   ///< returned as errors, waiting for the owner
    int inputInUse = 0;   ///< with the backend, to be filled
    int outputFree = 0;   ///< output pool
    int outputInUse = 0;  ///< handed to the backend, not yet done
    bool operator==(const MidiBufferCounts&) const = default;
};

class MidiPort : public HiddenWindowEvents, public MidiEvents {
public:
    /// A pool of free buffers: Get allocates a new buffer when it is empty.
    class BufferPool : public TQueue<TPtr<_MidiBuffer>> {
    public:
        TPtr<_MidiBuffer> Get();
        void Put(TPtr<_MidiBuffer> buffer) { TQueue::Put(std::move(buffer), false); }
    };
    /// A queue of buffers returned by the backend, waiting for the owner.
    class InQueue : public TQueue<TPtr<_MidiBuffer>> {
    public:
        void Put(TPtr<_MidiBuffer> buffer) { TQueue::Put(std::move(buffer), false); }
    };

    /// isDevicePort: the device port ("A") writes the capture files and says
    /// "Device not responding" on an open time-out; the alternate port ("B")
    /// does neither. backend null: CurrentMidiBackend().
    explicit MidiPort(bool isDevicePort, std::shared_ptr<MidiBackend> backend = nullptr);
    /// The same over the services given (the port keeps a copy): the backend,
    /// the clock of its waits, the settings store of its trace values, the
    /// presenter of its messages and the repaint hook.
    MidiPort(bool isDevicePort, PortServices services);
    ~MidiPort() override;
    MidiPort(const MidiPort&) = delete;
    MidiPort& operator=(const MidiPort&) = delete;

    /// Closes what is open, then opens input port inDevice and output port
    /// outDevice (-1 leaves a direction closed) and starts the open timer of
    /// timeoutMs (also kept as the port's timeout). False, logged and closed
    /// when a direction fails to open. The connect is reported later through
    /// OnConnect; if it is not reported in time, the port closes and shows
    /// string 238 (device port) or 152 (alternate port). Even (-1, -1) starts
    /// the timer.
    bool OpenPort(int inDevice, int outDevice, unsigned timeoutMs);
    /// Closes both directions, then returns buffers with the backend to the
    /// pools and drops queued ones (notifications already posted then find
    /// nothing). Always true.
    bool ClosePort();

    /// Sends one short message, packed with the status in the low byte. False
    /// when the output is closed, the low byte is no short-message status
    /// (data bytes, F0, F7) or the backend refuses it.
    bool Send(std::uint32_t message);
    /// Sends one SysEx (or any complete messages) of at most 1024 bytes as
    /// long data. False when the output is closed, the data is longer than
    /// 1024 bytes ("Cannot send messages larger than preconfigured size") or
    /// the backend refuses it. Does not wait for the message to go out.
    bool Send(const void* data, unsigned length);

    /// Takes the oldest filled SysEx buffer (read BytesRecorded() bytes from
    /// Data()); false when there is none. Hand it back with ReleaseIncomingMessage.
    bool GetIncomingMessage(TPtr<_MidiBuffer>& out);
    /// The same for the error queue.
    bool GetIncomingError(TPtr<_MidiBuffer>& out);
    /// Hands a received buffer back to the backend. False (and the buffer is
    /// freed once unreferenced) when the input is closed or the buffer is
    /// already with the backend.
    bool ReleaseIncomingMessage(TPtr<_MidiBuffer>& buffer);

    /// One wait step: waits up to 100 ms for this port's notifications (or
    /// its open timer) and dispatches them; nothing else of the thread runs.
    /// False once the hidden window is destroyed.
    bool PumpMessages();

    /// Posts MIDI_NOTIFY_CONNECT / MIDI_NOTIFY_DISCONNECT as if the MIDI
    /// system had reported it (the program's test mode without a module).
    void PostConnectNotification();
    void PostDisconnectNotification();

    /// The name of input or output port deviceId; empty when there is none.
    QString GetDeviceName(bool input, unsigned deviceId);
    /// The text of a backend result code; "Unknown error" for unknown codes.
    QString GetErrorText(bool input, MidiError code);
    /// Logs the buffer counts at level 9 ("MIDI State: ...").
    void LogState(const QString& label, const _MidiBuffer* buffer);

    /// The backend's notifications and the open timer.
    void OnNotification(const HiddenWindowNotification& notification) override;
    void OnTimer(unsigned timerId) override;

    /// MidiPort's own OnConnect stops the open timer; every override calls it.
    void OnConnect() override;

    // Short-message senders: the status with the channel's low nibble, data
    // bytes masked to 7 bits. Each returns what Send (short) returns.
    bool SendNoteOff(unsigned channel, unsigned note, unsigned velocity);
    bool SendNoteOn(unsigned channel, unsigned note, unsigned velocity);
    bool SendAfterTouch(unsigned channel, unsigned note, unsigned pressure);
    bool SendControlChange(unsigned channel, unsigned controller, unsigned value);
    bool SendProgramChange(unsigned channel, unsigned program);
    /// The pressure is value (0..127), sent as the one data byte.
    bool SendChannelPressure(unsigned channel, std::uint16_t value);
    /// value is 14 bits: the low 7 bits first.
    bool SendPitchWheel(unsigned channel, std::uint16_t value);
    bool SendSongPosition(std::uint16_t position);
    bool SendTuneSelect(unsigned song);
    bool SendTuneRequest();
    bool SendClock();
    bool SendStart();
    bool SendContinue();
    bool SendStop();
    bool SendActiveSensing();
    bool SendReset();

    bool IsDevicePort() const { return m_isDevicePort; }
    bool IsInputOpen() const { return m_inputHandle.load(std::memory_order_acquire); }
    bool IsOutputOpen() const { return m_outputHandle.load(std::memory_order_acquire); }
    /// kMidiInputOpen and kMidiOutputOpen as reported by the MIDI system (a
    /// direction is reported open some time after OpenPort asked for it);
    /// kMidiPairOpen when both are.
    unsigned GetOpenFlags() const { return m_openFlags.load(std::memory_order_acquire); }
    /// The open time-out, which the module protocol also uses as its reply time-out.
    unsigned GetTimeout() const { return m_timeout.load(); }
    void SetTimeout(unsigned timeoutMs) { m_timeout.store(timeoutMs); }
    bool IsOpenTimerRunning() const { return m_window.IsTimerRunning(); }
    /// Whether a connect was notified and no disconnect since.
    bool IsConnectNotified() const { return m_connectNotified.load(); }
    MidiBufferCounts GetBufferCounts() const;
    MidiBackend& Backend() const { return *m_services.backend; }
    /// The services this port uses (its backend is the one it was made with).
    const PortServices& GetPortServices() const { return m_services; }
    /// Ends the port's message pump for good (the destructor does this):
    /// PumpMessages returns false from then on and nothing more is dispatched.
    void DestroyHiddenWindow();

protected:
    /// Resets a buffer and hands it to the backend's input.
    bool PrepareAndAdd(TPtr<_MidiBuffer> buffer);

private:
    class Driver;
    friend class Driver;

    // What the backend reports, on its own thread.
    void InOpened();
    void InClosed();
    void InBytes(std::span<const std::uint8_t> bytes);
    void InLongError(std::span<const std::uint8_t> bytes);
    void InShortError(std::uint32_t packed);
    void OutOpened();
    void OutClosed();
    void OutDone(_MidiBuffer* buffer);

    void Notify(MidiNotifyCode code, std::uint32_t packed = 0);
    void NotifyConnectOnce();
    // Receiving SysEx, under the port lock.
    void AppendSysEx(std::span<const std::uint8_t> bytes);
    void EndSysExAsError();
    void ReturnFilled(bool asError);
    void OpenTimedOut();
    bool TakeIncoming(InQueue& queue, TPtr<_MidiBuffer>& out, const char16_t* name);
    void AppendToCapture(const QString& path, const std::uint8_t* data, std::size_t length);
    bool SendShortBytes(std::uint32_t packed);

    const bool m_isDevicePort;
    PortServices m_services;
    HiddenWindow m_window;
    std::unique_ptr<Driver> m_driver;
    std::unique_ptr<MidiOutputConnection> m_output; // guarded by the output lock
    std::unique_ptr<MidiInputConnection> m_input;   // creating thread only
    std::atomic<bool> m_outputHandle{false};        // "handle is not -1"
    std::atomic<bool> m_inputHandle{false};
    std::atomic<bool> m_inputStarted{false};
    std::atomic<unsigned> m_openFlags{0};           // bit 0 input, bit 1 output reported open
    std::atomic<bool> m_connectNotified{false};
    std::atomic<unsigned> m_timeout{1000};

    std::mutex m_outLock;
    mutable std::mutex m_portLock;
    std::map<_MidiBuffer*, TPtr<_MidiBuffer>> m_outputInUse;
    BufferPool m_inputPool;
    std::map<_MidiBuffer*, TPtr<_MidiBuffer>> m_inputInUse;
    BufferPool m_outputPool;
    InQueue m_dataQueue;
    InQueue m_errorQueue;
    // The SysEx being received (under the port lock): the buffer it fills,
    // or, when no buffer was free, whether its bytes are being dropped.
    _MidiBuffer* m_filling = nullptr;
    bool m_inSysEx = false;
    bool m_droppingSysEx = false;

    QString m_inCapturePath;
    QString m_outCapturePath;
};
