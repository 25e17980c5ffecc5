// The second set of controls, offscreen:
// 1. The item list with 20,000 names: the time to fill it (the list's rows
//    and one paint of the view), then the time of each filter keystroke while
//    a six-letter word is typed and deleted again, each with one paint.
// 2. The keyboard's clock: 1,000 ticks at 180 beats a minute, timed where the
//    MIDI backend receives them, against the tick period of
//    floor(60000 / 180 / 24 + 0.5) = 14 ms: the error of each tick against
//    tick 0 + n periods (99th percentile) and of tick 1,000.
// Usage: selection_bench
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "midi/MidiBackend.h"
#include "midi/MidiMessages.h"
#include "midi/MidiPort.h"
#include "platform/SettingsStore.h"
#include "ui/controls/ItemListCtrl.h"
#include "ui/controls/KeyboardLogic.h"
#include "ui/framework/ControlListener.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <mutex>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

class BenchOwner : public ControlListener {
public:
    bool RequestParameterValues(ParamRecord*) override { return true; }
    bool RequestParameterMinMax(ParamRecord*) override { return true; }
    bool EditParameter(ParamRecord*) override { return true; }
    QString GetObjectName(int, int romId, int index) override
    {
        static const char* const words[] = {"Grand", "Strings", "Fretless", "Drawbar", "Saw Lead", "Glass Pad", "Choir",
                                            "Brass", "Flute", "Bells", "Sweep", "Kit"};
        static const char* const cats[] = {"Pno", "Str", "Bas", "Org", "Syn", "Pad", "Vox", "Brs", "Wnd", "Bel"};
        return QStringLiteral("%1:%2 %3").arg(QLatin1String(cats[index % 10]), QLatin1String(words[(index * 7 + romId) % 12]))
            .arg(index);
    }
    Proteus* GetProteus() override { return nullptr; }
    MidiPort* GetAltPort() override { return nullptr; }
    bool IsDeviceReady() override { return true; }
    void AddPopup(const QString&, QWidget*) override {}
    QWidget* FindPopup(const QString&) override { return nullptr; }
    void RemovePopup(const QString&) override {}
};

/// A MIDI backend with one output that notes when each short message reaches it.
class StampingBackend : public MidiBackend {
public:
    class Output : public MidiOutputConnection {
    public:
        explicit Output(StampingBackend* owner) : m_owner(owner) {}
        MidiResult SendShort(std::span<const std::uint8_t> bytes) override
        {
            const Clock::time_point now = Clock::now();
            if (!bytes.empty() && bytes[0] == 0xF8) {
                std::lock_guard<std::mutex> guard(m_owner->lock);
                m_owner->clockTimes.push_back(now);
            }
            return MidiResult::Ok();
        }
        MidiResult SendLong(std::span<const std::uint8_t>) override { return MidiResult::Ok(); }
        void Close() override {}

    private:
        StampingBackend* m_owner;
    };
    QString Name() const override { return QStringLiteral("Stamping"); }
    std::vector<MidiPortInfo> InputPorts() override { return {}; }
    std::vector<MidiPortInfo> OutputPorts() override { return {{0, QStringLiteral("stamp")}}; }
    std::unique_ptr<MidiInputConnection> OpenInput(int, MidiInputSink*, MidiResult* result) override
    {
        *result = MidiResult::Fail(MidiError::BadDeviceId);
        return nullptr;
    }
    std::unique_ptr<MidiOutputConnection> OpenOutput(int, MidiOutputSink*, MidiResult* result) override
    {
        *result = MidiResult::Ok();
        return std::make_unique<Output>(this);
    }
    bool ReportsOpenAndClose() const override { return false; }

    std::mutex lock;
    std::vector<Clock::time_point> clockTimes;
};

double Percentile(std::vector<double> v, double p)
{
    if (v.empty())
        return 0;
    std::sort(v.begin(), v.end());
    return v[std::min(v.size() - 1, size_t(std::ceil(p * double(v.size())) - 1))];
}

