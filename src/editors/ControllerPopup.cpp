#include "editors/ControllerPopup.h"

#include "ui_ControllerPopup.h"

#include "core/GlobalResources.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "editors/ControllerTrackerCtrl.h"
#include "editors/FormControls.h"
#include "midi/MidiPort.h"
#include "module/Capabilities.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/LabelCtrl.h"

#include <QAction>
#include <QLabel>

namespace {

constexpr int kControllerRows = 19; // A-P, FS1-FS3
// The parameter holding each row's MIDI controller number.
constexpr int kNumberParameter[kControllerRows] = {
    MASTER_MIDI_A_CONTROL, MASTER_MIDI_B_CONTROL, MASTER_MIDI_C_CONTROL, MASTER_MIDI_D_CONTROL,
    MASTER_MIDI_E_CONTROL, MASTER_MIDI_F_CONTROL, MASTER_MIDI_G_CONTROL, MASTER_MIDI_H_CONTROL,
    MASTER_MIDI_I_CONTROL, MASTER_MIDI_J_CONTROL, MASTER_MIDI_K_CONTROL, MASTER_MIDI_L_CONTROL,
    MASTER_MIDI_M_CONTROL, MASTER_MIDI_N_CONTROL, MASTER_MIDI_O_CONTROL, MASTER_MIDI_P_CONTROL,
    MASTER_MIDI_FS1_CONTROL, MASTER_MIDI_FS2_CONTROL, MASTER_MIDI_FS3_CONTROL};
// The preset parameter holding the initial value of controllers A-P.
constexpr int kInitialParameter[16] = {PRESET_CTRL_A, PRESET_CTRL_B, PRESET_CTRL_C, PRESET_CTRL_D,
                                       PRESET_CTRL_E, PRESET_CTRL_F, PRESET_CTRL_G, PRESET_CTRL_H,
                                       PRESET_CTRL_I, PRESET_CTRL_J, PRESET_CTRL_K, PRESET_CTRL_L,
                                       PRESET_CTRL_M, PRESET_CTRL_N, PRESET_CTRL_O, PRESET_CTRL_P};
const char16_t* const kLetters[kControllerRows] = {u"A", u"B", u"C", u"D", u"E", u"F", u"G", u"H", u"I", u"J",
                                                   u"K", u"L", u"M", u"N", u"O", u"P", u"FS1", u"FS2", u"FS3"};
const char16_t* const kLabels[kControllerRows] = {
    u"Tone",      u"Presence",  u"Shape", u"Image", u"Attack",       u"Decay/Rls",        u"Movement",
    u"Rate",      u"Dynamic 1", u"Dynamic 2", u"FX A", u"FX B",      u"Mod 1",            u"Mod 2",
    u"Arp Velocity", u"Arp Gate", u"Sustain Pedal", u"Portamento Pedal", u"Sostenuto Pedal"};
// The items of controllers A-P, FS1-FS3.
constexpr int kControllerItems[kControllerRows] = {1148, 1149, 1150, 1151, 1152, 1153, 1154, 1155, 1156, 1157,
                                                   1158, 1159, 1161, 1162, 1163, 1164, 1191, 1192, 1193};
// The items of triggers 9073-9095 (parts 1-16, groups 1-4, start/stop, clear, mute).
constexpr int kTriggerItems[23] = {1165, 1166, 1167, 1168, 1169, 1170, 1171, 1172, 1173, 1174, 1175, 1176,
                                   1185, 1186, 1187, 1188, 1177, 1178, 1179, 1180, 1181, 1182, 1183};
const char* const kTriggerNames[23] = {"Part 1",  "Part 2",  "Part 3",  "Part 4",     "Part 5",  "Part 6",
                                       "Part 7",  "Part 8",  "Part 9",  "Part 10",    "Part 11", "Part 12",
                                       "Part 13", "Part 14", "Part 15", "Part 16",    "Group 1", "Group 2",
                                       "Group 3", "Group 4", "Start/Stop", "Clear", "Mute"};
constexpr int kModulationCc = 1;
constexpr int kExpressionCc = 11;
constexpr int kPortamentoCc = 5;
constexpr int kFirstTrigger = TRIGGER_BEAT_PART_1;
constexpr int kLastTrigger = TRIGGER_BEAT_MUTE;
constexpr int kLastGroupTrigger = TRIGGER_BEAT_GROUP4;

bool IsDataByte(int v)
{
    return v >= 0 && v <= 127;
}

bool StartsWithBeats(const QString& name)
{
    return name.left(4).compare(QStringLiteral("BTS-"), Qt::CaseInsensitive) == 0;
}

} // namespace

