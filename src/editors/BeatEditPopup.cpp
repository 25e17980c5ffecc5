#include "editors/BeatEditPopup.h"

#include "ui_BeatEditPopup.h"

#include "core/MessageBox.h"
#include "module/NameLists.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "module/TriggerSets.h"
#include "module/ValueFormats.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/LabelCtrl.h"

#include <QHeaderView>
#include <QLabel>
#include <QSignalBlocker>
#include <QStandardItemModel>

namespace {

// The columns: title string, width in pixels.
struct Column {
    unsigned title;
    int width;
};
constexpr Column kColumns[] = {{213, 81}, {214, 101}, {215, 101}, {216, 101}, {217, 106}, {218, 90}};
// The parts below this one have velocity, transposition and group.
constexpr int kFirstTriggerOnlyPart = 16;

bool IsBeatParameter(int id)
{
    return id == BEAT_TRIGGER_KEY || id == BEAT_TRIGGER_LATCH || id == BEATS_VELOCITY || id == BEATS_XPOSE ||
           id == BEATS_GROUP;
}

// The list column and value format of a beat parameter.
int ColumnOf(int id)
{
    switch (id) {
    case BEAT_TRIGGER_KEY: return 1;
    case BEAT_TRIGGER_LATCH: return 2;
    case BEATS_VELOCITY: return 3;
    case BEATS_XPOSE: return 4;
    case BEATS_GROUP: return 5;
    default: return -1;
    }
}
int FormatOf(int id)
{
    switch (id) {
    case BEAT_TRIGGER_KEY: return vf::NoteName;
    case BEAT_TRIGGER_LATCH: return vf::BeatLatch;
    case BEATS_VELOCITY: return vf::PercentOrAsTrigger;
    case BEATS_GROUP: return vf::BeatGroup;
    default: return vf::Number;
    }
}

} // namespace

BeatEditPopup::BeatEditPopup(ControlListener* parent, QWidget* parentWnd)
    : ResizingPopup(QStringLiteral("BeatEdit"), kTemplateId, false, parent, parentWnd),
      m_ui(std::make_unique<Ui::BeatEditPopup>()),
      m_partSelect(QStringLiteral("BEAT_TRIGGER_SELECT"), BEAT_TRIGGER_SELECT, 0)
{
    m_partSelect.minimum = 0;
    m_partSelect.maximum = 1;
    m_partSelect.readOnly = false;
    AddParameter(&m_partSelect);

    m_ui->setupUi(this);
    setWindowTitle(QStringLiteral("Edit Beats"));
    InitialisePopup();
    SetOwnTooltipId(kOwnTooltipId);
    BindControls();
}

BeatEditPopup::~BeatEditPopup()
{
    ForgetControls();
    DestroyPopup();
}

void BeatEditPopup::BindControls()
{
    auto* list = ItemAs<ListCtrl>(ListItem);
    list->SetOwner(this);
    list->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    list->setSelectionBehavior(QAbstractItemView::SelectRows);
    list->setSelectionMode(QAbstractItemView::SingleSelection);
    list->setEditTriggers(QAbstractItemView::NoEditTriggers);
    list->setItemsExpandable(false);
    m_model = new QStandardItemModel(0, int(std::size(kColumns)), list);
    for (int c = 0; c < int(std::size(kColumns)); ++c)
        m_model->setHeaderData(c, Qt::Horizontal, LoadResourceString(kColumns[c].title));
    list->setModel(m_model);
    for (int c = 0; c < int(std::size(kColumns)); ++c)
        list->setColumnWidth(c, kColumns[c].width);
    list->SetToolTipId(20037);
    AddControl(list);
    connect(list->selectionModel(), &QItemSelectionModel::currentRowChanged, this,
            [this](const QModelIndex& current) {
                if (!m_quiet && current.isValid())
                    OnRowChanged(current.row());
            });

    const TriggerSet* beats = &GetBeatTriggerSet();
    m_partLabel = LabelCtrl::TakeOver(ItemAs<QLabel>(PartLabelItem), this);
    m_partLabel->Setup(nullptr, 20031);
    m_partLabel->BindParameter(beats, vf::BeatTrigger, &m_partSelect);
    AddControl(m_partLabel);

    auto tracker = [&](int item, int id, int format, int tooltip) {
        auto* t = ItemAs<TrackerCtrl>(item);
        t->SetOwner(this);
        t->BindParameter(beats, format, GetParameter(id));
        t->Setup(tooltip, false, false, true, 4);
        AddControl(t);
    };
    auto menu = [&](int item, int id, int format, NameMap& values, int tooltip) {
        auto* m = ItemAs<MenuCtrl>(item);
        m->SetOwner(this);
        m->BindParameter(beats, format, GetParameter(id));
        m->Setup(false, 0, &values, tooltip);
        AddControl(m);
    };
    tracker(KeyItem, BEAT_TRIGGER_KEY, vf::NoteName, 20032);
    menu(LatchItem, BEAT_TRIGGER_LATCH, vf::BeatLatch, GetBeatLatchList(), 20033);
    tracker(VelocityItem, BEATS_VELOCITY, vf::PercentOrAsTrigger, 20034);
    tracker(TransposeItem, BEATS_XPOSE, vf::Number, 20035);
    menu(GroupItem, BEATS_GROUP, vf::BeatGroup, GetBeatGroupList(), 20036);
}

