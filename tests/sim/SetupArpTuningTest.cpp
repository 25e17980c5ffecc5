// The simulated module's setup, arp and tuning dumps: layouts written out by
// hand, the device id found through the section counts, uploads taken back.
#include "sim/Harness.h"
#include "sim/SysExHex.h"

#include <QFile>

#include <gtest/gtest.h>

using sim::Hex;

namespace {

std::unique_ptr<sim::Harness> Make(const char* json)
{
    QString error;
    auto h = sim::Harness::fromJson(json, &error);
    EXPECT_TRUE(h) << error.toStdString();
    return h;
}

QByteArray Capture(const char* name)
{
    QFile f(qEnvironmentVariable("TABRINE_FIXTURES") + QLatin1Char('/') + QLatin1String(name));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly)) << name;
    return f.readAll();
}

int V14(const QByteArray& m, int at) { return (uchar(m[at]) | uchar(m[at + 1]) << 7); }

QByteArray OnlyReply(sim::Harness& h, const QByteArray& request)
{
    const std::vector<QByteArray> replies = h.exchange(request);
    EXPECT_EQ(replies.size(), 1u) << h.transcript().dump().toStdString();
    return replies.empty() ? QByteArray() : replies.front();
}

} // namespace

TEST(SimSetupDump, LayoutFollowsTheProfileCountsAndCurrentValues)
{
    struct Row {
        const char* name;
        const char* profile;
        int size;
        int deviceIdAt;  // 36 + 2 * S1 + 4
        int channels;
    };
    const Row rows[] = {
        // 36 + 2 * (19 + 26 + 16 + 21 + 3 + 32 * 9) + (4 + 24 * 2 * 2) + (4 + 16 * 3 * 2) + F7
        {"full", R"({"base": "full", "deviceId": 9})", 983, 78, 32},
        {"five more master values", R"({"base": "mid", "deviceId": 9})", 993, 88, 32},
        {"16 channels, 12 controllers", R"({"base": "audity", "deviceId": 9})", 679, 70, 16},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto h = Make(row.profile);
        // MASTER_TEMPO (257) = 200 first, then the dump.
        h->exchange(Hex("F0 18 0F 09 55 01 02 01 02 48 01 F7"));
        const QByteArray d = OnlyReply(*h, Hex("F0 18 0F 09 55 1D F7"));
        ASSERT_EQ(d.size(), row.size);
        EXPECT_EQ(d.left(6), Hex("F0 18 0F 09 55 1C"));
        EXPECT_EQ(V14(d, 16), row.channels);
        EXPECT_EQ(d.mid(36, 2), Hex("48 01"));
        EXPECT_EQ(d.mid(row.deviceIdAt, 2), Hex("09 00"));
        EXPECT_EQ(d.mid(20, 16), QByteArray("Default Setup   "));
        EXPECT_EQ(uchar(d.back()), 0xF7);
    }
}

TEST(SimSetupDump, UploadTakesValuesAndTheCountedDeviceId)
{
    // The real capture: S1 = 11, so the device id sits at 62-63 and bytes 80-81
    // hold a footswitch controller (399 = 64).
    const QByteArray capture = Capture("a2k-setup.syx");
    ASSERT_EQ(capture.size(), 757);
    auto h = Make(R"({"base": "full", "deviceId": 3})");
    QByteArray upload = capture;
    upload[3] = 3;
    upload[62] = 0x11; // device id 17
    EXPECT_TRUE(h->exchange(upload).empty());
    EXPECT_EQ(h->module().deviceId(), 17);
    EXPECT_EQ(h->module().parameterValue(399), 64);
    EXPECT_EQ(h->module().parameterValue(257), 120);
    // The module answers with the dump it was given, under its new id.
    QByteArray expected = upload;
    expected[3] = 0x11;
    EXPECT_EQ(OnlyReply(*h, Hex("F0 18 0F 11 55 1D F7")), expected);
}

