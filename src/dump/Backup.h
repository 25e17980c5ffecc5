#pragma once
// Backup and restore of the module's user data.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"
#include "module/HardwareConfig.h"

#include <QString>

#include <cstdint>

/// Holds the preset edit buffer (and with withSetup the setup edit buffer)
/// for one pass and sends them back when it ends; ok tells whether every
/// download worked (nothing is sent back otherwise).
class AutoRestoreSetupAndPreset {
public:
    AutoRestoreSetupAndPreset(ModuleLink* owner, bool withSetup);
    virtual ~AutoRestoreSetupAndPreset();
    AutoRestoreSetupAndPreset(const AutoRestoreSetupAndPreset&) = delete;
    AutoRestoreSetupAndPreset& operator=(const AutoRestoreSetupAndPreset&) = delete;
    bool IsOk() const { return m_ok; }
    /// Sends the saved edit buffers back now (once; the destructor then
    /// sends nothing). True when every upload worked, or nothing was saved.
    bool Restore();

private:
    ModuleLink* m_owner;
    bool m_ok = false;
    bool m_restored = false;
    ByteBlockList m_setupBlocks;
    ByteBlockList m_presetBlocks;
};

class ModuleBackup : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Saves the user data of the module into folder (backup true) or sends a
    /// saved folder back (false): 64 setups, the user bank's presets and arps,
    /// 12 tunings and the bank map, each when its option and capability are on.
    /// A restore reads every file it will send and runs the uploads' own
    /// checks on it before the first byte goes out; a missing or damaged file
    /// refuses it (one message naming the file) and the module is untouched.
    /// Every upload of a restore waits until the module has taken it, and a
    /// step that fails (the edit buffers sent back at the end included) is
    /// reported with its reason and fails the restore. A backup is written
    /// into a hidden staging folder inside folder, the report
    /// "TabrineBackup.txt" last, and its files are moved into place only when
    /// all are there: they replace the files of the same names, and nothing
    /// else in folder is touched (other files keep their properties, sub-folders
    /// stay). A pass cut short while moving is finished at the start of the
    /// next backup or restore of the folder; one cut short before leaves the
    /// folder as it was. A report that cannot be written fails the backup.
    /// File names are found without regard to case. A module without a user
    /// bank, or one with none of the chosen kinds of data, fails with a
    /// message before anything is touched.
    bool BackupModule(const QString& folder, bool backup, bool setups, bool presets, bool arps, bool tunings,
                      bool bankMap);
    /// The text of the backup report (UTF-16LE with byte-order mark, LF line ends).
    QByteArray BackupReport();

private:
    // One pass over the user bank's objects, in either direction.
    bool RunUserBankPass(const QString& folder, bool backup, const SimmSlot& slot, bool setups, bool presets,
                         bool arps, bool tunings, bool bankMap);
    // What a failure of the whole pass names as its operation.
    static QString PassOperation(const QString& folder, bool backup);
};
