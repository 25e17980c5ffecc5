// Connects the editor to the simulated module at the MIDI wire rate (virtual
// time with the module's serial lines, 320 us a byte each way): a first
// connect with nothing known (the capability probe runs, the caches are
// empty), a second one with the caches warm, then a full backup of the
// module's user data and a full restore of it. Each job's elapsed time is
// split into its causes: the wire, the module's processing, the editor's
// configured pauses, time-outs that expired, the transport's latency, and
// what is left, the editor's idle time. See bench/README.md for every column.
//
// With --jack the two connects also run in real time over a private JACK server
// (the editor's JACK backend on one side, the simulated module's JACK ports on
// the other) at each period given, beside the virtual run of the same profile.
//
// Usage: connect_bench [--latency MS[,MS...]] [--jack FRAMES[,FRAMES...]] [--connect-only] [--summary] [profile ...]
//   profiles (names, or literals in JSON) default to "full"; latencies (per round trip) default to 0;
//   --connect-only leaves out the backup and the restore (a quick smoke run);
//   --summary ends with one line per virtual connect for other programs to read
//   (bench/startup_bench): "connect <profile> <latency ms> <cold|warm> <elapsed s> <round trips>".
// Exits 1 when a job failed (a failed step, or a message at the error level).
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "midi/LoopbackBackend.h"
#include "midi/RtMidiBackend.h"
#include "module/Capabilities.h"
#include "module/Proteus.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "sim/JackPorts.h"
#include "sim/JackServer.h"
#include "sim/Module.h"
#include "sim/Profile.h"
#include "sim/VirtualLoopback.h"

#include <QCoreApplication>
#include <QDir>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

// The first problem the program reported while a job ran: a message box with a
// warning or error icon, or a log line at the error level.
struct Problems {
    QString first;
    void note(const QString& what)
    {
        if (first.isEmpty())
            first = what.trimmed();
    }
};

class RecordingPresenter : public MessagePresenter {
public:
    explicit RecordingPresenter(Problems& p) : problems_(p) {}
    int Present(QObject*, const QString& text, const QString&, unsigned flags) override
    {
        const unsigned icon = flags & msgbox::IconMask;
        if (icon == msgbox::IconWarning || icon == msgbox::IconError)
            problems_.note(QStringLiteral("message: ") + text);
        return msgbox::IdOk;
    }

private:
    Problems& problems_;
};

class RecordingLogger : public Logger {
public:
    explicit RecordingLogger(Problems& p) : Logger(QStringLiteral("bench"), 0), problems_(p) {}
    void LogV(int level, const char* sourceFile, int line, QStringView format,
              std::span<const FormatArg> args) override
    {
        if (level <= -2)
            problems_.note(QStringLiteral("log: ") + FormatV(format, args));
        (void)sourceFile;
        (void)line;
    }

private:
    Problems& problems_;
};

// What the clock, the lines and the module had done at one moment.
struct Snapshot {
    std::int64_t elapsedUs = 0;
    long long toModule = 0;
    long long fromModule = 0;
    std::int64_t processingUs = 0;
    sim::VirtualLoopback::Accounts accounts;
};

Snapshot Take(sim::VirtualLoopback& link)
{
    link.settle();
    Snapshot s;
    s.elapsedUs = link.now().count();
    s.accounts = link.accounts();
    link.withDevice([&s](sim::Device& d) {
        for (const QByteArray& b : d.transcript().toModule())
            s.toModule += b.size();
        for (const QByteArray& b : d.transcript().fromModule())
            s.fromModule += b.size();
        s.processingUs = static_cast<sim::Module&>(d).processingTime().count();
    });
    return s;
}

struct Job {
    QString name;
    QString outcome; // "ok", "nothing to back up", or "FAILED"
    QString error;
    double elapsed = 0, wireBusier = 0, wireBoth = 0, processing = 0, pauses = 0, timeouts = 0, latency = 0,
           idle = 0; // seconds
    long long out = 0, in = 0;
    int roundTrips = 0;
    bool failed() const { return outcome == QStringLiteral("FAILED"); }
    double ratio() const { return wireBusier > 0 ? elapsed / wireBusier : 0.0; }
};

