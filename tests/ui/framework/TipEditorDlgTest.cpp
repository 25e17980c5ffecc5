// The tip editor dialog and the wait cursor.
#include "RoutingDoubles.h"

#include "core/resources/GlobalStyle.h"
#include "ui/framework/ItemId.h"
#include "ui/framework/StackWaitCursor.h"
#include "ui/framework/TipEditor.h"
#include "ui/framework/TipEditorDlg.h"

#include <QApplication>
#include <QGuiApplication>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

using namespace routingtest;

TEST(TipEditorDlg, LayoutCarriesItemIdsAndItsOwnCaption)
{
    TipEditorDlg dialog(QStringLiteral("Tip Editor"), nullptr, nullptr);
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Edit the Tooltip"));
    ASSERT_NE(FindItem<QPlainTextEdit>(&dialog, 1189), nullptr);
    EXPECT_EQ(ItemIdOf(FindItem<QPushButton>(&dialog, 1)), 1);
    EXPECT_EQ(ItemIdOf(FindItem<QPushButton>(&dialog, 2)), 2);
    EXPECT_EQ(FindItem<QPushButton>(&dialog, 1189), nullptr);
    ParamRecord r(QStringLiteral("R"), 10, 1);
    EXPECT_TRUE(dialog.EditParameter(&r));
}

TEST(ItemId, OnlyItemFollowedByDigitsNamesAnItem)
{
    const std::pair<const char*, int> cases[] = {
        {"item1050", 1050}, {"item1", 1}, {"item", -1}, {"item-1", -1}, {"label", -1}, {"item12a", -1}, {"", -1}};
    for (const auto& [name, id] : cases) {
        QObject o;
        o.setObjectName(QString::fromUtf8(name));
        EXPECT_EQ(ItemIdOf(&o), id) << name;
    }
}

TEST(TipEditorDlg, OkReturnsEveryLineAndCancelKeepsTheText)
{
    TableListener parent;
    for (bool ok : {true, false}) {
        TipEditorDlg dialog(QStringLiteral("Tip Editor"), &parent, nullptr);
        dialog.SetText(QStringLiteral("one\r\ntwo"));
        auto* edit = dialog.findChild<QPlainTextEdit*>(QStringLiteral("item1189"));
        EXPECT_EQ(edit->toPlainText(), QStringLiteral("one\ntwo"));
        edit->appendPlainText(QStringLiteral("three"));
        dialog.findChild<QPushButton*>(ok ? QStringLiteral("item1") : QStringLiteral("item2"))->click();
        EXPECT_EQ(dialog.result(), ok ? QDialog::Accepted : QDialog::Rejected);
        EXPECT_EQ(dialog.Text(), ok ? QStringLiteral("one\r\ntwo\r\nthree") : QStringLiteral("one\r\ntwo"));
    }
}

TEST(TipEditorDlg, RunsModallyAndAnswersTheEditedTextOnOk)
{
    for (bool ok : {true, false}) {
        QTimer::singleShot(0, [ok] {
            QWidget* modal = QApplication::activeModalWidget();
            ASSERT_NE(modal, nullptr);
            modal->findChild<QPlainTextEdit*>(QStringLiteral("item1189"))->setPlainText(QStringLiteral("new"));
            modal->findChild<QPushButton*>(ok ? QStringLiteral("item1") : QStringLiteral("item2"))->click();
        });
        const std::optional<QString> answer = RunTipEditor(nullptr, nullptr, QStringLiteral("old"));
        EXPECT_EQ(answer, ok ? std::optional<QString>(QStringLiteral("new")) : std::nullopt);
    }
}

TEST(StackWaitCursor, NestedGuardsSetAndRestoreTheCursorOnce)
{
    GlobalStyle style;
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    {
        StackWaitCursor outer;
        ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
        {
            StackWaitCursor inner;
            EXPECT_EQ(style.GetWaitCursorState().Count(), 2);
        }
        EXPECT_NE(QGuiApplication::overrideCursor(), nullptr);
    }
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(style.GetWaitCursorState().Count(), 0);
}
