// The program end to end, as a user meets it: the real tabrine program and the
// simulated module program run as processes of their own, the way
// scripts/run.sh --simulated starts them, on a private JACK server and a private X
// display (Xvfb, Qt's xcb platform, no window manager). The test reads where the
// windows and the panel's controls are from the program's geometry report, drives
// them with xdotool (XTEST mouse and keys only), checks each step in the module's
// transcript, and saves a picture of the main window at each step in the build
// folder's screenshots/.
#include "support/ModuleSession.h"
#include "support/Screenshots.h"
#include "sim/JackServer.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>

using namespace std::chrono_literals;

namespace {

// The minimal profile on a serial line 100 times faster than MIDI's: the same
// conversation, a quick test.
const QString kProfile = QStringLiteral(R"({"base": "minimal", "timing": {"baud": 3125000}})");

// Panel items and the parameters they edit.
constexpr int kChannelTracker = 1015, kVolumeTracker = 1020, kSoundsOff = 1105;
constexpr int kBasicChannel = 139, kVolume = 131;

std::size_t CountToModule(const std::vector<TranscriptLine>& lines, std::size_t from = 0)
{
    std::size_t n = 0;
    for (std::size_t i = from; i < lines.size(); ++i)
        n += lines[i].toModule ? 1 : 0;
    return n;
}

bool EditSince(const SimulatedModule& module, std::size_t from, int parameter)
{
    const std::vector<TranscriptLine> lines = module.Transcript();
    for (std::size_t i = from; i < lines.size(); ++i)
        if (lines[i].toModule && EditedParameter(lines[i].bytes) == parameter)
            return true;
    return false;
}

bool ControllerSince(const SimulatedModule& module, std::size_t from, int controller)
{
    const std::vector<TranscriptLine> lines = module.Transcript();
    for (std::size_t i = from; i < lines.size(); ++i) {
        const QByteArray& m = lines[i].bytes;
        if (lines[i].toModule && m.size() == 3 && (uchar(m[0]) & 0xF0) == 0xB0 && uchar(m[1]) == controller)
            return true;
    }
    return false;
}

bool IdentityRequestSince(const SimulatedModule& module, std::size_t from)
{
    const std::vector<TranscriptLine> lines = module.Transcript();
    for (std::size_t i = from; i < lines.size(); ++i) {
        const QByteArray& m = lines[i].bytes;
        if (lines[i].toModule && m.size() == 6 && uchar(m[1]) == 0x7E && uchar(m[3]) == 0x06 && uchar(m[4]) == 0x01)
            return true;
    }
    return false;
}

// A picture of the main window (and of whatever lies over it) as screenshots/<name>.png.
void Picture(const ProgramUnderTest& program, const QString& name)
{
    const GeometryReport r = program.Report();
    QRect area;
    for (const GeometryReport::Window& w : r.windows)
        area = area.united(w.rect);
    if (const GeometryReport::Window* main = r.MainWindow(); main && r.windows.size() == 1)
        area = main->rect;
    EXPECT_FALSE(area.isEmpty() || SaveScreenArea(area, QStringLiteral("e2e-") + name).isEmpty())
        << "no screenshot " << name.toStdString();
}

// Waits until nothing has passed to or from the module for a while longer than the
// program's reply time-out: the program has ended what it does after connecting
// (popups loading their data) and takes input at once.
bool WaitQuiet(const SimulatedModule& module, std::chrono::milliseconds timeout)
{
    std::size_t seen = module.Transcript().size();
    QElapsedTimer still;
    still.start();
    return WaitUntil(
        [&] {
            const std::size_t now = module.Transcript().size();
            if (now != seen) {
                seen = now;
                still.restart();
            }
            return still.elapsed() > 2500;
        },
        timeout, 100);
}

std::string Describe(const ProgramUnderTest& program, const SimulatedModule& module)
{
    QString text = QStringLiteral("geometry report:\n");
    const GeometryReport r = program.Report();
    for (const GeometryReport::Window& w : r.windows)
        text += QStringLiteral("  window %1 \"%2\"\n").arg(w.name, w.title);
    QStringList enabled;
    for (const GeometryReport::Item& i : r.items)
        if (i.enabled)
            enabled << QString::number(i.id);
    text += QStringLiteral("  %1 items; enabled: %2\n").arg(r.items.size()).arg(enabled.join(u' '));
    text += QStringLiteral("messages to the module: %1\n").arg(CountToModule(module.Transcript()));
    text += QStringLiteral("program log (end):\n") + program.Log().right(3000);
    return text.toStdString();
}

// Clicks a panel tracker, then, if the click set no new value, steps it with the
// keys (the click gave it the focus): an edit of parameter reaches the module.
bool MoveTracker(ProgramUnderTest& program, const SimulatedModule& module, int item, int parameter, double along)
{
    const GeometryReport r = program.Report();
    const GeometryReport::Item* tracker = r.FindItem(item);
    if (!tracker)
        return false;
    const std::size_t before = module.Transcript().size();
    const QRect box = tracker->rect;
    const QPoint at = box.width() >= box.height()
                          ? QPoint(box.left() + int(box.width() * along), box.center().y())
                          : QPoint(box.center().x(), box.top() + int(box.height() * (1.0 - along)));
    if (!ClickAt(at))
        return false;
    if (WaitUntil([&] { return EditSince(module, before, parameter); }, 3s))
        return true;
    for (const char* key : {"Up", "Down"}) {
        PressKey(QString::fromLatin1(key));
        if (WaitUntil([&] { return EditSince(module, before, parameter); }, 3s))
            return true;
    }
    return false;
}

} // namespace

