// Controls and the listener chain: binding, the trigger refresh, the look-up
// tables, value text and the parent chain's forwarding and failure texts.
#include "RoutingDoubles.h"

#include "core/RecordingLogger.h"
#include "module/Proteus.h"
#include "module/ValueFormats.h"
#include "ui/framework/ChainedListener.h"

#include <gtest/gtest.h>

using namespace routingtest;

namespace {

const TriggerSet kTriggers = {100, 200, 300};

struct Bound {
    ParamRecord main{QStringLiteral("MAIN"), 100, 0};
    ParamRecord second{QStringLiteral("SECOND"), 200, 0};
    ParamRecord third{QStringLiteral("THIRD"), 500, 0};
};

} // namespace

TEST(TriggerRefresh, RefreshesTheOtherBoundParametersOnlyForATrigger)
{
    struct Case {
        const char* what;
        int changedId;
        std::vector<int> requested;
    };
    const Case cases[] = {
        {"not a trigger", 999, {}},
        {"the control's own main parameter", 100, {}},
        {"another trigger", 300, {100, 200, 500}},
        {"a bound trigger skips itself", 200, {100, 500}},
        {"reload refreshes every bound parameter", POPUP_RELOAD_NOTIFIER, {100, 200, 500}},
    };
    for (const Case& c : cases) {
        TableListener owner;
        owner.values = {{100, 1}, {200, 2}, {500, 5}};
        Bound b;
        RecordingControl control(&owner);
        control.BindParameters(&kTriggers, 0, {&b.main, &b.second, &b.third});
        ParamRecord changed(QStringLiteral("X"), c.changedId, 0);
        control.ParameterChanged(&changed);
        EXPECT_EQ(owner.requests, c.requested) << c.what;
        // The concrete control sees the change itself, then each refreshed value.
        std::vector<int> shown = {c.changedId};
        shown.insert(shown.end(), c.requested.begin(), c.requested.end());
        EXPECT_EQ(control.shown, shown) << c.what;
        EXPECT_EQ(control.displays, c.requested.empty() ? 0 : 1) << c.what;
    }
}

TEST(TriggerRefresh, UnboundControlOrNoTriggerSetIgnoresEverything)
{
    TableListener owner;
    RecordingControl unbound(&owner);
    ParamRecord reload(QStringLiteral("POPUP_RELOAD_NOTIFIER"), POPUP_RELOAD_NOTIFIER, 1);
    unbound.ParameterChanged(&reload);
    Bound b;
    RecordingControl noTriggers(&owner);
    noTriggers.BindParameters(nullptr, 0, {&b.main, &b.second});
    noTriggers.ParameterChanged(&reload);
    EXPECT_TRUE(owner.requests.empty());
    EXPECT_EQ(unbound.displays + noTriggers.displays, 0);
}

TEST(TriggerRefresh, FailedRequestIsNotShownAndIdZeroIsSkipped)
{
    TableListener owner;
    owner.values = {{200, 2}};
    ParamRecord main(QStringLiteral("MAIN"), 100, 0), blank(QStringLiteral("B"), 0, 0), second(QStringLiteral("S"), 200, 0);
    RecordingControl control(&owner);
    control.BindParameters(&kTriggers, 0, {&main, &blank, &second});
    ParamRecord changed(QStringLiteral("X"), 300, 0);
    control.ParameterChanged(&changed);
    EXPECT_EQ(owner.requests, (std::vector<int>{100, 200}));
    EXPECT_EQ(control.shown, (std::vector<int>{300, 200}));
    EXPECT_EQ(second.value, 2);
}

// Two bound parameters that trigger each other: showing one refreshes the
// other, whose display would refresh the first again, without end.
TEST(TriggerRefresh, MutuallyTriggeringParametersDoNotRecurse)
{
    TableListener owner;
    owner.values = {{200, 2}, {300, 3}};
    ParamRecord main(QStringLiteral("MAIN"), 100, 0), b(QStringLiteral("B"), 200, 0), c(QStringLiteral("C"), 300, 0);
    RecordingControl control(&owner);
    control.BindParameters(&kTriggers, 0, {&main, &b, &c});
    ParamRecord changed(QStringLiteral("B"), 200, 0);
    control.ParameterChanged(&changed);
    EXPECT_EQ(owner.requests, (std::vector<int>{100, 300}));
    EXPECT_EQ(control.displays, 1);
}

