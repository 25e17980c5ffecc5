#include "dump/DumpFailure.h"
#include "dump/SysExFile.h"
#include "platform/FileProperties.h"

#include "RecordingPresenter.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <csignal>
#include <vector>

#include <sys/resource.h>

namespace {

void WriteRaw(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate)) << path.toStdString();
    ASSERT_EQ(file.write(bytes), bytes.size());
}

QByteArray ReadRaw(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

std::vector<QByteArray> Messages(const ByteBlockList& blocks, std::size_t from = 0)
{
    std::vector<QByteArray> out;
    for (std::size_t i = from; i < blocks.size(); ++i)
        out.push_back(blocks[i]->ToByteArray());
    return out;
}

QString Question(SysExFileQuestion question)
{
    return LoadResourceString(unsigned(question));
}

class SysExFileTest : public ::testing::Test {
protected:
    QString PathOf(const char* name) const { return dir.filePath(QString::fromLatin1(name)); }

    QTemporaryDir dir;
    PresenterScope scope;
    RecordingPresenter& presenter = *scope.presenter;
};

// ---------------------------------------------------------------- reading

struct ReadCase {
    const char* name;
    const char* bytes;
    std::vector<int> answers;
    SysExFileResult::Status status;
    std::vector<const char*> messages;         // added to the list
    std::vector<SysExFileQuestion> questions;  // asked, in order
};

TEST_F(SysExFileTest, ReadSplitsMessagesAndAsksOnceAboutDamage)
{
    using Q = SysExFileQuestion;
    constexpr int Yes = msgbox::IdYes;
    constexpr int No = msgbox::IdNo;
    const ReadCase cases[] = {
        // whole messages
        {"empty file", "", {}, SysExFileResult::Ok, {}, {}},
        {"filler around and between messages", "00 F0 01 F7 55 66 F0 02 03 F7 7F", {}, SysExFileResult::Ok,
         {"F001F7", "F00203F7"}, {}},
        {"other manufacturers' messages are messages too", "F0 43 10 4C 00 00 7E 00 F7 F0 7E 7F 06 01 F7", {},
         SysExFileResult::Ok, {"F043104C00007E00F7", "F07E7F0601F7"}, {}},
        // a start inside a message
        {"start with no end, Yes keeps the second message", "F0 01 F0 02 F7", {Yes}, SysExFileResult::Ok,
         {"F002F7"}, {Q::StartWithoutEnd}},
        {"start with no end, No declines", "F0 09 F7 F0 01 F0 02 F7", {No}, SysExFileResult::Declined, {},
         {Q::StartWithoutEnd}},
        // an unterminated last message
        {"incomplete tail, Yes keeps the messages before it", "F0 01 F7 F0 02", {Yes}, SysExFileResult::Ok,
         {"F001F7"}, {Q::IncompleteSysEx}},
        {"incomplete tail, No declines", "F0 01 F7 F0 02", {No}, SysExFileResult::Declined, {},
         {Q::IncompleteSysEx}},
        {"a lone start byte", "F0", {Yes}, SysExFileResult::Ok, {}, {Q::IncompleteSysEx}},
        // an end with no start
        {"stray end first, Yes skips it", "F7 F0 01 F7", {Yes}, SysExFileResult::Ok, {"F001F7"},
         {Q::EndWithoutStart}},
        {"stray end first, No declines", "F7 F0 01 F7", {No}, SysExFileResult::Declined, {}, {Q::EndWithoutStart}},
        {"a lone end byte", "F7", {Yes}, SysExFileResult::Ok, {}, {Q::EndWithoutStart}},
        {"stray end after a message", "F0 01 F7 F7", {Yes}, SysExFileResult::Ok, {"F001F7"}, {Q::EndWithoutStart}},
        // one question per file
        {"after one Yes later damage passes", "F7 F0 01 F0 02 F7 F7 F0 03", {Yes}, SysExFileResult::Ok,
         {"F002F7"}, {Q::EndWithoutStart}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        presenter.shown.clear();
        presenter.answers.assign(c.answers.begin(), c.answers.end());
        const QString path = PathOf("read.sysex");
        WriteRaw(path, Hex(c.bytes));

        // The list is appended to, never emptied; a failed read leaves it as it was.
        ByteBlockList blocks{MakeByteBlock(Hex("F0 7F F7"))};
        OleProps props;
        props.title = QStringLiteral("kept");
        const SysExFileResult result = SysExFile::Read(path, blocks, props);

        EXPECT_EQ(result.status, c.status) << result.description().toStdString();
        ASSERT_FALSE(blocks.empty());
        EXPECT_EQ(blocks[0]->ToByteArray(), Hex("F0 7F F7"));
        std::vector<QByteArray> expected;
        for (const char* m : c.messages)
            expected.push_back(Hex(m));
        EXPECT_EQ(Messages(blocks, 1), expected);
        EXPECT_EQ(result.blocks, int(expected.size()));
        EXPECT_EQ(props.title, QStringLiteral("kept"));

        ASSERT_EQ(presenter.shown.size(), c.questions.size());
        for (std::size_t i = 0; i < c.questions.size(); ++i) {
            EXPECT_EQ(presenter.shown[i].text, Question(c.questions[i]));
            EXPECT_EQ(presenter.shown[i].type & msgbox::ButtonsMask, msgbox::YesNo);
        }
        if (c.status == SysExFileResult::Declined) {
            EXPECT_EQ(result.reason, Question(c.questions.back()));
        }
    }
}

TEST_F(SysExFileTest, ReadAcceptsAtMostTheLargestDumpSize)
{
    // One message of exactly the limit, then the same with one filler byte.
    const QByteArray largest = Hex("F0") + QByteArray(SysExFile::kMaxFileSize - 2, '\0') + Hex("F7");
    ASSERT_EQ(largest.size(), SysExFile::kMaxFileSize);
    struct {
        const char* name;
        QByteArray bytes;
        SysExFileResult::Status status;
        std::size_t blocks;
    } const cases[] = {
        {"16834 bytes", largest, SysExFileResult::Ok, 1},
        {"16835 bytes", largest + Hex("00"), SysExFileResult::TooLarge, 0},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        presenter.shown.clear();
        const QString path = PathOf("big.sysex");
        WriteRaw(path, c.bytes);
        ByteBlockList blocks;
        OleProps props;
        EXPECT_EQ(SysExFile::Read(path, blocks, props).status, c.status);
        EXPECT_EQ(blocks.size(), c.blocks);
    }
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text,
              QStringLiteral("Failed to upload sysex dump file with File is too large to be a SysEx dump"));
    EXPECT_EQ(presenter.shown[0].type & msgbox::ButtonsMask, msgbox::Ok);
}

TEST_F(SysExFileTest, ReadOfAFileThatCannotBeOpenedReportsTheSystemReason)
{
    const struct {
        const char* name;
        QString path;
    } cases[] = {
        {"missing file", PathOf("missing.sysex")},
        {"a folder", dir.path()},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        presenter.shown.clear();
        ByteBlockList blocks;
        OleProps props;
        const SysExFileResult result = SysExFile::Read(c.path, blocks, props);
        EXPECT_EQ(result.status, SysExFileResult::OpenFailed);
        EXPECT_TRUE(blocks.empty());
        ASSERT_EQ(presenter.shown.size(), 1u);
        EXPECT_TRUE(presenter.shown[0].text.startsWith(QStringLiteral("Failed to open sysex dump file with ")))
            << presenter.shown[0].text.toStdString();
        EXPECT_FALSE(result.reason.isEmpty());
        EXPECT_EQ(presenter.shown[0].text, result.description());
    }
}

// ---------------------------------------------------------------- writing

TEST_F(SysExFileTest, WriteReplacesTheOldFileWithExactlyTheMessages)
{
    const QString path = PathOf("out.sysex");
    WriteRaw(path, QByteArray(100, 'x'));
    const ByteBlockList blocks{MakeByteBlock(Hex("F0 01 02 F7")), TPtr<_ByteBlock>(), MakeByteBlock(Hex("F0 7E F7"))};

    const SysExFileResult result = SysExFile::Write(path, blocks, OleProps());

    EXPECT_TRUE(result) << result.description().toStdString();
    EXPECT_EQ(result.blocks, 2);
    EXPECT_EQ(ReadRaw(path), Hex("F0 01 02 F7 F0 7E F7"));
    EXPECT_TRUE(presenter.shown.empty());
}

TEST_F(SysExFileTest, WriteIntoAMissingFolderReportsAndCreatesNothing)
{
    const QString path = PathOf("no-such-folder/out.sysex");
    const SysExFileResult result = SysExFile::Write(path, {MakeByteBlock(Hex("F0 F7"))}, OleProps());

    EXPECT_EQ(result.status, SysExFileResult::OpenFailed);
    EXPECT_FALSE(QFile::exists(path));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text, result.description());
    EXPECT_TRUE(result.description().startsWith(QStringLiteral("Failed to open sysex dump file with ")));
}

