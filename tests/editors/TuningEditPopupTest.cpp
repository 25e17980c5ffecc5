// The tuning editor against the simulated module: reading the tuning when
// shown, edits heard at once as single-note changes (replicated or not), the
// octave paging, Apply as a bulk dump, the save question, tuning files saved,
// loaded and refused, and the Scala import as one undoable step.
#include "TuningEditorFixture.h"

#include "editors/ScalaScale.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/LabelCtrl.h"

#include <gtest/gtest.h>

using namespace tuningtest;

namespace {

QByteArray BytesOf(std::initializer_list<int> values)
{
    QByteArray b;
    for (int v : values)
        b.append(char(v));
    return b;
}

constexpr int kNext = 1223, kPrev = 1222, kUndo = 1056, kRedo = 1057, kApply = 1013;

// The module's default tuning program 1 (what the simulator answers before any upload).
Tuning SimDefaultKey(int n)
{
    return {n, ((n * 13 + 7) & 0x7F) * 128 + ((n * 5 + 1) & 0x7F)};
}

QByteArray Body(const TuningSet& set)
{
    return EncodeTuningDump(set, 0, 0).mid(6, 400);
}

} // namespace

TEST_F(TuningEditorTest, ShowingReadsTheUserTuningFromTheModule)
{
    Open();
    EXPECT_EQ(popup->TuningNumber(), 13);
    EXPECT_EQ(SentWith("F0 7E 00 08 00").size(), 1u);
    EXPECT_EQ(SentWith("F0 7E 00 08 00").front(), sim::Hex("F0 7E 00 08 00 01 F7"));
    EXPECT_EQ(popup->Table().name, QStringLiteral("User Tuning 2   "));
    for (int n : {0, 14, 60, 127})
        EXPECT_EQ(popup->Table().entries[std::size_t(n)], SimDefaultKey(n)) << n;
    // Replicate mode shows keys 12 to 23, the note relative to the octave.
    const Tuning d = SimDefaultKey(12 + 4);
    EXPECT_EQ(popup->KeySlider(4)->Value(), d.semitone - 12);
    EXPECT_EQ(popup->CoarseSlider(4)->Value(), d.fine / 128);
    EXPECT_EQ(popup->FineSlider(4)->Value(), d.fine % 128);
    EXPECT_EQ(popup->CentsLabel(4)->text(), FormatTuningCents(d.fine));
    EXPECT_EQ(popup->NoteLabel(1)->text(), QStringLiteral("C#"));
    EXPECT_TRUE(popup->KeySlider(0)->isEnabled());
    EXPECT_FALSE(popup->Button(kApply)->isEnabled());
    EXPECT_FALSE(popup->Button(kNext)->isEnabled()); // replicate on
}

TEST_F(TuningEditorTest, StartsInReplicateModeAtOctaveTwo)
{
    EXPECT_EQ(popup->Table().name, QStringLiteral("User Tuning"));
    EXPECT_EQ(popup->Octave(), 2);
    EXPECT_EQ(Record(TUNING_REPLICATE)->value, 1);
    EXPECT_EQ(popup->KeySlider(0)->Minimum(), -12);
    EXPECT_EQ(popup->KeySlider(0)->Maximum(), 12);
    EXPECT_EQ(popup->FineSlider(11)->Maximum(), 127);
    EXPECT_EQ(popup->windowTitle(), QStringLiteral("Tuning Editor"));
    // Ctrl+Z and Ctrl+Y do what Undo and Redo do, and only when they can.
    Open();
    popup->KeySlider(1)->SetPosition(2);
    popup->OnCommand(cmd::Undo);
    EXPECT_EQ(popup->Table().entries[13].semitone, 13);
    popup->OnCommand(cmd::Redo);
    EXPECT_EQ(popup->Table().entries[13].semitone, 14);
    popup->OnCommand(cmd::Redo);
    EXPECT_EQ(popup->Table().entries[13].semitone, 14);
}

