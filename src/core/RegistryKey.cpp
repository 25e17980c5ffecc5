#include "core/RegistryKey.h"

#include <QProcessEnvironment>

using platform::CurrentSettingsStore;
using platform::StoredValue;
using platform::ValueType;

RegistryKey::RegistryKey(const QString& path, bool create)
{
    Open(path, create);
}

bool RegistryKey::Open(const QString& path, bool create)
{
    Close();
    auto& store = CurrentSettingsStore();
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
    return CurrentSettingsStore().ReadValue(m_path, valueName);
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
        return v->list.join(u';');
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
    return m_open && CurrentSettingsStore().WriteValue(m_path, valueName, StoredValue::String(text));
}

bool RegistryKey::WriteExpandString(const QString& valueName, const QString& text)
{
    return m_open && CurrentSettingsStore().WriteValue(m_path, valueName, StoredValue::Expand(text));
}

bool RegistryKey::WriteMultiString(const QString& valueName, const QStringList& texts)
{
    return m_open && CurrentSettingsStore().WriteValue(m_path, valueName, StoredValue::Multi(texts));
}

bool RegistryKey::WriteDword(const QString& valueName, std::uint32_t value)
{
    return m_open && CurrentSettingsStore().WriteValue(m_path, valueName, StoredValue::Number(value));
}

bool RegistryKey::WriteBinary(const QString& valueName, const QByteArray& data)
{
    return m_open && CurrentSettingsStore().WriteValue(m_path, valueName, StoredValue::Bytes(data));
}

bool RegistryKey::DeleteValue(const QString& valueName)
{
    return m_open && CurrentSettingsStore().DeleteValue(m_path, valueName);
}

RegistryKey::ValueIterator::ValueIterator(const RegistryKey* key)
{
    if (key && key->IsOpen()) {
        m_path = key->Path();
        m_names = CurrentSettingsStore().ValueNames(m_path);
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
        if (auto v = CurrentSettingsStore().ReadValue(m_path, m_name)) {
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
    const QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    QString out;
    qsizetype i = 0;
    while (i < text.size()) {
        const qsizetype open = text.indexOf(u'%', i);
        if (open < 0) {
            out += text.mid(i);
            break;
        }
        const qsizetype close = text.indexOf(u'%', open + 1);
        if (close < 0) {
            out += text.mid(i);
            break;
        }
        out += text.mid(i, open - i);
        const QString name = text.mid(open + 1, close - open - 1);
        if (!name.isEmpty() && env.contains(name)) {
            out += env.value(name);
            i = close + 1;
        } else {
            // Not a variable: keep the first '%' and look again from the second.
            out += u'%';
            i = open + 1;
            if (name.isEmpty()) {
                out += u'%';
                i = close + 1;
            }
        }
    }
    return out;
}

std::uint32_t ParseUnsigned32(const QString& text)
{
    qsizetype i = 0;
    const qsizetype n = text.size();
    while (i < n && (text[i] == u' ' || text[i] == u'\t' || text[i] == u'\n' || text[i] == u'\r' || text[i] == u'\v' || text[i] == u'\f'))
        ++i;
    bool negative = false;
    if (i < n && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    int base = 10;
    if (i < n && text[i] == u'0') {
        if (i + 2 < n + 1 && i + 1 < n && (text[i + 1] == u'x' || text[i + 1] == u'X')
            && i + 2 < n && QChar(text[i + 2]).isLetterOrNumber()
            && ((text[i + 2] >= u'0' && text[i + 2] <= u'9') || (text[i + 2].toLower() >= u'a' && text[i + 2].toLower() <= u'f'))) {
            base = 16;
            i += 2;
        } else {
            base = 8;
        }
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < n; ++i) {
        const char16_t c = text[i].toLower().unicode();
        int d;
        if (c >= u'0' && c <= u'9')
            d = c - u'0';
        else if (c >= u'a' && c <= u'z')
            d = c - u'a' + 10;
        else
            break;
        if (d >= base)
            break;
        value = value * base + d;
        if (value > 0xFFFFFFFFull)
            overflow = true;
    }
    if (overflow)
        return 0xFFFFFFFFu;
    const auto v = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - v) : v;
}
