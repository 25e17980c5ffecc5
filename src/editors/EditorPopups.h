#pragma once
// The editor popups the main panel makes at the first connect: the master
// settings, the preset editor, the real-time controllers, the arp pattern
// editor and the multisetup editor. The program hands this maker to the
// panel (View::SetEditorFactory).

#include <memory>

class PopupBase;
class View;

/// The editor of a panel popup slot (View::MasterPopup ... View::SetupInfoPopup),
/// top-level, with the view as parent listener and parent window; null for a
/// slot that has no editor.
std::unique_ptr<PopupBase> CreateEditorPopup(int slot, View& view);
