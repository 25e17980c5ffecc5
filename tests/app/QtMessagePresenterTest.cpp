#include "app/QtMessagePresenter.h"

#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QAbstractButton>
#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QPushButton>

#include <thread>

namespace {

// Captures the owner the presenter chose instead of running a modal box.
struct CapturedBox {
    int count = 0;
    QWidget* parent = nullptr;
    QString text;
    QString caption;
    unsigned type = 0;
};

class QtMessagePresenterTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        m_main.setWindowTitle(QStringLiteral("Main"));
        m_main.show();
        m_presenter->SetMainWindow(&m_main);
    }
    void TearDown() override
    {
        SetMessagePresenter(nullptr);
        QApplication::setActiveWindow(nullptr);
    }

    CapturedBox m_box;
    std::shared_ptr<QtMessagePresenter> m_presenter = std::make_shared<QtMessagePresenter>(
        [this](QWidget* parent, const QString& text, const QString& caption, unsigned type) {
            m_box = {m_box.count + 1, parent, text, caption, type};
            return msgbox::IdYes;
        });
    QMainWindow m_main;
};

TEST_F(QtMessagePresenterTest, OwnerIsTheNearestWindowThatCanTakeInput)
{
    // A modeless popup whose child control has the focus owns the box.
    QDialog popup(&m_main);
    auto* edit = new QLineEdit(&popup);
    popup.show();
    QApplication::setActiveWindow(&popup);
    edit->setFocus();
    ASSERT_EQ(QApplication::focusWidget(), edit);
    SetMessagePresenter(m_presenter);
    EXPECT_EQ(ShowMessage(nullptr, msgbox::YesNo, false, 300, QStringLiteral("x.xml")), msgbox::IdYes);
    EXPECT_EQ(m_box.count, 1);
    EXPECT_EQ(m_box.parent, &popup);
    EXPECT_EQ(m_box.text, QStringLiteral("Are you sure you want to overwrite x.xml?"));
    EXPECT_EQ(m_box.caption, QStringLiteral("Tabrine"));
    EXPECT_EQ(m_box.type, msgbox::YesNo);

    // An owner given by the caller wins.
    QWidget given;
    EXPECT_EQ(m_presenter->ChooseOwner(&given), &given);
    QObject notAWidget;
    EXPECT_EQ(m_presenter->ChooseOwner(&notAWidget), &popup);

    // A disabled top-level window cannot take input: the main window owns the box.
    QWidget blocked;
    blocked.show();
    QApplication::setActiveWindow(&blocked);
    blocked.setEnabled(false);
    ASSERT_EQ(QApplication::focusWidget(), nullptr);
    ASSERT_EQ(QApplication::activeWindow(), &blocked);
    EXPECT_EQ(m_presenter->ChooseOwner(nullptr), &m_main);

    // Nothing active and no main window: no owner.
    QApplication::setActiveWindow(nullptr);
    m_presenter->SetMainWindow(nullptr);
    EXPECT_EQ(m_presenter->ChooseOwner(nullptr), nullptr);
}

TEST_F(QtMessagePresenterTest, OffTheUserInterfaceThreadNothingIsShown)
{
    SetMessagePresenter(m_presenter);
    int answer = 0;
    std::thread([&] { answer = ShowMessage(nullptr, msgbox::YesNoCancel, false, 301); }).join();
    EXPECT_EQ(answer, msgbox::IdCancel);
    EXPECT_EQ(m_box.count, 0);
}

TEST(QtMessageBox, BoxShowsPlainTextWithTheButtonsAndIconOfItsType)
{
    QWidget parent;
    const struct {
        const char* name;
        unsigned type;
        QMessageBox::StandardButtons buttons;
        QMessageBox::StandardButton defaultButton;
        QMessageBox::Icon icon;
    } rows[] = {
        {"ok", msgbox::Ok, QMessageBox::Ok, QMessageBox::Ok, QMessageBox::NoIcon},
        {"ok cancel", msgbox::OkCancel | msgbox::IconInformation, QMessageBox::Ok | QMessageBox::Cancel, QMessageBox::Ok, QMessageBox::Information},
        {"yes no", msgbox::YesNo | msgbox::IconWarning, QMessageBox::Yes | QMessageBox::No, QMessageBox::Yes, QMessageBox::Warning},
        {"yes no cancel", msgbox::YesNoCancel | msgbox::IconQuestion, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes, QMessageBox::Question},
        {"retry cancel", msgbox::RetryCancel | msgbox::IconError, QMessageBox::Retry | QMessageBox::Cancel, QMessageBox::Retry, QMessageBox::Critical},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        auto box = QtMessagePresenter::BuildMessageBox(&parent, QStringLiteral("<b>Warm</b> & <i>Pad</i>"),
                                                       QStringLiteral("Tabrine"), row.type);
        EXPECT_EQ(box->parentWidget(), &parent);
        EXPECT_EQ(box->windowTitle(), QStringLiteral("Tabrine"));
        EXPECT_EQ(box->text(), QStringLiteral("<b>Warm</b> & <i>Pad</i>"));
        EXPECT_EQ(box->textFormat(), Qt::PlainText);
        EXPECT_EQ(box->standardButtons(), row.buttons);
        EXPECT_EQ(static_cast<QAbstractButton*>(box->defaultButton()), box->button(row.defaultButton));
        EXPECT_EQ(box->icon(), row.icon);
    }
    const struct {
        int clicked;
        unsigned type;
        int answer;
    } answers[] = {
        {QMessageBox::Ok, msgbox::Ok, msgbox::IdOk},
        {QMessageBox::Cancel, msgbox::OkCancel, msgbox::IdCancel},
        {QMessageBox::Yes, msgbox::YesNo, msgbox::IdYes},
        {QMessageBox::No, msgbox::YesNo, msgbox::IdNo},
        {QMessageBox::Retry, msgbox::RetryCancel, msgbox::IdRetry},
        {QMessageBox::NoButton, msgbox::YesNoCancel, msgbox::IdCancel},
        {QMessageBox::NoButton, msgbox::YesNo, msgbox::IdNo},
    };
    for (const auto& a : answers) {
        SCOPED_TRACE(a.clicked);
        EXPECT_EQ(QtMessagePresenter::AnswerFor(a.clicked, a.type), a.answer);
    }
}

} // namespace
