// Proteus: the parameter protocol. Finding the record of a parameter, asking
// the module for ranges (once, then from the min/max cache) and values,
// sending edits after the listeners agreed, the parameters that travel with a
// ROM-id partner, preset selection by bank select and program change, and the
// short messages of the keyboard and the MIDI thru.
#include "connection/Proteus.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "midi/MidiMessages.h"
#include "module/ReplyBytes.h"
#include "platform/Clock.h"

namespace {

constexpr ParameterId kFirstPseudoParameter = 9000;

// The string-table question asked before the device id changes.
constexpr unsigned kStringConfirmDeviceIdChange = 151;

// What follows the reply headers F0 18 0F dd 55 01 02 (value) and
// F0 18 0F dd 55 03 (range).
constexpr unsigned kValueReplyLength = 4;         // id(2) value(2)
constexpr unsigned kRangeReplyLength = 9;         // id(2) min(2) max(2) default(2) ro(1)

// The sub-command byte of a value request and of an edit (and of its reply).
constexpr int kValueRequestSubCommand = 0x01;
constexpr int kEditSubCommand = 0x02;

bool TestUIOn()
{
    return GetGlobalConfigurations().GetBool(TestUI);
}

// Controllers M-P exist only with CAP_16_CONTROLLERS.
bool IsSixteenControllerParameter(ParameterId id)
{
    return (id >= MASTER_MIDI_M_CONTROL && id <= MASTER_MIDI_P_CONTROL) || (id >= PRESET_CTRL_M && id <= PRESET_CTRL_P);
}

// The beat-part parameters, which beat layers 16-23 do not have.
bool IsBeatPartParameter(ParameterId id)
{
    return id == BEATS_VELOCITY || id == BEATS_XPOSE || id == BEATS_GROUP;
}

// A value as the traces show it after its number.
char16_t TraceCharacter(int value)
{
    return value >= 32 && value <= 255 && value != 127 ? char16_t(value) : u' ';
}

struct FixedRange {
    ParameterId id;
    int minimum;
    int maximum;
    int defaultValue;
};

// Ranges the module does not give (selectors and the editor's own views of a value).
constexpr FixedRange kFixedRanges[] = {
    {PRESET_SELECT, -1, 511, -1},
    {LAYER_SELECT, -1, 3, 0},
    {ARP_PATTERN_SELECT, 0, 299, 0},
    {ARP_PATTERN_STEP_SELECT, 0, 32, 0},
    {MASTER_ARP_PATTERN_SPEED, -2, 2, 0},
    {PRESET_ARP_PATTERN_SPEED, -2, 2, 0},
    {PRESET_RIFF, -1, 511, 0},
};

// Ranges the module reports in a way the editor shows differently; the
// module's default stays.
constexpr FixedRange kRangeOverrides[] = {
    {MASTER_FX_B_DELAY, -25, 127, 0},
    {PRESET_FX_B_DELAY, -25, 127, 0},
    {PRESET_TEMPO_OFFSET, -1, 1, 0},
    {LAYER_TRANSPOSE, -36, 36, 0},
};

ParamRecord FixedRecord(const char16_t* name, ParameterId id, int maximum)
{
    ParamRecord r(QString::fromUtf16(name), id, 0);
    r.maximum = maximum;
    r.readOnly = false;
    return r;
}

} // namespace

// ---- Construction of the fixed state ----------------------------------------------------

ParameterCache Proteus::MakeFixedParameters()
{
    ParameterCache fixed;
    fixed.InsertOrOverwrite(FixedRecord(u"ANY_PARAMETER", ANY_PARAMETER, 1));
    fixed.InsertOrOverwrite(FixedRecord(u"MULTIMODE_BASIC_CHANNEL", MULTIMODE_BASIC_CHANNEL, 31));
    fixed.InsertOrOverwrite(FixedRecord(u"PRESET_SELECT", PRESET_SELECT, 511));
    fixed.InsertOrOverwrite(FixedRecord(u"LAYER_SELECT", LAYER_SELECT, 3));
    fixed.InsertOrOverwrite(FixedRecord(u"MULTIMODE_PRESET", MULTIMODE_PRESET, 4095));
    fixed.InsertOrOverwrite(FixedRecord(u"BEAT_LAYER_SELECT", BEAT_LAYER_SELECT, 23));
    fixed.InsertOrOverwrite(FixedRecord(u"SETUP_RELOAD_NOTIFIER", SETUP_RELOAD_NOTIFIER, 1));
    return fixed;
}

