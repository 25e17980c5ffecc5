#pragma once
// The item list's logic: every object of one kind on every SIMM, the search
// filter, the user-bank switch, the sort column and the selection that its
// client may refuse. The rows live in ItemListModel, a table model that a
// view shows without a widget per row; ItemListCtrl.h is that view.
//
// Each object's texts are read once when the list is filled and kept with a
// lower-case search text, so a filter keystroke only compares strings.

#include "module/HardwareConfig.h"
#include "ui/framework/ControlBase.h"

#include <QAbstractTableModel>
#include <QString>

#include <functional>
#include <span>
#include <vector>

class PopupListener;

/// One object of the list: its key ((SIMM id << 16) | index) and its texts.
struct ItemEntry {
    int key = 0; ///< (SIMM id << 16) | index
    QString full;      ///< the object's name as the module gives it ("None" for none)
    int separator = -1; ///< where the category ends in full; -1 for none
    QString location;
    QString search; ///< "category: name location id" in lower case
    int locationRank = 0; ///< the place of the location among the list's locations, ignoring case
    int SimmId() const { return key >> 16; }
    /// The texts of the columns, made when asked: a list of thousands keeps no copies.
    QStringView Name() const { return separator < 0 ? QStringView(full) : QStringView(full).mid(separator + 1); }
    QStringView Category() const { return separator < 0 ? QStringView() : QStringView(full).left(separator); }
    /// "bank:number".
    QString Id() const;
    int Index() const { return key & 0xFFFF; }
};

/// The rows now shown, as a table model of four columns: Name, Cat, Location, ID.
class ItemListModel : public QAbstractTableModel {
public:
    int rowCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : int(m_rows.size()); }
    int columnCount(const QModelIndex& parent = {}) const override { return parent.isValid() ? 0 : 4; }
    QVariant data(const QModelIndex& index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

    /// Replaces the shown rows (indices into entries).
    void SetRows(const std::vector<ItemEntry>* entries, std::vector<int> rows);
    const std::vector<int>& Rows() const { return m_rows; }
    /// The key shown in row; -1 outside the rows.
    int KeyAt(int row) const;
    /// The row showing key; -1 when it is not shown.
    int RowOf(int key) const;

    /// A tooltip text for a row, set by the list's owner side.
    std::function<QString(const ItemEntry&)> tooltip;

private:
    const std::vector<ItemEntry>* m_entries = nullptr;
    std::vector<int> m_rows;
};

class ItemListLogic : public ControlBase {
public:
    ItemListLogic(int kind, ControlListener* owner, PopupListener* client);
    ~ItemListLogic() override;
    /// The kind of object listed and who is offered the choice, for a list a form built.
    void Attach(int kind, ControlListener* owner, PopupListener* client)
    {
        m_kind = kind;
        m_owner = owner;
        m_client = client;
    }

    /// Lists every object of the kind on the module's SIMMs (in slot order), then refills.
    void Populate();
    void Populate(std::span<const SimmSlot> simms);
    /// The search text. The shown rows are only thinned when the new text
    /// (in lower case) contains the old one; any other change refills.
    void SetFilter(const QString& text);
    void SetUserBankOnly(bool on);
    /// Sorts by column 0 Name, 1 Cat, 2 Location or 3 ID and shows the accepted selection again.
    void SetSortColumn(int column);
    /// Selects the row of the object, when it is shown, without asking the client.
    void SelectItem(int simmId, int index) { SelectKey((simmId << 16) | index); }
    void SelectKey(int key);

    /// The view selected row by the user's hand: true when the client must
    /// be asked later (DeliverSelection), after the view's own notification.
    bool UserSelectedRow(int row) const;
    /// Offers the row's object to the client; a refusal selects the previous row again.
    bool DeliverSelection(int row);
    /// A click: the accepted row is selected again (a click on empty space keeps it).
    void Clicked();

    /// Whether an object passes the filter and the user-bank switch.
    bool Passes(const ItemEntry& entry) const;
    /// Orders a before b by the sort column.
    bool SortsBefore(const ItemEntry& a, const ItemEntry& b) const;

    ItemListModel& Model() { return m_model; }
    const QString& Filter() const { return m_filter; }
    int SortColumn() const { return m_sortColumn; }
    int SelectedKey() const { return m_selectedKey; }
    int SelectedRow() const { return m_selectedRow; }
    bool LastFilterThinned() const { return m_lastThinned; }
    int Kind() const { return m_kind; }
    const std::vector<ItemEntry>& Entries() const { return m_entries; }

    /// Where a SIMM's name comes from; the module's SIMM names by default.
    std::function<QString(int simmId)> simmName;
    /// The SIMMs Populate lists; the module's hardware configuration by default.
    std::function<std::vector<SimmSlot>()> simmSlots;

    /// "bank:number" of an object index, three digits for the number (300 -> "2:044").
    static QString IdText(int index);
protected:
    /// The view shows row as the selected, focused row (or clears it, -1) and scrolls to it.
    virtual void ShowSelectedRow(int row) {}
    virtual void ShowRowDeselected(int row) {}

private:
    void Refill();
    void Sort(std::vector<int>& rows) const;
    /// Selects the accepted key again when it is shown.
    void ReselectAccepted();

    PopupListener* m_client;
    int m_kind;
    std::vector<ItemEntry> m_entries; ///< ascending by key
    ItemListModel m_model;
    QString m_filter;
    bool m_userBankOnly = false;
    int m_sortColumn = 2;
    bool m_suppress = false;
    int m_selectedKey = -1;
    int m_selectedRow = -1;
    bool m_lastThinned = false;
};
