// The preset editor's child popups against the simulated module, each under
// a parent listener that sends to the module and keeps the undo history as
// the preset editor does: each opens showing the module's values, an edit of
// each kind of control reaches the module as a parameter edit, the parent's
// Undo and Redo put the module's value back and forth, and the controls
// follow the editor's preset and layer. Also: the links' off buttons (and a
// refused link-off, which leaves the link as it was), the arpeggiator's
// pattern list closed with the popup, and the layer cords' scrolling.
#include "ChildPopupFixture.h"

#include "editors/LayerPatchCordsPopup.h"
#include "editors/PresetArpPopup.h"
#include "editors/PresetLinksPopup.h"
#include "editors/PresetPatchCordsPopup.h"
#include "editors/SplitsPopup.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"

#include <QScrollArea>
#include <QScrollBar>

#include <gtest/gtest.h>

using namespace childpopuptest;

namespace {

template <class P> class PopupTest : public ChildPopupTest {
protected:
    void DropPopups() override { popup.reset(); }
    void Open(const QString& title = QString())
    {
        popup = Make<P>();
        popup->Show(&owner, title);
    }
    std::unique_ptr<P> popup;
};

// ------------------------------------------------------------------ splits

using SplitsTest = PopupTest<SplitsPopup>;

TEST_F(SplitsTest, OpensShowingTheLayersSplitsKeysAsNoteNames)
{
    SetModule(LAYER_KEY_LOW, 36);
    SetModule(LAYER_KEY_HIGHFADE, 12);
    SetModule(LAYER_VEL_HIGH, 100);
    SetModule(LAYER_RT_LOW, 5);
    Open();
    EXPECT_EQ(popup->Name(), QStringLiteral("Splits"));
    EXPECT_EQ(root->FindPopup(QStringLiteral("Splits")), popup.get());
    EXPECT_EQ(popup->Slider(0)->Value(), 36);
    EXPECT_EQ(popup->Slider(0)->ValueText(), QStringLiteral("C1"));
    EXPECT_EQ(popup->Slider(2)->ValueText(), QStringLiteral("G8")); // the module's high key, 127
    EXPECT_EQ(popup->Slider(3)->ValueText(), QStringLiteral("12"));
    EXPECT_EQ(popup->Slider(6)->ValueText(), QStringLiteral("100"));
    EXPECT_EQ(popup->Slider(8)->Value(), 5);
    EXPECT_EQ(popup->GetToolTipText(1096), QStringLiteral("The low keyboard limit"));
    EXPECT_EQ(popup->GetToolTipText(1108), QStringLiteral("The amount of fade beyond the high real-time limit"));
}

TEST_F(SplitsTest, EverySliderEditsItsParameterOnTheModule)
{
    Open();
    const int ids[12] = {1413, 1414, 1415, 1416, 1417, 1418, 1419, 1420, 1421, 1422, 1423, 1424};
    for (int i = 0; i < 12; ++i) {
        popup->Slider(i)->SetValue(40 + i);
        ASSERT_FALSE(Edits().empty());
        EXPECT_EQ(Edits().back(), Edit(ids[i], 40 + i)) << i;
        EXPECT_EQ(ModuleValue(ids[i]), 40 + i) << i;
    }
    // LAYER_KEY_LOW (1413 = 0B 05) to 40.
    EXPECT_EQ(EditMessages().front(), QStringLiteral("F0 18 0F 00 55 01 02 05 0B 28 00 F7"));
    EXPECT_EQ(root->UndoHistory().size(), 12u);
}

TEST_F(SplitsTest, TheParentsUndoAndRedoPutTheModulesValueBack)
{
    SetModule(LAYER_VEL_LOW, 10);
    Open();
    popup->Slider(4)->SetValue(64);
    ASSERT_EQ(ModuleValue(LAYER_VEL_LOW), 64);
    root->Undo();
    EXPECT_EQ(ModuleValue(LAYER_VEL_LOW), 10);
    EXPECT_EQ(popup->Slider(4)->Value(), 10);
    root->Redo();
    EXPECT_EQ(ModuleValue(LAYER_VEL_LOW), 64);
    EXPECT_EQ(popup->Slider(4)->Value(), 64);
}

TEST_F(SplitsTest, ChoosingAnotherLayerReloadsEverySlider)
{
    for (int i = 0; i < 12; ++i)
        link->withDevice([&](sim::Device&) { module->setParameterValueAt(LAYER_KEY_LOW + i, {2}, 70 + i); });
    Open();
    ASSERT_EQ(popup->Slider(0)->Value(), 0);
    Select(LAYER_SELECT, 2);
    for (int i = 0; i < 12; ++i)
        EXPECT_EQ(popup->Slider(i)->Value(), 70 + i) << i;
}

// ------------------------------------------------------------------ preset arpeggiator

class PresetArpTest : public PopupTest<PresetArpPopup> {
protected:
    template <class C> C* Ctrl(int item) { return dynamic_cast<C*>(popup->Control(item)); }
};

TEST_F(PresetArpTest, OpensShowingThePresetsArpSettings)
{
    SetModule(PRESET_ARP_STATUS, 1);
    SetModule(PRESET_ARP_MODE, 2);
    SetModule(PRESET_ARP_VEL, 0);
    SetModule(PRESET_ARP_GATE_TIME, 50);
    SetModule(PRESET_ARP_KR_HIGH, 72);
    Open();
    EXPECT_EQ(popup->Name(), QStringLiteral("PresetArp"));
    EXPECT_TRUE(Ctrl<LitButtonCtrl>(1164)->IsOn());
    EXPECT_FALSE(Ctrl<LitButtonCtrl>(1177)->IsOn());
    EXPECT_TRUE(Ctrl<MenuCtrl>(1165)->Text().endsWith(LookUpName(GetPresetArpModeList(), 2)))
        << Ctrl<MenuCtrl>(1165)->Text().toStdString();
    EXPECT_EQ(Ctrl<TrackerCtrl>(1168)->ValueText(), QStringLiteral("Played"));
    EXPECT_EQ(Ctrl<TrackerCtrl>(1169)->Value(), 50);
    EXPECT_EQ(Ctrl<TrackerCtrl>(1179)->ValueText(), QStringLiteral("C4"));
    EXPECT_EQ(popup->GetToolTipText(1174), QStringLiteral("The post-delay of the pattern"));
}

TEST_F(PresetArpTest, EachKindOfControlEditsItsParameterOnTheModule)
{
    Open();
    Ctrl<LitButtonCtrl>(1178)->Toggle();
    EXPECT_EQ(Edits().back(), Edit(PRESET_ARP_KBD_THRU, 1));
    Ctrl<MenuCtrl>(1182)->Choose(-2);
    EXPECT_EQ(Edits().back(), Edit(PRESET_ARP_PATTERN_SPEED, -2));
    EXPECT_EQ(EditMessages().back(), QStringLiteral("F0 18 0F 00 55 01 02 11 08 7E 7F F7"));
    Ctrl<TrackerCtrl>(1170)->SetValue(3);
    EXPECT_EQ(Edits().back(), Edit(PRESET_ARP_EXT_COUNT, 3));
    Ctrl<SelectCtrl>(1166)->OnPopupSelect(3, 0, 42);
    EXPECT_EQ(Edits().back(), Edit(PRESET_ARP_PATTERN, 42));
    EXPECT_EQ(ModuleValue(PRESET_ARP_KBD_THRU), 1);
    EXPECT_EQ(ModuleValue(PRESET_ARP_PATTERN_SPEED), -2);
    EXPECT_EQ(ModuleValue(PRESET_ARP_EXT_COUNT), 3);
    EXPECT_EQ(ModuleValue(PRESET_ARP_PATTERN), 42);

    // Undo takes them back in turn, Redo does them again.
    for (int i = 0; i < 4; ++i)
        root->Undo();
    EXPECT_EQ(ModuleValue(PRESET_ARP_KBD_THRU), 0);
    EXPECT_EQ(ModuleValue(PRESET_ARP_PATTERN_SPEED), 0);
    EXPECT_EQ(ModuleValue(PRESET_ARP_EXT_COUNT), 0);
    EXPECT_EQ(ModuleValue(PRESET_ARP_PATTERN), 0);
    EXPECT_FALSE(Ctrl<LitButtonCtrl>(1178)->IsOn());
    EXPECT_EQ(Ctrl<TrackerCtrl>(1170)->Value(), 0);
    root->Redo();
    root->Redo();
    EXPECT_EQ(ModuleValue(PRESET_ARP_KBD_THRU), 1);
    EXPECT_EQ(ModuleValue(PRESET_ARP_PATTERN_SPEED), -2);
    EXPECT_TRUE(Ctrl<LitButtonCtrl>(1178)->IsOn());
}

TEST_F(PresetArpTest, AnotherPresetReloadsEveryControl)
{
    Open();
    const std::size_t before = ToModule().size();
    SetModule(PRESET_ARP_GATE_TIME, 77);
    Select(PRESET_SELECT, 3);
    EXPECT_EQ(Ctrl<TrackerCtrl>(1169)->Value(), 77);
    // One request per control at least: 18 controls, plus the selection itself.
    EXPECT_GE(ToModule().size() - before, 19u);
}

TEST_F(PresetArpTest, HidingOrClosingClosesThePatternList)
{
    SelectionList list(QStringLiteral("ArpSelection"), root.get());
    Open();
    SelectCtrl* pattern = popup->PatternSelector();
    pattern->Toggle();
    ASSERT_EQ(list.Owner(), pattern);
    ASSERT_EQ(list.windowTitle(), QStringLiteral("Select Preset Arp Pattern"));
    popup->Show(nullptr, QString());
    EXPECT_EQ(list.Owner(), nullptr);
    EXPECT_FALSE(list.isVisible());

    popup->Show(&owner, QString());
    pattern->Toggle();
    ASSERT_EQ(list.Owner(), pattern);
    popup->reject(); // Esc or the window's close button
    EXPECT_EQ(list.Owner(), nullptr);
}

// ------------------------------------------------------------------ preset links

class PresetLinksTest : public PopupTest<PresetLinksPopup> {
protected:
    template <class C> C* Ctrl(int item) { return dynamic_cast<C*>(popup->Control(item)); }
};

TEST_F(PresetLinksTest, OpensShowingBothLinksWithOffButtonsForLinksInUse)
{
    SetModule(LINK_2_PRESET, 12);
    SetModule(LINK_2_VOLUME, -6);
    SetModule(LINK_1_KEY_LOW, 48);
    SetModule(LINK_1_DELAY, 20);
    Open(QStringLiteral("Preset Links"));
    EXPECT_EQ(popup->Name(), QStringLiteral("PresetLinks"));
    EXPECT_FALSE(popup->OffButton(1)->isEnabled()); // link 1 is off (-1)
    EXPECT_TRUE(popup->OffButton(2)->isEnabled());
    EXPECT_EQ(Ctrl<TrackerCtrl>(1064)->Value(), -6);
    EXPECT_EQ(Ctrl<TrackerCtrl>(1058)->ValueText(), QStringLiteral("C2"));
    EXPECT_TRUE(Ctrl<MenuCtrl>(1067)->Text().contains(QStringLiteral("100 ms")))
        << Ctrl<MenuCtrl>(1067)->Text().toStdString();
    EXPECT_EQ(popup->GetToolTipText(1070), QStringLiteral("Whether link 2 is on or off"));
}

TEST_F(PresetLinksTest, EachKindOfControlEditsItsParameterOnTheModule)
{
    Open();
    Ctrl<SelectCtrl>(1054)->OnPopupSelect(1, 0, 7);
    EXPECT_EQ(ModuleValue(LINK_1_PRESET), 7);
    // Choosing a preset turns the link on: its off button is enabled.
    EXPECT_TRUE(popup->OffButton(1)->isEnabled());
    Ctrl<TrackerCtrl>(1063)->SetValue(-20);
    EXPECT_EQ(Edits().back(), Edit(LINK_2_PAN, -20));
    Ctrl<MenuCtrl>(1068)->Choose(40);
    EXPECT_EQ(Edits().back(), Edit(LINK_2_DELAY, 40));
    EXPECT_EQ(EditMessages().back(), QStringLiteral("F0 18 0F 00 55 01 02 0E 0A 28 00 F7"));
    EXPECT_EQ(ModuleValue(LINK_2_PAN), -20);
    EXPECT_EQ(ModuleValue(LINK_2_DELAY), 40);

    root->Undo();
    root->Undo();
    EXPECT_EQ(ModuleValue(LINK_2_PAN), 0);
    EXPECT_EQ(ModuleValue(LINK_2_DELAY), 0);
    root->Redo();
    EXPECT_EQ(ModuleValue(LINK_2_PAN), -20);
}

TEST_F(PresetLinksTest, LinkOffSendsMinusOneInTheUserBankAndIsUndone)
{
    SetModule(LINK_1_PRESET, 9);
    Open();
    ASSERT_TRUE(popup->OffButton(1)->isEnabled());
    const std::size_t before = Edits().size();
    popup->OffButton(1)->OnClicked();
    const std::vector<Edit> sent = Edits();
    ASSERT_GT(sent.size(), before);
    EXPECT_EQ(sent.back(), Edit(LINK_1_PRESET, -1));
    EXPECT_EQ(ModuleValue(LINK_1_PRESET), -1);
    EXPECT_FALSE(popup->OffButton(1)->isEnabled());
    // One step on the parent's history: the link's preset, not the button.
    ASSERT_EQ(root->UndoHistory().size(), 1u);
    EXPECT_EQ(root->UndoHistory().back().id, LINK_1_PRESET);

    root->Undo();
    EXPECT_EQ(ModuleValue(LINK_1_PRESET), 9);
    EXPECT_TRUE(popup->OffButton(1)->isEnabled());
}

TEST_F(PresetLinksTest, ARefusedLinkOffLeavesTheLinkAsItWas)
{
    SetModule(LINK_2_PRESET, 21);
    Open();
    ParamRecord* preset = root->GetParameter(LINK_2_PRESET);
    preset->romId = 3; // a preset of a sound SIMM
    preset->previousValue = 17;
    preset->previousRomId = 2;
    const std::size_t before = Edits().size();
    root->refuse = true;
    popup->OffButton(2)->OnClicked();
    EXPECT_EQ(Edits().size(), before);
    EXPECT_EQ(preset->value, 21);
    EXPECT_EQ(preset->romId, 3);
    EXPECT_EQ(preset->previousValue, 17);
    EXPECT_EQ(preset->previousRomId, 2);
    EXPECT_TRUE(popup->OffButton(2)->isEnabled());
    EXPECT_TRUE(root->UndoHistory().empty());
}

// ------------------------------------------------------------------ preset patch cords

using PresetCordsTest = PopupTest<PresetPatchCordsPopup>;

TEST_F(PresetCordsTest, OpensShowingTheCordsAndEditsThemOnTheModule)
{
    const int source = std::next(GetPresetCordSourceList().begin(), 3)->first;
    const int destination = std::next(GetPresetCordDestinationList().begin(), 2)->first;
    SetModule(PRESET_CORD_0_SOURCE + 3 * 11, source);
    SetModule(PRESET_CORD_0_DEST + 3 * 11, destination);
    SetModule(PRESET_CORD_0_AMOUNT + 3 * 11, -35);
    Open();
    EXPECT_EQ(popup->Name(), QStringLiteral("PresetPatchCords"));
    EXPECT_TRUE(popup->Row(11).source->Text().endsWith(LookUpName(GetPresetCordSourceList(), source)));
    EXPECT_TRUE(popup->Row(11).destination->Text().endsWith(LookUpName(GetPresetCordDestinationList(), destination)));
    EXPECT_EQ(popup->Row(11).amount->Value(), -35);
    EXPECT_EQ(popup->Row(11).amount->Minimum(), -100);
    EXPECT_EQ(popup->GetToolTipText(1061), QStringLiteral("The amount for patchcord 12"));

    popup->Row(2).source->Choose(source);
    EXPECT_EQ(Edits().back(), Edit(PRESET_CORD_0_SOURCE + 6, source));
    popup->Row(2).destination->Choose(destination);
    EXPECT_EQ(Edits().back(), Edit(PRESET_CORD_0_DEST + 6, destination));
    popup->Row(2).amount->SetValue(-100);
    // PRESET_CORD_2_AMOUNT (939 = 07 2B) to -100 (7F1C as 14 bits).
    EXPECT_EQ(EditMessages().back(), QStringLiteral("F0 18 0F 00 55 01 02 2B 07 1C 7F F7"));
    EXPECT_EQ(ModuleValue(PRESET_CORD_0_AMOUNT + 6), -100);

    root->Undo();
    EXPECT_EQ(ModuleValue(PRESET_CORD_0_AMOUNT + 6), 0);
    EXPECT_EQ(popup->Row(2).amount->Value(), 0);
    root->Undo();
    EXPECT_EQ(ModuleValue(PRESET_CORD_0_DEST + 6), 0);
    root->Redo();
    root->Redo();
    EXPECT_EQ(ModuleValue(PRESET_CORD_0_DEST + 6), destination);
    EXPECT_EQ(ModuleValue(PRESET_CORD_0_AMOUNT + 6), -100);
}

TEST_F(PresetCordsTest, AnotherPresetReloadsEveryControl)
{
    Open();
    for (int p = 931; p <= 966; ++p)
        SetModule(p, p % 3 == 0 ? -(p % 50) : 1 + p % 20);
    Select(PRESET_SELECT, 5);
    for (int r = 0; r < 12; ++r) {
        EXPECT_EQ(popup->Row(r).source->MainParameter()->value, 1 + (931 + 3 * r) % 20) << r;
        EXPECT_EQ(popup->Row(r).amount->Value(), -((933 + 3 * r) % 50)) << r;
    }
}

// ------------------------------------------------------------------ layer patch cords

using LayerCordsTest = PopupTest<LayerPatchCordsPopup>;

TEST_F(LayerCordsTest, OpensShowingTheLayersCordsAndEditsThemOnTheModule)
{
    const int source = std::prev(GetLayerCordSourceList().end())->first;
    SetModule(LAYER_CORD0_SRC + 3 * 23, source);
    SetModule(LAYER_CORD0_SRC + 3 * 23 + 2, 55);
    Open();
    EXPECT_EQ(popup->Name(), QStringLiteral("LayerPatchCords"));
    EXPECT_TRUE(popup->Row(23).source->Text().endsWith(QStringLiteral("Gain4X"))) << popup->Row(23).source->Text().toStdString();
    EXPECT_EQ(popup->Row(23).amount->Value(), 55);
    EXPECT_EQ(popup->GetToolTipText(1105), QStringLiteral("The destination for patchcord 24"));

    const int destination = std::next(GetLayerCordDestinationList().begin(), 5)->first;
    popup->Row(12).destination->Choose(destination);
    EXPECT_EQ(Edits().back(), Edit(LAYER_CORD0_SRC + 3 * 12 + 1, destination));
    popup->Row(0).amount->SetValue(-7);
    // LAYER_CORD0_AMT (1923 = 0F 03) to -7.
    EXPECT_EQ(EditMessages().back(), QStringLiteral("F0 18 0F 00 55 01 02 03 0F 79 7F F7"));
    popup->Row(5).source->Choose(source);
    EXPECT_EQ(ModuleValue(LAYER_CORD0_SRC + 15), source);

    root->Undo();
    root->Undo();
    EXPECT_EQ(ModuleValue(LAYER_CORD0_SRC + 15), 0);
    EXPECT_EQ(ModuleValue(LAYER_CORD0_SRC + 2), 0);
    EXPECT_EQ(popup->Row(0).amount->Value(), 0);
    root->Redo();
    EXPECT_EQ(ModuleValue(LAYER_CORD0_SRC + 2), -7);
}

TEST_F(LayerCordsTest, AnotherLayerShowsThatLayersCords)
{
    for (int k = 0; k < 24; ++k)
        link->withDevice([&](sim::Device&) { module->setParameterValueAt(LAYER_CORD0_SRC + 3 * k + 2, {3}, k - 12); });
    Open();
    Select(LAYER_SELECT, 3);
    for (int k = 0; k < 24; ++k)
        EXPECT_EQ(popup->Row(k).amount->Value(), k - 12) << k;
}

TEST_F(LayerCordsTest, ScrollBarAlwaysShownAndUsableOnlyWhenRowsAreHidden)
{
    Open();
    QScrollBar* bar = popup->ScrollBar();
    const int full = popup->Rows()->height();
    popup->resize(popup->width(), full);
    QCoreApplication::processEvents();
    EXPECT_TRUE(bar->isVisible());
    EXPECT_EQ(bar->maximum(), 0);
    EXPECT_FALSE(bar->isEnabled());
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(popup->Rows()->y(), 0);

    // 100 pixels shorter: 100 to scroll, by a 24th of the full height, never past the end.
    popup->resize(popup->width(), full - 100);
    QCoreApplication::processEvents();
    EXPECT_EQ(popup->ScrollArea()->viewport()->height(), full - 100);
    EXPECT_EQ(bar->maximum(), 100);
    EXPECT_TRUE(bar->isEnabled());
    const int step = popup->LineStep();
    EXPECT_EQ(step, std::max(1, popup->ResizingPopup::GetMaxTrackSize().height() / 24));
    EXPECT_EQ(bar->singleStep(), step);
    bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), step);
    EXPECT_EQ(popup->Rows()->y(), -step);
    for (int i = 0; i < 10; ++i)
        bar->triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(bar->value(), 100);
    EXPECT_EQ(popup->Rows()->y(), -100);
}