ParameterCache Proteus::MakeConfirmSet()
{
    ParameterCache confirm;
    const ParameterCache fixed = MakeFixedParameters();
    for (ParameterId id : {ANY_PARAMETER, MULTIMODE_BASIC_CHANNEL, MULTIMODE_PRESET})
        confirm.InsertOrOverwrite(*fixed.Find(id));
    confirm.InsertOrOverwrite(ParamRecord(FindParameterTableRow(PRESET_KBD_TUNE)));
    return confirm;
}

std::vector<Proteus::RealTimeControllerRow> Proteus::MakeRealTimeControllers()
{
    return {
        {MASTER_MIDI_A_CONTROL, u"A", u"Tone", 0},
        {MASTER_MIDI_B_CONTROL, u"B", u"Presence", 0},
        {MASTER_MIDI_C_CONTROL, u"C", u"Shape", 0},
        {MASTER_MIDI_D_CONTROL, u"D", u"Image", 0},
        {MASTER_MIDI_E_CONTROL, u"E", u"Attack", 0},
        {MASTER_MIDI_F_CONTROL, u"F", u"Decay/Rls", 0},
        {MASTER_MIDI_G_CONTROL, u"G", u"Movement", 0},
        {MASTER_MIDI_H_CONTROL, u"H", u"Rate", 0},
        {MASTER_MIDI_I_CONTROL, u"I", u"Dynamic 1", 0},
        {MASTER_MIDI_J_CONTROL, u"J", u"Dynamic 2", 0},
        {MASTER_MIDI_K_CONTROL, u"K", u"FX A", 0},
        {MASTER_MIDI_L_CONTROL, u"L", u"FX B", 0},
        {MASTER_MIDI_M_CONTROL, u"M", u"Mod 1", 1},
        {MASTER_MIDI_N_CONTROL, u"N", u"Mod 2", 1},
        {MASTER_MIDI_O_CONTROL, u"O", u"Arp Velocity", 1},
        {MASTER_MIDI_P_CONTROL, u"P", u"Arp Gate", 1},
        {MASTER_MIDI_FS1_CONTROL, u"FS1", u"Sustain Pedal", 0},
        {MASTER_MIDI_FS2_CONTROL, u"FS2", u"Portamento Pedal", 0},
        {MASTER_MIDI_FS3_CONTROL, u"FS3", u"Sostenuto Pedal", 0},
    };
}

// ---- Finding records --------------------------------------------------------------------

ParamRecord* Proteus::LookUpParameter(int id)
{
    if (ParamRecord* fixed = m_fixedParameters.Find(id))
        return fixed;
    bool found = false;
    ParamRecord& record = FindTableParameter(id, &found);
    return found ? &record : nullptr;
}

ParamRecord* Proteus::FindParameter(int id)
{
    if (ParamRecord* record = LookUpParameter(id))
        return record;
    TLOG(kLogError, u"Failed to find parameter 0x%x in any parameter cache - please report this problem", id);
    return &DummyParameter();
}

bool Proteus::RefuseUnknownParameter(const ParamRecord* record)
{
    if (!record)
        return true;
    // Id 0 is the placeholder for a parameter that does not exist; sending it
    // would make the module read or write whatever it keeps as parameter 0.
    if (record->id > 0)
        return false;
    TLOG(kLogError, u"Failed to find parameter 0x%x in any parameter cache - please report this problem", record->id);
    return true;
}

