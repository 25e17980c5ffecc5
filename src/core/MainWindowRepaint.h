#pragma once
// Repainting the main window from code below the user interface. A wait for
// the module blocks the user-interface thread; on every pass it repaints the
// main window at once. Core knows no widgets: the application installs what
// repaints its window, and until then (and in tests) there is nothing to do.

#include <functional>

/// Installs the repaint of the main window; an empty function removes it.
/// User-interface thread only.
void SetMainWindowRepaint(std::function<void()> repaint);

/// Repaints the main window now when one is installed.
void RepaintMainWindow();
