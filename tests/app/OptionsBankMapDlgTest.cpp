// The options dialog (its switches, colours, the two actions and what the
// caller stores) and the bank map dialog (pages, the changed flag, and a map
// edited and sent to the simulated module).
#include "AppDialogTestSupport.h"

#include "app/BankMapDlg.h"
#include "app/MappingsDlg.h"
#include "app/OptionsDlg.h"
#include "core/GlobalResources.h"
#include "module/Proteus.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/framework/LabelCtrl.h"

#include <QFile>
#include <QTest>
#include <QTreeWidgetItem>

using apptest::AppDialogTest;

namespace {

class Options : public AppDialogTest {
protected:
    std::unique_ptr<OptionsDlg> Open()
    {
        auto dialog = std::make_unique<OptionsDlg>(QStringLiteral("Tabrine Options"), &panel, nullptr);
        dialog->LoadSettings();
        dialog->show();
        QCoreApplication::processEvents();
        return dialog;
    }
    std::size_t Sent() { return ToModule().size(); }
};

} // namespace

TEST_F(Options, TheFieldsComeFromAndGoBackToTheSettings)
{
    GlobalConfigurations& settings = GetGlobalConfigurations();
    settings.SetBool(ReaderFriendly, true);
    settings.SetDword(ConfigGroupColour, 0x0000FF); // red, as 0x00BBGGRR
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Tabrine Options"));
    EXPECT_TRUE(dialog->screenReaderFriendly);
    EXPECT_FALSE(dialog->skipLcd);
    EXPECT_EQ(dialog->colours[2], 0x0000FFu);
    EXPECT_TRUE(dialog->ScreenReaderSwitch()->IsOn());
    EXPECT_FALSE(dialog->SkipLcdSwitch()->IsOn());
    EXPECT_EQ(dialog->Swatch(2)->Colour(), 0x0000FFu);

    // A click on a swatch asks for a colour; the switch toggles.
    const std::uint32_t background = settings.GetDword(ConfigBackgroundColour) & 0xFFFFFF;
    std::uint32_t offered = 0xFFFFFFFF;
    dialog->Swatch(0)->SetChooser([&](std::uint32_t initial) -> std::optional<std::uint32_t> {
        offered = initial;
        return 0x123456;
    });
    QTest::mouseClick(dialog->Swatch(0), Qt::LeftButton);
    QTest::mouseClick(dialog->SkipLcdSwitch(), Qt::LeftButton);
    EXPECT_EQ(offered, background);
    EXPECT_EQ(dialog->colours[0], 0x123456u);
    EXPECT_TRUE(dialog->skipLcd);
    dialog->OnCommand(cmd::IdOk);
    ASSERT_EQ(dialog->result(), QDialog::Accepted);
    dialog->StoreSettings();
    EXPECT_EQ(settings.GetDword(ConfigBackgroundColour), 0x123456u);
    EXPECT_TRUE(settings.GetBool(SkipScreenDump));
    EXPECT_TRUE(settings.GetBool(ReaderFriendly));
    EXPECT_EQ(settings.GetDword(ConfigGroupColour), 0x0000FFu);
    // Every window takes the new colours: 0x123456 is blue 0x12, green 0x34, red 0x56.
    EXPECT_EQ(style->Colour(BackgroundColour), QColor(0x56, 0x34, 0x12));
}

TEST_F(Options, ACancelledDialogLeavesTheSettings)
{
    const std::uint32_t before = GetGlobalConfigurations().GetDword(ConfigFocusColour);
    auto dialog = Open();
    dialog->Swatch(8)->SetChooser([](std::uint32_t) -> std::optional<std::uint32_t> { return 0x00FF00; });
    QTest::mouseClick(dialog->Swatch(8), Qt::LeftButton);
    EXPECT_EQ(dialog->colours[8], 0x00FF00u);
    dialog->OnCommand(cmd::IdCancel);
    EXPECT_EQ(dialog->result(), QDialog::Rejected);
    EXPECT_EQ(GetGlobalConfigurations().GetDword(ConfigFocusColour), before);
}

