// The object selection dialogs, offscreen: the private records they start
// from, the main panel's selection popup their selectors open through the
// parent chain, the export and copy lists and what shows with them, and the
// results after OK and Cancel.
#include "support/TestStyle.h"

#include "app/SelectionDialogs.h"
#include "core/ObjectKind.h"
#include "core/resources/GuiFont.h"
#include "midi/LoopbackBackend.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "ui/controls/SelectionPopups.h"
#include "ui/controls/SwitchCtrl.h"

#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

namespace {

/// The main panel as the dialogs see it: the current preset and arp pattern
/// records, the named popups and, when given, the module connection. Every
/// edit that reaches it is recorded: none should.
class PanelDouble : public ControlListener {
public:
    PanelDouble()
    {
        preset.romId = 5;
        preset.value = 7;
        arp.romId = 2;
        arp.value = 40;
        AddParameter(&preset);
        AddParameter(&arp);
    }
    bool RequestParameterValues(ParamRecord*) override { return false; }
    bool RequestParameterMinMax(ParamRecord*) override { return false; }
    bool EditParameter(ParamRecord* record) override
    {
        edits.push_back(record->id);
        return true;
    }
    QString GetObjectName(int kind, int romId, int index) override
    {
        return QStringLiteral("%1 %2:%3").arg(ObjectKindName(kind)).arg(romId).arg(index);
    }
    Proteus* GetProteus() override { return proteus; }
    MidiPort* GetAltPort() override { return nullptr; }
    bool IsDeviceReady() override { return true; }
    void AddPopup(const QString& name, QWidget* popup) override { popups[name] = popup; }
    QWidget* FindPopup(const QString& name) override
    {
        const auto it = popups.find(name);
        return it == popups.end() ? nullptr : it->second;
    }
    void RemovePopup(const QString& name) override { popups.erase(name); }

    ParamRecord preset{QStringLiteral("MULTIMODE_PRESET"), MULTIMODE_PRESET, 0};
    ParamRecord arp{QStringLiteral("ARP_PATTERN_SELECT"), ARP_PATTERN_SELECT, 0};
    std::map<QString, QWidget*> popups;
    std::vector<int> edits;
    Proteus* proteus = nullptr;
};

class SelectionDialogsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        StartTestStyle(&style, dir, true);
        InstallGuiFont();
    }
    void TearDown() override { StopTestStyle(&style); }

    /// A choice made in the selector's popup.
    static void Choose(SelectCtrl* selector, int romId, int value)
    {
        EXPECT_TRUE(selector->OnPopupSelect(OBJECT_PRESET, romId, value));
    }
    static void Press(QDialog& dialog, int button) { qobject_cast<QPushButton*>(dialog.findChild<QWidget*>(QStringLiteral("item%1").arg(button)))->click(); }
    static void ChooseEntry(QComboBox* list, const QString& text)
    {
        const int index = list->findText(text);
        ASSERT_GE(index, 0) << text.toStdString();
        list->setCurrentIndex(index);
    }
    static QStringList Entries(const QComboBox* list)
    {
        QStringList out;
        for (int i = 0; i < list->count(); ++i)
            out << list->itemText(i);
        return out;
    }

    QTemporaryDir dir;
    GlobalStyle style;
    PanelDouble panel;
};

/// What one single-selector dialog shows and hands back.
struct SingleCase {
    const char* what;
    std::function<std::unique_ptr<SelectionDialog>(ControlListener*)> make;
    std::function<SelectCtrl*(SelectionDialog*)> selector;
    QString caption;
    int ownTooltip;
    int recordId;
    QString recordName;
    int startRomId, startValue, startPreviousRomId;  // the record when the dialog is up
    int selectorTooltip;
    QString selectorText;
    std::function<std::pair<int, int>(SelectionDialog*)> results;  // (ROM id or -1 when none, number)
    std::pair<int, int> chosen;                                     // the results after choosing SIMM 3, number 9
};

