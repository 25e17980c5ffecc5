// The control context menu: which items show, separator trimming, resetting
// to defaults as one undo step, and editing a tooltip through the menu.
#include "RoutingDoubles.h"
#include "core/ResourcesFixture.h"

#include "ui/framework/CommandIds.h"
#include "ui/framework/TipEditor.h"
#include "ui/framework/UndoRedo.h"

#include <QAction>
#include <QMenu>

#include <gtest/gtest.h>

using namespace routingtest;

namespace {

std::vector<int> Commands(const QMenu* menu)
{
    std::vector<int> out;
    if (menu)
        for (QAction* a : menu->actions())
            out.push_back(a->isSeparator() ? 0 : a->data().toInt());
    return out;
}

/// A listener that keeps the undo markers and records what it accepts.
class RecordingRoot : public TableListener, public UndoRedo {
public:
    ParamRecord start{QStringLiteral("START_UNDO"), START_UNDO, 0};
    ParamRecord end{QStringLiteral("END_UNDO"), END_UNDO, 0};
    std::vector<std::pair<int, int>> applied;
    RecordingRoot() : UndoRedo(this)
    {
        AddParameter(&start);
        AddParameter(&end);
    }
    bool EditParameter(ParamRecord* r) override
    {
        if (!TableListener::EditParameter(r))
            return false;
        RecordChange(r);
        return true;
    }
    void OnUndoStackChanged() override {}
    bool ApplyChange(ParamRecord* r) override
    {
        applied.emplace_back(r->id, r->value);
        return true;
    }
};

class ContextMenuTest : public ResourcesFixture {};

} // namespace

TEST_F(ContextMenuTest, ItemsFollowTheSettingTheTooltipAndTheBinding)
{
    struct Case {
        std::uint32_t setting;
        int tooltipId;
        bool bound;
        int menuId;
        std::vector<int> expected; // empty: no menu at all
    };
    const Case cases[] = {
        {0, 20420, true, menuid::ControlContext, {}},
        {1, 20420, true, menuid::ControlContext, {}},
        {2, 20420, true, menuid::ControlContext, {cmd::EditTooltip, cmd::DefaultValue}},
        {2, 20420, false, menuid::ControlContext, {cmd::EditTooltip}},
        {2, 0, true, menuid::ControlContext, {cmd::DefaultValue}},
        {2, 0, false, menuid::ControlContext, {}},
        {2, 0, false, menuid::KeyboardContext, {cmd::ConfigureKeyboard}},
        {2, 20420, false, menuid::KeyboardContext, {cmd::ConfigureKeyboard, cmd::EditTooltip}},
        {2, 20420, true, 4711, {}},
    };
    for (const Case& c : cases) {
        GetGlobalConfigurations().SetDword(EnableTooltips, c.setting);
        TableListener owner;
        ParamRecord r(QStringLiteral("R"), 10, 0);
        ControlBase control(&owner);
        control.SetToolTipId(c.tooltipId);
        if (c.bound)
            control.BindParameter(nullptr, 0, &r);
        std::unique_ptr<QMenu> menu = control.MakeContextMenu(nullptr, c.menuId);
        EXPECT_EQ(Commands(menu.get()), c.expected) << c.setting << " " << c.tooltipId << " " << c.bound;
        if (menu)
            EXPECT_EQ(menu->title(), QStringLiteral("Control Context"));
    }
}

TEST(TrimMenuSeparators, RemovesLeadingTrailingAndDoubledSeparators)
{
    struct Case {
        std::vector<int> items; // 0 separator
        std::vector<int> expected;
    };
    const Case cases[] = {
        {{0, 1, 0, 0, 2, 0}, {1, 0, 2}},
        {{0, 0, 0}, {}},
        {{1, 0, 0, 0, 2}, {1, 0, 2}},
        {{1, 2}, {1, 2}},
        {{}, {}},
    };
    for (const Case& c : cases) {
        QMenu menu;
        for (int id : c.items) {
            if (id == 0)
                menu.addSeparator();
            else
                menu.addAction(QString::number(id))->setData(id);
        }
        EXPECT_EQ(ControlBase::TrimMenuSeparators(&menu), int(c.expected.size()));
        EXPECT_EQ(Commands(&menu), c.expected);
    }
}

