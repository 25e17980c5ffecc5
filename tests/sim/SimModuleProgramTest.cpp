// The simulated module as a program of its own (tabrine_simmodule) on a private JACK
// server: it answers on its ports, writes its transcript as it goes and on SIGUSR1,
// writes the program's configuration for its ports, stays silent when told to, and
// ends cleanly on SIGTERM with its ports gone.
#include "core/Settings.h"
#include "midi/PortSelection.h"
#include "midi/RtMidiBackend.h"
#include "sim/JackServer.h"
#include "sim/SysExHex.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>
#include <rtmidi/RtMidi.h>

#include <condition_variable>
#include <csignal>
#include <mutex>

using namespace std::chrono_literals;
using sim::Hex;

namespace {

struct HostInput {
    std::mutex lock;
    std::condition_variable arrived;
    std::vector<QByteArray> messages;

    static void OnMessage(double, std::vector<unsigned char>* m, void* self)
    {
        auto* in = static_cast<HostInput*>(self);
        std::lock_guard<std::mutex> guard(in->lock);
        in->messages.emplace_back(reinterpret_cast<const char*>(m->data()), qsizetype(m->size()));
        in->arrived.notify_all();
    }
    bool waitFor(std::size_t count, std::chrono::milliseconds timeout = 10s)
    {
        std::unique_lock<std::mutex> guard(lock);
        return arrived.wait_for(guard, timeout, [&] { return messages.size() >= count; });
    }
};

template <class Rt>
int FindPort(Rt& rt, const QString& name)
{
    for (unsigned i = 0; i < rt.getPortCount(); ++i)
        if (QString::fromStdString(rt.getPortName(i)) == name)
            return int(i);
    return -1;
}

bool ReadyLine(QProcess& p, QByteArray* out)
{
    for (int i = 0; i < 300 && !out->contains('\n'); ++i) {
        p.waitForReadyRead(100);
        *out += p.readAllStandardOutput();
        if (p.state() == QProcess::NotRunning)
            break;
    }
    return out->startsWith("ready ");
}

QString ReadFile(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// The module program with a host client of the test on its two ports.
struct Session {
    QProcess program;
    QByteArray ready;
    HostInput input;
    std::unique_ptr<RtMidiIn> hostIn;
    std::unique_ptr<RtMidiOut> hostOut;

    bool start(const QString& client, const QStringList& extra)
    {
        program.start(QStringLiteral(TABRINE_SIMMODULE),
                      QStringList{QStringLiteral("--name"), client} + extra);
        if (!ReadyLine(program, &ready))
            return false;
        hostIn = std::make_unique<RtMidiIn>(RtMidi::UNIX_JACK, "tabrine-test-host-in");
        hostIn->ignoreTypes(false, true, true);
        hostIn->setCallback(&HostInput::OnMessage, &input);
        const int from = FindPort(*hostIn, client + QStringLiteral("-out:midi_out"));
        hostOut = std::make_unique<RtMidiOut>(RtMidi::UNIX_JACK, "tabrine-test-host-out");
        const int to = FindPort(*hostOut, client + QStringLiteral("-in:midi_in"));
        if (from < 0 || to < 0)
            return false;
        hostIn->openPort(unsigned(from), "from_module");
        hostOut->openPort(unsigned(to), "to_module");
        return true;
    }
    void send(const QByteArray& m)
    {
        hostOut->sendMessage(reinterpret_cast<const unsigned char*>(m.constData()), std::size_t(m.size()));
    }
    ~Session()
    {
        hostIn.reset();
        hostOut.reset();
        if (program.state() != QProcess::NotRunning) {
            ::kill(pid_t(program.processId()), SIGTERM);
            if (!program.waitForFinished(10000)) {
                program.kill();
                program.waitForFinished(5000);
            }
        }
    }
};

} // namespace

class SimModuleProgram : public ::testing::Test {
protected:
    static void SetUpTestSuite()
    {
        server = new sim::JackServer;
        if (!server->start(60s, &serverError)) {
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
        if (!server)
            GTEST_SKIP() << "no JACK server: " << serverError.toStdString();
        ASSERT_TRUE(folder.isValid());
    }
    static sim::JackServer* server;
    static QString serverError;
    QTemporaryDir folder;
};
sim::JackServer* SimModuleProgram::server = nullptr;
QString SimModuleProgram::serverError;

TEST_F(SimModuleProgram, AnswersKeepsItsTranscriptAndEndsCleanlyOnSigterm)
{
    const QString transcript = folder.filePath(QStringLiteral("transcript.txt"));
    Session s;
    ASSERT_TRUE(s.start(QStringLiteral("Program Test Module"),
                        {QStringLiteral("--transcript"), transcript, QStringLiteral("full")}))
        << s.ready.toStdString() << s.program.readAllStandardError().toStdString();
    EXPECT_EQ(s.ready, QByteArray("ready \"Program Test Module-in:midi_in\" \"Program Test Module-out:midi_out\"\n"));

    s.send(Hex("F0 7E 7F 06 01 F7"));
    ASSERT_TRUE(s.input.waitFor(1));
    EXPECT_EQ(s.input.messages[0], Hex("F0 7E 00 06 02 18 04 04 03 00 32 2E 32 36 F7"));

    // Both messages are in the file as they pass, without being asked.
    for (int i = 0; i < 100 && ReadFile(transcript).count(QLatin1Char('\n')) < 2; ++i)
        QThread::msleep(20);
    const QString lines = ReadFile(transcript);
    EXPECT_TRUE(lines.contains(QStringLiteral("host>module f0 7e 7f 06 01 f7 ["))) << lines.toStdString();
    EXPECT_TRUE(lines.contains(QStringLiteral("module>host f0 7e 00 06 02 18 04 04 03 00 32 2e 32 36 f7 [")))
        << lines.toStdString();

    // SIGUSR1 prints the whole transcript on standard output.
    ::kill(pid_t(s.program.processId()), SIGUSR1);
    QByteArray printed;
    for (int i = 0; i < 100 && !printed.contains("module>host"); ++i) {
        s.program.waitForReadyRead(50);
        printed += s.program.readAllStandardOutput();
    }
    EXPECT_TRUE(printed.contains("host>module f0 7e 7f 06 01 f7")) << printed.toStdString();

    // SIGTERM: exit code 0, and the ports are gone from the server.
    ::kill(pid_t(s.program.processId()), SIGTERM);
    ASSERT_TRUE(s.program.waitForFinished(10000));
    EXPECT_EQ(s.program.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(s.program.exitCode(), 0);
    RtMidiOut probe(RtMidi::UNIX_JACK, "tabrine-test-probe");
    EXPECT_EQ(FindPort(probe, QStringLiteral("Program Test Module-in:midi_in")), -1);
}

TEST_F(SimModuleProgram, WritesTheProgramsConfigurationForItsPorts)
{
    Session s;
    ASSERT_TRUE(s.start(QStringLiteral("Configured Module"), {QStringLiteral("--configure"), QStringLiteral("Simulated")}))
        << s.program.readAllStandardError().toStdString();
    // Read back through the program's own settings, as the program will.
    GlobalConfigurations& config = GetGlobalConfigurations();
    config.SetKeyName(QStringLiteral("Simulated"));
    EXPECT_EQ(config.ReadString(QStringLiteral("MidiApi"), QString()), QStringLiteral("JACK"));
    RtMidiBackend backend(RtMidiBackend::Api::Jack, QStringLiteral("tabrine-test-check"));
    const int in = ConfiguredPortNumber(InputPort, backend);
    const int out = ConfiguredPortNumber(OutputPort, backend);
    ASSERT_GE(in, 0);
    ASSERT_GE(out, 0);
    EXPECT_EQ(backend.InputPorts()[std::size_t(in)].name, QStringLiteral("Configured Module-out:midi_out"));
    EXPECT_EQ(backend.OutputPorts()[std::size_t(out)].name, QStringLiteral("Configured Module-in:midi_in"));
    EXPECT_EQ(std::int32_t(config.GetDword(BPort)), -1);
    EXPECT_EQ(std::int32_t(config.GetDword(ControllerPort)), -1);
    EXPECT_EQ(config.GetDword(DeviceId), 0u);
}

TEST_F(SimModuleProgram, SilentModuleHearsButNeverAnswers)
{
    const QString transcript = folder.filePath(QStringLiteral("transcript.txt"));
    Session s;
    ASSERT_TRUE(s.start(QStringLiteral("Silent Module"),
                        {QStringLiteral("--silent"), QStringLiteral("--transcript"), transcript}));
    s.send(Hex("F0 7E 7F 06 01 F7"));
    for (int i = 0; i < 100 && ReadFile(transcript).isEmpty(); ++i)
        QThread::msleep(20);
    EXPECT_TRUE(ReadFile(transcript).contains(QStringLiteral("host>module f0 7e 7f 06 01 f7")));
    EXPECT_FALSE(s.input.waitFor(1, 500ms));
}

TEST_F(SimModuleProgram, RefusesAnUnknownProfile)
{
    QProcess p;
    p.start(QStringLiteral(TABRINE_SIMMODULE), {QStringLiteral("--profile"), QStringLiteral("no-such-module")});
    ASSERT_TRUE(p.waitForFinished(10000));
    EXPECT_EQ(p.exitCode(), 2);
    EXPECT_TRUE(p.readAllStandardError().contains("no-such-module"));
}
