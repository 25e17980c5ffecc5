#pragma once
// The on-screen keyboard's logic: the key picture's hit map, the held note
// and its momentary, latch and repeat rules, chords with the diatonic
// correction, the repeat and MIDI clock ticks, and the Ctrl+Shift test note.
//
// Two threads meet here. Presses, releases and settings changes run on the
// user-interface thread and send their notes through the owner's
// EditParameter. The ticks run on a thread of our own (KeyboardTicker); a
// tick never calls the owner, the surface or any listener: it sends its raw
// MIDI through the port's thread-safe send and posts the echo (the port's
// listeners hear what was sent) and the marker repaint to the user-interface
// thread. The note state both threads share is kept under one lock, and
// nothing is sent while the lock is held.
//
// Every sounding note remembers the channel it started on, and its note-off
// goes to that channel, so a change of the basic channel never leaves a note
// hanging. A press in momentary mode releases a still-held different note
// before it holds the new one.

#include "ui/controls/ControlSurface.h"
#include "ui/controls/KeyboardTicker.h"
#include "ui/framework/ControlBase.h"

#include <QKeySequence>
#include <QRect>

#include <atomic>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <vector>

class QObject;

/// A note and its velocity found under a point of the picture.
struct KeyHit {
    int note = 0;
    int velocity = 0;
    bool operator==(const KeyHit&) const = default;
};

/// One short message the keyboard produced.
struct KeyboardMessage {
    std::uint8_t status = 0;
    std::uint8_t data1 = 0;
    std::uint8_t data2 = 0;
    int channel = 0;
    bool operator==(const KeyboardMessage&) const = default;
};

/// The keyboard's settings, as the configuration dialog edits them.
struct KeyboardSettings {
    int repeatSpeed = 60;
    int chordNotes[4] = {0, 0, 0, 0};
    bool diatonic = false;
    bool sendClock = false;
    /// From the settings RepeatSpeed, Diatonic, ChordNote1-4 and ConfigSendClock.
    static KeyboardSettings Read();
    /// Into the same settings, in that order.
    void Store() const;
    bool operator==(const KeyboardSettings&) const = default;
};

class KeyboardLogic : public ControlBase {
public:
    /// The picture's size and its geometry.
    static constexpr int PictureWidth = 478;
    static constexpr int PictureHeight = 73;
    static constexpr int OctaveWidth = 70;
    static constexpr int None = 255;

    explicit KeyboardLogic(ControlListener* owner);
    ~KeyboardLogic() override;

    void SetSurface(ControlSurface* surface) { m_surface = surface; }
    void Setup(int tooltipId);

    /// Modes: 0 momentary, 1 latch, 2 repeat. Each change releases the held note first.
    void SetMode(int mode);
    void SetChord(bool on);
    void ReleaseNote();
    /// The octave of the picture's first key: the picture starts at note
    /// octave x 12 (2 at construction; the main panel's octave spin moves it).
    /// The markers follow at once; a held note stays held.
    void SetOctaveOffset(int octave);
    int OctaveOffset() const { return m_octaveOffset; }
    /// A press (down) or release of note on the picture or from the test-note keys.
    void NoteInput(bool down, int note, int velocity);

    /// Mouse, in client pixels; the capture is the widget's.
    void MousePress(int x, int y);
    void MouseMove(int x, int y);
    void MouseRelease();
    void CaptureLost();

    /// Starts (and with start false only stops) the repeat and clock ticks.
    void StartTimer(bool start);
    /// One tick, as the tick thread runs it.
    void Tick();

    void Activate() override;
    void ParameterChanged(ParamRecord* record) override;
    void Deactivate() override;
    void OnContextMenuCommand(QWidget* parent, QPoint* point, int command) override;

    /// Whether the hit map holds (x, y), and what it plays.
    static std::optional<KeyHit> HitTest(int x, int y, int octaveOffset = 2);
    /// The marker strip above a key.
    static QRect MarkerRect(int note, int octaveOffset = 2);
    /// The tick period in milliseconds for a tempo, the tempo kept within 30 ... 180 beats a minute.
    static int PeriodMs(int repeatSpeed);
    /// A black key lowered a semitone.
    static int DiatonicNote(int note);

