#pragma once
// The item list's view: a tree view without branches over ItemListLogic's
// model, so thousands of objects cost no widget each. A user's selection is
// handed to the client after the view's own notification has returned (a
// queued call to the list itself).

#include "ui/controls/ItemListLogic.h"

#include <QTreeView>

class ItemListCtrl : public QTreeView, public ItemListLogic {
    Q_OBJECT
public:
    ItemListCtrl(int kind, ControlListener* owner, PopupListener* client, QWidget* parent = nullptr);
    /// A list built by a form; Attach gives it its kind, owner and client.
    explicit ItemListCtrl(QWidget* parent) : ItemListCtrl(0, nullptr, nullptr, parent) {}
    /// Stores the tooltip id.
    void Setup(int tooltipId);
    /// Edit Tooltip only: over a row the user's note on that object (starting
    /// from its name when there is none), elsewhere the list's own tip.
    void OnContextMenuCommand(QWidget* parent, QPoint* point, int command) override;

protected:
    void ShowSelectedRow(int row) override;
    void ShowRowDeselected(int row) override;
    void selectionChanged(const QItemSelection& selected, const QItemSelection& deselected) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;
    /// Letters do not jump to a row: typing belongs to the filter box.
    void keyboardSearch(const QString&) override {}
};