// Lowers the largest file this process may write, the way a full disk or a
// quota stops a write half way (it works for root too, unlike permissions).
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_saved);
        m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit lowered = m_saved;
        lowered.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &lowered) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_saved);
        std::signal(SIGXFSZ, m_oldHandler);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_saved{};
    void (*m_oldHandler)(int) = nullptr;
    bool m_ok = false;
};

TEST_F(SysExFileTest, WriteThatFailsHalfWayLeavesTheOldFileUntouched)
{
    const QString path = PathOf("backup.sysex");
    const QByteArray old = Hex("F0 18 0F 00 55 F7");
    WriteRaw(path, old);
    ByteBlockList blocks;
    for (int i = 0; i < 8; ++i)
        blocks.push_back(MakeByteBlock(Hex("F0") + QByteArray(253, char(i)) + Hex("F7")));

    SysExFileResult result;
    {
        FileSizeLimit limit(512);
        ASSERT_TRUE(limit.ok());
        result = SysExFile::Write(path, blocks, OleProps());
    }

    EXPECT_EQ(result.status, SysExFileResult::WriteFailed);
    EXPECT_EQ(ReadRaw(path), old);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{QStringLiteral("backup.sysex")})
        << "no temporary or partial file may stay behind";
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text,
              QStringLiteral("Failed to write sysex dump file with ") + FormatSystemError(EFBIG));
}

