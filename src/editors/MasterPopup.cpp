#include "editors/MasterPopup.h"

#include "ui_MasterPopup.h"

#include "core/MessageBox.h"
#include "editors/MasterArpsPopup.h"
#include "module/Capabilities.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"

#include <QAction>

namespace {

enum class Kind { Tracker, Menu, Lamp, FxTracker, FxMenu };

// One bound control of the form: item, kind, parameter, value format, tooltip,
// and for menus the values offered (with "Other..." and an icon strip where asked).
struct Row {
    int item;
    Kind kind;
    int parameter;
    int format;
    int tooltip;
    NameMap& (*values)() = nullptr;
    bool other = false;
    int icons = 0;
};

const Row kRows[] = {
    {1039, Kind::Menu, MASTER_MIDI_MODE, vf::Number, 20481, &GetMasterMidiModeList},
    {1013, Kind::Lamp, MASTER_MIDI_MODE_CHANGE, vf::Number, 20482},
    {1082, Kind::Tracker, MASTER_MIDI_SYSEX_DELAY, vf::Milliseconds, 20484},
    {1087, Kind::Tracker, MASTER_BEND_RANGE, vf::SemitoneRange, 20485},
    {1088, Kind::Menu, MASTER_VEL_CURVE, vf::MasterVelocityCurve, 20486, &GetMasterVelocityCurveList, false, 164},
    {1040, Kind::Menu, MASTER_TRANSPOSE, vf::Number, 20487, &GetMasterTransposeNameList},
    {1038, Kind::Tracker, MASTER_TUNE, vf::FineTune, 20488},
    {1086, Kind::Tracker, MASTER_CLOCK_TEMPO, vf::ClockTempo, 20489},
    {1085, Kind::Tracker, MULTIMODE_TEMPO_CTRL_CHANNEL, vf::MidiChannel, 20490},
    {1076, Kind::Tracker, MASTER_MIDI_TEMPO_CONTROL_DOWN, vf::ControllerNumber, 20492},
    {1075, Kind::Tracker, MASTER_MIDI_TEMPO_CONTROL_UP, vf::ControllerNumber, 20491},
    {1067, Kind::Tracker, MASTER_MIDI_A_CONTROL, vf::Number, 20496},
    {1068, Kind::Tracker, MASTER_MIDI_B_CONTROL, vf::Number, 20497},
    {1069, Kind::Tracker, MASTER_MIDI_C_CONTROL, vf::Number, 20498},
    {1070, Kind::Tracker, MASTER_MIDI_D_CONTROL, vf::Number, 20499},
    {1071, Kind::Tracker, MASTER_MIDI_E_CONTROL, vf::Number, 20500},
    {1072, Kind::Tracker, MASTER_MIDI_F_CONTROL, vf::Number, 20501},
    {1073, Kind::Tracker, MASTER_MIDI_G_CONTROL, vf::Number, 20502},
    {1074, Kind::Tracker, MASTER_MIDI_H_CONTROL, vf::Number, 20503},
    {1083, Kind::Tracker, MASTER_MIDI_I_CONTROL, vf::Number, 20504},
    {1084, Kind::Tracker, MASTER_MIDI_J_CONTROL, vf::Number, 20505},
    {1077, Kind::Tracker, MASTER_MIDI_K_CONTROL, vf::Number, 20506},
    {1078, Kind::Tracker, MASTER_MIDI_L_CONTROL, vf::Number, 20507},
    {1092, Kind::Tracker, MASTER_MIDI_M_CONTROL, vf::Number, 20531},
    {1093, Kind::Tracker, MASTER_MIDI_N_CONTROL, vf::Number, 20532},
    {1094, Kind::Tracker, MASTER_MIDI_O_CONTROL, vf::Number, 20533},
    {1095, Kind::Tracker, MASTER_MIDI_P_CONTROL, vf::Number, 20534},
    {1079, Kind::Tracker, MASTER_MIDI_FS1_CONTROL, vf::Number, 20493},
    {1080, Kind::Tracker, MASTER_MIDI_FS2_CONTROL, vf::Number, 20494},
    {1081, Kind::Tracker, MASTER_MIDI_FS3_CONTROL, vf::Number, 20495},
    {1089, Kind::Menu, MASTER_OUTPUT_FORMAT, vf::Number, 20508, &GetMasterOutputFormatList},
    {1015, Kind::Lamp, DEEP_EDIT, vf::Number, 20509},
    {1090, Kind::Lamp, MASTER_QUICK_EDIT, vf::Number, 20510},
    {1016, Kind::Lamp, EDIT_ALL_LAYERS, vf::Number, 20511},
    {1014, Kind::Lamp, MASTER_MIDI_KNOB_OUT, vf::Number, 20512},
    {1012, Kind::Lamp, MASTER_FX_BYPASS, vf::Number, 20514},
    {1091, Kind::Tracker, MULTIMODE_FX_CTRL_CHANNEL, vf::MidiChannelOrMaster, 20513},
    {1048, Kind::FxMenu, MASTER_FX_A_ALGORITHM, vf::Number, 20515, &GetMasterFxaAlgorithmList},
    {1053, Kind::FxTracker, MASTER_FX_A_DECAY, vf::Number, 20517},
    {1054, Kind::FxTracker, MASTER_FX_A_HFDAMP, vf::Number, 20519},
    {1055, Kind::FxTracker, MASTER_FXB_SEND_FXA, vf::Number, 20521},
    {1049, Kind::FxMenu, MASTER_FX_B_ALGORITHM, vf::Number, 20516, &GetMasterFxbAlgorithmList},
    {1056, Kind::FxTracker, MASTER_FX_B_FEEDBACK, vf::Number, 20518},
    {1057, Kind::FxTracker, MASTER_FX_B_LFO_RATE, vf::Number, 20520},
    {1058, Kind::FxMenu, MASTER_FX_B_DELAY, vf::FiveMilliseconds, 20522, &GetLayerLfoRateList, true},
    {1059, Kind::FxTracker, MASTER_FX_A_MIX_SEND1, vf::Number, 20523},
    {1060, Kind::FxTracker, MASTER_FX_A_MIX_SEND2, vf::Number, 20525},
    {1061, Kind::FxTracker, MASTER_FX_A_MIX_SEND3, vf::Number, 20527},
    {1062, Kind::FxTracker, MASTER_FX_A_MIX_SEND4, vf::Number, 20529},
    {1063, Kind::FxTracker, MASTER_FX_B_MIX_SEND1, vf::Number, 20524},
    {1064, Kind::FxTracker, MASTER_FX_B_MIX_SEND2, vf::Number, 20526},
    {1065, Kind::FxTracker, MASTER_FX_B_MIX_SEND3, vf::Number, 20528},
    {1066, Kind::FxTracker, MASTER_FX_B_MIX_SEND4, vf::Number, 20530},
};

constexpr int kDeviceIdItem = 1351;
constexpr int kControllerMToP[] = {1092, 1093, 1094, 1095};
constexpr unsigned kUndoString = 303;
constexpr unsigned kRedoString = 304;

} // namespace