TEST_F(LayerCordsTest, ThumbDragMovesTheRowsOnlyWhenReleased)
{
    Open();
    const int full = popup->Rows()->height();
    popup->resize(popup->width(), full - 100);
    QCoreApplication::processEvents();
    QScrollBar* bar = popup->ScrollBar();
    bar->setSliderDown(true);
    bar->setSliderPosition(60);
    EXPECT_EQ(popup->Rows()->y(), 0);
    bar->setSliderDown(false);
    EXPECT_EQ(popup->Rows()->y(), -60);
}

TEST_F(LayerCordsTest, RowsStayAlignedWhenTheWindowGrowsWhileScrolled)
{
    Open();
    const int full = popup->Rows()->height();
    popup->resize(popup->width(), full - 100);
    QCoreApplication::processEvents();
    QScrollBar* bar = popup->ScrollBar();
    bar->setValue(100);
    ASSERT_EQ(popup->Rows()->y(), -100);
    popup->resize(popup->width(), full - 40);
    QCoreApplication::processEvents();
    EXPECT_EQ(bar->maximum(), 40);
    EXPECT_EQ(bar->value(), 40);
    // The rows' top is where the bar says, the last row's bottom at the window's bottom.
    EXPECT_EQ(popup->Rows()->y(), -bar->value());
    EXPECT_EQ(popup->Rows()->y() + full, popup->ScrollArea()->viewport()->height());
    bar->triggerAction(QAbstractSlider::SliderSingleStepSub);
    EXPECT_EQ(popup->Rows()->y(), -std::max(0, 40 - popup->LineStep()));
}

TEST_F(LayerCordsTest, TheWindowIsAsWideAsTheRowsAndTheBarAndNoTaller)
{
    Open();
    const QSize most = popup->GetMaxTrackSize();
    EXPECT_EQ(popup->maximumHeight(), most.height());
    EXPECT_EQ(popup->minimumWidth(), most.width());
    EXPECT_EQ(popup->ScrollArea()->viewport()->width(), popup->Rows()->width());
}

} // namespace
