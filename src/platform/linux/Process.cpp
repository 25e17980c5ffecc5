#include "platform/Process.h"

#include <sys/syscall.h>
#include <unistd.h>

namespace platform {

std::uint32_t CurrentProcessId()
{
    return static_cast<std::uint32_t>(::getpid());
}

std::uint32_t CurrentThreadId()
{
    return static_cast<std::uint32_t>(::syscall(SYS_gettid));
}

bool IsMainThread()
{
    return CurrentThreadId() == CurrentProcessId();
}

} // namespace platform
