#include "KeyTree.h"

namespace platform {

KeyTree::KeyTree() : m_root(std::make_unique<Key>()) {}

QStringList KeyTree::Split(const QString& path)
{
    QString p = path;
    p.replace(u'/', u'\\');
    return p.split(u'\\', Qt::SkipEmptyParts);
}

KeyTree::Key* KeyTree::Find(const QString& path) const
{
    Key* k = m_root.get();
    for (const QString& part : Split(path)) {
        auto it = k->children.find(part.toCaseFolded());
        if (it == k->children.end())
            return nullptr;
        k = it->second.get();
    }
    return k;
}

bool KeyTree::CreateKey(const QString& path)
{
    Key* k = m_root.get();
    for (const QString& part : Split(path)) {
        auto& slot = k->children[part.toCaseFolded()];
        if (!slot) {
            slot = std::make_unique<Key>();
            slot->name = part;
        }
        k = slot.get();
    }
    return true;
}

bool KeyTree::KeyExists(const QString& path) const
{
    return Find(path) != nullptr;
}

std::optional<StoredValue> KeyTree::ReadValue(const QString& path, const QString& name) const
{
    const Key* k = Find(path);
    if (!k)
        return std::nullopt;
    for (const auto& [n, v] : k->values)
        if (n.compare(name, Qt::CaseInsensitive) == 0)
            return v;
    return std::nullopt;
}

bool KeyTree::WriteValue(const QString& path, const QString& name, const StoredValue& value)
{
    Key* k = Find(path);
    if (!k)
        return false;
    // A hand-written line for this value that could not be read is replaced.
    std::erase_if(k->unread, [&](const auto& line) {
        return !line.first.isEmpty() && line.first.compare(name, Qt::CaseInsensitive) == 0;
    });
    for (auto& [n, v] : k->values)
        if (n.compare(name, Qt::CaseInsensitive) == 0) {
            v = value;
            return true;
        }
    k->values.emplace_back(name, value);
    return true;
}

void KeyTree::KeepUnreadLine(const QString& path, const QString& valueName, const QByteArray& line)
{
    CreateKey(path);
    Find(path)->unread.emplace_back(valueName, line);
}

namespace {
int CountUnread(const KeyTree::Key& key)
{
    int n = int(key.unread.size());
    for (const auto& [folded, child] : key.children)
        n += CountUnread(*child);
    return n;
}
} // namespace

int KeyTree::UnreadLineCount() const
{
    return CountUnread(*m_root);
}

bool KeyTree::DeleteValue(const QString& path, const QString& name)
{
    Key* k = Find(path);
    if (!k)
        return false;
    for (auto it = k->values.begin(); it != k->values.end(); ++it)
        if (it->first.compare(name, Qt::CaseInsensitive) == 0) {
            k->values.erase(it);
            return true;
        }
    return false;
}

QStringList KeyTree::ValueNames(const QString& path) const
{
    QStringList names;
    if (const Key* k = Find(path))
        for (const auto& [n, v] : k->values)
            names << n;
    return names;
}

QStringList KeyTree::SubKeys(const QString& path) const
{
    QStringList names;
    if (const Key* k = Find(path))
        for (const auto& [folded, child] : k->children)
            names << child->name;
    return names;
}

bool KeyTree::DeleteKey(const QString& path)
{
    QStringList parts = Split(path);
    if (parts.isEmpty())
        return false;
    const QString last = parts.takeLast();
    Key* parent = Find(parts.join(u'\\'));
    if (!parent)
        return false;
    return parent->children.erase(last.toCaseFolded()) > 0;
}

void KeyTree::Clear()
{
    m_root = std::make_unique<Key>();
}

} // namespace platform
