// The module connection's conversation: splitting received data into
// messages, matching replies and module errors to waiting requests, the
// wait's time-outs and pacing, warnings, and what the listeners hear. Against
// the simulated module over the loopback, in virtual time.
#include "core/MainWindowRepaint.h"
#include "core/Settings.h"
#include "midi/WaitGuard.h"
#include "module/StackedProgress.h"
#include "support/ProteusSimFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

using proteustest::ExchangeResult;
using proteustest::ProteusSimTest;
using proteustest::RecordingListener;
using proteustest::SimOptions;
using sim::Fault;
using sim::Hex;

namespace {

// Device id 0 throughout unless a test says otherwise.
const char kParameterRequest[] = "F0 18 0F 00 55 02 01 01 02 F7"; // parameter 257
const char kParameterReplyHeader[] = "F0 18 0F 00 55 01 02";
const char kPresetDumpRequest[] = "F0 18 0F 00 55 11 02 00 00 00 00 F7";
const char kDumpHeader[] = "F0 18 0F 00 55"; // the dumps wait on these five bytes alone

std::vector<std::uint8_t> Bytes(const char* hex)
{
    const QByteArray b = Hex(hex);
    return std::vector<std::uint8_t>(b.begin(), b.end());
}

class ProteusExchange : public ProteusSimTest {
protected:
    ExchangeResult ParameterExchange(bool longWait = false)
    {
        return Exchange(Hex(kParameterRequest), CMD_PARAMETER_REQUEST, Hex(kParameterReplyHeader), 4, longWait);
    }
};

} // namespace

// ---- Matching received data ---------------------------------------------------------------

