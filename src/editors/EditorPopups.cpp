#include "editors/EditorPopups.h"

#include "app/View.h"
#include "editors/ArpEditPopup.h"
#include "editors/ControllerPopup.h"
#include "editors/EditPopup.h"
#include "editors/MasterPopup.h"
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
    case View::MasterPopup:
        return std::make_unique<MasterPopup>(&view, &view, /*topLevel*/ true);
    case View::ControllersPopup:
        return std::make_unique<ControllerPopup>(&view, &view, /*topLevel*/ true);
    case View::EditPopup:
        return std::make_unique<::EditPopup>(QStringLiteral("Edit"), /*topLevel*/ true, &view, &view);
    default:
        return nullptr;
    }
}
