#pragma once
// The setup, arp and tuning dumps: one message each way.
//
// Three objects travel as one message each: the setup edit buffer (55 1D ->
// 55 1C), an arp pattern (55 19 -> 55 18) and a user tuning as a MIDI Tuning
// Standard bulk dump (F0 7E dd 08 00 tt F7 -> 408 bytes). A download sends
// one request and appends the one reply as a block; an upload rewrites a
// few bytes of the one block it is given and sends it, awaiting nothing.
// Each needs its capability flag and a ready connection; without them it
// is false and sends nothing.
//
// A download waits for its own reply only (55 1C, 55 18, 08 01 of the asked
// tuning), so a module error or a stray message is never stored as a dump;
// a reply that is cut short or does not hold together is refused. An upload
// checks the block's layout before it touches or sends a byte; a block that
// fails is refused with a reason (ReportDumpFailure) and nothing is sent.
// The setup dump's device id is found through its section counts
// (SetupDumpLayout), never at fixed bytes.

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
