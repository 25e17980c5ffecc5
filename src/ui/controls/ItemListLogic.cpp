#include "ui/controls/ItemListLogic.h"

#include "core/ObjectKind.h"
#include "module/Proteus.h"
#include "ui/framework/ControlListener.h"
#include "ui/framework/Popup.h"
#include "ui/framework/StackWaitCursor.h"

#include <algorithm>
#include <cstdio>
#include <map>

// ------------------------------------------------------------------ model

QString ItemEntry::Id() const
{
    return ItemListLogic::IdText(Index());
}

QVariant ItemListModel::data(const QModelIndex& index, int role) const
{
    if (!m_entries || !index.isValid() || index.row() >= int(m_rows.size()))
        return {};
    const ItemEntry& e = (*m_entries)[size_t(m_rows[size_t(index.row())])];
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case 0: return e.Name().toString();
        case 1: return e.Category().toString();
        case 2: return e.location;
        case 3: return e.Id();
        default: return {};
        }
    }
    if (role == Qt::ToolTipRole && tooltip)
        return tooltip(e);
    return {};
}

QVariant ItemListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const titles[] = {"Name", "Cat", "Location", "ID"};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < 4)
        return QString::fromLatin1(titles[section]);
    return {};
}

void ItemListModel::SetRows(const std::vector<ItemEntry>* entries, std::vector<int> rows)
{
    beginResetModel();
    m_entries = entries;
    m_rows = std::move(rows);
    endResetModel();
}

int ItemListModel::KeyAt(int row) const
{
    if (!m_entries || row < 0 || row >= int(m_rows.size()))
        return -1;
    return (*m_entries)[size_t(m_rows[size_t(row)])].key;
}

int ItemListModel::RowOf(int key) const
{
    if (!m_entries || key < 0)
        return -1;
    for (size_t r = 0; r < m_rows.size(); ++r)
        if ((*m_entries)[size_t(m_rows[r])].key == key)
            return int(r);
    return -1;
}

// ------------------------------------------------------------------ logic

ItemListLogic::ItemListLogic(int kind, ControlListener* owner, PopupListener* client)
    : ControlBase(owner), m_client(client), m_kind(kind)
{
    simmName = [this](int simmId) {
        Proteus* proteus = m_owner ? m_owner->GetProteus() : nullptr;
        return proteus ? proteus->GetSimmName(simmId) : QString();
    };
    simmSlots = [this] {
        Proteus* proteus = m_owner ? m_owner->GetProteus() : nullptr;
        std::vector<SimmSlot> list;
        if (proteus)
            for (const SimmSlot& s : proteus->hardwareConfig.GetSimms())
                list.push_back(s);
        return list;
    };
}

ItemListLogic::~ItemListLogic() = default;

QString ItemListLogic::IdText(int index)
{
    char text[24];
    std::snprintf(text, sizeof text, "%d:%03d", index / 128, index % 128);
    return QString::fromLatin1(text);
}

void ItemListLogic::Populate()
{
    const std::vector<SimmSlot> list = simmSlots ? simmSlots() : std::vector<SimmSlot>{};
    Populate(list);
}

void ItemListLogic::Populate(std::span<const SimmSlot> simms)
{
    StackWaitCursor wait;
    // The SIMMs once each (a SIMM listed twice adds nothing: the items are a
    // set of keys), in key order, with their locations and the order of those
    // ignoring case.
    std::map<int, const SimmSlot*> bySimm;
    for (const SimmSlot& slot : simms)
        bySimm.emplace(slot.simmId, &slot);
    std::map<int, QString> locations;
    std::vector<QString> places;
    for (const auto& [id, slot] : bySimm) {
        locations[id] = simmName ? simmName(id) : QString();
        places.push_back(locations[id].toCaseFolded());
    }
    std::sort(places.begin(), places.end());
    places.erase(std::unique(places.begin(), places.end()), places.end());

    const QChar separator = m_kind == OBJECT_RIFF ? QLatin1Char('-') : QLatin1Char(':');
    std::vector<ItemEntry> entries;
    entries.reserve(size_t(simms.size()) * 128);
    for (const auto& [id, slot] : bySimm) {
        int count = 0;
        switch (m_kind) {
        case OBJECT_PRESET: count = slot->presets; break;
        case OBJECT_INSTRUMENT: count = slot->instruments; break;
        case OBJECT_ARP: count = slot->arps; break;
        case OBJECT_SETUP: count = slot->setups; break;
        case OBJECT_DEMO: count = slot->demos; break;
        case OBJECT_RIFF: count = slot->riffs; break;
        default: break;
        }
        if (id < 0 || id > 0x7FFF)
            continue; // no room in a key
        count = std::clamp(count, 0, 0x10000);
        const QString& location = locations[id];
        const int rank = int(std::lower_bound(places.begin(), places.end(), location.toCaseFolded()) - places.begin());
        entries.reserve(entries.size() + size_t(count));
        for (int j = 0; j < count; ++j) {
            ItemEntry e;
            e.key = (id << 16) | j;
            const QString full = m_owner ? m_owner->GetObjectName(m_kind, id, j) : QString();
            e.full = full.isEmpty() ? QStringLiteral("None") : full;
            e.separator = int(e.full.indexOf(separator));
            e.location = location;
            e.locationRank = rank;
            const QString idText = IdText(j);
            QString search;
            search.reserve(e.full.size() + e.location.size() + idText.size() + 4);
            search += e.Category();
            search += QLatin1String(": ");
            search += e.Name();
            search += QLatin1Char(' ');
            search += e.location;
            search += QLatin1Char(' ');
            search += idText;
            e.search = std::move(search).toLower();
            entries.push_back(std::move(e));
        }
    }
    m_model.SetRows(nullptr, {});
    m_entries = std::move(entries);
    Refill();
}

