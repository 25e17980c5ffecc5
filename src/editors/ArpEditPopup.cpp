#include "editors/ArpEditPopup.h"

#include "ui_ArpEditPopup.h"

#include "app/SelectionDialogs.h"
#include "core/GlobalResources.h"
#include "core/MessageBox.h"
#include "core/ObjectKind.h"
#include "module/ModuleCommands.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/NameEditCtrl.h"
#include "ui/controls/ObjectSelectCtrl.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/ConfiguredColours.h"
#include "ui/framework/LabelCtrl.h"
#include "ui/framework/StackWaitCursor.h"
#include "ui/framework/TipEditorDlg.h"

#include <QAction>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QStandardItemModel>

namespace {

constexpr int kPatternItem = 1166;
constexpr int kNameItem = 1174;
constexpr int kCopyItem = 1175;
constexpr int kTooltipItem = 1014;
constexpr int kUndoItem = 1056;
constexpr int kRedoItem = 1057;
constexpr int kLoopItem = 1171;
constexpr int kStepItem = 1173;
constexpr int kKeyOffsetItem = 1167;
constexpr int kVelocityItem = 1168;
constexpr int kDurationItem = 1169;
constexpr int kRepeatItem = 1170;
constexpr int kListItem = 1172;

constexpr unsigned kSelectArpTitle = 166;
// The column headings ("Step" ... "Repeat") and their widths in pixels.
constexpr unsigned kColumnTitles[ArpEditPopup::kColumns] = {208, 209, 210, 211, 212};
constexpr int kColumnWidths[ArpEditPopup::kColumns] = {61, 101, 101, 106, 90};
// The formats of the list's columns.
constexpr int kColumnFormats[ArpEditPopup::kColumns] = {vf::NumberPlusOne, vf::ArpStepKey, vf::VelocityOrPlayed,
                                                       vf::PresetArpDuration, vf::NumberPlusOne};

} // namespace

ArpEditPopup::ArpEditPopup(const QString& name, bool topLevel, ControlListener* parent, QWidget* parentWnd)
    : ResizingPopup(name, kTemplateId, topLevel, parent, parentWnd), UndoRedo(this),
      m_ui(std::make_unique<Ui::ArpEditPopup>()), m_model(std::make_unique<QStandardItemModel>(0, kColumns))
{
    MakeRecords();
    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Edit Arp"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);
    BindControls();
    LayOutList();
    Refresh();
}

ArpEditPopup::~ArpEditPopup()
{
    DestroyPopup();
    ForgetControls();
}

// ------------------------------------------------------------------ set-up

void ArpEditPopup::MakeRecords()
{
    auto make = [this](const QString& name, int id) {
        auto r = std::make_unique<ParamRecord>(name, id, 0);
        r->minimum = 0;
        r->maximum = 1;
        r->defaultValue = 0;
        r->readOnly = false;
        AddParameter(r.get());
        m_records.push_back(std::move(r));
    };
    make(QStringLiteral("COPY_ARP_BUTTON"), COPY_ARP_BUTTON);
    make(QStringLiteral("UNDO_PARAMETER_BUTTON"), UNDO_PARAMETER_BUTTON);
    make(QStringLiteral("REDO_PARAMETER_BUTTON"), REDO_PARAMETER_BUTTON);
    make(QStringLiteral("EDIT_TOOLTIP_BUTTON"), EDIT_TOOLTIP_BUTTON);
    make(QStringLiteral("EDIT_TOOLTIP"), EDIT_TOOLTIP);
}

ParamRecord* ArpEditPopup::OwnRecord(int id)
{
    for (const std::unique_ptr<ParamRecord>& r : m_records)
        if (r->id == id)
            return r.get();
    return nullptr;
}