TEST_F(ProteusExchange, ReceivedDataIsMatchedMessageByMessage)
{
    struct Entry {
        int command;
        const char* header;
        unsigned capacity;
        const char* key = ""; // the bytes that must follow the header
    };
    struct Expect {
        bool done;
        bool ok;
        const char* data; // the first `received` bytes of the destination
    };
    struct Row {
        const char* name;
        std::vector<Entry> entries;
        const char* buffer;
        std::vector<Expect> expect;
        const char* logLine = nullptr;
    } rows[] = {
        {"several messages in one buffer each complete their own entry",
         {{2, kParameterReplyHeader, 4}, {4, "F0 18 0F 00 55 03", 9}, {0x11, kDumpHeader, 16}},
         "F0 18 0F 00 55 01 02 01 02 60 00 F7"
         " F0 18 0F 00 55 70 04 00 02 00 F7"
         " F0 18 0F 00 55 10 01 05 F7",
         {{true, true, "01 02 60 00"}, {true, false, ""}, {true, true, "10 01 05 F7"}},
         "Error received for cmd 4 (sub:2)"},
        {"the older of two same-header entries takes every reply, even when done",
         {{2, kParameterReplyHeader, 4}, {2, kParameterReplyHeader, 4}},
         "F0 18 0F 00 55 01 02 01 02 01 00 F7 F0 18 0F 00 55 01 02 01 02 02 00 F7",
         {{true, true, "01 02 02 00"}, {false, false, ""}}},
        {"a reply longer than the capacity is cut", {{2, kParameterReplyHeader, 2}},
         "F0 18 0F 00 55 01 02 01 02 60 00 F7", {{true, true, "01 02"}}},
        {"a reply shorter than the capacity fills its own length", {{0x0A, "F0 18 0F 00 55 09", 29}},
         "F0 18 0F 00 55 09 02 F7", {{true, true, "02 F7"}}},
        {"without F7 a message runs to the end of the data", {{2, kParameterReplyHeader, 8}},
         "F0 18 0F 00 55 01 02 01 02 60", {{true, true, "01 02 60"}}},
        {"a reply for another key is passed over, its own one taken", {{2, kParameterReplyHeader, 4, "01 02"}},
         "F0 18 0F 00 55 01 02 7F 00 05 00 F7 F0 18 0F 00 55 01 02 01 02 60 00 F7", {{true, true, "01 02 60 00"}},
         "Ignored a reply that answers no waiting request (late or unasked): f0 18 0f 00 55 01 02 7f 00 05 00 f7"},
        {"a reply cut inside its key is no answer", {{2, kParameterReplyHeader, 4, "01 02"}}, "F0 18 0F 00 55 01 02 01",
         {{false, false, ""}}},
        {"a message shorter than the header does not match", {{2, kParameterReplyHeader, 4}}, "F0 18 0F 00 55 01",
         {{false, false, ""}}},
        {"a module error is no data for a header-only dump wait", {{0x11, kDumpHeader, 16}},
         "F0 18 0F 00 55 70 11 00 03 00 F7", {{true, false, ""}}, "Error received for cmd 17 (sub:3)"},
        {"another command's error leaves a header-only dump wait waiting", {{0x11, kDumpHeader, 16}},
         "F0 18 0F 00 55 70 02 00 01 00 F7", {{false, false, ""}}, "Error received for unexpected cmd 2 (sub:1)"},
        {"an error from another device id is no module error", {{2, kParameterReplyHeader, 4}},
         "F0 18 0F 05 55 70 02 00 01 00 F7", {{false, false, ""}}, "not a module error"},
        {"an error cut short before its sub-code is not attributed", {{2, kParameterReplyHeader, 4}},
         "F0 18 0F 00 55 70 02 00", {{false, false, ""}}, "not a module error"},
    };
    Log().SetLevel(8); // the matcher's own lines
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Log().Clear();
        std::vector<std::vector<std::uint8_t>> destinations;
        std::vector<TPtr<Proteus::_ExpectedResponse>> entries;
        for (const Entry& e : row.entries) {
            destinations.emplace_back(e.capacity, 0xA5);
            const std::vector<std::uint8_t> header = Bytes(e.header);
            const std::vector<std::uint8_t> key = Bytes(e.key);
            entries.push_back(proteus->AddExpectedResponse(e.command, header.data(), unsigned(header.size()),
                                                           destinations.back().data(), e.capacity, key));
        }
        // Exactly as long as the data, so a read past it is caught.
        const std::vector<std::uint8_t> buffer = Bytes(row.buffer);
        proteus->CheckReceivedData(buffer.data(), buffer.data() + buffer.size());
        for (std::size_t i = 0; i < entries.size(); ++i) {
            SCOPED_TRACE(i);
            const Expect& x = row.expect[i];
            EXPECT_EQ(entries[i]->done, x.done);
            EXPECT_EQ(entries[i]->ok, x.ok);
            const QByteArray data = Hex(x.data);
            ASSERT_EQ(entries[i]->received, unsigned(data.size()));
            const std::vector<std::uint8_t>& d = destinations[i];
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(d.data()), data.size()), data);
            EXPECT_TRUE(std::all_of(d.begin() + data.size(), d.end(), [](std::uint8_t b) { return b == 0xA5; }));
            proteus->RemoveExpectedResponse(entries[i]);
        }
        if (row.logLine)
            EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine)));
        EXPECT_EQ(proteus->PendingResponseCount(), 0u);
    }
}

