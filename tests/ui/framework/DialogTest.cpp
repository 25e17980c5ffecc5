// Dialogs: the dialog keys, tooltips, labels for plain texts, the tip editor
// key, the skin, and when a modal dialog's controls are live.
#include "DialogFixture.h"
#include "support/ShortcutCheck.h"

#include "ui/framework/BasicDialog.h"
#include "ui/framework/LabelCtrl.h"
#include "ui/framework/TipEditor.h"

#include <QAction>
#include <QHelpEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPainter>
#include <QPushButton>
#include <QTest>
#include <QToolTip>

using namespace routingtest;

namespace {

/// A dialog that records its commands; items 1 (OK), 2 (Cancel), 1050 (an
/// edit registered as a control with tooltip 20950), texts of every kind.
class TestDialog : public ModalDialog {
public:
    explicit TestDialog(ControlListener* parent, QWidget* parentWnd = nullptr)
        : ModalDialog(QStringLiteral("Test"), 1, parent, parentWnd), control(this)
    {
        resize(300, 120);
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QStringLiteral("item1050"));
        edit->setGeometry(10, 10, 120, 20);
        plain = new QLabel(QStringLiteral("&Name:"), this);
        plain->setGeometry(140, 10, 60, 20);
        plain->setBuddy(edit);
        auto* group = new QLabel(QStringLiteral("Group"), this);
        group->setProperty("group", true);
        auto* numbered = new QLabel(QStringLiteral("numbered"), this);
        numbered->setObjectName(QStringLiteral("item1060"));
        auto* picture = new QLabel(this);
        picture->setPixmap(QPixmap(8, 8));
        for (int id : {1, 2}) {
            auto* button = new QPushButton(id == 1 ? QStringLiteral("OK") : QStringLiteral("Cancel"), this);
            button->setObjectName(QStringLiteral("item%1").arg(id));
            button->setGeometry(id == 1 ? 140 : 220, 80, 70, 24);
        }
        InitialiseDialog();
        control.SetControlWindow(edit);
        control.SetToolTipId(20950);
        AddControl(&control);
    }
    void OnCommand(int id) override
    {
        commands.push_back(id);
        ModalDialog::OnCommand(id);
    }
    RecordingControl control;
    QLabel* plain = nullptr;
    std::vector<int> commands;
};

class DialogTest : public DialogFixture {};

} // namespace

TEST_F(DialogTest, DialogKeysAreWindowActionsBoundOnceEach)
{
    TestDialog dialog(&root);
    const std::pair<const char*, int> expected[] = {
        {"Shift+F1", cmd::About}, {"Ctrl+Y", cmd::Redo},      {"Shift+F2", cmd::TipEditor},
        {"Ctrl+Z", cmd::Undo},    {"Ctrl+Tab", cmd::NextPopup}, {"Ctrl+M", cmd::MessageLog},
    };
    ASSERT_EQ(dialog.DialogKeyActions().size(), std::size(expected));
    for (size_t i = 0; i < std::size(expected); ++i) {
        QAction* action = dialog.DialogKeyActions()[i];
        EXPECT_EQ(action->shortcut(), QKeySequence(QString::fromLatin1(expected[i].first)));
        EXPECT_EQ(action->shortcutContext(), Qt::WidgetWithChildrenShortcut);
        dialog.commands.clear();
        action->trigger();
        EXPECT_EQ(dialog.commands, std::vector<int>{expected[i].second});
        // Never the platform's Redo key, which is Ctrl+Shift+Z under X11.
        EXPECT_NE(action->shortcut(), QKeySequence(QStringLiteral("Ctrl+Shift+Z")));
    }
    EXPECT_TRUE(EachKeyBoundOnce(&dialog));
}

TEST_F(DialogTest, KeysReachOnlyTheWindowThatHasTheFocus)
{
    TestDialog dialog(&root);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    QTest::keyClick(dialog.Item(1050), Qt::Key_Y, Qt::ControlModifier);
    EXPECT_EQ(dialog.commands, std::vector<int>{cmd::Redo});

    // A dialog opened from this one has its own keys; the first sees none of them.
    TestDialog inner(&dialog, &dialog);
    inner.show();
    QApplication::setActiveWindow(&inner);
    inner.Item(1050)->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), inner.Item(1050));
    dialog.commands.clear();
    QTest::keyClick(inner.Item(1050), Qt::Key_Z, Qt::ControlModifier);
    EXPECT_EQ(inner.commands, std::vector<int>{cmd::Undo});
    EXPECT_TRUE(dialog.commands.empty());
}

TEST_F(DialogTest, EnterAndEscAreOkAndCancel)
{
    TestDialog dialog(&root);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Escape);
    EXPECT_EQ(dialog.result(), QDialog::Rejected);
    dialog.show();
    QTest::keyClick(&dialog, Qt::Key_Return);
    EXPECT_EQ(dialog.result(), QDialog::Accepted);
    EXPECT_EQ(dialog.commands, (std::vector<int>{cmd::IdCancel, cmd::IdOk}));
}

