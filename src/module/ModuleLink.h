#pragma once
// ModuleLink: what the code above the module protocol (the dumps, files,
// caches and backup) may ask of one module connection. The connection
// (Proteus, in the connection layer) implements it; the dump classes take a
// ModuleLink& and never see the connection itself, so the layers depend
// one way only: connection -> dump -> module.
//
// Every request goes through the checking send (SendSysEx, Exchange); a
// reply is awaited with Exchange or AwaitReply (module/ModuleExchange.h).

#include "module/HardwareConfig.h"
#include "module/LinkServices.h"
#include "module/ModuleExchange.h"
#include "module/ModuleSysEx.h"
#include "module/ParameterIds.h"

#include <QString>

#include <array>
#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <utility>
#include <vector>

class ParamRecord;
class ProteusData;
class ProteusEvents;

class ModuleLink {
public:
    virtual ~ModuleLink() = default;

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

    /// One real-time controller of the module: the master parameter holding the
    /// MIDI controller number assigned to it, its letter and label, and whether
    /// it exists only on modules with CAP_16_CONTROLLERS (1) or on all (0).
    struct RealTimeControllerRow {
        ParameterId id;
        const char16_t* letter;
        const char16_t* label;
        int needs16Controllers;
    };

    /// Silences the warning lines of requests that are expected to fail, for
    /// its lifetime. There is no nesting count: the end of an inner guard
    /// clears the flag for the outer one too.
    class SuppressWarningMessages {
    public:
        explicit SuppressWarningMessages(ModuleLink* owner);
        virtual ~SuppressWarningMessages();
        SuppressWarningMessages(const SuppressWarningMessages&) = delete;
        SuppressWarningMessages& operator=(const SuppressWarningMessages&) = delete;

    private:
        ModuleLink* m_owner;
    };

    /// For its lifetime no reply overwrites another: one that finds its wait
    /// answered already (a streaming dump, a WAIT and an ACK that arrive
    /// together) is kept for the next wait, in arrival order. What is still
    /// kept when the outermost guard ends is dropped.
    class KeepEveryReply {
    public:
        explicit KeepEveryReply(ModuleLink* owner);
        ~KeepEveryReply();
        KeepEveryReply(const KeepEveryReply&) = delete;
        KeepEveryReply& operator=(const KeepEveryReply&) = delete;

    private:
        ModuleLink* m_owner;
        bool m_previous;
    };

    /// Bank select MSB (the ROM id, low byte), LSB (number / 128) and program
    /// (number % 128) that choose a preset. No range check: see SelectPreset.
    struct PresetSelect {
        int msb = 0;
        int lsb = 0;
        int program = 0;
    };
    static PresetSelect SplitPresetNumber(int romId, int presetNumber);

    /// The hidden parameter that carries the SIMM id of record's value (for
    /// example LAYER_INST_ROM_ID 1439 for LAYER_INSTRUMENT 1409) and its name;
    /// -1 and "UNKNOWN_COMMAND" when record has none (or is null).
    static int GetRomIdParameter(const ParamRecord* record, QString* name);

    /// What one connection remembers between the operations of the parts
    /// above the protocol (the dumps, the caches and the connect sequence).
    struct LinkState {
        /// How many dump failures have been reported so far.
        std::uint64_t dumpFailures = 0;
        /// Why the last upload that reports its refusals only in the log (the
        /// bank map's) refused; empty when none has.
        QString lastUploadRefusal;
        /// {SIMM id, kind} of the counts whose probe got no clear answer (and
        /// were not stored); a later probe that is answered takes its entry out.
        std::set<std::pair<int, int>> unansweredCounts;
        /// The last configuration cache build loaded the names but wrote no
        /// file, since a count of the ROMs it would hold was not answered.
        bool cacheLeftUnwritten = false;
        /// A connect sequence is running.
        bool connecting = false;
        /// The running connect has read the hardware configuration: later
        /// steps of the same connect use it instead of asking again.
        bool simmsReadByConnect = false;
        /// Names the running connect's object counts found ({kind, SIMM id,
        /// index} -> the name as received), so loading the names does not ask
        /// for them again.
        std::map<std::array<int, 3>, QString> namesProbedByConnect;
    };
    LinkState& State() { return m_linkState; }
    const LinkState& State() const { return m_linkState; }

    // ---- Services ----------------------------------------------------------------------

    /// The clock, settings store, presenter, file-property store and layer
    /// chooser of this connection. The default: every one the process-wide service.
    virtual const LinkServices& GetLinkServices() const;

    // ---- The data model --------------------------------------------------------------

    /// What the editor knows about the connected module (names, parameter caches).
    virtual ProteusData& Data() = 0;

    // ---- Port state and sending -----------------------------------------------------