TEST_F(TuningEditorTest, EachItemHasItsTooltip)
{
    struct Case {
        int item;
        const char* text;
    };
    const Case cases[] = {
        {1289, "The Name of the User Tuning"},
        {1015, "Replicate Tuning Changes across All Octaves"},
        {1223, "Moves to the next set Octave"},
        {1222, "Moves to the previous set Octave"},
        {1224, "Loads a tuning table from a file"},
        {1225, "Saves a tuning table to a file"},
        {1290, "The base note for C"},
        {1294, "The Coarse Offset for C#"},
        {1328, "The Fine Offset for B"},
        {1317, "The base note for Ab"},
        {1056, "Undoes the Last Change"},
        {1057, "Redoes the Last Undone Change"},
        {1013, "Applies the New Tuning"},
        {1014, "Imports a Scale in Scala Format"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(popup->GetToolTipText(c.item), QString::fromLatin1(c.text)) << c.item;
    // A point of the editor that belongs to no control: the editor's own tooltip.
    EXPECT_EQ(popup->GetToolTipText(0), LoadResourceString(TuningEditPopup::kOwnTooltipId));
    EXPECT_FALSE(LoadResourceString(TuningEditPopup::kOwnTooltipId).isEmpty());
}

TEST_F(TuningEditorTest, FactoryTuningIsEqualTemperamentWithoutTrafficAndCannotBeEdited)
{
    SetModuleTuning(3);
    Open();
    EXPECT_EQ(popup->TuningNumber(), 3);
    EXPECT_TRUE(SentWith("F0 7E").empty());
    for (int n = 0; n < 128; ++n)
        ASSERT_EQ(popup->Table().entries[std::size_t(n)], (Tuning{n, 0}));
    for (int k = 0; k < 12; ++k) {
        EXPECT_FALSE(popup->KeySlider(k)->isEnabled());
        EXPECT_FALSE(popup->CoarseSlider(k)->isEnabled());
    }
    EXPECT_FALSE(popup->ReplicateSwitch()->isEnabled());
    EXPECT_FALSE(popup->Button(1014)->isEnabled());
    EXPECT_TRUE(popup->NameLabel()->isEnabled());
}

TEST_F(TuningEditorTest, ReplicatedKeyEditIsHeardInEveryOctaveAndIsOneUndoStep)
{
    Open();
    // C to one semitone below its own C: key 0 cannot go below note 0.
    popup->KeySlider(0)->SetPosition(-1);
    const std::vector<QByteArray> sent = SentWith("F0 7F 00 08 02");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(uchar(sent[0][5]), 1);  // tuning program
    EXPECT_EQ(uchar(sent[0][6]), 11); // eleven changes
    const Tuning c = SimDefaultKey(12);
    EXPECT_EQ(sent[0].mid(7, 8), BytesOf({0, 0, char(c.fine / 128), char(c.fine % 128), 12, 11,
                                             char(c.fine / 128), char(c.fine % 128)}));
    EXPECT_EQ(ModuleKey(1, 120), (std::array<int, 3>{119, c.fine / 128, c.fine % 128}));
    EXPECT_EQ(popup->Table().entries[0].semitone, 0);
    EXPECT_EQ(popup->Table().entries[24].semitone, 23);
    EXPECT_TRUE(popup->Button(kApply)->isEnabled());
    EXPECT_EQ(popup->Button(kUndo)->Caption(), QStringLiteral("Undo TUNING_BASE1"));

    // B: ten octaves (keys 11 to 119).
    popup->KeySlider(11)->SetPosition(12);
    const std::vector<QByteArray> second = SentWith("F0 7F 00 08 02");
    ASSERT_EQ(second.size(), 2u);
    EXPECT_EQ(uchar(second[1][6]), 10);

    popup->Button(kUndo)->OnClicked();
    popup->Button(kUndo)->OnClicked();
    EXPECT_EQ(ModuleKey(1, 12), (std::array<int, 3>{12, c.fine / 128, c.fine % 128}));
    EXPECT_EQ(popup->KeySlider(0)->Value(), 0);
    EXPECT_EQ(popup->Table().entries[24].semitone, 24);
    EXPECT_FALSE(popup->Button(kApply)->isEnabled());
    EXPECT_TRUE(popup->Button(kRedo)->isEnabled());
}

TEST_F(TuningEditorTest, CoarseAndFineShowCentsWhileDraggingAndOnCommit)
{
    Open();
    popup->FineSlider(2)->SetPosition(0);
    popup->PreviewParameterValue(Record(TUNING_COARSE3), 2);
    EXPECT_EQ(popup->CentsLabel(2)->text(), QStringLiteral("1.5625 cents"));
    EXPECT_EQ(popup->Table().entries[14].fine % 128, 0);
    popup->CoarseSlider(2)->SetPosition(64);
    EXPECT_EQ(popup->CentsLabel(2)->text(), QStringLiteral("50.0000 cents"));
    EXPECT_EQ(ModuleKey(1, 2), (std::array<int, 3>{2, 64, 0}));
}

TEST_F(TuningEditorTest, ReplicatedFineEditKeepsTheNoteItSentInEveryOctave)
{
    // A table whose octaves differ: the edit sends the replicated note with the
    // fine offset, and the table must keep what the module now plays.
    TuningSet uneven;
    uneven.entries[40] = {47, 0};
    SetModuleTable(1, Body(uneven));
    Open();
    popup->CoarseSlider(4)->SetPosition(3);
    EXPECT_EQ(ModuleKey(1, 40), (std::array<int, 3>{40, 3, 0}));
    EXPECT_EQ(popup->Table().entries[40], (Tuning{40, 3 * 128}));
}

TEST_F(TuningEditorTest, WithoutReplicateOneKeyOfTheOctaveShownIsEdited)
{
    Open();
    popup->ReplicateSwitch()->Toggle();
    EXPECT_EQ(Record(TUNING_REPLICATE)->value, 0);
    EXPECT_EQ(popup->KeySlider(0)->Minimum(), 0);
    EXPECT_EQ(popup->KeySlider(0)->Maximum(), 127);
    EXPECT_EQ(popup->NoteLabel(0)->text(), FormatNoteName(24));
    EXPECT_EQ(popup->KeySlider(0)->GetValueFormat(), vf::NoteName); // an absolute note, named like the label
    EXPECT_TRUE(popup->Button(kNext)->isEnabled());

    for (int i = 0; i < 12; ++i)
        popup->Button(kNext)->OnClicked();
    EXPECT_EQ(popup->Octave(), 10);
    EXPECT_FALSE(popup->Button(kNext)->isEnabled());
    EXPECT_TRUE(popup->Button(kPrev)->isEnabled());
    for (int k = 8; k < 12; ++k) {
        EXPECT_FALSE(popup->KeySlider(k)->isEnabled());
        EXPECT_FALSE(popup->CentsLabel(k)->isEnabled());
        EXPECT_TRUE(popup->NoteLabel(k)->text().isEmpty()); // keys 128 to 131 do not exist
    }
    EXPECT_EQ(popup->NoteLabel(7)->text(), FormatNoteName(127));
    EXPECT_TRUE(popup->KeySlider(7)->isEnabled());
    // Paging is recorded but changes nothing to apply.
    EXPECT_FALSE(popup->Button(kApply)->isEnabled());
    EXPECT_TRUE(popup->Button(kUndo)->isEnabled());

    popup->KeySlider(7)->SetPosition(120);
    const std::vector<QByteArray> sent = SentWith("F0 7F 00 08 02");
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].mid(6, 3), sim::Hex("01 7F 78"));
    EXPECT_EQ(popup->Table().entries[127].semitone, 120);

    for (int i = 0; i < 12; ++i)
        popup->Button(kPrev)->OnClicked();
    EXPECT_EQ(popup->Octave(), 0);
    EXPECT_FALSE(popup->Button(kPrev)->isEnabled());

    // Back in replicate mode the key sliders are relative again.
    presenter->answers = {msgbox::IdYes};
    popup->ReplicateSwitch()->Toggle();
    EXPECT_EQ(popup->KeySlider(0)->Minimum(), -12);
    EXPECT_EQ(popup->KeySlider(0)->Maximum(), 12);
    EXPECT_FALSE(popup->Button(kPrev)->isEnabled());
    EXPECT_EQ(popup->KeySlider(0)->GetValueFormat(), vf::KeyOffset);
}

