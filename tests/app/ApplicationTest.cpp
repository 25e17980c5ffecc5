// The application object: start-up order, the configuration from the command
// line, one instance per configuration, the profile version, the Help menu,
// shutdown, and two configurations sharing one data folder.
#include "ApplicationFixture.h"

#include "app/AboutDlg.h"
#include "app/Application.h"
#include "app/Frame.h"
#include "app/View.h"
#include "core/Logger.h"
#include "core/RegistryKey.h"
#include "core/resources/GlobalStyle.h"
#include "ui/controls/LoggerPopup.h"
#include "ui/controls/LogLines.h"
#include "ui/framework/CommandIds.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include <QProcess>
#include <QThread>

using namespace apptest;

namespace {

int IndexOf(const miditest::RecordingLogger& logger, const QString& text)
{
    const QStringList lines = logger.Lines();
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains(text))
            return i;
    return -1;
}

class ApplicationTest : public ::testing::Test {
protected:
    /// An application for this test's world; the device dialog cancels.
    std::unique_ptr<Application> MakeApp()
    {
        auto app = std::make_unique<Application>();
        Application::Options options;
        options.backend = backend;
        options.locations = MakeLocations(folder);
        options.installMessagePresenter = false;
        options.showMainWindow = false;
        options.openUrl = [this](const QUrl& url) {
            opened.push_back(url);
            return true;
        };
        options.programFolder = folder.filePath(QStringLiteral("bin"));
        options.runAboutBox = [this](CAboutDlg& about) {
            aboutShown << about.Name();
            aboutParents.push_back(about.parentWidget());
        };
        options.onDocumentCreated = [this](Document& document) {
            document.SetDeviceDialogRunner([this, &document](Document::DeviceSettings&) {
                // The dialog comes while the main window is built and not yet shown.
                Application* app = current;
                events << QStringLiteral("dialog");
                if (app && app->GetMainWindow())
                    events << (app->GetMainWindow()->isVisible() ? QStringLiteral("visible")
                                                                 : QStringLiteral("hidden"));
                (void)document;
                return false;
            });
        };
        app->SetOptions(options);
        return app;
    }

    bool Init(Application& app, const QString& commandLine)
    {
        current = &app;
        const bool ok = app.InitInstance(commandLine);
        current = nullptr;
        return ok;
    }

    QString DataFile(const QString& name) const { return folder.filePath(QStringLiteral("docs/Tabrine/") + name); }

    QTemporaryDir folder;
    miditest::TestEnvironment env;
    std::shared_ptr<LoopbackBackend> backend = std::make_shared<LoopbackBackend>();
    std::vector<QUrl> opened;
    QStringList events;
    QStringList aboutShown;
    std::vector<QWidget*> aboutParents;
    Application* current = nullptr;
};

TEST_F(ApplicationTest, TheCommandLineNamesTheConfigurationItsFileAndItsLock)
{
    struct Case {
        QString commandLine, name, file, lock;
        bool warned;
    };
    const Case cases[] = {
        {QString(), "Settings", "Default.xml", "TabrineInstanceEvent_Settings.lock", false},
        {"Studio", "Studio", "Studio.xml", "TabrineInstanceEvent_Studio.lock", false},
        {"My Studio", "My Studio", "My Studio.xml", "TabrineInstanceEvent_My%20Studio.lock", false},
        {"  Studio ", "Studio", "Studio.xml", "TabrineInstanceEvent_Studio.lock", false},
        {"a/b", "Settings", "Default.xml", "TabrineInstanceEvent_Settings.lock", true},
        {"it's mine", "it's mine", "it's mine.xml", "TabrineInstanceEvent_it%27s%20mine.lock", false},
        // A quote cannot be in a file name on every system: the default configuration is used.
        {"\"Studio\"", "Settings", "Default.xml", "TabrineInstanceEvent_Settings.lock", true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.commandLine.toStdString());
        env.presenter->texts.clear();
        auto app = MakeApp();
        ASSERT_TRUE(Init(*app, c.commandLine));
        EXPECT_EQ(GetGlobalConfigurations().KeyName(), c.name);
        EXPECT_EQ(GetGlobalConfigurations().GetString(ConfigFile), c.file);
        EXPECT_EQ(Application::InstanceLockName(c.name), c.lock);
        EXPECT_TRUE(QFileInfo::exists(QDir(Application::InstanceLockFolder()).filePath(c.lock)));
        EXPECT_EQ(env.presenter->texts.size(), c.warned ? 1 : 0);
        EXPECT_EQ(app->ExitInstance(), Application::ExitOk);
        EXPECT_FALSE(QFileInfo::exists(QDir(Application::InstanceLockFolder()).filePath(c.lock)));
    }
}

