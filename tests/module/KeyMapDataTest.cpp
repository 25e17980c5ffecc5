#include "module/KeyMapData.h"

#include <gtest/gtest.h>

#include <climits>
#include <vector>

namespace {

// Keys as a readable list "lo-hi text" for comparisons.
std::vector<std::string> Ranges(const KeyMapData& map)
{
    std::vector<std::string> out;
    for (const Key& key : map)
        out.push_back(std::to_string(key.lowKey) + "-" + std::to_string(key.highKey) + " " + key.text.toStdString());
    return out;
}

TEST(KeyMapData, SetOrderIsByLowKeyThenInsertion)
{
    KeyMapData map;
    const Key keys[] = {{60, 72, "C"}, {0, 59, "A"}, {60, 61, "B"}};
    map.AddKeys(keys);
    EXPECT_EQ(Ranges(map), (std::vector<std::string>{"0-59 A", "60-72 C", "60-61 B"}));
}

TEST(KeyMapData, ToKeyArray)
{
    struct Case {
        const char* name;
        KeyMapData map;
        std::vector<Key> keys;
        std::vector<std::pair<int, QString>> expect;  // key -> text in the caller's array
    };
    const QString untouched = QStringLiteral("untouched");
    std::vector<Case> cases = {
        {"transpose reads from above", KeyMapData(0, 12), {{60, 62, "P"}},
         {{47, ""}, {48, "P"}, {50, "P"}, {51, ""}, {60, ""}}},
        {"overlap joins with a slash in set order", KeyMapData(), {{60, 60, "K"}, {58, 61, "S"}},
         {{58, "S"}, {60, "S/K"}, {61, "S"}}},
        {"same low key keeps insertion order", KeyMapData(), {{60, 60, "K"}, {60, 60, "S"}}, {{60, "K/S"}}},
        {"keys outside the map's range are untouched", KeyMapData(0, 0, 10, 20), {{0, 127, "X"}},
         {{9, untouched}, {10, "X"}, {20, "X"}, {21, untouched}}},
        {"a transpose past the keyboard leaves the key", KeyMapData(0, 100), {{0, 127, "X"}},
         {{27, "X"}, {28, untouched}, {127, untouched}}},
        {"ranges beyond 0..127 are clipped", KeyMapData(), {{-1000, 2, "L"}, {126, INT_MAX, "H"}},
         {{0, "L"}, {2, "L"}, {3, ""}, {127, "H"}}},
        {"an inverted range is empty", KeyMapData(), {{70, 60, "R"}}, {{60, ""}, {70, ""}}},
        {"extreme transpose does not wrap", KeyMapData(0, INT_MAX), {{0, 127, "X"}}, {{0, untouched}, {127, untouched}}},
        {"extreme map range is clipped", KeyMapData(0, INT_MIN, INT_MIN, INT_MAX), {{0, 127, "X"}},
         {{0, untouched}, {127, untouched}}},
    };
    for (Case& c : cases) {
        SCOPED_TRACE(c.name);
        c.map.AddKeys(c.keys);
        KeyTexts texts;
        texts.fill(untouched);
        c.map.ToKeyArray(texts);
        for (const auto& [key, text] : c.expect)
            EXPECT_EQ(texts[size_t(key)], text) << "key " << key;
    }
}

TEST(KeyMapData, FromKeyArrayBuildsRunsOfEqualText)
{
    KeyTexts texts;
    for (int k = 0; k < 128; ++k)
        texts[size_t(k)] = (k < 10 || k >= 20) ? QStringLiteral("T") : QString();
    KeyMapData map(2, 5, 1, 100);
    map.AddKey(0, 0, QStringLiteral("old"));
    map.FromKeyArray(texts);
    EXPECT_EQ(Ranges(map), (std::vector<std::string>{"0-9 T", "20-127 T"}));
    EXPECT_EQ(map.mergeMode, 2);
    EXPECT_EQ(map.transpose, 5);

    // Exact comparison: case matters, and single keys form their own runs.
    texts.fill(QString());
    texts[0] = QStringLiteral("a");
    texts[1] = QStringLiteral("A");
    texts[127] = QStringLiteral("z");
    map.FromKeyArray(texts);
    EXPECT_EQ(Ranges(map), (std::vector<std::string>{"0-0 a", "1-1 A", "127-127 z"}));

    texts.fill(QString());
    map.FromKeyArray(texts);
    EXPECT_TRUE(map.empty());
}

TEST(KeyMapData, MergeJoinsDropsRepeatsAndReplaces)
{
    auto single = [](int mode, int key, const char* text) {
        KeyMapData map(mode);
        map.AddKey(key, key, QString::fromUtf8(text));
        return map;
    };
    struct Case {
        const char* name;
        std::vector<KeyMapData> maps;
        QString expected;  // at key 60
    };
    std::vector<Case> cases = {
        {"lead before append", {single(0, 60, "B"), single(1, 60, "A")}, QStringLiteral("A+B")},
        {"appends in map order", {single(0, 60, "B"), single(0, 60, "C")}, QStringLiteral("B+C")},
        {"replace wins", {single(1, 60, "A"), single(0, 60, "B"), single(2, 60, "C")}, QStringLiteral("C")},
        {"last replace wins", {single(2, 60, "C"), single(2, 60, "D")}, QStringLiteral("D")},
        {"case-blind repeat keeps the first", {single(0, 60, "Piano"), single(0, 60, "PIANO")}, QStringLiteral("Piano")},
        {"repeat in a replace map is dropped", {single(0, 60, "Kick"), single(2, 60, "kick")}, QStringLiteral("Kick")},
        {"five maps", {single(0, 60, "a"), single(0, 60, "b"), single(0, 60, "c"), single(0, 60, "d"), single(0, 60, "e")},
         QStringLiteral("a+b+c+d+e")},
        {"nothing on the key", {single(0, 61, "x")}, QString()},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::vector<const KeyMapData*> pointers;
        for (const KeyMapData& m : c.maps)
            pointers.push_back(&m);
        KeyMapData result;
        ASSERT_TRUE(result.Merge(pointers));
        KeyTexts texts;
        result.ToKeyArray(texts);
        EXPECT_EQ(texts[60], c.expected);
    }
}

TEST(KeyMapData, MergeOfLayersWithRangesAndTranspose)
{
    // Two layers of one preset: a transposed instrument map and a key range.
    KeyMapData low(0, -12, 0, 59);
    low.AddKey(12, 71, QStringLiteral("Bass"));
    KeyMapData high(0, 0, 60, 127);
    high.AddKey(0, 127, QStringLiteral("Strings"));
    KeyMapData beats(2);
    beats.AddKey(36, 36, QStringLiteral("Snare"));

    KeyMapData result;
    const KeyMapData* maps[] = {&low, &high, &beats};
    ASSERT_TRUE(result.Merge(maps, 3));
    EXPECT_EQ(Ranges(result),
              (std::vector<std::string>{"24-35 Bass", "36-36 Snare", "37-59 Bass", "60-127 Strings"}));

    // The target may be one of the inputs: its ranges are read before they change.
    KeyMapData self;
    self.AddKey(0, 10, QStringLiteral("S"));
    KeyMapData other;
    other.AddKey(5, 15, QStringLiteral("O"));
    const KeyMapData* both[] = {&self, &other};
    ASSERT_TRUE(self.Merge(both, 2));
    EXPECT_EQ(Ranges(self), (std::vector<std::string>{"0-4 S", "5-10 S+O", "11-15 O"}));
}

TEST(KeyMapData, MergeRefusesMoreThanFiveMapsAndChangesNothing)
{
    KeyMapData map;
    map.AddKey(1, 2, QStringLiteral("keep"));
    KeyMapData six[6];
    const KeyMapData* pointers[6];
    for (int i = 0; i < 6; ++i) {
        six[i].AddKey(60, 60, QString::number(i));
        pointers[i] = &six[i];
    }
    EXPECT_FALSE(map.Merge(pointers, 6));
    EXPECT_FALSE(map.Merge(pointers, -1));
    EXPECT_FALSE(map.Merge(nullptr, 2));
    EXPECT_EQ(Ranges(map), (std::vector<std::string>{"1-2 keep"}));

    // Null entries count as empty maps; no maps gives an empty result.
    const KeyMapData* withNull[] = {nullptr, &six[1]};
    EXPECT_TRUE(map.Merge(withNull, 2));
    EXPECT_EQ(Ranges(map), (std::vector<std::string>{"60-60 1"}));
    EXPECT_TRUE(map.Merge(nullptr, 0));
    EXPECT_TRUE(map.empty());
}

} // namespace