ControllerPopup::ControllerPopup(ControlListener* parent, QWidget* parentWnd, bool topLevel)
    : Popup(QStringLiteral("Controllers"), kTemplateId, topLevel, parent, parentWnd), UndoRedo(this),
      m_ui(std::make_unique<Ui::ControllerPopup>())
{
    MakeRecords();
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Controllers and Triggers"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);
    BindControls();
    SetControllerCaptions();
    Refresh();
}

ControllerPopup::~ControllerPopup()
{
    ForgetControls();
    DestroyPopup();
}

void ControllerPopup::MakeRecords()
{
    auto make = [this](const QString& name, int id, int value, int maximum, int defaultValue) {
        auto r = std::make_unique<ParamRecord>(name, id, value);
        r->minimum = 0;
        r->maximum = maximum;
        r->defaultValue = defaultValue;
        r->readOnly = false;
        AddParameter(r.get());
        m_records.push_back(std::move(r));
    };
    for (int i = 0; i < 16; ++i)
        make(QStringLiteral("CONTROLLER_%1_CTRL").arg(QChar('A' + i)), CONTROLLER_A_CTRL + i, 0, 127, 0);
    for (int i = 0; i < 3; ++i)
        make(QStringLiteral("CONTROLLER_FS%1_CTRL").arg(i + 1), CONTROLLER_FS1_CTRL + i, 0, 1, 0);
    make(QStringLiteral("CONTROLLER_MODULATION_CTRL"), CONTROLLER_MODULATION_CTRL, 0, 127, 0);
    make(QStringLiteral("CONTROLLER_EXPRESSION_CTRL"), CONTROLLER_EXPRESSION_CTRL, 127, 127, 0);
    make(QStringLiteral("CONTROLLER_PORTAMENTO_TIME_CTRL"), CONTROLLER_PORTAMENTO_TIME_CTRL, 0, 127, 0);
    make(QStringLiteral("RESET_CONTROLLERS_BUTTON"), RESET_CONTROLLERS_BUTTON, 0, 1, 0);
    for (int i = 0; i < 16; ++i)
        make(QStringLiteral("TRIGGER_BEAT_PART_%1").arg(i + 1), TRIGGER_BEAT_PART_1 + i, 0, 1, 0);
    for (int i = 0; i < 4; ++i)
        make(QStringLiteral("TRIGGER_BEAT_GROUP%1").arg(i + 1), TRIGGER_BEAT_GROUP1 + i, 0, 1, 0);
    make(QStringLiteral("TRIGGER_BEAT_STARTSTOP"), TRIGGER_BEAT_STARTSTOP, 0, 1, 0);
    make(QStringLiteral("TRIGGER_BEAT_CLEAR"), TRIGGER_BEAT_CLEAR, 0, 1, 0);
    make(QStringLiteral("TRIGGER_BEAT_MUTE"), TRIGGER_BEAT_MUTE, 0, 1, 0);
    make(QStringLiteral("TRIGGER_VELOCITY"), TRIGGER_VELOCITY, 127, 127, 127);
    make(QStringLiteral("UNDO_PARAMETER_BUTTON"), UNDO_PARAMETER_BUTTON, 0, 1, 0);
    make(QStringLiteral("REDO_PARAMETER_BUTTON"), REDO_PARAMETER_BUTTON, 0, 1, 0);
}

ParamRecord* ControllerPopup::OwnRecord(int id)
{
    for (const std::unique_ptr<ParamRecord>& r : m_records)
        if (r->id == id)
            return r.get();
    return nullptr;
}