TEST_F(ProteusExchange, TraceShowsEachMessageAndNothingPastIt)
{
    const std::vector<std::uint8_t> buffer = Bytes("F1 05 C0 07 F0 18 0F 00 55 01 02 01 02 60 00 F7");
    std::uint8_t value[4] = {};
    const std::vector<std::uint8_t> header = Bytes(kParameterReplyHeader);
    auto entry = proteus->AddExpectedResponse(2, header.data(), unsigned(header.size()), value, 4);

    proteus->CheckReceivedData(buffer.data(), buffer.data() + buffer.size()); // threshold 3: no trace
    EXPECT_FALSE(Log().Contains(QStringLiteral("Proteus::CheckResponse (")));

    Log().SetLevel(9);
    proteus->CheckReceivedData(buffer.data(), buffer.data() + buffer.size());
    // F1 is a two-byte message; a short message shows its own bytes only.
    EXPECT_TRUE(Log().Contains(QStringLiteral(
        "Proteus::CheckResponse (2) -  0xf1 0x05 0x00 0x00 0x00 0x00 0x00 0x00 0x00")));
    EXPECT_TRUE(Log().Contains(QStringLiteral(
        "Proteus::CheckResponse (2) -  0xc0 0x07 0x00 0x00 0x00 0x00 0x00 0x00 0x00")));
    EXPECT_TRUE(Log().Contains(QStringLiteral(
        "Proteus::CheckResponse (12) -  0xf0 0x18 0x0f 0x00 0x55 0x01 0x02 0x01 0x02")));
    EXPECT_TRUE(entry->ok);
    proteus->RemoveExpectedResponse(entry);

    ParameterExchange();
    EXPECT_TRUE(Log().Contains(QStringLiteral(
        "Proteus::WaitForResponse (10) -  0xf0 0x18 0x0f 0x00 0x55 0x02 0x01 0x01 0x02")));
    Log().SetLevel(3);
}

// ---- Exchanges with the module ------------------------------------------------------------

TEST_F(ProteusExchange, ReplyEndsTheWaitAndListenersFollowIt)
{
    RecordingListener listener;
    proteus->AddListener(&listener);
    int repaints = 0;
    SetMainWindowRepaint([&] { ++repaints; });

    const ExchangeResult r = ParameterExchange();
    SetMainWindowRepaint({});

    EXPECT_TRUE(r.answered);
    EXPECT_TRUE(r.ok);
    EXPECT_EQ(r.received, 4u);
    EXPECT_EQ(r.data, Hex("01 02 60 00")) << TranscriptText().toStdString();
    EXPECT_TRUE(r.guardIntact);
    EXPECT_LT(r.elapsedMs, 100); // a few milliseconds of wire and processing, not a time-out
    EXPECT_EQ(listener.calls, QStringList{QStringLiteral("sysex f0 18 0f 00 55 02 01 01 02 f7")});
    EXPECT_GE(listener.waiting, 1);
    EXPECT_EQ(repaints, listener.waiting); // one repaint after the listeners, every pass
    EXPECT_EQ(proteus->PendingResponseCount(), 0u);
    proteus->RemoveListener(&listener);
}

TEST_F(ProteusExchange, ModuleErrorsAreAttributedByCommand)
{
    struct Row {
        const char* name;
        std::vector<Fault> faults;
        const char* request;
        int command;
        const char* header;
        unsigned capacity;
        bool answered;
        bool ok;
        const char* logLine;
    } rows[] = {
        {"an error for the waiting request ends it as refused",
         {Fault::ModuleError(5).on(CMD_PARAMETER_REQUEST)}, kParameterRequest, CMD_PARAMETER_REQUEST,
         kParameterReplyHeader, 4, true, false, "Error received for cmd 2 (sub:5)"},
        {"an error for no waiting request is only logged",
         {Fault::Unsolicited(Hex("F0 18 0F 00 55 70 33 00 01 00 F7")).on(CMD_PARAMETER_REQUEST)}, kParameterRequest,
         CMD_PARAMETER_REQUEST, kParameterReplyHeader, 4, true, true, "Error received for unexpected cmd 51 (sub:1)"},
        {"a refused dump is never taken as its data",
         {Fault::ModuleError(3).on(CMD_PRESET_DUMP_REQUEST)}, kPresetDumpRequest, CMD_PRESET_DUMP_REQUEST,
         kDumpHeader, 16, true, false, "Error received for cmd 17 (sub:3)"},
        {"another command's error does not end a dump wait",
         {Fault::Silence().on(CMD_PRESET_DUMP_REQUEST),
          Fault::Unsolicited(Hex("F0 18 0F 00 55 70 02 00 01 00 F7")).on(CMD_PRESET_DUMP_REQUEST)},
         kPresetDumpRequest, CMD_PRESET_DUMP_REQUEST, kDumpHeader, 16, false, false,
         "Error received for unexpected cmd 2 (sub:1)"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        for (const Fault& f : row.faults)
            AddFault(f);
        const ExchangeResult r = Exchange(Hex(row.request), row.command, Hex(row.header), row.capacity);
        EXPECT_EQ(r.answered, row.answered) << TranscriptText().toStdString();
        EXPECT_EQ(r.ok, row.ok);
        if (!r.ok) {
            EXPECT_EQ(r.received, 0u);
            EXPECT_EQ(r.data, QByteArray(qsizetype(row.capacity), char(0xA5))); // nothing stored
        }
        EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine)));
    }
}

