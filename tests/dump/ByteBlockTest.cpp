#include "dump/ByteBlock.h"

#include <gtest/gtest.h>

namespace {

TEST(ByteBlock, GrowsToTwiceTheCapacityOrWhatIsNeeded)
{
    struct Step {
        const char* name;
        unsigned append;
        unsigned capacity;
        unsigned size;
    };
    // One block, appended to step by step.
    const Step steps[] = {
        {"nothing appended to an empty block", 0, 0, 0},
        {"first append takes exactly its length", 4, 4, 4},
        {"twice the capacity when that is enough", 2, 8, 6},
        {"size + length equal to the capacity still grows", 2, 16, 8},
        {"below the capacity no growth", 3, 16, 11},
        {"what is needed when twice is not enough", 40, 51, 51},
    };
    _ByteBlock block;
    unsigned char value = 0;
    QByteArray expected;
    for (const auto& step : steps) {
        SCOPED_TRACE(step.name);
        QByteArray chunk;
        for (unsigned i = 0; i < step.append; ++i)
            chunk.append(char(value++));
        ASSERT_TRUE(block.Append(chunk));
        expected += chunk;
        EXPECT_EQ(block.Capacity(), step.capacity);
        EXPECT_EQ(block.Size(), step.size);
        EXPECT_EQ(block.ToByteArray(), expected);
    }
}

TEST(ByteBlock, ClearEmptiesAndTheBlockFillsAgain)
{
    _ByteBlock block;
    block.Clear(); // harmless on an empty block
    EXPECT_EQ(block.Data(), nullptr);

    block.Append(QByteArrayView("\xF0\x01\xF7", 3));
    block.Clear();
    EXPECT_EQ(block.Data(), nullptr);
    EXPECT_EQ(block.Capacity(), 0u);
    EXPECT_EQ(block.Size(), 0u);

    block.Append(QByteArrayView("\xF0\xF7", 2));
    EXPECT_EQ(block.ToByteArray(), QByteArray("\xF0\xF7", 2));
    EXPECT_EQ(block.Capacity(), 2u);
}

} // namespace
