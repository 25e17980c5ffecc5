// The control widgets offscreen: QTest mouse and key events reach the logic,
// double clicks count as presses, captions name the controls for screen
// readers, and every control paints in each of its states (saved as pictures
// under the build folder's screenshots/).
#include "ControlTestSupport.h"

#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "module/ParameterIds.h"
#include "platform/SettingsStore.h"
#include "support/TestStyle.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/ProgressCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/BasicDialog.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

namespace {

constexpr int kParam = 77;

/// A double click as the window system delivers it: press, release, then a
/// double-click event in place of the second press, and its release.
void DoubleClick(QWidget* w, QPoint at)
{
    QTest::mousePress(w, Qt::LeftButton, {}, at);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
    QMouseEvent second(QEvent::MouseButtonDblClick, at, w->mapToGlobal(at), Qt::LeftButton, Qt::LeftButton, {});
    QApplication::sendEvent(w, &second);
    QTest::mouseRelease(w, Qt::LeftButton, {}, at);
}

class ControlWidgetTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestStyle(&style, dir, true);
        dialog.resize(400, 300);
        record.minimum = 0;
        record.maximum = 127;
    }
    void TearDown() override
    {
        StopTestStyle(&style);
    }

    template <class W>
    W* Place(W* w, QRect where)
    {
        w->setGeometry(where);
        return w;
    }
    void Show()
    {
        dialog.show();
        QApplication::setActiveWindow(&dialog);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    }

    QTemporaryDir dir;
    GlobalStyle style;
    RecordingOwner owner;
    ParamRecord record{QStringLiteral("SOME_PARAM"), kParam, 0};
    QWidget dialog;
};

TEST_F(ControlWidgetTest, ButtonReactsToMouseKeysAndDoubleClicks)
{
    auto* button = Place(new ButtonCtrl(&owner, &dialog), QRect(10, 10, 120, 26));
    button->SetCaption(QStringLiteral("&Apply"));
    button->BindParameter(nullptr, 0, &record);
    int commands = 0;
    button->SetCommandHandler([&](int) { ++commands; });
    Show();
    EXPECT_EQ(button->accessibleName(), QStringLiteral("Apply"));

    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(20, 10));
    EXPECT_EQ(owner.Take(), (std::vector{Edit(kParam, 1, 0)}));
    EXPECT_TRUE(button->hasFocus());

    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(20, 10));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(200, 10)); // released outside
    EXPECT_TRUE(owner.Take().empty());
    EXPECT_FALSE(button->Face().pressed);

    DoubleClick(button, QPoint(20, 10));
    EXPECT_EQ(owner.Take().size(), 2u) << "both clicks of a double click count";

    QTest::keyPress(button, Qt::Key_Space);
    EXPECT_TRUE(button->Face().pressed);
    EXPECT_TRUE(owner.calls.empty());
    QTest::keyRelease(button, Qt::Key_Space);
    EXPECT_EQ(owner.Take(), (std::vector{Edit(kParam, 1, 1)}));
    EXPECT_EQ(commands, 4);
}

/// A dialog that notes the commands its controls send.
class CommandDialog : public BasicDialog {
public:
    explicit CommandDialog(ControlListener* parent) : BasicDialog(QStringLiteral("Commands"), 0, false, parent, nullptr) {}
    void OnCommand(int id) override { commands.push_back(id); }
    std::vector<int> commands;
};

