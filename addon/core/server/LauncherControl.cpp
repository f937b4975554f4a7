#include "addon/core/server/LauncherControl.h"

#include <filesystem>

#include "compat/com/ModuleUsage.h"
#include "compat/store/RegistryKey.h"
#include "compat/system/ProcessList.h"

namespace ovix {

std::optional<compat::Process> FindLauncherProcess(std::string_view program) {
    return compat::findUserProcess(program);
}

std::string ReadInstallDirectory() {
    const auto key = compat::RegistryKey::open(compat::RegistryHive::LocalMachine, kInstallKey);
    const auto value = key ? key->query(kInstallDirectoryValue) : std::nullopt;
    if (!value)
        return {};
    return value->data.substr(0, value->data.find('\0'));
}

bool StartLauncher() {
    const std::filesystem::path directory = ReadInstallDirectory();
    if (directory.empty() || !directory.is_absolute())
        return false;
    // The launcher is dropped at once; a thread of this module reaps it when
    // it ends, so the module must stay mapped until then.
    compat::pinModule();
    return compat::Process::start({.program = (directory / kLauncherProgram).string(),
                                   .arguments = {std::string(kLauncherStartUrl)},
                                   .environment = compat::currentEnvironment(),
                                   .inheritDescriptors = false})
        .has_value();
}

}  // namespace ovix
