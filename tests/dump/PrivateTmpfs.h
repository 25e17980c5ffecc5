#pragma once
// A small tmpfs mounted over a folder, in a mount namespace of the calling
// thread's own, for tests of a full file system (the tests run as root in CI,
// where permissions stop no write). Where the system does not allow it the
// mount is not made and Why() says what refused.
#include <QFile>
#include <QString>

#include <cerrno>
#include <cstring>
#include <string>

#ifdef __linux__
#include <sched.h>
#include <sys/mount.h>
#endif

namespace dumptest {

class PrivateTmpfs {
public:
    PrivateTmpfs(const QString& folder, long sizeBytes) : m_path(folder.toStdString())
    {
#ifdef __linux__
        // Only this thread moves to the new namespace; the mounts made in it
        // stay there (private propagation), so the host never sees them.
        if (::unshare(CLONE_NEWNS) != 0) {
            m_why = std::string("unshare(CLONE_NEWNS): ") + std::strerror(errno);
            return;
        }
        if (::mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) != 0) {
            m_why = std::string("making / private: ") + std::strerror(errno);
            return;
        }
        const std::string options = "size=" + std::to_string(sizeBytes);
        if (::mount("tmpfs", m_path.c_str(), "tmpfs", 0, options.c_str()) != 0) {
            m_why = std::string("mount -t tmpfs: ") + std::strerror(errno);
            return;
        }
        m_mounted = true;
#else
        (void)sizeBytes;
        m_why = "no private mounts on this system";
#endif
    }
    ~PrivateTmpfs()
    {
#ifdef __linux__
        if (m_mounted)
            ::umount2(m_path.c_str(), MNT_DETACH);
#endif
    }
    PrivateTmpfs(const PrivateTmpfs&) = delete;
    PrivateTmpfs& operator=(const PrivateTmpfs&) = delete;

    bool IsMounted() const { return m_mounted; }
    const std::string& Why() const { return m_why; }

private:
    std::string m_path;
    bool m_mounted = false;
    std::string m_why;
};

/// Fills the file system of folder to the last byte with one file there.
inline void FillUp(const QString& folder)
{
    QFile filler(folder + QStringLiteral("/filler"));
    if (!filler.open(QIODevice::WriteOnly))
        return;
    const QByteArray chunk(4096, 'x');
    while (filler.write(chunk) == chunk.size() && filler.flush()) {
    }
}

} // namespace dumptest
