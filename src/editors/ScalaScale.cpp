#include "editors/ScalaScale.h"

#include "core/Codepage.h"

#include <QFile>

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <optional>

// Each row uses every degree from 0 to n - 1 once at least, rising with the
// keys. (The row of 10 notes is 0 0 1 1 2 3 4 5 6 7 8 9: F# sounds degree 4,
// so no note of a 10-note scale is lost.)
const int ScalaDegreeTable[kScalaMaxNotes + 1][12] = {
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0},
    {0, 0, 0, 0, 0, 0, 0, 1, 1, 1, 1, 1},
    {0, 0, 0, 0, 0, 1, 1, 2, 2, 2, 2, 2},
    {0, 0, 1, 1, 1, 2, 2, 3, 3, 3, 3, 3},
    {0, 0, 1, 1, 1, 2, 2, 3, 3, 4, 4, 4},
    {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 5},
    {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6},
    {0, 0, 1, 1, 2, 3, 4, 5, 5, 6, 6, 7},
    {0, 0, 1, 1, 2, 3, 4, 5, 5, 6, 7, 8},
    {0, 0, 1, 1, 2, 3, 4, 5, 6, 7, 8, 9},
    {0, 0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10},
    {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11},
};

namespace {

bool IsBlank(char c)
{
    return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

bool IsDigit(char c)
{
    return c >= '0' && c <= '9';
}

// A decimal whole number at the start of text (a sign allowed); nullopt when
// there is none or it does not fit. *used: the characters read.
std::optional<std::int64_t> ReadWhole(std::string_view text, std::size_t* used)
{
    std::size_t i = 0;
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-'))
        negative = text[i++] == '-';
    const std::size_t digits = i;
    std::int64_t value = 0;
    for (; i < text.size() && IsDigit(text[i]); ++i) {
        if (value > (std::numeric_limits<std::int64_t>::max() - 9) / 10)
            return std::nullopt;
        value = value * 10 + (text[i] - '0');
    }
    if (i == digits)
        return std::nullopt;
    *used = i;
    return negative ? -value : value;
}

// The pitch of one line (leading blanks already skipped), in cents. nullopt
// for a line that holds no pitch at all (no digit: skipped, as a blank line);
// NaN for a pitch that cannot be taken.
std::optional<double> ReadPitch(std::string_view line)
{
    bool anyDigit = false;
    for (char c : line)
        anyDigit = anyDigit || IsDigit(c);
    if (!anyDigit)
        return std::nullopt;
    constexpr double bad = std::numeric_limits<double>::quiet_NaN();

    // Cents or ratio is decided on the first word only, so a comment after
    // the pitch never changes how it reads.
    std::size_t end = 0;
    while (end < line.size() && !IsBlank(line[end]))
        ++end;
    const std::string_view word = line.substr(0, end);
    if (word.find('.') != std::string_view::npos) {
        std::string_view number = word;
        if (!number.empty() && number.front() == '+')
            number.remove_prefix(1);
        double cents = 0;
        const auto [ptr, ec] = std::from_chars(number.data(), number.data() + number.size(), cents);
        if (ec != std::errc() || ptr == number.data())
            return bad;
        return cents;
    }

    // A ratio n/d (blanks allowed around the slash) or a whole number n.
    std::size_t used = 0;
    const std::optional<std::int64_t> numerator = ReadWhole(line, &used);
    if (!numerator)
        return bad;
    std::int64_t denominator = 1;
    std::size_t i = used;
    while (i < line.size() && IsBlank(line[i]))
        ++i;
    if (i < line.size() && line[i] == '/') {
        ++i;
        while (i < line.size() && IsBlank(line[i]))
            ++i;
        // "3/" without a denominator is 3/1.
        if (i < line.size() && !IsBlank(line[i]) && line[i] != '!') {
            const std::optional<std::int64_t> d = ReadWhole(line.substr(i), &used);
            if (!d)
                return bad;
            denominator = *d;
        }
    }
    if (*numerator <= 0 || denominator <= 0)
        return bad;
    const double ratio = double(*numerator) / double(denominator);
    // 1200 x log2 of the ratio, with the ratio raised to the 12th power by
    // multiplication, as the tuning program itself computes it.
    double power = 1.0;
    for (int i12 = 0; i12 < 12; ++i12)
        power *= ratio;
    return 100.0 * std::log(power) / std::log(2.0);
}

} // namespace

bool ParseScalaScale(QByteArrayView text, ScalaScale* out)
{
    ScalaScale scale;
    int kept = 0;
    bool countRead = false;
    const std::string_view all(text.data(), std::size_t(text.size()));
    // A file saved by an editor that marks its text as UTF-8 starts with the
    // mark; it belongs to no line.
    std::size_t start = all.substr(0, 3) == std::string_view("\xEF\xBB\xBF", 3) ? 3 : 0;
    while (start <= all.size()) {
        std::size_t stop = all.find('\n', start);
        if (stop == std::string_view::npos)
            stop = all.size();
        std::string_view line = all.substr(start, stop - start);
        start = stop + 1;
        while (!line.empty() && IsBlank(line.front()))
            line.remove_prefix(1);
        if (line.empty() || line.front() == '!')
            continue;
        ++kept;
        if (kept == 1) {
            scale.description = AnsiToUnicode(QByteArrayView(line.data(), qsizetype(line.size()))).trimmed();
        } else if (kept == 2) {
            std::size_t used = 0;
            const std::optional<std::int64_t> count = ReadWhole(line, &used);
            if (!count || *count < 0 || *count > std::numeric_limits<int>::max())
                return false;
            scale.count = int(*count);
            countRead = true;
        } else {
            const std::optional<double> pitch = ReadPitch(line);
            if (!pitch)
                continue;
            // Below 0 cents, not a number, or beyond every key: no key can sound it.
            if (!std::isfinite(*pitch) || *pitch < 0.0 || *pitch >= kScalaMaxCents)
                return false;
            scale.pitches.push_back(*pitch);
            if (scale.pitches.size() > std::size_t(scale.count))
                return false; // more pitches than stated: no need to read on
        }
    }
    if (scale.description.isEmpty() || !countRead || scale.count == 0 || std::size_t(scale.count) != scale.pitches.size())
        return false;
    *out = std::move(scale);
    return true;
}

unsigned ReadScalaScaleFile(const QString& path, ScalaScale* out)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return kScalaOpenFailed;
    const QByteArray text = file.readAll();
    if (file.error() != QFileDevice::NoError)
        return kScalaReadFailed;
    return ParseScalaScale(text, out) ? 0 : kScalaReadFailed;
}

