// The edit history: groups, labels, barriers, the modified test, and the
// notification after every step that moved records.
#include "RoutingDoubles.h"

#include "ui/framework/UndoRedo.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

using namespace routingtest;

namespace {

class History : public UndoRedo {
public:
    explicit History(ControlListener* owner) : UndoRedo(owner), listener(owner) {}
    std::vector<std::pair<int, int>> applied; ///< (id, value) in order
    std::set<int> refused;                    ///< ids whose change the window refuses
    std::map<int, int> liveWhenApplied;       ///< id -> the owner's record value seen by ApplyChange
    int notifications = 0;
    void OnUndoStackChanged() override { ++notifications; }
    bool ApplyChange(ParamRecord* r) override
    {
        applied.emplace_back(r->id, r->value);
        if (ParamRecord* live = listener->GetParameter(r->id))
            liveWhenApplied[r->id] = live->value;
        return refused.count(r->id) == 0;
    }
    ControlListener* listener = nullptr;
};

// An edit from `from` to `to`, recorded as the window records a successful one.
void Edit(History& h, ParamRecord& r, int to)
{
    r.previousValue = r.value;
    r.value = to;
    h.RecordChange(&r);
}

void Marker(History& h, int id, const QString& label)
{
    ParamRecord m(id == START_UNDO ? QStringLiteral("START_UNDO") : QStringLiteral("END_UNDO"), id, 0);
    m.SetText(label);
    h.RecordChange(&m);
}

} // namespace

TEST(UndoRedo, GroupIsOneStepUnderItsLabelAndKeepsItsBrackets)
{
    TableListener owner;
    ParamRecord a(QStringLiteral("A_PARAM"), 10, 0), b(QStringLiteral("B_PARAM"), 20, 0), c(QStringLiteral("C_PARAM"), 30, 0);
    owner.AddParameter(&b);
    History h(&owner);
    Edit(h, a, 1);
    Marker(h, START_UNDO, QStringLiteral("L"));
    Edit(h, b, 2);
    Edit(h, c, 3);
    Marker(h, END_UNDO, QStringLiteral("L"));
    EXPECT_EQ(h.GetUndoText(), QStringLiteral("L"));

    h.Undo();
    EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{30, 0}, {20, 0}}));
    EXPECT_EQ(b.value, 0); // the owner's live record took the old value
    EXPECT_EQ(b.previousValue, 2);
    EXPECT_EQ(h.GetUndoText(), QStringLiteral("A_PARAM"));
    EXPECT_EQ(h.GetRedoText(), QStringLiteral("L"));

    h.applied.clear();
    h.Redo();
    EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{20, 2}, {30, 3}}));
    EXPECT_EQ(h.GetUndoText(), QStringLiteral("L"));
    EXPECT_FALSE(h.CanRedo());

    // Through any number of steps.
    h.applied.clear();
    h.Undo();
    h.Undo();
    EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{30, 0}, {20, 0}, {10, 0}}));
    EXPECT_FALSE(h.CanUndo());
    h.Redo();
    h.Redo();
    EXPECT_EQ(h.GetUndoText(), QStringLiteral("L"));
}

TEST(UndoRedo, UnlabelledGroupShowsSequenceOfCommands)
{
    TableListener owner;
    ParamRecord b(QStringLiteral("B_PARAM"), 20, 0);
    History h(&owner);
    Marker(h, START_UNDO, QString());
    Edit(h, b, 2);
    Marker(h, END_UNDO, QString());
    EXPECT_EQ(h.GetUndoText(), QStringLiteral("Sequence of Commands"));
    EXPECT_EQ(h.GetRedoText(), QString());
}

TEST(UndoRedo, RandomiseAndUploadAreBarriers)
{
    for (int barrier : {RANDOMISE_PRESET_BUTTON, UPLOAD_SYSEX}) {
        TableListener owner;
        ParamRecord a(QStringLiteral("A"), 10, 0), r(QStringLiteral("BARRIER"), barrier, 0), c(QStringLiteral("C"), 30, 0);
        History h(&owner);
        Edit(h, a, 1);
        Edit(h, r, 1);
        EXPECT_FALSE(h.CanUndo()) << barrier;
        Edit(h, c, 3);
        EXPECT_TRUE(h.CanUndo());
        h.Undo();
        h.Undo();
        EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{30, 0}})) << barrier;
        EXPECT_EQ(h.UndoHistory().size(), 2u);
    }
}

