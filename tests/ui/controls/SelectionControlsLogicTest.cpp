// The logic of the value menus, the item list, the slider popup, the envelope
// graph, the name edit and the object select button, driven through a
// recording owner and surface.
#include "ControlTestSupport.h"

#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "module/ParameterIds.h"
#include "platform/SettingsStore.h"
#include "ui/controls/ConfigureKeyboardDlg.h"
#include "ui/controls/EnvGraphLogic.h"
#include "ui/controls/ItemListLogic.h"
#include "ui/controls/NameEditLogic.h"
#include "ui/controls/ObjectSelectLogic.h"
#include "ui/controls/PopupTrackerLogic.h"
#include "ui/controls/ValueMenuLogic.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

/// An owner holding the undo markers, with object names by (SIMM, index).
class NamingOwner : public RecordingOwner {
public:
    NamingOwner()
    {
        records[START_UNDO] = ParamRecord(QStringLiteral("START_UNDO"), START_UNDO, 0);
        records[END_UNDO] = ParamRecord(QStringLiteral("END_UNDO"), END_UNDO, 0);
    }
    QString GetObjectName(int, int romId, int index) override
    {
        auto it = names.find({romId, index});
        return it == names.end() ? QString() : it->second;
    }
    bool RequestParameterValues(ParamRecord*) override { return answerRequests; }
    std::map<std::pair<int, int>, QString> names;
    bool answerRequests = true;
};

class SettingsFixture : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
    }
    void TearDown() override { platform::SetCurrentSettingsStore(nullptr); }
};

// ---- item list ---------------------------------------------------------------------------------

class ClientRecorder : public PopupListener {
public:
    bool OnPopupClosing() override { return true; }
    bool OnPopupSelect(int type, int romId, int value) override
    {
        offers.push_back({type, romId, value});
        return accept;
    }
    std::vector<std::array<int, 3>> offers;
    bool accept = true;
};

struct ListRig {
    NamingOwner owner;
    ClientRecorder client;
    ItemListLogic list{OBJECT_PRESET, &owner, &client};

    explicit ListRig(int kind = OBJECT_PRESET) : list(kind, &owner, &client)
    {
        list.simmName = [](int simm) { return simm == 0 ? QStringLiteral("User") : QStringLiteral("Rom%1").arg(simm); };
    }
    void Fill(std::initializer_list<std::tuple<int, int, const char*>> objects)
    {
        std::map<int, SimmSlot> bySimm;
        for (auto [simm, index, name] : objects) {
            owner.names[{simm, index}] = QString::fromUtf8(name);
            SimmSlot& s = bySimm[simm];
            s.simmId = simm;
            s.presets = std::max(s.presets, index + 1);
            s.riffs = s.presets;
        }
        std::vector<SimmSlot> list2;
        for (auto& [id, s] : bySimm)
            list2.push_back(s);
        list.Populate(list2);
    }
    /// The names shown, without the unnamed fillers between the given objects.
    std::vector<QString> Names()
    {
        std::vector<QString> out;
        for (int r = 0; r < list.Model().rowCount(); ++r) {
            const QString name = list.Model().data(list.Model().index(r, 0), Qt::DisplayRole).toString();
            if (name != QStringLiteral("None"))
                out.push_back(name);
        }
        return out;
    }
};

TEST(ItemListTest, FilterMatchesTheCompositeTextIgnoringCaseAndTheUserBankSwitch)
{
    struct Case {
        const char* filter;
        bool userBankOnly;
        std::vector<QString> shown; // sorted by location, then ID
    };
    const Case cases[] = {
        {"", false, {"Grand", "Strings", "Organ", "Mine"}},
        {"", true, {"Mine"}},
        {"PNO", false, {"Grand"}},            // category, upper case
        {"pno: gr", false, {"Grand"}},        // "category: name"
        {"rom2", false, {"Organ"}},           // location
        {"0:001", false, {"Strings"}},        // ID
        {"1:0", false, {}},
        {"mine", true, {"Mine"}},
        {"grand", true, {}},
    };
    for (const Case& c : cases) {
        ListRig rig;
        rig.Fill({{0, 0, "Usr:Mine"}, {1, 0, "Pno:Grand"}, {1, 1, "Str:Strings"}, {2, 0, "Organ"}});
        rig.list.SetUserBankOnly(c.userBankOnly);
        rig.list.SetFilter(QString::fromUtf8(c.filter));
        EXPECT_EQ(rig.Names(), c.shown) << c.filter << " user only " << c.userBankOnly;
    }
}

