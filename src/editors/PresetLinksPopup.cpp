#include "editors/PresetLinksPopup.h"

#include "ui_PresetLinksPopup.h"

#include "core/MessageBox.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"

namespace {

enum class Kind { Select, Slider, DelayMenu, OffButton };

struct LinkRow {
    int item;
    Kind kind;
    ParameterId parameter;
    int format;
    int tooltip;
};

// In the order the controls are set up and entered: link 1, then link 2.
constexpr LinkRow kRows[] = {
    {1054, Kind::Select, LINK_1_PRESET, vf::Number, 20351},
    {1056, Kind::Slider, LINK_1_VOLUME, vf::Number, 20352},
    {1055, Kind::Slider, LINK_1_PAN, vf::Number, 20353},
    {1057, Kind::Slider, LINK_1_TRANSPOSE, vf::Number, 20354},
    {1067, Kind::DelayMenu, LINK_1_DELAY, vf::FiveMilliseconds, 20355},
    {1058, Kind::Slider, LINK_1_KEY_LOW, vf::NoteName, 20357},
    {1059, Kind::Slider, LINK_1_KEY_HIGH, vf::NoteName, 20358},
    {1060, Kind::Slider, LINK_1_VEL_LOW, vf::Number, 20359},
    {1061, Kind::Slider, LINK_1_VEL_HIGH, vf::Number, 20360},
    {PresetLinksPopup::kLink1OffItem, Kind::OffButton, PRESET_LINK_1_OFF, vf::Number, 20356},
    {1062, Kind::Select, LINK_2_PRESET, vf::Number, 20361},
    {1064, Kind::Slider, LINK_2_VOLUME, vf::Number, 20362},
    {1063, Kind::Slider, LINK_2_PAN, vf::Number, 20363},
    {1065, Kind::Slider, LINK_2_TRANSPOSE, vf::Number, 20364},
    {1068, Kind::DelayMenu, LINK_2_DELAY, vf::FiveMilliseconds, 20365},
    {1066, Kind::Slider, LINK_2_KEY_LOW, vf::NoteName, 20367},
    {1093, Kind::Slider, LINK_2_KEY_HIGH, vf::NoteName, 20368},
    {1094, Kind::Slider, LINK_2_VEL_LOW, vf::Number, 20369},
    {1095, Kind::Slider, LINK_2_VEL_HIGH, vf::Number, 20370},
    {PresetLinksPopup::kLink2OffItem, Kind::OffButton, PRESET_LINK_2_OFF, vf::Number, 20366},
};

void MakeOffRecord(ParamRecord* r, const QString& name, ParameterId id)
{
    *r = ParamRecord(name, id, 0);
    r->minimum = 0;
    r->maximum = 1;
    r->defaultValue = 0;
    r->readOnly = false;
}

} // namespace

PresetLinksPopup::PresetLinksPopup(ControlListener* parent, QWidget* parentWnd)
    : Popup(QStringLiteral("PresetLinks"), kTemplateId, false, parent, parentWnd),
      m_ui(std::make_unique<Ui::PresetLinksPopup>())
{
    MakeOffRecord(&m_link1Off, QStringLiteral("PRESET_LINK_1_OFF"), PRESET_LINK_1_OFF);
    MakeOffRecord(&m_link2Off, QStringLiteral("PRESET_LINK_2_OFF"), PRESET_LINK_2_OFF);
    AddParameter(&m_link1Off);
    AddParameter(&m_link2Off);

    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Preset Links"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);

    const TriggerSet* triggers = &GetPresetTriggerSet();
    for (const LinkRow& row : kRows) {
        auto* control = dynamic_cast<ControlBase*>(Item(row.item));
        control->SetOwner(this);
        // The two link-off records are this popup's own; the rest are found up the chain.
        control->BindParameter(triggers, row.format, GetParameter(row.parameter));
        m_controls.push_back(control);
    }
    for (std::size_t i = 0; i < std::size(kRows); ++i) {
        const LinkRow& row = kRows[i];
        QWidget* widget = Item(row.item);
        switch (row.kind) {
        case Kind::Select:
            static_cast<SelectCtrl*>(widget)->Setup(
                1, false, true, QStringLiteral("PresetSelection"),
                LoadResourceString(row.parameter == LINK_1_PRESET ? kLink1Title : kLink2Title), row.tooltip);
            break;
        case Kind::Slider:
            static_cast<TrackerCtrl*>(widget)->Setup(row.tooltip, false, false, true, 4);
            break;
        case Kind::DelayMenu:
            static_cast<MenuCtrl*>(widget)->Setup(true, 0, &GetLayerLfoRateList(), row.tooltip);
            break;
        case Kind::OffButton:
            static_cast<ButtonCtrl*>(widget)->Setup(row.tooltip);
            break;
        }
        AddControl(m_controls[i]);
    }
}

PresetLinksPopup::~PresetLinksPopup()
{
    DestroyPopup();
    ForgetControls();
}

ControlBase* PresetLinksPopup::Control(int item) const
{
    for (std::size_t i = 0; i < std::size(kRows); ++i)
        if (kRows[i].item == item)
            return m_controls[i];
    return nullptr;
}

ButtonCtrl* PresetLinksPopup::OffButton(int link) const
{
    return ItemAs<ButtonCtrl>(link == 1 ? kLink1OffItem : kLink2OffItem);
}

void PresetLinksPopup::Refresh()
{
    const std::pair<ParameterId, int> links[] = {{LINK_1_PRESET, kLink1OffItem}, {LINK_2_PRESET, kLink2OffItem}};
    for (const auto& [presetId, item] : links) {
        ParamRecord* preset = GetParameter(presetId);
        if (!preset || preset->id != presetId)
            continue; // not known: the button stays as it is
        if (QWidget* button = Item(item))
            button->setEnabled(preset->value != -1);
    }
}

void PresetLinksPopup::Activate()
{
    Popup::Activate();
    Refresh();
}

void PresetLinksPopup::ParameterChanged(ParamRecord* record)
{
    Refresh();
    Popup::ParameterChanged(record);
}

bool PresetLinksPopup::EditParameter(ParamRecord* record)
{
    if (record && record->id == PRESET_LINK_1_OFF)
        if (ParamRecord* preset = GetParameter(LINK_1_PRESET); preset && preset->id == LINK_1_PRESET)
            return SwitchLinkOff(LINK_1_PRESET);
    if (record && record->id == PRESET_LINK_2_OFF)
        if (ParamRecord* preset = GetParameter(LINK_2_PRESET); preset && preset->id == LINK_2_PRESET)
            return SwitchLinkOff(LINK_2_PRESET);
    return Popup::EditParameter(record);
}

bool PresetLinksPopup::SwitchLinkOff(ParameterId presetId)
{
    ParamRecord* preset = GetParameter(presetId);
    const ParamRecord before = *preset;
    preset->previousValue = preset->value;
    preset->value = -1;
    preset->previousRomId = preset->romId;
    preset->romId = 0;
    const bool done = EditParameter(preset);
    if (!done) {
        // Refused (a save question answered Cancel, no module): the shared
        // record keeps what the module still has.
        preset->CopyValues(before);
        Refresh();
    }
    return done;
}
