#include "ui/controls/KeyboardLogic.h"

#include "core/Settings.h"
#include "midi/MidiMessages.h"
#include "module/ParameterIds.h"
#include "module/Proteus.h"
#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlListener.h"

#include <QObject>
#include <QRect>

#include <algorithm>
#include <cmath>

namespace {

/// Where each semitone's column starts inside an octave of the picture (upper zone).
constexpr int kColumnStart[13] = {0, 7, 13, 17, 24, 30, 37, 43, 47, 54, 57, 64, 70};
/// The white keys of the lower zone: semitone of each 10-pixel key.
constexpr int kWhiteKeys[7] = {0, 2, 4, 5, 7, 9, 11};

struct HookState {
    KeyboardLogic* target = nullptr;
    bool shift = false;
    bool ctrl = false;
    int octaveIndex = 0;
    int velocity = 100;
};
HookState& Hook()
{
    static HookState state;
    return state;
}
constexpr int kHookNotes[8] = {24, 36, 48, 60, 72, 84, 96, 108};

std::uint32_t Pack(const KeyboardMessage& m)
{
    return std::uint32_t(m.status) | (std::uint32_t(m.data1) << 8) | (std::uint32_t(m.data2) << 16);
}

} // namespace

// ------------------------------------------------------------------ settings

KeyboardSettings KeyboardSettings::Read()
{
    GlobalConfigurations& c = GetGlobalConfigurations();
    KeyboardSettings s;
    s.repeatSpeed = int(c.GetDword(RepeatSpeed));
    s.diatonic = c.GetBool(Diatonic);
    for (int i = 0; i < 4; ++i)
        s.chordNotes[i] = int(c.GetDword(ChordNote1 + i));
    s.sendClock = c.GetBool(ConfigSendClock);
    return s;
}

void KeyboardSettings::Store() const
{
    GlobalConfigurations& c = GetGlobalConfigurations();
    c.SetDword(RepeatSpeed, std::uint32_t(repeatSpeed));
    c.SetBool(Diatonic, diatonic);
    for (int i = 0; i < 4; ++i)
        c.SetDword(ChordNote1 + i, std::uint32_t(chordNotes[i]));
    c.SetBool(ConfigSendClock, sendClock);
}

// ------------------------------------------------------------------ geometry

std::optional<KeyHit> KeyboardLogic::HitTest(int x, int y, int octaveOffset)
{
    if (x < 4 || x > 494 || y < 3 || y > 68)
        return std::nullopt;
    const int octave = (x - 4) / OctaveWidth + octaveOffset;
    const int offset = (x - 4) % OctaveWidth;
    int semitone = 0;
    int velocity = 81;
    if (y <= 49) {
        while (semitone < 11 && offset >= kColumnStart[semitone + 1])
            ++semitone;
        velocity = 130 - y;
    } else {
        semitone = kWhiteKeys[std::min(offset / 10, 6)];
    }
    return KeyHit{std::min(octave * 12 + semitone, 127), velocity};
}

QRect KeyboardLogic::MarkerRect(int note, int octaveOffset)
{
    const int semitone = note % 12;
    const int left = (note / 12 - octaveOffset) * OctaveWidth + 4 + kColumnStart[semitone];
    const int width = kColumnStart[semitone + 1] - kColumnStart[semitone];
    return QRect(left, 0, width, 3);
}

int KeyboardLogic::PeriodMs(int repeatSpeed)
{
    // A tempo from the settings is not trusted: outside the dialog's range it
    // would give no usable period (0 divides by zero, a negative one runs backwards).
    const int bpm = std::clamp(repeatSpeed, 30, 180);
    return int(std::floor(60000.0 / bpm / 24 + 0.5));
}

int KeyboardLogic::DiatonicNote(int note)
{
    switch (((note % 12) + 12) % 12) {
    case 1: case 3: case 6: case 8: case 10: return note - 1;
    default: return note;
    }
}

// ------------------------------------------------------------------ life

KeyboardLogic::KeyboardLogic(ControlListener* owner)
    : ControlBase(owner), m_uiContext(std::make_unique<QObject>()), m_uiThread(std::this_thread::get_id())
{
    Hook().target = this;
    m_echo = [this](const KeyboardMessage& m) {
        Proteus* proteus = m_owner ? m_owner->GetProteus() : nullptr;
        if (!proteus)
            return;
        const std::optional<std::uint32_t> thru = MidiThruMessage(Pack(m), m.channel);
        if (!thru)
            return;
        const std::uint8_t echo[4] = {std::uint8_t(*thru & 0xFF), std::uint8_t((*thru >> 8) & 0xFF),
                                      std::uint8_t((*thru >> 16) & 0xFF), 0};
        proteus->NotifyShortMessageSent(echo);
    };
}

