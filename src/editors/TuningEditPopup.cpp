#include "editors/TuningEditPopup.h"

#include "ui_TuningEditPopup.h"

#include "app/FileDialogs.h"
#include "core/Codepage.h"
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "dump/OleProps.h"
#include "editors/ScalaScale.h"
#include "module/Capabilities.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/framework/LabelCtrl.h"

#include <QAction>
#include <QLabel>

#include <algorithm>

namespace {

// The item ids of each key's controls, keys C, C#, D, Eb, E, F, F#, G, Ab, A, Bb, B.
struct KeyItems {
    int key, coarse, fine, cents, note;
};
constexpr KeyItems kKeyItems[12] = {
    {1290, 1291, 1292, 1296, 1339}, {1293, 1294, 1295, 1297, 1340}, {1299, 1300, 1301, 1298, 1341},
    {1302, 1303, 1304, 1329, 1342}, {1305, 1306, 1307, 1330, 1343}, {1308, 1309, 1310, 1331, 1344},
    {1311, 1312, 1313, 1332, 1345}, {1314, 1315, 1316, 1333, 1346}, {1317, 1318, 1319, 1334, 1348},
    {1320, 1321, 1322, 1335, 1347}, {1323, 1324, 1325, 1336, 1349}, {1326, 1327, 1328, 1337, 1350},
};

// The header's and the bottom row's buttons: item, record, tooltip.
struct ButtonItem {
    int item, record, tooltip;
};
constexpr ButtonItem kHeaderButtons[] = {
    {1223, NEXT_PARAMETER_BUTTON, 21018},
    {1222, PREV_PARAMETER_BUTTON, 21019},
    {1224, LOAD_TUNING, 21025},
    {1225, SAVE_TUNING, 21026},
};
constexpr ButtonItem kBottomButtons[] = {
    {1056, UNDO_PARAMETER_BUTTON, 21020},
    {1057, REDO_PARAMETER_BUTTON, 21021},
    {1013, APPLY_PARAMETER_BUTTON, 21022},
    {1014, IMPORT_SCALA_SCALE, 21023},
};
constexpr int kUndoItem = 1056;
constexpr int kRedoItem = 1057;
constexpr int kApplyItem = 1013;
constexpr int kNextItem = 1223;
constexpr int kPrevItem = 1222;
constexpr int kReplicateItem = 1015;
constexpr int kNameItem = 1289;

constexpr int kTopOctave = 10;
constexpr unsigned kSaveQuestion = 139;
constexpr unsigned kUndoString = 303;
constexpr unsigned kRedoString = 304;
const QString kTuningChanges = QStringLiteral("Tuning Changes");

LabelCtrl* TakeOverLabel(QWidget* dialog, int id, ControlListener* owner)
{
    return LabelCtrl::TakeOver(FindItem<QLabel>(dialog, id), owner);
}

} // namespace

TuningEditPopup::TuningEditPopup(ControlListener* parent, QWidget* parentWnd)
    : Popup(QStringLiteral("Tuning"), kTemplateId, false, parent, parentWnd), UndoRedo(this),
      m_ui(std::make_unique<Ui::TuningEditPopup>())
{
    MakeRecords();
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Tuning Editor"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);
    BindControls();
    Refresh();
}

TuningEditPopup::~TuningEditPopup()
{
    DestroyPopup();
    ForgetControls();
}

// ------------------------------------------------------------------ set-up

