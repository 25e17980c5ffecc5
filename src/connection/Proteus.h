#pragma once
// Proteus: the program's connection to one sound module. It is the device
// MIDI port ("A") and the module's data model in one object, owned by the
// document for its whole life.
//
// Everything it says to the module is a SysEx message (module/ModuleSysEx.h).
// A request goes out with SendSysEx and its caller then blocks in
// WaitForResponse, which pumps only this port's notifications until the reply
// (or a module error for the same command) has been matched against the queue
// of expected responses, or the response time-out passes:
//
//     if (!ReadyToSend(u"Proteus::ParameterRequest"))
//         return false;                                   // not connected, or another wait runs
//     ModuleSysExMessage m(GetDeviceId(), CMD_PARAMETER_REQUEST);
//     m.AddByte(1).AddValue14(id);
//     if (!SendSysEx(m)) { log "Failed to send ..."; return false; }
//     const std::uint8_t header[] = {0xF0, 0x18, 0x0F, std::uint8_t(GetDeviceId()), 0x55, 0x01, 0x02};
//     std::uint8_t reply[4];
//     bool ok = false;
//     if (!WaitForResponse(CMD_PARAMETER_REQUEST, m.Data(), m.Length(), header, 7, &ok, reply, 4, false))
//         { log "No response to ..."; return false; }        // timed out
//     if (!ok) { log "Error received for ..."; return false; } // module error (or input error)
//
// While a wait runs, nothing but this port's notifications is dispatched, the
// desktop is kept answered (WaitGuard), every listener's OnWaiting is called
// and the main window is repainted; no second exchange can start inside it.
// Ticks, the wait for input and the pause after each wait (SysExDelay) go
// through platform::CurrentClock(), so tests run the conversation in virtual time.
//
// Listeners (ProteusEvents) are kept in a set ordered by address and notified
// in that order; a notification walks a snapshot, so a listener may remove
// itself or another one while it is being notified.
//
// The later operations of the class live in files of their own (see the
// sections at the end of the class): parameters, identity, commands and the
// scan in src/module, dumps, files and backup in src/dump.

#include "core/RefCounted.h"
#include "core/XMLDocument.h"
#include "dump/ByteBlock.h"
#include "dump/InstrumentDefinition.h"
#include "dump/OleProps.h"
#include "midi/MidiPort.h"
#include "module/Capabilities.h"
#include "module/ModuleCommands.h"
#include "module/ModuleExchange.h"
#include "module/KeyMapData.h"
#include "module/ModuleSysEx.h"
#include "module/ProteusData.h"
#include "module/ProteusEvents.h"

#include <QString>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <set>
#include <span>
#include <vector>

class StackedProgress;
class SetupBuffer;
class XMLElement;
class SetupBuffer;

class Proteus : public MidiPort, public ProteusData {
public:
    /// One pending reply: in the queue from AddExpectedResponse to
    /// RemoveExpectedResponse (for WaitForResponse, exactly as long as the wait).
    class _ExpectedResponse : public RefCountedObject {
    public:
        ~_ExpectedResponse() override = default;

        int commandId = 0;                  ///< the request's command byte; names it in module errors
        bool done = false;                  ///< a reply, a module error or an input error came
        bool ok = false;                    ///< it was a reply whose header matched
        std::vector<std::uint8_t> header;   ///< the first bytes of the expected reply
        /// The bytes that follow the header in the reply to this request and
        /// in no other (the parameter or object asked); empty: none.
        std::vector<std::uint8_t> key;
        std::uint8_t* destination = nullptr; ///< the caller's buffer for what follows the header
        unsigned capacity = 0;              ///< bytes the destination holds
        unsigned received = 0;              ///< bytes the last matching reply put there
        bool inputError = false;            ///< it ended because the input reported broken data
    };

    /// Silences the warning lines of requests that are expected to fail, for
    /// its lifetime. There is no nesting count: the end of an inner guard
    /// clears the flag for the outer one too.
    class SuppressWarningMessages {
    public:
        explicit SuppressWarningMessages(Proteus* owner);
        virtual ~SuppressWarningMessages();
        SuppressWarningMessages(const SuppressWarningMessages&) = delete;
        SuppressWarningMessages& operator=(const SuppressWarningMessages&) = delete;

    private:
        Proteus* m_owner;
    };

    /// The device port on backend (null: CurrentMidiBackend()), not connected,
    /// device id 0, WriteDelay 0, SysExDelay 500 ms.
    explicit Proteus(std::shared_ptr<MidiBackend> backend = nullptr);
    ~Proteus() override;

    // ---- Port and pacing ------------------------------------------------------------

    /// Keeps the device id and the pacing values and opens the port pair;
    /// timeoutMs is also the response time-out of every wait. What
    /// MidiPort::OpenPort returns.
    bool OpenPort(int inputDevice, int outputDevice, int deviceId, unsigned timeoutMs, int writeDelay, int sysExDelay,
                  bool skipScreenDump);

    /// The device id every message carries. It may be outside 0..127 when a
    /// setting says so; then every module message is refused.
    int GetDeviceId() const { return m_deviceId; }
    int GetWriteDelay() const { return m_writeDelay; }
    /// The pause after every wait that ended with a reply or a time-out.
    int GetSysExDelay() const { return m_sysExDelay; }
    bool GetSkipScreenDump() const { return m_skipScreenDump; }
    /// From the connect notification to the disconnect.
    bool IsConnected() const { return m_connected; }

    // ---- Sending and response matching ----------------------------------------------

    /// The test every request passes before it builds a message: connected,
    /// both port directions open, and no other exchange waiting. False means
    /// fail at once without sending; only the last cause is logged (request
    /// names the refused operation).
    bool ReadyToSend(const QString& request);

    /// Sends one message. An invalid message (a byte that would not fit in
    /// SysEx) is refused and logged, never sent. False when refused or when
    /// the port does not take it; the caller logs its own failure.
    bool SendSysEx(const SysExMessage& message);

    /// Sends raw bytes as one message after checking that they are one whole
    /// SysEx message (F0, data bytes, F7); anything else is refused and
    /// logged, never sent. False when refused or the port does not take it.
    bool SendSysEx(std::span<const std::uint8_t> message);

    /// Sends request (through SendSysEx) and waits for the reply it expects
    /// (AwaitReply). NotSent when the send failed; nothing is waited then.
    ReplyResult Exchange(const SysExMessage& request, const ExpectedReply& expected);
    ReplyResult Exchange(std::span<const std::uint8_t> request, const ExpectedReply& expected);
    /// Waits for the next reply to a request already sent (a dump stream sends
    /// several replies to one request): the rules of WaitForResponse, with the
    /// way the wait ended told apart. sent: the request, for the trace and the
    /// time-out line.
    ReplyResult AwaitReply(std::span<const std::uint8_t> sent, const ExpectedReply& expected);

    /// Waits for the reply to a request already sent. header: the first bytes
    /// of the reply (device id included); what follows them, up to capacity
    /// bytes, goes to destination. sent: the request, for the trace and the
    /// time-out line. True when a reply or a module error for commandId (or an
    /// input error) came: *ok true only for a reply. False on time-out (the
    /// port's time-out, at least 10000 ms with longWait) or when the port's
    /// pump ends, and at once when another wait is running. *received (may be
    /// null): how many bytes the reply put into destination. After a reply or
    /// a time-out, SysExDelay passes before it returns. Never resends.
    /// key (may be empty): the bytes that follow the header in the reply to
    /// this request only, such as the parameter id a value reply names. A
    /// message with the header but another key answers some other request (a
    /// reply that came after its own wait timed out, or one the module sent
    /// unasked): it is logged and dropped, and the wait goes on. The key
    /// bytes are kept in destination like the rest of the reply.
    bool WaitForResponse(int commandId, const std::uint8_t* sent, unsigned sentLength, const std::uint8_t* header,
                         unsigned headerLength, bool* ok, std::uint8_t* destination, unsigned capacity, bool longWait,
                         unsigned* received = nullptr, std::span<const std::uint8_t> key = {});

