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
// through the connection's clock (GetServices().clock, or platform::CurrentClock()
// when it was given none), so tests run the conversation in virtual time.
//
// Listeners (ProteusEvents) are kept in a set ordered by address and notified
// in that order; a notification walks a snapshot, so a listener may remove
// itself or another one while it is being notified.
//
// The later operations of the class live in files of their own (see the
// sections at the end of the class): parameters, identity, commands, the scan
// and the connect sequence in src/connection; the dumps, files, caches and
// backup are classes of src/dump that work over the link (module/ModuleLink.h)
// this class implements, and its members of the same names hand calls to them.

#include "connection/ConnectionServices.h"
#include "core/RefCounted.h"
#include "core/XMLDocument.h"
#include "dump/Backup.h"
#include "dump/ByteBlock.h"
#include "dump/InstrumentDefinition.h"
#include "dump/KeymapCollection.h"
#include "dump/OleProps.h"
#include "dump/ParameterElements.h"
#include "dump/RomDataCache.h"
#include "midi/MidiPort.h"
#include "module/Capabilities.h"
#include "module/KeyMapData.h"
#include "module/ModuleCommands.h"
#include "module/ModuleExchange.h"
#include "module/ModuleLink.h"
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

class Proteus : public MidiPort, public ProteusData, public ModuleLink {
public:
    // The types of the dump classes, under the names the callers know.
    using DumpProblem = ::DumpProblem;
    using ObjectProbe = RomDataCache::ObjectProbe;
    using ParameterEditor = ParameterElements::ParameterEditor;
    using LayerKeyData = KeymapCollection::LayerKeyData;
    using _PresetData = KeymapCollection::_PresetData;
    using PresetDataMap = KeymapCollection::PresetDataMap;
    using AutoRestoreSetupAndPreset = ::AutoRestoreSetupAndPreset;
    static std::uint32_t PresetDataKey(int simmId, int presetNumber)
    {
        return KeymapCollection::PresetDataKey(simmId, presetNumber);
    }

    /// The link's view of the data model: this connection's own.
    ProteusData& Data() override { return *this; }
    unsigned GetTimeout() const override { return MidiPort::GetTimeout(); }
    bool IsInputOpen() const override { return MidiPort::IsInputOpen(); }
    bool IsOutputOpen() const override { return MidiPort::IsOutputOpen(); }

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

    /// The device port on backend (null: CurrentMidiBackend()), not connected,
    /// device id 0, WriteDelay 0, SysExDelay 500 ms; every other service is
    /// the process-wide one.
    explicit Proteus(std::shared_ptr<MidiBackend> backend = nullptr);
    /// The same over the services given (connection/ConnectionServices.h): the
    /// connection keeps a copy, and its port, its waits and the dump classes
    /// use those services only.
    explicit Proteus(const ConnectionServices& services);

    /// The services this connection uses (the backend is the one its port was made on).
    const ConnectionServices& GetServices() const { return m_services; }
    const LinkServices& GetLinkServices() const override { return m_linkServices; }
    /// The presenter of this connection's messages (null: the installed one).
    MessagePresenter* Presenter() const { return m_services.presenter.get(); }
    ~Proteus() override;

    // ---- Port and pacing ------------------------------------------------------------

    /// Keeps the device id and the pacing values and opens the port pair;
    /// timeoutMs is also the response time-out of every wait. What
    /// MidiPort::OpenPort returns.
    bool OpenPort(int inputDevice, int outputDevice, int deviceId, unsigned timeoutMs, int writeDelay, int sysExDelay,
                  bool skipScreenDump);

    /// The device id every message carries. It may be outside 0..127 when a
    /// setting says so; then every module message is refused.
    int GetDeviceId() const override { return m_deviceId; }
    int GetWriteDelay() const { return m_writeDelay; }
    /// The pause after every wait that ended with a reply or a time-out.
    int GetSysExDelay() const { return m_sysExDelay; }
    bool GetSkipScreenDump() const { return m_skipScreenDump; }
    /// From the connect notification to the disconnect.
    bool IsConnected() const override { return m_connected; }

