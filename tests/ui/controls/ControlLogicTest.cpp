// The controls' logic without a display: states, notifications sent and the
// routing calls, driven through a recording owner and surface.
#include "ControlTestSupport.h"

#include "module/ParameterIds.h"
#include "ui/controls/ButtonLogic.h"
#include "ui/controls/EditLogic.h"
#include "ui/controls/TrackerLogic.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

constexpr int kParam = 123;

template <class Logic>
struct Rig {
    RecordingOwner owner;
    FakeSurface surface;
    ParamRecord record{QStringLiteral("SOME_PARAM"), kParam, 0};
    Logic control{&owner};

    explicit Rig(bool bind = true)
    {
        control.SetSurface(&surface);
        if (bind)
            control.BindParameter(nullptr, 0, &record);
    }
};

// ---- push buttons -------------------------------------------------------------------------------

TEST(ButtonLogicTest, ClicksByMouseAndSpaceBar)
{
    struct Case {
        const char* name;
        bool bind;
        int value;
        bool ready;
        std::function<void(ButtonLogic&)> act;
        std::vector<OwnerCall> calls;
        int commands;
    } cases[] = {
        {"click", true, 0, true, [](ButtonLogic& b) { b.MousePress(); b.MouseRelease(true); }, {Edit(kParam, 1, 0)}, 1},
        {"already 1", true, 1, true, [](ButtonLogic& b) { b.MousePress(); b.MouseRelease(true); }, {Edit(kParam, 1, 1)}, 1},
        {"released outside", true, 0, true, [](ButtonLogic& b) { b.MousePress(); b.MouseRelease(false); }, {}, 0},
        {"space", true, 0, true, [](ButtonLogic& b) { b.SpaceDown(); b.KeyUp(true); }, {Edit(kParam, 1, 0)}, 1},
        {"other key", true, 0, true, [](ButtonLogic& b) { b.KeyUp(false); }, {}, 0},
        {"unbound", false, 0, true, [](ButtonLogic& b) { b.MousePress(); b.MouseRelease(true); }, {}, 1},
        {"device not ready", true, 0, false, [](ButtonLogic& b) { b.MousePress(); b.MouseRelease(true); }, {Edit(kParam, 1, 0)}, 1},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        Rig<ButtonLogic> rig(c.bind);
        rig.record.value = c.value;
        rig.owner.ready = c.ready;
        c.act(rig.control);
        EXPECT_EQ(rig.owner.Take(), c.calls);
        EXPECT_EQ(rig.surface.commands, c.commands);
        EXPECT_FALSE(rig.control.Face().pressed);
        EXPECT_EQ(rig.control.Face().disabled, !c.ready);
    }
}

TEST(ButtonLogicTest, FaceShowsPressedFromPressOrSpaceDown)
{
    Rig<ButtonLogic> rig;
    rig.control.MousePress();
    EXPECT_TRUE(rig.surface.focused);
    EXPECT_EQ(rig.control.Face(), (FaceState{false, true, true}));
    rig.control.MouseRelease(false);
    rig.control.SpaceDown();
    EXPECT_TRUE(rig.control.Face().pressed);
    EXPECT_TRUE(rig.owner.calls.empty()); // the click comes with the key's release
    rig.surface.enabled = false;
    EXPECT_TRUE(rig.control.Face().disabled);
}

TEST(ColourSwatchLogicTest, ChosenColourIsSentCancelOnlyNotifies)
{
    Rig<ColourSwatchLogic> rig;
    rig.record.value = 0x00112233;
    std::uint32_t offered = 0;
    std::optional<std::uint32_t> answer;
    rig.control.SetChooser([&](std::uint32_t initial) { offered = initial; return answer; });
    rig.control.MousePress();
    rig.control.MouseRelease(true);
    EXPECT_EQ(offered, 0x00112233u);
    EXPECT_TRUE(rig.owner.Take().empty());
    EXPECT_EQ(rig.surface.commands, 1);

    answer = 0x000000FF;
    rig.control.MousePress();
    rig.control.MouseRelease(true);
    EXPECT_EQ(rig.owner.Take(), (std::vector{Edit(kParam, 0xFF, 0x00112233)}));
    EXPECT_EQ(rig.control.Colour(), 0xFFu);
    EXPECT_EQ(rig.surface.commands, 2);
}