void ArpEditPopup::BindControls()
{
    const TriggerSet* patternSet = &GetArpPatternTriggerSet();
    const TriggerSet* stepSet = &GetArpStepTriggerSet();

    // The step list: whole rows, the configured colours, five columns.
    m_list = ItemAs<ListCtrl>(kListItem);
    m_list->SetOwner(this);
    m_list->setModel(m_model.get());
    m_list->setRootIsDecorated(false);
    m_list->setItemsExpandable(false);
    m_list->setUniformRowHeights(true);
    m_list->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_list->setSelectionMode(QAbstractItemView::SingleSelection);
    m_list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    ApplyControlColours(m_list);
    for (int c = 0; c < kColumns; ++c) {
        auto* heading = new QStandardItem(LoadResourceString(kColumnTitles[c]));
        heading->setTextAlignment(Qt::AlignLeft | Qt::AlignVCenter);
        m_model->setHorizontalHeaderItem(c, heading);
        m_list->setColumnWidth(c, kColumnWidths[c]);
    }
    connect(m_list->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { OnStepListChanged(); });
    m_list->SetToolTipId(20020);
    AddControl(m_list);

    m_pattern = ItemAs<SelectCtrl>(kPatternItem);
    m_pattern->SetOwner(this);
    m_pattern->BindParameter(patternSet, vf::Number, GetParameter(ARP_PATTERN_SELECT));
    m_pattern->Setup(OBJECT_ARP, true, false, QStringLiteral("ArpSelection"), LoadResourceString(kSelectArpTitle),
                     20011);
    AddControl(m_pattern);

    auto addButton = [this](int item, int record, const TriggerSet* triggers, int tooltip) {
        auto* button = ItemAs<ButtonCtrl>(item);
        button->SetOwner(this);
        button->BindParameter(triggers, vf::Number, GetParameter(record));
        button->Setup(tooltip);
        AddControl(button);
    };
    addButton(kCopyItem, COPY_ARP_BUTTON, patternSet, 20013);
    addButton(kTooltipItem, EDIT_TOOLTIP_BUTTON, nullptr, 20252);
    addButton(kUndoItem, UNDO_PARAMETER_BUTTON, nullptr, 20021);
    addButton(kRedoItem, REDO_PARAMETER_BUTTON, nullptr, 20022);

    auto addTracker = [this](int item, int record, const TriggerSet* triggers, int format, int tooltip) {
        auto* tracker = ItemAs<TrackerCtrl>(item);
        tracker->SetOwner(this);
        tracker->BindParameter(triggers, format, GetParameter(record));
        tracker->Setup(tooltip, false, false, true, 4);
        AddControl(tracker);
        return tracker;
    };
    addTracker(kLoopItem, ARP_PATTERN_LOOP_POINT, patternSet, vf::Number, 20014);

    m_stepLabel = LabelCtrl::TakeOver(ItemAs<QLabel>(kStepItem), this);
    m_stepLabel->Setup(nullptr, 20015);
    m_stepLabel->BindParameter(stepSet, vf::NumberPlusOne, GetParameter(ARP_PATTERN_STEP_SELECT));
    AddControl(m_stepLabel);

    addTracker(kKeyOffsetItem, ARP_STEP_KEY_OFFSET, stepSet, vf::ArpStepKey, 20016);
    addTracker(kVelocityItem, ARP_STEP_VELOCITY, stepSet, vf::VelocityOrPlayed, 20017);

    auto* duration = ItemAs<MenuCtrl>(kDurationItem);
    duration->SetOwner(this);
    duration->BindParameter(stepSet, vf::PresetArpDuration, GetParameter(ARP_STEP_DURATION));
    duration->Setup(false, 0, &GetPresetArpDurationList(), 20018);
    AddControl(duration);

    addTracker(kRepeatItem, ARP_STEP_REPEAT, stepSet, vf::NumberPlusOne, 20019);

    m_name = ItemAs<NameCtrl>(kNameItem);
    m_name->SetOwner(this);
    for (int i = 0; i < ArpPatternData::kNameLength; ++i)
        m_name->BindParameter(patternSet, vf::Number, GetParameter(ARP_NAME_CHAR_0 + i));
    m_name->Setup(ArpPatternData::kNameLength, 20012);
    AddControl(m_name);
}

// ------------------------------------------------------------------ window

void ArpEditPopup::Show(PopupListener* owner, const QString& title)
{
    if (!owner) {
        m_pattern->ClosePopup();
    } else if (!m_stepsLoaded) {
        LoadPattern();
        if (ParamRecord* select = GetParameter(ARP_PATTERN_SELECT); select && select->id == ARP_PATTERN_SELECT)
            LoadTooltip(select->value);
        m_stepsLoaded = true;
    }
    Popup::Show(owner, title);
}

