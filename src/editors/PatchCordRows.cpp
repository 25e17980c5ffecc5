#include "editors/PatchCordRows.h"

#include "module/ValueFormats.h"
#include "ui/controls/TrackerCtrl.h"
#include "ui/controls/ValueMenuCtrl.h"
#include "ui/framework/Popup.h"

void BuildPatchCordRows(Popup& popup, const PatchCordRowSet& set, PatchCordRow* rows, int count)
{
    for (int r = 0; r < count; ++r) {
        PatchCordRow& row = rows[r];
        row.source = popup.ItemAs<MenuCtrl>(set.items[r][0]);
        row.destination = popup.ItemAs<MenuCtrl>(set.items[r][1]);
        row.amount = popup.ItemAs<TrackerCtrl>(set.items[r][2]);
        const int first = set.firstParameter + 3 * r;
        ControlBase* controls[3] = {row.source, row.destination, row.amount};
        for (int c = 0; c < 3; ++c) {
            controls[c]->SetOwner(&popup);
            controls[c]->BindParameter(set.triggers, vf::Number, popup.GetParameter(first + c));
        }
    }
    for (int r = 0; r < count; ++r) {
        const PatchCordRow& row = rows[r];
        const int tip = set.firstTooltip + 3 * r;
        row.source->Setup(false, 0, set.sources, tip);
        popup.AddControl(row.source);
        row.destination->Setup(false, 0, set.destinations, tip + 1);
        popup.AddControl(row.destination);
        row.amount->Setup(tip + 2, false, false, true, 4);
        popup.AddControl(row.amount);
    }
}
