#include "editors/SplitsPopup.h"

#include "ui_SplitsPopup.h"

#include "module/ParameterIds.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/TrackerCtrl.h"

namespace {

struct SliderRow {
    int item;
    ParameterId parameter;
    int format;
    int tooltip;
};

// Key limits read as note names; fades, velocities and controller values as numbers.
constexpr SliderRow kSliders[SplitsPopup::kSliderCount] = {
    {1096, LAYER_KEY_LOW, vf::NoteName, 20651},      {1098, LAYER_KEY_LOWFADE, vf::Number, 20652},
    {1099, LAYER_KEY_HIGH, vf::NoteName, 20653},     {1100, LAYER_KEY_HIGHFADE, vf::Number, 20654},
    {1101, LAYER_VEL_LOW, vf::Number, 20655},        {1102, LAYER_VEL_LOWFADE, vf::Number, 20656},
    {1103, LAYER_VEL_HIGH, vf::Number, 20657},       {1104, LAYER_VEL_HIGHFADE, vf::Number, 20658},
    {1105, LAYER_RT_LOW, vf::Number, 20659},         {1106, LAYER_RT_LOWFADE, vf::Number, 20660},
    {1107, LAYER_RT_HIGH, vf::Number, 20661},        {1108, LAYER_RT_HIGHFADE, vf::Number, 20662},
};

} // namespace

SplitsPopup::SplitsPopup(ControlListener* parent, QWidget* parentWnd)
    : Popup(QStringLiteral("Splits"), kTemplateId, false, parent, parentWnd), m_ui(std::make_unique<Ui::SplitsPopup>())
{
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Layer Splits"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);

    for (std::size_t i = 0; i < std::size(kSliders); ++i) {
        TrackerCtrl* slider = ItemAs<TrackerCtrl>(kSliders[i].item);
        slider->SetOwner(this);
        slider->BindParameter(&GetLayerTriggerSet(), kSliders[i].format, GetParameter(kSliders[i].parameter));
        m_sliders[i] = slider;
    }
    for (std::size_t i = 0; i < std::size(kSliders); ++i) {
        m_sliders[i]->Setup(kSliders[i].tooltip, false, false, true, 4);
        AddControl(m_sliders[i]);
    }
}

SplitsPopup::~SplitsPopup()
{
    DestroyPopup();
    ForgetControls();
}
