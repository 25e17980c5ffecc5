#include "editors/SetupInfoPopup.h"

#include "ui_SetupInfoPopup.h"

#include "app/FileDialogs.h"
#include "app/SelectionDialogs.h"
#include "core/GlobalResources.h"
#include "core/MessageBox.h"
#include "core/ObjectKind.h"
#include "core/Settings.h"
#include "dump/OleProps.h"
#include "dump/SetupBuffer.h"
#include "dump/SetupDumpLayout.h"
#include "module/Capabilities.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/NameEditCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/SwitchCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/LabelCtrl.h"
#include "ui/framework/StackWaitCursor.h"

#include <QAction>
#include <QLabel>

namespace {

constexpr int kNameItem = 1221;
constexpr int kLoadItem = 1222;
constexpr int kSaveItem = 1223;
constexpr int kStoreItem = 1274;
constexpr int kRestoreItem = 1283;
constexpr int kNextItem = 1273;
constexpr int kPrevItem = 1272;
constexpr int kUndoItem = 57643;
constexpr int kRedoItem = 57644;
constexpr int kFirstLabelItem = 1275;

constexpr unsigned kUndoString = 303;
constexpr unsigned kRedoString = 304;
constexpr unsigned kSelectPresetTitle = 177;
constexpr unsigned kNotASetupFile = 331;

// One column of the rows: the first row record, the module parameter it
// stands for, and the item of each row's control.
struct Column {
    int firstRecord;
    int parameter;
    std::array<int, SetupInfoPopup::kRows> items;
    int tooltip;
};
constexpr Column kColumns[SetupInfoPopup::kCells] = {
    {SETUP_VOLUME_1, MULTIMODE_VOLUME, {1224, 1230, 1236, 1242, 1248, 1254, 1260, 1266}, 20959},
    {SETUP_PAN_1, MULTIMODE_PAN, {1228, 1231, 1237, 1243, 1249, 1255, 1261, 1267}, 20960},
    {SETUP_PRESET_1, MULTIMODE_PRESET, {1226, 1234, 1240, 1246, 1252, 1258, 1264, 1270}, 20961},
    {SETUP_MIX_OUTPUT_1, MULTIMODE_MIX_OUTPUT, {1227, 1232, 1238, 1244, 1250, 1256, 1262, 1268}, 20962},
    {SETUP_CHANNEL_ENABLE_1, MULTIMODE_CHANNEL_ENABLE, {1225, 1233, 1239, 1245, 1251, 1257, 1263, 1269}, 20963},
    {SETUP_RECV_PROG_CHANGE_1, MULTIMODE_RECV_PROG_CHANGE, {1229, 1235, 1241, 1247, 1253, 1259, 1265, 1271}, 20964},
    {SETUP_ARP_1, MULTIMODE_ARP, {1284, 1285, 1286, 1287, 1288, 1289, 1290, 1291}, 20965},
};
enum Cell { VolumeCell, PanCell, PresetCell, MixCell, EnableCell, ProgChangeCell, ArpCell };

// The column of a row record's id; -1 for any other id.
int ColumnOf(int id)
{
    for (int c = 0; c < SetupInfoPopup::kCells; ++c)
        if (id >= kColumns[c].firstRecord && id < kColumns[c].firstRecord + SetupInfoPopup::kRows)
            return c;
    return -1;
}

// The button items with their records and tooltips, in set-up order.
struct ButtonItem {
    int item, record, tooltip;
};
constexpr ButtonItem kButtons[] = {
    {kLoadItem, LOAD_SETUP, 20953},
    {kSaveItem, SAVE_SETUP, 20954},
    {kStoreItem, STORE_SETUP, 20955},
    {kRestoreItem, RESTORE_SETUP, 20956},
    {kNextItem, NEXT_PARAMETER_BUTTON, 20957},
    {kPrevItem, PREV_PARAMETER_BUTTON, 20958},
    {kUndoItem, UNDO_PARAMETER_BUTTON, 20966},
    {kRedoItem, REDO_PARAMETER_BUTTON, 20967},
};

} // namespace

