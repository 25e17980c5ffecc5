// The module's single commands against the simulated module, byte for byte in
// virtual time: front-panel buttons and sessions, the display, finding a preset,
// object names, copies, randomising and single-note tuning changes, with their
// failures (time-outs, module errors, short replies, values that cannot travel).
#include "core/Settings.h"
#include "module/ModuleCommands.h"
#include "module/ParameterIds.h"
#include "support/ProteusSimFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <vector>

using proteustest::ProteusSimTest;
using proteustest::SimOptions;
using sim::Fault;
using sim::Hex;

namespace {

QStringList HexLines(const std::vector<const char*>& lines)
{
    QStringList out;
    for (const char* line : lines)
        out << sim::ToHex(Hex(line));
    return out;
}

// Front-panel messages of device 0.
const char kOpen[] = "F0 18 0F 00 55 40 10 F7";
const char kClose[] = "F0 18 0F 00 55 40 11 F7";
const char kDown1[] = "F0 18 0F 00 55 40 20 01 00 01 F7";
const char kUp1[] = "F0 18 0F 00 55 40 20 01 00 00 F7";
const char kDown4[] = "F0 18 0F 00 55 40 20 04 00 01 F7";
const char kUp4[] = "F0 18 0F 00 55 40 20 04 00 00 F7";
const char kScreen[] = "F0 18 0F 00 55 1B 01 F7";

class ModuleCommands : public ProteusSimTest {
protected:
    void Begin(const SimOptions& options = {})
    {
        Start(options);
        Log().SetLevel(4);
        proteus->SetCapabilities(CAP_LCD_INTERROGATION | CAP_32_CHANNELS);
    }

