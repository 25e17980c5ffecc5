// Start-up of the real program, measured from outside as a user sees it, on a
// private X display (Xvfb) and a private JACK server with the simulated module
// program (tests/sim) on its ports, the way scripts/run.sh --simulated runs it:
//
//  (a) start to main window shown (with a configuration whose ports are set, so no
//      dialog comes first), beside a minimal Qt Widgets program (bench/minimal_window)
//      measured the same way in the same run: the ratio's goal is 3 or less;
//  (b) start to enabled panel with warm caches over JACK at the given period in real
//      time, beside the same connect in virtual time (bench/connect_bench --summary,
//      same profile): what the real transport adds, in periods per round trip, should
//      be 1.5 or less.
//
// Both programs report their windows through the test-only geometry report
// (src/app/TestGeometry.h); "shown" is the moment the report first lists the main
// window, written on the event-loop turn after it was shown. A first (cold) start
// builds the program's caches before the timed warm runs; its time is printed too.
//
// Usage: startup_bench [--runs N] [--period FRAMES] [--smoke] [profile]
//   profile "full" by default (a name or a profile literal in JSON); 5 runs; 256 frames.
//   --smoke: one run of the minimal profile on a fast serial line, a check that
//   every step works (no figures to read).
// Exit code 1 when a run failed, 77 when no JACK server could be started.
#include "sim/JackServer.h"
#include "support/ModuleSession.h"
#include "support/XServer.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace std::chrono_literals;

namespace {

double Median(std::vector<double> v)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

void UseFolder(const char* variable, const QString& path)
{
    QDir().mkpath(path);
    qputenv(variable, path.toLocal8Bit());
}

struct VirtualConnect {
    double seconds = 0;
    int roundTrips = 0;
    bool ok = false;
};

// The warm connect of the profile in virtual time, from connect_bench --summary.
VirtualConnect RunVirtual(const QString& profile)
{
    QProcess p;
    p.start(QStringLiteral(TABRINE_CONNECT_BENCH),
            {QStringLiteral("--connect-only"), QStringLiteral("--summary"), profile});
    VirtualConnect v;
    if (!p.waitForFinished(600000))
        return v;
    for (const QByteArray& line : p.readAllStandardOutput().split('\n')) {
        if (!line.startsWith("connect "))
            continue;
        const QList<QByteArray> f = line.trimmed().split(' ');
        if (f.size() >= 5 && f[f.size() - 3] == "warm") {
            v.seconds = f[f.size() - 2].toDouble();
            v.roundTrips = f[f.size() - 1].toInt();
            v.ok = true;
        }
    }
    return v;
}

} // namespace

