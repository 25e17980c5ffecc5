// Proteus: the capability probe. The modules of the family differ in what
// they can do; rather than keep a table of models, the module is asked once,
// one request of each kind, and what it answers is kept as flags in the
// setting Capabilities (module/Capabilities.h).
#include "core/Logger.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "dump/SetupDumpLayout.h"
#include "module/ParamRecord.h"
#include "connection/Proteus.h"
#include "module/StackedProgress.h"

#include <algorithm>
#include <array>

namespace {

constexpr unsigned kCheckingDeviceString = 309;
constexpr int kProbeSteps = 7;
// Every capability but CAP_TESTED, so that no request of the probe is refused
// for a capability not known yet.
constexpr std::uint32_t kProbing = 0xFFFFFFFE;
// The user tuning whose dump tells that tuning dumps work.
constexpr int kProbeTuning = 12;
// Models (family members) with 16 MIDI channels, for a module whose setup dump
// cannot tell.
constexpr std::array<int, 9> kSixteenChannelModels = {2, 4, 5, 7, 11, 17, 18, 19, 21};
// The model whose display cannot be read.
constexpr int kModelWithoutLcdInterrogation = 15;

constexpr int kPresetDumpClosedLoop = 0x02;
constexpr int kPresetSectionProbe = 0x22;

} // namespace

bool Proteus::CheckCapabilities()
{
    TLOG(kLogFlow, u"%s()", u"Proteus::CheckCapabilities");
    GlobalConfigurations& settings = GetGlobalConfigurations();
    const std::uint32_t stored = settings.GetDword(Capabilities);
    if (stored & CAP_TESTED) {
        SetCapabilities(stored);
        return true;
    }

    const int model = hardwareConfig.familyMember;
    const bool sixteenChannelModel
        = std::find(kSixteenChannelModels.begin(), kSixteenChannelModels.end(), model) != kSixteenChannelModels.end();
    std::uint32_t result = CAP_TESTED;
    {
        StackedProgress progress(this, true, 0, kProbeSteps, u"%s", LoadResourceString(kCheckingDeviceString));
        SetCapabilities(kProbing);
        // Time-outs and refusals are expected here: logged, never shown.
        SuppressWarningMessages quiet(this);
        ByteBlockList blocks;

        // The setup dump tells the channel count; without one the model does.
        if (settings.GetBool(TestUI)) {
            result |= CAP_SETUP_DUMPS | CAP_32_CHANNELS;
        } else if (DownloadSetup(blocks) && blocks.size() == 1) {
            result |= CAP_SETUP_DUMPS;
            // The download checked the dump's layout, so its counts are there to read.
            const SetupDumpLayout layout = SetupDumpLayout::Parse(blocks.front()->Bytes());
            if (layout.IsValid() && layout.channels == 32)
                result |= CAP_32_CHANNELS;
            blocks.clear();
        } else {
            if (!sixteenChannelModel)
                result |= CAP_32_CHANNELS;
            blocks.clear();
        }
        progress.Step();

        const auto answered = [this](ParameterId id, const char16_t* name) {
            ParamRecord record(QString::fromUtf16(name), id, 0);
            return LowLevelParameterRequest(&record);
        };
        if (answered(MASTER_ARP_STATUS, u"MASTER_ARP_STATUS"))
            result |= CAP_ARPS_AND_BEATS;
        progress.Step();
        if (answered(MASTER_MIDI_M_CONTROL, u"MASTER_MIDI_M_CONTROL"))
            result |= CAP_16_CONTROLLERS;
        progress.Step();

        if (DownloadTuning(kProbeTuning, blocks) && blocks.size() == 1)
            result |= CAP_TUNING_DUMPS;
        blocks.clear();
        progress.Step();

        if (DownloadBankMap(blocks) && blocks.size() == 1)
            result |= CAP_BANK_MAP_DUMPS;
        blocks.clear();
        progress.Step();

        // Section dumps are tried only on a module that dumps whole presets.
        if (DownloadPreset(kPresetDumpClosedLoop, 0, -1, 0, false, blocks)) {
            result |= CAP_PRESET_DUMPS;
            blocks.clear();
            progress.Step();
            if (_DownloadPreset(kPresetSectionProbe, 0, -1, 0, false, blocks) && blocks.size() == 1)
                result |= CAP_SYSEX_DUMPS;
            blocks.clear();
            progress.Step();
        } else {
            blocks.clear();
            progress.Step();
            progress.Step();
        }

        if (model != kModelWithoutLcdInterrogation)
            result |= CAP_LCD_INTERROGATION;

        settings.SetDword(Capabilities, result);
    }
    SetCapabilities(result);
    TLOG(kLogOperation, u"Module capabilities 0x%x", result);
    return true;
}
