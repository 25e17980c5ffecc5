#pragma once
// Editing a tooltip text: the tip editor dialog titled "Tip Editor" opens
// with the current text; OK stores the edited text in the tooltips document.
// Reached from a control's context menu and from the dialogs' Shift+F2.

#include <QString>

#include <functional>
#include <optional>

class ControlListener;
class QWidget;

/// Shows the editor modally: the edited text on OK, nullopt otherwise.
using TipEditorRunner = std::function<std::optional<QString>(const QString& title, ControlListener* parent,
                                                             QWidget* parentWindow, const QString& text)>;

/// Replaces the editor (tests answer without a dialog); null restores the
/// real dialog.
void SetTipEditorRunner(TipEditorRunner runner);

/// Runs the editor titled "Tip Editor" on text.
std::optional<QString> RunTipEditor(ControlListener* parent, QWidget* parentWindow, const QString& text);

/// Opens the editor on the tooltip document's text for tipId and stores the
/// text back under that id when the editor closes with OK. Nothing happens
/// for id 0 or without the shared documents.
void EditTooltip(unsigned tipId, ControlListener* parent, QWidget* parentWindow);