ControlBase* ControllerPopup::ControlOfRecord(int id) const
{
    for (ControlBase* c : Controls())
        if (c->ParameterCount() > 0 && c->ParameterAt(0)->id == id)
            return c;
    return nullptr;
}

void ControllerPopup::BindControls()
{
    const TriggerSet* preset = &GetPresetTriggerSet();
    auto slider = [&](int item, int id, int tooltip) {
        auto* t = ItemAs<ControllerTrackerCtrl>(item);
        t->SetOwner(this);
        t->BindParameter(preset, vf::Number, OwnRecord(id));
        t->Setup(tooltip, true, false, true, 4);
        AddControl(t);
    };
    for (int i = 0; i < 16; ++i)
        slider(kControllerItems[i], CONTROLLER_A_CTRL + i, 20061 + i);
    for (int i = 0; i < 3; ++i) {
        auto* s = ItemAs<SwitchCtrl>(kControllerItems[16 + i]);
        s->SetOwner(this);
        s->BindParameter(preset, vf::Number, OwnRecord(CONTROLLER_FS1_CTRL + i));
        s->Setup(20077 + i);
        AddControl(s);
    }
    slider(1194, CONTROLLER_EXPRESSION_CTRL, 20080);
    slider(1195, CONTROLLER_MODULATION_CTRL, 20081);
    slider(1196, CONTROLLER_PORTAMENTO_TIME_CTRL, 20086);

    auto button = [&](int item, int id, int tooltip) {
        auto* b = ItemAs<ButtonCtrl>(item);
        b->SetOwner(this);
        b->BindParameter(nullptr, vf::Number, OwnRecord(id));
        b->Setup(tooltip);
        AddControl(b);
        m_buttons.push_back(b);
    };
    button(ResetItem, RESET_CONTROLLERS_BUTTON, 20082);
    for (int i = 0; i < 23; ++i) {
        const int id = kFirstTrigger + i;
        if (id == TRIGGER_BEAT_CLEAR) {
            button(ClearItem, id, 20921);
            continue;
        }
        auto* s = ItemAs<SwitchCtrl>(kTriggerItems[i]);
        s->SetOwner(this);
        s->BindParameter(nullptr, vf::Number, OwnRecord(id));
        s->Setup(20900 + i);
        AddControl(s);
    }
    auto* velocity = ItemAs<TrackerCtrl>(VelocityItem);
    velocity->SetOwner(this);
    velocity->BindParameter(nullptr, vf::Number, OwnRecord(TRIGGER_VELOCITY));
    velocity->Setup(20083, false, false, true, 4);
    AddControl(velocity);
    button(UndoItem, UNDO_PARAMETER_BUTTON, 20084);
    button(RedoItem, REDO_PARAMETER_BUTTON, 20085);

    const int labels[4] = {BeatChannelItem, TriggerChannelItem, PresetNameItem, RiffNameItem};
    for (int i = 0; i < 4; ++i) {
        m_labels[std::size_t(i)] = LabelCtrl::TakeOver(ItemAs<QLabel>(labels[i]), this);
        m_labels[std::size_t(i)]->Setup(nullptr, 0);
        AddControl(m_labels[std::size_t(i)]);
    }
}

// ------------------------------------------------------------------ helpers

bool ControllerPopup::HasCapability(std::uint32_t flag)
{
    Proteus* proteus = GetProteus();
    return proteus && proteus->HasCapability(flag);
}

int ControllerPopup::BasicChannel()
{
    ParamRecord* r = GetParameter(MULTIMODE_BASIC_CHANNEL);
    return r && r->id == MULTIMODE_BASIC_CHANNEL ? r->value : 0;
}

int ControllerPopup::TriggerChannel()
{
    Proteus* proteus = GetProteus();
    const int channel = proteus ? proteus->GetBeatData().triggerChannel : -1;
    return channel == -1 ? BasicChannel() : channel;
}

bool ControllerPopup::RiffIsBeats()
{
    Proteus* proteus = GetProteus();
    return proteus && StartsWithBeats(proteus->GetBeatData().riffName);
}

