// The main panel against the simulated module: binding and the disabled
// panel, connect and disconnect, the named popups, the channel range, the
// panel's edits as the bytes the module receives, the echo of volume and pan,
// the veto of a channel change, undo, tooltips, the octave and progress.
#include "ViewFixture.h"

#include "app/ViewControls.h"
#include "core/GlobalResources.h"
#include "module/Capabilities.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/LoggerPopup.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/ProgressCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/LabelCtrl.h"
#include "app/Frame.h"
#include "ui/framework/Popup.h"
#include "ui/framework/TipEditor.h"

#include <QApplication>
#include <QHelpEvent>
#include <QToolTip>

#include <thread>

using namespace viewtest;

namespace {

class ViewTest : public ViewFixture {};

// Every item of the panel that is a registered control.
const int kControlItems[] = {View::PanItem,        View::ChannelItem,   View::VolumeItem,   View::SoundsOffItem,
                             View::MixItem,        View::ArpItem,       View::EditArpItem,  View::ProgChangeItem,
                             View::OctaveSpinItem, View::KeyboardItem,  View::LatchItem,    View::RepeatItem,
                             View::ChordItem,      View::ClearItem,     View::EnabledItem,  View::PresetItem,
                             View::AuditionItem,   View::ControllersItem, View::EditPresetItem, View::MasterItem,
                             View::SetupItem};

// The popup switches whose editors are not part of the program yet.
const int kEditorSwitches[] = {View::EditArpItem, View::ControllersItem, View::EditPresetItem, View::MasterItem,
                               View::SetupItem};

bool IsEditorSwitch(int item)
{
    return std::find(std::begin(kEditorSwitches), std::end(kEditorSwitches), item) != std::end(kEditorSwitches);
}

/// A panel that records the names entering the popup registry.
class RecordingView : public View {
public:
    using View::View;
    void AddPopup(const QString& name, QWidget* popup) override
    {
        added << name;
        View::AddPopup(name, popup);
    }
    QStringList added;
};

/// A control that refuses every change of the confirm set (an editor with
/// unsaved changes whose user said Cancel).
class VetoingControl : public ControlBase {
public:
    explicit VetoingControl(ControlListener* owner) : ControlBase(owner) {}
    bool AllowParameterChange(ParamRecord*) override
    {
        ++asked;
        return !veto;
    }
    bool veto = true;
    int asked = 0;
};

/// A stand-in for the Controllers popup, recording what the panel asks of it.
class FakeControllers : public Popup, public ControllerPopupCalls {
public:
    FakeControllers(ControlListener* parent, QWidget* parentWnd)
        : Popup(QStringLiteral("Controllers"), 161, true, parent, parentWnd)
    {
        InitialisePopup();
    }
    bool AnyBeatTriggerOn() override { return triggerOn; }
    void ReleaseTriggers() override { calls << QStringLiteral("release"); }
    void ResetControllers() override { calls << QStringLiteral("reset"); }
    void ShowControlChange(int status, int controller, int value) override
    {
        calls << QStringLiteral("cc %1 %2 %3").arg(status, 0, 16).arg(controller).arg(value);
    }
    void ShowTriggerNote(int status, int note, int velocity) override
    {
        calls << QStringLiteral("note %1 %2 %3").arg(status, 0, 16).arg(note).arg(velocity);
    }
    bool triggerOn = false;
    QStringList calls;
};

/// A panel whose Controllers popup is the stand-in.
class ViewWithControllers : public View {
public:
    using View::View;

protected:
    std::unique_ptr<PopupBase> CreatePopup(int slot) override
    {
        if (slot == ControllersPopup)
            return std::make_unique<FakeControllers>(this, this);
        return View::CreatePopup(slot);
    }
};

} // namespace