TEST(Binding, BindingReplacesTriggersAndFormatAndAppendsRecords)
{
    TableListener owner;
    Bound b;
    const TriggerSet other = {7};
    ControlBase control(&owner);
    control.BindParameter(&kTriggers, 3, &b.main);
    control.BindParameter(&other, 5, nullptr);
    control.BindParameters(&other, 6, {&b.second, nullptr, &b.third});
    EXPECT_EQ(control.GetTriggerSet(), &other);
    EXPECT_EQ(control.GetValueFormat(), 6);
    ASSERT_EQ(control.ParameterCount(), 3u);
    EXPECT_EQ(control.ParameterAt(0), &b.main);
    EXPECT_EQ(control.ParameterAt(2), &b.third);

    RecordingLogger log;
    SetLogWindow(&log);
    EXPECT_EQ(control.ParameterAt(3), nullptr);
    SetLogWindow(nullptr);
    ASSERT_EQ(log.Calls().size(), 1u);
    EXPECT_EQ(log.Calls()[0].message, QStringLiteral("Invalid parameter reference"));
    EXPECT_EQ(log.Calls()[0].sourceFile, QStringLiteral("Routing"));
    EXPECT_EQ(log.Calls()[0].level, -2);
}

TEST(ListenerTables, FirstEntryWinsAndIdZeroIsNotEntered)
{
    TableListener owner;
    Bound b;
    ParamRecord blank(QStringLiteral("B"), 0, 0);
    int w1 = 0, w2 = 0; // stand-ins for two windows
    ControlBase first(&owner), second(&owner), sameWindow(&owner);
    first.SetControlWindow(reinterpret_cast<QWidget*>(&w1));
    first.BindParameters(nullptr, 0, {&blank, &b.main});
    second.SetControlWindow(reinterpret_cast<QWidget*>(&w2));
    second.BindParameters(nullptr, 0, {&b.main, &b.second});
    sameWindow.SetControlWindow(reinterpret_cast<QWidget*>(&w1));
    owner.AddControl(&first);
    owner.AddControl(&second);
    owner.AddControl(&sameWindow);
    EXPECT_EQ(owner.FindParameterControl(100), &first);
    EXPECT_EQ(owner.FindParameterControl(200), &second);
    EXPECT_EQ(owner.FindParameterControl(0), nullptr);
    EXPECT_EQ(owner.FindControl(reinterpret_cast<QWidget*>(&w1)), &first);
    EXPECT_EQ(owner.Controls(), (std::vector<ControlBase*>{&first, &second}));

    ParamRecord again(QStringLiteral("MAIN AGAIN"), 100, 0);
    owner.AddParameter(&b.main);
    owner.AddParameter(&again);
    EXPECT_EQ(owner.GetParameter(100), &b.main);
    EXPECT_EQ(owner.GetParameter(200), nullptr);
}

TEST(ValueText, DecimalWithoutAModuleElseTheFormatter)
{
    ParamRecord r(QStringLiteral("R"), 100, -5);
    ControlBase orphan(nullptr);
    orphan.SetValueFormat(vf::Decibels);
    EXPECT_EQ(orphan.GetValueText(&r), QStringLiteral("-5"));
    TableListener noModule;
    ControlBase withoutProteus(&noModule);
    withoutProteus.SetValueFormat(vf::Decibels);
    EXPECT_EQ(withoutProteus.GetValueText(&r), QStringLiteral("-5"));

    struct ModuleListener : TableListener {
        Proteus proteus;
        Proteus* GetProteus() override { return &proteus; }
    } withModule;
    ControlBase formatted(&withModule);
    formatted.SetValueFormat(vf::Decibels);
    EXPECT_EQ(formatted.GetValueText(&r), FormatValue(vf::Decibels, -5));
    formatted.SetValueFormat(-1234); // no formatter of that number
    EXPECT_EQ(formatted.GetValueText(&r), QStringLiteral("-5"));
}