TEST_F(ApplicationTest, StartUpRunsInOrderAndTheWindowComesLast)
{
    env.logger->SetLevel(3);
    auto app = MakeApp();
    ASSERT_TRUE(Init(*app, QStringLiteral("Studio")));
    // Ports unset: the device dialog came up once, before the window was shown.
    EXPECT_EQ(events, (QStringList{QStringLiteral("dialog"), QStringLiteral("hidden")}));
    // Lines go to the log window in use: the test's until the panel's
    // Message Log exists, then that one.
    EXPECT_GE(IndexOf(*env.logger, QStringLiteral("Tabrine initialised")), 0);
    EXPECT_EQ(IndexOf(*env.logger, QStringLiteral("Opening MIDI ports")), -1);
    ASSERT_NE(app->GetMainWindow(), nullptr);
    LoggerPopup* messageLog = app->GetMainWindow()->GetView()->GetMessageLog();
    ASSERT_NE(messageLog, nullptr);
    bool opening = false;
    for (int i = 0; i < messageLog->Lines().Count(); ++i)
        opening = opening || messageLog->Lines().Line(i).contains(u"Opening MIDI ports");
    EXPECT_TRUE(opening);
    EXPECT_EQ(TheGlobalStyle(), app->GetResources());
    ASSERT_NE(app->GetMainWindow(), nullptr);
    EXPECT_EQ(app->GetDocument()->GetFirstView(), app->GetMainWindow()->GetView());
    // Cancelled with no MIDI: a window that says so.
    EXPECT_EQ(app->GetMainWindow()->windowTitle(), QStringLiteral("Tabrine Studio -- No MIDI Port Found"));
    app->ExitInstance();
    // The document and its ports are gone before the shutdown is logged; with
    // the Message Log gone too, the line waits in the start-up logger.
    EXPECT_EQ(app->GetDocument(), nullptr);
    bool shutdown = false;
    for (const QString& line : TheTmpLogStore().TakeWaiting())
        shutdown = shutdown || line.contains(u"Tabrine shutdown");
    EXPECT_TRUE(shutdown);
}

TEST_F(ApplicationTest, TestModeStartsWithoutTheDialogAndConnectsTheSimulatedModule)
{
    GetGlobalConfigurations().SetBool(TestUI, true);
    auto app = MakeApp();
    ASSERT_TRUE(Init(*app, QString()));
    EXPECT_TRUE(events.isEmpty());
    Proteus& proteus = app->GetDocument()->GetProteus();
    for (int i = 0; i < 50 && !proteus.IsReady(); ++i)
        proteus.PumpMessages();
    EXPECT_TRUE(proteus.IsConnected());
    EXPECT_EQ(app->GetMainWindow()->windowTitle(), QStringLiteral("Tabrine"));
    app->ExitInstance();
    GetGlobalConfigurations().SetBool(TestUI, false);
}

TEST_F(ApplicationTest, ASecondInstanceOfAConfigurationIsRefusedAndSavesNothing)
{
    auto first = MakeApp();
    ASSERT_TRUE(Init(*first, QStringLiteral("Studio")));
    first->GetResources()->SetTooltipText(20400, QStringLiteral("the first run's tip"));

    env.presenter->texts.clear();
    auto second = MakeApp();
    EXPECT_FALSE(Init(*second, QStringLiteral("Studio")));
    EXPECT_EQ(second->ExitCode(), Application::ExitAlreadyRunning);
    EXPECT_EQ(env.presenter->texts, QStringList{LoadResourceString(207)});
    EXPECT_EQ(second->GetMainWindow(), nullptr);
    EXPECT_EQ(second->GetDocument(), nullptr);
    second->GetResources()->SetTooltipText(20400, QStringLiteral("the refused run's tip"));
    EXPECT_EQ(second->ExitInstance(), Application::ExitAlreadyRunning);
    EXPECT_FALSE(QFileInfo::exists(DataFile(QStringLiteral("Tooltips.xml"))));

    // Another configuration runs beside the first.
    auto other = MakeApp();
    EXPECT_TRUE(Init(*other, QStringLiteral("Stage")));
    other->ExitInstance();

    EXPECT_EQ(first->ExitInstance(), Application::ExitOk);
    QFile tips(DataFile(QStringLiteral("Tooltips.xml")));
    ASSERT_TRUE(tips.open(QIODevice::ReadOnly));
    const QByteArray saved = tips.readAll();
    EXPECT_TRUE(saved.contains("the first run's tip"));
    EXPECT_FALSE(saved.contains("the refused run's tip"));

    // The configuration is free again once its instance has ended.
    auto again = MakeApp();
    EXPECT_TRUE(Init(*again, QStringLiteral("Studio")));
    again->ExitInstance();
}

