#include "SettingsFileFormat.h"

#include <QStringDecoder>

namespace platform {

namespace {

bool IsLineBreakOrControl(char16_t c)
{
    return c < 0x20 || c == 0x7F || c == 0x85 || c == 0x2028 || c == 0x2029;
}

// True when the character at i cannot be written as it is: a control
// character, a line separator, or half of a surrogate pair without its other half.
bool NeedsEscape(const QString& s, qsizetype i)
{
    const char16_t c = s[i].unicode();
    if (IsLineBreakOrControl(c))
        return true;
    if (QChar::isHighSurrogate(c))
        return !(i + 1 < s.size() && QChar::isLowSurrogate(s[i + 1].unicode()));
    if (QChar::isLowSurrogate(c))
        return !(i > 0 && QChar::isHighSurrogate(s[i - 1].unicode()));
    return false;
}

// Exactly four hex digits.
bool ParseHex4(QStringView digits, char16_t& code)
{
    if (digits.size() != 4)
        return false;
    unsigned v = 0;
    for (const QChar ch : digits) {
        const char16_t c = ch.unicode();
        if (c >= u'0' && c <= u'9')
            v = v * 16 + (c - u'0');
        else if (c >= u'a' && c <= u'f')
            v = v * 16 + (c - u'a' + 10);
        else if (c >= u'A' && c <= u'F')
            v = v * 16 + (c - u'A' + 10);
        else
            return false;
    }
    code = char16_t(v);
    return true;
}

QString Hex4(char16_t c)
{
    return QStringLiteral("%1").arg(unsigned(c), 4, 16, QLatin1Char('0')).toUpper();
}

QString Quote(const QString& s)
{
    QString out;
    out.reserve(s.size() + 2);
    out += u'"';
    for (qsizetype i = 0; i < s.size(); ++i) {
        const QChar c = s[i];
        switch (c.unicode()) {
        case u'\\': out += QStringLiteral("\\\\"); break;
        case u'"': out += QStringLiteral("\\\""); break;
        case u'\n': out += QStringLiteral("\\n"); break;
        case u'\r': out += QStringLiteral("\\r"); break;
        case u'\t': out += QStringLiteral("\\t"); break;
        default:
            if (NeedsEscape(s, i))
                out += QStringLiteral("\\u") + Hex4(c.unicode());
            else
                out += c;
        }
    }
    out += u'"';
    return out;
}

QString EscapeKeyName(const QString& name)
{
    QString out;
    for (qsizetype i = 0; i < name.size(); ++i) {
        if (name[i] == u'%' || NeedsEscape(name, i))
            out += u'%' + Hex4(name[i].unicode());
        else
            out += name[i];
    }
    return out;
}

void WriteKey(const KeyTree::Key& key, const QString& path, QByteArray& out)
{
    // A key is written when it holds values or has no subkeys; the parents of
    // a written key come back by themselves when the file is read.
    const bool isRoot = path.isEmpty();
    if (!key.values.empty() || (!isRoot && (!key.unread.empty() || key.children.empty()))) {
        QString text = u'[' + path + QStringLiteral("]\n");
        for (const auto& [name, value] : key.values) {
            text += Quote(name) + u'=';
            switch (value.type) {
            case ValueType::String:
                text += Quote(value.text);
                break;
            case ValueType::ExpandString:
                text += QStringLiteral("expand:") + Quote(value.text);
                break;
            case ValueType::MultiString: {
                text += QStringLiteral("multi:");
                for (qsizetype i = 0; i < value.list.size(); ++i)
                    text += (i ? QStringLiteral(",") : QString()) + Quote(value.list[i]);
                break;
            }
            case ValueType::Dword:
                text += QStringLiteral("dword:%1").arg(value.dword, 8, 16, QLatin1Char('0'));
                break;
            case ValueType::Binary: {
                text += QStringLiteral("hex:");
                text += QString::fromLatin1(value.binary.toHex(','));
                break;
            }
            default:
                text += QStringLiteral("none:");
                break;
            }
            text += u'\n';
        }
        out += text.toUtf8();
        // The root's unread lines are written before every key (see below).
        if (!isRoot)
            for (const auto& [name, line] : key.unread)
                out += line + '\n';
        out += '\n';
    }
    for (const auto& [folded, child] : key.children) {
        const QString childName = EscapeKeyName(child->name);
        WriteKey(*child, isRoot ? childName : path + u'\\' + childName, out);
    }
}

// A cursor over one line of the file.
class LineReader {
public:
    explicit LineReader(QStringView line) : m_s(line) {}

