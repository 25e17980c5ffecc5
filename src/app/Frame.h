#pragma once
// Frame: the main window around the main panel. Fixed size, its position kept
// in the configuration, its title showing the configuration and the
// connection state, a status bar with menu prompts and the last SysEx sent.
// It carries the main menu and the main window's keys.

#include <QMainWindow>
#include <QString>

#include <cstdint>
#include <functional>
#include <map>
#include <utility>
#include <vector>

class Document;
class QAction;
class QLabel;
class View;

class Frame : public QMainWindow {
    Q_OBJECT
public:
    explicit Frame(Document& document, QWidget* parent = nullptr);
    ~Frame() override;

    /// Builds the title from the configuration name and the connection state.
    void OnUpdateFrameTitle();
    /// Shows the bytes of a SysEx message sent to the module in the status bar.
    void ShowSysEx(const std::uint8_t* data, unsigned length);

    View* GetView() const { return m_view; }
    Document& GetDocument() const { return m_document; }

    /// The title for a configuration name and connection state (testUI: no state shown).
    static QString FrameTitle(const QString& configuration, bool testUI, bool anyPortOpen, bool ready);
    /// The text of the SysEx pane for a message.
    static QString SysExText(const std::uint8_t* data, unsigned length);
    /// Where Ctrl+Tab goes: registry holds the popups' names in name order with
    /// whether each is visible; current is the name of the popup that has the
    /// focus (empty: the main window or the panel). The name of the popup to
    /// focus, or the empty text for the main window.
    static QString NextPopupTarget(const std::vector<std::pair<QString, bool>>& registry, const QString& current);

    /// Fits the window to the panel: fixed size, the panel's size plus menu and status bar.
    void FitToPanel();
    /// Moves the window to the position kept as "MainFrame", shifted onto the screen.
    void RestorePosition();
    /// Keeps the window's rectangle as "MainFrame".
    void SavePosition();

    /// The action of a command id; null when the main window has none.
    QAction* Action(int command) const;
    /// Brings every command's enabled, checked and text state up to date.
    void UpdateCommandStates();
    /// Runs a command as its menu item or key would.
    void RunCommand(int command);
    /// The handlers of the Help menu (the application installs them).
    void SetHelpHandler(int command, std::function<void()> handler);
    /// Whether the About box exists in this build (its command stays disabled otherwise).
    void SetAboutAvailable(bool available) { m_aboutAvailable = available; }

    QLabel* SysExPane() const { return m_sysExPane; }

protected:
    void closeEvent(QCloseEvent* event) override;
    /// Brings the commands' states up to date just before a key of this
    /// window is matched: a disabled action's key does nothing.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildMenus();
    QAction* AddCommand(QMenu* menu, int command, const QString& text, const QString& key, const QString& tip);
    void OnNextPopup();
    void OnUndo();
    void OnRedo();

    Document& m_document;
    View* m_view = nullptr;
    QLabel* m_sysExPane = nullptr;
    std::map<int, QAction*> m_actions;
    std::map<int, std::function<void()>> m_helpHandlers;
    bool m_aboutAvailable = false;
    bool m_positionSaved = false;
};