SetupInfoPopup::SetupInfoPopup(const QString& name, bool topLevel, ControlListener* parent, QWidget* parentWnd)
    : Popup(name, kTemplateId, topLevel, parent, parentWnd), UndoRedo(this),
      m_ui(std::make_unique<Ui::SetupInfoPopup>())
{
    MakeRecords();
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Setup Information"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);
    BindControls();
}

SetupInfoPopup::~SetupInfoPopup()
{
    DestroyPopup();
    ForgetControls();
}

// ------------------------------------------------------------------ set-up

void SetupInfoPopup::MakeRecords()
{
    auto make = [this](const QString& name, int id, int value, int minimum, int maximum) {
        auto r = std::make_unique<ParamRecord>(name, id, value);
        r->minimum = minimum;
        r->maximum = maximum;
        r->defaultValue = value;
        r->readOnly = false;
        AddParameter(r.get());
        m_records.push_back(std::move(r));
        return m_records.back().get();
    };
    make(QStringLiteral("LOAD_SETUP"), LOAD_SETUP, 0, 0, 1);
    make(QStringLiteral("SAVE_SETUP"), SAVE_SETUP, 0, 0, 1);
    make(QStringLiteral("STORE_SETUP"), STORE_SETUP, 0, 0, 1);
    make(QStringLiteral("RESTORE_SETUP"), RESTORE_SETUP, 0, 0, 1);
    make(QStringLiteral("NEXT_PARAMETER_BUTTON"), NEXT_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("PREV_PARAMETER_BUTTON"), PREV_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("UNDO_PARAMETER_BUTTON"), UNDO_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("REDO_PARAMETER_BUTTON"), REDO_PARAMETER_BUTTON, 0, 0, 1);
    make(QStringLiteral("PAGE_SELECT"), PAGE_SELECT, 0, 0, 3);
    struct Start {
        const char* name;
        int value, minimum, maximum;
    };
    constexpr Start kStarts[kCells] = {
        {"SETUP_VOLUME_%1", 127, 0, 127},        {"SETUP_PAN_%1", 64, 0, 127},
        {"SETUP_PRESET_%1", 0, -1, 0},           {"SETUP_MIX_OUTPUT_%1", -1, -1, 3},
        {"SETUP_CHANNEL_ENABLE_%1", 1, 0, 1},    {"SETUP_RECV_PROG_CHANGE_%1", 1, 0, 1},
        {"SETUP_ARP_%1", 0, -2, 1},
    };
    for (int c = 0; c < kCells; ++c)
        for (int r = 0; r < kRows; ++r)
            m_rows[std::size_t(r)].records[std::size_t(c)] =
                make(QString::fromLatin1(kStarts[c].name).arg(r + 1), kColumns[c].firstRecord + r, kStarts[c].value,
                     kStarts[c].minimum, kStarts[c].maximum);
}

