// tabrine_simmodule: the simulated module as a program of its own, on JACK MIDI
// ports, for trying the program without a module (scripts/run.sh --simulated)
// and for the end-to-end test, which runs it beside the real program.
//
// Usage: tabrine_simmodule [options] [profile]
//   --profile NAME     the module profile of tests/sim/data/profiles.json ("minimal" by default),
//                      or a profile literal in JSON, e.g. '{"base": "minimal", "timing": {"baud": 3125000}}'
//                      (a line 100 times faster than MIDI's, for quick tests)
//   --name CLIENT      the JACK client name; the ports are "CLIENT-in:midi_in" (what the
//                      host sends to the module) and "CLIENT-out:midi_out" (its answers);
//                      "Tabrine Simulated Module" by default
//   --server NAME      the JACK server to use (else $JACK_DEFAULT_SERVER, else JACK's default)
//   --transcript FILE  every message both ways is appended to FILE as it passes, one line
//                      each (sim::DumpLine); the file is emptied at the start
//   --configure NAME   once the ports are open, writes the program's configuration NAME
//                      (its settings file) for them: MIDI over JACK, the module's ports as
//                      input and output, no B or controller port, the module's device id
//   --silent           the ports are there but the module never answers (a module that is
//                      switched off, or on the wrong cable)
//
// Once the ports are open it prints "ready" and the two port names on a line of its
// own on standard output. SIGUSR1 prints the whole transcript so far on standard
// output. SIGTERM, SIGINT or SIGHUP remove the ports and end it with exit code 0.
// Exit code 2: bad arguments or unknown profile; 3: JACK or the ports unavailable;
// 4: the configuration could not be written.
#include "core/Settings.h"
#include "midi/PortSelection.h"
#include "midi/RtMidiBackend.h"
#include "sim/Fault.h"
#include "sim/JackPorts.h"
#include "sim/Module.h"
#include "sim/Profile.h"
#include "sim/Transcript.h"

#include <QCoreApplication>
#include <QFile>
#include <QTimer>

#include <csignal>
#include <cstdio>
#include <optional>

namespace {

volatile std::sig_atomic_t g_stop = 0;
volatile std::sig_atomic_t g_print = 0;

void OnStop(int) { g_stop = 1; }
void OnPrint(int) { g_print = 1; }

int PortNumber(const std::vector<MidiPortInfo>& ports, const QString& name)
{
    for (const MidiPortInfo& p : ports)
        if (p.name == name)
            return p.number;
    return -1;
}

// Writes configuration `name` of the program's settings for the module's ports, found
// by name among the ports the program would list. False with *error when they are not
// listed.
bool WriteConfiguration(const QString& name, const sim::JackPorts& ports, int deviceId, QString* error)
{
    RtMidiBackend backend(RtMidiBackend::Api::Jack, QStringLiteral("tabrine-simmodule-probe"));
    // The program's input is the module's output and the other way round.
    const int in = PortNumber(backend.InputPorts(), ports.outputPortName());
    const int out = PortNumber(backend.OutputPorts(), ports.inputPortName());
    if (in < 0 || out < 0) {
        *error = QStringLiteral("the module's ports are not listed by JACK");
        return false;
    }
    GlobalConfigurations& config = GetGlobalConfigurations();
    config.SetKeyName(name);
    if (config.KeyName() != name) {
        *error = QStringLiteral("the configuration \"%1\" cannot be used").arg(name);
        return false;
    }
    config.WriteString(QStringLiteral("MidiApi"), RtMidiBackend::ApiName(RtMidiBackend::Api::Jack));
    StorePortChoice(InputPort, in, ports.outputPortName());
    StorePortChoice(OutputPort, out, ports.inputPortName());
    StorePortChoice(BPort, -1, QString());
    StorePortChoice(ControllerPort, -1, QString());
    config.SetDword(DeviceId, std::uint32_t(deviceId));
    // Read back: a settings file that cannot be written leaves the values as they were.
    if (config.ReadString(QStringLiteral("InputPortName"), QString()) != ports.outputPortName()
        || config.ReadString(QStringLiteral("OutputPortName"), QString()) != ports.inputPortName()) {
        *error = QStringLiteral("the settings file could not be written");
        return false;
    }
    return true;
}

void Usage()
{
    std::fputs("usage: tabrine_simmodule [--profile NAME] [--name CLIENT] [--server NAME] [--transcript FILE]\n"
               "                         [--configure NAME] [--silent] [profile]\n",
               stderr);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString profileName = QStringLiteral("minimal");
    QString clientName = QStringLiteral("Tabrine Simulated Module");
    QString transcriptPath, configuration;
    bool silent = false;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        const QString& a = args[i];
        const bool hasValue = i + 1 < args.size();
        if (a == QStringLiteral("--profile") && hasValue) {
            profileName = args[++i];
        } else if (a == QStringLiteral("--name") && hasValue) {
            clientName = args[++i];
        } else if (a == QStringLiteral("--server") && hasValue) {
            qputenv("JACK_DEFAULT_SERVER", args[++i].toLocal8Bit());
        } else if (a == QStringLiteral("--transcript") && hasValue) {
            transcriptPath = args[++i];
        } else if (a == QStringLiteral("--configure") && hasValue) {
            configuration = args[++i];
        } else if (a == QStringLiteral("--silent")) {
            silent = true;
        } else if (!a.startsWith(QLatin1Char('-'))) {
            profileName = a;
        } else {
            Usage();
            return 2;
        }
    }
    if (clientName.isEmpty()) {
        Usage();
        return 2;
    }

