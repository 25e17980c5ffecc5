#include "platform/SafeFile.h"

#include <QSaveFile>

#include <cerrno>
#include <system_error>

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

FileWriteResult WriteFileWhole(const QString& path, const QByteArray& data)
{
    FileWriteResult result;
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        result.reason = FileErrorReason(file, errno);
        return result;
    }
    result.opened = true;
    if (file.write(data) != data.size()) {
        result.reason = FileErrorReason(file, errno);
        file.cancelWriting();
        return result;
    }
    // Flush first: the bytes may sit in Qt's write buffer until now, and
    // commit() (through close()) ignores a failed or short flush of that
    // buffer and would rename the truncated file into place.
    if (!file.flush() || file.error() != QFileDevice::NoError) {
        result.reason = FileErrorReason(file, errno);
        file.cancelWriting();
        return result;
    }
    if (!file.commit()) {
        result.reason = FileErrorReason(file, errno);
        return result;
    }
    result.ok = true;
    return result;
}

} // namespace platform