ParamRecord* ControllerPopup::ControllerNumber(int row)
{
    Proteus* proteus = GetProteus();
    if (!proteus || row < 0 || row >= kControllerRows)
        return nullptr;
    ParamRecord* r = proteus->FindParameter(kNumberParameter[row]);
    return r && r->id == kNumberParameter[row] ? r : nullptr;
}

bool ControllerPopup::SendControlChange(int channel, int controller, int value)
{
    // A controller number of "Off", "Mpr" or "PWh" (-3 to -1), or any value
    // that is no data byte, would put a status byte into the message.
    if (!IsDataByte(controller) || !IsDataByte(value))
        return false;
    Proteus* proteus = GetProteus();
    if (!proteus)
        return false;
    const std::uint8_t packed[4] = {0xB0, std::uint8_t(controller), std::uint8_t(value), 0};
    ParamRecord message;
    Proteus::MakeShortMidiMsgParameter(channel, packed, &message);
    return proteus->ParameterEdit(&message);
}

bool ControllerPopup::SendTriggerNote(bool on, int channel, int key, int velocity)
{
    if (!IsDataByte(key) || !IsDataByte(velocity))
        return false;
    Proteus* proteus = GetProteus();
    if (!proteus)
        return false;
    const std::uint8_t packed[4] = {std::uint8_t(on ? 0x90 : 0x80), std::uint8_t(key), std::uint8_t(velocity), 0};
    ParamRecord message;
    Proteus::MakeShortMidiMsgParameter(channel, packed, &message);
    return proteus->ParameterEdit(&message);
}

// ------------------------------------------------------------------ window

void ControllerPopup::Activate()
{
    Refresh();
    UpdateBeatLabels();
    Popup::Activate();
}

void ControllerPopup::Refresh()
{
    ItemAs<ButtonCtrl>(UndoItem)->setEnabled(CanUndo());
    ItemAs<ButtonCtrl>(RedoItem)->setEnabled(CanRedo());
    if (auto* key = findChild<QAction*>(QStringLiteral("command%1").arg(cmd::Undo)))
        key->setEnabled(CanUndo());
    if (auto* key = findChild<QAction*>(QStringLiteral("command%1").arg(cmd::Redo)))
        key->setEnabled(CanRedo());

    // Both ways: a module with sixteen controllers connected later enables M to P again.
    const bool sixteen = HasCapability(CAP_16_CONTROLLERS);
    for (int i = 12; i < 16; ++i)
        Item(kControllerItems[i])->setEnabled(sixteen);

    const bool beats = HasCapability(CAP_ARPS_AND_BEATS);
    Proteus* proteus = GetProteus();
    const int triggerChannel = proteus ? proteus->GetBeatData().triggerChannel : -1;
    MidiPort* alt = GetAltPort();
    const bool reachable = triggerChannel < 16 || (alt && alt->IsOutputOpen());
    const bool usable = (beats && reachable && RiffIsBeats()) || GetGlobalConfigurations().GetBool(TestUI);
    for (int item : kTriggerItems)
        Item(item)->setEnabled(usable);
    for (int item : {int(BeatChannelItem), int(TriggerChannelItem), int(PresetNameItem), int(RiffNameItem),
                     int(BeatChannelStatic), int(TriggerChannelStatic)})
        if (QWidget* w = Item(item))
            w->setVisible(beats);
}

void ControllerPopup::OnCommand(int id)
{
    if (RunUndoRedoCommand(*this, id))
        return;
    Popup::OnCommand(id);
}

void ControllerPopup::SetControllerCaptions()
{
    std::map<QString, QString> names;
    GlobalResources* resources = TheGlobalResources();
    if (!resources || !resources->GetControllerNames(GetGlobalConfigurations().KeyName(), names))
        return;
    for (int row = 0; row < kControllerRows; ++row) {
        const QString letter = QString::fromUtf16(kLetters[row]);
        const auto found = names.find(letter);
        const QString caption = found != names.end() ? found->second : QString::fromUtf16(kLabels[row]);
        if (auto* w = qobject_cast<SelfDrawnControl*>(Item(kControllerItems[row])))
            w->SetCaption(caption);
    }
}

