// Backup and restore of the module's user data: one .sysex file per object in
// a backup folder, marked as a backup by its report "TabrineBackup.txt".
#include "core/Format.h"
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/Settings.h"
#include "dump/Backup.h"
#include "dump/BankMapDump.h"
#include "dump/DumpFiles.h"
#include "dump/PresetTransfer.h"
#include "dump/SetupArpTuningDumps.h"
#include "module/ParamRecord.h"
#include "module/ModuleSysEx.h"
#include "module/ParameterIds.h"
#include "module/StackedProgress.h"
#include "platform/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

#include <algorithm>
#include <filesystem>
#include <system_error>

namespace {

const QString kReportName = QStringLiteral("TabrineBackup.txt");
/// Where a backup is built before its files replace those of the folder: a
/// hidden folder inside it, so that the moves into place never cross a file
/// system and the folder's parent need not be writable.
const QString kStagingName = QStringLiteral(".TabrineBackup.staging");

constexpr int kUserSetups = 64;
constexpr int kUserTunings = 12;
constexpr int kSetupNameFirst = 142;
constexpr int kSetupNameLength = 16;

const char16_t* TrueFalse(bool b)
{
    return b ? u"true" : u"false";
}

/// The path of name in folder, matched without regard to case: a folder copied
/// from another system may hold "preset0.sysex" for "Preset0.sysex". The name
/// as given when no entry matches.
QString FindInFolder(const QString& folder, const QString& name)
{
    const QDir dir(folder);
    if (dir.exists(name))
        return dir.filePath(name);
    const QStringList entries = dir.entryList(QDir::Files | QDir::Hidden);
    for (const QString& e : entries)
        if (e.compare(name, Qt::CaseInsensitive) == 0)
            return dir.filePath(e);
    return dir.filePath(name);
}

enum class Kind { Setup, Preset, Arp, Tuning, BankMap };

/// One object of a pass: where its file lies, which module object it is.
struct Item {
    Kind kind;
    int number;
    QString name; // file name in the folder
};

/// Why a file's messages would not restore the object (empty when they
/// would): complete SysEx messages, and what the object's upload checks
/// before it sends anything.
QString RestoreProblem(Kind kind, const ByteBlockList& blocks)
{
    if (blocks.empty())
        return QStringLiteral("no SysEx message in the file");
    for (const TPtr<_ByteBlock>& b : blocks) {
        const QByteArray m = b ? b->ToByteArray() : QByteArray();
        if (m.size() < 7 || quint8(m.front()) != 0xF0 || quint8(m.back()) != 0xF7)
            return QStringLiteral("a message that is not a complete SysEx message");
    }
    DumpProblem problem;
    switch (kind) {
    case Kind::Setup:
        problem = SetupArpTuningDumps::CheckSetupUpload(blocks);
        break;
    case Kind::Preset: {
        // A backup holds whole presets; a section would need a layer chosen.
        const QByteArray first = blocks.front()->ToByteArray();
        if (first.size() > qsizetype(kSysExDataOffset) && quint8(first[kSysExCommandOffset]) == CMD_PRESET_DUMP
            && quint8(first[kSysExDataOffset]) >= 0x10)
            return QStringLiteral("a preset section where a whole preset is needed");
        problem = PresetTransfer::CheckPresetUpload(blocks, true);
        break;
    }
    case Kind::Arp:
        problem = SetupArpTuningDumps::CheckArpUpload(blocks);
        break;
    case Kind::Tuning:
        problem = SetupArpTuningDumps::CheckTuningUpload(blocks);
        break;
    case Kind::BankMap:
        problem = BankMapDump::CheckBankMapUpload(blocks);
        break;
    }
    return problem.reason;
}

/// Removes a staging folder of ours; best effort.
void RemoveFolder(const QString& path)
{
    if (!path.isEmpty())
        QDir(path).removeRecursively();
}

std::filesystem::path FsPath(const QString& path)
{
    return std::filesystem::path(path.toStdU16String());
}

/// Whether a file of a staging folder belongs to a backup (a temporary file of
/// an interrupted write does not).
bool IsBackupFile(const QString& name)
{
    return name.endsWith(QStringLiteral(".sysex"), Qt::CaseInsensitive)
        || name.compare(kReportName, Qt::CaseInsensitive) == 0;
}

/// Moves the files of a complete staging folder into folder, each replacing
/// the file of its name (found without regard to case), the report last; then
/// removes the staging folder. Nothing else in folder is touched: its other
/// files keep their content and properties, its sub-folders stay. A failed
/// move leaves the files not yet moved in the staging folder, where the next
/// pass finds them; failure then holds the system's reason, and movedAny
/// whether the folder has changed.
bool CommitStaging(const QString& folder, const QString& staging, QString& failure, bool& movedAny)
{
    movedAny = false;
    QStringList names;
    for (const QString& name : QDir(staging).entryList(QDir::Files | QDir::Hidden))
        if (IsBackupFile(name))
            names << name;
    std::stable_partition(names.begin(), names.end(),
                          [](const QString& n) { return n.compare(kReportName, Qt::CaseInsensitive) != 0; });
    // A folder in the way of a file is found before anything moves.
    for (const QString& name : std::as_const(names)) {
        const QString target = FindInFolder(folder, name);
        if (QFileInfo(target).isDir()) {
            failure = Format(u"%s is a folder", target);
            return false;
        }
    }
    for (const QString& name : std::as_const(names)) {
        const QString target = FindInFolder(folder, name);
        TLOG(kLogFlow, u"Moving %s into %s", name, folder);
        std::error_code error;
        std::filesystem::rename(FsPath(QDir(staging).filePath(name)), FsPath(target), error);
        if (error) {
            failure = Format(u"%s cannot be put in place: %s", target,
                             platform::FormatSystemError(std::uint32_t(error.value())));
            return false;
        }
        movedAny = true;
    }
    RemoveFolder(staging);
    return true;
}

/// A staging folder that an interrupted backup left in folder. One holding
/// the report was complete and is moved in (the pass stopped while moving its
/// files); one without it is dropped, which leaves the folder as it was
/// before that pass. False, reported, when the moves fail.
bool RecoverInterruptedBackup(ModuleLink& p, const QString& folder)
{
    const QString staging = QDir(folder).filePath(kStagingName);
    if (!QFileInfo(staging).isDir())
        return true;
    if (QFileInfo(QDir(staging).filePath(kReportName)).isFile()) {
        TLOG(kLogNotice, u"Completing the interrupted backup in %s", folder);
        QString failure;
        bool moved = false;
        if (!CommitStaging(folder, staging, failure, moved))
            return DumpFiles(p).ReportDumpFailure(Format(u"complete the interrupted backup in %s", folder), failure);
        return true;
    }
    TLOG(kLogNotice, u"Dropping the unfinished backup in %s", staging);
    RemoveFolder(staging);
    return true;
}

/// Nothing answers a setup, arp, tuning or bank map dump: many of them back to
/// back would keep the line busy for longer than any later reply's time-out.
/// One question whose answer comes behind the dump paces the pass to the
/// module, and tells that the module is still there.
bool WaitForModule(ModuleLink& p)
{
    ParamRecord* record = p.FindParameter(kSetupNameFirst);
    if (!record || record->id != kSetupNameFirst)
        record = p.FindParameter(MULTIMODE_BASIC_CHANNEL);
    return record && p.ParameterRequest(record);
}

bool BackupObject(ModuleLink& p, StackedProgress& progress, const QString& folder, const Item& item)
{
    GlobalResources* resources = TheGlobalResources();
    const QString path = QDir(folder).filePath(item.name);
    const int n = item.number;
    ByteBlockList blocks;
    OleProps props;
    bool ok = false;
    switch (item.kind) {
    case Kind::Setup: {
        progress.SetText(u"Backing Up Setup %d", n);
        if (!p.CopySetup(n, -1))
            return false;
        QString name;
        for (int k = 0; k < kSetupNameLength; ++k) {
            ParamRecord* record = p.FindParameter(kSetupNameFirst + k);
            if (record && p.ParameterRequest(record))
                name += QChar(char16_t(record->value));
        }
        name = name.trimmed();
        if (resources)
            resources->SetSetupName(n, name);
        ok = SetupArpTuningDumps(p).DownloadSetup(blocks);
        props.title = name;
        props.comments = resources ? resources->GetObjectTooltip(OBJECT_SETUP, 0, n).trimmed() : QString();
        break;
    }
    case Kind::Preset:
        progress.SetText(u"Backing Up Preset %d", n);
        ok = PresetTransfer(p).DownloadPreset(2, 0, n, -1, false, blocks);
        props.title = p.Data().GetSimmObjectName(OBJECT_PRESET, 0, n).trimmed();
        props.comments = resources ? resources->GetObjectTooltip(OBJECT_PRESET, 0, n).trimmed() : QString();
        break;
    case Kind::Arp:
        progress.SetText(u"Backing Up Arp %d", n);
        ok = SetupArpTuningDumps(p).DownloadArp(0, n, blocks);
        props.title = p.Data().GetSimmObjectName(OBJECT_ARP, 0, n).trimmed();
        props.comments = resources ? resources->GetObjectTooltip(OBJECT_ARP, 0, n).trimmed() : QString();
        break;
    case Kind::Tuning:
        progress.SetText(u"Backing Up Tuning %d", n);
        ok = SetupArpTuningDumps(p).DownloadTuning(n, blocks);
        break;
    case Kind::BankMap:
        progress.SetText(u"Backing Up Bank Map");
        ok = BankMapDump(p).DownloadBankMap(blocks);
        break;
    }
    return ok && DumpFiles(p).WriteSysExFile(path, blocks, props);
}

/// Sends one object of a restore and waits until the module has taken it.
/// A step that fails tells the user why, once: the upload's own message, or
/// one naming the file.
bool RestoreObject(ModuleLink& p, StackedProgress& progress, const QString& path, const Item& item,
                   std::pair<ByteBlockList, OleProps>& file)
{
    GlobalResources* resources = TheGlobalResources();
    ByteBlockList& blocks = file.first;
    const QString& comments = file.second.comments;
    const int n = item.number;
    const std::uint64_t reportedBefore = p.State().dumpFailures;
    ObjectKind tooltipKind = OBJECT_PRESET;
    bool ok = false;
    bool paced = true; // the preset upload's handshake paces itself
    switch (item.kind) {
    case Kind::Setup:
        progress.SetText(u"Restoring Setup %d", n);
        ok = SetupArpTuningDumps(p).UploadSetup(blocks, true) && p.CopySetup(-1, n);
        paced = false;
        tooltipKind = OBJECT_SETUP;
        break;
    case Kind::Preset:
        progress.SetText(u"Restoring Preset %d", n);
        ok = PresetTransfer(p).UploadPreset(true, n, -1, blocks);
        tooltipKind = OBJECT_PRESET;
        break;
    case Kind::Arp:
        progress.SetText(u"Restoring Arp %d", n);
        ok = SetupArpTuningDumps(p).UploadArp(n, blocks);
        paced = false;
        tooltipKind = OBJECT_ARP;
        break;
    case Kind::Tuning:
        progress.SetText(u"Restoring Tuning %d", n);
        ok = SetupArpTuningDumps(p).UploadTuning(n, blocks);
        paced = false;
        break;
    case Kind::BankMap:
        progress.SetText(u"Restoring Bank Map");
        ok = BankMapDump(p).UploadBankMap(blocks);
        paced = false;
        break;
    }
    if (ok && !paced && !WaitForModule(p))
        return DumpFiles(p).ReportDumpFailure(Format(u"restore %s", path), QStringLiteral("the module did not answer after it"));
    if (!ok) {
        if (p.State().dumpFailures == reportedBefore) {
            QString reason = item.kind == Kind::BankMap ? p.State().lastUploadRefusal : QString();
            if (reason.isEmpty())
                reason = p.IsConnected() ? QStringLiteral("the module did not take it")
                                         : QStringLiteral("the module is not connected");
            DumpFiles(p).ReportDumpFailure(Format(u"restore %s", path), reason);
        }
        return false;
    }
    if (!comments.isEmpty() && resources && item.kind != Kind::Tuning && item.kind != Kind::BankMap)
        resources->SetObjectTooltip(tooltipKind, 0, n, comments);
    return true;
}

} // namespace