bool ItemListLogic::Passes(const ItemEntry& entry) const
{
    if (m_userBankOnly && entry.SimmId() != 0)
        return false;
    return m_filter.isEmpty() || entry.search.contains(m_filter);
}

void ItemListLogic::SetFilter(const QString& text)
{
    if (text == m_filter)
        return;
    const QString old = m_filter;
    m_filter = text.toLower();
    // Only a text that contains the old one can match fewer objects than it;
    // anything else (a deletion, a pasted word) may bring hidden ones back.
    m_lastThinned = m_filter.contains(old);
    if (!m_lastThinned)
        return Refill();
    std::vector<int> rows;
    rows.reserve(m_model.Rows().size());
    for (int i : m_model.Rows())
        if (Passes(m_entries[size_t(i)]))
            rows.push_back(i);
    m_model.SetRows(&m_entries, std::move(rows));
    m_selectedRow = -1;
    ReselectAccepted();
}

void ItemListLogic::SetUserBankOnly(bool on)
{
    if (on == m_userBankOnly)
        return;
    m_userBankOnly = on;
    Refill();
}

void ItemListLogic::SetSortColumn(int column)
{
    if (column < 0 || column > 3)
        return;
    StackWaitCursor wait;
    m_sortColumn = column;
    std::vector<int> rows = m_model.Rows();
    Sort(rows);
    m_model.SetRows(&m_entries, std::move(rows));
    m_selectedRow = -1;
    ReselectAccepted();
}

void ItemListLogic::Refill()
{
    StackWaitCursor wait;
    std::vector<int> rows;
    rows.reserve(m_entries.size());
    for (size_t i = 0; i < m_entries.size(); ++i)
        if (Passes(m_entries[i]))
            rows.push_back(int(i));
    Sort(rows);
    m_model.SetRows(&m_entries, std::move(rows));
    m_selectedRow = -1;
    ReselectAccepted();
}

namespace {
int CompareText(QStringView a, QStringView b)
{
    const int c = a.compare(b, Qt::CaseInsensitive);
    return c < 0 ? -1 : (c > 0 ? 1 : 0);
}
int CompareInt(int a, int b)
{
    return a < b ? -1 : (b < a ? 1 : 0);
}
int CompareId(const ItemEntry& a, const ItemEntry& b)
{
    if (int c = CompareInt(a.Index() / 128, b.Index() / 128))
        return c;
    if (int c = CompareInt(a.Index() % 128, b.Index() % 128))
        return c;
    return CompareInt(a.locationRank, b.locationRank);
}
} // namespace

bool ItemListLogic::SortsBefore(const ItemEntry& a, const ItemEntry& b) const
{
    // Texts compare ignoring case, locations by their rank.
    int c = 0;
    switch (m_sortColumn) {
    case 0:
        if ((c = CompareText(a.Name(), b.Name())) || (c = CompareText(a.Category(), b.Category())) ||
            (c = CompareInt(a.locationRank, b.locationRank)))
            break;
        c = CompareId(a, b);
        break;
    case 1:
        if ((c = CompareText(a.Category(), b.Category())) || (c = CompareText(a.Name(), b.Name())) ||
            (c = CompareInt(a.locationRank, b.locationRank)))
            break;
        c = CompareId(a, b);
        break;
    case 2:
        if ((c = CompareInt(a.locationRank, b.locationRank)))
            break;
        c = CompareId(a, b);
        break;
    default: c = CompareId(a, b); break;
    }
    // Equal texts and numbers on two SIMMs of one name: the key decides, so the order is stable.
    return c != 0 ? c < 0 : a.key < b.key;
}

void ItemListLogic::Sort(std::vector<int>& rows) const
{
    std::sort(rows.begin(), rows.end(), [this](int a, int b) { return SortsBefore(m_entries[size_t(a)], m_entries[size_t(b)]); });
}

void ItemListLogic::ReselectAccepted()
{
    if (m_selectedKey >= 0)
        SelectKey(m_selectedKey);
}

void ItemListLogic::SelectKey(int key)
{
    const int row = m_model.RowOf(key);
    if (row >= 0) {
        if (row != m_selectedRow || key != m_selectedKey) {
            m_suppress = true;
            ShowSelectedRow(row);
            m_suppress = false;
        }
        m_selectedRow = row;
        m_selectedKey = key;
    }
}

bool ItemListLogic::UserSelectedRow(int row) const
{
    return !m_suppress && row != m_selectedRow && m_model.KeyAt(row) >= 0;
}

bool ItemListLogic::DeliverSelection(int row)
{
    const int key = m_model.KeyAt(row);
    if (key < 0)
        return false;
    const bool accepted = !m_client || m_client->OnPopupSelect(m_kind, key >> 16, key & 0xFFFF);
    if (accepted) {
        m_selectedRow = row;
        m_selectedKey = key;
        return true;
    }
    m_suppress = true;
    ShowRowDeselected(row);
    if (m_selectedRow >= 0)
        ShowSelectedRow(m_selectedRow);
    m_suppress = false;
    return false;
}

void ItemListLogic::Clicked()
{
    if (m_selectedRow >= 0) {
        m_suppress = true;
        ShowSelectedRow(m_selectedRow);
        m_suppress = false;
    }
}
