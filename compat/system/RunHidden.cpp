#include "compat/system/RunHidden.h"

#include "compat/system/Process.h"

namespace compat {

bool runHidden(const std::filesystem::path& script) {
    std::error_code error;
    if (!std::filesystem::is_regular_file(script, error))
        return false;
    // The process is reaped in the background once it ends.
    return Process::start(ProcessStart{"/bin/sh", {script.string()}, currentEnvironment()}).has_value();
}

}  // namespace compat
