#pragma once
// A simulated device (one module or a bus) on real JACK MIDI ports: virtual ports of
// its own, an input and an output, that the program under test, or a test client,
// connects to like to any other MIDI device. RtMidi makes one JACK client per port,
// so the two ports belong to clients "<name>-in" and "<name>-out". The
// device runs in real time on a RealTimeDriver. A disconnect takes both ports away
// (they vanish from JACK); a reconnect brings them back under the same names; an
// input error is sent as its raw broken bytes.
#include "sim/Device.h"
#include "sim/Runner.h"

#include <QString>

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>

class RtMidiIn;
class RtMidiOut;

namespace sim {

class JackPorts {
public:
    explicit JackPorts(Device& device, QString clientName = QStringLiteral("Tabrine Simulated Module"));
    ~JackPorts();
    JackPorts(const JackPorts&) = delete;
    JackPorts& operator=(const JackPorts&) = delete;

    /// Creates the client and its two ports and starts the device. False and *error
    /// when JACK cannot be reached (no server) or the ports cannot be made.
    bool open(QString* error);
    /// Stops the device and removes the client.
    void close();
    bool isOpen() const;
    /// Waits until the ports are gone (after close or a disconnect); false on timeout.
    bool waitUntilClosed(std::chrono::milliseconds timeout);

    /// Full JACK names of the ports, as other clients list them: the device's input
    /// ("<name>-in:midi_in") takes what the host sends, its output ("<name>-out:midi_out") answers.
    QString inputPortName() const { return clientName_ + QStringLiteral("-in:midi_in"); }
    QString outputPortName() const { return clientName_ + QStringLiteral("-out:midi_out"); }
    RealTimeDriver& driver() { return *driver_; }

private:
    void onDelivery(const Delivery& d);
    bool openPorts(QString* error);
    void closePorts();
    static void OnInput(double, std::vector<unsigned char>* message, void* self);

    Device& device_;
    QString clientName_;
    std::unique_ptr<RealTimeDriver> driver_;
    mutable std::mutex portsLock_; // the RtMidi objects: the driver thread sends, JACK calls in
    std::condition_variable portsChanged_;
    std::unique_ptr<RtMidiIn> in_;
    std::unique_ptr<RtMidiOut> out_;
    QString lastError_;
};

} // namespace sim
