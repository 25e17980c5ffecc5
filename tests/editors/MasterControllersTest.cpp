// The master settings, master arpeggiator, beat editor and real-time
// controller popups on the main panel over the simulated module: values on
// opening, the bytes each kind of edit sends, undo and redo, and the
// capability rules both ways.
#include "app/ViewFixture.h"

#include "editors/BeatEditPopup.h"
#include "editors/ControllerPopup.h"
#include "editors/EditorPopups.h"
#include "editors/MasterArpsPopup.h"
#include "editors/MasterPopup.h"
#include "core/Settings.h"
#include "module/Capabilities.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/ValueMenuLogic.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/ChainedListener.h"
#include "ui/framework/LabelCtrl.h"
#include "module/ValueFormats.h"

#include <gtest/gtest.h>

using namespace viewtest;

namespace {

struct Owner : PopupListener {
    bool OnPopupClosing() override { return true; }
};

QByteArray Short(int a, int b, int c)
{
    QByteArray m;
    m.append(char(a)).append(char(b)).append(char(c));
    return m;
}

class EditorsTest : public ViewFixture {
protected:
    void Begin(const QByteArray& profile)
    {
        RegisterAllNameLists();
        Start(profile);
        view->SetEditorFactory(CreateEditorPopup);
        Connect();
    }
    MasterPopup* Master() { return dynamic_cast<MasterPopup*>(view->GetPopup(View::MasterPopup)); }
    ControllerPopup* Controllers() { return dynamic_cast<ControllerPopup*>(view->GetPopup(View::ControllersPopup)); }
    TrackerLogic* Slider(BasicDialog* d, int item) { return d->ItemAs<TrackerCtrl>(item); }
    /// Whether the messages since mark hold this one.
    bool SentSince(size_t mark, const QByteArray& message)
    {
        for (const QByteArray& m : Since(mark))
            if (m == message)
                return true;
        return false;
    }
    Owner owner;
};

TEST_F(EditorsTest, MasterShowsTheModuleValuesAndSendsUndoesAndRedoesAnEdit)
{
    Begin(R"({"base": "full", "values": {"257": 96}})");
    MasterPopup* master = Master();
    ASSERT_NE(master, nullptr);
    master->Show(&owner, QString());
    TrackerLogic* tempo = Slider(master, 1086);
    EXPECT_EQ(tempo->ParameterAt(0)->value, 96);
    EXPECT_TRUE(master->Item(MasterPopup::ControlChannelItem)->isEnabled());

    size_t mark = ToModule().size();
    tempo->SetValue(0); // "Midi": the tempo follows MIDI clock
    EXPECT_TRUE(SentSince(mark, EditMessage(MASTER_CLOCK_TEMPO, 0)));
    EXPECT_FALSE(master->Item(MasterPopup::ControlChannelItem)->isEnabled());
    EXPECT_FALSE(master->Item(MasterPopup::TempoUpItem)->isEnabled());
    auto* undo = master->ItemAs<ButtonCtrl>(MasterPopup::UndoItem);
    auto* redo = master->ItemAs<ButtonCtrl>(MasterPopup::RedoItem);
    EXPECT_TRUE(undo->isEnabled());
    EXPECT_EQ(undo->Caption(), QStringLiteral("Undo ") + master->GetUndoText());

    mark = ToModule().size();
    undo->OnClicked();
    EXPECT_TRUE(SentSince(mark, EditMessage(MASTER_CLOCK_TEMPO, 96)));
    EXPECT_EQ(tempo->ParameterAt(0)->value, 96);
    EXPECT_TRUE(master->Item(MasterPopup::ControlChannelItem)->isEnabled());
    EXPECT_FALSE(undo->isEnabled());
    EXPECT_TRUE(redo->isEnabled());

    mark = ToModule().size();
    redo->OnClicked();
    EXPECT_TRUE(SentSince(mark, EditMessage(MASTER_CLOCK_TEMPO, 0)));
}

TEST_F(EditorsTest, MasterEnableRulesFollowDeepEditAndMidiMode)
{
    Begin(R"({"base": "full"})");
    MasterPopup* master = Master();
    master->Show(&owner, QString());
    struct Case {
        int parameter, value, item;
        bool enabled;
    };
    const Case cases[] = {
        {DEEP_EDIT, 1, MasterPopup::QuickEditItem, false},  {DEEP_EDIT, 0, MasterPopup::QuickEditItem, true},
        {MASTER_MIDI_MODE, 2, MasterPopup::FxCtrlItem, true}, {MASTER_MIDI_MODE, 0, MasterPopup::FxCtrlItem, false},
    };
    for (const Case& c : cases) {
        ParamRecord* r = master->GetParameter(c.parameter);
        r->previousValue = r->value;
        r->value = c.value;
        ASSERT_TRUE(master->EditParameter(r));
        EXPECT_EQ(master->Item(c.item)->isEnabled(), c.enabled) << c.parameter << "=" << c.value;
    }
}

TEST_F(EditorsTest, CapabilitiesGateTheMasterAndArpControlsBothWays)
{
    Begin(R"({"base": "minimal"})");
    MasterPopup* master = Master();
    ASSERT_NE(master, nullptr);
    EXPECT_TRUE(master->MasterArpSwitch()->isHidden());
    EXPECT_FALSE(master->Item(1092)->isEnabled()); // Ctrl M
    EXPECT_TRUE(master->MasterArp()->BeatEditorSwitch()->isHidden());

    // A more capable module: everything comes back.
    Connection().SetCapabilities(Connection().GetCapabilities() | CAP_ARPS_AND_BEATS | CAP_16_CONTROLLERS);
    master->Activate();
    EXPECT_FALSE(master->MasterArpSwitch()->isHidden());
    EXPECT_TRUE(master->Item(1092)->isEnabled());
    EXPECT_FALSE(master->MasterArp()->BeatEditorSwitch()->isHidden());

    // And back again.
    Connection().SetCapabilities(Connection().GetCapabilities() & ~(CAP_ARPS_AND_BEATS | CAP_16_CONTROLLERS));
    master->Activate();
    EXPECT_TRUE(master->MasterArpSwitch()->isHidden());
    EXPECT_FALSE(master->Item(1092)->isEnabled());
}

TEST_F(EditorsTest, HidingTheMasterClosesTheArpPopupAndItsSwitch)
{
    Begin(R"({"base": "full"})");
    MasterPopup* master = Master();
    master->Show(&owner, QString());
    master->MasterArpSwitch()->Toggle();
    ASSERT_TRUE(master->MasterArp()->isVisible());
    master->Show(nullptr, QString());
    EXPECT_FALSE(master->MasterArp()->isVisible());
    EXPECT_FALSE(master->MasterArpSwitch()->IsOn());
}

TEST_F(EditorsTest, MasterArpEditGoesThroughTheMasterUndoHistory)
{
    Begin(R"({"base": "full"})");
    MasterPopup* master = Master();
    master->Show(&owner, QString());
    master->MasterArpSwitch()->Toggle();
    MasterArpsPopup* arp = master->MasterArp();
    // The swapped captions: "Ignore Controllers" edits BEATS_IGNORE_TEMPO.
    EXPECT_EQ(arp->ControlOf(MasterArpsPopup::IgnoreControllersItem)->ParameterAt(0)->id, BEATS_IGNORE_TEMPO);
    // Beat channels without port letters on a module of 32 channels? This one has 32.
    EXPECT_EQ(arp->ControlOf(MasterArpsPopup::BeatChannelItem)->GetValueFormat(), vf::MidiChannelPortOrBasic);

    TrackerLogic* velocity = Slider(arp, 1168);
    const int before = velocity->ParameterAt(0)->value;
    const size_t mark = ToModule().size();
    velocity->SetValue(before + 5);
    EXPECT_TRUE(SentSince(mark, EditMessage(MASTER_ARP_VEL, before + 5)));
    ASSERT_TRUE(master->CanUndo());
    EXPECT_EQ(master->GetUndoText(), QStringLiteral("MASTER_ARP_VEL"));
    const size_t undoMark = ToModule().size();
    master->ItemAs<ButtonCtrl>(MasterPopup::UndoItem)->OnClicked();
    EXPECT_TRUE(SentSince(undoMark, EditMessage(MASTER_ARP_VEL, before)));
}

TEST_F(EditorsTest, BeatEditorListsTheCacheFollowsThePartAndEditsAsOneGroup)
{
    Begin(R"({"base": "full"})");
    MasterPopup* master = Master();
    master->Show(&owner, QString());
    master->MasterArpSwitch()->Toggle();
    MasterArpsPopup* arp = master->MasterArp();
    size_t mark = ToModule().size();
    arp->BeatEditorSwitch()->Toggle();
    BeatEditPopup* beat = arp->BeatEditor();
    ASSERT_TRUE(beat->isVisible());
    EXPECT_EQ(beat->RowCount(), 24);
    // Opening asks the module nothing about the beat parameters.
    for (const QByteArray& m : Since(mark))
        EXPECT_FALSE(m.size() > 7 && m.at(5) == 0x02 && m.at(7) == char(BEAT_TRIGGER_KEY & 0x7F)) << m.toHex().data();
    // The list follows the part shown.
    EXPECT_EQ(beat->SelectedRow(), beat->CurrentPart());

    beat->SelectRow(2);
    EXPECT_EQ(beat->CurrentPart(), 2);
    EXPECT_EQ(beat->PartLabel()->text(), QStringLiteral("Part 3"));
    EXPECT_TRUE(beat->Item(BeatEditPopup::VelocityItem)->isEnabled());

    const int layerBefore = Connection().GetCurrentLayer();
    mark = ToModule().size();
    Slider(beat, BeatEditPopup::KeyItem)->SetValue(40);
    const std::vector<QByteArray> sent = Since(mark);
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], EditMessage(LAYER_SELECT, 2));
    EXPECT_EQ(sent[1], EditMessage(BEAT_TRIGGER_KEY, 40));
    EXPECT_EQ(sent[2], EditMessage(LAYER_SELECT, layerBefore));
    EXPECT_EQ(beat->CellText(2, 1), FormatNoteName(40));
    EXPECT_EQ(master->GetUndoText(), QStringLiteral("BEAT_TRIGGER_KEY"));

    // A trigger row has no velocity, transposition or group.
    beat->SelectRow(20);
    EXPECT_FALSE(beat->Item(BeatEditPopup::VelocityItem)->isEnabled());
    EXPECT_FALSE(beat->Item(BeatEditPopup::GroupItem)->isEnabled());
    EXPECT_EQ(beat->CellText(20, 3), QString());

    // A second activation keeps exactly 24 rows.
    beat->Activate();
    EXPECT_EQ(beat->RowCount(), 24);
}

