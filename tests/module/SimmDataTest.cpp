#include "core/RefCounted.h"
#include "module/SimmData.h"

#include <gtest/gtest.h>

namespace {

TEST(SimmData, SetsAreSizedPerKindAndBoundsAreKept)
{
    // The user bank as the connect code builds it.
    _SimmData user(0, 512, 0, 100, 64, 0, 0, 0);
    EXPECT_EQ(user.GetSimmId(), 0);
    EXPECT_EQ(user.GetFlag(), 0);

    struct CountCase {
        const char* name;
        ObjectKind kind;
        int count;
    };
    const CountCase counts[] = {
        {"presets", OBJECT_PRESET, 512}, {"instruments", OBJECT_INSTRUMENT, 0}, {"arps", OBJECT_ARP, 100},
        {"setups", OBJECT_SETUP, 64},    {"demos", OBJECT_DEMO, 0},             {"riffs", OBJECT_RIFF, 0},
        {"kind 0", ObjectKind(0), 0},   {"kind 7", ObjectKind(7), 0},         {"kind -1", ObjectKind(-1), 0},
    };
    for (const CountCase& c : counts) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(user.GetCount(c.kind), c.count);
        if (c.kind >= OBJECT_PRESET && c.kind <= OBJECT_RIFF) {
            ASSERT_NE(user.GetNameSet(c.kind), nullptr);
            EXPECT_EQ(user.GetNameSet(c.kind)->GetKind(), int(c.kind));
        } else {
            EXPECT_EQ(user.GetNameSet(c.kind), nullptr);
        }
    }

    struct SetCase {
        const char* name;
        ObjectKind kind;
        int index;
        bool stored;
    };
    const SetCase sets[] = {
        {"last arp", OBJECT_ARP, 99, true},
        {"one past the arps", OBJECT_ARP, 100, false},
        {"negative index", OBJECT_PRESET, -1, false},
        {"no demos", OBJECT_DEMO, 0, false},
        {"kind 7", ObjectKind(7), 0, false},
        {"kind 0", ObjectKind(0), 0, false},
    };
    for (const SetCase& c : sets) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(user.SetName(c.kind, c.index, QStringLiteral("Name")), c.stored);
        EXPECT_EQ(user.GetName(c.kind, c.index),
                  c.stored ? QStringLiteral("Name")
                  : (c.kind >= OBJECT_PRESET && c.kind <= OBJECT_RIFF) ? QString()
                                                                     : QStringLiteral("(not instld)"));
    }
    EXPECT_EQ(user.GetName(OBJECT_PRESET, 512), QString());
    EXPECT_EQ(user.GetName(ObjectKind(7), 0), u"(not instld)");
}

TEST(SimmData, NamesAreCutToSixteenUnits)
{
    _SimmData rom(4, 2, 0, 0, 0, 0, 0, 1);
    rom.SetName(OBJECT_PRESET, 0, QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    EXPECT_EQ(rom.GetName(OBJECT_PRESET, 0), u"ABCDEFGHIJKLMNOP");

    // A character outside the BMP straddling the cut is dropped whole.
    const QString fifteenAndClef = QStringLiteral("123456789012345") + QString::fromUcs4(U"\U0001D11E");
    rom.SetName(OBJECT_PRESET, 1, fifteenAndClef + QStringLiteral("x"));
    EXPECT_EQ(rom.GetName(OBJECT_PRESET, 1), u"123456789012345");

    // Resize empties every slot; absurd counts are bounded.
    _SimmData::SimmNameSet set(OBJECT_PRESET, 3);
    set.SetName(2, QStringLiteral("kept?"));
    set.Resize(4);
    EXPECT_EQ(set.GetCount(), 4);
    EXPECT_TRUE(set.GetName(2).isEmpty());
    set.Resize(-5);
    EXPECT_EQ(set.GetCount(), 0);
    set.Resize(1 << 30);
    EXPECT_EQ(set.GetCount(), _SimmData::kMaxCount);
}

// Counts deletions so the test can see the last reference delete the object.
class CountedSimmData : public _SimmData {
public:
    explicit CountedSimmData(int* deleted) : _SimmData(3, 10, 10, 0, 0, 0, 0, 1), m_deleted(deleted) {}
    ~CountedSimmData() override { ++*m_deleted; }

private:
    int* m_deleted;
};

TEST(SimmData, LastReferenceDeletesTheObject)
{
    int deleted = 0;
    {
        TPtr<_SimmData> first(new CountedSimmData(&deleted));
        EXPECT_EQ(first->RefCount(), 1);
        {
            TPtr<_SimmData> second = first;
            EXPECT_EQ(first->RefCount(), 2);
        }
        EXPECT_EQ(first->RefCount(), 1);
        EXPECT_EQ(deleted, 0);
        first = TPtr<_SimmData>();
        EXPECT_EQ(deleted, 1);
    }
    EXPECT_EQ(deleted, 1);
}

} // namespace
