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

/// The main window's commands (menu and keys of the main window).
inline constexpr int ConfigureMidi = 32771;  ///< Ctrl+G
inline constexpr int FileLoad = 32778;       ///< Ctrl+L
inline constexpr int FileSave = 57603;       ///< Ctrl+S
inline constexpr int FileSaveAs = 32782;     ///< Ctrl+A
inline constexpr int FrameworkSaveAs = 57604;
inline constexpr int AppExit = 57665;        ///< Ctrl+X
inline constexpr int CopyData = 32779;       ///< Ctrl+C
inline constexpr int ImportData = 32794;     ///< Ctrl+I
inline constexpr int ExportData = 32793;     ///< Ctrl+E
inline constexpr int SendData = 32823;
inline constexpr int BankMap = 32803;
inline constexpr int TooltipsNone = 32800;
inline constexpr int TooltipsShort = 32801;
inline constexpr int TooltipsLong = 32802;
inline constexpr int SaveInstrumentDefinition = 32789; ///< Ctrl+D
inline constexpr int ExportFxBank = 32819;
inline constexpr int BackupModule = 32810;
inline constexpr int RestoreBackup = 32811;
inline constexpr int Options = 32821;
inline constexpr int HelpFinder = 57667;     ///< F1
inline constexpr int ContextHelp = 57669;
inline constexpr int Help = 57670;
inline constexpr int DefaultHelp = 57671;
inline constexpr int WebSite = 32804;
inline constexpr int ReadMe = 32822;
/// The SysEx pane of the main window's status bar.
inline constexpr int SysExPane = 32777;

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
