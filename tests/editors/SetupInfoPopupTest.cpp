// The multisetup editor on the main panel over the simulated module whose
// edit buffer is the real setup capture of a 16-channel module.
#include "EditorPopupFixture.h"

#include "app/SelectionDialogs.h"
#include "core/GlobalResources.h"

#include <QLineEdit>
#include "core/Settings.h"
#include "dump/SetupBuffer.h"
#include "module/ProteusEvents.h"
#include "ui/controls/ButtonCtrl.h"

using namespace editortest;

namespace {

constexpr int kSetupUpload = 0x1C;

class SetupInfoTest : public EditorPopupTest {
protected:
    void SetUp() override
    {
        EditorPopupTest::SetUp();
        StartConnected(R"({"base": "a2k"})");
        popup = SetupPopup();
        ASSERT_NE(popup, nullptr);
        popup->Show(&owner, QStringLiteral("Setup Information"));
    }
    SetupBuffer& Buffer() { return *Connection().GetSetupBuffer(); }
    int BufferValue(int channel, int parameter)
    {
        ParamRecord r(QString(), parameter, -999);
        EXPECT_TRUE(Buffer().GetParameter(channel, &r));
        return r.value;
    }
    /// The setup the module holds now, as it sends it (read into a second buffer).
    QByteArray ModuleSetup()
    {
        SetupBuffer fresh(&Connection());
        EXPECT_TRUE(fresh.LoadEditBuffer());
        return fresh.GetDump() ? fresh.GetDump()->ToByteArray() : QByteArray();
    }
    void Click(int item) { popup->Button(item)->OnClicked(); }
    /// Edits a row record as its control would.
    void EditRow(int row, int cell, int value)
    {
        ParamRecord* r = popup->RowRecord(row, cell);
        r->previousValue = r->value;
        r->value = value;
        popup->EditParameter(r);
    }
    int BasicChannel() { return Connection().FindParameter(MULTIMODE_BASIC_CHANNEL)->value; }