TEST_F(ViewTest, PanelIsDisabledBeforeConnectAndEnabledAfter)
{
    ASSERT_EQ(view->GetPanelTooltipId(), View::PanelTooltipId);
    for (int item : kControlItems) {
        SCOPED_TRACE(item);
        QWidget* w = view->Item(item);
        ASSERT_NE(w, nullptr);
        EXPECT_NE(view->FindControl(w), nullptr); // registered
        EXPECT_FALSE(w->isEnabled());
    }
    EXPECT_TRUE(view->Item(View::ArpItem)->isHidden());
    EXPECT_TRUE(view->Item(View::EditArpItem)->isHidden());
    // The Message Log is no part of the panel: it can be read without a module.
    ASSERT_NE(view->GetMessageLog(), nullptr);
    EXPECT_TRUE(view->GetMessageLog()->isEnabled());
    EXPECT_EQ(view->FindPopup(QStringLiteral("Message Log")), view->GetMessageLog());

    Connect();
    for (int item : kControlItems) {
        SCOPED_TRACE(item);
        EXPECT_EQ(view->Item(item)->isEnabled(), !IsEditorSwitch(item));
    }
    EXPECT_TRUE(view->IsDeviceReady());

    Disconnect();
    for (int item : kControlItems) {
        SCOPED_TRACE(item);
        EXPECT_FALSE(view->Item(item)->isEnabled());
    }
    EXPECT_FALSE(view->IsDeviceReady());
}

TEST_F(ViewTest, FirstConnectCreatesTheSelectionPopupsInOrderAndASecondCreatesNone)
{
    Start(R"({"base": "minimal"})", [](Document& d) { return std::make_unique<RecordingView>(d); });
    auto* recording = static_cast<RecordingView*>(view.get());
    recording->added.clear();
    for (int slot = 0; slot < View::PopupSlotCount; ++slot)
        EXPECT_EQ(view->GetPopup(slot), nullptr);

    Connect();
    const QStringList selections = {QStringLiteral("PresetSelection"), QStringLiteral("InstrumentSelection"),
                                    QStringLiteral("ArpSelection"),    QStringLiteral("SetupSelection"),
                                    QStringLiteral("DemoSelection"),   QStringLiteral("RiffSelection")};
    EXPECT_EQ(recording->added, selections);
    std::vector<PopupBase*> made;
    for (int slot = 0; slot < View::PopupSlotCount; ++slot) {
        SCOPED_TRACE(slot);
        made.push_back(view->GetPopup(slot));
        const bool selection = slot <= View::RiffSelectionPopup;
        EXPECT_EQ(made.back() != nullptr, selection);
        if (selection) {
            EXPECT_EQ(view->FindPopup(View::PopupSlotName(slot)), made.back());
            EXPECT_NE(view->FindControl(made.back()), nullptr); // registered as a control
        }
    }

    // Popups outlive a disconnect and a reconnect makes none.
    Disconnect();
    Connect();
    EXPECT_EQ(recording->added, selections);
    for (int slot = 0; slot < View::PopupSlotCount; ++slot)
        EXPECT_EQ(view->GetPopup(slot), made[size_t(slot)]);
}

TEST_F(ViewTest, ArpControlsShowOnlyWithArpsAndBeats)
{
    const struct {
        const char* profile;
        bool arps;
    } rows[] = {{R"({"base": "minimal"})", false}, {R"({"base": "full"})", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.profile);
        Start(row.profile);
        Connect();
        EXPECT_EQ(view->Item(View::ArpItem)->isVisibleTo(view.get()), row.arps);
        EXPECT_EQ(view->Item(View::EditArpItem)->isVisibleTo(view.get()), row.arps);
    }
}

TEST_F(ViewTest, UndoListIsEmptyAfterConnect)
{
    Connect();
    EXPECT_TRUE(view->UndoHistory().empty());
    EXPECT_TRUE(view->RedoHistory().empty());
    EXPECT_FALSE(view->CanUndo());
    // The connect set the module's channel to the panel's all the same.
    EXPECT_EQ(ModuleValue(MULTIMODE_BASIC_CHANNEL), Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value);
}

TEST_F(ViewTest, ChannelRangeFollowsTheModuleAndTheBPort)
{
    const struct {
        const char* name;
        const char* profile;
        bool bPort;
        int maximum;
        int format;
    } rows[] = {
        {"16 channels", R"({"base": "minimal"})", false, 15, vf::MidiChannel},
        {"16 channels, B port open", R"({"base": "minimal"})", true, 15, vf::MidiChannel},
        {"32 channels without B port", R"({"base": "full"})", false, 15, vf::MidiChannelPort},
        {"32 channels, B port open", R"({"base": "full"})", true, 31, vf::MidiChannelPort},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        Start(row.profile);
        if (row.bPort)
            OpenBPort();
        Connect();
        auto* channel = view->ItemAs<TrackerCtrl>(View::ChannelItem);
        EXPECT_EQ(Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->maximum, row.maximum);
        EXPECT_EQ(channel->Maximum(), row.maximum);
        EXPECT_EQ(channel->GetValueFormat(), row.format);
    }
}