void SetupInfoPopup::BindControls()
{
    const TriggerSet* master = &GetMasterTriggerSet();
    for (int r = 0; r < kRows; ++r) {
        Row& row = m_rows[std::size_t(r)];
        row.label = LabelCtrl::TakeOver(ItemAs<QLabel>(kFirstLabelItem + r), this);
        row.label->Setup(nullptr, 0);
        row.label->SetText(QString::number(r));
        for (int c = 0; c < kCells; ++c) {
            const int item = kColumns[c].items[std::size_t(r)];
            ParamRecord* record = row.records[std::size_t(c)];
            ControlBase* control = nullptr;
            switch (c) {
            case VolumeCell:
            case PanCell: {
                auto* t = ItemAs<TrackerCtrl>(item);
                t->SetOwner(this);
                t->BindParameter(master, c == PanCell ? vf::PanCentre64 : vf::Number, record);
                t->Setup(kColumns[c].tooltip, false, false, true, 4);
                control = t;
                break;
            }
            case PresetCell: {
                auto* s = ItemAs<SelectCtrl>(item);
                s->SetOwner(this);
                s->BindParameter(master, vf::Number, record);
                s->Setup(OBJECT_PRESET, false, true, QStringLiteral("PresetSelection"),
                         LoadResourceString(kSelectPresetTitle), kColumns[c].tooltip);
                control = s;
                break;
            }
            case MixCell:
            case ArpCell: {
                auto* m = ItemAs<MenuCtrl>(item);
                m->SetOwner(this);
                m->BindParameter(master, vf::Number, record);
                m->Setup(false, 0, c == MixCell ? &GetMixOutputList() : &GetMultimodeArpNameList(),
                         kColumns[c].tooltip);
                control = m;
                break;
            }
            default: {
                auto* l = ItemAs<LitButtonCtrl>(item);
                l->SetOwner(this);
                l->BindParameter(master, vf::Number, record);
                l->Setup(3, kColumns[c].tooltip);
                control = l;
                break;
            }
            }
            row.cells[std::size_t(c)] = control;
            AddControl(control);
        }
    }

    auto* name = ItemAs<NameCtrl>(kNameItem);
    name->SetOwner(this);
    for (int i = 0; i < 16; ++i)
        name->BindParameter(master, vf::Number, GetParameter(MULTI_NAME_CHAR0 + i));
    name->Setup(16, 20951);
    AddControl(name);

    for (const ButtonItem& b : kButtons) {
        auto* button = ItemAs<ButtonCtrl>(b.item);
        button->SetOwner(this);
        button->BindParameter(nullptr, vf::Number, OwnRecord(b.record));
        button->Setup(b.tooltip);
        AddControl(button);
        m_buttons.push_back(button);
    }
    // Undo and Redo carry the items of the Undo and Redo commands: a click
    // is one step through their records, not a second one as a command.
    Button(kUndoItem)->SetCommandHandler([](int) {});
    Button(kRedoItem)->SetCommandHandler([](int) {});
}

ParamRecord* SetupInfoPopup::OwnRecord(int id)
{
    for (const std::unique_ptr<ParamRecord>& r : m_records)
        if (r->id == id)
            return r.get();
    return nullptr;
}

ButtonCtrl* SetupInfoPopup::Button(int itemId) const
{
    return ItemAs<ButtonCtrl>(itemId);
}

QString SetupInfoPopup::RowLabel(int row) const
{
    return m_rows[std::size_t(row)].label->text();
}

SetupBuffer* SetupInfoPopup::Buffer()
{
    Proteus* proteus = GetProteus();
    return proteus ? proteus->GetSetupBuffer() : nullptr;
}

bool SetupInfoPopup::BufferValid()
{
    SetupBuffer* buffer = Buffer();
    return buffer && buffer->Validate(nullptr, nullptr);
}

int SetupInfoPopup::ChannelCount()
{
    SetupBuffer* buffer = Buffer();
    return buffer ? buffer->GetChannelCount() : 16;
}

int SetupInfoPopup::RunDialog(QDialog& dialog)
{
    return dialog.exec();
}

// ------------------------------------------------------------------ window

void SetupInfoPopup::Refresh()
{
    ApplyEnableRules();
    auto caption = [](unsigned id, bool can, const QString& text) {
        return can ? QStringLiteral("%1 %2").arg(LoadResourceString(id), text) : LoadResourceString(id);
    };
    Button(kUndoItem)->SetCaption(caption(kUndoString, CanUndo(), GetUndoText()));
    Button(kRedoItem)->SetCaption(caption(kRedoString, CanRedo(), GetRedoText()));
}

void SetupInfoPopup::ApplyEnableRules()
{
    const bool valid = BufferValid();
    const bool usable = valid || GetGlobalConfigurations().GetBool(TestUI);
    for (ControlBase* c : Controls()) {
        QWidget* w = c->GetControlWindow();
        if (!w)
            continue;
        const int item = ItemIdOf(w);
        // Load and Restore replace whatever the buffer holds: always usable.
        if (item == kLoadItem || item == kRestoreItem)
            w->setEnabled(true);
        else if (std::find_if(std::begin(m_rows), std::end(m_rows), [&](const Row& r) { return r.label == c; })
                 == std::end(m_rows))
            w->setEnabled(usable);
    }
    const int lastPage = ChannelCount() / kRows - 1;
    Button(kPrevItem)->setEnabled(usable && m_page > 0);
    Button(kNextItem)->setEnabled(usable && m_page < lastPage);
    Button(kUndoItem)->setEnabled(usable && CanUndo());
    Button(kRedoItem)->setEnabled(usable && CanRedo());
    Button(kSaveItem)->setEnabled(valid);
    for (QAction* a : DialogKeyActions()) {
        if (a->objectName() == QStringLiteral("command%1").arg(cmd::Undo))
            a->setEnabled(usable && CanUndo());
        else if (a->objectName() == QStringLiteral("command%1").arg(cmd::Redo))
            a->setEnabled(usable && CanRedo());
    }
}

