#pragma once
// One open key of the settings store with forgiving typed reads: a number
// stored by hand as text still reads as a number and the other way about.
// A key reads and writes the store it was given, or the process-wide one
// (platform::CurrentSettingsStore(), looked up at each use) when given none.

#include "platform/SettingsStore.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <memory>
#include <optional>

/// "Software\Brimcote Limited\Tabrine": the program's key.
inline constexpr char16_t kProgramRegistryKey[] = u"Software\\Brimcote Limited\\Tabrine";

class RegistryKey {
public:
    RegistryKey() = default;
    /// No key open yet, over store (null: the process-wide store).
    explicit RegistryKey(std::shared_ptr<platform::SettingsStore> store);
    /// Opens (create: creates when missing) the key at path of store (null:
    /// the process-wide store); check IsOpen.
    RegistryKey(const QString& path, bool create, std::shared_ptr<platform::SettingsStore> store = nullptr);
    RegistryKey(const RegistryKey&) = default;
    RegistryKey& operator=(const RegistryKey&) = default;
    virtual ~RegistryKey() = default;

    /// Opens the key in place of the current one; false (and no key) on failure.
    bool Open(const QString& path, bool create);
    void Close();
    bool IsOpen() const { return m_open; }
    const QString& Path() const { return m_path; }

    /// Text of the value, or def when it is missing or of a type without text
    /// (REG_BINARY). REG_MULTI_SZ reads joined with ";" up to its first empty
    /// string (where the stored list ends); REG_DWORD in decimal ("%lu");
    /// REG_EXPAND_SZ with %VAR% references expanded only when expand is true.
    QString ReadString(const QString& valueName, const QString& def, bool expand) const;
    /// Number of the value, or def when missing or of another type. Texts
    /// (REG_SZ, REG_EXPAND_SZ expanded, REG_MULTI_SZ's first string) parse like
    /// wcstoul in base 0: "0x1F" is 31, "017" is 15, text that is no number is 0.
    std::uint32_t ReadDword(const QString& valueName, std::uint32_t def) const;
    /// The raw stored value, or nothing.
    std::optional<platform::StoredValue> ReadValue(const QString& valueName) const;

    /// Writes; false when no key is open or the store failed.
    bool WriteString(const QString& valueName, const QString& text);
    bool WriteExpandString(const QString& valueName, const QString& text);
    bool WriteMultiString(const QString& valueName, const QStringList& texts);
    bool WriteDword(const QString& valueName, std::uint32_t value);
    bool WriteBinary(const QString& valueName, const QByteArray& data);
    bool DeleteValue(const QString& valueName);

    /// Walks the key's values in stored order.
    class ValueIterator {
    public:
        /// Walks key's values (none when key is null or not open).
        explicit ValueIterator(const RegistryKey* key);
        virtual ~ValueIterator() = default;
        /// Advances to the next value; false when there is none (and from then on).
        bool Next();
        QString GetName() const { return m_name; }
        /// The data as text for REG_SZ, REG_EXPAND_SZ (not expanded) and
        /// REG_MULTI_SZ (its first string); the empty text for other types.
        QString GetValue() const;
        platform::ValueType GetType() const { return m_value.type; }

    private:
        std::shared_ptr<platform::SettingsStore> m_store;
        QString m_path;
        QStringList m_names;
        int m_index = 0;
        bool m_done = true;
        QString m_name;
        platform::StoredValue m_value;
    };
    ValueIterator GetValueIterator() const { return ValueIterator(this); }

private:
    platform::SettingsStore& Store() const;

    std::shared_ptr<platform::SettingsStore> m_store; ///< null: the process-wide store
    QString m_path;
    bool m_open = false;
};

/// Expands %VAR% references from the environment. A '%' that does not open a
/// reference to a set variable stays, and the scan goes on after it: "%UNSET%"
/// stays as it is, "%UNSET%HOME%" gives "%UNSET" and HOME's value.
QString ExpandEnvironmentStrings(const QString& text);

/// Parses like wcstoul(text, nullptr, 0) with a 32-bit unsigned long: leading
/// blanks and one sign allowed; "0x" and a hex digit select hex, another
/// leading 0 octal; stops at the first character that is no digit of the
/// base ("08" is 0, "1e3" is 1, "" and "abc" are 0); a magnitude above
/// 0xFFFFFFFF gives 0xFFFFFFFF; a negative number wraps ("-1" is 0xFFFFFFFF).
std::uint32_t ParseUnsigned32(const QString& text);