void Proteus::SetRangeKnown(ParameterId id, bool known)
{
    if (known)
        m_knownRanges.insert(id);
    else
        m_knownRanges.erase(id);
}

// ---- The three messages -----------------------------------------------------------------

Proteus::Answer Proteus::ParameterExchange(const ModuleSysExMessage& request, int commandId,
                                           std::vector<std::uint8_t> header, std::uint8_t* reply,
                                           unsigned replyLength, const ParameterExchangeTexts& texts,
                                           const QString& name, int parameterId)
{
    const bool quiet = SuppressingWarnings();
    // Value and range replies name their parameter right after the header:
    // only the reply for the parameter asked ends this wait.
    std::uint8_t key[2] = {};
    SysExValue14::Encode(parameterId, key); // the request carries the id the same way
    const ReplyResult result = Exchange(request, {commandId, std::move(header), replyLength, key});
    if (result.NotSent()) {
        if (!quiet)
            TLOG(kLogError, texts.sendFailed, name);
        return Answer::Failed;
    }
    bool ok = result.Replied();
    // A reply one byte short still fills the destination when its F7 is taken
    // in as the last byte; that byte must not be read as data.
    if (ok && ReplyDataBytes(result.Data(), result.Size()) < replyLength) {
        TLOG(kLogFlow, u"%s - reply too short (%d of %d bytes)", texts.caller, result.Size(), replyLength);
        ok = false;
    }
    if (ok) {
        std::copy(result.bytes.begin(), result.bytes.end(), reply);
        return Answer::Replied;
    }
    if (TestUIOn())
        return Answer::Assumed;
    if (!quiet)
        TLOG(kLogError, result.Answered() ? texts.errorReply : texts.noReply, name);
    return Answer::Failed;
}

bool Proteus::LowLevelParameterRequest(ParamRecord* record)
{
    return RequestValue(record) != Answer::Failed;
}

Proteus::Answer Proteus::RequestValue(ParamRecord* record)
{
    if (RefuseUnknownParameter(record))
        return Answer::Failed;
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::LowLevelParameterRequest", record->name);
    if (!ReadyToSend(QStringLiteral("Proteus::LowLevelParameterRequest")))
        return Answer::Failed;

    ModuleSysExMessage request(GetDeviceId(), CMD_PARAMETER_REQUEST);
    request.AddByte(kValueRequestSubCommand).AddValue14(record->id);
    std::uint8_t reply[kValueReplyLength] = {};
    static constexpr ParameterExchangeTexts kTexts{u"Proteus::LowLevelParameterRequest",
                                                   u"Failed to send Parameter Request %s",
                                                   u"Error received for ParameterRequest %s",
                                                   u"No response to Parameter Request %s"};
    const Answer answer = ParameterExchange(request, CMD_PARAMETER_REQUEST,
                                            ModuleReplyHeader(GetDeviceId(), CMD_PARAMETER_EDIT, kEditSubCommand),
                                            reply, kValueReplyLength, kTexts, record->name, record->id);
    if (answer != Answer::Replied)
        return answer;
    record->previousValue = record->value;
    record->value = SysExValue14::Decode(reply[2], reply[3]);
    TLOG(kLogFlow, u"%s(%d) has value %d(%c)", record->name, record->id, record->value, TraceCharacter(record->value));
    return Answer::Replied;
}

bool Proteus::LowLevelParameterMinMaxRequest(ParamRecord* record)
{
    return RequestRange(record) != Answer::Failed;
}

