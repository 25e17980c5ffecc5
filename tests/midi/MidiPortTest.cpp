// MidiPort over the loopback backend: the device side of each test holds the
// far end of the ports.
#include "AlternatePortDouble.h"
#include "MidiTestSupport.h"

#include "core/RegistryKey.h"
#include "midi/LoopbackBackend.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <algorithm>
#include <thread>

namespace {

using namespace miditest;

constexpr MidiBufferCounts kOpenIdle{10, 0, 0, 10, 20, 0};
constexpr MidiBufferCounts kClosedIdle{20, 0, 0, 0, 20, 0};

class MidiPortTest : public ::testing::Test {
protected:
    void SetUp() override { liveBefore = _MidiBuffer::LiveCount(); }

    // Opens port on the module device and waits for its connect.
    void OpenAndConnect(RecordingPort& port)
    {
        ASSERT_TRUE(port.OpenPort(0, 0, 5000));
        ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_CONNECT) == 1; }));
        port.events.clear();
    }

    // Hands bytes to the port's input and waits until the port has them all.
    void DeliverToPort(const Bytes& bytes)
    {
        device->Send(bytes);
        ASSERT_TRUE(backend->Flush(5s));
    }

    TestEnvironment env;
    std::shared_ptr<LoopbackBackend> backend = std::make_shared<LoopbackBackend>();
    std::shared_ptr<LoopbackDevice> device = backend->AddDevice(QStringLiteral("Module"));
    long liveBefore = 0;
};

TEST_F(MidiPortTest, OpenReportsOneConnectAndCloseOneDisconnect)
{
    {
        RecordingPort port(true, backend);
        EXPECT_EQ(port.GetBufferCounts(), kClosedIdle);
        ASSERT_TRUE(port.OpenPort(0, 0, 5000));
        EXPECT_TRUE(port.IsOpenTimerRunning());
        EXPECT_TRUE(device->IsInputOpen());
        EXPECT_TRUE(device->IsOutputOpen());
        EXPECT_EQ(port.GetBufferCounts(), kOpenIdle);

        ASSERT_TRUE(PumpUntil(port, [&] { return !port.events.empty(); }));
        EXPECT_EQ(port.events, (std::vector<Event>{{MIDI_NOTIFY_CONNECT}}));
        EXPECT_FALSE(port.IsOpenTimerRunning()) << "the connect stops the open timer";

        EXPECT_TRUE(port.ClosePort());
        EXPECT_FALSE(device->IsInputOpen());
        EXPECT_FALSE(device->IsOutputOpen());
        ASSERT_TRUE(PumpUntil(port, [&] { return port.events.size() == 2; }));
        port.PumpMessages();
        EXPECT_EQ(port.events, (std::vector<Event>{{MIDI_NOTIFY_CONNECT}, {MIDI_NOTIFY_DISCONNECT}}));
        EXPECT_EQ(port.GetBufferCounts(), kClosedIdle);

        // A second open closes nothing that is not open and connects again.
        port.events.clear();
        ASSERT_TRUE(port.OpenPort(-1, 0, 5000));
        EXPECT_FALSE(device->IsInputOpen());
        ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_CONNECT) == 1; }));
        ASSERT_TRUE(port.OpenPort(0, -1, 5000)); // closes the output first
        EXPECT_FALSE(device->IsOutputOpen());
        EXPECT_TRUE(device->IsInputOpen());
        ASSERT_TRUE(PumpUntil(port, [&] { return port.events.size() == 3; }));
        EXPECT_EQ(port.events, (std::vector<Event>{{MIDI_NOTIFY_CONNECT}, {MIDI_NOTIFY_DISCONNECT},
                                                   {MIDI_NOTIFY_CONNECT}}));
    }
    EXPECT_EQ(_MidiBuffer::LiveCount(), liveBefore) << "every buffer is freed with the port";
}