TEST_F(ViewTest, ChannelRangeWidensWhenTheBPortOpensLater)
{
    Start(R"({"base": "full"})");
    Connect();
    auto* channel = view->ItemAs<TrackerCtrl>(View::ChannelItem);
    EXPECT_EQ(channel->Maximum(), 15);
    OpenBPort();
    view->UpdateChannelRange();
    EXPECT_EQ(channel->Maximum(), 31);
}

TEST_F(ViewTest, PanelEditsSendTheirParameterEdits)
{
    Connect();
    struct Row {
        const char* name;
        int id;
        int value;
        std::function<void()> edit;
    };
    const Row rows[] = {
        {"volume tracker", MULTIMODE_VOLUME, 100,
         [&] { view->ItemAs<TrackerCtrl>(View::VolumeItem)->SetPosition(100); }},
        {"enabled lamp", MULTIMODE_CHANNEL_ENABLE, 0,
         [&] { view->ItemAs<LitButtonCtrl>(View::EnabledItem)->Toggle(); }},
        {"mix menu", MULTIMODE_MIX_OUTPUT, 2, [&] { view->ItemAs<MenuCtrl>(View::MixItem)->Choose(2); }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const size_t mark = ToModule().size();
        const size_t undo = view->UndoHistory().size();
        row.edit();
        const std::vector<QByteArray> sent = Since(mark);
        ASSERT_FALSE(sent.empty());
        EXPECT_EQ(sent.back(), EditMessage(row.id, row.value));
        EXPECT_EQ(ModuleValue(row.id), row.value);
        EXPECT_EQ(view->UndoHistory().size(), undo + 1);
        EXPECT_EQ(view->UndoHistory().front().id, row.id);
    }
}

TEST_F(ViewTest, SoundsOffSendsNotesOffSoundOffAndResetOnEveryChannel)
{
    const struct {
        const char* profile;
        bool thirtyTwo;
    } rows[] = {{R"({"base": "minimal"})", false}, {R"({"base": "full"})", true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.profile);
        Start(row.profile);
        OpenBPort();
        Connect();
        const size_t mark = ToModule().size();
        bDevice->ClearReceived();
        view->ItemAs<ButtonCtrl>(View::SoundsOffItem)->OnClicked();

        std::vector<QByteArray> expected;
        for (int c = 0; c < 16; ++c) {
            expected.push_back(QByteArray(1, char(0xB0 + c)) + sim::Hex("7B 00"));
            expected.push_back(QByteArray(1, char(0xB0 + c)) + sim::Hex("78 00"));
            expected.push_back(sim::Hex("FF"));
        }
        EXPECT_EQ(Since(mark), expected);
        std::vector<QByteArray> onB;
        for (const std::vector<std::uint8_t>& m : bDevice->Received())
            onB.push_back(QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size())));
        EXPECT_EQ(onB, row.thirtyTwo ? expected : std::vector<QByteArray>{});
        EXPECT_TRUE(view->UndoHistory().empty()); // not recorded
    }
}

TEST_F(ViewTest, LatchAndRepeatExcludeEachOtherAndBothChangesAreRecorded)
{
    Connect();
    auto* latch = view->ItemAs<BitmapSwitchCtrl>(View::LatchItem);
    auto* repeat = view->ItemAs<BitmapSwitchCtrl>(View::RepeatItem);
    auto* keyboard = view->ItemAs<ViewKeyboard>(View::KeyboardItem);
    repeat->Toggle();
    EXPECT_EQ(keyboard->Mode(), 2);
    latch->Toggle();
    EXPECT_EQ(keyboard->Mode(), 1);
    EXPECT_TRUE(latch->IsOn());
    EXPECT_FALSE(repeat->IsOn());
    EXPECT_EQ(view->GetParameter(KEYBOARD_REPEAT_BUTTON)->value, 0);
    // Newest first: latch on, repeat off, repeat on.
    ASSERT_EQ(view->UndoHistory().size(), 3u);
    EXPECT_EQ(view->UndoHistory()[0].id, KEYBOARD_LATCH_BUTTON);
    EXPECT_EQ(view->UndoHistory()[1].id, KEYBOARD_REPEAT_BUTTON);
    EXPECT_EQ(view->UndoHistory()[1].value, 1); // undoing it turns repeat on again

    repeat->Toggle();
    EXPECT_EQ(keyboard->Mode(), 2);
    EXPECT_FALSE(latch->IsOn());
    view->ItemAs<BitmapSwitchCtrl>(View::ChordItem)->Toggle();
    EXPECT_TRUE(keyboard->Chord());
}