Proteus::Answer Proteus::RequestRange(ParamRecord* record)
{
    if (RefuseUnknownParameter(record))
        return Answer::Failed;
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::LowLevelParameterMinMaxRequest", record->name);
    if (!ReadyToSend(QStringLiteral("Proteus::LowLevelParameterMinMaxRequest")))
        return Answer::Failed;

    ModuleSysExMessage request(GetDeviceId(), CMD_PARAMETER_MINMAX_REQUEST);
    request.AddValue14(record->id);
    std::uint8_t reply[kRangeReplyLength] = {};
    static constexpr ParameterExchangeTexts kTexts{u"Proteus::LowLevelParameterMinMaxRequest",
                                                   u"Failed to send Parameter Min/Max Request %s",
                                                   u"Error received for Parameter Min/Max Request %s",
                                                   u"No response received for Parameter Min/Max Request %s"};
    const Answer answer = ParameterExchange(request, CMD_PARAMETER_MINMAX_REQUEST,
                                            ModuleReplyHeader(GetDeviceId(), CMD_PARAMETER_MINMAX), reply, kRangeReplyLength, kTexts, record->name, record->id);
    if (answer != Answer::Replied)
        return answer;
    record->minimum = SysExValue14::Decode(reply[2], reply[3]);
    record->maximum = SysExValue14::Decode(reply[4], reply[5]);
    record->defaultValue = SysExValue14::Decode(reply[6], reply[7]);
    record->readOnly = reply[8] == 1;
    return Answer::Replied;
}

bool Proteus::LowLevelParameterEdit(ParamRecord* record)
{
    if (RefuseUnknownParameter(record))
        return false;
    TLOG(kLogFlow, u"%s(%s - %d)", u"Proteus::LowLevelParameterEdit", record->name, record->value);
    if (!ReadyToSend(QStringLiteral("Proteus::LowLevelParameterEdit")))
        return false;
    TLOG(kLogFlow, u"Setting %s(%d) to value %d(%c)", record->name, record->id, record->value,
         TraceCharacter(record->value));

    ModuleSysExMessage edit(GetDeviceId(), CMD_PARAMETER_EDIT);
    edit.AddByte(kEditSubCommand).AddValue14(record->id).AddValue14(record->value);
    if (!SendSysEx(edit) && !TestUIOn()) {
        if (!SuppressingWarnings())
            TLOG(kLogError, u"Failed to send Parameter Edit %s", record->name);
        return false;
    }
    // Only a selection that reached the module moves the layer the module edits.
    if (record->id == LAYER_SELECT)
        m_currentLayer = record->value;
    return true;
}

// ---- Ranges and values ------------------------------------------------------------------

bool Proteus::ModuleHasParameter(ParameterId id) const
{
    return HasCapability(CAP_16_CONTROLLERS) || !IsSixteenControllerParameter(id);
}

Proteus::Answer Proteus::RequestRangeNoCache(ParamRecord* record)
{
    if (!record)
        return Answer::Failed;
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::ParameterRequestWithMinMaxNoCache", record->name);
    if (record->id >= kFirstPseudoParameter)
        return Answer::Assumed;
    if (RefuseUnknownParameter(record))
        return Answer::Failed;
    // Not a range the module gave: a probe that finds the controllers later
    // must be able to ask for the real one.
    if (!ModuleHasParameter(record->id)) {
        record->minimum = 0;
        record->maximum = 0;
        return Answer::Assumed;
    }
    for (const FixedRange& fixed : kFixedRanges) {
        if (fixed.id == record->id) {
            record->minimum = fixed.minimum;
            record->maximum = fixed.maximum;
            record->defaultValue = fixed.defaultValue;
            record->readOnly = false;
            return Answer::Replied;
        }
    }
    const Answer answer = RequestRange(record);
    if (answer == Answer::Failed)
        return answer;
    for (const FixedRange& shown : kRangeOverrides) {
        if (shown.id == record->id) {
            record->minimum = shown.minimum;
            record->maximum = shown.maximum;
            record->readOnly = false;
        }
    }
    return answer;
}

bool Proteus::ParameterRequestWithMinMaxNoCache(ParamRecord* record)
{
    const Answer answer = RequestRangeNoCache(record);
    if (answer == Answer::Replied && record->id < kFirstPseudoParameter && record == AllParameters.Find(record->id))
        m_knownRanges.insert(record->id);
    return answer != Answer::Failed;
}

