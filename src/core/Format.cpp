#include "core/Format.h"

#include <cmath>

QString FormatArg::text() const
{
    switch (m_kind) {
    case Kind::String:
        return m_string;
    case Kind::Double:
        return QString::number(m_double);
    default:
        return QString::number(m_int);
    }
}

namespace {

struct Spec {
    bool left = false, plus = false, space = false, alt = false, zero = false;
    int width = -1;
    int precision = -1;
    int lengthBits = 32; // 8 (hh), 16 (h), 32 (default, l), 64 (ll, I64, j, z)
};

QString pad(QString body, const Spec& s, bool numeric, int prefixLength)
{
    if (s.width < 0 || body.size() >= s.width)
        return body;
    const qsizetype fill = s.width - body.size();
    if (s.left)
        return body + QString(fill, u' ');
    if (numeric && s.zero && s.precision < 0)
        return body.insert(prefixLength, QString(fill, u'0'));
    return QString(fill, u' ') + body;
}

std::uint64_t truncateUnsigned(std::int64_t v, int bits)
{
    const auto u = static_cast<std::uint64_t>(v);
    return bits >= 64 ? u : (u & ((std::uint64_t(1) << bits) - 1));
}

std::int64_t truncateSigned(std::int64_t v, int bits)
{
    if (bits >= 64)
        return v;
    const std::uint64_t u = truncateUnsigned(v, bits);
    const std::uint64_t sign = std::uint64_t(1) << (bits - 1);
    return (u & sign) ? static_cast<std::int64_t>(u) - static_cast<std::int64_t>(sign << 1)
                      : static_cast<std::int64_t>(u);
}

QString formatInteger(QChar conv, const Spec& s, const FormatArg* arg)
{
    const std::int64_t raw = arg ? arg->integer() : 0;
    QString digits;
    QString prefix;
    if (conv == u'd' || conv == u'i') {
        const std::int64_t v = truncateSigned(raw, s.lengthBits);
        const std::uint64_t mag = v < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(v) : static_cast<std::uint64_t>(v);
        digits = QString::number(mag);
        if (v < 0)
            prefix = QStringLiteral("-");
        else if (s.plus)
            prefix = QStringLiteral("+");
        else if (s.space)
            prefix = QStringLiteral(" ");
    } else {
        const std::uint64_t v = truncateUnsigned(raw, s.lengthBits);
        int base = 10;
        if (conv == u'x' || conv == u'X' || conv == u'p')
            base = 16;
        else if (conv == u'o')
            base = 8;
        digits = QString::number(v, base);
        if (conv == u'X')
            digits = digits.toUpper();
        if (s.alt && v != 0) {
            if (conv == u'x')
                prefix = QStringLiteral("0x");
            else if (conv == u'X')
                prefix = QStringLiteral("0X");
            else if (conv == u'o')
                digits.prepend(u'0');
        }
    }
    if (s.precision >= 0) {
        if (s.precision == 0 && digits == u"0")
            digits.clear();
        if (digits.size() < s.precision)
            digits.prepend(QString(s.precision - digits.size(), u'0'));
    }
    return pad(prefix + digits, s, true, int(prefix.size()));
}

QString formatReal(QChar conv, const Spec& s, const FormatArg* arg)
{
    const double v = arg ? arg->real() : 0.0;
    // Build a narrow format for the C library: the conversion itself is exact
    // and locale-independent enough for the numbers this program prints.
    std::string f = "%";
    if (s.left) f += '-';
    if (s.plus) f += '+';
    if (s.space) f += ' ';
    if (s.alt) f += '#';
    if (s.zero) f += '0';
    if (s.width >= 0) f += std::to_string(s.width);
    if (s.precision >= 0) f += "." + std::to_string(s.precision);
    f += static_cast<char>(conv.unicode());
    // QString::asprintf formats numbers in the C locale, so a decimal point
    // stays a point whatever the user's locale says.
    return QString::asprintf(f.c_str(), v);
}

QString formatText(const Spec& s, const FormatArg* arg)
{
    QString t;
    if (arg) {
        if (arg->kind() == FormatArg::Kind::String)
            t = arg->text();
        else
            t = arg->text(); // a number where text was asked for prints as its decimal
    }
    if (s.precision >= 0 && t.size() > s.precision)
        t.truncate(s.precision);
    return pad(t, s, false, 0);
}

} // namespace

