// Scala scales: a table of .scl texts over the format's corners, each with
// the pitches read (or the refusal) and the bytes some keys get; the degree
// table; the mapping of pitches to key bytes at the edges of the byte ranges.
#include "editors/ScalaScale.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

struct KeyExpectation {
    int key;
    TuningKeyBytes bytes;
};

struct ScaleCase {
    const char* name;
    QByteArray text;
    bool readable;
    std::vector<double> pitches;          ///< when readable
    std::vector<KeyExpectation> keys = {}; ///< when readable and at most 12 notes
};

QByteArray Lines(std::initializer_list<const char*> lines, const char* end = "\n")
{
    QByteArray text;
    for (const char* l : lines)
        text += QByteArray(l) + end;
    return text;
}

const double kFifth = 1200.0 * std::log2(1.5);   // 701.955...
const double kThird = 1200.0 * std::log2(1.25);  // 386.313...

std::vector<ScaleCase> Cases()
{
    std::vector<ScaleCase> c;
    c.push_back({"12-tone equal temperament, cents with decimals",
                 Lines({"! et12.scl", "!", "12 tone equal temperament", " 12", "!", "100.0", "200.0", "300.0",
                        "400.0", "500.0", "600.0", "700.0", "800.0", "900.0", "1000.0", "1100.0", "2/1"}),
                 true,
                 {100, 200, 300, 400, 500, 600, 700, 800, 900, 1000, 1100, 1200},
                 {{0, {0, 0, 0}}, {1, {1, 0, 0}}, {61, {61, 0, 0}}, {127, {127, 0, 0}}}});
    c.push_back({"just intonation by ratios, a whole number for the octave",
                 Lines({"Just 7", "7", "9/8", "5/4", "4/3", "3/2", "5/3", "15/8", "2"}), true,
                 {1200 * std::log2(9.0 / 8), kThird, 1200 * std::log2(4.0 / 3), kFifth, 1200 * std::log2(5.0 / 3),
                  1200 * std::log2(15.0 / 8), 1200},
                 // C and C# 1/1, E the third (degree 2), G and Ab the fifth (degree 4), B 15/8.
                 {{0, {0, 0, 0}}, {1, {0, 0, 0}}, {4, {3, 110, 61}}, {19, {19, 2, 64}}, {20, {19, 2, 64}},
                  {11, {10, 112, 125}}}});
    c.push_back({"CR LF line ends and a description with blanks around it",
                 Lines({"!crlf.scl", "   Fifths only   ", "2", "3/2", "2/1"}, "\r\n"), true, {kFifth, 1200},
                 {{0, {0, 0, 0}}, {6, {0, 0, 0}}, {7, {7, 2, 64}}, {11, {7, 2, 64}}, {127, {127, 2, 64}}}});
    c.push_back({"cents without decimals after the point, and a trailing comment",
                 Lines({"Two", "2", "1200.  ! octave", "2400. period of two octaves"}), true, {1200, 2400},
                 // Degree 1 (1200 cents) sounds an octave above the key's C.
                 {{7, {12, 0, 0}}, {60, {60, 0, 0}}, {67, {72, 0, 0}}}});
    c.push_back({"a non-octave period: the listed period is never given to a key",
                 Lines({"Bohlen-Pierce (first three steps)", "3", "146.304", "292.608", "1901.955"}), true,
                 {146.304, 292.608, 1901.955},
                 // n = 3: F and F# degree 1, G..B degree 2; the period (degree 3) is unused.
                 {{5, {1, 59, 34}}, {7, {2, 118, 68}}, {11, {2, 118, 68}}}});
    c.push_back({"a comment after a ratio that holds a point reads the ratio",
                 Lines({"Fifth", "2", "3/2 ! 2.0 is not the pitch.", "2/1"}), true, {kFifth, 1200}});
    c.push_back({"blanks around the slash", Lines({"Fifth", "2", "3 / 2", "2/1"}), true, {kFifth, 1200}});
    c.push_back({"a ratio without denominator is n/1", Lines({"Octave", "1", "2/"}), true, {1200}});
    c.push_back({"a count with leading zeros is decimal",
                 Lines({"Eight", "08", "100.", "200.", "300.", "400.", "500.", "600.", "700.", "1200."}), true,
                 {100, 200, 300, 400, 500, 600, 700, 1200}});
    c.push_back({"a count line with a comment", Lines({"One", "1 ! just the octave", "2/1"}), true, {1200}});
    c.push_back({"a point at the start of the pitch is cents", Lines({"Tiny", "2", ".5", "2/1"}), true, {0.5, 1200},
                 {{7, {0, 0, 81}}, {19, {12, 0, 81}}}});
    c.push_back({"a line of 10,000 comment characters",
                 QByteArray("! ") + QByteArray(10000, '7') + "\nLong comment\n1\n2/1\n", true, {1200}});
    c.push_back({"a description of 10,000 characters holding digits",
                 QByteArray(10000, '5') + "\n1\n2/1\n", true, {1200}});
    c.push_back({"a UTF-8 mark before the first comment",
                 QByteArray("\xEF\xBB\xBF! marked.scl\nMarked\n1\n2/1\n"), true, {1200}});
    c.push_back({"lines without a digit among the pitches are skipped",
                 Lines({"Skip", "2", "3/2", "no pitch here", "2/1"}), true, {kFifth, 1200}});
    c.push_back({"13 notes are read (the import then refuses them)",
                 Lines({"13", "13", "90.", "180.", "270.", "360.", "450.", "540.", "630.", "720.", "810.", "900.",
                        "990.", "1080.", "1200."}),
                 true, {90, 180, 270, 360, 450, 540, 630, 720, 810, 900, 990, 1080, 1200}});
    // Refused: the file changes nothing.
    c.push_back({"empty file", QByteArray(), false, {}});
    c.push_back({"only comments and blank lines", Lines({"! a", "", "   ", "!b"}), false, {}});
    c.push_back({"a blank description line: the count line becomes the description",
                 Lines({"! x.scl", "", "2", "3/2", "2/1"}), false, {}});
    c.push_back({"count 7 with 8 pitches",
                 Lines({"Seven", "7", "100.", "200.", "300.", "400.", "500.", "600.", "700.", "1200."}), false, {}});
    c.push_back({"count 3 with 2 pitches", Lines({"Three", "3", "100.", "1200."}), false, {}});
    c.push_back({"count 0", Lines({"Zero", "0"}), false, {}});
    c.push_back({"no count line", Lines({"Only a description"}), false, {}});
    c.push_back({"a count that is no number", Lines({"Bad", "twelve", "2/1"}), false, {}});
    c.push_back({"negative cents", Lines({"Down", "2", "-5.0", "2/1"}), false, {}});
    c.push_back({"a negative ratio", Lines({"Down", "2", "-3/2", "2/1"}), false, {}});
    c.push_back({"ratio 1/0", Lines({"Inf", "2", "1/0", "2/1"}), false, {}});
    c.push_back({"ratio 0/1", Lines({"Zero", "2", "0/1", "2/1"}), false, {}});
    c.push_back({"ratio 0", Lines({"Zero", "2", "0", "2/1"}), false, {}});
    c.push_back({"huge cents", Lines({"Huge", "2", "1.0e300", "2/1"}), false, {}});
    c.push_back({"cents beyond every key", Lines({"High", "1", "12800.0"}), false, {}});
    c.push_back({"a ratio beyond every key", Lines({"High", "1", "2147483647/1"}), false, {}});
    c.push_back({"a numerator too long for any number",
                 Lines({"Long", "1", "99999999999999999999999999/1"}), false, {}});
    c.push_back({"a pitch word that is no number", Lines({"Word", "1", "abc 100.0"}), false, {}});
    c.push_back({"a point alone", Lines({"Point", "1", ". 5"}), false, {}});
    return c;
}

} // namespace

