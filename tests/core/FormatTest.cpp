#include "core/Format.h"

#include <gtest/gtest.h>

namespace {

struct FormatCase {
    const char* name;
    QString expected;
    QString actual;
};

TEST(Format, PrintfConversionsWithThirtyTwoBitSemantics)
{
    const FormatCase cases[] = {
        {"plain decimal", "42", Format(u"%d", 42)},
        {"DWORD all ones as %d", "-1", Format(u"%d", 0xFFFFFFFFu)},
        {"negative as %x", "ffffffff", Format(u"%x", -1)},
        {"hex pad", "0a", Format(u"%02x", 10)},
        {"upper hex", "7F", Format(u"%02X", 127)},
        {"alt hex", "0x10", Format(u"0x%x", 16)},
        {"unsigned long", "4294967295", Format(u"%lu", 0xFFFFFFFFu)},
        {"precision zero pad", "0042", Format(u"%.04d", 42)},
        {"fixed width string", "        Tabrine", Format(u"%15.15s", QString("Tabrine"))},
        {"cut string", "abcdefghijklmno", Format(u"%15.15s", QString("abcdefghijklmnopqrst"))},
        {"left string", "ab   |", Format(u"%-5s|", "ab")},
        {"percent", "100%", Format(u"%d%%", 100)},
        {"char", "A", Format(u"%c", 'A')},
        {"missing arg", "x=0 s=", Format(u"x=%d s=%s")},
        {"long long", "-5000000000", Format(u"%lld", -5000000000LL)},
        {"float", "1.50", Format(u"%.2f", 1.5)},
        {"star width", "   7", Format(u"%*d", 4, 7)},
        {"number as text", "12", Format(u"%s", 12)},
        {"unknown conversion", "%y", Format(u"%y", 1)},
        {"trailing percent", "abc%", Format(u"abc%")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(c.actual, c.expected);
    }
}

} // namespace