    // ---- Sending and response matching ----------------------------------------------

    /// The test every request passes before it builds a message: connected,
    /// both port directions open, and no other exchange waiting. False means
    /// fail at once without sending; only the last cause is logged (request
    /// names the refused operation).
    bool ReadyToSend(const QString& request) override;

    /// Sends one message. An invalid message (a byte that would not fit in
    /// SysEx) is refused and logged, never sent. False when refused or when
    /// the port does not take it; the caller logs its own failure.
    bool SendSysEx(const SysExMessage& message) override;

    /// Sends raw bytes as one message after checking that they are one whole
    /// SysEx message (F0, data bytes, F7); anything else is refused and
    /// logged, never sent. False when refused or the port does not take it.
    bool SendSysEx(std::span<const std::uint8_t> message) override;

    /// Sends request (through SendSysEx) and waits for the reply it expects
    /// (AwaitReply). NotSent when the send failed; nothing is waited then.
    ReplyResult Exchange(const SysExMessage& request, const ExpectedReply& expected) override;
    ReplyResult Exchange(std::span<const std::uint8_t> request, const ExpectedReply& expected) override;
    /// Waits for the next reply to a request already sent (a dump stream sends
    /// several replies to one request): the rules of WaitForResponse, with the
    /// way the wait ended told apart. sent: the request, for the trace and the
    /// time-out line.
    ReplyResult AwaitReply(std::span<const std::uint8_t> sent, const ExpectedReply& expected) override;

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
    bool SuppressingWarnings() const override { return m_suppressWarnings; }
    void SetSuppressWarnings(bool suppress) override { m_suppressWarnings = suppress; }
    /// KeepEveryReply's switch; false also drops the replies held back.
    void SetKeepEveryReply(bool keep) override;
    bool IsKeepingEveryReply() const override { return m_keepEveryReply; }
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
    void AddListener(ProteusEvents* listener) override;
    void RemoveListener(ProteusEvents* listener) override;
    bool HasListener(ProteusEvents* listener) const { return m_listeners.count(listener) != 0; }

    // Walks over the listeners, in address order. A listener removed during the
    // walk is not called after its removal; one added is called from the next walk.
    void NotifyDeviceConnected();
    /// Asks each listener in turn; the first false stops the asking and refuses.
    /// True when all agree or there is no listener.
    bool NotifyParameterChanging(ParamRecord* record);
    void NotifyParameterChanged(ParamRecord* record);
    void NotifyDeviceDisconnected();
    void NotifyWaiting() override;
    void NotifyBeginProgress(int lower, int upper, const QString& text) override;
    void NotifyProgressText(const QString& text) override;
    void NotifyProgressStep() override;
    void NotifyEndProgress() override;
    void NotifySysExSent(const std::uint8_t* data, unsigned length);
    void NotifyShortMessageSent(const std::uint8_t packed[4]);

    // ==== Parameter protocol; ports, identity and hardware configuration ================
    // (src/connection/ProteusParameters.cpp, src/connection/ProteusPorts.cpp)
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

