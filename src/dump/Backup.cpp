// Backup and restore of the module's user data: one .sysex file per object in
// a backup folder, marked as a backup by its report "TabrineBackup.txt".
#include "core/Format.h"
#include "core/GlobalResources.h"
#include "core/Logger.h"
#include "core/Settings.h"
#include "module/ParamRecord.h"
#include "module/Proteus.h"
#include "module/StackedProgress.h"
#include "platform/SafeFile.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>

namespace {

const QString kReportName = QStringLiteral("TabrineBackup.txt");

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

bool HoldsReport(const QString& folder)
{
    return QFileInfo(FindInFolder(folder, kReportName)).isFile();
}

enum class Kind { Setup, Preset, Arp, Tuning, BankMap };

/// One object of a pass: where its file lies, which module object it is.
struct Item {
    Kind kind;
    int number;
    QString name; // file name in the folder
};

/// Whether a file's messages are a dump of the kind the object needs; reason
/// says what is wrong otherwise. The uploads check the finer layout again.
bool LooksLike(Kind kind, const ByteBlockList& blocks, QString& reason)
{
    if (blocks.empty()) {
        reason = QStringLiteral("no SysEx message in the file");
        return false;
    }
    for (const TPtr<_ByteBlock>& b : blocks) {
        const QByteArray m = b ? b->ToByteArray() : QByteArray();
        if (m.size() < 7 || quint8(m.front()) != 0xF0 || quint8(m.back()) != 0xF7) {
            reason = QStringLiteral("a message that is not a complete SysEx message");
            return false;
        }
    }
    const QByteArray first = blocks.front()->ToByteArray();
    auto emuCommand = [&](std::uint8_t command) {
        return quint8(first[1]) == 0x18 && quint8(first[2]) == 0x0F && quint8(first[4]) == 0x55 &&
               quint8(first[5]) == command;
    };
    bool ok = false;
    switch (kind) {
    case Kind::Setup:
        ok = blocks.size() == 1 && emuCommand(CMD_SETUP_DUMP);
        break;
    case Kind::Preset:
        ok = emuCommand(CMD_PRESET_DUMP);
        break;
    case Kind::Arp:
        ok = blocks.size() == 1 && emuCommand(CMD_ARP_DUMP);
        break;
    case Kind::Tuning:
        ok = blocks.size() == 1 && quint8(first[1]) == 0x7E && quint8(first[3]) == 0x08 && quint8(first[4]) == 0x01;
        break;
    case Kind::BankMap:
        ok = blocks.size() == 1 && first.size() == 519 && emuCommand(CMD_BANK_MAP_DUMP);
        break;
    }
    if (!ok)
        reason = QStringLiteral("a file that holds no dump of this kind");
    return ok;
}

/// Removes a staging or retired folder; best effort.
void RemoveFolder(const QString& path)
{
    if (!path.isEmpty())
        QDir(path).removeRecursively();
}

bool BackupObject(Proteus& p, StackedProgress& progress, const QString& folder, const Item& item)
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
        ok = p.DownloadSetup(blocks);
        props.title = name;
        props.comments = resources ? resources->GetObjectTooltip(OBJECT_SETUP, 0, n).trimmed() : QString();
        break;
    }
    case Kind::Preset:
        progress.SetText(u"Backing Up Preset %d", n);
        ok = p.DownloadPreset(2, 0, n, -1, false, blocks);
        props.title = p.GetSimmObjectName(OBJECT_PRESET, 0, n).trimmed();
        props.comments = resources ? resources->GetObjectTooltip(OBJECT_PRESET, 0, n).trimmed() : QString();
        break;
    case Kind::Arp:
        progress.SetText(u"Backing Up Arp %d", n);
        ok = p.DownloadArp(0, n, blocks);
        props.title = p.GetSimmObjectName(OBJECT_ARP, 0, n).trimmed();
        props.comments = resources ? resources->GetObjectTooltip(OBJECT_ARP, 0, n).trimmed() : QString();
        break;
    case Kind::Tuning:
        progress.SetText(u"Backing Up Tuning %d", n);
        ok = p.DownloadTuning(n, blocks);
        break;
    case Kind::BankMap:
        progress.SetText(u"Backing Up Bank Map");
        ok = p.DownloadBankMap(blocks);
        break;
    }
    return ok && p.WriteSysExFile(path, blocks, props);
}