TEST_F(MidiPortTest, OpenThatIsNotReportedInTimeClosesAndTellsTheUser)
{
    struct Row {
        const char* name;
        bool devicePort;
        int in, out;
        bool holdOpen;
        bool eventLoop; // the timer fires from the event loop, else from PumpMessages
        QString text;
    };
    const Row rows[] = {
        {"nothing requested, device port", true, -1, -1, false, false, "Device not responding"},
        {"silent device, alternate port", false, 0, 0, true, false, "The controller or B port is not responding"},
        {"silent device, from the event loop", true, 0, -1, true, true, "Device not responding"},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        env.presenter->texts.clear();
        device->HoldOpen(r.holdOpen);
        RecordingPort port(r.devicePort, backend);
        ASSERT_TRUE(port.OpenPort(r.in, r.out, 30));
        auto shown = [&] { return !env.presenter->texts.isEmpty(); };
        ASSERT_TRUE(r.eventLoop ? ProcessUntil(shown) : PumpUntil(port, shown));
        EXPECT_EQ(env.presenter->texts, QStringList{r.text});
        EXPECT_TRUE(env.logger->Contains(r.text)) << "the message is logged";
        EXPECT_FALSE(port.IsInputOpen());
        EXPECT_FALSE(port.IsOutputOpen());
        EXPECT_FALSE(device->IsInputOpen());
        EXPECT_FALSE(port.IsOpenTimerRunning());

        // A late report finds the port closed: the owner hears nothing, ever.
        device->ReportOpen();
        ASSERT_TRUE(backend->Flush(5s));
        port.PumpMessages();
        EXPECT_TRUE(port.events.empty());
        EXPECT_EQ(env.presenter->texts.size(), 1);
    }
}

TEST_F(MidiPortTest, ConnectPostedBeforeTheTimerFellDueWins)
{
    RecordingPort port(true, backend);
    ASSERT_TRUE(port.OpenPort(0, 0, 20));
    // Let the timer fall due with the connect still waiting in the queue.
    std::this_thread::sleep_for(40ms);
    port.PumpMessages();
    EXPECT_EQ(port.events, (std::vector<Event>{{MIDI_NOTIFY_CONNECT}}));
    EXPECT_FALSE(port.IsOpenTimerRunning());
    EXPECT_TRUE(env.presenter->texts.isEmpty());
    EXPECT_TRUE(port.IsInputOpen());
}