void ArpEditPopup::OnClose()
{
    m_pattern->ClosePopup();
}

void ArpEditPopup::Refresh()
{
    Button(kUndoItem)->setEnabled(CanUndo());
    Button(kRedoItem)->setEnabled(CanRedo());
    for (QAction* a : DialogKeyActions()) {
        if (a->objectName() == QStringLiteral("command%1").arg(cmd::Undo))
            a->setEnabled(CanUndo());
        else if (a->objectName() == QStringLiteral("command%1").arg(cmd::Redo))
            a->setEnabled(CanRedo());
    }
}

void ArpEditPopup::OnCommand(int id)
{
    if (RunUndoRedoCommand(*this, id))
        return;
    ResizingPopup::OnCommand(id);
}

ButtonCtrl* ArpEditPopup::Button(int itemId) const
{
    return ItemAs<ButtonCtrl>(itemId);
}

int ArpEditPopup::RunDialog(QDialog& dialog)
{
    return dialog.exec();
}

void ArpEditPopup::resizeEvent(QResizeEvent* event)
{
    ResizingPopup::resizeEvent(event);
    LayOutList();
}

void ArpEditPopup::LayOutList()
{
    if (!m_list)
        return;
    // The list keeps its place and takes the rest of the window.
    const QPoint topLeft = m_list->geometry().topLeft();
    m_list->setGeometry(topLeft.x(), topLeft.y(), width() - 2 * topLeft.x(),
                        std::max(0, height() - topLeft.y() - topLeft.x()));
}

// ------------------------------------------------------------------ the step list

QString ArpEditPopup::Format(int format, int value)
{
    if (Proteus* proteus = GetProteus())
        if (ValueFormatter f = proteus->GetFormatter(format))
            return f(value);
    return FormatValue(format, value);
}

int ArpEditPopup::RowCount() const
{
    return m_model->rowCount();
}

QString ArpEditPopup::CellText(int row, int column) const
{
    const QStandardItem* item = m_model->item(row, column);
    return item ? item->text() : QString();
}

int ArpEditPopup::SelectedRow() const
{
    const QModelIndexList rows = m_list->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.front().row();
}

void ArpEditPopup::SetRowSelected(int row)
{
    const QModelIndex index = m_model->index(row, 0);
    if (!index.isValid())
        return;
    m_list->selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    m_list->scrollTo(index);
}

void ArpEditPopup::SelectRow(int row)
{
    SetRowSelected(row);
}

bool ArpEditPopup::LoadPattern()
{
    m_model->removeRows(0, m_model->rowCount());
    ArpPatternData data{};
    Proteus* proteus = GetProteus();
    if (!proteus || !proteus->ReadArpData(data))
        return false;
    m_updatingList = true;
    for (int i = 0; i < kSteps; ++i) {
        const ArpPatternData::Step& s = data.steps[std::size_t(i)];
        const int values[kColumns] = {i, s.keyOffset, s.velocity, s.duration, s.repeat};
        QList<QStandardItem*> row;
        for (int c = 0; c < kColumns; ++c)
            row.append(new QStandardItem(Format(kColumnFormats[c], values[c])));
        m_model->appendRow(row);
    }
    m_updatingList = false;
    // Step 1 is shown selected; the read left the module on the last step,
    // so the selection goes through to the module.
    SetRowSelected(0);
    ClearHistory();
    OnUndoStackChanged();
    return true;
}

void ArpEditPopup::OnStepListChanged()
{
    if (m_updatingList)
        return;
    const int row = SelectedRow();
    ParamRecord* step = GetParameter(ARP_PATTERN_STEP_SELECT);
    if (row < 0 || !step || step->id != ARP_PATTERN_STEP_SELECT || row == step->value)
        return;
    const int previous = step->previousValue;
    const int current = step->value;
    step->previousValue = step->value;
    step->value = row;
    if (!EditParameter(step)) {
        // Refused: the connection's record keeps the step the module has,
        // and the list shows it again.
        step->value = current;
        step->previousValue = previous;
        m_updatingList = true;
        SetRowSelected(current);
        m_updatingList = false;
    }
}

// ------------------------------------------------------------------ ControlListener

