#pragma once
// What the connected module was found to support, as flags in the setting
// Capabilities (the capability probe sets them on the first connect). Every
// dump checks its flag before it sends anything.

#include "core/Settings.h"

#include <cstdint>

inline constexpr std::uint32_t CAP_TESTED = 0x1;
inline constexpr std::uint32_t CAP_32_CHANNELS = 0x10;
inline constexpr std::uint32_t CAP_16_CONTROLLERS = 0x20;
inline constexpr std::uint32_t CAP_LCD_INTERROGATION = 0x40;
inline constexpr std::uint32_t CAP_ARPS_AND_BEATS = 0x80;
inline constexpr std::uint32_t CAP_PRESET_DUMPS = 0x100;  ///< whole-preset dumps
inline constexpr std::uint32_t CAP_SETUP_DUMPS = 0x200;
inline constexpr std::uint32_t CAP_TUNING_DUMPS = 0x400;
inline constexpr std::uint32_t CAP_BANK_MAP_DUMPS = 0x800;
inline constexpr std::uint32_t CAP_SYSEX_DUMPS = 0x1000;  ///< preset and layer section dumps

/// Whether every bit of flags is set in the setting Capabilities (read afresh).
inline bool HasCapability(std::uint32_t flags)
{
    return (GetGlobalConfigurations().GetDword(Capabilities) & flags) == flags;
}