TEST(DefaultValue, SeveralParametersResetAsOneUndoStep)
{
    RecordingRoot owner;
    owner.refused = {20};
    ParamRecord a(QStringLiteral("A"), 10, 5), b(QStringLiteral("B"), 20, 6), c(QStringLiteral("C"), 30, 7);
    a.defaultValue = 1;
    b.defaultValue = 2;
    c.defaultValue = 3;
    ControlBase control(&owner);
    control.BindParameters(nullptr, 0, {&a, &b, &c});
    control.OnContextMenuCommand(nullptr, nullptr, cmd::DefaultValue);

    EXPECT_EQ(owner.edits, (std::vector<std::pair<int, int>>{{START_UNDO, 0}, {10, 1}, {20, 2}, {30, 3}, {END_UNDO, 0}}));
    EXPECT_EQ(owner.editTexts.front(), QStringLiteral("Change to Default"));
    EXPECT_EQ(owner.editTexts.back(), QStringLiteral("Change to Default"));
    // The refused one is back at its value; the others stay reset.
    EXPECT_EQ(a.value, 1);
    EXPECT_EQ(b.value, 6);
    EXPECT_EQ(c.value, 3);

    EXPECT_EQ(owner.GetUndoText(), QStringLiteral("Change to Default"));
    owner.Undo();
    EXPECT_EQ(owner.applied, (std::vector<std::pair<int, int>>{{30, 7}, {10, 5}}));
    EXPECT_FALSE(owner.CanUndo());
}

TEST(DefaultValue, OneParameterIsASingleEditUnderItsName)
{
    RecordingRoot owner;
    ParamRecord a(QStringLiteral("MASTER_TUNE"), 10, 5);
    ControlBase control(&owner);
    control.BindParameter(nullptr, 0, &a);
    control.OnContextMenuCommand(nullptr, nullptr, cmd::DefaultValue);
    EXPECT_EQ(owner.edits, (std::vector<std::pair<int, int>>{{10, 0}}));
    EXPECT_EQ(owner.GetUndoText(), QStringLiteral("MASTER_TUNE"));
}

TEST_F(ContextMenuTest, EditTooltipStoresTheEditedTextOnlyOnOk)
{
    StartWith("<Proteus><Controls><Control ID='20420'><![CDATA[old]]></Control></Controls></Proteus>", nullptr,
              nullptr, nullptr);
    GetGlobalConfigurations().SetDword(EnableTooltips, 2);
    TableListener owner;
    ControlBase control(&owner);
    control.SetToolTipId(20420);

    QString seenTitle, seenText;
    std::optional<QString> answer;
    SetTipEditorRunner([&](const QString& title, ControlListener* parent, QWidget*, const QString& text) {
        seenTitle = title;
        seenText = text;
        EXPECT_EQ(parent, &owner);
        return answer;
    });
    control.OnContextMenuCommand(nullptr, nullptr, cmd::EditTooltip);
    EXPECT_EQ(seenTitle, QStringLiteral("Tip Editor"));
    EXPECT_EQ(seenText, QStringLiteral("old"));
    EXPECT_EQ(resources->GetTooltipText(20420), QStringLiteral("old"));

    answer = QStringLiteral("first\r\nsecond");
    control.OnContextMenuCommand(nullptr, nullptr, cmd::EditTooltip);
    EXPECT_EQ(resources->GetTooltipText(20420), QStringLiteral("first\r\nsecond"));
    SetTipEditorRunner(nullptr);

    QString tip;
    control.GetToolTipText(&tip);
    EXPECT_EQ(tip, QStringLiteral("first\r\nsecond"));
    control.SetToolTipId(0);
    control.GetToolTipText(&tip);
    EXPECT_TRUE(tip.isEmpty());
}
