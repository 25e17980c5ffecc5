#pragma once
// ProteusEvents: everything the user interface must follow about the module
// connection, reported by Proteus to each registered listener (in practice the
// main view; tests register recorders). The operations keep their fixed order.
//
// Texts and bytes passed in belong to the caller and are valid only during
// the call. Every call comes on the user-interface thread, except
// OnShortMessageSent when the on-screen keyboard's timer sends notes: a
// listener must tolerate that one from another thread.

#include <cstdint>

#include <QString>

class ParamRecord;

class ProteusEvents {
public:
    virtual ~ProteusEvents() = default;

    /// The connect sequence has finished and the module is ready.
    virtual void OnDeviceConnected() = 0;
    /// An edit of a parameter in the confirm set is about to go out; false refuses it.
    virtual bool OnParameterChanging(ParamRecord* record) = 0;
    /// A parameter changed (sent to the module, or loaded).
    virtual void OnParameterChanged(ParamRecord* record) = 0;
    /// The module is going away; the connection is still marked connected.
    virtual void OnDeviceDisconnected() = 0;
    /// Every pass of a wait for the module (and of the long cache loops).
    virtual void OnWaiting() {}
    /// A long operation starts; text is at most 255 characters.
    virtual void OnBeginProgress(int lower, int upper, const QString& text) = 0;
    virtual void OnProgressText(const QString& text) = 0;
    virtual void OnProgressStep() = 0;
    /// The operation begun last has ended (on every way out of it).
    virtual void OnEndProgress() = 0;
    /// A SysEx message was handed to the MIDI output.
    virtual void OnSysExSent(const std::uint8_t* data, unsigned length) = 0;
    /// A short message went out: status, first data byte, second data byte, 0.
    virtual void OnShortMessageSent(const std::uint8_t packed[4]) = 0;
};
