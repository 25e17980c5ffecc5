#include "app/QtMessagePresenter.h"

#include "core/Logger.h"

#include <QApplication>
#include <QPushButton>
#include <QThread>

QtMessagePresenter::QtMessagePresenter(ShowBox show)
    : m_show(show ? std::move(show) : ShowBox(&QtMessagePresenter::RunMessageBox))
{
}

int QtMessagePresenter::Present(QObject* owner, const QString& text, const QString& caption, unsigned type)
{
    if (!qobject_cast<QApplication*>(QCoreApplication::instance())
        || QThread::currentThread() != QCoreApplication::instance()->thread()) {
        // Widgets live on the application's thread only; a box raised
        // elsewhere would crash, so the caller gets the harmless answer.
        TLOG(kLogError, u"Message box requested off the user-interface thread, not shown: %s", text);
        return msgbox::DefaultAnswer(type);
    }
    return m_show(ChooseOwner(owner), text, caption, type);
}

QWidget* QtMessagePresenter::ChooseOwner(QObject* owner) const
{
    if (auto* widget = qobject_cast<QWidget*>(owner))
        return widget;

    QWidget* candidate = QApplication::focusWidget();
    if (!candidate)
        candidate = QApplication::activeWindow();
    if (candidate) {
        // window() climbs through the parents while they are children, to
        // the top-level window (a popup or dialog is one itself).
        QWidget* top = candidate->window();
        if (top && top->isEnabled())
            return top;
    }
    return m_mainWindow.data();
}

std::unique_ptr<QMessageBox> QtMessagePresenter::BuildMessageBox(QWidget* parent, const QString& text,
                                                                 const QString& caption, unsigned type)
{
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    switch (type & msgbox::IconMask) {
    case msgbox::IconError: icon = QMessageBox::Critical; break;
    case msgbox::IconQuestion: icon = QMessageBox::Question; break;
    case msgbox::IconWarning: icon = QMessageBox::Warning; break;
    case msgbox::IconInformation: icon = QMessageBox::Information; break;
    default: break;
    }
    QMessageBox::StandardButtons buttons;
    QMessageBox::StandardButton first = QMessageBox::Ok;
    switch (type & msgbox::ButtonsMask) {
    case msgbox::OkCancel: buttons = QMessageBox::Ok | QMessageBox::Cancel; break;
    case msgbox::AbortRetryIgnore:
        buttons = QMessageBox::Abort | QMessageBox::Retry | QMessageBox::Ignore;
        first = QMessageBox::Abort;
        break;
    case msgbox::YesNoCancel:
        buttons = QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel;
        first = QMessageBox::Yes;
        break;
    case msgbox::YesNo:
        buttons = QMessageBox::Yes | QMessageBox::No;
        first = QMessageBox::Yes;
        break;
    case msgbox::RetryCancel:
        buttons = QMessageBox::Retry | QMessageBox::Cancel;
        first = QMessageBox::Retry;
        break;
    default: buttons = QMessageBox::Ok; break;
    }
    auto box = std::make_unique<QMessageBox>(icon, caption, text, buttons, parent);
    // Messages quote file names and module texts, which must show as typed.
    box->setTextFormat(Qt::PlainText);
    box->setDefaultButton(first);
    return box;
}

int QtMessagePresenter::AnswerFor(int clickedButton, unsigned type)
{
    switch (clickedButton) {
    case QMessageBox::Ok: return msgbox::IdOk;
    case QMessageBox::Cancel: return msgbox::IdCancel;
    case QMessageBox::Abort: return msgbox::IdAbort;
    case QMessageBox::Retry: return msgbox::IdRetry;
    case QMessageBox::Ignore: return msgbox::IdIgnore;
    case QMessageBox::Yes: return msgbox::IdYes;
    case QMessageBox::No: return msgbox::IdNo;
    default: return msgbox::DefaultAnswer(type);
    }
}

int QtMessagePresenter::RunMessageBox(QWidget* parent, const QString& text, const QString& caption, unsigned type)
{
    auto box = BuildMessageBox(parent, text, caption, type);
    return AnswerFor(box->exec(), type);
}