    /// The record of a parameter: the fixed records of the connection
    /// (BEAT_LAYER_SELECT, MULTIMODE_BASIC_CHANNEL, PRESET_SELECT, LAYER_SELECT,
    /// MULTIMODE_PRESET, SETUP_RELOAD_NOTIFIER, ANY_PARAMETER), then the eight
    /// table caches in order master, master arp, multimode, arp pattern, beat,
    /// preset, preset arp, layer. Never null: an unknown id is logged and gets
    /// the DUMMY_PARAMETER record (id 0), reset to its defaults on every lookup.
    ParamRecord* FindParameter(int id) override;

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
    bool ParameterRequestWithMinMaxNoCache(ParamRecord* record) override;
    /// The value (and, for a parameter with a ROM-id partner, the SIMM id) from
    /// the module. On failure the record is left as it was. Without
    /// CAP_16_CONTROLLERS, 411-414 and 967-970 read 0 without traffic; while a
    /// beat layer (above 15) is selected, 164-166 read their default.
    bool ParameterRequest(ParamRecord* record) override;
    /// Sends the record's value: its ROM-id partner first, then the edit, then
    /// tells every listener (DistributeParameterChanged). Ids in the confirm set
    /// (ANY_PARAMETER, MULTIMODE_BASIC_CHANNEL, MULTIMODE_PRESET, PRESET_KBD_TUNE)
    /// are first offered to the listeners, who may refuse (false, nothing sent).
    /// MASTER_MIDI_ID asks the user (string 151) and moves the connection to the
    /// new device id (0 ... 127; any other value is refused). SHORT_MIDI_MSG sends
    /// the short message it carries on the record's channel (the default field;
    /// 16-31 through the alternate port) and tells the listeners
    /// (OnShortMessageSent): true when a port took it; no veto, no distribution.
    bool ParameterEdit(ParamRecord* record) override;
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
    bool GetChannelPreset(int channel, int& romId, int& presetNumber) override;
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
    bool SetDeviceId(int id) override;

    /// Whether the min/max cache holds a range for id that the module (or a
    /// fixed rule) gave. Code that fills the cache's ranges by other means (the
    /// configuration cache) marks them with SetRangeKnown.
    bool ModuleHasParameter(ParameterId id) const override;
    bool IsRangeKnown(ParameterId id) const override { return m_knownRanges.count(id) != 0; }
    void SetRangeKnown(ParameterId id, bool known) override;

    /// The value of the last LAYER_SELECT edit sent: 0-3 a preset layer, 0-23
    /// a beat layer chosen through BEAT_LAYER_SELECT (above 15 only beat layers).
    int GetCurrentLayer() const override { return m_currentLayer; }

    /// Set by the connect sequence once it has finished; before that,
    /// DistributeParameterChanged does nothing.
    bool IsReady() const { return m_ready; }
    void SetReady(bool ready) { m_ready = ready; }

    /// The capability flags (module/Capabilities.h) of the connected module.
    std::uint32_t GetCapabilities() const override { return m_capabilities; }
    void SetCapabilities(std::uint32_t flags) { m_capabilities = flags; }
    bool HasCapability(std::uint32_t flag) const override { return (m_capabilities & flag) == flag; }

    /// The document's alternate port (controller in, the module's B input out),
    /// which carries channels 16-31; null when there is none. Set by the
    /// document, which keeps it alive as long as it is set.
    MidiPort* GetAlternatePort() const { return m_alternatePort; }
    void SetAlternatePort(MidiPort* port) { m_alternatePort = port; }

    SetupParameters* GetSetupParameters() const override { return m_setupParameters; }
    void SetSetupParameters(SetupParameters* setup) override { m_setupParameters = setup; }

    /// The 19 real-time controllers A ... P, FS1 ... FS3, in the panel's order.
    const std::vector<RealTimeControllerRow>& GetRealTimeControllers() const override { return m_realTimeControllers; }

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
    bool GetHardwareConfiguration(int& count, std::array<SimmSlot, HardwareConfig::kMaxSimms>& simmSlots) override;

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
    // The scan in src/connection/DeviceScan.cpp, names in src/connection/ObjectNames.cpp, the other
    // commands in src/connection/ProteusCommands.cpp. Each returns false, with one log line,
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
    bool GetObjectName(int kind, int romId, int index, bool& ok, QString& name) override;
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
    bool CopySetup(int source, int destination) override;
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
    // The sequence in src/connection/ConnectSequence.cpp, the beat data in
    // src/connection/BeatDataCache.cpp, the key maps and their cache file
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