TEST_F(ViewTest, VolumeAndPanControlChangesMoveTheTrackersWithoutSendingAnEdit)
{
    Connect();
    auto* volume = view->ItemAs<TrackerCtrl>(View::VolumeItem);
    auto* pan = view->ItemAs<TrackerCtrl>(View::PanItem);
    const size_t mark = ToModule().size();
    const std::uint8_t cc7[4] = {0xB0, 7, 42, 0};
    ASSERT_TRUE(Connection().SendShortMidiMessage(cc7));
    EXPECT_EQ(volume->Value(), 42);
    EXPECT_EQ(Connection().FindParameter(MULTIMODE_VOLUME)->value, 42);
    const std::uint8_t cc10[4] = {0xB0, 10, 20, 0};
    ASSERT_TRUE(Connection().SendShortMidiMessage(cc10));
    EXPECT_EQ(pan->Value(), 20);
    // Only the two controller messages went out: the module has the values already.
    const std::vector<QByteArray> sent = Since(mark);
    EXPECT_EQ(sent, (std::vector<QByteArray>{sim::Hex("B0 07 2A"), sim::Hex("B0 0A 14")}));
    EXPECT_TRUE(view->UndoHistory().empty());
}

TEST_F(ViewTest, AnEchoFromAnotherThreadWaitsForTheUserInterfaceThread)
{
    Connect();
    auto* volume = view->ItemAs<TrackerCtrl>(View::VolumeItem);
    const int before = volume->Value();
    const std::uint8_t cc7[4] = {0xB0, 7, std::uint8_t(before == 99 ? 98 : 99), 0};
    std::thread ticker([&] { view->OnShortMessageSent(cc7); });
    ticker.join();
    EXPECT_EQ(volume->Value(), before);
    QCoreApplication::processEvents();
    EXPECT_EQ(volume->Value(), cc7[2]);
}

TEST_F(ViewTest, AVetoedChannelChangeFailsAndRecordsNothing)
{
    Connect();
    VetoingControl editor(view.get());
    int window = 0;
    editor.SetControlWindow(reinterpret_cast<QWidget*>(&window));
    view->AddControl(&editor);
    auto* channel = view->ItemAs<TrackerCtrl>(View::ChannelItem);
    const int before = channel->Value();
    const size_t mark = ToModule().size();

    channel->SetPosition(before + 2);
    EXPECT_GT(editor.asked, 0);
    EXPECT_EQ(channel->Value(), before);
    EXPECT_EQ(Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value, before);
    EXPECT_TRUE(Since(mark).empty());
    EXPECT_TRUE(view->UndoHistory().empty());
    EXPECT_FALSE(view->QueryClose());

    editor.veto = false;
    EXPECT_TRUE(view->QueryClose());
    view->ForgetControls(); // the panel is going; nothing may reach the test's control
}

TEST_F(ViewTest, UndoOfAChannelChangeSendsTheOldChannelBack)
{
    Connect();
    auto* channel = view->ItemAs<TrackerCtrl>(View::ChannelItem);
    const int before = channel->Value();
    channel->SetPosition(before + 3);
    EXPECT_EQ(ModuleValue(MULTIMODE_BASIC_CHANNEL), before + 3);
    ASSERT_EQ(view->GetUndoText(), QStringLiteral("MULTIMODE_BASIC_CHANNEL"));

    const size_t mark = ToModule().size();
    view->Undo();
    EXPECT_EQ(ModuleValue(MULTIMODE_BASIC_CHANNEL), before);
    EXPECT_EQ(channel->Value(), before);
    const std::vector<QByteArray> sent = Since(mark);
    EXPECT_NE(std::find(sent.begin(), sent.end(), EditMessage(MULTIMODE_BASIC_CHANNEL, before)), sent.end());
    EXPECT_TRUE(view->CanRedo());
}