// ---- switches -----------------------------------------------------------------------------------

TEST(SwitchLogicTest, TogglesOnReleaseInsideOrSpaceUp)
{
    Rig<SwitchLogic> rig;
    rig.record.value = 2;
    rig.control.Activate();
    EXPECT_TRUE(rig.control.IsOn()); // any value but 0 is on
    rig.control.MousePress();
    EXPECT_TRUE(rig.control.Face().pressed);
    EXPECT_TRUE(rig.owner.calls.empty());
    rig.control.MouseRelease(true);
    EXPECT_FALSE(rig.control.IsOn());
    EXPECT_EQ(rig.owner.Take(), (std::vector{Edit(kParam, 0, 2)}));
    EXPECT_EQ(rig.surface.commands, 1);

    rig.control.MousePress();
    rig.control.MouseRelease(false); // released outside
    EXPECT_FALSE(rig.control.IsOn());
    rig.control.KeyUp(false);
    EXPECT_TRUE(rig.owner.Take().empty());

    rig.owner.accept = false; // a refused edit leaves the switch as the user set it
    rig.control.KeyUp(true);
    EXPECT_TRUE(rig.control.IsOn());
    EXPECT_EQ(rig.owner.Take(), (std::vector{Edit(kParam, 1, 0)}));
    EXPECT_EQ(rig.surface.commands, 2);
}

TEST(SwitchLogicTest, SetStateAndParameterChangesSendNothing)
{
    Rig<SwitchLogic> rig;
    rig.control.SetState(true);
    EXPECT_TRUE(rig.control.IsOn());
    ParamRecord change(QStringLiteral("SOME_PARAM"), kParam, 0);
    rig.control.ParameterChanged(&change);
    EXPECT_FALSE(rig.control.IsOn());
    const int repaints = rig.surface.repaints;
    rig.control.ParameterChanged(&change); // the same state: nothing to show
    EXPECT_EQ(rig.surface.repaints, repaints);
    ParamRecord other(QStringLiteral("OTHER"), kParam + 1, 1);
    rig.control.ParameterChanged(&other);
    EXPECT_FALSE(rig.control.IsOn());
    EXPECT_TRUE(rig.owner.calls.empty());
    EXPECT_EQ(rig.surface.commands, 0);
}

TEST(LampLogicTest, LampFollowsStateAndEnabling)
{
    struct Case {
        bool unlit, enabled, on;
        Lamp lamp;
    } cases[] = {
        {false, true, true, Lamp::On},  {false, true, false, Lamp::Off},  {false, false, true, Lamp::Disabled},
        {false, false, false, Lamp::Disabled},
        {true, true, true, Lamp::Off},  {true, true, false, Lamp::On},    {true, false, true, Lamp::Disabled},
        {true, false, false, Lamp::Disabled},
    };
    for (const Case& c : cases) {
        FakeSurface surface;
        surface.enabled = c.enabled;
        LitButtonLogic lit(nullptr);
        UnLitButtonLogic unlit(nullptr);
        LitButtonLogic& logic = c.unlit ? static_cast<LitButtonLogic&>(unlit) : lit;
        logic.SetSurface(&surface);
        logic.SetState(c.on);
        EXPECT_EQ(logic.GetLamp(), c.lamp) << c.unlit << c.enabled << c.on;
    }
    LitButtonLogic lit(nullptr);
    EXPECT_EQ(lit.Placement(), 3);
    lit.Setup(2, 0);
    EXPECT_EQ(lit.Placement(), 2);
}

// ---- sliders ------------------------------------------------------------------------------------
// The recording surface is 200 x 40 and measures 6 pixels a character, so a
// horizontal slider's channel runs from x 6 to 194 at y 16 to 20. At 0..127,
// value 64 puts the thumb at x 96 to 104, y 16 to 28.

struct TrackerRig : Rig<TrackerLogic> {
    explicit TrackerRig(bool undoable, bool live, int value = 64, int minimum = 0, int maximum = 127)
    {
        record.minimum = minimum;
        record.maximum = maximum;
        record.value = value;
        control.Setup(0, undoable, live);
        control.Activate();
        owner.Take();
    }
};