TEST_F(MidiPortTest, FailedOpenEndsClosedAndLogged)
{
    struct Row {
        const char* name;
        int in, out;
        QString logged;
        std::vector<Event> events;
    };
    const Row rows[] = {
        {"no such input", 5, 0, "Failed to open MIDI input Port (0x2 ", {}},
        // The input opened and was reported before the output failed.
        {"no such output", 0, 7, "Failed to open MIDI output Port (0x2 ",
         {{MIDI_NOTIFY_CONNECT}, {MIDI_NOTIFY_DISCONNECT}}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        RecordingPort port(true, backend);
        EXPECT_FALSE(port.OpenPort(r.in, r.out, 5000));
        EXPECT_TRUE(env.logger->Contains(r.logged));
        EXPECT_FALSE(port.IsInputOpen());
        EXPECT_FALSE(port.IsOutputOpen());
        EXPECT_FALSE(port.IsOpenTimerRunning());
        EXPECT_FALSE(device->IsInputOpen());
        EXPECT_EQ(port.GetBufferCounts(), kClosedIdle);
        PumpUntil(port, [&] { return port.events.size() >= r.events.size(); });
        port.PumpMessages();
        EXPECT_EQ(port.events, r.events);
    }
}

TEST_F(MidiPortTest, SendsReachTheDeviceWholeAndInOrder)
{
    RecordingPort port(true, backend);
    EXPECT_FALSE(port.Send(0x643C90u)) << "closed output";
    OpenAndConnect(port);

    const Bytes largest = MakeSysEx(1024);
    const Bytes small = MakeSysEx(12, 5);
    ASSERT_TRUE(port.Send(largest.data(), unsigned(largest.size())));
    ASSERT_TRUE(port.SendNoteOn(0, 60, 100));
    ASSERT_TRUE(port.Send(small.data(), unsigned(small.size())));
    ASSERT_TRUE(port.SendClock());

    const Bytes tooLong = MakeSysEx(1025);
    EXPECT_FALSE(port.Send(tooLong.data(), unsigned(tooLong.size())));
    EXPECT_TRUE(env.logger->Contains("Cannot send messages larger than preconfigured size"));
    EXPECT_FALSE(port.Send(0x3Cu)) << "no status byte";

    ASSERT_TRUE(device->WaitForReceived(4, 5s));
    ASSERT_TRUE(backend->Flush(5s));
    EXPECT_EQ(device->Received(), (std::vector<Bytes>{largest, {0x90, 60, 100}, small, {0xF8}}));
    EXPECT_EQ(port.sent, (std::vector<Bytes>{largest, small})) << "OnSent sees every SysEx sent";
    EXPECT_EQ(port.GetBufferCounts(), kOpenIdle) << "output buffers are back in the pool";
}

TEST_F(MidiPortTest, NotificationsArriveInTheOrderTheyHappened)
{
    RecordingPort port(true, backend);
    const Bytes first = MakeSysEx(20, 1);
    const Bytes second = MakeSysEx(9, 2);
    // The device answers at once, while the owner's connect handling is still
    // running and pumps for the replies itself, as a connect sequence does.
    port.onConnect = [&] {
        device->Send(Bytes{0xF0, 1, 2, 3, 0xF7, 0x90, 60, 100, 0xF0, 9, 0xF7, 0xF8});
        PumpUntil(port, [&] { return port.events.size() >= 3; });
    };
    ASSERT_TRUE(port.OpenPort(0, 0, 5000));
    ASSERT_TRUE(PumpUntil(port, [&] { return port.events.size() >= 5; }));
    port.PumpMessages();

    const std::vector<Event> expected = {{MIDI_NOTIFY_CONNECT},       {MIDI_NOTIFY_INCOMING_MESSAGE},
                                         {MIDI_NOTIFY_SHORT_DATA, 0x643C90u}, {MIDI_NOTIFY_INCOMING_MESSAGE},
                                         {MIDI_NOTIFY_SHORT_DATA, 0xF8u}};
    EXPECT_EQ(port.events, expected);
    EXPECT_EQ(port.received, (std::vector<Bytes>{{0xF0, 1, 2, 3, 0xF7}, {0xF0, 9, 0xF7}}));
    EXPECT_EQ(port.GetBufferCounts(), kOpenIdle);

    // Several messages in a row each fill a buffer of their own.
    port.events.clear();
    port.received.clear();
    Bytes both = first;
    both.insert(both.end(), second.begin(), second.end());
    DeliverToPort(both);
    ASSERT_TRUE(PumpUntil(port, [&] { return port.received.size() == 2; }));
    EXPECT_EQ(port.received, (std::vector<Bytes>{first, second}));
}

TEST_F(MidiPortTest, SysExInPiecesIsPutTogetherAndLongOnesFillSeveralBuffers)
{
    struct Row {
        const char* name;
        LoopbackBackend::Options options;
        std::size_t length;
        std::vector<std::size_t> buffers; // the byte counts the owner receives
    };
    const Row rows[] = {
        {"300 bytes in pieces of 100", {true, 100, false}, 300, {300}},
        {"1024 bytes in pieces of 7", {true, 7, false}, 1024, {1024}},
        {"1500 bytes in pieces of 1024", {true, 1024, false}, 1500, {1024, 476}},
        {"1500 bytes whole", {false, 1024, false}, 1500, {1024, 476}},
        {"2049 bytes in pieces of 100", {true, 100, false}, 2049, {1024, 1024, 1}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        auto chunked = std::make_shared<LoopbackBackend>(r.options);
        auto far = chunked->AddDevice(QStringLiteral("Module"));
        RecordingPort port(true, chunked);
        ASSERT_TRUE(port.OpenPort(0, 0, 5000));
        const Bytes message = MakeSysEx(r.length);
        far->Send(message);
        ASSERT_TRUE(chunked->Flush(5s));
        ASSERT_TRUE(PumpUntil(port, [&] { return port.received.size() == r.buffers.size(); }));
        port.PumpMessages();

        std::vector<std::size_t> sizes;
        Bytes joined;
        for (const Bytes& b : port.received) {
            sizes.push_back(b.size());
            joined.insert(joined.end(), b.begin(), b.end());
        }
        EXPECT_EQ(sizes, r.buffers);
        EXPECT_EQ(joined, message) << "nothing lost, nothing doubled";
        EXPECT_TRUE(port.errors.empty());
        EXPECT_EQ(port.GetBufferCounts(), kOpenIdle);
    }
}

TEST_F(MidiPortTest, BadInputGoesToTheErrorQueueOrAsShortError)
{
    RecordingPort port(true, backend);
    OpenAndConnect(port);

    // A SysEx cut short by a note-on: what came of it is an error, the note
    // is delivered.
    DeliverToPort({0xF0, 0x18, 0x0F, 0x90, 60, 100});
    device->SendLongError(Bytes{0xF0, 0x7F, 0x7F});
    device->SendShortError(0x123456);
    DeliverToPort({0x12, 0x34}); // data bytes with no status
    ASSERT_TRUE(backend->Flush(5s));
    ASSERT_TRUE(PumpUntil(port, [&] { return port.events.size() == 5; }));
    port.PumpMessages();

    const std::vector<Event> expected = {{MIDI_NOTIFY_INCOMING_ERROR},
                                         {MIDI_NOTIFY_SHORT_DATA, 0x643C90u},
                                         {MIDI_NOTIFY_INCOMING_ERROR},
                                         {MIDI_NOTIFY_SHORT_ERROR, 0x123456u},
                                         {MIDI_NOTIFY_SHORT_ERROR, 0x3412u}};
    EXPECT_EQ(port.events, expected);
    EXPECT_EQ(port.errors, (std::vector<Bytes>{{0xF0, 0x18, 0x0F}, {0xF0, 0x7F, 0x7F}}));
    EXPECT_TRUE(port.received.empty());
    EXPECT_EQ(port.GetBufferCounts(), kOpenIdle) << "error buffers handed back return to the input";
}

TEST_F(MidiPortTest, SysExCutShortAfterAFullBufferIsStillAnError)
{
    // A SysEx longer than one buffer hands its full buffers over as they fill;
    // a status byte after that must still tell the owner that it broke off,
    // also when nothing of it is left over for the error buffer.
    struct Row {
        const char* name;
        std::size_t length;           // SysEx bytes before the cut (F0 and data)
        Bytes cut;                    // what cuts it
        std::vector<std::size_t> buffers;
    };
    const Row rows[] = {
        {"cut by a note-on in the second buffer", 1500, {0x90, 60, 100}, {1024}},
        {"cut by a note-on at the buffer boundary", 1024, {0x90, 60, 100}, {1024}},
        {"cut by a new SysEx at the second boundary", 2048, {0xF0, 0x01, 0xF7}, {1024, 1024, 3}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        RecordingPort port(true, backend);
        OpenAndConnect(port);
        Bytes bytes = MakeSysEx(r.length + 1);
        bytes.pop_back(); // no F7: the cut ends it
        // What the full buffers did not take (nothing at a boundary).
        const Bytes expectedError(bytes.begin() + long(1024 * (r.length / 1024)), bytes.end());
        bytes.insert(bytes.end(), r.cut.begin(), r.cut.end());
        DeliverToPort(bytes);
        ASSERT_TRUE(PumpUntil(port, [&] { return port.errors.size() == 1; })) << "the owner never heard of the cut";
        port.PumpMessages();

        std::vector<std::size_t> sizes;
        for (const Bytes& b : port.received)
            sizes.push_back(b.size());
        EXPECT_EQ(sizes, r.buffers);
        EXPECT_EQ(port.errors[0], expectedError);
        // The error comes after the good buffers of the same message.
        const auto error = std::find(port.events.begin(), port.events.end(), Event{MIDI_NOTIFY_INCOMING_ERROR});
        ASSERT_NE(error, port.events.end());
        EXPECT_EQ(std::count(port.events.begin(), error, Event{MIDI_NOTIFY_INCOMING_MESSAGE}),
                  long(r.length / 1024));
        EXPECT_EQ(port.GetBufferCounts(), kOpenIdle);
        port.ClosePort();
    }
}

TEST_F(MidiPortTest, BuffersKeptByTheOwnerStarveTheInputUntilReopened)
{
    RecordingPort port(true, backend);
    port.keepBuffers = true;
    OpenAndConnect(port);

    for (int i = 0; i < 11; ++i)
        device->Send(MakeSysEx(8, std::uint8_t(i)));
    ASSERT_TRUE(backend->Flush(5s));
    ASSERT_TRUE(PumpUntil(port, [&] { return port.received.size() == 10; }));
    port.PumpMessages();
    EXPECT_EQ(port.received.size(), 10u) << "the eleventh SysEx found no buffer";
    EXPECT_EQ(port.GetBufferCounts(), (MidiBufferCounts{10, 0, 0, 0, 20, 0}));
    bool logged = false;
    for (const QString& line : TheTmpLogStore().TakeWaiting())
        logged = logged || line.contains("No MIDI input buffer free: SysEx data lost");
    EXPECT_TRUE(logged);

    // Reopening hands ten fresh buffers to the input.
    ASSERT_TRUE(port.OpenPort(0, 0, 5000));
    EXPECT_EQ(port.GetBufferCounts(), (MidiBufferCounts{0, 0, 0, 10, 20, 0}));
    DeliverToPort(MakeSysEx(8, 99));
    ASSERT_TRUE(PumpUntil(port, [&] { return port.received.size() == 11; }));
    EXPECT_EQ(port.received.back(), MakeSysEx(8, 99));

    // Buffers kept across a close cannot go back to a closed input: handing
    // them back fails and frees them.
    port.ClosePort();
    TPtr<_MidiBuffer> kept = port.kept.front();
    port.kept.clear();
    EXPECT_FALSE(port.ReleaseIncomingMessage(kept));
    EXPECT_TRUE(env.logger->Contains("Failed to add MIDI input Port buffer (0x5 "));
}

TEST_F(MidiPortTest, CloseEmptiesQueuesAndInUseMaps)
{
    RecordingPort port(true, backend);
    OpenAndConnect(port);
    DeliverToPort(MakeSysEx(16));
    DeliverToPort({0xF0, 1, 0x80, 60, 0});     // one error buffer
    DeliverToPort({0xF0, 1, 2});               // a SysEx still being filled
    EXPECT_EQ(port.GetBufferCounts(), (MidiBufferCounts{10, 1, 1, 8, 20, 0}));

    // Handing the same buffer back twice would let the input fill it twice.
    TPtr<_MidiBuffer> held;
    ASSERT_TRUE(port.GetIncomingMessage(held));
    ASSERT_TRUE(port.ReleaseIncomingMessage(held));
    EXPECT_FALSE(port.ReleaseIncomingMessage(held));
    held = nullptr;

    port.ClosePort();
    // Buffers with the input return to the pool; queued ones are dropped.
    EXPECT_EQ(port.GetBufferCounts(), (MidiBufferCounts{19, 0, 0, 0, 20, 0}));
    TPtr<_MidiBuffer> none;
    EXPECT_FALSE(port.GetIncomingMessage(none));
    EXPECT_FALSE(port.GetIncomingError(none));

    // The notifications posted before the close still arrive and find nothing.
    ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_DISCONNECT) == 1; }));
    EXPECT_EQ(port.Count(MIDI_NOTIFY_INCOMING_MESSAGE), 1);
    EXPECT_EQ(port.Count(MIDI_NOTIFY_INCOMING_ERROR), 1);
    EXPECT_TRUE(port.received.empty());
    EXPECT_TRUE(port.errors.empty());
}

