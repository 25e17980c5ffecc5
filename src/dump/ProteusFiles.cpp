// The Proteus entry points of the .sysex file layer and of the dump failure message.

#include "core/Logger.h"
#include "dump/DumpFailure.h"
#include "dump/DumpFiles.h"
#include "dump/SysExFile.h"

bool DumpFiles::ReadSysExFile(const QString& path, ByteBlockList& blocks, OleProps& properties)
{
    return bool(SysExFile::Read(path, blocks, properties, Services()));
}

bool DumpFiles::WriteSysExFile(const QString& path, const ByteBlockList& blocks, const OleProps& properties)
{
    return bool(SysExFile::Write(path, blocks, properties, Services()));
}

bool DumpFiles::ReportDumpFailure(const QString& operation, const QString& reason)
{
    ++m_state.dumpFailures;
    // The capability probe runs dumps that are expected to fail on some
    // modules: it must not open a box for each.
    if (m_link.SuppressingWarnings()) {
        TLOG(kLogError, u"Failed to %s with %s", operation, reason);
        return false;
    }
    return ShowDumpFailure(operation, reason, Presenter());
}

bool DumpFiles::ReportDeclinedDump(const QString& operation, const QString& reason)
{
    if (!m_link.SuppressingWarnings())
        return ReportDumpFailure(operation, reason);
    ++m_state.dumpFailures;
    TLOG(kLogInfo, u"Failed to %s with %s: the module does not give this dump", operation, reason);
    return false;
}

bool DumpFiles::WriteOleProps(const QString& path, const OleProps& properties)
{
    return properties.WriteTo(path, Services().fileProperties.get());
}

bool DumpFiles::ReadOleProps(const QString& path, OleProps& properties)
{
    return properties.ReadFrom(path, Services().fileProperties.get());
}
