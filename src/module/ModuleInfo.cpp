// The module information report: GetModuleInfo and its formatting.

#include "module/ModuleInfo.h"

#include "core/Format.h"
#include "core/MessageBox.h"
#include "core/Settings.h"
#include "midi/MidiBackend.h"
#include "module/ProteusData.h"

namespace {

constexpr unsigned kModuleEmuString = 205;  // "Module Emu"
constexpr unsigned kOsVersionString = 206;  // "OS Version"
constexpr int kVersionMajor = 1;
constexpr int kVersionMinor = 34;

int VersionHigh(std::uint32_t version) { return int((version >> 8) & 0xFF); }
int VersionLow(std::uint32_t version) { return int(version & 0xFF); }

} // namespace

QString MidiTechnologyText(int technology)
{
    switch (technology) {
    case 1: return QStringLiteral("MIDI hardware port");
    case 2: return QStringLiteral("Synthesizer");
    case 3: return QStringLiteral("Square wave synthesizer");
    case 4: return QStringLiteral("FM synthesizer");
    case 5: return QStringLiteral("Microsoft MIDI mapper");
    case 6: return QStringLiteral("Hardware wavetable synthesizer");
    case 7: return QStringLiteral("Software synthesizer");
    default: return QStringLiteral("Unknown Technology");
    }
}

QString MidiSupportText(std::uint32_t support)
{
    QString text;
    if (support & 0x4)
        text += QStringLiteral("MIDICAPS_CACHE ");
    if (support & 0x2)
        text += QStringLiteral("MIDICAPS_LRVOLUME ");
    if (support & 0x8)
        text += QStringLiteral("MIDICAPS_STREAM ");
    if (support & 0x1)
        text += QStringLiteral("MIDICAPS_VOLUME ");
    return text;
}

std::vector<MidiOutputDeviceInfo> MidiOutputDevices(MidiBackend& backend)
{
    std::vector<MidiOutputDeviceInfo> out;
    for (const MidiPortInfo& port : backend.OutputPorts()) {
        MidiOutputDeviceInfo info;
        info.name = port.name;
        out.push_back(info);
    }
    return out;
}

std::vector<MidiInputDeviceInfo> MidiInputDevices(MidiBackend& backend)
{
    std::vector<MidiInputDeviceInfo> out;
    for (const MidiPortInfo& port : backend.InputPorts()) {
        MidiInputDeviceInfo info;
        info.name = port.name;
        out.push_back(info);
    }
    return out;
}

QString FormatModuleInfo(const ProteusData& data, const QString& settingsDump,
                         const std::vector<MidiOutputDeviceInfo>& outputs,
                         const std::vector<MidiInputDeviceInfo>& inputs)
{
    QString report = Format(u"Module Info:\n%s %s, %s %s\n", LoadResourceString(kModuleEmuString),
                            data.GetModuleName(), LoadResourceString(kOsVersionString),
                            data.hardwareConfig.GetRevision());
    report += QStringLiteral("SIMM Data:\n");
    for (const SimmSlot& slot : data.hardwareConfig.GetSimms())
        report += Format(u"SIMM %s (0x%x)\n\tNum Presets %d\n\tNum Instruments %d\n\tNum Demos %d\n\tNum Setups "
                         u"%d\n\tNum Riffs %d\n\tNum Arps %d\n",
                         data.GetSimmName(slot.simmId), slot.simmId, slot.presets, slot.instruments, slot.demos,
                         slot.setups, slot.riffs, slot.arps);
    report += QStringLiteral("\n");
    report += Format(u"Software Information\n====================\nTabrine Version %d.%d\n\n", kVersionMajor,
                     kVersionMinor);
    report += settingsDump;
    report += QStringLiteral("\n");
    report += QStringLiteral("MIDI Information\n===============\n");
    for (const MidiOutputDeviceInfo& d : outputs)
        report += Format(u"Output Device: %s, Manufacturer: 0x%x, Product:0x%x, Version:%d.%d, Technology:%s, "
                         u"Voices:%d, Notes:%d, Chan. Mask:0x%x, Support:%s\n",
                         d.name, d.manufacturer, d.product, VersionHigh(d.driverVersion), VersionLow(d.driverVersion),
                         MidiTechnologyText(d.technology), d.voices, d.notes, d.channelMask,
                         MidiSupportText(d.support));
    for (const MidiInputDeviceInfo& d : inputs)
        report += Format(u"Input Device: %s, Manufacturer: 0x%x, Product:0x%x, Version:%d.%d, Support:0x%x\n", d.name,
                         d.manufacturer, d.product, VersionHigh(d.driverVersion), VersionLow(d.driverVersion),
                         d.support);
    report += QStringLiteral("\n");
    return report;
}