void ControllerPopup::UpdateBeatLabels()
{
    const int format = HasCapability(CAP_32_CHANNELS) ? vf::MidiChannelPortOrBasic : vf::MidiChannelOrBasic;
    if (ParamRecord* r = GetParameter(BEATS_CHANNEL); r && r->id == BEATS_CHANNEL)
        m_labels[0]->SetText(FormatValue(format, r->value));
    if (ParamRecord* r = GetParameter(BEATS_TRIGGER_CHANNEL); r && r->id == BEATS_TRIGGER_CHANNEL)
        m_labels[1]->SetText(FormatValue(format, r->value));
    if (Proteus* proteus = GetProteus()) {
        m_labels[2]->SetText(proteus->GetBeatData().presetName);
        m_labels[3]->SetText(proteus->GetBeatData().riffName);
    }
    Refresh();
}

void ControllerPopup::ClearTriggerDisplay()
{
    for (int id = kFirstTrigger; id <= kLastTrigger; ++id) {
        ParamRecord* r = OwnRecord(id);
        if (r->value != 1)
            continue;
        r->previousValue = 1;
        r->value = 0;
        if (ControlBase* c = ControlOfRecord(id)) {
            c->ParameterChanged(r);
            if (QWidget* w = c->GetControlWindow())
                w->update();
        }
    }
}

bool ControllerPopup::IsTriggerActive()
{
    for (int id = kFirstTrigger; id <= kLastTrigger; ++id)
        if (OwnRecord(id)->value == 1)
            return true;
    return false;
}

// ------------------------------------------------------------------ panel calls

void ControllerPopup::ResetControllers()
{
    Proteus* proteus = GetProteus();
    for (int id = CONTROLLER_A_CTRL; id <= CONTROLLER_PORTAMENTO_TIME_CTRL; ++id) {
        ParamRecord* r = OwnRecord(id);
        int reset = 0;
        if (id <= CONTROLLER_P_CTRL) {
            const int initialId = kInitialParameter[id - CONTROLLER_A_CTRL];
            ParamRecord* initial = proteus ? proteus->FindParameter(initialId) : nullptr;
            if (initial && initial->id == initialId) {
                const bool answered = RequestParameterValues(initial);
                // -1 ("Off": the preset sets no initial value) is no position
                // of the slider and no controller value: the controller starts at 0.
                if ((answered || GetGlobalConfigurations().GetBool(TestUI)) && IsDataByte(initial->value))
                    reset = initial->value;
            }
        } else if (id == CONTROLLER_EXPRESSION_CTRL) {
            reset = 127;
        }
        r->previousValue = r->value;
        r->value = reset;
        r->defaultValue = reset;
        if (proteus)
            proteus->DistributeParameterChanged(r);
    }
    ClearHistory();
}

void ControllerPopup::ReleaseTriggers()
{
    for (int id = kFirstTrigger; id <= kLastGroupTrigger; ++id) {
        ParamRecord* r = OwnRecord(id);
        if (r->value != 1)
            continue;
        r->previousValue = 1;
        r->value = 0;
        EditParameter(r);
    }
}

void ControllerPopup::SetControllerDisplay(int id, int value)
{
    ControlBase* c = ControlOfRecord(id);
    if (!c)
        return;
    if (id >= CONTROLLER_FS1_CTRL && id <= CONTROLLER_FS3_CTRL) {
        if (auto* s = dynamic_cast<SwitchCtrl*>(c)) {
            s->SetState(value >= 64);
            s->update();
        }
        return;
    }
    if (auto* t = dynamic_cast<TrackerLogic*>(c))
        t->SetPosition(value);
}

void ControllerPopup::ShowControlChange(int status, int controller, int value)
{
    Q_UNUSED(status);
    for (int row = 0; row < kControllerRows; ++row) {
        ParamRecord* number = ControllerNumber(row);
        if (number && number->value == controller) {
            SetControllerDisplay(CONTROLLER_A_CTRL + row, value);
            return;
        }
    }
    if (controller == kExpressionCc)
        SetControllerDisplay(CONTROLLER_EXPRESSION_CTRL, value);
    else if (controller == kModulationCc)
        SetControllerDisplay(CONTROLLER_MODULATION_CTRL, value);
    else if (controller == kPortamentoCc)
        SetControllerDisplay(CONTROLLER_PORTAMENTO_TIME_CTRL, value);
}

