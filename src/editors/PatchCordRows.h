#pragma once
// The rows of a patch-cord popup (the preset's and the layer's). Each row
// routes a modulation source to a destination with an amount: a source menu,
// a destination menu and an amount slider, bound to three parameters that
// follow one another, with three tooltips that do too.

#include "module/NameLists.h"
#include "module/TriggerSets.h"

class MenuCtrl;
class Popup;
class TrackerCtrl;

struct PatchCordRow {
    MenuCtrl* source = nullptr;
    MenuCtrl* destination = nullptr;
    TrackerCtrl* amount = nullptr;
};

/// What tells one popup's rows from the other's.
struct PatchCordRowSet {
    const int (*items)[3] = nullptr; ///< each row's items on the form: source, destination, amount
    const TriggerSet* triggers = nullptr;
    const NameMap* sources = nullptr;
    const NameMap* destinations = nullptr;
    int firstParameter = 0; ///< the first row's source; a row's three parameters follow one another
    int firstTooltip = 0;   ///< the first row's source; likewise
};

/// Finds count rows of controls on the popup's form and binds each to its
/// parameter with the popup as owner; then, row by row, sets each control up
/// and enters it in the popup: source, destination, amount.
void BuildPatchCordRows(Popup& popup, const PatchCordRowSet& set, PatchCordRow* rows, int count);
