#include "platform/BrowserHistorySnapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <stdlib.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "base/FdIo.h"
#include "base/RegularFile.h"
#include "base/UniqueFd.h"
#include "compat/system/XdgFolders.h"

namespace ovix {

namespace {

std::filesystem::path snapshotParent() {
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    if (runtime && runtime[0] == '/' && compat::ensureRuntimeFolder())
        return compat::runtimeFolder();
    return compat::temporaryFolder();
}

enum class Copied { Whole, Absent, Failed };


// Copies the regular file `from`, up to the end it has when the copy reaches
// it, into the new file `to`.
Copied copyRegularFile(const std::string& from, const std::string& to) {
    const RegularFile in = openRegularFile(from, O_RDONLY);
    if (!in.fd)
        return !in.notRegular && errno == ENOENT ? Copied::Absent : Copied::Failed;
    UniqueFd out(::open(to.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out)
        return Copied::Failed;
    std::vector<char> buffer(256 * 1024);
    for (;;) {
        const ssize_t got = ::read(in.fd.get(), buffer.data(), buffer.size());
        if (got == 0)
            break;
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0 || !writeAll(out.get(), {buffer.data(), static_cast<std::size_t>(got)}))
            return Copied::Failed;
    }
    return out.close() ? Copied::Whole : Copied::Failed;
}

}  // namespace

BrowserHistorySnapshot::~BrowserHistorySnapshot() {
    if (m_folder.empty())
        return;
    // Files only: sqlite makes no folders beside a database.
    if (DIR* folder = opendir(m_folder.c_str())) {
        while (const dirent* entry = readdir(folder))
            if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
                unlinkat(dirfd(folder), entry->d_name, 0);
        closedir(folder);
    }
    rmdir(m_folder.c_str());
}

bool BrowserHistorySnapshot::take(const std::filesystem::path& database) {
    m_folder = (snapshotParent() / "history-XXXXXX").string();
    if (!mkdtemp(m_folder.data())) {
        m_folder.clear();
        return false;
    }
    // The log first: a checkpoint moves its frames into the database, so a
    // database copied after it holds at least what those frames stood on. The
    // journal last: a write in progress changes the database only while its
    // journal holds the pages it replaces.
    const std::string from = database.string();
    const std::string to = copy().string();
    for (const char* suffix : {"-wal", "", "-journal"}) {
        const Copied copied = copyRegularFile(from + suffix, to + suffix);
        if (copied == Copied::Failed || (copied == Copied::Absent && *suffix == '\0'))
            return false;
    }
    return true;
}

}  // namespace ovix
