// The module's answers to its single commands: object names, the front panel
// (session, buttons and their echo), the display's screen dump, copies of
// presets, layers, arps and setups, randomising the edit buffer, MIDI Tuning
// Standard single-note changes, and the arp dump as far as a ROM arp's name
// needs it. Invented values come from the profile's "commands" key.
#include "sim/Module.h"

#include <QJsonObject>

namespace sim {

namespace {

constexpr int kCmdName = 0x0B;
constexpr int kCmdNameRequest = 0x0C;
constexpr int kCmdArpDump = 0x18;
constexpr int kCmdArpDumpRequest = 0x19;
constexpr int kCmdScreenDump = 0x1A;
constexpr int kCmdScreenDumpRequest = 0x1B;
constexpr int kCmdCopyPreset = 0x20;      // .. 0x24: whole preset, common, arp, FX, links
constexpr int kCmdCopyLayer = 0x25;       // .. 0x2A: whole layer, common, filter, LFO, envelopes, cords
constexpr int kCmdCopyLayerCords = 0x2A;
constexpr int kCmdCopyArp = 0x2B;
constexpr int kCmdCopySetup = 0x2C;
constexpr int kCmdFrontPanel = 0x40;
constexpr int kCmdRandomise = 0x71;
constexpr int kRouteSingleNoteTuning = UniversalRoute(0x7F, 0x08, 0x02);

constexpr int kEditBuffer = -1;
constexpr int kNameLength = 16;
constexpr int kScreenRowLength = 24;
constexpr int kPresetNameFirst = 899; // 899-914: the edit buffer's preset name, one character each
constexpr int kSetupNameFirst = 142;  // 142-157: the edit buffer's setup name

QJsonObject Commands(const Module& m) { return m.profile().raw.value(QStringLiteral("commands")).toObject(); }
QJsonObject Commands(const Module& m, const char* key) { return Commands(m).value(QLatin1String(key)).toObject(); }

int NoSuchObjectSubCode(const Module& m)
{
    return m.profile().raw.value(QStringLiteral("errorSubCodes")).toObject().value(QStringLiteral("noSuchObject")).toInt();
}

void RefuseMalformed(Module& m, Exchange& ex, int command, const QString& why)
{
    m.refuse(ex, command, m.profile().errorSubCodes.malformed, m.profile().policies.malformed, why);
}

void RefuseNoSuchObject(Module& m, Exchange& ex, int command, const QString& why)
{
    m.refuse(ex, command, NoSuchObjectSubCode(m), Refusal::ErrorReply, why);
}

bool IsKind(int kind) { return kind >= int(ObjectKind::Preset) && kind <= int(ObjectKind::Riff); }

// The character parameters of an edit-buffer name, blank padded.
void SetNameParameters(Module& m, int first, const QByteArray& name)
{
    const QByteArray padded = name.leftJustified(kNameLength, ' ', true);
    for (int i = 0; i < kNameLength; ++i)
        m.setParameterValue(first + i, uchar(padded[i]) & 0x7F);
}

QByteArray NameFromParameters(const Module& m, int first)
{
    QByteArray name;
    for (int i = 0; i < kNameLength; ++i)
        name.append(char(m.parameterValue(first + i).value_or(' ')));
    return name;
}

// F0 18 0F dd 55 0C kind object(2) SIMM(2) F7 -> F0 18 0F dd 55 0B kind object(2) SIMM(2) name(16) F7.
// An object past its bank's count answers as the profile's names.pastCount says.
void NameRequest(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    if (q.size() != 12) {
        RefuseMalformed(m, ex, kCmdNameRequest, QStringLiteral("length"));
        return;
    }
    const int kind = uchar(q[6]);
    const int index = Module::Get14(q, 7);
    const int simm = Module::Get14(q, 9);
    if (!IsKind(kind)) {
        RefuseNoSuchObject(m, ex, kCmdNameRequest, QStringLiteral("kind %1").arg(kind));
        return;
    }
    std::optional<QByteArray> name = m.objectName(ObjectKind(kind), simm, index);
    if (!name) {
        const QJsonObject policy = Commands(m, "names");
        if (policy.value(QStringLiteral("pastCount")).toString() != QLatin1String("placeholder")) {
            RefuseNoSuchObject(m, ex, kCmdNameRequest, QStringLiteral("no object %1 of SIMM %2").arg(index).arg(simm));
            return;
        }
        name = policy.value(QStringLiteral("placeholder")).toString().toLatin1().leftJustified(kNameLength, ' ', true);
        ex.note = QStringLiteral("placeholder name");
    }
    QByteArray d;
    d.append(char(kind));
    Module::Put14(d, index);
    Module::Put14(d, simm);
    d.append(*name);
    ex.replies.push_back(m.frame(kCmdName, d));
}

// F0 18 0F dd 55 19 arp(2) SIMM(2) F7 -> F0 18 0F dd 55 18 arp(2) A(2) B(2) 00 00 name(12)
// table(A x B values) SIMM(2) F7: only as much of an arp dump as the name needs; the table is zeros.
void ArpDumpRequest(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    const Profile& p = m.profile();
    if (!p.has(QStringLiteral("arpsAndBeats"))) {
        m.refuse(ex, kCmdArpDumpRequest, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no arps"));
        return;
    }
    if (q.size() != 11) {
        RefuseMalformed(m, ex, kCmdArpDumpRequest, QStringLiteral("length"));
        return;
    }
    const int arp = Module::Get14(q, 6);
    const int simm = Module::Get14(q, 8);
    const std::optional<QByteArray> name = m.objectName(ObjectKind::Arp, simm, arp);
    if (!name) {
        RefuseNoSuchObject(m, ex, kCmdArpDumpRequest, QStringLiteral("no arp %1 of SIMM %2").arg(arp).arg(simm));
        return;
    }
    const QJsonObject layout = Commands(m, "arpNameDump");
    const int steps = layout.value(QStringLiteral("steps")).toInt();
    const int perStep = layout.value(QStringLiteral("valuesPerStep")).toInt();
    QByteArray d;
    Module::Put14(d, arp);
    Module::Put14(d, steps);
    Module::Put14(d, perStep);
    Module::Put14(d, 0);
    d.append(name->left(12));
    d.append(QByteArray(steps * perStep * 2, '\0'));
    Module::Put14(d, simm);
    ex.replies.push_back(m.frame(kCmdArpDump, d));
}

// F0 18 0F dd 55 40 10 F7 opens a session, 40 11 closes it; neither is answered.
// F0 18 0F dd 55 40 20 button(2) state F7 is echoed whole. Inside a session, pressing
// (state 1) the profile's home button brings the display back to its home screen.
void FrontPanel(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    ModuleState& s = m.state();
    if (q.size() == 8 && (uchar(q[6]) == 0x10 || uchar(q[6]) == 0x11)) {
        s.frontPanelSession = uchar(q[6]) == 0x10;
        ex.note = s.frontPanelSession ? QStringLiteral("session opened") : QStringLiteral("session closed");
        return;
    }
    if (q.size() != 11 || uchar(q[6]) != 0x20) {
        RefuseMalformed(m, ex, kCmdFrontPanel, QStringLiteral("format"));
        return;
    }
    const int button = Module::Get14(q, 7);
    const bool down = uchar(q[9]) == 1;
    if (down) {
        s.buttonsPressed.push_back(button);
        const int home = Commands(m, "frontPanel").value(QStringLiteral("homeButton")).toInt(-1);
        if (s.frontPanelSession && button == home) {
            s.lcdRows[0] = m.profile().lcd.rows[0];
            s.lcdRows[1] = m.profile().lcd.rows[1];
        }
    }
    if (!s.frontPanelSession)
        ex.note = QStringLiteral("button outside a session");
    ex.replies.push_back(q);
}

// F0 18 0F dd 55 1B 01 F7 -> F0 18 0F dd 55 1A 01 unused columns T table(T) row0(24) row1(24) F7.
void ScreenDump(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    const Profile& p = m.profile();
    if (!p.has(QStringLiteral("lcd"))) {
        m.refuse(ex, kCmdScreenDumpRequest, p.errorSubCodes.unknownCommand, p.policies.unknownCommand,
                 QStringLiteral("no display access"));
        return;
    }
    if (q.size() != 8 || q[6] != 0x01) {
        RefuseMalformed(m, ex, kCmdScreenDumpRequest, QStringLiteral("format"));
        return;
    }
    const ModuleState& s = m.state();
    QByteArray d;
    d.append(char(0x01));
    d.append(char(Commands(m, "screenDump").value(QStringLiteral("unusedByte")).toInt() & 0x7F));
    d.append(char(p.lcd.columns & 0x7F));
    d.append(char(s.lcdCharacterTable.size() & 0x7F));
    d.append(s.lcdCharacterTable);
    for (const QByteArray& row : s.lcdRows) {
        QByteArray r = row.leftJustified(kScreenRowLength, ' ', true);
        for (char& c : r)
            c = char(c & 0x7F);
        d.append(r);
    }
    ex.replies.push_back(m.frame(kCmdScreenDump, d));
}

// Copies are not answered; what cannot be copied gets the module error.
void CopyPreset(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    const int command = ex.route;
    const bool layer = command >= kCmdCopyLayer;
    if (q.size() != (layer ? 17 : 13)) {
        RefuseMalformed(m, ex, command, QStringLiteral("length"));
        return;
    }
    // preset: source(2) destination(2) SIMM(2); layer: source(2) layer(2) destination(2) layer(2) SIMM(2)
    const int source = Module::Get14(q, 6);
    const int destination = Module::Get14(q, layer ? 10 : 8);
    const int simm = Module::Get14(q, layer ? 14 : 10);
    const std::optional<QByteArray> name = m.objectName(ObjectKind::Preset, simm, source);
    if (!name) {
        RefuseNoSuchObject(m, ex, command, QStringLiteral("no preset %1 of SIMM %2").arg(source).arg(simm));
        return;
    }
    if (destination != kEditBuffer && (destination < 0 || destination >= m.profile().userPresets)) {
        RefuseNoSuchObject(m, ex, command, QStringLiteral("no user preset %1").arg(destination));
        return;
    }
    if (layer) {
        const int sourceLayer = Module::Get14(q, 8);
        const int destinationLayer = Module::Get14(q, 12);
        // A source layer of -1 copies every layer ("All Layers" in the copy dialog).
        if (sourceLayer < -1 || sourceLayer > 3 || destinationLayer < 0 || destinationLayer > 3) {
            RefuseNoSuchObject(m, ex, command, QStringLiteral("no layer"));
            return;
        }
    }
    if (command == kCmdCopyPreset) {
        // A whole preset takes its name along.
        if (destination == kEditBuffer)
            SetNameParameters(m, kPresetNameFirst, *name);
        else
            m.state().names[{int(ObjectKind::Preset), 0, destination}] = *name;
    }
    ex.note = QStringLiteral("copied (0x%1)").arg(command, 2, 16, QLatin1Char('0'));
}

// F0 18 0F dd 55 2B source(2) destination(2) SIMM(2) F7: into a user arp, name included.
void CopyArp(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    if (q.size() != 13) {
        RefuseMalformed(m, ex, kCmdCopyArp, QStringLiteral("length"));
        return;
    }
    const int source = Module::Get14(q, 6);
    const int destination = Module::Get14(q, 8);
    const int simm = Module::Get14(q, 10);
    const std::optional<QByteArray> name = m.objectName(ObjectKind::Arp, simm, source);
    if (!name || destination < 0 || destination >= m.profile().userArps) {
        RefuseNoSuchObject(m, ex, kCmdCopyArp, QStringLiteral("arp %1 of SIMM %2 to %3").arg(source).arg(simm).arg(destination));
        return;
    }
    m.state().names[{int(ObjectKind::Arp), 0, destination}] = *name;
    ex.note = QStringLiteral("copied");
}

// F0 18 0F dd 55 2C source(2) destination(2) F7 between user setups and the edit buffer (-1).
// Loading a setup whose device id the test set (ModuleState::setupDeviceIds) moves the
// module to that id; storing the edit buffer stores the module's current id with it.
void CopySetup(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    if (q.size() != 11) {
        RefuseMalformed(m, ex, kCmdCopySetup, QStringLiteral("length"));
        return;
    }
    const int source = Module::Get14(q, 6);
    const int destination = Module::Get14(q, 8);
    auto valid = [&](int setup) { return setup == kEditBuffer || (setup >= 0 && setup < m.profile().userSetups); };
    if (!valid(source) || !valid(destination) || source == destination) {
        RefuseNoSuchObject(m, ex, kCmdCopySetup, QStringLiteral("setup %1 to %2").arg(source).arg(destination));
        return;
    }
    ModuleState& s = m.state();
    if (destination == kEditBuffer) {
        SetNameParameters(m, kSetupNameFirst, *m.objectName(ObjectKind::Setup, 0, source));
        const auto id = s.setupDeviceIds.find(source);
        if (id != s.setupDeviceIds.end() && id->second != m.deviceId()) {
            ex.note = QStringLiteral("loaded; device id %1 -> %2").arg(m.deviceId()).arg(id->second);
            m.setDeviceId(id->second);
            return;
        }
        ex.note = QStringLiteral("loaded");
        return;
    }
    if (source == kEditBuffer) {
        s.names[{int(ObjectKind::Setup), 0, destination}] = NameFromParameters(m, kSetupNameFirst);
        s.setupDeviceIds[destination] = m.deviceId();
    } else {
        s.names[{int(ObjectKind::Setup), 0, destination}] = *m.objectName(ObjectKind::Setup, 0, source);
        const auto id = s.setupDeviceIds.find(source);
        if (id != s.setupDeviceIds.end())
            s.setupDeviceIds[destination] = id->second;
        else
            s.setupDeviceIds.erase(destination);
    }
    ex.note = QStringLiteral("copied");
}

// F0 18 0F dd 55 71 7F 7F 00 00 F7: a new random preset in the edit buffer, named as the profile says.
void Randomise(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    if (q.size() != 11 || q.mid(6, 4) != QByteArray("\x7F\x7F\x00\x00", 4)) {
        RefuseMalformed(m, ex, kCmdRandomise, QStringLiteral("format"));
        return;
    }
    ++m.state().randomisations;
    SetNameParameters(m, kPresetNameFirst, Commands(m).value(QStringLiteral("randomisedPresetName")).toString().toLatin1());
    ex.note = QStringLiteral("randomised");
}

// F0 7F dd 08 02 tuning count (key semitone fine-high fine-low) x count F7, never answered.
// 7F 7F 7F means "no change" for its key; a message whose count does not fit its length is ignored.
void SingleNoteTuning(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    if (q.size() < 8 || q.size() != 8 + 4 * uchar(q[6])) {
        ex.note = QStringLiteral("ignored: %1 bytes for the count").arg(q.size());
        return;
    }
    const int tuning = uchar(q[5]);
    for (int at = 7; at + 4 < q.size(); at += 4) {
        const int key = uchar(q[at]);
        const std::array<int, 3> value{uchar(q[at + 1]), uchar(q[at + 2]), uchar(q[at + 3])};
        if (value == std::array<int, 3>{0x7F, 0x7F, 0x7F})
            continue;
        m.state().noteTunings[{tuning, key}] = value;
    }
    ex.note = QStringLiteral("%1 changes to tuning %2").arg(uchar(q[6])).arg(tuning);
}

int IdAt(const QByteArray& q, int at) { return q.size() > at + 1 ? Module::Get14(q, at) : -1; }

} // namespace

void InstallCommandHandlers(Module& module)
{
    module.setHandler(kCmdNameRequest, NameRequest, [](const QByteArray& q) { return IdAt(q, 7); });
    module.setHandler(kCmdArpDumpRequest, ArpDumpRequest, [](const QByteArray& q) { return IdAt(q, 6); });
    module.setHandler(kCmdFrontPanel, FrontPanel,
                      [](const QByteArray& q) { return q.size() == 11 ? Module::Get14(q, 7) : -1; });
    module.setHandler(kCmdScreenDumpRequest, ScreenDump);
    for (int command = kCmdCopyPreset; command <= kCmdCopyLayerCords; ++command)
        module.setHandler(command, CopyPreset, [](const QByteArray& q) { return IdAt(q, 6); });
    module.setHandler(kCmdCopyArp, CopyArp, [](const QByteArray& q) { return IdAt(q, 6); });
    module.setHandler(kCmdCopySetup, CopySetup, [](const QByteArray& q) { return IdAt(q, 6); });
    module.setHandler(kCmdRandomise, Randomise);
    module.setHandler(kRouteSingleNoteTuning, SingleNoteTuning);
}

} // namespace sim
