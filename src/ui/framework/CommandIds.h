#pragma once
// Command, menu and item numbers shared by every dialog, popup and control.

namespace cmd {
/// The dialog key commands, dispatched to a window's OnCommand.
inline constexpr int TipEditor = 127;        ///< Shift+F2
inline constexpr int About = 57664;          ///< Shift+F1
inline constexpr int Undo = 57643;           ///< Ctrl+Z
inline constexpr int Redo = 57644;           ///< Ctrl+Y
inline constexpr int NextPopup = 32788;      ///< Ctrl+Tab
inline constexpr int MessageLog = 32772;     ///< Ctrl+M

/// Context-menu commands of the controls.
inline constexpr int EditTooltip = 32798;
inline constexpr int DefaultValue = 32820;
inline constexpr int ConfigureKeyboard = 32806;

/// Dialog items that every dialog knows.
inline constexpr int IdOk = 1;
inline constexpr int IdCancel = 2;
} // namespace cmd

namespace menuid {
/// The context menu of every control: Edit Tooltip, Default Value.
inline constexpr int ControlContext = 169;
/// The on-screen keyboard's context menu: Configure Keyboard, Edit Tooltip.
inline constexpr int KeyboardContext = 170;
} // namespace menuid
