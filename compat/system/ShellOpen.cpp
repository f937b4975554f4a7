#include "compat/system/ShellOpen.h"

#include "compat/system/Process.h"

namespace compat {

int shellOpen(std::string_view target) {
    auto opener =
        Process::start(ProcessStart{"xdg-open", {std::string(target)}, currentEnvironment(), {}, /*searchPath=*/true});
    if (!opener)
        return kShellOpenerMissing;
    if (!opener->wait(std::chrono::seconds(10)))
        return kShellOpened;
    return opener->exitCode() == 0 ? kShellOpened : kShellNoHandler;
}

}  // namespace compat
