// The controls' own costs, offscreen:
// 1. Edit-to-wire latency: a slider bound to a module parameter, connected to
//    the simulated module over the loopback, gets 10,000 synthetic arrow-key
//    steps; each step's time runs from the key event until the slider's edit
//    has been handed to the MIDI backend (the edit path is synchronous, so
//    the key handler returns only after the send). Median and 99th percentile.
// 2. Paint time of a dialog holding 100 controls of the self-drawn kinds:
//    median and 99th percentile of 200 full renders.
// Usage: controls_bench [profile name, default "full"]
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "midi/LoopbackBackend.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "sim/Module.h"
#include "sim/Profile.h"
#include "sim/VirtualLoopback.h"
#include "support/ConnectSupport.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/ProgressCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/RootListener.h"

#include <QApplication>
#include <QImage>
#include <QKeyEvent>
#include <QPainter>
#include <QTemporaryDir>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <memory>
#include <vector>

namespace {

class QuietPresenter : public MessagePresenter {
public:
    int Present(QObject*, const QString&, const QString&, unsigned) override { return msgbox::IdOk; }
};

struct Spread {
    double median = 0;
    double p99 = 0;
};

long long MessagesToModule(sim::VirtualLoopback& link)
{
    link.settle();
    return link.withDevice([](sim::Device& d) { return (long long)d.transcript().toModule().size(); });
}

Spread SpreadOf(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    if (ms.empty())
        return {};
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, ms.size() * 99 / 100)]};
}

using Clock = std::chrono::steady_clock;