TEST(ItemListTest, OnlyATextContainingTheOldOneThinsTheRows)
{
    ListRig rig;
    rig.Fill({{1, 0, "abc"}, {1, 1, "abd"}, {1, 2, "xyz"}, {1, 3, "ab"}});
    struct Step {
        const char* text;
        bool thinned;
        std::vector<QString> shown;
    };
    const Step steps[] = {
        {"a", true, {"abc", "abd", "ab"}},
        {"ab", true, {"abc", "abd", "ab"}},
        {"abc", true, {"abc"}},
        {"a", false, {"abc", "abd", "ab"}},  // deleting back refills
        {"xyz", false, {"xyz"}},             // longer, yet not an extension: refill
        {"yz", false, {"xyz"}},              // shorter: refill
    };
    for (const Step& s : steps) {
        rig.list.SetFilter(QString::fromUtf8(s.text));
        EXPECT_EQ(rig.list.LastFilterThinned(), s.thinned) << s.text;
        EXPECT_EQ(rig.Names(), s.shown) << s.text;
    }
}

TEST(ItemListTest, TextsOfAnObject)
{
    EXPECT_EQ(ItemListLogic::IdText(300), "2:044");
    EXPECT_EQ(ItemListLogic::IdText(0), "0:000");
    struct Case {
        int kind;
        const char* full;
        const char* category;
        const char* name;
    };
    const Case cases[] = {
        {OBJECT_PRESET, "Pno:Grand", "Pno", "Grand"}, {OBJECT_PRESET, "Pno-Grand", "", "Pno-Grand"},
        {OBJECT_RIFF, "Pno-Grand:x", "Pno", "Grand:x"}, {OBJECT_PRESET, "Plain", "", "Plain"},
        {OBJECT_PRESET, "", "", "None"},
    };
    for (const Case& c : cases) {
        ListRig rig(c.kind);
        rig.owner.names[{1, 300}] = QString::fromUtf8(c.full);
        SimmSlot slot;
        slot.simmId = 1;
        slot.presets = slot.riffs = 301;
        rig.list.Populate(std::vector<SimmSlot>{slot});
        rig.list.SetFilter(QStringLiteral("2:044"));
        ASSERT_EQ(rig.list.Model().rowCount(), 1) << c.full;
        auto text = [&](int column) { return rig.list.Model().data(rig.list.Model().index(0, column), Qt::DisplayRole).toString(); };
        EXPECT_EQ(text(0), c.name) << c.full;
        EXPECT_EQ(text(1), c.category) << c.full;
        EXPECT_EQ(text(2), "Rom1");
        EXPECT_EQ(text(3), "2:044");
    }
}

TEST(ItemListTest, SortColumns)
{
    struct Case {
        int column;
        std::vector<QString> names;
    };
    const Case cases[] = {
        {0, {"alpha", "beta", "Beta", "gamma"}},  // name, then category (A < b)
        {1, {"gamma", "beta", "Beta", "alpha"}},  // category: "" < A < b < c
        {2, {"Beta", "alpha", "gamma", "beta"}},  // location, then ID
        {3, {"Beta", "gamma", "beta", "alpha"}},  // ID, then location
    };
    for (const Case& c : cases) {
        ListRig rig;
        rig.Fill({{1, 0, "b:Beta"}, {1, 200, "c:alpha"}, {2, 0, "gamma"}, {2, 130, "A:beta"}});
        rig.list.SetSortColumn(c.column);
        EXPECT_EQ(rig.Names(), c.names) << "column " << c.column;
    }
}

/// Records what the view was asked to show.
class ViewedList : public ItemListLogic {
public:
    using ItemListLogic::ItemListLogic;
    std::vector<std::pair<char, int>> shown;

protected:
    void ShowSelectedRow(int row) override { shown.push_back({'s', row}); }
    void ShowRowDeselected(int row) override { shown.push_back({'d', row}); }
};

