// The RtMidi backend where its MIDI system cannot be started: a clear logged
// error, no ports, failed opens, and never an exception or a crash.
#include "MidiTestSupport.h"

#include "midi/RtMidiBackend.h"

#include <QFile>

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

using namespace miditest;

TEST(RtMidiBackend, UnavailableMidiSystemGivesNoPortsAndFailedOpens)
{
    TestEnvironment env;
    // A JACK server name nobody runs, so the JACK row never meets a real one.
    const QByteArray server = "tabrine-absent-" + QByteArray::number(qint64(QCoreApplication::applicationPid()));
    qputenv("JACK_DEFAULT_SERVER", server);
    qputenv("JACK_NO_START_SERVER", "1");

    struct Row {
        const char* name;
        RtMidiBackend::Api api;
        bool unavailable;
    };
    const Row rows[] = {
        {"ALSA", RtMidiBackend::Api::Alsa, !QFile::exists("/dev/snd/seq")},
        {"JACK without a server", RtMidiBackend::Api::Jack, true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        if (!r.unavailable)
            continue; // this machine has the system: nothing to show here
        env.logger->Clear();
        auto backend = std::make_shared<RtMidiBackend>(r.api);
        EXPECT_TRUE(backend->InputPorts().empty());
        EXPECT_TRUE(backend->OutputPorts().empty());
        EXPECT_TRUE(env.logger->Contains(QStringLiteral("Cannot list the MIDI input ports of %1").arg(backend->Name())));

        RecordingPort port(true, backend);
        EXPECT_FALSE(port.OpenPort(0, 0, 1000));
        EXPECT_TRUE(env.logger->Contains("Failed to open MIDI input Port (0x6 "));
        EXPECT_FALSE(port.OpenPort(-1, 0, 1000));
        EXPECT_TRUE(env.logger->Contains("Failed to open MIDI output Port (0x6 "));
        EXPECT_FALSE(port.IsInputOpen());
        EXPECT_FALSE(port.IsOutputOpen());
        EXPECT_FALSE(port.SendClock());
    }
    qunsetenv("JACK_DEFAULT_SERVER");
    qunsetenv("JACK_NO_START_SERVER");
}

TEST(RtMidiBackend, ApiNames)
{
    EXPECT_EQ(RtMidiBackend::ApiFromName(" jack "), RtMidiBackend::Api::Jack);
    EXPECT_EQ(RtMidiBackend::ApiFromName("ALSA"), RtMidiBackend::Api::Alsa);
    EXPECT_FALSE(RtMidiBackend::ApiFromName("CoreMIDI").has_value());
}

} // namespace