constexpr double kByteSeconds = 320e-6;

// The time between a and b when nothing at all was going on: no byte on either
// line, no request on its way through the transport, the module not processing,
// the editor neither pausing nor waiting out a time-out. The causes overlap (a
// time-out's wait runs while bytes are still on the wire), so this is measured
// on the time line rather than by subtracting sums.
double IdleSeconds(sim::VirtualLoopback& link, std::int64_t fromUs, std::int64_t toUs)
{
    using sim::SimTime;
    std::vector<std::pair<SimTime, SimTime>> busy;
    const sim::VirtualLoopback::Accounts accounts = link.accounts();
    for (const auto& [start, end, expired] : accounts.periods)
        busy.emplace_back(start, end);
    link.withDevice([&busy](sim::Device& d) {
        auto& module = static_cast<sim::Module&>(d);
        const SimTime latency = module.latency();
        for (const sim::TranscriptEntry& e : module.transcript().entries()) {
            if (e.kind != sim::EntryKind::Message && e.kind != sim::EntryKind::InputError)
                continue;
            const SimTime bytes = SimTime(std::int64_t(e.bytes.size()) * 320);
            const SimTime lineEnd = e.direction == sim::Direction::ToModule ? e.arrived - latency : e.arrived;
            busy.emplace_back(lineEnd - bytes, e.arrived);
        }
        for (const auto& period : module.processingPeriods())
            busy.push_back(period);
    });
    std::sort(busy.begin(), busy.end());
    const SimTime from(fromUs), to(toUs);
    SimTime covered(0), reach = from;
    for (auto [start, end] : busy) {
        start = std::max(start, reach);
        end = std::min(end, to);
        if (end > start) {
            covered += end - start;
            reach = end;
        }
    }
    return double((to - from - covered).count()) / 1e6;
}

Job Measure(const QString& name, const Snapshot& a, const Snapshot& b, double latencySeconds)
{
    Job j;
    j.name = name;
    j.elapsed = double(b.elapsedUs - a.elapsedUs) / 1e6;
    j.out = b.toModule - a.toModule;
    j.in = b.fromModule - a.fromModule;
    j.wireBusier = double(std::max(j.out, j.in)) * kByteSeconds;
    j.wireBoth = double(j.out + j.in) * kByteSeconds;
    j.processing = double(b.processingUs - a.processingUs) / 1e6;
    j.pauses = double((b.accounts.paused - a.accounts.paused).count()) / 1e6;
    j.timeouts = double((b.accounts.timedOut - a.accounts.timedOut).count()) / 1e6;
    j.roundTrips = b.accounts.roundTrips - a.accounts.roundTrips;
    j.latency = latencySeconds * j.roundTrips;
    return j;
}

void PrintHeader()
{
    std::printf("%-8s %-5s %-14s %-20s %9s %8s %8s %9s %9s %8s %8s %8s %8s %8s %6s %6s  %s\n", "profile", "lat",
                "transport", "job", "elapsed", "to-mod", "from-mod", "wire-max", "wire-sum", "module", "pauses",
                "timeouts", "latency", "idle", "trips", "ratio", "result");
}

void Print(const QString& profile, int latencyMs, const Job& j)
{
    std::printf("%-8s %-5d %-14s %-20s %9.3f %8lld %8lld %9.3f %9.3f %8.3f %8.3f %8.3f %8.3f %8.3f %6d %6.2f  %s%s%s\n",
                qPrintable(profile), latencyMs, "virtual", qPrintable(j.name), j.elapsed, j.out, j.in, j.wireBusier,
                j.wireBoth, j.processing, j.pauses, j.timeouts, j.latency, j.idle, j.roundTrips, j.ratio(),
                qPrintable(j.outcome), j.error.isEmpty() ? "" : ": ", qPrintable(j.error));
    std::fflush(stdout);
}

// A profile by name, or a profile literal in JSON ('{"base": "minimal", ...}').
std::optional<sim::Profile> LoadProfile(const QString& name)
{
    return name.startsWith(QLatin1Char('{')) ? sim::Profile::fromJson(name.toUtf8()) : sim::Profile::load(name);
}