TEST_F(ViewTest, ChannelChangeLooksUpThePresetOfTheNewChannel)
{
    Start(R"({"base": "full"})"); // a module with a setup buffer to look the preset up in
    Connect();
    int romId = -1;
    int preset = -1;
    ASSERT_TRUE(Connection().GetChannelPreset(4, romId, preset));
    view->ItemAs<TrackerCtrl>(View::ChannelItem)->SetPosition(4);
    const ParamRecord* shown = Connection().FindParameter(MULTIMODE_PRESET);
    EXPECT_EQ(shown->romId, romId);
    EXPECT_EQ(shown->value, preset);
    int r = -1;
    int p = -1;
    view->GetCurrentPreset(r, p);
    EXPECT_EQ(r, romId);
    EXPECT_EQ(p, preset);
}

TEST_F(ViewTest, AddPopupWithANameAlreadyPresentReplacesIt)
{
    int first = 0;
    int second = 0;
    view->AddPopup(QStringLiteral("Names"), reinterpret_cast<QWidget*>(&first));
    view->AddPopup(QStringLiteral("Names"), reinterpret_cast<QWidget*>(&second));
    EXPECT_EQ(view->FindPopup(QStringLiteral("Names")), reinterpret_cast<QWidget*>(&second));
    // Exact, case-sensitive names.
    EXPECT_EQ(view->FindPopup(QStringLiteral("names")), nullptr);
    view->RemovePopup(QStringLiteral("Names"));
    EXPECT_EQ(view->FindPopup(QStringLiteral("Names")), nullptr);
}

TEST_F(ViewTest, PanelPseudoParametersAreThePanelsOwnRecords)
{
    const struct {
        const char* name;
        int id;
    } rows[] = {{"SOUNDS_OFF_BUTTON", 9018},     {"EDIT_ARP_BUTTON", 9020},      {"KEYBOARD_LATCH_BUTTON", 9021},
                {"KEYBOARD_REPEAT_BUTTON", 9022}, {"KEYBOARD_CHORD_BUTTON", 9023}, {"KEYBOARD_CLEAR_BUTTON", 9024},
                {"AUDITION_BUTTON", 9017},       {"EDIT_CONTROLLER_BUTTON", 9019}, {"EDIT_PRESET_BUTTON", 9016},
                {"EDIT_SETUP_BUTTON", 9025},     {"UPLOAD_SYSEX", 9003}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const ParamRecord* r = view->ControlListener::GetParameter(row.id); // the panel's own table only
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->name, QString::fromLatin1(row.name));
        EXPECT_EQ(r->id, row.id);
        EXPECT_EQ(r->value, 0);
        EXPECT_EQ(r->minimum, 0);
        EXPECT_EQ(r->maximum, 1);
        EXPECT_EQ(r->defaultValue, 0);
        EXPECT_FALSE(r->readOnly);
        EXPECT_EQ(r->romId, 0);
    }
    for (int marker : {START_UNDO, END_UNDO}) {
        const ParamRecord* r = view->ControlListener::GetParameter(marker);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(r->id, marker);
    }
}

TEST_F(ViewTest, PanelButtonsAreNotRecordedTheSwitchesAre)
{
    Connect();
    const struct {
        int id;
        bool recorded;
    } rows[] = {{EDIT_PRESET_BUTTON, false}, {EDIT_CONTROLLER_BUTTON, false}, {EDIT_ARP_BUTTON, false},
                {KEYBOARD_CLEAR_BUTTON, false}, {EDIT_SETUP_BUTTON, false}, {KEYBOARD_CHORD_BUTTON, true},
                {UPLOAD_SYSEX, true}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.id);
        ParamRecord* r = view->GetParameter(row.id);
        const size_t before = view->UndoHistory().size();
        r->previousValue = r->value;
        r->value = 1;
        EXPECT_TRUE(view->EditParameter(r));
        EXPECT_EQ(view->UndoHistory().size(), before + (row.recorded ? 1 : 0));
    }
}

TEST_F(ViewTest, TooltipsFollowTheTooltipSetting)
{
    Connect();
    QWidget* volume = view->Item(View::VolumeItem);
    const struct {
        int setting;
        bool shown;
    } rows[] = {{0, false}, {1, true}, {2, true}};
    view->resize(view->size());
    for (const auto& row : rows) {
        SCOPED_TRACE(row.setting);
        GetGlobalConfigurations().SetDword(EnableTooltips, std::uint32_t(row.setting));
        QToolTip::hideText();
        const QPoint at = volume->geometry().center();
        QHelpEvent help(QEvent::ToolTip, at, view->mapToGlobal(at));
        QCoreApplication::sendEvent(view.get(), &help);
        EXPECT_EQ(QToolTip::isVisible(), row.shown);
        if (row.shown) {
            EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("The volume of the main output")));
        }
    }
    QToolTip::hideText();
    EXPECT_EQ(view->GetToolTipText(View::VolumeItem), QStringLiteral("The volume of the main output"));
    EXPECT_EQ(view->GetToolTipText(View::OutPortItem), QStringLiteral("The Main Panel"));
    EXPECT_EQ(view->GetToolTipText(0), QStringLiteral("The Main Panel"));
}

