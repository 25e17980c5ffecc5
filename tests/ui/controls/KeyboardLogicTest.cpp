// The on-screen keyboard's logic: the hit map, the note rules per mode, chords,
// the channel each note remembers, the repeat and clock ticks, the test-note
// keys, and the rule that a tick never reaches the owner or the surface.
#include "ControlTestSupport.h"

#include "core/Settings.h"
#include "module/ParameterIds.h"
#include "platform/SettingsStore.h"
#include "ui/controls/KeyboardLogic.h"
#include "ui/framework/CommandIds.h"

#include <QCoreApplication>
#include <QElapsedTimer>

#include <gtest/gtest.h>

#include <mutex>
#include <thread>

inline std::ostream& operator<<(std::ostream& os, const KeyboardMessage& m)
{
    return os << std::hex << "{" << int(m.status) << " " << std::dec << int(m.data1) << " " << int(m.data2) << " ch "
              << m.channel << "}";
}

namespace {

KeyboardMessage On(int note, int velocity, int channel = 0)
{
    return {0x90, std::uint8_t(note), std::uint8_t(velocity), channel};
}
KeyboardMessage Off(int note, int velocity, int channel = 0)
{
    return {0x80, std::uint8_t(note), std::uint8_t(velocity), channel};
}
KeyboardMessage System(int status)
{
    return {std::uint8_t(status), 0, 0, 0};
}

/// Takes the keyboard's short messages and notes every call made off the
/// thread that built it.
class KeyboardOwner : public RecordingOwner {
public:
    KeyboardOwner()
    {
        records[MULTIMODE_BASIC_CHANNEL] = ParamRecord(QStringLiteral("MULTIMODE_BASIC_CHANNEL"), MULTIMODE_BASIC_CHANNEL, 0);
    }
    bool EditParameter(ParamRecord* r) override
    {
        Check();
        if (r->id == SHORT_MIDI_MSG)
            sent.push_back({std::uint8_t(r->value & 0xFF), std::uint8_t(r->value >> 8), std::uint8_t(r->romId & 0xFF),
                            r->defaultValue});
        return true;
    }
    ParamRecord* GetParameter(int id) override
    {
        Check();
        return RecordingOwner::GetParameter(id);
    }
    void Check()
    {
        if (std::this_thread::get_id() != ui)
            ++offThread;
    }
    std::vector<KeyboardMessage> Take() { return std::exchange(sent, {}); }
    void SetChannel(int c) { records[MULTIMODE_BASIC_CHANNEL].value = c; }

    std::vector<KeyboardMessage> sent;
    std::thread::id ui = std::this_thread::get_id();
    std::atomic<int> offThread{0};
};

class KeyboardTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        GetGlobalConfigurations().SetKeyName(QStringLiteral("Settings"));
        KeyboardLogic::ResetHook();
    }
    void TearDown() override { platform::SetCurrentSettingsStore(nullptr); }
    void Chord(int n1, int n2, int n3, int n4, bool diatonic)
    {
        KeyboardSettings s = KeyboardSettings::Read();
        s.chordNotes[0] = n1;
        s.chordNotes[1] = n2;
        s.chordNotes[2] = n3;
        s.chordNotes[3] = n4;
        s.diatonic = diatonic;
        s.Store();
    }
};

