#include "editors/EditorPopups.h"

#include "app/View.h"
#include "editors/EditPopup.h"
#include "ui/framework/Popup.h"

std::unique_ptr<PopupBase> CreateEditorPopup(int slot, View& view)
{
    switch (slot) {
    // One case per editor: View::MasterPopup, View::EditPopup,
    // View::ControllersPopup, View::ArpEditPopup, View::SetupInfoPopup.
    case View::EditPopup:
        return std::make_unique<::EditPopup>(QStringLiteral("Edit"), /*topLevel*/ true, &view, &view);
    default:
        return nullptr;
    }
}