TEST_F(ViewTest, OctaveSpinMovesTheKeyboardAndRefusesSteppingOutOfRange)
{
    Connect();
    auto* low = view->ItemAs<LabelCtrl>(View::LowNoteItem);
    auto* high = view->ItemAs<LabelCtrl>(View::HighNoteItem);
    // At connect the spin is at 1: the keyboard plays notes 12 to 91.
    EXPECT_EQ(view->KeyboardOctave(), 1);
    EXPECT_EQ(low->text(), QStringLiteral("C-1"));
    EXPECT_EQ(high->text(), QStringLiteral("G5"));
    const struct {
        int delta;
        bool taken;
        int octave;
        const char* low;
        const char* high;
    } rows[] = {{-1, true, 0, "C-2", "G4"}, {-1, false, 0, "C-2", "G4"}, {4, true, 4, "C2", "G8"},
                {1, false, 4, "C2", "G8"},  {-2, true, 2, "C0", "G6"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.delta);
        EXPECT_EQ(view->OnOctaveDeltaPos(row.delta), row.taken);
        EXPECT_EQ(view->KeyboardOctave(), row.octave);
        EXPECT_EQ(low->text(), QString::fromLatin1(row.low));
        EXPECT_EQ(high->text(), QString::fromLatin1(row.high));
    }
    // The picture's first key is C of the chosen octave.
    auto* keyboard = view->ItemAs<ViewKeyboard>(View::KeyboardItem);
    const std::optional<KeyHit> first = keyboard->NoteAt(6, 60);
    ASSERT_TRUE(first);
    EXPECT_EQ(first->note, 24);
}

TEST_F(ViewTest, ProgressShowsAndEndsWithTheWaitCursorBalanced)
{
    auto* text = view->ItemAs<LabelCtrl>(View::ProgressTextItem);
    auto* bar = view->ItemAs<ProgressCtrl>(View::ProgressBarItem);
    WaitCursorState& cursor = style->GetWaitCursorState();
    const int cursors = cursor.Count();
    EXPECT_TRUE(text->text().isEmpty());
    EXPECT_TRUE(bar->isHidden());

    view->OnBeginProgress(0, 10, QStringLiteral("Checking Hardware"));
    EXPECT_TRUE(view->IsProgressActive());
    EXPECT_EQ(text->text(), QStringLiteral("Checking Hardware"));
    EXPECT_FALSE(bar->isHidden());
    EXPECT_EQ(bar->Upper(), 10);
    view->OnProgressStep();
    view->OnProgressStep();
    EXPECT_EQ(bar->GetPos(), 2);
    view->OnBeginProgress(0, 3, QStringLiteral("Getting"));
    view->OnProgressText(QStringLiteral("Getting Presets"));
    EXPECT_EQ(text->text(), QStringLiteral("Getting Presets"));
    EXPECT_EQ(cursor.Count(), cursors + 2);
    view->OnEndProgress();
    view->OnEndProgress();
    view->OnEndProgress(); // one too many changes nothing
    EXPECT_EQ(cursor.Count(), cursors);
    EXPECT_FALSE(view->IsProgressActive());
    EXPECT_TRUE(text->text().isEmpty());
    EXPECT_TRUE(bar->isHidden());
    view->OnProgressStep(); // not active: nothing
    EXPECT_EQ(bar->GetPos(), 0);
}

TEST_F(ViewTest, PortNamesShowTheDocumentsPorts)
{
    EXPECT_EQ(view->ItemAs<LabelCtrl>(View::OutPortItem)->text(), QStringLiteral("Proteus"));
    EXPECT_EQ(view->ItemAs<LabelCtrl>(View::InPortItem)->text(), QStringLiteral("Proteus"));
    document->SetOutputPort(1);
    document->SetInputPort(-1);
    view->OnUpdate();
    EXPECT_EQ(view->ItemAs<LabelCtrl>(View::OutPortItem)->text(), QStringLiteral("Proteus B"));
    EXPECT_TRUE(view->ItemAs<LabelCtrl>(View::InPortItem)->text().isEmpty());
}