// The child process of the test below: holds the instance lock of the
// configuration named by the environment until it is killed.
TEST(ApplicationLockHolder, HoldsTheLockUntilKilled)
{
    const QString name = qEnvironmentVariable("TABRINE_TEST_HOLD_LOCK");
    if (name.isEmpty())
        GTEST_SKIP() << "runs only as the child process of a lock test";
    QLockFile lock(QDir(Application::InstanceLockFolder()).filePath(Application::InstanceLockName(name)));
    lock.setStaleLockTime(0);
    ASSERT_TRUE(lock.tryLock(0));
    std::fputs("locked\n", stdout);
    std::fflush(stdout);
    for (;;)
        QThread::sleep(1);
}

TEST_F(ApplicationTest, AConfigurationHeldByAnotherProcessIsFreeAgainWhenThatProcessDies)
{
    QProcess holder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("TABRINE_TEST_HOLD_LOCK"), QStringLiteral("Studio"));
    holder.setProcessEnvironment(environment);
    holder.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--gtest_filter=ApplicationLockHolder.*")});
    ASSERT_TRUE(holder.waitForStarted());
    QByteArray output;
    while (!output.contains("locked") && holder.waitForReadyRead(60000))
        output += holder.readAllStandardOutput();
    ASSERT_TRUE(output.contains("locked")) << output.toStdString();

    auto refused = MakeApp();
    EXPECT_FALSE(Init(*refused, QStringLiteral("Studio")));
    EXPECT_EQ(refused->ExitInstance(), Application::ExitAlreadyRunning);

    // The holder ends without letting go (as in a crash): the lock is free.
    holder.kill();
    ASSERT_TRUE(holder.waitForFinished());
    auto next = MakeApp();
    EXPECT_TRUE(Init(*next, QStringLiteral("Studio")));
    EXPECT_EQ(next->ExitInstance(), Application::ExitOk);
}

TEST_F(ApplicationTest, TwoConfigurationsRunningAtOnceKeepEachOthersEditsToTheSharedDocuments)
{
    auto studio = MakeApp();
    ASSERT_TRUE(Init(*studio, QStringLiteral("Studio")));
    auto stage = MakeApp();
    ASSERT_TRUE(Init(*stage, QStringLiteral("Stage")));

    studio->GetResources()->SetTooltipText(20400, QStringLiteral("tip from the studio"));
    studio->GetResources()->SetFunctionName(QStringLiteral("ARP"), 3, QStringLiteral("Studio arp"));
    stage->GetResources()->SetTooltipText(20401, QStringLiteral("tip from the stage"));
    stage->GetResources()->SetFunctionName(QStringLiteral("ARP"), 4, QStringLiteral("Stage arp"));
    studio->ExitInstance();
    stage->ExitInstance();

    GlobalResources reread;
    reread.SetDataLocations(*MakeLocations(folder));
    reread.LoadDocuments();
    GetGlobalConfigurations().SetDword(EnableTooltips, 2);
    EXPECT_EQ(reread.GetTooltipText(20400), QStringLiteral("tip from the studio"));
    EXPECT_EQ(reread.GetTooltipText(20401), QStringLiteral("tip from the stage"));
    std::map<int, QString> names;
    EXPECT_TRUE(reread.GetFunctionNames(QStringLiteral("ARP"), names));
    EXPECT_EQ(names[3], QStringLiteral("Studio arp"));
    EXPECT_EQ(names[4], QStringLiteral("Stage arp"));
}