TEST_F(Options, RecreatingTheInitialisationFileNeedsTheModuleAndAYes)
{
    {
        auto dialog = Open();
        EXPECT_TRUE(dialog->CreateInitFileButton()->isEnabled());
        // No to the question: nothing goes to the module.
        const std::size_t before = Sent();
        QTest::mouseClick(dialog->CreateInitFileButton(), Qt::LeftButton);
        EXPECT_EQ(presenter->texts, QStringList{LoadResourceString(136)});
        EXPECT_EQ(Sent(), before);
        // Yes: the file is rebuilt from the module at once.
        presenter->answers = {msgbox::IdYes};
        QTest::mouseClick(dialog->CreateInitFileButton(), Qt::LeftButton);
        EXPECT_GT(Sent(), before);
        EXPECT_EQ(presenter->texts, (QStringList{LoadResourceString(136), LoadResourceString(136)}));
    }
    proteus->SetConnected(false);
    EXPECT_FALSE(Open()->CreateInitFileButton()->isEnabled());
    panel.proteus = nullptr;
    EXPECT_FALSE(Open()->CreateInitFileButton()->isEnabled());
}

TEST_F(Options, EditedMappingsAreKeptAndSavedHoweverTheDialogEnds)
{
    ASSERT_TRUE(TheGlobalResources()->SetMappingsXML(QStringLiteral("<Mappings><DEVICE ID=\"Settings\"/></Mappings>")));
    auto edit = [](MappingsDlg& mappings) {
        mappings.show();
        QCoreApplication::processEvents();
        QTreeWidgetItem* preset = nullptr;
        for (int i = 0; i < mappings.Tree()->topLevelItemCount(); ++i)
            if (mappings.Tree()->topLevelItem(i)->text(0) == QStringLiteral("Preset"))
                preset = mappings.Tree()->topLevelItem(i);
        EXPECT_TRUE(preset);
        if (!preset)
            return false;
        mappings.Tree()->setCurrentItem(preset->child(0)); // its "Mappings"
        mappings.OnTreeCommand(MappingsDlg::AddMappingCommand);
        mappings.EndLabelEdit(mappings.Tree()->currentItem(), QStringLiteral("Str"));
        QTest::keyClicks(mappings.ValueEdit(), QStringLiteral("Strings"));
        mappings.OnCommand(cmd::IdOk);
        return mappings.result() == QDialog::Accepted;
    };

    auto dialog = Open();
    dialog->SetMappingsRunner(edit);
    const std::size_t before = Sent();
    QTest::mouseClick(dialog->EditMappingsButton(), Qt::LeftButton);
    // Connected on both ports: asked whether to rebuild the file; No sends nothing.
    EXPECT_EQ(presenter->texts, QStringList{LoadResourceString(162)});
    EXPECT_EQ(Sent(), before);
    dialog->OnCommand(cmd::IdCancel);
    EXPECT_TRUE(TheGlobalResources()->GetMappingsXML().contains(QStringLiteral("Strings")));
    EXPECT_TRUE(TheGlobalResources()->IsChanged(SharedDocument::Mappings));

    // Saved with the shared documents.
    style->SaveDocuments();
    QFile saved(style->GetDataFilePath(false, QStringLiteral("Mappings.xml")));
    ASSERT_TRUE(saved.open(QIODevice::ReadOnly)) << saved.fileName().toStdString();
    const QByteArray text = saved.readAll();
    EXPECT_TRUE(text.contains("ID=\"Str\"")) << text.constData();
    EXPECT_TRUE(text.contains(">Strings<")) << text.constData();

    // Without the module nobody is asked; a cancelled mappings dialog changes nothing.
    style->LoadDocuments();
    presenter->texts.clear();
    proteus->SetConnected(false);
    auto offline = Open();
    offline->SetMappingsRunner(edit);
    QTest::mouseClick(offline->EditMappingsButton(), Qt::LeftButton);
    EXPECT_TRUE(presenter->texts.isEmpty());
    const QString kept = TheGlobalResources()->GetMappingsXML();
    offline->SetMappingsRunner([](MappingsDlg&) { return false; });
    QTest::mouseClick(offline->EditMappingsButton(), Qt::LeftButton);
    EXPECT_EQ(TheGlobalResources()->GetMappingsXML(), kept);
}

namespace {

class BankMap : public AppDialogTest {
protected:
    std::unique_ptr<BankMapDlg> Open(const std::array<std::int16_t, 256>* map = nullptr)
    {
        auto dialog = std::make_unique<BankMapDlg>(QStringLiteral("Bank Map"), &panel, nullptr);
        if (map)
            dialog->bankMap = *map;
        dialog->show();
        QCoreApplication::processEvents();
        return dialog;
    }
};

} // namespace

