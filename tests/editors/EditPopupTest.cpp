// The preset editor against the simulated module, offscreen: every bound
// control shows the module's value, edits go out as parameter edit messages,
// the layer switch, capability gating, layer mutes, the save question and
// the save itself.
#include "PresetEditorFixture.h"

#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "sim/DumpHandlers.h"
#include "sim/Fault.h"

#include <QLabel>

#include <gtest/gtest.h>

using namespace presettest;

namespace {

/// A control elsewhere in the program that refuses every preset change.
class Veto : public ControlBase {
public:
    Veto() : ControlBase(nullptr) {}
    bool AllowParameterChange(ParamRecord* record) override { return !record || record->id != MULTIMODE_PRESET; }
};

} // namespace

TEST_F(PresetEditorTest, EveryTableControlIsBoundAndNoItemIsMissing)
{
    // 92 controls of the table plus the "Mute:" label, each an item of the form.
    const int items[] = {1022, 1023, 1034, 1036, 1035, 1020, 1018, 1203, 1204, 1205, 1206, 1050, 1041, 1043, 1051,
                         1039, 1044, 1046, 1017, 1019, 1037, 1040, 1042, 1045, 1112, 1111, 1109, 1110, 1113, 1114,
                         1115, 1117, 1116, 1119, 1118, 1120, 1026, 1024, 1025, 1028, 1027, 1031, 1029, 1030, 1033,
                         1032, 1098, 1097, 1038, 1053, 1048, 1003, 1054, 1021, 1081, 1082, 1083, 1084, 1085, 1086,
                         1087, 1088, 1091, 1092, 1089, 1090, 1093, 1094, 1095, 1096, 1049, 1067, 1068, 1078, 1069,
                         1070, 1072, 1071, 1052, 1080, 1077, 1079, 1073, 1074, 1076, 1075, 1056, 1057, 1013, 1055,
                         1014, 1047};
    EXPECT_EQ(std::size(items), 92u);
    for (int item : items) {
        QWidget* w = Item<QWidget>(item);
        ASSERT_NE(w, nullptr) << item;
        auto* c = dynamic_cast<ControlBase*>(w);
        ASSERT_NE(c, nullptr) << item;
        const auto controls = popup->Controls();
        EXPECT_NE(std::find(controls.begin(), controls.end(), c), controls.end()) << item;
    }
    // The envelopes take twelve records each, rates first.
    auto* venv = dynamic_cast<ControlBase*>(Item<QWidget>(1041));
    ASSERT_EQ(venv->ParameterCount(), 12u);
    EXPECT_EQ(venv->ParameterAt(0)->id, 1794);
    EXPECT_EQ(venv->ParameterAt(1)->id, 1800);
    EXPECT_EQ(venv->ParameterAt(6)->id, 1795);
    EXPECT_EQ(venv->ParameterAt(11)->id, 1805);
    auto* name = dynamic_cast<ControlBase*>(Item<QWidget>(1097));
    ASSERT_EQ(name->ParameterCount(), 12u);
    EXPECT_EQ(name->ParameterAt(0)->id, PRESET_NAME_CHAR_0 + 4);
    ASSERT_NE(Item<QLabel>(EditPopup::MuteLabelItem), nullptr);
}

TEST_F(PresetEditorTest, ShowsTheModulesValuesAndSendsEachEdit)
{
    struct Case {
        int item, param, value;
    };
    const Case cases[] = {
        {1050, LAYER_VOLUME, -7}, {1037, LAYER_FILT_Q, 40}, {1081, PRESET_CTRL_A, 33}, {1111, LAYER_TRANSPOSE, -5}};
    Open();
    for (const Case& c : cases) {
        auto* tracker = Item<TrackerCtrl>(c.item);
        ASSERT_NE(tracker, nullptr) << c.item;
        EXPECT_EQ(tracker->ParameterAt(0)->value, ModuleValue(c.param)) << c.item;
        tracker->SetPosition(c.value);
        EXPECT_TRUE(Sent(EditMessage(c.param, c.value))) << c.item;
        EXPECT_EQ(ModuleValue(c.param), c.value) << c.item;
    }
    EXPECT_TRUE(popup->IsModified());
    EXPECT_TRUE(Item<ButtonCtrl>(EditPopup::ApplyItem)->isEnabled());
    EXPECT_TRUE(Item<ButtonCtrl>(EditPopup::UndoItem)->isEnabled());
    EXPECT_TRUE(Item<ButtonCtrl>(EditPopup::UndoItem)->Caption().startsWith(QStringLiteral("Undo ")));

    // Undo sends the old value back.
    const int before = popup->UndoHistory().back().value;
    popup->OnCommand(57643);
    EXPECT_EQ(ModuleValue(LAYER_TRANSPOSE), before);
    EXPECT_TRUE(Item<ButtonCtrl>(EditPopup::RedoItem)->isEnabled());
}