bool ArpEditPopup::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    switch (record->id) {
    case UNDO_PARAMETER_BUTTON:
        Undo(true);
        return true;
    case REDO_PARAMETER_BUTTON:
        Redo();
        return true;
    case ARP_PATTERN_SELECT:
        if (!ChainedListener::EditParameter(record))
            return false;
        LoadPattern();
        return true;
    case EDIT_TOOLTIP_BUTTON:
        EditTooltip();
        return true;
    case COPY_ARP_BUTTON:
        return CopyArp();
    default:
        if (!ApplyChange(record))
            return false;
        RecordChange(record);
        return true;
    }
}

void ArpEditPopup::EditTooltip()
{
    ParamRecord* tip = OwnRecord(EDIT_TOOLTIP);
    TipEditorDlg dialog(QStringLiteral("Tip Editor"), this, this);
    dialog.SetText(tip->text);
    if (RunDialog(dialog) != QDialog::Accepted)
        return;
    tip->SetText(dialog.Text());
    EditParameter(tip);
}

bool ArpEditPopup::CopyArp()
{
    ParamRecord* select = GetParameter(ARP_PATTERN_SELECT);
    if (!select || select->id != ARP_PATTERN_SELECT)
        return false;
    CopyArpDlg dialog(QStringLiteral("Copy Arp"), this, this);
    dialog.m_romId = select->romId;
    dialog.m_arpNumber = select->value;
    if (RunDialog(dialog) != QDialog::Accepted)
        return false;
    StackWaitCursor wait;
    Proteus* proteus = GetProteus();
    if (!proteus)
        return true;
    const int destination = select->value;
    proteus->CopyArp(destination, dialog.m_romId, dialog.m_arpNumber);
    RefreshPatternName();
    LoadPattern();
    ParameterChanged(select);
    return true;
}

void ArpEditPopup::RefreshPatternName()
{
    Proteus* proteus = GetProteus();
    ParamRecord* select = GetParameter(ARP_PATTERN_SELECT);
    if (!proteus || !select || select->id != ARP_PATTERN_SELECT)
        return;
    bool ok = false;
    QString name;
    if (proteus->GetObjectName(OBJECT_ARP, 0, select->value, ok, name) && ok)
        proteus->SetUserObjectName(OBJECT_ARP, select->value, name);
}

void ArpEditPopup::LoadTooltip(int pattern)
{
    if (GlobalResources* resources = TheGlobalResources())
        OwnRecord(EDIT_TOOLTIP)->SetText(resources->GetObjectTooltip(OBJECT_ARP, 0, pattern));
}

// ------------------------------------------------------------------ ControlBase

void ArpEditPopup::ParameterChanged(ParamRecord* record)
{
    if (!record)
        return;
    if (!m_updatingList)
        Popup::ParameterChanged(record);
    const int id = record->id;
    if (id == ARP_PATTERN_SELECT) {
        LoadTooltip(record->value);
    } else if (id == ARP_PATTERN_STEP_SELECT) {
        const int row = SelectedRow();
        if (row >= 0 && row != record->value) {
            m_updatingList = true;
            SetRowSelected(record->value);
            m_updatingList = false;
        }
    } else if (id >= ARP_NAME_CHAR_0 && id <= ARP_NAME_CHAR_11) {
        RefreshPatternName();
        if (ParamRecord* select = GetParameter(ARP_PATTERN_SELECT); select && select->id == ARP_PATTERN_SELECT)
            m_pattern->ParameterChanged(select);
    } else if (id >= ARP_STEP_KEY_OFFSET && id <= ARP_STEP_REPEAT) {
        const int column = 1 + (id - ARP_STEP_KEY_OFFSET);
        const int row = SelectedRow();
        if (row >= 0)
            if (QStandardItem* item = m_model->item(row, column))
                item->setText(Format(kColumnFormats[column], record->value));
    }
}

// ------------------------------------------------------------------ UndoRedo

bool ArpEditPopup::ApplyChange(ParamRecord* record)
{
    if (record->id == EDIT_TOOLTIP) {
        ParamRecord* select = GetParameter(ARP_PATTERN_SELECT);
        if (select && select->id == ARP_PATTERN_SELECT)
            if (GlobalResources* resources = TheGlobalResources())
                resources->SetObjectTooltip(OBJECT_ARP, 0, select->value, record->text);
        return true;
    }
    return ChainedListener::EditParameter(record);
}
