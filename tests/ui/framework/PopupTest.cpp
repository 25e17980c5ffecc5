// Popups: one owner at a time, the close rule, notifications only while
// owned, the rectangle kept under the popup's name; and the layer chooser.
#include "DialogFixture.h"

#include "dump/LayerChooser.h"
#include "ui/framework/ChooseLayerDlg.h"

#include <QComboBox>
#include <QPushButton>
#include <QTest>
#include <QTimer>

using namespace routingtest;

namespace {

class PopupTest : public DialogFixture {};

using TestPopup = FormPopup<Popup>;
using TestResizingPopup = FormPopup<ResizingPopup>;

} // namespace

TEST_F(PopupTest, SavedRectangles)
{
    const QRect current(0, 0, 300, 200);
    struct Case {
        const char* text;
        std::optional<QRect> expected;
    };
    const Case cases[] = {
        {"10 20 900 700", QRect(10, 20, 890, 680)},
        {"-5 -6 100 100", QRect(-5, -6, 105, 106)},
        {"10 20", QRect(10, 20, 290, 180)},              // the fields that parse
        {"10 x 900 700", QRect(10, 0, 290, 200)},         // reading stops at the first bad field
        {"99999999999 0 10 10", current},                 // too large for a number: nothing read
        {"", std::nullopt},
        {"100 100 50 50", std::nullopt},                  // inverted: the template's rectangle stays
        {"10 20 10 700", std::nullopt},                   // no width
    };
    for (const Case& c : cases)
        EXPECT_EQ(Popup::ParseSavedRect(QString::fromLatin1(c.text), current), c.expected) << c.text;
    EXPECT_EQ(Popup::FormatSavedRect(QRect(10, 20, 890, 680)), QStringLiteral("10 20 900 700"));
}

TEST_F(PopupTest, LargestSizeIsTheTemplateWithinTheScreen)
{
    const DialogBaseUnits base{7, 13};
    EXPECT_EQ(ResizingPopup::MaxTrackSize(QSize(160, 120), base, QSize(1000, 1000)), QSize(280, 195));
    EXPECT_EQ(ResizingPopup::MaxTrackSize(QSize(160, 120), base, QSize(200, 100)), QSize(200, 100));
    EXPECT_EQ(ResizingPopup::MaxTrackSize(QSize(), base, QSize(640, 480)), QSize(640, 480));
}

TEST_F(PopupTest, OneOwnerAtATime)
{
    TestPopup popup(QStringLiteral("Names"), &root);
    EXPECT_EQ(root.FindPopup(QStringLiteral("Names")), &popup);
    TestOwner first(false), second;
    popup.Show(&first, QStringLiteral("Select Preset"));
    EXPECT_TRUE(popup.isVisible());
    EXPECT_EQ(popup.windowTitle(), QStringLiteral("Select Preset"));
    EXPECT_EQ(popup.refreshes, 1);

    popup.Show(&first, QStringLiteral("Other"));   // the same owner: nothing happens
    EXPECT_EQ(popup.refreshes, 1);
    EXPECT_EQ(popup.windowTitle(), QStringLiteral("Select Preset"));

    popup.Show(&second, QString());                // taken over: the first is told, its answer unused
    EXPECT_EQ(first.asked, 1);
    EXPECT_EQ(popup.Owner(), &second);
    EXPECT_EQ(popup.refreshes, 2);

    popup.Show(nullptr, QString());
    EXPECT_FALSE(popup.isVisible());
    EXPECT_EQ(second.asked, 1);
}

TEST_F(PopupTest, EscAsksTheOwnerAndEnterDoesNothing)
{
    TestPopup popup(QStringLiteral("Names"), &root);
    TestOwner owner(false);
    popup.Show(&owner, QString());
    QTest::keyClick(&popup, Qt::Key_Return);
    EXPECT_TRUE(popup.isVisible());
    EXPECT_EQ(owner.asked, 0);

    QTest::keyClick(&popup, Qt::Key_Escape);       // refused: stays, still owned
    EXPECT_TRUE(popup.isVisible());
    EXPECT_EQ(popup.Owner(), &owner);
    popup.close();                                 // the window's close button, refused too
    EXPECT_TRUE(popup.isVisible());
    EXPECT_EQ(popup.closes, 0);

    owner.allow = true;
    QTest::keyClick(&popup, Qt::Key_Escape);
    EXPECT_FALSE(popup.isVisible());
    EXPECT_EQ(popup.Owner(), nullptr);
    EXPECT_EQ(popup.closes, 1);

    popup.show();                                  // no owner: hidden without a question
    QTest::keyClick(&popup, Qt::Key_Escape);
    EXPECT_FALSE(popup.isVisible());
    EXPECT_EQ(owner.asked, 3);
}