// ---------------------------------------------------------------- controllers

TEST_F(EditorsTest, ControllerMoveSendsTheAssignedControlChangeAndUndoes)
{
    Begin(R"({"base": "full", "values": {"392": 74}})");
    ControllerPopup* popup = Controllers();
    ASSERT_NE(popup, nullptr);
    Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value = 2;
    popup->OwnRecord(CONTROLLER_B_CTRL)->value = 10;
    size_t mark = ToModule().size();
    Slider(popup, 1149)->SetValue(11);
    EXPECT_EQ(Since(mark), std::vector<QByteArray>{Short(0xB2, 0x4A, 0x0B)});

    mark = ToModule().size();
    popup->ItemAs<ButtonCtrl>(ControllerPopup::UndoItem)->OnClicked();
    EXPECT_EQ(Since(mark), std::vector<QByteArray>{Short(0xB2, 0x4A, 0x0A)});
    mark = ToModule().size();
    popup->ItemAs<ButtonCtrl>(ControllerPopup::RedoItem)->OnClicked();
    EXPECT_EQ(Since(mark), std::vector<QByteArray>{Short(0xB2, 0x4A, 0x0B)});
}

TEST_F(EditorsTest, NoControllerNumberOrKeyOutsideADataByteIsSent)
{
    Begin(R"({"base": "full"})");
    ControllerPopup* popup = Controllers();
    struct Case {
        int controller, value;
    };
    // "Off", "Mpr", "PWh" and a number past 127.
    for (const Case c : {Case{-3, 5}, Case{-1, 5}, Case{128, 5}}) {
        Connection().FindParameter(MASTER_MIDI_A_CONTROL)->value = c.controller;
        const size_t mark = ToModule().size();
        Slider(popup, 1148)->SetValue(popup->OwnRecord(CONTROLLER_A_CTRL)->value + 1);
        EXPECT_TRUE(Since(mark).empty()) << c.controller;
    }
    EXPECT_FALSE(popup->SendTriggerNote(true, 0, 130, 100));
    EXPECT_FALSE(popup->SendControlChange(0, 7, 200));
}

