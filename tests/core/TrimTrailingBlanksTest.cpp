// Trailing blanks of fixed-size text fields: in place, and as text.
#include "core/TrimTrailingBlanks.h"

#include <gtest/gtest.h>

#include <string>

TEST(TrimTrailingBlanks, OnlyTheTrailingBlanksBecomeTerminators)
{
    struct Row {
        const char* name;
        std::u16string field;
        int n;
        std::u16string buffer; // the whole buffer afterwards
        QString text;          // the text form of the whole field
    } rows[] = {
        {"blank padded", u"Pad   ", 6, std::u16string(u"Pad\0\0\0", 6), QStringLiteral("Pad")},
        {"inner blanks stay", u"A  B  ", 6, std::u16string(u"A  B\0\0", 6), QStringLiteral("A  B")},
        {"all blanks", u"    ", 4, std::u16string(4, u'\0'), QString()},
        {"no blanks", u"Koto", 4, u"Koto", QStringLiteral("Koto")},
        {"only the first n count", u"AB  ", 3, std::u16string(u"AB\0 ", 4), QStringLiteral("AB")},
        {"leading blanks stay", u"  X ", 4, std::u16string(u"  X\0", 4), QStringLiteral("  X")},
        {"n of 0 changes nothing", u"A ", 0, u"A ", QStringLiteral("A")},
        {"a zero ends the text", std::u16string(u"AB\0CD ", 6), 6, std::u16string(u"AB\0CD\0", 6), QStringLiteral("AB")},
    };
    for (Row& row : rows) {
        SCOPED_TRACE(row.name);
        std::u16string buffer = row.field;
        TrimTrailingBlanks(buffer.data(), row.n);
        EXPECT_EQ(buffer, row.buffer);
        if (row.n == int(row.field.size()) || row.n == 0)
            EXPECT_EQ(TrimTrailingBlanks(QStringView(row.field.data(), qsizetype(row.field.size()))), row.text);
    }
    TrimTrailingBlanks(nullptr, 5); // harmless
}