// ---------------------------------------------------------------- real dumps

TEST_F(SysExFileTest, RealDumpsReadAsWholeMessagesAndRoundTrip)
{
    const QDir fixtures(QString::fromLocal8Bit(qgetenv("TABRINE_FIXTURES")));
    const struct {
        const char* file;
        std::size_t messages;
    } cases[] = {
        {"a2k-setup.syx", 1},
        {"a2k-user-preset-0000.syx", 8},
        {"cs-rom4-preset-0000.syx", 8},
        {"cs-rom4-preset-0512-numbered-edit-buffer.syx", 8},
        {"p2k-init-open-loop.syx", 8},
        {"xl7-arp-0000.syx", 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file);
        const QString source = fixtures.filePath(QString::fromLatin1(c.file));
        const QByteArray original = ReadRaw(source);
        ASSERT_FALSE(original.isEmpty()) << source.toStdString();

        ByteBlockList blocks;
        OleProps props;
        ASSERT_TRUE(SysExFile::Read(source, blocks, props));
        ASSERT_EQ(blocks.size(), c.messages);
        QByteArray joined;
        for (const auto& block : blocks) {
            ASSERT_GE(block->Size(), 2u);
            EXPECT_EQ(block->Data()[0], 0xF0);
            EXPECT_EQ(block->Data()[block->Size() - 1], 0xF7);
            joined += block->ToByteArray();
        }
        EXPECT_EQ(joined, original);

        const QString copy = PathOf("copy.sysex");
        ASSERT_TRUE(SysExFile::Write(copy, blocks, props));
        EXPECT_EQ(ReadRaw(copy), original);
        ByteBlockList again;
        ASSERT_TRUE(SysExFile::Read(copy, again, props));
        EXPECT_EQ(Messages(again), Messages(blocks));
    }
    EXPECT_TRUE(presenter.shown.empty());
}

// ---------------------------------------------------------------- failure report

TEST_F(SysExFileTest, DumpFailureIsOneLoggedOkBoxAndFalse)
{
    EXPECT_FALSE(ShowDumpFailure(QStringLiteral("send preset"), QStringLiteral("no reply")));
    ASSERT_EQ(presenter.shown.size(), 1u);
    EXPECT_EQ(presenter.shown[0].text, QStringLiteral("Failed to send preset with no reply"));
    EXPECT_EQ(presenter.shown[0].type & msgbox::ButtonsMask, msgbox::Ok);
}

TEST(FormatSystemError, SystemTextOrUnknownError)
{
    EXPECT_EQ(FormatSystemError(ENOENT), QStringLiteral("No such file or directory"));
    EXPECT_EQ(FormatSystemError(0), QStringLiteral("Unknown error"));
    EXPECT_EQ(FormatSystemError(987654), QStringLiteral("Unknown error"));
}

} // namespace
