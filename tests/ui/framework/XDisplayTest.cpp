// The dialog framework on a real X display: a modal dialog and a popup from
// their forms, a tooltip over the shown dialog, Esc, and a popup made again
// where it was when it went. Screenshots of each window go to the build
// folder's screenshots/ for a person to look at.
#include "DialogFixture.h"
#include "support/Screenshots.h"
#include "support/ShortcutCheck.h"

#include "ui/framework/ChooseLayerDlg.h"
#include "ui/framework/TipEditor.h"

#include <QComboBox>
#include <QPlainTextEdit>
#include <QTimer>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>

using namespace routingtest;

namespace {

class XDisplayTest : public DialogFixture {};
using TestPopup = FormPopup<Popup>;

/// The tooltip's window while one is shown; null otherwise.
QWidget* ShownTooltip()
{
    for (QWidget* w : QApplication::topLevelWidgets())
        if (w->inherits("QTipLabel") && w->isVisible())
            return w;
    return nullptr;
}

} // namespace

TEST_F(XDisplayTest, ModalDialogWithTooltip)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    SetTooltips(1);
    // As the preset upload opens it: no parent listener.
    ChooseLayerDlg dialog(QStringLiteral("Choose Layer"), nullptr, nullptr);
    dialog.move(60, 60);
    dialog.open();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QCoreApplication::processEvents(); // the activation settles before the tooltip comes
    EXPECT_TRUE(EachKeyBoundOnce(&dialog));

    QWidget* ok = dialog.Item(cmd::IdOk);
    const QPoint at = ok->rect().center();
    QHelpEvent help(QEvent::ToolTip, at, ok->mapToGlobal(at));
    QApplication::sendEvent(ok, &help);
    ASSERT_TRUE(QTest::qWaitFor([] { return ShownTooltip() != nullptr; }));
    QWidget* tip = ShownTooltip();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(tip));
    QCoreApplication::processEvents();
    EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("Accepts the current settings of the dialog")));
    EXPECT_FALSE(SaveScreenArea(dialog.frameGeometry().united(tip->frameGeometry()).adjusted(-4, -4, 4, 4),
                                QStringLiteral("modal-dialog-with-tooltip"))
                     .isEmpty());
    QToolTip::hideText();

    QTest::keyClick(dialog.LayerList(), Qt::Key_Escape);
    EXPECT_FALSE(dialog.isVisible());
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
}

TEST_F(XDisplayTest, PopupHiddenByEscAndMadeAgainWhereItWas)
{
    GetGlobalConfigurations().SetBool(TestUI, true); // the popup's labels as with a module connected
    TestOwner owner;
    QPoint place;
    {
        TestPopup popup(QStringLiteral("Names"), &root);
        popup.Show(&owner, QStringLiteral("Select Preset"));
        popup.move(420, 140);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&popup));
        ASSERT_TRUE(QTest::qWaitForWindowActive(&popup));
        EXPECT_TRUE(EachKeyBoundOnce(&popup));
        popup.ui.item1021->setCurrentRow(1);
        QCoreApplication::processEvents();
        EXPECT_FALSE(SaveScreenshot(&popup, QStringLiteral("popup"), 4).isEmpty());

        QTest::keyClick(popup.ui.item1022, Qt::Key_Escape);
        EXPECT_FALSE(popup.isVisible());
        EXPECT_EQ(owner.asked, 1);
        EXPECT_EQ(popup.Owner(), nullptr);
        place = popup.frameGeometry().topLeft();
    }
    EXPECT_EQ(place, QPoint(420, 140));

    TestPopup again(QStringLiteral("Names"), &root);
    again.Show(&owner, QStringLiteral("Select Preset"));
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&again));
    EXPECT_EQ(again.frameGeometry().topLeft(), place);
    EXPECT_FALSE(SaveScreenshot(&again, QStringLiteral("popup-made-again"), 4).isEmpty());
}

TEST_F(XDisplayTest, TipEditorTakesEnterAsALineBreak)
{
    // Inside the editor's own modal loop: Enter in the edit starts a new line
    // rather than closing the dialog; OK then hands back both lines.
    bool ran = false;
    QTimer::singleShot(0, [&ran] {
        auto* dialog = qobject_cast<BasicDialog*>(QApplication::activeModalWidget());
        ASSERT_NE(dialog, nullptr);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(dialog));
        EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Edit the Tooltip"));
        EXPECT_TRUE(EachKeyBoundOnce(dialog));
        auto* edit = dialog->ItemAs<QPlainTextEdit>(1189);
        ASSERT_NE(edit, nullptr);
        edit->setFocus();
        edit->moveCursor(QTextCursor::End);
        QTest::keyClick(edit, Qt::Key_Return);
        QTest::keyClicks(edit, QStringLiteral("Second line"));
        EXPECT_TRUE(dialog->isVisible());
        QCoreApplication::processEvents();
        EXPECT_FALSE(SaveScreenshot(dialog, QStringLiteral("tip-editor"), 4).isEmpty());
        ran = true;
        QTest::mouseClick(dialog->Item(cmd::IdOk), Qt::LeftButton);
    });
    const std::optional<QString> text = RunTipEditor(nullptr, nullptr, QStringLiteral("First line"));
    EXPECT_TRUE(ran);
    EXPECT_EQ(text, std::optional<QString>(QStringLiteral("First line\r\nSecond line")));
}