TEST_F(PresetEditorTest, ChoosingALayerReloadsTheLayerControlsAndIsNoModification)
{
    SetModuleValue(LAYER_SELECT, 1);
    SetModuleValue(LAYER_VOLUME, -11);
    SetModuleValue(LAYER_SELECT, 0);
    SetModuleValue(LAYER_VOLUME, -2);
    Open();
    auto* volume = Item<TrackerCtrl>(1050);
    EXPECT_EQ(volume->ParameterAt(0)->value, -2);
    ParamRecord* layer = popup->GetParameter(LAYER_SELECT);
    layer->previousValue = layer->value;
    layer->value = 1;
    ASSERT_TRUE(popup->EditParameter(layer));
    EXPECT_EQ(volume->ParameterAt(0)->value, -11);
    EXPECT_FALSE(popup->IsModified());
    EXPECT_FALSE(Item<ButtonCtrl>(EditPopup::ApplyItem)->isEnabled());
}

TEST_F(PresetEditorTest, CapabilityGatingFollowsEachModuleBothWays)
{
    auto* arp = Item<QWidget>(EditPopup::PresetArpItem);
    auto* ctrlM = Item<QWidget>(EditPopup::FirstWideControllerItem);
    auto* mute = Item<QWidget>(EditPopup::FirstMuteItem);
    auto* muteLabel = Item<QWidget>(EditPopup::MuteLabelItem);

    proteus->SetCapabilities(CAP_TESTED);
    popup->Activate();
    EXPECT_TRUE(arp->isHidden());
    EXPECT_FALSE(ctrlM->isEnabled());
    EXPECT_TRUE(mute->isHidden());
    EXPECT_TRUE(muteLabel->isHidden());

    // A more capable module connected afterwards gets everything back.
    proteus->SetCapabilities(CAP_TESTED | CAP_16_CONTROLLERS | CAP_ARPS_AND_BEATS | CAP_SYSEX_DUMPS);
    popup->Activate();
    EXPECT_FALSE(arp->isHidden());
    EXPECT_TRUE(ctrlM->isEnabled());
    EXPECT_FALSE(mute->isHidden());
    EXPECT_FALSE(muteLabel->isHidden());
}

TEST_F(PresetEditorTest, EditTuningNeedsAUserTuningAndTuningDumps)
{
    struct Case {
        std::uint32_t caps;
        int tuning;
        bool enabled;
    };
    const Case cases[] = {{CAP_TUNING_DUMPS, 13, true}, {CAP_TUNING_DUMPS, 4, false}, {0, 13, false}};
    for (const Case& c : cases) {
        proteus->SetCapabilities(CAP_TESTED | c.caps);
        Open();
        ParamRecord* tune = popup->GetParameter(PRESET_KBD_TUNE);
        tune->previousValue = tune->value;
        tune->value = c.tuning;
        ASSERT_TRUE(popup->EditParameter(tune));
        EXPECT_EQ(Item<QWidget>(EditPopup::EditTuningItem)->isEnabled(), c.enabled) << c.tuning;
    }
}