void TuningEditPopup::MakeRecords()
{
    auto make = [this](const QString& name, int id, int value, int minimum, int maximum) {
        auto r = std::make_unique<ParamRecord>(name, id, value);
        r->minimum = minimum;
        r->maximum = maximum;
        r->defaultValue = value;
        r->readOnly = false;
        AddParameter(r.get());
        m_records.push_back(std::move(r));
    };
    for (int k = 0; k < 12; ++k)
        make(QStringLiteral("TUNING_BASE%1").arg(k + 1), TUNING_BASE1 + k, k, -12, 12);
    for (int k = 0; k < 12; ++k)
        make(QStringLiteral("TUNING_COARSE%1").arg(k + 1), TUNING_COARSE1 + k, 0, 0, 127);
    for (int k = 0; k < 12; ++k)
        make(QStringLiteral("TUNING_FINE%1").arg(k + 1), TUNING_FINE1 + k, 0, 0, 127);
    make(QStringLiteral("TUNING_REPLICATE"), TUNING_REPLICATE, 1, 0, 1);
    make(QStringLiteral("PAGE_SELECT"), PAGE_SELECT, 2, 0, kTopOctave);
    make(QStringLiteral("LOAD_TUNING"), LOAD_TUNING, 0, 0, 1);
    make(QStringLiteral("SAVE_TUNING"), SAVE_TUNING, 0, 0, 1);
    make(QStringLiteral("NEXT_PARAMETER_BUTTON"), NEXT_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("PREV_PARAMETER_BUTTON"), PREV_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("UNDO_PARAMETER_BUTTON"), UNDO_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("REDO_PARAMETER_BUTTON"), REDO_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("APPLY_PARAMETER_BUTTON"), APPLY_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("IMPORT_SCALA_SCALE"), IMPORT_SCALA_SCALE, 0, 0, 1);
    for (int k = 0; k < 12; ++k) {
        m_keys[std::size_t(k)].baseId = TUNING_BASE1 + k;
        m_keys[std::size_t(k)].coarseId = TUNING_COARSE1 + k;
        m_keys[std::size_t(k)].fineId = TUNING_FINE1 + k;
    }
}

void TuningEditPopup::BindControls()
{
    const TriggerSet* tuningSet = &GetKeyboardTuningTriggerSet();

    m_name = TakeOverLabel(this, kNameItem, this);
    m_name->Setup(&GetPresetTuningNameList(), 20981);
    m_name->BindParameter(tuningSet, 0, GetParameter(PRESET_KBD_TUNE));
    AddControl(m_name);

    m_replicate = ItemAs<LitButtonCtrl>(kReplicateItem);
    m_replicate->SetOwner(this);
    m_replicate->BindParameter(tuningSet, 0, OwnRecord(TUNING_REPLICATE));
    m_replicate->Setup(2, 21024);
    AddControl(m_replicate);

    auto addButton = [this](const ButtonItem& b) {
        auto* button = ItemAs<ButtonCtrl>(b.item);
        button->SetOwner(this);
        button->BindParameter(nullptr, 0, OwnRecord(b.record));
        button->Setup(b.tooltip);
        AddControl(button);
        m_buttons.push_back(button);
    };
    for (const ButtonItem& b : kHeaderButtons)
        addButton(b);

    for (int k = 0; k < 12; ++k) {
        KeyGroup& g = m_keys[std::size_t(k)];
        const KeyItems& items = kKeyItems[k];
        g.key = ItemAs<TrackerCtrl>(items.key);
        g.coarse = ItemAs<TrackerCtrl>(items.coarse);
        g.fine = ItemAs<TrackerCtrl>(items.fine);
        g.key->SetOwner(this);
        g.key->BindParameter(tuningSet, vf::KeyOffset, OwnRecord(g.baseId));
        g.key->Setup(20982 + k, false, false, true, 4);
        g.key->SetRange(-12, 12); // replicate mode, as the editor starts
        AddControl(g.key);
        g.coarse->SetOwner(this);
        g.coarse->BindParameter(tuningSet, vf::Empty, OwnRecord(g.coarseId));
        g.coarse->Setup(20994 + k, false, true, true, 4);
        g.coarse->SetRange(0, 127);
        AddControl(g.coarse);
        g.fine->SetOwner(this);
        g.fine->BindParameter(tuningSet, vf::Empty, OwnRecord(g.fineId));
        g.fine->Setup(21006 + k, false, true, true, 4);
        g.fine->SetRange(0, 127);
        AddControl(g.fine);
        g.cents = TakeOverLabel(this, items.cents, this);
        g.cents->Setup(nullptr, 0);
        g.cents->BindParameter(tuningSet, 0, nullptr);
        AddControl(g.cents);
        g.note = TakeOverLabel(this, items.note, this);
        g.note->Setup(nullptr, 0);
        g.note->BindParameter(tuningSet, vf::NoteLetter, nullptr);
        AddControl(g.note);
    }

    for (const ButtonItem& b : kBottomButtons)
        addButton(b);
}

