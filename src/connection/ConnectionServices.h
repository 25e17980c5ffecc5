#pragma once
// The seven replaceable services of one module connection, in one record:
// the clock its waits and pauses run on, the settings store, the store of
// file properties, the MIDI backend, the presenter of its messages, the
// chooser a renumbered layer section asks, and the main window's repaint
// hook. A Proteus is given one when it is made and keeps a copy; its port
// gets the part a port uses (PortServices), and the dump classes get theirs
// through the link (LinkServices).
//
// An empty member stands for the process-wide service (platform::CurrentClock(),
// SetMessagePresenter, SetLayerChooser ...), looked up each time it is used, so
// a default record makes a connection that behaves as the program's globals
// say, even when one of them is installed after the connection was made. A test
// that wants two connections to differ gives each its own record:
//
//     ConnectionServices services;
//     services.clock = virtualLoopback;                 // the waits run in its time
//     services.backend = loopbackBackend;
//     services.presenter = recordingPresenter;          // messages reach only it
//     Proteus proteus(services);

#include "midi/PortServices.h"
#include "module/LinkServices.h"

#include <functional>
#include <memory>

struct ConnectionServices {
    std::shared_ptr<platform::Clock> clock;
    std::shared_ptr<platform::SettingsStore> settings;
    std::shared_ptr<platform::FilePropertyStore> fileProperties;
    std::shared_ptr<MidiBackend> backend;
    std::shared_ptr<MessagePresenter> presenter;
    LayerChooser chooseLayer;
    std::function<void()> repaint;

    /// What the connection's MIDI port uses.
    PortServices Port() const { return {clock, settings, backend, presenter, repaint}; }
    /// What the dump classes use through the link.
    LinkServices Link() const { return {clock, settings, presenter, fileProperties, chooseLayer}; }
};

/// The record of the process-wide services: every member empty, so each use
/// looks up the one installed at that moment.
inline ConnectionServices ProcessWideServices()
{
    return {};
}
