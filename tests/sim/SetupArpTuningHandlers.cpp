// The module's single-message object dumps in both directions: the setup edit
// buffer (55 1D -> 55 1C, upload 55 1C), arp patterns (55 19 -> 55 18, upload
// 55 18) and user tunings in the MIDI Tuning Standard bulk dump format
// (F0 7E dd 08 00 tt F7 -> F0 7E dd 08 01 tt ... F7, upload the same).
//
// The setup dump is kept consistent with the parameter table: the module holds
// the dump as last built or uploaded (slots it does not model, and trailing
// bytes real modules send, keep their bytes), writes every modelled
// parameter's current value into its slot when it answers, and takes the
// values back out of an upload. The slot of every value is found by walking
// the section counts of the dump at hand, never by fixed offsets: an upload
// with other counts than the profile's is taken as it stands. The value in the
// master device id's slot (388) becomes the module's device id after an upload.
//
// Layouts, counts, contents and policies come from the profile ("setupDump",
// "arpDumps", "tuningDumps" in data/profiles.json); the real captures named
// there are built in as resources under :/sim/captures/.
#include "sim/Module.h"

#include <QFile>
#include <QJsonArray>
#include <QJsonObject>

#include <memory>

namespace sim {

namespace {

constexpr int kCmdArpDump = 0x18;
constexpr int kCmdArpDumpRequest = 0x19;
constexpr int kCmdSetupDump = 0x1C;
constexpr int kCmdSetupDumpRequest = 0x1D;
constexpr int kRouteTuningRequest = UniversalRoute(0x7E, 0x08, 0x00);
constexpr int kRouteTuningDump = UniversalRoute(0x7E, 0x08, 0x01);

constexpr int kSetupCountsAt = 6;  // five section counts, channel count, values per channel
constexpr int kSetupNameAt = 20;   // 16 name bytes
constexpr int kSetupHeader = 36;   // first value of the first section
constexpr int kSections = 5;       // master, MIDI, effects, arp, multimode globals

constexpr int kArpNameAt = 14;     // 12 name bytes
constexpr int kArpTableAt = 26;
constexpr int kArpNameLength = 12;

constexpr int kTuningNameLength = 16;
constexpr int kTuningBodyLength = kTuningNameLength + 128 * 3; // after F0 7E dd 08 01 tt
constexpr int kTuningDumpLength = 6 + kTuningBodyLength + 2;  // + checksum, F7: 408

constexpr int kUnmapped = -1;

// ---- configuration from the profile ----------------------------------------------------

struct SetupConfig {
    bool valid = false;
    int counts[kSections] = {};
    int perChannel = 0;
    int triggers = 0;
    int perTrigger = 0;
    int parts = 0;
    int perPart = 0;
    std::vector<int> slotIds[kSections];
    std::vector<int> channelSlots;
    std::vector<int> triggerSlots;
    std::vector<int> partSlots;
    std::vector<int> channelPreset; // {value slot, SIMM slot} of the channel's preset
    QByteArray image;               // the capture the edit buffer starts from, if any
};

struct ArpConfig {
    int steps = 0;
    int perStep = 0;
    bool placeholderPastCount = true;
    std::vector<std::pair<std::pair<int, int>, QByteArray>> stored; // {SIMM, arp} -> capture
};

struct TuningConfig {
    int programs = 0;
    bool xorChecksum = true;      // the module's own dumps: real checksum or 0x7F
    bool strictUpload = false;    // an upload's checksum must be the real one (0x7F refused)
};

struct Config {
    SetupConfig setup;
    ArpConfig arp;
    TuningConfig tuning;
};

QByteArray ReadCapture(const QString& name)
{
    QFile file(QStringLiteral(":/sim/captures/") + name);
    if (!file.open(QIODevice::ReadOnly))
        qFatal("simulated module: capture \"%s\" is not built in", qPrintable(name));
    return file.readAll();
}

std::vector<int> Slots(const QJsonValue& v)
{
    std::vector<int> out;
    for (const QJsonValue& slot : v.toArray())
        out.push_back(slot.isDouble() ? slot.toInt() : kUnmapped);
    return out;
}

Config ReadConfig(const Profile& p)
{
    Config c;
    const QJsonObject setup = p.raw.value(QStringLiteral("setupDump")).toObject();
    if (!setup.isEmpty()) {
        SetupConfig& s = c.setup;
        const QJsonArray counts = setup.value(QStringLiteral("counts")).toArray();
        for (int i = 0; i < kSections; ++i)
            s.counts[i] = counts.at(i).toInt();
        s.perChannel = setup.value(QStringLiteral("channelValues")).toInt();
        const QJsonArray triggers = setup.value(QStringLiteral("triggers")).toArray();
        s.triggers = triggers.at(0).toInt();
        s.perTrigger = triggers.at(1).toInt();
        const QJsonArray parts = setup.value(QStringLiteral("parts")).toArray();
        s.parts = parts.at(0).toInt();
        s.perPart = parts.at(1).toInt();
        const QJsonObject slotIds = setup.value(QStringLiteral("slots")).toObject();
        const char* const names[kSections] = {"master", "midi", "effects", "arp", "multimode"};
        for (int i = 0; i < kSections; ++i)
            s.slotIds[i] = Slots(slotIds.value(QLatin1String(names[i])));
        s.channelSlots = Slots(slotIds.value(QStringLiteral("channel")));
        s.triggerSlots = Slots(slotIds.value(QStringLiteral("trigger")));
        s.partSlots = Slots(slotIds.value(QStringLiteral("part")));
        s.channelPreset = Slots(setup.value(QStringLiteral("channelPreset")));
        const QString image = setup.value(QStringLiteral("image")).toString();
        if (!image.isEmpty())
            s.image = ReadCapture(image);
        s.valid = true;
    }
    const QJsonObject arp = p.raw.value(QStringLiteral("arpDumps")).toObject();
    c.arp.steps = arp.value(QStringLiteral("steps")).toInt();
    c.arp.perStep = arp.value(QStringLiteral("valuesPerStep")).toInt();
    c.arp.placeholderPastCount = arp.value(QStringLiteral("pastCount")).toString() != QLatin1String("error");
    for (const QJsonValue& v : arp.value(QStringLiteral("captures")).toArray()) {
        const QJsonObject o = v.toObject();
        c.arp.stored.push_back({{o.value(QStringLiteral("simm")).toInt(), o.value(QStringLiteral("arp")).toInt()},
                                ReadCapture(o.value(QStringLiteral("file")).toString())});
    }
    const QJsonObject tuning = p.raw.value(QStringLiteral("tuningDumps")).toObject();
    c.tuning.programs = tuning.value(QStringLiteral("programs")).toInt();
    c.tuning.xorChecksum = tuning.value(QStringLiteral("checksum")).toString() != QLatin1String("7F");
    c.tuning.strictUpload = tuning.value(QStringLiteral("uploadChecksum")).toString() == QLatin1String("strict");
    return c;
}

int NoSuchObjectSubCode(const Profile& p)
{
    return p.raw.value(QStringLiteral("errorSubCodes")).toObject().value(QStringLiteral("noSuchObject")).toInt();
}

// ---- bytes --------------------------------------------------------------------------------

void Set14(QByteArray& bytes, int at, int value)
{
    const int v = (value < 0 ? value + 0x4000 : value) & 0x3FFF;
    bytes[at] = char(v & 0x7F);
    bytes[at + 1] = char(v >> 7);
}

bool IsFramed(const QByteArray& m, int command)
{
    return m.size() >= 7 && uchar(m[0]) == 0xF0 && uchar(m[1]) == 0x18 && uchar(m[2]) == 0x0F && uchar(m[4]) == 0x55
        && uchar(m[5]) == command && uchar(m.back()) == 0xF7;
}

// ---- the setup dump's layout, walked from its own counts ----------------------------------

struct SetupLayout {
    int counts[kSections] = {};
    int sectionAt[kSections] = {};
    int channels = 0;
    int perChannel = 0;
    int channelsAt = 0;
    int triggers = 0;
    int perTrigger = 0;
    int triggersAt = -1;
    int parts = 0;
    int perPart = 0;
    int partsAt = -1;
};

// The layout of a setup dump, or nullopt (*why) when it is not one: every count
// non-negative, every block inside the message before its F7. Bytes after the
// last block are allowed (real modules send them).
std::optional<SetupLayout> ParseSetup(const QByteArray& m, QString* why)
{
    auto fail = [why](const QString& text) {
        *why = text;
        return std::nullopt;
    };
    if (!IsFramed(m, kCmdSetupDump) || m.size() < kSetupHeader + 1)
        return fail(QStringLiteral("not a setup dump"));
    const qint64 last = m.size() - 1; // the F7
    SetupLayout l;
    qint64 at = kSetupHeader;
    for (int i = 0; i < kSections; ++i) {
        l.counts[i] = Module::Get14(m, kSetupCountsAt + 2 * i);
        if (l.counts[i] < 0)
            return fail(QStringLiteral("negative section count"));
        l.sectionAt[i] = int(at);
        at += 2 * qint64(l.counts[i]);
    }
    l.channels = Module::Get14(m, 16);
    l.perChannel = Module::Get14(m, 18);
    if (l.channels < 0 || l.perChannel < 0)
        return fail(QStringLiteral("negative channel count"));
    l.channelsAt = int(at);
    at += 2 * qint64(l.channels) * l.perChannel;
    if (at > last)
        return fail(QStringLiteral("shorter than its counts"));
    if (at + 4 <= last) {
        l.triggersAt = int(at + 4);
        l.triggers = Module::Get14(m, int(at));
        l.perTrigger = Module::Get14(m, int(at) + 2);
        if (l.triggers < 0 || l.perTrigger < 0)
            return fail(QStringLiteral("negative trigger count"));
        at += 4 + 2 * qint64(l.triggers) * l.perTrigger;
        if (at > last)
            return fail(QStringLiteral("shorter than its trigger counts"));
        if (at + 4 <= last) {
            l.partsAt = int(at + 4);
            l.parts = Module::Get14(m, int(at));
            l.perPart = Module::Get14(m, int(at) + 2);
            if (l.parts < 0 || l.perPart < 0)
                return fail(QStringLiteral("negative part count"));
            if (at + 4 + 2 * qint64(l.parts) * l.perPart > last)
                return fail(QStringLiteral("shorter than its part counts"));
        }
    }
    return l;
}

// Calls f(id, place, byte offset) for every modelled value slot of the dump.
template <class F>
void ForEachSlot(const SetupConfig& c, const SetupLayout& l, F&& f)
{
    for (int s = 0; s < kSections; ++s)
        for (int i = 0; i < l.counts[s] && i < int(c.slotIds[s].size()); ++i)
            if (c.slotIds[s][i] != kUnmapped)
                f(c.slotIds[s][i], std::vector<int>{}, l.sectionAt[s] + 2 * i);
    for (int ch = 0; ch < l.channels; ++ch)
        for (int i = 0; i < l.perChannel && i < int(c.channelSlots.size()); ++i)
            if (c.channelSlots[i] != kUnmapped)
                f(c.channelSlots[i], std::vector<int>{ch}, l.channelsAt + 2 * (ch * l.perChannel + i));
    for (int t = 0; l.triggersAt >= 0 && t < l.triggers; ++t)
        for (int i = 0; i < l.perTrigger && i < int(c.triggerSlots.size()); ++i)
            if (c.triggerSlots[i] != kUnmapped)
                f(c.triggerSlots[i], std::vector<int>{t}, l.triggersAt + 2 * (t * l.perTrigger + i));
    for (int p = 0; l.partsAt >= 0 && p < l.parts; ++p)
        for (int i = 0; i < l.perPart && i < int(c.partSlots.size()); ++i)
            if (c.partSlots[i] != kUnmapped)
                f(c.partSlots[i], std::vector<int>{p}, l.partsAt + 2 * (p * l.perPart + i));
}

// Where the master device id (388) sits in this dump, or -1.
int DeviceIdSlot(const SetupConfig& c, const SetupLayout& l)
{
    int found = -1;
    ForEachSlot(c, l, [&](int id, const std::vector<int>&, int at) {
        if (id == 388 && found < 0)
            found = at;
    });
    return found;
}

// A setup dump of the profile's own counts, every value 0 and the name blank;
// the channels play presets 0, 1, 2 ... of the user bank.
QByteArray BuildSetupImage(const Module& m, const SetupConfig& c)
{
    QByteArray d;
    for (int n : c.counts)
        Module::Put14(d, n);
    Module::Put14(d, m.profile().channels);
    Module::Put14(d, c.perChannel);
    d.append(QByteArray(16, ' '));
    int values = 0;
    for (int n : c.counts)
        values += n;
    d.append(QByteArray(2 * (values + m.profile().channels * c.perChannel), '\0'));
    if (c.triggers > 0 || c.parts > 0) {
        Module::Put14(d, c.triggers);
        Module::Put14(d, c.perTrigger);
        d.append(QByteArray(2 * c.triggers * c.perTrigger, '\0'));
        Module::Put14(d, c.parts);
        Module::Put14(d, c.perPart);
        d.append(QByteArray(2 * c.parts * c.perPart, '\0'));
    }
    QByteArray image = m.frame(kCmdSetupDump, d);
    QString why;
    const std::optional<SetupLayout> l = ParseSetup(image, &why);
    if (!l)
        qFatal("simulated module: the profile's setup layout is bad: %s", qPrintable(why));
    if (c.channelPreset.size() == 2)
        for (int ch = 0; ch < l->channels; ++ch)
            Set14(image, l->channelsAt + 2 * (ch * l->perChannel + c.channelPreset[0]), ch);
    return image;
}

// Takes every modelled value of a setup dump into the module (not the device id).
void TakeSetupValues(Module& m, const SetupConfig& c, const QByteArray& image, const SetupLayout& l)
{
    ForEachSlot(c, l, [&](int id, const std::vector<int>& place, int at) {
        if (id != 388)
            m.setParameterValueAt(id, place, Module::Get14(image, at));
    });
    for (int k = 0; k < 16; ++k)
        m.setParameterValueAt(142 + k, {}, uchar(image[kSetupNameAt + k]));
}

// ---- setup -------------------------------------------------------------------------------

// F0 18 0F dd 55 1D F7 -> the setup dump with the current values.
void SetupRequest(Module& m, Exchange& ex, const SetupConfig& c)
{
    const Profile& p = m.profile();
    if (!c.valid || !p.has(QStringLiteral("setupDumps"))) {
        m.refuse(ex, kCmdSetupDumpRequest, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no setup dumps"));
        return;
    }
    if (ex.request.size() != 7) {
        m.refuse(ex, kCmdSetupDumpRequest, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("length"));
        return;
    }
    QByteArray& image = m.state().setupImage;
    if (image.isEmpty())
        image = BuildSetupImage(m, c);
    QString why;
    const std::optional<SetupLayout> l = ParseSetup(image, &why);
    QByteArray reply = image;
    reply[3] = char(m.deviceId());
    ForEachSlot(c, *l, [&](int id, const std::vector<int>& place, int at) {
        const std::optional<int> v = id == 388 ? std::optional<int>(m.deviceId()) : m.parameterValueAt(id, place);
        if (v)
            Set14(reply, at, *v);
    });
    for (int k = 0; k < 16; ++k)
        if (const std::optional<int> ch = m.parameterValue(142 + k))
            reply[kSetupNameAt + k] = char(*ch & 0x7F);
    ex.replies.push_back(reply);
}

// F0 18 0F dd 55 1C ... F7: becomes the edit buffer; the value in the device id's
// slot becomes the module's device id once the message is done. No reply.
void SetupUpload(Module& m, Exchange& ex, const SetupConfig& c)
{
    const Profile& p = m.profile();
    if (!c.valid || !p.has(QStringLiteral("setupDumps"))) {
        m.refuse(ex, kCmdSetupDump, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no setup dumps"));
        return;
    }
    QString why;
    const std::optional<SetupLayout> l = ParseSetup(ex.request, &why);
    if (!l) {
        m.refuse(ex, kCmdSetupDump, p.errorSubCodes.malformed, p.policies.malformed, why);
        return;
    }
    m.state().setupImage = ex.request;
    TakeSetupValues(m, c, ex.request, *l);
    const int slot = DeviceIdSlot(c, *l);
    if (slot >= 0) {
        const int id = Module::Get14(ex.request, slot);
        if (id != m.deviceId()) {
            ex.note = QStringLiteral("device id %1 -> %2").arg(m.deviceId()).arg(id);
            m.setDeviceId(id);
        }
    }
}

// ---- arp ---------------------------------------------------------------------------------

QByteArray BuildArp(const Module& m, const ArpConfig& c, int simm, int arp, const QByteArray& name)
{
    QByteArray d;
    Module::Put14(d, arp);
    Module::Put14(d, c.steps);
    Module::Put14(d, c.perStep);
    Module::Put14(d, 0); // the loop point
    d.append(name.left(kArpNameLength).leftJustified(kArpNameLength, ' '));
    for (int s = 0; s < c.steps; ++s) {
        const int step[4] = {(s * 7 + arp) % 25 - 12, 64 + (s * 5 + simm) % 64, 1 + (s + arp) % 24, s % 3};
        for (int v = 0; v < c.perStep; ++v)
            Module::Put14(d, v < 4 ? step[v] : 0);
    }
    Module::Put14(d, simm); // the SIMM the arp lives in
    return m.frame(kCmdArpDump, d);
}

// F0 18 0F dd 55 19 arp(2) simm(2) F7 -> F0 18 0F dd 55 18 arp(2) A(2) B(2) x(2) name(12) A*B values field(2) F7
void ArpRequest(Module& m, Exchange& ex, const ArpConfig& c)
{
    const Profile& p = m.profile();
    if (!p.has(QStringLiteral("arpsAndBeats"))) {
        m.refuse(ex, kCmdArpDumpRequest, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no arps"));
        return;
    }
    if (ex.request.size() != 11) {
        m.refuse(ex, kCmdArpDumpRequest, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("length"));
        return;
    }
    const int arp = Module::Get14(ex.request, 6);
    const int simm = Module::Get14(ex.request, 8);
    const auto stored = m.state().arps.find({simm, arp});
    if (stored != m.state().arps.end()) {
        QByteArray reply = stored->second;
        reply[3] = char(m.deviceId());
        Set14(reply, 6, arp);
        ex.replies.push_back(reply);
        return;
    }
    const std::optional<QByteArray> name = m.objectName(ObjectKind::Arp, simm, arp);
    if (!name && !c.placeholderPastCount) {
        m.refuse(ex, kCmdArpDumpRequest, NoSuchObjectSubCode(p), Refusal::ErrorReply, QStringLiteral("no such arp"));
        return;
    }
    ex.replies.push_back(BuildArp(m, c, simm, arp, name.value_or(QByteArray("(not instld)"))));
    if (!name)
        ex.note = QStringLiteral("placeholder arp");
}

// F0 18 0F dd 55 18 ... F7 into the user arp its bytes 6-7 name; the name goes to the name list.
void ArpUpload(Module& m, Exchange& ex, const ArpConfig&)
{
    const Profile& p = m.profile();
    if (!p.has(QStringLiteral("arpsAndBeats"))) {
        m.refuse(ex, kCmdArpDump, p.errorSubCodes.unknownCommand, p.policies.unknownCommand, QStringLiteral("no arps"));
        return;
    }
    const QByteArray& q = ex.request;
    const int steps = Module::Get14(q, 8);
    const int perStep = Module::Get14(q, 10);
    if (!IsFramed(q, kCmdArpDump) || q.size() < kArpTableAt + 3 || steps < 0 || perStep < 0
        || qint64(q.size()) != kArpTableAt + 2 * qint64(steps) * perStep + 3) {
        m.refuse(ex, kCmdArpDump, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("arp layout"));
        return;
    }
    const int arp = Module::Get14(q, 6);
    if (arp < 0 || arp >= m.objectCount(ObjectKind::Arp, 0)) {
        m.refuse(ex, kCmdArpDump, NoSuchObjectSubCode(p), Refusal::ErrorReply, QStringLiteral("no such user arp"));
        return;
    }
    m.state().arps[{0, arp}] = q;
    m.state().names[{int(ObjectKind::Arp), 0, arp}] = q.mid(kArpNameAt, kArpNameLength).leftJustified(16, ' ');
}

// ---- tunings -----------------------------------------------------------------------------

int TuningChecksum(const QByteArray& m)
{
    // The MIDI Tuning Standard: XOR of everything after F0 up to the checksum.
    int x = 0;
    for (int i = 1; i < m.size() - 2; ++i)
        x ^= uchar(m[i]);
    return x & 0x7F;
}

QByteArray DefaultTuning(int program)
{
    QByteArray body = QStringLiteral("User Tuning %1").arg(program + 1).toLatin1().leftJustified(kTuningNameLength, ' ');
    for (int n = 0; n < 128; ++n) {
        body.append(char(n));
        body.append(char((n * 13 + program * 7) & 0x7F));
        body.append(char((n * 5 + program) & 0x7F));
    }
    return body;
}

// F0 7E dd 08 00 tt F7 -> F0 7E dd 08 01 tt name(16) {xx yy zz} x 128 checksum F7 (408 bytes).
void TuningRequest(Module& m, Exchange& ex, const TuningConfig& c)
{
    const QByteArray& q = ex.request;
    if (!m.profile().has(QStringLiteral("tuningDumps"))) {
        ex.note = QStringLiteral("ignored: no tuning dumps");
        return;
    }
    if (q.size() != 7) {
        ex.note = QStringLiteral("ignored: tuning request of %1 bytes").arg(q.size());
        return;
    }
    const int program = uchar(q[5]);
    if (program >= c.programs) {
        ex.note = QStringLiteral("ignored: no tuning %1").arg(program);
        return;
    }
    QByteArray& body = m.state().tunings[program];
    if (body.isEmpty())
        body = DefaultTuning(program);
    QByteArray r;
    r.append(char(0xF0));
    r.append(char(0x7E));
    r.append(char(m.deviceId()));
    r.append(char(0x08));
    r.append(char(0x01));
    r.append(char(program));
    r.append(body);
    r.append(char(0x7F));
    r.append(char(0xF7));
    if (c.xorChecksum)
        r[r.size() - 2] = char(TuningChecksum(r));
    ex.replies.push_back(r);
}

// F0 7E dd 08 01 tt ... F7: stored as tuning tt; 0x7F as checksum is taken unless the profile is strict.
void TuningUpload(Module& m, Exchange& ex, const TuningConfig& c)
{
    const QByteArray& q = ex.request;
    if (!m.profile().has(QStringLiteral("tuningDumps"))) {
        ex.note = QStringLiteral("ignored: no tuning dumps");
        return;
    }
    if (q.size() != kTuningDumpLength || uchar(q.back()) != 0xF7) {
        ex.note = QStringLiteral("ignored: tuning dump of %1 bytes").arg(q.size());
        return;
    }
    const int program = uchar(q[5]);
    const int checksum = uchar(q[q.size() - 2]);
    if (program >= c.programs) {
        ex.note = QStringLiteral("ignored: no tuning %1").arg(program);
        return;
    }
    if (checksum != TuningChecksum(q) && (c.strictUpload || checksum != 0x7F)) {
        ex.note = QStringLiteral("ignored: checksum %1").arg(checksum, 2, 16, QLatin1Char('0'));
        return;
    }
    m.state().tunings[program] = q.mid(6, kTuningBodyLength);
}

int Value14At(const QByteArray& q, int at) { return q.size() > at + 1 ? Module::Get14(q, at) : -1; }
int ByteAt(const QByteArray& q, int at) { return q.size() > at ? uchar(q[at]) : -1; }

} // namespace

void InstallSetupArpTuningHandlers(Module& module)
{
    auto config = std::make_shared<const Config>(ReadConfig(module.profile()));

    // The edit buffer starts from the profile's capture, if it names one.
    if (config->setup.valid && !config->setup.image.isEmpty()) {
        QString why;
        const std::optional<SetupLayout> l = ParseSetup(config->setup.image, &why);
        if (!l)
            qFatal("simulated module: the setup capture is no setup dump: %s", qPrintable(why));
        module.state().setupImage = config->setup.image;
        TakeSetupValues(module, config->setup, config->setup.image, *l);
    }
    for (const auto& [key, bytes] : config->arp.stored)
        module.state().arps[key] = bytes;

    module.setHandler(kCmdSetupDumpRequest, [config](Module& m, Exchange& ex) { SetupRequest(m, ex, config->setup); });
    module.setHandler(kCmdSetupDump, [config](Module& m, Exchange& ex) { SetupUpload(m, ex, config->setup); });
    module.setHandler(
        kCmdArpDumpRequest, [config](Module& m, Exchange& ex) { ArpRequest(m, ex, config->arp); },
        [](const QByteArray& q) { return Value14At(q, 6); });
    module.setHandler(
        kCmdArpDump, [config](Module& m, Exchange& ex) { ArpUpload(m, ex, config->arp); },
        [](const QByteArray& q) { return Value14At(q, 6); });
    module.setHandler(
        kRouteTuningRequest, [config](Module& m, Exchange& ex) { TuningRequest(m, ex, config->tuning); },
        [](const QByteArray& q) { return ByteAt(q, 5); });
    module.setHandler(
        kRouteTuningDump, [config](Module& m, Exchange& ex) { TuningUpload(m, ex, config->tuning); },
        [](const QByteArray& q) { return ByteAt(q, 5); });
}

} // namespace sim