    /// The device id every message carries.
    virtual int GetDeviceId() const = 0;
    /// Moves the connection to device id (0 ... 127).
    virtual bool SetDeviceId(int id) = 0;
    /// The response time-out of every wait, in milliseconds.
    virtual unsigned GetTimeout() const = 0;
    virtual bool IsInputOpen() const = 0;
    virtual bool IsOutputOpen() const = 0;
    /// From the connect notification to the disconnect.
    virtual bool IsConnected() const = 0;
    /// Connected, both port directions open, and no other exchange waiting;
    /// request names the refused operation in the log.
    virtual bool ReadyToSend(const QString& request) = 0;
    /// The checking send: a message with a byte that would not fit SysEx (or
    /// raw bytes that are not one whole SysEx message) is refused, never sent.
    virtual bool SendSysEx(const SysExMessage& message) = 0;
    virtual bool SendSysEx(std::span<const std::uint8_t> message) = 0;
    /// Sends request through the checking send and waits for the reply it expects.
    virtual ReplyResult Exchange(const SysExMessage& request, const ExpectedReply& expected) = 0;
    virtual ReplyResult Exchange(std::span<const std::uint8_t> request, const ExpectedReply& expected) = 0;
    /// Waits for the next reply to a request already sent.
    virtual ReplyResult AwaitReply(std::span<const std::uint8_t> sent, const ExpectedReply& expected) = 0;
    /// KeepEveryReply's switch: false also drops the replies held back.
    virtual void SetKeepEveryReply(bool keep) = 0;
    virtual bool IsKeepingEveryReply() const = 0;
    /// SuppressWarningMessages's switch, and its flag.
    virtual void SetSuppressWarnings(bool suppress) = 0;
    virtual bool SuppressingWarnings() const = 0;
    /// The number of module error replies that ended a wait.
    virtual std::uint64_t GetModuleErrorCount() const = 0;

    // ---- Capabilities ----------------------------------------------------------------

    /// The capability flags (module/Capabilities.h) of the connected module.
    virtual std::uint32_t GetCapabilities() const = 0;
    virtual bool HasCapability(std::uint32_t flag) const = 0;

    // ---- Listeners and progress ----------------------------------------------------------

    virtual void AddListener(ProteusEvents* listener) = 0;
    virtual void RemoveListener(ProteusEvents* listener) = 0;
    virtual void NotifyWaiting() = 0;
    virtual void NotifyBeginProgress(int lower, int upper, const QString& text) = 0;
    virtual void NotifyProgressText(const QString& text) = 0;
    virtual void NotifyProgressStep() = 0;
    virtual void NotifyEndProgress() = 0;

    // ---- Parameters ----------------------------------------------------------------------

    /// The record of a parameter; never null (an unknown id gets the dummy record).
    virtual ParamRecord* FindParameter(int id) = 0;
    /// The value (and SIMM id) from the module.
    virtual bool ParameterRequest(ParamRecord* record) = 0;
    /// Range, default and read-only flag from fixed rules or the module, without the cache.
    virtual bool ParameterRequestWithMinMaxNoCache(ParamRecord* record) = 0;
    /// Sends the record's value and tells every listener.
    virtual bool ParameterEdit(ParamRecord* record) = 0;
    /// Whether the connected module has the parameter at all: controllers M-P
    /// (411-414, 967-970) exist only with CAP_16_CONTROLLERS. The requests
    /// answer those of a module without them with 0 and send nothing.
    virtual bool ModuleHasParameter(ParameterId id) const = 0;
    /// Whether the min/max cache holds a range for id that the module (or a fixed rule) gave.
    virtual bool IsRangeKnown(ParameterId id) const = 0;
    virtual void SetRangeKnown(ParameterId id, bool known) = 0;
    /// The MULTIMODE_PRESET of channel as the setup buffer holds it.
    virtual bool GetChannelPreset(int channel, int& romId, int& presetNumber) = 0;
    /// The value of the last LAYER_SELECT edit sent.
    virtual int GetCurrentLayer() const = 0;
    virtual SetupParameters* GetSetupParameters() const = 0;
    virtual void SetSetupParameters(SetupParameters* setup) = 0;
    /// The 19 real-time controllers A ... P, FS1 ... FS3, in the panel's order.
    virtual const std::vector<RealTimeControllerRow>& GetRealTimeControllers() const = 0;

    // ---- Module commands -------------------------------------------------------------------

    /// The name of an object of ObjectKind kind.
    virtual bool GetObjectName(int kind, int romId, int index, bool& ok, QString& name) = 0;
    /// The ROM SIMMs of the module.
    virtual bool GetHardwareConfiguration(int& count, std::array<SimmSlot, HardwareConfig::kMaxSimms>& simmSlots) = 0;
    /// Copies a setup; destination -1 loads it into the edit buffer.
    virtual bool CopySetup(int source, int destination) = 0;
    /// The plain-text report of the module, the program and the MIDI devices.
    virtual QString GetModuleInfo() = 0;

protected:
    LinkState m_linkState;
};
