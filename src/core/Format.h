#pragma once
// printf-style formatting with typed arguments. Every quoted log and message
// text of the program is a printf format ("%s", "%d", "%02x", "%15.15s",
// "%.04d", "%lu" ...); this formatter applies such a format without a
// va_list, so a mismatched argument prints something defined instead of
// reading the stack. Integers follow 32-bit semantics unless the format says
// "ll" or "I64": "%d" of 0xFFFFFFFF prints -1, "%x" of -1 prints ffffffff.

#include <QString>
#include <QStringView>

#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <type_traits>

class FormatArg {
public:
    enum class Kind { Int, UInt, Double, String, Pointer };

    FormatArg(bool v) : m_kind(Kind::Int), m_int(v ? 1 : 0) {}
    FormatArg(char v) : m_kind(Kind::Int), m_int(static_cast<unsigned char>(v)) {}
    FormatArg(char16_t v) : m_kind(Kind::Int), m_int(v) {}
    FormatArg(wchar_t v) : m_kind(Kind::Int), m_int(static_cast<std::int64_t>(v)) {}
    FormatArg(QChar v) : m_kind(Kind::Int), m_int(v.unicode()) {}
    FormatArg(signed char v) : m_kind(Kind::Int), m_int(v) {}
    FormatArg(unsigned char v) : m_kind(Kind::UInt), m_int(v) {}
    FormatArg(short v) : m_kind(Kind::Int), m_int(v) {}
    FormatArg(unsigned short v) : m_kind(Kind::UInt), m_int(v) {}
    FormatArg(int v) : m_kind(Kind::Int), m_int(v) {}
    FormatArg(unsigned v) : m_kind(Kind::UInt), m_int(v) {}
    FormatArg(long v) : m_kind(Kind::Int), m_int(v) {}
    FormatArg(unsigned long v) : m_kind(Kind::UInt), m_int(static_cast<std::int64_t>(v)) {}
    FormatArg(long long v) : m_kind(Kind::Int), m_int(v) {}
    FormatArg(unsigned long long v) : m_kind(Kind::UInt), m_int(static_cast<std::int64_t>(v)) {}
    FormatArg(double v) : m_kind(Kind::Double), m_double(v) {}
    FormatArg(float v) : m_kind(Kind::Double), m_double(v) {}
    FormatArg(const QString& v) : m_kind(Kind::String), m_string(v) {}
    FormatArg(QStringView v) : m_kind(Kind::String), m_string(v.toString()) {}
    FormatArg(const char* v) : m_kind(Kind::String), m_string(v ? QString::fromUtf8(v) : QString()) {}
    FormatArg(const std::string& v) : m_kind(Kind::String), m_string(QString::fromStdString(v)) {}
    FormatArg(std::string_view v) : m_kind(Kind::String), m_string(QString::fromUtf8(v.data(), qsizetype(v.size()))) {}
    FormatArg(const char16_t* v) : m_kind(Kind::String), m_string(v ? QString::fromUtf16(v) : QString()) {}
    FormatArg(const wchar_t* v) : m_kind(Kind::String), m_string(v ? QString::fromWCharArray(v) : QString()) {}
    FormatArg(const void* v) : m_kind(Kind::Pointer), m_int(static_cast<std::int64_t>(reinterpret_cast<std::uintptr_t>(v))) {}
    template <class E, std::enable_if_t<std::is_enum_v<E>, int> = 0>
    FormatArg(E v) : FormatArg(static_cast<std::underlying_type_t<E>>(v)) {}

    Kind kind() const { return m_kind; }
    std::int64_t integer() const { return m_kind == Kind::Double ? static_cast<std::int64_t>(m_double) : m_int; }
    double real() const { return m_kind == Kind::Double ? m_double : static_cast<double>(m_int); }
    QString text() const;

private:
    Kind m_kind;
    std::int64_t m_int = 0;
    double m_double = 0;
    QString m_string;
};

/// Applies a printf format to the arguments. Missing arguments print as 0 or
/// the empty text; surplus arguments are ignored; an unknown conversion is
/// copied as it stands.
QString FormatV(QStringView format, std::span<const FormatArg> args);

template <class... A>
QString Format(QStringView format, const A&... args)
{
    if constexpr (sizeof...(A) == 0) {
        return FormatV(format, {});
    } else {
        const FormatArg list[] = {FormatArg(args)...};
        return FormatV(format, std::span<const FormatArg>(list, sizeof...(A)));
    }
}