    /// What reached the module since message `from`, as hex lines.
    QStringList Sent(std::size_t from = 0)
    {
        const std::vector<QByteArray> all = ToModule();
        QStringList out;
        for (std::size_t i = from; i < all.size(); ++i)
            out << sim::ToHex(all[i]);
        return out;
    }
    QStringList Received()
    {
        QStringList out;
        for (const QByteArray& m : link->withDevice([](sim::Device& d) { return d.transcript().fromModule(); }))
            out << sim::ToHex(m);
        return out;
    }
    /// Lets the module work through what it was sent (copies are not answered).
    void LetModuleWork() { link->SleepMs(1000); }
    template <class F>
    auto WithModule(F&& f)
    {
        return link->withDevice([&](sim::Device&) { return f(*module); });
    }
    void SetRows(const QByteArray& first, const QByteArray& second = "                        ")
    {
        WithModule([&](sim::Module& m) {
            m.state().lcdRows[0] = first;
            m.state().lcdRows[1] = second;
            return 0;
        });
    }
    /// A name cache for a bank, names in index order.
    void AddNames(int simmId, const QStringList& presets, const QStringList& arps = {})
    {
        TPtr<_SimmData> data = new _SimmData(simmId, int(presets.size()), 0, int(arps.size()), 0, 0, 0, simmId ? 1 : 0);
        for (int i = 0; i < presets.size(); ++i)
            data->SetName(OBJECT_PRESET, i, presets[i]);
        for (int i = 0; i < arps.size(); ++i)
            data->SetName(OBJECT_ARP, i, arps[i]);
        proteus->simmMap.erase(simmId);
        proteus->AddSimmData(data);
    }
};

// ---- Commands that expect no reply, and the front panel ------------------------------------

TEST_F(ModuleCommands, EachCommandSendsItsBytesAndTheModuleActsOnThem)
{
    using Check = std::function<void(const sim::Module&)>;
    struct Row {
        const char* name;
        std::function<bool(Proteus&)> run;
        std::vector<const char*> sent;
        std::vector<const char*> replies;
        std::int64_t pauseMs; // the virtual time the command takes; -1: not looked at
        Check check;
        const char* logLine = nullptr;
    } rows[] = {
        {"a click is a press and a release, each echoed", [](Proteus& p) { return p.ClickButton(1); },
         {kDown1, kUp1}, {kDown1, kUp1}, -1,
         [](const sim::Module& m) { EXPECT_EQ(m.state().buttonsPressed, std::vector<int>{1}); }, "Clicking Button 1"},
        {"the audition note is button 4 inside a session", [](Proteus& p) { return p.PlayAudition(); },
         {kOpen, kDown4, kUp4, kClose}, {kDown4, kUp4}, -1,
         [](const sim::Module& m) {
             EXPECT_EQ(m.state().buttonsPressed, std::vector<int>{4});
             EXPECT_FALSE(m.state().frontPanelSession);
         }},
        {"a preset copy into a user preset pauses for the write",
         [](Proteus& p) { return p.CopyPreset(CMD_COPY_PRESET, 4, 10, 5); }, {"F0 18 0F 00 55 20 0A 00 05 00 04 00 F7"},
         {}, 50, [](const sim::Module& m) { EXPECT_EQ(m.objectName(sim::ObjectKind::Preset, 0, 5), "CMP Preset 010  "); }},
        {"a copy into the edit buffer (-1) does not pause",
         [](Proteus& p) { return p.CopyPreset(CMD_COPY_PRESET, 9, 200, -1); },
         {"F0 18 0F 00 55 20 48 01 7F 7F 09 00 F7"}, {}, 0,
         [](const sim::Module& m) { EXPECT_EQ(m.parameterValue(899), int('W')); }},
        {"a preset part with layers given still sends the 13-byte form",
         [](Proteus& p) { return p.CopyPreset(CMD_COPY_PRESET_COMMON, 4, 3, 2, 7, 1); },
         {"F0 18 0F 00 55 21 03 00 07 00 04 00 F7"}, {}, 50, {},
         "Copy Preset (sub-request 33) - Strings(2) to User 0:007(1)"},
        {"a layer part sends both layers, without a pause",
         [](Proteus& p) { return p.CopyPreset(CMD_COPY_LAYER_FILTER, 4, 3, 1, 7, 2); },
         {"F0 18 0F 00 55 27 03 00 01 00 07 00 02 00 04 00 F7"}, {}, 0, {},
         "Copy Preset (sub-request 39) - Strings(1) to User 0:007(2)"},
        {"an arp copy names source, destination and ROM", [](Proteus& p) { return p.CopyArp(12, 4, 5); },
         {"F0 18 0F 00 55 2B 05 00 0C 00 04 00 F7"}, {}, 50,
         [](const sim::Module& m) { EXPECT_EQ(m.objectName(sim::ObjectKind::Arp, 0, 12), "CMP Arp 005     "); },
         "Copy Arp Arp Five to User 12"},
        {"a setup copy between user setups", [](Proteus& p) { return p.CopySetup(3, 7); },
         {"F0 18 0F 00 55 2C 03 00 07 00 F7"}, {}, 0,
         [](const sim::Module& m) { EXPECT_EQ(m.objectName(sim::ObjectKind::Setup, 0, 7), "Setup 003       "); },
         "Copy Setup 3 to 7"},
        {"randomising the edit buffer", [](Proteus& p) { return p.RandomiseEditBuffer(); },
         {"F0 18 0F 00 55 71 7F 7F 00 00 F7"}, {}, 50,
         [](const sim::Module& m) { EXPECT_EQ(m.state().randomisations, 1); }, "Randomising Edit Buffer"},
        {"single-note tuning changes in one message",
         [](Proteus& p) { return p.SendSingleNoteTuningChanges(3, {{60, 61, 0x20, 0x10}, {61, 62, 0, 0}}); },
         {"F0 7F 00 08 02 03 02 3C 3D 20 10 3D 3E 00 00 F7"}, {}, 0,
         [](const sim::Module& m) {
             EXPECT_EQ(m.state().noteTunings.at({3, 60}), (std::array<int, 3>{61, 0x20, 0x10}));
             EXPECT_EQ(m.state().noteTunings.at({3, 61}), (std::array<int, 3>{62, 0, 0}));
         },
         "Single Note Change Tuning 3 - Key C3 Base C#3 25.083200 cents"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Begin({.writeDelay = 50});
        AddNames(4, {"Piano", "Bass", "Organ", "Strings"}, {"Arp 0", "Arp 1", "Arp 2", "Arp 3", "Arp 4", "Arp Five"});
        const std::int64_t start = NowMs();
        EXPECT_TRUE(row.run(*proteus));
        if (row.pauseMs >= 0)
            EXPECT_EQ(NowMs() - start, row.pauseMs);
        LetModuleWork();
        EXPECT_EQ(Sent(), HexLines(row.sent)) << TranscriptText().toStdString();
        EXPECT_EQ(Received(), HexLines(row.replies));
        if (row.check)
            WithModule([&](sim::Module& m) {
                row.check(m);
                return 0;
            });
        if (row.logLine)
            EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine))) << row.logLine;
        EXPECT_EQ(proteus->PendingResponseCount(), 0u);
    }
}