    /// Matches one received message (starting at message, never read past end)
    /// against the pending replies, oldest first; returns the position just
    /// after it. A message that matches none and is no module error for a
    /// pending command is logged and dropped.
    /// While a KeepEveryReply guard lives, a reply for a wait that has its
    /// answer already is held back for the next wait (which matches it before
    /// anything newer) instead of being written over the first.
    const std::uint8_t* CheckResponse(const std::uint8_t* message, const std::uint8_t* end);

    /// Matches every message of received data in order (several messages may
    /// share one buffer).
    void CheckReceivedData(const std::uint8_t* data, const std::uint8_t* end);

    /// Appends a pending reply to the queue (WaitForResponse does this for its
    /// own wait). The header and key are copied; destination must stay valid
    /// until the entry is removed.
    TPtr<_ExpectedResponse> AddExpectedResponse(int commandId, const std::uint8_t* header, unsigned headerLength,
                                                std::uint8_t* destination, unsigned capacity,
                                                std::span<const std::uint8_t> key = {});
    void RemoveExpectedResponse(const TPtr<_ExpectedResponse>& entry);
    std::size_t PendingResponseCount() const { return m_pending.size(); }

    /// The flag of SuppressWarningMessages.
    bool SuppressingWarnings() const { return m_suppressWarnings; }
    /// Whether time-outs and module errors go unlogged: the flag, or the
    /// setting TestUI.
    bool ResponseWarningsSuppressed() const;

    // MidiEvents
    /// Matches every SysEx buffer the input queued, message by message.
    void OnIncomingMessage() override;
    /// The input reported a bad SysEx: every pending reply ends as answered
    /// with an error.
    void OnIncomingError() override;
    /// Tells every listener (OnSysExSent).
    void OnSent(const void* data, unsigned length) override;

    // ---- Listeners --------------------------------------------------------------------

    /// Registers a listener (no effect when it is registered already). Proteus
    /// neither owns nor deletes listeners: each removes itself before it goes.
    void AddListener(ProteusEvents* listener);
    void RemoveListener(ProteusEvents* listener);
    bool HasListener(ProteusEvents* listener) const { return m_listeners.count(listener) != 0; }

    // Walks over the listeners, in address order. A listener removed during the
    // walk is not called after its removal; one added is called from the next walk.
    void NotifyDeviceConnected();
    /// Asks each listener in turn; the first false stops the asking and refuses.
    /// True when all agree or there is no listener.
    bool NotifyParameterChanging(ParamRecord* record);
    void NotifyParameterChanged(ParamRecord* record);
    void NotifyDeviceDisconnected();
    void NotifyWaiting();
    void NotifyBeginProgress(int lower, int upper, const QString& text);
    void NotifyProgressText(const QString& text);
    void NotifyProgressStep();
    void NotifyEndProgress();
    void NotifySysExSent(const std::uint8_t* data, unsigned length);
    void NotifyShortMessageSent(const std::uint8_t packed[4]);

    // ==== Parameter protocol; ports, identity and hardware configuration ================
    // (src/module/ProteusParameters.cpp, src/module/ProteusPorts.cpp)
    //
    // A request asks the module and blocks until the reply (WaitForResponse); an
    // edit goes out as one message without a reply. Every reply is checked for
    // the bytes its reader needs: a reply cut short counts as an error reply and
    // changes nothing. A record of id 0 (the DUMMY_PARAMETER that FindParameter
    // hands out for an unknown id) never reaches the module.
    //
    // While the setting TestUI is on, a value or range request that got no reply
    // or an error still counts as answered (the record keeps what it had), and a
    // failed edit still counts as sent, so the user interface runs without a module.

    /// One real-time controller of the module: the master parameter holding the
    /// MIDI controller number assigned to it, its letter and label, and whether
    /// it exists only on modules with CAP_16_CONTROLLERS (1) or on all (0).
    struct RealTimeControllerRow {
        ParameterId id;
        const char16_t* letter;
        const char16_t* label;
        int needs16Controllers;
    };

    /// The setup edit buffer as the parameter protocol uses it. The object that
    /// owns the buffer registers it with SetSetupParameters; without one,
    /// MULTIMODE_PRESET cannot be asked (false) and changes are not stored.
    class SetupParameters {
    public:
        virtual ~SetupParameters() = default;
        /// Puts the value (and SIMM id) of record's parameter on channel into
        /// record; false, record unchanged, when the buffer cannot tell.
        virtual bool GetParameter(int channel, ParamRecord* record) = 0;
        /// Called for every distributed change, before the listeners hear of it.
        virtual void OnParameterChanged(ParamRecord* record) = 0;
    };

    /// Bank select MSB (the ROM id, low byte), LSB (number / 128) and program
    /// (number % 128) that choose a preset. No range check: see SelectPreset.
    struct PresetSelect {
        int msb = 0;
        int lsb = 0;
        int program = 0;
    };
    static PresetSelect SplitPresetNumber(int romId, int presetNumber);

    /// The record of a parameter: the fixed records of the connection
    /// (BEAT_LAYER_SELECT, MULTIMODE_BASIC_CHANNEL, PRESET_SELECT, LAYER_SELECT,
    /// MULTIMODE_PRESET, SETUP_RELOAD_NOTIFIER, ANY_PARAMETER), then the eight
    /// table caches in order master, master arp, multimode, arp pattern, beat,
    /// preset, preset arp, layer. Never null: an unknown id is logged and gets
    /// the DUMMY_PARAMETER record (id 0), reset to its defaults on every lookup.
    ParamRecord* FindParameter(int id);

    /// The hidden parameter that carries the SIMM id of record's value (for
    /// example LAYER_INST_ROM_ID 1439 for LAYER_INSTRUMENT 1409) and its name;
    /// -1 and "UNKNOWN_COMMAND" when record has none (or is null).
    static int GetRomIdParameter(const ParamRecord* record, QString* name);

    /// Range, default and read-only flag from the min/max cache (asked of the
    /// module when the cache has no range the module answered for the id), then
    /// the value starts from the default (or the minimum, when the default lies
    /// outside the range) and is asked of the module (ParameterRequest).
    /// MULTIMODE_PRESET comes from the setup edit buffer; other ids of 9000 and
    /// above are true with the record untouched. False when either step fails;
    /// a failed range request is not remembered as a range.
    bool ParameterRequestWithMinMax(ParamRecord* record);
    /// Range, default and read-only flag from fixed rules or the module, without
    /// the cache. When record is the min/max cache's own record and the range
    /// came from the module or a fixed rule, the range counts as known.
    bool ParameterRequestWithMinMaxNoCache(ParamRecord* record);
    /// The value (and, for a parameter with a ROM-id partner, the SIMM id) from
    /// the module. On failure the record is left as it was. Without
    /// CAP_16_CONTROLLERS, 411-414 and 967-970 read 0 without traffic; while a
    /// beat layer (above 15) is selected, 164-166 read their default.
    bool ParameterRequest(ParamRecord* record);
    /// Sends the record's value: its ROM-id partner first, then the edit, then
    /// tells every listener (DistributeParameterChanged). Ids in the confirm set
    /// (ANY_PARAMETER, MULTIMODE_BASIC_CHANNEL, MULTIMODE_PRESET, PRESET_KBD_TUNE)
    /// are first offered to the listeners, who may refuse (false, nothing sent).
    /// MASTER_MIDI_ID asks the user (string 151) and moves the connection to the
    /// new device id (0 ... 127; any other value is refused). SHORT_MIDI_MSG sends
    /// the short message it carries on the record's channel (the default field;
    /// 16-31 through the alternate port) and tells the listeners
    /// (OnShortMessageSent): true when a port took it; no veto, no distribution.
    bool ParameterEdit(ParamRecord* record);
    /// Asks every listener's OnParameterChanging in turn; the first false refuses.
    bool AllowParameterChange(ParamRecord* record);
    /// Once the connection is ready: the held record of the id takes the change,
    /// MULTIMODE_PRESET selects the preset, the setup buffer stores it, and every
    /// listener hears OnParameterChanged. Nothing is sent to the module.
    void DistributeParameterChanged(ParamRecord* record);