TEST(SimSetupDump, CaptureProfileServesTheRealDumpAndRefusesBadUploads)
{
    auto h = Make(R"({"base": "a2k", "deviceId": 0})");
    EXPECT_EQ(OnlyReply(*h, Hex("F0 18 0F 00 55 1D F7")), Capture("a2k-setup.syx"));
    // Counts that claim more than the message holds: refused, nothing changed.
    QByteArray bad = Capture("a2k-setup.syx");
    bad[18] = 0x7F; // 127 values per channel
    EXPECT_EQ(h->exchange(bad), std::vector<QByteArray>{Hex("F0 18 0F 00 55 70 1C 00 03 00 F7")});
    EXPECT_EQ(OnlyReply(*h, Hex("F0 18 0F 00 55 1D F7")), Capture("a2k-setup.syx"));
    auto none = Make(R"({"base": "minimal"})");
    EXPECT_EQ(none->exchange(Hex("F0 18 0F 00 55 1D F7")), std::vector<QByteArray>{Hex("F0 18 0F 00 55 70 1D 00 01 00 F7")});
}

TEST(SimArpDump, ServesCapturesBuildsOthersAndStoresUploads)
{
    auto h = Make(R"({"base": "mid"})");
    // ROM arp 0 of SIMM 14 is the real capture.
    EXPECT_EQ(OnlyReply(*h, Hex("F0 18 0F 00 55 19 00 00 0E 00 F7")), Capture("xl7-arp-0000.syx"));
    // A user arp: arp 5, 32 steps x 4, loop 0, its name, 256 table bytes, SIMM 0.
    const QByteArray user = OnlyReply(*h, Hex("F0 18 0F 00 55 19 05 00 00 00 F7"));
    ASSERT_EQ(user.size(), 285);
    EXPECT_EQ(user.left(14), Hex("F0 18 0F 00 55 18 05 00 20 00 04 00 00 00"));
    EXPECT_EQ(user.mid(14, 12), QByteArray("USR Arp 005 "));
    EXPECT_EQ(user.mid(282), Hex("00 00 F7"));
    // The capture uploaded as user arp 12 is kept, name and all.
    QByteArray upload = Capture("xl7-arp-0000.syx");
    upload[6] = 12;
    EXPECT_TRUE(h->exchange(upload).empty());
    EXPECT_EQ(OnlyReply(*h, Hex("F0 18 0F 00 55 19 0C 00 00 00 F7")), upload);
    EXPECT_EQ(h->module().objectName(sim::ObjectKind::Arp, 0, 12), QByteArray("LILY            "));
    // A table that runs past the message is refused.
    upload[8] = 0x21;
    EXPECT_EQ(h->exchange(upload), std::vector<QByteArray>{Hex("F0 18 0F 00 55 70 18 00 03 00 F7")});
}

TEST(SimTuningDump, AnswersWithChecksumAndTakesUploadsByPolicy)
{
    auto h = Make(R"({"base": "full", "deviceId": 2})");
    const QByteArray t = OnlyReply(*h, Hex("F0 7E 02 08 00 0C F7"));
    ASSERT_EQ(t.size(), 408);
    EXPECT_EQ(t.left(6), Hex("F0 7E 02 08 01 0C"));
    EXPECT_EQ(t.mid(6, 16), QByteArray("User Tuning 13  "));
    int x = 0;
    for (int i = 1; i < 406; ++i)
        x ^= uchar(t[i]);
    EXPECT_EQ(uchar(t[406]), x & 0x7F);
    EXPECT_TRUE(h->exchange(Hex("F0 7E 02 08 00 0D F7")).empty()); // no tuning 13

    // Upload into tuning 3 with the forced checksum 0x7F: taken by "accept7F", ignored by "strict".
    QByteArray upload = t;
    upload[5] = 3;
    upload[22] = 0x40;
    upload[406] = 0x7F;
    for (const char* profile : {R"({"base": "full", "deviceId": 2})", R"({"base": "mid", "deviceId": 2})"}) {
        SCOPED_TRACE(profile);
        auto m = Make(profile);
        EXPECT_TRUE(m->exchange(upload).empty());
        const QByteArray back = OnlyReply(*m, Hex("F0 7E 02 08 00 03 F7"));
        EXPECT_EQ(back.mid(6, 400) == upload.mid(6, 400), QByteArray(profile).contains("full"));
    }
}