// ---- AutoRestoreSetupAndPreset ---------------------------------------------------------------

AutoRestoreSetupAndPreset::AutoRestoreSetupAndPreset(ModuleLink* owner, bool withSetup) : m_owner(owner)
{
    if (!PresetTransfer(*m_owner).DownloadPreset(2, 0, -1, -1, false, m_presetBlocks))
        return;
    m_ok = !withSetup || SetupArpTuningDumps(*m_owner).DownloadSetup(m_setupBlocks);
}

AutoRestoreSetupAndPreset::~AutoRestoreSetupAndPreset()
{
    // On a path that did not call Restore: its result can no longer be told.
    Restore();
}

bool AutoRestoreSetupAndPreset::Restore()
{
    if (!m_ok || m_restored)
        return true;
    m_restored = true;
    bool ok = true;
    if (!m_setupBlocks.empty())
        ok = SetupArpTuningDumps(*m_owner).UploadSetup(m_setupBlocks, false);
    // The preset's handshake waits for the module; the setup dump before it
    // goes unanswered, so its bytes count in the first wait only.
    if (!m_presetBlocks.empty())
        ok = PresetTransfer(*m_owner).UploadPreset(true, -1, -1, m_presetBlocks) && ok;
    return ok;
}

// ---- The report ------------------------------------------------------------------------------