double MsSince(Clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(Clock::now() - start).count();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString profileName = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("full");
    platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
    GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
    SetMessagePresenter(std::make_shared<QuietPresenter>());

    QTemporaryDir folder;
    GlobalStyle style;
    DataLocations locations;
    locations.documentsFolder = folder.filePath(QStringLiteral("docs"));
    locations.programFolder = folder.filePath(QStringLiteral("bin"));
    style.SetDataLocations(locations);
    style.Initialise();

    std::optional<sim::Profile> profile = sim::Profile::load(profileName);
    if (!profile) {
        std::fprintf(stderr, "no profile %s\n", qPrintable(profileName));
        return 1;
    }
    GetGlobalConfigurations().SetDword(Capabilities, proteustest::CapabilitiesOf(*profile));
    sim::Module module(*profile);
    auto backend = std::make_shared<LoopbackBackend>();
    auto link = std::make_shared<sim::VirtualLoopback>(module, backend, backend->AddDevice(QStringLiteral("Proteus")));
    link->start();
    platform::SetCurrentClock(link);

    {
        Proteus proteus(backend);
        if (!proteus.OpenPort(0, 0, 0, 1000, 0, 0, false)) {
            std::fprintf(stderr, "cannot open the port\n");
            return 1;
        }
        for (int i = 0; i < 100 && !proteus.IsReady(); ++i)
            proteus.PumpMessages();
        if (!proteus.IsReady()) {
            std::fprintf(stderr, "the module did not connect\n");
            return 1;
        }

        // 1. Edit-to-wire latency.
        {
            RootListener root(&proteus);
            QWidget dialog;
            dialog.resize(300, 80);
            auto* slider = new TrackerCtrl(&root, &dialog);
            slider->setGeometry(10, 10, 250, 40);
            slider->SetCaption(QStringLiteral("Transpose"));
            ParamRecord* record = proteus.FindParameter(MASTER_TRANSPOSE);
            root.RequestParameterMinMax(record);
            slider->Setup(0, false, false);
            slider->BindParameter(nullptr, 0, record);
            root.AddParameter(record);
            root.AddControl(slider);
            slider->Activate();
            dialog.show();
            slider->setFocus();
            QCoreApplication::processEvents();
            if (record->maximum <= record->minimum) {
                std::fprintf(stderr, "MASTER_TRANSPOSE has no range\n");
                return 1;
            }
            const long long messagesBefore = MessagesToModule(*link);
            std::vector<double> steps;
            steps.reserve(10000);
            int sent = 0;
            for (int i = 0; i < 10000; ++i) {
                const int key = slider->Value() < record->maximum && (i % 2 == 0 || slider->Value() <= record->minimum)
                                    ? Qt::Key_Up
                                    : Qt::Key_Down;
                const int before = slider->Value();
                QKeyEvent press(QEvent::KeyPress, key, Qt::NoModifier);
                const Clock::time_point start = Clock::now();
                QApplication::sendEvent(slider, &press);
                steps.push_back(MsSince(start));
                if (slider->Value() != before)
                    ++sent;
                QKeyEvent release(QEvent::KeyRelease, key, Qt::NoModifier);
                QApplication::sendEvent(slider, &release);
                if (i % 100 == 0)
                    QCoreApplication::processEvents();
            }
            const Spread s = SpreadOf(steps);
            const long long messages = MessagesToModule(*link) - messagesBefore;
            std::printf("edit-to-wire latency of a slider key step on \"%s\": %d edits of 10000 steps, %lld messages "
                        "reached the module, median %.3f ms, 99th percentile %.3f ms (goal: under 1 ms and 5 ms)\n",
                        qPrintable(profileName), sent, messages, s.median, s.p99);
            root.ForgetControls();
        }

        // 2. Painting a dialog of 100 controls.
        {
            RootListener root(&proteus);
            QWidget dialog;
            dialog.resize(1000, 700);
            std::vector<ParamRecord> records(100);
            for (int i = 0; i < 100; ++i) {
                const QRect cell((i % 5) * 200 + 5, (i / 5) * 34 + 5, 190, 30);
                ParamRecord& r = records[std::size_t(i)];
                r = ParamRecord(QStringLiteral("P"), 20000 + i, i % 2);
                r.maximum = 127;
                QWidget* w = nullptr;
                switch (i % 5) {
                case 0: {
                    auto* b = new ButtonCtrl(&root, &dialog);
                    b->SetCaption(QStringLiteral("Button %1").arg(i));
                    w = b;
                    break;
                }
                case 1: {
                    auto* s = new SwitchCtrl(&root, &dialog);
                    s->SetCaption(QStringLiteral("Switch %1").arg(i));
                    s->BindParameter(nullptr, 0, &r);
                    s->Activate();
                    w = s;
                    break;
                }
                case 2: {
                    auto* l = new LitButtonCtrl(&root, &dialog);
                    l->SetCaption(QStringLiteral("Lamp %1").arg(i));
                    w = l;
                    break;
                }
                case 3: {
                    auto* t = new TrackerCtrl(&root, &dialog);
                    t->setGeometry(cell);
                    t->SetCaption(QStringLiteral("Slider %1").arg(i));
                    t->Setup(0, false, false);
                    t->SetRange(0, 127);
                    t->SetPosition(i);
                    w = t;
                    break;
                }
                default: {
                    auto* p = new ProgressCtrl(&root, &dialog);
                    p->SetPos(i);
                    w = p;
                    break;
                }
                }
                w->setGeometry(cell);
            }
            dialog.show();
            QCoreApplication::processEvents();
            QImage image(dialog.size(), QImage::Format_ARGB32_Premultiplied);
            std::vector<double> paints;
            for (int i = 0; i < 200; ++i) {
                const Clock::time_point start = Clock::now();
                dialog.render(&image);
                paints.push_back(MsSince(start));
            }
            const Spread s = SpreadOf(paints);
            std::printf("painting a dialog of 100 controls: median %.3f ms, 99th percentile %.3f ms "
                        "(goal: under 16 ms)\n",
                        s.median, s.p99);
        }
        proteus.ClosePort();
    }
    link->stop();
    platform::SetCurrentClock(nullptr);
    style.Shutdown();
    return 0;
}