TEST_F(ViewTest, SoundsOffStopsARunningAuditionAndRecordsIt)
{
    Connect();
    auto pressed = [&] {
        link->SleepMs(50);
        return link->withDevice([&](sim::Device&) { return int(module->state().buttonsPressed.size()); });
    };
    auto* audition = view->ItemAs<SwitchCtrl>(View::AuditionItem);
    audition->Toggle();
    EXPECT_EQ(pressed(), 1);
    EXPECT_EQ(view->GetParameter(AUDITION_BUTTON)->value, 1);

    view->ItemAs<ButtonCtrl>(View::SoundsOffItem)->OnClicked();
    EXPECT_EQ(pressed(), 2); // pressed once more: audition stops
    EXPECT_EQ(view->GetParameter(AUDITION_BUTTON)->value, 0);
    EXPECT_FALSE(audition->IsOn());
    ASSERT_EQ(view->UndoHistory().size(), 2u);
    EXPECT_EQ(view->UndoHistory().front().id, AUDITION_BUTTON);
}

TEST_F(ViewTest, AChannelChangeRunsWithTheAuditionPaused)
{
    Connect();
    auto pressed = [&] {
        link->SleepMs(50);
        return link->withDevice([&](sim::Device&) { return int(module->state().buttonsPressed.size()); });
    };
    view->ItemAs<SwitchCtrl>(View::AuditionItem)->Toggle();
    ASSERT_EQ(pressed(), 1);
    auto* channel = view->ItemAs<TrackerCtrl>(View::ChannelItem);
    channel->SetPosition(channel->Value() + 1);
    EXPECT_EQ(pressed(), 3); // stopped for the change, started again after it
    EXPECT_EQ(view->GetParameter(AUDITION_BUTTON)->value, 1);
}

TEST_F(ViewTest, TipEditorEditsTheFocusedControlsTooltipOnlyWhenTooltipsAreLong)
{
    Connect();
    QStringList asked;
    SetTipEditorRunner([&](const QString&, ControlListener*, QWidget*, const QString& text) -> std::optional<QString> {
        asked << text;
        return QStringLiteral("How loud the channel plays");
    });
    view->show();
    view->activateWindow();
    QWidget* volume = view->Item(View::VolumeItem);
    volume->setFocus();
    QCoreApplication::processEvents();
    ASSERT_EQ(QApplication::focusWidget(), volume);

    for (int setting : {0, 1}) {
        GetGlobalConfigurations().SetDword(EnableTooltips, std::uint32_t(setting));
        view->OnTipEditor();
    }
    EXPECT_TRUE(asked.isEmpty());
    GetGlobalConfigurations().SetDword(EnableTooltips, 2);
    view->OnTipEditor();
    EXPECT_EQ(asked, QStringList{QStringLiteral("The volume of the main output")});
    EXPECT_EQ(view->GetToolTipText(View::VolumeItem), QStringLiteral("How loud the channel plays"));
    SetTipEditorRunner(nullptr);
}

TEST_F(ViewTest, TheControllersPopupHearsWhatThePanelTellsItOnceItExists)
{
    // Without the popup nothing is asked (the other tests); with it:
    Start(R"({"base": "full"})", [](Document& d) { return std::make_unique<ViewWithControllers>(d); });
    Connect();
    auto* controllers = dynamic_cast<FakeControllers*>(view->GetPopup(View::ControllersPopup));
    ASSERT_NE(controllers, nullptr);
    EXPECT_EQ(view->FindPopup(QStringLiteral("Controllers")), controllers);
    EXPECT_TRUE(view->Item(View::ControllersItem)->isEnabled()); // its switch works
    EXPECT_FALSE(view->Item(View::EditPresetItem)->isEnabled()); // the others still wait for their editors
    controllers->calls.clear();

    const std::uint8_t modWheel[4] = {0xB0, 1, 64, 0};
    const std::uint8_t volume[4] = {0xB0, 7, 64, 0};
    const std::uint8_t noteOn[4] = {0x90, 60, 100, 0};
    Connection().SendShortMidiMessage(modWheel);
    Connection().SendShortMidiMessage(volume);
    Connection().SendShortMidiMessage(noteOn);
    EXPECT_EQ(controllers->calls, (QStringList{QStringLiteral("cc b0 1 64"), QStringLiteral("note 90 60 100")}));

    controllers->calls.clear();
    view->ItemAs<TrackerCtrl>(View::ChannelItem)->SetPosition(2);
    EXPECT_EQ(controllers->calls.count(QStringLiteral("reset")), 1);

    // Audition and Sounds Off release the beat triggers only while one is on.
    controllers->calls.clear();
    view->ItemAs<ButtonCtrl>(View::SoundsOffItem)->OnClicked();
    EXPECT_FALSE(controllers->calls.contains(QStringLiteral("release")));
    controllers->triggerOn = true;
    view->ItemAs<ButtonCtrl>(View::SoundsOffItem)->OnClicked();
    EXPECT_TRUE(controllers->calls.contains(QStringLiteral("release")));
}