ParamRecord* TuningEditPopup::OwnRecord(int id)
{
    for (const std::unique_ptr<ParamRecord>& r : m_records)
        if (r->id == id)
            return r.get();
    return nullptr;
}

ButtonCtrl* TuningEditPopup::Button(int itemId) const
{
    return ItemAs<ButtonCtrl>(itemId);
}

int TuningEditPopup::KeyOfRecord(int id)
{
    if (id >= TUNING_BASE1 && id <= TUNING_FINE12)
        return (id - TUNING_BASE1) % 12;
    return -1;
}

bool TuningEditPopup::Replicating() const
{
    return const_cast<TuningEditPopup*>(this)->OwnRecord(TUNING_REPLICATE)->value != 0;
}

// ------------------------------------------------------------------ window

void TuningEditPopup::Show(PopupListener* owner, const QString& title)
{
    if (owner) {
        if (ParamRecord* tune = GetParameter(PRESET_KBD_TUNE); tune && tune->id == PRESET_KBD_TUNE)
            if (RequestParameterValues(tune))
                m_tuningNumber = tune->value;
        DownloadTuningSet();
    }
    Popup::Show(owner, title);
}

void TuningEditPopup::Refresh()
{
    const bool user = IsUserTuning();
    for (ControlBase* c : Controls()) {
        if (c->ParameterCount() > 0 && c->ParameterAt(0)->id == PRESET_KBD_TUNE)
            continue;
        if (QWidget* w = c->GetControlWindow())
            w->setEnabled(user);
    }
    // The captions follow the histories also while nothing can be edited.
    ButtonCtrl* undo = Button(kUndoItem);
    undo->SetCaption(CanUndo() ? QStringLiteral("%1 %2").arg(LoadResourceString(kUndoString), GetUndoText())
                               : LoadResourceString(kUndoString));
    ButtonCtrl* redo = Button(kRedoItem);
    redo->SetCaption(CanRedo() ? QStringLiteral("%1 %2").arg(LoadResourceString(kRedoString), GetRedoText())
                               : LoadResourceString(kRedoString));
    auto keyAction = [this](int command) { return findChild<QAction*>(QStringLiteral("command%1").arg(command)); };
    QAction* undoKey = keyAction(cmd::Undo);
    QAction* redoKey = keyAction(cmd::Redo);
    if (!user) {
        if (undoKey)
            undoKey->setEnabled(false);
        if (redoKey)
            redoKey->setEnabled(false);
        return;
    }

    if (Replicating()) {
        Button(kNextItem)->setEnabled(false);
        Button(kPrevItem)->setEnabled(false);
    } else {
        Button(kNextItem)->setEnabled(m_octave < kTopOctave);
        Button(kPrevItem)->setEnabled(m_octave > 0);
        if (m_octave == kTopOctave) {
            // Keys Ab to B of the top octave would be MIDI keys 128 to 131.
            for (int k = 8; k < 12; ++k) {
                const KeyGroup& g = m_keys[std::size_t(k)];
                for (QWidget* w : {static_cast<QWidget*>(g.key), static_cast<QWidget*>(g.coarse),
                                   static_cast<QWidget*>(g.fine), static_cast<QWidget*>(g.note),
                                   static_cast<QWidget*>(g.cents)})
                    w->setEnabled(false);
            }
        }
    }

    undo->setEnabled(CanUndo());
    redo->setEnabled(CanRedo());
    Button(kApplyItem)->setEnabled(IsModified());
    if (undoKey)
        undoKey->setEnabled(CanUndo());
    if (redoKey)
        redoKey->setEnabled(CanRedo());
}

