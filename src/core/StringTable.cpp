#include "core/MessageBox.h"

#include <map>

// The program's string table: message texts, captions and labels by id. Each
// subsystem adds the entries it shows; an unknown id reads as the empty text.
namespace {

const std::map<unsigned, const char16_t*> kStrings = {
    {130, u"Cancels the dialog"},
    {132, u"Sequence of Commands"},
    {136, u"Are you sure you want to overwrite your initialisation file?"},
    {139, u"Do you want to save the tuning changes?"},
    {140, u"Scala Files (*.scl)|*.scl|All Files (*.*)|*.*||"},
    {143, u"Select the Setup You Wish to Restore:"},
    {144, u"Select the Setup You Wish to Store:"},
    {145, u"Contains Personalised Configuration files for the Tabrine Application"},
    {147, u"Backup of module data failed"},
    {148, u"Restore of module backup failed"},
    {149, u"No backups were found to restore"},
    {150, u"A backup already exists at this location. Do you want to overwrite it?"},
    {151, u"Changing the device ID requires an update to the current configuration. Do you wish to proceed?"},
    {152, u"The controller or B port is not responding"},
    {153, u"Failed to open Scala File"},
    {154, u"Could not read Scala scale file"},
    {155, u"Tabrine cannot handle files with more than 12 notes in an Octave"},
    {156, u"Failed to %s with %s"},
    {158, u"When restoring a setup, the setup contained a MIDI Device Id different to the one currently in force. Tabrine tried to correct this situation, but was unable to enumerate the devices on the MIDI port in question. If you are restoring a backup, this operation will be aborted."},
    {159, u"When restoring a setup, the setup contained a MIDI Device Id different to the one currently in force. Tabrine tried to correct this situation, but has found that there are multiple devices connected to the MIDI port with the same device ID. You need to reconfigure the module from the from panel and restart the software."},
    {160, u"When restoring a setup, the setup contained a MIDI Device Id different to the one currently in force. Tabrine tried to correct this situation, but has found that there are multiple devices of the same type with identical ROMs connected to the MIDI port and Tabrine can't work out which is the right one. You need to reconfigure the module from the front panel and restart the software."},
    {161, u"When restoring a setup, the setup contained a MIDI Device Id different to the one currently in force. Tabrine tried to correct this situation, but could not find a device of the same type with the same ROMs connected to the MIDI port. You need to reconfigure the module from the front panel and restart the software."},
    {162, u"Would you like to recreate the intiialisation file with the new mappings?"},
    {166, u"Select Arp Pattern"},
    {167, u"Select Master Arp Pattern"},
    {168, u"Select Preset Arp Pattern"},
    {171, u"Select Preset Riff"},
    {172, u"Select Instrument"},
    {175, u"Select Link1 Preset"},
    {176, u"Select Link2 Preset"},
    {177, u"Select Preset"},
    {194, u"Layer 1"},
    {197, u"Layer 4"},
    {204, u"Unknown"},
    {205, u"Module Emu"},
    {206, u"OS Version"},
    {207, u"You are already running Tabrine for this configuration"},
    {219, u"None"},
    {220, u"You must specify both an input and output MIDI port for the application to work"},
    {221, u"The output port and the B port must be different MIDI ports"},
    {223, u"The controller port and input port must be different"},
    {230, u"Could not find help file"},
    {231, u" -- No MIDI Port Found"},
    {232, u" -- Not Connected"},
    {237, u"Select"},
    {238, u"Device not responding"},
    {239, u"Beats Parameters"},
    {240, u"Loading User Data"},
    {241, u"Master Settings"},
    {249, u"Checking Hardware"},
    {250, u"Setting up module details"},
    {251, u"Getting"},
    {252, u"Arp Parameters"},
    {253, u"File contains an incomplete SysEx. Try sending anyway?"},
    {254, u"File contains an end block with no start. Try sending anyway?"},
    {255, u"File contains a start block with no end. Try sending anyway?"},
    {256, u"Device is not a Emu Proteus"},
    {257, u"File is too large to be a SysEx dump"},
    {258, u"File is not a previously saved Proteus dump file"},
    {259, u"Received Invalid Sysex Dump Format for Header"},
    {260, u"Received Invalid Sysex Dump Format for Data Block"},
    {261, u"Dumping Preset"},
    {262, u"Saving Edit buffer"},
    {298, u"Saving information failed"},
    {300, u"Are you sure you want to overwrite %s?"},
    {301, u"Do you want to save the current settings to the module?"},
    {302, u"Do you want to save the content of the edit buffer on the module?"},
    {303, u"Undo"},
    {304, u"Redo"},
    {309, u"Checking Device"},
    {20950, u"Selects and Saves Setup Information"},
    {32771, u"Configures the MIDI Device"},
    {32820, u"Reverts to the default value"},
};

} // namespace

QString LoadResourceString(unsigned id)
{
    auto it = kStrings.find(id);
    return it == kStrings.end() ? QString() : QString::fromUtf16(it->second);
}
