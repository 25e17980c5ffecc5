#include "platform/SafeFile.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <csignal>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

bool Put(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(bytes) == bytes.size();
}

QByteArray Get(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

void Age(const QString& path, int seconds)
{
    const timespec times[2] = {{time(nullptr) - seconds, 0}, {time(nullptr) - seconds, 0}};
    ASSERT_EQ(::utimensat(AT_FDCWD, QFile::encodeName(path).constData(), times, 0), 0);
}

QStringList Entries(const QString& dir)
{
    return QDir(dir).entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

TEST(SafeFile, WritesWholeKeepsPermissionsAndLeavesNothingBesideTheTarget)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Names.xml"));
    ASSERT_TRUE(platform::WriteFileWhole(path, "first"));
    ASSERT_TRUE(QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner));
    ASSERT_TRUE(platform::WriteFileWhole(path, "second"));
    EXPECT_EQ(Get(path), "second");
    EXPECT_EQ(QFile::permissions(path) & 0x7077, QFile::ReadOwner | QFile::WriteOwner);
    EXPECT_EQ(Entries(dir.path()), QStringList{"Names.xml"});

    // A link is followed: the file it names is replaced, the link stays.
    ASSERT_TRUE(QFile::link(path, dir.filePath(QStringLiteral("link.xml"))));
    ASSERT_TRUE(platform::WriteFileWhole(dir.filePath(QStringLiteral("link.xml")), "third"));
    EXPECT_EQ(Get(path), "third");
    EXPECT_TRUE(QFileInfo(dir.filePath(QStringLiteral("link.xml"))).isSymLink());

    // Failures give the system's reason and leave nothing behind.
    const platform::FileWriteResult folder = platform::WriteFileWhole(dir.path(), "x");
    EXPECT_FALSE(folder);
    EXPECT_EQ(folder.reason, QStringLiteral("Is a directory"));
    const platform::FileWriteResult missing = platform::WriteFileWhole(dir.filePath(QStringLiteral("no/x.xml")), "x");
    EXPECT_FALSE(missing);
    EXPECT_EQ(missing.reason, QStringLiteral("No such file or directory"));
    EXPECT_EQ(Entries(dir.path()), (QStringList{"Names.xml", "link.xml"}));
}

TEST(SafeFile, TemporaryFilesLeftByAKilledWriterAreRemovedByTheNextWrite)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Names.xml"));
    ASSERT_TRUE(Put(path, "old"));
    const struct {
        const char* name;
        QString file;
        int ageSeconds;
        bool removed;
    } rows[] = {
        {"ours, old", QStringLiteral(".Names.xml.a1B2c3.tmp"), 5, true},
        {"ours, new: a writer may be filling it", QStringLiteral(".Names.xml.d4E5f6.tmp"), 0, false},
        {"another target's", QStringLiteral(".Other.xml.a1B2c3.tmp"), 5, false},
        {"the user's own file", QStringLiteral("Names.xml.backup"), 5, false},
        {"not our naming", QStringLiteral(".Names.xml.a1B2c3d.tmp"), 5, false},
    };
    for (const auto& row : rows) {
        ASSERT_TRUE(Put(dir.filePath(row.file), "left over"));
        Age(dir.filePath(row.file), row.ageSeconds);
    }

    // One more left by a writer that still runs (it holds its file), then is killed.
    const QString live = dir.filePath(QStringLiteral(".Names.xml.LiVe99.tmp"));
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t writer = ::fork();
    ASSERT_GE(writer, 0);
    if (writer == 0) {
        const int fd = ::open(QFile::encodeName(live).constData(), O_WRONLY | O_CREAT | O_EXCL, 0644);
        ::flock(fd, LOCK_EX);
        (void)::write(ready[1], "r", 1);
        for (;;)
            ::pause();
    }
    char c = 0;
    ASSERT_EQ(::read(ready[0], &c, 1), 1);
    Age(live, 5);

    ASSERT_TRUE(platform::WriteFileWhole(path, "new"));
    EXPECT_EQ(Get(path), "new");
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(QFileInfo::exists(dir.filePath(row.file)), !row.removed);
    }
    EXPECT_TRUE(QFileInfo::exists(live)) << "its writer still holds it";

    ::kill(writer, SIGKILL);
    ASSERT_EQ(::waitpid(writer, nullptr, 0), writer);
    ::close(ready[0]);
    ::close(ready[1]);
    ASSERT_TRUE(platform::WriteFileWhole(path, "newer"));
    EXPECT_FALSE(QFileInfo::exists(live)) << "its writer was killed";
}

} // namespace