void SetupInfoPopup::OnCommand(int id)
{
    if (RunUndoRedoCommand(*this, id))
        return;
    Popup::OnCommand(id);
}

void SetupInfoPopup::OnClose()
{
    for (const Row& r : m_rows)
        static_cast<SelectCtrl*>(r.cells[PresetCell])->ClosePopup();
}

// ------------------------------------------------------------------ activation and pages

void SetupInfoPopup::Activate()
{
    // Every row starts from the current channel's values.
    for (int c = 0; c < kCells; ++c) {
        ParamRecord* source = GetParameter(kColumns[c].parameter);
        if (!source || source->id != kColumns[c].parameter)
            continue;
        for (Row& r : m_rows) {
            ParamRecord* record = r.records[std::size_t(c)];
            record->previousValue = record->value;
            record->value = source->value;
        }
    }
    // A module with fewer channels than the page shown: back to its last page.
    const int lastPage = ChannelCount() / kRows - 1;
    if (m_page > lastPage) {
        m_page = std::max(0, lastPage);
        OwnRecord(PAGE_SELECT)->value = m_page;
    }
    if (BufferValid())
        LoadPage();
    Refresh();
    Popup::Activate();
}

void SetupInfoPopup::LoadPage()
{
    Proteus* proteus = GetProteus();
    const bool ports = proteus && proteus->HasCapability(CAP_32_CHANNELS);
    for (int r = 0; r < kRows; ++r) {
        Row& row = m_rows[std::size_t(r)];
        const int channel = r + kRows * m_page;
        row.label->SetText(FormatValue(ports ? vf::MidiChannelPort : vf::MidiChannel, channel));
        for (int c = 0; c < kCells; ++c) {
            LoadRowRecord(channel, row.records[std::size_t(c)]);
            row.cells[std::size_t(c)]->ParameterChanged(row.records[std::size_t(c)]);
        }
    }
}

bool SetupInfoPopup::LoadRowRecord(int channel, ParamRecord* record)
{
    const int c = ColumnOf(record->id);
    SetupBuffer* buffer = Buffer();
    if (c < 0 || !buffer)
        return false;
    ParamRecord temporary(QString(), kColumns[c].parameter, 0);
    if (ParamRecord* known = GetParameter(kColumns[c].parameter); known && known->id == kColumns[c].parameter)
        temporary.name = known->name;
    if (!buffer->GetParameter(channel, &temporary))
        return false;
    record->previousValue = record->value;
    record->previousRomId = record->romId;
    record->value = temporary.value;
    record->romId = temporary.romId;
    return true;
}

bool SetupInfoPopup::ReloadRowRecord(ParamRecord* record)
{
    for (int r = 0; r < kRows; ++r)
        for (ParamRecord* own : m_rows[std::size_t(r)].records)
            if (own->id == record->id)
                return LoadRowRecord(r + kRows * m_page, own);
    return true;
}

void SetupInfoPopup::ParameterChanged(ParamRecord* record)
{
    if (!record)
        return;
    if (record->id == SETUP_RELOAD_NOTIFIER) {
        // A new setup (load, restore, reconnection): the rules follow it, so
        // a popup disabled by a bad buffer comes back with a good one.
        if (BufferValid())
            LoadPage();
        Refresh();
    }
    if (!Owner())
        return;
    ParamRecord* basic = GetParameter(MULTIMODE_BASIC_CHANNEL);
    const int channel = basic && basic->id == MULTIMODE_BASIC_CHANNEL ? basic->value : -1;
    if (channel >= kRows * m_page && channel < kRows * m_page + kRows) {
        for (int c = 0; c < kCells; ++c) {
            if (record->id != kColumns[c].parameter)
                continue;
            const Row& row = m_rows[std::size_t(channel % kRows)];
            ParamRecord* own = row.records[std::size_t(c)];
            if (own->value != record->value || own->romId != record->romId) {
                own->previousValue = own->value;
                own->previousRomId = own->romId;
                own->value = record->value;
                own->romId = record->romId;
                row.cells[std::size_t(c)]->ParameterChanged(own);
            }
        }
    }
    Popup::ParameterChanged(record);
}