class EndToEnd : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        if (!QString::fromUtf8(TABRINE_E2E_MISSING).isEmpty())
            return;
        server = new sim::JackServer;
        // A short period keeps the thousands of round trips of a first connect quick.
        if (!server->start(60s, &serverError, 64)) {
            delete server;
            server = nullptr;
        }
    }
    static void TearDownTestSuite()
    {
        delete server;
        server = nullptr;
    }

    void SetUp() override
    {
        if (!QString::fromUtf8(TABRINE_E2E_MISSING).isEmpty())
            GTEST_SKIP() << TABRINE_E2E_MISSING;
        if (!server)
            GTEST_SKIP() << "no JACK server: " << serverError.toStdString();
        ASSERT_TRUE(HaveXDoTool()) << "xdotool is missing: scripts/deps.sh installs it";
        ASSERT_TRUE(folder.isValid());
        // Nothing of an earlier run: no settings, no caches. The home is the test's own.
        const QString home = QDir::homePath();
        ASSERT_TRUE(home.contains(QStringLiteral("test-home"))) << "not a test's private home: " << home.toStdString();
        QDir(home + QStringLiteral("/.config/Brimcote Limited")).removeRecursively();
        QDir(home + QStringLiteral("/Documents")).removeRecursively();
        transcript = folder.filePath(QStringLiteral("transcript.txt"));
    }

    void TearDown() override
    {
        program.Quit();
        module.Stop();
    }

    static sim::JackServer* server;
    static QString serverError;
    QTemporaryDir folder;
    QString transcript;
    SimulatedModule module;
    ProgramUnderTest program;
};
sim::JackServer* EndToEnd::server = nullptr;
QString EndToEnd::serverError;

