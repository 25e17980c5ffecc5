#include "sim/Profile.h"

#include <gtest/gtest.h>

using sim::Profile;

// Every profile of the data file loads and keeps the rules later tests table over:
// the parameters a capability brings exist exactly when it is on, and the channel
// selectors span the channel count.
TEST(SimProfile, EveryDataFileProfileLoadsConsistently)
{
    const QStringList names = Profile::names();
    ASSERT_TRUE(names.contains(QStringLiteral("full")));
    ASSERT_TRUE(names.contains(QStringLiteral("minimal")));
    for (const QString& name : names) {
        SCOPED_TRACE(name.toStdString());
        QString error;
        const std::optional<Profile> p = Profile::load(name, &error);
        ASSERT_TRUE(p) << error.toStdString();
        EXPECT_EQ(p->identity.revision.size(), 4);
        EXPECT_TRUE(p->channels == 16 || p->channels == 32);
        EXPECT_EQ(p->timing.byteTime(), sim::Micros(320));
        for (int id : {411, 412, 413, 414, 967, 968, 969, 970})
            EXPECT_EQ(p->parameter(id) != nullptr, p->has(QStringLiteral("sixteenControllers"))) << id;
        for (int id : {641, 660, 769, 787, 160, 166, 278, 1025, 1043})
            EXPECT_EQ(p->parameter(id) != nullptr, p->has(QStringLiteral("arpsAndBeats"))) << id;
        ASSERT_TRUE(p->parameter(139));
        EXPECT_EQ(p->parameter(139)->maximum, p->channels - 1);
        ASSERT_TRUE(p->parameter(129));
        EXPECT_EQ(p->parameter(129)->maximum, p->channels - 1);
        ASSERT_TRUE(p->parameter(898));
        EXPECT_EQ(p->parameter(898)->maximum, p->has(QStringLiteral("arpsAndBeats")) ? 23 : 3);
        // No id outside the module's parameter blocks sneaks in through a range row.
        for (const auto& [id, param] : p->parameters) {
            EXPECT_TRUE(id >= 1 && id < 9000) << id;
            EXPECT_LE(param.minimum, param.maximum) << id;
        }
        EXPECT_EQ(p->parameter(410), nullptr);
        EXPECT_EQ(p->parameter(1832), nullptr);
    }
}

TEST(SimProfile, FullProfileHoldsTheWholeParameterTable)
{
    const std::optional<Profile> p = Profile::load(QStringLiteral("full"));
    ASSERT_TRUE(p);
    // 408 table rows plus 129, 139, 897, 898, the six partners outside the tables and 136.
    EXPECT_EQ(p->parameters.size(), 408u + 4u + 6u + 1u);
    EXPECT_EQ(p->parameter(1806)->maximum, 2); // an envelope mode, not caught by a rate/level range
    EXPECT_EQ(p->parameter(1808)->minimum, -100);
    EXPECT_EQ(p->parameter(899)->defaultValue, 'I'); // "Init Preset"
    EXPECT_EQ(p->parameter(914)->defaultValue, ' ');
}

// A literal profile starts from a named one; objects merge, parameter rows add up
// (a later row wins) and start values apply.
TEST(SimProfile, LiteralOverridesItsBase)
{
    QString error;
    const std::optional<Profile> p = Profile::fromJson(R"({
        "base": "minimal",
        "deviceId": 9,
        "identity": { "revision": "3.01" },
        "parameters": [ { "ids": "257", "min": 40, "max": 240, "default": 100 } ],
        "values": { "257": 77 }
    })", &error);
    ASSERT_TRUE(p) << error.toStdString();
    EXPECT_EQ(p->deviceId, 9);
    EXPECT_EQ(p->identity.member, 21);     // from minimal
    EXPECT_EQ(p->identity.revision, "3.01");
    EXPECT_EQ(p->channels, 16);
    EXPECT_EQ(p->parameter(257)->minimum, 40);
    EXPECT_EQ(p->parameter(257)->startValue, 77);
    EXPECT_EQ(p->parameter(258)->maximum, 1); // rows of the base are kept
    EXPECT_FALSE(p->has(QStringLiteral("arpsAndBeats")));
}

TEST(SimProfile, BadProfilesAreRefusedWithAReason)
{
    struct Row {
        const char* name;
        const char* json;
        const char* reason;
    };
    const Row rows[] = {
        {"not json", "{", "offset"},
        {"unknown base", R"({"base": "nonesuch"})", "nonesuch"},
        {"revision length", R"({"identity": {"revision": "2.2"}})", "revision"},
        {"revision type", R"({"identity": {"revision": 226}})", "identity.revision"},
        {"processing time", R"({"timing": {"processingMicros": {"0x02": -5}}})", "0x02"},
        {"device id", R"({"deviceId": 128})", "device id"},
        {"channels", R"({"channels": 24})", "channels"},
        {"ids text", R"({"parameters": [{"ids": "5-3", "min": 0, "max": 1}]})", "5-3"},
        {"range", R"({"parameters": [{"ids": "5", "min": 2, "max": 1}]})", "range"},
        {"scope", R"({"parameters": [{"ids": "5", "min": 0, "max": 1, "scope": "galaxy"}]})", "galaxy"},
        {"policy", R"({"policies": {"unknownParameter": "shrug"}})", "unknownParameter"},
        {"record length", R"({"hardwareConfig": {"recordLength": 4}})", "record length"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QString error;
        EXPECT_FALSE(Profile::fromJson(row.json, &error));
        EXPECT_TRUE(error.contains(QLatin1String(row.reason))) << error.toStdString();
    }
}