TEST_F(PresetEditorTest, ChildPopupsNotYetInTheProgramKeepTheirSwitchesDisabled)
{
    EXPECT_NE(popup->ChildPopup(QStringLiteral("Tuning")), nullptr);
    for (const char* name : {"Splits", "LayerPatchCords", "PresetPatchCords", "PresetLinks", "PresetArp"}) {
        const bool present = popup->ChildPopup(QString::fromLatin1(name)) != nullptr;
        const int item = QString::fromLatin1(name) == QLatin1String("Splits")             ? EditPopup::SplitsItem
                         : QString::fromLatin1(name) == QLatin1String("LayerPatchCords")  ? EditPopup::LayerCordsItem
                         : QString::fromLatin1(name) == QLatin1String("PresetPatchCords") ? EditPopup::PresetCordsItem
                         : QString::fromLatin1(name) == QLatin1String("PresetLinks")      ? EditPopup::LinksItem
                                                                                          : EditPopup::PresetArpItem;
        EXPECT_EQ(Item<QWidget>(item)->isEnabled(), present) << name;
    }
}

TEST_F(PresetEditorTest, MutingALayerKeepsItsInstrumentAndUnmutingPutsItBack)
{
    const int instrument = 77;
    SetModuleValue(LAYER_SELECT, 1);
    SetModuleValue(LAYER_INSTRUMENT, instrument);
    SetModuleValue(LAYER_SELECT, 0);
    Open();
    ParamRecord* layer = popup->GetParameter(LAYER_SELECT);
    layer->previousValue = layer->value;
    layer->value = 1;
    ASSERT_TRUE(popup->EditParameter(layer));

    auto* muteSwitch = Item<LitButtonCtrl>(EditPopup::FirstMuteItem + 1);
    muteSwitch->Toggle();
    ParamRecord* mute = popup->OwnRecord(MUTELAYER2_BUTTON);
    EXPECT_EQ(mute->value, 0);
    EXPECT_EQ(mute->romId, instrument);
    EXPECT_EQ(ModuleValue(LAYER_INSTRUMENT), 0); // the module's layer is silent
    EXPECT_FALSE(Item<QWidget>(EditPopup::InstrumentItem)->isEnabled());
    ParamRecord* shown = popup->GetParameter(LAYER_INSTRUMENT);
    ASSERT_TRUE(popup->RequestParameterValues(shown));
    EXPECT_EQ(shown->value, instrument); // the editor shows the saved instrument
    EXPECT_FALSE(popup->IsModified());   // a mute is no edit of the preset

    muteSwitch->Toggle();
    EXPECT_EQ(mute->value, 1);
    EXPECT_EQ(mute->romId, 0);
    EXPECT_EQ(ModuleValue(LAYER_INSTRUMENT), instrument);
    EXPECT_TRUE(Item<QWidget>(EditPopup::InstrumentItem)->isEnabled());
}

TEST_F(PresetEditorTest, ALayerDumpTooShortForItsInstrumentIsNotChanged)
{
    SetModuleValue(LAYER_INSTRUMENT, 77);
    Open();
    // The layer section comes back cut after byte 12, still ended by F7.
    AddFault(sim::Fault::Truncate(13, true).on(0x11));
    auto* muteSwitch = Item<LitButtonCtrl>(EditPopup::FirstMuteItem);
    muteSwitch->Toggle();
    ParamRecord* mute = popup->OwnRecord(MUTELAYER1_BUTTON);
    EXPECT_EQ(mute->value, 1); // the switch shows the layer sounding, as it does
    EXPECT_EQ(mute->romId, 0);
    EXPECT_EQ(ModuleValue(LAYER_INSTRUMENT), 77);
    EXPECT_TRUE(link->withDevice([&](sim::Device&) { return sim::Dumps(*module).sectionUploads.empty(); }));
}

