#pragma once
// sim::Module - the module side of the protocol, as a discrete-event engine.
//
// The engine knows nothing of ports: a transport hands it each message the host
// sends, with the time it was sent, and collects the deliveries (messages, and
// connection events) that reach the host, each at its own time. Between the two
// lies a serial line per direction (31250 baud, 10 bits a byte: 320 us per byte;
// a message is delivered whole when its last byte is through) and the module's
// own processing, one message at a time in arrival order.
//
// The module answers by a table of handlers keyed by route (command byte of a
// module message, or universal route); handlers of later protocol areas are added
// with setHandler(). It encodes and decodes everything itself and shares no code
// with the editor, so that an encoding fault on either side shows as a mismatch.
#include "sim/Clock.h"
#include "sim/Device.h"
#include "sim/Fault.h"
#include "sim/Profile.h"
#include "sim/Transcript.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <vector>

namespace sim {

/// One message being processed: handlers read the request and add replies.
struct Exchange {
    QByteArray request;
    int route = kAnyRoute;
    int subject = -1;                ///< parameter id or object index named by the request, -1 if none
    std::vector<QByteArray> replies; ///< sent in order when processing ends
    SimTime extraBusy{0};            ///< processing time beyond the profile's time for the route
    QString note;                    ///< how the request was treated, when not plainly answered
};

/// Object kinds of the module's name requests.
enum class ObjectKind { Preset = 1, Instrument = 2, Arp = 3, Setup = 4, Demo = 5, Riff = 6 };

struct DumpState; // sim/DumpHandlers.h

/// What bank select and program change did on one channel.
struct ChannelProgram {
    int bankMsb = 0;  ///< CC 0 as last received: the ROM id
    int bankLsb = 0;  ///< CC 32 as last received: preset number / 128
    int preset = -1;  ///< the preset the last program change the channel took selected (bank * 128 + program)
    int romId = -1;   ///< the ROM of that preset
};

/// The module's memory besides parameter values. Later protocol areas keep their objects here.
struct ModuleState {
    std::map<std::vector<int>, QByteArray> names; ///< {kind, SIMM id, index} -> explicit 16-character name
    std::vector<int> bankMap = std::vector<int>(256, 0);
    QByteArray lcdRows[2];
    QByteArray lcdCharacterTable;
    bool frontPanelSession = false;
    std::vector<QByteArray> shortMessages; ///< short messages received, in order
    std::shared_ptr<DumpState> dumps;      ///< stored presets and the dump conversations (sim/DumpHandlers.h)

    // Setup, arp and tuning dumps (SetupArpTuningHandlers.cpp).
    QByteArray setupImage;                        ///< the setup edit buffer as last built or uploaded (F0 ... F7)
    std::map<std::pair<int, int>, QByteArray> arps; ///< {SIMM id, arp} -> arp dump as stored (F0 ... F7)
    std::map<int, QByteArray> tunings;            ///< tuning program -> 16 name bytes + 128 x 3 tuning bytes

    // Module commands (CommandHandlers.cpp).
    std::vector<int> buttonsPressed;             ///< front-panel buttons pressed (state 1), in order
    std::map<int, int> setupDeviceIds;           ///< user setup -> device id that loading it sets
    std::map<std::pair<int, int>, std::array<int, 3>> noteTunings; ///< {tuning, key} -> semitone, fine high, fine low
    int randomisations = 0;

    std::map<int, ChannelProgram> programs; ///< by channel of this input (0-15)
};

class Module : public Device {
public:
    using Handler = std::function<void(Module&, Exchange&)>;
    using SubjectOf = std::function<int(const QByteArray&)>;

    explicit Module(Profile profile);

    // ---- transport side (Device) -------------------------------------------------------
    void receiveFromHost(const QByteArray& message, SimTime at) override;
    std::optional<SimTime> nextEventTime() const override;
    void runUntil(SimTime t) override;
    SimTime now() const override { return now_; }
    std::vector<Delivery> takeDeliveries() override;
    void setDeliverySink(DeliverySink sink) override { sink_ = std::move(sink); }

    // ---- connection and unprompted traffic -------------------------------------------
    /// The module sends `message` of its own accord at time `at` (front-panel moves, stray bytes).
    void sendUnsolicited(const QByteArray& message, SimTime at);
    /// The cable is pulled at `at`: the host sees a disconnect; the module hears nothing until reconnect.
    void disconnectAt(SimTime at);
    void reconnectAt(SimTime at);
    /// The host's input reports a broken message at `at`, carrying `garbage`.
    void inputErrorAt(SimTime at, const QByteArray& garbage);
    bool connected() const { return connected_; }

    // ---- transport latency and accounting ----------------------------------------------
    /// Delay a real MIDI transport adds to each round trip (driver buffers, a sound
    /// server's period): every message from the host reaches the module this much later
    /// than its last byte leaves the serial line. 0 (the default) is a bare cable.
    void setLatency(SimTime latency) { latency_ = latency; }
    SimTime latency() const { return latency_; }
    /// Total time the module has spent processing messages (each route's processing time
    /// plus extra busy time), for benchmarks that split elapsed time into its causes.
    SimTime processingTime() const { return processingTotal_; }
    /// Every stretch of processing as {start, end}, in order.
    const std::vector<std::pair<SimTime, SimTime>>& processingPeriods() const { return processingPeriods_; }