TEST_F(ModuleCommands, ValuesThatCannotTravelAreRefusedWithTheirFailureText)
{
    struct Row {
        const char* name;
        std::function<bool(Proteus&)> run;
        const char* logLine;
    } rows[] = {
        {"preset number past 14 bits", [](Proteus& p) { return p.CopyPreset(CMD_COPY_PRESET, 4, 9000, 5); },
         "Failed to send Copy Preset Request"},
        {"layer copy of such a preset", [](Proteus& p) { return p.CopyPreset(CMD_COPY_LAYER, 4, 9000, 0, 5, 0); },
         "Failed to send Copy Preset Layer Request"},
        {"a command that copies nothing", [](Proteus& p) { return p.CopyPreset(0x05, 4, 1, 2); },
         "Refused Copy Preset Request: 0x05 is not a preset copy command"},
        {"a layer command without layers", [](Proteus& p) { return p.CopyPreset(CMD_COPY_LAYER, 4, 1, 2); },
         "Refused Copy Preset Request: 0x25 is not a preset copy command"},
        {"arp number past 14 bits", [](Proteus& p) { return p.CopyArp(9000, 4, 1); }, "Failed to send Copy Arp Request"},
        {"setup number past 14 bits", [](Proteus& p) { return p.CopySetup(9000, 1); }, "Failed to send Copy Setup Request"},
        {"tuning program past 127",
         [](Proteus& p) { return p.SendSingleNoteTuningChanges(200, {{60, 60, 0, 0}}); }, "Failed to send Tuning changes"},
        {"button past 14 bits", [](Proteus& p) { return p.ClickButton(9000); }, "Failed to send Button Down 9000"},
        {"name of a SIMM past 14 bits",
         [](Proteus& p) {
             bool ok = true;
             QString name = QStringLiteral("stale");
             const bool r = p.LowLevelNameRequest(OBJECT_PRESET, 9000, 0, ok, name);
             EXPECT_FALSE(ok);
             EXPECT_TRUE(name.isEmpty());
             return r;
         },
         "Failed to send Name Request for Preset SIMM 9000 Object 0"},
        {"arp name of a SIMM past 14 bits",
         [](Proteus& p) {
             bool ok = true;
             QString name;
             return p.GetArpName(9000, 0, ok, name);
         },
         "Failed to send Arp Name Request"},
    };
    Begin();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Log().Clear();
        EXPECT_FALSE(row.run(*proteus));
        EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine))) << row.logLine;
    }
    EXPECT_TRUE(Sent().isEmpty()) << TranscriptText().toStdString();
}

TEST_F(ModuleCommands, ADeviceIdOutsideMidiNeverReachesTheWire)
{
    Begin({.deviceId = 200});
    QString text;
    bool ok = false;
    int rom = 0;
    int number = 0;
    const std::vector<std::function<bool()>> commands = {
        [&] { return proteus->ClickButton(1); },
        [&] { return proteus->PlayAudition(); },
        [&] { return proteus->CheckMode(); },
        [&] { return proteus->ScreenDump(text, 5, 0, 0); },
        [&] { return proteus->GetObjectName(OBJECT_PRESET, 4, 1, ok, text); },
        [&] { return proteus->GetObjectName(OBJECT_ARP, 4, 1, ok, text); },
        [&] { return proteus->CopyPreset(CMD_COPY_PRESET, 4, 1, 2); },
        [&] { return proteus->CopyPreset(CMD_COPY_LAYER, 4, 1, 0, 2, 0); },
        [&] { return proteus->CopyArp(1, 4, 2); },
        [&] { return proteus->CopySetup(1, 2); },
        [&] { return proteus->RandomiseEditBuffer(); },
        [&] { return proteus->SendSingleNoteTuningChanges(0, {{60, 60, 0, 0}}); },
    };
    for (std::size_t i = 0; i < commands.size(); ++i) {
        SCOPED_TRACE(i);
        EXPECT_FALSE(commands[i]());
    }
    EXPECT_FALSE(proteus->FindPreset(QStringLiteral("Piano"), rom, number));
    EXPECT_TRUE(Sent().isEmpty()) << TranscriptText().toStdString();
    EXPECT_TRUE(Log().Contains(QStringLiteral("Refused to send a SysEx message")));
}