bool WaitReady(Proteus& proteus)
{
    // The connect sequence runs inside the pump that delivers the connect.
    for (int i = 0; i < 100 && !proteus.IsReady(); ++i)
        proteus.PumpMessages();
    return proteus.IsReady();
}

// A fresh editor for one run: empty settings in memory, every problem
// recorded, the data folders in a temporary folder.
struct BenchEnvironment {
    // First, so everything below is made over the fresh settings.
    bool freshSettings = [] {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
        return true;
    }();
    Problems problems;
    RecordingLogger logger{problems};
    QTemporaryDir folder;
    GlobalResources resources;

    BenchEnvironment()
    {
        SetMessagePresenter(std::make_shared<RecordingPresenter>(problems));
        SetLogWindow(&logger);
        DataLocations locations;
        locations.documentsFolder = folder.filePath(QStringLiteral("docs"));
        locations.programFolder = folder.filePath(QStringLiteral("bin"));
        resources.SetDataLocations(locations);
    }
};

// One profile at one latency: every job on a fresh module and empty caches.
// Returns false when a job failed.
bool RunProfile(const QString& profileName, int latencyMs, bool connectOnly, std::vector<Job>& connects)
{
    std::optional<sim::Profile> profile = LoadProfile(profileName);
    if (!profile) {
        std::fprintf(stderr, "no profile %s\n", qPrintable(profileName));
        return false;
    }
    BenchEnvironment env;
    Problems& problems = env.problems;
    const QTemporaryDir& folder = env.folder;

    sim::Module module(*profile);
    module.setLatency(sim::Millis(latencyMs));
    auto backend = std::make_shared<LoopbackBackend>();
    auto link = std::make_shared<sim::VirtualLoopback>(module, backend, backend->AddDevice(QStringLiteral("Proteus")));
    link->start();
    platform::SetCurrentClock(link);
    const double latency = latencyMs / 1000.0;

    bool allOk = true;
    auto finish = [&](Job& j, bool stepOk, const QString& stepError) {
        if (!stepOk)
            problems.note(stepError);
        if (!problems.first.isEmpty()) {
            j.outcome = QStringLiteral("FAILED");
            j.error = problems.first.simplified();
            if (j.error.size() > 120)
                j.error = j.error.left(117) + QStringLiteral("...");
            allOk = false;
        } else if (j.outcome.isEmpty()) {
            j.outcome = QStringLiteral("ok");
        }
        problems.first.clear();
        Print(profileName, latencyMs, j);
    };

    {
        Proteus proteus(backend);
        for (const QString& which : {QStringLiteral("cold connect"), QStringLiteral("warm connect")}) {
            const Snapshot before = Take(*link);
            const bool opened = proteus.OpenPort(0, 0, 0, 1000, 0, 0, false);
            const bool ready = opened && WaitReady(proteus);
            const Snapshot after = Take(*link);
            Job j = Measure(which, before, after, latency);
            j.idle = IdleSeconds(*link, before.elapsedUs, after.elapsedUs);
            finish(j, ready, opened ? QStringLiteral("not connected") : QStringLiteral("cannot open the port"));
            connects.push_back(j);
            // The backup and the restore run on the warm connection.
            if (which == QStringLiteral("cold connect"))
                proteus.ClosePort();
        }

        const bool ready = proteus.IsReady();
        const std::uint32_t caps = proteus.GetCapabilities();
        const SimmSlot* user = proteus.hardwareConfig.FindSimm(0);
        const bool setups = user && (caps & CAP_SETUP_DUMPS);
        const bool presets = user && (caps & CAP_PRESET_DUMPS) && user->presets > 0;
        const bool arps = user && (caps & CAP_ARPS_AND_BEATS) && user->arps > 0;
        const bool tunings = user && (caps & CAP_TUNING_DUMPS);
        const bool bankMap = user && (caps & CAP_BANK_MAP_DUMPS);
        const bool anything = setups || presets || arps || tunings || bankMap;
        const QString backupFolder = folder.filePath(QStringLiteral("backup"));
        QDir().mkpath(backupFolder);
        for (const bool backup : {true, false}) {
            if (connectOnly)
                break;
            const Snapshot before = Take(*link);
            bool ok = ready;
            if (ready && anything)
                ok = proteus.BackupModule(backupFolder, backup, setups, presets, arps, tunings, bankMap);
            const Snapshot after = Take(*link);
            Job j = Measure(backup ? QStringLiteral("backup") : QStringLiteral("restore"), before, after, latency);
            j.idle = IdleSeconds(*link, before.elapsedUs, after.elapsedUs);
            if (ready && !anything)
                j.outcome = QStringLiteral("nothing to back up");
            finish(j, ok, ready ? QStringLiteral("the step failed") : QStringLiteral("not connected"));
        }
        proteus.ClosePort();
    }
    link->stop();
    platform::SetCurrentClock(nullptr);
    SetLogWindow(nullptr);
    SetMessagePresenter(nullptr);
    return allOk;
}