// ------------------------------------------------------------------ ControlListener

bool SetupInfoPopup::RequestParameterValues(ParamRecord* record)
{
    if (!record)
        return false;
    if (!ReloadRowRecord(record))
        return false;
    if (record->id >= MULTI_NAME_CHAR0 && record->id <= MULTI_NAME_CHAR15) {
        if (SetupBuffer* buffer = Buffer())
            buffer->GetParameter(-1, record);
        return true;
    }
    if (record->id == PAGE_SELECT) {
        record->previousValue = record->value;
        record->value = m_page;
        return true;
    }
    if (ColumnOf(record->id) >= 0)
        return true;
    return ChainedListener::RequestParameterValues(record);
}

void SetupInfoPopup::EditPage(int page)
{
    ParamRecord* p = OwnRecord(PAGE_SELECT);
    p->previousValue = p->value;
    p->value = page;
    EditParameter(p);
}

bool SetupInfoPopup::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    switch (record->id) {
    case PREV_PARAMETER_BUTTON:
        if (m_page >= 1)
            EditPage(m_page - 1);
        return true;
    case NEXT_PARAMETER_BUTTON:
        if (m_page < ChannelCount() / kRows - 1)
            EditPage(m_page + 1);
        return true;
    case UNDO_PARAMETER_BUTTON:
        Undo(true);
        return true;
    case REDO_PARAMETER_BUTTON:
        Redo();
        return true;
    case LOAD_SETUP:
        LoadSetup();
        return true;
    case SAVE_SETUP:
        SaveSetup();
        return true;
    case STORE_SETUP:
        StoreSetup();
        return true;
    case RESTORE_SETUP:
        RestoreSetup();
        return true;
    default:
        if (!ApplyChange(record))
            return false;
        RecordChange(record);
        return true;
    }
}

// ------------------------------------------------------------------ UndoRedo

bool SetupInfoPopup::ApplyChange(ParamRecord* record)
{
    bool handled = false;
    if (!EditRowParameter(record, handled))
        return false;
    if (handled)
        return true;
    switch (record->id) {
    case START_UNDO:
    case END_UNDO:
        return true;
    case PAGE_SELECT: {
        m_page = std::clamp(record->value, 0, std::max(0, ChannelCount() / kRows - 1));
        ParamRecord* page = OwnRecord(PAGE_SELECT);
        if (page != record)
            page->CopyValues(*record);
        page->value = m_page;
        LoadPage();
        Refresh();
        return true;
    }
    default: {
        Proteus* proteus = GetProteus();
        return proteus && proteus->ParameterEdit(record);
    }
    }
}

bool SetupInfoPopup::EditRowParameter(ParamRecord* record, bool& handled)
{
    int row = -1, cell = -1;
    for (int r = 0; r < kRows && row < 0; ++r)
        for (int c = 0; c < kCells; ++c)
            if (m_rows[std::size_t(r)].records[std::size_t(c)]->id == record->id) {
                row = r;
                cell = c;
                break;
            }
    if (row < 0)
        return true;
    handled = true;
    const int channel = row + kRows * m_page;
    const int parameter = kColumns[cell].parameter;
    ParamRecord* cached = GetParameter(parameter);
    if (!cached || cached->id != parameter)
        return false;
    ParamRecord* basic = GetParameter(MULTIMODE_BASIC_CHANNEL);
    Proteus* proteus = GetProteus();
    if (!proteus)
        return false;
    if (basic && basic->id == MULTIMODE_BASIC_CHANNEL && channel == basic->value) {
        std::optional<StackWaitCursor> wait;
        if (cell == PresetCell)
            wait.emplace();
        // The connection's own record goes out; a refused edit leaves it
        // exactly as it was, so nothing shows a value the module lacks.
        const ParamRecord kept = *cached;
        cached->previousValue = cached->value;
        cached->value = record->value;
        if (cell == PresetCell) {
            cached->previousRomId = cached->romId;
            cached->romId = record->romId;
        }
        if (!proteus->ParameterEdit(cached)) {
            cached->CopyValues(kept);
            cached->previousValue = kept.previousValue;
            cached->previousRomId = kept.previousRomId;
            return false;
        }
    } else {
        ParamRecord copy = *cached;
        copy.previousValue = copy.value;
        copy.value = record->value;
        if (cell == PresetCell) {
            copy.previousRomId = copy.romId;
            copy.romId = record->romId;
        }
        if (SetupBuffer* buffer = Buffer())
            buffer->SetParameter(channel, &copy);
        UploadSetupBuffer();
    }
    m_rows[std::size_t(row)].cells[std::size_t(cell)]->ParameterChanged(record);
    return true;
}