    /// One value request (F0 18 0F dd 55 02 01 id F7; reply 55 01 02 id value).
    bool LowLevelParameterRequest(ParamRecord* record);
    /// One range request (F0 18 0F dd 55 04 id F7; reply 55 03 id min max default ro).
    bool LowLevelParameterMinMaxRequest(ParamRecord* record);
    /// One edit (F0 18 0F dd 55 01 02 id value F7), not waiting for a reply. An
    /// edit of LAYER_SELECT that went out makes its value the current layer.
    bool LowLevelParameterEdit(ParamRecord* record);

    /// Selects preset presetNumber of ROM romId on the basic channel by bank
    /// select (CC 0, CC 32) and program change, switching the channel's enable
    /// and program-change reception on for the moment when they are off; then
    /// pauses WriteDelay. Channels 16-31 go through the alternate port (nothing
    /// is sent without one). A ROM id outside 0 ... 127 or a number outside
    /// 0 ... 16383 cannot travel in bank select: refused and logged, nothing sent.
    /// True when the three messages were sent.
    bool SelectPreset(int romId, int presetNumber);
    /// The MULTIMODE_PRESET of channel as the setup buffer holds it.
    bool GetChannelPreset(int channel, int& romId, int& presetNumber);
    /// Makes record the SHORT_MIDI_MSG pseudo-parameter carrying packed (status,
    /// first data byte, second data byte, unused) for channel.
    static void MakeShortMidiMsgParameter(int channel, const std::uint8_t packed[4], ParamRecord* record);
    /// Sends packed on the basic channel as a SHORT_MIDI_MSG edit (the MIDI thru
    /// of the controller port): channel messages take the channel, system
    /// messages go as they are.
    bool SendShortMidiMessage(const std::uint8_t packed[4]);

    /// Moves the connection to device id (every later message carries it),
    /// updates the MASTER_MIDI_ID record and stores the setting DeviceId. An id
    /// outside 0 ... 127 is refused (logged, nothing changes).
    bool SetDeviceId(int id);

    /// Whether the min/max cache holds a range for id that the module (or a
    /// fixed rule) gave. Code that fills the cache's ranges by other means (the
    /// configuration cache) marks them with SetRangeKnown.
    bool IsRangeKnown(ParameterId id) const { return m_knownRanges.count(id) != 0; }
    void SetRangeKnown(ParameterId id, bool known);

    /// The value of the last LAYER_SELECT edit sent: 0-3 a preset layer, 0-23
    /// a beat layer chosen through BEAT_LAYER_SELECT (above 15 only beat layers).
    int GetCurrentLayer() const { return m_currentLayer; }

    /// Set by the connect sequence once it has finished; before that,
    /// DistributeParameterChanged does nothing.
    bool IsReady() const { return m_ready; }
    void SetReady(bool ready) { m_ready = ready; }

    /// The capability flags (module/Capabilities.h) of the connected module.
    std::uint32_t GetCapabilities() const { return m_capabilities; }
    void SetCapabilities(std::uint32_t flags) { m_capabilities = flags; }
    bool HasCapability(std::uint32_t flag) const { return (m_capabilities & flag) == flag; }

    /// The document's alternate port (controller in, the module's B input out),
    /// which carries channels 16-31; null when there is none. Set by the
    /// document, which keeps it alive as long as it is set.
    MidiPort* GetAlternatePort() const { return m_alternatePort; }
    void SetAlternatePort(MidiPort* port) { m_alternatePort = port; }

    SetupParameters* GetSetupParameters() const { return m_setupParameters; }
    void SetSetupParameters(SetupParameters* setup) { m_setupParameters = setup; }

    /// The 19 real-time controllers A ... P, FS1 ... FS3, in the panel's order.
    const std::vector<RealTimeControllerRow>& GetRealTimeControllers() const { return m_realTimeControllers; }

    /// Closes the port pair and lets the disconnect be processed before it
    /// returns: pumps until the connection is marked disconnected, the pump ends
    /// or 500 ms have passed. Always true.
    bool ClosePort();
    /// The MIDI identity (Device Enquiry F0 7E dd 06 01 F7): manufacturer,
    /// family, family member (model) and the 4-character revision. Outputs are
    /// cleared first and stay so on failure (not ready, send failed, time-out,
    /// module error, reply too short).
    bool GetDeviceDetails(int& maker, int& family, int& member, QString& revision);
    /// The ROM SIMMs (F0 18 0F dd 55 0A F7): one slot per SIMM record (SIMM id,
    /// presets, instruments), then the user bank (SIMM id 0, the user preset
    /// count). Only the records within the first 29 bytes of the reply are read;
    /// a reply that ends before its records do is an error. count is 0 on failure.
    bool GetHardwareConfiguration(int& count, std::array<SimmSlot, HardwareConfig::kMaxSimms>& simmSlots);

private:
    // How a request ended: answered by the module (or by a fixed rule), counted
    // as answered without an answer (TestUI, capability rules), or failed.
    enum class Answer { Replied, Assumed, Failed };

    // The record of id without the error line; nullptr when there is none.
    ParamRecord* LookUpParameter(int id);
    // Logs the look-up failure for a record of no real parameter (id 0, the
    // dummy) and says whether to refuse it.
    static bool RefuseUnknownParameter(const ParamRecord* record);
    Answer RequestValue(ParamRecord* record);
    Answer RequestRange(ParamRecord* record);
    // The log texts of one request kind: the caller's name and the formats of
    // its failure lines, each filled with the record's name.
    struct ParameterExchangeTexts {
        const char16_t* caller;
        const char16_t* sendFailed;
        const char16_t* errorReply;
        const char16_t* noReply;
    };
    // Sends request and waits for the reply to commandId whose first bytes are
    // header; replyLength bytes after the header land in reply. A reply too
    // short for its reader counts as an error reply. Replied only for a whole reply.
    Answer ParameterExchange(const ModuleSysExMessage& request, int commandId, std::vector<std::uint8_t> header,
                             std::uint8_t* reply, unsigned replyLength,
                             const ParameterExchangeTexts& texts, const QString& name, int parameterId);
    Answer RequestRangeNoCache(ParamRecord* record);
    bool RequestMultimodePreset(ParamRecord* record);
    bool SendShortMessageRecord(ParamRecord* record);
    // The port that carries channel: the device port for 0-15, the alternate port above.
    MidiPort* PortForChannel(int channel);

    static ParameterCache MakeFixedParameters();
    static ParameterCache MakeConfirmSet();
    static std::vector<RealTimeControllerRow> MakeRealTimeControllers();

    bool m_ready = false;
    int m_currentLayer = 0;
    std::uint32_t m_capabilities = 0;
    MidiPort* m_alternatePort = nullptr;
    SetupParameters* m_setupParameters = nullptr;
    ParameterCache m_fixedParameters = MakeFixedParameters();
    ParameterCache m_confirmSet = MakeConfirmSet();
    std::vector<RealTimeControllerRow> m_realTimeControllers = MakeRealTimeControllers();
    std::set<ParameterId> m_knownRanges;

public:
    // ==== End of the parameter protocol, ports and identity ===============================

