#include "core/RegistryKey.h"

#include <gtest/gtest.h>

using platform::StoredValue;

namespace {

const QString kPath = QStringLiteral("Software\\Brimcote Limited\\Tabrine\\Test");

class RegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        qputenv("TABRINE_TEST_VAR", "expanded");
        qunsetenv("TABRINE_UNSET_VAR");
        ASSERT_TRUE(m_key.Open(kPath, true));
    }
    void Put(const char* name, const StoredValue& value)
    {
        ASSERT_TRUE(platform::CurrentSettingsStore().WriteValue(kPath, QString::fromLatin1(name), value));
    }

    RegistryKey m_key;
};

TEST_F(RegistryKeyTest, OpenCreatesOnlyWhenAskedAndAClosedKeyReadsDefaults)
{
    const QString other = kPath + QStringLiteral("\\Other");
    RegistryKey missing(other, false);
    EXPECT_FALSE(missing.IsOpen());
    EXPECT_EQ(missing.ReadDword(QStringLiteral("x"), 7), 7u);
    EXPECT_EQ(missing.ReadString(QStringLiteral("x"), QStringLiteral("def"), true), QStringLiteral("def"));
    EXPECT_FALSE(missing.WriteDword(QStringLiteral("x"), 1));
    EXPECT_FALSE(platform::CurrentSettingsStore().KeyExists(other));

    RegistryKey created(other, true);
    EXPECT_TRUE(created.IsOpen());
    EXPECT_TRUE(created.WriteDword(QStringLiteral("x"), 1));
    EXPECT_TRUE(RegistryKey(other, false).IsOpen());
}

TEST_F(RegistryKeyTest, TypedReadsConvertForgivingly)
{
    Put("Text", StoredValue::String(QStringLiteral("0x1F")));
    Put("Octal", StoredValue::String(QStringLiteral("017")));
    Put("Words", StoredValue::String(QStringLiteral("no number")));
    Put("Multi", StoredValue::Multi({QStringLiteral("12"), QStringLiteral("b"), QStringLiteral("c")}));
    Put("MultiWithGap", StoredValue::Multi({QStringLiteral("a"), QString(), QStringLiteral("c")}));
    Put("EmptyMulti", StoredValue::Multi({}));
    Put("AllOnes", StoredValue::Number(0xFFFFFFFFu));
    Put("Expand", StoredValue::Expand(QStringLiteral("%TABRINE_TEST_VAR%/x")));
    Put("ExpandNumber", StoredValue::Expand(QStringLiteral("%TABRINE_TEST_VAR%")));
    Put("Binary", StoredValue::Bytes(QByteArray("\x05\x00\x00\x00", 4)));
    Put("None", StoredValue());

    const QString def = QStringLiteral("default");
    const struct {
        const char* name;
        QString asText;        // ReadString with expand true
        QString asRawText;     // ReadString with expand false
        std::uint32_t asNumber; // ReadDword with default 77
    } rows[] = {
        {"Text", "0x1F", "0x1F", 31},
        {"Octal", "017", "017", 15},
        {"Words", "no number", "no number", 0},
        {"Multi", "12;b;c", "12;b;c", 12},
        {"MultiWithGap", "a", "a", 0},
        {"EmptyMulti", "", "", 0},
        {"AllOnes", "4294967295", "4294967295", 0xFFFFFFFFu},
        {"Expand", "expanded/x", "%TABRINE_TEST_VAR%/x", 0},
        {"ExpandNumber", "expanded", "%TABRINE_TEST_VAR%", 0},
        {"Binary", def, def, 77},
        {"None", def, def, 77},
        {"Missing", def, def, 77},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        const QString name = QString::fromLatin1(row.name);
        EXPECT_EQ(m_key.ReadString(name, def, true), row.asText);
        EXPECT_EQ(m_key.ReadString(name, def, false), row.asRawText);
        EXPECT_EQ(m_key.ReadDword(name, 77), row.asNumber);
    }

    // A text value is always expanded before it is read as a number.
    qputenv("TABRINE_TEST_VAR", "0x10");
    EXPECT_EQ(m_key.ReadDword(QStringLiteral("ExpandNumber"), 77), 16u);
}