MasterPopup::MasterPopup(ControlListener* parent, QWidget* parentWnd, bool topLevel)
    : Popup(QStringLiteral("Master"), kTemplateId, topLevel, parent, parentWnd), UndoRedo(this),
      m_ui(std::make_unique<Ui::MasterPopup>()),
      m_undoRecord(QStringLiteral("UNDO_PARAMETER_BUTTON"), UNDO_PARAMETER_BUTTON, 0),
      m_redoRecord(QStringLiteral("REDO_PARAMETER_BUTTON"), REDO_PARAMETER_BUTTON, 0)
{
    for (ParamRecord* r : {&m_undoRecord, &m_redoRecord}) {
        r->minimum = 0;
        r->maximum = 1;
        r->readOnly = false;
        AddParameter(r);
    }
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Master Settings"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);
    BindControls();

    // The master arpeggiator: a child that sends its edits through this popup.
    m_masterArp = std::make_unique<MasterArpsPopup>(this, this);
    AddControl(m_masterArp.get());
    Refresh();
}

MasterPopup::~MasterPopup()
{
    if (m_arpSwitch)
        m_arpSwitch->ClosePopup();
    ForgetControls();
    m_masterArp.reset();
    DestroyPopup();
}

void MasterPopup::BindControls()
{
    const TriggerSet* master = &GetMasterTriggerSet();
    const bool wide = HasCapability(CAP_32_CHANNELS);
    for (const Row& row : kRows) {
        int format = row.format;
        if (row.parameter == MULTIMODE_TEMPO_CTRL_CHANNEL)
            format = wide ? vf::MidiChannelPort : vf::MidiChannel;
        else if (row.parameter == MULTIMODE_FX_CTRL_CHANNEL)
            format = wide ? vf::MidiChannelPortOrMaster : vf::MidiChannelOrMaster;
        ParamRecord* record = GetParameter(row.parameter);
        ControlBase* control = nullptr;
        switch (row.kind) {
        case Kind::Tracker:
        case Kind::FxTracker: {
            TrackerLogic* t = row.kind == Kind::Tracker ? static_cast<TrackerLogic*>(ItemAs<TrackerCtrl>(row.item))
                                                        : ItemAs<MasterFXTrackerCtrl>(row.item);
            t->SetOwner(this);
            t->BindParameter(master, format, record);
            t->Setup(row.tooltip, false, false, true, 4);
            control = t;
            break;
        }
        case Kind::Menu:
        case Kind::FxMenu: {
            MenuLogic* m = row.kind == Kind::Menu ? static_cast<MenuLogic*>(ItemAs<MenuCtrl>(row.item))
                                                  : ItemAs<MasterFXMenuCtrl>(row.item);
            m->SetOwner(this);
            m->BindParameter(master, format, record);
            m->Setup(row.other, row.icons, row.values ? &row.values() : nullptr, row.tooltip);
            control = m;
            break;
        }
        case Kind::Lamp: {
            auto* l = ItemAs<LitButtonCtrl>(row.item);
            l->SetOwner(this);
            l->BindParameter(master, format, record);
            l->Setup(3, row.tooltip);
            control = l;
            break;
        }
        }
        AddControl(control);
    }

    auto* deviceId = ItemAs<NumericEditCtrl>(kDeviceIdItem);
    deviceId->SetOwner(this);
    deviceId->SetControlWindow(deviceId);
    deviceId->SetToolTipId(20537);
    deviceId->BindParameter(master, vf::Number, GetParameter(MASTER_MIDI_ID));
    AddControl(deviceId);

    auto addButton = [this](int item, ParamRecord* record, int tooltip) {
        auto* b = ItemAs<ButtonCtrl>(item);
        b->SetOwner(this);
        b->BindParameter(nullptr, 0, record);
        b->Setup(tooltip);
        AddControl(b);
    };
    addButton(UndoItem, &m_undoRecord, 20535);
    addButton(RedoItem, &m_redoRecord, 20536);

    m_arpSwitch = ItemAs<PopupSwitchCtrl>(MasterArpItem);
    m_arpSwitch->SetOwner(this);
    m_arpSwitch->Setup(QStringLiteral("MasterArp"), 20483);
    AddControl(m_arpSwitch);
}

