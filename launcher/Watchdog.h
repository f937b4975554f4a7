#pragma once
// The watchdog on the main application's memory, run by the monitor thread
// at every tick of its timer: an application that has reported its process id
// and uses more private memory than the limit is ended; the runner then
// starts it again.

#include <cstdint>
#include <functional>
#include <optional>

#include "compat/system/Process.h"
#include "launcher/AppIds.h"
#include "launcher/ApplicationProcess.h"

namespace ovix {

inline constexpr std::uint64_t kMemoryLimit = 104857600;  // bytes, 100 MiB

class Watchdog {
public:
    // The memory a process uses, in bytes; empty when it cannot be read.
    using MemorySource = std::function<std::optional<std::uint64_t>(const compat::Process&)>;

    // Without a source, the process's own figure (its private memory).
    Watchdog(const AppIds& ids, ApplicationProcess& application, MemorySource memory = {});

    // One check: ends the application when its memory is above the limit and
    // logs what it did.
    void tick();

private:
    const AppIds& m_ids;
    ApplicationProcess& m_application;
    MemorySource m_memory;
};

}  // namespace ovix
