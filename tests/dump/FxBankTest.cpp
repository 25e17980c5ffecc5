// The FX bank: the messages built from the values the connection holds, with
// and without controllers M-P, and a value that cannot travel.
#include "DumpTestSupport.h"

#include "module/ParamRecord.h"

using dumptest::Blocks;
using dumptest::DumpSimTest;
using sim::Hex;

namespace {

class FxBank : public DumpSimTest {
protected:
    void SetValues()
    {
        proteus->FindParameter(MULTIMODE_FX_CTRL_CHANNEL)->value = -3;
        for (int i = 0; i < 16; ++i)
            proteus->FindParameter(1153 + i)->value = i + 1;
        for (int id = 915; id <= 922; ++id)
            proteus->FindParameter(id)->value = id - 895; // 20 ... 27
        for (int id = 924; id <= 927; ++id)
            proteus->FindParameter(id)->value = id - 894; // 30 ... 33
        proteus->FindParameter(PRESET_KBD_TUNE)->value = 99;  // not part of the bank
        for (int id = 967; id <= 970; ++id)
            proteus->FindParameter(id)->value = -1;
    }
};

const char kChannel[] = "F0 18 0F 00 55 01 02 0B 01 7D 7F F7"; // 139 = value of 140 (-3)
const char kEffects[] = "F0 18 0F 00 55 10 13 7F 7F 10 00"
                        "01 00 02 00 03 00 04 00 05 00 06 00 07 00 08 00"
                        "09 00 0A 00 0B 00 0C 00 0D 00 0E 00 0F 00 10 00"
                        "00 00 F7";
const char kControllers[] = "F0 18 0F 00 55 01 18"
                            "13 07 14 00 14 07 15 00 15 07 16 00 16 07 17 00"
                            "17 07 18 00 18 07 19 00 19 07 1A 00 1A 07 1B 00"
                            "1C 07 1E 00 1D 07 1F 00 1E 07 20 00 1F 07 21 00 F7";
const char kControllersMtoP[] = "F0 18 0F 00 55 01 08 47 07 7F 7F 48 07 7F 7F 49 07 7F 7F 4A 07 7F 7F F7";

} // namespace

TEST_F(FxBank, BuildsTheEffectsMessagesFromTheHeldValues)
{
    struct Row {
        const char* name;
        bool sixteenControllers;
        std::vector<const char*> messages;
    };
    const Row rows[] = {
        {"12 controllers", false, {kChannel, kEffects, kControllers}},
        {"16 controllers", true, {kChannel, kEffects, kControllers, kControllersMtoP}},
    };
    SetValues();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        proteus->SetCapabilities(row.sixteenControllers ? dumptest::kAllCapabilities
                                                        : dumptest::kAllCapabilities & ~CAP_16_CONTROLLERS);
        ByteBlockList blocks = Blocks({Hex("F0 01 F7")});
        const std::size_t sent = SentCount();
        ASSERT_TRUE(proteus->CreateFXSysexBank(blocks));
        ASSERT_EQ(blocks.size(), row.messages.size() + 1);
        EXPECT_EQ(dumptest::Bytes(blocks, 0), Hex("F0 01 F7")) << "appended after what the list held";
        for (std::size_t i = 0; i < row.messages.size(); ++i)
            EXPECT_EQ(dumptest::Bytes(blocks, i + 1), Hex(row.messages[i])) << i;
        EXPECT_EQ(SentCount(), sent);
    }

    // A value that cannot travel in 14 bits: no bank at all.
    proteus->FindParameter(1160)->value = 9000;
    ByteBlockList blocks;
    EXPECT_FALSE(proteus->CreateFXSysexBank(blocks));
    EXPECT_TRUE(blocks.empty());
}
