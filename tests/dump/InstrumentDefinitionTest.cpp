// The instrument definition (.ins) export: its text from the module's names,
// controllers and key maps, and the file written whole in Windows-1252.
#include "dump/InstrumentDefinition.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiTestSupport.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

/// A module with a user bank of 3 presets and the Composer ROM (SIMM 4) of 130.
void FillNames(ProteusData& data)
{
    data.hardwareConfig.AddSimm({.simmId = 0, .presets = 3});
    data.hardwareConfig.AddSimm({.simmId = 4, .presets = 130, .flag = 1});
    TPtr<_SimmData> user = new _SimmData(0, 3, 0, 0, 0, 0, 0, 0);
    user->SetName(OBJECT_PRESET, 0, QStringLiteral(" Lead & Pad "));
    user->SetName(OBJECT_PRESET, 1, QStringLiteral(":Scratch"));
    user->SetName(OBJECT_PRESET, 2, QStringLiteral("Grand"));
    data.AddSimmData(user);
    TPtr<_SimmData> rom = new _SimmData(4, 130, 0, 0, 0, 0, 0, 1);
    for (int i = 0; i < 130; ++i)
        rom->SetName(OBJECT_PRESET, i, i == 129 ? QStringLiteral("Grand") : QStringLiteral(":Rom %1").arg(i));
    data.AddSimmData(rom);
}

QStringList Lines(const QString& text)
{
    EXPECT_TRUE(text.endsWith(QStringLiteral("\r\n\r\n")));
    EXPECT_FALSE(QString(text).remove(QStringLiteral("\r\n")).contains(u'\n')); // every line ends in CR LF
    QStringList lines = text.split(QStringLiteral("\r\n"));
    lines.removeLast(); // after the last CR LF
    return lines;
}

/// The lines of the section that begins with header, up to its empty line.
QStringList Section(const QStringList& lines, const QString& header)
{
    const qsizetype at = lines.indexOf(header);
    if (at < 0)
        return {};
    QStringList out;
    for (qsizetype i = at + 1; i < lines.size() && !lines[i].isEmpty(); ++i)
        out << lines[i];
    return out;
}

TEST(InstrumentDefinition, PatchBanksFollowTheOptions)
{
    miditest::TestEnvironment env;
    ProteusData data;
    FillNames(data);
    const QString rule = QStringLiteral("; ") + QString(70, u'-');

    InstrumentDefinitionInput in;
    in.deviceName = QStringLiteral("P2K");
    in.includeNoCategory = true;
    QStringList lines = Lines(BuildInstrumentDefinition(data, in));
    EXPECT_EQ(lines.mid(0, 4), (QStringList{rule, QString(), QStringLiteral(".Patch Names"), QString()}));
    QStringList user = Section(lines, QStringLiteral("[P2K User 0]"));
    ASSERT_EQ(user.size(), 128); // names past the bank's count still get their program line
    EXPECT_EQ(user[0], QStringLiteral("0=Lead && Pad"));
    EXPECT_EQ(user[1], QStringLiteral("1=:Scratch"));
    EXPECT_EQ(user[2], QStringLiteral("2=Grand"));
    EXPECT_EQ(user[127], QStringLiteral("127="));
    const QStringList rom1 = Section(lines, QStringLiteral("[P2K Composer 1]"));
    ASSERT_EQ(rom1.size(), 128);
    EXPECT_EQ(rom1[0], QStringLiteral("0=:Rom 128"));
    EXPECT_EQ(rom1[1], QStringLiteral("1=Grand"));
    EXPECT_EQ(rom1[2], QStringLiteral("2="));

    // Bank numbers: SIMM id x 128 + bank, in SIMM order.
    const QStringList definitions = Section(lines, QStringLiteral("Control=P2K"));
    EXPECT_EQ(definitions, (QStringList{QStringLiteral("Patch[0]=P2K User 0"), QStringLiteral("Patch[512]=P2K Composer 0"),
                                        QStringLiteral("Patch[513]=P2K Composer 1")}));

    // Without the category-less names and with unique user names only: the
    // ROM's first bank is all skipped (no header, no Patch line, an empty line
    // only) and the user's "Grand" goes, as a ROM preset carries that name.
    in.includeNoCategory = false;
    in.uniqueOnly = true;
    lines = Lines(BuildInstrumentDefinition(data, in));
    user = Section(lines, QStringLiteral("[P2K User 0]"));
    ASSERT_EQ(user.size(), 126);
    EXPECT_EQ(user[0], QStringLiteral("0=Lead && Pad"));
    EXPECT_EQ(user[1], QStringLiteral("3="));
    EXPECT_FALSE(lines.contains(QStringLiteral("[P2K Composer 0]")));
    EXPECT_EQ(Section(lines, QStringLiteral("[P2K Composer 1]")).mid(0, 2),
              (QStringList{QStringLiteral("1=Grand"), QStringLiteral("2=")}));
    EXPECT_EQ(Section(lines, QStringLiteral("Control=P2K")),
              (QStringList{QStringLiteral("Patch[0]=P2K User 0"), QStringLiteral("Patch[513]=P2K Composer 1")}));
    // The empty line of the skipped bank follows the user bank's own.
    const qsizetype composer1 = lines.indexOf(QStringLiteral("[P2K Composer 1]"));
    EXPECT_EQ(lines.mid(composer1 - 2, 2), (QStringList{QString(), QString()}));
}

