#include "editors/PresetArpPopup.h"

#include "ui_PresetArpPopup.h"

#include "core/MessageBox.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"

namespace {

enum class Kind { Lamp, Menu, Select, Slider };

struct ArpRow {
    int item;
    Kind kind;
    ParameterId parameter;
    int format;
    NameMap& (*values)(); ///< a menu's values
    int tooltip;
};

constexpr int kLampLeft = 2;

// In the order the controls are set up and entered.
const ArpRow kRows[] = {
    {1164, Kind::Lamp, PRESET_ARP_STATUS, vf::Number, nullptr, 20561},
    {1165, Kind::Menu, PRESET_ARP_MODE, vf::Number, &GetPresetArpModeList, 20562},
    {1166, Kind::Select, PRESET_ARP_PATTERN, vf::Number, nullptr, 20563},
    {1167, Kind::Menu, PRESET_ARP_NOTE, vf::Number, &GetPresetArpNoteList, 20570},
    {1168, Kind::Slider, PRESET_ARP_VEL, vf::VelocityOrPlayed, nullptr, 20567},
    {1169, Kind::Slider, PRESET_ARP_GATE_TIME, vf::Percent, nullptr, 20568},
    {1170, Kind::Slider, PRESET_ARP_EXT_COUNT, vf::Number, nullptr, 20576},
    {1171, Kind::Slider, PRESET_ARP_EXT_INT, vf::Number, nullptr, 20577},
    {1172, Kind::Menu, PRESET_ARP_SYNC, vf::Number, &GetPresetArpSync2List, 20571},
    {1173, Kind::Menu, PRESET_ARP_PREDELAY, vf::Number, &GetPresetArpDurationList, 20564},
    {1175, Kind::Menu, PRESET_ARP_DURATION, vf::PresetArpDuration, &GetPresetArpDurationList, 20565},
    {1176, Kind::Menu, PRESET_ARP_RECYCLE, vf::Number, &GetPresetArpRecycleList, 20572},
    {1178, Kind::Lamp, PRESET_ARP_KBD_THRU, vf::Number, nullptr, 20573},
    {1177, Kind::Lamp, PRESET_ARP_LATCH, vf::Number, nullptr, 20574},
    {1180, Kind::Slider, PRESET_ARP_KR_LOW, vf::NoteName, nullptr, 20569},
    {1179, Kind::Slider, PRESET_ARP_KR_HIGH, vf::NoteName, nullptr, 20578},
    {1182, Kind::Menu, PRESET_ARP_PATTERN_SPEED, vf::Number, &GetArpSpeedList, 20575},
    {1174, Kind::Menu, PRESET_ARP_POSTDELAY, vf::Number, &GetPresetArpDurationList, 20566},
};

} // namespace

PresetArpPopup::PresetArpPopup(ControlListener* parent, QWidget* parentWnd)
    : Popup(QStringLiteral("PresetArp"), kTemplateId, false, parent, parentWnd),
      m_ui(std::make_unique<Ui::PresetArpPopup>())
{
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Preset Arpeggiator Settings"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);

    const TriggerSet* triggers = &GetPresetTriggerSet();
    for (const ArpRow& row : kRows) {
        auto* control = dynamic_cast<ControlBase*>(Item(row.item));
        control->SetOwner(this);
        control->BindParameter(triggers, row.format, GetParameter(row.parameter));
        m_controls.push_back(control);
    }
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const ArpRow& row = kRows[i];
        QWidget* widget = Item(row.item);
        switch (row.kind) {
        case Kind::Lamp:
            static_cast<LitButtonCtrl*>(widget)->Setup(kLampLeft, row.tooltip);
            break;
        case Kind::Menu:
            static_cast<MenuCtrl*>(widget)->Setup(false, 0, &row.values(), row.tooltip);
            break;
        case Kind::Select:
            m_pattern = static_cast<SelectCtrl*>(widget);
            m_pattern->Setup(3, false, true, QStringLiteral("ArpSelection"), LoadResourceString(kPatternTitle),
                             row.tooltip);
            break;
        case Kind::Slider:
            static_cast<TrackerCtrl*>(widget)->Setup(row.tooltip, false, false, true, 4);
            break;
        }
        AddControl(m_controls[i]);
    }
}

PresetArpPopup::~PresetArpPopup()
{
    DestroyPopup();
    ForgetControls();
}

ControlBase* PresetArpPopup::Control(int item) const
{
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (kRows[i].item == item)
            return m_controls[i];
    return nullptr;
}

void PresetArpPopup::Show(PopupListener* owner, const QString& title)
{
    if (!owner && m_pattern)
        m_pattern->ClosePopup();
    Popup::Show(owner, title);
}

void PresetArpPopup::OnClose()
{
    if (m_pattern)
        m_pattern->ClosePopup();
}
