// The parameter protocol against the simulated module, byte for byte, in
// virtual time: value and range requests and the min/max cache, edits with
// the listeners' veto and the distribution of changes, ROM-id partners,
// capability and beat-layer rules, the device id, preset selection by bank
// select and program change, and the short messages of the keyboard and the
// MIDI thru on both ports.
#include "core/Settings.h"
#include "midi/AlternatePortDouble.h"
#include "support/ProteusSimFixture.h"

#include <gtest/gtest.h>

#include <functional>
#include <optional>

using proteustest::ProteusSimTest;
using proteustest::RecordingListener;
using proteustest::SimOptions;
using sim::Fault;
using sim::Hex;

namespace {

// Answers every question with a scripted answer and records the texts.
class ScriptedPresenter : public MessagePresenter {
public:
    int Present(QObject*, const QString& text, const QString&, unsigned) override
    {
        texts << text;
        return answer;
    }
    int answer = msgbox::IdYes;
    QStringList texts;
};

QStringList HexList(std::initializer_list<const char*> messages)
{
    QStringList out;
    for (const char* m : messages)
        out << sim::ToHex(Hex(m));
    return out;
}

const QString kUnknownLine = QStringLiteral("in any parameter cache - please report this problem");

class ParameterProtocol : public ProteusSimTest {
protected:
    void StartWith(const char* profileJson, int deviceId = 0)
    {
        SimOptions options;
        options.profileJson = profileJson;
        options.deviceId = deviceId;
        Start(options);
    }

    /// The messages the module received while f ran.
    QStringList SentDuring(const std::function<void()>& f)
    {
        const std::size_t before = ToModule().size();
        f();
        const std::vector<QByteArray> all = ToModule();
        QStringList out;
        for (std::size_t i = before; i < all.size(); ++i)
            out << sim::ToHex(all[i]);
        return out;
    }

    /// Edits and short messages get no reply: let the module take what was
    /// sent (a few milliseconds of wire and processing) before looking at it.
    void LetModuleProcess() { link->SleepMs(50); }

    std::optional<int> ModuleValue(int id)
    {
        LetModuleProcess();
        return link->withDevice([&](sim::Device&) { return module->parameterValue(id); });
    }

    /// What the listener heard, the SysEx traffic left out.
    static QStringList Heard(const RecordingListener& listener)
    {
        QStringList out;
        for (const QString& call : listener.calls)
            if (!call.startsWith(QStringLiteral("sysex")))
                out << call;
        return out;
    }

    ParamRecord* Find(int id) { return proteus->FindParameter(id); }
};

} // namespace

// ---- Messages ---------------------------------------------------------------------------

TEST_F(ParameterProtocol, EachMessageIsTheseBytesAndItsReplyIsRead)
{
    struct Row {
        const char* name;
        int deviceId;
        std::function<bool(Proteus&, ParamRecord&)> operation;
        int id;
        int value; // the record's value before the operation
        QStringList sent;
        std::function<void(const ParamRecord&)> check;
    } rows[] = {
        {"value request", 0, [](Proteus& p, ParamRecord& r) { return p.LowLevelParameterRequest(&r); },
         MASTER_CLOCK_TEMPO, 0, HexList({"F0 18 0F 00 55 02 01 01 02 F7"}),
         [](const ParamRecord& r) {
             EXPECT_EQ(r.value, 96);
             EXPECT_EQ(r.previousValue, 0);
         }},
        {"a negative value arrives as 7F 7F", 0,
         [](Proteus& p, ParamRecord& r) { return p.LowLevelParameterRequest(&r); }, MULTIMODE_FX_CTRL_CHANNEL, 3,
         HexList({"F0 18 0F 00 55 02 01 0C 01 F7"}), [](const ParamRecord& r) { EXPECT_EQ(r.value, -1); }},
        {"range request", 0, [](Proteus& p, ParamRecord& r) { return p.LowLevelParameterMinMaxRequest(&r); },
         MASTER_CLOCK_TEMPO, 7, HexList({"F0 18 0F 00 55 04 01 02 F7"}),
         [](const ParamRecord& r) {
             EXPECT_EQ(r.minimum, 25);
             EXPECT_EQ(r.maximum, 300);
             EXPECT_EQ(r.defaultValue, 120);
             EXPECT_FALSE(r.readOnly);
             EXPECT_EQ(r.value, 7); // a range request leaves the value
         }},
        {"a read-only range", 0, [](Proteus& p, ParamRecord& r) { return p.LowLevelParameterMinMaxRequest(&r); }, 136,
         0, HexList({"F0 18 0F 00 55 04 08 01 F7"}), [](const ParamRecord& r) { EXPECT_TRUE(r.readOnly); }},
        {"edit", 0, [](Proteus& p, ParamRecord& r) { return p.LowLevelParameterEdit(&r); }, MASTER_CLOCK_TEMPO, 200,
         HexList({"F0 18 0F 00 55 01 02 01 02 48 01 F7"}), nullptr},
        {"a negative edit goes as 7F 7F", 0, [](Proteus& p, ParamRecord& r) { return p.LowLevelParameterEdit(&r); },
         MULTIMODE_FX_CTRL_CHANNEL, -1, HexList({"F0 18 0F 00 55 01 02 0C 01 7F 7F F7"}), nullptr},
        {"every message carries the device id", 5,
         [](Proteus& p, ParamRecord& r) { return p.ParameterRequestWithMinMaxNoCache(&r) && p.ParameterRequest(&r); },
         LCD_VIEW_ANGLE, 0, HexList({"F0 18 0F 05 55 04 01 00 F7", "F0 18 0F 05 55 02 01 01 00 F7"}),
         [](const ParamRecord& r) {
             EXPECT_EQ(r.maximum, 15);
             EXPECT_EQ(r.value, 5);
         }},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartWith(R"({"base": "full"})", row.deviceId);
        ParamRecord record(QStringLiteral("TEST"), row.id, row.value);
        record.readOnly = false;
        bool ok = false;
        EXPECT_EQ(SentDuring([&] { ok = row.operation(*proteus, record); }), row.sent);
        EXPECT_TRUE(ok) << TranscriptText().toStdString();
        if (row.check)
            row.check(record);
        else
            EXPECT_EQ(ModuleValue(row.id), row.value); // the module took the edit
    }
}