TEST_F(TuningEditorTest, ApplySendsTheWholeTableAsABulkDump)
{
    Open();
    popup->KeySlider(9)->SetPosition(10);
    popup->Button(kApply)->OnClicked();
    const std::vector<QByteArray> dumps = SentWith("F0 7E 00 08 01");
    ASSERT_EQ(dumps.size(), 1u);
    EXPECT_EQ(dumps[0], EncodeTuningDump(popup->Table(), 0, 1));
    EXPECT_EQ(ModuleTable(1), Body(popup->Table()));
    EXPECT_EQ(popup->Table().entries[21].semitone, 22);
    EXPECT_FALSE(popup->Button(kApply)->isEnabled());
    EXPECT_FALSE(popup->Button(kUndo)->isEnabled());
    EXPECT_TRUE(popup->UndoHistory().empty());
}

TEST_F(TuningEditorTest, SaveQuestionNoSendsEveryKeyBackAndCancelKeepsTheMode)
{
    Open();
    popup->FineSlider(5)->SetPosition(1);
    popup->KeySlider(6)->SetPosition(8);
    // Cancel: the mode stays, the changes stay.
    presenter->answers = {msgbox::IdCancel};
    popup->ReplicateSwitch()->Toggle();
    EXPECT_EQ(Record(TUNING_REPLICATE)->value, 1);
    EXPECT_TRUE(popup->ReplicateSwitch()->IsOn());
    EXPECT_TRUE(popup->Button(kApply)->isEnabled());
    ASSERT_EQ(presenter->texts.size(), 1u);
    EXPECT_EQ(presenter->texts[0], QStringLiteral("Do you want to save the tuning changes?"));
    EXPECT_EQ(presenter->types[0] & msgbox::ButtonsMask, msgbox::YesNoCancel);
    // No: both keys go back in every octave, in the mode they were made in.
    presenter->answers = {msgbox::IdNo};
    popup->ReplicateSwitch()->Toggle();
    EXPECT_EQ(Record(TUNING_REPLICATE)->value, 0);
    const Tuning f = SimDefaultKey(12 + 5);
    const Tuning g = SimDefaultKey(12 + 6);
    EXPECT_EQ(ModuleKey(1, 5 + 96), (std::array<int, 3>{101, f.fine / 128, f.fine % 128}));
    EXPECT_EQ(ModuleKey(1, 6 + 96), (std::array<int, 3>{102, g.fine / 128, g.fine % 128}));
    EXPECT_FALSE(popup->Button(kApply)->isEnabled());
    EXPECT_FALSE(popup->Button(kUndo)->isEnabled());
    EXPECT_FALSE(popup->Button(kRedo)->isEnabled());
}

