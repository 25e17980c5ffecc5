#pragma once
// Shared pieces of the MIDI tests: a recording logger and message presenter,
// a port that records what it is told, and waits bounded by a deadline.

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "midi/MidiPort.h"
#include "midi/RtMidiBackend.h"
#include "platform/SettingsStore.h"

#include <QCoreApplication>
#include <QStringList>
#include <QTimer>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <mutex>
#include <vector>

namespace miditest {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;

/// Lines logged on the test's thread; the threshold is set through the Trace key.
class RecordingLogger final : public Logger {
public:
    RecordingLogger() : Logger(QStringLiteral("Tabrine"), kDefaultLogFlags) {}
    void SetLevel(int level)
    {
        SetTraceLevel(Name(), level);
        ForgetLastRead();
    }
    void Output(int, const QString& line) override
    {
        std::lock_guard l(m_lock);
        m_lines.push_back(line);
    }
    int Count(const QString& text) const
    {
        std::lock_guard l(m_lock);
        int n = 0;
        for (const QString& line : m_lines)
            n += line.contains(text) ? 1 : 0;
        return n;
    }
    bool Contains(const QString& text) const { return Count(text) > 0; }
    QStringList Lines() const
    {
        std::lock_guard l(m_lock);
        return m_lines;
    }
    void Clear()
    {
        std::lock_guard l(m_lock);
        m_lines.clear();
    }

private:
    mutable std::mutex m_lock;
    QStringList m_lines;
};

/// Records every message box text and answers OK.
class RecordingPresenter final : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString&, unsigned) override
    {
        texts.push_back(text);
        return msgbox::IdOk;
    }
    QStringList texts;
};

/// Installs a fresh memory settings store with the configuration key, a
/// recording logger for this thread and a recording presenter; undoes them
/// when it goes.
class TestEnvironment {
public:
    TestEnvironment()
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
        logger = new RecordingLogger;
        logger->AddRef();
        logger->SetLevel(3);
        SetLogWindow(logger);
        presenter = std::make_shared<RecordingPresenter>();
        SetMessagePresenter(presenter);
    }
    ~TestEnvironment()
    {
        SetLogWindow(nullptr);
        SetMessagePresenter(nullptr);
        logger->Release();
    }
    RecordingLogger* logger;
    std::shared_ptr<RecordingPresenter> presenter;
};

/// One notification as the owner saw it.
struct Event {
    MidiNotifyCode code;
    std::uint32_t packed = 0; // short data and short errors
    bool operator==(const Event&) const = default;
};

/// A port that records its notifications and, unless told to keep them,
/// reads and hands back every received buffer at once.
class RecordingPort : public MidiPort {
public:
    using MidiPort::MidiPort;
    using MidiPort::PrepareAndAdd;

    void OnConnect() override
    {
        events.push_back({MIDI_NOTIFY_CONNECT});
        MidiPort::OnConnect();
        if (onConnect)
            onConnect();
    }
    void OnIncomingMessage() override
    {
        events.push_back({MIDI_NOTIFY_INCOMING_MESSAGE});
        Drain(false);
    }
    void OnIncomingError() override
    {
        events.push_back({MIDI_NOTIFY_INCOMING_ERROR});
        Drain(true);
    }
    void OnDisconnect() override { events.push_back({MIDI_NOTIFY_DISCONNECT}); }
    void OnShortData(std::uint32_t packed) override { events.push_back({MIDI_NOTIFY_SHORT_DATA, packed}); }
    void OnShortError(std::uint32_t packed) override { events.push_back({MIDI_NOTIFY_SHORT_ERROR, packed}); }
    void OnSent(const void* data, unsigned length) override
    {
        const auto* p = static_cast<const std::uint8_t*>(data);
        sent.emplace_back(p, p + length);
    }

    int Count(MidiNotifyCode code) const
    {
        int n = 0;
        for (const Event& e : events)
            n += e.code == code ? 1 : 0;
        return n;
    }

    bool keepBuffers = false;        // keep received buffers instead of handing them back
    std::function<void()> onConnect; // runs inside OnConnect (a connect sequence that waits)
    std::vector<Event> events;
    std::vector<Bytes> received;     // SysEx buffers, in order
    std::vector<Bytes> errors;       // error buffers, in order
    std::vector<Bytes> sent;         // what OnSent saw
    std::vector<TPtr<_MidiBuffer>> kept;

private:
    void Drain(bool errorQueue)
    {
        TPtr<_MidiBuffer> buffer;
        while (errorQueue ? GetIncomingError(buffer) : GetIncomingMessage(buffer)) {
            (errorQueue ? errors : received).emplace_back(buffer->Data(), buffer->Data() + buffer->BytesRecorded());
            if (keepBuffers)
                kept.push_back(buffer);
            else
                ReleaseIncomingMessage(buffer);
            buffer = nullptr;
        }
    }
};

/// Pumps the port until done() holds or the deadline passes.
inline bool PumpUntil(MidiPort& port, const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        port.PumpMessages();
    }
    return true;
}

/// Runs the thread's event loop until done() holds or the deadline passes.
inline bool ProcessUntil(const std::function<bool()>& done, std::chrono::milliseconds limit = 5000ms)
{
    const auto deadline = std::chrono::steady_clock::now() + limit;
    QTimer tick; // wakes the loop to look at the deadline
    tick.start(10);
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline)
            return false;
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

/// A SysEx of length bytes: F0, a counting pattern of data bytes, F7.
inline Bytes MakeSysEx(std::size_t length, std::uint8_t seed = 0)
{
    Bytes b(length);
    b.front() = 0xF0;
    for (std::size_t i = 1; i + 1 < length; ++i)
        b[i] = static_cast<std::uint8_t>((i + seed) & 0x7F);
    b.back() = 0xF7;
    return b;
}

/// The RtMidi backend on a MIDI system that is not there: logged errors, no
/// ports, failed opens, and no exception.
inline void ExpectMidiSystemUnavailable(RtMidiBackend::Api api, TestEnvironment& env)
{
    auto backend = std::make_shared<RtMidiBackend>(api);
    EXPECT_TRUE(backend->InputPorts().empty());
    EXPECT_TRUE(backend->OutputPorts().empty());
    EXPECT_TRUE(env.logger->Contains(QStringLiteral("Cannot list the MIDI input ports of %1").arg(backend->Name())));
    EXPECT_TRUE(env.logger->Contains(QStringLiteral("Cannot list the MIDI output ports of %1").arg(backend->Name())));

    RecordingPort port(true, backend);
    EXPECT_FALSE(port.OpenPort(0, 0, 1000));
    EXPECT_TRUE(env.logger->Contains("Failed to open MIDI input Port (0x6 "));
    EXPECT_FALSE(port.OpenPort(-1, 0, 1000));
    EXPECT_TRUE(env.logger->Contains("Failed to open MIDI output Port (0x6 "));
    EXPECT_FALSE(port.IsInputOpen());
    EXPECT_FALSE(port.IsOutputOpen());
    EXPECT_FALSE(port.SendClock());
}

} // namespace miditest
