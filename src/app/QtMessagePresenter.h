#pragma once
// QtMessagePresenter - shows ShowMessage's boxes as Qt message boxes, owned by
// the most suitable window of the program.

#include "core/MessageBox.h"

#include <QMessageBox>
#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>

class QtMessagePresenter final : public MessagePresenter {
public:
    /// Shows one box on the given parent (null: no parent) and returns the answer.
    using ShowBox = std::function<int(QWidget* parent, const QString& text, const QString& caption, unsigned type)>;

    /// show: how a box is shown; by default RunMessageBox (modal, blocking).
    explicit QtMessagePresenter(ShowBox show = {});

    /// Chooses the owner and shows the box. Off the application's thread (or
    /// without a QApplication) nothing is shown: the call is logged and
    /// answers msgbox::DefaultAnswer.
    int Present(QObject* owner, const QString& text, const QString& caption, unsigned type) override;

    /// The window that owns boxes when no better one is found; null for none.
    void SetMainWindow(QWidget* mainWindow) { m_mainWindow = mainWindow; }
    QWidget* MainWindow() const { return m_mainWindow; }

    /// The owner rule: owner when it is a widget; else the focused widget or,
    /// when none has the focus, the active window, climbed to its top-level
    /// window, if that is enabled; else the main window; else null.
    QWidget* ChooseOwner(QObject* owner) const;

    /// The box for a message: plain text (never read as rich text), the
    /// buttons and icon of type, the first button the default.
    static std::unique_ptr<QMessageBox> BuildMessageBox(QWidget* parent, const QString& text, const QString& caption,
                                                        unsigned type);
    /// The msgbox::Id* for the button the user chose; msgbox::DefaultAnswer
    /// when the box was closed some other way.
    static int AnswerFor(int clickedButton, unsigned type);
    /// Builds the box, runs it modally and returns the answer.
    static int RunMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned type);

private:
    QPointer<QWidget> m_mainWindow;
    ShowBox m_show;
};