TEST(InstrumentDefinition, ControllerNames)
{
    const std::vector<RealTimeControllerName> rows = {
        {7, QStringLiteral("A"), QStringLiteral("Tone")},          // Volume keeps its name
        {21, QStringLiteral("B"), QStringLiteral("Presence")},
        {21, QStringLiteral("C"), QStringLiteral("Shape")},        // the first row on a number wins
        {64, QStringLiteral("FS1"), QStringLiteral("Sustain Pedal")},
    };
    const std::map<int, QString> names =
        InstrumentControllerNames(rows, {{QStringLiteral("B"), QStringLiteral("Filter = Bright")}});
    EXPECT_EQ(names.at(7), QStringLiteral("Volume"));
    EXPECT_EQ(names.at(21), QStringLiteral("B: Filter = Bright"));
    EXPECT_EQ(names.at(64), QStringLiteral("FS1: Sustain Pedal"));
    EXPECT_EQ(names.size(), 14u);
    EXPECT_EQ(names.at(127), QStringLiteral("Poly Mode On"));
}

TEST(InstrumentDefinition, KeyMapsAsNoteNames)
{
    miditest::TestEnvironment env;
    ProteusData data;
    FillNames(data);
    InstrumentDefinitionInput in;
    in.deviceName = QStringLiteral("Dev");
    in.insertKeyMaps = true;
    in.controllers = {{7, QStringLiteral("Volume")}};
    InstrumentKeyMap single{0, 0, KeyMapData()};
    single.keyMap.AddKey(0, 127, QStringLiteral("Piano*"));
    InstrumentKeyMap three{4, 129, KeyMapData()};
    three.keyMap.AddKey(0, 35, QStringLiteral("Low"));
    three.keyMap.AddKey(36, 38, QStringLiteral("Mid"));
    three.keyMap.AddKey(39, 127, QStringLiteral("High"));
    InstrumentKeyMap unknown{99, 5, KeyMapData()}; // a SIMM without names
    unknown.keyMap.AddKey(10, 20, QStringLiteral("X"));
    unknown.keyMap.AddKey(60, 70, QStringLiteral("Y"));
    in.keyMaps = {single, three, unknown};
    in.beatKeyMap.AddKey(36, 36, QStringLiteral("Kick"));
    in.beatKeyMap.AddKey(38, 38, QStringLiteral("Snare"));

    for (bool arps : {false, true}) {
        SCOPED_TRACE(arps);
        in.arpsAndBeats = arps;
        const QStringList lines = Lines(BuildInstrumentDefinition(data, in));
        EXPECT_EQ(Section(lines, QStringLiteral("[Dev]")), QStringList{QStringLiteral("7=Volume")});
        EXPECT_TRUE(lines.contains(QStringLiteral(".Note Names")));
        // ":" "&" and the like become blanks in a section name; the key texts stay as they are.
        EXPECT_EQ(Section(lines, QStringLiteral("[Dev User  Lead   Pad ]")), QStringList{QStringLiteral("127=Piano*")});
        EXPECT_EQ(Section(lines, QStringLiteral("[Dev Composer Grand]")),
                  (QStringList{QStringLiteral("35=Low"), QStringLiteral("36=Mid"), QStringLiteral("37=Mid"),
                               QStringLiteral("38=Mid"), QStringLiteral("39=High")}));
        EXPECT_EQ(Section(lines, QStringLiteral("[Dev  5]")), (QStringList{QStringLiteral("20=X"), QStringLiteral("60=Y")}));
        EXPECT_EQ(Section(lines, QStringLiteral("[Dev Beats Triggers]")),
                  (QStringList{QStringLiteral("36=Kick"), QStringLiteral("38=Snare")}));
        QStringList keys = {QStringLiteral("Key[0,0]=Dev User  Lead   Pad "),
                            QStringLiteral("Key[513,1]=Dev Composer Grand"), QStringLiteral("Key[12672,5]=Dev  5")};
        if (arps)
            keys << QStringLiteral("Key[1536,*]=Dev Beats Triggers");
        EXPECT_EQ(Section(lines, QStringLiteral("Control=Dev")).mid(2), keys);
    }
}

