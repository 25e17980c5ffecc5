// Proteus: the FX bank, the messages that bring a module's effects settings
// back from the current parameter values, for a .sysex file made for a
// sequencer. Nothing is sent; the values are those the connection holds.
//
//   1  F0 18 0F dd 55 01 02, 139, value of 140, F7                (12 bytes)
//   2  F0 18 0F dd 55 10 13 7F 7F 10 00, values of 1153-1168, 00 00, F7   (46)
//   3  F0 18 0F dd 55 01 18, 12 x (id, value) of 915-922, 924-927, F7     (56)
//   4  F0 18 0F dd 55 01 08, 4 x (id, value) of 967-970, F7 (CAP_16_CONTROLLERS)  (24)
//
// The byte after 55 01 is the count of 14-bit words that follow; in message 2,
// 7F 7F addresses the edit buffer and 10 00 counts the 16 values.
#include "core/Logger.h"
#include "dump/FxBankExport.h"
#include "module/ParamRecord.h"

#include <array>

namespace {

constexpr int kEditSubCommand = 0x02;
constexpr int kPresetFxSection = 0x13;
constexpr int kEditBuffer = -1;
constexpr ParameterId kFirstPresetFx = 1153;
constexpr int kPresetFxValues = 16;
constexpr std::array<ParameterId, 12> kControllers = {915, 916, 917, 918, 919, 920, 921, 922, 924, 925, 926, 927};
constexpr std::array<ParameterId, 4> kControllersMtoP = {967, 968, 969, 970};

} // namespace

bool FxBankExport::CreateFXSysexBank(ByteBlockList& blocks)
{
    TLOG(kLogFlow, u"%s()", u"Proteus::CreateFXSysexBank");
    const auto value = [this](ParameterId id) { return m_link.FindParameter(id)->value; };
    std::vector<ModuleSysExMessage> messages;
    messages.reserve(4);

    // The preset effects that follow belong to the FX control channel's preset.
    ModuleSysExMessage& channel = messages.emplace_back(m_link.GetDeviceId(), CMD_PARAMETER_EDIT);
    channel.AddByte(kEditSubCommand).AddValue14(MULTIMODE_BASIC_CHANNEL).AddValue14(value(MULTIMODE_FX_CTRL_CHANNEL));

    ModuleSysExMessage& effects = messages.emplace_back(m_link.GetDeviceId(), CMD_PRESET_DUMP);
    effects.AddByte(kPresetFxSection).AddValue14(kEditBuffer).AddValue14(kPresetFxValues);
    for (int i = 0; i < kPresetFxValues; ++i)
        effects.AddValue14(value(kFirstPresetFx + i));
    effects.AddValue14(0);

    auto pairs = [&](auto ids) {
        ModuleSysExMessage& m = messages.emplace_back(m_link.GetDeviceId(), CMD_PARAMETER_EDIT);
        m.AddByte(int(2 * ids.size()));
        for (ParameterId id : ids)
            m.AddValue14(id).AddValue14(value(id));
    };
    pairs(kControllers);
    if (m_link.HasCapability(CAP_16_CONTROLLERS))
        pairs(kControllersMtoP);

    // All or nothing: a value that cannot travel (or a device id outside
    // 0 ... 127) would leave a bank that restores half the settings.
    for (const ModuleSysExMessage& m : messages) {
        if (!m.IsValid()) {
            TLOG(kLogError, u"Failed to build the FX bank: %s", m.Error());
            return false;
        }
    }
    for (const ModuleSysExMessage& m : messages)
        blocks.push_back(MakeByteBlock(QByteArrayView(m.Data(), qsizetype(m.Length()))));
    return true;
}
