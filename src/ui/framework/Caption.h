#pragma once
// Captions of dialog items carry "&" before their mnemonic letter ("&&" for a
// literal "&"). Accessible names and plain texts drop the marker.

#include <QString>

/// A caption as an accessible name: the mnemonic markers taken out ("&&" stays one "&").
QString AccessibleNameFromCaption(const QString& caption);
