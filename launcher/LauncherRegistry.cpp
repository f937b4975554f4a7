#include "launcher/LauncherRegistry.h"

#include <cerrno>

#include "compat/system/SystemError.h"
#include "launcher/LauncherLog.h"

namespace ovix {

void writeLauncherValue(const std::optional<compat::RegistryKey>& key, const char* name, std::uint32_t value) {
    if (key && key->setDword(name, value))
        return;
    const int error = errno;
    launcherLog().write("failed to write registry value %s: %s\n", name, compat::systemErrorText(error).c_str());
}

void logRegistryRepairs() {
    compat::setRegistryRepairReport([](const std::filesystem::path& valuesFile, const std::filesystem::path& aside) {
        launcherLog().write("registry values %s could not be read: moved aside to %s and started afresh\n",
                            valuesFile.c_str(), aside.c_str());
    });
}

}  // namespace ovix