KeyboardLogic::~KeyboardLogic()
{
    m_surface = nullptr;
    ReleaseNote();
    StartTimer(false);
    if (Hook().target == this)
        Hook().target = nullptr;
}

void KeyboardLogic::Setup(int tooltipId)
{
    SetToolTipId(tooltipId);
    Repaint();
}

void KeyboardLogic::CheckThread() const
{
    if (m_checkThreads && std::this_thread::get_id() != m_uiThread)
        ++m_violations;
}

void KeyboardLogic::Repaint()
{
    CheckThread();
    if (m_surface)
        m_surface->Repaint(false);
}

int KeyboardLogic::HeldNote() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_heldNote;
}

int KeyboardLogic::HeldVelocity() const
{
    std::lock_guard<std::mutex> guard(m_lock);
    return m_heldVelocity;
}

int KeyboardLogic::CurrentChannel()
{
    CheckThread();
    ParamRecord* r = m_owner ? m_owner->GetParameter(MULTIMODE_BASIC_CHANNEL) : nullptr;
    return r && r->id == MULTIMODE_BASIC_CHANNEL ? r->value : 0;
}

// ------------------------------------------------------------------ notes

void KeyboardLogic::SendNote(bool on, int note, int velocity, int channel, Outgoing& out)
{
    if (note < 0 || note > 127)
        return;
    if (on) {
        m_sounding[note] = channel;
    } else if (auto it = m_sounding.find(note); it != m_sounding.end()) {
        channel = it->second; // the note-off goes where the note started
        m_sounding.erase(it);
    }
    out.messages.push_back({std::uint8_t(on ? 0x90 : 0x80), std::uint8_t(note), std::uint8_t(velocity & 0x7F), channel});
}

void KeyboardLogic::PlayNote(bool on, int note, int velocity, int channel, Outgoing& out)
{
    if (!m_chord)
        return SendNote(on, note, velocity, channel, out);
    // The settings are thread-safe reads; they are read at every call, so a
    // change in the dialog shows at the next note.
    const KeyboardSettings s = KeyboardSettings::Read();
    auto correct = [&s](int n) { return s.diatonic ? DiatonicNote(n) : n; };
    const int root = correct(note);
    SendNote(on, root, velocity, channel, out);
    for (int added : s.chordNotes)
        if (added != 0 && added != -1)
            SendNote(on, correct(root + added), velocity, channel, out);
}

void KeyboardLogic::TriggerNote(bool on, int note, int velocity, int channel, Outgoing& out)
{
    if (m_mode == 2 && on) {
        m_repeatPhase = true;
        m_tickCount = 12;
    }
    PlayNote(on, note, velocity, channel, out);
}

void KeyboardLogic::ReleaseHeld(Outgoing& out)
{
    if (m_heldNote != None && m_heldVelocity != None)
        TriggerNote(false, m_heldNote, m_heldVelocity, m_heldChannel, out);
    m_heldNote = None;
    m_heldVelocity = None;
}

void KeyboardLogic::NoteInputLocked(bool down, int note, int velocity, int channel, Outgoing& out)
{
    const bool held = m_heldNote != None && m_heldVelocity != None;
    if (!down) {
        if (m_mode == 0)
            ReleaseHeld(out);
        return;
    }
    if (m_mode != 0 && note == m_heldNote) {
        ReleaseHeld(out); // a second press unlatches
        return;
    }
    // Any mode: a different held note is released before the new one is held,
    // so a note held by the test keys never outlives a mouse press.
    if (held && note != m_heldNote)
        ReleaseHeld(out);
    m_heldNote = note;
    m_heldVelocity = velocity;
    m_heldChannel = channel;
    TriggerNote(true, note, velocity, channel, out);
}

void KeyboardLogic::NoteInput(bool down, int note, int velocity)
{
    const int channel = CurrentChannel();
    Outgoing out;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        NoteInputLocked(down, note, velocity, channel, out);
    }
    SendFromUi(out);
}

