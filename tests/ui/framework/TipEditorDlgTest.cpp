// The tip editor dialog and the wait cursor.
#include "RoutingDoubles.h"

#include "core/resources/GlobalStyle.h"
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
    EXPECT_NE(dialog.findChild<QPlainTextEdit*>(QStringLiteral("item1189")), nullptr);
    EXPECT_NE(dialog.findChild<QPushButton*>(QStringLiteral("item1")), nullptr);
    EXPECT_NE(dialog.findChild<QPushButton*>(QStringLiteral("item2")), nullptr);
    ParamRecord r(QStringLiteral("R"), 10, 1);
    EXPECT_TRUE(dialog.EditParameter(&r));
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
