#pragma once
// Choosing MIDI ports by number and by name.
//
// The settings InputPort, OutputPort, BPort and ControllerPort store port
// numbers. On Linux the numbers move when devices come and go, so each
// chosen port's name is kept beside its number, as a text value of the
// configuration key ("InputPortName", "OutputPortName", "BPortName",
// "ControllerPortName"), and a port is reopened by name when its number now
// names another port.

#include "core/Settings.h"
#include "midi/MidiBackend.h"

#include <QString>

#include <vector>

/// How a stored port choice was found among the ports offered now.
struct PortResolution {
    enum class How {
        None,      ///< nothing chosen (number -1)
        ByNumber,  ///< the number still names the stored port (or no name was stored)
        ByName,    ///< the stored port now has another number
        NotFound,  ///< the stored port is not there; number is -1
    };
    int number = -1;
    How how = How::None;
};

/// Finds the port to open for a stored number and name. With no stored name
/// the number is taken as it is. Otherwise the port of that number when its
/// name matches, else the first port with exactly that name, else the first
/// whose name matches without the ALSA address at its end (" 20:0"), which
/// changes as devices come and go.
PortResolution ResolvePort(const std::vector<MidiPortInfo>& ports, int storedNumber, const QString& storedName);

/// The text value holding the name of a port setting: "InputPortName" for
/// InputPort and so on; empty for other settings.
QString PortNameValue(ConfigurationId id);
/// Whether the setting names an input port (InputPort, ControllerPort).
bool IsInputPortSetting(ConfigurationId id);

/// Stores a chosen port: its number in the setting and its name beside it
/// (number -1 clears the name).
void StorePortChoice(ConfigurationId id, int number, const QString& name);

/// The number to open now for a port setting, looked up on backend. When the
/// port is found under another number, the setting is updated (logged); when
/// it is gone, -1 (logged as a warning).
int ConfiguredPortNumber(ConfigurationId id, MidiBackend& backend);