std::vector<SingleCase> SingleCases()
{
    auto sel = [](auto* d) { return d->Selector(); };
    return {
        {"save", [](ControlListener* p) { return std::make_unique<SaveDlg>(QStringLiteral("Save Preset"), p, nullptr); },
         [sel](SelectionDialog* d) { return sel(static_cast<SaveDlg*>(d)); }, QStringLiteral("Save Preset"), 20640,
         SAVE_PRESET_BUTTON, QStringLiteral("SAVE_PRESET_BUTTON"), 0, 7, 5, 20641, QStringLiteral("&Preset: Preset 0:7 ()"),
         [](SelectionDialog* d) { return std::pair(-1, static_cast<SaveDlg*>(d)->m_presetNumber); }, {-1, 9}},
        {"dump", [](ControlListener* p) { return std::make_unique<DumpDlg>(QStringLiteral("Dump Preset"), p, nullptr); },
         [sel](SelectionDialog* d) { return sel(static_cast<DumpDlg*>(d)); }, QStringLiteral("Dump Preset"), 20120,
         DUMP_PRESET_BUTTON, QStringLiteral("DUMP_PRESET_BUTTON"), 5, 7, 0, 20121, QStringLiteral("&Preset: Preset 5:7 ()"),
         [](SelectionDialog* d) {
             auto* x = static_cast<DumpDlg*>(d);
             return std::pair(x->m_romId, x->m_presetNumber);
         },
         {3, 9}},
        {"copy arp", [](ControlListener* p) { return std::make_unique<CopyArpDlg>(QStringLiteral("Copy Arp"), p, nullptr); },
         [sel](SelectionDialog* d) { return sel(static_cast<CopyArpDlg*>(d)); }, QStringLiteral("Copy Arp Data"), 20095,
         COPY_ARP_SRC_BUTTON, QStringLiteral("COPY_ARP_SRC_BUTTON"), 2, 40, 0, 20096, QStringLiteral("&Arp: Arp 2:40"),
         [](SelectionDialog* d) {
             auto* x = static_cast<CopyArpDlg*>(d);
             return std::pair(x->m_romId, x->m_arpNumber);
         },
         {3, 9}},
        {"select setup", [](ControlListener* p) {
             auto d = std::make_unique<SetupSelectDlg>(QStringLiteral("Select Setup"), p, nullptr);
             d->m_setupNumber = 4;
             return d;
         },
         [sel](SelectionDialog* d) { return sel(static_cast<SetupSelectDlg*>(d)); }, QStringLiteral("Select Setup"), 20970,
         SELECT_SETUP_BUTTON, QStringLiteral("SELECT_SETUP_BUTTON"), 0, 4, 0, 20970, QStringLiteral("&Setup: Setup 0:4 ()"),
         [](SelectionDialog* d) { return std::pair(-1, static_cast<SetupSelectDlg*>(d)->m_setupNumber); }, {-1, 9}},
    };
}

} // namespace

TEST_F(SelectionDialogsTest, EachSelectorStartsFromItsOwnRecordAndHandsBackTheChoice)
{
    for (const SingleCase& c : SingleCases()) {
        SCOPED_TRACE(c.what);
        // OK after a choice: the results are the choice; the choice never reaches the panel.
        {
            std::unique_ptr<SelectionDialog> dialog = c.make(&panel);
            dialog->show();
            QApplication::processEvents(); // the controls come alive
            EXPECT_EQ(dialog->windowTitle(), c.caption);
            EXPECT_EQ(dialog->OwnTooltipId(), c.ownTooltip);
            ParamRecord* record = dialog->Record(c.recordId);
            ASSERT_NE(record, nullptr);
            EXPECT_EQ(record->name, c.recordName);
            EXPECT_EQ(record->romId, c.startRomId);
            EXPECT_EQ(record->value, c.startValue);
            EXPECT_EQ(record->previousRomId, c.startPreviousRomId);
            SelectCtrl* selector = c.selector(dialog.get());
            EXPECT_EQ(selector->ParameterAt(0), record);
            EXPECT_EQ(selector->GetToolTipId(), c.selectorTooltip);
            EXPECT_EQ(selector->GetTriggerSet(), nullptr);
            EXPECT_EQ(selector->Text(), c.selectorText);

            Choose(selector, 3, 9);
            EXPECT_EQ(record->value, 9);
            Press(*dialog, 1);
            EXPECT_EQ(dialog->result(), QDialog::Accepted);
            EXPECT_EQ(c.results(dialog.get()), c.chosen);
            EXPECT_TRUE(panel.edits.empty());
            EXPECT_EQ(panel.preset.value, 7) << "the panel's own record is not touched";
        }
        // Cancel after a choice: the results stay as the opener set them.
        std::unique_ptr<SelectionDialog> dialog = c.make(&panel);
        dialog->show();
        QApplication::processEvents();
        const std::pair<int, int> preset = c.results(dialog.get());
        Choose(c.selector(dialog.get()), 3, 9);
        Press(*dialog, 2);
        EXPECT_EQ(dialog->result(), QDialog::Rejected);
        EXPECT_EQ(c.results(dialog.get()), preset);
    }
}