ControlBase* MasterPopup::ControlOf(int itemId) const
{
    QWidget* w = Item(itemId);
    return w ? FindControl(w) : nullptr;
}

bool MasterPopup::HasCapability(std::uint32_t flag)
{
    Proteus* proteus = GetProteus();
    return proteus && proteus->HasCapability(flag);
}

int MasterPopup::ValueOf(int id, int fallback)
{
    ParamRecord* r = GetParameter(id);
    return r && r->id == id ? r->value : fallback;
}

void MasterPopup::ChooseChannelFormats()
{
    const bool wide = HasCapability(CAP_32_CHANNELS);
    if (ControlBase* c = ControlOf(ControlChannelItem))
        c->SetValueFormat(wide ? vf::MidiChannelPort : vf::MidiChannel);
    if (ControlBase* c = ControlOf(FxCtrlItem))
        c->SetValueFormat(wide ? vf::MidiChannelPortOrMaster : vf::MidiChannelOrMaster);
}

// ------------------------------------------------------------------ window

void MasterPopup::Show(PopupListener* owner, const QString& title)
{
    if (!owner && m_arpSwitch)
        m_arpSwitch->ClosePopup();
    Popup::Show(owner, title);
    if (owner)
        Refresh();
}

void MasterPopup::OnClose()
{
    if (m_arpSwitch)
        m_arpSwitch->ClosePopup();
}

