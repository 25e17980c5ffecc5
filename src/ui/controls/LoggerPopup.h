#pragma once
// The "Message Log" window: the log lines of the running program in a list,
// the trace level to edit while the program runs, copy, clear, keep on top,
// and the module information report appended for support. While it exists it
// is the program's logger on its own thread; lines logged on other threads
// wait in the start-up logger until the window's timer (or its next own line)
// takes them, so no other thread ever touches the window.
//
// The list keeps at most kLogWindowCapacity lines in a bounded model, so a
// flood of lines costs a constant amount of work per line.

#include "core/Logger.h"
#include "ui/controls/ButtonCtrl.h"
#include "ui/controls/EditCtrls.h"
#include "ui/controls/LogLines.h"
#include "ui/framework/Popup.h"

#include <QListView>
#include <QTimer>

#include <thread>

/// The log window's item ids and texts.
namespace logwindow {
inline constexpr int kTemplate = 131;
inline constexpr int kLevelEdit = 1188;
inline constexpr int kSupportButton = 1355;
inline constexpr int kLineList = 1001;
inline constexpr int kListMenu = 158;
inline constexpr int kCopy = 32784;
inline constexpr int kClear = 32786;
inline constexpr int kOnTop = 32805;
inline constexpr int kWindowTip = 20380;
inline constexpr int kListTip = 20381;
inline constexpr int kLevelTip = 20382;
inline constexpr int kButtonTip = 20383;
} // namespace logwindow

class LoggerPopup;

/// The line list: a list view over the bounded line model, with its own
/// context menu (copy, clear, keep the window on top).
class LogList : public QListView, public ControlBase {
    Q_OBJECT
public:
    explicit LogList(QWidget* parent = nullptr);

    void SetPopup(LoggerPopup* popup) { m_popup = popup; }
    /// The window the list belongs to (a form builds the list before it knows it).
    void SetOwner(ControlListener* owner) { m_owner = owner; }
    /// The menu's items; null while tooltips are not long (as every control menu).
    std::unique_ptr<QMenu> MakeListMenu();
    void PrepareContextMenu(QMenu* menu) override;
    void OnContextMenuCommand(QWidget* parent, QPoint* point, int command) override;

protected:
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    LoggerPopup* m_popup = nullptr;
};

namespace Ui {
class LoggerPopup;
}

class LoggerPopup : public Popup, public Logger {
    Q_OBJECT
public:
    /// name: the window's title and its settings name ("Message Log").
    LoggerPopup(const QString& name, bool topLevel, ControlListener* parent, QWidget* parentWnd);
    ~LoggerPopup() override;

    bool IsResizable() const override { return true; }

    // Logger: on the window's thread the waiting lines, then this one, go to
    // the list; from any other thread the line waits in the start-up logger.
    // Either way it reaches the log file once.
    void Output(int level, const QString& line) override;

    /// Splits text at "\n", drops "\r", adds every non-empty piece.
    void AddText(const QString& text);
    /// Adds one line: the view follows when the last line was selected,
    /// otherwise it stays where the user scrolled.
    void AddLine(const QString& line);
    /// Moves every line waiting in the start-up logger into the list, oldest first.
    void TakeWaitingLines();

    /// Copy, Clear, Keep Window On Top.
    void RunListCommand(int command);
    bool IsOnTop() const;

    LogLines& Lines() { return m_lines; }
    EditCtrl* LevelEdit() const { return m_level; }
    ButtonCtrl* SupportButton() const { return m_support; }
    LogList* List() const { return m_list; }

    void OnCommand(int id) override;

protected:
    /// The list keeps its top-left corner and takes the rest of the window.
    void resizeEvent(QResizeEvent* event) override;

private:
    void LevelEdited(const QString& text);
    void AppendSupportInfo();
    void SetOnTop(bool onTop);

    Ui::LoggerPopup* m_ui;
    EditCtrl* m_level = nullptr;
    ButtonCtrl* m_support = nullptr;
    LogList* m_list = nullptr;
    LogLines m_lines;
    QTimer m_timer;
    std::thread::id m_thread;
};
