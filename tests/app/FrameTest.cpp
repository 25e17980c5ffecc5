// The main window: title by configuration and connection state, the SysEx
// pane, its size and position, its menu and keys, the next-popup walk and
// the Message Log command.
#include "ApplicationFixture.h"

#include "app/Frame.h"
#include "app/View.h"
#include "support/ShortcutCheck.h"
#include "ui/framework/CommandIds.h"

#include <QAction>
#include <QGuiApplication>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QScreen>

using namespace apptest;

namespace {

class FrameTest : public ::testing::Test {
protected:
    miditest::TestEnvironment env;
    std::shared_ptr<LoopbackBackend> backend = std::make_shared<LoopbackBackend>();
    std::shared_ptr<LoopbackDevice> device = backend->AddDevice(QStringLiteral("Proteus"));
};

TEST_F(FrameTest, TitleFollowsConfigurationAndConnection)
{
    enum State { NoPort, NotConnected, Connected, TestMode };
    struct Case {
        const char* configuration;
        State state;
        const char* title;
    };
    const Case cases[] = {
        {"Settings", NoPort, "Tabrine -- No MIDI Port Found"},
        {"Settings", NotConnected, "Tabrine -- Not Connected"},
        {"Settings", Connected, "Tabrine"},
        {"Settings", TestMode, "Tabrine"},
        {"Studio", NoPort, "Tabrine Studio -- No MIDI Port Found"},
        {"Studio", NotConnected, "Tabrine Studio -- Not Connected"},
        {"Studio", Connected, "Tabrine Studio"},
        {"Studio", TestMode, "Tabrine Studio"},
        {"settings", NoPort, "Tabrine settings -- No MIDI Port Found"},
        {"settings", Connected, "Tabrine settings"},
        {"settings", TestMode, "Tabrine settings"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.configuration) + " " + c.title);
        GetGlobalConfigurations().SetKeyName(QString::fromLatin1(c.configuration));
        GetGlobalConfigurations().SetBool(TestUI, c.state == TestMode);
        Document document(backend);
        Frame frame(document);
        Proteus& proteus = document.GetProteus();
        if (c.state == NotConnected || c.state == Connected)
            ASSERT_TRUE(proteus.OpenPort(0, 0, 0, 1000, 0, 0, false));
        proteus.SetReady(c.state == Connected);
        frame.OnUpdateFrameTitle();
        EXPECT_EQ(frame.windowTitle(), QString::fromLatin1(c.title));
        proteus.SetReady(false);
        GetGlobalConfigurations().SetBool(TestUI, false);
    }
}

TEST_F(FrameTest, AnUnansweredOpenEndsInTheTitle)
{
    Document document(backend);
    Frame frame(document);
    Proteus& proteus = document.GetProteus();
    device->HoldOpen(true); // the MIDI system never reports the ports open
    ASSERT_TRUE(proteus.OpenPort(0, 0, 0, 1, 0, 0, false));
    document.UpdateFrameTitle();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tabrine -- Not Connected"));
    for (int i = 0; i < 50 && proteus.IsInputOpen(); ++i)
        proteus.PumpMessages();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tabrine -- No MIDI Port Found"));
    EXPECT_EQ(env.presenter->texts.size(), 1); // "Device not responding"
}

TEST_F(FrameTest, SysExPaneShowsAtMostTheFirstEightyBytes)
{
    Document document(backend);
    Frame frame(document);
    const std::uint8_t three[] = {0xF0, 0x7E, 0xF7};
    frame.ShowSysEx(three, 3);
    EXPECT_EQ(frame.SysExPane()->text(), QStringLiteral("SysEx: F0 7E F7 "));
    EXPECT_EQ(frame.SysExPane()->objectName(), QStringLiteral("item32777"));

    std::vector<std::uint8_t> long100(100);
    for (int i = 0; i < 100; ++i)
        long100[std::size_t(i)] = std::uint8_t(i);
    for (unsigned length : {0u, 80u, 81u, 100u}) {
        SCOPED_TRACE(length);
        QString expected = QStringLiteral("SysEx: ");
        for (unsigned i = 0; i < std::min(length, 80u); ++i)
            expected += QStringLiteral("%1 ").arg(i, 2, 16, QLatin1Char('0')).toUpper();
        frame.ShowSysEx(long100.data(), length);
        EXPECT_EQ(frame.SysExPane()->text(), expected);
    }
}

