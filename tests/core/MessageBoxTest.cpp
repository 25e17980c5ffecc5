#include "core/MessageBox.h"

#include "RecordingLogger.h"
#include "platform/SettingsStore.h"

#include <gtest/gtest.h>

#include <QObject>

namespace {

// Records what would be shown and answers from a script.
class RecordingPresenter : public MessagePresenter {
public:
    struct Shown {
        QObject* owner;
        QString text;
        QString caption;
        unsigned type;
    };
    int Present(QObject* owner, const QString& text, const QString& caption, unsigned type) override
    {
        shown.push_back({owner, text, caption, type});
        return answer;
    }
    std::vector<Shown> shown;
    int answer = msgbox::IdYes;
};

class MessageBoxTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        platform::SetCurrentSettingsStore(platform::MakeMemorySettingsStore());
        SetMessagePresenter(m_presenter);
    }
    void TearDown() override { SetMessagePresenter(nullptr); }

    std::shared_ptr<RecordingPresenter> m_presenter = std::make_shared<RecordingPresenter>();
    ScopedLogCapture m_log;
};

TEST_F(MessageBoxTest, ShowsTheFormattedStringCaptionedWithTheProductName)
{
    QObject owner;
    m_presenter->answer = msgbox::IdNo;
    EXPECT_EQ(ShowMessage(&owner, msgbox::YesNo | msgbox::IconWarning, false, 300, QStringLiteral("Warm Pad.xml")),
              msgbox::IdNo);
    ASSERT_EQ(m_presenter->shown.size(), 1u);
    const auto& box = m_presenter->shown[0];
    EXPECT_EQ(box.owner, &owner);
    EXPECT_EQ(box.text, QStringLiteral("Are you sure you want to overwrite Warm Pad.xml?"));
    EXPECT_EQ(box.caption, QStringLiteral("Tabrine"));
    EXPECT_EQ(box.type, msgbox::YesNo | msgbox::IconWarning);
    EXPECT_TRUE(m_log->Calls().empty()) << "log false writes nothing to the log";

    // A string that is not in the table shows an empty message.
    ShowMessage(nullptr, msgbox::Ok, false, 1);
    ASSERT_EQ(m_presenter->shown.size(), 2u);
    EXPECT_EQ(m_presenter->shown[1].text, QString());
    EXPECT_EQ(m_presenter->shown[1].owner, nullptr);
}

TEST_F(MessageBoxTest, LongTextIsCutAndLoggedOnceAsShown)
{
    const QString reason(5000, u'r');
    ShowMessage(nullptr, msgbox::Ok, true, 156, QStringLiteral("save"), reason);
    ASSERT_EQ(m_presenter->shown.size(), 1u);
    const QString shown = m_presenter->shown[0].text;
    EXPECT_EQ(shown.size(), kMessageTextMax);
    EXPECT_TRUE(shown.startsWith(QStringLiteral("Failed to save with rrr")));

    const auto calls = m_log->Calls();
    ASSERT_EQ(calls.size(), 1u);
    EXPECT_EQ(calls[0].level, -2);
    EXPECT_EQ(calls[0].sourceFile, QStringLiteral("StdAfx"));
    EXPECT_EQ(calls[0].line, 73);
    EXPECT_EQ(calls[0].format, QStringLiteral("%s"));
    EXPECT_EQ(calls[0].message, shown);
    ASSERT_EQ(m_log->Lines().size(), 1u);
    EXPECT_TRUE(m_log->Lines()[0].text.startsWith(QStringLiteral("WARNING: Failed to save with")));
}

TEST(MessageBoxDefaults, WithoutAWindowTheAnswerChangesNothing)
{
    SetMessagePresenter(nullptr);
    const struct {
        unsigned type;
        int answer;
    } rows[] = {
        {msgbox::Ok, msgbox::IdOk},
        {msgbox::Ok | msgbox::IconWarning, msgbox::IdOk},
        {msgbox::OkCancel, msgbox::IdCancel},
        {msgbox::YesNo | msgbox::IconQuestion, msgbox::IdNo},
        {msgbox::YesNoCancel, msgbox::IdCancel},
        {msgbox::RetryCancel, msgbox::IdCancel},
        {msgbox::AbortRetryIgnore, msgbox::IdIgnore},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.type);
        EXPECT_EQ(msgbox::DefaultAnswer(row.type), row.answer);
        EXPECT_EQ(ShowMessage(nullptr, row.type, false, 136), row.answer);
    }
}

} // namespace
