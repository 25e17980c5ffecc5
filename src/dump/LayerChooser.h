#pragma once
// The question a renumbered layer section asks: which of the four layers it
// goes to. The application installs the dialog; without one (tests, a run with
// no user interface) every question is answered Cancel, which sends nothing.

#include <QString>

#include <functional>
#include <optional>

/// Shows the chooser with caption; the chosen layer 0-3, or nullopt for Cancel.
using LayerChooser = std::function<std::optional<int>(const QString& caption)>;

/// Installs the chooser; null removes it.
void SetLayerChooser(LayerChooser chooser);

/// Asks the installed chooser; nullopt without one, or when its answer is no layer 0-3.
std::optional<int> ChooseLayer(const QString& caption);