TEST_F(DialogTest, TooltipTexts)
{
    TestDialog dialog(&root);
    dialog.SetOwnTooltipId(20950);
    const QString controlText = style->GetTooltipText(20950);
    EXPECT_EQ(dialog.GetToolTipText(1050), controlText);
    EXPECT_EQ(dialog.GetToolTipText(1), QStringLiteral("Accepts the current settings of the dialog"));
    EXPECT_EQ(dialog.GetToolTipText(2), QStringLiteral("Cancels the dialog"));
    EXPECT_EQ(dialog.GetToolTipText(0), controlText);
    dialog.SetOwnTooltipId(0);
    EXPECT_EQ(dialog.GetToolTipText(0), QString());
}

TEST_F(DialogTest, TooltipsShowOnlyWhileEnabled)
{
    TestDialog dialog(&root);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&dialog));
    QWidget* ok = dialog.Item(1);
    for (std::uint32_t mode : {0u, 1u, 2u}) {
        SetTooltips(mode);
        QToolTip::hideText();
        QHelpEvent help(QEvent::ToolTip, QPoint(5, 5), ok->mapToGlobal(QPoint(5, 5)));
        QApplication::sendEvent(ok, &help);
        EXPECT_EQ(QToolTip::isVisible(), mode != 0) << mode;
        if (mode != 0) {
            EXPECT_TRUE(QToolTip::text().contains(QStringLiteral("Accepts the current settings"))) << mode;
        }
    }
    QToolTip::hideText();
}

TEST_F(DialogTest, PlainTextsBecomeLabels)
{
    TestDialog dialog(&root);
    // The plain text and the group heading; not the numbered text nor the picture.
    ASSERT_EQ(dialog.Labels().size(), 2u);
    LabelCtrl* name = dialog.Labels()[0];
    EXPECT_EQ(name->text(), QStringLiteral("&Name:"));
    EXPECT_EQ(name->geometry(), QRect(140, 10, 60, 20));
    EXPECT_EQ(name->buddy(), dialog.Item(1050));
    EXPECT_TRUE(dialog.Labels()[1]->property("group").toBool());
    EXPECT_EQ(dialog.findChildren<QLabel*>().size(), 4); // two labels, the numbered text, the picture
    EXPECT_EQ(qobject_cast<LabelCtrl*>(dialog.Item(1060)), nullptr);
}

TEST_F(DialogTest, TipEditorKeyEditsTheFocusedControlsTooltipWithLongTips)
{
    int opened = 0;
    SetTipEditorRunner([&](const QString& title, ControlListener*, QWidget*, const QString&) {
        ++opened;
        EXPECT_EQ(title, QStringLiteral("Tip Editor"));
        return std::optional<QString>(QStringLiteral("My own words"));
    });
    TestDialog dialog(&root);
    dialog.show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&dialog));
    dialog.Item(1050)->setFocus();
    SetTooltips(1);
    dialog.OnCommand(cmd::TipEditor);
    EXPECT_EQ(opened, 0);
    SetTooltips(2);
    dialog.OnCommand(cmd::TipEditor);
    EXPECT_EQ(opened, 1);
    EXPECT_EQ(style->GetTooltipText(20950), QStringLiteral("My own words"));
    dialog.Item(1)->setFocus(); // not a registered control
    dialog.OnCommand(cmd::TipEditor);
    EXPECT_EQ(opened, 1);
    SetTipEditorRunner(nullptr);
}

TEST_F(DialogTest, TheBevelSitsAtTheWindowsOwnEdges)
{
    TestDialog dialog(&root);
    const QImage picture = dialog.grab().toImage();
    const QImage skin = style->Skin().toImage();
    const int right = picture.width() - 1, bottom = picture.height() - 1;
    ASSERT_LT(right, skin.width() - 1);
    auto light = [](QColor c) { return c.red() + c.green() + c.blue(); };
    const int midX = picture.width() / 2, midY = picture.height() / 2;
    EXPECT_GT(light(picture.pixelColor(midX, 0)), light(skin.pixelColor(midX, 0)));
    EXPECT_GT(light(picture.pixelColor(0, midY)), light(skin.pixelColor(0, midY)));
    EXPECT_LT(light(picture.pixelColor(midX, bottom)), light(skin.pixelColor(midX, bottom)));
    EXPECT_LT(light(picture.pixelColor(right, midY)), light(skin.pixelColor(right, midY)));
}

TEST_F(DialogTest, TheSkinShowsBehindTheControls)
{
    TestDialog dialog(&root);
    const QImage picture = dialog.grab().toImage();
    const QImage skin = style->Skin().toImage();
    ASSERT_FALSE(skin.isNull());
    for (QPoint p : {QPoint(5, 60), QPoint(290, 115)})
        EXPECT_EQ(picture.pixelColor(p), skin.pixelColor(p)) << p.x() << "," << p.y();
    EXPECT_EQ(dialog.palette().color(QPalette::Text), style->Colour(ForegroundColour));
    EXPECT_EQ(dialog.palette().color(QPalette::Base), style->Colour(BackgroundColour));
}

TEST_F(DialogTest, ModalControlsAreLiveFromTheFirstIdleMomentUntilClosing)
{
    auto dialog = std::make_unique<TestDialog>(&root);
    dialog->show();
    EXPECT_EQ(dialog->control.activations, 0); // not while showing
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->control.activations, 1);
    dialog->hide();
    dialog->show();
    QCoreApplication::processEvents();
    EXPECT_EQ(dialog->control.activations, 1); // once only
    dialog->done(QDialog::Accepted);
    EXPECT_EQ(dialog->control.deactivations, 1);
}