void ControllerPopup::ShowTriggerNote(int status, int note, int velocity)
{
    Q_UNUSED(velocity);
    Proteus* proteus = GetProteus();
    if (!proteus || TriggerChannel() != BasicChannel())
        return;
    const Proteus::BeatData& beats = proteus->GetBeatData();
    int layer = -1;
    for (int i = 0; i < 24; ++i)
        if (beats.layers[std::size_t(i)].triggerKey + beats.triggerOffset == note) {
            layer = i;
            break;
        }
    if (layer < 0 || layer > kLastTrigger - kFirstTrigger)
        return;
    const bool on = status >= 0x90;
    const int id = kFirstTrigger + layer;
    ControlBase* c = ControlOfRecord(id);
    if (id == TRIGGER_BEAT_CLEAR) {
        if (auto* clear = dynamic_cast<EditorTriggerButtonCtrl*>(c))
            clear->ShowHeld(on);
        if (on)
            ReleaseTriggers();
        return;
    }
    if (auto* s = dynamic_cast<SwitchCtrl*>(c)) {
        s->SetState(on);
        s->update();
    }
}

// ------------------------------------------------------------------ requests and edits

bool ControllerPopup::RequestParameterValues(ParamRecord* record)
{
    if (!record)
        return false;
    if (OwnRecord(record->id) == record)
        return true;
    return Popup::RequestParameterValues(record);
}

bool ControllerPopup::RequestParameterMinMax(ParamRecord* record)
{
    if (!record)
        return false;
    const int id = record->id;
    int maximum = -1;
    if (id >= CONTROLLER_A_CTRL && id <= CONTROLLER_P_CTRL)
        maximum = 127;
    else if ((id >= CONTROLLER_FS1_CTRL && id <= CONTROLLER_FS3_CTRL) || (id >= kFirstTrigger && id <= kLastTrigger))
        maximum = 1;
    else if (id >= CONTROLLER_MODULATION_CTRL && id <= CONTROLLER_PORTAMENTO_TIME_CTRL)
        maximum = 127;
    if (maximum < 0)
        return Popup::RequestParameterMinMax(record);
    // Only the range: the value and its default are what the last reset or
    // move left, so showing the popup shows the preset's initial values.
    record->minimum = 0;
    record->maximum = maximum;
    return true;
}

void ControllerPopup::EditOwn(int id)
{
    EditParameter(OwnRecord(id));
}

bool ControllerPopup::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    const int id = record->id;
    if (id == UNDO_PARAMETER_BUTTON) {
        if (CanUndo())
            Undo(true);
        return true;
    }
    if (id == REDO_PARAMETER_BUTTON) {
        if (CanRedo())
            Redo();
        return true;
    }
    if (id == RESET_CONTROLLERS_BUTTON) {
        ResetControllers();
        for (int c = CONTROLLER_A_CTRL; c <= CONTROLLER_PORTAMENTO_TIME_CTRL; ++c)
            EditOwn(c);
        ClearHistory();
        if (Proteus* proteus = GetProteus())
            proteus->DistributeParameterChanged(record);
        return true;
    }
    if (id >= kFirstTrigger && id <= kLastTrigger)
        return TriggerEdit(record);
    if (id == TRIGGER_VELOCITY)
        return true;
    if (!ApplyChange(record))
        return false;
    RecordChange(record);
    return true;
}