TEST(UndoRedo, ModifiedOnlyByRealChanges)
{
    const int notModifying[] = {LAYER_SELECT, START_UNDO, END_UNDO, PREV_PARAMETER_BUTTON, NEXT_PARAMETER_BUTTON,
                                UNDO_PARAMETER_BUTTON, REDO_PARAMETER_BUTTON, APPLY_PARAMETER_BUTTON, PAGE_SELECT};
    TableListener owner;
    History h(&owner);
    EXPECT_FALSE(h.IsModified());
    for (int id : notModifying) {
        ParamRecord r(QStringLiteral("R"), id, 0);
        Edit(h, r, 1);
    }
    EXPECT_FALSE(h.IsModified());
    ParamRecord real(QStringLiteral("REAL"), 10, 0);
    Edit(h, real, 1);
    EXPECT_TRUE(h.IsModified());
}

TEST(UndoRedo, TrackerEditsAreNotKept)
{
    TableListener owner;
    History h(&owner);
    ParamRecord tracker(QStringLiteral("EDIT_TRACKER"), EDIT_TRACKER, 0);
    Edit(h, tracker, 5);
    EXPECT_TRUE(h.UndoHistory().empty());
    EXPECT_EQ(h.notifications, 0);
}

TEST(UndoRedo, UndoWithoutKeepingLeavesNothingToRedo)
{
    TableListener owner;
    History h(&owner);
    ParamRecord a(QStringLiteral("A"), 10, 0);
    Edit(h, a, 1);
    Edit(h, a, 2);
    h.Undo(false);
    EXPECT_FALSE(h.CanRedo());
    EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{10, 1}}));
    EXPECT_EQ(h.UndoHistory().size(), 1u);
    // A new edit clears what redo held.
    h.Undo();
    EXPECT_TRUE(h.CanRedo());
    Edit(h, a, 3);
    EXPECT_FALSE(h.CanRedo());
}

// A group cut short by a barrier (undo) or by the end of the history (redo)
// has still moved records: the window must hear of it.
TEST(UndoRedo, GroupEndingEarlyStillNotifies)
{
    TableListener owner;
    History h(&owner);
    ParamRecord randomise(QStringLiteral("RANDOMISE"), RANDOMISE_PRESET_BUTTON, 0), b(QStringLiteral("B"), 20, 0);
    Edit(h, randomise, 1);
    Edit(h, b, 2); // a group whose start marker is missing
    Marker(h, END_UNDO, QStringLiteral("L"));
    const int before = h.notifications;
    h.Undo();
    EXPECT_EQ(h.notifications, before + 1);
    EXPECT_EQ(h.GetRedoText(), QStringLiteral("B")); // the redo front is b's record

    History r(&owner);
    Marker(r, START_UNDO, QStringLiteral("L"));
    Edit(r, b, 3);
    r.Undo(); // b only: the start marker stays at the undo front
    r.Undo(); // the lone start marker moves to redo
    ASSERT_EQ(r.RedoHistory().front().id, START_UNDO);
    const int redoBefore = r.notifications;
    r.Redo(); // the group never closes
    EXPECT_EQ(r.notifications, redoBefore + 1);
    EXPECT_TRUE(r.RedoHistory().empty());
}

// A new preset, pattern or setup empties both histories at once, including a
// barrier, and the window hears of it so its buttons go grey.
TEST(UndoRedo, ClearHistoryEmptiesBothListsAndNotifies)
{
    TableListener owner;
    History h(&owner);
    ParamRecord randomise(QStringLiteral("RANDOMISE"), RANDOMISE_PRESET_BUTTON, 0), a(QStringLiteral("A"), 10, 0);
    Edit(h, a, 1);
    Edit(h, randomise, 1);
    Edit(h, a, 2);
    h.Undo();
    ASSERT_TRUE(h.CanUndo() || h.CanRedo());
    const int before = h.notifications;
    h.applied.clear();

    h.ClearHistory();
    EXPECT_EQ(h.notifications, before + 1);
    EXPECT_TRUE(h.UndoHistory().empty());
    EXPECT_TRUE(h.RedoHistory().empty());
    EXPECT_FALSE(h.CanUndo());
    EXPECT_FALSE(h.CanRedo());
    EXPECT_FALSE(h.IsModified());
    EXPECT_TRUE(h.GetUndoText().isEmpty());
    EXPECT_TRUE(h.GetRedoText().isEmpty());
    EXPECT_TRUE(h.applied.empty()); // nothing is sent back to the module
}