TEST_F(ViewTest, TheFramesTitleIsBuiltAgainAtConnect)
{
    // The panel inside a main window: the frame makes its own panel.
    document->SetView(nullptr);
    view.reset();
    Frame frame(*document);
    View* inFrame = frame.GetView();
    inFrame->OnInitialUpdate();
    frame.setWindowTitle(QStringLiteral("stale"));
    Connect();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tabrine"));
    EXPECT_TRUE(inFrame->Item(View::VolumeItem)->isEnabled());
    Disconnect();
    EXPECT_FALSE(inFrame->Item(View::VolumeItem)->isEnabled());
}

TEST_F(ViewTest, WithUseLcdThePresetIsFoundByTheNameOnTheModulesScreen)
{
    Start(R"({"base": "full"})");
    Connect();
    const int simm = module->profile().simms.front().id;
    const QByteArray wanted = module->objectName(sim::ObjectKind::Preset, simm, 5).value();
    auto showName = [&](const QByteArray& name) {
        link->withDevice([&](sim::Device&) {
            for (int i = 0; i < 16; ++i)
                module->setParameterValue(PRESET_NAME_CHAR_0 + i, i < name.size() ? uchar(name[i]) : ' ');
            return 0;
        });
    };
    GetGlobalConfigurations().SetBool(UseLCD, true);
    showName(wanted);
    int romId = -1;
    int preset = -1;
    view->GetCurrentPreset(romId, preset);
    EXPECT_EQ(romId, simm);
    EXPECT_EQ(preset, 5);

}

TEST_F(ViewTest, APresetThatCannotBeLookedUpLeavesTheOneShown)
{
    // The minimal module keeps no setup buffer to look the channel's preset up in.
    Connect();
    int romId = -1;
    int preset = -1;
    ASSERT_FALSE(Connection().GetChannelPreset(3, romId, preset));
    ParamRecord* shown = Connection().FindParameter(MULTIMODE_PRESET);
    shown->romId = 0;
    shown->value = 7;
    view->ItemAs<TrackerCtrl>(View::ChannelItem)->SetPosition(3);
    EXPECT_EQ(ModuleValue(MULTIMODE_BASIC_CHANNEL), 3);
    EXPECT_EQ(shown->romId, 0);
    EXPECT_EQ(shown->value, 7);
}

TEST_F(ViewTest, APresetChosenInThePresetListSelectsItOnThePanelsChannel)
{
    Connect();
    auto* preset = view->ItemAs<SelectCtrl>(View::PresetItem);
    preset->Toggle(); // the list opens for the selector
    ASSERT_TRUE(view->GetPopup(View::PresetSelectionPopup)->isVisible());
    const size_t mark = ToModule().size();
    EXPECT_TRUE(preset->OnPopupSelect(1, 0, 5));
    // Bank select (ROM 0, bank 0) and program change 5 on channel 1.
    const std::vector<QByteArray> sent = Since(mark);
    const std::vector<QByteArray> select = {sim::Hex("B0 00 00"), sim::Hex("B0 20 00"), sim::Hex("C0 05")};
    EXPECT_NE(std::search(sent.begin(), sent.end(), select.begin(), select.end()), sent.end())
        << TranscriptText().right(1500).toStdString();
    EXPECT_EQ(Connection().FindParameter(MULTIMODE_PRESET)->value, 5);
    ASSERT_FALSE(view->UndoHistory().empty());
    EXPECT_EQ(view->UndoHistory().front().id, MULTIMODE_PRESET);

    // A disconnect closes the list.
    Disconnect();
    EXPECT_FALSE(view->GetPopup(View::PresetSelectionPopup)->isVisible());
}
