#include "launcher/Watchdog.h"

#include <cerrno>

#include "compat/system/SystemError.h"
#include "launcher/LauncherLog.h"

namespace ovix {

Watchdog::Watchdog(const AppIds& ids, ApplicationProcess& application, MemorySource memory)
    : m_ids(ids), m_application(application), m_memory(std::move(memory)) {
    if (!m_memory)
        m_memory = [](const compat::Process& process) { return process.privateMemoryBytes(); };
}

void Watchdog::tick() {
    if (m_ids.processId == 0)
        return;
    const auto process = m_application.handle();
    if (!process) {
        launcherLog().write("get process memory info handle error=%x, %s\n", ESRCH,
                            compat::systemErrorText(ESRCH).c_str());
        return;
    }
    const auto usage = m_memory(*process);
    if (!usage || *usage <= kMemoryLimit)
        return;
    const void* handle = reinterpret_cast<const void*>(static_cast<std::uintptr_t>(process->waitDescriptor()));
    if (process->terminate()) {
        launcherLog().write("killed proc %d handle %p memory usage %llu\n", process->pid(), handle,
                            static_cast<unsigned long long>(*usage));
    } else {
        const int error = errno;
        launcherLog().write("killing proc %d handle %p failed with err=%d,%s\n", process->pid(), handle, error,
                            compat::systemErrorText(error).c_str());
    }
}

}  // namespace ovix