QByteArray ModuleBackup::BackupReport()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = locale.toString(now.date(), QLocale::LongFormat).left(63);
    QString time = now.time().toString(QStringLiteral("HH':'mm':'ss "));
    time += now.time().hour() < 12 ? locale.amText() : locale.pmText();
    time = time.left(63);

    QString text = Format(u"Tabrine Backup from Configuration %s\n", GetGlobalConfigurations().KeyName());
    text += Format(u"Backup Made %s %s\n\n", date, time);
    text += m_link.GetModuleInfo();

    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        bytes.append(char(u & 0xFF));
        bytes.append(char(u >> 8));
    }
    return bytes;
}

// ---- BackupModule ----------------------------------------------------------------------------

bool ModuleBackup::BackupModule(const QString& folder, bool backup, bool setups, bool presets, bool arps, bool tunings,
                           bool bankMap)
{
    TLOG(kLogFlow, u"%s(%s, %s, %s, %s, %s, %s, %s)", u"Proteus::BackupModule", folder, TrueFalse(backup),
         TrueFalse(setups), TrueFalse(presets), TrueFalse(arps), TrueFalse(tunings), TrueFalse(bankMap));
    TLOG(kLogOperation, u"%s %s", backup ? u"Backing up module to " : u"Restoring module from ", folder);

    // A backup cut short while its files were moved into place is finished
    // first, so both directions see one whole backup.
    if (!RecoverInterruptedBackup(*&m_link, folder))
        return false;

    // A copy: the passes talk to the module, which must not move the list under us.
    const std::vector<SimmSlot> simms(m_data.hardwareConfig.GetSimms().begin(), m_data.hardwareConfig.GetSimms().end());
    bool userBank = false;
    for (const SimmSlot& slot : simms) {
        if (slot.simmId != 0)
            continue;
        userBank = true;
        if (!RunUserBankPass(folder, backup, slot, setups, presets, arps, tunings, bankMap))
            return false;
    }
    // Nothing was backed up or restored: that is no success.
    if (!userBank)
        return DumpFiles(m_link).ReportDumpFailure(PassOperation(folder, backup), QStringLiteral("the module has no user bank"));
    return true;
}

