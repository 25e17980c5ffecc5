#include "midi/PortSelection.h"

#include "core/Logger.h"

#include <QRegularExpression>

namespace {

// ALSA port names as RtMidi gives them end in the client:port address,
// "Midi Through:Midi Through Port-0 14:0", which changes with the devices.
QString WithoutAlsaAddress(const QString& name)
{
    static const QRegularExpression address(QStringLiteral("\\s+\\d+:\\d+$"));
    QString n = name;
    n.remove(address);
    return n;
}

} // namespace

PortResolution ResolvePort(const std::vector<MidiPortInfo>& ports, int storedNumber, const QString& storedName)
{
    using How = PortResolution::How;
    if (storedNumber < 0 && storedName.isEmpty())
        return {-1, How::None};
    if (storedName.isEmpty())
        return {storedNumber, How::ByNumber};
    for (const MidiPortInfo& p : ports)
        if (p.number == storedNumber && p.name == storedName)
            return {p.number, How::ByNumber};
    for (const MidiPortInfo& p : ports)
        if (p.name == storedName)
            return {p.number, How::ByName};
    const QString loose = WithoutAlsaAddress(storedName);
    for (const MidiPortInfo& p : ports)
        if (WithoutAlsaAddress(p.name) == loose)
            return {p.number, p.number == storedNumber ? How::ByNumber : How::ByName};
    return {-1, How::NotFound};
}

QString PortNameValue(ConfigurationId id)
{
    switch (id) {
    case InputPort:
        return QStringLiteral("InputPortName");
    case OutputPort:
        return QStringLiteral("OutputPortName");
    case BPort:
        return QStringLiteral("BPortName");
    case ControllerPort:
        return QStringLiteral("ControllerPortName");
    default:
        return {};
    }
}

bool IsInputPortSetting(ConfigurationId id)
{
    return id == InputPort || id == ControllerPort;
}

void StorePortChoice(ConfigurationId id, int number, const QString& name)
{
    const QString valueName = PortNameValue(id);
    if (valueName.isEmpty())
        return;
    GlobalConfigurations& config = GetGlobalConfigurations();
    config.SetDword(id, static_cast<std::uint32_t>(number));
    config.WriteString(valueName, number < 0 ? QString() : name);
}

int ConfiguredPortNumber(ConfigurationId id, MidiBackend& backend)
{
    const QString valueName = PortNameValue(id);
    GlobalConfigurations& config = GetGlobalConfigurations();
    const int stored = static_cast<std::int32_t>(config.GetDword(id));
    if (valueName.isEmpty())
        return stored;
    const QString name = config.ReadString(valueName, QString());
    if (name.isEmpty())
        return stored; // chosen before names were kept, or nothing chosen
    const bool input = IsInputPortSetting(id);
    const PortResolution r = ResolvePort(input ? backend.InputPorts() : backend.OutputPorts(), stored, name);
    switch (r.how) {
    case PortResolution::How::ByName:
        TLOG(kLogNotice, u"MIDI %s port \"%s\" has moved from %d to %d", input ? u"input" : u"output", name, stored, r.number);
        config.SetDword(id, static_cast<std::uint32_t>(r.number));
        return r.number;
    case PortResolution::How::NotFound:
        TLOG(kLogError, u"MIDI %s port \"%s\" (%d) is not there", input ? u"input" : u"output", name, stored);
        return -1;
    default:
        return r.number;
    }
}