TEST_F(TuningEditorTest, ChangingTheTuningAfterTheQuestionLeavesNoHistoryEvenWhenApplyFails)
{
    Open();
    popup->KeySlider(2)->SetPosition(3);
    // Yes, but the module has lost its tuning dumps: the apply fails.
    proteus->SetCapabilities(0);
    presenter->answers = {msgbox::IdYes};
    ParamRecord tune(QStringLiteral("PRESET_KBD_TUNE"), PRESET_KBD_TUNE, 14);
    popup->ParameterChanged(&tune);
    EXPECT_EQ(popup->TuningNumber(), 14);
    EXPECT_TRUE(popup->UndoHistory().empty());
    EXPECT_FALSE(popup->Button(kUndo)->isEnabled());
    const std::size_t before = SingleNoteMessages();
    popup->OnCommand(cmd::Undo);
    EXPECT_EQ(SingleNoteMessages(), before); // nothing of the old tuning reaches the new one
}

TEST_F(TuningEditorTest, ChangingTheTuningReadsTheNewTableAndAsksFirst)
{
    Open();
    EXPECT_TRUE(popup->AllowParameterChange(root->GetParameter(PRESET_KBD_TUNE))); // nothing to save: no question
    EXPECT_TRUE(presenter->texts.isEmpty());
    popup->FineSlider(0)->SetPosition(9);
    presenter->answers = {msgbox::IdCancel};
    ParamRecord preset(QStringLiteral("MULTIMODE_PRESET"), MULTIMODE_PRESET, 5);
    EXPECT_FALSE(popup->AllowParameterChange(&preset));
    presenter->answers = {msgbox::IdYes};
    EXPECT_TRUE(popup->AllowParameterChange(&preset));
    EXPECT_EQ(SentWith("F0 7E 00 08 01").size(), 1u);

    SetModuleTuning(12);
    ParamRecord tune(QStringLiteral("PRESET_KBD_TUNE"), PRESET_KBD_TUNE, 12);
    popup->ParameterChanged(&tune);
    EXPECT_EQ(SentWith("F0 7E 00 08 00").back(), sim::Hex("F0 7E 00 08 00 00 F7"));
    EXPECT_EQ(popup->Table().name, QStringLiteral("User Tuning 1   "));
    const int fine = ((12 * 13) & 0x7F) * 128 + ((12 * 5) & 0x7F);
    EXPECT_EQ(popup->CentsLabel(0)->text(), FormatTuningCents(fine));
}