    bool AtEnd() const { return m_i >= m_s.size(); }
    void SkipBlanks()
    {
        while (m_i < m_s.size() && (m_s[m_i] == u' ' || m_s[m_i] == u'\t'))
            ++m_i;
    }
    bool Take(QChar c)
    {
        if (m_i < m_s.size() && m_s[m_i] == c) {
            ++m_i;
            return true;
        }
        return false;
    }
    /// Takes a keyword such as "dword:", ignoring case.
    bool TakeWord(QStringView word)
    {
        if (m_s.mid(m_i).startsWith(word, Qt::CaseInsensitive)) {
            m_i += word.size();
            return true;
        }
        return false;
    }
    bool TakeQuoted(QString& out, QString& error)
    {
        out.clear();
        if (!Take(u'"')) {
            error = QStringLiteral("expected a quoted text");
            return false;
        }
        while (m_i < m_s.size()) {
            const QChar c = m_s[m_i++];
            if (c == u'"')
                return true;
            if (c != u'\\') {
                out += c;
                continue;
            }
            if (m_i >= m_s.size())
                break;
            const QChar e = m_s[m_i++];
            switch (e.unicode()) {
            case u'\\': out += u'\\'; break;
            case u'"': out += u'"'; break;
            case u'n': out += u'\n'; break;
            case u'r': out += u'\r'; break;
            case u't': out += u'\t'; break;
            case u'u': {
                char16_t code = 0;
                if (!ParseHex4(m_s.mid(m_i, 4), code)) {
                    error = QStringLiteral("bad \\u escape");
                    return false;
                }
                m_i += 4;
                out += QChar(code);
                break;
            }
            default:
                error = QStringLiteral("unknown escape \\%1").arg(e);
                return false;
            }
        }
        error = QStringLiteral("unterminated text");
        return false;
    }
    /// Up to maxDigits hex digits (at least one).
    bool TakeHex(int maxDigits, std::uint32_t& value)
    {
        value = 0;
        int n = 0;
        while (m_i < m_s.size() && n < maxDigits) {
            const char16_t c = m_s[m_i].unicode();
            int d = -1;
            if (c >= u'0' && c <= u'9')
                d = c - u'0';
            else if (c >= u'a' && c <= u'f')
                d = c - u'a' + 10;
            else if (c >= u'A' && c <= u'F')
                d = c - u'A' + 10;
            if (d < 0)
                break;
            value = value * 16 + std::uint32_t(d);
            ++m_i;
            ++n;
        }
        return n > 0;
    }

private:
    QStringView m_s;
    qsizetype m_i = 0;
};

bool UnescapeKeyPath(QStringView text, QString& path, QString& error)
{
    path.clear();
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'%') {
            path += text[i];
            continue;
        }
        char16_t code = 0;
        if (!ParseHex4(text.mid(i + 1, 4), code)) {
            error = QStringLiteral("bad %XXXX escape in key name");
            return false;
        }
        path += QChar(code);
        i += 4;
    }
    return true;
}

bool ParseValue(LineReader& r, StoredValue& value, QString& error)
{
    if (r.TakeWord(u"dword:")) {
        std::uint32_t v = 0;
        if (!r.TakeHex(8, v)) {
            error = QStringLiteral("bad dword");
            return false;
        }
        value = StoredValue::Number(v);
    } else if (r.TakeWord(u"expand:")) {
        QString text;
        if (!r.TakeQuoted(text, error))
            return false;
        value = StoredValue::Expand(text);
    } else if (r.TakeWord(u"multi:")) {
        QStringList list;
        r.SkipBlanks();
        while (!r.AtEnd()) {
            QString text;
            if (!r.TakeQuoted(text, error))
                return false;
            list << text;
            r.SkipBlanks();
            if (!r.Take(u','))
                break;
            r.SkipBlanks();
        }
        value = StoredValue::Multi(list);
    } else if (r.TakeWord(u"hex:")) {
        QByteArray bytes;
        r.SkipBlanks();
        while (!r.AtEnd()) {
            std::uint32_t b = 0;
            if (!r.TakeHex(2, b)) {
                error = QStringLiteral("bad hex byte");
                return false;
            }
            bytes.append(char(b));
            r.SkipBlanks();
            if (!r.Take(u','))
                break;
            r.SkipBlanks();
        }
        value = StoredValue::Bytes(bytes);
    } else if (r.TakeWord(u"none:")) {
        value = StoredValue();
    } else {
        QString text;
        if (!r.TakeQuoted(text, error))
            return false;
        value = StoredValue::String(text);
    }
    r.SkipBlanks();
    if (!r.AtEnd()) {
        error = QStringLiteral("unexpected text after the value");
        return false;
    }
    return true;
}

} // namespace

QString SettingsParseResult::Description() const
{
    if (ok && unreadLines == 0)
        return QStringLiteral("no error");
    return QStringLiteral("line %1: %2").arg(line).arg(reason);
}