    // ==== Device scan and module commands ===============================================
    // The scan in src/module/DeviceScan.cpp, names in src/module/ObjectNames.cpp, the other
    // commands in src/module/ModuleCommands.cpp. Each returns false, with one log line,
    // when it fails; none retries. Replies are checked for the bytes their reader needs:
    // a short reply (or one with a status byte inside) is an error reply.

    // ---- Device scan --------------------------------------------------------------------

    /// Finds every Proteus-family module on the port: broadcasts a Device
    /// Enquiry, collects identity replies for the whole response time-out
    /// (from anything but E-mu Proteus modules they are ignored), then asks
    /// each module found for its hardware configuration. devices: (device id,
    /// signature) in device-id order. Two modules with one device id: duplicate
    /// set, true, devices empty and no configuration asked. False (devices
    /// empty) when the port is not ready, a send fails, a configuration reply
    /// is missing, refused or short, or an identity reply was cut short.
    bool ScanDevices(std::vector<std::pair<int, ScannedDevice>>& devices, bool& duplicate);
    /// While a scan collects replies, CheckResponse hands every message here
    /// instead of matching it: an identity reply of an E-mu Proteus module is
    /// kept. Returns the position after the message.
    const std::uint8_t* OnScanReply(const std::uint8_t* message, const std::uint8_t* end);
    /// The connected module's signature, from the identity and hardware
    /// configuration it reported. Always true.
    bool GetDeviceSignature(ScannedDevice& signature) const;
    bool IsScanning() const { return m_scanMode; }

    // ---- Front panel and display ----------------------------------------------------------

    /// A front-panel session for its lifetime: construction sends the open
    /// message (after the ready-to-send test), Close or destruction the close
    /// message, so a session is closed on every way out, failures included.
    class FrontPanelSession {
    public:
        /// openFailure / closeFailure: the log lines of a failed open or close.
        FrontPanelSession(Proteus& owner, const QString& openFailure, const QString& closeFailure);
        virtual ~FrontPanelSession();
        FrontPanelSession(const FrontPanelSession&) = delete;
        FrontPanelSession& operator=(const FrontPanelSession&) = delete;

        /// Whether the open message went out and the session is not closed yet.
        bool IsOpen() const { return m_open; }
        /// Sends the close message once; true when it went out (or nothing was open).
        bool Close();

    private:
        Proteus& m_owner;
        QString m_closeFailure;
        bool m_open = false;
    };

    /// Presses and releases a front-panel button; each message must come back
    /// as the module's echo (a module error counts as an answer).
    bool ClickButton(int button);
    /// Plays the audition note: button 4 inside a session of its own.
    bool PlayAudition();
    /// Brings the display to the channel screen ("C01", with a letter after
    /// it on a 32-channel module, or a "Bank" screen), pressing button 1 up to
    /// four times. True at once without CAP_LCD_INTERROGATION.
    bool CheckMode();
    /// Reads count - 1 characters (count includes the terminator and is cut to
    /// the display's width from column) of the display's second row (row 1)
    /// or first row (any other row). User-defined characters 0-7 show their
    /// table entries. text is changed only on success.
    bool ScreenDump(QString& text, int count, int row, unsigned column);
    /// The first preset named exactly name, searching the banks the display's
    /// bank field points at ("User " the user bank, other text the ROMs, none
    /// or no display every bank) in the hardware configuration's order, by the
    /// cached names. romId and presetNumber start at 0.
    bool FindPreset(const QString& name, int& romId, int& presetNumber);

    // ---- Object names ---------------------------------------------------------------------

    /// The name of an object of ObjectKind kind: a ROM arp through the arp
    /// dump, everything else through the name request. name is emptied first.
    bool GetObjectName(int kind, int romId, int index, bool& ok, QString& name);
    /// The name request: ok and true with the 16-character name less its
    /// trailing blanks. With the setting TestUI on, a request that was not
    /// sent, not answered or refused counts as answered: true, ok false, no name.
    bool LowLevelNameRequest(int kind, int romId, int index, bool& ok, QString& name);
    /// A ROM arp's 12-character name from its arp dump.
    bool GetArpName(int romId, int arp, bool& ok, QString& name);

    // ---- Arp pattern ----------------------------------------------------------------------

    /// The current arp pattern through its parameters: the 12 name characters,
    /// then each of the 32 steps, selected by an edit of ARP_PATTERN_STEP_SELECT
    /// (which the listeners hear of), with its four values. One progress of 44
    /// steps ("Arp Parameters"). False at the first value that cannot be read
    /// or step that cannot be selected; data then holds only what was read before.
    bool ReadArpData(ArpPatternData& data);

    // ---- Copy, randomise, tuning ------------------------------------------------------------

    /// A preset copy command 0x20-0x2A. The layer commands (0x25 and up) send
    /// the 17-byte form with both layers; the others the four-argument form.
    bool CopyPreset(int command, int sourceRomId, int sourcePreset, int sourceLayer, int destinationPreset,
                    int destinationLayer);
    /// A preset copy command 0x20-0x24; destination -1 is the edit buffer.
    /// WriteDelay passes after a copy into a stored preset.
    bool CopyPreset(int command, int sourceRomId, int sourcePreset, int destinationPreset);
    bool CopyArp(int destinationArp, int sourceRomId, int sourceArp);
    /// Copies a setup; destination -1 loads it into the edit buffer, which may
    /// move the module to another device id: then the module is looked for
    /// by a device scan and its signature, and the device id follows it (a
    /// message box tells why when it cannot be found for certain).
    bool CopySetup(int source, int destination);
    bool RandomiseEditBuffer();
    /// MIDI Tuning Standard single-note changes of tuning program tuning,
    /// in order, in messages of at most 127 changes (one message for none).
    /// Key and semitone are clamped to 0..127, the fine bytes keep their low 7
    /// bits. False when a message is refused or not sent; the messages before it went out.
    bool SendSingleNoteTuningChanges(int tuning, const std::vector<SingleNoteTuningChange>& changes);

    /// The most changes one single-note tuning message carries.
    static constexpr int kMaxTuningChangesPerMessage = 127;

private:
    // Scan state: the flag that routes input to OnScanReply, what the last
    // scan found (device id -> signature), and whether an identity reply was cut short.
    bool m_scanMode = false;
    std::multimap<int, ScannedDevice> m_scannedDevices;
    bool m_scanReplyBroken = false;

    bool RequestScannedSignature(int deviceId, ScannedDevice& device);
    bool SendFrontPanelButton(int button, int state, const QString& sendFailure, const QString& echoFailure);

public:
    // ==== End of device scan and module commands =========================================

    // ==== Connect sequence, beat data cache, key-map collection ==========================
    // The sequence in src/module/ConnectSequence.cpp, the beat data in
    // src/module/BeatDataCache.cpp, the key maps and their cache file
    // (KeymapCache.xml in the data folder) in src/dump/KeymapCollection.cpp.
    //
    // The connect sequence runs inside the connect notification: identity,
    // capabilities, ROM configuration, names, every parameter's range and value,
    // the setup edit buffer and the beat data; only then is the connection
    // ready and the listeners told. A disconnect that arrives while it runs (it
    // is dispatched from inside the sequence's waits) ends it: no listener hears
    // "connected" afterwards, and the SIMM name caches it had begun are dropped,
    // so the next connect learns them again instead of keeping half of them.