void TuningEditPopup::OnCommand(int id)
{
    if (id == cmd::Undo) {
        if (IsUserTuning() && CanUndo())
            DoUndo();
        return;
    }
    if (id == cmd::Redo) {
        if (IsUserTuning() && CanRedo())
            DoRedo();
        return;
    }
    Popup::OnCommand(id);
}

void TuningEditPopup::UpdateKeyLabels()
{
    ParamRecord reload(QStringLiteral("POPUP_RELOAD_NOTIFIER"), POPUP_RELOAD_NOTIFIER, 1);
    for (ControlBase* c : Controls())
        c->ParameterChanged(&reload);
    const bool replicate = Replicating();
    for (int k = 0; k < 12; ++k) {
        const KeyGroup& g = m_keys[std::size_t(k)];
        const int coarse = OwnRecord(g.coarseId)->value;
        const int fine = OwnRecord(g.fineId)->value;
        const int key = m_octave * 12 + k;
        if (!replicate && key > 127) {
            // The top octave ends at G: these keys do not exist.
            g.cents->SetText(QString());
            g.note->SetText(QString());
            continue;
        }
        g.cents->SetText(FormatTuningCents(coarse * 128 + fine % 128));
        g.note->SetText(replicate ? FormatNoteLetter(k) : FormatNoteName(key));
    }
}

bool TuningEditPopup::AskToSaveChanges(bool withCancel)
{
    if (!IsModified())
        return true;
    const bool hidden = !isVisible();
    if (hidden) {
        show();
        setFocus();
    }
    const int answer = ShowMessage(this, (withCancel ? msgbox::YesNoCancel : msgbox::YesNo) | msgbox::IconQuestion,
                                   false, kSaveQuestion);
    bool result = true;
    if (answer == msgbox::IdCancel) {
        result = false;
    } else if (answer == msgbox::IdNo) {
        // Every change goes back, each key sent its old tuning.
        while (CanUndo())
            Undo(false);
        ClearHistories();
        OnUndoStackChanged();
        Button(kApplyItem)->setEnabled(false);
    } else {
        result = ApplyTuning();
    }
    if (hidden)
        hide();
    return result;
}

// ------------------------------------------------------------------ ControlListener

bool TuningEditPopup::RequestParameterValues(ParamRecord* record)
{
    if (!record)
        return false;
    // The editor's own records are answered from the table, for factory
    // tunings too (equal temperament then): the module does not know them.
    const int k = KeyOfRecord(record->id);
    if (k >= 0) {
        int value = 0;
        const bool replicate = Replicating();
        const std::size_t d = replicate ? std::size_t(12 + k) : std::size_t(std::min(m_octave * 12 + k, 127));
        const Tuning& t = m_table.entries[d];
        if (record->id < TUNING_COARSE1)
            value = replicate ? t.semitone - 12 : t.semitone;
        else if (record->id < TUNING_FINE1)
            value = t.fine / 128;
        else
            value = t.fine % 128;
        record->previousValue = record->value;
        record->value = value;
        return true;
    }
    if (record->id == PAGE_SELECT) {
        record->previousValue = record->value;
        record->value = m_octave;
        return true;
    }
    return ChainedListener::RequestParameterValues(record);
}

void TuningEditPopup::EditOwnRecord(int id, int value)
{
    ParamRecord* r = OwnRecord(id);
    r->previousValue = r->value;
    r->value = value;
    EditParameter(r);
}