QString FormatV(QStringView format, std::span<const FormatArg> args)
{
    QString out;
    out.reserve(format.size() + 16);
    std::size_t next = 0;
    auto take = [&]() -> const FormatArg* { return next < args.size() ? &args[next++] : nullptr; };

    const qsizetype n = format.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = format[i];
        if (c != u'%') {
            out += c;
            continue;
        }
        const qsizetype start = i;
        if (i + 1 < n && format[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        Spec s;
        ++i;
        for (; i < n; ++i) {
            const QChar f = format[i];
            if (f == u'-') s.left = true;
            else if (f == u'+') s.plus = true;
            else if (f == u' ') s.space = true;
            else if (f == u'#') s.alt = true;
            else if (f == u'0') s.zero = true;
            else break;
        }
        if (i < n && format[i] == u'*') {
            const FormatArg* a = take();
            s.width = a ? int(a->integer()) : 0;
            if (s.width < 0) { s.left = true; s.width = -s.width; }
            ++i;
        } else {
            while (i < n && format[i].isDigit()) {
                s.width = (s.width < 0 ? 0 : s.width) * 10 + format[i].digitValue();
                if (s.width > 4096) s.width = 4096;
                ++i;
            }
        }
        if (i < n && format[i] == u'.') {
            ++i;
            s.precision = 0;
            if (i < n && format[i] == u'*') {
                const FormatArg* a = take();
                s.precision = a ? int(a->integer()) : 0;
                if (s.precision < 0) s.precision = -1;
                ++i;
            } else {
                while (i < n && format[i].isDigit()) {
                    s.precision = s.precision * 10 + format[i].digitValue();
                    if (s.precision > 4096) s.precision = 4096;
                    ++i;
                }
            }
        }
        // Length modifiers.
        while (i < n) {
            const QChar m = format[i];
            if (m == u'h') { s.lengthBits = (s.lengthBits == 16) ? 8 : 16; ++i; }
            else if (m == u'l') { s.lengthBits = (i + 1 < n && format[i + 1] == u'l') ? 64 : 32; i += (s.lengthBits == 64) ? 2 : 1; }
            else if (m == u'j' || m == u'z' || m == u't' || m == u'L' || m == u'q') { s.lengthBits = 64; ++i; }
            else if (m == u'I' && i + 2 < n && format[i + 1] == u'6' && format[i + 2] == u'4') { s.lengthBits = 64; i += 3; }
            else if (m == u'I' && i + 2 < n && format[i + 1] == u'3' && format[i + 2] == u'2') { s.lengthBits = 32; i += 3; }
            else if (m == u'w') { ++i; }
            else break;
        }
        if (i >= n) {
            out += format.mid(start);
            break;
        }
        const QChar conv = format[i];
        switch (conv.unicode()) {
        case u'd': case u'i': case u'u': case u'x': case u'X': case u'o':
            out += formatInteger(conv, s, take());
            break;
        case u'p': {
            Spec p = s;
            p.lengthBits = 64;
            p.precision = int(sizeof(void*) * 2);
            out += formatInteger(u'X', p, take());
            break;
        }
        case u'c': case u'C': {
            const FormatArg* a = take();
            QString t;
            if (a && a->kind() == FormatArg::Kind::String)
                t = a->text().left(1);
            else
                t = QChar(static_cast<char16_t>(a ? a->integer() : 0));
            out += pad(t, s, false, 0);
            break;
        }
        case u's': case u'S':
            out += formatText(s, take());
            break;
        case u'f': case u'F': case u'e': case u'E': case u'g': case u'G': case u'a': case u'A':
            out += formatReal(conv, s, take());
            break;
        default:
            out += format.mid(start, i - start + 1);
            break;
        }
    }
    return out;
}