    /// The connect notification: runs the connect sequence; on a failure the
    /// port pair is closed.
    void OnConnect() override;
    /// The disconnect notification: listeners hear OnDeviceDisconnected, then
    /// the ready and connected flags are cleared.
    void OnDisconnect() override;
    /// Identity, capability probe and ROM configuration into HardwareConfig and
    /// the SIMM map. A missing identity reply or a module that is no E-mu
    /// Proteus closes the ports and tells the user.
    bool IdentifyDevice();
    /// The user bank's names and the range and value of every parameter group.
    /// A record that fails is logged by its request and counted; the rest of
    /// its group and the other groups still run, and the connect tells the
    /// user how many could not be read once the connection is ready.
    bool LoadUserData();
    /// Range and value of every record of collection, in id order, one
    /// progress step each; a record that fails keeps what it had and the
    /// others are still asked. False when any failed (unless TestUI is on).
    bool RetrieveParameters(StackedProgress& progress, ParameterCache& collection);

    /// One beat layer's trigger settings (layers 16-23 have no velocity,
    /// transpose or group: 0).
    struct BeatLayerRow {
        int triggerKey = 0;
        int latch = 0;
        int velocity = 0;
        int transpose = 0;
        int group = 0;
    };
    /// What the user interface needs of the beats without asking the module.
    struct BeatData {
        int beatChannel = 0;        ///< BEATS_CHANNEL when filled; -1 is the basic channel
        int triggerChannel = 0;     ///< BEATS_TRIGGER_CHANNEL
        int triggerOffset = 0;      ///< BEATS_TRIGGER_OFFSET
        std::array<BeatLayerRow, 24> layers{};
        int romId = 0;              ///< the beat channel's preset
        int presetNumber = 0;
        QString presetName;
        int riffSimm = 0;           ///< that preset's riff
        int riffNumber = 0;
        QString riffName;           ///< "BTS-Unknown" without CAP_SYSEX_DUMPS
    };
    const BeatData& GetBeatData() const { return m_beatData; }
    /// The connect-time fill (only with CAP_ARPS_AND_BEATS): the beat
    /// channel's preset and riff, the trigger channel and offset, then the 24
    /// beat layers one by one; beat layer 0 is selected again at the end. The
    /// cache takes the result only when the connection is still up at the end.
    void UpdateBeatDataCache();
    /// The preset (and its riff) that channel plays; -1 is the basic channel.
    bool DownloadBeatData(int channel, int& romId, int& presetNumber, QString& presetName, int& riffSimm,
                          int& riffNumber, QString& riffName);
    /// Keeps the cache current from a distributed change (DistributeParameterChanged).
    void UpdateBeatDataFromChange(const ParamRecord* record);

    /// The six values of one preset layer the key maps need.
    struct LayerKeyData {
        int simm = 0;
        int instrument = 0;
        int keyLow = 0;
        int keyHigh = 0;
        int noTranspose = 0;
        int transpose = 0;
    };
    /// One preset's merged key map.
    class _PresetData : public RefCountedObject {
    public:
        _PresetData(int simmId, int presetNumber) : simmId(simmId), presetNumber(presetNumber) {}
        ~_PresetData() override = default;
        int simmId;
        int presetNumber;
        KeyMapData keyMap;
    };
    /// Key: (SIMM id << 16) | (preset number & 0xFFFF).
    using PresetDataMap = std::map<std::uint32_t, TPtr<_PresetData>>;
    static std::uint32_t PresetDataKey(int simmId, int presetNumber)
    {
        return (std::uint32_t(simmId) << 16) | (std::uint32_t(presetNumber) & 0xFFFFu);
    }

    /// The key map of every preset of every installed SIMM that has one:
    /// layers whose instrument has a key map in the Keymaps document, and with
    /// saveBeats the beat map for a preset whose riff is a beat riff ("BTS-").
    /// ROM presets come from KeymapCache.xml where it has them (what had to be
    /// downloaded is added and the file saved whole); user presets are always
    /// downloaded. onlyUnique skips user presets named in romPresetNames.
    /// False when a download fails: results then hold what was merged so far,
    /// and what was downloaded is not saved.
    bool CollectKeymapData(bool saveBeats, bool onlyUnique, const std::set<QString>& romPresetNames,
                           PresetDataMap& results);
    /// Loads KeymapCache.xml (the default content when there is none). A file
    /// that does not load is reported and the document holds the default
    /// content, so the file is rebuilt (and replaced whole) from the module.
    bool OpenKeymapCache(XMLDocument& document);
    /// The PRESET element of simmId/preset; with create, missing SIMM and
    /// PRESET elements are made (with ID and NAME).
    bool GetPresetData(XMLDocument& document, int simmId, int preset, XMLElement& element, bool create);
    bool GetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, LayerKeyData& data);
    bool SetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, const LayerKeyData& data);
    bool GetRiffCacheData(XMLDocument& document, int simmId, int preset, int& riffSimm, int& riffNumber,
                          QString& riffName);
    bool SetRiffCacheData(XMLDocument& document, int simmId, int preset, int riffSimm, int riffNumber,
                          const QString& riffName);
    /// Layer section dump (0x21) of one layer, decoded.
    bool DownloadLayerData(int simmId, int preset, int layer, LayerKeyData& data);
    /// Preset section dump (0x10): the riff's SIMM and number; its name from the names.
    bool DownloadRiffData(int simmId, int preset, int& riffSimm, int& riffNumber, QString& riffName);
    /// 128 one-key entries named by note.
    bool CreateDiatonicKeymap(KeyMapData& map);
    /// The 24 beat triggers' keys from the module, named by beat.
    bool CreateBeatKeymap(KeyMapData& map);

private:
    // Steps 4 to 10 of the connect sequence, after the identity.
    bool RunConnectSteps(bool testUI);
    // The connection went away while the sequence ran.
    bool ConnectAborted() const { return !IsConnected(); }
    // Drops the SIMM name caches the running sequence added.
    void ForgetSimmsAddedByConnect();
    // Tells the user that the connect could not read every parameter.
    void ReportParametersNotLoaded();


    BeatData m_beatData;
    std::set<int> m_simmsAddedByConnect;
    bool m_connecting = false;
    // The running connect has read the hardware configuration into
    // hardwareConfig: later steps of the same connect use it instead of asking again.
    bool m_simmsReadByConnect = false;
    // Names the running connect's object counts found ({kind, SIMM id, index} ->
    // the name as received), so loading the names does not ask for them again.
    std::map<std::array<int, 3>, QString> m_namesProbedByConnect;
    // Parameters of the running connect whose range or value was not read.
    int m_parametersNotLoaded = 0;

