#include "dump/SysExFile.h"

#include "core/Logger.h"
#include "core/MessageBox.h"
#include "dump/DumpFailure.h"

#include <QFile>

#include <cerrno>

namespace {

constexpr std::uint8_t kSysExStart = 0xF0;
constexpr std::uint8_t kSysExEnd = 0xF7;

const QString kOpenOperation = QStringLiteral("open sysex dump file");
const QString kSizeOperation = QStringLiteral("upload sysex dump file");
const QString kReadOperation = QStringLiteral("read sysex dump file");
const QString kWriteOperation = QStringLiteral("write sysex dump file");


SysExFileResult Failure(SysExFileResult::Status status, const QString& operation, const QString& reason)
{
    SysExFileResult result;
    result.status = status;
    result.operation = operation;
    result.reason = reason;
    ShowDumpFailure(operation, reason);
    return result;
}

} // namespace

QString SysExFileResult::description() const
{
    switch (status) {
    case Ok:
        return {};
    case Declined:
        return QStringLiteral("Declined: ") + reason;
    default:
        return Format(u"Failed to %s with %s", operation, reason);
    }
}

SysExFileResult SysExFile::Split(QByteArrayView bytes, ByteBlockList& blocks, MessagePresenter* presenter)
{
    SysExFileResult result;
    ByteBlockList found;
    bool inside = false;
    bool asked = false;
    qsizetype start = 0;

    // One question per file: once the user said Yes, later damage passes.
    const auto goOn = [&](SysExFileQuestion question, qsizetype at) {
        if (asked)
            return true;
        if (ShowMessageWith(presenter, nullptr, msgbox::YesNo, false, unsigned(question)) == msgbox::IdYes) {
            asked = true;
            return true;
        }
        result.status = SysExFileResult::Declined;
        result.reason = LoadResourceString(unsigned(question));
        result.offset = at;
        return false;
    };

    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const auto byte = std::uint8_t(bytes[i]);
        if (byte == kSysExEnd) {
            if (inside) {
                found.push_back(MakeByteBlock(bytes.sliced(start, i - start + 1)));
                inside = false;
            } else if (!goOn(SysExFileQuestion::EndWithoutStart, i)) {
                return result;
            }
            // A stray end byte belongs to no message: it is skipped.
        } else if (byte == kSysExStart) {
            if (inside && !goOn(SysExFileQuestion::StartWithoutEnd, start))
                return result;
            start = i;
            inside = true;
        }
    }
    if (inside && !goOn(SysExFileQuestion::IncompleteSysEx, start))
        return result;

    result.blocks = int(found.size());
    blocks.insert(blocks.end(), std::make_move_iterator(found.begin()), std::make_move_iterator(found.end()));
    return result;
}

SysExFileResult SysExFile::Read(const QString& path, ByteBlockList& blocks, OleProps& properties,
                                const LinkServices& services)
{
    TLOG(kLogBytes, u"%s(%s)", u"SysExFile::Read", path);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return Failure(SysExFileResult::OpenFailed, kOpenOperation, platform::FileErrorReason(file, errno));
    if (file.size() > kMaxFileSize)
        return Failure(SysExFileResult::TooLarge, kSizeOperation, LoadResourceString(kFileTooLargeString));
    // Read one byte more than allowed: a file that grew since its size was
    // taken (or a device that reports no size) is refused, not cut short.
    const QByteArray bytes = file.read(kMaxFileSize + 1);
    if (file.error() != QFileDevice::NoError)
        return Failure(SysExFileResult::ReadFailed, kReadOperation, platform::FileErrorReason(file, errno));
    if (bytes.size() > kMaxFileSize)
        return Failure(SysExFileResult::TooLarge, kSizeOperation, LoadResourceString(kFileTooLargeString));
    file.close();

    // Split leaves the list alone when the user declines.
    SysExFileResult result = Split(bytes, blocks, services.presenter.get());
    if (!result)
        return result;
    properties.ReadFrom(path, services.fileProperties.get());
    return result;
}

SysExFileResult SysExFile::Write(const QString& path, const ByteBlockList& blocks, const OleProps& properties,
                                 const LinkServices& services)
{
    TLOG(kLogBytes, u"%s(%s)", u"SysExFile::Write", path);
    // The content goes to a temporary file beside the target that replaces it
    // only once complete, so a full disk or a lost mount never leaves a
    // half-written dump in place of a good one.
    QByteArray bytes;
    SysExFileResult result;
    for (const auto& block : blocks) {
        if (!block || block->Size() == 0)
            continue;
        bytes.append(reinterpret_cast<const char*>(block->Data()), qsizetype(block->Size()));
        ++result.blocks;
    }
    const platform::FileWriteResult written = platform::WriteFileWhole(path, bytes);
    if (!written)
        return Failure(written.opened ? SysExFileResult::WriteFailed : SysExFileResult::OpenFailed,
                       written.opened ? kWriteOperation : kOpenOperation, written.reason);

    properties.WriteTo(path, services.fileProperties.get());
    return result;
}
