// Connects the editor to the simulated module at the MIDI wire rate (virtual
// time with the module's serial lines, 320 us a byte each way) and prints how
// long the connect took, the bytes moved, and the ratio of that time to the
// pure wire time of those bytes; then the same for a second connect with the
// caches warm; then a full backup of the module's user data and a full
// restore of it, measured the same way. Usage: connect_bench [profile name,
// default "full"]
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "midi/LoopbackBackend.h"
#include "module/Proteus.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"
#include "sim/Module.h"
#include "sim/Profile.h"
#include "sim/VirtualLoopback.h"
#include "support/ConnectSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

class QuietPresenter : public MessagePresenter {
public:
    int Present(QObject*, const QString&, const QString&, unsigned) override { return msgbox::IdOk; }
};

struct Moved {
    long long toModule = 0;
    long long fromModule = 0;
};

Moved BytesMoved(sim::VirtualLoopback& link)
{
    link.settle();
    return link.withDevice([](sim::Device& d) {
        Moved m;
        for (const QByteArray& b : d.transcript().toModule())
            m.toModule += b.size();
        for (const QByteArray& b : d.transcript().fromModule())
            m.fromModule += b.size();
        return m;
    });
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString profileName = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("full");
    platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
    GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
    SetMessagePresenter(std::make_shared<QuietPresenter>());

    QTemporaryDir folder;
    GlobalResources resources;
    DataLocations locations;
    locations.documentsFolder = folder.filePath(QStringLiteral("docs"));
    locations.programFolder = folder.filePath(QStringLiteral("bin"));
    resources.SetDataLocations(locations);

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
        Moved before;
        for (const char* which : {"first connect (cold caches)", "second connect (warm caches)"}) {
            const std::int64_t start = link->NowMs();
            if (!proteus.OpenPort(0, 0, 0, 1000, 0, 0, false)) {
                std::fprintf(stderr, "cannot open the port\n");
                return 1;
            }
            // The connect sequence runs inside the pump that delivers the connect.
            for (int i = 0; i < 100 && !proteus.IsReady(); ++i)
                proteus.PumpMessages();
            const std::int64_t took = link->NowMs() - start;
            const Moved after = BytesMoved(*link);
            const long long out = after.toModule - before.toModule;
            const long long in = after.fromModule - before.fromModule;
            // Each direction has its own line: the busier one bounds the time.
            const double wireMs = double(std::max(out, in)) * 0.32;
            std::printf("%s on \"%s\": %s, %.3f s, %lld bytes to the module, %lld bytes from it, "
                        "wire time %.3f s, ratio %.2f\n",
                        which, qPrintable(profileName), proteus.IsReady() ? "connected" : "NOT connected",
                        double(took) / 1000.0, out, in, wireMs / 1000.0, wireMs > 0 ? double(took) / wireMs : 0.0);
            before = after;
            proteus.ClosePort();
        }

        // A full backup and a full restore on a connected module.
        if (!proteus.OpenPort(0, 0, 0, 1000, 0, 0, false)) {
            std::fprintf(stderr, "cannot open the port\n");
            return 1;
        }
        for (int i = 0; i < 100 && !proteus.IsReady(); ++i)
            proteus.PumpMessages();
        before = BytesMoved(*link);
        const QString backupFolder = folder.filePath(QStringLiteral("backup"));
        QDir().mkpath(backupFolder);
        for (const bool backup : {true, false}) {
            const std::int64_t start = link->NowMs();
            const bool ok = proteus.BackupModule(backupFolder, backup, true, true, true, true, true);
            const std::int64_t took = link->NowMs() - start;
            const Moved after = BytesMoved(*link);
            const long long out = after.toModule - before.toModule;
            const long long in = after.fromModule - before.fromModule;
            const double wireMs = double(std::max(out, in)) * 0.32;
            std::printf("full %s on \"%s\": %s, %.3f s, %lld bytes to the module, %lld bytes from it, "
                        "wire time %.3f s, ratio %.2f\n",
                        backup ? "backup" : "restore", qPrintable(profileName), ok ? "done" : "FAILED",
                        double(took) / 1000.0, out, in, wireMs / 1000.0, wireMs > 0 ? double(took) / wireMs : 0.0);
            before = after;
        }
        proteus.ClosePort();
    }
    link->stop();
    platform::SetCurrentClock(nullptr);
    return 0;
}