TEST_F(MidiPortTest, DeviceThatGoesAwayDisconnectsAndRefusesSends)
{
    RecordingPort port(true, backend);
    OpenAndConnect(port);
    device->ReportClosed();
    ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_DISCONNECT) == 1; }));
    const Bytes message = MakeSysEx(10);
    EXPECT_FALSE(port.Send(message.data(), unsigned(message.size())));
    EXPECT_TRUE(env.logger->Contains("Failed to send output buffer (0x43 "));
    EXPECT_EQ(port.GetBufferCounts(), kOpenIdle) << "the refused buffer is back in the pool";
    port.ClosePort();
    port.PumpMessages();
    EXPECT_EQ(port.Count(MIDI_NOTIFY_DISCONNECT), 1) << "one disconnect per connect";
}

TEST_F(MidiPortTest, CaptureFilesHoldTheDevicePortsSysEx)
{
    for (const bool devicePort : {true, false}) {
        SCOPED_TRACE(devicePort ? "device port" : "alternate port");
        QTemporaryDir dir;
        const QString inPath = dir.filePath("in.syx");
        const QString outPath = dir.filePath("out.syx");
        for (const QString& path : {inPath, outPath}) {
            QFile stale(path);
            ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
            stale.write("stale");
        }
        RegistryKey trace(GetTraceKeyPath(), true);
        trace.WriteString("TabrineDumpIn", inPath);
        trace.WriteString("TabrineDumpOut", outPath);

        RecordingPort port(devicePort, backend);
        EXPECT_FALSE(QFile::exists(inPath)) << "each run starts the capture afresh";
        EXPECT_FALSE(QFile::exists(outPath));
        OpenAndConnect(port);
        const Bytes a = MakeSysEx(10, 1), b = MakeSysEx(7, 2), reply = MakeSysEx(12, 3);
        ASSERT_TRUE(port.Send(a.data(), unsigned(a.size())));
        ASSERT_TRUE(port.SendNoteOn(1, 60, 1)); // short messages are not captured
        ASSERT_TRUE(port.Send(b.data(), unsigned(b.size())));
        DeliverToPort(reply);
        ASSERT_TRUE(PumpUntil(port, [&] { return port.received.size() == 1; }));

        auto contents = [](const QString& path) {
            QFile f(path);
            return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
        };
        if (devicePort) {
            Bytes both = a;
            both.insert(both.end(), b.begin(), b.end());
            EXPECT_EQ(contents(outPath), QByteArray(reinterpret_cast<const char*>(both.data()), qsizetype(both.size())));
            EXPECT_EQ(contents(inPath), QByteArray(reinterpret_cast<const char*>(reply.data()), qsizetype(reply.size())));
        } else {
            EXPECT_FALSE(QFile::exists(outPath));
            EXPECT_FALSE(QFile::exists(inPath));
        }
        trace.DeleteValue("TabrineDumpIn");
        trace.DeleteValue("TabrineDumpOut");
    }
}

