#pragma once
// Helpers for connecting the editor to a simulated module: the capability
// flags a module of a profile has (what the probe would find), and counting
// the requests that reached the module.
#include "module/Capabilities.h"
#include "sim/Profile.h"

#include <QByteArray>

#include <cstdint>
#include <vector>

namespace proteustest {

/// The capability word a completed probe gives for the profile's module.
inline std::uint32_t CapabilitiesOf(const sim::Profile& p)
{
    std::uint32_t flags = CAP_TESTED;
    if (p.channels > 16)
        flags |= CAP_32_CHANNELS;
    const struct {
        const char* name;
        std::uint32_t flag;
    } map[] = {{"sixteenControllers", CAP_16_CONTROLLERS}, {"lcd", CAP_LCD_INTERROGATION},
               {"arpsAndBeats", CAP_ARPS_AND_BEATS},       {"presetDumps", CAP_PRESET_DUMPS},
               {"setupDumps", CAP_SETUP_DUMPS},            {"tuningDumps", CAP_TUNING_DUMPS},
               {"bankMapDumps", CAP_BANK_MAP_DUMPS},       {"sectionDumps", CAP_SYSEX_DUMPS}};
    for (const auto& m : map)
        if (p.has(QString::fromLatin1(m.name)))
            flags |= m.flag;
    return flags;
}

/// How many of messages begin with prefix.
inline int CountRequests(const std::vector<QByteArray>& messages, const QByteArray& prefix)
{
    int n = 0;
    for (const QByteArray& m : messages)
        n += m.startsWith(prefix) ? 1 : 0;
    return n;
}

/// The signed 14-bit number at offset (low 7 bits first).
inline int Get14Signed(const QByteArray& m, int offset)
{
    const int v = (uchar(m[offset]) & 0x7F) | ((uchar(m[offset + 1]) & 0x7F) << 7);
    return v > 8191 ? v - 16384 : v;
}

} // namespace proteustest