bool ControllerPopup::TriggerEdit(ParamRecord* record)
{
    Proteus* proteus = GetProteus();
    if (!proteus)
        return false;
    const int id = record->id;
    if (id != TRIGGER_BEAT_CLEAR && record->value == 1) {
        // A trigger stops the panel's audition.
        ParamRecord* audition = GetParameter(AUDITION_BUTTON);
        if (audition && audition->id == AUDITION_BUTTON && audition->value == 1 && GetParentListener()) {
            const ParamRecord before = *audition;
            audition->previousValue = 1;
            audition->value = 0;
            if (!GetParentListener()->EditParameter(audition))
                *audition = before; // refused: the panel's record stays as it was
        }
    }
    const int layer = id - kFirstTrigger;
    const Proteus::BeatData& beats = proteus->GetBeatData();
    const int key = beats.layers[std::size_t(layer)].triggerKey + beats.triggerOffset;
    const int latch = id == TRIGGER_BEAT_CLEAR ? 0 : beats.layers[std::size_t(layer)].latch;
    const int velocity = OwnRecord(TRIGGER_VELOCITY)->value;
    const int channel = TriggerChannel();
    if (latch == 1) {
        SendTriggerNote(true, channel, key, velocity);
        SendTriggerNote(false, channel, key, velocity);
    } else {
        SendTriggerNote(record->value == 1, channel, key, velocity);
    }
    proteus->DistributeParameterChanged(record);
    if (id == TRIGGER_BEAT_CLEAR && record->value == 1) {
        ReleaseTriggers();
        SendTriggerNote(false, channel, key, velocity);
    }
    return true;
}

bool ControllerPopup::ApplyChange(ParamRecord* record)
{
    const int id = record->id;
    if (id == START_UNDO || id == END_UNDO)
        return true;
    Proteus* proteus = GetProteus();
    if (id >= CONTROLLER_A_CTRL && id <= CONTROLLER_FS3_CTRL) {
        const int row = id - CONTROLLER_A_CTRL;
        ParamRecord* number = ControllerNumber(row);
        if (!number || !proteus)
            return true;
        const int value = id <= CONTROLLER_P_CTRL ? record->value : (record->value != 0 ? 127 : 0);
        SendControlChange(BasicChannel(), number->value, value);
        proteus->DistributeParameterChanged(record);
        return true;
    }
    if (id >= CONTROLLER_MODULATION_CTRL && id <= CONTROLLER_PORTAMENTO_TIME_CTRL) {
        const int cc = id == CONTROLLER_MODULATION_CTRL   ? kModulationCc
                       : id == CONTROLLER_EXPRESSION_CTRL ? kExpressionCc
                                                          : kPortamentoCc;
        SendControlChange(BasicChannel(), cc, record->value);
        return Popup::EditParameter(record);
    }
    return Popup::EditParameter(record);
}

void ControllerPopup::ParameterChanged(ParamRecord* record)
{
    if (!record)
        return;
    const int id = record->id;
    if (id == BEATS_CHANNEL || id == BEATS_TRIGGER_CHANNEL)
        UpdateBeatLabels();
    if (id == MULTIMODE_PRESET) {
        Proteus* proteus = GetProteus();
        const int basic = BasicChannel();
        const int beat = proteus ? proteus->GetBeatData().beatChannel : -1;
        if ((beat == -1 ? basic : beat) == basic) {
            UpdateBeatLabels();
            if (!RiffIsBeats())
                ClearTriggerDisplay();
        }
    }
    switch (id) {
    case BEAT_TRIGGER_KEY:
    case BEAT_TRIGGER_LATCH:
    case BEATS_VELOCITY:
    case BEATS_XPOSE:
    case BEATS_GROUP:
        if (Proteus* proteus = GetProteus()) {
            const int layer = proteus->GetCurrentLayer();
            if (layer >= 0 && layer <= kLastTrigger - kFirstTrigger) {
                ParamRecord* trigger = OwnRecord(kFirstTrigger + layer);
                if (trigger->value == 1) {
                    trigger->previousValue = 1;
                    trigger->value = 0;
                    ParameterChanged(trigger);
                }
            }
        }
        break;
    case BEATS_CHANNEL:
        if (!RiffIsBeats())
            ClearTriggerDisplay();
        break;
    case BEATS_TRIGGER_CHANNEL:
        ClearTriggerDisplay();
        Refresh();
        break;
    case BEATS_TRIGGER_OFFSET:
        ClearTriggerDisplay();
        break;
    case SETUP_RELOAD_NOTIFIER:
        SetControllerCaptions();
        break;
    default:
        break;
    }
    Popup::ParameterChanged(record);
}