// A Proteus that says when its connect sequence has ended.
class WatchedProteus : public Proteus {
public:
    using Proteus::Proteus;
    void OnConnect() override
    {
        Proteus::OnConnect();
        connectEnded = true;
    }
    bool connectEnded = false;
};

int PortNumber(const std::vector<MidiPortInfo>& ports, const QString& name)
{
    for (const MidiPortInfo& p : ports)
        if (p.name == name)
            return p.number;
    return -1;
}

// The cold and warm connects in real time over a private JACK server of
// periodFrames, compared with the virtual run's jobs (same profile, no latency).
// Returns false when a connect failed; a server that cannot start is reported
// and skipped.
bool RunJack(const QString& profileName, int periodFrames, const std::vector<Job>& virtualJobs)
{
    using namespace std::chrono_literals;
    std::optional<sim::Profile> profile = LoadProfile(profileName);
    if (!profile)
        return false;
    BenchEnvironment env;
    Problems& problems = env.problems;

    bool allOk = true;
    const QString transport = QStringLiteral("jack %1").arg(periodFrames);
    {
        sim::JackServer server;
        QString error;
        if (!server.start(60s, &error, periodFrames)) {
            std::printf("%-8s %-5d %-14s no JACK server: %s\n", qPrintable(profileName), 0, qPrintable(transport),
                        qPrintable(error));
            SetLogWindow(nullptr);
            SetMessagePresenter(nullptr);
            return true;
        }
        sim::Module module(*profile);
        sim::JackPorts ports(module, QStringLiteral("Simulated Proteus"));
        auto backend = std::make_shared<RtMidiBackend>(RtMidiBackend::Api::Jack, QStringLiteral("tabrine-bench"));
        int in = -1, out = -1;
        if (ports.open(&error)) {
            in = PortNumber(backend->InputPorts(), ports.outputPortName());
            out = PortNumber(backend->OutputPorts(), ports.inputPortName());
        }
        if (in < 0 || out < 0) {
            std::printf("%-8s %-5d %-14s cannot reach the module's ports: %s\n", qPrintable(profileName), 0,
                        qPrintable(transport), qPrintable(error));
            allOk = false;
        } else {
            WatchedProteus proteus(backend);
            long long sentBefore = 0, receivedBefore = 0;
            for (std::size_t n = 0; n < 2 && n < virtualJobs.size(); ++n) {
                const Job& base = virtualJobs[n];
                const auto start = std::chrono::steady_clock::now();
                bool ready = proteus.OpenPort(in, out, 0, 1000, 0, 0, false);
                // The connect sequence runs inside the pump that delivers the connect.
                const auto deadline = start + 600s;
                proteus.connectEnded = false;
                while (ready && !proteus.connectEnded && std::chrono::steady_clock::now() < deadline)
                    proteus.PumpMessages();
                ready = ready && proteus.IsReady();
                const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
                const auto [sent, received] = ports.driver().withDevice([](sim::Device& d) {
                    long long a = 0, b = 0;
                    for (const QByteArray& m : d.transcript().toModule())
                        a += m.size();
                    for (const QByteArray& m : d.transcript().fromModule())
                        b += m.size();
                    return std::make_pair(a, b);
                });
                Job j;
                j.name = base.name;
                j.elapsed = took;
                j.out = sent - sentBefore;
                j.in = received - receivedBefore;
                sentBefore = sent;
                receivedBefore = received;
                j.wireBusier = double(std::max(j.out, j.in)) * kByteSeconds;
                j.wireBoth = double(j.out + j.in) * kByteSeconds;
                j.roundTrips = base.roundTrips;
                if (!ready)
                    problems.note(QStringLiteral("not connected"));
                if (!problems.first.isEmpty()) {
                    j.outcome = QStringLiteral("FAILED");
                    j.error = problems.first.simplified().left(120);
                    allOk = false;
                } else {
                    j.outcome = QStringLiteral("ok");
                }
                problems.first.clear();
                // What the real transport added to the virtual run, per round trip, in periods.
                const double period = periodFrames / 48000.0;
                const double beyond = j.roundTrips > 0 ? (j.elapsed - base.elapsed) / j.roundTrips / period : 0.0;
                std::printf("%-8s %-5s %-14s %-20s %9.3f %8lld %8lld %9.3f %9.3f %8s %8s %8s %8s %8s %6d %6.2f  %s%s%s"
                            " (virtual %.3f s, beyond it %.2f periods a round trip)\n",
                            qPrintable(profileName), "-", qPrintable(transport), qPrintable(j.name), j.elapsed, j.out,
                            j.in, j.wireBusier, j.wireBoth, "-", "-", "-", "-", "-", j.roundTrips, j.ratio(),
                            qPrintable(j.outcome), j.error.isEmpty() ? "" : ": ", qPrintable(j.error), base.elapsed,
                            beyond);
                std::fflush(stdout);
                if (n == 0)
                    proteus.ClosePort();
            }
            proteus.ClosePort();
        }
        ports.close();
        server.stop();
    }
    SetLogWindow(nullptr);
    SetMessagePresenter(nullptr);
    return allOk;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList profiles;
    std::vector<int> latencies;
    bool connectOnly = false;
    bool summary = false;
    std::vector<int> periods;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QStringLiteral("--latency") && i + 1 < args.size()) {
            for (const QString& ms : args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts))
                latencies.push_back(ms.toInt());
        } else if (args[i] == QStringLiteral("--jack") && i + 1 < args.size()) {
            for (const QString& frames : args[++i].split(QLatin1Char(','), Qt::SkipEmptyParts))
                periods.push_back(frames.toInt());
        } else if (args[i] == QStringLiteral("--connect-only")) {
            connectOnly = true;
        } else if (args[i] == QStringLiteral("--summary")) {
            summary = true;
        } else {
            profiles << args[i];
        }
    }
    if (profiles.isEmpty())
        profiles << QStringLiteral("full");
    if (latencies.empty())
        latencies.push_back(0);

    PrintHeader();
    bool ok = true;
    struct Ratios {
        QString profile;
        int latency;
        double cold, warm;
        Job coldJob, warmJob;
    };
    std::vector<Ratios> ratios;
    for (const QString& profile : profiles) {
        for (const int latency : latencies) {
            std::vector<Job> connects;
            ok = RunProfile(profile, latency, connectOnly, connects) && ok;
            if (connects.size() == 2)
                ratios.push_back({profile, latency, connects[0].ratio(), connects[1].ratio(), connects[0], connects[1]});
            if (latency == 0)
                for (const int frames : periods)
                    ok = RunJack(profile, frames, connects) && ok;
        }
    }
    std::printf("\nconnect ratios (elapsed / busier wire time)\n");
    for (const Ratios& r : ratios)
        std::printf("%-8s latency %2d ms: cold %.2f, warm %.2f\n", qPrintable(r.profile), r.latency, r.cold, r.warm);
    if (summary) {
        std::printf("\n");
        for (const Ratios& r : ratios)
            for (const Job* j : {&r.coldJob, &r.warmJob})
                std::printf("connect %s %d %s %.6f %d\n", qPrintable(r.profile), r.latency,
                            j == &r.coldJob ? "cold" : "warm", j->elapsed, j->roundTrips);
    }
    return ok ? 0 : 1;
}