bool Proteus::RequestMultimodePreset(ParamRecord* record)
{
    if (!m_setupParameters) {
        TLOG(kLogFlow, u"%s - no setup buffer to answer %s", u"Proteus::ParameterRequest", record->name);
        return false;
    }
    return m_setupParameters->GetParameter(FindParameter(MULTIMODE_BASIC_CHANNEL)->value, record);
}

bool Proteus::ParameterRequestWithMinMax(ParamRecord* record)
{
    if (!record)
        return false;
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::ParameterRequestWithMinMax", record->name);
    if (record->id == MULTIMODE_PRESET)
        return RequestMultimodePreset(record);
    if (record->id >= kFirstPseudoParameter)
        return true;
    if (RefuseUnknownParameter(record))
        return false;

    ParamRecord* cached = AllParameters.Find(record->id);
    if (!cached)
        cached = &AllParameters.InsertOrOverwrite(*record);
    // A range is asked once per run, but only an answered one counts: after a
    // time-out or an error the entry keeps whatever it had, and the next use
    // asks again rather than showing 0 ... 0 read-only for the rest of the run.
    if (!IsRangeKnown(record->id) && !ParameterRequestWithMinMaxNoCache(cached))
        return false;

    *record = *cached;
    record->previousValue = record->value;
    record->value = record->defaultValue;
    if (record->value < record->minimum || record->value > record->maximum) {
        record->previousValue = record->value;
        record->value = record->minimum;
    }
    if (!ParameterRequest(record))
        return false;
    TLOG(kLogFlow, u"%s(%d) has minimum %d, maximum %d, default %d, readonly = %s, value = %d(%c), Simmid=%d", record->name,
         record->id, record->minimum, record->maximum, record->defaultValue, record->readOnly ? u"true" : u"false",
         record->value, TraceCharacter(record->value), record->romId);
    return true;
}

bool Proteus::ParameterRequest(ParamRecord* record)
{
    if (!record)
        return false;
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::ParameterRequest", record->name);
    if (record->id == MULTIMODE_PRESET)
        return RequestMultimodePreset(record);
    if (record->id >= kFirstPseudoParameter)
        return true;
    if (RefuseUnknownParameter(record))
        return false;
    if (!ModuleHasParameter(record->id)) {
        record->previousValue = record->value;
        record->value = 0;
        return true;
    }

    // The SIMM id first, kept aside until the value has come too, so that a
    // failed request leaves the record as it was.
    QString partnerName;
    const int partnerId = GetRomIdParameter(record, &partnerName);
    int romId = record->romId;
    if (partnerId >= 0) {
        ParamRecord partner(partnerName, partnerId, record->romId);
        if (!LowLevelParameterRequest(&partner))
            return false;
        romId = partner.value;
    }

    if (m_currentLayer > 15 && IsBeatPartParameter(record->id)) {
        record->previousValue = record->value;
        record->value = record->defaultValue;
    } else if (!LowLevelParameterRequest(record)) {
        return false;
    }
    if (partnerId >= 0) {
        record->previousRomId = record->romId;
        record->romId = romId;
    }
    return true;
}

// ---- Edits ------------------------------------------------------------------------------

bool Proteus::AllowParameterChange(ParamRecord* record)
{
    if (!record)
        return false;
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::AllowParameterChange", record->name);
    return NotifyParameterChanging(record);
}