bool RestoreObject(Proteus& p, StackedProgress& progress, const Item& item, std::pair<ByteBlockList, OleProps>& file)
{
    GlobalResources* resources = TheGlobalResources();
    ByteBlockList& blocks = file.first;
    const QString& comments = file.second.comments;
    const int n = item.number;
    ObjectKind tooltipKind = OBJECT_PRESET;
    bool ok = false;
    switch (item.kind) {
    case Kind::Setup:
        progress.SetText(u"Restoring Setup %d", n);
        ok = p.UploadSetup(blocks, true) && p.CopySetup(-1, n);
        // Nothing answers a setup dump: 64 of them back to back would keep the
        // line busy for longer than any later reply's time-out. One question
        // whose answer comes behind the dump paces the pass to the module.
        if (ok) {
            ParamRecord* record = p.FindParameter(kSetupNameFirst);
            if (record && record->id == kSetupNameFirst)
                p.ParameterRequest(record);
        }
        tooltipKind = OBJECT_SETUP;
        break;
    case Kind::Preset:
        progress.SetText(u"Restoring Preset %d", n);
        ok = p.UploadPreset(true, n, -1, blocks);
        tooltipKind = OBJECT_PRESET;
        break;
    case Kind::Arp:
        progress.SetText(u"Restoring Arp %d", n);
        ok = p.UploadArp(n, blocks);
        tooltipKind = OBJECT_ARP;
        break;
    case Kind::Tuning:
        progress.SetText(u"Restoring Tuning %d", n);
        return p.UploadTuning(n, blocks);
    case Kind::BankMap:
        progress.SetText(u"Restoring Bank Map");
        return p.UploadBankMap(blocks);
    }
    if (ok && !comments.isEmpty() && resources)
        resources->SetObjectTooltip(tooltipKind, 0, n, comments);
    return ok;
}

/// Puts the complete staging folder in place of folder: the old backup is
/// moved aside first, so a failed swap can put it back.
bool SwapInStaging(Proteus& p, const QString& folder, const QString& staging)
{
    const QFileInfo info(QDir::cleanPath(folder));
    const QString retired = info.dir().filePath(QStringLiteral(".") + info.fileName() + QStringLiteral(".old"));
    RemoveFolder(retired);
    QDir parent = info.dir();
    if (!parent.rename(info.absoluteFilePath(), retired)) {
        RemoveFolder(staging);
        return p.ReportDumpFailure(Format(u"replace %s", folder), QStringLiteral("the old backup cannot be moved"));
    }
    if (!parent.rename(staging, info.absoluteFilePath())) {
        parent.rename(retired, info.absoluteFilePath());
        RemoveFolder(staging);
        return p.ReportDumpFailure(Format(u"replace %s", folder), QStringLiteral("the new backup cannot be moved"));
    }
    RemoveFolder(retired);
    return true;
}

} // namespace

// ---- AutoRestoreSetupAndPreset ---------------------------------------------------------------

Proteus::AutoRestoreSetupAndPreset::AutoRestoreSetupAndPreset(Proteus* owner, bool withSetup) : m_owner(owner)
{
    if (!m_owner->DownloadPreset(2, 0, -1, -1, false, m_presetBlocks))
        return;
    m_ok = !withSetup || m_owner->DownloadSetup(m_setupBlocks);
}

Proteus::AutoRestoreSetupAndPreset::~AutoRestoreSetupAndPreset()
{
    if (!m_ok)
        return;
    // The results are not looked at: the pass has ended either way, and a
    // failure has been reported by the upload itself.
    if (!m_setupBlocks.empty())
        m_owner->UploadSetup(m_setupBlocks, false);
    if (!m_presetBlocks.empty())
        m_owner->UploadPreset(true, -1, -1, m_presetBlocks);
}

// ---- The report ------------------------------------------------------------------------------

QByteArray Proteus::BackupReport()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    const QString date = locale.toString(now.date(), QLocale::LongFormat).left(63);
    QString time = now.time().toString(QStringLiteral("HH':'mm':'ss "));
    time += now.time().hour() < 12 ? locale.amText() : locale.pmText();
    time = time.left(63);

    QString text = Format(u"Tabrine Backup from Configuration %s\n", GetGlobalConfigurations().KeyName());
    text += Format(u"Backup Made %s %s\n\n", date, time);
    text += GetModuleInfo();

    QByteArray bytes("\xFF\xFE", 2);
    for (const QChar c : std::as_const(text)) {
        const char16_t u = c.unicode();
        bytes.append(char(u & 0xFF));
        bytes.append(char(u >> 8));
    }
    return bytes;
}