void ItemListBench()
{
    BenchOwner owner;
    ItemListCtrl list(OBJECT_PRESET, &owner, nullptr);
    list.resize(300, 500);
    list.show();
    list.simmName = [](int simm) { return simm ? QStringLiteral("Rom %1").arg(simm) : QStringLiteral("User"); };
    list.simmSlots = [] {
        std::vector<SimmSlot> slots8;
        for (int s = 0; s < 8; ++s) {
            SimmSlot slot;
            slot.simmId = s == 0 ? 0 : s + 2;
            slot.presets = 2500;
            slots8.push_back(slot);
        }
        return slots8;
    };
    QElapsedTimer t;
    t.start();
    list.Populate();
    list.viewport()->repaint();
    const double fill = double(t.nsecsElapsed()) / 1e6;
    // Later fills reuse memory the process already holds; the first one
    // (the popup's first showing) also pays for fresh pages.
    std::vector<double> refills;
    for (int r = 0; r < 5; ++r) {
        t.restart();
        list.Populate();
        list.viewport()->repaint();
        refills.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    std::printf("item list: %d rows filled in %.2f ms the first time, %.2f ms (median) after (goal < 50 ms)\n",
                list.model()->rowCount(), fill, Percentile(refills, 0.5));

    const QString word = QStringLiteral("strings").left(6); // "string"
    std::vector<double> keystrokes;
    auto key = [&](const QString& text) {
        t.restart();
        list.SetFilter(text);
        list.viewport()->repaint();
        keystrokes.push_back(double(t.nsecsElapsed()) / 1e6);
    };
    for (int n = 1; n <= word.size(); ++n)
        key(word.left(n));
    for (int n = int(word.size()) - 1; n >= 0; --n)
        key(word.left(n));
    std::printf("item list: %zu filter keystrokes, median %.3f ms, worst %.3f ms (goal < 5 ms each)\n",
                keystrokes.size(), Percentile(keystrokes, 0.5), *std::max_element(keystrokes.begin(), keystrokes.end()));
    for (size_t i = 0; i < keystrokes.size(); ++i)
        std::printf("  %-6s %.3f ms\n",
                    (i < size_t(word.size()) ? word.left(int(i) + 1) : word.left(int(2 * word.size() - 1 - i))).toLatin1().constData(),
                    keystrokes[i]);
}

void ClockBench()
{
    GetGlobalConfigurations().SetBool(ConfigSendClock, true);
    GetGlobalConfigurations().SetDword(RepeatSpeed, 180);
    auto backend = std::make_shared<StampingBackend>();
    MidiPort port(false, backend);
    port.OpenPort(-1, 0, 1000);
    QApplication::processEvents();
    if (!port.IsOutputOpen()) {
        std::printf("keyboard clock: the port did not open\n");
        return;
    }
    BenchOwner owner;
    KeyboardLogic keys(&owner);
    keys.SetTickSender([&port](std::uint32_t packed, int channel) {
        const std::optional<std::uint32_t> message = MidiThruMessage(packed, channel);
        return message && port.Send(*message);
    });
    keys.SetEchoHandler([](const KeyboardMessage&) {});
    const int period = KeyboardLogic::PeriodMs(180);
    keys.Activate();
    QElapsedTimer wait;
    wait.start();
    for (;;) {
        QApplication::processEvents(QEventLoop::AllEvents, 5);
        std::lock_guard<std::mutex> guard(backend->lock);
        if (backend->clockTimes.size() >= 1001 || wait.elapsed() > 30000)
            break;
    }
    keys.Deactivate();
    std::vector<Clock::time_point> times;
    {
        std::lock_guard<std::mutex> guard(backend->lock);
        times = backend->clockTimes;
    }
    if (times.size() < 1001) {
        std::printf("keyboard clock: only %zu ticks arrived\n", times.size());
        return;
    }
    std::vector<double> errors;
    for (size_t n = 1; n <= 1000; ++n) {
        const double at = std::chrono::duration<double, std::milli>(times[n] - times[0]).count();
        errors.push_back(std::abs(at - double(n) * period));
    }
    const double last = std::chrono::duration<double, std::milli>(times[1000] - times[0]).count();
    std::printf("keyboard clock: period %d ms; tick error p50 %.3f ms, p99 %.3f ms, worst %.3f ms (goal p99 < 1 ms)\n",
                period, Percentile(errors, 0.5), Percentile(errors, 0.99), *std::max_element(errors.begin(), errors.end()));
    std::printf("keyboard clock: tick 1000 at %.3f ms after tick 0 (goal within 2 ms of %d ms)\n", last, 1000 * period);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
    GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
    ItemListBench();
    ClockBench();
    platform::SetCurrentSettingsStore(nullptr);
    return 0;
}