TEST_F(ApplicationTest, AnOldProfileVersionResetsTheConfigurationFile)
{
    struct Case {
        std::optional<std::uint32_t> version;
        bool reset;
    };
    const Case cases[] = {{std::nullopt, true}, {0u, true}, {0x10003u, true}, {0x10004u, false}, {0x10022u, false}};
    const QString program = QString::fromUtf16(kProgramRegistryKey);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.version ? int(*c.version) : -1);
        RegistryKey version(program + QStringLiteral("\\Version"), true);
        RegistryKey settings(program + QStringLiteral("\\Settings"), true);
        version.DeleteValue(QStringLiteral("Version"));
        if (c.version)
            version.WriteDword(QStringLiteral("Version"), *c.version);
        settings.WriteString(QStringLiteral("ConfigFile"), QStringLiteral("Old.xml"));
        EXPECT_EQ(Application::CheckProfileVersion(), 0x10022u);
        EXPECT_EQ(version.ReadDword(QStringLiteral("Version"), 0), 0x10022u);
        EXPECT_EQ(settings.ReadString(QStringLiteral("ConfigFile"), QString(), false),
                  c.reset ? QStringLiteral("Default.xml") : QStringLiteral("Old.xml"));
    }
}

TEST_F(ApplicationTest, HelpIsFoundBesideTheProgramOrInTheHelpFolder)
{
    const QString bin = folder.filePath(QStringLiteral("bin"));
    QDir().mkpath(bin);
    EXPECT_EQ(Application::HelpFilePath(QString()), QString());
    EXPECT_EQ(Application::HelpFilePath(bin), folder.filePath(QStringLiteral("help/tabrine.html")));

    auto app = MakeApp();
    ASSERT_TRUE(Init(*app, QString()));
    env.presenter->texts.clear();
    // Neither place has it: message 230, nothing opened.
    app->GetMainWindow()->RunCommand(cmd::HelpFinder);
    EXPECT_EQ(env.presenter->texts, QStringList{LoadResourceString(230)});
    EXPECT_TRUE(opened.empty());

    QDir().mkpath(folder.filePath(QStringLiteral("help")));
    QFile(folder.filePath(QStringLiteral("help/tabrine.html"))).open(QIODevice::WriteOnly);
    app->GetMainWindow()->RunCommand(cmd::HelpFinder);
    QFile(QDir(bin).filePath(QStringLiteral("tabrine.html"))).open(QIODevice::WriteOnly);
    app->GetMainWindow()->RunCommand(cmd::Help);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[0], QUrl::fromLocalFile(folder.filePath(QStringLiteral("help/tabrine.html"))));
    EXPECT_EQ(opened[1], QUrl::fromLocalFile(QDir(bin).filePath(QStringLiteral("tabrine.html"))));
    app->ExitInstance();
}

TEST_F(ApplicationTest, WebSiteReadMeAndAboutFromTheHelpMenu)
{
    auto app = MakeApp();
    ASSERT_TRUE(Init(*app, QString()));
    Frame& frame = *app->GetMainWindow();
    frame.RunCommand(cmd::ReadMe); // no ReadMe anywhere: nothing happens
    EXPECT_TRUE(opened.empty());
    frame.RunCommand(cmd::WebSite);
    ASSERT_EQ(opened.size(), 1u);
    EXPECT_EQ(opened[0], Application::WebSiteUrl());

    QDir().mkpath(folder.filePath(QStringLiteral("bin")));
    QFile(folder.filePath(QStringLiteral("bin/ReadMe.txt"))).open(QIODevice::WriteOnly);
    frame.RunCommand(cmd::ReadMe);
    ASSERT_EQ(opened.size(), 2u);
    EXPECT_EQ(opened[1], QUrl::fromLocalFile(folder.filePath(QStringLiteral("bin/ReadMe.txt"))));
    // Shift+F1: the About box over the main window.
    ASSERT_TRUE(frame.Action(cmd::About)->isEnabled());
    frame.Action(cmd::About)->trigger();
    EXPECT_EQ(aboutShown, QStringList{QStringLiteral("About Box")});
    ASSERT_EQ(aboutParents.size(), 1u);
    EXPECT_EQ(aboutParents[0], &frame);
    app->ExitInstance();
}

} // namespace