    TestSetupInfoPopup* popup = nullptr;
};

TEST_F(SetupInfoTest, ShowsEachPageOfChannelsFromTheSetupBuffer)
{
    ASSERT_TRUE(Buffer().Validate(nullptr, nullptr));
    ASSERT_EQ(popup->ChannelCount(), 16);
    for (int page : {0, 1}) {
        for (int row = 0; row < 8; ++row) {
            const int channel = row + 8 * page;
            EXPECT_EQ(popup->RowLabel(row), QString::number(channel + 1));
            EXPECT_EQ(popup->RowRecord(row, 0)->value, BufferValue(channel, MULTIMODE_VOLUME));
            EXPECT_EQ(popup->RowRecord(row, 1)->value, BufferValue(channel, MULTIMODE_PAN));
            EXPECT_EQ(popup->RowRecord(row, 2)->value, BufferValue(channel, MULTIMODE_PRESET));
            EXPECT_EQ(popup->RowRecord(row, 6)->value, BufferValue(channel, MULTIMODE_ARP));
        }
        EXPECT_EQ(popup->Button(1272)->isEnabled(), page > 0);
        EXPECT_EQ(popup->Button(1273)->isEnabled(), page == 0);
        Click(1273);
    }
    // Next does nothing on the last page of a 16-channel module.
    EXPECT_EQ(popup->Page(), 1);
    Click(1272);
    Click(1272);
    EXPECT_EQ(popup->Page(), 0);
}

TEST_F(SetupInfoTest, BasicChannelEditIsOneParameterEditOtherChannelsUploadTheSetup)
{
    const int basic = BasicChannel();
    ASSERT_LT(basic, 8);
    const int other = basic == 0 ? 1 : 0;

    size_t mark = ToModule().size();
    EditRow(basic, 0, 77);
    std::vector<QByteArray> sent = Since(mark);
    EXPECT_EQ(Edits(sent), (std::vector<std::pair<int, int>>{{MULTIMODE_VOLUME, 77}}));
    EXPECT_TRUE(Commands(sent, kSetupUpload).empty());

    mark = ToModule().size();
    EditRow(other, 0, 55);
    sent = Since(mark);
    EXPECT_TRUE(Edits(sent).empty());
    ASSERT_EQ(Commands(sent, kSetupUpload).size(), 1u);
    EXPECT_EQ(BufferValue(other, MULTIMODE_VOLUME), 55);
    // The module took the whole setup, the edited value with it.
    EXPECT_EQ(Commands(sent, kSetupUpload).front(), Buffer().GetDump()->ToByteArray());
    EXPECT_EQ(ModuleSetup(), Buffer().GetDump()->ToByteArray());
}

TEST_F(SetupInfoTest, UndoReturnsToTheRowsPageFirstThenToTheEarlierPage)
{
    const int before = BufferValue(11, MULTIMODE_PAN);
    Click(1273);                 // page 1
    EditRow(3, 1, before == 10 ? 20 : 10); // channel 12's pan
    ASSERT_NE(BufferValue(11, MULTIMODE_PAN), before);
    EXPECT_TRUE(popup->Button(57643)->isEnabled());

    Click(57643); // one click, one step: the pan comes back, the page stays
    EXPECT_EQ(BufferValue(11, MULTIMODE_PAN), before);
    EXPECT_EQ(popup->Page(), 1);
    Click(57643);
    EXPECT_EQ(popup->Page(), 0);
    EXPECT_FALSE(popup->Button(57643)->isEnabled());
    Click(57644);
    Click(57644);
    EXPECT_EQ(popup->Page(), 1);
    EXPECT_NE(BufferValue(11, MULTIMODE_PAN), before);
}

TEST_F(SetupInfoTest, SetupGoesToAFileAndBackToTheModuleByteForByte)
{
    const QByteArray original = ModuleSetup();
    ASSERT_FALSE(original.isEmpty());
    const QString path = folder->filePath(QStringLiteral("setup.sysex"));
    NextFileChoice(path);
    Click(1223); // Save
    const QByteArray file = ReadFile(path);
    EXPECT_EQ(file, Buffer().GetDump()->ToByteArray());
    EXPECT_EQ(GetGlobalConfigurations().GetString(SetupFile), path);

    // The module's setup changes; loading the file puts the capture back.
    EditRow(BasicChannel() == 0 ? 1 : 0, 0, 3);
    ASSERT_NE(ModuleSetup(), original);
    NextFileChoice(path);
    const size_t mark = ToModule().size();
    Click(1222); // Load
    ASSERT_EQ(Commands(Since(mark), kSetupUpload).size(), 1u);
    EXPECT_EQ(ModuleSetup(), original);
    EXPECT_FALSE(popup->Button(57643)->isEnabled()); // the histories went with the old setup
}

TEST_F(SetupInfoTest, FileThatIsNoSetupDumpIsRefusedBeforeAnythingIsSent)
{
    const QByteArray held = Buffer().GetDump()->ToByteArray();
    const QString preset = qEnvironmentVariable("TABRINE_FIXTURES") + QStringLiteral("/a2k-user-preset-0000.syx");
    const QString tooShort = WriteFile(QStringLiteral("short.sysex"), sim::Hex("F0 18 0F 00 55 1C 01 F7"));
    for (const QString& path : {preset, tooShort}) {
        SCOPED_TRACE(path.toStdString());
        presenter->texts.clear();
        NextFileChoice(path);
        const size_t mark = ToModule().size();
        Click(1222);
        EXPECT_TRUE(Since(mark).empty());
        ASSERT_EQ(presenter->texts.size(), 1);
        EXPECT_TRUE(presenter->texts.front().contains(QStringLiteral("not a setup file")));
        EXPECT_EQ(Buffer().GetDump()->ToByteArray(), held);
        EXPECT_TRUE(GetGlobalConfigurations().GetString(SetupFile).isEmpty());
    }
}

TEST_F(SetupInfoTest, WithoutAValidSetupOnlyLoadAndRestoreWorkUntilOneIsLoaded)
{
    const QString path = folder->filePath(QStringLiteral("good.sysex"));
    ASSERT_TRUE(Buffer().SaveFile(path));
    Buffer().OnDisconnect(); // the dump is gone
    popup->Activate();
    EXPECT_TRUE(popup->Button(1222)->isEnabled());
    EXPECT_TRUE(popup->Button(1283)->isEnabled());
    for (int item : {1223, 1274, 1273, 57643})
        EXPECT_FALSE(popup->Button(item)->isEnabled()) << item;
    EXPECT_FALSE(popup->RowControl(0, 0)->GetControlWindow()->isEnabled());

    NextFileChoice(path);
    Click(1222);
    EXPECT_TRUE(Buffer().Validate(nullptr, nullptr));
    for (int item : {1223, 1274, 1273})
        EXPECT_TRUE(popup->Button(item)->isEnabled()) << item;
    EXPECT_TRUE(popup->RowControl(0, 0)->GetControlWindow()->isEnabled());
}

TEST_F(SetupInfoTest, RestoreShowsTheFirstPageWithEmptyHistoriesStoreNamesTheSetup)
{
    Click(1273);
    EditRow(2, 0, 5);
    ASSERT_TRUE(popup->Button(57643)->isEnabled());
    popup->answers.push_back([](QDialog& d) {
        auto& s = dynamic_cast<SetupSelectDlg&>(d);
        EXPECT_TRUE(s.m_restore);
        s.m_setupNumber = 2;
        return int(QDialog::Accepted);
    });
    const size_t mark = ToModule().size();
    Click(1283);
    EXPECT_FALSE(Commands(Since(mark), 0x2C).empty());
    EXPECT_EQ(popup->Page(), 0);
    EXPECT_FALSE(popup->Button(1272)->isEnabled());
    EXPECT_FALSE(popup->Button(57643)->isEnabled());

    popup->answers.push_back([](QDialog& d) {
        auto& s = dynamic_cast<SetupSelectDlg&>(d);
        EXPECT_FALSE(s.m_restore);
        s.m_setupNumber = 5;
        return int(QDialog::Accepted);
    });
    const QString name = popup->findChild<QLineEdit*>(QStringLiteral("item1221"))->text();
    Click(1274);
    std::map<int, QString> names;
    TheGlobalResources()->GetSetupNames(names);
    EXPECT_EQ(names[5], name);

    // Cancel: nothing goes to the module.
    const size_t before = ToModule().size();
    Click(1274);
    Click(1283);
    EXPECT_EQ(ToModule().size(), before);
}

TEST_F(SetupInfoTest, BasicChannelChangesFromElsewhereShowOnlyWhileItsPageIsShown)
{
    const int basic = BasicChannel();
    ASSERT_LT(basic, 8);
    ParamRecord* volume = Connection().FindParameter(MULTIMODE_VOLUME);
    auto change = [&](int value) {
        volume->previousValue = volume->value;
        volume->value = value;
        ASSERT_TRUE(Connection().ParameterEdit(volume));
    };
    change(33);
    EXPECT_EQ(popup->RowRecord(basic, 0)->value, 33);
    popup->Button(1273)->OnClicked(); // channels 9-16
    const int shown = popup->RowRecord(basic, 0)->value;
    change(44);
    EXPECT_EQ(popup->RowRecord(basic, 0)->value, shown);
}

/// Refuses every change offered for approval (as an editor that keeps its
/// unsaved changes does).
class Refuser : public ProteusEvents {
public:
    void OnDeviceConnected() override {}
    bool OnParameterChanging(ParamRecord*) override { return false; }
    void OnParameterChanged(ParamRecord*) override {}
    void OnDeviceDisconnected() override {}
    void OnBeginProgress(int, int, const QString&) override {}
    void OnProgressText(const QString&) override {}
    void OnProgressStep() override {}
    void OnEndProgress() override {}
    void OnSysExSent(const std::uint8_t*, unsigned) override {}
    void OnShortMessageSent(const std::uint8_t[4]) override {}
};

TEST_F(SetupInfoTest, RefusedPresetChangeOfTheBasicChannelLeavesTheConnectionsRecord)
{
    const int basic = BasicChannel();
    ParamRecord* cached = Connection().FindParameter(MULTIMODE_PRESET);
    const ParamRecord before = *cached;
    Refuser refuser;
    Connection().AddListener(&refuser);
    const size_t mark = ToModule().size();
    ParamRecord* r = popup->RowRecord(basic, 2);
    r->previousValue = r->value;
    r->previousRomId = r->romId;
    r->value = before.value + 1;
    r->romId = 4;
    EXPECT_FALSE(popup->EditParameter(r));
    Connection().RemoveListener(&refuser);
    EXPECT_TRUE(Since(mark).empty());
    EXPECT_EQ(cached->value, before.value);
    EXPECT_EQ(cached->romId, before.romId);
    EXPECT_EQ(cached->previousValue, before.previousValue);
    EXPECT_EQ(cached->previousRomId, before.previousRomId);
    EXPECT_FALSE(popup->Button(57643)->isEnabled());
}

/// A 32-channel module: channels named with their port, four pages; the
/// page count and names follow the module at each activation, both ways.
TEST_F(EditorPopupTest, PagesAndChannelNamesFollowTheChannelCapability)
{
    StartConnected(R"({"base": "full"})");
    TestSetupInfoPopup* popup = SetupPopup();
    ASSERT_NE(popup, nullptr);
    ASSERT_TRUE(Connection().HasCapability(CAP_32_CHANNELS));
    popup->Show(&owner, QStringLiteral("Setup Information"));
    ASSERT_EQ(popup->ChannelCount(), 32);
    const QStringList firstLabels[4] = {{"1A", "8A"}, {"9A", "16A"}, {"1B", "8B"}, {"9B", "16B"}};
    for (int page = 0; page < 4; ++page) {
        EXPECT_EQ(popup->Page(), page);
        EXPECT_EQ(popup->RowLabel(0), firstLabels[page][0]);
        EXPECT_EQ(popup->RowLabel(7), firstLabels[page][1]);
        EXPECT_EQ(popup->Button(1273)->isEnabled(), page < 3);
        popup->Button(1273)->OnClicked();
    }
    EXPECT_EQ(popup->Page(), 3);

    // The same window activated for a module without the capability names
    // the channels without ports, and with it again with them.
    const std::uint32_t caps = Connection().GetCapabilities();
    Connection().SetCapabilities(caps & ~CAP_32_CHANNELS);
    popup->Activate();
    EXPECT_EQ(popup->RowLabel(0), QStringLiteral("9"));
    EXPECT_EQ(popup->RowLabel(7), QStringLiteral("16"));
    Connection().SetCapabilities(caps);
    popup->Activate();
    EXPECT_EQ(popup->RowLabel(0), QStringLiteral("9B"));
}

} // namespace
