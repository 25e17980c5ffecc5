#include "platform/SafeFile.h"

#include <QFile>
#include <QFileDevice>
#include <QFileInfo>
#include <QRandomGenerator>

#include <cerrno>
#include <ctime>
#include <system_error>
#include <vector>

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace platform {

QString FormatSystemError(std::uint32_t code)
{
    // File operations keep the reason in a 256-character buffer.
    constexpr qsizetype kCapacity = 256;
    const QString unknown = QStringLiteral("Unknown error");
    if (code == 0)
        return unknown;
    // The system category gives strerror's text on POSIX and FormatMessage's on
    // Windows; both make up "Unknown error <n>" for codes they do not know.
    QString text = QString::fromLocal8Bit(std::system_category().message(int(code))).trimmed();
    if (text.isEmpty() || text.startsWith(unknown, Qt::CaseInsensitive))
        return unknown;
    if (text.size() > kCapacity - 1)
        text.truncate(kCapacity - 1);
    return text;
}

QString FileErrorReason(const QFileDevice& file, int savedErrno)
{
    const QString text = file.errorString();
    if (file.error() == QFileDevice::NoError || text.isEmpty() || text == QStringLiteral("Unknown error"))
        return FormatSystemError(std::uint32_t(savedErrno));
    return text;
}

namespace {

// The temporary file of a write to "<dir>/<name>" is "<dir>/.<name>.XXXXXX.tmp"
// (six letters or digits). The writer holds an exclusive flock on it until it
// has been renamed over the target, so a file of that naming that nobody holds
// was left by a writer that died.
constexpr int kRandomLength = 6;
const char kTempSuffix[] = ".tmp";

bool IsTempNameOf(const QByteArray& entry, const QByteArray& base)
{
    const QByteArray prefix = '.' + base + '.';
    const qsizetype expected = prefix.size() + kRandomLength + qsizetype(sizeof kTempSuffix - 1);
    if (entry.size() != expected || !entry.startsWith(prefix) || !entry.endsWith(kTempSuffix))
        return false;
    for (qsizetype i = prefix.size(); i < prefix.size() + kRandomLength; ++i) {
        const char c = entry[i];
        if (!((c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9')))
            return false;
    }
    return true;
}

QByteArray RandomPart()
{
    static const char kChars[] = "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789";
    QByteArray out;
    for (int i = 0; i < kRandomLength; ++i)
        out += kChars[QRandomGenerator::global()->bounded(int(sizeof kChars - 1))];
    return out;
}

std::int64_t AgeMs(const struct stat& st)
{
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return (std::int64_t(now.tv_sec) - st.st_mtim.tv_sec) * 1000 + (now.tv_nsec - st.st_mtim.tv_nsec) / 1000000;
}

// Removes a leftover temporary file when it is old enough and no writer holds it.
void RemoveIfStale(const QByteArray& path)
{
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return;
    struct stat st{};
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode) && AgeMs(st) >= kStaleTemporaryAgeMs
        && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        // Still the same file under that name: then it is ours to remove.
        struct stat now{};
        if (::lstat(path.constData(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
            ::unlink(path.constData());
    }
    ::close(fd);
}

FileWriteResult Failed(int error, bool opened)
{
    FileWriteResult result;
    result.opened = opened;
    result.reason = FormatSystemError(std::uint32_t(error));
    return result;
}

} // namespace

void RemoveStaleTemporaryFiles(const QString& path)
{
    const QFileInfo info(path);
    const QByteArray dirPath = QFile::encodeName(info.absolutePath());
    const QByteArray base = QFile::encodeName(info.fileName());
    DIR* dir = ::opendir(dirPath.constData());
    if (!dir)
        return;
    std::vector<QByteArray> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        const QByteArray name(entry->d_name);
        if (IsTempNameOf(name, base))
            candidates.push_back(dirPath + '/' + name);
    }
    ::closedir(dir);
    for (const QByteArray& candidate : candidates)
        RemoveIfStale(candidate);
}

FileWriteResult WriteFileWhole(const QString& path, const QByteArray& data)
{
    // A link is followed: the file it names is replaced, the link stays.
    QString target = path;
    const QFileInfo info(path);
    if (info.isSymLink() && !info.symLinkTarget().isEmpty())
        target = info.symLinkTarget();
    const QFileInfo targetInfo(target);
    if (targetInfo.isDir())
        return Failed(EISDIR, false);

    RemoveStaleTemporaryFiles(target);

    const QByteArray dirPath = QFile::encodeName(targetInfo.absolutePath());
    const QByteArray finalPath = QFile::encodeName(targetInfo.absoluteFilePath());
    QByteArray tempPath;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        tempPath = dirPath + "/." + QFile::encodeName(targetInfo.fileName()) + '.' + RandomPart() + kTempSuffix;
        fd = ::open(tempPath.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return Failed(errno, false);
    }
    if (fd < 0)
        return Failed(EEXIST, false);
    ::flock(fd, LOCK_EX); // held until the file has its final name

    auto fail = [&](int error) {
        ::unlink(tempPath.constData());
        ::close(fd);
        return Failed(error, true);
    };

    // The new file keeps the permissions of the one it replaces.
    struct stat old{};
    if (::stat(finalPath.constData(), &old) == 0 && ::fchmod(fd, old.st_mode & 07777) != 0)
        return fail(errno);

    const char* p = data.constData();
    qsizetype left = data.size();
    while (left > 0) {
        const ssize_t n = ::write(fd, p, size_t(left));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno);
        }
        if (n == 0)
            return fail(ENOSPC);
        p += n;
        left -= n;
    }
    if (::fsync(fd) != 0)
        return fail(errno);
    if (::rename(tempPath.constData(), finalPath.constData()) != 0)
        return fail(errno);
    ::close(fd);
    FileWriteResult result;
    result.ok = true;
    result.opened = true;
    return result;
}

} // namespace platform