    bool CollectKeymapData(bool saveBeats, bool onlyUnique, const std::set<QString>& romPresetNames,
                           PresetDataMap& results);
    bool OpenKeymapCache(XMLDocument& document);
    bool GetPresetData(XMLDocument& document, int simmId, int preset, XMLElement& element, bool create);
    bool GetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, LayerKeyData& data);
    bool SetLayerCacheData(XMLDocument& document, int simmId, int preset, int layer, const LayerKeyData& data);
    bool GetRiffCacheData(XMLDocument& document, int simmId, int preset, int& riffSimm, int& riffNumber,
                          QString& riffName);
    bool SetRiffCacheData(XMLDocument& document, int simmId, int preset, int riffSimm, int riffNumber,
                          const QString& riffName);
    bool DownloadLayerData(int simmId, int preset, int layer, LayerKeyData& data);
    bool DownloadRiffData(int simmId, int preset, int& riffSimm, int& riffNumber, QString& riffName);
    bool CreateDiatonicKeymap(KeyMapData& map);
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
    // (What the running connect remembers for the dumps is in the link's state.)
    // Parameters of the running connect whose range or value was not read.
    int m_parametersNotLoaded = 0;

public:
    // ==== end of the connect sequence, beat data cache, key-map collection ===============

    // ==== Dumps, files, caches, edit-buffer save and backup ==================================
    // Each hands the call to the dump class that does the work, over this
    // connection's link (src/connection/ProteusDumps.cpp); the classes' headers
    // say what each does.

    // dump/DumpHandshake.h, dump/PresetTransfer.h, dump/BankMapDump.h, dump/DumpFiles.h
    bool SendHandshake(int code);
    static int ParseHandshake(std::span<const std::uint8_t> message, int deviceId, int* packet = nullptr);
    static TPtr<_ByteBlock> ConvertBlocksToBlock(const ByteBlockList& blocks);
    bool DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress, ByteBlockList& blocks);
    bool _DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress, ByteBlockList& blocks);
    bool DownloadShortPreset(int subRequest, int romId, int preset, int layer, ByteBlockList& blocks);
    bool UploadPreset(bool renumber, int preset, int layer, ByteBlockList& blocks);
    static DumpProblem CheckPresetUpload(const ByteBlockList& blocks, bool renumber);
    bool UploadShortPreset(int preset, int layer, TPtr<_ByteBlock> block);
    bool DownloadBankMap(ByteBlockList& blocks);
    bool UploadBankMap(ByteBlockList& blocks);
    static DumpProblem CheckBankMapUpload(const ByteBlockList& blocks);
    bool GetBankMap(std::int16_t values[256]);
    bool SetBankMap(const std::int16_t values[256]);
    bool ReadSysExFile(const QString& path, ByteBlockList& blocks, OleProps& properties);
    bool WriteSysExFile(const QString& path, const ByteBlockList& blocks, const OleProps& properties);
    bool ReportDumpFailure(const QString& operation, const QString& reason);
    bool WriteOleProps(const QString& path, const OleProps& properties);
    bool ReadOleProps(const QString& path, OleProps& properties);

    // dump/SetupArpTuningDumps.h, dump/FxBankExport.h
    bool DownloadSetup(ByteBlockList& blocks);
    bool UploadSetup(ByteBlockList& blocks, bool writeDeviceId);
    bool DownloadArp(int romId, int arp, ByteBlockList& blocks);
    bool UploadArp(int arp, ByteBlockList& blocks);
    bool DownloadTuning(int tuning, ByteBlockList& blocks);
    bool UploadTuning(int tuning, ByteBlockList& blocks);
    static DumpProblem CheckSetupUpload(const ByteBlockList& blocks);
    static DumpProblem CheckArpUpload(const ByteBlockList& blocks);
    static DumpProblem CheckTuningUpload(const ByteBlockList& blocks);
    bool CreateFXSysexBank(ByteBlockList& blocks);

    // dump/RomDataCache.h, dump/ConfigurationCache.h, dump/ParameterElements.h
    int GetRomObjectCount(int kind, int simmId, bool* complete = nullptr);
    ObjectProbe ProbeObject(int kind, int simmId, int index);
    bool IsObjectPresent(int kind, int simmId, int index);
    bool LoadObjectNames(StackedProgress& progress, const TPtr<_SimmData>& simm, int kind, int simmId, int count);
    bool LoadSimmNames(StackedProgress& progress, const SimmSlot& slot);
    bool LoadAllSimmNames();
    void RefreshMinMaxCache();
    bool LoadCacheConfiguration();
    bool CreateCacheConfiguration();
    QString GetCacheConfigurationPath();
    int GetSimmChecksum() const;
    bool WriteObjectNames(const TPtr<_SimmData>& simm, int kind, XMLElement& simmElement, QStringView elementName);
    int CountObjectElements(const XMLElement& simmElement, QStringView elementName);
    bool ReadObjectNames(const TPtr<_SimmData>& simm, int kind, const XMLElement& simmElement, QStringView elementName);
    bool WriteParameterElements(const ParameterCache& records, XMLElement& parent, bool minMax);
    bool ReadParameterElements(StackedProgress& progress, const ParameterEditor& editor, ParameterCache& records,
                               const XMLElement& parent, bool minMax);

    // dump/EditBufferSave.h, dump/InstrumentDefinition.h, dump/Backup.h
    bool SaveEditBuffer(int preset);
    bool DumpPreset(int counts[10], TPtr<_ByteBlock>& payload);
    bool AltSaveEditBuffer(int preset);
    /// The edit buffer as a preset XML document, and back (see PresetDocument.h).
    bool SavePresetDocument(const QString& path, const OleProps& properties);
    bool LoadPresetDocument(const ParameterEditor& editor, const QString& path, OleProps& properties);
    bool WriteInstrumentDefinitionFile(const QString& path, const QString& deviceName, bool uniqueOnly,
                                       bool includeNoCategory, bool insertKeyMaps, bool beatsTriggers);
    bool BackupModule(const QString& folder, bool backup, bool setups, bool presets, bool arps, bool tunings,
                      bool bankMap);
    QByteArray BackupReport();

    /// How many dump failures ReportDumpFailure has reported so far: tells a
    /// caller whether a failed step has told the user why.
    std::uint64_t GetDumpFailureCount() const { return m_linkState.dumpFailures; }
    /// Why the last upload that reports its refusals only in the log (the bank
    /// map's) refused; empty when none has.
    const QString& GetLastUploadRefusal() const { return m_linkState.lastUploadRefusal; }

    // ==== Capability probe (src/connection/CapabilityProbe.cpp), module information, the setup buffer

    /// The capability flags: from the setting Capabilities when it holds
    /// CAP_TESTED, otherwise by asking the module once (one request of each
    /// kind, warnings suppressed, progress 0 ... 7) and storing the result in
    /// the setting. Always true.
    bool CheckCapabilities();

    /// The plain-text report of the module (name, revision, SIMM slots), the
    /// program's version, the settings and the MIDI devices the backend
    /// offers (module/ModuleInfo.h). Sends nothing; never fails.
    QString GetModuleInfo() override;

    /// The number of module error replies that ended a wait. A request that
    /// failed without raising it got no clear answer: a time-out, a broken
    /// input, a short reply, or nothing sent.
    std::uint64_t GetModuleErrorCount() const override { return m_moduleErrors; }

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

    std::uint64_t m_moduleErrors = 0;
    std::unique_ptr<SetupBuffer, SetupBufferDeleter> m_setupBuffer{CreateSetupBuffer()};

public:
    // ==== end of dumps, files, caches, edit-buffer save and backup ============================

protected:
    /// Set by the connect sequence at the connect notification, cleared at the disconnect.
    void SetConnected(bool connected) { m_connected = connected; }

private:
    template <class Call>
    void ForEachListener(Call&& call);
    // The level-9 trace of a message (its first nine bytes at most).
    static void TraceMessage(const char16_t* caller, const std::uint8_t* data, std::size_t length);

    ConnectionServices m_services;
    LinkServices m_linkServices;
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