TEST(ScalaScale, TableOfScaleFiles)
{
    for (const ScaleCase& c : Cases()) {
        SCOPED_TRACE(c.name);
        ScalaScale scale;
        scale.description = QStringLiteral("untouched");
        const bool read = ParseScalaScale(c.text, &scale);
        ASSERT_EQ(read, c.readable);
        if (!read) {
            EXPECT_EQ(scale.description, QStringLiteral("untouched"));
            continue;
        }
        EXPECT_FALSE(scale.description.isEmpty());
        EXPECT_EQ(scale.count, int(c.pitches.size()));
        ASSERT_EQ(scale.pitches.size(), c.pitches.size());
        for (std::size_t i = 0; i < c.pitches.size(); ++i)
            EXPECT_NEAR(scale.pitches[i], c.pitches[i], 1e-6) << "pitch " << i;
        if (scale.pitches.size() <= 12) {
            const auto keys = MapScalaScale(scale.pitches);
            for (const KeyExpectation& e : c.keys)
                EXPECT_EQ(keys[std::size_t(e.key)], e.bytes) << "key " << e.key << ": " << keys[std::size_t(e.key)].semitone
                                                              << " " << keys[std::size_t(e.key)].upper << " "
                                                              << keys[std::size_t(e.key)].lower;
        }
    }
}

