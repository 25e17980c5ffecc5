#include "editors/MasterArpsPopup.h"

#include "ui_MasterArpsPopup.h"

#include "core/MessageBox.h"
#include "core/ObjectKind.h"
#include "editors/BeatEditPopup.h"
#include "module/Capabilities.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"

namespace {

enum class Kind { Tracker, Menu, Lamp };

struct Row {
    int item;
    Kind kind;
    int parameter;
    int format;
    int tooltip;
    NameMap& (*values)() = nullptr;
};

// The controls in the order they are set up and entered.
const Row kRows[] = {
    {1164, Kind::Lamp, MASTER_ARP_STATUS, vf::Number, 20431},
    {1165, Kind::Menu, MASTER_ARP_MODE, vf::Number, 20432, &GetPresetArpModeList},
    {1167, Kind::Menu, MASTER_ARP_NOTE, vf::Number, 20441, &GetPresetArpNoteList},
    {1168, Kind::Tracker, MASTER_ARP_VEL, vf::VelocityOrPlayed, 20437},
    {1169, Kind::Tracker, MASTER_ARP_GATE_TIME, vf::Percent, 20438},
    {1170, Kind::Tracker, MASTER_ARP_EXT_COUNT, vf::Number, 20447},
    {1171, Kind::Tracker, MASTER_ARP_EXT_INT, vf::Number, 20448},
    {1172, Kind::Menu, MASTER_ARP_SYNC, vf::Number, 20442, &GetPresetArpSync2List},
    {1173, Kind::Menu, MASTER_ARP_PREDELAY, vf::Number, 20434, &GetPresetArpDurationList},
    {1175, Kind::Menu, MASTER_ARP_DURATION, vf::PresetArpDuration, 20435, &GetPresetArpDurationList},
    {1176, Kind::Menu, MASTER_ARP_RECYCLE, vf::Number, 20443, &GetPresetArpRecycleList},
    {1178, Kind::Lamp, MASTER_ARP_KBD_THRU, vf::Number, 20444},
    {1177, Kind::Lamp, MASTER_ARP_LATCH, vf::Number, 20445},
    {1180, Kind::Tracker, MASTER_ARP_KR_LOW, vf::NoteName, 20440},
    {1179, Kind::Tracker, MASTER_ARP_KR_HIGH, vf::NoteName, 20450},
    {1182, Kind::Menu, MASTER_ARP_PATTERN_SPEED, vf::Number, 20446, &GetArpSpeedList},
    {1183, Kind::Menu, MASTER_ARP_XMIT_MIDI, vf::Number, 20439, &GetArpXmitMidiList},
    {1181, Kind::Menu, MASTER_ARP_SONG_START, vf::Number, 20449, &GetMasterArpSongStartList},
    {1174, Kind::Menu, MASTER_ARP_POSTDELAY, vf::Number, 20436, &GetPresetArpDurationList},
    {1184, Kind::Menu, BEATS_MODE, vf::Number, 20451, &GetBeatModeList},
    // The captions of these two are crossed over with their parameters, as the module's own panel has them.
    {1187, Kind::Lamp, BEATS_IGNORE_TEMPO, vf::Number, 20454},
    {1188, Kind::Lamp, BEATS_IGNORE_CONTROLLERS, vf::Number, 20453},
    {1189, Kind::Tracker, BEATS_CHANNEL, vf::MidiChannelOrBasic, 20455},
    {1190, Kind::Tracker, BEATS_TRIGGER_CHANNEL, vf::MidiChannelOrBasic, 20456},
    {1191, Kind::Tracker, BEATS_TRIGGER_OFFSET, vf::Number, 20457},
};

constexpr unsigned kArpSelectTitle = 167;
constexpr unsigned kRiffSelectTitle = 171;

} // namespace

MasterArpsPopup::MasterArpsPopup(ControlListener* parent, QWidget* parentWnd)
    : Popup(QStringLiteral("MasterArp"), kTemplateId, false, parent, parentWnd),
      m_ui(std::make_unique<Ui::MasterArpsPopup>())
{
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Master Arps and Beats Settings"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);
    BindControls();

    // The beat editor: a child that sends its edits through this popup.
    m_beatEditor = std::make_unique<BeatEditPopup>(this, this);
    AddControl(m_beatEditor.get());
}