TEST_F(TuningEditorTest, SavedTuningLoadsBackAsOneUndoableStep)
{
    Open();
    popup->KeySlider(3)->SetPosition(5);
    const TuningSet saved = popup->Table();
    const QString path = dir.filePath(QStringLiteral("tuning"));
    NextFileChoice(path);
    popup->Button(1225)->OnClicked();
    const QString file = path + QStringLiteral(".sysex");
    EXPECT_EQ(GetGlobalConfigurations().GetString(TuningFile), file);
    QFile f(file);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), EncodeTuningDump(saved, 0, 1));
    f.close();

    // Undo the edit, then load the file with replicate off: all 128 keys.
    popup->Button(kUndo)->OnClicked();
    ASSERT_NE(popup->Table().entries, saved.entries);
    presenter->answers = {};
    popup->ReplicateSwitch()->Toggle();
    popup->Button(kNext)->OnClicked();
    const int shown = popup->Octave();
    const std::size_t before = SingleNoteMessages();
    NextFileChoice(file);
    popup->Button(1224)->OnClicked();
    EXPECT_EQ(SingleNoteMessages() - before, 3u * 128u);
    EXPECT_EQ(popup->Table().entries, saved.entries);
    EXPECT_EQ(popup->Octave(), shown);
    EXPECT_EQ(popup->GetUndoText(), QStringLiteral("Tuning Changes"));
    EXPECT_EQ(ModuleKey(1, 15), (std::array<int, 3>{17, saved.entries[15].fine / 128, saved.entries[15].fine % 128}));

    // One Undo takes the whole load back.
    popup->Button(kUndo)->OnClicked();
    EXPECT_EQ(popup->Table().entries[15].semitone, 15);
    EXPECT_EQ(popup->Octave(), shown);
    EXPECT_EQ(ModuleKey(1, 15)->at(0), 15);
    EXPECT_FALSE(popup->Button(kApply)->isEnabled());
}