TEST_F(EditorsTest, FootSwitchSendsFullOnAndOff)
{
    Begin(R"({"base": "full", "values": {"400": 65}})");
    ControllerPopup* popup = Controllers();
    Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value = 0;
    ParamRecord* fs2 = popup->OwnRecord(CONTROLLER_FS2_CTRL);
    size_t mark = ToModule().size();
    fs2->previousValue = 0;
    fs2->value = 1;
    ASSERT_TRUE(popup->EditParameter(fs2));
    EXPECT_EQ(Since(mark), std::vector<QByteArray>{Short(0xB0, 65, 127)});
    mark = ToModule().size();
    fs2->previousValue = 1;
    fs2->value = 0;
    ASSERT_TRUE(popup->EditParameter(fs2));
    EXPECT_EQ(Since(mark), std::vector<QByteArray>{Short(0xB0, 65, 0)});
}

TEST_F(EditorsTest, ResetTakesThePresetInitialValuesAndARangeRequestKeepsThem)
{
    Begin(R"({"base": "full", "values": {"915": 64}})");
    ControllerPopup* popup = Controllers();
    const size_t mark = ToModule().size();
    popup->ResetControllers();
    ParamRecord* a = popup->OwnRecord(CONTROLLER_A_CTRL);
    EXPECT_EQ(a->value, 64);
    EXPECT_EQ(a->defaultValue, 64);
    EXPECT_EQ(popup->OwnRecord(CONTROLLER_EXPRESSION_CTRL)->value, 127);
    for (const QByteArray& m : Since(mark))
        EXPECT_NE(uchar(m.at(0)) & 0xF0, 0xB0) << "a reset of the display sends no control change";
    // Showing the popup asks the ranges: the reset values stay.
    ASSERT_TRUE(popup->RequestParameterMinMax(a));
    EXPECT_EQ(a->value, 64);
    EXPECT_EQ(a->defaultValue, 64);
    EXPECT_FALSE(popup->CanUndo());
}