TEST(Chain, DialogPassesEverythingButRevertAndPreviewToItsParent)
{
    TableListener root;
    root.values = {{100, 7}};
    ParamRecord rootRecord(QStringLiteral("ROOT"), 300, 0);
    root.AddParameter(&rootRecord);
    ChainedListener page(&root, false);
    ChainedListener dialog(&page, false);
    ParamRecord own(QStringLiteral("OWN"), 300, 0);
    dialog.AddParameter(&own);

    ParamRecord r(QStringLiteral("R"), 100, 0);
    EXPECT_TRUE(dialog.RequestParameterValues(&r));
    EXPECT_EQ(r.value, 7);
    EXPECT_TRUE(dialog.EditParameter(&r));
    EXPECT_EQ(dialog.GetParameter(300), &own);
    EXPECT_EQ(page.GetParameter(300), &rootRecord);
    EXPECT_EQ(dialog.GetObjectName(1, 0, 0), QStringLiteral("name"));
    root.deviceReady = false;
    EXPECT_FALSE(dialog.IsDeviceReady());
    dialog.RevertLastEdit();
    dialog.PreviewParameterValue(&r, 3);
    EXPECT_EQ(root.reverts, 0);
}

TEST(Chain, WithoutParentEachOperationLogsItsTextAndAnswersNothing)
{
    RecordingLogger log;
    SetLogWindow(&log);
    ChainedListener lone(nullptr, false);
    ParamRecord r(QStringLiteral("R"), 100, 0);
    EXPECT_FALSE(lone.RequestParameterValues(&r));
    EXPECT_FALSE(lone.RequestParameterMinMax(&r));
    EXPECT_FALSE(lone.EditParameter(&r));
    EXPECT_EQ(lone.GetObjectName(1, 0, 0), QString());
    EXPECT_EQ(lone.GetParameter(100), nullptr);
    EXPECT_EQ(lone.GetProteus(), nullptr);
    EXPECT_EQ(lone.GetAltPort(), nullptr);
    EXPECT_TRUE(lone.IsDeviceReady());
    lone.AddPopup(QStringLiteral("P"), nullptr);
    EXPECT_EQ(lone.FindPopup(QStringLiteral("P")), nullptr);
    lone.RemovePopup(QStringLiteral("P"));
    ChainedListener top(nullptr, true);
    EXPECT_FALSE(top.RequestParameterValues(&r));
    EXPECT_FALSE(top.RequestParameterMinMax(&r));
    EXPECT_FALSE(top.EditParameter(&r));
    SetLogWindow(nullptr);

    const std::vector<std::pair<int, QString>> expected = {
        {150, "Basic Dialog has no listener and so cannot request parameter values"},
        {167, "Basic Dialog has no listener and so cannot request parameter min/max values"},
        {184, "Basic Dialog has no listener and so cannot edit parameters"},
        {193, "Basic Dialog has no listener and so cannot retrieve object names"},
        {205, "Basic Dialog has no listener and so no access to parameters"},
        {213, "Basic Dialog has no listener and so no access to Proteus"},
        {221, "Basic Dialog has no listener and so no access to the Alt Port"},
        {230, "Basic Dialog has no listener and so is not allowed to add popups"},
        {237, "Basic Dialog has no listener and so has no access to the popup list"},
        {246, "Basic Dialog has no listener and so is not allowed to remove popups"},
        // A top-level dialog asks its own (here missing) module connection.
        {213, "Basic Dialog has no listener and so no access to Proteus"},
        {144, "Top level Basic Dialog has no Proteus and cannot request parameter values"},
        {213, "Basic Dialog has no listener and so no access to Proteus"},
        {161, "Top level Basic Dialog has no Proteus and cannot request parameter min/max values"},
        {213, "Basic Dialog has no listener and so no access to Proteus"},
        {178, "Top level Basic Dialog but has no Proteus and cannot edit parameters"},
    };
    const std::vector<RecordingLogger::Call> calls = log.Calls();
    ASSERT_EQ(calls.size(), expected.size());
    for (size_t i = 0; i < calls.size(); ++i) {
        EXPECT_EQ(calls[i].line, expected[i].first) << i;
        EXPECT_EQ(calls[i].message, expected[i].second) << i;
        EXPECT_EQ(calls[i].sourceFile, QStringLiteral("BasicDialog")) << i;
        EXPECT_EQ(calls[i].level, -2) << i;
    }
}