TEST(ScalaScale, DescriptionIsTrimmedAndReadAsAnsi)
{
    ScalaScale scale;
    ASSERT_TRUE(ParseScalaScale(QByteArray("\t Gamme \xE0 l'italienne \r\n1\r\n2/1\r\n"), &scale));
    EXPECT_EQ(scale.description, QString::fromUtf8("Gamme à l'italienne"));
}

TEST(ScalaScale, FileThatCannotBeOpenedOrRead)
{
    QTemporaryDir dir;
    ScalaScale scale;
    EXPECT_EQ(ReadScalaScaleFile(dir.filePath(QStringLiteral("missing.scl")), &scale), kScalaOpenFailed);
    const QString bad = dir.filePath(QStringLiteral("bad.scl"));
    QFile f(bad);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Bad\n2\n3/2\n");
    f.close();
    EXPECT_EQ(ReadScalaScaleFile(bad, &scale), kScalaReadFailed);
    const QString good = dir.filePath(QStringLiteral("good.scl"));
    QFile g(good);
    ASSERT_TRUE(g.open(QIODevice::WriteOnly));
    g.write("Good\n2\n3/2\n2/1\n");
    g.close();
    EXPECT_EQ(ReadScalaScaleFile(good, &scale), 0u);
    EXPECT_EQ(scale.pitches.size(), 2u);
}

TEST(ScalaScale, EveryRowOfTheDegreeTableUsesEveryDegreeRisingFromTheFirst)
{
    for (int n = 1; n <= kScalaMaxNotes; ++n) {
        SCOPED_TRACE(n);
        EXPECT_EQ(ScalaDegreeTable[n][0], 0);
        EXPECT_EQ(ScalaDegreeTable[n][11], n - 1);
        for (int k = 1; k < 12; ++k) {
            const int step = ScalaDegreeTable[n][k] - ScalaDegreeTable[n][k - 1];
            EXPECT_TRUE(step == 0 || step == 1) << "key " << k;
        }
    }
    // The 7-note row as a keyboard player expects it.
    const int seven[12] = {0, 0, 1, 1, 2, 3, 3, 4, 4, 5, 5, 6};
    for (int k = 0; k < 12; ++k)
        EXPECT_EQ(ScalaDegreeTable[7][k], seven[k]);
}

TEST(ScalaScale, KeyBytesStayWithinTheirRanges)
{
    struct Case {
        double cents;
        int key;
        TuningKeyBytes bytes;
    };
    const Case cases[] = {
        {0.0, 0, {0, 0, 0}},
        {0.0, 60, {60, 0, 0}},
        {kFifth, 12, {19, 2, 64}},
        {kThird, 0, {3, 110, 61}},
        {99.99999, 0, {0, 127, 127}},
        {50.0, 0, {0, 64, 0}},
        {800.0, 127, {127, 0, 0}},           // G of octave 10 cannot go higher
        {1199.99999, 120, {127, 127, 126}},  // never 7F 7F 7F
        {12799.0, 0, {127, 126, 92}},
        {-5.0, 12, {12, 0, 0}},              // below the range: nothing below 0
    };
    for (const Case& c : cases) {
        const TuningKeyBytes b = ScalaKeyBytes(c.cents, c.key);
        EXPECT_EQ(b, c.bytes) << c.cents << " at " << c.key << ": " << b.semitone << " " << b.upper << " " << b.lower;
    }
}