TEST_F(EditorsTest, PanelCallsReachTheControllerPopup)
{
    Begin(R"({"base": "full", "values": {"392": 74}})");
    ControllerPopup* popup = Controllers();
    Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value = 0;

    // A control change the program sent moves controller B's slider.
    const std::uint8_t cc[4] = {0xB0, 74, 55, 0};
    view->OnShortMessageSent(cc);
    EXPECT_EQ(popup->OwnRecord(CONTROLLER_B_CTRL)->value, 55);

    // A held part trigger is released by Sounds Off.
    ParamRecord* part1 = popup->OwnRecord(TRIGGER_BEAT_PART_1);
    part1->previousValue = 0;
    part1->value = 1;
    ASSERT_TRUE(popup->EditParameter(part1));
    ASSERT_TRUE(popup->AnyBeatTriggerOn());
    const Proteus::BeatData& beats = Connection().GetBeatData();
    const int key = beats.layers[0].triggerKey + beats.triggerOffset;
    const size_t mark = ToModule().size();
    view->ItemAs<ButtonCtrl>(View::SoundsOffItem)->OnClicked();
    EXPECT_EQ(part1->value, 0);
    EXPECT_FALSE(popup->AnyBeatTriggerOn());
    const int channel = beats.triggerChannel == -1 ? 0 : beats.triggerChannel;
    ASSERT_EQ(beats.layers[0].latch, 0);
    EXPECT_TRUE(SentSince(mark, Short(0x80 | (channel & 15), key, 127))) << channel << " " << key;
}

TEST_F(EditorsTest, ControllersMToPFollowTheCapabilityBothWays)
{
    Begin(R"({"base": "audity"})");
    ControllerPopup* popup = Controllers();
    EXPECT_FALSE(popup->Item(1161)->isEnabled());
    Connection().SetCapabilities(Connection().GetCapabilities() | CAP_16_CONTROLLERS);
    popup->Activate();
    EXPECT_TRUE(popup->Item(1161)->isEnabled());
}

} // namespace