TEST(TrackerLogicTest, KeysStepTheCommittedValue)
{
    struct Case {
        int minimum, maximum, value;
        TrackerLogic::Key key;
        bool modifiers;
        int expected;
        bool taken;
    } cases[] = {
        {0, 127, 64, TrackerLogic::KeyPageUp, false, 76, true},
        {0, 127, 64, TrackerLogic::KeyPageDown, false, 52, true},
        {0, 127, 120, TrackerLogic::KeyPageUp, false, 127, true},
        {0, 5, 0, TrackerLogic::KeyPageUp, false, 0, true}, // a step of 5 / 10 = 0
        {0, 127, 127, TrackerLogic::KeyUp, false, 127, true},
        {0, 127, 127, TrackerLogic::KeyRight, false, 127, true},
        {0, 127, 0, TrackerLogic::KeyDown, false, 0, true},
        {0, 127, 0, TrackerLogic::KeyLeft, false, 0, true},
        {0, 127, 10, TrackerLogic::KeyRight, false, 11, true},
        {0, 127, 10, TrackerLogic::KeyDown, false, 9, true},
        {0, 127, 10, TrackerLogic::KeyUp, true, 10, true},   // Shift+arrow: nothing at all
        {0, 127, 10, TrackerLogic::KeyEscape, false, 10, false}, // not dragging: the dialog's
        {0, 127, 10, TrackerLogic::KeyOther, false, 10, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.minimum << ".." << c.maximum << " at " << c.value << " key " << c.key);
        TrackerRig rig(false, false, c.value, c.minimum, c.maximum);
        EXPECT_EQ(rig.control.KeyPress(c.key, c.modifiers), c.taken);
        EXPECT_EQ(rig.control.Value(), c.expected);
        EXPECT_EQ(rig.record.value, c.expected);
        const std::vector<OwnerCall> none;
        EXPECT_EQ(rig.owner.Take(), c.expected == c.value ? none : std::vector{Edit(kParam, c.expected, c.value)});
    }
}

