#include "dump/DumpFailure.h"

#include "core/MessageBox.h"

#include <system_error>

bool ShowDumpFailure(const QString& operation, const QString& reason)
{
    ShowMessage(nullptr, msgbox::Ok, true, kDumpFailureString, operation, reason);
    return false;
}

QString FormatSystemError(std::uint32_t code)
{
    // The file operations keep the reason in a 256-character buffer.
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