MasterArpsPopup::~MasterArpsPopup()
{
    if (m_beatSwitch)
        m_beatSwitch->ClosePopup();
    ForgetControls();
    m_beatEditor.reset();
    DestroyPopup();
}

int MasterArpsPopup::ChannelFormat()
{
    Proteus* proteus = GetProteus();
    return proteus && proteus->HasCapability(CAP_32_CHANNELS) ? vf::MidiChannelPortOrBasic : vf::MidiChannelOrBasic;
}

void MasterArpsPopup::BindControls()
{
    const TriggerSet* master = &GetMasterTriggerSet();
    const int channelFormat = ChannelFormat();
    auto bindRow = [&](const Row& row) {
        const int format =
            (row.parameter == BEATS_CHANNEL || row.parameter == BEATS_TRIGGER_CHANNEL) ? channelFormat : row.format;
        ParamRecord* record = GetParameter(row.parameter);
        ControlBase* control = nullptr;
        if (row.kind == Kind::Tracker) {
            auto* t = ItemAs<TrackerCtrl>(row.item);
            t->SetOwner(this);
            t->BindParameter(master, format, record);
            t->Setup(row.tooltip, false, false, true, 4);
            control = t;
        } else if (row.kind == Kind::Menu) {
            auto* m = ItemAs<MenuCtrl>(row.item);
            m->SetOwner(this);
            m->BindParameter(master, format, record);
            m->Setup(false, 0, row.values ? &row.values() : nullptr, row.tooltip);
            control = m;
        } else {
            auto* l = ItemAs<LitButtonCtrl>(row.item);
            l->SetOwner(this);
            l->BindParameter(master, format, record);
            l->Setup(2, row.tooltip);
            control = l;
        }
        AddControl(control);
    };
    auto bindSelect = [&](int item, int parameter, int kind, const QString& popup, unsigned title, int tooltip) {
        auto* s = ItemAs<SelectCtrl>(item);
        s->SetOwner(this);
        s->BindParameter(master, vf::Number, GetParameter(parameter));
        s->Setup(kind, false, false, popup, LoadResourceString(title), tooltip);
        AddControl(s);
    };

    for (const Row& row : kRows) {
        bindRow(row);
        if (row.item == 1165)
            bindSelect(PatternItem, MASTER_ARP_PATTERN, OBJECT_ARP, QStringLiteral("ArpSelection"), kArpSelectTitle,
                       20433);
        if (row.item == 1184)
            bindSelect(RiffItem, MASTER_BEATS_RIFF_NDX, OBJECT_RIFF, QStringLiteral("RiffSelection"),
                       kRiffSelectTitle, 20452);
    }

    m_beatSwitch = ItemAs<PopupSwitchCtrl>(BeatEditorItem);
    m_beatSwitch->SetOwner(this);
    m_beatSwitch->Setup(QStringLiteral("BeatEdit"), 20458);
    AddControl(m_beatSwitch);
}

ControlBase* MasterArpsPopup::ControlOf(int itemId) const
{
    QWidget* w = Item(itemId);
    return w ? FindControl(w) : nullptr;
}

void MasterArpsPopup::CloseChildren()
{
    // A selection list open for another control stays where it is.
    if (auto* pattern = ItemAs<SelectCtrl>(PatternItem); pattern->IsOpen())
        pattern->ClosePopup();
    m_beatSwitch->ClosePopup();
    if (auto* riff = ItemAs<SelectCtrl>(RiffItem); riff->IsOpen())
        riff->ClosePopup();
}

void MasterArpsPopup::Show(PopupListener* owner, const QString& title)
{
    if (!owner)
        CloseChildren();
    Popup::Show(owner, title);
}

void MasterArpsPopup::OnClose()
{
    CloseChildren();
}

void MasterArpsPopup::Activate()
{
    Popup::Activate();
    Proteus* proteus = GetProteus();
    // Both ways: a module with arps and beats connected after one without shows the switch again.
    m_beatSwitch->setVisible(proteus && proteus->HasCapability(CAP_ARPS_AND_BEATS));
    const int format = ChannelFormat();
    ControlOf(BeatChannelItem)->SetValueFormat(format);
    ControlOf(TriggerChannelItem)->SetValueFormat(format);
}
