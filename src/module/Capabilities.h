#pragma once
// What the connected module can do, as the capability probe found it: a word
// of flags, kept by the module connection and stored in the setting
// Capabilities so that the probe runs only on the first connection. Every
// dump checks its flag before it sends anything.

#include "core/Settings.h"

#include <cstdint>

inline constexpr std::uint32_t CAP_TESTED = 0x0001;            ///< set by every completed probe
inline constexpr std::uint32_t CAP_32_CHANNELS = 0x0010;       ///< else 16 channels
inline constexpr std::uint32_t CAP_16_CONTROLLERS = 0x0020;    ///< controllers M-P (411-414, 967-970) exist
inline constexpr std::uint32_t CAP_LCD_INTERROGATION = 0x0040;
inline constexpr std::uint32_t CAP_ARPS_AND_BEATS = 0x0080;
inline constexpr std::uint32_t CAP_PRESET_DUMPS = 0x0100;      ///< whole-preset dumps
inline constexpr std::uint32_t CAP_SETUP_DUMPS = 0x0200;
inline constexpr std::uint32_t CAP_TUNING_DUMPS = 0x0400;
inline constexpr std::uint32_t CAP_BANK_MAP_DUMPS = 0x0800;
inline constexpr std::uint32_t CAP_SYSEX_DUMPS = 0x1000;
