#pragma once
// The in-memory model of keys and values shared by the memory store and the
// file store. Not thread-safe by itself: its owners lock around it.

#include "platform/SettingsStore.h"

#include <map>
#include <memory>
#include <vector>

namespace platform {

class KeyTree {
public:
    struct Key {
        QString name;                                        ///< as first written
        std::vector<std::pair<QString, StoredValue>> values; ///< in first-write order
        std::map<QString, std::unique_ptr<Key>> children;    ///< by case-folded name
    };

    KeyTree();

    bool CreateKey(const QString& path);
    bool KeyExists(const QString& path) const;
    std::optional<StoredValue> ReadValue(const QString& path, const QString& name) const;
    bool WriteValue(const QString& path, const QString& name, const StoredValue& value);
    bool DeleteValue(const QString& path, const QString& name);
    QStringList ValueNames(const QString& path) const;
    QStringList SubKeys(const QString& path) const;
    bool DeleteKey(const QString& path);
    void Clear();

    const Key& Root() const { return *m_root; }

    /// Splits a key path at backslashes (forward slashes count too), dropping empty parts.
    static QStringList Split(const QString& path);

private:
    Key* Find(const QString& path) const;
    std::unique_ptr<Key> m_root;
};

} // namespace platform