TEST_F(SelectionDialogsTest, ASelectorOpensThePanelsNamedPopupAndTakesItsChoice)
{
    NameSelectionPopup popup(OBJECT_PRESET, QStringLiteral("PresetSelection"), false, &panel, nullptr);
    popup.List()->simmSlots = [] {
        SimmSlot user, rom;
        user.presets = 128;
        rom.simmId = 5;
        rom.presets = 512;
        rom.flag = 1;
        return std::vector<SimmSlot>{user, rom};
    };
    panel.AddPopup(QStringLiteral("PresetSelection"), &popup);

    DumpDlg dialog(QStringLiteral("Dump Preset"), &panel, nullptr);
    dialog.show();
    QApplication::processEvents();
    dialog.Selector()->Toggle();
    ASSERT_TRUE(popup.isVisible());
    EXPECT_EQ(popup.Owner(), dialog.Selector());
    EXPECT_EQ(popup.windowTitle(), QStringLiteral("Select Preset"));
    EXPECT_EQ(popup.List()->SelectedKey(), (5 << 16) | 7);

    EXPECT_TRUE(popup.OnPopupSelect(OBJECT_PRESET, 0, 12));
    EXPECT_EQ(dialog.Record(DUMP_PRESET_BUTTON)->romId, 0);
    EXPECT_EQ(dialog.Record(DUMP_PRESET_BUTTON)->value, 12);
    EXPECT_EQ(dialog.Selector()->Text(), QStringLiteral("&Preset: Preset 0:12 ()"));
    dialog.Selector()->Toggle();
    EXPECT_FALSE(popup.isVisible());
    Press(dialog, 1);
    EXPECT_EQ(dialog.m_romId, 0);
    EXPECT_EQ(dialog.m_presetNumber, 12);
    EXPECT_TRUE(panel.edits.empty());
    panel.RemovePopup(QStringLiteral("PresetSelection"));
}

TEST_F(SelectionDialogsTest, TheSetupDialogAsksToStoreOrToRestore)
{
    for (bool restore : {false, true}) {
        SCOPED_TRACE(restore ? "restore" : "store");
        SetupSelectDlg dialog(QStringLiteral("Select Setup"), &panel, nullptr);
        dialog.m_restore = restore;
        dialog.m_setupNumber = 6;
        dialog.show();
        QApplication::processEvents();
    QApplication::processEvents();
        EXPECT_EQ(dialog.Prompt()->text(), restore ? QStringLiteral("Select the Setup You Wish to Restore:")
                                                   : QStringLiteral("Select the Setup You Wish to Store:"));
        const ParamRecord* record = dialog.Record(SELECT_SETUP_BUTTON);
        EXPECT_EQ(record->value, 6);
        EXPECT_EQ(record->previousValue, 0);
        EXPECT_EQ(dialog.Selector()->PopupTitle(), QStringLiteral("Select Setup"));
        Press(dialog, 1);
        EXPECT_EQ(dialog.m_setupNumber, 6);
    }
}

