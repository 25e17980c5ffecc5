#pragma once
// Identities of the running process and thread, as the log line prints them.

#include <cstdint>

namespace platform {

/// The operating system's id of this process.
std::uint32_t CurrentProcessId();
/// The operating system's id of the calling thread (not a library handle).
std::uint32_t CurrentThreadId();
/// True on the process's first thread, the one the user interface runs on.
bool IsMainThread();

} // namespace platform