// A step the window refuses (the module did not take the old value) leaves
// the window's record with the value the module still has, and the step
// where it was, for undo and redo alike; the record holds the restored value
// while ApplyChange runs, as the editors' own records expect.
TEST(UndoRedo, ARefusedStepLeavesTheRecordAndTheHistoriesAsTheyWere)
{
    TableListener owner;
    ParamRecord a(QStringLiteral("A_PARAM"), 10, 0);
    owner.AddParameter(&a);
    History h(&owner);
    Edit(h, a, 1);
    Edit(h, a, 2);

    h.refused = {10};
    const std::deque<ParamRecord> undo = h.UndoHistory();
    h.Undo();
    EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{10, 1}}));
    EXPECT_EQ(h.liveWhenApplied[10], 1) << "the record holds the value being applied";
    EXPECT_EQ(a.value, 2);
    EXPECT_EQ(a.previousValue, 1);
    EXPECT_EQ(h.UndoHistory().size(), undo.size());
    EXPECT_EQ(h.UndoHistory().front().value, 1);
    EXPECT_FALSE(h.CanRedo());
    EXPECT_EQ(h.GetUndoText(), QStringLiteral("A_PARAM"));
    h.Undo(false); // the editor dropping its last change: refused, kept
    EXPECT_EQ(h.UndoHistory().size(), undo.size());
    EXPECT_EQ(a.value, 2);

    // Taken once the module takes it; then a refused redo stays redoable.
    h.refused.clear();
    h.Undo();
    EXPECT_EQ(a.value, 1);
    ASSERT_TRUE(h.CanRedo());
    h.refused = {10};
    h.Redo();
    EXPECT_EQ(a.value, 1);
    EXPECT_TRUE(h.CanRedo());
    EXPECT_EQ(h.RedoHistory().front().value, 2);
    EXPECT_EQ(h.UndoHistory().size(), 1u);
    h.refused.clear();
    h.Redo();
    EXPECT_EQ(a.value, 2);
    EXPECT_FALSE(h.CanRedo());
}

// A group with a refused record stops there and stays one whole step: the
// records applied before keep the values the module took, the refused one and
// those after it are untouched, and trying again sends the same values.
TEST(UndoRedo, ARefusedRecordKeepsItsWholeGroupInPlace)
{
    TableListener owner;
    ParamRecord b(QStringLiteral("B_PARAM"), 20, 0), c(QStringLiteral("C_PARAM"), 30, 0), d(QStringLiteral("D_PARAM"), 40, 0);
    owner.AddParameter(&b);
    owner.AddParameter(&c);
    owner.AddParameter(&d);
    History h(&owner);
    Marker(h, START_UNDO, QStringLiteral("L"));
    Edit(h, b, 2);
    Edit(h, c, 3);
    Edit(h, d, 4);
    Marker(h, END_UNDO, QStringLiteral("L"));

    h.refused = {30};
    h.Undo();
    EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{40, 0}, {30, 0}}));
    EXPECT_EQ(d.value, 0);
    EXPECT_EQ(c.value, 3);
    EXPECT_EQ(b.value, 2);
    EXPECT_EQ(h.UndoHistory().size(), 5u);
    EXPECT_EQ(h.GetUndoText(), QStringLiteral("L"));
    EXPECT_FALSE(h.CanRedo());

    h.refused.clear();
    h.applied.clear();
    h.Undo();
    EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{40, 0}, {30, 0}, {20, 0}}));
    EXPECT_EQ(b.value + c.value + d.value, 0);
    EXPECT_TRUE(h.UndoHistory().empty());

    h.refused = {20};
    h.applied.clear();
    h.Redo();
    EXPECT_EQ(h.applied, (std::vector<std::pair<int, int>>{{20, 2}}));
    EXPECT_EQ(b.value, 0);
    EXPECT_EQ(h.RedoHistory().size(), 5u);
    EXPECT_TRUE(h.UndoHistory().empty());
    EXPECT_EQ(h.GetRedoText(), QStringLiteral("L"));
}