    /// The test-note keys (with Ctrl+Shift): Z plays, S and X change octave, D and C velocity.
    /// Answers whether the event is taken.
    static bool HookKeyEvent(bool down, int key, bool autoRepeat);
    static std::vector<QKeySequence> HookKeys();
    /// Whether a press of key now would be taken (Ctrl and Shift are down and it is one of the five).
    static bool HookWants(int key);
    /// The keyboard the test-note keys play on: the latest made.
    static KeyboardLogic* HookTarget();
    static int HookNote();
    static int HookVelocity();
    static void ResetHook();

    int HeldNote() const;
    int HeldVelocity() const;
    int Mode() const { return m_mode; }
    bool Chord() const { return m_chord; }
    bool TimerRunning() const { return m_ticker.Running(); }
    int TimerPeriod() const { return m_period; }
    /// The notes whose marker shows (user-interface thread).
    const std::set<int>& Marked() const { return m_marked; }

    /// Where a tick's raw MIDI goes (any thread); by default the module's port for the channel.
    using RawSender = std::function<bool(std::uint32_t packed, int channel)>;
    void SetTickSender(RawSender sender) { m_tickSender = std::move(sender); }
    /// What a tick's echo does on the user-interface thread; by default the module's listeners hear it.
    using EchoHandler = std::function<void(const KeyboardMessage&)>;
    void SetEchoHandler(EchoHandler echo) { m_echo = std::move(echo); }
    /// Arms a check: every call of the owner or the surface off the thread
    /// that made the keyboard counts as a violation.
    void ArmThreadCheck(bool on) { m_checkThreads = on; }
    int ThreadViolations() const { return m_violations.load(); }

protected:
    /// Runs the configuration dialog over settings; the edited settings on OK.
    virtual std::optional<KeyboardSettings> RunConfigureDialog(QWidget* parent, const KeyboardSettings& settings)
    {
        return std::nullopt;
    }
    /// Every call that reaches the owner or the surface passes here first.
    void CheckThread() const;
    void Repaint();

    ControlSurface* m_surface = nullptr;

private:
    struct Outgoing {
        std::vector<KeyboardMessage> messages;
    };
    // The state rules; callers hold m_lock and send what they collected afterwards.
    void TriggerNote(bool on, int note, int velocity, int channel, Outgoing& out);
    void PlayNote(bool on, int note, int velocity, int channel, Outgoing& out);
    void SendNote(bool on, int note, int velocity, int channel, Outgoing& out);
    void ReleaseHeld(Outgoing& out);
    void NoteInputLocked(bool down, int note, int velocity, int channel, Outgoing& out);
    /// User-interface thread: each message through the owner's EditParameter, then the markers.
    void SendFromUi(const Outgoing& out);
    void SendSystem(std::uint8_t status);
    void UpdateMarkers(const KeyboardMessage& m);
    int CurrentChannel();

    mutable std::mutex m_lock; // guards the note state below, shared with the tick
    int m_heldNote = None;
    int m_heldVelocity = None;
    int m_heldChannel = 0;
    int m_mode = 0;
    bool m_chord = false;
    bool m_repeatPhase = false;
    bool m_sendClock = false;
    int m_tickCount = 0;
    std::map<int, int> m_sounding; // note -> channel it started on

    int m_octaveOffset = 2;
    int m_period = 0;
    bool m_capturing = false;
    std::set<int> m_marked;
    KeyboardTicker m_ticker;
    RawSender m_tickSender;
    EchoHandler m_echo;
    std::unique_ptr<QObject> m_uiContext; // lives on the user-interface thread; posted work dies with it
    std::thread::id m_uiThread;
    bool m_checkThreads = false;
    mutable std::atomic<int> m_violations{0};
};
