// The second set of control widgets offscreen: drags over the envelope graph,
// clicks and test-note keys on the keyboard, value menus and the slider popup
// driven with keys, the object select button with its name list, the popup
// switch, the name edit and the keyboard configuration dialog.
#include "ControlTestSupport.h"

#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "module/ParameterIds.h"
#include "platform/SettingsStore.h"
#include "support/TestStyle.h"
#include "support/ShortcutCheck.h"
#include "ui/controls/ConfigureKeyboardDlg.h"
#include "ui/controls/EnvGraphCtrl.h"
#include "ui/controls/KeyBoardCtrl.h"
#include "ui/controls/NameEditCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/BasicDialog.h"
#include "ui/framework/TipEditor.h"

#include <QApplication>
#include <QMenu>
#include <QTemporaryDir>
#include <QResizeEvent>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

namespace {

/// An owner with the undo markers, the basic channel, object names and a popup registry.
class WidgetOwner : public RecordingOwner {
public:
    WidgetOwner()
    {
        records[START_UNDO] = ParamRecord(QStringLiteral("START_UNDO"), START_UNDO, 0);
        records[END_UNDO] = ParamRecord(QStringLiteral("END_UNDO"), END_UNDO, 0);
        records[MULTIMODE_BASIC_CHANNEL] = ParamRecord(QStringLiteral("MULTIMODE_BASIC_CHANNEL"), MULTIMODE_BASIC_CHANNEL, 0);
    }
    QString GetObjectName(int, int romId, int index) override
    {
        return QStringLiteral("Cat%1:Name %2 %3").arg(index % 3).arg(romId).arg(index);
    }
    QWidget* FindPopup(const QString& name) override
    {
        auto it = popups.find(name);
        return it == popups.end() ? nullptr : it->second;
    }
    void AddPopup(const QString& name, QWidget* popup) override { popups[name] = popup; }
    void RemovePopup(const QString& name) override { popups.erase(name); }
    bool RequestParameterValues(ParamRecord*) override { return true; }
    std::map<QString, QWidget*> popups;
};

/// Runs action once the event loop has turned twice (inside a menu's or a
/// dialog's own loop, after what it does when it starts).
void Soon(std::function<void()> action)
{
    QTimer::singleShot(0, qApp, [action = std::move(action)] { QTimer::singleShot(0, qApp, action); });
}

class SelectionWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestStyle(&style, dir, true);
        dialog.resize(560, 320);
        KeyboardLogic::ResetHook();
    }
    void TearDown() override
    {
        StopTestStyle(&style);
    }
    void Show()
    {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    QTemporaryDir dir;
    GlobalStyle style;
    WidgetOwner owner;
    QWidget dialog;
};