TEST_F(ParameterProtocol, FailedRepliesChangeNothingAndSayWhy)
{
    struct Row {
        const char* name;
        bool range; // a range request, else a value request
        Fault fault;
        const char* logLine; // followed by " MASTER_CLOCK_TEMPO"; nullptr: nothing logged
        bool suppress = false;
        bool testUI = false;
    } rows[] = {
        {"value: time-out", false, Fault::Silence(), "No response to Parameter Request"},
        {"value: module error", false, Fault::ModuleError(2), "Error received for ParameterRequest"},
        {"value: reply one byte short, its F7 where the value ends", false, Fault::Truncate(10, true),
         "Error received for ParameterRequest"},
        {"value: reply under another device id", false, Fault::WrongDeviceId(9), "No response to Parameter Request"},
        {"value: suppressed", false, Fault::Silence(), nullptr, true},
        {"range: time-out", true, Fault::Silence(), "No response received for Parameter Min/Max Request"},
        {"range: module error", true, Fault::ModuleError(2), "Error received for Parameter Min/Max Request"},
        {"range: reply one byte short", true, Fault::Truncate(14, true),
         "Error received for Parameter Min/Max Request"},
        {"range: suppressed", true, Fault::ModuleError(2), nullptr, true},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        AddFault(Fault(row.fault).on(row.range ? CMD_PARAMETER_MINMAX_REQUEST : CMD_PARAMETER_REQUEST));
        ParamRecord record = *Find(MASTER_CLOCK_TEMPO);
        record.value = 42;
        record.minimum = -3;
        record.maximum = 3;
        const ParamRecord before = record;
        bool ok = true;
        {
            std::optional<Proteus::SuppressWarningMessages> quiet;
            if (row.suppress)
                quiet.emplace(proteus.get());
            ok = row.range ? proteus->LowLevelParameterMinMaxRequest(&record)
                           : proteus->LowLevelParameterRequest(&record);
        }
        EXPECT_FALSE(ok) << TranscriptText().toStdString();
        EXPECT_EQ(record.value, before.value);
        EXPECT_EQ(record.previousValue, before.previousValue);
        EXPECT_EQ(record.minimum, before.minimum);
        EXPECT_EQ(record.maximum, before.maximum);
        if (row.logLine)
            EXPECT_TRUE(Log().Contains(QString::fromUtf8(row.logLine) + QStringLiteral(" MASTER_CLOCK_TEMPO")));
        else
            EXPECT_FALSE(Log().Contains(QStringLiteral("MASTER_CLOCK_TEMPO")));

        // With TestUI the same failure counts as answered, and the record keeps what it had.
        GetGlobalConfigurations().SetBool(TestUI, true);
        ok = row.range ? proteus->LowLevelParameterMinMaxRequest(&record) : proteus->LowLevelParameterRequest(&record);
        EXPECT_TRUE(ok);
        EXPECT_EQ(record.value, before.value);
        EXPECT_EQ(record.minimum, before.minimum);
    }
}

