// The store kept in a text file (see SettingsFileFormat.h for the format).
//
// Several program instances (one per configuration) share the file, so:
// - every change is a read-modify-write of the whole file under a lock file,
//   and the new text replaces the old one atomically (QSaveFile renames a
//   finished temporary file over it), so readers never see half a file and
//   no instance loses another's values;
// - every read checks whether the file changed since it was last parsed and
//   parses it again when it did; the parsed tree is only a cache.
// A line that cannot be parsed is skipped, reported once, and kept as it was
// when the file is rewritten. A file that is no settings file at all reads as
// empty; before the next change replaces it, it is kept beside it as
// "<name>.bad" (or "<name>.bad.N"). A file that exists but cannot be read at
// all is never replaced.
//
// Reads take no lock file: opening a key that exists, or writing a value the
// file already holds, never waits for another process.
#include "KeyTree.h"
#include "SettingsFileFormat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLockFile>
#include "platform/SafeFile.h"


#include <cerrno>
#include <chrono>
#include <cstring>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <type_traits>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>
#include <unistd.h>

namespace platform {

void ReportSettingsProblem(const QString& text); // SettingsStore.cpp

namespace {

using Problems = std::vector<QString>;

// What identifies one version of the file on disk.
struct FileStamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    std::int64_t mtimeNs = 0;
    std::int64_t ctimeNs = 0;
    bool operator==(const FileStamp&) const = default;

    static FileStamp Of(const struct stat& st)
    {
        FileStamp s;
        s.exists = true;
        s.device = st.st_dev;
        s.inode = st.st_ino;
        s.size = st.st_size;
        s.mtimeNs = std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
        s.ctimeNs = std::int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
        return s;
    }
};

std::int64_t WallClockNs()
{
    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    return std::int64_t(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

// A file modified this close to the moment it was read may change again
// within the same timestamp tick, and a new version may even reuse the inode
// and size of the old one; such a file is compared by content on every read
// until it has been quiet this long.
constexpr std::int64_t kRacyWindowNs = 2'000'000'000;

// A lock file without a readable process id older than this was left by a
// writer that died between creating it and writing its id (a live writer
// writes the id at once).
constexpr std::int64_t kIdlessLockAgeMs = kStaleTemporaryAgeMs;

// Removes the lock file when it holds no process id and is old enough: the
// lock library would take such a file as stale only after 30 s.
void RemoveIdlessStaleLock(const QString& lockPath)
{
    const QByteArray path = QFile::encodeName(lockPath);
    const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW | O_NONBLOCK);
    if (fd < 0)
        return;
    struct stat st{};
    char buffer[32] = {};
    bool remove = false;
    if (::fstat(fd, &st) == 0 && S_ISREG(st.st_mode)
        && (WallClockNs() - (std::int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec)) / 1000000
               >= kIdlessLockAgeMs) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer - 1);
        const QByteArray firstLine = QByteArray(buffer, n > 0 ? qsizetype(n) : 0).split('\n').value(0).trimmed();
        bool ok = false;
        const qint64 pid = firstLine.toLongLong(&ok);
        remove = !ok || pid <= 0;
    }
    if (remove) {
        struct stat now{};
        if (::lstat(path.constData(), &now) == 0 && now.st_dev == st.st_dev && now.st_ino == st.st_ino)
            ::unlink(path.constData());
    }
    ::close(fd);
}

enum class ReadStatus { Missing, Read, Unreadable };

struct FileContent {
    ReadStatus status = ReadStatus::Missing;
    QByteArray bytes;
    FileStamp stamp;
    QString error;
};

FileContent ReadWholeFile(const QString& path)
{
    FileContent c;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        if (!QFileInfo::exists(path) && !QFileInfo(path).isSymLink()) {
            c.status = ReadStatus::Missing;
        } else {
            c.status = ReadStatus::Unreadable;
            c.error = file.errorString();
        }
        return c;
    }
    struct stat st{};
    if (::fstat(file.handle(), &st) != 0 || !S_ISREG(st.st_mode)) {
        c.status = ReadStatus::Unreadable;
        c.error = QStringLiteral("not a regular file");
        return c;
    }
    c.stamp = FileStamp::Of(st);
    c.bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) {
        c.status = ReadStatus::Unreadable;
        c.error = file.errorString();
        return c;
    }
    c.status = ReadStatus::Read;
    return c;
}

// One mutex per settings file for the threads of this process: the lock file
// keeps other processes out, this keeps the store objects of this process
// from polling the lock file against each other.
std::mutex& FileMutex(const QString& path)
{
    static std::mutex mapLock;
    static std::map<QString, std::unique_ptr<std::mutex>> mutexes;
    std::lock_guard l(mapLock);
    auto& m = mutexes[QFileInfo(path).absoluteFilePath()];
    if (!m)
        m = std::make_unique<std::mutex>();
    return *m;
}