TEST_F(TuningEditorTest, LoadWithReplicateEditsOnlyTheFirstOctaveOfTheFile)
{
    Open();
    TuningSet file;
    file.entries[1] = {3, 100};   // C# of the file's first octave sounds Eb
    file.entries[13] = {13, 0};   // the file's other octaves are not used
    file.entries[50] = {90, 0};
    const QString path = WriteFile(QStringLiteral("t.sysex"), EncodeTuningDump(file, 9, 7));
    NextFileChoice(path);
    popup->Button(1224)->OnClicked();
    EXPECT_EQ(SingleNoteMessages(), 36u);
    EXPECT_EQ(popup->Table().entries[13], (Tuning{15, 100}));
    EXPECT_EQ(popup->Table().entries[49], (Tuning{51, 100}));
    EXPECT_EQ(popup->Table().entries[50], (Tuning{50, 0}));
    EXPECT_EQ(popup->Table().name, QStringLiteral("User Tuning 2   ")); // the file's name is not taken
}

TEST_F(TuningEditorTest, FilesThatAreNoTuningAreRefusedWithNothingSent)
{
    Open();
    const QByteArray good = EncodeTuningDump(TuningSet(), 0, 0);
    QByteArray high = good;
    high[100] = char(0x85);
    struct Case {
        const char* name;
        QByteArray bytes;
        bool ourMessage; ///< refused with "not a tuning file" (else by the file reader)
    };
    const Case cases[] = {
        {"a preset dump", sim::Hex("F0 18 0F 00 55 10 21 00 00 F7"), true},
        {"a tuning dump cut short", good.left(300) + sim::Hex("F7"), true},
        {"a tuning dump with a byte above 7F", high, true},
        {"a single-note change", sim::Hex("F0 7F 00 08 02 00 01 00 00 00 00 F7"), true},
        {"an empty file", QByteArray(), true},
        {"text", QByteArray("not sysex at all"), true},
    };
    const TuningSet before = popup->Table();
    for (const Case& c : cases) {
        presenter->texts.clear();
        const QString path = WriteFile(QStringLiteral("bad.sysex"), c.bytes);
        NextFileChoice(path);
        popup->Button(1224)->OnClicked();
        EXPECT_EQ(SingleNoteMessages(), 0u) << c.name;
        EXPECT_EQ(popup->Table().entries, before.entries) << c.name;
        EXPECT_TRUE(popup->UndoHistory().empty()) << c.name;
        ASSERT_FALSE(presenter->texts.isEmpty()) << c.name;
        if (c.ourMessage) {
            EXPECT_TRUE(presenter->texts.back().contains(QStringLiteral("is not a tuning file"))) << c.name;
        }
    }
    EXPECT_TRUE(GetGlobalConfigurations().GetString(TuningFile).isEmpty());
    // A missing file: the reader's own message.
    presenter->texts.clear();
    NextFileChoice(dir.filePath(QStringLiteral("missing.sysex")));
    popup->Button(1224)->OnClicked();
    EXPECT_EQ(SingleNoteMessages(), 0u);
    EXPECT_EQ(presenter->texts.size(), 1u);
}

