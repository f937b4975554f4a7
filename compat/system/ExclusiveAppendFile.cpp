#include "compat/system/ExclusiveAppendFile.h"

#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>

#include "base/FdIo.h"

namespace compat {

std::optional<ExclusiveAppendFile> ExclusiveAppendFile::open(const std::filesystem::path& path) {
    ovix::UniqueFd fd(::open(path.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644));
    // Closing the descriptor keeps the errno of a failed lock.
    if (!fd || flock(fd.get(), LOCK_EX | LOCK_NB) != 0)
        return std::nullopt;
    return ExclusiveAppendFile(std::move(fd));
}

bool ExclusiveAppendFile::append(std::string_view text) {
    return ovix::writeAll(m_fd.get(), text);
}

}  // namespace compat