TEST(ItemListTest, SelectionIsOfferedLaterAndARefusalPutsThePreviousRowBack)
{
    NamingOwner owner;
    ClientRecorder client;
    ViewedList list(OBJECT_PRESET, &owner, &client);
    list.simmName = [](int) { return QStringLiteral("R"); };
    for (int i = 0; i < 3; ++i)
        owner.names[{1, i}] = QStringLiteral("n%1").arg(i);
    SimmSlot slot;
    slot.simmId = 1;
    slot.presets = 3;
    list.Populate(std::vector<SimmSlot>{slot});

    list.SelectItem(1, 1); // programmatic: shown, no offer
    EXPECT_EQ(list.shown, (std::vector<std::pair<char, int>>{{'s', 1}}));
    EXPECT_FALSE(list.UserSelectedRow(1)) << "the selected row again posts nothing";
    ASSERT_TRUE(list.UserSelectedRow(2));
    client.accept = false;
    list.shown.clear();
    EXPECT_FALSE(list.DeliverSelection(2));
    EXPECT_EQ(client.offers, (std::vector<std::array<int, 3>>{{OBJECT_PRESET, 1, 2}}));
    EXPECT_EQ(list.shown, (std::vector<std::pair<char, int>>{{'d', 2}, {'s', 1}}));
    EXPECT_EQ(list.SelectedKey(), (1 << 16) | 1);
    client.accept = true;
    EXPECT_TRUE(list.DeliverSelection(0));
    EXPECT_EQ(list.SelectedKey(), 1 << 16);
    // A filter that hides the selection keeps it stored; it shows again when the row is back.
    list.SetFilter(QStringLiteral("n2"));
    EXPECT_EQ(list.SelectedRow(), -1);
    list.SetFilter(QString());
    EXPECT_EQ(list.SelectedRow(), 0);
}

// ---- value menus ---------------------------------------------------------------------------

struct MenuRig {
    NamingOwner owner;
    FakeSurface surface;
    ParamRecord record{QStringLiteral("FX_TYPE"), 77, 0};
    NameMap names;
    MenuLogic menu{&owner};
    MenuRig(int minimum, int maximum, int value)
    {
        record.minimum = minimum;
        record.maximum = maximum;
        record.value = value;
        surface.caption = QStringLiteral("&Type");
        menu.SetSurface(&surface);
        menu.BindParameter(nullptr, 0, &record);
    }
};

TEST(ValueMenuTest, ColumnsOfSixteenAndTheChecks)
{
    MenuRig rig(0, 127, 5);
    for (int v = 0; v < 40; ++v)
        rig.names[v] = QStringLiteral("n%1").arg(v);
    rig.names[200] = QStringLiteral("out of range");
    rig.menu.Setup(true, 0, &rig.names, 0);
    std::vector<ValueMenuItem> items = rig.menu.BuildMenu();
    ASSERT_EQ(items.size(), 41u);
    std::vector<size_t> breaks;
    for (size_t i = 0; i < items.size(); ++i)
        if (items[i].newColumn)
            breaks.push_back(i);
    EXPECT_EQ(breaks, (std::vector<size_t>{16, 32})) << "16, 16 and 8 plus Other...";
    EXPECT_TRUE(items[5].checked);
    EXPECT_EQ(items.back(), (ValueMenuItem{MenuLogic::OtherValue, QStringLiteral("Other..."), false, false}));
    // A value without a name checks "Other...".
    rig.record.value = 90;
    items = rig.menu.BuildMenu();
    EXPECT_TRUE(items.back().checked);
    EXPECT_EQ(std::count_if(items.begin(), items.end(), [](const ValueMenuItem& i) { return i.checked; }), 1);
}

TEST(ValueMenuTest, OtherRangeAndTheSliderStart)
{
    struct Case {
        int firstName, lastName, value, low, high;
    };
    const Case cases[] = {{0, 10, 3, 11, 127}, {100, 127, 120, 0, 99}, {0, 10, 50, 11, 127}, {100, 127, 5, 0, 99}};
    for (const Case& c : cases) {
        MenuRig rig(0, 127, c.value);
        for (int v = c.firstName; v <= c.lastName; ++v)
            rig.names[v] = QStringLiteral("n");
        rig.menu.Setup(true, 0, &rig.names, 0);
        int low = 0, high = 0;
        rig.menu.OtherRange(&low, &high);
        EXPECT_EQ(low, c.low);
        EXPECT_EQ(high, c.high);
    }
}