TEST_F(ControlWidgetTest, CommandsReachTheDialogWithTheItemId)
{
    CommandDialog commands(&owner);
    auto* button = new ButtonCtrl(&owner, &commands);
    button->setObjectName(QStringLiteral("item1355"));
    button->setGeometry(10, 10, 100, 24);
    auto* sw = new SwitchCtrl(&owner, &commands);
    sw->setObjectName(QStringLiteral("item1020"));
    sw->setGeometry(10, 40, 100, 24);
    commands.show();
    QTest::mouseClick(button, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseClick(sw, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(commands.commands, (std::vector<int>{1355, 1020}));
}

TEST_F(ControlWidgetTest, EscCancelsASliderDragBeforeItClosesTheDialog)
{
    CommandDialog commands(&owner);
    auto* slider = new TrackerCtrl(&owner, &commands);
    slider->setGeometry(10, 10, 200, 40);
    record.value = 64;
    slider->BindParameter(nullptr, 0, &record);
    slider->Setup(0, true, false);
    slider->Activate();
    commands.show();
    const Edges thumb = slider->Thumb();
    const QPoint grip((thumb.l + thumb.r) / 2, (thumb.t + thumb.b) / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, grip);
    QTest::mouseMove(slider, grip + QPoint(30, 0));
    QTest::keyClick(slider, Qt::Key_Escape);
    EXPECT_FALSE(slider->IsDragging());
    EXPECT_TRUE(commands.commands.empty()) << "the drag took the Esc";
    QTest::mouseRelease(slider, Qt::LeftButton, {}, grip + QPoint(30, 0));
    EXPECT_EQ(owner.Take(), (std::vector{Marker(START_UNDO, "SOME_PARAM"), Marker(END_UNDO, "SOME_PARAM")}));
    EXPECT_EQ(record.value, 64);
    QTest::keyClick(slider, Qt::Key_Escape);
    EXPECT_EQ(commands.commands, (std::vector<int>{cmd::IdCancel})) << "without a drag Esc is the dialog's";
}

TEST_F(ControlWidgetTest, SwitchTogglesTwiceOnADoubleClick)
{
    auto* sw = Place(new SwitchCtrl(&owner, &dialog), QRect(10, 10, 120, 26));
    sw->SetCaption(QStringLiteral("Latch"));
    sw->BindParameter(nullptr, 0, &record);
    Show();
    EXPECT_EQ(sw->accessibleName(), QStringLiteral("Latch"));
    DoubleClick(sw, QPoint(20, 10));
    EXPECT_FALSE(sw->IsOn());
    EXPECT_EQ(owner.Take(), (std::vector{Edit(kParam, 1, 0), Edit(kParam, 0, 1)}));
    QTest::keyPress(sw, Qt::Key_Space);
    EXPECT_FALSE(sw->IsOn()); // key down does nothing special
    QTest::keyRelease(sw, Qt::Key_Space);
    EXPECT_TRUE(sw->IsOn());
}

TEST_F(ControlWidgetTest, SliderFollowsDragsAndKeys)
{
    auto* slider = Place(new TrackerCtrl(&owner, &dialog), QRect(10, 10, 200, 40));
    slider->SetCaption(QStringLiteral("Volume"));
    record.value = 64;
    slider->BindParameter(nullptr, 0, &record);
    slider->Setup(0, true, true);
    slider->Activate();
    Show();
    ASSERT_TRUE(slider->IsHorizontal());
    EXPECT_EQ(slider->accessibleName(), QStringLiteral("Volume"));

    const Edges thumb = slider->Thumb();
    const QPoint grip((thumb.l + thumb.r) / 2, (thumb.t + thumb.b) / 2);
    QTest::mousePress(slider, Qt::LeftButton, {}, grip);
    QTest::mouseMove(slider, grip + QPoint(40, 0));
    EXPECT_TRUE(slider->IsDragging());
    QTest::mouseRelease(slider, Qt::LeftButton, {}, grip + QPoint(40, 0));
    const std::vector<OwnerCall> calls = owner.Take();
    ASSERT_EQ(calls.size(), 4u);
    EXPECT_EQ(calls[0], Marker(START_UNDO, "SOME_PARAM"));
    EXPECT_EQ(calls[1].kind, "preview");
    EXPECT_EQ(calls[2], Marker(END_UNDO, "SOME_PARAM"));
    EXPECT_EQ(calls[3], Edit(kParam, slider->Value(), 64));
    EXPECT_GT(slider->Value(), 64);

    const int before = slider->Value();
    QTest::keyClick(slider, Qt::Key_Up, Qt::ShiftModifier);
    EXPECT_EQ(slider->Value(), before);
    QTest::keyClick(slider, Qt::Key_Down);
    EXPECT_EQ(slider->Value(), before - 1);
    QTest::keyClick(slider, Qt::Key_PageUp);
    EXPECT_EQ(slider->Value(), std::min(before - 1 + 12, 127));
}

TEST_F(ControlWidgetTest, NumericEditCommitsWhenLeft)
{
    auto* edit = Place(new NumericEditCtrl(&owner, &dialog), QRect(10, 10, 80, 22));
    auto* other = Place(new ButtonCtrl(&owner, &dialog), QRect(10, 40, 80, 22));
    record.value = 16;
    edit->BindParameter(nullptr, 0, &record);
    edit->Activate();
    Show();
    EXPECT_EQ(edit->text(), QStringLiteral("16"));
    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("12abc"));
    other->setFocus();
    EXPECT_EQ(owner.Take(), (std::vector{Edit(kParam, 12, 16)}));
    EXPECT_EQ(record.value, 12);

    edit->setFocus();
    edit->selectAll();
    QTest::keyClicks(edit, QStringLiteral("300"));
    ParamRecord change(QStringLiteral("SOME_PARAM"), kParam, 5);
    edit->ParameterChanged(&change); // replaces the text even while the user types
    EXPECT_EQ(edit->text(), QStringLiteral("5"));
}

TEST_F(ControlWidgetTest, WrappedStandardControlsRegisterWithTheirOwner)
{
    auto* edit = new EditCtrl(&owner, &dialog);
    auto* numeric = new NumericEditCtrl(&owner, &dialog);
    auto* combo = new ComboCtrl(&dialog);
    auto* list = new ListCtrl(&owner, &dialog);
    auto* tree = new TreeCtrl(&owner, &dialog);
    auto* listBox = new ListBoxCtrl(&owner, &dialog);
    auto* spin = new SpinButtonCtrl(&dialog);
    const std::vector<std::pair<QWidget*, ControlBase*>> controls = {
        {edit, edit}, {numeric, numeric}, {combo, combo}, {list, list}, {tree, tree}, {listBox, listBox}, {spin, spin}};
    for (auto [widget, control] : controls) {
        EXPECT_EQ(control->GetControlWindow(), widget);
        owner.AddControl(control);
        EXPECT_EQ(owner.FindControl(widget), control);
    }
    EXPECT_EQ(combo->GetOwner(), nullptr);
    EXPECT_EQ(spin->GetOwner(), nullptr);
    EXPECT_EQ(edit->GetOwner(), &owner);
    // The configured colours: text in the foreground colour on the background colour.
    EXPECT_EQ(edit->palette().color(QPalette::Base), style.Colour(BackgroundColour));
    EXPECT_EQ(listBox->palette().color(QPalette::Text), style.Colour(ForegroundColour));
    owner.ForgetControls();
}

TEST_F(ControlWidgetTest, ProgressBarSqueezedFlatStillPaints)
{
    auto* bar = Place(new ProgressCtrl(&owner, &dialog), QRect(10, 10, 200, 4));
    bar->SetRange(0, 100);
    bar->SetPos(50);
    Show();
    const QImage flat = bar->grab().toImage(); // returns: nothing loops on a bar without room
    EXPECT_EQ(flat.height(), 4);
    bar->setGeometry(10, 10, 104, 14);
    bar->SetPos(0);
    const QImage image = bar->grab().toImage();
    EXPECT_EQ(image.pixelColor(5, 7), style.Colour(ForegroundColour)) << "one block at the lower bound";
    EXPECT_NE(image.pixelColor(20, 7), style.Colour(ForegroundColour));
}

TEST_F(ControlWidgetTest, EveryControlPaintsInEachState)
{
    auto* button = Place(new ButtonCtrl(&owner, &dialog), QRect(10, 10, 110, 24));
    button->SetCaption(QStringLiteral("Apply"));
    auto* bitmap = new BitmapButtonCtrl(&owner, LampPixmap(Lamp::On), LampPixmap(Lamp::Disabled), &dialog);
    bitmap->move(130, 10);
    EXPECT_EQ(bitmap->size(), QSize(11 + 6, 11 + 5));
    auto* swatch = Place(new ColourSwatchCtrl(&owner, &dialog), QRect(160, 10, 40, 24));
    ParamRecord colour(QStringLiteral("COLOUR"), 1, 0x0000FF);
    swatch->BindParameter(nullptr, 0, &colour);
    auto* sw = Place(new SwitchCtrl(&owner, &dialog), QRect(10, 40, 110, 24));
    sw->SetCaption(QStringLiteral("Switch"));
    auto* lit = Place(new LitButtonCtrl(&owner, &dialog), QRect(130, 40, 110, 24));
    lit->SetCaption(QStringLiteral("Lamp"));
    auto* unlit = Place(new UnLitButtonCtrl(&owner, &dialog), QRect(250, 40, 110, 24));
    unlit->SetCaption(QStringLiteral("Unlit"));
    unlit->Setup(2, 0);
    auto* slider = Place(new TrackerCtrl(&owner, &dialog), QRect(10, 70, 200, 40));
    slider->SetCaption(QStringLiteral("Volume"));
    slider->Setup(0, false, false);
    slider->SetRange(0, 127);
    slider->SetPosition(40);
    auto* vertical = Place(new TrackerCtrl(&owner, &dialog), QRect(220, 70, 40, 150));
    vertical->SetCaption(QStringLiteral("Pan"));
    vertical->Setup(0, false, false);
    vertical->SetRange(-64, 63);
    auto* bar = Place(new ProgressCtrl(&owner, &dialog), QRect(10, 120, 200, 14));
    bar->SetPos(60);
    auto* edit = Place(new EditCtrl(&owner, &dialog), QRect(10, 140, 100, 22));
    edit->setText(QStringLiteral("text"));
    Show();

    const std::vector<std::pair<SelfDrawnControl*, const char*>> controls = {
        {button, "button"}, {bitmap, "bitmap-button"}, {swatch, "colour-swatch"}, {sw, "switch"},
        {lit, "lit-button"}, {unlit, "unlit-button"}, {slider, "slider"}, {vertical, "slider-vertical"}};
    for (auto [w, name] : controls) {
        SCOPED_TRACE(name);
        const QSize size = w->size();
        EXPECT_EQ(w->grab().size(), size);
        w->setFocus();
        EXPECT_TRUE(w->hasFocus());
        EXPECT_EQ(w->grab().size(), size);
        QTest::mousePress(w, Qt::LeftButton, {}, QPoint(3, 3));
        EXPECT_EQ(w->grab().size(), size);
        QTest::mouseRelease(w, Qt::LeftButton, {}, QPoint(-50, -50));
        w->setEnabled(false);
        EXPECT_EQ(w->grab().size(), size);
        w->setEnabled(true);
    }
    EXPECT_EQ(owner.Take(), std::vector<OwnerCall>{}) << "presses released outside send nothing";

    // A pressed face shows the pressed background colour; the swatch its colour (red as 0x0000FF).
    QTest::mousePress(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(button->grab().toImage().pixelColor(3, 3), style.Colour(BackgroundOnColour));
    QTest::mouseRelease(button, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(swatch->grab().toImage().pixelColor(20, 12), QColor(255, 0, 0));
    // The lamp of a switched-off UnLit button is lit.
    const QImage lamp = unlit->grab().toImage();
    EXPECT_EQ(lamp.pixelColor(2 + 5, 12), LampPixmap(Lamp::On).toImage().pixelColor(5, 5));
}

} // namespace