TEST_F(FrameTest, WindowHasFixedSizeNoMaximiseAndKeepsItsPositionOnScreen)
{
    GetGlobalConfigurations().WriteString(QStringLiteral("MainFrame"), QStringLiteral("-500 -300 100 200"));
    Document document(backend);
    Frame frame(document);
    frame.FitToPanel();
    EXPECT_FALSE(frame.windowFlags() & Qt::WindowMaximizeButtonHint);
    EXPECT_TRUE(frame.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_EQ(frame.minimumSize(), frame.maximumSize());
    // Shifted onto the screen, never resized by the stored rectangle.
    EXPECT_GE(frame.pos().x(), 0);
    EXPECT_GE(frame.pos().y(), 0);

    frame.move(40, 60);
    frame.show();
    ASSERT_TRUE(frame.close());
    const QRect r = frame.frameGeometry();
    EXPECT_EQ(GetGlobalConfigurations().ReadString(QStringLiteral("MainFrame"), QString()),
              QStringLiteral("%1 %2 %3 %4").arg(r.left()).arg(r.top()).arg(r.left() + r.width()).arg(r.top() + r.height()));

    for (const char* bad : {"", "1 2 3", "a b c d"}) {
        GetGlobalConfigurations().WriteString(QStringLiteral("MainFrame"), QString::fromLatin1(bad));
        Frame other(document);
        EXPECT_EQ(other.pos(), QPoint(0, 0)) << bad;
    }
}

TEST_F(FrameTest, MenuHoldsEveryCommandAndNoKeyIsBoundTwice)
{
    Document document(backend);
    Frame frame(document);
    EXPECT_TRUE(EachKeyBoundOnce(&frame));
    struct Case {
        int command;
        const char* key;
        bool enabled;
    };
    const Case cases[] = {
        {cmd::FileLoad, "Ctrl+L", false},      {cmd::FileSave, "Ctrl+S", false},
        {cmd::FileSaveAs, "Ctrl+A", false},    {cmd::AppExit, "Ctrl+X", true},
        {cmd::Undo, "Ctrl+Z", false},          {cmd::Redo, "Ctrl+Y", false},
        {cmd::BankMap, "", false},             {cmd::CopyData, "Ctrl+C", false},
        {cmd::ImportData, "Ctrl+I", false},    {cmd::ExportData, "Ctrl+E", false},
        {cmd::SendData, "", false},            {cmd::MessageLog, "Ctrl+M", true},
        {cmd::TooltipsNone, "", false},        {cmd::TooltipsShort, "", false},
        {cmd::TooltipsLong, "", false},        {cmd::ConfigureMidi, "Ctrl+G", true},
        {cmd::SaveInstrumentDefinition, "Ctrl+D", false},
        {cmd::ExportFxBank, "", false},        {cmd::BackupModule, "", false},
        {cmd::RestoreBackup, "", false},       {cmd::Options, "", true},
        {cmd::HelpFinder, "F1", false},        {cmd::WebSite, "", false},
        {cmd::ReadMe, "", false},              {cmd::About, "Shift+F1", false},
        {cmd::NextPopup, "Ctrl+Tab", true},    {cmd::TipEditor, "Shift+F2", false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.command);
        QAction* action = frame.Action(c.command);
        ASSERT_NE(action, nullptr);
        EXPECT_EQ(action->shortcut().toString(QKeySequence::PortableText), QString::fromLatin1(c.key));
        EXPECT_EQ(action->isEnabled(), c.enabled);
        EXPECT_EQ(action->objectName(), QStringLiteral("command%1").arg(c.command));
    }
    EXPECT_EQ(frame.Action(cmd::ConfigureMidi)->statusTip(), QStringLiteral("Configures the MIDI Device"));
    EXPECT_EQ(frame.Action(cmd::WebSite)->statusTip(), QStringLiteral("Displays the Tabrine Web Site"));
    EXPECT_EQ(frame.Action(cmd::ReadMe)->statusTip(),
              QStringLiteral("Displays the Readme File supplied with the release"));
    QStringList menus;
    for (QAction* a : frame.menuBar()->actions())
        menus << a->text();
    EXPECT_EQ(menus, (QStringList{"&File", "&Edit", "&View", "&Setup", "&Help"}));
    // The help commands work once the application hands them over.
    frame.SetHelpHandler(cmd::WebSite, [] {});
    EXPECT_TRUE(frame.Action(cmd::WebSite)->isEnabled());
}

TEST_F(FrameTest, ConfigureMidiRunsTheDeviceDialogFromMenuAndKey)
{
    Document document(backend);
    ScriptedDeviceDialog dialog;
    document.SetDeviceDialogRunner(dialog.Runner());
    Frame frame(document);
    frame.Action(cmd::ConfigureMidi)->trigger();
    EXPECT_EQ(dialog.runs, 1);
}

TEST_F(FrameTest, NextPopupWalksTheVisiblePopupsInNameOrderThenTheMainWindow)
{
    using Registry = std::vector<std::pair<QString, bool>>;
    const Registry none;
    const Registry popups{{"Controllers", true}, {"Edit", false}, {"Master", true}, {"Message Log", true}};
    struct Case {
        const Registry* registry;
        const char* current;
        const char* target;
    };
    const Case cases[] = {
        {&none, "", ""},
        {&popups, "", "Controllers"},
        {&popups, "Controllers", "Master"},
        {&popups, "Master", "Message Log"},
        {&popups, "Message Log", ""},
        {&popups, "Edit", "Master"},
        {&popups, "Unregistered", ""},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Frame::NextPopupTarget(*c.registry, QString::fromLatin1(c.current)), QString::fromLatin1(c.target))
            << c.current;
}

TEST_F(FrameTest, MessageLogCommandShowsAndHidesTheRegisteredLog)
{
    Document document(backend);
    Frame frame(document);
    frame.RunCommand(cmd::MessageLog); // no log window: nothing happens
    QWidget log;
    frame.GetView()->AddPopup(QStringLiteral("Message Log"), &log);
    frame.RunCommand(cmd::MessageLog);
    EXPECT_TRUE(log.isVisible());
    EXPECT_TRUE(frame.Action(cmd::MessageLog)->isChecked());
    frame.RunCommand(cmd::MessageLog);
    EXPECT_FALSE(log.isVisible());
    EXPECT_FALSE(frame.Action(cmd::MessageLog)->isChecked());
    frame.GetView()->RemovePopup(QStringLiteral("Message Log"));
}

TEST_F(FrameTest, ExitClosesTheWindow)
{
    Document document(backend);
    Frame frame(document);
    frame.show();
    frame.RunCommand(cmd::AppExit);
    EXPECT_FALSE(frame.isVisible());
}

} // namespace
