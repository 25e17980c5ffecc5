// Two connections in one process, each given a record of services of its own
// (its own simulated module, virtual clock and backend, presenter, settings
// store, file-property store, layer chooser and repaint hook): each service is
// used only through the connection that was given it, never through another
// connection's record or the process-wide one.
#include "support/ConnectSupport.h"
#include "support/ProteusSimFixture.h"

#include "connection/ConnectionServices.h"
#include "core/GlobalResources.h"
#include "core/MainWindowRepaint.h"
#include "core/ObjectKind.h"
#include "core/RegistryKey.h"
#include "core/Settings.h"
#include "dump/LayerChooser.h"
#include "module/ParameterIds.h"
#include "platform/FileProperties.h"

#include <QTemporaryDir>

using namespace proteustest;

namespace {

/// Records the files whose properties it was asked to write or read.
class RecordingPropertyStore final : public platform::FilePropertyStore {
public:
    platform::FilePropertiesResult Write(const QString& path, const platform::SummaryProperties&) override
    {
        written << path;
        return {};
    }
    platform::FilePropertiesResult Read(const QString& path, platform::SummaryProperties&) override
    {
        read << path;
        return {};
    }
    QStringList written;
    QStringList read;
};

/// One connection with everything it uses of its own.
struct Side {
    std::unique_ptr<sim::Module> module;
    std::shared_ptr<LoopbackBackend> backend;
    std::shared_ptr<sim::VirtualLoopback> link;
    std::shared_ptr<miditest::RecordingPresenter> presenter = std::make_shared<miditest::RecordingPresenter>();
    std::shared_ptr<platform::SettingsStore> settings = platform::MakeMemorySettingsStore();
    std::shared_ptr<RecordingPropertyStore> fileProperties = std::make_shared<RecordingPropertyStore>();
    QStringList layerQuestions;
    int repaints = 0;
    std::unique_ptr<TestProteus> proteus;

    /// A module of profile "full" on a loopback of its own, and a connection
    /// given this side's services, opened on it (with the whole connect
    /// sequence when runConnectSequence is set).
    void Start(bool runConnectSequence)
    {
        module = std::make_unique<sim::Module>(*sim::Profile::load(QStringLiteral("full")));
        backend = std::make_shared<LoopbackBackend>();
        link = std::make_shared<sim::VirtualLoopback>(*module, backend, backend->AddDevice(QStringLiteral("Proteus")));
        link->start();

        ConnectionServices services;
        services.clock = link;
        services.settings = settings;
        services.fileProperties = fileProperties;
        services.backend = backend;
        services.presenter = presenter;
        services.chooseLayer = [this](const QString& caption) -> std::optional<int> {
            layerQuestions << caption;
            return std::nullopt; // Cancel: nothing is sent
        };
        services.repaint = [this] { ++repaints; };
        proteus = std::make_unique<TestProteus>(services);
        proteus->runConnectSequence = runConnectSequence;
        ASSERT_TRUE(proteus->OpenPort(0, 0, 0, 1000, 0, 0, false));
        for (int i = 0; i < 100 && !proteus->connectHandled; ++i)
            proteus->PumpMessages();
        ASSERT_TRUE(proteus->IsConnected());
    }

    void Stop()
    {
        proteus.reset();
        if (link)
            link->stop();
    }

    std::optional<int> ModuleValue(int id)
    {
        link->SleepMs(50); // an edit gets no reply: let the module take it
        return link->withDevice([&](sim::Device&) { return module->parameterValue(id); });
    }
    std::size_t SentCount()
    {
        link->settle();
        return link->withDevice([](sim::Device& d) { return d.transcript().toModule().size(); });
    }
};

class ConnectionServicesTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        // The process-wide services, which no connection here may use.
        SetLayerChooser([this](const QString& caption) -> std::optional<int> {
            globalLayerQuestions << caption;
            return std::nullopt;
        });
        SetMainWindowRepaint([this] { ++globalRepaints; });
        platform::SetCurrentFilePropertyStore(globalFileProperties);

        // A data folder for the connect sequence's caches.
        resources = std::make_unique<GlobalResources>();
        DataLocations l;
        l.documentsFolder = folder.filePath(QStringLiteral("docs"));
        l.programFolder = folder.filePath(QStringLiteral("bin"));
        resources->SetDataLocations(l);
        GetGlobalConfigurations().SetDword(Capabilities, CapabilitiesOf(*sim::Profile::load(QStringLiteral("full"))));
    }

    void TearDown() override
    {
        a.Stop();
        b.Stop();
        resources.reset();
        platform::SetCurrentFilePropertyStore(nullptr);
        SetMainWindowRepaint({});
        SetLayerChooser(nullptr);
    }

    /// Nothing reached the process-wide presenter, chooser, repaint hook or file-property store.
    void ExpectProcessWideServicesUnused()
    {
        EXPECT_EQ(env.presenter->texts, QStringList());
        EXPECT_EQ(globalLayerQuestions, QStringList());
        EXPECT_EQ(globalRepaints, 0);
        EXPECT_EQ(globalFileProperties->written + globalFileProperties->read, QStringList());
    }

    miditest::TestEnvironment env; // the process-wide settings store, logger and presenter
    QStringList globalLayerQuestions;
    int globalRepaints = 0;
    std::shared_ptr<RecordingPropertyStore> globalFileProperties = std::make_shared<RecordingPropertyStore>();
    QTemporaryDir folder;
    std::unique_ptr<GlobalResources> resources;
    Side a;
    Side b;
};

