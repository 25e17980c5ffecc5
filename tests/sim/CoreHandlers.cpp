// The module's answers to identification, hardware configuration and the
// parameter messages (value request, range request, edit).
#include "sim/Module.h"

namespace sim {

namespace {

constexpr int kCmdParameterEdit = 0x01;
constexpr int kCmdParameterRequest = 0x02;
constexpr int kCmdParameterMinMax = 0x03;
constexpr int kCmdParameterMinMaxRequest = 0x04;
constexpr int kCmdHardwareConfig = 0x09;
constexpr int kCmdHardwareConfigRequest = 0x0A;

// F0 7E dd 06 01 F7 -> F0 7E id 06 02 maker family(2) member(2) revision(4) F7, under the
// module's own id even when asked with the all-call id.
void IdentityRequest(Module& m, Exchange& ex)
{
    if (ex.request.size() != 6) {
        ex.note = QStringLiteral("ignored: identity request of %1 bytes").arg(ex.request.size());
        return;
    }
    const sim::Identity& id = m.profile().identity;
    QByteArray r;
    r.append(char(0xF0));
    r.append(char(0x7E));
    r.append(char(m.deviceId()));
    r.append(char(0x06));
    r.append(char(0x02));
    r.append(char(id.manufacturer & 0x7F));
    Module::Put14(r, id.family);
    Module::Put14(r, id.member);
    r.append(id.revision.left(4).leftJustified(4, ' '));
    r.append(char(0xF7));
    ex.replies.push_back(r);
}

// F0 18 0F dd 55 0A F7 -> F0 18 0F dd 55 09 unused users(2) n L n*L F7
void HardwareConfig(Module& m, Exchange& ex)
{
    const Profile& p = m.profile();
    if (ex.request.size() != 7) {
        m.refuse(ex, kCmdHardwareConfigRequest, p.errorSubCodes.malformed, p.policies.malformed,
                 QStringLiteral("length"));
        return;
    }
    QByteArray d;
    d.append(char(p.hardwareConfigUnusedByte));
    Module::Put14(d, p.userPresets);
    d.append(char(p.simms.size()));
    d.append(char(p.simmRecordLength));
    for (const SimmDef& s : p.simms) {
        QByteArray rec;
        for (int v : {s.id, s.presets, s.instruments, s.arps, s.demos, s.riffs})
            Module::Put14(rec, v);
        rec = rec.left(p.simmRecordLength).leftJustified(p.simmRecordLength, '\0');
        d.append(rec);
    }
    ex.replies.push_back(m.frame(kCmdHardwareConfig, d));
}

bool Known(Module& m, Exchange& ex, int command, int id)
{
    if (m.profile().parameter(id))
        return true;
    m.refuse(ex, command, m.profile().errorSubCodes.unknownParameter, m.profile().policies.unknownParameter,
             QStringLiteral("no parameter %1").arg(id));
    return false;
}

// F0 18 0F dd 55 02 01 id(2) F7 -> F0 18 0F dd 55 01 02 id(2) value(2) F7
void ParameterRequest(Module& m, Exchange& ex)
{
    const Profile& p = m.profile();
    const QByteArray& q = ex.request;
    if (q.size() != 10 || q[6] != 0x01) {
        m.refuse(ex, kCmdParameterRequest, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("format"));
        return;
    }
    const int id = Module::Get14(q, 7);
    if (!Known(m, ex, kCmdParameterRequest, id))
        return;
    QByteArray d;
    d.append(char(0x02));
    Module::Put14(d, id);
    Module::Put14(d, m.parameterValue(id).value_or(0));
    ex.replies.push_back(m.frame(kCmdParameterEdit, d));
}

// F0 18 0F dd 55 04 id(2) F7 -> F0 18 0F dd 55 03 id(2) min(2) max(2) default(2) ro F7
void ParameterMinMax(Module& m, Exchange& ex)
{
    const Profile& p = m.profile();
    const QByteArray& q = ex.request;
    if (q.size() != 9) {
        m.refuse(ex, kCmdParameterMinMaxRequest, p.errorSubCodes.malformed, p.policies.malformed,
                 QStringLiteral("format"));
        return;
    }
    const int id = Module::Get14(q, 6);
    if (!Known(m, ex, kCmdParameterMinMaxRequest, id))
        return;
    const ParameterDef& param = *p.parameter(id);
    QByteArray d;
    Module::Put14(d, id);
    Module::Put14(d, param.minimum);
    Module::Put14(d, param.maximum);
    Module::Put14(d, param.defaultValue);
    d.append(char(param.readOnly ? 1 : 0));
    ex.replies.push_back(m.frame(kCmdParameterMinMax, d));
}

// F0 18 0F dd 55 01 02 id(2) value(2) F7: no reply unless refused. An edit of 388 moves the
// module to the new device id once this message is done, so the edit itself still had the old one.
void ParameterEdit(Module& m, Exchange& ex)
{
    const Profile& p = m.profile();
    const QByteArray& q = ex.request;
    if (q.size() != 12 || q[6] != 0x02) {
        m.refuse(ex, kCmdParameterEdit, p.errorSubCodes.malformed, p.policies.malformed, QStringLiteral("format"));
        return;
    }
    const int id = Module::Get14(q, 7);
    int value = Module::Get14(q, 9);
    if (!Known(m, ex, kCmdParameterEdit, id))
        return;
    const ParameterDef& param = *p.parameter(id);
    if (param.readOnly) {
        if (p.policies.readOnlyEdit == ReadOnlyEdit::ErrorReply)
            m.refuse(ex, kCmdParameterEdit, p.errorSubCodes.readOnly, Refusal::ErrorReply, QStringLiteral("read-only"));
        else
            ex.note = QStringLiteral("ignored: read-only");
        return;
    }
    if (value < param.minimum || value > param.maximum) {
        switch (p.policies.outOfRangeEdit) {
        case OutOfRange::Clamp:
            ex.note = QStringLiteral("clamped %1").arg(value);
            value = std::clamp(value, param.minimum, param.maximum);
            break;
        case OutOfRange::Ignore:
            ex.note = QStringLiteral("ignored: %1 out of range").arg(value);
            return;
        case OutOfRange::ErrorReply:
            m.refuse(ex, kCmdParameterEdit, p.errorSubCodes.outOfRange, Refusal::ErrorReply,
                     QStringLiteral("out of range"));
            return;
        }
    }
    m.setParameterValue(id, value);
}

int IdAt(const QByteArray& q, int at) { return q.size() > at + 1 ? Module::Get14(q, at) : -1; }

} // namespace

void InstallCoreHandlers(Module& module)
{
    module.setHandler(kRouteIdentityRequest, IdentityRequest);
    module.setHandler(kCmdHardwareConfigRequest, HardwareConfig);
    module.setHandler(kCmdParameterRequest, ParameterRequest, [](const QByteArray& q) { return IdAt(q, 7); });
    module.setHandler(kCmdParameterMinMaxRequest, ParameterMinMax, [](const QByteArray& q) { return IdAt(q, 6); });
    module.setHandler(kCmdParameterEdit, ParameterEdit, [](const QByteArray& q) { return IdAt(q, 7); });
}

} // namespace sim