TEST_F(ModuleCommands, ManyTuningChangesGoInMessagesOf127WithEveryByteMasked)
{
    Begin();
    std::vector<SingleNoteTuningChange> changes;
    changes.push_back({200, -5, 0xFF, 0x80}); // clamped, clamped, masked, masked
    for (int i = 1; i < 300; ++i)
        changes.push_back({i % 128, (i + 12) % 128, i % 128, (i * 3) % 128});
    EXPECT_TRUE(proteus->SendSingleNoteTuningChanges(5, changes));
    LetModuleWork();

    const std::vector<QByteArray> sent = ToModule();
    ASSERT_EQ(sent.size(), 3u);
    const int counts[] = {127, 127, 46};
    for (int m = 0; m < 3; ++m) {
        SCOPED_TRACE(m);
        const QByteArray& msg = sent[std::size_t(m)];
        ASSERT_EQ(msg.size(), 8 + 4 * counts[m]);
        EXPECT_EQ(msg.left(7), Hex("F0 7F 00 08 02 05") + char(counts[m]));
        EXPECT_EQ(uchar(msg.back()), 0xF7);
        for (int i = 1; i + 1 < msg.size(); ++i)
            ASSERT_LT(uchar(msg[i]), 0x80) << "byte " << i;
    }
    EXPECT_EQ(sent[0].mid(7, 4), Hex("7F 00 7F 00"));
    // The module heard every change: the last one of each key stands.
    WithModule([](sim::Module& m) {
        EXPECT_EQ(m.state().noteTunings.size(), 128u);
        EXPECT_EQ(m.state().noteTunings.at({5, 43}), (std::array<int, 3>{(299 + 12) % 128, 299 % 128, (299 * 3) % 128}));
        return 0;
    });
}

// ---- Front-panel sessions and the display --------------------------------------------------

TEST_F(ModuleCommands, ModeCheckAndAuditionAlwaysCloseTheirSession)
{
    struct Row {
        const char* name;
        QByteArray profile;
        std::uint32_t caps;
        QByteArray screen; // first row shown at the start; empty: the profile's home screen
        std::vector<Fault> faults;
        bool audition;
        bool result;
        std::vector<const char*> sent;
        const char* logLine = nullptr;
    } rows[] = {
        {"the channel screen is there at once", R"({"base": "full"})", CAP_LCD_INTERROGATION | CAP_32_CHANNELS, "", {}, false, true,
         {kOpen, kScreen, kClose}},
        {"a 16-channel module needs no letter after the channel", R"({"base": "minimal"})", CAP_LCD_INTERROGATION, "", {}, false,
         true, {kOpen, kScreen, kClose}},
        {"a bank screen will do", R"({"base": "full"})", CAP_LCD_INTERROGATION | CAP_32_CHANNELS, "Bank 2 Composer         ", {},
         false, true, {kOpen, kScreen, kClose}},
        {"one press of button 1 brings the channel screen", R"({"base": "full"})", CAP_LCD_INTERROGATION | CAP_32_CHANNELS,
         "Preset Edit  Layer 1    ", {}, false, true, {kOpen, kScreen, kDown1, kUp1, kScreen, kClose}},
        {"four looks without the channel screen fail, closed", R"({"base": "minimal"})", CAP_LCD_INTERROGATION | CAP_32_CHANNELS, "",
         {}, false, false,
         {kOpen, kScreen, kDown1, kUp1, kScreen, kDown1, kUp1, kScreen, kDown1, kUp1, kScreen, kDown1, kUp1, kClose},
         "Failed to Force Screen Mode to Normal"},
        {"without display access nothing is sent", R"({"base": "full"})", 0, "", {}, false, true, {}},
        {"a lost screen dump still closes the session", R"({"base": "full"})", CAP_LCD_INTERROGATION, "",
         {Fault::Silence().on(CMD_SCREEN_DUMP_REQUEST)}, false, false, {kOpen, kScreen, kClose},
         "No response to Screen Dump command - character count 5, row 0, col 0"},
        {"a lost echo still closes the session", R"({"base": "full"})", CAP_LCD_INTERROGATION, "Preset Edit             ",
         {Fault::Silence().on(CMD_FRONT_PANEL).forSubject(1)}, false, false, {kOpen, kScreen, kDown1, kClose},
         "No response to Button Down 1"},
        {"audition with its echo lost still closes the session", R"({"base": "full"})", 0, "",
         {Fault::Silence().on(CMD_FRONT_PANEL).forSubject(4)}, true, false, {kOpen, kDown4, kClose},
         "No response to Button Down 4"},
        {"a module error answers a button", R"({"base": "full"})", 0, "",
         {Fault::ModuleError(3).on(CMD_FRONT_PANEL).forSubject(4)}, true, true, {kOpen, kDown4, kUp4, kClose}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Begin({.profileJson = row.profile});
        proteus->SetCapabilities(row.caps);
        if (!row.screen.isEmpty())
            SetRows(row.screen);
        for (const Fault& f : row.faults)
            AddFault(f);
        EXPECT_EQ(row.audition ? proteus->PlayAudition() : proteus->CheckMode(), row.result);
        LetModuleWork();
        EXPECT_EQ(Sent(), HexLines(row.sent)) << TranscriptText().toStdString();
        EXPECT_FALSE(WithModule([](sim::Module& m) { return m.state().frontPanelSession; }));
        if (row.logLine)
            EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine))) << row.logLine;
    }
}