// ------------------------------------------------------------------ the list

void BeatEditPopup::LoadPartList()
{
    m_model->removeRows(0, m_model->rowCount());
    Proteus* proteus = GetProteus();
    for (int part = 0; part < kParts; ++part) {
        QList<QStandardItem*> row;
        auto cell = [&](const QString& text) { row.append(new QStandardItem(text)); };
        cell(FormatValue(vf::BeatTrigger, part));
        if (proteus) {
            const Proteus::BeatLayerRow& layer = proteus->GetBeatData().layers[std::size_t(part)];
            cell(FormatValue(vf::NoteName, layer.triggerKey));
            cell(FormatValue(vf::BeatLatch, layer.latch));
            if (part < kFirstTriggerOnlyPart) {
                cell(FormatValue(vf::PercentOrAsTrigger, layer.velocity));
                cell(FormatValue(vf::Number, layer.transpose));
                cell(FormatValue(vf::BeatGroup, layer.group));
            }
        }
        while (row.size() < int(std::size(kColumns)))
            cell(QString());
        m_model->appendRow(row);
    }
}

void BeatEditPopup::SelectRowQuietly(int row)
{
    auto* list = ItemAs<ListCtrl>(ListItem);
    const bool was = m_quiet;
    m_quiet = true;
    list->setCurrentIndex(m_model->index(row, 0));
    m_quiet = was;
}

void BeatEditPopup::SelectRow(int row)
{
    ItemAs<ListCtrl>(ListItem)->setCurrentIndex(m_model->index(row, 0));
}

int BeatEditPopup::SelectedRow() const
{
    const QModelIndex i = ItemAs<ListCtrl>(ListItem)->currentIndex();
    return i.isValid() ? i.row() : -1;
}

int BeatEditPopup::RowCount() const
{
    return m_model->rowCount();
}

QString BeatEditPopup::CellText(int row, int column) const
{
    QStandardItem* item = m_model->item(row, column);
    return item ? item->text() : QString();
}

void BeatEditPopup::SetCell(int row, int column, const QString& text)
{
    if (QStandardItem* item = m_model->item(row, column))
        item->setText(text);
}

void BeatEditPopup::OnRowChanged(int row)
{
    if (row == m_partSelect.value)
        return;
    m_partSelect.previousValue = m_partSelect.value;
    m_partSelect.value = row;
    EditParameter(&m_partSelect);
}

void BeatEditPopup::LayOutList()
{
    QWidget* list = Item(ListItem);
    if (!list)
        return;
    const QPoint top = list->pos();
    list->setGeometry(top.x(), top.y(), std::max(0, width() - 2 * top.x()), std::max(0, height() - top.y()));
}

void BeatEditPopup::resizeEvent(QResizeEvent* event)
{
    ResizingPopup::resizeEvent(event);
    LayOutList();
}

// ------------------------------------------------------------------ activation and parts

void BeatEditPopup::UpdateEnabling()
{
    const bool part = m_currentPart < kFirstTriggerOnlyPart;
    for (int item : {int(VelocityItem), int(TransposeItem), int(GroupItem)})
        Item(item)->setEnabled(part);
}

void BeatEditPopup::Activate()
{
    LoadPartList();
    LayOutList();
    Proteus* proteus = GetProteus();
    const int layer = proteus ? proteus->GetCurrentLayer() : 0;
    m_currentPart = layer >= 0 && layer < kParts ? layer : 0;
    // The list follows the part the controls show, so a cell update lands on its own row.
    SelectRowQuietly(m_currentPart);
    Popup::Activate();
    m_partSelect.previousValue = m_partSelect.value;
    m_partSelect.value = m_currentPart;
    UpdateEnabling();
    for (ControlBase* c : Controls())
        c->ParameterChanged(&m_partSelect);
}