TuningKeyBytes ScalaKeyBytes(double cents, int key)
{
    // The whole semitones of the pitch, plus the octave of the key; the rest
    // of the pitch as a fine offset in 1/16384 of a semitone.
    const double whole = std::trunc(cents / 100.0);
    const int octaveBase = key - key % 12;
    const double semitone = whole + octaveBase;
    const double rest = std::trunc((cents - whole * 100.0) * 16384.0);
    const std::int64_t fraction = std::int64_t(rest) / 100;
    auto clamp = [](double v, int most) { return v < 0 ? 0 : v > most ? most : int(v); };
    TuningKeyBytes b;
    b.semitone = clamp(semitone, 127);
    b.upper = clamp(double(fraction / 128), 127);
    const int lowerMost = (b.semitone == 127 && b.upper == 127) ? 126 : 127;
    b.lower = clamp(double(fraction % 128), lowerMost);
    return b;
}

std::array<TuningKeyBytes, 128> MapScalaScale(const std::vector<double>& pitches)
{
    std::array<TuningKeyBytes, 128> keys;
    const std::size_t n = pitches.size();
    for (int m = 0; m < 128; ++m) {
        double x = 0.0;
        if (n >= 1 && n <= std::size_t(kScalaMaxNotes)) {
            const int d = ScalaDegreeTable[n][m % 12];
            x = d == 0 ? 0.0 : pitches[std::size_t(d - 1)];
        } else {
            x = 100.0 * (m % 12);
        }
        keys[std::size_t(m)] = ScalaKeyBytes(x, m);
    }
    return keys;
}