public:
    // ==== end of the connect sequence, beat data cache, key-map collection ===============

    // ---- Dumps, files and backup (src/dump) ---------------------------------------------
    // SendHandshake, ConvertBlocksToBlock, Download*/Upload*, ReadSysExFile,
    // WriteSysExFile, SaveEditBuffer, BackupModule, ReportDumpFailure ...

    // ==== Dump handshakes, preset download, bank map, .sysex files (src/dump) ===
    // A dump is a ByteBlockList: one complete SysEx message (F0 ... F7) per
    // block, in wire order. Every decoder below checks a block's length before
    // it reads a fixed offset and refuses a block that is too short, so a
    // damaged file or reply is reported and nothing is sent or stored.

    /// For its lifetime no reply overwrites another: one that finds its wait
    /// answered already (a streaming dump, a WAIT and an ACK that arrive
    /// together) is kept for the next wait, in arrival order. What is still
    /// kept when the outermost guard ends is dropped.
    class KeepEveryReply {
    public:
        explicit KeepEveryReply(Proteus* owner);
        ~KeepEveryReply();
        KeepEveryReply(const KeepEveryReply&) = delete;
        KeepEveryReply& operator=(const KeepEveryReply&) = delete;

    private:
        Proteus* m_owner;
        bool m_previous;
    };

    /// Sends the 7-byte handshake F0 18 0F dd 55 code F7 with the current
    /// device id (code: HANDSHAKE_EOF .. HANDSHAKE_ACK). Waits for nothing.
    /// False (logged with the code in decimal) when it cannot be sent.
    bool SendHandshake(int code);

    /// The handshake code a received message carries, or -1 when it is none:
    /// F0 18 0F dd 55 code F7, or the same with a 14-bit packet number before
    /// the F7 (the module's ACK and NAK may name the packet they answer).
    /// packet (may be null) gets that number, or -1 for the short form.
    static int ParseHandshake(std::span<const std::uint8_t> message, int deviceId, int* packet = nullptr);

    /// Flattens a closed-loop whole-preset dump into one message: the header
    /// without its F7, then each data packet's payload (without its 9-byte
    /// head, checksum and F7), then F7. Null when the list is empty or a
    /// block is too short for what is cut from it (header: a whole 36-byte
    /// preset header; packet: at least 11 bytes).
    static TPtr<_ByteBlock> ConvertBlocksToBlock(const ByteBlockList& blocks);

    /// Fetches a preset or one section of it (or of one of its layers) and
    /// appends its messages to blocks. subRequest 2 (closed loop) or 4 (open
    /// loop) asks for a whole preset; 0x10-0x14 and 0x20-0x25 for one section.
    /// romId 0 and preset -1 name the edit buffer. After a download of any
    /// other preset than the basic channel's current one, the module's edit
    /// buffer is reselected by a throw-away layer-section request. Failures
    /// are reported through ReportDumpFailure and leave blocks as they were.
    /// A whole preset must bring exactly the payload its header announces; an
    /// open-loop stream is complete when it has (or at an EOF). A closed-loop
    /// download the editor gives up sends HANDSHAKE_CANCEL.
    bool DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress, ByteBlockList& blocks);
    /// DownloadPreset without the follow-up request.
    bool _DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress, ByteBlockList& blocks);
    /// One section: one message, no handshake.
    bool DownloadShortPreset(int subRequest, int romId, int preset, int layer, ByteBlockList& blocks);

    /// Sends a stored preset dump back to the module: a whole preset by the
    /// closed-loop protocol (open-loop dumps go with their sub-codes made
    /// closed-loop), a preset or layer section as one message. renumber writes
    /// preset (and for a layer section layer; -1 asks the user, see
    /// LayerChooser.h) into the first message. Every message goes with the
    /// current device id. The whole list is checked before anything is sent:
    /// a message too short for what is read or rewritten, a broken frame or a
    /// payload that differs from the header's byte count is refused. The list
    /// keeps the rewritten messages. An upload the editor gives up sends
    /// HANDSHAKE_CANCEL. Failures are reported through ReportDumpFailure.
    bool UploadPreset(bool renumber, int preset, int layer, ByteBlockList& blocks);

    /// Why an upload would refuse a dump before sending a byte of it: the
    /// operation its message names and the reason; both empty when the dump
    /// holds together. Each upload runs its own check first, and a restore
    /// runs them all on every file before it sends anything.
    struct DumpProblem {
        QString operation;
        QString reason;
        explicit operator bool() const { return !reason.isEmpty(); }
    };
    /// UploadPreset's check of its list (renumber: the first message must
    /// have room for the number written into it).
    static DumpProblem CheckPresetUpload(const ByteBlockList& blocks, bool renumber);
    /// UploadSetup's check: one setup dump whose sections agree with its counts.
    static DumpProblem CheckSetupUpload(const ByteBlockList& blocks);
    /// UploadArp's check: one arp dump whose table fits its step counts.
    static DumpProblem CheckArpUpload(const ByteBlockList& blocks);
    /// UploadTuning's check: one tuning bulk dump of its full length.
    static DumpProblem CheckTuningUpload(const ByteBlockList& blocks);
    /// UploadBankMap's check: one well-formed 519-byte bank map message.
    static DumpProblem CheckBankMapUpload(const ByteBlockList& blocks);
    /// Sends one section message with the current device id; no reply is
    /// awaited. preset and layer only name it in the trace.
    bool UploadShortPreset(int preset, int layer, TPtr<_ByteBlock> block);

    /// Appends the module's bank map (one 519-byte message) to blocks.
    /// Failures are logged only.
    bool DownloadBankMap(ByteBlockList& blocks);
    /// Sends the one block of blocks as the bank map, with the current device
    /// id. False, nothing sent, unless blocks holds exactly one well-formed
    /// 519-byte bank map message.
    bool UploadBankMap(ByteBlockList& blocks);
    /// The bank map decoded: entries 0-127 the first table, 128-255 the second.
    bool GetBankMap(std::int16_t values[256]);
    /// Builds and uploads a bank map of values; values must fit 14 bits signed.
    bool SetBankMap(const std::int16_t values[256]);

    /// .sysex files (SysExFile): appends the file's messages to blocks and
    /// reads its title and comments into properties; a failure leaves both as
    /// they were and has been reported.
    bool ReadSysExFile(const QString& path, ByteBlockList& blocks, OleProps& properties);
    /// Writes the blocks whole or not at all, then the properties.
    bool WriteSysExFile(const QString& path, const ByteBlockList& blocks, const OleProps& properties);
    /// "Failed to <operation> with <reason>" in a message box, also logged;
    /// while warnings are suppressed (the capability probe) only logged.
    /// Always false.
    bool ReportDumpFailure(const QString& operation, const QString& reason);
    /// The file's title and comments (OleProps::WriteTo / ReadFrom); always true.
    bool WriteOleProps(const QString& path, const OleProps& properties);
    bool ReadOleProps(const QString& path, OleProps& properties);

private:
    /// The ROM id and preset the basic channel plays, when known.
    bool BasicChannelPreset(int& romId, int& preset);

public:
    // ==== end of dump handshakes, preset download, bank map, .sysex files ===============

    // ==== Setup, arp and tuning dumps, FX bank, capability probe, setup buffer ===========
    // (src/dump/SetupArpTuningDumps.cpp, src/dump/FxBankExport.cpp,
    //  src/module/CapabilityProbe.cpp; the buffer itself in src/dump/SetupBuffer.h)
    //
    // Three objects travel as one message each: the setup edit buffer (55 1D ->
    // 55 1C), an arp pattern (55 19 -> 55 18) and a user tuning as a MIDI Tuning
    // Standard bulk dump (F0 7E dd 08 00 tt F7 -> 408 bytes). A download sends
    // one request and appends the one reply as a block; an upload rewrites a
    // few bytes of the one block it is given and sends it, awaiting nothing.
    // Each needs its capability flag and a ready connection; without them it
    // is false and sends nothing.
    //
    // A download waits for its own reply only (55 1C, 55 18, 08 01 of the asked
    // tuning), so a module error or a stray message is never stored as a dump;
    // a reply that is cut short or does not hold together is refused. An upload
    // checks the block's layout before it touches or sends a byte; a block that
    // fails is refused with a reason (ReportDumpFailure) and nothing is sent.
    // The setup dump's device id is found through its section counts
    // (SetupDumpLayout), never at fixed bytes.

    /// Appends the module's setup edit buffer to blocks.
    bool DownloadSetup(ByteBlockList& blocks);
    /// Sends the one setup dump of blocks into the module's edit buffer, with
    /// the current device id in byte 3. writeDeviceId: the module keeps the
    /// current device id (it is written into the dump's device-id value).
    /// Otherwise the module takes the dump's device id: when that differs, the
    /// connection follows it once the dump is sent, and the call waits one
    /// response time-out for the module to settle.
    bool UploadSetup(ByteBlockList& blocks, bool writeDeviceId);
    /// Appends arp pattern arp of SIMM romId (0: the user bank).
    bool DownloadArp(int romId, int arp, ByteBlockList& blocks);
    /// Sends the one arp dump of blocks as user arp `arp`; the field after its
    /// table (the SIMM the pattern came from) becomes 0.
    bool UploadArp(int arp, ByteBlockList& blocks);
    /// Appends user tuning `tuning` (0 ... 127).
    bool DownloadTuning(int tuning, ByteBlockList& blocks);
    /// Sends the one tuning dump of blocks as tuning `tuning`, with the
    /// checksum byte 0x7F.
    bool UploadTuning(int tuning, ByteBlockList& blocks);

    /// Appends to blocks the messages that restore the effects settings of the
    /// current parameter values (no module traffic): the basic channel edit,
    /// the edit buffer's preset effects section and the controller
    /// assignments (M-P only with CAP_16_CONTROLLERS). False, blocks
    /// unchanged, when a value cannot travel in 14 bits.
    bool CreateFXSysexBank(ByteBlockList& blocks);

    /// The capability flags: from the setting Capabilities when it holds
    /// CAP_TESTED, otherwise by asking the module once (one request of each
    /// kind, warnings suppressed, progress 0 ... 7) and storing the result in
    /// the setting. Always true.
    bool CheckCapabilities();

    /// The multisetup held for the setup editor (created with the connection,
    /// registered as its SetupParameters). Never null.
    SetupBuffer* GetSetupBuffer() const { return m_setupBuffer.get(); }