TEST_F(MidiPortTest, ShortMessagesAreTracedAtLevelFour)
{
    RecordingPort port(false, backend);
    OpenAndConnect(port);
    const QString line = "MIDI_NOTE_ON Port:B chan:9 Key:60 Vel:100";

    env.logger->SetLevel(3);
    ASSERT_TRUE(port.SendNoteOn(9, 60, 100));
    EXPECT_FALSE(env.logger->Contains(line));

    env.logger->SetLevel(4);
    ASSERT_TRUE(port.SendNoteOn(9, 60, 100));
    EXPECT_EQ(env.logger->Count(line), 1);
    EXPECT_FALSE(env.logger->Contains("MidiPort::SendNoteOn")) << "entry traces are level 9";

    ASSERT_TRUE(device->WaitForReceived(2, 5s));
    EXPECT_EQ(device->Received(), (std::vector<Bytes>(2, Bytes{0x99, 60, 100}))) << "sent at either level";
}

TEST_F(MidiPortTest, SendersBuildTheirMessages)
{
    RecordingPort port(true, backend);
    OpenAndConnect(port);
    struct Row {
        const char* name;
        std::function<bool()> send;
        Bytes bytes;
    };
    const Row rows[] = {
        {"note off", [&] { return port.SendNoteOff(2, 60, 64); }, {0x82, 60, 64}},
        {"note on masks note and velocity", [&] { return port.SendNoteOn(0, 0xBC, 0xE4); }, {0x90, 0x3C, 0x64}},
        {"channel above 15 keeps its low nibble", [&] { return port.SendNoteOn(17, 60, 100); }, {0x91, 60, 100}},
        {"aftertouch masks the pressure", [&] { return port.SendAfterTouch(3, 60, 0x1FF); }, {0xA3, 60, 0x7F}},
        {"control change masks the value", [&] { return port.SendControlChange(0, 7, 200); }, {0xB0, 7, 200 & 0x7F}},
        {"control change in range", [&] { return port.SendControlChange(15, 0x87, 127); }, {0xBF, 7, 127}},
        {"program change", [&] { return port.SendProgramChange(4, 0x85); }, {0xC4, 5}},
        {"channel pressure sends the value", [&] { return port.SendChannelPressure(1, 100); }, {0xD1, 100}},
        {"pitch wheel centre", [&] { return port.SendPitchWheel(0, 8192); }, {0xE0, 0x00, 0x40}},
        {"pitch wheel top", [&] { return port.SendPitchWheel(5, 16383); }, {0xE5, 0x7F, 0x7F}},
        {"song position", [&] { return port.SendSongPosition(130); }, {0xF2, 2, 1}},
        {"tune select masks the song", [&] { return port.SendTuneSelect(0x85); }, {0xF3, 5}},
        {"tune request", [&] { return port.SendTuneRequest(); }, {0xF6}},
        {"clock", [&] { return port.SendClock(); }, {0xF8}},
        {"start", [&] { return port.SendStart(); }, {0xFA}},
        {"continue", [&] { return port.SendContinue(); }, {0xFB}},
        {"stop", [&] { return port.SendStop(); }, {0xFC}},
        {"active sensing", [&] { return port.SendActiveSensing(); }, {0xFE}},
        {"reset", [&] { return port.SendReset(); }, {0xFF}},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        device->ClearReceived();
        ASSERT_TRUE(r.send());
        ASSERT_TRUE(device->WaitForReceived(1, 5s));
        EXPECT_EQ(device->Received(), std::vector<Bytes>{r.bytes});
    }
}

