#include "platform/FileProperties.h"

#include <QByteArray>
#include <QFile>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <mutex>
#include <vector>

#include <pwd.h>
#include <sys/types.h>
#include <sys/xattr.h>
#include <unistd.h>

namespace platform {

namespace {

constexpr SummaryProperty kOwnedSet[] = {
    SummaryProperty::Title,    SummaryProperty::Subject,  SummaryProperty::Author,
    SummaryProperty::Keywords, SummaryProperty::Comments, SummaryProperty::AppName,
};

// Linux caps one attribute value at 64 KiB (XATTR_SIZE_MAX).
constexpr std::size_t kMaxValueSize = 65536;

bool IsUnsupported(int error)
{
    return error == ENOTSUP || error == EOPNOTSUPP;
}

FilePropertiesResult FromErrno(int error)
{
    FilePropertiesResult result;
    result.status = IsUnsupported(error) ? FilePropertiesResult::Unsupported : FilePropertiesResult::Failed;
    result.error = error;
    result.description = QString::fromLocal8Bit(std::strerror(error));
    return result;
}

// One attribute's value; nothing with errno ENODATA when the file lacks it.
std::optional<QByteArray> GetAttribute(const QByteArray& path, const QByteArray& name, int& error)
{
    // The value may change between asking its size and reading it: ask again
    // while the buffer turns out too small.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const ssize_t size = ::getxattr(path.constData(), name.constData(), nullptr, 0);
        if (size < 0) {
            error = errno;
            return std::nullopt;
        }
        std::vector<char> buffer(std::min<std::size_t>(std::size_t(size), kMaxValueSize) + 1);
        const ssize_t got = ::getxattr(path.constData(), name.constData(), buffer.data(), buffer.size());
        if (got >= 0)
            return QByteArray(buffer.data(), qsizetype(got));
        if (errno != ERANGE) {
            error = errno;
            return std::nullopt;
        }
    }
    error = ERANGE;
    return std::nullopt;
}

class ExtendedAttributeStore final : public FilePropertyStore {
public:
    FilePropertiesResult Write(const QString& path, const SummaryProperties& properties) override
    {
        const QByteArray file = QFile::encodeName(path);
        for (SummaryProperty property : kOwnedSet) {
            const QByteArray name = ExtendedAttributeName(property).toLatin1();
            const auto given = properties.find(property);
            if (given != properties.end()) {
                const QByteArray value = given->second.toUtf8();
                if (::setxattr(file.constData(), name.constData(), value.constData(), std::size_t(value.size()), 0) != 0)
                    return FromErrno(errno);
            } else if (::removexattr(file.constData(), name.constData()) != 0 && errno != ENODATA) {
                return FromErrno(errno);
            }
        }
        return {};
    }

    FilePropertiesResult Read(const QString& path, SummaryProperties& properties) override
    {
        const QByteArray file = QFile::encodeName(path);
        SummaryProperties found;
        for (SummaryProperty property : kOwnedSet) {
            int error = 0;
            const auto value = GetAttribute(file, ExtendedAttributeName(property).toLatin1(), error);
            if (value)
                found[property] = QString::fromUtf8(*value);
            else if (error != ENODATA)
                return FromErrno(error);
        }
        for (auto& [property, value] : found)
            properties[property] = std::move(value);
        return {};
    }
};

std::mutex g_lock;
std::shared_ptr<FilePropertyStore> g_current;

} // namespace

std::shared_ptr<FilePropertyStore> MakeExtendedAttributeStore()
{
    return std::make_shared<ExtendedAttributeStore>();
}

QString ExtendedAttributeName(SummaryProperty property)
{
    switch (property) {
    case SummaryProperty::Title:
        return QStringLiteral("user.dublincore.title");
    case SummaryProperty::Subject:
        return QStringLiteral("user.dublincore.subject");
    case SummaryProperty::Author:
        return QStringLiteral("user.dublincore.creator");
    case SummaryProperty::Keywords:
        return QStringLiteral("user.xdg.tags");
    case SummaryProperty::Comments:
        return QStringLiteral("user.xdg.comment");
    case SummaryProperty::AppName:
        return QStringLiteral("user.xdg.creator");
    }
    return {};
}

std::shared_ptr<FilePropertyStore> CurrentFilePropertyStore()
{
    std::lock_guard l(g_lock);
    if (!g_current)
        g_current = MakeExtendedAttributeStore();
    return g_current;
}

void SetCurrentFilePropertyStore(std::shared_ptr<FilePropertyStore> store)
{
    std::lock_guard l(g_lock);
    g_current = std::move(store);
}

QString FullNameFromGecos(const char* gecos)
{
    if (!gecos)
        return {};
    const char* comma = std::strchr(gecos, ',');
    const std::size_t length = comma ? std::size_t(comma - gecos) : std::strlen(gecos);
    return QString::fromLocal8Bit(gecos, qsizetype(length)).trimmed();
}

std::optional<QString> RegisteredOwner()
{
    long hint = ::sysconf(_SC_GETPW_R_SIZE_MAX);
    std::vector<char> buffer(hint > 0 ? std::size_t(hint) : 1024);
    passwd entry{};
    passwd* found = nullptr;
    int rc = 0;
    while ((rc = ::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found)) == ERANGE
           && buffer.size() < (1u << 20))
        buffer.resize(buffer.size() * 2);
    if (rc != 0 || !found)
        return std::nullopt;
    return FullNameFromGecos(found->pw_gecos);
}

} // namespace platform
