// Bank map dumps against the simulated module: raw and decoded, both ways,
// through a file, and what a short or refused reply does.
#include "DumpSimTest.h"

#include "module/Proteus.h"

#include <QTemporaryDir>

namespace dumptest {
namespace {

constexpr char kRequest[] = "F0 18 0F 00 55 17 F7";

/// F0 18 0F dd 55 16, values as 14-bit pairs, F7 - written out here, not by the editor.
QByteArray BankMapMessage(int deviceId, const std::vector<int>& values)
{
    QByteArray m = sim::Hex("F0 18 0F 00 55 16");
    m[3] = char(deviceId);
    for (int v : values) {
        const int w = v < 0 ? v + 0x4000 : v;
        m.append(char(w & 0x7F));
        m.append(char((w >> 7) & 0x7F));
    }
    m.append(char(0xF7));
    return m;
}

std::vector<int> StartMap()
{
    // The profile's start values: the first table counts, the second is all -1.
    std::vector<int> v(256, -1);
    for (int i = 0; i < 128; ++i)
        v[std::size_t(i)] = i;
    return v;
}

class BankMapTest : public DumpSimTest {
protected:
    std::vector<int> ModuleMap()
    {
        return OnModule([](sim::Module& m) { return m.state().bankMap; });
    }
    void SetModuleMap(const std::vector<int>& v)
    {
        OnModule([&](sim::Module& m) { m.state().bankMap = v; });
    }
};

TEST_F(BankMapTest, DownloadKeepsTheReplyWhole)
{
    ByteBlockList blocks{MakeByteBlock(QByteArray("kept"))};
    ASSERT_TRUE(proteus->DownloadBankMap(blocks));
    EXPECT_EQ(ToModule(), Messages{sim::Hex(kRequest)});
    EXPECT_EQ(ToMessages(blocks), (Messages{QByteArray("kept"), BankMapMessage(0, StartMap())}));
    EXPECT_EQ(blocks.back()->Size(), 519u);
}

TEST_F(BankMapTest, RoundTripModuleFileModuleIsByteExact)
{
    std::vector<int> map = StartMap();
    map[3] = 8191;
    map[130] = -8192;
    map[255] = 4;
    SetModuleMap(map);
    ByteBlockList downloaded;
    ASSERT_TRUE(proteus->DownloadBankMap(downloaded));

    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("BankMap.sysex"));
    ASSERT_TRUE(proteus->WriteSysExFile(path, downloaded, OleProps()));
    ByteBlockList read;
    OleProps props;
    ASSERT_TRUE(proteus->ReadSysExFile(path, read, props));
    EXPECT_EQ(ToMessages(read), ToMessages(downloaded));

    SetModuleMap(std::vector<int>(256, 0));
    ASSERT_TRUE(proteus->UploadBankMap(read));
    EXPECT_EQ(ToModule().back(), BankMapMessage(0, map));
    EXPECT_EQ(ModuleMap(), map);
}

TEST_F(BankMapTest, UploadGoesWithTheCurrentDeviceId)
{
    // A map saved from a module under id 0 goes to this one under id 9.
    StartDumps({.deviceId = 9});
    std::vector<int> map(256, 7);
    ByteBlockList blocks = ToBlocks({BankMapMessage(0, map)});
    ASSERT_TRUE(proteus->UploadBankMap(blocks));
    EXPECT_EQ(ToModule(), Messages{BankMapMessage(9, map)});
    EXPECT_EQ(ModuleMap(), map);
    // The caller's block is left as it was.
    EXPECT_EQ(ToMessages(blocks), Messages{BankMapMessage(0, map)});
}

TEST_F(BankMapTest, GetDecodesSignedValuesAndSetSendsThemBackUnchanged)
{
    std::vector<int> map = StartMap();
    map[0] = -1;     // 7F 7F
    map[200] = 300;
    SetModuleMap(map);
    std::int16_t values[256] = {};
    ASSERT_TRUE(proteus->GetBankMap(values));
    for (int i = 0; i < 256; ++i)
        ASSERT_EQ(values[i], map[std::size_t(i)]) << i;
    const QByteArray received = BankMapMessage(0, map);

    SetModuleMap(std::vector<int>(256, 0));
    ASSERT_TRUE(proteus->SetBankMap(values));
    EXPECT_EQ(ToModule().back(), received);
    EXPECT_EQ(ModuleMap(), map);
}

TEST_F(BankMapTest, UploadRefusesAnythingButOneBankMapAndSendsNothing)
{
    const QByteArray good = BankMapMessage(0, StartMap());
    QByteArray highByte = good;
    highByte[300] = char(0x81);
    QByteArray otherCommand = good;
    otherCommand[5] = 0x1C;
    const struct {
        const char* name;
        Messages blocks;
    } rows[] = {
        {"no block", {}},
        {"two blocks", {good, good}},
        {"518 bytes", {good.left(517) + char(0xF7)}},
        {"520 bytes", {good.chopped(1) + sim::Hex("00 F7")}},
        {"another command", {otherCommand}},
        {"status byte inside", {highByte}},
        {"no end", {good.chopped(1) + char(0x00)}},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({});
        ByteBlockList blocks = ToBlocks(row.blocks);
        EXPECT_FALSE(proteus->UploadBankMap(blocks));
        EXPECT_TRUE(ToModule().empty());
        EXPECT_TRUE(Log().Contains(QStringLiteral("Bank map upload refused")));
    }
    // A value outside 14 bits is refused before anything is built.
    std::int16_t values[256] = {};
    values[17] = 9000;
    EXPECT_FALSE(proteus->SetBankMap(values));
    EXPECT_TRUE(ToModule().empty());
}

TEST_F(BankMapTest, FailedDownloadsStoreNothing)
{
    const struct {
        const char* name;
        sim::Fault fault;
        const char* log;
    } rows[] = {
        {"no values (55 16 F7)", sim::Fault::Truncate(6, true).on(0x17), "Bank map reply refused"},
        {"one value short", sim::Fault::Truncate(516, true).on(0x17), "Bank map reply refused"},
        {"reply without its end", sim::Fault::Truncate(300, false).on(0x17), "No response to Bank Map Request"},
        {"module error", sim::Fault::ModuleError(2).on(0x17), "Error received for Bank Map Request"},
        {"silence", sim::Fault::Silence().on(0x17), "No response to Bank Map Request"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        StartDumps({});
        AddFault(row.fault);
        ByteBlockList blocks;
        EXPECT_FALSE(proteus->DownloadBankMap(blocks));
        EXPECT_TRUE(blocks.empty());
        EXPECT_TRUE(Log().Contains(QString::fromLatin1(row.log)));
        std::int16_t values[256];
        std::fill(std::begin(values), std::end(values), std::int16_t(77));
        EXPECT_FALSE(proteus->GetBankMap(values));
        EXPECT_TRUE(std::all_of(std::begin(values), std::end(values), [](std::int16_t v) { return v == 77; }));
        EXPECT_TRUE(Boxes().isEmpty()); // bank map failures are logged only
    }
}

TEST_F(BankMapTest, NotConnectedSendsNothing)
{
    proteus->SetConnected(false);
    ByteBlockList blocks = ToBlocks({BankMapMessage(0, StartMap())});
    EXPECT_FALSE(proteus->DownloadBankMap(blocks));
    EXPECT_FALSE(proteus->UploadBankMap(blocks));
    EXPECT_TRUE(ToModule().empty());
}

} // namespace
} // namespace dumptest
