// MidiPort on JACK: without a server, and through a private JACK server with
// the dummy driver, where a second RtMidi client with two virtual ports plays
// the device. Run alone with `ctest -L jack`. Every use of libjack in the
// tests is here: JACK keeps one registry for the whole machine, and servers
// starting or stopping while another program looks at it can make that
// program fail to open a client (or even crash it).
#include "MidiTestSupport.h"

#include "midi/PortSelection.h"
#include "midi/RtMidiBackend.h"

#include <QProcess>
#include <QStandardPaths>

#include <RtMidi.h>
#include <jack/jack.h>

#include <gtest/gtest.h>

#include <condition_variable>
#include <csignal>
#include <sys/prctl.h>
#include <thread>

namespace {

using namespace miditest;

// A jackd of our own, gone with the test even when the test fails (or the
// test program dies: the server gets SIGKILL with its parent).
class PrivateJackServer {
public:
    PrivateJackServer()
        : m_name("tabrine-test-" + QString::number(QCoreApplication::applicationPid()))
    {
    }
    ~PrivateJackServer() { Stop(); }

    const QString& Name() const { return m_name; }
    QString Output() { return QString::fromLocal8Bit(m_process.readAll()); }

    /// Starts the server and waits (at most 15 s) until a client can connect.
    bool Start(const QString& jackd, QString* why)
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGKILL); });
        // Synchronous mode with a long client time-out: a client that is late
        // (a loaded machine, a sanitizer build) holds the cycle up instead of
        // having its last buffer read again, which would repeat messages.
        m_process.start(jackd, {"--no-realtime", "--sync", "--timeout", "5000", "-n", m_name, "-d", "dummy", "-r",
                                "48000", "-p", "1024"});
        if (!m_process.waitForStarted(5000)) {
            *why = "jackd did not start: " + m_process.errorString();
            return false;
        }
        const QByteArray server = m_name.toLocal8Bit();
        const auto deadline = std::chrono::steady_clock::now() + 15s;
        while (std::chrono::steady_clock::now() < deadline) {
            if (m_process.state() != QProcess::Running) {
                *why = "jackd ended early: " + Output();
                return false;
            }
            jack_status_t status{};
            const auto options = static_cast<jack_options_t>(JackNoStartServer | JackServerName);
            if (jack_client_t* probe = jack_client_open("tabrine-probe", options, &status, server.constData())) {
                jack_client_close(probe);
                return true;
            }
            m_process.waitForReadyRead(50); // the server is still coming up
        }
        *why = "jackd was not ready within 15 s: " + Output();
        return false;
    }

    void Stop()
    {
        if (m_process.state() == QProcess::NotRunning)
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(5000);
        }
    }

private:
    QString m_name;
    QProcess m_process;
};

// What the device's virtual input port hears, on JACK's thread.
struct Heard {
    std::mutex lock;
    std::condition_variable changed;
    std::vector<Bytes> messages;

    static void Callback(double, std::vector<unsigned char>* message, void* user)
    {
        auto* self = static_cast<Heard*>(user);
        {
            std::lock_guard l(self->lock);
            self->messages.emplace_back(message->begin(), message->end());
        }
        self->changed.notify_all();
    }
    bool WaitFor(std::size_t count)
    {
        std::unique_lock l(lock);
        return changed.wait_for(l, 10s, [&] { return messages.size() >= count; });
    }
};

TEST(JackMidi, NoServerGivesNoPortsAndFailedOpens)
{
    TestEnvironment env;
    // A server name nobody runs.
    qputenv("JACK_DEFAULT_SERVER", "tabrine-absent-" + QByteArray::number(QCoreApplication::applicationPid()));
    qputenv("JACK_NO_START_SERVER", "1");
    ExpectMidiSystemUnavailable(RtMidiBackend::Api::Jack, env);
    EXPECT_TRUE(env.logger->Contains("Cannot list the MIDI output ports of JACK: no JACK server is running"));
    qunsetenv("JACK_DEFAULT_SERVER");
    qunsetenv("JACK_NO_START_SERVER");
}

