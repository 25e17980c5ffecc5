#include "core/Codepage.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

// 0x80-0x9F of Windows-1252; the rest of the upper half is Latin-1.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

std::uint8_t AnsiByteOf(char32_t ch)
{
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return static_cast<std::uint8_t>(ch);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == ch)
            return static_cast<std::uint8_t>(0x80 + i);
    return '?';
}

} // namespace

char16_t AnsiCharToUnicode(std::uint8_t byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return kHigh[byte - 0x80];
    return byte;
}

QString AnsiToUnicode(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i)
        text[i] = QChar(AnsiCharToUnicode(static_cast<std::uint8_t>(bytes[i])));
    return text;
}

QByteArray UnicodeToAnsi(QStringView text)
{
    QByteArray out;
    out.reserve(text.size());
    for (const uint ch : text.toUcs4())
        out.append(static_cast<char>(AnsiByteOf(ch)));
    return out;
}

QString AnsiToWide(const void* field, std::size_t n)
{
    if (!field || n == 0)
        return QString();
    return AnsiToUnicode(QByteArrayView(static_cast<const char*>(field), qsizetype(n)));
}

void WideToAnsiPadded(QStringView text, void* field, std::size_t n)
{
    if (!field || n == 0)
        return;
    std::memset(field, 0x20, n);
    const QByteArray bytes = UnicodeToAnsi(text);
    std::memcpy(field, bytes.constData(), std::min(n, std::size_t(bytes.size())));
}
