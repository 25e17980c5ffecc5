// The document: its ports at start-up, MIDI thru from the controller keyboard,
// and "Configure MIDI", against the simulated module over the loopback.
#include "ApplicationFixture.h"

#include "app/Frame.h"
#include "module/ParameterIds.h"
#include "sim/SysExHex.h"

#include <QByteArray>

using namespace apptest;

namespace {

class DocumentTest : public ConnectedDocumentTest {
protected:
    /// The short messages that reached the module on port A since the mark.
    std::vector<QByteArray> ShortToModuleSince(std::size_t mark)
    {
        std::vector<QByteArray> out;
        const std::vector<QByteArray> all = ToModule();
        for (std::size_t i = mark; i < all.size(); ++i)
            if (!all[i].isEmpty() && uchar(all[i][0]) != 0xF0)
                out.push_back(all[i]);
        return out;
    }
    void SetPanelChannel(int channel)
    {
        document->GetProteus().FindParameter(MULTIMODE_BASIC_CHANNEL)->value = channel;
    }
};

QByteArray Bytes(std::initializer_list<int> bytes)
{
    QByteArray out;
    for (int b : bytes)
        out.append(char(b));
    return out;
}

TEST_F(DocumentTest, ThruPutsChannelMessagesOnThePanelChannelAndRoutesUpperChannelsToTheBPort)
{
    Start();
    // Port A: the panel on the first channel.
    SetPanelChannel(0);
    std::size_t mark = ToModule().size();
    document->OnShortData(0x00407C92); // note on, channel 3, note 0x7C, velocity 0x40
    EXPECT_EQ(ShortToModuleSince(mark), std::vector<QByteArray>{Bytes({0x90, 0x7C, 0x40})});

    // The twentieth channel lies on the B port, as its fourth channel.
    SetPanelChannel(19);
    bDevice->ClearReceived();
    mark = ToModule().size();
    document->OnShortData(0x00407C92);
    ASSERT_TRUE(bDevice->WaitForReceived(1, std::chrono::seconds(5)));
    EXPECT_EQ(bDevice->Received(), (std::vector<std::vector<std::uint8_t>>{{0x93, 0x7C, 0x40}}));
    EXPECT_TRUE(ShortToModuleSince(mark).empty());
}

TEST_F(DocumentTest, ThruPassesClockAndSensingAndDropsTheRestOfTheSystemMessages)
{
    Start();
    SetPanelChannel(5);
    const std::size_t mark = ToModule().size();
    for (std::uint32_t status : {0xF0u, 0xF1u, 0xF4u, 0xF5u, 0xF7u, 0xF9u, 0xFDu, 0x40u})
        document->OnShortData(status);
    document->OnShortData(0xF8);
    document->OnShortData(0xFE);
    EXPECT_EQ(ShortToModuleSince(mark), (std::vector<QByteArray>{Bytes({0xF8}), Bytes({0xFE})}));
}

TEST_F(DocumentTest, ThruFromTheKeyboardPortReachesTheModuleAndNothingGoesWhileNotReady)
{
    Start();
    SetPanelChannel(1);
    std::size_t mark = ToModule().size();
    ASSERT_TRUE(keyboard->SendShort(0x00203C80)); // note off, channel 1
    for (int i = 0; i < 20 && ShortToModuleSince(mark).empty(); ++i)
        document->GetAltPort().PumpMessages();
    EXPECT_EQ(ShortToModuleSince(mark), std::vector<QByteArray>{Bytes({0x81, 0x3C, 0x20})});

    document->GetProteus().SetReady(false);
    mark = ToModule().size();
    document->OnShortData(0x00407C92);
    document->OnShortData(0xF8);
    EXPECT_TRUE(ShortToModuleSince(mark).empty());
}

TEST_F(DocumentTest, ConfigureMidiWithOnlyTheDeviceIdChangedReopensOnlyTheModulePorts)
{
    Start();
    Proteus& proteus = document->GetProteus();
    dialog.edit = [](Document::DeviceSettings& f) { f.deviceId = 5; };
    document->OnConfigureMidi();

    EXPECT_EQ(dialog.runs, 1);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(Capabilities), 0u);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(DeviceId), 5u);
    EXPECT_EQ(document->GetDeviceId(), 5);
    // The module ports were closed and opened again with the new id; the
    // keyboard and B pair kept its connection.
    EXPECT_FALSE(proteus.IsConnected());
    EXPECT_TRUE(proteus.IsInputOpen() && proteus.IsOutputOpen());
    EXPECT_EQ(proteus.GetDeviceId(), 5);
    EXPECT_FALSE(document->GetAltPort().IsOpenTimerRunning()); // not opened again
    EXPECT_TRUE(bDevice->IsOutputOpen());
}

TEST_F(DocumentTest, ConfigureMidiWithOnlyTheBPortChangedReopensOnlyTheAlternatePort)
{
    Start();
    Proteus& proteus = document->GetProteus();
    const std::uint32_t capabilities = GetGlobalConfigurations().GetDword(Capabilities);
    dialog.edit = [](Document::DeviceSettings& f) { f.bPort = 3; };
    document->OnConfigureMidi();

    EXPECT_EQ(GetGlobalConfigurations().GetDword(BPort), 3u);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(Capabilities), capabilities);
    EXPECT_TRUE(proteus.IsConnected());
    EXPECT_TRUE(proteus.IsReady());
    EXPECT_TRUE(document->GetAltPort().IsOpenTimerRunning()); // opened again, not yet reported
    EXPECT_TRUE(spareDevice->IsOutputOpen()); // the editor's B output is the new port
    EXPECT_FALSE(bDevice->IsOutputOpen());
    EXPECT_TRUE(keyboard->IsInputOpen());
}

