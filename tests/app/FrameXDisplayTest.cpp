// The program's main window on a real X display, started as the program
// starts it: with no MIDI at all (the device dialog cancelled) and in the
// test mode with the simulated connect. Screenshots go to the build folder's
// screenshots/ for a person to look at.
#include "ApplicationFixture.h"

#include "app/Application.h"
#include "app/Frame.h"
#include "app/View.h"
#include "module/ParameterIds.h"
#include "support/Screenshots.h"
#include "support/ShortcutCheck.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMenuBar>
#include <QScreen>
#include <QStatusBar>
#include <QTest>

using namespace apptest;

namespace {

TEST(FrameXDisplayTest, MainWindowWithoutMidiAndInTestMode)
{
    ASSERT_EQ(QGuiApplication::platformName(), QStringLiteral("xcb"));
    miditest::TestEnvironment env;
    QTemporaryDir folder;
    struct Case {
        bool testUI;
        const char* title;
        const char* picture;
    };
    const Case cases[] = {{false, "Tabrine Studio -- No MIDI Port Found", "main-window-no-midi"},
                          {true, "Tabrine Studio", "main-window-test-mode"}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.picture);
        GetGlobalConfigurations().SetBool(TestUI, c.testUI);
        ScriptedDeviceDialog dialog;
        Application app;
        Application::Options options;
        options.backend = std::make_shared<LoopbackBackend>();
        options.locations = MakeLocations(folder);
        options.installMessagePresenter = false;
        options.onDocumentCreated = [&dialog](Document& document) { document.SetDeviceDialogRunner(dialog.Runner()); };
        app.SetOptions(options);
        ASSERT_TRUE(app.InitInstance(QStringLiteral("Studio")));
        EXPECT_EQ(dialog.runs, c.testUI ? 0 : 1);
        Frame* frame = app.GetMainWindow();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(frame));
        frame->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(frame));
        Proteus& proteus = app.GetDocument()->GetProteus();
        for (int i = 0; c.testUI && i < 50 && !proteus.IsReady(); ++i)
            proteus.PumpMessages();
        QCoreApplication::processEvents();

        EXPECT_EQ(frame->windowTitle(), QString::fromLatin1(c.title));
        EXPECT_TRUE(EachKeyBoundOnce(frame));
        EXPECT_EQ(frame->minimumSize(), frame->maximumSize());
        // The whole window lies on the screen, menu, panel and status bar inside it.
        const QRect screen = frame->screen()->geometry();
        EXPECT_TRUE(screen.contains(frame->frameGeometry()));
        EXPECT_TRUE(frame->menuBar()->isVisible());
        EXPECT_TRUE(frame->statusBar()->isVisible());
        EXPECT_GE(frame->GetView()->width(), frame->statusBar()->width() - 2);
        // The SysEx pane lies inside the status bar, beside the prompts.
        EXPECT_TRUE(frame->statusBar()->rect().contains(frame->SysExPane()->geometry()));
        EXPECT_FALSE(SaveScreenshot(frame, QString::fromLatin1(c.picture)).isEmpty());

        // Ctrl+Z undoes a step made since the menu was last shown (an empty
        // group, which needs no module to take it: without MIDI a module
        // parameter's undo is refused and stays).
        ParamRecord start(QStringLiteral("START_UNDO"), START_UNDO, 0), end(QStringLiteral("END_UNDO"), END_UNDO, 0);
        frame->GetView()->RecordChange(&start);
        frame->GetView()->RecordChange(&end);
        QTest::keyClick(frame, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_FALSE(frame->GetView()->CanUndo());
        EXPECT_TRUE(frame->GetView()->CanRedo());

        // Ctrl+G is the main window's own key: it brings the device dialog.
        QTest::keyClick(frame, Qt::Key_G, Qt::ControlModifier);
        EXPECT_EQ(dialog.runs, c.testUI ? 1 : 2);
        app.ExitInstance();
    }
    GetGlobalConfigurations().SetBool(TestUI, false);
}

} // namespace