void SetupInfoPopup::UploadSetupBuffer()
{
    SetupBuffer* buffer = Buffer();
    if (!buffer || !buffer->SaveEditBuffer())
        ShowMessage(this, msgbox::Ok, true, kSavingFailed);
}

// ------------------------------------------------------------------ the setup commands

QString SetupInfoPopup::ChooseSetupFile(bool open)
{
    SysexFileDlg dialog(open, GetGlobalConfigurations().GetString(SetupFile), this);
    if (dialog.DoModal() != QDialog::Accepted)
        return {};
    return dialog.GetPathName();
}

int SetupInfoPopup::ChooseSetup(bool restore)
{
    SetupSelectDlg dialog(QStringLiteral("Select Setup"), this, this);
    dialog.m_restore = restore;
    if (RunDialog(dialog) != QDialog::Accepted)
        return -1;
    return dialog.m_setupNumber;
}

bool SetupInfoPopup::LoadSetup()
{
    const QString path = ChooseSetupFile(true);
    SetupBuffer* buffer = Buffer();
    Proteus* proteus = GetProteus();
    if (path.isEmpty() || !buffer || !proteus)
        return false;
    // Only a file whose first message is a whole setup dump goes to the
    // module: anything else would be uploaded as a setup.
    ByteBlockList blocks;
    OleProps properties;
    if (!proteus->ReadSysExFile(path, blocks, properties))
        return false;
    if (blocks.empty() || !blocks.front() || !SetupDumpLayout::Parse(blocks.front()->Bytes()).IsValid()) {
        ShowMessage(this, msgbox::Ok | msgbox::IconWarning, false, kNotASetupFile, path);
        return false;
    }
    if (!buffer->LoadFile(path))
        return false;
    GetGlobalConfigurations().SetString(SetupFile, path);
    ClearHistory();
    OnUndoStackChanged();
    LoadPage();
    Refresh();
    if (ParamRecord* reload = proteus->FindParameter(SETUP_RELOAD_NOTIFIER))
        proteus->ParameterEdit(reload);
    return true;
}

bool SetupInfoPopup::SaveSetup()
{
    const QString path = ChooseSetupFile(false);
    SetupBuffer* buffer = Buffer();
    if (path.isEmpty() || !buffer || !buffer->SaveFile(path))
        return false;
    GetGlobalConfigurations().SetString(SetupFile, path);
    return true;
}

bool SetupInfoPopup::StoreSetup()
{
    const int setup = ChooseSetup(false);
    SetupBuffer* buffer = Buffer();
    Proteus* proteus = GetProteus();
    if (setup < 0 || !buffer || !proteus || !buffer->StoreSetup(setup))
        return false;
    const QString text = ItemAs<NameCtrl>(kNameItem)->text();
    if (GlobalResources* resources = TheGlobalResources())
        resources->SetSetupName(setup, text);
    proteus->SetUserObjectName(OBJECT_SETUP, setup, text);
    return true;
}

bool SetupInfoPopup::RestoreSetup()
{
    const int setup = ChooseSetup(true);
    SetupBuffer* buffer = Buffer();
    if (setup < 0 || !buffer || !buffer->RestoreSetup(setup))
        return false;
    EditPage(0);
    ClearHistory();
    OnUndoStackChanged();
    LoadPage();
    Refresh();
    return true;
}