TEST(ValueMenuTest, ChoicesCaptionAndTrackerEdits)
{
    MenuRig rig(0, 127, 1);
    rig.names = {{0, QStringLiteral("Off")}, {1, QStringLiteral("R&B")}};
    rig.menu.Setup(true, 0, &rig.names, 0);
    EXPECT_EQ(rig.menu.Text(), "&Type: R&&B");
    EXPECT_EQ(rig.menu.PlainCaption(), "Type");
    rig.menu.Choose(1);
    EXPECT_TRUE(rig.owner.Take().empty()) << "the value already set sends nothing";
    rig.menu.Choose(0);
    EXPECT_EQ(rig.owner.Take(), (std::vector<OwnerCall>{Edit(77, 0, 1)}));

    // The slider popup's edits land on the parameter, its markers named after it.
    ParamRecord tracker(QStringLiteral("EDIT_TRACKER"), EDIT_TRACKER, 40);
    rig.record.name = QStringLiteral("FX_TYPE");
    EXPECT_TRUE(rig.menu.OnTrackerEdit(rig.owner.GetParameter(START_UNDO)));
    EXPECT_TRUE(rig.menu.OnTrackerEdit(&tracker));
    EXPECT_TRUE(rig.menu.OnTrackerEdit(rig.owner.GetParameter(END_UNDO)));
    EXPECT_EQ(rig.owner.Take(), (std::vector<OwnerCall>{Marker(START_UNDO, "FX_TYPE"), Edit(77, 40, 0),
                                                        Marker(END_UNDO, "FX_TYPE")}));
}

// A choice or a slider value the owner refuses leaves the parameter (value
// and previous value) and the caption as they were; accepted, both follow.
TEST(ValueMenuTest, ARefusedChoiceOrSliderValueLeavesTheParameterAsItWas)
{
    MenuRig rig(0, 127, 1);
    rig.record.previousValue = 7;
    rig.names = {{0, QStringLiteral("Off")}, {1, QStringLiteral("On")}};
    rig.menu.Setup(true, 0, &rig.names, 0);
    rig.owner.accept = false;
    ParamRecord tracker(QStringLiteral("EDIT_TRACKER"), EDIT_TRACKER, 40);
    for (bool slider : {false, true}) {
        SCOPED_TRACE(slider);
        if (slider)
            EXPECT_FALSE(rig.menu.OnTrackerEdit(&tracker));
        else
            rig.menu.Choose(0);
        EXPECT_EQ(rig.owner.Take(), (std::vector<OwnerCall>{Edit(77, slider ? 40 : 0, 1)}));
        EXPECT_EQ(rig.record.value, 1);
        EXPECT_EQ(rig.record.previousValue, 7);
        EXPECT_EQ(rig.menu.Text(), "&Type: On");
    }
    rig.owner.accept = true;
    rig.menu.Choose(0);
    EXPECT_EQ(rig.record.value, 0);
    EXPECT_EQ(rig.record.previousValue, 1);
    EXPECT_TRUE(rig.menu.OnTrackerEdit(&tracker));
    EXPECT_EQ(rig.record.value, 40);
}

TEST(ValueMenuTest, AllLayersIsNotOfferedWhileAllLayerEditingIsOff)
{
    MenuRig rig(-1, 3, -1);
    rig.record.id = LAYER_SELECT;
    rig.owner.records[EDIT_ALL_LAYERS] = ParamRecord(QStringLiteral("EDIT_ALL_LAYERS"), EDIT_ALL_LAYERS, 0);
    rig.names = {{-1, QStringLiteral("All")}, {0, QStringLiteral("L1")}, {1, QStringLiteral("L2")}};
    rig.menu.Setup(false, 0, &rig.names, 0);
    EXPECT_EQ(rig.owner.Take(), (std::vector<OwnerCall>{Edit(LAYER_SELECT, 0, -1)}));
    EXPECT_EQ(rig.menu.Text(), "&Type: L1");
    const std::vector<ValueMenuItem> items = rig.menu.BuildMenu();
    ASSERT_EQ(items.size(), 2u);
    EXPECT_EQ(items[0].value, 0);
}