void MasterPopup::Activate()
{
    // Shown again when a module with arps and beats follows one without.
    m_arpSwitch->setVisible(HasCapability(CAP_ARPS_AND_BEATS));
    ChooseChannelFormats();
    Popup::Activate();
    Refresh();
}

void MasterPopup::Refresh()
{
    if (m_masterArp)
        m_masterArp->Refresh();

    const bool clockTempo = ValueOf(MASTER_CLOCK_TEMPO, 0) != 0;
    for (int item : {int(ControlChannelItem), int(TempoUpItem), int(TempoDownItem)})
        Item(item)->setEnabled(clockTempo);
    Item(QuickEditItem)->setEnabled(ValueOf(DEEP_EDIT, 0) == 0);
    Item(FxCtrlItem)->setEnabled(ValueOf(MASTER_MIDI_MODE, 0) == 2);

    auto* undo = ItemAs<ButtonCtrl>(UndoItem);
    auto* redo = ItemAs<ButtonCtrl>(RedoItem);
    undo->SetCaption(CanUndo() ? QStringLiteral("%1 %2").arg(LoadResourceString(kUndoString), GetUndoText())
                               : LoadResourceString(kUndoString));
    undo->setEnabled(CanUndo());
    redo->SetCaption(CanRedo() ? QStringLiteral("%1 %2").arg(LoadResourceString(kRedoString), GetRedoText())
                               : LoadResourceString(kRedoString));
    redo->setEnabled(CanRedo());
    if (auto* key = findChild<QAction*>(QStringLiteral("command%1").arg(cmd::Undo)))
        key->setEnabled(CanUndo());
    if (auto* key = findChild<QAction*>(QStringLiteral("command%1").arg(cmd::Redo)))
        key->setEnabled(CanRedo());

    // Controllers M to P exist only on modules with sixteen controllers; a
    // more capable module connected later enables them again.
    const bool sixteen = HasCapability(CAP_16_CONTROLLERS);
    for (int item : kControllerMToP)
        Item(item)->setEnabled(sixteen);
}

void MasterPopup::OnCommand(int id)
{
    if (RunUndoRedoCommand(*this, id))
        return;
    Popup::OnCommand(id);
}

// ------------------------------------------------------------------ edits

bool MasterPopup::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    if (record->id == UNDO_PARAMETER_BUTTON) {
        if (CanUndo())
            Undo(true);
        return true;
    }
    if (record->id == REDO_PARAMETER_BUTTON) {
        if (CanRedo())
            Redo();
        return true;
    }
    if (!ApplyChange(record))
        return false;
    RecordChange(record);
    return true;
}

bool MasterPopup::ApplyChange(ParamRecord* record)
{
    if (record->id == START_UNDO || record->id == END_UNDO)
        return true;
    return Popup::EditParameter(record);
}
