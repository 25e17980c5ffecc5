#pragma once
// Support for the application shell's tests: a private settings store,
// logger and message recorder, a data folder of their own, and a document
// connected to the simulated module over the loopback MIDI system in virtual
// time (port A the module, port 1 the module's B input, port 2 a keyboard).
#include "app/Document.h"
#include "core/GlobalResources.h"
#include "core/Settings.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiTestSupport.h"
#include "module/Proteus.h"
#include "platform/Clock.h"
#include "sim/Module.h"
#include "sim/Profile.h"
#include "sim/VirtualLoopback.h"
#include "support/ConnectSupport.h"

#include <gtest/gtest.h>

#include <QTemporaryDir>

#include <memory>

namespace apptest {

/// A data folder of its own: Documents and the program folder inside a temporary folder.
inline std::shared_ptr<DataLocations> MakeLocations(const QTemporaryDir& folder)
{
    auto l = std::make_shared<DataLocations>();
    l->documentsFolder = folder.filePath(QStringLiteral("docs"));
    l->programFolder = folder.filePath(QStringLiteral("bin"));
    return l;
}

/// The device dialog's answers: records each run and accepts with the
/// change made by edit, or cancels when there is none.
struct ScriptedDeviceDialog {
    int runs = 0;
    std::function<void(Document::DeviceSettings&)> edit;
    Document::DeviceSettings shown;

    Document::DeviceDialogRunner Runner()
    {
        return [this](Document::DeviceSettings& fields) {
            ++runs;
            shown = fields;
            if (!edit)
                return false;
            edit(fields);
            return true;
        };
    }
};

/// A document on the simulated module, connected (the whole connect sequence).
class ConnectedDocumentTest : public ::testing::Test {
protected:
    void SetUp() override {}
    void TearDown() override
    {
        document.reset();
        if (link)
            link->stop();
        platform::SetCurrentClock(nullptr);
        link.reset();
        backend.reset();
        module.reset();
        resources.reset();
        env.reset();
    }

    /// Builds the world and the document with the port settings given (before
    /// its ports open), then opens the ports and pumps until both pairs are connected.
    void Start(int bPort = 1, int controllerPort = 2, const QByteArray& profile = R"({"base": "minimal"})")
    {
        env = std::make_unique<miditest::TestEnvironment>();
        resources = std::make_unique<GlobalResources>();
        resources->SetDataLocations(*MakeLocations(folder));
        QString error;
        std::optional<sim::Profile> p = sim::Profile::fromJson(profile, &error);
        ASSERT_TRUE(p) << error.toStdString();
        module = std::make_unique<sim::Module>(*p);
        backend = std::make_shared<LoopbackBackend>();
        link = std::make_shared<sim::VirtualLoopback>(*module, backend, backend->AddDevice(QStringLiteral("Proteus")));
        bDevice = backend->AddDevice(QStringLiteral("Proteus B"));
        keyboard = backend->AddDevice(QStringLiteral("Keyboard"));
        spareDevice = backend->AddDevice(QStringLiteral("Spare"));
        link->start();
        platform::SetCurrentClock(link);

        GlobalConfigurations& settings = GetGlobalConfigurations();
        settings.SetDword(InputPort, 0);
        settings.SetDword(OutputPort, 0);
        settings.SetDword(BPort, static_cast<std::uint32_t>(bPort));
        settings.SetDword(ControllerPort, static_cast<std::uint32_t>(controllerPort));
        settings.SetDword(SysExDelay, 0);
        settings.SetDword(Capabilities, proteustest::CapabilitiesOf(module->profile()));

        document = std::make_unique<Document>(backend);
        document->SetDeviceDialogRunner(dialog.Runner());
        ASSERT_TRUE(document->OnNewDocument());
        PumpUntilConnected(bPort != -1 || controllerPort != -1);
        ASSERT_TRUE(document->GetProteus().IsReady());
    }

    void PumpUntilConnected(bool alternate)
    {
        Proteus& proteus = document->GetProteus();
        for (int i = 0; i < 200 && !(proteus.IsReady() && (!alternate || document->GetAltPort().IsConnectNotified()));
             ++i) {
            proteus.PumpMessages();
            if (alternate)
                document->GetAltPort().PumpMessages();
        }
    }

    /// What reached the module on port A so far.
    std::vector<QByteArray> ToModule()
    {
        link->settle();
        return link->withDevice([](sim::Device& d) { return d.transcript().toModule(); });
    }

    miditest::RecordingPresenter& Presenter() { return *env->presenter; }

    QTemporaryDir folder;
    std::unique_ptr<miditest::TestEnvironment> env;
    std::unique_ptr<GlobalResources> resources;
    std::unique_ptr<sim::Module> module;
    std::shared_ptr<LoopbackBackend> backend;
    std::shared_ptr<sim::VirtualLoopback> link;
    std::shared_ptr<LoopbackDevice> bDevice;
    std::shared_ptr<LoopbackDevice> keyboard;
    std::shared_ptr<LoopbackDevice> spareDevice;
    ScriptedDeviceDialog dialog;
    std::unique_ptr<Document> document;
};

} // namespace apptest