// ---- BackupModule ----------------------------------------------------------------------------

bool Proteus::BackupModule(const QString& folder, bool backup, bool setups, bool presets, bool arps, bool tunings,
                           bool bankMap)
{
    TLOG(8, u"%s(%s, %s, %s, %s, %s, %s, %s)", u"Proteus::BackupModule", folder, TrueFalse(backup),
         TrueFalse(setups), TrueFalse(presets), TrueFalse(arps), TrueFalse(tunings), TrueFalse(bankMap));
    TLOG(4, u"%s %s", backup ? u"Backing up module to " : u"Restoring module from ", folder);

    const std::uint32_t caps = GetCapabilities();
    bool result = true;
    // A copy: the passes talk to the module, which must not move the list under us.
    const std::vector<SimmSlot> simms(hardwareConfig.GetSimms().begin(), hardwareConfig.GetSimms().end());
    for (const SimmSlot& slot : simms) {
        if (slot.simmId != 0)
            continue;

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

        // A restore reads and checks every file first: a folder with one bad
        // file must not leave the module half restored.
        std::vector<std::pair<ByteBlockList, OleProps>> loaded;
        if (!backup) {
            loaded.reserve(items.size());
            for (const Item& item : items) {
                const QString path = FindInFolder(folder, item.name);
                ByteBlockList blocks;
                OleProps props;
                if (!QFileInfo(path).isFile())
                    return ReportDumpFailure(Format(u"restore %s", path), QStringLiteral("the file is missing"));
                if (!ReadSysExFile(path, blocks, props))
                    return false; // shown by the reader
                QString reason;
                if (!LooksLike(item.kind, blocks, reason))
                    return ReportDumpFailure(Format(u"restore %s", path), reason);
                loaded.emplace_back(std::move(blocks), std::move(props));
            }
        }

        // A backup over an existing one is built beside it and swapped in
        // when complete: an interrupted pass leaves the old backup whole.
        QString target = folder;
        QString staging;
        if (backup && HoldsReport(folder)) {
            const QFileInfo info(QDir::cleanPath(folder));
            staging = info.dir().filePath(QStringLiteral(".") + info.fileName() + QStringLiteral(".staging"));
            RemoveFolder(staging);
            if (!QDir().mkpath(staging))
                return ReportDumpFailure(Format(u"create %s", staging), QStringLiteral("the folder cannot be made"));
            // Files of the options not taken stay as they were.
            const QDir old(folder);
            for (const QString& e : old.entryList(QDir::Files | QDir::Hidden)) {
                if (e.compare(kReportName, Qt::CaseInsensitive) == 0)
                    continue;
                if (!QFile::copy(old.filePath(e), QDir(staging).filePath(e))) {
                    RemoveFolder(staging);
                    return ReportDumpFailure(Format(u"copy %s", old.filePath(e)), QStringLiteral("the copy failed"));
                }
            }
            target = staging;
        }

        StackedProgress progress(this, true, 0, int(items.size()), backup ? u"Backing Up Module" : u"Restoring Backup");
        {
            AutoRestoreSetupAndPreset guard(this, setups);
            if (!guard.IsOk() && !GetGlobalConfigurations().GetBool(TestUI)) {
                RemoveFolder(staging);
                return false;
            }
            for (std::size_t i = 0; i < items.size() && result; ++i) {
                const Item& item = items[i];
                result = backup ? BackupObject(*this, progress, target, item)
                                : RestoreObject(*this, progress, item, loaded[i]);
                progress.Step();
            }
        }
        if (!result) {
            RemoveFolder(staging);
            return false;
        }

        if (backup) {
            const QString reportPath = FindInFolder(target, kReportName);
            if (const platform::FileWriteResult w = platform::WriteFileWhole(reportPath, BackupReport()); !w) {
                RemoveFolder(staging);
                return ReportDumpFailure(Format(u"write %s", reportPath), w.reason);
            }
            if (!staging.isEmpty() && !SwapInStaging(*this, folder, staging))
                return false;
        }
    }
    return result;
}
