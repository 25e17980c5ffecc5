#pragma once
// Preset download and upload: a whole preset by the closed-loop protocol (every
// message answered) or the open-loop one (the module streams), and single sections.

#include "dump/ByteBlock.h"
#include "dump/DumpPart.h"

#include <QString>

#include <cstdint>

class PresetTransfer : public DumpPart {
public:
    using DumpPart::DumpPart;

    /// Fetches a preset or one section of it (or of one of its layers) and
    /// appends its messages to blocks. subRequest 2 (closed loop) or 4 (open
    /// loop) asks for a whole preset; 0x10-0x14 and 0x20-0x25 for one section.
    /// romId 0 and preset -1 name the edit buffer. After a download of any
    /// other preset than the basic channel's current one, the module's edit
    /// buffer is reselected by a throw-away layer-section request. Failures
    /// are reported through ReportDumpFailure and leave blocks as they were.
    /// A whole preset must bring exactly the payload its header announces; an
    /// open-loop stream is complete when it has (or at an EOF). A closed-loop
    /// download the editor gives up sends HANDSHAKE_CANCEL.
    bool DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress, ByteBlockList& blocks);
    /// DownloadPreset without the follow-up request.
    bool _DownloadPreset(int subRequest, int romId, int preset, int layer, bool showProgress, ByteBlockList& blocks);
    /// One section: one message, no handshake.
    bool DownloadShortPreset(int subRequest, int romId, int preset, int layer, ByteBlockList& blocks);
    /// Sends a stored preset dump back to the module: a whole preset by the
    /// closed-loop protocol (open-loop dumps go with their sub-codes made
    /// closed-loop), a preset or layer section as one message. renumber writes
    /// preset (and for a layer section layer; -1 asks the user, see
    /// LayerChooser.h) into the first message. Every message goes with the
    /// current device id. The whole list is checked before anything is sent:
    /// a message too short for what is read or rewritten, a broken frame or a
    /// payload that differs from the header's byte count is refused. The list
    /// keeps the rewritten messages. An upload the editor gives up sends
    /// HANDSHAKE_CANCEL. Failures are reported through ReportDumpFailure.
    bool UploadPreset(bool renumber, int preset, int layer, ByteBlockList& blocks);
    /// UploadPreset's check of its list (renumber: the first message must
    /// have room for the number written into it).
    static DumpProblem CheckPresetUpload(const ByteBlockList& blocks, bool renumber);
    /// Sends one section message with the current device id; no reply is
    /// awaited. preset and layer only name it in the trace.
    bool UploadShortPreset(int preset, int layer, TPtr<_ByteBlock> block);

private:
    /// The ROM id and preset the basic channel plays, when known.
    bool BasicChannelPreset(int& romId, int& preset);
};
