// The RtMidi backend where the ALSA sequencer cannot be opened: a clear
// logged error, no ports, failed opens, and never an exception or a crash.
// (JACK without a server is tried in the JACK test program, which keeps all
// use of the machine-wide JACK registry in one place.)
#include "MidiTestSupport.h"

#include "midi/RtMidiBackend.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

using namespace miditest;

TEST(RtMidiBackend, NoAlsaSequencerGivesNoPortsAndFailedOpens)
{
    if (QFile::exists("/dev/snd/seq"))
        GTEST_SKIP() << "this machine has an ALSA sequencer: the missing one cannot be shown";
    TestEnvironment env;
    ExpectMidiSystemUnavailable(RtMidiBackend::Api::Alsa, env);
}

TEST(RtMidiBackend, ApiNames)
{
    EXPECT_EQ(RtMidiBackend::ApiFromName(" jack "), RtMidiBackend::Api::Jack);
    EXPECT_EQ(RtMidiBackend::ApiFromName("ALSA"), RtMidiBackend::Api::Alsa);
    EXPECT_FALSE(RtMidiBackend::ApiFromName("CoreMIDI").has_value());
    EXPECT_EQ(RtMidiBackend(RtMidiBackend::Api::Jack).Name(), "JACK");
}

} // namespace
