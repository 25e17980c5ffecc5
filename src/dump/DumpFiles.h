#pragma once
// .sysex files and their properties, and the report of a failed dump.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"
#include "dump/OleProps.h"

#include <QString>

#include <cstdint>

class DumpFiles : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// .sysex files (SysExFile): appends the file's messages to blocks and
    /// reads its title and comments into properties; a failure leaves both as
    /// they were and has been reported.
    bool ReadSysExFile(const QString& path, ByteBlockList& blocks, OleProps& properties);
    /// Writes the blocks whole or not at all, then the properties.
    bool WriteSysExFile(const QString& path, const ByteBlockList& blocks, const OleProps& properties);
    /// "Failed to <operation> with <reason>" in a message box, also logged;
    /// while warnings are suppressed (the capability probe) only logged.
    /// Always false.
    bool ReportDumpFailure(const QString& operation, const QString& reason);
    /// A dump request the module declined (ReplyResult::Declined). While
    /// warnings are suppressed (the capability probe, which asks for dumps a
    /// module may not give) that is the module's answer rather than a fault:
    /// one line at the info level. Otherwise as ReportDumpFailure. Always false.
    bool ReportDeclinedDump(const QString& operation, const QString& reason);
    /// The file's title and comments (OleProps::WriteTo / ReadFrom); always true.
    bool WriteOleProps(const QString& path, const OleProps& properties);
    bool ReadOleProps(const QString& path, OleProps& properties);
};