TEST_F(SelectionWidgetTest, DraggingAnEnvelopePointIsOneUndoGroup)
{
    std::array<ParamRecord, 12> records;
    auto* graph = new EnvGraphCtrl(&owner, &dialog);
    graph->setGeometry(10, 10, 320, 150);
    graph->SetCaption(QStringLiteral("Filter Envelope"));
    for (int i = 0; i < 12; ++i) {
        records[size_t(i)] = ParamRecord(QStringLiteral("P%1").arg(i), 600 + i, i < 6 ? 30 : 40);
        records[size_t(i)].minimum = i < 6 ? 0 : -64;
        records[size_t(i)].maximum = i < 6 ? 127 : 100;
        graph->BindParameter(nullptr, 0, &records[size_t(i)]);
    }
    graph->Setup(0);
    Show();
    std::array<int, 12> values{};
    for (int i = 0; i < 12; ++i)
        values[size_t(i)] = records[size_t(i)].value;
    const QPoint from = graph->PointPosition(values, 2);
    QTest::mousePress(graph, Qt::LeftButton, {}, from);
    QTest::mouseMove(graph, from + QPoint(15, -20));
    QTest::mouseMove(graph, from + QPoint(30, -30));
    QTest::mouseRelease(graph, Qt::LeftButton, {}, from + QPoint(30, -30));
    const std::vector<OwnerCall> calls = owner.Take();
    ASSERT_EQ(calls.size(), 12u);
    EXPECT_EQ(calls.front(), Marker(START_UNDO, "Envelope Change"));
    EXPECT_EQ(calls.back(), Marker(END_UNDO, "Envelope Change"));
    EXPECT_GT(records[2].value, 30);
    EXPECT_GT(records[8].value, 40);
    EXPECT_TRUE(graph->hasFocus());

    // Keys nudge the selected point; Ctrl+Right selects the next one.
    QTest::keyClick(graph, Qt::Key_Right, Qt::ControlModifier);
    QTest::keyClick(graph, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(owner.Take(), (std::vector<OwnerCall>{Edit(607, 50, 40)}));
    // The zoom boxes.
    QTest::mouseClick(graph, Qt::LeftButton, {}, graph->PlusBox().center());
    EXPECT_EQ(graph->Zoom(), 2);
    QTest::mouseClick(graph, Qt::LeftButton, {}, graph->MinusBox().center());
    EXPECT_EQ(graph->Zoom(), 1);
}

std::vector<std::pair<int, int>> NoteEvents(std::vector<OwnerCall> calls)
{
    std::vector<std::pair<int, int>> out; // (status, note)
    for (const OwnerCall& c : calls)
        if (c.id == SHORT_MIDI_MSG)
            out.push_back({c.value & 0xFF, (c.value >> 8) & 0xFF});
    return out;
}

TEST_F(SelectionWidgetTest, KeyboardPlaysItsHitMapAndTheTestNoteKeys)
{
    auto* keys = new KeyBoardCtrl(&owner, &dialog);
    keys->move(10, 10);
    Show();
    // A click, then a slide across keys in momentary mode.
    QTest::mouseClick(keys, Qt::LeftButton, {}, QPoint(4 + 70, 60)); // C of the second octave
    EXPECT_EQ(NoteEvents(owner.Take()), (std::vector<std::pair<int, int>>{{0x90, 36}, {0x80, 36}}));
    QTest::mousePress(keys, Qt::LeftButton, {}, QPoint(5, 60));
    QTest::mouseMove(keys, QPoint(15, 60));
    QTest::mouseMove(keys, QPoint(17, 60)); // the same key: nothing
    QTest::mouseRelease(keys, Qt::LeftButton, {}, QPoint(17, 60));
    EXPECT_EQ(NoteEvents(owner.Take()),
              (std::vector<std::pair<int, int>>{{0x90, 24}, {0x80, 24}, {0x90, 26}, {0x80, 26}}));
    // Latch: the note outlives the click, and its marker shows.
    keys->SetMode(1);
    QTest::mouseClick(keys, Qt::LeftButton, {}, QPoint(11, 20));
    EXPECT_EQ(keys->Marked(), (std::set<int>{25}));
    keys->SetMode(0);
    EXPECT_TRUE(keys->Marked().empty());
    owner.Take();

    // The test-note keys arrive at the window, before any widget.
    QWindow* window = dialog.windowHandle();
    QTest::keyPress(window, Qt::Key_Control, Qt::ControlModifier);
    QTest::keyPress(window, Qt::Key_Shift, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyPress(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyRelease(window, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTest::keyRelease(window, Qt::Key_Shift, Qt::ControlModifier);
    QTest::keyRelease(window, Qt::Key_Control, {});
    EXPECT_EQ(NoteEvents(owner.Take()), (std::vector<std::pair<int, int>>{{0x90, 24}, {0x80, 24}}));
}

// The panel's octave spin moves the picture: the same place plays an octave
// lower, and the sounding key's marker is drawn where that key is.
TEST_F(SelectionWidgetTest, KeyboardOctaveMovesTheNotesAndTheirMarkers)
{
    auto* keys = new KeyBoardCtrl(&owner, &dialog);
    keys->move(10, 10);
    Show();
    EXPECT_EQ(keys->OctaveOffset(), 2);
    keys->SetOctaveOffset(1);
    EXPECT_EQ(keys->OctaveOffset(), 1);
    QTest::mouseClick(keys, Qt::LeftButton, {}, QPoint(4 + 70, 60));
    EXPECT_EQ(NoteEvents(owner.Take()), (std::vector<std::pair<int, int>>{{0x90, 24}, {0x80, 24}}));

    const QRect marker = KeyboardLogic::MarkerRect(13, 1);
    const QPoint inside = marker.center();
    const QColor before = keys->grab().toImage().pixelColor(inside);
    ASSERT_NE(before, QColor(255, 255, 255));
    keys->SetMode(1);
    QTest::mouseClick(keys, Qt::LeftButton, {}, QPoint(11, 20)); // C#, here note 13
    EXPECT_EQ(keys->Marked(), (std::set<int>{13}));
    EXPECT_EQ(keys->grab().toImage().pixelColor(inside), QColor(255, 255, 255));
    keys->SetMode(0);
    owner.Take();
}

TEST_F(SelectionWidgetTest, TheTestNoteKeysCollideWithNoShortcut)
{
    BasicDialog window(QStringLiteral("Panel"), 0, false, &owner, nullptr);
    new KeyBoardCtrl(&owner, &window);
    EXPECT_TRUE(EachKeyBoundOnce(&window));
    // The check sees the keyboard's keys: a clashing action is caught.
    auto* redo = new QAction(QStringLiteral("Redo"), &window);
    redo->setShortcut(QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    window.addAction(redo);
    EXPECT_FALSE(EachKeyBoundOnce(&window));
}

TEST_F(SelectionWidgetTest, ValueMenuOpensWithSpaceAndIsChosenWithKeys)
{
    ParamRecord record(QStringLiteral("LFO_SHAPE"), 300, 1);
    record.minimum = 0;
    record.maximum = 20;
    NameMap names = {{0, QStringLiteral("Sine")}, {1, QStringLiteral("Square")}, {2, QStringLiteral("Saw")}};
    auto* menu = new MenuCtrl(&owner, &dialog);
    menu->setGeometry(10, 10, 160, 24);
    menu->SetCaption(QStringLiteral("&Shape"));
    menu->BindParameter(nullptr, 0, &record);
    menu->Setup(true, 0, &names, 0);
    Show();
    EXPECT_EQ(menu->Text(), "&Shape: Square");
    menu->setFocus();
    std::vector<QString> seen;
    Soon([&] {
        QMenu* open = menu->OpenMenuWidget();
        ASSERT_NE(open, nullptr);
        for (QAction* a : open->actions())
            seen.push_back(a->text() + (a->isChecked() ? QStringLiteral("*") : QString()));
        // The first item is highlighted; one down is the third.
        QTest::keyClick(open, Qt::Key_Down);
        QTest::keyClick(open, Qt::Key_Down);
        QTest::keyClick(open, Qt::Key_Return);
    });
    QTest::keyClick(menu, Qt::Key_Space);
    EXPECT_EQ(seen, (std::vector<QString>{"Sine", "Square*", "Saw", "Other..."}));
    EXPECT_EQ(owner.Take(), (std::vector<OwnerCall>{Edit(300, 2, 1)}));

    // "Other..." opens the slider popup over the unnamed values 3 ... 20.
    int low = -1, high = -1, shown = -1;
    Soon([&] {
        QMenu* open = menu->OpenMenuWidget();
        ASSERT_NE(open, nullptr);
        QTest::keyClick(open, Qt::Key_Up); // wraps to the last item
        Soon([&] {
            auto* popup = qobject_cast<PopupTrackerDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(popup, nullptr);
            low = popup->Slider()->Minimum();
            high = popup->Slider()->Maximum();
            shown = popup->Slider()->Value();
            popup->Slider()->setFocus();
            QTest::keyClick(popup->Slider(), Qt::Key_PageUp);
            QTest::keyClick(popup, Qt::Key_Escape);
        });
        QTest::keyClick(open, Qt::Key_Return);
    });
    QTest::keyClick(menu, Qt::Key_Space);
    EXPECT_EQ(low, 3);
    EXPECT_EQ(high, 20);
    EXPECT_EQ(shown, 3);
    const std::vector<OwnerCall> calls = owner.Take();
    ASSERT_EQ(calls.size(), 3u);
    EXPECT_EQ(calls[0], Marker(START_UNDO, "LFO_SHAPE"));
    EXPECT_EQ(calls[1].id, 300);
    EXPECT_GT(calls[1].value, 3);
    EXPECT_EQ(calls[2], Marker(END_UNDO, "LFO_SHAPE"));
}

TEST_F(SelectionWidgetTest, ObjectSelectOpensTheNameListAndAUserChoiceComesBackLater)
{
    NameSelectionPopup popup(OBJECT_PRESET, QStringLiteral("PresetNames"), false, &owner, nullptr);
    popup.List()->simmSlots = [] {
        SimmSlot user, rom;
        user.simmId = 0;
        user.presets = 20;
        rom.simmId = 5;
        rom.presets = 300;
        rom.flag = 1;
        return std::vector<SimmSlot>{user, rom};
    };
    popup.List()->simmName = [](int simm) { return simm ? QStringLiteral("Rom") : QStringLiteral("User"); };
    owner.popups[QStringLiteral("PresetNames")] = &popup;
    ParamRecord record(QStringLiteral("MULTIMODE_PRESET"), 130, 7);
    record.romId = 5;
    auto* select = new SelectCtrl(&owner, &dialog);
    select->setGeometry(10, 10, 220, 24);
    select->SetCaption(QStringLiteral("Preset"));
    select->BindParameter(nullptr, 0, &record);
    select->Setup(OBJECT_PRESET, false, false, QStringLiteral("PresetNames"), QString(), 0);
    Show();
    EXPECT_EQ(select->Text(), "Preset: Cat1:Name 5 7");
    QTest::mouseClick(select, Qt::LeftButton, {}, QPoint(20, 10));
    ASSERT_TRUE(popup.isVisible());
    EXPECT_EQ(popup.windowTitle(), "SelectPreset");
    EXPECT_EQ(popup.List()->model()->rowCount(), 320);
    EXPECT_EQ(popup.List()->SelectedKey(), (5 << 16) | 7);
    const int first = popup.List()->Model().KeyAt(0);
    EXPECT_EQ(popup.List()->model()->data(popup.List()->model()->index(0, 2), Qt::ToolTipRole).toString(),
              owner.GetObjectName(OBJECT_PRESET, first >> 16, first & 0xFFFF))
        << "without a note of the user's, a row's tip is the object's name";
    // Edit Tooltip over a row starts from the object's name.
    QString edited;
    SetTipEditorRunner([&](const QString&, ControlListener*, QWidget*, const QString& text) {
        edited = text;
        return std::optional<QString>();
    });
    QPoint overRow = popup.List()->viewport()->mapToGlobal(popup.List()->visualRect(popup.List()->model()->index(0, 0)).center());
    popup.List()->OnContextMenuCommand(&popup, &overRow, cmd::EditTooltip);
    SetTipEditorRunner(nullptr);
    EXPECT_EQ(edited, owner.GetObjectName(OBJECT_PRESET, first >> 16, first & 0xFFFF));
    QApplication::processEvents();
    EXPECT_TRUE(owner.Take().empty()) << "the programmatic selection offers nothing";

    // The filter thins the list as the user types.
    QTest::keyClicks(popup.FilterEdit(), QStringLiteral("name 0 1"));
    EXPECT_EQ(popup.List()->model()->rowCount(), 11); // 1 and 10 ... 19 of the user bank
    QTest::keyClick(popup.FilterEdit(), Qt::Key_Backspace);
    QTest::keyClick(popup.FilterEdit(), Qt::Key_Backspace);
    EXPECT_EQ(popup.List()->model()->rowCount(), 20);

    // A click on a row reaches the owner only after the view's own notification.
    QTreeView* view = popup.List();
    const QRect row = view->visualRect(view->model()->index(3, 0));
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, row.center());
    EXPECT_TRUE(owner.calls.empty());
    QApplication::processEvents();
    const int key = popup.List()->Model().KeyAt(3);
    ASSERT_EQ(owner.calls.size(), 1u);
    EXPECT_EQ(owner.calls[0].value, key & 0xFFFF);
    EXPECT_EQ(record.romId, key >> 16);
    owner.Take();

    // A smaller popup keeps the chosen name in sight.
    popup.resize(popup.width(), 120);
    QApplication::processEvents();
    EXPECT_TRUE(view->viewport()->rect().intersects(view->visualRect(view->model()->index(popup.List()->SelectedRow(), 0))));

    // A second click on the button closes the popup.
    QTest::mouseClick(select, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_FALSE(popup.isVisible());
    EXPECT_FALSE(select->IsOpen());
    // Going down hides an open popup.
    QTest::mouseClick(select, Qt::LeftButton, {}, QPoint(20, 10));
    ASSERT_TRUE(popup.isVisible());
    select->Deactivate();
    EXPECT_FALSE(popup.isVisible());
    EXPECT_FALSE(select->IsOpen());
    owner.popups.clear();
}

TEST_F(SelectionWidgetTest, NameListKeepsAMarginFromTheWindowEdgesAsThePopupResizes)
{
    NameSelectionPopup popup(OBJECT_PRESET, QStringLiteral("Names"), false, &owner, nullptr);
    for (QSize size : {popup.size(), QSize(420, 600)}) {
        popup.resize(size);
        QResizeEvent resized(size, size);
        QApplication::sendEvent(&popup, &resized);
        const QRect list = popup.List()->geometry();
        const QRect filter = popup.FilterEdit()->geometry();
        EXPECT_GE(list.left(), 5) << size.width();
        EXPECT_GE(popup.width() - 1 - list.right(), 5) << size.width();
        EXPECT_GE(popup.height() - 1 - list.bottom(), 5) << size.height();
        EXPECT_GT(list.top(), filter.bottom());
        EXPECT_EQ(filter.left(), list.left());
        EXPECT_EQ(filter.width(), list.width());
    }
}

TEST_F(SelectionWidgetTest, PopupSwitchFollowsItsPopup)
{
    NameSelectionPopup popup(OBJECT_PRESET, QStringLiteral("Names"), false, &owner, nullptr);
    popup.List()->simmSlots = [] { return std::vector<SimmSlot>{}; };
    owner.popups[QStringLiteral("Names")] = &popup;
    ParamRecord a(QStringLiteral("A"), 901, 0), b(QStringLiteral("B"), 902, 0);
    auto* first = new PopupSwitchCtrl(&owner, &dialog);
    first->setGeometry(10, 10, 100, 24);
    first->BindParameter(nullptr, 0, &a);
    first->Setup(QStringLiteral("Names"), 0);
    auto* second = new PopupSwitchCtrl(&owner, &dialog);
    second->setGeometry(120, 10, 100, 24);
    second->BindParameter(nullptr, 0, &b);
    second->Setup(QStringLiteral("Names"), 0);
    Show();
    QTest::mouseClick(first, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_TRUE(first->IsOn());
    EXPECT_TRUE(popup.isVisible());
    EXPECT_EQ(owner.Take(), (std::vector<OwnerCall>{Edit(901, 1, 0)}));
    // A second switch takes the popup: the first goes off and sends 0.
    QTest::mouseClick(second, Qt::LeftButton, {}, QPoint(10, 10));
    EXPECT_FALSE(first->IsOn());
    EXPECT_TRUE(second->IsOn());
    EXPECT_EQ(owner.Take(), (std::vector<OwnerCall>{Edit(901, 0, 1), Edit(902, 1, 0)}));
    // The user closes the popup; a refusal keeps it open.
    owner.accept = false;
    popup.reject();
    EXPECT_TRUE(popup.isVisible());
    EXPECT_TRUE(second->IsOn());
    owner.accept = true;
    owner.Take();
    popup.reject();
    EXPECT_FALSE(popup.isVisible());
    EXPECT_FALSE(second->IsOn());
    EXPECT_EQ(owner.Take(), (std::vector<OwnerCall>{Edit(902, 0, 1)}));
    owner.popups.clear();
}

TEST_F(SelectionWidgetTest, NameEditSendsEachKeystroke)
{
    std::array<ParamRecord, 16> chars;
    auto* name = new NameCtrl(&owner, &dialog);
    name->setGeometry(10, 10, 160, 22);
    const char* text = "Piano";
    for (int i = 0; i < 16; ++i) {
        chars[size_t(i)] = ParamRecord(QStringLiteral("PRESET_NAME_CHAR_%1").arg(i), 800 + i, i < 5 ? text[i] : ' ');
        name->BindParameter(nullptr, 0, &chars[size_t(i)]);
    }
    name->Setup(16, 0);
    Show();
    name->Activate();
    EXPECT_EQ(name->text(), "Piano");
    EXPECT_TRUE(owner.Take().empty()) << "the fill sends nothing";
    name->setFocus();
    QTest::keyClick(name, Qt::Key_Backspace);
    QTest::keyClicks(name, QStringLiteral("!"));
    EXPECT_EQ(owner.Take(), (std::vector<OwnerCall>{Marker(START_UNDO, "Name Change"), Edit(804, ' ', 'o'),
                                                    Marker(END_UNDO, "Name Change"), Marker(START_UNDO, "Name Change"),
                                                    Edit(804, '!', ' '), Marker(END_UNDO, "Name Change")}));
}

TEST_F(SelectionWidgetTest, ConfigureKeyboardLoadsChordsAndReturnsTheFieldsOnOk)
{
    ConfigureKeyboardDlg config(QStringLiteral("Configure Keyboard"), &owner, nullptr);
    config.values.repeatSpeed = 90;
    config.values.chordNotes[0] = 4;
    bool ran = false;
    Soon([&] {
        QApplication::processEvents();
        ran = true;
        EXPECT_EQ(config.RepeatSlider()->Value(), 90);
        QTest::mouseClick(config.ChordButton(3), Qt::LeftButton, {}, QPoint(5, 5)); // C9
        for (int i = 0; i < 4; ++i)
            EXPECT_EQ(config.ChordSlider(i)->Value(), ConfigureKeyboardDlg::Chord(3)[size_t(i)]) << i;
        QTest::mouseClick(config.ChordButton(0), Qt::LeftButton, {}, QPoint(5, 5)); // C
        EXPECT_EQ(config.ChordSlider(3)->Value(), 0);
        config.OnCommand(cmd::IdOk);
    });
    EXPECT_EQ(config.exec(), QDialog::Accepted);
    EXPECT_TRUE(ran);
    EXPECT_EQ(config.values.chordNotes[0], 7);
    EXPECT_EQ(config.values.chordNotes[1], 12);
    EXPECT_EQ(config.values.chordNotes[2], 16);
    EXPECT_EQ(config.values.chordNotes[3], 0);
    EXPECT_EQ(config.values.repeatSpeed, 90);
    EXPECT_TRUE(owner.Take().empty()) << "nothing goes to the module";

    // Cancel leaves the caller's fields alone.
    ConfigureKeyboardDlg cancelled(QStringLiteral("Configure Keyboard"), &owner, nullptr);
    cancelled.values.chordNotes[0] = 4;
    Soon([&] {
        QApplication::processEvents();
        QTest::mouseClick(cancelled.ChordButton(3), Qt::LeftButton, {}, QPoint(5, 5));
        cancelled.OnCommand(cmd::IdCancel);
    });
    EXPECT_EQ(cancelled.exec(), QDialog::Rejected);
    EXPECT_EQ(cancelled.values.chordNotes[0], 4);
}

} // namespace