bool TuningEditPopup::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    switch (record->id) {
    case PREV_PARAMETER_BUTTON:
        if (m_octave > 0)
            EditOwnRecord(PAGE_SELECT, m_octave - 1);
        return true;
    case NEXT_PARAMETER_BUTTON:
        if (m_octave < kTopOctave)
            EditOwnRecord(PAGE_SELECT, m_octave + 1);
        return true;
    case UNDO_PARAMETER_BUTTON:
        DoUndo();
        return true;
    case REDO_PARAMETER_BUTTON:
        DoRedo();
        return true;
    case APPLY_PARAMETER_BUTTON:
        ApplyTuning();
        return true;
    case TUNING_REPLICATE: {
        // The question is asked in the mode the changes were made in: taking
        // them back must send them to the keys they were sent to.
        const int wanted = record->value;
        record->value = record->previousValue;
        const bool go = AskToSaveChanges(true);
        if (!go) {
            m_replicate->SetState(record->value != 0); // the switch shows the mode kept
            return false;
        }
        record->value = wanted;
        const bool replicate = wanted != 0;
        for (int k = 0; k < 12; ++k) {
            KeyGroup& g = m_keys[std::size_t(k)];
            ParamRecord* base = OwnRecord(g.baseId);
            base->minimum = replicate ? -12 : 0;
            base->maximum = replicate ? 12 : 127;
            g.key->SetRange(base->minimum, base->maximum);
            // The slider shows an offset in replicate mode, else the note
            // itself, named as the note label names it.
            g.key->SetValueFormat(replicate ? vf::KeyOffset : vf::NoteName);
            g.note->SetValueFormat(replicate ? vf::NoteLetter : vf::NoteName);
        }
        UpdateKeyLabels();
        Refresh();
        m_replicate->update();
        return true;
    }
    case IMPORT_SCALA_SCALE:
        ImportScalaScale();
        return true;
    case LOAD_TUNING:
        LoadTuning();
        return true;
    case SAVE_TUNING:
        SaveTuning();
        return true;
    default:
        if (!ApplyChange(record))
            return false;
        RecordChange(record);
        return true;
    }
}

void TuningEditPopup::PreviewParameterValue(ParamRecord* record, int value)
{
    if (!record)
        return;
    for (const KeyGroup& g : m_keys) {
        if (record->id == g.coarseId)
            g.cents->SetText(FormatTuningCents(value * 128 + OwnRecord(g.fineId)->value % 128));
        else if (record->id == g.fineId)
            g.cents->SetText(FormatTuningCents(OwnRecord(g.coarseId)->value * 128 + value % 128));
    }
}

// ------------------------------------------------------------------ ControlBase

void TuningEditPopup::ParameterChanged(ParamRecord* record)
{
    if (!record)
        return;
    if (record->id == PRESET_KBD_TUNE) {
        AskToSaveChanges(false);
        // Whatever the answer came to (an apply can fail), nothing recorded
        // for the old tuning may be undone into the new one.
        ClearHistories();
        m_tuningNumber = record->value;
        DownloadTuningSet();
        Refresh();
    } else if (record->id == POPUP_RELOAD_NOTIFIER) {
        UpdateKeyLabels();
    }
    Popup::ParameterChanged(record);
    if (record->id == PRESET_KBD_TUNE && Owner())
        UpdateKeyLabels(); // the cents of the table just read
}

bool TuningEditPopup::AllowParameterChange(ParamRecord* record)
{
    if (!Popup::AllowParameterChange(record))
        return false;
    if (record && (record->id == ANY_PARAMETER || record->id == MULTIMODE_PRESET || record->id == PRESET_KBD_TUNE))
        return AskToSaveChanges(true);
    return true;
}

// ------------------------------------------------------------------ UndoRedo

bool TuningEditPopup::ApplyChange(ParamRecord* record)
{
    const int k = KeyOfRecord(record->id);
    if (k >= 0 && IsUserTuning()) {
        const KeyGroup& g = m_keys[std::size_t(k)];
        auto valueOf = [&](int id) { return id == record->id ? record->value : OwnRecord(id)->value; };
        const std::vector<SingleNoteTuningChange> changes =
            BuildKeyChanges(k, valueOf(g.baseId), valueOf(g.coarseId), valueOf(g.fineId), Replicating(), m_octave);
        StoreKeyChanges(changes, &m_table);
        if (Proteus* proteus = GetProteus())
            proteus->SendSingleNoteTuningChanges(m_tuningNumber - 12, changes);
        if (record->id == g.coarseId || record->id == g.fineId)
            PreviewParameterValue(record, record->value);
        ParameterChanged(record);
        return true;
    }
    switch (record->id) {
    case START_UNDO:
    case END_UNDO:
        return true;
    case PAGE_SELECT: {
        m_octave = std::clamp(record->value, 0, kTopOctave);
        ParamRecord* page = OwnRecord(PAGE_SELECT);
        if (page != record)
            page->CopyValues(*record);
        page->value = m_octave;
        UpdateKeyLabels();
        Refresh();
        return true;
    }
    default:
        return ChainedListener::EditParameter(record);
    }
}

