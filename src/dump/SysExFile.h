#pragma once
// .sysex files: the SysEx messages of a dump written back to back exactly as
// they travel on the wire, with no header, and the file's title and comment
// beside the content (OleProps). DumpFiles::ReadSysExFile and
// DumpFiles::WriteSysExFile forward here.
//
//     ByteBlockList blocks;
//     OleProps props;
//     if (const auto r = SysExFile::Read(path, blocks, props); !r)
//         return false;          // the user has been told (r.description())

#include "dump/ByteBlock.h"
#include "dump/OleProps.h"
#include "module/LinkServices.h"

#include <QByteArrayView>
#include <QString>

/// The questions a damaged file raises (string-table ids, Yes/No).
enum class SysExFileQuestion : unsigned {
    IncompleteSysEx = 253, ///< "File contains an incomplete SysEx. Try sending anyway?"
    EndWithoutStart = 254, ///< "File contains an end block with no start. Try sending anyway?"
    StartWithoutEnd = 255, ///< "File contains a start block with no end. Try sending anyway?"
};

/// String-table id of "File is too large to be a SysEx dump".
inline constexpr unsigned kFileTooLargeString = 257;

/// What reading or writing a .sysex file came to.
struct SysExFileResult {
    enum Status {
        Ok,
        OpenFailed,  ///< the file could not be opened or created
        TooLarge,    ///< more than SysExFile::kMaxFileSize bytes
        ReadFailed,  ///< the content could not be read
        Declined,    ///< the user answered No to a question about damage
        WriteFailed, ///< the content could not be written whole; nothing replaced
    };
    Status status = Ok;
    QString operation;  ///< the failed step as the user is told ("open sysex dump file"); empty otherwise
    QString reason;     ///< the system's text, string 257, or the declined question
    qint64 offset = -1; ///< where in the bytes the declined problem lies; -1 otherwise
    int blocks = 0;     ///< messages added to the list (read) or written

    explicit operator bool() const { return status == Ok; }
    /// One line for logs and callers: "Failed to <operation> with <reason>",
    /// "Declined: <question>", or the empty text for success.
    QString description() const;
};

class SysExFile {
public:
    /// The largest file the reader accepts, in bytes.
    static constexpr qint64 kMaxFileSize = 16834;

    /// Reads the file's messages, one block each, appended to blocks, then the
    /// file's title and comments into properties. Bytes outside F0 ... F7 are
    /// ignored. A damaged file asks the user once (see Split). Every failure
    /// except a No has been shown through ShowDumpFailure. On any failure
    /// blocks and properties are left as they were.
    /// services: the presenter of the questions and the store of the
    /// properties (empty members: the process-wide ones).
    static SysExFileResult Read(const QString& path, ByteBlockList& blocks, OleProps& properties,
                                const LinkServices& services = {});

    /// Writes every block's bytes in list order (empty entries skipped), whole
    /// or not at all: an old file at path stays untouched unless the new
    /// content is complete on disk. Then stores properties with the file.
    /// Failures are shown through ShowDumpFailure.
    static SysExFileResult Write(const QString& path, const ByteBlockList& blocks, const OleProps& properties,
                                 const LinkServices& services = {});

    /// Splits bytes into messages F0 ... F7 appended to blocks. A stray F7, an
    /// F0 inside a message or an unterminated last message asks the matching
    /// question (Yes/No, not logged) unless the user already answered Yes for
    /// these bytes: Yes skips the stray F7 or drops the unfinished message, No
    /// declines and leaves blocks as they were. Never reads outside bytes.
    /// presenter: who asks (null: the installed presenter).
    static SysExFileResult Split(QByteArrayView bytes, ByteBlockList& blocks, MessagePresenter* presenter = nullptr);
};
