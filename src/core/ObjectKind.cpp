#include "core/ObjectKind.h"

#include "core/MessageBox.h"

QString ObjectKindName(int kind)
{
    // Strings 198 to 203 name kinds 1 to 6.
    return LoadResourceString(kind >= OBJECT_PRESET && kind <= OBJECT_RIFF ? 197u + unsigned(kind) : 204u);
}
