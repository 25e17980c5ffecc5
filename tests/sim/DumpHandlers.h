#pragma once
// The module's side of the preset and bank map dumps: whole presets by the
// closed-loop protocol (the host answers every message) and the open-loop one
// (the module streams), preset and layer sections, whole presets and sections
// the host uploads, and the bank map in both directions.
//
// Presets are stored as the messages of a closed-loop dump (header 10 01,
// packets 10 02), exactly as a module sends them: the real captures named in
// the profile's "dumps" key, generated ones for every other preset. A dump the
// host uploads replaces the stored one when its EOF arrives whole and sound.
//
// The edit buffer (preset -1) is one state with the parameter values: an
// upload into it sets every value its payload carries (the profile's
// "editBufferLayout" says where each lies, walked from the header's counts),
// and its dump is the last upload (or a generated preset) with the current
// values written back into their places. Bytes no parameter covers stay as
// they came, so an untouched upload comes back byte for byte.
//
// Dump faults (DumpFault) change single packets of a download; the answers the
// module gives to an upload come from a plan (UploadAnswer). Faults of the
// whole message (silence, module error, disconnect on the nth ACK ...) are the
// engine's own sim::Fault on the handshake routes 0x7B-0x7F or on 0x10 / 0x11.
//
//   sim::DumpState& dumps = sim::Dumps(module);
//   dumps.faults.push_back({sim::DumpFaultKind::WrongChecksum, 2});   // packet 2 once bad
//   dumps.uploadAnswers = {{sim::UploadAnswer::Nak}, {sim::UploadAnswer::Wait, 2}};
#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <utility>
#include <vector>

namespace sim {

class Module;

enum class DumpFaultKind {
    WrongChecksum, ///< packet `packet` goes out with a checksum that is neither right nor 0x7F
    Checksum7F,    ///< packet `packet` goes out with the checksum byte 0x7F
    RepeatPacket,  ///< packet `packet` - 1 goes out again where `packet` was due
    SkipPacket,    ///< packet `packet` + 1 goes out where `packet` was due
    EarlyEof,      ///< EOF goes out where packet `packet` was due; the dump is over
    Cancel,        ///< CANCEL goes out where packet `packet` was due; the dump is over
    NoEof,         ///< the closed-loop dump ends without its EOF
};

struct DumpFault {
    DumpFaultKind kind = DumpFaultKind::WrongChecksum;
    int packet = 1;  ///< data packets count from 1
    int times = 1;   ///< how often it fires (each resend of the packet counts)
};

/// How the module answers one message of a whole preset the host uploads.
struct UploadAnswer {
    enum Kind {
        Verdict, ///< ACK when the message is sound, NAK when not (the default)
        Ack,     ///< ACK whatever came
        Nak,
        Cancel,  ///< CANCEL; the upload is dropped
        Wait,    ///< `count` WAITs, then the verdict
        Echo,    ///< the host's own message comes back
        Other,   ///< a message F0 18 0F dd 55 `code` F7 that is no handshake
        Silence,
    };
    Kind kind = Verdict;
    int count = 1;
    int code = 0x42;
};

struct DumpState {
    // ---- from the profile ---------------------------------------------------------------
    int packetPayload = 0;          ///< payload bytes per generated packet
    bool openLoopEof = false;       ///< whether an open-loop stream ends with EOF
    bool numberedHandshakes = false; ///< ACK and NAK carry the packet number they answer
    std::int64_t graceMicros = 0;   ///< a closed-loop download is dropped after this long without a handshake
    int generatedPayload = 0;       ///< payload bytes of a generated preset
    std::vector<int> sectionCounts; ///< the ten counts of a generated preset's header
    int sectionPayload = 0;         ///< data bytes of a generated section dump
    /// Where the parameters lie in a whole preset's payload ("editBufferLayout"):
    /// the name's ids (one byte each, first), the slots of the four preset
    /// sections and of the five sections every layer carries; kUnmodelled
    /// marks a slot that holds no parameter of the module.
    std::vector<int> nameIds;
    std::vector<std::vector<int>> presetSections;
    std::vector<std::vector<int>> layerSections;

    // ---- memory -------------------------------------------------------------------------
    /// Whole presets by {SIMM id, preset} (SIMM 0 the user bank, {0, -1} the edit buffer).
    std::map<std::pair<int, int>, std::vector<QByteArray>> presets;
    /// Sections the host uploaded, in order.
    std::vector<QByteArray> sectionUploads;
    /// Whole presets the host uploaded and the module took, in order, as received.
    std::vector<std::vector<QByteArray>> acceptedUploads;

    // ---- faults -------------------------------------------------------------------------
    std::vector<DumpFault> faults;
    /// One entry per uploaded message, taken in order; the verdict when empty.
    std::deque<UploadAnswer> uploadAnswers;

    // ---- conversation -------------------------------------------------------------------
    struct Download {
        bool active = false;
        std::vector<QByteArray> messages; ///< as sent (module's device id)
        int due = 0;                      ///< the message the module stands behind
        std::int64_t lastMicros = 0;
    } download;
    struct Upload {
        bool active = false;
        int target = 0;
        std::vector<QByteArray> messages;
        int nextPacket = 1;
    } upload;
};

/// The module's dump state (the handlers install it with the module).
DumpState& Dumps(Module& module);

/// The instrument (1409) of a layer of the edit buffer, which its layer
/// section (0x21) carries in the first two data bytes, and its setting by an
/// uploaded layer section.
int EditBufferLayerInstrument(Module& module, int layer);
void SetEditBufferLayerInstrument(Module& module, int layer, int instrument);

/// The stored messages of the preset {simmId, preset}: the stored dump, or a
/// generated one for a preset the module has; empty when it has none. The
/// edit buffer's carries the current parameter values.
std::vector<QByteArray> StoredPreset(Module& module, int simmId, int preset);

inline constexpr int kUnmodelled = -1;

/// One value in a whole preset's payload (the data bytes of its packets joined).
struct PresetSlot {
    int offset = 0;            ///< in the payload
    int width = 2;             ///< 1 for a name byte, else a 14-bit value (low 7 bits first, signed)
    int id = kUnmodelled;      ///< the parameter it holds
    int layer = -1;            ///< the layer it belongs to; -1 for a value of the preset
};

/// The slots of a whole preset (its header first, then its packets), walked
/// from the header's ten counts with the profile's layout; only those that lie
/// wholly inside the payload. Empty when there is no header or a count is negative.
std::vector<PresetSlot> PresetDumpSlots(Module& module, const std::vector<QByteArray>& messages);

/// A parameter's value as a whole preset carries it, and where its bytes are.
struct PresetDumpValue {
    int value = 0;
    int message = 0; ///< index of the packet that holds the first byte
    int at = 0;      ///< offset of that byte in the packet
    int width = 2;
};

/// The value of parameter id (of layer, or -1 for the preset's own) in a
/// whole preset's messages; nullopt when the dump does not carry it. A value
/// whose two bytes fall into two packets reports the first.
std::optional<PresetDumpValue> FindPresetDumpValue(Module& module, const std::vector<QByteArray>& messages, int id,
                                                   int layer = -1);

/// The SysEx messages of a .syx file, F0 ... F7 each (the simulator's own
/// reader); empty when the file cannot be read.
std::vector<QByteArray> ReadSyxMessages(const QString& path);

/// Where the real captures are: $TABRINE_FIXTURES.
QString CapturesFolder();

/// The payload checksum of the preset packets: (~sum) & 0x7F.
int PacketChecksum(const QByteArray& packet);

} // namespace sim
