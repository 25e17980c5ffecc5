// The values of the module commands that need no connection.

#include "module/ModuleCommands.h"

#include "core/MessageBox.h"
#include "module/ModuleSysEx.h"

namespace {

constexpr unsigned kStringFirstCopyCommand = 178; // the first preset copy command's name

} // namespace

QString CopyCommandLabel(int command)
{
    // String-table entries 178 ("Preset") to 188 ("Layer Cords").
    return IsPresetCopyCommand(command) ? LoadResourceString(unsigned(kStringFirstCopyCommand + command - CMD_COPY_PRESET)) : QString();
}
