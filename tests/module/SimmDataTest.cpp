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
        {"presets", ObjectPreset, 512}, {"instruments", ObjectInstrument, 0}, {"arps", ObjectArp, 100},
        {"setups", ObjectSetup, 64},    {"demos", ObjectDemo, 0},             {"riffs", ObjectRiff, 0},
        {"kind 0", ObjectKind(0), 0},   {"kind 7", ObjectKind(7), 0},         {"kind -1", ObjectKind(-1), 0},
    };
    for (const CountCase& c : counts) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(user.GetCount(c.kind), c.count);
        if (c.kind >= ObjectPreset && c.kind <= ObjectRiff) {
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
        {"last arp", ObjectArp, 99, true},
        {"one past the arps", ObjectArp, 100, false},
        {"negative index", ObjectPreset, -1, false},
        {"no demos", ObjectDemo, 0, false},
        {"kind 7", ObjectKind(7), 0, false},
        {"kind 0", ObjectKind(0), 0, false},
    };
    for (const SetCase& c : sets) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(user.SetName(c.kind, c.index, QStringLiteral("Name")), c.stored);
        EXPECT_EQ(user.GetName(c.kind, c.index),
                  c.stored ? QStringLiteral("Name")
                  : (c.kind >= ObjectPreset && c.kind <= ObjectRiff) ? QString()
                                                                     : QStringLiteral("(not instld)"));
    }
    EXPECT_EQ(user.GetName(ObjectPreset, 512), QString());
    EXPECT_EQ(user.GetName(ObjectKind(7), 0), u"(not instld)");
}

TEST(SimmData, NamesAreCutToSixteenUnits)
{
    _SimmData rom(4, 2, 0, 0, 0, 0, 0, 1);
    rom.SetName(ObjectPreset, 0, QStringLiteral("ABCDEFGHIJKLMNOPQRST"));
    EXPECT_EQ(rom.GetName(ObjectPreset, 0), u"ABCDEFGHIJKLMNOP");

    // A character outside the BMP straddling the cut is dropped whole.
    const QString fifteenAndClef = QStringLiteral("123456789012345") + QString::fromUcs4(U"\U0001D11E");
    rom.SetName(ObjectPreset, 1, fifteenAndClef + QStringLiteral("x"));
    EXPECT_EQ(rom.GetName(ObjectPreset, 1), u"123456789012345");

    // Resize empties every slot; absurd counts are bounded.
    _SimmData::SimmNameSet set(ObjectPreset, 3);
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