TEST_F(BankMap, EightPagesOfSixteenPrograms)
{
    auto dialog = Open();
    EXPECT_EQ(dialog->windowTitle(), QStringLiteral("Bank Map"));
    struct Expect {
        QString first, last;
        bool previous, next;
    };
    for (int page = 0; page < BankMapDlg::Pages; ++page) {
        EXPECT_EQ(dialog->Page(), page);
        EXPECT_EQ(dialog->NumberLabel(0)->text(), QString::number(16 * page + 1));
        EXPECT_EQ(dialog->NumberLabel(15)->text(), QString::number(16 * page + 16));
        EXPECT_EQ(dialog->PreviousButton()->isEnabled(), page != 0);
        EXPECT_EQ(dialog->NextButton()->isEnabled(), page != 7);
        EXPECT_EQ(dialog->RowRecord(5).value, 16 * page + 5); // the initial map: program i selects preset i
        QTest::mouseClick(dialog->NextButton(), Qt::LeftButton);
    }
    EXPECT_EQ(dialog->Page(), 7);
    dialog->OnCommand(cmd::IdOk);
    EXPECT_FALSE(dialog->changed);
}

TEST_F(BankMap, OnlyARealChangeSetsTheFlagAndItSurvivesPaging)
{
    auto dialog = Open();
    // The same preset chosen again, and a change taken back, change nothing.
    dialog->Selector(3)->OnPopupSelect(1, 0, 3);
    dialog->Selector(4)->OnPopupSelect(1, 4, 99);
    dialog->Selector(4)->OnPopupSelect(1, 0, 4);
    QTest::mouseClick(dialog->NextButton(), Qt::LeftButton);
    QTest::mouseClick(dialog->PreviousButton(), Qt::LeftButton);
    EXPECT_FALSE(dialog->changed);

    dialog->Selector(3)->OnPopupSelect(1, 4, 200);
    EXPECT_EQ(dialog->RowRecord(3).value, 200);
    EXPECT_EQ(dialog->RowRecord(3).romId, 4);
    QTest::mouseClick(dialog->NextButton(), Qt::LeftButton);
    EXPECT_TRUE(dialog->changed);
    EXPECT_EQ(dialog->RowRecord(3).value, 19);
    QTest::mouseClick(dialog->PreviousButton(), Qt::LeftButton);
    EXPECT_EQ(dialog->RowRecord(3).value, 200);
    EXPECT_EQ(dialog->RowRecord(3).romId, 4);
    dialog->OnCommand(cmd::IdOk);
    EXPECT_EQ(dialog->bankMap[3], 200);
    EXPECT_EQ(dialog->bankMap[128 + 3], 4);
}

TEST_F(BankMap, AChangeOnTheLastPageIsStoredByOk)
{
    auto dialog = Open();
    for (int i = 0; i < 7; ++i)
        QTest::mouseClick(dialog->NextButton(), Qt::LeftButton);
    dialog->Selector(15)->OnPopupSelect(1, 2, 7);
    EXPECT_FALSE(dialog->changed);
    dialog->OnCommand(cmd::IdOk);
    EXPECT_TRUE(dialog->changed);
    EXPECT_EQ(dialog->bankMap[127], 7);
    EXPECT_EQ(dialog->bankMap[255], 2);
}

TEST_F(BankMap, TheMapReadFromTheModuleIsEditedAndSent)
{
    std::array<std::int16_t, 256> map{};
    ASSERT_TRUE(proteus->GetBankMap(map.data()));
    auto dialog = Open(&map);
    EXPECT_EQ(dialog->RowRecord(0).value, map[0]);
    EXPECT_EQ(dialog->RowRecord(0).romId, map[128]);
    QTest::mouseClick(dialog->NextButton(), Qt::LeftButton);
    dialog->Selector(1)->OnPopupSelect(1, 4, 321); // program 18
    dialog->OnCommand(cmd::IdOk);
    ASSERT_TRUE(dialog->changed);

    const std::size_t before = ToModule().size();
    ASSERT_TRUE(proteus->SetBankMap(dialog->bankMap.data())) << presenter->texts.join('\n').toStdString();
    const std::vector<QByteArray> sent = ToModule();
    ASSERT_EQ(sent.size(), before + 1);
    EXPECT_EQ(sent.back().size(), 519);
    link->SleepMs(400);
    const std::vector<int> stored = link->withDevice([this](sim::Device&) { return module->state().bankMap; });
    ASSERT_EQ(stored.size(), 256u);
    for (int i = 0; i < 256; ++i)
        EXPECT_EQ(stored[size_t(i)], i == 17 ? 321 : i == 128 + 17 ? 4 : map[size_t(i)]) << i;
}
