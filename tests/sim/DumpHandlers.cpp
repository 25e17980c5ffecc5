// The module's side of the preset and bank map dumps (see DumpHandlers.h).
#include "sim/DumpHandlers.h"

#include "sim/Module.h"
#include "sim/SysExHex.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonObject>
#include <QStringList>

#include <algorithm>

namespace sim {

namespace {

constexpr int kCmdPresetDump = 0x10;
constexpr int kCmdPresetDumpRequest = 0x11;
constexpr int kCmdBankMap = 0x16;
constexpr int kCmdBankMapRequest = 0x17;
constexpr int kEof = 0x7B;
constexpr int kWait = 0x7C;
constexpr int kCancel = 0x7D;
constexpr int kNak = 0x7E;
constexpr int kAck = 0x7F;

// Sizes the module itself checks.
constexpr int kHeaderSize = 36;     // F0 18 0F dd 55 10 01 pp pp c c c c n*20 rr rr F7
constexpr int kPacketOverhead = 11; // F0 18 0F dd 55 10 02 kk kk ... cs F7
constexpr int kBankMapSize = 519;

QByteArray WithDeviceId(QByteArray message, int deviceId)
{
    if (message.size() > 3)
        message[3] = char(deviceId & 0x7F);
    return message;
}

QByteArray WithSubCode(QByteArray message, int sub)
{
    if (message.size() > 6)
        message[6] = char(sub);
    return message;
}

int HeaderByteCount(const QByteArray& header)
{
    int count = 0;
    for (int i = 3; i >= 0; --i)
        count = (count << 7) | (uchar(header[9 + i]) & 0x7F);
    return count;
}

bool EndsWithF7(const QByteArray& m) { return !m.isEmpty() && uchar(m.back()) == 0xF7; }

// A preset the module has but nobody stored: a header with the profile's counts,
// a name and a payload that differs from preset to preset, in packets with real checksums.
std::vector<QByteArray> GeneratePreset(const Module& m, const DumpState& d, int simmId, int preset)
{
    QByteArray payload = QStringLiteral("SIM %1:%2").arg(simmId).arg(preset).leftJustified(16, ' ').toLatin1();
    for (int i = int(payload.size()); i < d.generatedPayload; ++i)
        payload.append(char((i * 31 + (preset & 0x7F) * 7 + simmId) & 0x7F));
    payload.truncate(d.generatedPayload);

    QByteArray h;
    h.append(char(0x01));
    Module::Put14(h, preset);
    for (int i = 0; i < 4; ++i)
        h.append(char((d.generatedPayload >> (7 * i)) & 0x7F));
    for (int c : d.sectionCounts)
        Module::Put14(h, c);
    Module::Put14(h, simmId);
    std::vector<QByteArray> out{m.frame(kCmdPresetDump, h)};
    for (int at = 0, number = 1; at < payload.size(); at += d.packetPayload, ++number) {
        QByteArray p;
        p.append(char(0x02));
        Module::Put14(p, number);
        const QByteArray part = payload.mid(at, d.packetPayload);
        p.append(part);
        QByteArray framed = m.frame(kCmdPresetDump, p);
        framed.insert(framed.size() - 1, char(0)); // checksum place
        framed[framed.size() - 2] = char(PacketChecksum(framed));
        out.push_back(framed);
    }
    return out;
}

QByteArray Handshake(const Module& m, const DumpState& d, int code, int packet)
{
    QByteArray data;
    if (d.numberedHandshakes && (code == kAck || code == kNak))
        Module::Put14(data, packet);
    return m.frame(code, data);
}

// ---- downloads ---------------------------------------------------------------------------

DumpFault* Firing(DumpState& d, int packet, std::initializer_list<DumpFaultKind> kinds)
{
    for (DumpFault& f : d.faults)
        if (f.packet == packet && f.times != 0 && std::find(kinds.begin(), kinds.end(), f.kind) != kinds.end()) {
            if (f.times > 0)
                --f.times;
            return &f;
        }
    return nullptr;
}

QByteArray WithChecksum(QByteArray packet, int checksum)
{
    if (packet.size() >= kPacketOverhead)
        packet[packet.size() - 2] = char(checksum);
    return packet;
}

// What goes out where message `due` of `messages` is due; false when the dump ends with it.
bool EmitDue(Module& m, DumpState& d, Exchange& ex, const std::vector<QByteArray>& messages, int due, bool closedLoop)
{
    const int count = int(messages.size());
    if (due >= count) {
        if (closedLoop && Firing(d, due, {DumpFaultKind::NoEof})) {
            ex.note = QStringLiteral("fault: no EOF");
            return false;
        }
        if (closedLoop || d.openLoopEof)
            ex.replies.push_back(m.frame(kEof, {}));
        return false;
    }
    const DumpFault* f = Firing(d, due,
                                {DumpFaultKind::WrongChecksum, DumpFaultKind::Checksum7F, DumpFaultKind::RepeatPacket,
                                 DumpFaultKind::SkipPacket, DumpFaultKind::EarlyEof, DumpFaultKind::Cancel});
    if (!f) {
        ex.replies.push_back(messages[due]);
        return true;
    }
    switch (f->kind) {
    case DumpFaultKind::EarlyEof:
        ex.note = QStringLiteral("fault: early EOF at packet %1").arg(due);
        ex.replies.push_back(m.frame(kEof, {}));
        return false;
    case DumpFaultKind::Cancel:
        ex.note = QStringLiteral("fault: CANCEL at packet %1").arg(due);
        ex.replies.push_back(m.frame(kCancel, {}));
        return false;
    case DumpFaultKind::SkipPacket:
        ex.note = QStringLiteral("fault: packet %1 skipped").arg(due);
        if (due + 1 < count)
            ex.replies.push_back(messages[due + 1]);
        return true;
    case DumpFaultKind::RepeatPacket:
        ex.note = QStringLiteral("fault: packet %1 repeated").arg(due - 1);
        ex.replies.push_back(messages[std::max(0, due - 1)]);
        return true;
    case DumpFaultKind::WrongChecksum: {
        const int right = PacketChecksum(messages[due]);
        int wrong = (right + 1) & 0x7F;
        if (wrong == 0x7F)
            wrong = (right + 2) & 0x7F;
        ex.note = QStringLiteral("fault: wrong checksum in packet %1").arg(due);
        ex.replies.push_back(WithChecksum(messages[due], wrong));
        return true;
    }
    case DumpFaultKind::Checksum7F:
        ex.note = QStringLiteral("fault: checksum 7F in packet %1").arg(due);
        ex.replies.push_back(WithChecksum(messages[due], 0x7F));
        return true;
    case DumpFaultKind::NoEof:
        break;
    }
    ex.replies.push_back(messages[due]);
    return true;
}

// The edit buffer's layer section (0x21) carries the layer's instrument in
// its first two data bytes, so a host that changes them there (a layer mute)
// changes the instrument the module plays. Read and written where LAYER_SELECT
// (898) points, with LAYER_SELECT put back afterwards.
constexpr int kLayerSelect = 898;
constexpr int kLayerInstrument = 1409;

bool IsEditBufferLayerSection(int sub, int preset)
{
    return sub == 0x21 && preset == -1;
}

} // namespace

int EditBufferLayerInstrument(Module& m, int layer)
{
    const int selected = m.parameterValue(kLayerSelect).value_or(0);
    m.setParameterValue(kLayerSelect, layer);
    const int instrument = m.parameterValue(kLayerInstrument).value_or(0);
    m.setParameterValue(kLayerSelect, selected);
    return instrument;
}

void SetEditBufferLayerInstrument(Module& m, int layer, int instrument)
{
    const int selected = m.parameterValue(kLayerSelect).value_or(0);
    m.setParameterValue(kLayerSelect, layer);
    m.setParameterValue(kLayerInstrument, instrument);
    m.setParameterValue(kLayerSelect, selected);
}

namespace {

QByteArray SectionDump(Module& m, const DumpState& d, int sub, int preset, int layer, int simmId)
{
    QByteArray data;
    data.append(char(sub));
    Module::Put14(data, preset);
    if (sub >= 0x20)
        Module::Put14(data, layer);
    Module::Put14(data, simmId);
    for (int i = 0; i < d.sectionPayload; ++i)
        data.append(char((i * 13 + sub + (preset & 0x7F) + layer) & 0x7F));
    if (IsEditBufferLayerSection(sub, preset) && d.sectionPayload >= 2) {
        QByteArray instrument;
        Module::Put14(instrument, EditBufferLayerInstrument(m, layer));
        data[7] = instrument[0];
        data[8] = instrument[1];
    }
    return m.frame(kCmdPresetDump, data);
}

void DumpRequest(Module& m, Exchange& ex)
{
    DumpState& d = Dumps(m);
    const Profile& p = m.profile();
    const QByteArray& q = ex.request;
    const int sub = q.size() > 6 ? uchar(q[6]) : -1;
    const bool whole = sub == 0x02 || sub == 0x04;
    const bool section = (sub >= 0x10 && sub <= 0x14) || (sub >= 0x20 && sub <= 0x25);
    const int expectedSize = sub >= 0x20 ? 14 : 12;
    if ((!whole && !section) || q.size() != expectedSize) {
        m.refuse(ex, kCmdPresetDumpRequest, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("format"));
        return;
    }
    const char* capability = sub == 0x02 ? "presetDumps" : sub == 0x04 ? "openLoopDumps" : "sectionDumps";
    if (!p.has(QString::fromLatin1(capability))) {
        m.refuse(ex, kCmdPresetDumpRequest, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no %1").arg(QString::fromLatin1(capability)));
        return;
    }
    const int preset = Module::Get14(q, 7);
    const int layer = sub >= 0x20 ? Module::Get14(q, 9) : 0;
    const int simmId = Module::Get14(q, sub >= 0x20 ? 11 : 9);
    std::vector<QByteArray> stored = StoredPreset(m, simmId, preset);
    if (stored.empty()) {
        m.refuse(ex, kCmdPresetDumpRequest,
                 p.raw.value(QStringLiteral("errorSubCodes")).toObject().value(QStringLiteral("noSuchObject")).toInt(),
                 Refusal::ErrorReply, QStringLiteral("no preset %1 on SIMM %2").arg(preset).arg(simmId));
        return;
    }
    if (section) {
        ex.replies.push_back(SectionDump(m, d, sub, preset, layer, simmId));
        return;
    }
    for (QByteArray& message : stored)
        message = WithDeviceId(message, m.deviceId());
    if (sub == 0x02) {
        d.download = {};
        d.download.active = EmitDue(m, d, ex, stored, 0, true);
        d.download.messages = std::move(stored);
        d.download.lastMicros = m.now().count();
        return;
    }
    // Open loop: the whole stream leaves at once, at wire rate; handshakes change nothing.
    d.download = {};
    for (QByteArray& message : stored)
        message = WithSubCode(message, &message == &stored.front() ? 0x03 : 0x04);
    for (int due = 0; EmitDue(m, d, ex, stored, due, false); ++due) {
    }
}

bool DownloadAlive(Module& m, DumpState& d, Exchange& ex)
{
    if (!d.download.active) {
        ex.note = QStringLiteral("ignored: no dump running");
        return false;
    }
    if (m.now().count() - d.download.lastMicros > d.graceMicros) {
        d.download.active = false;
        ex.note = QStringLiteral("ignored: the dump was dropped after the host fell silent");
        return false;
    }
    return true;
}

// ---- the edit buffer's values -------------------------------------------------------------

constexpr int kPacketHead = 9;      // F0 18 0F dd 55 10 02 kk kk
constexpr int kCountsAt = 13;       // ten 14-bit section counts in the header
constexpr int kSectionCounts = 10;
constexpr int kPresetSections = 4;  // counts 1-4; count 5 is the number of layers
constexpr int kLayerSections = 5;   // counts 6-10, once per layer

// The data bytes of a whole preset's packets joined, and where each message's
// part begins in them (the header's part is empty).
struct JoinedPayload {
    QByteArray bytes;
    std::vector<int> starts;
};

JoinedPayload JoinPayload(const std::vector<QByteArray>& messages)
{
    JoinedPayload p;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        p.starts.push_back(int(p.bytes.size()));
        if (i > 0 && messages[i].size() >= kPacketOverhead)
            p.bytes.append(messages[i].mid(kPacketHead, messages[i].size() - kPacketOverhead));
    }
    return p;
}

// Where a slot's value is kept among the module's values: a preset value in
// the one place of a global parameter, a layer value on its layer; nothing
// for a parameter the module lacks or keeps elsewhere.
std::optional<std::vector<int>> PlaceOf(const Module& m, int id, int layer)
{
    const ParameterDef* param = m.profile().parameter(id);
    if (!param)
        return std::nullopt;
    const auto scope = m.profile().scopes.find(param->scope);
    const std::vector<ScopeSelector> none;
    const std::vector<ScopeSelector>& selectors = scope == m.profile().scopes.end() ? none : scope->second;
    if (layer < 0)
        return selectors.empty() ? std::optional<std::vector<int>>(std::vector<int>{}) : std::nullopt;
    if (param->scope == QLatin1String("layer") && selectors.size() == 1 && layer < selectors.front().count)
        return std::vector<int>{layer};
    return std::nullopt;
}

int SlotValue(const QByteArray& payload, const PresetSlot& slot)
{
    return slot.width == 1 ? uchar(payload[slot.offset]) : Module::Get14(payload, slot.offset);
}

void PutSlotValue(QByteArray& payload, const PresetSlot& slot, int value)
{
    if (slot.width == 1) {
        payload[slot.offset] = char(value & 0x7F);
        return;
    }
    QByteArray pair;
    Module::Put14(pair, value);
    payload[slot.offset] = pair[0];
    payload[slot.offset + 1] = pair[1];
}

// An upload the edit buffer took: every modelled value it carries becomes the
// parameter's value (a layer's on that layer).
void TakeEditBufferValues(Module& m, const std::vector<QByteArray>& messages)
{
    const QByteArray payload = JoinPayload(messages).bytes;
    for (const PresetSlot& slot : PresetDumpSlots(m, messages)) {
        if (slot.id == kUnmodelled)
            continue;
        if (const auto place = PlaceOf(m, slot.id, slot.layer))
            m.setParameterValueAt(slot.id, *place, SlotValue(payload, slot));
    }
}

// The edit buffer's messages with the current values written into their
// slots; a packet whose data changed gets its checksum anew, every other byte
// stays as it was.
std::vector<QByteArray> WithCurrentValues(Module& m, std::vector<QByteArray> messages)
{
    const JoinedPayload joined = JoinPayload(messages);
    QByteArray payload = joined.bytes;
    for (const PresetSlot& slot : PresetDumpSlots(m, messages)) {
        if (slot.id == kUnmodelled)
            continue;
        const auto place = PlaceOf(m, slot.id, slot.layer);
        const std::optional<int> value = place ? m.parameterValueAt(slot.id, *place) : std::nullopt;
        if (value)
            PutSlotValue(payload, slot, *value);
    }
    if (payload == joined.bytes)
        return messages;
    for (std::size_t i = 1; i < messages.size(); ++i) {
        QByteArray& packet = messages[i];
        if (packet.size() < kPacketOverhead)
            continue;
        const int length = int(packet.size()) - kPacketOverhead;
        const QByteArray data = payload.mid(joined.starts[i], length);
        if (data == packet.mid(kPacketHead, length))
            continue;
        packet.replace(kPacketHead, length, data);
        packet[packet.size() - 2] = char(PacketChecksum(packet));
    }
    return messages;
}

// ---- uploads -----------------------------------------------------------------------------

void Answer(Module& m, DumpState& d, Exchange& ex, bool sound, int packet, bool* taken)
{
    UploadAnswer a;
    if (!d.uploadAnswers.empty()) {
        a = d.uploadAnswers.front();
        d.uploadAnswers.pop_front();
    }
    *taken = false;
    auto verdict = [&] {
        ex.replies.push_back(Handshake(m, d, sound ? kAck : kNak, packet));
        *taken = sound;
    };
    switch (a.kind) {
    case UploadAnswer::Verdict:
        verdict();
        break;
    case UploadAnswer::Ack:
        ex.replies.push_back(Handshake(m, d, kAck, packet));
        *taken = true;
        break;
    case UploadAnswer::Nak:
        ex.replies.push_back(Handshake(m, d, kNak, packet));
        break;
    case UploadAnswer::Cancel:
        ex.replies.push_back(m.frame(kCancel, {}));
        d.upload.active = false;
        break;
    case UploadAnswer::Wait:
        for (int i = 0; i < a.count; ++i)
            ex.replies.push_back(m.frame(kWait, {}));
        verdict();
        break;
    case UploadAnswer::Echo:
        ex.replies.push_back(ex.request);
        break;
    case UploadAnswer::Other:
        ex.replies.push_back(m.frame(a.code, {}));
        break;
    case UploadAnswer::Silence:
        ex.note = QStringLiteral("fault: no answer");
        break;
    }
}

void PresetUpload(Module& m, Exchange& ex)
{
    DumpState& d = Dumps(m);
    const Profile& p = m.profile();
    const QByteArray& q = ex.request;
    const int sub = q.size() > 6 ? uchar(q[6]) : -1;
    if (sub >= 0x10 && sub <= 0x25) {
        d.sectionUploads.push_back(q);
        if (IsEditBufferLayerSection(sub, Module::Get14(q, 7)) && q.size() >= 16)
            SetEditBufferLayerInstrument(m, Module::Get14(q, 9), Module::Get14(q, 13));
        ex.note = QStringLiteral("section 0x%1 stored").arg(sub, 2, 16, QLatin1Char('0'));
        return;
    }
    // Modules whose own preset dumps fail still take a whole preset from the host.
    if (!p.has(QStringLiteral("presetUploads"))) {
        m.refuse(ex, kCmdPresetDump, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no presetUploads"));
        return;
    }
    bool taken = false;
    if (sub == 0x01) {
        const bool sound = q.size() == kHeaderSize;
        d.upload = {};
        d.upload.target = Module::Get14(q, 7);
        Answer(m, d, ex, sound, 0, &taken);
        d.upload.active = taken;
        if (taken)
            d.upload.messages.push_back(q);
        return;
    }
    if (sub == 0x02) {
        if (!d.upload.active) {
            ex.note = QStringLiteral("ignored: no upload running");
            return;
        }
        const int number = Module::Get14(q, 7);
        const int checksum = q.size() >= kPacketOverhead ? uchar(q[q.size() - 2]) : -1;
        const bool sound = q.size() >= kPacketOverhead && number == d.upload.nextPacket
            && (checksum == 0x7F || checksum == PacketChecksum(q));
        Answer(m, d, ex, sound, number, &taken);
        if (taken) {
            d.upload.messages.push_back(q);
            ++d.upload.nextPacket;
        }
        return;
    }
    m.refuse(ex, kCmdPresetDump, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("sub-code"));
}

void CommitUpload(Module& m, Exchange& ex)
{
    DumpState& d = Dumps(m);
    if (!d.upload.active) {
        ex.note = QStringLiteral("ignored: no upload running");
        return;
    }
    d.upload.active = false;
    int payload = 0;
    for (std::size_t i = 1; i < d.upload.messages.size(); ++i)
        payload += int(d.upload.messages[i].size()) - kPacketOverhead;
    const int announced = HeaderByteCount(d.upload.messages.front());
    if (payload != announced) {
        ex.note = QStringLiteral("discarded: %1 data bytes where the header announced %2").arg(payload).arg(announced);
        return;
    }
    d.presets[{0, d.upload.target}] = d.upload.messages;
    d.acceptedUploads.push_back(d.upload.messages);
    if (d.upload.target == -1)
        TakeEditBufferValues(m, d.upload.messages);
    ex.note = QStringLiteral("stored as preset %1").arg(d.upload.target);
}

void HandshakeFromHost(Module& m, Exchange& ex)
{
    DumpState& d = Dumps(m);
    const int code = ex.route;
    if (ex.request.size() != 7 && ex.request.size() != 9) {
        ex.note = QStringLiteral("ignored: handshake of %1 bytes").arg(ex.request.size());
        return;
    }
    switch (code) {
    case kAck:
    case kNak:
        if (!DownloadAlive(m, d, ex))
            return;
        if (code == kAck)
            ++d.download.due;
        d.download.active = EmitDue(m, d, ex, d.download.messages, d.download.due, true);
        d.download.lastMicros = m.now().count();
        return;
    case kCancel:
        ex.note = d.download.active || d.upload.active ? QStringLiteral("dump cancelled")
                                                       : QStringLiteral("ignored: no dump running");
        d.download.active = false;
        d.upload.active = false;
        return;
    case kEof:
        CommitUpload(m, ex);
        return;
    default:
        ex.note = QStringLiteral("ignored: handshake from the host");
        return;
    }
}

// ---- bank map ----------------------------------------------------------------------------

void BankMapRequest(Module& m, Exchange& ex)
{
    const Profile& p = m.profile();
    if (!p.has(QStringLiteral("bankMapDumps"))) {
        m.refuse(ex, kCmdBankMapRequest, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no bankMapDumps"));
        return;
    }
    if (ex.request.size() != 7) {
        m.refuse(ex, kCmdBankMapRequest, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("format"));
        return;
    }
    QByteArray data;
    for (int v : m.state().bankMap)
        Module::Put14(data, v);
    ex.replies.push_back(m.frame(kCmdBankMap, data));
}

void BankMapUpload(Module& m, Exchange& ex)
{
    const Profile& p = m.profile();
    if (!p.has(QStringLiteral("bankMapDumps"))) {
        m.refuse(ex, kCmdBankMap, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no bankMapDumps"));
        return;
    }
    if (ex.request.size() != kBankMapSize) {
        m.refuse(ex, kCmdBankMap, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("length"));
        return;
    }
    std::vector<int>& map = m.state().bankMap;
    map.assign(256, 0);
    for (int i = 0; i < 256; ++i)
        map[std::size_t(i)] = Module::Get14(ex.request, 6 + 2 * i);
    ex.note = QStringLiteral("bank map stored");
}

int PacketNumberOf(const QByteArray& q) { return q.size() > 8 ? Module::Get14(q, 7) : -1; }

// The slots of one list of the layout: an id, "a-b" (one slot per id) or null.
std::vector<int> LayoutSlots(const QJsonArray& list)
{
    std::vector<int> out;
    for (const QJsonValue& v : list) {
        if (v.isDouble()) {
            out.push_back(v.toInt());
        } else if (v.isString()) {
            const QStringList ends = v.toString().split(QLatin1Char('-'));
            const int first = ends.value(0).toInt();
            const int last = ends.value(ends.size() > 1 ? 1 : 0).toInt();
            for (int id = first; id <= last; ++id)
                out.push_back(id);
        } else if (!v.isUndefined()) {
            out.push_back(kUnmodelled);
        }
    }
    return out;
}

} // namespace

int PacketChecksum(const QByteArray& packet)
{
    // The payload lies between the 9-byte head and the checksum byte.
    int sum = 0;
    for (int i = 9; i < packet.size() - 2; ++i)
        sum += uchar(packet[i]);
    return ~sum & 0x7F;
}

QString CapturesFolder() { return qEnvironmentVariable("TABRINE_FIXTURES"); }

std::vector<QByteArray> ReadSyxMessages(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return SplitSysEx(file.readAll());
}

DumpState& Dumps(Module& module) { return *module.state().dumps; }

std::vector<PresetSlot> PresetDumpSlots(Module& m, const std::vector<QByteArray>& messages)
{
    const DumpState& d = Dumps(m);
    if (messages.empty() || messages.front().size() < kHeaderSize)
        return {};
    int counts[kSectionCounts];
    for (int i = 0; i < kSectionCounts; ++i) {
        counts[i] = Module::Get14(messages.front(), kCountsAt + 2 * i);
        if (counts[i] < 0)
            return {};
    }
    const int size = int(JoinPayload(messages).bytes.size());
    std::vector<PresetSlot> out;
    int at = 0;
    auto add = [&](int width, int id, int layer) {
        if (at + width <= size)
            out.push_back({at, width, id, layer});
        at += width;
    };
    auto section = [&](const std::vector<std::vector<int>>& sections, int s, int count, int layer) {
        const std::vector<int> none;
        const std::vector<int>& ids = s < int(sections.size()) ? sections[std::size_t(s)] : none;
        for (int i = 0; i < count && at < size; ++i)
            add(2, i < int(ids.size()) ? ids[std::size_t(i)] : kUnmodelled, layer);
    };
    for (int id : d.nameIds)
        add(1, id, -1);
    for (int s = 0; s < kPresetSections; ++s)
        section(d.presetSections, s, counts[s], -1);
    for (int layer = 0; layer < counts[kPresetSections] && at < size; ++layer)
        for (int s = 0; s < kLayerSections; ++s)
            section(d.layerSections, s, counts[kPresetSections + 1 + s], layer);
    return out;
}

std::optional<PresetDumpValue> FindPresetDumpValue(Module& m, const std::vector<QByteArray>& messages, int id,
                                                   int layer)
{
    const JoinedPayload joined = JoinPayload(messages);
    for (const PresetSlot& slot : PresetDumpSlots(m, messages)) {
        if (slot.id != id || slot.layer != layer)
            continue;
        PresetDumpValue v;
        v.value = SlotValue(joined.bytes, slot);
        v.width = slot.width;
        for (std::size_t i = 1; i < messages.size(); ++i)
            if (joined.starts[i] <= slot.offset)
                v.message = int(i);
        v.at = kPacketHead + slot.offset - joined.starts[std::size_t(v.message)];
        return v;
    }
    return std::nullopt;
}

std::vector<QByteArray> StoredPreset(Module& m, int simmId, int preset)
{
    DumpState& d = Dumps(m);
    if (simmId == 0 && preset == -1) {
        const auto it = d.presets.find({0, -1});
        return WithCurrentValues(m, it != d.presets.end() ? it->second : GeneratePreset(m, d, 0, -1));
    }
    const auto it = d.presets.find({simmId, preset});
    if (it != d.presets.end())
        return it->second;
    const Profile& p = m.profile();
    int count = 0;
    if (simmId == 0) {
        count = p.userPresets;
    } else {
        for (const SimmDef& s : p.simms)
            if (s.id == simmId)
                count = s.presets;
    }
    if (preset < 0 || preset >= count)
        return {};
    return GeneratePreset(m, d, simmId, preset);
}

void InstallDumpHandlers(Module& module)
{
    auto state = std::make_shared<DumpState>();
    const QJsonObject o = module.profile().raw.value(QStringLiteral("dumps")).toObject();
    state->packetPayload = std::max(1, o.value(QStringLiteral("packetPayload")).toInt());
    state->openLoopEof = o.value(QStringLiteral("openLoopEof")).toBool();
    state->numberedHandshakes = o.value(QStringLiteral("numberedHandshakes")).toBool();
    state->graceMicros = std::int64_t(o.value(QStringLiteral("handshakeGraceMillis")).toInt()) * 1000;
    state->generatedPayload = o.value(QStringLiteral("generatedPayload")).toInt();
    for (const QJsonValue& v : o.value(QStringLiteral("sectionCounts")).toArray())
        state->sectionCounts.push_back(v.toInt());
    state->sectionPayload = o.value(QStringLiteral("sectionPayload")).toInt();
    const QJsonObject layout = o.value(QStringLiteral("editBufferLayout")).toObject();
    state->nameIds = LayoutSlots(QJsonArray{layout.value(QStringLiteral("name"))});
    for (const QJsonValue& v : layout.value(QStringLiteral("preset")).toArray())
        state->presetSections.push_back(LayoutSlots(v.toArray()));
    for (const QJsonValue& v : layout.value(QStringLiteral("layer")).toArray())
        state->layerSections.push_back(LayoutSlots(v.toArray()));

    const QString folder = CapturesFolder();
    for (const QJsonValue& v : o.value(QStringLiteral("storedPresets")).toArray()) {
        const QJsonObject s = v.toObject();
        std::vector<QByteArray> messages =
            ReadSyxMessages(QDir(folder).filePath(s.value(QStringLiteral("capture")).toString()));
        if (folder.isEmpty() || messages.empty())
            continue; // without the captures the preset is generated like the others
        // Kept in the closed-loop form the module sends on request.
        for (std::size_t i = 0; i < messages.size(); ++i)
            messages[i] = WithSubCode(messages[i], i == 0 ? 0x01 : 0x02);
        state->presets[{s.value(QStringLiteral("simm")).toInt(), s.value(QStringLiteral("preset")).toInt()}] =
            std::move(messages);
    }

    const QJsonObject map = o.value(QStringLiteral("bankMap")).toObject();
    std::vector<int>& bankMap = module.state().bankMap;
    bankMap.assign(256, 0);
    for (int i = 0; i < 256; ++i) {
        const QJsonValue v = map.value(i < 128 ? QStringLiteral("first") : QStringLiteral("second"));
        bankMap[std::size_t(i)] = v.isString() ? (i % 128) : v.toInt();
    }
    module.state().dumps = std::move(state);

    module.setHandler(kCmdPresetDumpRequest, DumpRequest,
                      [](const QByteArray& q) { return q.size() > 8 ? Module::Get14(q, 7) : -1; });
    module.setHandler(kCmdPresetDump, PresetUpload, PacketNumberOf);
    for (int code : {kEof, kWait, kCancel, kNak, kAck})
        module.setHandler(code, HandshakeFromHost);
    module.setHandler(kCmdBankMapRequest, BankMapRequest);
    module.setHandler(kCmdBankMap, BankMapUpload);
}

} // namespace sim