bool Proteus::ParameterEdit(ParamRecord* record)
{
    if (!record)
        return false;
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::ParameterEdit", record->name);
    if (record->id == SHORT_MIDI_MSG)
        return SendShortMessageRecord(record);
    if (RefuseUnknownParameter(record))
        return false;
    if (m_confirmSet.Contains(record->id) && !AllowParameterChange(record))
        return false;

    const bool testUI = TestUIOn();
    if (record->id >= kFirstPseudoParameter) {
        // Of the editor's own parameters only the beat layer reaches the module,
        // as the layer selection it is.
        if (record->id == BEAT_LAYER_SELECT) {
            ParamRecord layer(*record);
            layer.name = QStringLiteral("LAYER_SELECT");
            layer.id = LAYER_SELECT;
            if (!LowLevelParameterEdit(&layer) && !testUI)
                return false;
        }
        DistributeParameterChanged(record);
        return true;
    }

    if (!ModuleHasParameter(record->id))
        return true;
    if (m_currentLayer > 15 && IsBeatPartParameter(record->id))
        return true;

    QString partnerName;
    const int partnerId = GetRomIdParameter(record, &partnerName);
    if (partnerId >= 0) {
        ParamRecord partner(partnerName, partnerId, record->romId);
        if (!LowLevelParameterEdit(&partner) && !testUI)
            return false;
    }

    if (record->id == MASTER_MIDI_ID) {
        // A device id is one data byte of every message: the module could not
        // be spoken to under any other.
        if (record->value < 0 || record->value > 127) {
            TLOG(kLogError, u"Refused to set the device id to %d: a device id is 0 to 127", record->value);
            return false;
        }
        if (ShowMessageWith(Presenter(), nullptr, msgbox::YesNo, false, kStringConfirmDeviceIdChange) != msgbox::IdYes)
            return false;
        // Still under the old id: the module moves to the new one with this edit.
        if (!LowLevelParameterEdit(record) && !testUI)
            return false;
        SetDeviceId(record->value);
    } else {
        if (!LowLevelParameterEdit(record) && !testUI)
            return false;
        if (record->id == MULTIMODE_BASIC_CHANNEL) {
            // The module edits the channel that MULTIMODE_CHANNEL_SELECT names.
            ParamRecord select(*record);
            select.name = QStringLiteral("MULTIMODE_CHANNEL_SELECT");
            select.id = MULTIMODE_CHANNEL_SELECT;
            LowLevelParameterEdit(&select);
        }
    }
    DistributeParameterChanged(record);
    return true;
}

void Proteus::DistributeParameterChanged(ParamRecord* record)
{
    if (!record)
        return;
    TLOG(kLogFlow, u"%s(%s)", u"Proteus::DistributeParameterChanged", record->name);
    if (!m_ready)
        return;
    if (record->id >= 1 && record->id < kFirstPseudoParameter) {
        ParamRecord* held = LookUpParameter(record->id);
        if (held && held != record)
            held->CopyValues(*record);
    }
    if (record->id == MULTIMODE_PRESET)
        SelectPreset(record->romId, record->value);
    if (m_setupParameters)
        m_setupParameters->OnParameterChanged(record);
    UpdateBeatDataFromChange(record);
    NotifyParameterChanged(record);
}

bool Proteus::SetDeviceId(int id)
{
    TLOG(kLogFlow, u"%s(%d)", u"Proteus::SetDeviceId", id);
    if (id < 0 || id > 127) {
        TLOG(kLogError, u"Refused to set the device id to %d: a device id is 0 to 127", id);
        return false;
    }
    m_deviceId = id;
    ParamRecord* record = FindParameter(MASTER_MIDI_ID);
    record->previousValue = record->value;
    record->value = id;
    GetGlobalConfigurations().SetDword(DeviceId, std::uint32_t(id));
    return true;
}

// ---- Preset selection -------------------------------------------------------------------

MidiPort* Proteus::PortForChannel(int channel)
{
    return channel > 15 ? GetAlternatePort() : this;
}