TEST_F(SelectionDialogsTest, TheExportSectionDecidesTheSubRequestAndWhatIsShown)
{
    ExportDataDlg dialog(QStringLiteral("Export Preset"), &panel, nullptr);
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Export Data"));
    EXPECT_EQ(Entries(dialog.SectionList()),
              (QStringList{"Preset", "Preset Parameters", "Preset General", "Preset Arp", "Preset FX", "Preset Link",
                           "Layer Parameters", "Layer General", "Layer Filter", "Layer LFO", "Layer Envelope", "Layer Cords"}));
    EXPECT_EQ(Entries(dialog.LayerList()), (QStringList{"Layer 1", "Layer 2", "Layer 3", "Layer 4"}));
    EXPECT_EQ(dialog.Selector()->PopupTitle(), QStringLiteral("Select Source Preset"));
    EXPECT_EQ(dialog.Record(CLOSED_LOOP_BUTTON)->value, 1);
    EXPECT_EQ(dialog.OwnTooltipId(), 20230);
    EXPECT_EQ(dialog.FindControl(dialog.SectionList())->GetToolTipId(), 20231);
    EXPECT_EQ(dialog.Selector()->GetToolTipId(), 20232);
    EXPECT_EQ(dialog.FindControl(dialog.LayerList())->GetToolTipId(), 20233);
    EXPECT_EQ(dialog.ClosedLoopSwitch()->GetToolTipId(), 20234);

    struct Step {
        const char* what;
        std::function<void()> act;
        int subRequest;
        bool layersShown, switchShown;
        int layer;
    };
    LitButtonCtrl* loop = dialog.ClosedLoopSwitch();
    const Step steps[] = {
        {"as it opens", [] {}, 2, false, true, 0},
        {"switch off", [&] { QTest::mouseClick(loop, Qt::LeftButton); }, 4, false, true, 0},
        {"switch on again", [&] { QTest::mouseClick(loop, Qt::LeftButton); }, 2, false, true, 0},
        {"switch off once more", [&] { QTest::mouseClick(loop, Qt::LeftButton); }, 4, false, true, 0},
        {"a preset section", [&] { ChooseEntry(dialog.SectionList(), "Preset FX"); }, 0x13, false, false, 0},
        {"a layer section", [&] { ChooseEntry(dialog.SectionList(), "Layer Filter"); }, 0x22, true, false, 0},
        {"a layer", [&] { ChooseEntry(dialog.LayerList(), "Layer 3"); }, 0x22, true, false, 2},
        {"the whole preset, switch still off", [&] { ChooseEntry(dialog.SectionList(), "Preset"); }, 4, false, true, 2},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(dialog.m_subRequest, s.subRequest);
        EXPECT_EQ(!dialog.LayerList()->isHidden(), s.layersShown);
        EXPECT_EQ(!loop->isHidden(), s.switchShown);
        EXPECT_EQ(dialog.m_layer, s.layer);
    }
    Choose(dialog.Selector(), 3, 9);
    Press(dialog, 1);
    EXPECT_EQ(dialog.m_romId, 3);
    EXPECT_EQ(dialog.m_presetNumber, 9);
    EXPECT_EQ(dialog.m_subRequest, 4);
    EXPECT_TRUE(panel.edits.empty()) << "the switch's edits stay in the dialog";
}

TEST_F(SelectionDialogsTest, TheCopyCommandDecidesWhichLayerListsAreShown)
{
    CopyPresetDlg dialog(QStringLiteral("Copy Preset"), &panel, nullptr);
    // As the copy command opens it: the whole preset, layer 1 to layer 1.
    dialog.m_copyCommand = 32;
    dialog.m_sourceLayer = 0;
    dialog.m_destinationLayer = 0;
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.windowTitle(), QStringLiteral("Copy Preset Data"));
    EXPECT_EQ(Entries(dialog.CopyList()),
              (QStringList{"Preset", "Preset Common", "Preset Arp", "Preset FX", "Preset Link", "Layer", "Layer Common",
                           "Layer Filter", "Layer LFO", "Layer Envelope", "Layer Cords"}));
    EXPECT_EQ(Entries(dialog.SourceLayerList()), (QStringList{"All Layers", "Layer 1", "Layer 2", "Layer 3", "Layer 4"}));
    EXPECT_EQ(Entries(dialog.DestinationLayerList()), (QStringList{"Layer 1", "Layer 2", "Layer 3", "Layer 4"}));
    EXPECT_EQ(dialog.SourceSelector()->PopupTitle(), QStringLiteral("Select Source Preset"));
    EXPECT_EQ(dialog.DestinationSelector()->PopupTitle(), QStringLiteral("Select Destination Preset"));
    EXPECT_EQ(dialog.OwnTooltipId(), 20100);
    EXPECT_EQ(dialog.FindControl(dialog.CopyList())->GetToolTipId(), 20101);
    EXPECT_EQ(dialog.SourceSelector()->GetToolTipId(), 20102);
    EXPECT_EQ(dialog.FindControl(dialog.SourceLayerList())->GetToolTipId(), 20103);
    EXPECT_EQ(dialog.DestinationSelector()->GetToolTipId(), 20104);
    EXPECT_EQ(dialog.FindControl(dialog.DestinationLayerList())->GetToolTipId(), 20105);

    struct Step {
        const char* what;
        std::function<void()> act;
        int command;
        bool sourceShown, destinationShown;
        int sourceLayer, destinationLayer;
    };
    const Step steps[] = {
        // The source layer list shows "All Layers": that is what a layer copy takes.
        {"as it opens", [] {}, 0x20, false, false, -1, 0},
        {"a layer, all layers", [&] { ChooseEntry(dialog.CopyList(), "Layer"); }, 0x25, true, false, -1, 0},
        {"from layer 2", [&] { ChooseEntry(dialog.SourceLayerList(), "Layer 2"); }, 0x25, true, true, 1, 0},
        {"into layer 4", [&] { ChooseEntry(dialog.DestinationLayerList(), "Layer 4"); }, 0x25, true, true, 1, 3},
        {"another layer part", [&] { ChooseEntry(dialog.CopyList(), "Layer Cords"); }, 0x2A, true, true, 1, 3},
        {"all layers again", [&] { ChooseEntry(dialog.SourceLayerList(), "All Layers"); }, 0x2A, true, false, -1, 3},
        {"a preset part", [&] { ChooseEntry(dialog.CopyList(), "Preset FX"); }, 0x23, false, false, -1, 3},
    };
    for (const Step& s : steps) {
        SCOPED_TRACE(s.what);
        s.act();
        EXPECT_EQ(dialog.m_copyCommand, s.command);
        EXPECT_EQ(!dialog.SourceLayerList()->isHidden(), s.sourceShown);
        EXPECT_EQ(!dialog.DestinationLayerList()->isHidden(), s.destinationShown);
        EXPECT_EQ(dialog.m_sourceLayer, s.sourceLayer);
        EXPECT_EQ(dialog.m_destinationLayer, s.destinationLayer);
    }
    Choose(dialog.SourceSelector(), 3, 9);
    Choose(dialog.DestinationSelector(), 0, 11);
    Press(dialog, 1);
    EXPECT_EQ(dialog.m_sourceRomId, 3);
    EXPECT_EQ(dialog.m_sourcePreset, 9);
    EXPECT_EQ(dialog.m_destinationPreset, 11);
    EXPECT_TRUE(panel.edits.empty());
}

