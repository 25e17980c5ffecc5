// Fault injection: each kind of fault on a parameter value request, and how rules
// pick the message they act on.
#include "sim/Harness.h"
#include "sim/SysExHex.h"

#include <gtest/gtest.h>

using sim::Delivery;
using sim::EntryKind;
using sim::Fault;
using sim::Hex;
using sim::Micros;
using sim::Millis;

namespace {

// 257 (01 02) reads 96 (60 00) on the full profile; 1 ms processing.
const char* const kRequest = "F0 18 0F 00 55 02 01 01 02 F7";
const char* const kReply = "F0 18 0F 00 55 01 02 01 02 60 00 F7";
// 3.2 ms for the request, 1 ms processing, 3.84 ms for the 12-byte reply.
constexpr sim::SimTime kReplyArrives = Micros(3200 + 1000 + 3840);

std::unique_ptr<sim::Harness> Full()
{
    QString error;
    auto h = sim::Harness::fromJson(R"({"base": "full", "timing": {"processingMicros": {"default": 1000}}})", &error);
    EXPECT_TRUE(h) << error.toStdString();
    return h;
}

} // namespace

TEST(SimFault, EachKindChangesTheAnswer)
{
    struct Row {
        const char* name;
        Fault fault;
        std::vector<Delivery> expected;
    };
    const Row rows[] = {
        {"none", Fault::Silence().on(0x7F), {{kReplyArrives, EntryKind::Message, Hex(kReply)}}},
        {"silence", Fault::Silence(), {}},
        {"late reply", Fault::Late(Millis(1500)), {{kReplyArrives + Millis(1500), EntryKind::Message, Hex(kReply)}}},
        {"module error", Fault::ModuleError(7),
         {{Micros(4200 + 11 * 320), EntryKind::Message, Hex("F0 18 0F 00 55 70 02 00 07 00 F7")}}},
        {"wrong device id", Fault::WrongDeviceId(9),
         {{kReplyArrives, EntryKind::Message, Hex("F0 18 0F 09 55 01 02 01 02 60 00 F7")}}},
        {"truncated without F7", Fault::Truncate(8),
         {{Micros(4200 + 8 * 320), EntryKind::Message, Hex("F0 18 0F 00 55 01 02 01")}}},
        {"truncated with F7", Fault::Truncate(8, true),
         {{Micros(4200 + 9 * 320), EntryKind::Message, Hex("F0 18 0F 00 55 01 02 01 F7")}}},
        {"over-long", Fault::OverLong(3),
         {{Micros(4200 + 15 * 320), EntryKind::Message, Hex("F0 18 0F 00 55 01 02 01 02 60 00 00 01 02 F7")}}},
        {"data byte >= 0x80", Fault::HighDataByte(9, 0x90),
         {{kReplyArrives, EntryKind::Message, Hex("F0 18 0F 00 55 01 02 01 02 90 00 F7")}}},
        {"disconnect", Fault::Disconnect(), {{Micros(4200), EntryKind::Disconnect, QByteArray()}}},
        {"input error", Fault::InputError(Hex("F0 18 0F 00")),
         {{Micros(4200 + 4 * 320), EntryKind::InputError, Hex("F0 18 0F 00")}}},
        {"unsolicited first", Fault::Unsolicited(Hex("F1 05")),
         {{Micros(4200 + 2 * 320), EntryKind::Message, Hex("F1 05")},
          {kReplyArrives + Micros(2 * 320), EntryKind::Message, Hex(kReply)}}},
        {"doubled", Fault::Doubled(),
         {{kReplyArrives, EntryKind::Message, Hex(kReply)}, {kReplyArrives + Micros(12 * 320), EntryKind::Message, Hex(kReply)}}},
        {"error with another id", Fault::ModuleError(1),
         {{Micros(4200 + 11 * 320), EntryKind::Message, Hex("F0 18 0F 00 55 70 02 00 01 00 F7")}}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto h = Full();
        ASSERT_TRUE(h);
        h->module().addFault(row.fault);
        h->send(Hex(kRequest));
        const std::vector<Delivery> got = h->runner().runUntilIdle();
        ASSERT_EQ(got.size(), row.expected.size()) << h->transcript().dump().toStdString();
        for (std::size_t i = 0; i < got.size(); ++i) {
            EXPECT_EQ(got[i].kind, row.expected[i].kind) << i;
            EXPECT_EQ(got[i].bytes, row.expected[i].bytes) << i;
            EXPECT_EQ(got[i].at, row.expected[i].at) << i;
        }
    }
}

// Faults that take the message away leave the module's state as it was.
TEST(SimFault, LostEditsChangeNothing)
{
    for (const Fault& f : {Fault::Silence(), Fault::ModuleError(3), Fault::Disconnect(), Fault::InputError()}) {
        SCOPED_TRACE(sim::FaultKindName(f.kind));
        auto h = Full();
        ASSERT_TRUE(h);
        h->module().addFault(f);
        h->exchange(Hex("F0 18 0F 00 55 01 02 01 02 48 01 F7")); // 257 = 200
        EXPECT_EQ(h->module().parameterValue(257), 96);
        EXPECT_TRUE(h->transcript()[0].note.contains(QLatin1String("fault"))) << h->transcript().dump().toStdString();
    }
}

// After a disconnect the module hears nothing until it is reconnected.
TEST(SimFault, DisconnectLosesLaterMessages)
{
    auto h = Full();
    ASSERT_TRUE(h);
    h->module().addFault(Fault::Disconnect().on(0x02));
    h->send(Hex(kRequest));
    h->send(Hex("F0 7E 00 06 01 F7")); // already on its way when the cable goes
    h->runner().runUntilIdle();
    EXPECT_EQ(h->exchange(Hex("F0 7E 00 06 01 F7")), std::vector<QByteArray>{});
    EXPECT_FALSE(h->module().connected());
    EXPECT_EQ(h->transcript()[1].note, QStringLiteral("lost: disconnected"));
    h->module().reconnectAt(h->clock().now());
    h->runner().runUntilIdle();
    EXPECT_EQ(h->exchange(Hex("F0 7E 00 06 01 F7")).size(), 1u);
}

// A rule matches by route, subject and occurrence, and fires at most `times` times.
TEST(SimFault, RulesPickTheirMessage)
{
    // Requests in order: 257, 258, 257, 257, identity. A row lists which of them are answered.
    const QByteArray requests[] = {Hex(kRequest), Hex("F0 18 0F 00 55 02 01 02 02 F7"), Hex(kRequest), Hex(kRequest),
                                   Hex("F0 7E 00 06 01 F7")};
    struct Row {
        const char* name;
        Fault fault;
        std::vector<bool> answered;
    };
    const Row rows[] = {
        {"every message", Fault::Silence(), {false, false, false, false, false}},
        {"one route", Fault::Silence().on(0x02), {false, false, false, false, true}},
        {"universal route", Fault::Silence().on(sim::kRouteIdentityRequest), {true, true, true, true, false}},
        {"one subject", Fault::Silence().on(0x02).forSubject(257), {false, true, false, false, true}},
        {"nth of a subject", Fault::Silence().forSubject(257).nth(2), {true, true, false, true, true}},
        {"nth of a route", Fault::Silence().on(0x02).nth(2), {true, false, true, true, true}},
        {"limited", Fault::Silence().on(0x02).limit(2), {false, false, true, true, true}},
        {"subject on another route", Fault::Silence().on(0x04).forSubject(257), {true, true, true, true, true}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        auto h = Full();
        ASSERT_TRUE(h);
        h->module().addFault(row.fault);
        std::vector<bool> answered;
        for (const QByteArray& r : requests)
            answered.push_back(!h->exchange(r).empty());
        EXPECT_EQ(answered, row.answered);
    }
}

// Faults add up on one exchange: a late error reply, and a module error for a universal
// request that names command -1 (7F 7F).
TEST(SimFault, FaultsCombine)
{
    auto h = Full();
    ASSERT_TRUE(h);
    h->module().addFault(Fault::ModuleError(2).on(sim::kRouteIdentityRequest));
    h->module().addFault(Fault::Late(Millis(700)).on(sim::kRouteIdentityRequest));
    h->send(Hex("F0 7E 00 06 01 F7"));
    const std::vector<Delivery> got = h->runner().runUntilIdle();
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].bytes, Hex("F0 18 0F 00 55 70 7F 7F 02 00 F7"));
    // 1.92 ms in, 2 ms processing (identity), 700 ms late, 3.52 ms out
    EXPECT_EQ(got[0].at, Micros(1920 + 2000) + Millis(700) + Micros(11 * 320));
}