TEST(JackMidi, SysExAndShortMessagesBothWaysThroughAPrivateServer)
{
    const QString jackd = QStandardPaths::findExecutable("jackd");
    if (jackd.isEmpty())
        GTEST_SKIP() << "jackd is not installed (Debian package jackd2): the JACK test cannot run";

    TestEnvironment env;
    PrivateJackServer server;
    QString why;
    ASSERT_TRUE(server.Start(jackd, &why)) << why.toStdString();
    // Every JACK client of this process, RtMidi's included, uses our server.
    qputenv("JACK_DEFAULT_SERVER", server.Name().toLocal8Bit());
    qputenv("JACK_NO_START_SERVER", "1");

    {
        // The device: one client listening, one talking, each on a virtual port.
        Heard heard;
        RtMidiIn deviceIn(RtMidi::UNIX_JACK, "DeviceIn");
        deviceIn.ignoreTypes(false, false, false);
        deviceIn.setCallback(&Heard::Callback, &heard);
        deviceIn.openVirtualPort("from-editor");
        RtMidiOut deviceOut(RtMidi::UNIX_JACK, "DeviceOut");
        deviceOut.openVirtualPort("to-editor");

        // A new port shows in the server's list from its next cycle on.
        auto backend = std::make_shared<RtMidiBackend>(RtMidiBackend::Api::Jack, "TabrineTest");
        int in = -1, out = -1;
        const auto listed = std::chrono::steady_clock::now() + 10s;
        while ((in < 0 || out < 0) && std::chrono::steady_clock::now() < listed) {
            in = ResolvePort(backend->InputPorts(), -1, "DeviceOut:to-editor").number;
            out = ResolvePort(backend->OutputPorts(), -1, "DeviceIn:from-editor").number;
            if (in < 0 || out < 0)
                std::this_thread::sleep_for(20ms);
        }
        ASSERT_GE(in, 0) << "device output not listed";
        ASSERT_GE(out, 0) << "device input not listed";

        RecordingPort port(true, backend);
        ASSERT_TRUE(port.OpenPort(in, out, 5000));
        ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_CONNECT) == 1; }, 10s));

        // Editor to device.
        const Bytes request = MakeSysEx(11, 1);
        const Bytes largest = MakeSysEx(1024, 2);
        ASSERT_TRUE(port.Send(request.data(), unsigned(request.size())));
        ASSERT_TRUE(port.SendProgramChange(3, 17));
        ASSERT_TRUE(port.Send(largest.data(), unsigned(largest.size())));
        ASSERT_TRUE(port.SendControlChange(0, 7, 100));
        ASSERT_TRUE(heard.WaitFor(4)) << "the device heard " << heard.messages.size() << " messages";
        {
            std::lock_guard l(heard.lock);
            EXPECT_EQ(heard.messages, (std::vector<Bytes>{request, {0xC3, 17}, largest, {0xB0, 7, 100}}));
        }

        // Device to editor.
        Bytes reply = MakeSysEx(300, 3);
        const Bytes note = {0x90, 60, 100};
        deviceOut.sendMessage(&reply);
        deviceOut.sendMessage(note.data(), note.size());
        Bytes dump = MakeSysEx(1024, 4);
        deviceOut.sendMessage(&dump);
        ASSERT_TRUE(PumpUntil(port, [&] { return port.received.size() == 2 && port.Count(MIDI_NOTIFY_SHORT_DATA) == 1; },
                              10s));
        EXPECT_EQ(port.received, (std::vector<Bytes>{reply, dump}));
        EXPECT_EQ(port.events.back(), (Event{MIDI_NOTIFY_INCOMING_MESSAGE}));
        EXPECT_TRUE(port.errors.empty());

        port.ClosePort();
        ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_DISCONNECT) == 1; }));
        EXPECT_EQ(port.GetBufferCounts(), (MidiBufferCounts{20, 0, 0, 0, 20, 0}));
    }
    server.Stop();
    qunsetenv("JACK_DEFAULT_SERVER");
    qunsetenv("JACK_NO_START_SERVER");
}

} // namespace
