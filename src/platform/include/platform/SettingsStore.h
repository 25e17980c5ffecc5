#pragma once
// The per-user store of keys and typed values that the program's settings,
// trace levels, window positions and caches live in. Key paths are the
// program's logical names ("Software\\Brimcote Limited\\Tabrine\\Settings"),
// separated by backslashes and compared without regard to case, as are value
// names. Every call reads the current state: nothing is cached across calls,
// so a second instance of the program sees a change at once.

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>

namespace platform {

/// The kinds of value a key can hold; the numbers are the Windows registry's
/// value type codes, so settings files read the same on every platform.
enum class ValueType : std::uint32_t {
    None = 0,
    String = 1,         ///< REG_SZ
    ExpandString = 2,   ///< REG_EXPAND_SZ: text with %VAR% references
    Binary = 3,         ///< REG_BINARY
    Dword = 4,          ///< REG_DWORD
    MultiString = 7,    ///< REG_MULTI_SZ: a list of texts
};

/// One stored value. Which member holds the data depends on the type.
struct StoredValue {
    ValueType type = ValueType::None;
    QString text;           ///< String, ExpandString
    QStringList list;       ///< MultiString
    std::uint32_t dword = 0;///< Dword
    QByteArray binary;      ///< Binary

    static StoredValue String(const QString& t) { StoredValue v; v.type = ValueType::String; v.text = t; return v; }
    static StoredValue Expand(const QString& t) { StoredValue v; v.type = ValueType::ExpandString; v.text = t; return v; }
    static StoredValue Multi(const QStringList& l) { StoredValue v; v.type = ValueType::MultiString; v.list = l; return v; }
    static StoredValue Number(std::uint32_t d) { StoredValue v; v.type = ValueType::Dword; v.dword = d; return v; }
    static StoredValue Bytes(const QByteArray& b) { StoredValue v; v.type = ValueType::Binary; v.binary = b; return v; }
    bool operator==(const StoredValue&) const = default;
};

class SettingsStore {
public:
    virtual ~SettingsStore() = default;

    /// Creates the key and its missing parents; true when the key exists afterwards.
    virtual bool CreateKey(const QString& path) = 0;
    /// True when the key exists.
    virtual bool KeyExists(const QString& path) = 0;
    /// The value, or nothing when the key or the value is missing.
    virtual std::optional<StoredValue> ReadValue(const QString& path, const QString& name) = 0;
    /// Stores the value in an existing key; false when the key is missing or the write failed.
    virtual bool WriteValue(const QString& path, const QString& name, const StoredValue& value) = 0;
    /// Removes one value; false when it was not there.
    virtual bool DeleteValue(const QString& path, const QString& name) = 0;
    /// Names of the key's values in the order they were first written; empty for a missing key.
    virtual QStringList ValueNames(const QString& path) = 0;
    /// Names of the key's direct subkeys; empty for a missing key.
    virtual QStringList SubKeys(const QString& path) = 0;
    /// Removes the key with everything below it; false when it was not there.
    virtual bool DeleteKey(const QString& path) = 0;
};

/// A store held in memory only, for tests.
std::shared_ptr<SettingsStore> MakeMemorySettingsStore();

/// How long a change of a file store waits for another process to release
/// the lock file before it gives up (and reports it).
inline constexpr std::chrono::milliseconds kSettingsLockWait{10000};

struct FileSettingsOptions {
    std::chrono::milliseconds lockWait = kSettingsLockWait;
};

/// A store persisted as a human-readable text file at filePath, shared safely
/// by the threads of this process and by other processes: every change is a
/// read-modify-write under a lock file, replacing the file whole; every read
/// sees the file's current content and takes no lock file, nor does a change
/// that changes nothing (creating a key that exists). A line that cannot be
/// read is skipped, reported once and kept as it is when the file is
/// rewritten. A file that is no settings file reads as empty and is kept as
/// "<file>.bad" before the next change replaces it; a file that cannot be read
/// at all is never replaced (changes then fail). A lock file without a process
/// id, left by a writer killed while creating it, is removed once it is 2 s old.
std::shared_ptr<SettingsStore> MakeFileSettingsStore(const QString& filePath, FileSettingsOptions options = {});

/// Receives each problem of a file store as one line of text; by default the
/// line goes to standard error. A damaged or unreadable file is reported once
/// until its content changes, a change that fails every time. Called with no
/// lock of the store held, so a handler may use the store (and the logger,
/// which reads it). Null restores the default.
using SettingsProblemHandler = std::function<void(const QString& text)>;
void SetSettingsProblemHandler(SettingsProblemHandler handler);

/// The file the program's store lives in: "Brimcote Limited/Tabrine.reg" under
/// the user's configuration directory (~/.config on Linux).
QString DefaultSettingsFilePath();

/// The store every part of the program uses; the file store on first use.
/// A store replaced later stays alive until exit, so the reference stays valid.
SettingsStore& CurrentSettingsStore();

/// Replaces the current store (tests install a memory store); null restores
/// the default file store.
void SetCurrentSettingsStore(std::shared_ptr<SettingsStore> store);

} // namespace platform