TEST_F(TuningEditorTest, ScalaImportIsOneUndoStepNamedTuningChanges)
{
    Open();
    const QString path = WriteFile(QStringLiteral("just.scl"),
                                   "! just.scl\nJust major\n7\n9/8\n5/4\n4/3\n3/2\n5/3\n15/8\n2/1\n");
    NextFileChoice(path);
    popup->Button(1014)->OnClicked();
    EXPECT_EQ(GetGlobalConfigurations().GetString(ScalaFile), path);
    EXPECT_EQ(SingleNoteMessages(), 36u);
    // G of every octave sounds the fifth: note 7, fine 2 x 128 + 64.
    EXPECT_EQ(popup->Table().entries[67], (Tuning{67, 2 * 128 + 64}));
    EXPECT_EQ(popup->Table().entries[68], (Tuning{67, 2 * 128 + 64}));
    EXPECT_EQ(popup->Table().entries[64], (Tuning{63, 110 * 128 + 61}));
    EXPECT_EQ(ModuleKey(1, 67), (std::array<int, 3>{67, 2, 64}));
    EXPECT_EQ(popup->GetUndoText(), QStringLiteral("Tuning Changes"));
    EXPECT_EQ(popup->Table().name, QStringLiteral("User Tuning 2   "));
    popup->Button(kUndo)->OnClicked();
    // Replicated back: every G sounds its own note with the fine offset of the G shown.
    EXPECT_EQ(popup->Table().entries[67], (Tuning{67, SimDefaultKey(19).fine}));
    EXPECT_FALSE(popup->Button(kUndo)->isEnabled());
}

TEST_F(TuningEditorTest, ScalaFilesThatCannotBeUsedChangeNothing)
{
    Open();
    struct Case {
        const char* name;
        QByteArray text;
        unsigned message;
        bool remembered;
    };
    const Case cases[] = {
        {"13 notes", "Thirteen\n13\n90.\n180.\n270.\n360.\n450.\n540.\n630.\n720.\n810.\n900.\n990.\n1080.\n1200.\n",
         kScalaTooManyNotes, true},
        {"count disagrees", "Seven\n7\n100.\n1200.\n", kScalaReadFailed, false},
        {"negative cents", "Down\n2\n-5.0\n2/1\n", kScalaReadFailed, false},
        {"no description", "! only\n\n1\n2/1\n", kScalaReadFailed, false},
    };
    const TuningSet before = popup->Table();
    for (const Case& c : cases) {
        GetGlobalConfigurations().SetString(ScalaFile, QString());
        presenter->texts.clear();
        const QString path = WriteFile(QStringLiteral("bad.scl"), c.text);
        NextFileChoice(path);
        popup->Button(1014)->OnClicked();
        ASSERT_EQ(presenter->texts.size(), 1) << c.name;
        EXPECT_EQ(presenter->texts[0], LoadResourceString(c.message)) << c.name;
        EXPECT_EQ(GetGlobalConfigurations().GetString(ScalaFile), c.remembered ? path : QString()) << c.name;
        EXPECT_EQ(popup->Table().entries, before.entries) << c.name;
        EXPECT_EQ(SingleNoteMessages(), 0u) << c.name;
    }
    presenter->texts.clear();
    NextFileChoice(dir.filePath(QStringLiteral("missing.scl")));
    popup->Button(1014)->OnClicked();
    EXPECT_EQ(presenter->texts, QStringList{LoadResourceString(kScalaOpenFailed)});
    // Cancel in the dialog: nothing at all.
    presenter->texts.clear();
    NextFileChoice(QString());
    popup->Button(1014)->OnClicked();
    EXPECT_TRUE(presenter->texts.isEmpty());
}

TEST_F(TuningEditorTest, DownloadFailuresKeepTheTable)
{
    Open();
    const TuningSet before = popup->Table();
    AddFault(sim::Fault::Silence().on(sim::UniversalRoute(0x7E, 0x08, 0x00)));
    EXPECT_FALSE(popup->DownloadTuningSet());
    EXPECT_EQ(popup->Table().entries, before.entries);
    proteus->SetCapabilities(0);
    EXPECT_FALSE(popup->DownloadTuningSet());
    ByteBlockList two{MakeByteBlock(EncodeTuningDump(TuningSet(), 0, 0)), MakeByteBlock(EncodeTuningDump(TuningSet(), 0, 0))};
    proteus->SetCapabilities(CAP_TUNING_DUMPS);
    EXPECT_FALSE(popup->WriteTuningSet(two));
    EXPECT_EQ(popup->Table().entries, before.entries);
}