    QString error;
    std::optional<sim::Profile> profile = profileName.startsWith(QLatin1Char('{'))
                                              ? sim::Profile::fromJson(profileName.toUtf8(), &error)
                                              : sim::Profile::load(profileName, &error);
    if (!profile) {
        std::fprintf(stderr, "tabrine_simmodule: %s\n", qPrintable(error));
        return 2;
    }
    sim::Module module(*profile);
    if (silent)
        module.addFault(sim::Fault::Silence());

    std::unique_ptr<QFile> transcript;
    if (!transcriptPath.isEmpty()) {
        transcript = std::make_unique<QFile>(transcriptPath);
        if (!transcript->open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text)) {
            std::fprintf(stderr, "tabrine_simmodule: cannot write %s\n", qPrintable(transcriptPath));
            return 2;
        }
    }

    std::signal(SIGTERM, &OnStop);
    std::signal(SIGINT, &OnStop);
    std::signal(SIGHUP, &OnStop);
    std::signal(SIGUSR1, &OnPrint);

    sim::JackPorts ports(module, clientName);
    if (!ports.open(&error)) {
        std::fprintf(stderr, "tabrine_simmodule: cannot open the JACK ports: %s\n", qPrintable(error));
        return 3;
    }
    if (!configuration.isEmpty()) {
        const int deviceId = ports.driver().withDevice([](sim::Device& d) { return static_cast<sim::Module&>(d).deviceId(); });
        if (!WriteConfiguration(configuration, ports, deviceId, &error)) {
            std::fprintf(stderr, "tabrine_simmodule: %s\n", qPrintable(error));
            ports.close();
            return 4;
        }
    }
    std::printf("ready \"%s\" \"%s\"\n", qPrintable(ports.inputPortName()), qPrintable(ports.outputPortName()));
    std::fflush(stdout);

    // The transcript's new entries go to the file, and the signals are looked at,
    // every few milliseconds on this thread; the module runs on the driver's thread.
    std::size_t written = 0;
    auto writeNew = [&] {
        if (!transcript)
            return;
        const QStringList lines = ports.driver().withDevice([&written](sim::Device& d) {
            QStringList out;
            const sim::Transcript& t = d.transcript();
            for (; written < t.size(); ++written)
                out << sim::DumpLine(t[written]);
            return out;
        });
        for (const QString& line : lines)
            transcript->write((line + QLatin1Char('\n')).toUtf8());
        if (!lines.isEmpty())
            transcript->flush();
    };
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        writeNew();
        if (g_print) {
            g_print = 0;
            const QString all = ports.driver().withDevice([](sim::Device& d) { return d.transcript().dump(); });
            std::printf("%s\n", qPrintable(all));
            std::fflush(stdout);
        }
        if (g_stop)
            app.quit();
    });
    poll.start(20);
    app.exec();
    ports.close();
    writeNew();
    return 0;
}
