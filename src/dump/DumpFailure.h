#pragma once
// The one way a dump or file operation tells the user it failed:
// "Failed to <operation> with <reason>" in an OK box, also logged as a warning.
// DumpFiles::ReportDumpFailure forwards here; code without a link calls it directly.

#include "platform/SafeFile.h"

#include <QString>

class MessagePresenter;

using platform::FormatSystemError;

/// String-table id of "Failed to %s with %s".
inline constexpr unsigned kDumpFailureString = 156;

/// Shows and logs string 156 filled with operation and reason; always false,
/// so a failing operation can end with `return ShowDumpFailure(...)`.
/// presenter: who shows it (null: the installed presenter).
bool ShowDumpFailure(const QString& operation, const QString& reason, MessagePresenter* presenter = nullptr);