void KeyboardLogic::ReleaseNote()
{
    Outgoing out;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        ReleaseHeld(out);
    }
    SendFromUi(out);
}

void KeyboardLogic::SetMode(int mode)
{
    ReleaseNote();
    std::lock_guard<std::mutex> guard(m_lock);
    m_mode = mode;
}

void KeyboardLogic::SetChord(bool on)
{
    ReleaseNote();
    std::lock_guard<std::mutex> guard(m_lock);
    m_chord = on;
}

void KeyboardLogic::UpdateMarkers(const KeyboardMessage& m)
{
    if ((m.status & 0xF0) == 0x90)
        m_marked.insert(m.data1);
    else if ((m.status & 0xF0) == 0x80)
        m_marked.erase(m.data1);
    else
        return;
    Repaint();
}

void KeyboardLogic::SendFromUi(const Outgoing& out)
{
    for (const KeyboardMessage& m : out.messages) {
        CheckThread();
        const std::uint8_t packed[4] = {m.status, m.data1, m.data2, 0};
        ParamRecord record;
        Proteus::MakeShortMidiMsgParameter(m.channel, packed, &record);
        if (m_owner)
            m_owner->EditParameter(&record); // the answer changes nothing here
        UpdateMarkers(m);
    }
}

void KeyboardLogic::SendSystem(std::uint8_t status)
{
    Outgoing out;
    out.messages.push_back({status, 0, 0, 0});
    SendFromUi(out);
}

void KeyboardLogic::SetOctaveOffset(int octave)
{
    if (octave == m_octaveOffset)
        return;
    m_octaveOffset = octave;
    Repaint();
}

// ------------------------------------------------------------------ mouse

void KeyboardLogic::MousePress(int x, int y)
{
    m_capturing = true;
    if (std::optional<KeyHit> hit = HitTest(x, y, m_octaveOffset))
        NoteInput(true, hit->note, hit->velocity);
}

void KeyboardLogic::MouseMove(int x, int y)
{
    if (!m_capturing || m_mode != 0)
        return;
    const std::optional<KeyHit> hit = HitTest(x, y, m_octaveOffset);
    if (!hit || hit->note == HeldNote())
        return;
    if (HeldNote() != None && HeldVelocity() != None)
        NoteInput(false, HeldNote(), HeldVelocity());
    NoteInput(true, hit->note, hit->velocity);
}

void KeyboardLogic::MouseRelease()
{
    if (HeldNote() != None && HeldVelocity() != None)
        NoteInput(false, HeldNote(), HeldVelocity());
    m_capturing = false;
}

void KeyboardLogic::CaptureLost()
{
    if (m_capturing && HeldNote() != None && HeldVelocity() != None)
        NoteInput(false, HeldNote(), HeldVelocity());
    m_capturing = false;
}

// ------------------------------------------------------------------ ticks

void KeyboardLogic::StartTimer(bool start)
{
    if (m_ticker.Running()) {
        m_ticker.Stop(); // no clock tick can follow the Stop below
        bool clock = false;
        {
            std::lock_guard<std::mutex> guard(m_lock);
            clock = m_sendClock;
            m_sendClock = false;
        }
        if (clock)
            SendSystem(0xFC);
    }
    if (!start)
        return;
    const bool clock = GetGlobalConfigurations().GetBool(ConfigSendClock);
    m_period = PeriodMs(int(GetGlobalConfigurations().GetDword(RepeatSpeed)));
    if (!m_tickSender) {
        // Found here, on the user-interface thread; the tick only sends through them.
        Proteus* proteus = m_owner ? m_owner->GetProteus() : nullptr;
        MidiPort* alternate = proteus ? proteus->GetAlternatePort() : nullptr;
        m_tickSender = [proteus, alternate](std::uint32_t packed, int channel) {
            MidiPort* port = channel > 15 ? alternate : static_cast<MidiPort*>(proteus);
            const std::optional<std::uint32_t> message = MidiThruMessage(packed, channel);
            return port && message && port->Send(*message);
        };
    }
    {
        std::lock_guard<std::mutex> guard(m_lock);
        m_sendClock = clock;
    }
    if (clock)
        SendSystem(0xFA);
    m_ticker.Start(std::chrono::milliseconds(m_period), [this] { Tick(); });
}

