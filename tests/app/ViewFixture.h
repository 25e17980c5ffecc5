#pragma once
// The main panel on the simulated module: a document whose connection talks
// to a module of a profile over the loopback MIDI system in virtual time, the
// shared style (colours, skin, documents) in a private folder, and the panel
// built and bound as the program does it. Connect() runs the whole connect
// sequence; what reached the module is in ToModule().
//
//   class MyTest : public viewtest::ViewFixture {};
//   TEST_F(MyTest, Something)
//   {
//       Start(R"({"base": "full"})");           // SetUp starts "minimal"
//       Connect();
//       const size_t mark = ToModule().size();
//       ... drive the panel ...
//       EXPECT_EQ(Since(mark), ...);
//   }

#include "app/Document.h"
#include "app/View.h"
#include "core/Settings.h"
#include "core/resources/GlobalStyle.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiTestSupport.h"
#include "module/Proteus.h"
#include "platform/Clock.h"
#include "sim/Module.h"
#include "sim/SysExHex.h"
#include "sim/VirtualLoopback.h"
#include "support/ConnectSupport.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace viewtest {

class ViewFixture : public ::testing::Test {
protected:
    void SetUp() override { Start(R"({"base": "minimal"})"); }
    void TearDown() override { Stop(); }

    /// (Re)builds everything for a module of profileJson; the panel is bound
    /// and not connected. makeView builds a panel of a derived class.
    void Start(const QByteArray& profileJson, std::function<std::unique_ptr<View>(Document&)> makeView = {})
    {
        Stop();
        env = std::make_unique<miditest::TestEnvironment>();
        folder = std::make_unique<QTemporaryDir>();
        style = std::make_unique<GlobalStyle>();
        DataLocations l;
        l.documentsFolder = folder->filePath(QStringLiteral("docs"));
        l.programFolder = folder->filePath(QStringLiteral("bin"));
        style->SetDataLocations(l);
        style->SetRepaintAllWindows([] {});
        style->Initialise();

        QString error;
        std::optional<sim::Profile> profile = sim::Profile::fromJson(profileJson, &error);
        ASSERT_TRUE(profile) << error.toStdString();
        // The capabilities a probe of this module finds, as a known module has them.
        GetGlobalConfigurations().SetDword(Capabilities, proteustest::CapabilitiesOf(*profile));
        module = std::make_unique<sim::Module>(*profile);
        backend = std::make_shared<LoopbackBackend>();
        link = std::make_shared<sim::VirtualLoopback>(*module, backend, backend->AddDevice(QStringLiteral("Proteus")));
        bDevice = backend->AddDevice(QStringLiteral("Proteus B"));
        link->start();
        platform::SetCurrentClock(link);

        document = std::make_unique<Document>(backend);
        document->SetInputPort(0);
        document->SetOutputPort(0);
        view = makeView ? makeView(*document) : std::make_unique<View>(*document);
        document->SetView(view.get());
        view->OnInitialUpdate();
    }

    void Stop()
    {
        if (document)
            document->SetView(nullptr);
        view.reset();
        document.reset();
        if (link)
            link->stop();
        platform::SetCurrentClock(nullptr);
        link.reset();
        bDevice.reset();
        backend.reset();
        module.reset();
        if (style) {
            style->Shutdown();
            style.reset();
        }
        folder.reset();
        env.reset();
    }

    Proteus& Connection() { return document->GetProteus(); }

    /// Opens the module's ports and runs the connect sequence to its end.
    void Connect()
    {
        ASSERT_TRUE(Connection().OpenPort(0, 0, 0, 1000, 0, 0, false));
        for (int i = 0; i < 200 && !Connection().IsReady(); ++i)
            Connection().PumpMessages();
        ASSERT_TRUE(Connection().IsReady()) << TranscriptText().right(3000).toStdString();
    }

    /// Closes the module's ports; the disconnect has gone through on return.
    void Disconnect()
    {
        Connection().ClosePort();
        QCoreApplication::processEvents();
    }

    /// Opens the module's B input (the alternate port's output) on the second device.
    void OpenBPort()
    {
        document->SetBPort(1);
        ASSERT_TRUE(document->GetAltPort().OpenPort(-1, 1, 1000));
        for (int i = 0; i < 20 && !document->GetAltPort().IsOutputOpen(); ++i)
            document->GetAltPort().PumpMessages();
        ASSERT_TRUE(document->GetAltPort().IsOutputOpen());
    }

    /// What reached the module so far.
    std::vector<QByteArray> ToModule()
    {
        link->settle();
        return link->withDevice([](sim::Device& d) { return d.transcript().toModule(); });
    }
    /// What reached the module after the first mark messages.
    std::vector<QByteArray> Since(size_t mark)
    {
        std::vector<QByteArray> all = ToModule();
        return mark < all.size() ? std::vector<QByteArray>(all.begin() + std::ptrdiff_t(mark), all.end())
                                 : std::vector<QByteArray>{};
    }
    QString TranscriptText()
    {
        return link->withDevice([](sim::Device& d) { return d.transcript().dump(); });
    }
    /// The module's value of a parameter once it has taken what was sent (on the
    /// selected channel for channel parameters).
    std::optional<int> ModuleValue(int id)
    {
        link->SleepMs(50); // an edit gets no reply: the module takes it in its own time
        return link->withDevice([&](sim::Device&) { return module->parameterValue(id); });
    }

    std::unique_ptr<miditest::TestEnvironment> env;
    std::unique_ptr<QTemporaryDir> folder;
    std::unique_ptr<GlobalStyle> style;
    std::unique_ptr<sim::Module> module;
    std::shared_ptr<LoopbackBackend> backend;
    std::shared_ptr<sim::VirtualLoopback> link;
    std::shared_ptr<LoopbackDevice> bDevice;
    std::unique_ptr<Document> document;
    std::unique_ptr<View> view;
};

/// The bytes of a parameter edit the panel sends (device id 0).
inline QByteArray EditMessage(int id, int value)
{
    QByteArray m = sim::Hex("F0 18 0F 00 55 01 02");
    const int v = value & 0x3FFF;
    m.append(char(id & 0x7F)).append(char((id >> 7) & 0x7F)).append(char(v & 0x7F)).append(char((v >> 7) & 0x7F));
    m.append(char(0xF7));
    return m;
}

} // namespace viewtest
