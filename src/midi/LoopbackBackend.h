#pragma once
// An in-process MIDI system for tests and the simulated module. Each
// LoopbackDevice is one named device with one input port and one output port
// (the same name, the same number); a MidiPort opens them like any others,
// and the test or the simulated module holds the device side:
//
//     auto backend = std::make_shared<LoopbackBackend>();
//     auto device = backend->AddDevice("Proteus 2000");      // ports 0 in, 0 out
//     device->SetReceiver([&](const std::vector<std::uint8_t>& msg) {
//         device->Send(ReplyTo(msg));                          // answer the editor
//     });
//     MidiPort port(true, backend);
//     port.OpenPort(0, 0, 1000);
//
// Device side, seen from the device:
//   - Receiver / Received(): every message the editor sends on its output
//     port, one whole message per call (long data holding several messages
//     is split), on the loopback's worker thread.
//   - Send(): bytes to the editor's input port, split into messages; with
//     Options::splitSysEx a SysEx longer than chunkSize arrives in pieces.
//     Sent while the editor's input is closed or not yet started, bytes are
//     lost, as on a cable.
//   - SendLongError / SendShortError: make the input report a bad SysEx or
//     a bad short message.
//   - HoldOpen / ReportOpen / ReportClosed: control what the editor's port
//     hears about opening and closing (an open that never completes, a
//     device that goes away).
//
// Delivery: everything travels through one worker thread, first in first
// out, so the editor's port gets its input on a thread of its own as from a
// real MIDI system. With Options::paceAtWireRate each direction of each
// device is a MIDI cable of 3125 bytes/s: a message is delivered when its
// last byte would have arrived. Flush() waits until nothing is in flight.
//
// Callbacks (the receiver, the editor's input) run on the worker thread
// without any loopback lock held; a receiver may call Send. A receiver must
// not close or destroy the editor's ports.

#include "midi/MidiBackend.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace loopback_detail {
struct Hub;
class InputConnection;
class OutputConnection;
} // namespace loopback_detail

class LoopbackDevice {
public:
    using Receiver = std::function<void(const std::vector<std::uint8_t>& message)>;
    using Clock = std::chrono::steady_clock;

    LoopbackDevice(const LoopbackDevice&) = delete;
    LoopbackDevice& operator=(const LoopbackDevice&) = delete;
    ~LoopbackDevice();

    QString Name() const { return m_name; }

    /// Called on the worker thread with each message the editor sent, after
    /// it has been added to Received(). Replaces the previous receiver.
    void SetReceiver(Receiver receiver);

    /// Sends bytes (one or more messages) to the editor's input port. True
    /// when the editor's input port on this device is open.
    bool Send(std::span<const std::uint8_t> bytes);
    bool Send(const std::vector<std::uint8_t>& bytes) { return Send(std::span<const std::uint8_t>(bytes)); }
    /// Sends a short message packed with the status in the low byte.
    bool SendShort(std::uint32_t packed);
    /// The editor's input reports a bad SysEx holding these bytes.
    void SendLongError(std::span<const std::uint8_t> bytes);
    /// The editor's input reports a bad short message.
    void SendShortError(std::uint32_t packed);

    /// While held, opening the editor's ports on this device reports nothing,
    /// so the editor's open time-out runs. ReportOpen reports the held opens late.
    void HoldOpen(bool hold);
    void ReportOpen();
    /// The device goes away: the editor's open ports on it report their close
    /// and every later send to it fails.
    void ReportClosed();

    /// Whether the editor has its input (resp. output) port on this device open.
    bool IsInputOpen() const;
    bool IsOutputOpen() const;

    /// Every message received from the editor so far, oldest first.
    std::vector<std::vector<std::uint8_t>> Received() const;
    void ClearReceived();
    /// Waits until at least count messages have been received; false on timeout.
    bool WaitForReceived(std::size_t count, std::chrono::milliseconds timeout) const;

private:
    friend struct loopback_detail::Hub;
    friend class loopback_detail::InputConnection;
    friend class loopback_detail::OutputConnection;
    friend class LoopbackBackend;

    LoopbackDevice(const QString& name, std::weak_ptr<loopback_detail::Hub> hub);
    void Deliver(const std::vector<std::uint8_t>& message);

    const QString m_name;
    const std::weak_ptr<loopback_detail::Hub> m_hub;

    // Guarded by the hub's lock.
    loopback_detail::InputConnection* m_input = nullptr;
    loopback_detail::OutputConnection* m_output = nullptr;
    bool m_holdOpen = false;
    Clock::time_point m_toEditorBusy{};
    Clock::time_point m_toDeviceBusy{};

    mutable std::mutex m_lock; // the receiver and the received list
    mutable std::condition_variable m_receivedChanged;
    Receiver m_receiver;
    std::vector<std::vector<std::uint8_t>> m_received;
};

class LoopbackBackend final : public MidiBackend {
public:
    struct Options {
        /// Deliver a SysEx longer than chunkSize to the editor in pieces of
        /// chunkSize bytes, as some MIDI systems do.
        bool splitSysEx = false;
        std::size_t chunkSize = 1024;
        /// Deliver each message when its last byte would have arrived on a
        /// MIDI cable (31250 baud, 10 bits a byte: 320 microseconds a byte).
        bool paceAtWireRate = false;
    };

    explicit LoopbackBackend(Options options);
    LoopbackBackend();
    ~LoopbackBackend() override;

    /// Adds a device whose input and output ports take the next number.
    std::shared_ptr<LoopbackDevice> AddDevice(const QString& name);
    /// Removes the first device of that name: its open ports report their
    /// close (as ReportClosed) and the devices after it move down one number.
    void RemoveDevice(const QString& name);
    /// The first device of that name, or null.
    std::shared_ptr<LoopbackDevice> FindDevice(const QString& name) const;

    /// Waits until nothing is in flight in either direction (replies a
    /// receiver sends while flushing included); false on timeout.
    bool Flush(std::chrono::milliseconds timeout);

    QString Name() const override { return QStringLiteral("Loopback"); }
    std::vector<MidiPortInfo> InputPorts() override;
    std::vector<MidiPortInfo> OutputPorts() override;
    std::unique_ptr<MidiInputConnection> OpenInput(int number, MidiInputSink* sink, MidiResult* result) override;
    std::unique_ptr<MidiOutputConnection> OpenOutput(int number, MidiOutputSink* sink, MidiResult* result) override;
    bool ReportsOpenAndClose() const override { return true; }

private:
    std::shared_ptr<loopback_detail::Hub> m_hub;
};