QString ModuleBackup::PassOperation(const QString& folder, bool backup)
{
    return Format(backup ? u"back up the module to %s" : u"restore the module from %s", folder);
}

bool ModuleBackup::RunUserBankPass(const QString& folder, bool backup, const SimmSlot& slot, bool setups, bool presets,
                              bool arps, bool tunings, bool bankMap)
{
    const std::uint32_t caps = m_link.GetCapabilities();
    // The objects of the pass, in the order they are handled.
    std::vector<Item> items;
    if (setups && (caps & CAP_SETUP_DUMPS))
        for (int n = 0; n < kUserSetups; ++n)
            items.push_back({Kind::Setup, n, Format(u"Setup%d.sysex", n)});
    if (presets && (caps & CAP_PRESET_DUMPS))
        for (int n = 0; n < slot.presets; ++n)
            items.push_back({Kind::Preset, n, Format(u"Preset%d.sysex", n)});
    if (arps && (caps & CAP_ARPS_AND_BEATS))
        for (int n = 0; n < slot.arps; ++n)
            items.push_back({Kind::Arp, n, Format(u"Arp%d.sysex", n)});
    if (tunings && (caps & CAP_TUNING_DUMPS))
        for (int n = 0; n < kUserTunings; ++n)
            items.push_back({Kind::Tuning, n, Format(u"Tuning%d.sysex", n)});
    if (bankMap && (caps & CAP_BANK_MAP_DUMPS))
        items.push_back({Kind::BankMap, 0, QStringLiteral("BankMap.sysex")});
    // A pass with nothing to do would touch nothing and still say it worked.
    if (items.empty())
        return DumpFiles(m_link).ReportDumpFailure(PassOperation(folder, backup),
                                                   QStringLiteral("the module has none of the kinds of data chosen"));

    // A restore reads and checks every file first, as its upload will: a
    // folder with one bad file must not leave the module half restored.
    std::vector<std::pair<ByteBlockList, OleProps>> loaded;
    std::vector<QString> paths;
    if (!backup) {
        loaded.reserve(items.size());
        for (const Item& item : items) {
            const QString path = FindInFolder(folder, item.name);
            ByteBlockList blocks;
            OleProps props;
            if (!QFileInfo(path).isFile())
                return DumpFiles(m_link).ReportDumpFailure(Format(u"restore %s", path), QStringLiteral("the file is missing"));
            if (!DumpFiles(m_link).ReadSysExFile(path, blocks, props))
                return false; // shown by the reader
            if (const QString problem = RestoreProblem(item.kind, blocks); !problem.isEmpty())
                return DumpFiles(m_link).ReportDumpFailure(Format(u"restore %s", path), problem);
            loaded.emplace_back(std::move(blocks), std::move(props));
            paths.push_back(path);
        }
    }

    // A backup is written into a staging folder inside the folder, and its
    // files are moved into place only when every one of them (and the report,
    // last) is there: an interrupted pass leaves the folder as it was, and
    // only files the pass wrote replace anything.
    QString staging;
    if (backup) {
        staging = QDir(folder).filePath(kStagingName);
        RemoveFolder(staging);
        std::error_code error;
        std::filesystem::create_directory(FsPath(staging), error);
        if (error)
            return DumpFiles(m_link).ReportDumpFailure(Format(u"create %s", staging),
                                     platform::FormatSystemError(std::uint32_t(error.value())));
    }

    bool result = true;
    bool editBuffersBack = true;
    StackedProgress progress(&m_link, true, 0, int(items.size()), backup ? u"Backing Up Module" : u"Restoring Backup");
    {
        AutoRestoreSetupAndPreset guard(&m_link, setups);
        if (!guard.IsOk() && !GetGlobalConfigurations().GetBool(TestUI)) {
            RemoveFolder(staging);
            return false;
        }
        for (std::size_t i = 0; i < items.size() && result; ++i) {
            const Item& item = items[i];
            result = backup ? BackupObject(*&m_link, progress, staging, item)
                            : RestoreObject(*&m_link, progress, paths[i], item, loaded[i]);
            progress.Step();
        }
        const std::uint64_t reportedBefore = m_state.dumpFailures;
        editBuffersBack = guard.Restore();
        if (!editBuffersBack && m_state.dumpFailures == reportedBefore)
            DumpFiles(m_link).ReportDumpFailure(QStringLiteral("send the edit buffers back"), m_link.IsConnected()
                                                                              ? QStringLiteral("the module did not take them")
                                                                              : QStringLiteral("the module is not connected"));
    }
    if (!result) {
        RemoveFolder(staging);
        return false;
    }
    if (!backup)
        return editBuffersBack; // a module left with other edit buffers is no complete restore

    const QString reportPath = QDir(staging).filePath(kReportName);
    if (const platform::FileWriteResult w = platform::WriteFileWhole(reportPath, BackupReport()); !w) {
        RemoveFolder(staging);
        return DumpFiles(m_link).ReportDumpFailure(Format(u"write %s", reportPath), w.reason);
    }
    QString failure;
    bool moved = false;
    if (!CommitStaging(folder, staging, failure, moved)) {
        // With nothing moved the folder is as it was, and this backup is
        // dropped; otherwise the rest waits in the staging folder for the
        // next pass to finish.
        if (!moved)
            RemoveFolder(staging);
        return DumpFiles(m_link).ReportDumpFailure(Format(u"replace the backup in %s", folder), failure);
    }
    // The backup's files are all written and in place; the edit buffers that
    // could not go back have been reported above.
    return true;
}