TEST_F(DocumentTest, CancelledConfigureMidiChangesAndReopensNothing)
{
    Start();
    GlobalConfigurations& settings = GetGlobalConfigurations();
    const QString before = settings.DumpToText();
    document->OnConfigureMidi(); // the dialog cancels
    EXPECT_EQ(dialog.runs, 1);
    EXPECT_EQ(settings.DumpToText(), before);
    EXPECT_TRUE(document->GetProteus().IsReady());
    EXPECT_FALSE(document->GetAltPort().IsOpenTimerRunning());
    EXPECT_TRUE(bDevice->IsOutputOpen());
}

TEST_F(DocumentTest, WithoutControllerOrBPortTheAlternatePortIsNeverOpened)
{
    Start(-1, -1);
    MidiPort& alternate = document->GetAltPort();
    EXPECT_FALSE(alternate.IsOpenTimerRunning());
    dialog.edit = [](Document::DeviceSettings&) {}; // OK with nothing changed
    Presenter().texts.clear();
    document->OnConfigureMidi();
    EXPECT_FALSE(alternate.IsInputOpen() || alternate.IsOutputOpen());
    EXPECT_FALSE(alternate.IsOpenTimerRunning());
    for (int i = 0; i < 3; ++i)
        alternate.PumpMessages();
    EXPECT_TRUE(Presenter().texts.isEmpty()) << Presenter().texts.join(u'\n').toStdString();
}

TEST_F(DocumentTest, TheEndOfEveryConnectAndDisconnectRebuildsTheTitle)
{
    Start();
    Frame frame(*document);
    frame.OnUpdateFrameTitle();
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tabrine"));
    Proteus& proteus = document->GetProteus();
    proteus.ClosePort(); // nobody else asks for the title
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tabrine -- No MIDI Port Found"));
    ASSERT_TRUE(proteus.OpenPort(0, 0, 0, 1000, 0, 0, false));
    for (int i = 0; i < 200 && !proteus.IsReady(); ++i)
        proteus.PumpMessages();
    ASSERT_TRUE(proteus.IsReady());
    EXPECT_EQ(frame.windowTitle(), QStringLiteral("Tabrine"));
}

// ------------------------------------------------------------ start-up without a module

class DocumentStartTest : public ::testing::Test {
protected:
    miditest::TestEnvironment env;
    std::shared_ptr<LoopbackBackend> backend = std::make_shared<LoopbackBackend>();
    ScriptedDeviceDialog dialog;
};

TEST_F(DocumentStartTest, PortChecksAtStartAskOnceEachAndClashesAreReportedFirst)
{
    struct Case {
        int input, output, controller, b;
        int runs;
        QStringList messages;
    };
    const QString clashController = LoadResourceString(223);
    const QString clashB = LoadResourceString(221);
    const Case cases[] = {
        {-1, -1, -1, -1, 1, {}},
        {0, -1, -1, -1, 1, {}},
        {0, 0, 0, -1, 1, {clashController}},
        {0, 0, -1, 0, 1, {clashB}},
        {0, 0, 0, 0, 2, {clashController, clashB}},
        {0, 0, 1, 1, 0, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << c.input << " " << c.output << " " << c.controller << " " << c.b);
        GlobalConfigurations& settings = GetGlobalConfigurations();
        settings.SetDword(InputPort, std::uint32_t(c.input));
        settings.SetDword(OutputPort, std::uint32_t(c.output));
        settings.SetDword(ControllerPort, std::uint32_t(c.controller));
        settings.SetDword(BPort, std::uint32_t(c.b));
        env.presenter->texts.clear();
        ScriptedDeviceDialog scripted;
        Document document(backend);
        document.SetDeviceDialogRunner(scripted.Runner());
        EXPECT_TRUE(document.OnNewDocument());
        EXPECT_EQ(scripted.runs, c.runs);
        EXPECT_EQ(env.presenter->texts, c.messages);
    }
}

TEST_F(DocumentStartTest, TestModePostsAConnectAndOpensNoPort)
{
    GetGlobalConfigurations().SetBool(TestUI, true);
    Document document(backend);
    document.SetDeviceDialogRunner(dialog.Runner());
    EXPECT_TRUE(document.OnNewDocument());
    EXPECT_EQ(dialog.runs, 0);
    EXPECT_FALSE(document.GetProteus().IsInputOpen() || document.GetProteus().IsOutputOpen());
    for (int i = 0; i < 50 && !document.GetProteus().IsReady(); ++i)
        document.GetProteus().PumpMessages();
    EXPECT_TRUE(document.GetProteus().IsConnected());
    GetGlobalConfigurations().SetBool(TestUI, false);
}

TEST_F(DocumentStartTest, WithoutAnyMidiTheDialogIsAskedAndCancelLeavesEverythingClosed)
{
    // No MIDI port at all: the dialog is the only way on; Cancel leaves it so.
    Document document(backend);
    document.SetDeviceDialogRunner(dialog.Runner());
    EXPECT_TRUE(document.OnNewDocument());
    EXPECT_EQ(dialog.runs, 1);
    EXPECT_EQ(dialog.shown.inputPort, -1);
    EXPECT_EQ(dialog.shown.outputPort, -1);
    EXPECT_FALSE(document.GetProteus().IsInputOpen() || document.GetProteus().IsOutputOpen());
    EXPECT_FALSE(document.GetAltPort().IsOpenTimerRunning());
}

} // namespace