TEST_F(EndToEnd, ConnectsColdThenWarmAndIsPlayedThroughItsWindow)
{
    QString error;
    ASSERT_TRUE(module.Start(QStringLiteral(TABRINE_SIMMODULE), kProfile, QStringLiteral("E2E Module"),
                             QStringLiteral("E2E"), transcript, false, &error))
        << error.toStdString();

    // Cold: no caches, so the one-time message comes first, then the caches are built.
    ASSERT_TRUE(server->waitUntilAnswering(60s));
    program.Start(QStringLiteral(TABRINE_PROGRAM), QStringLiteral("E2E"), folder.path());
    int messages = 0;
    ASSERT_TRUE(program.WaitConnected(180s, &messages)) << Describe(program, module);
    EXPECT_EQ(messages, 1) << "the first connect of a configuration says so once";
    Picture(program, QStringLiteral("01-cold-connected"));
    const std::size_t coldTraffic = CountToModule(module.Transcript());
    EXPECT_TRUE(program.Quit()) << "the program did not end on its Exit key";

    // Warm: the caches are there; no message, far less traffic.
    const std::size_t warmFrom = module.Transcript().size();
    ASSERT_TRUE(server->waitUntilAnswering(60s));
    program.Start(QStringLiteral(TABRINE_PROGRAM), QStringLiteral("E2E"), folder.path());
    messages = 0;
    ASSERT_TRUE(program.WaitConnected(120s, &messages)) << Describe(program, module);
    EXPECT_EQ(messages, 0);
    EXPECT_LT(CountToModule(module.Transcript(), warmFrom), coldTraffic);
    Picture(program, QStringLiteral("02-warm-connected"));
    ASSERT_TRUE(WaitQuiet(module, 180s)) << Describe(program, module);

    // The channel, then the volume.
    EXPECT_TRUE(MoveTracker(program, module, kChannelTracker, kBasicChannel, 0.75)) << Describe(program, module);
    Picture(program, QStringLiteral("03-channel"));
    EXPECT_TRUE(MoveTracker(program, module, kVolumeTracker, kVolume, 0.25)) << Describe(program, module);
    Picture(program, QStringLiteral("04-volume"));

    // Sounds Off: all notes off and all sounds off go to the module.
    {
        const GeometryReport report = program.Report();
        const GeometryReport::Item* button = report.FindItem(kSoundsOff);
        ASSERT_NE(button, nullptr) << Describe(program, module);
        const std::size_t before = module.Transcript().size();
        ASSERT_TRUE(ClickAt(button->rect.center()));
        EXPECT_TRUE(WaitUntil(
            [&] { return ControllerSince(module, before, 0x7B) && ControllerSince(module, before, 0x78); }, 10s))
            << Describe(program, module);
        Picture(program, QStringLiteral("05-sounds-off"));
    }

    // Configure Device opens on Ctrl+G and closes on Escape, leaving the connection alone.
    {
        const std::size_t before = module.Transcript().size();
        ASSERT_TRUE(PressKey(QStringLiteral("ctrl+g")));
        std::vector<GeometryReport::Window> dialogs;
        ASSERT_TRUE(WaitUntil(
            [&] {
                dialogs = program.Report().OtherWindows();
                return !dialogs.empty();
            },
            10s))
            << Describe(program, module);
        // A window just shown is painted a moment later.
        WaitUntil([] { return false; }, 500ms);
        Picture(program, QStringLiteral("06-configure-device"));
        ASSERT_TRUE(ClickAt(dialogs.front().rect.topLeft() + QPoint(6, 6)));
        ASSERT_TRUE(PressKey(QStringLiteral("Escape")));
        EXPECT_TRUE(WaitUntil([&] { return program.Report().OtherWindows().empty(); }, 10s))
            << Describe(program, module);
        const GeometryReport r = program.Report();
        EXPECT_TRUE(r.Enabled(kPanelControls));
        ASSERT_NE(r.MainWindow(), nullptr);
        EXPECT_FALSE(r.MainWindow()->title.contains(QStringLiteral(" -- "))) << r.MainWindow()->title.toStdString();
        EXPECT_FALSE(IdentityRequestSince(module, before)) << "the ports were opened again";
        Picture(program, QStringLiteral("07-configure-device-closed"));
    }

    EXPECT_TRUE(program.Quit()) << "the program did not end on its Exit key";
    EXPECT_TRUE(module.Stop()) << "the simulated module did not end cleanly on SIGTERM";
}

TEST_F(EndToEnd, NoModuleAnsweringSaysSoOnceAndStaysDisconnected)
{
    QString error;
    ASSERT_TRUE(module.Start(QStringLiteral(TABRINE_SIMMODULE), kProfile, QStringLiteral("E2E Silent Module"),
                             QStringLiteral("E2E Silent"), transcript, true, &error))
        << error.toStdString();
    ASSERT_TRUE(server->waitUntilAnswering(60s));
    program.Start(QStringLiteral(TABRINE_PROGRAM), QStringLiteral("E2E Silent"), folder.path());

    // The identity request goes unanswered: one message box, answered.
    int messages = 0;
    ASSERT_TRUE(WaitUntil(
        [&] {
            program.AnswerMessages(program.Report(), &messages);
            return messages > 0;
        },
        60s))
        << Describe(program, module);
    EXPECT_TRUE(IdentityRequestSince(module, 0));
    // No second one follows, the title says the module is not connected, the panel stays disabled.
    EXPECT_FALSE(WaitUntil(
        [&] {
            program.AnswerMessages(program.Report(), &messages);
            return messages > 1;
        },
        5s))
        << Describe(program, module);
    const GeometryReport r = program.Report();
    ASSERT_NE(r.MainWindow(), nullptr) << Describe(program, module);
    EXPECT_TRUE(r.MainWindow()->title.contains(QStringLiteral(" -- "))) << r.MainWindow()->title.toStdString();
    EXPECT_TRUE(r.Disabled(kPanelControls)) << Describe(program, module);
    const QString log = program.Log();
    EXPECT_LE(log.count(QStringLiteral("Device not responding")), 1) << log.toStdString();
    Picture(program, QStringLiteral("08-no-module"));

    // Not hung: the window still answers its keys.
    ASSERT_TRUE(ClickAt(r.MainWindow()->rect.bottomLeft() + QPoint(4, -4)));
    ASSERT_TRUE(PressKey(QStringLiteral("ctrl+g")));
    EXPECT_TRUE(WaitUntil([&] { return !program.Report().OtherWindows().empty(); }, 10s)) << Describe(program, module);
    PressKey(QStringLiteral("Escape"));
    EXPECT_TRUE(program.Quit()) << "the program did not end on its Exit key";
}