void TuningEditPopup::ClearHistories()
{
    ClearHistory();
}

void TuningEditPopup::DoUndo()
{
    Undo(true);
    UpdateApplyButton();
}

void TuningEditPopup::DoRedo()
{
    Redo();
    UpdateApplyButton();
}

void TuningEditPopup::UpdateApplyButton()
{
    Button(kApplyItem)->setEnabled(IsUserTuning() && IsModified());
}

// ------------------------------------------------------------------ the table and its dumps

bool TuningEditPopup::DownloadTuningSet()
{
    TLOG(8, u"%s()", u"TuningEditPopup::DownloadTuningSet");
    Proteus* proteus = GetProteus();
    if (!proteus || !proteus->HasCapability(CAP_TUNING_DUMPS))
        return false;
    TLOG(4, u"Downloading Tuning Sets");
    if (!IsDeviceReady())
        return false;
    if (IsUserTuning()) {
        ByteBlockList blocks;
        if (!proteus->DownloadTuning(m_tuningNumber - 12, blocks))
            return false;
        return WriteTuningSet(blocks);
    }
    m_table.SetEqualTemperament();
    return true;
}

bool TuningEditPopup::ReadTuningSet(ByteBlockList& blocks)
{
    TLOG(8, u"%s()", u"TuningEditPopup::ReadTuningSet");
    Proteus* proteus = GetProteus();
    if (!proteus || !proteus->HasCapability(CAP_TUNING_DUMPS))
        return false;
    TLOG(4, u"Reading Tuning Set %d", m_tuningNumber - 12);
    blocks.push_back(MakeByteBlock(EncodeTuningDump(m_table, proteus->GetDeviceId(), m_tuningNumber - 12)));
    return true;
}

bool TuningEditPopup::WriteTuningSet(const ByteBlockList& blocks)
{
    TLOG(8, u"%s()", u"TuningEditPopup::WriteTuningSet");
    Proteus* proteus = GetProteus();
    if (!proteus || !proteus->HasCapability(CAP_TUNING_DUMPS))
        return false;
    TLOG(4, u"Writing Tuning Set %d", m_tuningNumber - 12);
    if (blocks.size() != 1 || !blocks.front())
        return false;
    return DecodeTuningDump(blocks.front()->Bytes(), &m_table);
}

bool TuningEditPopup::ApplyTuning()
{
    const bool testUI = GetGlobalConfigurations().GetBool(TestUI);
    ByteBlockList blocks;
    if (!ReadTuningSet(blocks) && !testUI)
        return false;
    Proteus* proteus = GetProteus();
    if (!(proteus && proteus->UploadTuning(m_tuningNumber - 12, blocks)) && !testUI)
        return false;
    ClearHistories();
    OnUndoStackChanged();
    return true;
}

bool TuningEditPopup::SaveTuning()
{
    const bool testUI = GetGlobalConfigurations().GetBool(TestUI);
    ByteBlockList blocks;
    if (!ReadTuningSet(blocks) && !testUI)
        return false;
    SysexFileDlg dialog(false, GetGlobalConfigurations().GetString(TuningFile), this);
    if (dialog.DoModal() != QDialog::Accepted)
        return false;
    Proteus* proteus = GetProteus();
    if (!proteus || !proteus->WriteSysExFile(dialog.GetPathName(), blocks, OleProps()))
        return false;
    GetGlobalConfigurations().SetString(TuningFile, dialog.GetPathName());
    return true;
}