int main(int argc, char** argv)
{
    int runs = 5;
    int period = 256;
    bool smoke = false;
    QString profile = QStringLiteral("full");
    for (int i = 1; i < argc; ++i) {
        const QByteArray a(argv[i]);
        if (a == "--runs" && i + 1 < argc)
            runs = std::max(1, QByteArray(argv[++i]).toInt());
        else if (a == "--period" && i + 1 < argc)
            period = QByteArray(argv[++i]).toInt();
        else if (a == "--smoke")
            smoke = true;
        else if (!a.startsWith('-'))
            profile = QString::fromLocal8Bit(a);
        else {
            std::fprintf(stderr, "usage: startup_bench [--runs N] [--period FRAMES] [--smoke] [profile]\n");
            return 2;
        }
    }
    if (smoke) {
        runs = 1;
        profile = QStringLiteral(R"({"base": "minimal", "timing": {"baud": 3125000}})");
    }

    // A private display and home: the runs find only what this run made.
    XServer display;
    if (!display.Start()) {
        std::fprintf(stderr, "no X server: %s\n", display.Error().c_str());
        return 1;
    }
    QTemporaryDir home;
    UseFolder("HOME", home.path());
    UseFolder("XDG_CONFIG_HOME", home.filePath(QStringLiteral(".config")));
    UseFolder("XDG_DATA_HOME", home.filePath(QStringLiteral(".local/share")));
    UseFolder("XDG_CACHE_HOME", home.filePath(QStringLiteral(".cache")));
    UseFolder("XDG_RUNTIME_DIR", home.filePath(QStringLiteral("run")));
    QFile::setPermissions(home.filePath(QStringLiteral("run")),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCoreApplication app(argc, argv);

    sim::JackServer server;
    QString error;
    if (!server.start(60s, &error, period)) {
        std::fprintf(stderr, "no JACK server: %s\n", qPrintable(error));
        return 77;
    }
    SimulatedModule module;
    if (!module.Start(QStringLiteral(TABRINE_SIMMODULE), profile, QStringLiteral("Bench Module"),
                      QStringLiteral("Bench"), home.filePath(QStringLiteral("transcript.txt")), false, &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const QString folder = home.filePath(QStringLiteral("runs"));
    QDir().mkpath(folder);
    bool ok = true;

    // The first start builds the caches (answering the one-time message).
    {
        ProgramUnderTest program;
        server.waitUntilAnswering(60s);
        program.Start(QStringLiteral(TABRINE_PROGRAM), QStringLiteral("Bench"), folder);
        const bool connected = program.WaitConnected(smoke ? 180s : 1200s);
        std::printf("cold start to enabled panel: %s %.3f s\n", connected ? "ok" : "FAILED",
                    program.Elapsed() / 1000.0);
        std::fflush(stdout);
        if (!program.Quit())
            std::printf("the program did not end on its Exit key\n");
        if (!connected) {
            std::fprintf(stderr, "%s\n", qPrintable(program.Log().right(2000)));
            return 1;
        }
    }

    std::vector<double> shown, enabled, minimal;
    for (int i = 0; i < runs; ++i) {
        ProgramUnderTest program;
        server.waitUntilAnswering(60s);
        program.Start(QStringLiteral(TABRINE_PROGRAM), QStringLiteral("Bench"), folder);
        const bool window = WaitUntil([&] { return program.Report().MainWindow() != nullptr; }, 60s, 2);
        const double tShown = program.Elapsed() / 1000.0;
        const bool connected = window && program.WaitConnected(smoke ? 120s : 600s);
        const double tEnabled = program.Elapsed() / 1000.0;
        if (!program.Quit())
            std::printf("the program did not end on its Exit key\n");
        std::printf("warm run %d: main window shown %s %.3f s, enabled panel %s %.3f s\n", i + 1,
                    window ? "ok" : "FAILED", tShown, connected ? "ok" : "FAILED", tEnabled);
        std::fflush(stdout);
        if (!connected) {
            ok = false;
            continue;
        }
        shown.push_back(tShown);
        enabled.push_back(tEnabled);
    }
    for (int i = 0; i < runs; ++i) {
        ProgramUnderTest program;
        program.Start(QStringLiteral(TABRINE_MINIMAL_WINDOW), QStringLiteral("-"), folder);
        const bool window = WaitUntil([&] { return program.Report().MainWindow() != nullptr; }, 60s, 2);
        const double t = program.Elapsed() / 1000.0;
        program.Stop(); // it has no Exit key, nor any JACK client to leave behind
        std::printf("minimal Qt Widgets program run %d: main window shown %s %.3f s\n", i + 1,
                    window ? "ok" : "FAILED", t);
        if (!window)
            ok = false;
        else
            minimal.push_back(t);
    }
    module.Stop();
    server.stop();

    const VirtualConnect virt = RunVirtual(profile);
    const double periodSeconds = period / 48000.0;
    const double program = Median(shown), yardstick = Median(minimal), panel = Median(enabled);
    std::printf("\n(a) start to main window shown: program %.3f s, minimal Qt Widgets program %.3f s, ratio %.2f "
                "(goal 3 or less)\n",
                program, yardstick, yardstick > 0 ? program / yardstick : 0.0);
    if (virt.ok && virt.roundTrips > 0) {
        const double connect = panel - program;
        const double beyond = (connect - virt.seconds) / virt.roundTrips / periodSeconds;
        std::printf("(b) start to enabled panel, warm caches, JACK %d frames: %.3f s, of which after the window "
                    "%.3f s; the same connect in virtual time %.3f s, %d round trips: %.2f periods a round trip "
                    "beyond it (goal 1.5 or less)\n",
                    period, panel, connect, virt.seconds, virt.roundTrips, beyond);
    } else {
        std::printf("(b) start to enabled panel %.3f s; the virtual connect could not be measured\n", panel);
        ok = false;
    }
    return ok ? 0 : 1;
}