private:
    struct SetupBufferDeleter {
        void operator()(SetupBuffer* buffer) const;
    };
    // Creates the buffer and registers it as the setup parameters (after
    // m_setupParameters has been initialised: this section comes later).
    SetupBuffer* CreateSetupBuffer();
    // Sends a dump block whose bytes the caller has checked; false when the
    // port refuses it or a byte would not fit inside SysEx.
    bool SendDumpBlock(const _ByteBlock& block);

    std::unique_ptr<SetupBuffer, SetupBufferDeleter> m_setupBuffer{CreateSetupBuffer()};

public:
    // ==== end of setup, arp and tuning dumps, FX bank, capability probe =================
    // ---- ROM data cache, SIMM names and the configuration cache (src/dump) --------------
    // RomDataCache.cpp: object counts per ROM (probed once, kept in the settings
    // store under "ROMData") and the object names of each SIMM from the module,
    // corrected by the Mappings document. ConfigurationCache.cpp: the cache file
    // of every ROM object name and parameter range (dump/ConfigurationCache.h).
    // ParameterElements.cpp: parameter records as XML elements, shared with the
    // preset documents.

    /// How one object's name request went while counting objects.
    enum class ObjectProbe {
        Present,  ///< a name came that is not the kind's placeholder
        Missing,  ///< the module said so: an error reply, or the placeholder name
        NoAnswer, ///< no clear answer (time-out, broken input, short reply, nothing sent)
    };

    /// The number of objects of a kind in a SIMM: fixed for user arps (100) and
    /// setups (64 for the user bank, 0 for a ROM), else the value stored under
    /// the SIMM's "ROMData" key, else probed by name requests and stored. The
    /// count is stored only when every probe request was answered; a request
    /// that got no answer ends the probe with 0, nothing stored, and
    /// *complete (may be null) false. A stored value no probe can give (above
    /// 1001, or 601 for arps) is logged and probed again.
    int GetRomObjectCount(int kind, int simmId, bool* complete = nullptr);
    /// Asks for the name of one object, warnings suppressed.
    ObjectProbe ProbeObject(int kind, int simmId, int index);
    /// True when ProbeObject finds the object present.
    bool IsObjectPresent(int kind, int simmId, int index);
    /// Asks for the names of objects 0 ... count - 1 of a kind, applies the
    /// Mappings document (the explicit name, then the SIMM's replacements, then
    /// the kind's) and stores them in simm; one progress step each. False at
    /// the first failed request (the names stored before it stay).
    bool LoadObjectNames(StackedProgress& progress, const TPtr<_SimmData>& simm, int kind, int simmId, int count);
    /// Every kind of a slot whose count is above 0, in kind order; setups come
    /// from the setup names in the settings store ("User Setup" when none is
    /// stored, which is then stored). True when the SIMM is not in the SIMM map.
    bool LoadSimmNames(StackedProgress& progress, const SimmSlot& slot);
    /// The names of every ROM SIMM from the module, then RefreshMinMaxCache,
    /// under one progress ("Loading Names"). False when a name request failed.
    bool LoadAllSimmNames();
    /// Asks every record of the min/max cache for its range again, in id
    /// order; a record the module does not answer keeps what it held (and
    /// whether its range is known, IsRangeKnown).
    void RefreshMinMaxCache();

    /// Called on connection: fills the SIMMs' name caches and the min/max cache
    /// from the configuration cache file, building the file first when there is
    /// none, when it cannot be read or lacks its parts (the old file is kept
    /// beside it as "<name>.bad" and the user told), or, with the user's
    /// consent, when it was built for another set of ROMs; completed from the
    /// module when it lacks an installed ROM's element or holds fewer names
    /// of a kind than the ROM has (the SIMM list is compared as well as the
    /// checksum, which two sets of ROMs can share). False stops the
    /// connection: a failed build, a failed read, or an unreadable file that
    /// could not be kept aside (it is then left untouched).
    bool LoadCacheConfiguration();
    /// Builds the file from the module: every ROM SIMM's names and the ranges
    /// of the min/max cache that the module answered (IsRangeKnown); saves it
    /// whole (an existing file is replaced only by a complete build) and
    /// stores the SIMM checksum in ROMHash. Every failure is reported; false then.
    /// When a count of a ROM it would hold went unanswered (GetRomObjectCount),
    /// the names are loaded for this connection but no file is written and no
    /// checksum stored; the user is told, and the next connection builds it.
    bool CreateCacheConfiguration();
    /// The file's path in the data folder ("Tabrine" in the user's Documents
    /// folder) with the ConfigFile setting's name; a program-supplied file of
    /// that name seeds it when the user has none. The program's copy's path
    /// when there is no Documents folder.
    QString GetCacheConfigurationPath();
    /// The sum of the SIMM ids in the SIMM map (the user bank adds nothing).
    int GetSimmChecksum() const;

    /// Writes one list element (elementName + "S") into simmElement with an
    /// element per cached name of the kind: SIMM_ID = the index, text = the
    /// name. False only when the owning document cannot be reached.
    bool WriteObjectNames(const TPtr<_SimmData>& simm, int kind, XMLElement& simmElement, QStringView elementName);
    /// The number of elementName elements in simmElement's list; 0 without a list.
    int CountObjectElements(const XMLElement& simmElement, QStringView elementName);
    /// Stores the names of simmElement's list (missing: nothing read) in simm;
    /// an index outside the cache is ignored. True.
    bool ReadObjectNames(const TPtr<_SimmData>& simm, int kind, const XMLElement& simmElement, QStringView elementName);

    /// The edit path for a record whose document value differs from the
    /// module's (the preset documents pass the dialog's EditParameter).
    using ParameterEditor = std::function<void(ParamRecord*)>;
    /// One element per record, in id order, named by the record's name:
    /// minMax: MIN_VALUE, MAX_VALUE, DEFAULT, READ_ONLY; else VALUE and, for a
    /// parameter with a ROM-id partner, SIMM_ID. Numbers are written as the low
    /// 16 bits, sign-extended. False when an element cannot be made.
    bool WriteParameterElements(const ParameterCache& records, XMLElement& parent, bool minMax);
    /// Reads each record's element of parent (the first of that name); one
    /// progress step per record. minMax: the range from the element (a record
    /// of the min/max cache then counts as known, SetRangeKnown); a record
    /// without an element, or whose element lacks one of the four numbers, is
    /// asked of the module. Value form: the value (and SIMM id) from the
    /// element; with an editor, a record whose module value differs (or cannot
    /// be asked) is handed to it. Elements of unknown parameters are ignored.
    bool ReadParameterElements(StackedProgress& progress, const ParameterEditor& editor, ParameterCache& records,
                               const XMLElement& parent, bool minMax);

    /// The number of module error replies that ended a wait. A request that
    /// failed without raising it got no clear answer: a time-out, a broken
    /// input, a short reply, or nothing sent.
    std::uint64_t GetModuleErrorCount() const { return m_moduleErrors; }