bool TuningEditPopup::LoadTuning()
{
    SysexFileDlg dialog(true, GetGlobalConfigurations().GetString(TuningFile), this);
    if (dialog.DoModal() != QDialog::Accepted)
        return false;
    const QString path = dialog.GetPathName();
    Proteus* proteus = GetProteus();
    ByteBlockList blocks;
    OleProps properties;
    if (!proteus || !proteus->ReadSysExFile(path, blocks, properties))
        return false;
    // Only a whole, well-formed tuning dump becomes edits: anything else
    // would send nonsense to the module key by key.
    if (blocks.empty() || !blocks.front() || !IsTuningDump(blocks.front()->Bytes())) {
        ShowMessage(this, msgbox::Ok | msgbox::IconWarning, false, kNotATuningFile, path);
        return false;
    }
    GetGlobalConfigurations().SetString(TuningFile, path);
    return ApplyTuningDump(blocks);
}

bool TuningEditPopup::ApplyTuningDump(const ByteBlockList& blocks)
{
    if (blocks.empty() || !blocks.front() || !IsTuningDump(blocks.front()->Bytes()))
        return false;
    const std::span<const std::uint8_t> dump = blocks.front()->Bytes();
    auto entry = [&](int key, int i) { return int(dump[tuningdump::kEntriesOffset + 3 * std::size_t(key) + std::size_t(i)]); };

    auto marker = [this](int id) {
        ParamRecord* m = GetParameter(id);
        ParamRecord local(id == START_UNDO ? QStringLiteral("START_UNDO") : QStringLiteral("END_UNDO"), id, 0);
        if (!m || m->id != id)
            m = &local;
        m->SetText(kTuningChanges);
        EditParameter(m);
    };
    marker(START_UNDO);
    auto editKey = [&](int k, int key) {
        const KeyGroup& g = m_keys[std::size_t(k)];
        EditOwnRecord(g.baseId, entry(key, 0));
        EditOwnRecord(g.coarseId, entry(key, 1));
        EditOwnRecord(g.fineId, entry(key, 2));
    };
    if (Replicating()) {
        for (int k = 0; k < 12; ++k)
            editKey(k, k);
    } else {
        const int shown = m_octave;
        for (int o = 0; o <= kTopOctave; ++o) {
            EditOwnRecord(PAGE_SELECT, o);
            for (int k = 0; k < 12 && o * 12 + k < TuningSet::kKeys; ++k)
                editKey(k, o * 12 + k);
        }
        EditOwnRecord(PAGE_SELECT, shown);
    }
    marker(END_UNDO);
    return true;
}

void TuningEditPopup::ImportScalaScale()
{
    ScalaFileDlg dialog(GetGlobalConfigurations().GetString(ScalaFile), this);
    if (dialog.DoModal() != QDialog::Accepted)
        return;
    const QString path = dialog.GetPathName();
    std::vector<double> pitches;
    if (!ReadScalaFile(path, pitches))
        return;
    GetGlobalConfigurations().SetString(ScalaFile, path);
    if (pitches.size() > std::size_t(kScalaMaxNotes)) {
        ShowMessage(this, msgbox::Ok, false, kScalaTooManyNotes);
        return;
    }
    TuningSet scale;
    scale.name = m_table.name;
    const std::array<TuningKeyBytes, 128> keys = MapScalaScale(pitches);
    for (int m = 0; m < TuningSet::kKeys; ++m) {
        const TuningKeyBytes& b = keys[std::size_t(m)];
        scale.entries[std::size_t(m)] = {b.semitone, b.upper * 128 + b.lower};
    }
    Proteus* proteus = GetProteus();
    const int deviceId = proteus ? proteus->GetDeviceId() : 0;
    ApplyTuningDump({MakeByteBlock(EncodeTuningDump(scale, deviceId, m_tuningNumber - 12))});
}

bool TuningEditPopup::ReadScalaFile(const QString& path, std::vector<double>& pitches)
{
    ScalaScale scale;
    if (const unsigned message = ReadScalaScaleFile(path, &scale)) {
        ShowMessage(this, msgbox::Ok, false, message);
        return false;
    }
    pitches = std::move(scale.pitches);
    return true;
}
