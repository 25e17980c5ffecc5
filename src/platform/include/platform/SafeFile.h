#pragma once
// Files the program writes are written whole or not at all: the bytes go to a
// temporary file beside the target, which replaces the target only once it is
// complete. A full disk or a lost mount never leaves half a file in place of a
// good one.

#include <QByteArray>
#include <QString>

#include <cstdint>

class QFileDevice;

namespace platform {

/// The system's text for an error code (errno here, GetLastError on Windows),
/// cut to 255 characters; "Unknown error" for 0 and for codes the system has
/// no text for.
QString FormatSystemError(std::uint32_t code);

/// Why a file operation failed, in the system's words. Qt keeps the system's
/// text of most failures; a short write is the exception (Qt says "Unknown
/// error" while errno still holds why the system stopped), so savedErrno is
/// errno taken right after the failing call.
QString FileErrorReason(const QFileDevice& file, int savedErrno);

/// The outcome of WriteFileWhole: ok, or the system's reason.
struct FileWriteResult {
    bool ok = false;
    bool opened = false; ///< false when the temporary file could not even be created
    QString reason;
    explicit operator bool() const { return ok; }
};

/// Writes data to path whole or not at all; on failure the old file (if any)
/// is untouched and no temporary file is left behind. The bytes go to
/// ".<name>.XXXXXX.tmp" beside the target first; such files left by a writer
/// that was killed are removed by the next write of the same target.
FileWriteResult WriteFileWhole(const QString& path, const QByteArray& data);

/// How old a leftover temporary file (or an empty settings lock file) must be
/// before it counts as abandoned, in milliseconds.
inline constexpr int kStaleTemporaryAgeMs = 2000;

/// Removes the temporary files of earlier writes to path that no live writer
/// holds and that are older than kStaleTemporaryAgeMs.
void RemoveStaleTemporaryFiles(const QString& path);

} // namespace platform