// Copies the damaged file to the first free "<path>.bad", "<path>.bad.2", ...
bool KeepBadCopy(const QString& path, const QByteArray& bytes, QString& copyPath, Problems& problems)
{
    for (int n = 1; n <= 100; ++n) {
        copyPath = path + QStringLiteral(".bad") + (n == 1 ? QString() : QStringLiteral(".%1").arg(n));
        if (QFileInfo::exists(copyPath))
            continue;
        const FileWriteResult w = WriteFileWhole(copyPath, bytes);
        if (w)
            return true;
        problems.push_back(QStringLiteral("Cannot keep a copy of the damaged settings file %1 as %2: %3")
                               .arg(path, copyPath, w.reason));
        return false;
    }
    problems.push_back(QStringLiteral("Cannot keep a copy of the damaged settings file %1: too many copies exist").arg(path));
    return false;
}

class FileSettingsStore final : public SettingsStore {
public:
    FileSettingsStore(QString path, FileSettingsOptions options) : m_path(std::move(path)), m_options(options) {}

    bool KeyExists(const QString& path) override
    {
        return Read([&](const KeyTree& t) { return t.KeyExists(path); });
    }
    std::optional<StoredValue> ReadValue(const QString& path, const QString& name) override
    {
        return Read([&](const KeyTree& t) { return t.ReadValue(path, name); });
    }
    QStringList ValueNames(const QString& path) override
    {
        return Read([&](const KeyTree& t) { return t.ValueNames(path); });
    }
    QStringList SubKeys(const QString& path) override
    {
        return Read([&](const KeyTree& t) { return t.SubKeys(path); });
    }

    bool CreateKey(const QString& path) override
    {
        if (KeyExists(path))
            return true;
        return Change([&](KeyTree& t) {
            if (t.KeyExists(path))
                return Outcome{true, false};
            return Outcome{t.CreateKey(path), true};
        });
    }
    bool WriteValue(const QString& path, const QString& name, const StoredValue& value) override
    {
        // The common case of storing what is already there needs no lock.
        if (Read([&](const KeyTree& t) { return t.KeyExists(path) && t.ReadValue(path, name) == value; }))
            return true;
        return Change([&](KeyTree& t) {
            if (!t.KeyExists(path))
                return Outcome{false, false};
            if (t.ReadValue(path, name) == value)
                return Outcome{true, false};
            return Outcome{t.WriteValue(path, name, value), true};
        });
    }
    bool DeleteValue(const QString& path, const QString& name) override
    {
        return Change([&](KeyTree& t) {
            const bool removed = t.DeleteValue(path, name);
            return Outcome{removed, removed};
        });
    }
    bool DeleteKey(const QString& path) override
    {
        return Change([&](KeyTree& t) {
            const bool removed = t.DeleteKey(path);
            return Outcome{removed, removed};
        });
    }

private:
    struct Outcome {
        bool result;  ///< what the operation returns
        bool changed; ///< whether the file must be written
    };

    template <class F>
    std::invoke_result_t<F, const KeyTree&> Read(F&& f)
    {
        Problems problems;
        std::unique_lock l(m_cacheLock);
        Refresh(problems);
        auto result = f(m_tree);
        l.unlock();
        Report(problems);
        return result;
    }

    // Brings the cached tree up to date with the file. Called with m_cacheLock held.
    void Refresh(Problems& problems)
    {
        struct stat st{};
        FileStamp now;
        if (::stat(QFile::encodeName(m_path).constData(), &st) == 0)
            now = FileStamp::Of(st);
        else if (errno != ENOENT && errno != ENOTDIR)
            now.exists = true; // there, but not even its status can be read: read it to find out why

        if (m_loaded && now == m_stamp && !now.exists)
            return;
        if (m_loaded && now == m_stamp && m_stamp.mtimeNs < m_readAtNs - kRacyWindowNs)
            return;

        FileContent c = ReadWholeFile(m_path);
        const std::int64_t readAt = WallClockNs();
        switch (c.status) {
        case ReadStatus::Missing:
            m_tree.Clear();
            m_bytes.clear();
            m_stamp = FileStamp();
            m_loaded = true;
            m_readAtNs = readAt;
            m_reported.clear();
            return;
        case ReadStatus::Unreadable: {
            m_tree.Clear();
            m_bytes.clear();
            m_stamp = c.stamp;
            m_loaded = false; // try again on the next read
            const QString text = QStringLiteral("Cannot read the settings file %1 (%2); using no settings")
                                     .arg(m_path, c.error);
            ReportOnce(text, problems);
            return;
        }
        case ReadStatus::Read:
            break;
        }
        if (!m_loaded || c.bytes != m_bytes) {
            KeyTree tree;
            const SettingsParseResult parsed = ParseSettingsFile(c.bytes, tree);
            if (parsed) {
                m_reported.clear();
                if (parsed.unreadLines > 0 && parsed.unreadText != m_reportedUnread) {
                    m_reportedUnread = parsed.unreadText;
                    problems.push_back(
                        QStringLiteral("The settings file %1 has %2 line(s) that cannot be read (%3). Those "
                                       "settings read as their defaults until the file is repaired; the lines "
                                       "are kept in the file as they are.")
                            .arg(m_path)
                            .arg(parsed.unreadLines)
                            .arg(parsed.Description()));
                }
            } else {
                ReportOnce(QStringLiteral("The settings file %1 is damaged (%2); using no settings until it is "
                                          "repaired, and keeping a copy before it is next changed")
                               .arg(m_path, parsed.Description()),
                           problems);
            }
            m_tree = std::move(tree);
            m_bytes = c.bytes;
        }
        m_stamp = c.stamp;
        m_readAtNs = readAt;
        m_loaded = true;
    }