TEST_F(SelectionDialogsTest, TheCopyDestinationIsAUserPresetWithinTheUserBank)
{
    Proteus proteus(std::make_shared<LoopbackBackend>());
    SimmSlot rom, user;
    rom.simmId = 5;
    rom.presets = 512;
    rom.flag = 1;
    user.presets = 128;
    const SimmSlot simms[] = {rom, user};
    proteus.hardwareConfig.SetSimms(simms);
    panel.proteus = &proteus;

    struct Case {
        int romId, value;
        int destination, destinationPrevious;
    };
    for (const Case& c : {Case{5, 300, 127, 300}, Case{5, 128, 127, 128}, Case{5, 127, 127, 0}, Case{0, 3, 3, 0}}) {
        SCOPED_TRACE(c.value);
        panel.preset.romId = c.romId;
        panel.preset.value = c.value;
        CopyPresetDlg dialog(QStringLiteral("Copy Preset"), &panel, nullptr);
        dialog.show();
        QApplication::processEvents();
    QApplication::processEvents();
        const ParamRecord* source = dialog.Record(COPY_PRESET_SRC_BUTTON);
        const ParamRecord* destination = dialog.Record(COPY_PRESET_DST_BUTTON);
        EXPECT_EQ(source->romId, c.romId);
        EXPECT_EQ(source->value, c.value);
        EXPECT_EQ(destination->romId, 0);
        EXPECT_EQ(destination->previousRomId, c.romId);
        EXPECT_EQ(destination->value, c.destination);
        EXPECT_EQ(destination->previousValue, c.destinationPrevious);
        Press(dialog, 1);
        EXPECT_EQ(dialog.m_destinationPreset, c.destination);
        EXPECT_EQ(dialog.m_sourcePreset, c.value);
    }
    panel.proteus = nullptr;
}

TEST_F(SelectionDialogsTest, WithoutAPanelRecordTheSelectorStartsFromTheOpenersResults)
{
    // Opened with no parent listener: nothing to copy, the preset results count.
    DumpDlg dialog(QStringLiteral("Dump Preset"), nullptr, nullptr);
    dialog.m_romId = 4;
    dialog.m_presetNumber = 21;
    dialog.show();
    QApplication::processEvents();
    EXPECT_EQ(dialog.Record(DUMP_PRESET_BUTTON)->romId, 4);
    EXPECT_EQ(dialog.Record(DUMP_PRESET_BUTTON)->value, 21);
    Press(dialog, 1);
    EXPECT_EQ(dialog.m_romId, 4);
    EXPECT_EQ(dialog.m_presetNumber, 21);
}
