// The root listener against the simulated module: edits reach the module and
// are recorded, Undo sends the old value back, module events reach controls.
#include "RoutingDoubles.h"
#include "support/ProteusSimFixture.h"

#include "ui/framework/RootListener.h"

#include <gtest/gtest.h>

using namespace routingtest;

class RootListenerTest : public proteustest::ProteusSimTest {
protected:
    /// The module's value once it has taken what was sent (edits get no reply).
    std::optional<int> ModuleValue(int id)
    {
        link->SleepMs(50);
        return link->withDevice([&](sim::Device&) { return module->parameterValue(id); });
    }
};

TEST_F(RootListenerTest, EditIsSentAndRecordedAndUndoSendsTheOldValueBack)
{
    proteus->SetReady(true);
    RootListener root(proteus.get());
    ParamRecord* transpose = root.GetParameter(MASTER_TRANSPOSE);
    ASSERT_EQ(transpose->id, MASTER_TRANSPOSE);
    RecordingControl control(&root);
    control.BindParameter(&GetMasterTriggerSet(), 0, transpose);
    root.AddControl(&control);

    ASSERT_TRUE(root.RequestParameterValues(transpose));
    const int old = transpose->value;
    transpose->previousValue = old;
    transpose->value = old + 3;
    ASSERT_TRUE(root.EditParameter(transpose));
    EXPECT_EQ(ModuleValue(MASTER_TRANSPOSE), old + 3);
    EXPECT_EQ(control.shown, (std::vector<int>{MASTER_TRANSPOSE}));
    EXPECT_EQ(root.GetUndoText(), QStringLiteral("MASTER_TRANSPOSE"));

    root.Undo();
    EXPECT_EQ(ModuleValue(MASTER_TRANSPOSE), old);
    EXPECT_EQ(transpose->value, old);
    root.Redo();
    EXPECT_EQ(ModuleValue(MASTER_TRANSPOSE), old + 3);
}

TEST_F(RootListenerTest, MarkersAreRecordedShortMessagesAreNot)
{
    RootListener root(proteus.get());
    ParamRecord* start = root.GetParameter(START_UNDO);
    ASSERT_EQ(start->id, START_UNDO);
    start->SetText(QStringLiteral("Group"));
    EXPECT_TRUE(root.EditParameter(start));
    const std::uint8_t noteOn[4] = {0x90, 60, 100, 0};
    ParamRecord note;
    Proteus::MakeShortMidiMsgParameter(0, noteOn, &note);
    EXPECT_TRUE(root.EditParameter(&note));
    EXPECT_EQ(root.UndoHistory().size(), 1u);
    // A pseudo-parameter the root does not hold is refused.
    ParamRecord other(QStringLiteral("PAGE_SELECT"), PAGE_SELECT, 1);
    EXPECT_FALSE(root.EditParameter(&other));
    EXPECT_TRUE(root.IsDeviceReady());
}

TEST_F(RootListenerTest, ModuleEventsReachEveryControlAndAnyControlCanVeto)
{
    RootListener root(proteus.get());
    RecordingControl a(&root), b(&root);
    int wa = 0, wb = 0;
    a.SetControlWindow(reinterpret_cast<QWidget*>(&wa));
    b.SetControlWindow(reinterpret_cast<QWidget*>(&wb));
    root.AddControl(&a);
    root.AddControl(&b);
    proteus->NotifyDeviceConnected();
    EXPECT_EQ(a.activations + b.activations, 2);
    ParamRecord channel(QStringLiteral("MULTIMODE_BASIC_CHANNEL"), MULTIMODE_BASIC_CHANNEL, 1);
    EXPECT_TRUE(proteus->NotifyParameterChanging(&channel));
    b.allow = false;
    EXPECT_FALSE(proteus->NotifyParameterChanging(&channel));
    proteus->NotifyDeviceDisconnected();
    EXPECT_EQ(a.deactivations + b.deactivations, 2);
}

TEST(RootListenerAlone, PopupRegistryKeepsTheFirstEntry)
{
    RootListener root(nullptr);
    int p1 = 0, p2 = 0;
    root.AddPopup(QStringLiteral("Preset"), reinterpret_cast<QWidget*>(&p1));
    root.AddPopup(QStringLiteral("Preset"), reinterpret_cast<QWidget*>(&p2));
    EXPECT_EQ(root.FindPopup(QStringLiteral("Preset")), reinterpret_cast<QWidget*>(&p1));
    root.RemovePopup(QStringLiteral("Preset"));
    EXPECT_EQ(root.FindPopup(QStringLiteral("Preset")), nullptr);
    ParamRecord r(QStringLiteral("MASTER_TRANSPOSE"), MASTER_TRANSPOSE, 1);
    EXPECT_FALSE(root.EditParameter(&r));
    EXPECT_FALSE(root.RequestParameterValues(&r));
    EXPECT_EQ(root.GetParameter(MASTER_TRANSPOSE), nullptr);
}
