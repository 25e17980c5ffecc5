#pragma once
// A report of the program's windows for tests that drive the real program from
// outside (the end-to-end test clicks and types into it through the X server).
//
// When the environment variable TABRINE_TEST_GEOMETRY names a file, that file is
// rewritten whole (a new file renamed over the old one, so a reader never sees
// half of it) whenever a top-level window is shown, hidden, moved, resized,
// retitled, enabled or disabled, or a control of the main panel changes its
// enabled state or visibility. It holds, in global screen coordinates of the
// windows' client areas:
//
//     window <objectName> <x> <y> <w> <h> "<title>"      one per visible top-level window
//     item <id> <x> <y> <w> <h> <enabled 0|1>            one per visible main panel item
//
// The main panel is the central widget of the main window (the QMainWindow); its
// items are the widgets named "item<id>". An empty objectName is written as "-";
// in the title a backslash and a double quote are escaped with a backslash.
// Without the variable nothing is installed.

class QWidget;
class QString;

/// Installs the report when TABRINE_TEST_GEOMETRY is set; call once after the
/// QApplication is built. Does nothing otherwise.
void InstallTestGeometryReport();

/// The report's text as it would be written now (for tests of the report).
QString TestGeometryReportText();