TEST_F(PopupTest, ControlsHearOfChangesOnlyWhileThePopupIsOwned)
{
    TestPopup popup(QStringLiteral("Names"), &root);
    RecordingControl control(&popup);
    control.SetControlWindow(popup.ui.item1022);
    popup.AddControl(&control);
    ParamRecord record(QStringLiteral("X"), 5, 1);
    popup.ParameterChanged(&record);
    EXPECT_TRUE(control.shown.empty());
    TestOwner owner;
    popup.Show(&owner, QString());                 // the reload notice reaches the control
    popup.ParameterChanged(&record);
    EXPECT_EQ(control.shown, (std::vector<int>{POPUP_RELOAD_NOTIFIER, 5}));
    control.allow = false;
    EXPECT_FALSE(popup.AllowParameterChange(&record));
    popup.Activate();
    popup.Deactivate();
    EXPECT_EQ(control.activations, 1);
    EXPECT_EQ(control.deactivations, 1);
}

TEST_F(PopupTest, TheRectangleIsKeptUnderThePopupsName)
{
    GetGlobalConfigurations().WriteString(QStringLiteral("Names"), QStringLiteral("10 20 300 400"));
    QSize templateSize;
    {
        TestPopup popup(QStringLiteral("Names"), &root);
        templateSize = popup.size();
        EXPECT_EQ(popup.pos(), QPoint(10, 20));    // moved; the template size stays
        popup.move(40, 50);
    }
    EXPECT_EQ(root.FindPopup(QStringLiteral("Names")), nullptr);
    EXPECT_EQ(GetGlobalConfigurations().ReadString(QStringLiteral("Names"), QString()),
              QStringLiteral("40 50 %1 %2").arg(40 + templateSize.width()).arg(50 + templateSize.height()));

    GetGlobalConfigurations().WriteString(QStringLiteral("Sizes"), QStringLiteral("10 20 100 120"));
    TestResizingPopup sized(QStringLiteral("Sizes"), &root);
    EXPECT_EQ(sized.geometry(), QRect(10, 20, sized.GetMaxTrackSize().width(), 100)); // width fixed

    GetGlobalConfigurations().WriteString(QStringLiteral("Broken"), QStringLiteral("100 100 50 50"));
    TestResizingPopup broken(QStringLiteral("Broken"), &root);
    EXPECT_EQ(broken.size(), templateSize);
}

TEST_F(PopupTest, LayerChooserAnswersTheDumpLayersQuestion)
{
    InstallLayerChooser(nullptr);
    auto answer = [](int index, int button) {
        QTimer::singleShot(0, [=] {
            auto* dialog = qobject_cast<ChooseLayerDlg*>(QApplication::activeModalWidget());
            ASSERT_NE(dialog, nullptr);
            QComboBox* list = dialog->LayerList();
            ASSERT_EQ(list->count(), 4);
            EXPECT_EQ(list->itemText(3), QStringLiteral("Layer 4"));
            EXPECT_EQ(list->currentIndex(), 0);
            list->setCurrentIndex(index);
            dialog->ItemAs<QPushButton>(button)->click();
        });
    };
    answer(2, cmd::IdOk);
    EXPECT_EQ(ChooseLayer(QStringLiteral("Choose Layer")), std::optional<int>(2));
    answer(3, cmd::IdCancel);
    EXPECT_EQ(ChooseLayer(QStringLiteral("Choose Layer")), std::nullopt);
    SetLayerChooser(nullptr);

    ChooseLayerDlg preset(QStringLiteral("Choose Layer"), nullptr, nullptr);
    preset.SetChosenLayer(3);
    preset.show();
    EXPECT_EQ(preset.LayerList()->currentText(), QStringLiteral("Layer 4"));
    EXPECT_EQ(preset.windowTitle(), QStringLiteral("Choose Layer"));
}
