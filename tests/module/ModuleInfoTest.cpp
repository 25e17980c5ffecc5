#include "core/Settings.h"
#include "midi/LoopbackBackend.h"
#include "midi/MidiTestSupport.h"
#include "module/ModuleInfo.h"
#include "module/Proteus.h"

#include <gtest/gtest.h>

namespace {

const QString kSettingsDump = QStringLiteral("Configurations\n==============\n\n(settings)\n");

TEST(ModuleInfo, ReportsModuleSimmsVersionSettingsAndDevicesInOrder)
{
    miditest::TestEnvironment env;
    ProteusData data;
    data.hardwareConfig.familyMember = 3; // Proteus 2000
    data.hardwareConfig.SetRevision(QStringLiteral("2.26"));
    data.hardwareConfig.AddSimm({.simmId = 0, .presets = 512, .instruments = 0, .arps = 200, .demos = 0,
                                 .setups = 64, .riffs = 0});
    data.hardwareConfig.AddSimm({.simmId = 4, .presets = 512, .instruments = 1024, .arps = 100, .demos = 16,
                                 .setups = 0, .riffs = 30, .flag = 1});
    data.hardwareConfig.AddSimm({.simmId = 999, .presets = 1}); // a SIMM the name list does not know

    MidiOutputDeviceInfo out;
    out.name = QStringLiteral("Synth Out");
    out.manufacturer = 0x18;
    out.product = 0x2a;
    out.driverVersion = 0x0105;
    out.technology = 6;
    out.voices = 32;
    out.notes = 64;
    out.channelMask = 0xffff;
    out.support = 0x5;
    MidiInputDeviceInfo in;
    in.name = QStringLiteral("Synth In");
    in.driverVersion = 0x0203;
    in.support = 0x10;

    const QString expected = QStringLiteral(
        "Module Info:\nModule Emu Proteus 2000, OS Version 2.26\n"
        "SIMM Data:\n"
        "SIMM User (0x0)\n\tNum Presets 512\n\tNum Instruments 0\n\tNum Demos 0\n\tNum Setups 64\n\tNum Riffs 0\n"
        "\tNum Arps 200\n"
        "SIMM Composer (0x4)\n\tNum Presets 512\n\tNum Instruments 1024\n\tNum Demos 16\n\tNum Setups 0\n"
        "\tNum Riffs 30\n\tNum Arps 100\n"
        "SIMM  (0x3e7)\n\tNum Presets 1\n\tNum Instruments 0\n\tNum Demos 0\n\tNum Setups 0\n\tNum Riffs 0\n"
        "\tNum Arps 0\n"
        "\n"
        "Software Information\n====================\nTabrine Version 1.34\n\n"
        "Configurations\n==============\n\n(settings)\n"
        "\n"
        "MIDI Information\n===============\n"
        "Output Device: Synth Out, Manufacturer: 0x18, Product:0x2a, Version:1.5, Technology:Hardware wavetable "
        "synthesizer, Voices:32, Notes:64, Chan. Mask:0xffff, Support:MIDICAPS_CACHE MIDICAPS_VOLUME \n"
        "Input Device: Synth In, Manufacturer: 0x0, Product:0x0, Version:2.3, Support:0x10\n"
        "\n");
    EXPECT_EQ(FormatModuleInfo(data, kSettingsDump, {out}, {in}), expected);
}

TEST(ModuleInfo, UnknownModuleWithoutSimmsOrDevicesKeepsEveryHeading)
{
    miditest::TestEnvironment env;
    ProteusData data; // family member 0 is no listed model; no revision yet
    EXPECT_EQ(FormatModuleInfo(data, QString(), {}, {}),
              QStringLiteral("Module Info:\nModule Emu , OS Version \nSIMM Data:\n\n"
                             "Software Information\n====================\nTabrine Version 1.34\n\n\n"
                             "MIDI Information\n===============\n\n"));
}

TEST(ModuleInfo, TechnologyAndSupportTexts)
{
    struct Row {
        const char* name;
        int technology;
        const char16_t* text;
    } rows[] = {
        {"none", 0, u"Unknown Technology"},         {"port", 1, u"MIDI hardware port"},
        {"synth", 2, u"Synthesizer"},                {"square", 3, u"Square wave synthesizer"},
        {"fm", 4, u"FM synthesizer"},                {"mapper", 5, u"Microsoft MIDI mapper"},
        {"wavetable", 6, u"Hardware wavetable synthesizer"}, {"software", 7, u"Software synthesizer"},
        {"beyond", 8, u"Unknown Technology"},        {"negative", -1, u"Unknown Technology"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(MidiTechnologyText(row.technology), QString::fromUtf16(row.text));
    }
    // Fixed order whatever the bit order: cache, left/right volume, stream, volume.
    EXPECT_EQ(MidiSupportText(0), QString());
    EXPECT_EQ(MidiSupportText(0xF),
              QStringLiteral("MIDICAPS_CACHE MIDICAPS_LRVOLUME MIDICAPS_STREAM MIDICAPS_VOLUME "));
    EXPECT_EQ(MidiSupportText(0x8 | 0x2), QStringLiteral("MIDICAPS_LRVOLUME MIDICAPS_STREAM "));
    EXPECT_EQ(MidiSupportText(0x10), QString()); // bits without a name show nothing
}

TEST(ModuleInfo, ProteusListsTheBackendsPortsAndTheSettings)
{
    miditest::TestEnvironment env;
    auto backend = std::make_shared<LoopbackBackend>();
    backend->AddDevice(QStringLiteral("Proteus 2000"));
    backend->AddDevice(QStringLiteral("Keyboard"));
    Proteus proteus(backend); // nothing is opened: the report sends nothing
    const QString report = proteus.GetModuleInfo();

    EXPECT_TRUE(report.contains(GetGlobalConfigurations().DumpToText()));
    const qsizetype midi = report.indexOf(u"MIDI Information\n===============\n");
    ASSERT_GE(midi, 0);
    EXPECT_EQ(report.mid(midi),
              QStringLiteral("MIDI Information\n===============\n"
                             "Output Device: Proteus 2000, Manufacturer: 0x0, Product:0x0, Version:0.0, "
                             "Technology:Unknown Technology, Voices:0, Notes:0, Chan. Mask:0x0, Support:\n"
                             "Output Device: Keyboard, Manufacturer: 0x0, Product:0x0, Version:0.0, "
                             "Technology:Unknown Technology, Voices:0, Notes:0, Chan. Mask:0x0, Support:\n"
                             "Input Device: Proteus 2000, Manufacturer: 0x0, Product:0x0, Version:0.0, Support:0x0\n"
                             "Input Device: Keyboard, Manufacturer: 0x0, Product:0x0, Version:0.0, Support:0x0\n"
                             "\n"));
}

} // namespace
