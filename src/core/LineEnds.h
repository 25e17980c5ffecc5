#pragma once
// Line ends of the texts the shared documents keep. The XML parser turns every
// "\r\n" and lone "\r" into "\n" when it reads a file, so texts are stored with
// "\n" line ends: a text read before a save is then the same as after a reload,
// and storing a text again with other line ends is no change.

#include <QString>

/// The text with every "\r\n" and lone "\r" made "\n".
QString WithStoredLineEnds(QString text);
/// The text with every line end made "\r\n" (what the tooltips show).
QString WithShownLineEnds(const QString& text);