// ---- slider popup --------------------------------------------------------------------------

class TrackerClient : public PopupTrackerListener {
public:
    bool OnTrackerEdit(ParamRecord* r) override
    {
        ids.push_back(r->id);
        return true;
    }
    std::vector<int> ids;
};

TEST(PopupTrackerTest, UndoGroupFromTheFirstEditToEnterOrEsc)
{
    NamingOwner chain;
    ParamRecord r(QStringLiteral("EDIT_TRACKER"), EDIT_TRACKER, 5);
    {
        TrackerClient client;
        PopupTrackerLogic logic(&chain, &client);
        logic.Cancel();
        EXPECT_TRUE(client.ids.empty()) << "Esc before any edit sends no END_UNDO";
    }
    {
        TrackerClient client;
        PopupTrackerLogic logic(&chain, &client);
        logic.Edit(&r);
        logic.Edit(&r);
        logic.Ok(&r, 9);
        logic.Ok(&r, 9);
        EXPECT_EQ(client.ids, (std::vector<int>{START_UNDO, EDIT_TRACKER, EDIT_TRACKER, END_UNDO}));
        EXPECT_EQ(r.value, 9);
        logic.Edit(&r);
        logic.Cancel();
        EXPECT_EQ(client.ids.size(), 7u);
        EXPECT_EQ(client.ids.back(), END_UNDO);
    }
}

// ---- envelope graph ------------------------------------------------------------------------

struct EnvRig {
    NamingOwner owner;
    FakeSurface surface;
    std::array<ParamRecord, 12> records;
    EnvGraphLogic graph{&owner};
    EnvRig()
    {
        surface.size = QSize(300, 140);
        for (int i = 0; i < 12; ++i) {
            records[size_t(i)] = ParamRecord(QStringLiteral("P%1").arg(i), 500 + i, i < 6 ? 20 : 50);
            records[size_t(i)].minimum = i < 6 ? 0 : -64;
            records[size_t(i)].maximum = i < 6 ? 127 : 100;
        }
        graph.SetSurface(&surface);
        for (ParamRecord& r : records)
            graph.BindParameter(nullptr, 0, &r);
        graph.Setup(0);
    }
    std::array<int, 12> Values() const
    {
        std::array<int, 12> v{};
        for (int i = 0; i < 12; ++i)
            v[size_t(i)] = records[size_t(i)].value;
        return v;
    }
};

TEST(EnvGraphTest, PixelsAndValuesRoundTripAtEachZoom)
{
    for (int zoom : {1, 2}) {
        EnvRig rig;
        if (zoom == 2)
            rig.graph.KeyPress(EnvGraphLogic::KeyPlus, false, false, false);
        ASSERT_EQ(rig.graph.Zoom(), zoom);
        for (int point : {0, 3, 5}) {
            const QPoint p = rig.graph.PointPosition(rig.Values(), point);
            ASSERT_TRUE(rig.graph.GraphRect().adjusted(-4, -4, 4, 4).contains(p));
            rig.graph.MousePress(p.x(), p.y());
            ASSERT_TRUE(rig.graph.IsDragging());
            // Half the zoom: one pixel spans more time.
            const auto [time, level] = rig.graph.PositionAt(p.x(), p.y());
            EXPECT_NEAR(time, 20, zoom == 1 ? 2 : 1) << "zoom " << zoom << " point " << point;
            EXPECT_NEAR(level, 50, 2);
            rig.graph.KeyRelease(true, false);
        }
    }
    EnvRig rig;
    rig.graph.MouseRelease(rig.graph.MinusBox().center().x(), rig.graph.MinusBox().center().y());
    EXPECT_EQ(rig.graph.Zoom(), 1) << "the minus box is inert at zoom 1";
}

