#include "ui/controls/ItemListCtrl.h"

#include "core/GlobalResources.h"
#include "core/resources/GlobalStyle.h"
#include "ui/framework/ControlListener.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/TipEditor.h"

#include <QContextMenuEvent>
#include <QHeaderView>
#include <QMouseEvent>

ItemListCtrl::ItemListCtrl(int kind, ControlListener* owner, PopupListener* client, QWidget* parent)
    : QTreeView(parent), ItemListLogic(kind, owner, client)
{
    SetControlWindow(this);
    setModel(&Model());
    setRootIsDecorated(false);
    setItemsExpandable(false);
    setUniformRowHeights(true);
    setAllColumnsShowFocus(true);
    setSelectionBehavior(QAbstractItemView::SelectRows);
    setSelectionMode(QAbstractItemView::SingleSelection);
    setEditTriggers(QAbstractItemView::NoEditTriggers);
    header()->setSectionsClickable(true);
    header()->setStretchLastSection(false);
    const int widths[] = {102, 42, 82, 50};
    for (int c = 0; c < 4; ++c)
        header()->resizeSection(c, widths[c]);
    // A row's tip: the user's note on the object, else its name.
    Model().tooltip = [this](const ItemEntry& e) {
        GlobalResources* resources = TheGlobalResources();
        const QString note = resources ? resources->GetObjectTooltip(ObjectKind(Kind()), e.SimmId(), e.Index()) : QString();
        return note.isEmpty() && GetOwner() ? GetOwner()->GetObjectName(Kind(), e.SimmId(), e.Index()) : note;
    };
    connect(header(), &QHeaderView::sectionClicked, this, [this](int column) { SetSortColumn(column); });
    connect(this, &QAbstractItemView::clicked, this, [this](const QModelIndex&) { Clicked(); });
    if (const GlobalStyle* style = TheGlobalStyle()) {
        QPalette p = palette();
        p.setColor(QPalette::Base, style->Colour(BackgroundColour));
        p.setColor(QPalette::Text, style->Colour(ForegroundColour));
        style->SetDisabledColours(&p);
        setPalette(p);
    }
}

void ItemListCtrl::Setup(int tooltipId)
{
    SetToolTipId(tooltipId);
}

void ItemListCtrl::OnContextMenuCommand(QWidget* parent, QPoint* point, int command)
{
    if (command != cmd::EditTooltip)
        return;
    const int row = point ? indexAt(viewport()->mapFromGlobal(*point)).row() : -1;
    const int key = Model().KeyAt(row);
    if (key < 0) {
        EditTooltip(unsigned(GetToolTipId()), GetOwner(), parent);
        return;
    }
    const ObjectKind kind = ObjectKind(Kind());
    GlobalResources* resources = TheGlobalResources();
    QString text = resources ? resources->GetObjectTooltip(kind, key >> 16, key & 0xFFFF) : QString();
    if (text.isEmpty() && GetOwner())
        text = GetOwner()->GetObjectName(Kind(), key >> 16, key & 0xFFFF);
    if (std::optional<QString> edited = RunTipEditor(GetOwner(), parent, text))
        if (resources)
            resources->SetObjectTooltip(kind, key >> 16, key & 0xFFFF, *edited);
}

void ItemListCtrl::ShowSelectedRow(int row)
{
    const QModelIndex index = model()->index(row, 0);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
    viewport()->update();
}

void ItemListCtrl::ShowRowDeselected(int row)
{
    selectionModel()->select(model()->index(row, 0), QItemSelectionModel::Deselect | QItemSelectionModel::Rows);
}

void ItemListCtrl::selectionChanged(const QItemSelection& selected, const QItemSelection& deselected)
{
    QTreeView::selectionChanged(selected, deselected);
    if (selected.isEmpty())
        return;
    const int row = selected.indexes().first().row();
    if (UserSelectedRow(row))
        QMetaObject::invokeMethod(this, [this, row] { DeliverSelection(row); }, Qt::QueuedConnection);
}

void ItemListCtrl::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::RightButton)
        return; // right clicks do not select
    QTreeView::mousePressEvent(event);
}

void ItemListCtrl::mouseReleaseEvent(QMouseEvent* event)
{
    QTreeView::mouseReleaseEvent(event);
    if (event->button() == Qt::LeftButton && !indexAt(event->position().toPoint()).isValid())
        Clicked();
}

void ItemListCtrl::contextMenuEvent(QContextMenuEvent* event)
{
    ShowContextMenu(this, event->globalPos(), menuid::ControlContext);
}
