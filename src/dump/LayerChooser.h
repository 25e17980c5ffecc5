#pragma once
// The question a renumbered layer section asks: which of the four layers it
// goes to. The application installs the dialog; without one (tests, a run with
// no user interface) every question is answered Cancel, which sends nothing.

#include "module/LinkServices.h"

#include <QString>

#include <functional>
#include <optional>

/// Installs the chooser; null removes it.
void SetLayerChooser(LayerChooser chooser);

/// Asks the installed chooser; nullopt without one, or when its answer is no layer 0-3.
std::optional<int> ChooseLayer(const QString& caption);

/// Asks given (the installed chooser when given is empty); nullopt without
/// one, or when its answer is no layer 0-3.
std::optional<int> ChooseLayer(const LayerChooser& given, const QString& caption);