TEST(EnvGraphTest, ALaterPointWinsAndADragIsOneUndoGroupOfTenEdits)
{
    EnvRig rig;
    rig.records[1].value = 0; // points 0 and 1 coincide
    rig.records[7].value = 50;
    const QPoint p = rig.graph.PointPosition(rig.Values(), 0);
    rig.graph.MousePress(p.x(), p.y());
    ASSERT_TRUE(rig.graph.IsDragging());
    EXPECT_EQ(rig.graph.DragPoint(), 1);
    rig.graph.MouseMove(p.x() + 20, p.y() - 10);
    EXPECT_TRUE(rig.owner.calls.empty()) << "nothing is sent while dragging";
    rig.graph.MouseRelease(p.x() + 20, p.y() - 10);
    const std::vector<OwnerCall> calls = rig.owner.Take();
    ASSERT_EQ(calls.size(), 12u);
    EXPECT_EQ(calls.front(), Marker(START_UNDO, "Envelope Change"));
    EXPECT_EQ(calls.back(), Marker(END_UNDO, "Envelope Change"));
    for (size_t i = 1; i < 11; ++i)
        EXPECT_EQ(calls[i].id, i % 2 ? 501 : 507) << i;
    EXPECT_GT(rig.records[1].value, 0);
    EXPECT_GT(rig.records[7].value, 50);
}

TEST(EnvGraphTest, EscapeDiscardsADrag)
{
    EnvRig rig;
    const QPoint p = rig.graph.PointPosition(rig.Values(), 2);
    rig.graph.MousePress(p.x(), p.y());
    rig.graph.MouseMove(p.x() + 30, p.y());
    EXPECT_NE(rig.graph.ShownValues(), rig.Values());
    rig.graph.KeyRelease(true, false);
    EXPECT_FALSE(rig.graph.IsDragging());
    EXPECT_EQ(rig.graph.ShownValues(), rig.Values());
    rig.graph.MouseRelease(p.x() + 30, p.y());
    EXPECT_TRUE(rig.owner.calls.empty());
}

TEST(EnvGraphTest, KeysNudgeTheSelectedPointWithinItsRange)
{
    struct Case {
        const char* name;
        EnvGraphLogic::Key key;
        bool shift, ctrl;
        int time, level; // the selected point's values before
        std::vector<OwnerCall> sent;
        int selected;
    };
    const Case cases[] = {
        {"left", EnvGraphLogic::KeyLeft, false, false, 20, 50, {Edit(500, 19, 20)}, 0},
        {"shift right", EnvGraphLogic::KeyRight, true, false, 20, 50, {Edit(500, 30, 20)}, 0},
        {"up", EnvGraphLogic::KeyUp, false, false, 20, 50, {Edit(506, 51, 50)}, 0},
        {"shift down", EnvGraphLogic::KeyDown, true, false, 20, 50, {Edit(506, 40, 50)}, 0},
        {"page up near the top", EnvGraphLogic::KeyPageUp, false, false, 20, 95, {Edit(506, 100, 95)}, 0},
        {"page down", EnvGraphLogic::KeyPageDown, false, false, 20, 50, {Edit(506, 40, 50)}, 0},
        {"home", EnvGraphLogic::KeyHome, false, false, 20, 50, {Edit(500, 0, 20)}, 0},
        {"home at 0", EnvGraphLogic::KeyHome, false, false, 0, 50, {}, 0},
        {"left at 0", EnvGraphLogic::KeyLeft, false, false, 0, 50, {}, 0},
        {"end", EnvGraphLogic::KeyEnd, false, false, 20, 50, {Edit(500, 127, 20)}, 0},
        {"ctrl right", EnvGraphLogic::KeyRight, false, true, 20, 50, {}, 1},
        {"ctrl down", EnvGraphLogic::KeyDown, false, true, 20, 50, {}, 1},
        {"ctrl left at 0", EnvGraphLogic::KeyLeft, false, true, 20, 50, {}, 0},
    };
    for (const Case& c : cases) {
        EnvRig rig;
        rig.records[0].value = c.time;
        rig.records[6].value = c.level;
        rig.graph.KeyPress(c.key, c.shift, c.ctrl, false);
        EXPECT_EQ(rig.owner.Take(), c.sent) << c.name;
        EXPECT_EQ(rig.graph.SelectedPoint(), c.selected) << c.name;
    }
    EnvRig rig;
    rig.graph.KeyPress(EnvGraphLogic::KeyLeft, false, false, true);
    EXPECT_TRUE(rig.owner.calls.empty()) << "Alt drops the key";
}