private:
    // A file that cannot be read, or lacks its parts: reported, kept aside
    // and rebuilt (see LoadCacheConfiguration).
    bool RebuildUnreadableCache(const QString& path, const QString& problem);

    std::uint64_t m_moduleErrors = 0;
    /// {SIMM id, kind} of the counts whose probe got no clear answer (and
    /// were not stored); a later probe that is answered takes its entry out.
    std::set<std::pair<int, int>> m_unansweredCounts;
    /// The last CreateCacheConfiguration loaded the names but wrote no file,
    /// since a count of the ROMs it would hold was not answered.
    bool m_cacheLeftUnwritten = false;

public:
    // ---- end of ROM data cache, SIMM names and the configuration cache ------------------

    // ==== Module information report, preset upload, edit-buffer save, instrument ========
    // ==== definition export (src/module/ModuleInfo.cpp, src/dump) ==========================

    /// The plain-text report of the module (name, revision, SIMM slots), the
    /// program's version, the settings and the MIDI devices the backend
    /// offers (module/ModuleInfo.h). Sends nothing; never fails.
    QString GetModuleInfo();

    /// Stores the edit buffer into user preset `preset`. With CAP_PRESET_DUMPS
    /// the module's own closed-loop dump of the edit buffer goes back under the
    /// new number (every packet ACKed, WAIT waited through, anything else ends
    /// the save); without it AltSaveEditBuffer. Failures are logged, not shown
    /// (but those of the download, which shows its own).
    bool SaveEditBuffer(int preset);
    /// Downloads the edit buffer: the header's ten section counts into counts,
    /// every packet's payload appended to payload (made when null).
    bool DumpPreset(int counts[10], TPtr<_ByteBlock>& payload);
    /// Builds the dump from the parameter records and uploads it (UploadPreset).
    /// Every layer is selected in turn (LAYER_SELECT) and its records are read
    /// again from the module; a record that cannot be read ends the save with
    /// false and nothing sent. LAYER_SELECT gets its value back on every path.
    bool AltSaveEditBuffer(int preset);

    /// Writes the instrument definition (.ins) file of the module to path
    /// (dump/InstrumentDefinition.h), whole or not at all, in the 8-bit code
    /// page with CR LF, then empty file properties. With insertKeyMaps the
    /// presets' key maps are collected first; a failed collection ends it
    /// before the file is touched. A file that cannot be created shows string
    /// 272; a failed write is reported like a dump failure.
    bool WriteInstrumentDefinitionFile(const QString& path, const QString& deviceName, bool uniqueOnly,
                                       bool includeNoCategory, bool insertKeyMaps, bool beatsTriggers);

private:
    /// The presets' key maps in ascending (SIMM id, preset) and the beat
    /// triggers' map for the export (src/dump/InstrumentKeyMaps.cpp).
    bool CollectInstrumentKeyMaps(bool beatsTriggers, bool uniqueOnly, const std::set<QString>& romPresetNames,
                                  std::vector<InstrumentKeyMap>& maps, KeyMapData& beatKeyMap);

public:
    // ==== end of module information, upload, save, export ===============================
    // ==== Backup and restore (src/dump/Backup.cpp) =======================================

    /// Saves the user data of the module into folder (backup true) or sends a
    /// saved folder back (false): 64 setups, the user bank's presets and arps,
    /// 12 tunings and the bank map, each when its option and capability are on.
    /// A restore reads every file it will send and runs the uploads' own
    /// checks on it before the first byte goes out; a missing or damaged file
    /// refuses it (one message naming the file) and the module is untouched.
    /// Every upload of a restore waits until the module has taken it, and a
    /// step that fails (the edit buffers sent back at the end included) is
    /// reported with its reason and fails the restore. A backup is written
    /// into a hidden staging folder inside folder, the report
    /// "TabrineBackup.txt" last, and its files are moved into place only when
    /// all are there: they replace the files of the same names, and nothing
    /// else in folder is touched (other files keep their properties, sub-folders
    /// stay). A pass cut short while moving is finished at the start of the
    /// next backup or restore of the folder; one cut short before leaves the
    /// folder as it was. A report that cannot be written fails the backup.
    /// File names are found without regard to case.
    bool BackupModule(const QString& folder, bool backup, bool setups, bool presets, bool arps, bool tunings,
                      bool bankMap);
    /// The text of the backup report (UTF-16LE with byte-order mark, LF line ends).
    QByteArray BackupReport();

    /// Holds the preset edit buffer (and with withSetup the setup edit buffer)
    /// for one pass and sends them back when it ends; ok tells whether every
    /// download worked (nothing is sent back otherwise).
    class AutoRestoreSetupAndPreset {
    public:
        AutoRestoreSetupAndPreset(Proteus* owner, bool withSetup);
        virtual ~AutoRestoreSetupAndPreset();
        AutoRestoreSetupAndPreset(const AutoRestoreSetupAndPreset&) = delete;
        AutoRestoreSetupAndPreset& operator=(const AutoRestoreSetupAndPreset&) = delete;
        bool IsOk() const { return m_ok; }
        /// Sends the saved edit buffers back now (once; the destructor then
        /// sends nothing). True when every upload worked, or nothing was saved.
        bool Restore();

    private:
        Proteus* m_owner;
        bool m_ok = false;
        bool m_restored = false;
        ByteBlockList m_setupBlocks;
        ByteBlockList m_presetBlocks;
    };

    /// How many dump failures ReportDumpFailure has reported so far: tells a
    /// caller whether a failed step has told the user why.
    std::uint64_t GetDumpFailureCount() const { return m_dumpFailures; }
    /// Why the last upload that reports its refusals only in the log (the bank
    /// map's) refused; empty when none has.
    const QString& GetLastUploadRefusal() const { return m_lastUploadRefusal; }

private:
    // One pass over the user bank's objects, in either direction.
    bool RunUserBankPass(const QString& folder, bool backup, const SimmSlot& slot, bool setups, bool presets,
                         bool arps, bool tunings, bool bankMap);

    std::uint64_t m_dumpFailures = 0;
    QString m_lastUploadRefusal;

public:
    // ==== end of backup and restore =======================================================

protected:
    /// Set by the connect sequence at the connect notification, cleared at the disconnect.
    void SetConnected(bool connected) { m_connected = connected; }

private:
    template <class Call>
    void ForEachListener(Call&& call);
    // The level-9 trace of a message (its first nine bytes at most).
    static void TraceMessage(const char16_t* caller, const std::uint8_t* data, std::size_t length);

    bool m_connected = false;
    int m_deviceId = 0;
    int m_writeDelay = 0;
    int m_sysExDelay = 500;
    bool m_skipScreenDump = false;
    bool m_suppressWarnings = false;
    std::deque<TPtr<_ExpectedResponse>> m_pending; // oldest first

    // Under KeepEveryReply: replies that found their wait answered already,
    // in arrival order; the next wait matches them before it pumps.
    bool m_keepEveryReply = false;
    static constexpr std::size_t kMaxHeldBack = 64;
    void HoldBack(const std::uint8_t* message, std::size_t length);
    void ReplayHeldBack();
    std::deque<std::vector<std::uint8_t>> m_heldBack;
    std::set<ProteusEvents*> m_listeners;          // ordered by address
};