void BeatEditPopup::ShowPart(int part)
{
    m_currentPart = part;
    m_partLabel->SetText(FormatValue(vf::BeatTrigger, part));
    UpdateEnabling();
    for (ControlBase* c : Controls())
        if (c->ParameterCount() > 0 && c->ParameterAt(0)->id != BEAT_TRIGGER_SELECT)
            c->ParameterChanged(&m_partSelect);
}

void BeatEditPopup::ParameterChanged(ParamRecord* record)
{
    if (!record)
        return;
    if (record->id == BEAT_TRIGGER_SELECT)
        return;
    if (IsBeatParameter(record->id)) {
        Proteus* proteus = GetProteus();
        const int layer = proteus ? proteus->GetCurrentLayer() : m_currentPart;
        // The change belongs to the part the module had selected when it was made.
        const int row = layer >= 0 && layer < kParts ? layer : m_currentPart;
        const bool partColumn = record->id != BEAT_TRIGGER_KEY && record->id != BEAT_TRIGGER_LATCH;
        if (!partColumn || row < kFirstTriggerOnlyPart)
            SetCell(row, ColumnOf(record->id), FormatValue(FormatOf(record->id), record->value));
    }
    Popup::ParameterChanged(record);
}

bool BeatEditPopup::CachedValue(int id, int part, int* value)
{
    if (!IsBeatParameter(id))
        return false;
    Proteus* proteus = GetProteus();
    if (!proteus)
        return false;
    const Proteus::BeatLayerRow& layer = proteus->GetBeatData().layers[std::size_t(part)];
    switch (id) {
    case BEAT_TRIGGER_KEY: *value = layer.triggerKey; break;
    case BEAT_TRIGGER_LATCH: *value = layer.latch; break;
    case BEATS_VELOCITY: *value = layer.velocity; break;
    case BEATS_XPOSE: *value = layer.transpose; break;
    default: *value = layer.group; break;
    }
    return true;
}

bool BeatEditPopup::RequestParameterValues(ParamRecord* record)
{
    if (!record)
        return false;
    int value = 0;
    if (record->id == BEAT_TRIGGER_SELECT) {
        value = m_currentPart;
    } else if (!CachedValue(record->id, m_currentPart, &value)) {
        return ResizingPopup::RequestParameterValues(record);
    }
    record->previousValue = record->value;
    record->value = value;
    return true;
}

bool BeatEditPopup::RequestParameterMinMax(ParamRecord* record)
{
    if (!record)
        return false;
    // The connection learnt the ranges when it connected; the values come
    // from the cache, so opening the editor asks the module nothing.
    int value = 0;
    if (record->id != BEAT_TRIGGER_SELECT && !CachedValue(record->id, m_currentPart, &value))
        return ResizingPopup::RequestParameterMinMax(record);
    if (record->id == BEAT_TRIGGER_SELECT)
        value = m_currentPart;
    record->previousValue = record->value;
    record->value = value;
    return true;
}

bool BeatEditPopup::EditParameter(ParamRecord* record)
{
    if (!record)
        return false;
    if (record->id == BEAT_TRIGGER_SELECT) {
        if (record->value == m_currentPart)
            return true;
        if (record->value < 0 || record->value >= kParts)
            return false;
        if (SelectedRow() != record->value)
            SelectRowQuietly(record->value);
        ShowPart(record->value);
        return true;
    }
    if (!IsBeatParameter(record->id))
        return ResizingPopup::EditParameter(record);

    ControlListener* parent = GetParentListener();
    Proteus* proteus = GetProteus();
    if (!parent || !proteus)
        return false;
    const int layer = proteus->GetCurrentLayer();
    // Taken first: selecting the part makes the controls reload the shared
    // record from the cache, which still holds the old value.
    ParamRecord copy(*record);
    ParamRecord start(QStringLiteral("START_UNDO"), START_UNDO, 0);
    ParamRecord end(QStringLiteral("END_UNDO"), END_UNDO, 0);
    start.SetText(record->name);
    end.SetText(record->name);
    ParamRecord* select = GetParameter(BEAT_LAYER_SELECT);
    if (!select || select->id != BEAT_LAYER_SELECT)
        return false;

    parent->EditParameter(&start);
    select->previousValue = select->value;
    select->value = m_currentPart;
    parent->EditParameter(select);
    // The module's answer to the value itself is the edit's answer: a refused
    // value is shown as refused (the control puts the old value back).
    const bool taken = parent->EditParameter(&copy);
    select->previousValue = select->value;
    select->value = layer;
    parent->EditParameter(select);
    parent->EditParameter(&end);
    return taken;
}