// ---- name edit -----------------------------------------------------------------------------

class ShownName : public NameEditLogic {
public:
    using NameEditLogic::NameEditLogic;
    QString text;
    int selStart = -1, selEnd = -1;

protected:
    void ShowText(const QString& t, int s, int e) override
    {
        text = t;
        selStart = s;
        selEnd = e;
    }
};

struct NameRig : SettingsFixture {
    NamingOwner owner;
    std::array<ParamRecord, 16> chars;
    ShownName edit{&owner};
    void Bind(const char* name)
    {
        for (int i = 0; i < 16; ++i) {
            chars[size_t(i)] = ParamRecord(QStringLiteral("C%1").arg(i), 700 + i, i < int(strlen(name)) ? name[i] : ' ');
            edit.BindParameter(nullptr, 0, &chars[size_t(i)]);
        }
    }
};

TEST_F(NameRig, CommitSendsEachChangedCharacterAsOneUndoGroup)
{
    struct Case {
        const char* before;
        const char* typed;
        std::vector<OwnerCall> sent;
    };
    const Case cases[] = {
        {"Grand Piano 1234", "Grand Piano 1x34",
         {Marker(START_UNDO, "Name Change"), Edit(713, 'x', '2'), Marker(END_UNDO, "Name Change")}},
        {"Piano", "Pian", {Marker(START_UNDO, "Name Change"), Edit(704, ' ', 'o'), Marker(END_UNDO, "Name Change")}},
        {"Piano", "Pi", {Marker(START_UNDO, "Name Change"), Edit(702, ' ', 'a'), Edit(703, ' ', 'n'),
                         Edit(704, ' ', 'o'), Marker(END_UNDO, "Name Change")}},
        {"Piano", "Piano", {}},
    };
    for (const Case& c : cases) {
        owner.Take();
        NameRig::chars = {};
        ShownName fresh(&owner);
        for (int i = 0; i < 16; ++i) {
            chars[size_t(i)] = ParamRecord(QStringLiteral("C%1").arg(i), 700 + i, i < int(strlen(c.before)) ? c.before[i] : ' ');
            fresh.BindParameter(nullptr, 0, &chars[size_t(i)]);
        }
        fresh.Commit(QString::fromUtf8(c.typed));
        EXPECT_EQ(owner.Take(), c.sent) << c.typed;
    }
}

TEST_F(NameRig, FillTrimsAndEchoesWhileCommittingAreIgnored)
{
    Bind("Bass");
    edit.Activate();
    EXPECT_EQ(edit.text, "Bass");
    EXPECT_EQ(edit.selStart, 4);
    owner.answerRequests = false;
    edit.Fill();
    EXPECT_EQ(edit.text, "") << "unknown characters are spaces, cut at the end";
    GetGlobalConfigurations().SetBool(TestUI, true);
    edit.Fill();
    EXPECT_EQ(edit.text, "Bass");
    GetGlobalConfigurations().SetBool(TestUI, false);
    owner.answerRequests = true;

    // An owner that echoes each edit back at once, as the module connection does.
    class EchoOwner : public NamingOwner {
    public:
        NameEditLogic* edit = nullptr;
        bool EditParameter(ParamRecord* r) override
        {
            NamingOwner::EditParameter(r);
            ParamRecord echo = *r;
            echo.value = 'Q';
            edit->ParameterChanged(&echo);
            return true;
        }
    } echo;
    ShownName other(&echo);
    echo.edit = &other;
    other.BindParameter(nullptr, 0, &chars[0]);
    other.Commit(QStringLiteral("Z"));
    EXPECT_EQ(chars[0].value, 'Z') << "the echo during the commit changes nothing";
    ParamRecord later = chars[0];
    later.value = 'M';
    other.ParameterChanged(&later);
    EXPECT_EQ(chars[0].value, 'M');
    EXPECT_EQ(other.text, "M");
}

// ---- object select -------------------------------------------------------------------------