void KeyboardLogic::Tick()
{
    Outgoing out;
    {
        std::lock_guard<std::mutex> guard(m_lock);
        if (--m_tickCount <= 0) {
            m_tickCount = 12;
            if (m_mode == 2 && m_heldNote != None && m_heldVelocity != None) {
                m_repeatPhase = !m_repeatPhase;
                PlayNote(m_repeatPhase, m_heldNote, m_heldVelocity, m_heldChannel, out);
            }
        }
        if (m_sendClock)
            out.messages.push_back({0xF8, 0, 0, 0});
    }
    if (out.messages.empty())
        return;
    for (const KeyboardMessage& m : out.messages)
        if (m_tickSender)
            m_tickSender(Pack(m), m.channel);
    // The echo and the markers belong to the user-interface thread.
    QMetaObject::invokeMethod(
        m_uiContext.get(),
        [this, messages = std::move(out.messages)] {
            for (const KeyboardMessage& m : messages) {
                if (m_echo)
                    m_echo(m);
                UpdateMarkers(m);
            }
        },
        Qt::QueuedConnection);
}

// ------------------------------------------------------------------ notifications

void KeyboardLogic::Activate()
{
    ControlBase::Activate();
    StartTimer(true);
}

void KeyboardLogic::ParameterChanged(ParamRecord* record)
{
    if (record && record->id == MULTIMODE_BASIC_CHANNEL)
        ReleaseNote();
}

void KeyboardLogic::Deactivate()
{
    ReleaseNote();
    StartTimer(false);
    ControlBase::Deactivate();
}

void KeyboardLogic::OnContextMenuCommand(QWidget* parent, QPoint* point, int command)
{
    if (command == cmd::ConfigureKeyboard) {
        if (std::optional<KeyboardSettings> edited = RunConfigureDialog(parent, KeyboardSettings::Read())) {
            ReleaseNote();
            edited->Store();
            StartTimer(true);
        }
    }
    ControlBase::OnContextMenuCommand(parent, point, command);
}

// ------------------------------------------------------------------ test-note keys

bool KeyboardLogic::HookKeyEvent(bool down, int key, bool autoRepeat)
{
    HookState& h = Hook();
    if (!down) {
        if (key == Qt::Key_Shift)
            h.shift = false;
        else if (key == Qt::Key_Control)
            h.ctrl = false;
        else if (key == Qt::Key_Z && h.shift && h.ctrl) {
            if (h.target)
                h.target->NoteInput(false, kHookNotes[h.octaveIndex], h.velocity);
            return true;
        }
        return false;
    }
    if (autoRepeat)
        return false;
    if (key == Qt::Key_Shift) {
        h.shift = true;
        return false;
    }
    if (key == Qt::Key_Control) {
        h.ctrl = true;
        return false;
    }
    if (!h.shift || !h.ctrl)
        return false;
    switch (key) {
    case Qt::Key_Z:
        if (h.target)
            h.target->NoteInput(true, kHookNotes[h.octaveIndex], h.velocity);
        return true;
    case Qt::Key_S: h.octaveIndex = std::min(h.octaveIndex + 1, 7); return true;
    case Qt::Key_X: h.octaveIndex = std::max(h.octaveIndex - 1, 0); return true;
    case Qt::Key_D: h.velocity = std::min(h.velocity + 10, 127); return true;
    case Qt::Key_C: h.velocity = std::max(h.velocity - 10, 0); return true;
    default: return false;
    }
}

bool KeyboardLogic::HookWants(int key)
{
    const HookState& h = Hook();
    return h.shift && h.ctrl &&
           (key == Qt::Key_Z || key == Qt::Key_S || key == Qt::Key_X || key == Qt::Key_D || key == Qt::Key_C);
}

std::vector<QKeySequence> KeyboardLogic::HookKeys()
{
    std::vector<QKeySequence> keys;
    for (int key : {Qt::Key_Z, Qt::Key_S, Qt::Key_X, Qt::Key_D, Qt::Key_C})
        keys.emplace_back(QKeyCombination(Qt::ControlModifier | Qt::ShiftModifier, Qt::Key(key)));
    return keys;
}

KeyboardLogic* KeyboardLogic::HookTarget()
{
    return Hook().target;
}

int KeyboardLogic::HookNote()
{
    return kHookNotes[Hook().octaveIndex];
}

int KeyboardLogic::HookVelocity()
{
    return Hook().velocity;
}

void KeyboardLogic::ResetHook()
{
    KeyboardLogic* target = Hook().target;
    Hook() = HookState{};
    Hook().target = target;
}
