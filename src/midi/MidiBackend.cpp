#include "midi/MidiBackend.h"

#include "core/Settings.h"
#include "midi/RtMidiBackend.h"

#include <mutex>

namespace {

std::mutex g_backendLock;
std::shared_ptr<MidiBackend> g_backend;

} // namespace

QString MidiErrorText(MidiError code)
{
    switch (code) {
    case MidiError::NoError:
        return QStringLiteral("The operation completed successfully");
    case MidiError::Error:
        return QStringLiteral("Unspecified error");
    case MidiError::BadDeviceId:
        return QStringLiteral("The device number is out of range");
    case MidiError::NotEnabled:
        return QStringLiteral("The driver failed to enable");
    case MidiError::Allocated:
        return QStringLiteral("The device is already in use");
    case MidiError::InvalidHandle:
        return QStringLiteral("The port is not open");
    case MidiError::NoDriver:
        return QStringLiteral("The MIDI system is not available");
    case MidiError::NoMemory:
        return QStringLiteral("Out of memory");
    case MidiError::NotSupported:
        return QStringLiteral("The function is not supported");
    case MidiError::InvalidParam:
        return QStringLiteral("An invalid parameter was passed");
    case MidiError::NotReady:
        return QStringLiteral("The device is not ready");
    }
    return QStringLiteral("Unknown error");
}

std::shared_ptr<MidiBackend> CurrentMidiBackend()
{
    std::lock_guard lock(g_backendLock);
    if (!g_backend)
        g_backend = MakeDefaultMidiBackend();
    return g_backend;
}

void SetCurrentMidiBackend(std::shared_ptr<MidiBackend> backend)
{
    std::lock_guard lock(g_backendLock);
    g_backend = std::move(backend);
}

std::shared_ptr<MidiBackend> MakeDefaultMidiBackend()
{
    const QString name = GetGlobalConfigurations().ReadString(QStringLiteral("MidiApi"), QStringLiteral("ALSA"));
    const auto api = RtMidiBackend::ApiFromName(name).value_or(RtMidiBackend::Api::Alsa);
    return std::make_shared<RtMidiBackend>(api);
}