TEST_F(ModuleCommands, ScreenDumpReadsTheRowFromTheColumn)
{
    struct Row {
        const char* name;
        int count;
        int row;
        unsigned column;
        QString text;
    } rows[] = {
        {"four characters for a count of five", 5, 0, 0, QStringLiteral("C01A")},
        {"row 1 is the second row", 10, 1, 3, QStringLiteral("000 Init ")},
        {"any other row is the first", 3, 7, 0, QStringLiteral("C0")},
        {"the count is cut to the row's end", 10, 0, 20, QStringLiteral("CMP0")},
        {"the last column alone", 2, 0, 23, QStringLiteral("0")},
        {"a count of one reads nothing", 1, 0, 0, QString()},
        {"a count below one reads nothing", -3, 0, 0, QString()},
        {"a column past the display reads nothing", 5, 0, 4000000000u, QString()},
    };
    Begin();
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        QString text = QStringLiteral("unchanged");
        EXPECT_TRUE(proteus->ScreenDump(text, row.count, row.row, row.column));
        EXPECT_EQ(text, row.text);
    }
    EXPECT_EQ(Sent().size(), std::size(rows));
    EXPECT_EQ(Sent().first(), sim::ToHex(Hex(kScreen)));

    // Codes 0-7 are the user-defined characters of the reply's table (16-23 in the profile).
    SetRows(QByteArray("\x01\x07" "AB", 4));
    QString text;
    EXPECT_TRUE(proteus->ScreenDump(text, 5, 0, 0));
    EXPECT_EQ(text, QString(QChar(17)) + QChar(23) + QStringLiteral("AB"));
}

TEST_F(ModuleCommands, AScreenDumpThatFailsLeavesTheTextAndSaysWhy)
{
    struct Row {
        const char* name;
        QByteArray profile;
        QByteArray screen;
        std::vector<Fault> faults;
        const char* logLine;
    } rows[] = {
        {"no reply", R"({"base": "full"})", "", {Fault::Silence().on(CMD_SCREEN_DUMP_REQUEST)},
         "No response to Screen Dump command - character count 5, row 1, col 2"},
        {"a module error", R"({"base": "full"})", "", {Fault::ModuleError(4).on(CMD_SCREEN_DUMP_REQUEST)},
         "Error received for ScreenDump - character count 5, row 1, col 2"},
        {"a reply cut before the characters", R"({"base": "full"})", "",
         {Fault::Truncate(40, true).on(CMD_SCREEN_DUMP_REQUEST)},
         "Short reply to Screen Dump command - character count 5, row 1, col 2: 33 data bytes where 41 are needed"},
        {"a status byte inside the row (the input reports it)", R"({"base": "full"})", "",
         {Fault::HighDataByte(44, 0x90).on(CMD_SCREEN_DUMP_REQUEST)},
         "Error received for ScreenDump - character count 5, row 1, col 2"},
        {"a user character the table lacks", R"({"base": "full", "lcd": {"characterTable": [16, 17]}})",
         QByteArray("\x05\x05\x05\x05\x05\x05", 6), {},
         "Screen Dump reply shows user character 5, which its table of 2 lacks"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Begin({.profileJson = row.profile});
        if (!row.screen.isEmpty())
            SetRows(row.screen, row.screen);
        for (const Fault& f : row.faults)
            AddFault(f);
        Proteus::SuppressWarningMessages quiet(proteus.get()); // the display's failures are always logged
        QString text = QStringLiteral("unchanged");
        EXPECT_FALSE(proteus->ScreenDump(text, 5, 1, 2));
        EXPECT_EQ(text, QStringLiteral("unchanged"));
        EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine))) << row.logLine;
    }
}

