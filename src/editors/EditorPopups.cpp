#include "editors/EditorPopups.h"

#include "app/View.h"
#include "editors/ArpEditPopup.h"
#include "editors/SetupInfoPopup.h"
#include "ui/framework/Popup.h"

std::unique_ptr<PopupBase> CreateEditorPopup(int slot, View& view)
{
    switch (slot) {
    // One case per editor: View::MasterPopup, View::EditPopup,
    // View::ControllersPopup, View::ArpEditPopup, View::SetupInfoPopup.
    case View::ArpEditPopup:
        return std::make_unique<ArpEditPopup>(View::PopupSlotName(slot), /*topLevel*/ true, &view, &view);
    case View::SetupInfoPopup:
        return std::make_unique<SetupInfoPopup>(View::PopupSlotName(slot), /*topLevel*/ true, &view, &view);
    default:
        return nullptr;
    }
}