TEST_F(PresetEditorTest, APresetChangeWithEditsAsksFirst)
{
    Open();
    Item<TrackerCtrl>(1050)->SetPosition(-3);
    ASSERT_TRUE(popup->IsModified());
    ParamRecord preset(QStringLiteral("MULTIMODE_PRESET"), MULTIMODE_PRESET, 4);

    presenter->answers = {msgbox::IdCancel};
    EXPECT_FALSE(popup->AllowParameterChange(&preset));
    EXPECT_TRUE(popup->IsModified());

    presenter->answers = {msgbox::IdNo};
    EXPECT_TRUE(popup->AllowParameterChange(&preset));
    EXPECT_FALSE(popup->IsModified());
    EXPECT_EQ(popup->saveDialogs, 0);
    EXPECT_EQ(presenter->texts.size(), 2);
    EXPECT_EQ(presenter->texts.front(), QStringLiteral("Do you want to save the current settings to the module?"));

    // Unmodified: no question at all.
    EXPECT_TRUE(popup->AllowParameterChange(&preset));
    EXPECT_EQ(presenter->texts.size(), 2);
}

TEST_F(PresetEditorTest, ApplySavesIntoTheChosenPresetWithMutedLayersRestored)
{
    const int instrument = 77;
    SetModuleValue(LAYER_SELECT, 1);
    SetModuleValue(LAYER_INSTRUMENT, instrument);
    SetModuleValue(LAYER_SELECT, 0);
    Open();
    Item<TrackerCtrl>(1050)->SetPosition(-4);
    Item<LitButtonCtrl>(EditPopup::FirstMuteItem + 1)->Toggle();
    ASSERT_EQ(popup->OwnRecord(MUTELAYER2_BUTTON)->value, 0);

    // Cancel in the dialog or No to the overwrite question: nothing goes out.
    const std::size_t sentBefore = ToModule().size();
    popup->savePreset = -1;
    EXPECT_FALSE(popup->SavePreset());
    popup->savePreset = 3;
    presenter->answers = {msgbox::IdNo};
    EXPECT_FALSE(popup->SavePreset());
    EXPECT_EQ(ToModule().size(), sentBefore);
    EXPECT_TRUE(presenter->texts.back().startsWith(QStringLiteral("Are you sure you want to overwrite")));

    presenter->answers = {msgbox::IdYes};
    ASSERT_TRUE(popup->SavePreset());
    EXPECT_FALSE(popup->IsModified());
    EXPECT_EQ(popup->OwnRecord(MUTELAYER2_BUTTON)->value, 1);
    SetModuleValue(LAYER_SELECT, 1);
    EXPECT_EQ(ModuleValue(LAYER_INSTRUMENT), instrument);
    EXPECT_EQ(popup->GetParameter(MULTIMODE_PRESET)->value, 3);
}

TEST_F(PresetEditorTest, ARefusedPresetSelectionAfterASaveLeavesTheSharedRecordAsItWas)
{
    Open();
    ParamRecord* current = popup->GetParameter(MULTIMODE_PRESET);
    const int value = current->value;
    static Veto veto; // outlives the root listener that holds it
    root->AddControl(&veto);
    Item<TrackerCtrl>(1050)->SetPosition(-4);
    popup->savePreset = value + 2;
    presenter->answers = {msgbox::IdYes};
    popup->SavePreset();
    EXPECT_EQ(current->value, value);
}

TEST_F(PresetEditorTest, RandomiseIsRecordedButCannotBeUndone)
{
    Open();
    Item<ButtonCtrl>(EditPopup::RandomiseItem)->OnClicked();
    EXPECT_TRUE(popup->IsModified());
    EXPECT_FALSE(popup->CanUndo());
    Item<TrackerCtrl>(1050)->SetPosition(-6);
    EXPECT_TRUE(popup->CanUndo());
    popup->OnCommand(57643);
    EXPECT_FALSE(popup->CanUndo());
    EXPECT_TRUE(Item<ButtonCtrl>(EditPopup::ApplyItem)->isEnabled());
}

TEST_F(PresetEditorTest, TooltipEditIsOneUndoableStep)
{
    Open();
    popup->tipText = QStringLiteral("A warm pad");
    Item<ButtonCtrl>(EditPopup::EditTooltipItem)->OnClicked();
    EXPECT_EQ(popup->OwnRecord(EDIT_TOOLTIP)->text, QStringLiteral("A warm pad"));
    EXPECT_TRUE(popup->IsModified());
    popup->OnCommand(57643);
    EXPECT_EQ(popup->OwnRecord(EDIT_TOOLTIP)->text, QString());
}
