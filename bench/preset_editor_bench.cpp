// Opening the preset editor on a connected module at the MIDI wire rate
// (the simulated module in virtual time, offscreen): the editor asks the
// module for every bound parameter, one at a time. Prints the virtual time
// from the show to the last reply, the wire time of those requests and
// replies (both directions added: each reply waits for its request), and
// their ratio; the goal is 1.1 or less.
// Usage: preset_editor_bench [--max-ratio R] [profile name, default "full"]
// Exits 1 when the module does not connect, nothing was asked, or the ratio
// passes --max-ratio.
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "core/resources/GuiFont.h"
#include "editors/EditPopup.h"
#include "midi/LoopbackBackend.h"
#include "module/NameLists.h"
#include "module/Proteus.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "sim/Module.h"
#include "sim/Profile.h"
#include "sim/VirtualLoopback.h"
#include "support/ConnectSupport.h"
#include "ui/framework/RootListener.h"

#include <QApplication>
#include <QTemporaryDir>

#include <cstdio>
#include <cstring>
#include <memory>

namespace {

class QuietPresenter : public MessagePresenter {
public:
    int Present(QObject*, const QString&, const QString&, unsigned) override { return msgbox::IdOk; }
};

class Owner : public PopupListener {
public:
    bool OnPopupClosing() override { return true; }
};

constexpr double kMicrosPerByte = 320.0;

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    double maxRatio = 0;
    QString profileName = QStringLiteral("full");
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--max-ratio") == 0 && i + 1 < argc)
            maxRatio = std::atof(argv[++i]);
        else
            profileName = QString::fromLocal8Bit(argv[i]);
    }
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
    InstallGuiFont();
    RegisterAllNameLists();

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

    int result = 0;
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
        RootListener root(&proteus);
        auto editor = std::make_unique<EditPopup>(QStringLiteral("Edit"), true, &root, nullptr);
        root.AddControl(editor.get());
        root.OnDeviceConnected();
        Owner owner;

        link->settle();
        const std::size_t first = link->withDevice([](sim::Device& d) { return d.transcript().size(); });
        const std::int64_t start = link->NowMs();
        const auto startMicros = link->withDevice([](sim::Device& d) {
            return d.transcript().empty() ? sim::SimTime(0) : d.transcript().entries().back().arrived;
        });
        editor->Activate();
        editor->Show(&owner, QStringLiteral("Edit Layer"));
        link->settle();
        (void)start;

        const auto entries = link->withDevice([](sim::Device& d) { return d.transcript().entries(); });
        double wireMicros = 0;
        long long requests = 0;
        sim::SimTime begin = sim::SimTime::max();
        sim::SimTime end(0);
        for (std::size_t i = first; i < entries.size(); ++i) {
            const sim::TranscriptEntry& e = entries[i];
            wireMicros += e.bytes.size() * kMicrosPerByte;
            if (e.direction == sim::Direction::ToModule)
                ++requests;
            begin = std::min(begin, e.sent);
            end = std::max(end, e.arrived);
        }
        (void)startMicros;
        if (requests == 0) {
            std::fprintf(stderr, "the editor asked nothing\n");
            return 1;
        }
        const double elapsedMicros = double((end - begin).count());
        const double ratio = elapsedMicros / wireMicros;
        std::printf("preset editor open (%s): %lld requests, %.1f ms from first request to last reply, "
                    "%.1f ms on the wire, ratio %.3f\n",
                    qPrintable(profileName), requests, elapsedMicros / 1000.0, wireMicros / 1000.0, ratio);
        if (maxRatio > 0 && ratio > maxRatio) {
            std::fprintf(stderr, "ratio %.3f passes %.3f\n", ratio, maxRatio);
            result = 1;
        }
        editor.reset();
    }
    platform::SetCurrentClock(nullptr);
    link->stop();
    return result;
}