TEST(ObjectSelectTest, CaptionTable)
{
    struct Case {
        const char* caption;
        bool showLocation;
        const char* name;
        const char* text;
    };
    const Case cases[] = {
        {"Preset", false, "Pno:Grand", "Preset: Pno:Grand"},
        {"Preset", true, "Pno:Grand", "Preset: Pno:Grand (Rom3)"},
        {"", true, "Pno:Grand", "Pno:Grand (Rom3)"},
        {"", false, "Pno:Grand", "Pno:Grand"},
        {"Preset", true, "(NOT INSTLD)", "Preset: (NOT INSTLD)"},
        {"Preset", true, "", "Preset: "},
        {"Preset", false, "R&B", "Preset: R&&B"},
    };
    for (const Case& c : cases) {
        NamingOwner owner;
        FakeSurface surface;
        surface.caption = QString::fromUtf8(c.caption);
        ParamRecord record(QStringLiteral("PRESET"), 800, 4);
        record.romId = 3;
        owner.names[{3, 4}] = QString::fromUtf8(c.name);
        SelectLogic select(&owner);
        select.SetSurface(&surface);
        select.simmName = [](int simm) { return QStringLiteral("Rom%1").arg(simm); };
        select.BindParameter(nullptr, 0, &record);
        select.Setup(OBJECT_PRESET, false, c.showLocation, QStringLiteral("names"), QString(), 0);
        EXPECT_EQ(select.Text(), c.text) << c.caption << "/" << c.name;
        EXPECT_EQ(select.PopupTitle(), "SelectPreset");
    }
}

TEST(ObjectSelectTest, SelectionsAreSentUnlessTheSameAndARefusalKeepsTheOldObject)
{
    NamingOwner owner;
    FakeSurface surface;
    ParamRecord record(QStringLiteral("PRESET"), 800, 4);
    record.romId = 3;
    SelectLogic select(&owner);
    select.SetSurface(&surface);
    select.BindParameter(nullptr, 0, &record);
    select.Setup(OBJECT_PRESET, false, false, QStringLiteral("names"), QString(), 0);
    EXPECT_TRUE(select.OnPopupSelect(OBJECT_PRESET, 3, 4));
    EXPECT_TRUE(owner.Take().empty());
    owner.accept = false;
    EXPECT_FALSE(select.OnPopupSelect(OBJECT_PRESET, 0, 9));
    EXPECT_EQ(owner.Take(), (std::vector<OwnerCall>{Edit(800, 9, 4)}));
    EXPECT_EQ(record.value, 4);
    EXPECT_EQ(record.romId, 3);
    owner.accept = true;
    EXPECT_TRUE(select.OnPopupSelect(OBJECT_PRESET, 0, 9));
    EXPECT_EQ(record.value, 9);
    EXPECT_EQ(record.romId, 0);
    // No popup registered under the name: opening only flips the state.
    select.Toggle();
    EXPECT_TRUE(select.IsOpen());
    EXPECT_TRUE(select.OnPopupClosing());
    EXPECT_FALSE(select.IsOpen());
}

// ---- keyboard configuration ----------------------------------------------------------------

TEST(ConfigureKeyboardTest, RepeatedChordNotesAndTheChordButtons)
{
    struct Case {
        std::array<int, 4> in, out;
    };
    const Case cases[] = {{{4, 4, 7, 4}, {4, 0, 7, 0}}, {{0, 0, 0, 0}, {0, 0, 0, 0}}, {{7, 0, 7, 7}, {7, 0, 0, 0}},
                          {{0, 5, 5, 0}, {0, 5, 0, 0}}};
    for (const Case& c : cases) {
        std::array<int, 4> notes = c.in;
        ConfigureKeyboardDlg::RemoveRepeatedNotes(notes.data());
        EXPECT_EQ(notes, c.out);
    }
    EXPECT_EQ(ConfigureKeyboardDlg::Chord(3), (std::array<int, 4>{7, 16, 23, 26}));
    EXPECT_EQ(ConfigureKeyboardDlg::Chord(0), (std::array<int, 4>{7, 12, 16, 0}));
    EXPECT_EQ(ConfigureKeyboardDlg::Chord(4), (std::array<int, 4>{10, 16, 26, 28}));
}

} // namespace
