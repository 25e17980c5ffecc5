#pragma once
// Fixed-size text fields (object names, arp names) arrive blank padded. The
// buffer form works in place like a terminated wide-character field: from
// position n - 1 back to the last character that is not a blank, every blank
// becomes a terminating zero; nothing before it changes.

#include <QString>
#include <QStringView>

/// In place on buffer[0 .. n-1]; n <= 0 or a null buffer changes nothing.
void TrimTrailingBlanks(char16_t* buffer, int n);

/// The field as text once its trailing blanks are removed. Like the
/// terminated buffer it stands for, the text ends at its first zero character
/// ("AB\0CD" reads as "AB").
QString TrimTrailingBlanks(QStringView field);
