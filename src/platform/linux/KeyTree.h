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
        /// Lines of the settings file that could not be read, kept as they
        /// were so that rewriting the file does not lose them, with the value
        /// name each seemed to set (empty when not even that could be read).
        std::vector<std::pair<QString, QByteArray>> unread;
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

    /// Keeps a line that could not be read in the key at path (created when
    /// missing); writing a value of the same name later drops the line.
    void KeepUnreadLine(const QString& path, const QString& valueName, const QByteArray& line);
    /// Every kept line, in file order per key.
    int UnreadLineCount() const;

    const Key& Root() const { return *m_root; }

    /// Splits a key path at backslashes (forward slashes count too), dropping empty parts.
    static QStringList Split(const QString& path);

private:
    Key* Find(const QString& path) const;
    std::unique_ptr<Key> m_root;
};

} // namespace platform