TEST(TrackerLogicTest, UndoableDragIsBracketedAndCommitsOnce)
{
    struct Case {
        const char* name;
        bool undoable, live;
        std::vector<OwnerCall> calls;
    } cases[] = {
        {"undoable live", true, true,
         {Marker(START_UNDO, "SOME_PARAM"), Preview(kParam, 80), Preview(kParam, 97), Marker(END_UNDO, "SOME_PARAM"),
          Edit(kParam, 97, 64)}},
        {"undoable", true, false, {Marker(START_UNDO, "SOME_PARAM"), Marker(END_UNDO, "SOME_PARAM"), Edit(kParam, 97, 64)}},
        {"plain", false, false, {Edit(kParam, 97, 64)}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        TrackerRig rig(c.undoable, c.live);
        rig.control.MousePress(100, 20); // on the thumb, 4 pixels into it
        EXPECT_TRUE(rig.control.IsDragging());
        rig.control.MouseMove(125, 20);
        EXPECT_EQ(rig.control.DragValue(), 80);
        EXPECT_EQ(rig.control.Value(), 64);
        rig.control.MouseMove(150, 20);
        rig.control.MouseRelease(150, 20);
        EXPECT_FALSE(rig.control.IsDragging());
        EXPECT_EQ(rig.control.Value(), 97);
        EXPECT_EQ(rig.owner.Take(), c.calls);
    }
}

TEST(TrackerLogicTest, UndoBracketsAlwaysPair)
{
    // A click in the channel opens no group, so it closes none.
    TrackerRig click(true, false);
    click.control.MousePress(50, 18);
    click.control.MouseRelease(50, 18);
    EXPECT_EQ(click.owner.Take(), (std::vector{Edit(kParam, 32, 64)}));

    // Esc cancels the drag: the thumb goes back, no edit, the group is closed empty.
    TrackerRig esc(true, true);
    esc.control.MousePress(100, 20);
    esc.control.MouseMove(150, 20);
    EXPECT_TRUE(esc.control.KeyPress(TrackerLogic::KeyEscape, false));
    EXPECT_FALSE(esc.control.IsDragging());
    EXPECT_EQ(esc.control.ShownValue(), 64);
    esc.control.MouseRelease(150, 20); // the button comes up later: nothing more
    EXPECT_EQ(esc.owner.Take(), (std::vector{Marker(START_UNDO, "SOME_PARAM"), Preview(kParam, 97),
                                             Marker(END_UNDO, "SOME_PARAM")}));
    EXPECT_EQ(esc.record.value, 64);

    // A press beside the channel captures nothing, so its release sends nothing.
    TrackerRig beside(true, false);
    beside.control.MousePress(50, 35);
    beside.control.MouseRelease(50, 18);
    EXPECT_TRUE(beside.owner.Take().empty());
}

TEST(TrackerLogicTest, RefusedEditAndUnreadyDevice)
{
    TrackerRig refused(false, false);
    refused.owner.accept = false;
    EXPECT_TRUE(refused.control.KeyPress(TrackerLogic::KeyPageUp, false));
    EXPECT_EQ(refused.control.Value(), 64);
    EXPECT_EQ(refused.record.value, 64);
    EXPECT_EQ(refused.record.previousValue, 76);
    EXPECT_EQ(refused.owner.Take(), (std::vector{Edit(kParam, 76, 64)}));

    TrackerRig unready(true, true);
    unready.owner.ready = false;
    unready.control.MousePress(100, 20);
    unready.control.MouseMove(150, 20);
    unready.control.MouseRelease(150, 20);
    EXPECT_TRUE(unready.control.KeyPress(TrackerLogic::KeyPageUp, false));
    EXPECT_TRUE(unready.surface.focused); // the press still takes the focus
    EXPECT_TRUE(unready.owner.Take().empty());
    EXPECT_EQ(unready.control.Value(), 64);
    EXPECT_TRUE(unready.control.TextDisabled());
}

TEST(TrackerLogicTest, ActivationAndParameterChanges)
{
    TrackerRig rig(false, false, 300, 0, 127); // a value beyond the range is held at its end
    EXPECT_EQ(rig.control.Value(), 127);
    EXPECT_TRUE(rig.control.IsHorizontal());
    ParamRecord change(QStringLiteral("SOME_PARAM"), kParam, 20);
    rig.control.ParameterChanged(&change);
    EXPECT_EQ(rig.control.Value(), 20);
    EXPECT_EQ(rig.record.value, 20);
    EXPECT_TRUE(rig.owner.Take().empty()); // the parameter already holds it: no edit

    // An empty range puts the thumb at the channel's start and any click gives the minimum.
    TrackerRig flat(false, false, 5, 5, 5);
    EXPECT_EQ(flat.control.Thumb().l, flat.control.Layout().channel.l);
    flat.control.MousePress(150, 18);
    flat.control.MouseRelease(150, 18);
    EXPECT_EQ(flat.control.Value(), 5);
    EXPECT_TRUE(flat.owner.Take().empty());

    // A vertical slider squeezed so that its channel has no height never divides by it.
    Rig<TrackerLogic> squeezed;
    squeezed.surface.size = QSize(10, 30);
    squeezed.record.maximum = 127;
    squeezed.control.Setup(0, true, false);
    squeezed.control.Activate();
    ASSERT_FALSE(squeezed.control.IsHorizontal());
    ASSERT_EQ(squeezed.control.Layout().channel.Height(), 0);
    const Edges thumb = squeezed.control.Thumb();
    squeezed.control.MousePress(thumb.l + 1, thumb.t + 1);
    squeezed.control.MouseMove(thumb.l + 1, thumb.t + 5);
    squeezed.control.MouseRelease(thumb.l + 1, thumb.t + 5);
    EXPECT_EQ(squeezed.control.Value(), 0);
}

TEST(TrackerLogicTest, WidestValueTextWidensTheValueBox)
{
    Rig<TrackerLogic> rig;
    rig.control.Setup(0, false, false);
    EXPECT_EQ(rig.control.Layout().value.Width(), 194 - 36); // title "Level" is 30 wide from x 6
    rig.surface.size = QSize(40, 200);
    rig.control.Setup(0, false, false);
    EXPECT_EQ(rig.control.Layout().value.Width(), 18);       // "XXX" without a formatter
}

TEST(FXRulesTest, EnableRules)
{
    struct Case {
        int mode, fxChannel, basic, bypass;
        bool fx, master;
    } cases[] = {
        {0, 0, 0, 0, true, false}, {2, 3, 3, 1, true, false}, {2, 3, 4, 1, false, false},
        {2, 3, 3, 0, false, false}, {2, -1, 0, 1, false, true}, {2, -1, -1, 1, true, true},
        {1, -1, 0, 1, true, false}, {2, -1, 0, 0, false, false},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FXControlEnabled(c.mode, c.fxChannel, c.basic, c.bypass), c.fx);
        EXPECT_EQ(MasterFXControlEnabled(c.mode, c.fxChannel, c.bypass), c.master);
    }

    Rig<FXTrackerLogic> rig;
    rig.record.maximum = 127;
    rig.owner.records[MASTER_MIDI_MODE] = ParamRecord(QStringLiteral("MASTER_MIDI_MODE"), MASTER_MIDI_MODE, 2);
    rig.owner.records[MULTIMODE_FX_CTRL_CHANNEL] =
        ParamRecord(QStringLiteral("MULTIMODE_FX_CTRL_CHANNEL"), MULTIMODE_FX_CTRL_CHANNEL, 3);
    rig.control.Activate();
    EXPECT_FALSE(rig.surface.enabled);
    rig.owner.records[MASTER_MIDI_MODE].value = 0;
    rig.control.ParameterChanged(&rig.owner.records[MASTER_MIDI_MODE]);
    EXPECT_TRUE(rig.surface.enabled);
}