class InstrumentDefinitionFileTest : public ::testing::Test {
protected:
    miditest::TestEnvironment env;
    std::shared_ptr<LoopbackBackend> backend = std::make_shared<LoopbackBackend>();
    Proteus proteus{backend};
    QTemporaryDir dir;

    QByteArray Read(const QString& path)
    {
        QFile f(path);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(missing)");
    }
};

TEST_F(InstrumentDefinitionFileTest, WrittenInWindows1252WithCrLf)
{
    proteus.hardwareConfig.AddSimm({.simmId = 0, .presets = 1});
    TPtr<_SimmData> user = new _SimmData(0, 1, 0, 0, 0, 0, 0, 0);
    user->SetName(OBJECT_PRESET, 0, QStringLiteral("Caf\u00e9 \u20ac \u2603"));
    proteus.AddSimmData(user);
    proteus.FindParameter(MASTER_MIDI_A_CONTROL)->value = 21;
    proteus.FindParameter(MASTER_MIDI_M_CONTROL)->value = 22; // only with 16 controllers

    const QString path = dir.filePath(QStringLiteral("Proteus.ins"));
    ASSERT_TRUE(proteus.WriteInstrumentDefinitionFile(path, QStringLiteral("P\u00e9"), false, true, false, false));
    const QByteArray bytes = Read(path);
    EXPECT_TRUE(bytes.contains(QByteArray("[P\xe9 User 0]\r\n0=Caf\xe9 \x80 ?\r\n1=\r\n")));
    EXPECT_TRUE(bytes.contains("\r\n21=A: Tone\r\n"));
    EXPECT_FALSE(bytes.contains("M: Mod 1"));
    EXPECT_TRUE(bytes.endsWith("Patch[0]=P\xe9 User 0\r\n\r\n\r\n"));
    EXPECT_TRUE(env.presenter->texts.isEmpty());

    proteus.SetCapabilities(CAP_16_CONTROLLERS);
    ASSERT_TRUE(proteus.WriteInstrumentDefinitionFile(path, QStringLiteral("P"), false, true, false, false));
    EXPECT_TRUE(Read(path).contains("\r\n22=M: Mod 1\r\n"));
}

TEST_F(InstrumentDefinitionFileTest, NothingIsWrittenWhenItCannotBe)
{
    // A folder that does not exist: string 272, and no file.
    const QString missing = dir.filePath(QStringLiteral("no/such/folder/Proteus.ins"));
    EXPECT_FALSE(proteus.WriteInstrumentDefinitionFile(missing, QStringLiteral("P"), false, true, false, false));
    EXPECT_EQ(env.presenter->texts, QStringList{QStringLiteral("Failed to open instrument definition file")});
    EXPECT_FALSE(QFile::exists(missing));

    // Key maps that cannot be collected (a user preset to download, no module
    // connected): the file already there is left alone.
    proteus.hardwareConfig.AddSimm({.simmId = 0, .presets = 1});
    const QString path = dir.filePath(QStringLiteral("Old.ins"));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("old");
    }
    EXPECT_FALSE(proteus.WriteInstrumentDefinitionFile(path, QStringLiteral("P"), false, true, true, false));
    EXPECT_EQ(Read(path), QByteArray("old"));
}

} // namespace