    // ---- faults -----------------------------------------------------------------------
    void addFault(const Fault& fault) { faults_.push_back({fault, 0}); }
    void clearFaults() { faults_.clear(); }

    // ---- handlers ---------------------------------------------------------------------
    /// Installs (or replaces) the handler of a route; `subject` extracts the id the fault rules match on.
    void setHandler(int route, Handler handler, SubjectOf subject = {});
    void removeHandler(int route);
    /// The handler and subject function of a route (empty when it has none), so
    /// that a later area can answer some of a route's requests and hand the rest on.
    Handler handlerOf(int route) const;
    SubjectOf subjectOf(int route) const;

    // ---- state ------------------------------------------------------------------------
    const Profile& profile() const { return profile_; }
    const Transcript& transcript() const override { return transcript_; }
    Transcript& transcript() { return transcript_; }
    ModuleState& state() { return state_; }
    const ModuleState& state() const { return state_; }
    int deviceId() const { return deviceId_; }
    void setDeviceId(int id) { deviceId_ = id & 0x7F; }

    /// Value of a parameter where the selectors point now; nullopt when the module lacks it.
    std::optional<int> parameterValue(int id) const;
    /// Value at an explicit place (one entry per selector of the parameter's scope).
    std::optional<int> parameterValueAt(int id, const std::vector<int>& place) const;
    /// Stores a value where the selectors point (every place when a selector says "all");
    /// no range check. 388 sets the device id. False when the module lacks the parameter.
    bool setParameterValue(int id, int value);
    /// Stores a value at an explicit place (one entry per selector of the parameter's scope);
    /// no range check. 388 sets the device id. False when the module lacks the parameter.
    bool setParameterValueAt(int id, const std::vector<int>& place, int value);
    /// The place the selectors of id's scope point at now.
    std::vector<int> currentPlace(int id) const;

    /// Object count of a SIMM (0 = the user bank) for a kind; 0 for a SIMM the module lacks.
    int objectCount(ObjectKind kind, int simmId) const;
    /// 16-character blank-padded name of an object; nullopt past the object count.
    std::optional<QByteArray> objectName(ObjectKind kind, int simmId, int index) const;

    // ---- helpers for handlers ---------------------------------------------------------
    /// F0 18 0F dd 55 cmd data F7 with the module's device id.
    QByteArray frame(int command, const QByteArray& data) const;
    /// F0 18 0F dd 55 70 cmd(2) sub(2) F7.
    QByteArray errorReply(int command, int subCode) const;
    /// Answers a request the module cannot serve as the policy says (error reply or nothing).
    void refuse(Exchange& ex, int command, int subCode, Refusal policy, const QString& why) const;
    static void Put14(QByteArray& out, int value);
    static int Get14(const QByteArray& bytes, int at);

private:
    struct Pending {
        QByteArray message;
        std::size_t transcriptIndex;
    };
    struct ArmedFault {
        Fault fault;
        int seen;
    };
    struct Route {
        Handler handle;
        SubjectOf subject;
    };
    struct Output {
        EntryKind kind;
        QByteArray bytes;
        SimTime delay;
        QString note;
    };

    void schedule(SimTime at, std::function<void()> fn);
    void arrive(const QByteArray& message, std::size_t transcriptIndex);
    void startNext();
    void process(Pending item);
    void handOver(const Output& out);
    void deliver(Delivery d);
    SimTime transmit(SimTime* lineBusy, SimTime at, int bytes) const;
    std::vector<Fault> firingFaults(int route, int subject);
    static void ApplyFault(const Fault& f, std::vector<Output>* outputs);

    Profile profile_;
    ModuleState state_;
    int deviceId_ = 0;
    std::map<int, std::map<std::vector<int>, int>> values_;
    std::map<int, Route> routes_;
    std::vector<ArmedFault> faults_;
    Transcript transcript_;

    SimTime now_{0};
    SimTime hostLineBusy_{0};
    SimTime moduleLineBusy_{0};
    SimTime latency_{0};
    SimTime processingTotal_{0};
    std::vector<std::pair<SimTime, SimTime>> processingPeriods_;
    bool connected_ = true;
    bool processing_ = false;
    std::deque<Pending> inbox_;
    std::map<std::pair<SimTime, std::uint64_t>, std::function<void()>> events_;
    std::uint64_t sequence_ = 0;
    std::vector<Delivery> outbox_;
    DeliverySink sink_;
};

/// The handlers for identity, hardware configuration and the parameter messages.
void InstallCoreHandlers(Module& module);
/// The handlers for the preset and bank map dumps (sim/DumpHandlers.h).
void InstallDumpHandlers(Module& module);
/// The handlers for names, the front panel, the screen dump, copies, randomising and
/// single-note tuning changes (and the arp dump as far as an arp's name needs it).
void InstallCommandHandlers(Module& module);
/// The handlers for the setup, arp and MIDI Tuning Standard dumps in both directions
/// (installed after the command handlers: its arp dump replaces theirs).
void InstallSetupArpTuningHandlers(Module& module);
/// The preset and layer section dumps that carry key-map data (KeymapHandlers.cpp);
/// installed after the dump handlers, whose answer it keeps for every other request.
void InstallKeymapHandlers(Module& module);
/// The handler of short messages on the module's input: bank select and program change.
void InstallChannelHandlers(Module& module);

} // namespace sim
