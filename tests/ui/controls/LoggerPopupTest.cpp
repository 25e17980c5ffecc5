// The log window offscreen: lines logged before and while it exists, lines
// from other threads, the bounded list and its view, the level edit, the
// list's menu commands.
#include "core/Logger.h"
#include "core/RegistryKey.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "platform/SettingsStore.h"
#include "support/TestStyle.h"
#include "ui/controls/LoggerPopup.h"
#include "ui/framework/RootListener.h"

#include <QApplication>
#include <QClipboard>
#include <QMenu>
#include <QFile>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <thread>

namespace {

class LoggerPopupTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestStyle(&style, dir, true);
        RegistryKey(GetTraceKeyPath(), true).WriteString(QStringLiteral("TabrineLog"), LogFile());
        TheTmpLogStore().ResetLogFile();
        TheTmpLogStore().TakeWaiting();
        TheTmpLogStore().ForgetLastRead();
    }
    void TearDown() override
    {
        window.reset();
        RegistryKey(GetTraceKeyPath(), true).WriteString(QStringLiteral("TabrineLog"), QString());
        TheTmpLogStore().ResetLogFile();
        StopTestStyle(&style);
    }
    QString LogFile() const { return dir.filePath(QStringLiteral("run.log")); }
    /// The log file's lines (UTF-16LE after the mark).
    QStringList FileLines() const
    {
        QFile f(LogFile());
        if (!f.open(QIODevice::ReadOnly))
            return {};
        const QByteArray bytes = f.readAll().mid(2);
        const QString text = QString::fromUtf16(reinterpret_cast<const char16_t*>(bytes.constData()), bytes.size() / 2);
        return text.split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
    }
    void Open()
    {
        window = std::make_unique<LoggerPopup>(QStringLiteral("Message Log"), false, &root, nullptr);
        window->show();
    }
    /// The list's lines that end in text.
    int Showing(const QString& text)
    {
        int n = 0;
        for (int i = 0; i < window->Lines().Count(); ++i)
            n += window->Lines().Line(i).endsWith(text);
        return n;
    }

    QTemporaryDir dir;
    GlobalStyle style;
    RootListener root{nullptr};
    std::unique_ptr<LoggerPopup> window;
};

TEST_F(LoggerPopupTest, LinesFromBeforeAndFromOtherThreadsArriveInOrderAndOnceInTheFile)
{
    TLOG(-2, u"first before");
    TLOG(0, u"second before");
    Open();
    ASSERT_EQ(CurrentLogger(), static_cast<Logger*>(window.get()));
    ASSERT_EQ(window->Lines().Count(), 2);
    EXPECT_TRUE(window->Lines().Line(0).endsWith(QStringLiteral("WARNING: first before")));
    EXPECT_TRUE(window->Lines().Line(1).endsWith(QStringLiteral("INFO   : second before")));

    std::thread other([] { TLOG(0, u"from another thread"); });
    other.join();
    EXPECT_EQ(Showing(QStringLiteral("from another thread")), 0) << "waits for the window's own thread";
    TLOG(0, u"on the window's thread"); // takes the waiting line first
    ASSERT_EQ(window->Lines().Count(), 4);
    EXPECT_TRUE(window->Lines().Line(2).endsWith(QStringLiteral("from another thread")));
    EXPECT_TRUE(window->Lines().Line(3).endsWith(QStringLiteral("on the window's thread")));

    std::thread later([] { TLOG(0, u"picked up by the timer"); });
    later.join();
    QTest::qWait(1100);
    EXPECT_EQ(Showing(QStringLiteral("picked up by the timer")), 1);

    const QStringList file = FileLines();
    for (const char* text : {"first before", "second before", "from another thread", "on the window's thread",
                             "picked up by the timer"}) {
        int n = 0;
        for (const QString& line : file)
            n += line.contains(QString::fromUtf8(text));
        EXPECT_EQ(n, 1) << text;
    }

    window.reset();
    EXPECT_EQ(CurrentLogger(), static_cast<Logger*>(&TheTmpLogStore()));
}