TEST_F(RegistryKeyTest, AKeyGivenAStoreUsesOnlyThatStore)
{
    const auto given = platform::MakeMemorySettingsStore();
    RegistryKey key(kPath, true, given);
    ASSERT_TRUE(key.IsOpen());
    ASSERT_TRUE(key.WriteString(QStringLiteral("Given"), QStringLiteral("yes")));
    Put("Current", StoredValue::String(QStringLiteral("no")));

    EXPECT_EQ(given->ReadValue(kPath, QStringLiteral("Given"))->text, QStringLiteral("yes"));
    EXPECT_FALSE(platform::CurrentSettingsStore().ReadValue(kPath, QStringLiteral("Given")));
    EXPECT_EQ(key.ReadString(QStringLiteral("Current"), QStringLiteral("missing"), false), QStringLiteral("missing"));

    // A copy and its value walk stay with the store, also after a reopen.
    RegistryKey copy = key;
    ASSERT_TRUE(copy.Open(kPath, false));
    QStringList names;
    for (auto it = copy.GetValueIterator(); it.Next();)
        names << it.GetName() + u'=' + it.GetValue();
    EXPECT_EQ(names, QStringList{QStringLiteral("Given=yes")});
}

TEST(ParseUnsigned32, FollowsWcstoulInBaseZeroOnThirtyTwoBits)
{
    const struct {
        const char* text;
        std::uint32_t expected;
    } rows[] = {
        {"12", 12}, {"0x1F", 31}, {"0X1f", 31}, {"017", 15}, {"0", 0}, {"", 0},
        {"abc", 0}, {"  \t\n42", 42}, {"+7", 7}, {"- 7", 0}, {"+-7", 0},
        // stops at the first character that is no digit of the base
        {"08", 0}, {"0779", 63}, {"1e3", 1}, {"12abc", 12}, {"0x", 0}, {"0xg", 0}, {"0x1g", 1},
        // negative numbers wrap, magnitudes beyond 32 bits saturate
        {"-1", 0xFFFFFFFFu}, {"-0x10", 0xFFFFFFF0u}, {"-4294967295", 1},
        {"4294967295", 0xFFFFFFFFu}, {"0xffffffff", 0xFFFFFFFFu}, {"4294967296", 0xFFFFFFFFu},
        {"-4294967296", 0xFFFFFFFFu}, {"99999999999999999999999999", 0xFFFFFFFFu},
        {"0x00000000000000000001", 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ParseUnsigned32(QString::fromLatin1(row.text)), row.expected);
    }
    // Digits of other scripts are not digits here.
    EXPECT_EQ(ParseUnsigned32(QStringLiteral("\u0661\u0662")), 0u);
    EXPECT_EQ(ParseUnsigned32(QStringLiteral("\uFF11")), 0u);
}

TEST(ExpandEnvironmentStrings, ExpandsSetVariablesAndKeepsEverythingElse)
{
    qputenv("TABRINE_TEST_VAR", "value");
    qunsetenv("TABRINE_UNSET_VAR");
    const struct {
        const char* text;
        const char* expected;
    } rows[] = {
        {"%TABRINE_TEST_VAR%", "value"},
        {"a%TABRINE_TEST_VAR%b%TABRINE_TEST_VAR%c", "avaluebvaluec"},
        {"%TABRINE_UNSET_VAR%", "%TABRINE_UNSET_VAR%"},
        {"%TABRINE_UNSET_VAR%TABRINE_TEST_VAR%", "%TABRINE_UNSET_VARvalue"},
        {"100%", "100%"},
        {"%%", "%%"},
        {"%%TABRINE_TEST_VAR%", "%value"},
        {"no references", "no references"},
        {"", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.text);
        EXPECT_EQ(ExpandEnvironmentStrings(QString::fromLatin1(row.text)), QString::fromLatin1(row.expected));
    }
}

TEST_F(RegistryKeyTest, ValueIteratorWalksValuesInStoredOrder)
{
    EXPECT_FALSE(m_key.GetValueIterator().Next()) << "a key with no values";
    RegistryKey closed;
    EXPECT_FALSE(closed.GetValueIterator().Next()) << "no key";

    Put("Setup 1", StoredValue::String(QStringLiteral("Live")));
    Put("Setup 2", StoredValue::Expand(QStringLiteral("%TABRINE_TEST_VAR%")));
    Put("Setup 3", StoredValue::Multi({QStringLiteral("first"), QStringLiteral("second")}));
    Put("Setup 4", StoredValue::Number(4));
    auto it = m_key.GetValueIterator();
    QStringList seen;
    while (it.Next())
        seen << it.GetName() + u'=' + it.GetValue();
    EXPECT_EQ(seen, (QStringList{"Setup 1=Live", "Setup 2=%TABRINE_TEST_VAR%", "Setup 3=first", "Setup 4="}));
    EXPECT_FALSE(it.Next()) << "stays done";
}

} // namespace