TEST_F(ProteusExchange, AnExchangeTellsHowItEnded)
{
    struct Row {
        const char* name;
        std::vector<Fault> faults;
        int deviceId;        // of the request: outside 0 ... 127 it cannot be sent
        bool holdAWait;      // another wait runs while the exchange is asked for
        ExchangeOutcome outcome;
        unsigned bytes;      // what the result carries
        bool reachesModule;
    } rows[] = {
        {"the reply", {}, 0, false, ExchangeOutcome::Reply, 4, true},
        {"a module error", {Fault::ModuleError(5).on(CMD_PARAMETER_REQUEST)}, 0, false, ExchangeOutcome::ModuleError,
         0, true},
        {"no answer", {Fault::Silence().on(CMD_PARAMETER_REQUEST)}, 0, false, ExchangeOutcome::TimedOut, 0, true},
        {"another wait runs", {}, 0, true, ExchangeOutcome::Busy, 0, true},
        {"a request that cannot be built", {}, 200, false, ExchangeOutcome::NotSent, 0, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        for (const Fault& f : row.faults)
            AddFault(f);
        ModuleSysExMessage request(row.deviceId, CMD_PARAMETER_REQUEST);
        request.AddByte(1).AddValue14(257);
        const ExpectedReply expected{CMD_PARAMETER_REQUEST, Bytes(kParameterReplyHeader), 4};
        ReplyResult result;
        {
            std::optional<WaitGuard> other;
            if (row.holdAWait)
                other.emplace(QStringLiteral("another wait"));
            result = proteus->Exchange(request, expected);
        }
        EXPECT_EQ(result.outcome, row.outcome) << TranscriptText().toStdString();
        EXPECT_EQ(result.Size(), row.bytes);
        if (row.outcome == ExchangeOutcome::Reply)
            EXPECT_EQ(result.bytes[0], 0x01); // the parameter the reply names, low byte first
        EXPECT_EQ(ToModule().size(), row.reachesModule ? 1u : 0u);
    }
}

TEST_F(ProteusExchange, WaitLastsTheResponseTimeOutInVirtualTime)
{
    struct Row {
        const char* name;
        unsigned longTimeout;
        bool longWait;
        int sysExDelay;
        bool silent;
        std::int64_t from; // elapsed > from
        std::int64_t to;   // elapsed <= to
    } rows[] = {
        // A wait notices its time-out at the end of a pass of at most 100 ms.
        {"LongTimeout 1000", 1000, false, 0, true, 1000, 1100},
        {"the long wait lasts at least 10000 ms", 1000, true, 0, true, 10000, 10100},
        {"LongTimeout 20000", 20000, false, 0, true, 20000, 20100},
        {"a longer LongTimeout outlasts the long wait", 20000, true, 0, true, 20000, 20100},
        {"SysExDelay follows a time-out", 1000, false, 500, true, 1500, 1600},
        {"SysExDelay follows a reply", 1000, false, 500, false, 500, 600},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        SimOptions options;
        options.longTimeout = row.longTimeout;
        options.sysExDelay = row.sysExDelay;
        Start(options);
        if (row.silent)
            AddFault(Fault::Silence().on(CMD_PARAMETER_REQUEST));
        const ExchangeResult r = ParameterExchange(row.longWait);
        EXPECT_EQ(r.answered, !row.silent);
        EXPECT_GT(r.elapsedMs, row.from);
        EXPECT_LE(r.elapsedMs, row.to);
        EXPECT_EQ(Log().Contains(QStringLiteral("Timeout waiting for response to 0xf0 0x18 0x0f 0x00 0x55 0x02 "
                                                "0x01 0x01 0x02 0xf7")),
                  row.silent);
    }
}

TEST_F(ProteusExchange, InputErrorEndsEveryWait)
{
    std::uint8_t other[4] = {};
    const std::vector<std::uint8_t> header = Bytes("F0 18 0F 00 55 03");
    auto waiting = proteus->AddExpectedResponse(CMD_PARAMETER_MINMAX_REQUEST, header.data(), 6, other, 4);
    AddFault(Fault::InputError().on(CMD_PARAMETER_REQUEST).limit(1));

    const ExchangeResult r = ParameterExchange();
    EXPECT_TRUE(r.answered);
    EXPECT_FALSE(r.ok);
    EXPECT_LT(r.elapsedMs, 100);
    EXPECT_TRUE(waiting->done);
    EXPECT_FALSE(waiting->ok);
    EXPECT_TRUE(Log().Contains(QStringLiteral("Error received on MIDI input port")));
    proteus->RemoveExpectedResponse(waiting);
    // The broken buffer went back to the input.
    const MidiBufferCounts counts = proteus->GetBufferCounts();
    EXPECT_EQ(counts.errorQueue, 0);
    EXPECT_EQ(counts.inputInUse, kMidiInputBuffers);
    // The next request is answered as usual.
    EXPECT_TRUE(ParameterExchange().ok);
}

TEST_F(ProteusExchange, SuppressedWarningsAndTheInnerGuardThatEndsThem)
{
    AddFault(Fault::Silence().on(CMD_PARAMETER_REQUEST));
    AddFault(Fault::ModuleError(5).on(CMD_PARAMETER_MINMAX_REQUEST));
    const QString timeout = QStringLiteral("Timeout waiting for response to");
    const QString error = QStringLiteral("Error received for cmd 4 (sub:5)");
    auto minMax = [&] {
        return Exchange(Hex("F0 18 0F 00 55 04 01 02 F7"), CMD_PARAMETER_MINMAX_REQUEST, Hex("F0 18 0F 00 55 03"), 9);
    };
    {
        Proteus::SuppressWarningMessages outer(proteus.get());
        {
            Proteus::SuppressWarningMessages inner(proteus.get());
            EXPECT_FALSE(ParameterExchange().answered);
            EXPECT_FALSE(minMax().ok);
            EXPECT_EQ(Log().Count(timeout), 0);
            EXPECT_EQ(Log().Count(error), 0);
        }
        // No nesting count: the inner guard's end cleared the flag for the outer one.
        EXPECT_FALSE(proteus->SuppressingWarnings());
        EXPECT_FALSE(ParameterExchange().answered);
        EXPECT_EQ(Log().Count(timeout), 1);
    }
    GetGlobalConfigurations().SetBool(TestUI, true);
    EXPECT_FALSE(ParameterExchange().answered);
    EXPECT_FALSE(minMax().ok);
    EXPECT_EQ(Log().Count(timeout), 1);
    EXPECT_EQ(Log().Count(error), 0);
    GetGlobalConfigurations().SetBool(TestUI, false);
    EXPECT_FALSE(minMax().ok);
    EXPECT_EQ(Log().Count(error), 1);
}

TEST_F(ProteusExchange, NoSecondExchangeStartsInsideAWait)
{
    EXPECT_TRUE(proteus->ReadyToSend(QStringLiteral("Proteus::ParameterRequest")));

    RecordingListener listener;
    proteus->AddListener(&listener);
    int tries = 0;
    bool nestedReady = true;
    bool nestedAnswered = true;
    listener.onWaiting = [&] {
        if (tries++)
            return;
        nestedReady = proteus->ReadyToSend(QStringLiteral("Proteus::GetObjectName"));
        bool ok = true;
        const std::vector<std::uint8_t> header = Bytes("F0 18 0F 00 55 0B");
        nestedAnswered = proteus->WaitForResponse(CMD_NAME_REQUEST, nullptr, 0, header.data(), 6, &ok, nullptr, 0, false);
    };
    const ExchangeResult r = ParameterExchange();
    proteus->RemoveListener(&listener);

    EXPECT_TRUE(r.ok);
    EXPECT_FALSE(nestedReady);
    EXPECT_FALSE(nestedAnswered);
    EXPECT_TRUE(Log().Contains(QStringLiteral("Cannot start Proteus::GetObjectName while Proteus::WaitForResponse")));
    EXPECT_EQ(proteus->PendingResponseCount(), 0u);

    // Not connected, or a direction closed: refused without a word.
    Log().Clear();
    proteus->SetConnected(false);
    EXPECT_FALSE(proteus->ReadyToSend(QStringLiteral("Proteus::ParameterRequest")));
    proteus->SetConnected(true);
    proteus->MidiPort::ClosePort();
    EXPECT_FALSE(proteus->ReadyToSend(QStringLiteral("Proteus::ParameterRequest")));
    EXPECT_FALSE(Log().Contains(QStringLiteral("Proteus::ParameterRequest")));
}

TEST_F(ProteusExchange, MessagesThatWouldBeCorruptedAreRefused)
{
    RecordingListener listener;
    proteus->AddListener(&listener);
    ModuleSysExMessage tooLarge(proteus->GetDeviceId(), CMD_PARAMETER_EDIT);
    tooLarge.AddByte(2).AddValue14(257).AddValue14(8192);
    ModuleSysExMessage badDevice(128, CMD_PARAMETER_REQUEST);
    badDevice.AddByte(1).AddValue14(257);
    ModuleSysExMessage fine(proteus->GetDeviceId(), CMD_PARAMETER_EDIT);
    fine.AddByte(2).AddValue14(257).AddValue14(8191);

    EXPECT_FALSE(proteus->SendSysEx(tooLarge));
    EXPECT_FALSE(proteus->SendSysEx(badDevice));
    EXPECT_EQ(Log().Count(QStringLiteral("Refused to send a SysEx message")), 2);
    EXPECT_TRUE(proteus->SendSysEx(fine));
    EXPECT_EQ(ToModule(), std::vector<QByteArray>{Hex("F0 18 0F 00 55 01 02 01 02 7F 3F F7")});
    EXPECT_EQ(listener.calls, QStringList{QStringLiteral("sysex f0 18 0f 00 55 01 02 01 02 7f 3f f7")});
    proteus->RemoveListener(&listener);
}

// ---- Listeners and progress -----------------------------------------------------------------

TEST_F(ProteusExchange, StackedProgressReportsToEveryListener)
{
    struct Row {
        const char* name;
        std::function<void(Proteus*)> run;
        QStringList calls;
    } rows[] = {
        {"an inactive progress sends nothing",
         [](Proteus* p) {
             StackedProgress progress(p, false, 0, 10, u"Dumping Preset %d:%d", 0, 5);
             progress.SetText(u"%s", u"text");
             progress.Step();
         },
         {}},
        {"begin, text, step and end",
         [](Proteus* p) {
             StackedProgress progress(p, true, 0, 10, u"%s %d:%d", u"Dumping Preset", 0, 5);
             progress.SetText(u"Block %d", 2);
             progress.Step();
         },
         {QStringLiteral("begin 0 10 Dumping Preset 0:5"), QStringLiteral("text Block 2"), QStringLiteral("step"),
          QStringLiteral("end")}},
        {"nested progress ends inside the outer one",
         [](Proteus* p) {
             StackedProgress outer(p, true, 0, 2, u"Backing Up Module");
             {
                 StackedProgress inner(p, true, 0, 7, u"Checking Hardware");
             }
             outer.Step();
         },
         {QStringLiteral("begin 0 2 Backing Up Module"), QStringLiteral("begin 0 7 Checking Hardware"),
          QStringLiteral("end"), QStringLiteral("step"), QStringLiteral("end")}},
        {"texts are cut to 255 characters",
         [](Proteus* p) {
             const QString longText(300, QLatin1Char('x'));
             StackedProgress progress(p, true, 1, 3, u"%s", longText);
             progress.SetText(u"%s!", longText);
         },
         {QStringLiteral("begin 1 3 ") + QString(255, QLatin1Char('x')), QStringLiteral("text ") + QString(255, QLatin1Char('x')),
          QStringLiteral("end")}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        RecordingListener first;
        RecordingListener second;
        proteus->AddListener(&first);
        proteus->AddListener(&second);
        row.run(proteus.get());
        EXPECT_EQ(first.calls, row.calls);
        EXPECT_EQ(second.calls, row.calls);
        proteus->RemoveListener(&first);
        proteus->RemoveListener(&second);
    }
    // With no listener every walk does nothing, and nobody refuses a change.
    StackedProgress alone(proteus.get(), true, 0, 1, u"x");
    alone.Step();
    EXPECT_TRUE(proteus->NotifyParameterChanging(nullptr));
}

TEST_F(ProteusExchange, ListenersMayRemoveThemselvesAndOthersWhileNotified)
{
    // Four listeners in address order: the walk goes in that order.
    std::vector<std::unique_ptr<RecordingListener>> listeners;
    for (int i = 0; i < 4; ++i)
        listeners.push_back(std::make_unique<RecordingListener>());
    std::sort(listeners.begin(), listeners.end(),
              [](const auto& a, const auto& b) { return std::less<>()(a.get(), b.get()); });
    RecordingListener* first = listeners[0].get();
    RecordingListener* middle = listeners[1].get();
    RecordingListener* removed = listeners[2].get();
    for (auto& l : listeners)
        proteus->AddListener(l.get());
    RecordingListener late;

    // The first one, when told, removes itself and the third, removes and
    // destroys the last one, and adds another that hears from the next walk on.
    first->onCall = [&](const QString&) {
        proteus->RemoveListener(first);
        proteus->RemoveListener(removed);
        proteus->RemoveListener(listeners[3].get());
        listeners[3].reset();
        proteus->AddListener(&late);
    };
    proteus->NotifyProgressStep();
    EXPECT_EQ(first->calls, QStringList{QStringLiteral("step")});
    EXPECT_EQ(middle->calls, QStringList{QStringLiteral("step")});
    EXPECT_TRUE(removed->calls.isEmpty());
    EXPECT_TRUE(late.calls.isEmpty());

    proteus->NotifyEndProgress();
    EXPECT_EQ(first->calls.size(), 1);
    EXPECT_EQ(middle->calls, (QStringList{QStringLiteral("step"), QStringLiteral("end")}));
    EXPECT_TRUE(removed->calls.isEmpty());
    EXPECT_EQ(late.calls, QStringList{QStringLiteral("end")});

    // The first refusal ends the asking.
    middle->allowChange = false;
    late.allowChange = true;
    EXPECT_FALSE(proteus->NotifyParameterChanging(nullptr));
    const int asked = int(middle->calls.count(QStringLiteral("changing"))) + int(late.calls.count(QStringLiteral("changing")));
    EXPECT_EQ(asked, std::less<>()(middle, &late) ? 1 : 2);
    proteus->RemoveListener(middle);
    proteus->RemoveListener(&late);
}
