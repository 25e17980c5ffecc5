#pragma once
// The MIDI system under a MidiPort: port enumeration, opening one input or
// output port by number, sending, and the calls a backend makes when bytes
// arrive. Two backends exist: RtMidiBackend (ALSA sequencer or JACK) for the
// program and LoopbackBackend (in-process, with a device side) for tests.
//
// Threads: a backend calls an input sink on a thread of its own (the ALSA
// input thread, the JACK process thread, the loopback worker) or, for the
// open and close reports, inside OpenInput/Close. After Close returns, the
// connection makes no further call into its sink. Sends may come from any
// thread; the port serialises them.

#include <QString>

#include <cstdint>
#include <memory>
#include <span>
#include <vector>

/// Result codes of backend operations; the numbers are the Windows multimedia
/// result codes (MMSYSERR_* and MIDIERR_*) so log lines read the same as on the platform the program came from.
enum class MidiError : std::uint32_t {
    NoError = 0,
    Error = 1,          ///< unspecified failure (the detail text says more)
    BadDeviceId = 2,    ///< no port with that number
    NotEnabled = 3,
    Allocated = 4,      ///< the port is in use
    InvalidHandle = 5,  ///< the connection is closed
    NoDriver = 6,       ///< the MIDI system could not be started
    NoMemory = 7,
    NotSupported = 8,
    InvalidParam = 11,  ///< for example an empty or malformed message
    NotReady = 67,      ///< the far end has gone away
};

/// A backend result: a code and, on failure, the backend's own explanation.
struct MidiResult {
    MidiError code = MidiError::NoError;
    QString detail;

    static MidiResult Ok() { return {}; }
    static MidiResult Fail(MidiError code, const QString& detail = {}) { return {code, detail}; }
    explicit operator bool() const { return code == MidiError::NoError; }
};

/// The standard text of a result code ("Unknown error" for codes we do not know).
QString MidiErrorText(MidiError code);

/// One port of the MIDI system: its number (the index a setting stores) and
/// its name. Numbers run from 0 and can move when devices come and go.
struct MidiPortInfo {
    int number = -1;
    QString name;
    bool operator==(const MidiPortInfo&) const = default;
};

/// What an open input connection reports. Called on the backend's thread.
class MidiInputSink {
public:
    virtual ~MidiInputSink() = default;
    /// The input is open (only from backends that report their opens).
    virtual void OnInputOpened() = 0;
    /// The input has closed (only from backends that report their closes).
    virtual void OnInputClosed() = 0;
    /// Bytes arrived: one whole message, or one piece of a SysEx (the first
    /// piece starts with F0, the last ends with F7).
    virtual void OnInputBytes(std::span<const std::uint8_t> bytes) = 0;
    /// The MIDI system received a SysEx it reports as bad.
    virtual void OnInputLongError(std::span<const std::uint8_t> bytes) = 0;
    /// The MIDI system received a short message it reports as bad.
    virtual void OnInputShortError(std::uint32_t packed) = 0;
};

/// What an open output connection reports.
class MidiOutputSink {
public:
    virtual ~MidiOutputSink() = default;
    virtual void OnOutputOpened() = 0;
    virtual void OnOutputClosed() = 0;
};

class MidiInputConnection {
public:
    virtual ~MidiInputConnection() = default;
    /// Lets arriving bytes through to the sink (nothing is delivered before).
    virtual MidiResult Start() = 0;
    /// Closes the port; no call reaches the sink after this returns.
    virtual void Close() = 0;
};

class MidiOutputConnection {
public:
    virtual ~MidiOutputConnection() = default;
    /// Sends one short message (its status and data bytes).
    virtual MidiResult SendShort(std::span<const std::uint8_t> bytes) = 0;
    /// Sends bytes as long data: one SysEx, or several messages back to back.
    /// The bytes are copied before the call returns.
    virtual MidiResult SendLong(std::span<const std::uint8_t> bytes) = 0;
    /// Closes the port.
    virtual void Close() = 0;
};

class MidiBackend {
public:
    virtual ~MidiBackend() = default;

    /// "ALSA", "JACK", "Loopback": for log lines.
    virtual QString Name() const = 0;
    /// The input and output ports the MIDI system offers now; empty (and a
    /// logged error) when the system cannot be reached.
    virtual std::vector<MidiPortInfo> InputPorts() = 0;
    virtual std::vector<MidiPortInfo> OutputPorts() = 0;

    /// Opens input port number; null and *result set on failure. The sink must
    /// outlive the connection.
    virtual std::unique_ptr<MidiInputConnection> OpenInput(int number, MidiInputSink* sink, MidiResult* result) = 0;
    virtual std::unique_ptr<MidiOutputConnection> OpenOutput(int number, MidiOutputSink* sink, MidiResult* result) = 0;

    /// Whether the backend reports opens and closes through the sinks. When it
    /// does not (RtMidi has no such callbacks), the port reports them itself
    /// right after a successful open and after a close.
    virtual bool ReportsOpenAndClose() const = 0;
};

/// The backend new ports use: the one installed, else the program's RtMidi
/// backend on the API the configuration chooses (see MakeDefaultMidiBackend).
std::shared_ptr<MidiBackend> CurrentMidiBackend();
/// Installs the backend new ports use (tests install a loopback); null goes
/// back to the default.
void SetCurrentMidiBackend(std::shared_ptr<MidiBackend> backend);

/// The program's backend: RtMidi on the API named by the "MidiApi" text value
/// of the configuration key ("ALSA", the default, or "JACK").
std::shared_ptr<MidiBackend> MakeDefaultMidiBackend();
