#include "editors/PresetPatchCordsPopup.h"

#include "ui_PresetPatchCordsPopup.h"

#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"

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

    const TriggerSet* triggers = &GetPresetTriggerSet();
    for (int r = 0; r < kCordCount; ++r) {
        CordRow& row = m_rows[std::size_t(r)];
        row.source = ItemAs<MenuCtrl>(kRowItems[r][0]);
        row.destination = ItemAs<MenuCtrl>(kRowItems[r][1]);
        row.amount = ItemAs<TrackerCtrl>(kRowItems[r][2]);
        const ParameterId first = PRESET_CORD_0_SOURCE + 3 * r;
        ControlBase* controls[3] = {row.source, row.destination, row.amount};
        for (int c = 0; c < 3; ++c) {
            controls[c]->SetOwner(this);
            controls[c]->BindParameter(triggers, vf::Number, GetParameter(first + c));
        }
    }
    for (int r = 0; r < kCordCount; ++r) {
        const CordRow& row = m_rows[std::size_t(r)];
        const int tip = kFirstTooltip + 3 * r;
        SetupCordRow(row.source, row.destination, row.amount, tip, tip + 1, tip + 2);
    }
}

PresetPatchCordsPopup::~PresetPatchCordsPopup()
{
    DestroyPopup();
    ForgetControls();
}

void PresetPatchCordsPopup::SetupCordRow(MenuCtrl* source, MenuCtrl* destination, TrackerCtrl* amount, int sourceTip,
                                         int destinationTip, int amountTip)
{
    source->Setup(false, 0, &GetPresetCordSourceList(), sourceTip);
    AddControl(source);
    destination->Setup(false, 0, &GetPresetCordDestinationList(), destinationTip);
    AddControl(destination);
    amount->Setup(amountTip, false, false, true, 4);
    AddControl(amount);
}