namespace {

TEST_F(EditorsTest, MasterEffectsFollowTheirRoutingAtOnce)
{
    Begin(R"({"base": "full"})");
    MasterPopup* master = Master();
    master->Show(&owner, QString());
    auto set = [&](int id, int value) {
        ParamRecord* r = master->GetParameter(id);
        r->previousValue = r->value;
        r->value = value;
        ASSERT_TRUE(master->EditParameter(r));
    };
    set(MASTER_MIDI_MODE, 2);
    set(MULTIMODE_FX_CTRL_CHANNEL, -1);
    set(MASTER_FX_BYPASS, 1);
    for (int item : {1048, 1053, 1058, 1066})
        EXPECT_TRUE(master->Item(item)->isEnabled()) << item;
    set(MASTER_FX_BYPASS, 0);
    for (int item : {1048, 1053, 1058, 1066})
        EXPECT_FALSE(master->Item(item)->isEnabled()) << item;
}

TEST_F(EditorsTest, ControllersShowTheirOwnValuesAndTriggersNeedABeatsRiff)
{
    Begin(R"({"base": "full"})");
    ControllerPopup* popup = Controllers();
    popup->Show(&owner, QString());
    EXPECT_EQ(Slider(popup, 1148)->ParameterAt(0)->value, popup->OwnRecord(CONTROLLER_A_CTRL)->value);
    EXPECT_GE(popup->OwnRecord(CONTROLLER_A_CTRL)->value, 0);
    EXPECT_EQ(popup->OwnRecord(CONTROLLER_EXPRESSION_CTRL)->value, 127);

    ASSERT_FALSE(Connection().GetBeatData().riffName.startsWith(QStringLiteral("BTS-"), Qt::CaseInsensitive));
    EXPECT_FALSE(popup->Item(1165)->isEnabled());
    EXPECT_FALSE(popup->Item(ControllerPopup::ClearItem)->isEnabled());
    GetGlobalConfigurations().SetBool(TestUI, true);
    popup->Refresh();
    EXPECT_TRUE(popup->Item(1165)->isEnabled());
    EXPECT_TRUE(popup->Item(ControllerPopup::ClearItem)->isEnabled());
    GetGlobalConfigurations().SetBool(TestUI, false);
    popup->Refresh();
    EXPECT_FALSE(popup->Item(1165)->isEnabled());

    // The beat labels go with the beats engine, and come back with it.
    EXPECT_TRUE(popup->Item(ControllerPopup::RiffNameItem)->isVisibleTo(popup));
    Connection().SetCapabilities(Connection().GetCapabilities() & ~CAP_ARPS_AND_BEATS);
    popup->Refresh();
    EXPECT_FALSE(popup->Item(ControllerPopup::RiffNameItem)->isVisibleTo(popup));
    Connection().SetCapabilities(Connection().GetCapabilities() | CAP_ARPS_AND_BEATS);
    popup->Refresh();
    EXPECT_TRUE(popup->Item(ControllerPopup::RiffNameItem)->isVisibleTo(popup));
}

TEST_F(EditorsTest, ClearTapsItsKeyAndReleasesTheHeldTriggers)
{
    Begin(R"({"base": "full"})");
    ControllerPopup* popup = Controllers();
    const Proteus::BeatData& beats = Connection().GetBeatData();
    const int channel = (beats.triggerChannel == -1 ? 0 : beats.triggerChannel) & 15;
    ParamRecord* part2 = popup->OwnRecord(TRIGGER_BEAT_PART_2);
    part2->previousValue = 0;
    part2->value = 1;
    ASSERT_TRUE(popup->EditParameter(part2));
    const size_t mark = ToModule().size();
    ParamRecord* clear = popup->OwnRecord(TRIGGER_BEAT_CLEAR);
    clear->previousValue = 0;
    clear->value = 1;
    ASSERT_TRUE(popup->EditParameter(clear));
    const int clearKey = beats.layers[21].triggerKey + beats.triggerOffset;
    const int part2Key = beats.layers[1].triggerKey + beats.triggerOffset;
    const std::vector<QByteArray> expected = {Short(0x90 | channel, clearKey, 127), Short(0x80 | channel, part2Key, 127),
                                              Short(0x80 | channel, clearKey, 127)};
    EXPECT_EQ(Since(mark), expected);
    EXPECT_EQ(part2->value, 0);
    EXPECT_FALSE(popup->CanUndo()); // trigger presses are not recorded
}

} // namespace

