// The module's answer to short messages on its input: bank select (CC 0 the
// ROM id, CC 32 the preset number / 128) and program change choose a channel's
// preset, but only on a channel that is on (135) and takes program changes (137).
#include "sim/Module.h"

namespace sim {

namespace {

constexpr int kControlChange = 0xB0;
constexpr int kProgramChange = 0xC0;
constexpr int kBankSelectMsb = 0;
constexpr int kBankSelectLsb = 32;
constexpr int kChannelEnable = 135;
constexpr int kReceiveProgramChange = 137;

void ShortMessage(Module& m, Exchange& ex)
{
    const QByteArray& q = ex.request;
    if (q.isEmpty())
        return;
    const int status = uchar(q[0]);
    const int channel = status & 0x0F;
    ChannelProgram& program = m.state().programs[channel];
    if ((status & 0xF0) == kControlChange && q.size() == 3) {
        if (uchar(q[1]) == kBankSelectMsb)
            program.bankMsb = uchar(q[2]);
        else if (uchar(q[1]) == kBankSelectLsb)
            program.bankLsb = uchar(q[2]);
    } else if ((status & 0xF0) == kProgramChange && q.size() == 2) {
        const bool on = m.parameterValueAt(kChannelEnable, {channel}).value_or(0) != 0;
        const bool takes = m.parameterValueAt(kReceiveProgramChange, {channel}).value_or(0) != 0;
        if (!on || !takes) {
            ex.note = QStringLiteral("ignored: channel %1 %2").arg(channel).arg(on ? "takes no program change" : "is off");
            return;
        }
        program.preset = program.bankLsb * 128 + uchar(q[1]);
        program.romId = program.bankMsb;
        ex.note = QStringLiteral("channel %1: preset %2 of ROM %3").arg(channel).arg(program.preset).arg(program.romId);
    }
}

} // namespace

void InstallChannelHandlers(Module& module)
{
    module.setHandler(kRouteShortMessage, ShortMessage);
}

} // namespace sim
