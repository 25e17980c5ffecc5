#include "editors/PresetPatchCordsPopup.h"

#include "ui_PresetPatchCordsPopup.h"

#include "editors/PatchCordRows.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/TriggerSets.h"

namespace {

// Each row's items: source menu, destination menu, amount slider.
constexpr int kRowItems[PresetPatchCordsPopup::kCordCount][3] = {
    {1023, 1024, 1027}, {1025, 1026, 1028}, {1029, 1030, 1031}, {1035, 1036, 1037},
    {1038, 1039, 1040}, {1041, 1042, 1043}, {1044, 1045, 1046}, {1047, 1048, 1049},
    {1050, 1051, 1052}, {1053, 1054, 1055}, {1056, 1057, 1058}, {1059, 1060, 1061},
};
constexpr int kFirstTooltip = 20591;

} // namespace

PresetPatchCordsPopup::PresetPatchCordsPopup(ControlListener* parent, QWidget* parentWnd)
    : Popup(QStringLiteral("PresetPatchCords"), kTemplateId, false, parent, parentWnd),
      m_ui(std::make_unique<Ui::PresetPatchCordsPopup>())
{
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Preset Patch Cords"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);

    BuildPatchCordRows(*this,
                       {.items = kRowItems,
                        .triggers = &GetPresetTriggerSet(),
                        .sources = &GetPresetCordSourceList(),
                        .destinations = &GetPresetCordDestinationList(),
                        .firstParameter = PRESET_CORD_0_SOURCE,
                        .firstTooltip = kFirstTooltip},
                       m_rows.data(), kCordCount);
}

PresetPatchCordsPopup::~PresetPatchCordsPopup()
{
    DestroyPopup();
    ForgetControls();
}