TEST_F(ParameterProtocol, AReplyForAnotherParameterNeverAnswersARequest)
{
    // Forty master parameters asked one after the other, each holding a value
    // of its own on the module; a late, over-long or unasked reply must not be
    // taken for a later request's answer.
    // Parameter 127 as the module sends it unasked: its value (an edit) and its range.
    const QByteArray echo = Hex("F0 18 0F 00 55 01 02 7F 00 05 00 F7");
    const QByteArray rangeEcho = Hex("F0 18 0F 00 55 03 7F 00 00 00 7F 00 00 00 00 F7");
    struct Row {
        const char* name;
        bool range;
        Fault fault;
        int failures; // requests that end without their answer
    } rows[] = {
        {"a value reply 1.2 s late", false, Fault::Late(sim::Millis(1200)).nth(1), 1},
        {"a range reply 1.2 s late", true, Fault::Late(sim::Millis(1200)).nth(1), 1},
        {"a value reply 4000 bytes too long, so late", false, Fault::OverLong(4000).nth(1), 1},
        {"an edit echo before every value reply", false, Fault::Unsolicited(echo), 0},
        {"a range of another parameter before every range reply", true, Fault::Unsolicited(rangeEcho), 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        std::vector<int> ids;
        link->withDevice([&](sim::Device&) {
            for (int id = 257; ids.size() < 40; ++id) {
                const sim::ParameterDef* def = module->profile().parameter(id);
                if (def && def->scope == QStringLiteral("global") && id != MASTER_MIDI_ID) {
                    ids.push_back(id);
                    module->setParameterValue(id, 1000 + id);
                }
            }
        });
        AddFault(Fault(row.fault).on(row.range ? CMD_PARAMETER_MINMAX_REQUEST : CMD_PARAMETER_REQUEST));

        int failures = 0;
        for (int id : ids) {
            SCOPED_TRACE(id);
            ParamRecord record(QStringLiteral("TEST"), id, -5);
            record.minimum = record.maximum = record.defaultValue = -5;
            const bool ok = row.range ? proteus->LowLevelParameterMinMaxRequest(&record)
                                      : proteus->LowLevelParameterRequest(&record);
            if (!ok) {
                ++failures;
                EXPECT_EQ(record.value, -5);
                EXPECT_EQ(record.minimum, -5);
                continue;
            }
            if (row.range) {
                const sim::ParameterDef def = link->withDevice([&](sim::Device&) { return *module->profile().parameter(id); });
                EXPECT_EQ(record.minimum, def.minimum);
                EXPECT_EQ(record.maximum, def.maximum);
                EXPECT_EQ(record.defaultValue, def.defaultValue);
            } else {
                EXPECT_EQ(record.value, 1000 + id);
            }
        }
        EXPECT_EQ(failures, row.failures);
        EXPECT_EQ(proteus->PendingResponseCount(), 0u);
        EXPECT_TRUE(Log().Contains(QStringLiteral("Ignored a reply that answers no waiting request")));
    }
}

TEST_F(ParameterProtocol, UnknownIdNeverReachesTheModule)
{
    ParamRecord* dummy = Find(5000);
    EXPECT_EQ(dummy->id, 0);
    EXPECT_EQ(dummy->name, QStringLiteral("DUMMY_PARAMETER"));
    EXPECT_TRUE(Log().Contains(QStringLiteral("Failed to find parameter 0x1388 ") + kUnknownLine));
    // What one caller wrote into the placeholder does not reach the next.
    dummy->value = 77;
    EXPECT_EQ(Find(5001)->value, 0);

    proteus->SetReady(true);
    RecordingListener listener;
    proteus->AddListener(&listener);
    const std::function<bool(ParamRecord*)> operations[] = {
        [&](ParamRecord* r) { return proteus->ParameterRequest(r); },
        [&](ParamRecord* r) { return proteus->ParameterRequestWithMinMax(r); },
        [&](ParamRecord* r) { return proteus->ParameterRequestWithMinMaxNoCache(r); },
        [&](ParamRecord* r) { return proteus->ParameterEdit(r); },
        [&](ParamRecord* r) { return proteus->LowLevelParameterRequest(r); },
        [&](ParamRecord* r) { return proteus->LowLevelParameterMinMaxRequest(r); },
        [&](ParamRecord* r) { return proteus->LowLevelParameterEdit(r); },
    };
    for (const auto& operation : operations) {
        Log().Clear();
        ParamRecord* record = Find(4999);
        record->value = 3;
        bool ok = true;
        EXPECT_TRUE(SentDuring([&] { ok = operation(record); }).isEmpty());
        EXPECT_FALSE(ok);
        EXPECT_EQ(Log().Count(kUnknownLine), 2); // the look-up and the refusal
    }
    EXPECT_TRUE(Heard(listener).isEmpty());
    EXPECT_FALSE(proteus->AllParameters.Contains(0));
    proteus->RemoveListener(&listener);
}

TEST_F(ParameterProtocol, FixedRecordsPartnersAndControllers)
{
    struct Row {
        int id;
        const char* name;
        int maximum;
    } rows[] = {
        {ANY_PARAMETER, "ANY_PARAMETER", 1},       {MULTIMODE_BASIC_CHANNEL, "MULTIMODE_BASIC_CHANNEL", 31},
        {PRESET_SELECT, "PRESET_SELECT", 511},     {LAYER_SELECT, "LAYER_SELECT", 3},
        {MULTIMODE_PRESET, "MULTIMODE_PRESET", 4095}, {BEAT_LAYER_SELECT, "BEAT_LAYER_SELECT", 23},
        {SETUP_RELOAD_NOTIFIER, "SETUP_RELOAD_NOTIFIER", 1},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        const ParamRecord* record = Find(row.id);
        EXPECT_EQ(record->id, row.id);
        EXPECT_EQ(record->name, QString::fromUtf8(row.name));
        EXPECT_EQ(record->maximum, row.maximum);
        EXPECT_FALSE(record->readOnly);
        EXPECT_EQ(Find(row.id), record); // the same record every time
    }
    // Table parameters come from the data model's caches.
    EXPECT_EQ(Find(MASTER_CLOCK_TEMPO), proteus->MasterParameters.Find(MASTER_CLOCK_TEMPO));
    EXPECT_EQ(Find(LAYER_INSTRUMENT), proteus->LayerParameters.Find(LAYER_INSTRUMENT));
    EXPECT_FALSE(Log().Contains(kUnknownLine));

    QString name;
    EXPECT_EQ(Proteus::GetRomIdParameter(Find(LINK_2_PRESET), &name), LINK_2_PRESET_ROM_ID);
    EXPECT_EQ(name, QStringLiteral("LINK_2_PRESET_ROM_ID"));
    EXPECT_EQ(Proteus::GetRomIdParameter(Find(MASTER_CLOCK_TEMPO), &name), -1);
    EXPECT_EQ(name, QStringLiteral("UNKNOWN_COMMAND"));

    const auto& controllers = proteus->GetRealTimeControllers();
    ASSERT_EQ(controllers.size(), 19u);
    EXPECT_EQ(controllers[12].id, MASTER_MIDI_M_CONTROL);
    EXPECT_EQ(QString::fromUtf16(controllers[12].label), QStringLiteral("Mod 1"));
    EXPECT_EQ(controllers[12].needs16Controllers, 1);
    EXPECT_EQ(QString::fromUtf16(controllers[18].letter), QStringLiteral("FS3"));
}

// ---- Ranges and the min/max cache -------------------------------------------------------

TEST_F(ParameterProtocol, RangeIsAskedOnceAndTheValueEveryTime)
{
    ParamRecord* record = Find(MASTER_CLOCK_TEMPO);
    EXPECT_EQ(SentDuring([&] { EXPECT_TRUE(proteus->ParameterRequestWithMinMax(record)); }),
              HexList({"F0 18 0F 00 55 04 01 02 F7", "F0 18 0F 00 55 02 01 01 02 F7"}));
    EXPECT_EQ(record->minimum, 25);
    EXPECT_EQ(record->maximum, 300);
    EXPECT_EQ(record->defaultValue, 120);
    EXPECT_EQ(record->previousValue, 120); // the value starts from the default
    EXPECT_EQ(record->value, 96);
    EXPECT_TRUE(proteus->IsRangeKnown(MASTER_CLOCK_TEMPO));

    link->withDevice([&](sim::Device&) { return module->setParameterValue(MASTER_CLOCK_TEMPO, 140); });
    EXPECT_EQ(SentDuring([&] { EXPECT_TRUE(proteus->ParameterRequestWithMinMax(record)); }),
              HexList({"F0 18 0F 00 55 02 01 01 02 F7"}));
    EXPECT_EQ(record->value, 140);
    EXPECT_EQ(record->maximum, 300);
}

TEST_F(ParameterProtocol, FixedAndAdjustedRanges)
{
    struct Row {
        const char* name;
        int id;
        bool asked; // a range request goes to the module
        int minimum, maximum, defaultValue;
    } rows[] = {
        {"preset select is the editor's own", PRESET_SELECT, false, -1, 511, -1},
        {"layer select", LAYER_SELECT, false, -1, 3, 0},
        {"arp pattern speed", MASTER_ARP_PATTERN_SPEED, false, -2, 2, 0},
        {"preset riff", PRESET_RIFF, false, -1, 511, 0},
        {"layer transpose shown wider, the module's default kept", LAYER_TRANSPOSE, true, -36, 36, 0},
        {"FX B delay shown from -25", MASTER_FX_B_DELAY, true, -25, 127, 10},
        {"tempo offset", PRESET_TEMPO_OFFSET, true, -1, 1, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        ParamRecord record = *Find(row.id);
        const QStringList sent = SentDuring([&] { EXPECT_TRUE(proteus->ParameterRequestWithMinMaxNoCache(&record)); });
        EXPECT_EQ(sent.size(), row.asked ? 1 : 0) << sent.join(u',').toStdString();
        EXPECT_EQ(record.minimum, row.minimum);
        EXPECT_EQ(record.maximum, row.maximum);
        EXPECT_EQ(record.defaultValue, row.defaultValue);
        EXPECT_FALSE(record.readOnly);
    }
}

TEST_F(ParameterProtocol, FailedRangeIsNotKeptAndIsAskedAgain)
{
    const Fault faults[] = {Fault::Silence(), Fault::ModuleError(2), Fault::Truncate(14, true)};
    for (const Fault& fault : faults) {
        SCOPED_TRACE(sim::FaultKindName(fault.kind));
        Start({});
        AddFault(Fault(fault).on(CMD_PARAMETER_MINMAX_REQUEST).limit(1));
        ParamRecord* record = Find(MASTER_CLOCK_TEMPO);
        record->value = 50;
        EXPECT_EQ(SentDuring([&] { EXPECT_FALSE(proteus->ParameterRequestWithMinMax(record)); }),
                  HexList({"F0 18 0F 00 55 04 01 02 F7"}));
        EXPECT_EQ(record->value, 50);
        EXPECT_FALSE(proteus->IsRangeKnown(MASTER_CLOCK_TEMPO));

        // The next use asks again instead of taking 0 ... 0 read-only from the cache.
        EXPECT_EQ(SentDuring([&] { EXPECT_TRUE(proteus->ParameterRequestWithMinMax(record)); }),
                  HexList({"F0 18 0F 00 55 04 01 02 F7", "F0 18 0F 00 55 02 01 01 02 F7"}));
        EXPECT_EQ(record->maximum, 300);
        EXPECT_FALSE(record->readOnly);
        EXPECT_TRUE(proteus->IsRangeKnown(MASTER_CLOCK_TEMPO));
    }
}

TEST_F(ParameterProtocol, ValueStartsFromTheMinimumWhenTheDefaultLiesOutside)
{
    // The module reports a default of 20 for a range of 0 ... 15; the value
    // request then fails, so the record shows where the value started.
    StartWith(R"({"base": "full", "parameters": [{"ids": "1", "min": 0, "max": 15, "default": 20}]})");
    AddFault(Fault::Silence().on(CMD_PARAMETER_REQUEST));
    ParamRecord* record = Find(LCD_VIEW_ANGLE);
    record->value = 9;
    EXPECT_FALSE(proteus->ParameterRequestWithMinMax(record));
    EXPECT_EQ(record->previousValue, 20);
    EXPECT_EQ(record->value, 0);
}

// ---- Rules without traffic --------------------------------------------------------------

TEST_F(ParameterProtocol, MissingControllersAndBeatLayersSendNothing)
{
    StartWith(R"({"base": "full"})");
    proteus->SetReady(true);
    RecordingListener listener;
    proteus->AddListener(&listener);
    ParamRecord* controller = Find(MASTER_MIDI_N_CONTROL);
    ParamRecord* transpose = Find(BEATS_XPOSE);

    // Without CAP_16_CONTROLLERS controllers M-P read 0 and their edits go nowhere.
    controller->value = 7;
    EXPECT_TRUE(SentDuring([&] {
                    EXPECT_TRUE(proteus->ParameterRequestWithMinMax(controller));
                    controller->value = 9;
                    EXPECT_TRUE(proteus->ParameterEdit(controller));
                }).isEmpty());
    EXPECT_EQ(controller->maximum, 0);
    EXPECT_FALSE(proteus->IsRangeKnown(MASTER_MIDI_N_CONTROL)); // a rule, not an answer
    proteus->SetCapabilities(CAP_16_CONTROLLERS);
    EXPECT_EQ(SentDuring([&] { EXPECT_TRUE(proteus->ParameterRequestWithMinMax(controller)); }),
              HexList({"F0 18 0F 00 55 04 1C 03 F7", "F0 18 0F 00 55 02 01 1C 03 F7"}));
    EXPECT_EQ(controller->maximum, 121);

    // Beat layer 17 is a layer without velocity, transpose and group.
    ParamRecord beatLayer = *Find(BEAT_LAYER_SELECT);
    beatLayer.value = 17;
    EXPECT_EQ(SentDuring([&] { EXPECT_TRUE(proteus->ParameterEdit(&beatLayer)); }),
              HexList({"F0 18 0F 00 55 01 02 02 07 11 00 F7"}));
    EXPECT_EQ(proteus->GetCurrentLayer(), 17);
    listener.calls.clear();
    transpose->defaultValue = 4;
    transpose->value = 1;
    EXPECT_TRUE(SentDuring([&] {
                    EXPECT_TRUE(proteus->ParameterRequest(transpose));
                    EXPECT_EQ(transpose->value, 4);
                    transpose->value = 2;
                    EXPECT_TRUE(proteus->ParameterEdit(transpose));
                }).isEmpty());
    EXPECT_TRUE(Heard(listener).isEmpty());
    proteus->RemoveListener(&listener);
}

// ---- Edits ------------------------------------------------------------------------------

TEST_F(ParameterProtocol, ListenersMayRefuseAndHearEachAcceptedEditOnce)
{
    const QString changing = QStringLiteral("changing");
    const QString changed = QStringLiteral("changed");
    struct Row {
        const char* name;
        int id;
        int value;
        bool ready;
        bool allow;
        bool ok;
        QStringList sent;
        QStringList heard;
    } rows[] = {
        {"a refused basic channel sends nothing", MULTIMODE_BASIC_CHANNEL, 3, true, false, false, {}, {changing}},
        {"the basic channel is also sent as the channel select", MULTIMODE_BASIC_CHANNEL, 3, true, true, true,
         HexList({"F0 18 0F 00 55 01 02 0B 01 03 00 F7", "F0 18 0F 00 55 01 02 01 01 03 00 F7"}), {changing, changed}},
        {"an id outside the confirm set is not offered", MASTER_CLOCK_TEMPO, 130, true, false, true,
         HexList({"F0 18 0F 00 55 01 02 01 02 02 01 F7"}), {changed}},
        {"before the connection is ready nothing is distributed", MASTER_CLOCK_TEMPO, 130, false, true, true,
         HexList({"F0 18 0F 00 55 01 02 01 02 02 01 F7"}), {}},
        {"ANY_PARAMETER is only asked about", ANY_PARAMETER, 1, true, true, true, {}, {changing, changed}},
        {"the keyboard tuning is offered too", PRESET_KBD_TUNE, 2, true, false, false, {}, {changing}},
        {"a value that cannot travel is neither sent nor distributed", MASTER_CLOCK_TEMPO, 9000, true, true, false, {},
         {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        proteus->SetReady(row.ready);
        RecordingListener listener;
        listener.allowChange = row.allow;
        proteus->AddListener(&listener);
        ParamRecord edit = *Find(row.id);
        edit.value = row.value;
        bool ok = !row.ok;
        EXPECT_EQ(SentDuring([&] { ok = proteus->ParameterEdit(&edit); }), row.sent);
        EXPECT_EQ(ok, row.ok);
        EXPECT_EQ(Heard(listener), row.heard);
        // The held record follows a distributed change of a copy, and only then.
        const bool followed = row.heard.contains(changed) && row.id < SHORT_MIDI_MSG;
        EXPECT_EQ(Find(row.id)->value, followed ? row.value : 0);
        proteus->RemoveListener(&listener);
    }
    EXPECT_TRUE(Log().Contains(QStringLiteral("Failed to send Parameter Edit MASTER_CLOCK_TEMPO")));
}

TEST_F(ParameterProtocol, RomIdPartnerTravelsWithItsValue)
{
    StartWith(R"({"base": "full"})");
    proteus->SetCapabilities(CAP_ARPS_AND_BEATS);
    // An edit sends the SIMM id first.
    ParamRecord arp = *Find(PRESET_ARP_PATTERN);
    arp.romId = 3;
    arp.value = 5;
    EXPECT_EQ(SentDuring([&] { EXPECT_TRUE(proteus->ParameterEdit(&arp)); }),
              HexList({"F0 18 0F 00 55 01 02 12 08 03 00 F7", "F0 18 0F 00 55 01 02 03 08 05 00 F7"}));
    EXPECT_EQ(ModuleValue(PRESET_ARP_PATTERN_ROM_ID), 3);

    // A request asks the SIMM id first and takes it only with the value.
    link->withDevice([&](sim::Device&) {
        module->setParameterValue(LAYER_INST_ROM_ID, 4);
        return module->setParameterValue(LAYER_INSTRUMENT, 600);
    });
    ParamRecord instrument = *Find(LAYER_INSTRUMENT);
    instrument.romId = 9;
    EXPECT_EQ(SentDuring([&] { EXPECT_TRUE(proteus->ParameterRequest(&instrument)); }),
              HexList({"F0 18 0F 00 55 02 01 1F 0B F7", "F0 18 0F 00 55 02 01 01 0B F7"}));
    EXPECT_EQ(instrument.romId, 4);
    EXPECT_EQ(instrument.previousRomId, 9);
    EXPECT_EQ(instrument.value, 600);

    AddFault(Fault::Silence().on(CMD_PARAMETER_REQUEST).forSubject(LAYER_INSTRUMENT));
    link->withDevice([&](sim::Device&) { return module->setParameterValue(LAYER_INST_ROM_ID, 6); });
    EXPECT_FALSE(proteus->ParameterRequest(&instrument));
    EXPECT_EQ(instrument.romId, 4); // the value failed: the SIMM id is not half taken
    EXPECT_EQ(instrument.value, 600);
}

TEST_F(ParameterProtocol, DeviceIdEditAsksAndMovesTheConnection)
{
    struct Row {
        const char* name;
        int value;
        int answer;
        bool asked;
        QStringList sent;
    } rows[] = {
        {"No keeps everything", 5, msgbox::IdNo, true, {}},
        {"Yes sends under the old id", 5, msgbox::IdYes, true, HexList({"F0 18 0F 00 55 01 02 04 03 05 00 F7"})},
        {"an id that cannot travel is refused", 200, msgbox::IdYes, false, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        auto presenter = std::make_shared<ScriptedPresenter>();
        presenter->answer = row.answer;
        SetMessagePresenter(presenter);
        ParamRecord edit = *Find(MASTER_MIDI_ID);
        edit.value = row.value;
        bool ok = true;
        EXPECT_EQ(SentDuring([&] { ok = proteus->ParameterEdit(&edit); }), row.sent);
        const bool moved = !row.sent.isEmpty();
        EXPECT_EQ(ok, moved);
        EXPECT_EQ(presenter->texts.size(), row.asked ? 1 : 0);
        if (row.asked) {
            EXPECT_EQ(presenter->texts.front(), QStringLiteral("Changing the device ID requires an update to the current "
                                                               "configuration. Do you wish to proceed?"));
        }
        EXPECT_EQ(proteus->GetDeviceId(), moved ? row.value : 0);
        EXPECT_EQ(GetGlobalConfigurations().GetDword(DeviceId), moved ? std::uint32_t(row.value) : 0u);
        EXPECT_EQ(Find(MASTER_MIDI_ID)->value, moved ? row.value : 0);
        if (moved) {
            // The module moved with the edit: the next request finds it under the new id.
            ParamRecord tempo = *Find(MASTER_CLOCK_TEMPO);
            EXPECT_EQ(SentDuring([&] { EXPECT_TRUE(proteus->ParameterRequest(&tempo)); }),
                      HexList({"F0 18 0F 05 55 02 01 01 02 F7"}));
        }
    }
    EXPECT_FALSE(proteus->SetDeviceId(128));
    EXPECT_EQ(proteus->GetDeviceId(), 0);
}

TEST_F(ParameterProtocol, WithTestUIEditsCountAsSentWithoutAModule)
{
    for (const bool testUI : {true, false}) {
        SCOPED_TRACE(testUI ? "TestUI on" : "TestUI off");
        Start({});
        GetGlobalConfigurations().SetBool(TestUI, testUI);
        auto presenter = std::make_shared<ScriptedPresenter>();
        SetMessagePresenter(presenter);
        proteus->SetConnected(false); // as with no port open
        proteus->SetReady(true);
        RecordingListener listener;
        proteus->AddListener(&listener);
        for (const auto& [id, value] : {std::pair{MASTER_CLOCK_TEMPO, 130}, std::pair{BEAT_LAYER_SELECT, 18},
                                        std::pair{MASTER_MIDI_ID, 6}, std::pair{PRESET_ARP_PATTERN, 4}}) {
            ParamRecord edit = *Find(id);
            edit.value = value;
            const int editedId = id; // a structured binding cannot be captured by every compiler yet
            EXPECT_TRUE(SentDuring([&] { EXPECT_EQ(proteus->ParameterEdit(&edit), testUI) << editedId; }).isEmpty());
        }
        EXPECT_EQ(Heard(listener).size(), testUI ? 4 : 0);
        EXPECT_EQ(proteus->GetDeviceId(), testUI ? 6 : 0);
        EXPECT_EQ(proteus->GetCurrentLayer(), 0); // no layer selection reached the module
        proteus->RemoveListener(&listener);
    }
}

namespace {

// Stands in for the setup edit buffer: channel c holds preset 100 + c of ROM 4.
struct SetupDouble : Proteus::SetupParameters {
    bool GetParameter(int channel, ParamRecord* record) override
    {
        channels << channel;
        if (!answers)
            return false;
        record->previousRomId = record->romId;
        record->romId = 4;
        record->previousValue = record->value;
        record->value = 100 + channel;
        return true;
    }
    void OnParameterChanged(ParamRecord* record) override { changes << record->id; }
    bool answers = true;
    QList<int> channels;
    QList<int> changes;
};

} // namespace

TEST_F(ParameterProtocol, SetupBufferAnswersTheChannelPreset)
{
    ParamRecord preset = *Find(MULTIMODE_PRESET);
    EXPECT_FALSE(proteus->ParameterRequestWithMinMax(&preset)); // no buffer yet

    SetupDouble setup;
    proteus->SetSetupParameters(&setup);
    Find(MULTIMODE_BASIC_CHANNEL)->value = 7;
    EXPECT_TRUE(SentDuring([&] {
                    EXPECT_TRUE(proteus->ParameterRequestWithMinMax(&preset));
                    EXPECT_TRUE(proteus->ParameterRequest(&preset));
                }).isEmpty());
    EXPECT_EQ(setup.channels, (QList<int>{7, 7}));
    EXPECT_EQ(preset.value, 107);
    EXPECT_EQ(preset.romId, 4);
    EXPECT_EQ(preset.maximum, 4095); // the pseudo-parameter keeps its own range

    int romId = 0, number = 0;
    EXPECT_TRUE(proteus->GetChannelPreset(12, romId, number));
    EXPECT_EQ(romId, 4);
    EXPECT_EQ(number, 112);
    setup.answers = false;
    EXPECT_FALSE(proteus->GetChannelPreset(12, romId, number));
    EXPECT_FALSE(proteus->ParameterRequest(&preset));
    EXPECT_EQ(preset.value, 107);

    // Every distributed change reaches the buffer before the listeners.
    proteus->SetReady(true);
    RecordingListener listener;
    listener.onCall = [&](const QString& call) {
        if (call == QStringLiteral("changed")) {
            EXPECT_EQ(setup.changes.size(), 1);
        }
    };
    proteus->AddListener(&listener);
    ParamRecord tempo = *Find(MASTER_CLOCK_TEMPO);
    tempo.value = 99;
    EXPECT_TRUE(proteus->ParameterEdit(&tempo));
    EXPECT_EQ(setup.changes, QList<int>{MASTER_CLOCK_TEMPO});
    EXPECT_EQ(Heard(listener), QStringList{QStringLiteral("changed")});
    proteus->RemoveListener(&listener);
    proteus->SetSetupParameters(nullptr);
}

// ---- Preset selection -------------------------------------------------------------------

TEST_F(ParameterProtocol, ChannelPresetIsSelectedByBankSelectAndProgramChange)
{
    // The module's channels are off and take no program change: only the
    // editor's temporary switch lets the selection through.
    const char* closed = R"({"base": "full", "values": {"135": 0, "137": 0}})";
    struct Row {
        const char* name;
        int channel;
        bool alternatePort;
        int romId;
        int preset;
        bool selected;
        QStringList onA; // after the switch edits
        QStringList onB;
    } rows[] = {
        {"preset 300 of ROM 2 on channel 3", 3, false, 2, 300, true, HexList({"B3 00 02", "B3 20 02", "C3 2C"}), {}},
        {"channel 20 goes through the alternate port", 20, true, 4, 5, true, {},
         HexList({"B4 00 04", "B4 20 00", "C4 05"})},
        {"channel 20 without an alternate port", 20, false, 4, 5, false, {}, {}},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        StartWith(closed);
        std::shared_ptr<LoopbackDevice> bDevice = backend->AddDevice(QStringLiteral("B Port"));
        MidiPort bPort(false, backend);
        if (row.alternatePort) {
            ASSERT_TRUE(bPort.OpenPort(-1, 1, 1000));
            for (int i = 0; i < 100 && !bPort.IsConnectNotified(); ++i)
                bPort.PumpMessages();
            proteus->SetAlternatePort(&bPort);
        }
        proteus->SetReady(true);
        // The basic channel goes to the module as its channel select too, so
        // the module's channel switches below are those of this channel.
        ParamRecord basic = *Find(MULTIMODE_BASIC_CHANNEL);
        basic.value = row.channel;
        ASSERT_TRUE(proteus->ParameterEdit(&basic));
        RecordingListener listener;
        proteus->AddListener(&listener);

        ParamRecord preset = *Find(MULTIMODE_PRESET);
        preset.romId = row.romId;
        preset.value = row.preset;
        const QStringList sent = SentDuring([&] { EXPECT_TRUE(proteus->ParameterEdit(&preset)); });
        QStringList expected = HexList({"F0 18 0F 00 55 01 02 07 01 01 00 F7", "F0 18 0F 00 55 01 02 09 01 01 00 F7"});
        expected << row.onA
                 << HexList({"F0 18 0F 00 55 01 02 09 01 00 00 F7", "F0 18 0F 00 55 01 02 07 01 00 00 F7"});
        EXPECT_EQ(sent, expected);
        EXPECT_EQ(Heard(listener), (QStringList{QStringLiteral("changing"), QStringLiteral("changed")}));
        EXPECT_EQ(Find(MULTIMODE_CHANNEL_ENABLE)->value, 0); // switched back
        if (row.alternatePort) {
            ASSERT_TRUE(backend->Flush(std::chrono::seconds(5)));
            QStringList onB;
            for (const std::vector<std::uint8_t>& m : bDevice->Received())
                onB << sim::ToHex(QByteArray(reinterpret_cast<const char*>(m.data()), qsizetype(m.size())));
            EXPECT_EQ(onB, row.onB);
        }
        LetModuleProcess();
        const sim::ChannelProgram program =
            link->withDevice([&](sim::Device&) { return module->state().programs[row.channel & 0x0F]; });
        EXPECT_EQ(program.preset, row.selected && !row.alternatePort ? row.preset : -1);
        EXPECT_EQ(program.romId, row.selected && !row.alternatePort ? row.romId : -1);
        proteus->RemoveListener(&listener);
        proteus->SetAlternatePort(nullptr);
    }
}

TEST_F(ParameterProtocol, PresetSelectionThatCannotTravelIsRefused)
{
    struct Row {
        const char* name;
        int romId;
        int preset;
    } rows[] = {
        {"a ROM id above 127", 200, 5},
        {"a negative ROM id", -1, 5},
        {"a negative preset number", 2, -1},
        {"a preset number beyond bank select", 2, 16384},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_TRUE(SentDuring([&] { EXPECT_FALSE(proteus->SelectPreset(row.romId, row.preset)); }).isEmpty());
        EXPECT_TRUE(Log().Contains(QStringLiteral("Cannot select preset %1 of ROM %2").arg(row.preset).arg(row.romId)));
    }
    const Proteus::PresetSelect split = Proteus::SplitPresetNumber(2, 300);
    EXPECT_EQ(split.msb, 2);
    EXPECT_EQ(split.lsb, 2);
    EXPECT_EQ(split.program, 44);
}

// ---- Short messages ---------------------------------------------------------------------

TEST_F(ParameterProtocol, ShortMessagesTakeTheChannelAndThePortItNeeds)
{
    struct Row {
        const char* name;
        int channel;
        const char* message; // status, data, data
        bool alternatePort;
        const char* onA;    // nullptr: nothing
        const char* onB;
        const char* echo;   // what the listeners hear; nullptr: nothing
        bool result;
    } rows[] = {
        {"a note takes the channel", 3, "90 3C 64", false, "93 3C 64", nullptr, "93 3c 64 00", true},
        {"a channel already in the status is replaced", 2, "95 3C 64", false, "92 3C 64", nullptr, "92 3c 64 00", true},
        {"clock stays a clock", 5, "F8 00 00", false, "F8", nullptr, "f8 00 00 00", true},
        {"start stays a start", 9, "FA 00 00", false, "FA", nullptr, "fa 00 00 00", true},
        {"channels 16-31 use the alternate port", 20, "B0 07 40", true, nullptr, "B4 07 40", "b4 07 40 00", true},
        {"without an alternate port nothing goes out", 20, "B0 07 40", false, nullptr, nullptr, "b4 07 40 00",
         false},
        {"a data byte of 0x80 or more is refused", 1, "90 3C 90", false, nullptr, nullptr, nullptr, false},
        {"a message without a status is refused", 1, "3C 40 00", false, nullptr, nullptr, nullptr, false},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.name);
        Start({});
        std::shared_ptr<LoopbackDevice> bDevice = backend->AddDevice(QStringLiteral("B Port"));
        MidiPort bPort(false, backend);
        if (row.alternatePort) {
            ASSERT_TRUE(bPort.OpenPort(-1, 1, 1000));
            for (int i = 0; i < 100 && !bPort.IsConnectNotified(); ++i)
                bPort.PumpMessages();
            proteus->SetAlternatePort(&bPort);
        }
        RecordingListener listener;
        proteus->AddListener(&listener);

        const QByteArray bytes = Hex(row.message);
        const std::uint8_t packed[4] = {std::uint8_t(bytes[0]), std::uint8_t(bytes[1]), std::uint8_t(bytes[2]), 0};
        ParamRecord record;
        Proteus::MakeShortMidiMsgParameter(row.channel, packed, &record);
        EXPECT_EQ(record.id, SHORT_MIDI_MSG);
        EXPECT_EQ(record.defaultValue, row.channel);
        EXPECT_EQ(proteus->ParameterEdit(&record), row.result);

        LetModuleProcess();
        const std::vector<QByteArray> onA =
            link->withDevice([&](sim::Device&) { return module->state().shortMessages; });
        EXPECT_EQ(onA, row.onA ? std::vector<QByteArray>{Hex(row.onA)} : std::vector<QByteArray>{});
        ASSERT_TRUE(backend->Flush(std::chrono::seconds(5)));
        const auto onB = bDevice->Received();
        EXPECT_EQ(onB.size(), row.onB ? 1u : 0u);
        if (row.onB && !onB.empty()) {
            EXPECT_EQ(QByteArray(reinterpret_cast<const char*>(onB[0].data()), qsizetype(onB[0].size())), Hex(row.onB));
        }
        EXPECT_EQ(Heard(listener), row.echo ? QStringList{QStringLiteral("short ") + QString::fromUtf8(row.echo)}
                                            : QStringList{});
        proteus->RemoveListener(&listener);
        proteus->SetAlternatePort(nullptr);
    }
}

TEST_F(ParameterProtocol, ControllerKeyboardReachesTheModuleOnTheBasicChannel)
{
    // The document's alternate port hands what the controller plays to the
    // module connection, which sends it on the panel's channel.
    std::shared_ptr<LoopbackDevice> controller = backend->AddDevice(QStringLiteral("Controller"));
    AlternatePortDouble alternate(
        [&](std::uint32_t m) {
            const std::uint8_t packed[4] = {std::uint8_t(m), std::uint8_t(m >> 8), std::uint8_t(m >> 16), 0};
            proteus->SendShortMidiMessage(packed);
        },
        [&] { return Find(MULTIMODE_BASIC_CHANNEL)->value; }, backend);
    ASSERT_TRUE(alternate.OpenPort(1, 1, 1000));
    for (int i = 0; i < 100 && !alternate.IsConnectNotified(); ++i)
        alternate.PumpMessages();
    Find(MULTIMODE_BASIC_CHANNEL)->value = 6;

    controller->SendShort(0x7F4091); // note on, channel 2 on the keyboard
    controller->SendShort(0xF8);     // clock
    for (int i = 0; i < 100 && alternate.shortMessages < 2; ++i)
        alternate.PumpMessages();
    LetModuleProcess();
    const std::vector<QByteArray> received =
        link->withDevice([&](sim::Device&) { return module->state().shortMessages; });
    EXPECT_EQ(received, (std::vector<QByteArray>{Hex("96 40 7F"), Hex("F8")}));
}