bool Proteus::SelectPreset(int romId, int presetNumber)
{
    TLOG(kLogFlow, u"%s(%d, %d)", u"Proteus::SelectPreset", romId, presetNumber);
    // Bank select carries the ROM id and the number's high part in one data
    // byte each; anything larger would select another bank, not this preset.
    if (romId < 0 || romId > 127 || presetNumber < 0 || presetNumber > 127 * 128 + 127) {
        TLOG(kLogError, u"Cannot select preset %d of ROM %d by bank select and program change", presetNumber, romId);
        return false;
    }

    // The module ignores program changes on a channel that is off or does not
    // take them: switch both on for the moment.
    ParamRecord* enable = FindParameter(MULTIMODE_CHANNEL_ENABLE);
    ParamRecord* receive = FindParameter(MULTIMODE_RECV_PROG_CHANGE);
    auto set = [this](ParamRecord* r, int value) {
        r->previousValue = r->value;
        r->value = value;
        LowLevelParameterEdit(r);
    };
    const bool enabled = enable->value == 0;
    if (enabled)
        set(enable, 1);
    const bool receiving = receive->value == 0;
    if (receiving)
        set(receive, 1);

    const int channel = FindParameter(MULTIMODE_BASIC_CHANNEL)->value & 0xFF;
    const PresetSelect select = SplitPresetNumber(romId, presetNumber);
    bool sent = false;
    if (MidiPort* port = PortForChannel(channel)) {
        const unsigned ch = unsigned(channel) & 0x0F;
        sent = port->SendControlChange(ch, 0, unsigned(select.msb)) && port->SendControlChange(ch, 32, unsigned(select.lsb))
            && port->SendProgramChange(ch, unsigned(select.program));
    }

    if (receiving)
        set(receive, 0);
    if (enabled)
        set(enable, 0);
    if (GetWriteDelay() > 0)
        GetPortServices().Clock().SleepMs(GetWriteDelay());
    return sent;
}

bool Proteus::GetChannelPreset(int channel, int& romId, int& presetNumber)
{
    if (!m_setupParameters)
        return false;
    ParamRecord preset = *m_fixedParameters.Find(MULTIMODE_PRESET);
    if (!m_setupParameters->GetParameter(channel, &preset))
        return false;
    romId = preset.romId;
    presetNumber = preset.value;
    return true;
}

// ---- Short messages ---------------------------------------------------------------------

void Proteus::MakeShortMidiMsgParameter(int channel, const std::uint8_t packed[4], ParamRecord* record)
{
    if (!record || !packed)
        return;
    record->name = QStringLiteral("SHORT_MIDI_MSG");
    record->id = SHORT_MIDI_MSG;
    record->previousRomId = record->romId;
    record->romId = packed[2] | (packed[3] << 8);
    record->previousValue = record->value;
    record->value = packed[0] | (packed[1] << 8);
    record->defaultValue = channel;
}

bool Proteus::SendShortMidiMessage(const std::uint8_t packed[4])
{
    if (!packed)
        return false;
    ParamRecord record;
    MakeShortMidiMsgParameter(FindParameter(MULTIMODE_BASIC_CHANNEL)->value, packed, &record);
    return ParameterEdit(&record);
}

bool Proteus::SendShortMessageRecord(ParamRecord* record)
{
    // This path also runs on the keyboard's timer thread: it touches only the
    // port's short-message send and the listeners, no SysEx state.
    const int channel = record->defaultValue;
    const std::uint32_t packed = (std::uint32_t(record->romId & 0xFF) << 16) | std::uint32_t(record->value & 0xFFFF);
    // Channel messages take the channel; system messages (clock, start, stop)
    // go as they are, since a channel in their low nibble would make another message.
    const std::optional<std::uint32_t> message = MidiThruMessage(packed, channel);
    const std::vector<std::uint8_t> bytes = message ? UnpackShortMessage(*message) : std::vector<std::uint8_t>{};
    bool dataBytes = !bytes.empty();
    for (std::size_t i = 1; i < bytes.size(); ++i)
        dataBytes = dataBytes && bytes[i] < 0x80;
    if (!dataBytes) {
        TLOG(kLogError, u"Cannot send short message 0x%x", packed);
        return false;
    }

    MidiPort* port = PortForChannel(channel);
    const bool sent = port && port->Send(*message);
    // The listeners echo what the user played (trackers, the controllers
    // popup) even where no port carries it, as without a module.
    const std::uint8_t echo[4] = {std::uint8_t(*message & 0xFF), std::uint8_t((*message >> 8) & 0xFF),
                                  std::uint8_t((*message >> 16) & 0xFF), 0};
    NotifyShortMessageSent(echo);
    return sent;
}