SettingsParseResult ParseSettingsFile(const QByteArray& bytes, KeyTree& tree)
{
    tree.Clear();
    SettingsParseResult result;
    auto fail = [&](int line, const QString& reason) {
        tree.Clear();
        result.ok = false;
        result.line = line;
        result.reason = reason;
        return result;
    };

    QByteArray data = bytes;
    if (data.startsWith("\xEF\xBB\xBF"))
        data.remove(0, 3);
    const QList<QByteArray> rawLines = data.split('\n');

    // Where the lines being read belong: nowhere yet, to the key of the last
    // header, or to a header that could not be read.
    enum class Section { None, Key, Lost } section = Section::None;
    bool sawHeader = false;
    QString keyPath;
    // A line that cannot be read costs that line only: it is kept as it was
    // (in its key, or before every key when it belongs to none) and the rest
    // of the file is read.
    auto keep = [&](int lineNo, QByteArray raw, const QString& valueName, const QString& reason) {
        // Carriage returns at the end are line-end noise; dropping all of them
        // (not just one) keeps a rewritten file the same on the next rewrite.
        while (raw.endsWith('\r'))
            raw.chop(1);
        if (section == Section::Key)
            tree.KeepUnreadLine(keyPath, valueName, raw);
        else
            tree.KeepUnreadLine(QString(), QString(), raw);
        result.unreadText += raw + '\n';
        if (result.unreadLines++ == 0) {
            result.line = lineNo;
            result.reason = reason;
        }
    };

    for (qsizetype n = 0; n < rawLines.size(); ++n) {
        const int lineNo = int(n + 1);
        QStringDecoder decode(QStringDecoder::Utf8, QStringDecoder::Flag::Stateless);
        const QString text = decode(rawLines[n]);
        if (decode.hasError()) {
            if (!sawHeader)
                return fail(lineNo, QStringLiteral("not UTF-8 text"));
            keep(lineNo, rawLines[n], QString(), QStringLiteral("not UTF-8 text"));
            continue;
        }
        QStringView line = QStringView(text).trimmed();
        if (line.isEmpty() || line.startsWith(u';') || line.startsWith(u'#'))
            continue;
        if (!sawHeader) {
            if (line.compare(QLatin1StringView(kSettingsFileHeader), Qt::CaseInsensitive) != 0)
                return fail(lineNo, QStringLiteral("not a settings file (the first line is not \"%1\")")
                                        .arg(QLatin1StringView(kSettingsFileHeader)));
            sawHeader = true;
            continue;
        }
        if (line.startsWith(u'[')) {
            QString error;
            QString path;
            if (!line.endsWith(u']'))
                error = QStringLiteral("key header without closing ]");
            else
                UnescapeKeyPath(line.mid(1, line.size() - 2), path, error);
            if (!error.isEmpty()) {
                section = Section::Lost;
                keep(lineNo, rawLines[n], QString(), error);
                continue;
            }
            keyPath = path;
            tree.CreateKey(keyPath);
            section = Section::Key;
            continue;
        }
        if (section == Section::Lost) {
            keep(lineNo, rawLines[n], QString(), QStringLiteral("the key header above it cannot be read"));
            continue;
        }
        if (!line.startsWith(u'"')) {
            keep(lineNo, rawLines[n], QString(), QStringLiteral("neither a key header nor a value"));
            continue;
        }
        if (section == Section::None) {
            keep(lineNo, rawLines[n], QString(), QStringLiteral("value before the first key header"));
            continue;
        }
        LineReader r(line);
        QString name;
        QString error;
        if (!r.TakeQuoted(name, error)) {
            keep(lineNo, rawLines[n], QString(), error);
            continue;
        }
        r.SkipBlanks();
        if (!r.Take(u'=')) {
            keep(lineNo, rawLines[n], name, QStringLiteral("expected = after the value name"));
            continue;
        }
        r.SkipBlanks();
        StoredValue value;
        if (!ParseValue(r, value, error)) {
            keep(lineNo, rawLines[n], name, error);
            continue;
        }
        tree.WriteValue(keyPath, name, value);
    }
    return result;
}

QByteArray SerializeSettingsFile(const KeyTree& tree)
{
    QByteArray out = QByteArray(kSettingsFileHeader) + '\n';
    out += "; Per-user settings of Tabrine. Change them only while Tabrine is not running.\n\n";
    // Lines that belong to no key that could be read go first.
    const auto& rootUnread = tree.Root().unread;
    for (const auto& [name, line] : rootUnread)
        out += line + '\n';
    if (!rootUnread.empty())
        out += '\n';
    WriteKey(tree.Root(), QString(), out);
    return out;
}

} // namespace platform
