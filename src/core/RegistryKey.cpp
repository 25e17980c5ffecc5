#include "core/RegistryKey.h"


using platform::CurrentSettingsStore;
using platform::StoredValue;
using platform::ValueType;

namespace {

// The strings of a REG_MULTI_SZ as they read through one text: joined with
// ";" up to the first empty string, which in the stored form is the double
// null that ends the list.
QString MultiStringText(const QStringList& list)
{
    QString out;
    for (qsizetype i = 0; i < list.size() && !list[i].isEmpty(); ++i)
        out += (i ? QStringLiteral(";") : QString()) + list[i];
    return out;
}

} // namespace

RegistryKey::RegistryKey(std::shared_ptr<platform::SettingsStore> store) : m_store(std::move(store)) {}

RegistryKey::RegistryKey(const QString& path, bool create, std::shared_ptr<platform::SettingsStore> store)
    : m_store(std::move(store))
{
    Open(path, create);
}

platform::SettingsStore& RegistryKey::Store() const
{
    return m_store ? *m_store : CurrentSettingsStore();
}

bool RegistryKey::Open(const QString& path, bool create)
{
    Close();
    // The top of the store is no key: values there would be shared by every
    // configuration.
    if (QString(path).replace(u'/', u'\\').split(u'\\', Qt::SkipEmptyParts).isEmpty())
        return false;
    auto& store = Store();
    const bool ok = create ? store.CreateKey(path) : store.KeyExists(path);
    if (ok) {
        m_path = path;
        m_open = true;
    }
    return ok;
}

void RegistryKey::Close()
{
    m_open = false;
    m_path.clear();
}

std::optional<StoredValue> RegistryKey::ReadValue(const QString& valueName) const
{
    if (!m_open)
        return std::nullopt;
    return Store().ReadValue(m_path, valueName);
}

QString RegistryKey::ReadString(const QString& valueName, const QString& def, bool expand) const
{
    const auto v = ReadValue(valueName);
    if (!v)
        return def;
    switch (v->type) {
    case ValueType::String:
        return v->text;
    case ValueType::MultiString:
        return MultiStringText(v->list);
    case ValueType::ExpandString:
        return expand ? ExpandEnvironmentStrings(v->text) : v->text;
    case ValueType::Dword:
        return QString::number(v->dword);
    default:
        return def;
    }
}

std::uint32_t RegistryKey::ReadDword(const QString& valueName, std::uint32_t def) const
{
    const auto v = ReadValue(valueName);
    if (!v)
        return def;
    switch (v->type) {
    case ValueType::Dword:
        return v->dword;
    case ValueType::String:
        return ParseUnsigned32(v->text);
    case ValueType::ExpandString:
        return ParseUnsigned32(ExpandEnvironmentStrings(v->text));
    case ValueType::MultiString:
        return ParseUnsigned32(v->list.value(0));
    default:
        return def;
    }
}

bool RegistryKey::WriteString(const QString& valueName, const QString& text)
{
    return m_open && Store().WriteValue(m_path, valueName, StoredValue::String(text));
}

bool RegistryKey::WriteExpandString(const QString& valueName, const QString& text)
{
    return m_open && Store().WriteValue(m_path, valueName, StoredValue::Expand(text));
}

bool RegistryKey::WriteMultiString(const QString& valueName, const QStringList& texts)
{
    return m_open && Store().WriteValue(m_path, valueName, StoredValue::Multi(texts));
}

bool RegistryKey::WriteDword(const QString& valueName, std::uint32_t value)
{
    return m_open && Store().WriteValue(m_path, valueName, StoredValue::Number(value));
}

bool RegistryKey::WriteBinary(const QString& valueName, const QByteArray& data)
{
    return m_open && Store().WriteValue(m_path, valueName, StoredValue::Bytes(data));
}

bool RegistryKey::DeleteValue(const QString& valueName)
{
    return m_open && Store().DeleteValue(m_path, valueName);
}

RegistryKey::ValueIterator::ValueIterator(const RegistryKey* key)
{
    if (key && key->IsOpen()) {
        m_store = key->m_store;
        m_path = key->Path();
        m_names = key->Store().ValueNames(m_path);
        m_done = false;
    }
}

bool RegistryKey::ValueIterator::Next()
{
    while (!m_done) {
        if (m_index >= m_names.size()) {
            m_done = true;
            break;
        }
        m_name = m_names.at(m_index++);
        // A value removed since the walk began is skipped.
        if (auto v = (m_store ? *m_store : CurrentSettingsStore()).ReadValue(m_path, m_name)) {
            m_value = *v;
            return true;
        }
    }
    return false;
}

QString RegistryKey::ValueIterator::GetValue() const
{
    switch (m_value.type) {
    case ValueType::String:
    case ValueType::ExpandString:
        return m_value.text;
    case ValueType::MultiString:
        return m_value.list.value(0);
    default:
        return QString();
    }
}

QString ExpandEnvironmentStrings(const QString& text)
{
    // As the platform's expansion does it: a '%' that does not open a
    // reference to a defined variable is copied and the scan goes on from
    // the next character, so "%UNSET%HOME%" becomes "%UNSET" followed by the
    // value of HOME.
    QString out;
    out.reserve(text.size());
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        if (text[i] != u'%') {
            out += text[i++];
            continue;
        }
        const qsizetype close = text.indexOf(u'%', i + 1);
        if (close > i + 1) {
            const QByteArray name = text.mid(i + 1, close - i - 1).toLocal8Bit();
            if (qEnvironmentVariableIsSet(name.constData())) {
                out += qEnvironmentVariable(name.constData());
                i = close + 1;
                continue;
            }
        }
        out += u'%';
        ++i;
    }
    return out;
}

std::uint32_t ParseUnsigned32(const QString& text)
{
    auto isBlank = [](char16_t c) { return c == u' ' || (c >= u'\t' && c <= u'\r'); };
    auto digitValue = [](char16_t c) -> unsigned {
        if (c >= u'0' && c <= u'9')
            return c - u'0';
        if (c >= u'a' && c <= u'z')
            return c - u'a' + 10;
        if (c >= u'A' && c <= u'Z')
            return c - u'A' + 10;
        return 99;
    };

    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n && isBlank(text[i].unicode()))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        negative = text[i++] == u'-';

    // Base 0: "0x" followed by a hex digit is hex, any other leading 0 octal.
    unsigned base = 10;
    if (i < n && text[i] == u'0') {
        base = 8;
        if (i + 2 < n && (text[i + 1] == u'x' || text[i + 1] == u'X') && digitValue(text[i + 2].unicode()) < 16) {
            base = 16;
            i += 2;
        }
    }

    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < n; ++i) {
        const unsigned d = digitValue(text[i].unicode());
        if (d >= base)
            break;
        if (!overflow) {
            value = value * base + d;
            overflow = value > 0xFFFFFFFFull;
        }
    }
    if (overflow)
        return 0xFFFFFFFFu;
    const auto v = static_cast<std::uint32_t>(value);
    return negative ? 0u - v : v;
}
