// The arp pattern editor on the main panel over the simulated module.
#include "EditorPopupFixture.h"

#include "app/SelectionDialogs.h"
#include "core/GlobalResources.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/framework/TipEditorDlg.h"

using namespace editortest;

namespace {

constexpr int kCopyArp = 0x2B;

class ArpEditTest : public EditorPopupTest {
protected:
    void SetUp() override
    {
        EditorPopupTest::SetUp();
        StartConnected(R"({"base": "full"})");
        popup = Arp();
        ASSERT_NE(popup, nullptr);
        // User pattern 0: every step's values differ.
        link->withDevice([&](sim::Device&) {
            for (int s = 0; s < 32; ++s) {
                module->setParameterValueAt(ARP_STEP_KEY_OFFSET, {0, s}, s - 10);
                module->setParameterValueAt(ARP_STEP_VELOCITY, {0, s}, s + 1);
                module->setParameterValueAt(ARP_STEP_REPEAT, {0, s}, s % 4);
            }
            return 0;
        });
    }
    void Open() { popup->Show(&owner, QStringLiteral("Edit Arp")); }
    void Click(int item) { popup->Button(item)->OnClicked(); }

    TestArpEditPopup* popup = nullptr;
};

TEST_F(ArpEditTest, ShowsEveryStepOfThePatternOnOpen)
{
    Open();
    ASSERT_EQ(popup->RowCount(), 32);
    for (int s : {0, 9, 31}) {
        EXPECT_EQ(popup->CellText(s, 0), QString::number(s + 1));
        EXPECT_EQ(popup->CellText(s, 1), FormatValue(vf::ArpStepKey, s - 10));
        EXPECT_EQ(popup->CellText(s, 2), FormatValue(vf::VelocityOrPlayed, s + 1));
        EXPECT_EQ(popup->CellText(s, 4), QString::number(s % 4 + 1));
    }
    EXPECT_EQ(popup->SelectedRow(), 0);
    // The module is on step 1 again, and nothing can be undone yet.
    EXPECT_EQ(Connection().FindParameter(ARP_PATTERN_STEP_SELECT)->value, 0);
    EXPECT_FALSE(popup->Button(1056)->isEnabled());
}

TEST_F(ArpEditTest, ClickingARowSelectsTheStepAndUndoTakesItBack)
{
    Open();
    size_t mark = ToModule().size();
    popup->SelectRow(0); // the current step: nothing
    EXPECT_TRUE(Edits(Since(mark)).empty());

    popup->SelectRow(5);
    EXPECT_EQ(EditsOf(Since(mark), ARP_PATTERN_STEP_SELECT), std::vector<int>{5});
    ASSERT_TRUE(popup->Button(1056)->isEnabled());

    mark = ToModule().size();
    Click(1056);
    EXPECT_EQ(EditsOf(Since(mark), ARP_PATTERN_STEP_SELECT), std::vector<int>{0});
    EXPECT_EQ(popup->SelectedRow(), 0);
    mark = ToModule().size();
    Click(1057);
    EXPECT_EQ(EditsOf(Since(mark), ARP_PATTERN_STEP_SELECT), std::vector<int>{5});
    EXPECT_EQ(popup->SelectedRow(), 5);
}

TEST_F(ArpEditTest, StepEditGoesToTheModuleAndIntoTheSelectedRowOnly)
{
    Open();
    popup->SelectRow(3);
    ParamRecord* velocity = popup->GetParameter(ARP_STEP_VELOCITY);
    velocity->previousValue = velocity->value;
    velocity->value = 90;
    const size_t mark = ToModule().size();
    ASSERT_TRUE(popup->EditParameter(velocity));
    EXPECT_EQ(EditsOf(Since(mark), ARP_STEP_VELOCITY), std::vector<int>{90});
    EXPECT_EQ(popup->CellText(3, 2), QStringLiteral("90"));
    EXPECT_EQ(popup->CellText(4, 2), FormatValue(vf::VelocityOrPlayed, 5));
    Click(1056);
    EXPECT_EQ(popup->CellText(3, 2), FormatValue(vf::VelocityOrPlayed, 4));
}

TEST_F(ArpEditTest, CopyCancelledSendsNothingConfirmedCopiesAndRereads)
{
    Open();
    size_t mark = ToModule().size();
    Click(1175);
    EXPECT_EQ(popup->dialogsRun, 1);
    EXPECT_TRUE(Since(mark).empty());

    popup->SelectRow(2);
    popup->answers.push_back([](QDialog& d) {
        auto& c = dynamic_cast<CopyArpDlg&>(d);
        c.m_romId = 0;
        c.m_arpNumber = 1;
        return int(QDialog::Accepted);
    });
    mark = ToModule().size();
    Click(1175);
    const std::vector<QByteArray> copies = Commands(Since(mark), kCopyArp);
    ASSERT_EQ(copies.size(), 1u);
    EXPECT_EQ(sim::Module::Get14(copies[0], 6), 1); // source arp
    EXPECT_EQ(sim::Module::Get14(copies[0], 8), 0); // into the edited pattern
    EXPECT_EQ(popup->RowCount(), 32);
    EXPECT_FALSE(popup->Button(1056)->isEnabled());
}

TEST_F(ArpEditTest, TooltipEditIsUndoable)
{
    Open();
    popup->answers.push_back([](QDialog& d) {
        dynamic_cast<TipEditorDlg&>(d).SetText(QStringLiteral("Rolling fifths"));
        return int(QDialog::Accepted);
    });
    Click(1014);
    EXPECT_EQ(popup->OwnRecord(EDIT_TOOLTIP)->text, QStringLiteral("Rolling fifths"));
    EXPECT_EQ(TheGlobalResources()->GetObjectTooltip(OBJECT_ARP, 0, 0), QStringLiteral("Rolling fifths"));
    Click(1056);
    EXPECT_TRUE(TheGlobalResources()->GetObjectTooltip(OBJECT_ARP, 0, 0).isEmpty());
}

TEST_F(ArpEditTest, AnotherPatternIsReadWholeAndLeavesNothingToUndo)
{
    Open();
    popup->SelectRow(7);
    ASSERT_TRUE(popup->Button(1056)->isEnabled());
    link->withDevice([&](sim::Device&) { return module->setParameterValueAt(ARP_STEP_VELOCITY, {3, 0}, 11); });
    ParamRecord* select = popup->GetParameter(ARP_PATTERN_SELECT);
    select->previousValue = select->value;
    select->value = 3;
    const size_t mark = ToModule().size();
    ASSERT_TRUE(popup->EditParameter(select));
    EXPECT_EQ(EditsOf(Since(mark), ARP_PATTERN_SELECT), std::vector<int>{3});
    EXPECT_EQ(popup->CellText(0, 2), QStringLiteral("11"));
    EXPECT_EQ(popup->SelectedRow(), 0);
    EXPECT_FALSE(popup->Button(1056)->isEnabled());
    EXPECT_FALSE(popup->Button(1057)->isEnabled());
}

TEST_F(ArpEditTest, StepChosenElsewhereIsSelectedInTheList)
{
    Open();
    ParamRecord* step = Connection().FindParameter(ARP_PATTERN_STEP_SELECT);
    step->previousValue = step->value;
    step->value = 12;
    const size_t mark = ToModule().size();
    ASSERT_TRUE(Connection().ParameterEdit(step));
    EXPECT_EQ(popup->SelectedRow(), 12);
    // The list followed the module: it sends nothing back and records nothing.
    EXPECT_EQ(EditsOf(Since(mark), ARP_PATTERN_STEP_SELECT), std::vector<int>{12});
    EXPECT_FALSE(popup->Button(1056)->isEnabled());
}

} // namespace

TEST_F(EditorPopupTest, PatternNamesAreAskedOnlyOfAModuleWithArps)
{
    struct Row {
        const char* profile;
        bool arps;
    };
    const Row rows[] = {{R"({"base": "minimal"})", false}, {R"({"base": "full"})", true}};
    for (const Row& row : rows) {
        SCOPED_TRACE(row.profile);
        StartConnected(row.profile);
        ASSERT_NE(Arp(), nullptr);
        int nameRequests = 0;
        for (const QByteArray& m : ToModule()) {
            if (!m.startsWith(sim::Hex("F0 18 0F 00 55 02 01")) || m.size() < 10)
                continue;
            const int id = sim::Module::Get14(m, 7);
            nameRequests += id >= ARP_NAME_CHAR_0 && id <= ARP_NAME_CHAR_11 ? 1 : 0;
        }
        if (row.arps)
            EXPECT_GE(nameRequests, ArpPatternData::kNameLength);
        else
            EXPECT_EQ(nameRequests, 0);
    }
}
