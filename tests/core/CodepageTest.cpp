// The 8-bit code page of the module's text fields and of the 8-bit files.
#include "core/Codepage.h"

#include <gtest/gtest.h>

#include <cstring>

TEST(Codepage, ConvertsWindows1252BothWays)
{
    struct Row {
        const char* name;
        QString text;
        QByteArray bytes;
    } rows[] = {
        {"ASCII", QStringLiteral("Piano 1"), QByteArray("Piano 1")},
        {"Latin-1 half", QStringLiteral(u"Caf\u00e9 \u00ff"), QByteArray("Caf\xe9 \xff")},
        {"the 80-9F block", QStringLiteral(u"\u20ac\u2122\u0178\u201c"), QByteArray("\x80\x99\x9f\x93")},
        {"undefined bytes keep their number", QStringLiteral(u"\u0081\u008d\u008f\u0090\u009d"),
         QByteArray("\x81\x8d\x8f\x90\x9d")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(AnsiToUnicode(row.bytes), row.text);
        EXPECT_EQ(UnicodeToAnsi(row.text), row.bytes);
    }
    // Characters the code page lacks: one '?' each, a surrogate pair included.
    EXPECT_EQ(UnicodeToAnsi(QStringLiteral(u"A\u0100\u0080B")), QByteArray("A??B"));
    EXPECT_EQ(UnicodeToAnsi(QString::fromUcs4(U"x\U0001F3B9y")), QByteArray("x?y"));
}

TEST(Codepage, FixedFieldsAreExactlyTheirLength)
{
    // Converting reads exactly n bytes: the field is not terminated.
    const char field[] = {'B', 'a', 's', 's', ' ', ' ', '\x80', 'Z'};
    EXPECT_EQ(AnsiToWide(field, 6), QStringLiteral("Bass  "));
    EXPECT_EQ(AnsiToWide(field, 8), QStringLiteral(u"Bass  \u20acZ"));
    EXPECT_EQ(AnsiToWide(field, 0), QString());

    struct Row {
        const char* name;
        QString text;
        QByteArray field; // 8 bytes, then the guard byte stays 'G'
    } rows[] = {
        {"shorter text is blank padded", QStringLiteral(u"Caf\u00e9"), QByteArray("Caf\xe9    ")},
        {"exact fit", QStringLiteral("12345678"), QByteArray("12345678")},
        {"longer text is cut", QStringLiteral("Grand Piano 2"), QByteArray("Grand Pi")},
        {"empty text is all blanks", QString(), QByteArray("        ")},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        char out[9];
        std::memset(out, 'G', sizeof out);
        WideToAnsiPadded(row.text, out, 8);
        EXPECT_EQ(QByteArray(out, 8), row.field);
        EXPECT_EQ(out[8], 'G');
    }
}