namespace {

// A parent of the beat editor that writes down every edit it is handed and
// refuses the value itself, as a module that does not take it would.
class RefusingParent : public ChainedListener {
public:
    explicit RefusingParent(ControlListener* view) : ChainedListener(view, false) {}
    bool EditParameter(ParamRecord* record) override
    {
        ids.push_back(record->id);
        if (record->id == START_UNDO || record->id == END_UNDO)
            labels.push_back(record->text);
        if (record->id == refuse)
            return false;
        return ChainedListener::EditParameter(record);
    }
    int refuse = BEAT_TRIGGER_KEY;
    std::vector<int> ids;
    std::vector<QString> labels;
};

TEST_F(EditorsTest, ARefusedBeatEditIsReportedAsRefusedAndTheLayerIsPutBack)
{
    Begin(R"({"base": "full"})");
    RefusingParent parent(view.get());
    BeatEditPopup beat(&parent, nullptr);
    beat.Activate();
    beat.Show(&owner, QString());
    beat.SelectRow(1);
    ParamRecord* key = beat.GetParameter(BEAT_TRIGGER_KEY);
    const int before = key->value;
    const int layerBefore = Connection().GetCurrentLayer();
    parent.ids.clear();

    key->previousValue = key->value;
    key->value = before + 3;
    EXPECT_FALSE(beat.EditParameter(key));
    const std::vector<int> expected = {START_UNDO, BEAT_LAYER_SELECT, BEAT_TRIGGER_KEY, BEAT_LAYER_SELECT, END_UNDO};
    EXPECT_EQ(parent.ids, expected);
    EXPECT_EQ(parent.labels, (std::vector<QString>{QStringLiteral("BEAT_TRIGGER_KEY"), QStringLiteral("BEAT_TRIGGER_KEY")}));
    EXPECT_EQ(Connection().GetCurrentLayer(), layerBefore);

    // Taken, the same edit answers true.
    parent.refuse = -1;
    key->value = before + 3;
    EXPECT_TRUE(beat.EditParameter(key));
    beat.Show(nullptr, QString());
}

} // namespace

namespace {

TEST_F(EditorsTest, ARefusedStopOfTheAuditionLeavesThePanelRecordAsItWas)
{
    Begin(R"({"base": "full"})");
    RefusingParent parent(view.get());
    parent.refuse = AUDITION_BUTTON;
    ControllerPopup popup(&parent, nullptr, false);
    ParamRecord* audition = popup.GetParameter(AUDITION_BUTTON);
    ASSERT_EQ(audition->id, AUDITION_BUTTON);
    audition->value = 1;
    audition->previousValue = 0;

    ParamRecord* part = popup.OwnRecord(TRIGGER_BEAT_PART_5);
    part->previousValue = 0;
    part->value = 1;
    EXPECT_TRUE(popup.EditParameter(part));
    EXPECT_EQ(parent.ids, std::vector<int>{AUDITION_BUTTON});
    EXPECT_EQ(audition->value, 1);
    EXPECT_EQ(audition->previousValue, 0);
}

} // namespace

namespace {

TEST_F(EditorsTest, TriggerNotesSentElsewhereShowOnTheTriggersOnly)
{
    Begin(R"({"base": "full"})");
    ControllerPopup* popup = Controllers();
    const Proteus::BeatData& beats = Connection().GetBeatData();
    // The trigger channel is the basic one: the notes the panel sends there are the triggers'.
    Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value =
        beats.triggerChannel == -1 ? 0 : beats.triggerChannel;
    const int part3Key = beats.layers[2].triggerKey + beats.triggerOffset;
    int first = 0;
    while (beats.layers[std::size_t(first)].triggerKey != beats.layers[2].triggerKey)
        ++first; // the first layer with that key is the one shown
    auto* part = popup->ItemAs<SwitchCtrl>(1165 + first);
    const size_t mark = ToModule().size();
    popup->ShowTriggerNote(0x90, part3Key, 100);
    EXPECT_TRUE(part->IsOn());
    EXPECT_EQ(popup->OwnRecord(TRIGGER_BEAT_PART_1 + first)->value, 0); // display only
    popup->ShowTriggerNote(0x80, part3Key, 0);
    EXPECT_FALSE(part->IsOn());
    EXPECT_TRUE(Since(mark).empty());

    // On another channel than the basic one nothing shows.
    Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value =
        (beats.triggerChannel == -1 ? 0 : beats.triggerChannel) + 1;
    if (beats.triggerChannel != -1) {
        popup->ShowTriggerNote(0x90, part3Key, 100);
        EXPECT_FALSE(part->IsOn());
    }
}

} // namespace