TEST_F(LoggerPopupTest, ViewFollowsTheLastLineOrStaysWhereTheUserScrolled)
{
    Open();
    window->resize(400, 200);
    for (int i = 0; i < kLogWindowCapacity; ++i)
        window->AddLine(QStringLiteral("line %1").arg(i));
    window->AddText(QStringLiteral("a\r\nb\n\r\n"));
    EXPECT_EQ(window->Lines().Count(), kLogWindowCapacity);
    EXPECT_EQ(window->Lines().Line(kLogWindowCapacity - 1), QStringLiteral("b"));

    QListView* list = window->List();
    list->setCurrentIndex(window->Lines().index(kLogWindowCapacity - 1));
    window->AddLine(QStringLiteral("follows"));
    EXPECT_EQ(list->currentIndex().row(), kLogWindowCapacity - 1);
    EXPECT_EQ(window->Lines().Line(list->currentIndex().row()), QStringLiteral("follows"));

    list->setCurrentIndex(window->Lines().index(500));
    list->verticalScrollBar()->setValue(480);
    window->AddLine(QStringLiteral("stays"));
    EXPECT_EQ(list->verticalScrollBar()->value(), 480);
}

TEST_F(LoggerPopupTest, LevelEditStoresWhatIsTypedAndShowsWhatIsStored)
{
    RegistryKey(GetTraceKeyPath(), true).WriteDword(QStringLiteral("Tabrine"), std::uint32_t(-2));
    Open();
    EXPECT_EQ(window->LevelEdit()->text(), QStringLiteral("-2"));
    EXPECT_EQ(std::int32_t(RegistryKey(GetTraceKeyPath(), false).ReadDword(QStringLiteral("Tabrine"), 0)), -2);

    window->LevelEdit()->setFocus();
    window->LevelEdit()->selectAll();
    QTest::keyClicks(window->LevelEdit(), QStringLiteral("9"));
    EXPECT_EQ(RegistryKey(GetTraceKeyPath(), false).ReadDword(QStringLiteral("Tabrine"), 0), 9u);
    TLOG(9, u"a level nine trace");
    EXPECT_EQ(Showing(QStringLiteral("a level nine trace")), 1);
}

TEST_F(LoggerPopupTest, ListCommands)
{
    Open();
    EXPECT_EQ(window->List()->accessibleName(), QString());
    EXPECT_EQ(window->SupportButton()->accessibleName(), QStringLiteral("Append Support Info"));
    window->RunListCommand(logwindow::kCopy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QString());
    window->AddText(QStringLiteral("x\ny"));
    window->RunListCommand(logwindow::kCopy);
    EXPECT_EQ(QGuiApplication::clipboard()->text(), QStringLiteral("x\r\ny\r\n"));
    window->RunListCommand(logwindow::kClear);
    EXPECT_EQ(window->Lines().Count(), 0);

    const bool onTop = window->IsOnTop();
    EXPECT_EQ(onTop, GetGlobalConfigurations().GetBool(LoggerOnTop)); // opened as the setting says
    const bool setting = GetGlobalConfigurations().GetBool(LoggerOnTop);
    const QRect place = window->geometry();
    window->RunListCommand(logwindow::kOnTop);
    EXPECT_NE(window->IsOnTop(), onTop);
    auto menu = window->List()->MakeListMenu();
    ASSERT_TRUE(menu);
    EXPECT_EQ(menu->actions().at(2)->isChecked(), !onTop);
    window->RunListCommand(logwindow::kOnTop);
    EXPECT_EQ(window->IsOnTop(), onTop);
    EXPECT_EQ(GetGlobalConfigurations().GetBool(LoggerOnTop), setting);
    EXPECT_EQ(window->geometry(), place);

    // Without long tooltips the list shows no menu, as every control.
    GetGlobalConfigurations().SetDword(EnableTooltips, 1);
    EXPECT_FALSE(window->List()->MakeListMenu());
}

} // namespace
