#pragma once
// The replaceable services a MIDI port uses: the clock its waits run on, the
// settings store its trace values are read from, the MIDI backend it opens
// ports on, the presenter of its messages and the main window's repaint hook.
// A port keeps its own copy of the record it was given. An empty member
// stands for the process-wide service, looked up at each use (the backend:
// when the port is made), so a record given no services behaves as the
// program's globals say.

#include "core/MainWindowRepaint.h"
#include "platform/Clock.h"
#include "platform/SettingsStore.h"

#include <functional>
#include <memory>

class MessagePresenter;
class MidiBackend;

struct PortServices {
    std::shared_ptr<platform::Clock> clock;            ///< null: platform::CurrentClock()
    std::shared_ptr<platform::SettingsStore> settings; ///< null: platform::CurrentSettingsStore()
    std::shared_ptr<MidiBackend> backend;              ///< null: CurrentMidiBackend()
    std::shared_ptr<MessagePresenter> presenter;       ///< null: the presenter SetMessagePresenter installed
    std::function<void()> repaint;                     ///< empty: RepaintMainWindow()

    /// The clock to use now.
    platform::Clock& Clock() const { return clock ? *clock : platform::CurrentClock(); }
    /// Repaints the main window through the hook.
    void RepaintMainWindow() const
    {
        if (repaint)
            repaint();
        else
            ::RepaintMainWindow();
    }
};