    void ReportOnce(const QString& text, Problems& problems)
    {
        if (text == m_reported)
            return;
        m_reported = text;
        problems.push_back(text);
    }

    bool Change(const std::function<Outcome(KeyTree&)>& op)
    {
        Problems problems;
        const bool result = ChangeLocked(op, problems);
        Report(problems);
        return result;
    }

    bool ChangeLocked(const std::function<Outcome(KeyTree&)>& op, Problems& problems)
    {
        std::lock_guard fileMutex(FileMutex(m_path));

        const QFileInfo info(m_path);
        if (!QDir().mkpath(info.absolutePath())) {
            problems.push_back(QStringLiteral("Cannot create the folder of the settings file %1").arg(m_path));
            return false;
        }
        QLockFile lock(m_path + QStringLiteral(".lock"));
        if (!AcquireLock(lock, m_path + QStringLiteral(".lock"), m_options.lockWait)) {
            problems.push_back(QStringLiteral("Settings not changed: the lock file %1.lock is held by another "
                                              "process or cannot be created (error %2)")
                                   .arg(m_path)
                                   .arg(int(lock.error())));
            return false;
        }

        FileContent c = ReadWholeFile(m_path);
        if (c.status == ReadStatus::Unreadable) {
            problems.push_back(QStringLiteral("Settings not changed: the settings file %1 cannot be read (%2)")
                                   .arg(m_path, c.error));
            return false;
        }
        KeyTree tree;
        const SettingsParseResult parsed = ParseSettingsFile(c.bytes, tree);
        const Outcome outcome = op(tree);

        QByteArray written = c.bytes;
        if (outcome.changed) {
            if (!parsed) {
                QString copyPath;
                if (!KeepBadCopy(m_path, c.bytes, copyPath, problems))
                    return false;
                problems.push_back(QStringLiteral("The damaged settings file %1 (%2) was kept as %3 and replaced")
                                       .arg(m_path, parsed.Description(), copyPath));
            }
            written = SerializeSettingsFile(tree);
            if (const FileWriteResult w = WriteFileWhole(m_path, written); !w) {
                problems.push_back(QStringLiteral("Cannot write the settings file %1: %2").arg(m_path, w.reason));
                return false;
            }
        }

        // No other writer can run while we hold the lock, so the file on disk
        // is the text we hold now.
        struct stat st{};
        const bool exists = ::stat(QFile::encodeName(m_path).constData(), &st) == 0;
        std::lock_guard l(m_cacheLock);
        if (parsed || outcome.changed) {
            m_tree = std::move(tree);
            m_bytes = written;
            m_stamp = exists ? FileStamp::Of(st) : FileStamp();
            m_readAtNs = WallClockNs();
            m_loaded = true;
            if (outcome.changed)
                m_reported.clear();
        }
        return outcome.result;
    }

    static bool AcquireLock(QLockFile& lock, const QString& lockPath, std::chrono::milliseconds wait)
    {
        // QLockFile's own waiting sleeps 100 ms and more between attempts;
        // changes are short, so poll more often.
        const auto deadline = std::chrono::steady_clock::now() + wait;
        auto pause = std::chrono::milliseconds(1);
        while (true) {
            if (lock.tryLock(0))
                return true;
            if (lock.error() == QLockFile::LockFailedError) {
                RemoveIdlessStaleLock(lockPath);
                if (lock.tryLock(0))
                    return true;
            }
            if (lock.error() != QLockFile::LockFailedError || std::chrono::steady_clock::now() >= deadline)
                return false;
            std::this_thread::sleep_for(pause);
            pause = std::min(pause * 2, std::chrono::milliseconds(20));
        }
    }

    static void Report(const Problems& problems)
    {
        for (const QString& p : problems)
            ReportSettingsProblem(p);
    }

    const QString m_path;
    const FileSettingsOptions m_options;
    std::mutex m_cacheLock;
    KeyTree m_tree;
    QByteArray m_bytes;
    FileStamp m_stamp;
    std::int64_t m_readAtNs = 0;
    bool m_loaded = false;
    QString m_reported;
    QByteArray m_reportedUnread; ///< the unread lines last reported
};

} // namespace

std::shared_ptr<SettingsStore> MakeFileSettingsStore(const QString& filePath, FileSettingsOptions options)
{
    return std::make_shared<FileSettingsStore>(filePath, options);
}

} // namespace platform