namespace {

TEST_F(EditorsTest, EachKindOfMasterControlSendsItsParameterEdit)
{
    Begin(R"({"base": "full"})");
    MasterPopup* master = Master();
    master->Show(&owner, QString());
    master->MasterArpSwitch()->Toggle();
    MasterArpsPopup* arp = master->MasterArp();
    struct Case {
        BasicDialog* dialog;
        int item;
        int parameter;
        const char* kind;
    };
    const Case cases[] = {
        {master, 1039, MASTER_MIDI_MODE, "menu"},   {master, 1013, MASTER_MIDI_MODE_CHANGE, "lamp"},
        {master, 1087, MASTER_BEND_RANGE, "slider"}, {arp, 1165, MASTER_ARP_MODE, "menu"},
        {arp, 1164, MASTER_ARP_STATUS, "lamp"},      {arp, 1191, BEATS_TRIGGER_OFFSET, "slider"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.kind);
        auto* control = dynamic_cast<ControlBase*>(c.dialog->Item(c.item));
        ASSERT_NE(control, nullptr) << c.item;
        ParamRecord* record = control->ParameterAt(0);
        ASSERT_EQ(record->id, c.parameter);
        const int before = record->value;
        const int wanted = before == record->minimum ? record->minimum + 1 : record->minimum;
        const size_t mark = ToModule().size();
        if (auto* menu = dynamic_cast<MenuLogic*>(control))
            menu->Choose(wanted);
        else if (auto* lamp = dynamic_cast<SwitchLogic*>(control))
            lamp->Toggle();
        else
            dynamic_cast<TrackerLogic*>(control)->SetValue(wanted);
        EXPECT_TRUE(SentSince(mark, EditMessage(c.parameter, record->value))) << c.item;
        EXPECT_NE(record->value, before);
        EXPECT_EQ(master->GetUndoText(), record->name);
        // One undo step puts the module's value back.
        const size_t undoMark = ToModule().size();
        master->OnCommand(cmd::Undo);
        EXPECT_TRUE(SentSince(undoMark, EditMessage(c.parameter, before))) << c.item;
    }
}

} // namespace

namespace {

TEST_F(EditorsTest, AControllerDragSendsEveryStepAndUndoesAsOneStep)
{
    Begin(R"({"base": "full", "values": {"391": 21}})");
    ControllerPopup* popup = Controllers();
    popup->Show(&owner, QString());
    Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value = 0;
    TrackerLogic* a = Slider(popup, 1148);
    const int before = a->ParameterAt(0)->value;
    const Edges thumb = a->Thumb();
    const int x = (thumb.l + thumb.r) / 2;
    const int y = (thumb.t + thumb.b) / 2;
    const size_t mark = ToModule().size();
    a->MousePress(x, y);
    for (int step = 1; step <= 5; ++step)
        a->MouseMove(x + 6 * step, y);
    a->MouseRelease(x + 30, y);
    const std::vector<QByteArray> sent = Since(mark);
    EXPECT_GE(sent.size(), 3u);
    for (const QByteArray& m : sent)
        EXPECT_EQ(m.left(2), Short(0xB0, 21, 0).left(2));
    ASSERT_TRUE(popup->CanUndo());
    // One group: the history begins and ends with its markers.
    for (int id : {popup->UndoHistory().front().id, popup->UndoHistory().back().id})
        EXPECT_TRUE(id == START_UNDO || id == END_UNDO) << id;

    const size_t undoMark = ToModule().size();
    popup->OnCommand(cmd::Undo);
    const std::vector<QByteArray> undone = Since(undoMark);
    ASSERT_FALSE(undone.empty());
    EXPECT_EQ(undone.back(), Short(0xB0, 21, before));
    EXPECT_FALSE(popup->CanUndo());
    EXPECT_EQ(a->ParameterAt(0)->value, before);
}

} // namespace