TEST_F(ModuleCommands, FindPresetSearchesTheBanksTheDisplayPointsAt)
{
    struct Row {
        const char* name;
        std::uint32_t caps;
        QByteArray screen; // empty: the profile's home screen (bank field " CMP0")
        std::vector<Fault> faults;
        const char* preset;
        bool found;
        int romId;
        int number;
    } rows[] = {
        {"bank field \"User \": only the user bank", CAP_LCD_INTERROGATION | CAP_32_CHANNELS, "C01A Composer      User ", {}, "Pad", true, 0, 0},
        {"a ROM's name in the user bank is not found there", CAP_LCD_INTERROGATION | CAP_32_CHANNELS, "C01A Composer      User ", {},
         "Koto", false, 0, 0},
        {"another bank field: only the ROMs, in their order", CAP_LCD_INTERROGATION | CAP_32_CHANNELS, "", {}, "Pad", true, 4, 2},
        {"a user name is not found among the ROMs", CAP_LCD_INTERROGATION | CAP_32_CHANNELS, "", {}, "Mine", false, 0, 0},
        {"no display: every bank, the first match wins", 0, "", {}, "Pad", true, 4, 2},
        {"no display: the user bank is searched too", 0, "", {}, "Mine", true, 0, 1},
        {"a display that cannot be read: every bank", CAP_LCD_INTERROGATION, "", {Fault::Silence().on(CMD_SCREEN_DUMP_REQUEST)},
         "Sitar", true, 9, 2},
        {"names compare with case", 0, "", {}, "pad", false, 0, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Begin();
        proteus->SetCapabilities(row.caps);
        const SimmSlot banks[] = {{4, 3}, {9, 3}, {0, 3}};
        proteus->hardwareConfig.SetSimms(banks);
        AddNames(4, {"Piano", "Strings", "Pad"});
        AddNames(9, {"Koto", "Pad", "Sitar"});
        AddNames(0, {"Pad", "Mine", "Init"});
        if (!row.screen.isEmpty())
            SetRows(row.screen);
        for (const Fault& f : row.faults)
            AddFault(f);
        int romId = -5;
        int number = -5;
        EXPECT_EQ(proteus->FindPreset(QString::fromUtf8(row.preset), romId, number), row.found);
        EXPECT_EQ(romId, row.romId);
        EXPECT_EQ(number, row.number);
    }
    // The bank field is read after the mode check, from column 19.
    Begin();
    SetRows("C01A Composer      User ");
    int romId = 0;
    int number = 0;
    proteus->FindPreset(QStringLiteral("Pad"), romId, number);
    EXPECT_EQ(Sent(), HexLines({kOpen, kScreen, kClose, kScreen}));
}

// ---- Object names ------------------------------------------------------------------------------

TEST_F(ModuleCommands, NamesComeFromTheNameRequestOrTheArpDump)
{
    struct Row {
        const char* name;
        int kind;
        int romId;
        int index;
        const char* sent;
        QString expected;
    } rows[] = {
        {"a ROM preset", OBJECT_PRESET, 4, 7, "F0 18 0F 00 55 0C 01 07 00 04 00 F7", QStringLiteral("CMP Preset 007")},
        {"a user arp by the name request", OBJECT_ARP, 0, 2, "F0 18 0F 00 55 0C 03 02 00 00 00 F7",
         QStringLiteral("USR Arp 002")},
        {"a ROM arp by its arp dump", OBJECT_ARP, 4, 130, "F0 18 0F 00 55 19 02 01 04 00 F7",
         QStringLiteral("CMP Arp 130")},
        {"inner blanks stay, trailing ones go", OBJECT_SETUP, 0, 5, "F0 18 0F 00 55 0C 04 05 00 00 00 F7",
         QStringLiteral("My  Setup")},
        {"an arp dump keeps 12 characters of the name", OBJECT_ARP, 9, 1, "F0 18 0F 00 55 19 01 00 09 00 F7",
         QStringLiteral("Twelve Chars")},
    };
    Begin();
    WithModule([](sim::Module& m) {
        m.state().names[{int(sim::ObjectKind::Setup), 0, 5}] = "My  Setup       ";
        m.state().names[{int(sim::ObjectKind::Arp), 9, 1}] = "Twelve Chars ABC";
        return 0;
    });
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const std::size_t mark = ToModule().size();
        bool ok = false;
        QString name = QStringLiteral("stale");
        EXPECT_TRUE(proteus->GetObjectName(row.kind, row.romId, row.index, ok, name));
        EXPECT_TRUE(ok);
        EXPECT_EQ(name, row.expected);
        EXPECT_EQ(Sent(mark), HexLines({row.sent}));
    }
}