TEST_F(ConnectionServicesTest, BothConnectAndEditEachThroughItsOwnServices)
{
    a.Start(true);
    b.Start(true);
    ASSERT_TRUE(a.proteus->IsReady()) << a.presenter->texts.join(u'|').toStdString();
    ASSERT_TRUE(b.proteus->IsReady()) << b.presenter->texts.join(u'|').toStdString();

    ParamRecord* tempoA = a.proteus->FindParameter(MASTER_CLOCK_TEMPO);
    ParamRecord* tempoB = b.proteus->FindParameter(MASTER_CLOCK_TEMPO);
    ASSERT_NE(tempoA, tempoB);
    tempoA->value = 100;
    tempoB->value = 200;
    ASSERT_TRUE(a.proteus->ParameterEdit(tempoA));
    ASSERT_TRUE(b.proteus->ParameterEdit(tempoB));
    EXPECT_EQ(a.ModuleValue(MASTER_CLOCK_TEMPO), 100);
    EXPECT_EQ(b.ModuleValue(MASTER_CLOCK_TEMPO), 200);

    // Every wait of each connect repainted through that connection's hook.
    EXPECT_GT(a.repaints, 0);
    EXPECT_GT(b.repaints, 0);
    ExpectProcessWideServicesUnused();
}

TEST_F(ConnectionServicesTest, ASilentModuleTimesOutOnItsOwnClockAndTellsOnlyItsPresenter)
{
    a.Start(false);
    b.Start(false);
    b.link->withDevice([&](sim::Device&) { b.module->addFault(sim::Fault::Silence()); });
    const int repaintsA = a.repaints;
    const std::int64_t startA = a.link->NowMs();
    const std::int64_t startB = b.link->NowMs();

    EXPECT_FALSE(b.proteus->IdentifyDevice());

    EXPECT_TRUE(b.presenter->texts.contains(QStringLiteral("Device not responding"))) << b.presenter->texts.join(u'|').toStdString();
    EXPECT_GE(b.link->NowMs() - startB, 1000); // the time-out passed on B's clock
    EXPECT_GT(b.repaints, 0);
    EXPECT_EQ(a.link->NowMs(), startA); // and none of it on A's
    EXPECT_EQ(a.repaints, repaintsA);
    EXPECT_EQ(a.presenter->texts, QStringList());
    ExpectProcessWideServicesUnused();

    // A still speaks to its module.
    ParamRecord* tempo = a.proteus->FindParameter(MASTER_CLOCK_TEMPO);
    EXPECT_TRUE(a.proteus->ParameterRequest(tempo));
}

TEST_F(ConnectionServicesTest, LayerQuestionsStoredCountsAndFilePropertiesStayWithTheirConnection)
{
    a.Start(false);
    b.Start(false);
    // Each store holds its own count of presets on SIMM 4.
    const QString romData = GetGlobalConfigurations().KeyPath() + QStringLiteral("\\ROMData\\4");
    ASSERT_TRUE(RegistryKey(romData, true, a.settings).WriteDword(ObjectKindName(OBJECT_PRESET), 7));
    ASSERT_TRUE(RegistryKey(romData, true, b.settings).WriteDword(ObjectKindName(OBJECT_PRESET), 9));

    struct Row {
        const char* name;
        Side& asked;
        Side& other;
        int storedCount;
    };
    const Row rows[] = {{"A", a, b, 7}, {"B", b, a, 9}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t sent = row.asked.SentCount();

        // A renumbered layer section asks which layer it goes to.
        ByteBlockList section{MakeByteBlock(sim::Hex("F0 18 0F 00 55 10 21 00 00 00 00 00 F7"))};
        EXPECT_FALSE(row.asked.proteus->UploadPreset(true, 12, -1, section)); // the chooser cancelled
        EXPECT_EQ(row.asked.layerQuestions, QStringList{QStringLiteral("Choose Layer")});
        row.asked.layerQuestions.clear();
        EXPECT_EQ(row.other.layerQuestions, QStringList());

        // The count comes from the connection's own settings store, without asking the module.
        EXPECT_EQ(row.asked.proteus->GetRomObjectCount(OBJECT_PRESET, 4), row.storedCount);
        EXPECT_EQ(row.asked.SentCount(), sent);

        const QString path = folder.filePath(QString::fromLatin1(row.name) + QStringLiteral(".syx"));
        EXPECT_TRUE(row.asked.proteus->WriteSysExFile(path, section, OleProps()));
        EXPECT_EQ(row.asked.fileProperties->written, QStringList{path});
        row.asked.fileProperties->written.clear();
        EXPECT_EQ(row.other.fileProperties->written, QStringList());
    }
    EXPECT_EQ(a.presenter->texts + b.presenter->texts, QStringList());
    ExpectProcessWideServicesUnused();
}

} // namespace