// ---- numeric edit -------------------------------------------------------------------------------

class RecordingNumericEdit : public NumericEditLogic {
public:
    using NumericEditLogic::NumericEditLogic;
    QString shown;

protected:
    void ShowText(const QString& text) override { shown = text; }
};

TEST(NumericEditLogicTest, CommitsTheTypedNumber)
{
    struct Case {
        const char* typed;
        int value, minimum, maximum;
        bool accept;
        std::vector<OwnerCall> calls;
        int after;
        const char* shown; ///< what the field shows afterwards ("" when untouched)
    } cases[] = {
        {"12abc", 5, 0, 0, true, {Edit(kParam, 12, 5)}, 12, ""},
        {"  -5", 5, 0, 0, true, {Edit(kParam, -5, 5)}, -5, ""},
        {"", 5, 0, 0, true, {Edit(kParam, 0, 5)}, 0, ""},
        {"", 0, 0, 0, true, {}, 0, ""},
        {"5", 5, 0, 0, true, {}, 5, ""},
        {"7", 5, 0, 0, false, {Edit(kParam, 7, 5)}, 5, "5"},
        {"200", 16, 0, 127, true, {}, 16, "16"}, // outside the known range: refused here
        {"-1", 16, 0, 127, true, {}, 16, "16"},
        {"127", 16, 0, 127, true, {Edit(kParam, 127, 16)}, 127, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.typed);
        RecordingOwner owner;
        owner.accept = c.accept;
        ParamRecord record(QStringLiteral("SOME_PARAM"), kParam, c.value);
        record.minimum = c.minimum;
        record.maximum = c.maximum;
        RecordingNumericEdit edit(&owner);
        edit.BindParameter(nullptr, 0, &record);
        edit.Commit(QString::fromUtf8(c.typed));
        EXPECT_EQ(owner.Take(), c.calls);
        EXPECT_EQ(record.value, c.after);
        EXPECT_EQ(edit.shown, QString::fromUtf8(c.shown));
    }
}

TEST(NumericEditLogicTest, ShowsTheParameter)
{
    RecordingOwner owner;
    ParamRecord record(QStringLiteral("SOME_PARAM"), kParam, -3);
    RecordingNumericEdit edit(&owner);
    edit.BindParameter(nullptr, 0, &record);
    edit.Activate();
    EXPECT_EQ(edit.shown, QStringLiteral("-3"));
    ParamRecord change(QStringLiteral("SOME_PARAM"), kParam, 42);
    edit.ParameterChanged(&change);
    EXPECT_EQ(edit.shown, QStringLiteral("42"));
    EXPECT_EQ(record.value, -3); // the bound record itself is not changed here
    ParamRecord other(QStringLiteral("OTHER"), kParam + 1, 9);
    edit.ParameterChanged(&other);
    EXPECT_EQ(edit.shown, QStringLiteral("42"));
}

} // namespace