TEST_F(ModuleCommands, ANameThatFailsIsEmptyAndNeverStale)
{
    struct Row {
        const char* name;
        int kind;
        int romId;
        int index;
        std::vector<Fault> faults;
        const char* logLine;
    } rows[] = {
        {"no reply", OBJECT_PRESET, 4, 7, {Fault::Silence().on(CMD_NAME_REQUEST)},
         "No response for Name Request for Preset SIMM 4 Object 7"},
        {"a module error", OBJECT_INSTRUMENT, 4, 7, {Fault::ModuleError(6).on(CMD_NAME_REQUEST)},
         "Error received for Name Request for Instrument SIMM 4 Object 7"},
        {"an object past the bank's count", OBJECT_PRESET, 4, 600, {},
         "Error received for Name Request for Preset SIMM 4 Object 600"},
        {"a reply cut inside the name", OBJECT_PRESET, 4, 7, {Fault::Truncate(20, true).on(CMD_NAME_REQUEST)},
         "Short reply to Name Request for Preset SIMM 4 Object 7: 14 data bytes where 21 are needed"},
        {"a status byte inside the name (the input reports it)", OBJECT_DEMO, 4, 1,
         {Fault::HighDataByte(25, 0x85).on(CMD_NAME_REQUEST)}, "Error received for Name Request for Demo SIMM 4 Object 1"},
        {"no arp dump", OBJECT_ARP, 4, 7, {Fault::Silence().on(CMD_ARP_DUMP_REQUEST)}, "No response to Arp Name Request"},
        {"an arp dump refused", OBJECT_ARP, 4, 7, {Fault::ModuleError(6).on(CMD_ARP_DUMP_REQUEST)},
         "Error received for Arp Name Enquiry"},
        {"an arp dump cut inside the name", OBJECT_ARP, 4, 7, {Fault::Truncate(22, true).on(CMD_ARP_DUMP_REQUEST)},
         "Short reply to Arp Name Request: 16 data bytes where 20 are needed"},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Begin();
        for (const Fault& f : row.faults)
            AddFault(f);
        bool ok = true;
        QString name = QStringLiteral("stale");
        EXPECT_FALSE(proteus->GetObjectName(row.kind, row.romId, row.index, ok, name));
        EXPECT_FALSE(ok);
        EXPECT_TRUE(name.isEmpty());
        EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine))) << row.logLine;
    }
}