TEST_F(KeyboardTest, HitMap)
{
    struct Case {
        int x, y;
        std::optional<KeyHit> hit;
    };
    const Case cases[] = {
        {4, 3, KeyHit{24, 127}},     // first C, top row
        {4, 49, KeyHit{24, 81}},     // last row of the upper zone
        {11, 20, KeyHit{25, 110}},   // C sharp column
        {11, 60, KeyHit{24, 81}},    // the lower zone has white keys only
        {14, 60, KeyHit{26, 81}},    // D in the lower zone
        {71, 60, KeyHit{35, 81}},    // B
        {74, 10, KeyHit{36, 120}},   // next octave
        {494, 30, KeyHit{108, 100}}, // the last pixel right of the picture
        {495, 30, std::nullopt},
        {3, 30, std::nullopt},
        {100, 2, std::nullopt},
        {100, 69, std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(KeyboardLogic::HitTest(c.x, c.y), c.hit) << c.x << "," << c.y;
    EXPECT_EQ(KeyboardLogic::MarkerRect(25), QRect(11, 0, 6, 3));
    EXPECT_EQ(KeyboardLogic::MarkerRect(36), QRect(74, 0, 7, 3));
}

TEST_F(KeyboardTest, PeriodKeepsTheTempoInRange)
{
    const std::pair<int, int> cases[] = {{60, 42}, {30, 83}, {180, 14}, {0, 83}, {-5, 83}, {29, 83}, {1000, 14}, {120, 21}};
    for (auto [bpm, ms] : cases)
        EXPECT_EQ(KeyboardLogic::PeriodMs(bpm), ms) << bpm;
}

TEST_F(KeyboardTest, PressAndReleasePerMode)
{
    struct Step {
        bool down;
        int note;
    };
    struct Case {
        const char* name;
        int mode;
        std::vector<Step> steps;
        std::vector<KeyboardMessage> sent;
        int held;
    };
    const Case cases[] = {
        {"momentary", 0, {{true, 60}, {false, 60}}, {On(60, 100), Off(60, 100)}, 255},
        {"momentary: a held note is released before another is held",
         0, {{true, 60}, {true, 62}}, {On(60, 100), Off(60, 100), On(62, 100)}, 62},
        {"latch stays after up", 1, {{true, 60}, {false, 60}}, {On(60, 100)}, 60},
        {"latch re-press releases", 1, {{true, 60}, {true, 60}}, {On(60, 100), Off(60, 100)}, 255},
        {"latch swap", 1, {{true, 60}, {true, 64}}, {On(60, 100), Off(60, 100), On(64, 100)}, 64},
        {"repeat swap", 2, {{true, 60}, {false, 60}, {true, 64}}, {On(60, 100), Off(60, 100), On(64, 100)}, 64},
        {"out of range is dropped", 0, {{true, 130}}, {}, 130},
    };
    for (const Case& c : cases) {
        KeyboardOwner owner;
        KeyboardLogic keys(&owner);
        keys.SetMode(c.mode);
        for (const Step& s : c.steps)
            keys.NoteInput(s.down, s.note, 100);
        EXPECT_EQ(owner.Take(), c.sent) << c.name;
        EXPECT_EQ(keys.HeldNote(), c.held) << c.name;
    }
}

TEST_F(KeyboardTest, ANoteOffGoesToTheChannelItsNoteStartedOn)
{
    KeyboardOwner owner;
    KeyboardLogic keys(&owner);
    owner.SetChannel(3);
    keys.SetMode(1);
    keys.NoteInput(true, 60, 90);
    owner.SetChannel(5);
    ParamRecord change(QStringLiteral("MULTIMODE_BASIC_CHANNEL"), MULTIMODE_BASIC_CHANNEL, 5);
    keys.ParameterChanged(&change);
    keys.NoteInput(true, 62, 90);
    keys.NoteInput(true, 62, 90);
    EXPECT_EQ(owner.Take(), (std::vector<KeyboardMessage>{On(60, 90, 3), Off(60, 90, 3), On(62, 90, 5), Off(62, 90, 5)}));
}

TEST_F(KeyboardTest, ChordsAndTheDiatonicCorrection)
{
    struct Case {
        const char* name;
        bool chord, diatonic;
        int note;
        std::vector<int> notes;
    };
    const Case cases[] = {
        {"no chord ignores diatonic", false, true, 61, {61}},
        {"C major", true, false, 60, {60, 64, 67}},
        {"C diatonic", true, true, 60, {60, 64, 67}},
        {"D diatonic", true, true, 62, {62, 65, 69}},
        {"black root lowered first", true, true, 61, {60, 64, 67}},
        {"above the top dropped", true, false, 125, {125}},
    };
    for (const Case& c : cases) {
        Chord(4, 7, 0, 0, c.diatonic);
        KeyboardOwner owner;
        KeyboardLogic keys(&owner);
        keys.SetChord(c.chord);
        keys.NoteInput(true, c.note, 100);
        std::vector<int> notes;
        for (const KeyboardMessage& m : owner.Take())
            notes.push_back(m.data1);
        EXPECT_EQ(notes, c.notes) << c.name;
    }
}

/// Runs ticks on the test's thread, collecting what they send raw and then
/// what their posted echo delivers.
struct TickRig {
    KeyboardOwner owner;
    KeyboardLogic keys{&owner};
    std::vector<KeyboardMessage> raw;
    std::vector<KeyboardMessage> echoed;
    TickRig()
    {
        keys.SetTickSender([this](std::uint32_t packed, int channel) {
            raw.push_back({std::uint8_t(packed), std::uint8_t(packed >> 8), std::uint8_t(packed >> 16), channel});
            return true;
        });
        keys.SetEchoHandler([this](const KeyboardMessage& m) { echoed.push_back(m); });
    }
    void Ticks(int n)
    {
        for (int i = 0; i < n; ++i)
            keys.Tick();
        QCoreApplication::processEvents();
    }
};

TEST_F(KeyboardTest, RepeatSoundsTwelveTicksAndRestsTwelve)
{
    TickRig rig;
    rig.keys.SetMode(2);
    rig.keys.NoteInput(true, 60, 100);
    EXPECT_EQ(rig.owner.Take(), (std::vector<KeyboardMessage>{On(60, 100)}));
    rig.Ticks(11);
    EXPECT_TRUE(rig.raw.empty());
    rig.Ticks(1);
    EXPECT_EQ(rig.raw, (std::vector<KeyboardMessage>{Off(60, 100)}));
    rig.Ticks(12);
    EXPECT_EQ(rig.raw, (std::vector<KeyboardMessage>{Off(60, 100), On(60, 100)}));
    EXPECT_EQ(rig.echoed, rig.raw) << "every tick message is echoed on the user-interface thread";
    EXPECT_EQ(rig.keys.Marked(), (std::set<int>{60}));
    rig.keys.NoteInput(true, 60, 100); // unlatch
    rig.Ticks(24);
    EXPECT_EQ(rig.raw.size(), 2u);
}

TEST_F(KeyboardTest, ClockStartTicksAndStop)
{
    GetGlobalConfigurations().SetBool(ConfigSendClock, true);
    GetGlobalConfigurations().SetDword(RepeatSpeed, 0); // guarded: the slowest tempo
    TickRig rig;
    rig.keys.StartTimer(true);
    EXPECT_EQ(rig.keys.TimerPeriod(), 83);
    EXPECT_TRUE(rig.keys.TimerRunning());
    rig.keys.StartTimer(false);
    EXPECT_EQ(rig.owner.Take(), (std::vector<KeyboardMessage>{System(0xFA), System(0xFC)}));
    GetGlobalConfigurations().SetBool(ConfigSendClock, false);
    rig.keys.StartTimer(true);
    rig.keys.StartTimer(false);
    EXPECT_TRUE(rig.owner.Take().empty()) << "no clock, no start or stop";
}

TEST_F(KeyboardTest, TestNoteKeys)
{
    KeyboardOwner owner;
    KeyboardLogic keys(&owner);
    ASSERT_EQ(KeyboardLogic::HookTarget(), &keys);
    auto press = [](int key) { return KeyboardLogic::HookKeyEvent(true, key, false); };
    auto release = [](int key) { return KeyboardLogic::HookKeyEvent(false, key, false); };
    EXPECT_FALSE(press(Qt::Key_Z)) << "Z alone passes";
    EXPECT_FALSE(press(Qt::Key_Control));
    EXPECT_FALSE(press(Qt::Key_Shift));
    EXPECT_TRUE(press(Qt::Key_Z));
    EXPECT_FALSE(KeyboardLogic::HookKeyEvent(true, Qt::Key_Z, true)) << "auto-repeats pass";
    EXPECT_TRUE(release(Qt::Key_Z));
    EXPECT_EQ(owner.Take(), (std::vector<KeyboardMessage>{On(24, 100), Off(24, 100)}));
    for (int i = 0; i < 9; ++i)
        EXPECT_TRUE(press(Qt::Key_S));
    EXPECT_EQ(KeyboardLogic::HookNote(), 108);
    EXPECT_TRUE(press(Qt::Key_X));
    EXPECT_EQ(KeyboardLogic::HookNote(), 96);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(press(Qt::Key_C));
    EXPECT_EQ(KeyboardLogic::HookVelocity(), 0);
    for (int i = 0; i < 20; ++i)
        EXPECT_TRUE(press(Qt::Key_D));
    EXPECT_EQ(KeyboardLogic::HookVelocity(), 127);
    EXPECT_FALSE(press(Qt::Key_A)) << "other keys pass";

    // The test note held after Shift is let go is released by the next mouse press.
    EXPECT_TRUE(press(Qt::Key_Z));
    EXPECT_FALSE(release(Qt::Key_Shift));
    EXPECT_FALSE(release(Qt::Key_Z));
    keys.MousePress(4, 60);
    keys.MouseRelease();
    EXPECT_EQ(owner.Take(), (std::vector<KeyboardMessage>{On(96, 127), Off(96, 127), On(24, 81), Off(24, 81)}));
}

TEST_F(KeyboardTest, ConfigureKeyboardStoresTheSettingsOnOkOnly)
{
    class Configured : public KeyboardLogic {
    public:
        using KeyboardLogic::KeyboardLogic;
        std::optional<KeyboardSettings> answer;
        KeyboardSettings given;

    protected:
        std::optional<KeyboardSettings> RunConfigureDialog(QWidget*, const KeyboardSettings& s) override
        {
            given = s;
            return answer;
        }
    };
    GetGlobalConfigurations().SetDword(RepeatSpeed, 90);
    KeyboardOwner owner;
    Configured keys(&owner);
    keys.SetMode(1);
    keys.NoteInput(true, 60, 100);
    owner.Take();
    keys.OnContextMenuCommand(nullptr, nullptr, cmd::ConfigureKeyboard); // cancelled
    EXPECT_EQ(keys.given.repeatSpeed, 90);
    EXPECT_EQ(keys.HeldNote(), 60) << "Cancel changes nothing";
    KeyboardSettings edited;
    edited.repeatSpeed = 150;
    edited.chordNotes[0] = 5;
    edited.sendClock = true;
    keys.answer = edited;
    keys.OnContextMenuCommand(nullptr, nullptr, cmd::ConfigureKeyboard);
    EXPECT_EQ(KeyboardSettings::Read(), edited);
    EXPECT_EQ(keys.TimerPeriod(), KeyboardLogic::PeriodMs(150));
    keys.StartTimer(false);
    EXPECT_EQ(owner.Take(), (std::vector<KeyboardMessage>{Off(60, 100), System(0xFA), System(0xFC)}));
}

TEST_F(KeyboardTest, TheTickThreadReachesNoOwnerAndNoSurface)
{
    GetGlobalConfigurations().SetBool(ConfigSendClock, true);
    GetGlobalConfigurations().SetDword(RepeatSpeed, 180);
    KeyboardOwner owner;
    FakeSurface surface;
    KeyboardLogic keys(&owner);
    keys.SetSurface(&surface);
    keys.ArmThreadCheck(true);
    std::mutex lock;
    int rawSends = 0;
    std::thread::id senderThread;
    keys.SetTickSender([&](std::uint32_t, int) {
        std::lock_guard<std::mutex> guard(lock);
        ++rawSends;
        senderThread = std::this_thread::get_id();
        return true;
    });
    std::vector<KeyboardMessage> echoed;
    keys.SetEchoHandler([&](const KeyboardMessage& m) {
        owner.Check();
        echoed.push_back(m);
    });
    keys.SetMode(2);
    keys.NoteInput(true, 60, 100);
    keys.Activate();
    QElapsedTimer wait;
    wait.start();
    while (echoed.size() < 40 && wait.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    keys.Deactivate();
    QCoreApplication::processEvents();
    ASSERT_GE(echoed.size(), 40u);
    EXPECT_NE(senderThread, std::this_thread::get_id()) << "the raw sends come from the tick thread";
    EXPECT_EQ(keys.ThreadViolations(), 0);
    EXPECT_EQ(owner.offThread.load(), 0);
    EXPECT_GT(surface.repaints, 0) << "the markers repaint on the user-interface thread";

    // The check itself: the same update path driven from another thread is caught.
    std::thread([&] { keys.NoteInput(true, 50, 1); }).join();
    EXPECT_GT(keys.ThreadViolations(), 0);
}

} // namespace