TEST_F(MidiPortTest, ShortSendsFromAnotherThreadDoNotDisturbSysEx)
{
    RecordingPort port(true, backend);
    OpenAndConnect(port);
    constexpr int kNotes = 400;
    constexpr int kSysEx = 60;
    std::thread ticker([&] {
        for (int i = 0; i < kNotes; ++i)
            port.SendNoteOn(0, unsigned(i & 0x7F), 1);
    });
    for (int i = 0; i < kSysEx; ++i) {
        const Bytes m = MakeSysEx(200, std::uint8_t(i));
        ASSERT_TRUE(port.Send(m.data(), unsigned(m.size())));
    }
    ticker.join();
    ASSERT_TRUE(device->WaitForReceived(kNotes + kSysEx, 10s));

    int notes = 0, sysex = 0;
    for (const Bytes& m : device->Received()) {
        if (m.front() == 0xF0)
            EXPECT_EQ(m, MakeSysEx(200, std::uint8_t(sysex++))) << "SysEx intact and in order";
        else if (m.size() == 3 && m[0] == 0x90)
            ++notes;
        else
            ADD_FAILURE() << "stray message";
    }
    EXPECT_EQ(notes, kNotes);
    EXPECT_EQ(sysex, kSysEx);
    EXPECT_EQ(port.GetBufferCounts(), kOpenIdle);
}

