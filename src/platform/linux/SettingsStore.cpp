#include "platform/SettingsStore.h"

#include "KeyTree.h"

#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

#include <cstdio>
#include <mutex>
#include <vector>

namespace platform {

namespace {

class MemorySettingsStore final : public SettingsStore {
public:
    bool CreateKey(const QString& path) override { std::lock_guard l(m_lock); return m_tree.CreateKey(path); }
    bool KeyExists(const QString& path) override { std::lock_guard l(m_lock); return m_tree.KeyExists(path); }
    std::optional<StoredValue> ReadValue(const QString& path, const QString& name) override { std::lock_guard l(m_lock); return m_tree.ReadValue(path, name); }
    bool WriteValue(const QString& path, const QString& name, const StoredValue& value) override { std::lock_guard l(m_lock); return m_tree.WriteValue(path, name, value); }
    bool DeleteValue(const QString& path, const QString& name) override { std::lock_guard l(m_lock); return m_tree.DeleteValue(path, name); }
    QStringList ValueNames(const QString& path) override { std::lock_guard l(m_lock); return m_tree.ValueNames(path); }
    QStringList SubKeys(const QString& path) override { std::lock_guard l(m_lock); return m_tree.SubKeys(path); }
    bool DeleteKey(const QString& path) override { std::lock_guard l(m_lock); return m_tree.DeleteKey(path); }

private:
    std::mutex m_lock;
    KeyTree m_tree;
};

std::mutex g_currentLock;
std::shared_ptr<SettingsStore> g_current;
// Stores replaced while the program runs: a caller may still hold a reference
// from CurrentSettingsStore() on another thread.
std::vector<std::shared_ptr<SettingsStore>> g_retired;

std::mutex g_problemLock;
SettingsProblemHandler g_problemHandler;

} // namespace

void SetSettingsProblemHandler(SettingsProblemHandler handler)
{
    std::lock_guard l(g_problemLock);
    g_problemHandler = std::move(handler);
}

void ReportSettingsProblem(const QString& text)
{
    SettingsProblemHandler handler;
    {
        std::lock_guard l(g_problemLock);
        handler = g_problemHandler;
    }
    if (handler) {
        handler(text);
        return;
    }
    const QByteArray line = QStringLiteral("Tabrine: %1\n").arg(text).toLocal8Bit();
    std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
}

std::shared_ptr<SettingsStore> MakeMemorySettingsStore()
{
    return std::make_shared<MemorySettingsStore>();
}

QString DefaultSettingsFilePath()
{
    QString base = QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation);
    if (base.isEmpty())
        base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/Brimcote Limited/Tabrine.reg");
}

SettingsStore& CurrentSettingsStore()
{
    std::lock_guard l(g_currentLock);
    if (!g_current)
        g_current = MakeFileSettingsStore(DefaultSettingsFilePath());
    return *g_current;
}

void SetCurrentSettingsStore(std::shared_ptr<SettingsStore> store)
{
    std::lock_guard l(g_currentLock);
    if (g_current)
        g_retired.push_back(std::move(g_current));
    g_current = std::move(store);
}

} // namespace platform