TEST_F(ModuleCommands, ANameReplyForAnotherObjectNeverAnswersARequest)
{
    // Thirty preset names of ROM 4 asked in turn; a reply for some other kind,
    // object or ROM must not shift them by one.
    struct Row {
        const char* name;
        Fault fault;
        int failures;
    } rows[] = {
        {"the fourth reply 1.2 s late", Fault::Late(sim::Millis(1200)).forSubject(3), 1},
        {"an instrument's name before every reply",
         Fault::Unsolicited(Hex("F0 18 0F 00 55 0B 02 05 00 04 00") + QByteArray(16, 'X') + Hex("F7")), 0},
        {"the same preset of the user bank before every reply",
         Fault::Unsolicited(Hex("F0 18 0F 00 55 0B 01 05 00 00 00") + QByteArray(16, 'X') + Hex("F7")), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Begin();
        AddFault(Fault(row.fault).on(CMD_NAME_REQUEST));
        int failures = 0;
        for (int index = 0; index < 30; ++index) {
            SCOPED_TRACE(index);
            bool ok = false;
            QString name;
            if (!proteus->GetObjectName(OBJECT_PRESET, 4, index, ok, name)) {
                ++failures;
                continue;
            }
            const QByteArray expected = WithModule([&](sim::Module& m) {
                return m.objectName(sim::ObjectKind::Preset, 4, index).value_or(QByteArray());
            });
            EXPECT_EQ(name, QString::fromLatin1(expected).trimmed());
        }
        EXPECT_EQ(failures, row.failures);
        EXPECT_TRUE(Log().Contains(QStringLiteral("Ignored a reply that answers no waiting request")));
    }
}

TEST_F(ModuleCommands, NameWarningsFollowSuppressionAndTheTestMode)
{
    Begin();
    AddFault(Fault::Silence().on(CMD_NAME_REQUEST));
    AddFault(Fault::Silence().on(CMD_ARP_DUMP_REQUEST));
    bool ok = true;
    QString name;
    {
        Proteus::SuppressWarningMessages quiet(proteus.get());
        EXPECT_FALSE(proteus->GetObjectName(OBJECT_PRESET, 4, 7, ok, name));
        EXPECT_FALSE(Log().Contains(QStringLiteral("Name Request for Preset")));
        EXPECT_FALSE(proteus->GetObjectName(OBJECT_ARP, 4, 7, ok, name)); // the arp name's line is always logged
        EXPECT_TRUE(Log().Contains(QStringLiteral("No response to Arp Name Request")));
    }
    // Without a module every name request counts as answered, with no name.
    GetGlobalConfigurations().SetBool(TestUI, true);
    EXPECT_TRUE(proteus->GetObjectName(OBJECT_PRESET, 4, 7, ok, name));
    EXPECT_FALSE(ok);
    EXPECT_TRUE(name.isEmpty());
    EXPECT_FALSE(Log().Contains(QStringLiteral("Name Request for Preset")));
}

// ---- Arp pattern ---------------------------------------------------------------------------------

TEST_F(ModuleCommands, ArpPatternIsReadThroughItsParametersStepByStep)
{
    Begin();
    proteus->SetReady(true); // step selections reach the listeners
    WithModule([](sim::Module& m) {
        for (int step : {0, 5, 31}) {
            m.setParameterValue(ARP_PATTERN_STEP_SELECT, step);
            m.setParameterValue(ARP_STEP_KEY_OFFSET, step - 7);
            m.setParameterValue(ARP_STEP_VELOCITY, 90 + step);
        }
        m.setParameterValue(ARP_PATTERN_STEP_SELECT, 0);
        return 0;
    });
    proteustest::RecordingListener listener;
    proteus->AddListener(&listener);
    ArpPatternData data;
    EXPECT_TRUE(proteus->ReadArpData(data));
    proteus->RemoveListener(&listener);

    EXPECT_EQ(QString::fromUtf16(data.name.data()), QStringLiteral("New Pattern ")); // the 12 characters as they stand
    EXPECT_EQ(data.steps[5].keyOffset, -2);
    EXPECT_EQ(data.steps[5].velocity, 95);
    EXPECT_EQ(data.steps[31].keyOffset, 24);
    EXPECT_EQ(data.steps[1].velocity, 100); // the module's default
    EXPECT_EQ(data.steps[1].duration, 12);

    // 12 name requests, then per step its selection and four requests.
    const QStringList sent = Sent();
    ASSERT_EQ(sent.size(), 12 + 32 * 5);
    EXPECT_EQ(sent[0], sim::ToHex(Hex("F0 18 0F 00 55 02 01 03 06 F7")));
    EXPECT_EQ(sent[12 + 5 * 5], sim::ToHex(Hex("F0 18 0F 00 55 01 02 02 06 05 00 F7")));
    EXPECT_EQ(sent[12 + 5 * 5 + 1], sim::ToHex(Hex("F0 18 0F 00 55 02 01 10 06 F7")));
    EXPECT_EQ(listener.calls.count(QStringLiteral("changed")), 32);
    EXPECT_EQ(listener.calls.count(QStringLiteral("step")), 44);
    EXPECT_EQ(listener.calls.first(), QStringLiteral("begin 0 44 Arp Parameters"));
    EXPECT_EQ(listener.calls.last(), QStringLiteral("end"));

    // A value that cannot be read ends the read as failed, progress closed.
    Begin();
    AddFault(Fault::Silence().on(CMD_PARAMETER_REQUEST).forSubject(ARP_STEP_VELOCITY).nth(3));
    proteus->AddListener(&listener);
    listener.calls.clear();
    EXPECT_FALSE(proteus->ReadArpData(data));
    proteus->RemoveListener(&listener);
    EXPECT_EQ(Sent().size(), 12 + 2 * 5 + 3);
    EXPECT_EQ(listener.calls.last(), QStringLiteral("end"));
}

TEST(CopyCommandLabels, EveryCopyCommandHasItsDialogLabel)
{
    EXPECT_EQ(CopyCommandLabel(CMD_COPY_PRESET), QStringLiteral("Preset"));
    EXPECT_EQ(CopyCommandLabel(CMD_COPY_PRESET_LINK), QStringLiteral("Preset Link"));
    EXPECT_EQ(CopyCommandLabel(CMD_COPY_LAYER), QStringLiteral("Layer"));
    EXPECT_EQ(CopyCommandLabel(CMD_COPY_LAYER_CORDS), QStringLiteral("Layer Cords"));
    EXPECT_TRUE(CopyCommandLabel(CMD_COPY_ARP).isEmpty());
    for (int command = CMD_COPY_PRESET; command <= CMD_COPY_LAYER_CORDS; ++command)
        EXPECT_FALSE(CopyCommandLabel(command).isEmpty()) << command;
}

} // namespace
