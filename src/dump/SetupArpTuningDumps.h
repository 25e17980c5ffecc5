#pragma once
// The setup, arp and tuning dumps: one message each way.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"

#include <QString>

#include <cstdint>

class SetupArpTuningDumps : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Appends the module's setup edit buffer to blocks.
    bool DownloadSetup(ByteBlockList& blocks);
    /// Sends the one setup dump of blocks into the module's edit buffer, with
    /// the current device id in byte 3. writeDeviceId: the module keeps the
    /// current device id (it is written into the dump's device-id value).
    /// Otherwise the module takes the dump's device id: when that differs, the
    /// connection follows it once the dump is sent, and the call waits one
    /// response time-out for the module to settle.
    bool UploadSetup(ByteBlockList& blocks, bool writeDeviceId);
    /// Appends arp pattern arp of SIMM romId (0: the user bank).
    bool DownloadArp(int romId, int arp, ByteBlockList& blocks);
    /// Sends the one arp dump of blocks as user arp `arp`; the field after its
    /// table (the SIMM the pattern came from) becomes 0.
    bool UploadArp(int arp, ByteBlockList& blocks);
    /// Appends user tuning `tuning` (0 ... 127).
    bool DownloadTuning(int tuning, ByteBlockList& blocks);
    /// Sends the one tuning dump of blocks as tuning `tuning`, with the
    /// checksum byte 0x7F.
    bool UploadTuning(int tuning, ByteBlockList& blocks);
    /// UploadSetup's check: one setup dump whose sections agree with its counts.
    static DumpProblem CheckSetupUpload(const ByteBlockList& blocks);
    /// UploadArp's check: one arp dump whose table fits its step counts.
    static DumpProblem CheckArpUpload(const ByteBlockList& blocks);
    /// UploadTuning's check: one tuning bulk dump of its full length.
    static DumpProblem CheckTuningUpload(const ByteBlockList& blocks);

private:
    // Sends a dump block whose bytes the caller has checked; false when the
    // port refuses it or a byte would not fit inside SysEx.
    bool SendDumpBlock(const _ByteBlock& block);
};