TEST_F(MidiPortTest, AlternatePortPassesControllerInputToTheModule)
{
    auto keyboard = backend->AddDevice(QStringLiteral("Keyboard"));
    RecordingPort module(true, backend);
    OpenAndConnect(module);
    int channel = 5;
    AlternatePortDouble alternate([&](std::uint32_t m) { module.Send(m); }, [&] { return channel; }, backend);
    ASSERT_TRUE(alternate.OpenPort(1, -1, 5000));
    ASSERT_TRUE(PumpUntil(alternate, [&] { return alternate.connects == 1; }));
    EXPECT_FALSE(alternate.IsOpenTimerRunning()) << "its own work, then the port's";

    keyboard->Send(Bytes{0x92, 60, 100, 0xF8, 0xF1, 5, 0xF0, 1, 2, 0xF7, 0xB3, 7, 64, 0xFE});
    ASSERT_TRUE(backend->Flush(5s));
    ASSERT_TRUE(PumpUntil(alternate, [&] { return alternate.shortMessages == 5; }));
    ASSERT_TRUE(device->WaitForReceived(4, 5s));
    EXPECT_EQ(device->Received(), (std::vector<Bytes>{{0x95, 60, 100}, {0xF8}, {0xB5, 7, 64}, {0xFE}}));
    EXPECT_EQ(alternate.GetBufferCounts(), (MidiBufferCounts{10, 0, 0, 10, 20, 0}))
        << "the SysEx buffer went back unread";
}

TEST_F(MidiPortTest, PumpEndsOnceTheHiddenWindowIsDestroyed)
{
    RecordingPort port(true, backend);
    OpenAndConnect(port);
    device->SendShort(0x643C90);
    ASSERT_TRUE(backend->Flush(5s));
    port.DestroyHiddenWindow();
    EXPECT_FALSE(port.PumpMessages());
    EXPECT_TRUE(port.events.empty()) << "nothing is dispatched after the destruction";
}

// The open-state bits follow what the MIDI system reports, direction by
// direction: a port opened output only never reads as a whole pair.
TEST_F(MidiPortTest, OpenFlagsFollowTheReportedDirections)
{
    RecordingPort port(true, backend);
    EXPECT_EQ(port.GetOpenFlags(), 0u);
    OpenAndConnect(port);
    EXPECT_EQ(port.GetOpenFlags(), kMidiPairOpen);

    EXPECT_TRUE(port.ClosePort());
    ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_DISCONNECT) == 1; }));
    EXPECT_EQ(port.GetOpenFlags(), 0u);

    port.events.clear();
    ASSERT_TRUE(port.OpenPort(-1, 0, 5000));
    ASSERT_TRUE(PumpUntil(port, [&] { return port.Count(MIDI_NOTIFY_CONNECT) == 1; }));
    EXPECT_EQ(port.GetOpenFlags(), kMidiOutputOpen);
    EXPECT_TRUE(port.ClosePort());
}

} // namespace
