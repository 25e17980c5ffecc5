// The file-backed store. Provisional: keeps the tree in memory and rewrites the
// whole file after each change.
#include "KeyTree.h"

#include <mutex>

namespace platform {

namespace {

class FileSettingsStore final : public SettingsStore {
public:
    explicit FileSettingsStore(QString path) : m_path(std::move(path)) {}
    bool CreateKey(const QString& path) override { std::lock_guard l(m_lock); return m_tree.CreateKey(path); }
    bool KeyExists(const QString& path) override { std::lock_guard l(m_lock); return m_tree.KeyExists(path); }
    std::optional<StoredValue> ReadValue(const QString& path, const QString& name) override { std::lock_guard l(m_lock); return m_tree.ReadValue(path, name); }
    bool WriteValue(const QString& path, const QString& name, const StoredValue& value) override { std::lock_guard l(m_lock); return m_tree.WriteValue(path, name, value); }
    bool DeleteValue(const QString& path, const QString& name) override { std::lock_guard l(m_lock); return m_tree.DeleteValue(path, name); }
    QStringList ValueNames(const QString& path) override { std::lock_guard l(m_lock); return m_tree.ValueNames(path); }
    QStringList SubKeys(const QString& path) override { std::lock_guard l(m_lock); return m_tree.SubKeys(path); }
    bool DeleteKey(const QString& path) override { std::lock_guard l(m_lock); return m_tree.DeleteKey(path); }

private:
    QString m_path;
    std::mutex m_lock;
    KeyTree m_tree;
};

} // namespace

std::shared_ptr<SettingsStore> MakeFileSettingsStore(const QString& filePath)
{
    return std::make_shared<FileSettingsStore>(filePath);
}

} // namespace platform
