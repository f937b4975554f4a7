#include "platform/history/BrowserHistorySnapshot.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/random.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/FdIo.h"
#include "base/RegularFile.h"
#include "compat/system/XdgFolders.h"

namespace ovix {

namespace {

constexpr std::string_view kCopyPrefix = "ovix-history-";
constexpr std::size_t kCopyBuffer = 1 << 20;

// The names in the folder open as `folder` (without "." and "..").
std::vector<std::string> entriesOf(int folder) {
    std::vector<std::string> names;
    DIR* listing = fdopendir(fcntl(folder, F_DUPFD_CLOEXEC, 0));
    if (!listing)
        return names;
    while (const dirent* entry = readdir(listing))
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0)
            names.emplace_back(entry->d_name);
    closedir(listing);
    return names;
}

// Removes the copy folder `name` of `parent`, open as `folder`: its entries
// (files and links only: sqlite makes no folders), then itself.
void removeCopyFolder(int parent, const std::string& name, int folder) {
    for (const std::string& entry : entriesOf(folder))
        unlinkat(folder, entry.c_str(), 0);
    unlinkat(parent, name.c_str(), AT_REMOVEDIR);
}

// Removes the copy folders of the user in `parent` that nobody holds locked.
void removeAbandonedCopies(int parent) {
    for (const std::string& name : entriesOf(parent)) {
        if (!name.starts_with(kCopyPrefix))
            continue;
        const UniqueFd folder(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat info;
        if (folder && fstat(folder.get(), &info) == 0 && info.st_uid == geteuid() &&
            flock(folder.get(), LOCK_EX | LOCK_NB) == 0)
            removeCopyFolder(parent, name, folder.get());
    }
}

// A name no other copy folder has, most likely.
bool newCopyName(std::string& name) {
    static constexpr char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
    unsigned char bytes[12];
    if (getrandom(bytes, sizeof bytes, GRND_NONBLOCK) != static_cast<ssize_t>(sizeof bytes))
        return false;
    name = kCopyPrefix;
    for (const unsigned char byte : bytes)
        name += kLetters[byte % (sizeof kLetters - 1)];
    return true;
}

enum class Copied { Whole, Absent, Failed };

// Copies the regular file `name` of the folder `from`, up to the end it has
// when the copy reaches it, into the new file `copyName` of the folder `to`.
// Absent when there is no such regular file.
Copied copyFile(int from, const std::string& name, int to, const char* copyName, std::vector<char>& buffer) {
    const RegularFile in = openRegularFileAt(from, name.c_str(), O_RDONLY);
    if (!in.fd)
        return in.notRegular || errno == ENOENT ? Copied::Absent : Copied::Failed;
    UniqueFd out(openat(to, copyName, O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600));
    if (!out)
        return Copied::Failed;
    for (;;) {
        const ReadResult got = readUpTo(in.fd.get(), buffer.data(), buffer.size());
        if (got.error != 0 || !writeAll(out.get(), {buffer.data(), got.count}))
            return Copied::Failed;
        if (got.count < buffer.size())
            break;
    }
    return out.close() ? Copied::Whole : Copied::Failed;
}

}  // namespace

SnapshotFolders::SnapshotFolders() {
    if (UniqueFd runtime = compat::openPrivateRuntimeFolder())
        m_folders.push_back(std::move(runtime));
    if (UniqueFd temporary{open(compat::temporaryFolder().c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC)})
        m_folders.push_back(std::move(temporary));
    for (const UniqueFd& folder : m_folders)
        removeAbandonedCopies(folder.get());
}

BrowserHistorySnapshot::~BrowserHistorySnapshot() {
    if (m_folder)
        remove();
}

bool BrowserHistorySnapshot::take(const SnapshotFolders& folders, int storeFolder, const std::string& database,
                                  Content content, const CopyObserver& observer) {
    for (const UniqueFd& parent : folders.folders())
        if (takeIn(parent.get(), storeFolder, database, content, observer))
            return true;
    return false;
}

bool BrowserHistorySnapshot::takeIn(int parent, int storeFolder, const std::string& database, Content content,
                                    const CopyObserver& observer) {
    if (!makeFolder(parent))
        return false;
    std::vector<char> buffer(kCopyBuffer);
    // Each file copied or absent as it may be; the database itself must be.
    const auto copy = [&](const std::string& name, const char* copyName, bool required) {
        const Copied copied = copyFile(storeFolder, name, m_folder.get(), copyName, buffer);
        if (copied == Copied::Whole && observer)
            observer(name);
        return copied == Copied::Whole || (copied == Copied::Absent && !required);
    };
    // sqlite reads the original database, yet looks at a file of that name
    // for the mode of the files it opens beside it: an empty one stands in.
    const auto standIn = [&] {
        return UniqueFd(openat(m_folder.get(), "db", O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600)).close();
    };
    const bool whole = content == Content::Whole;
    const bool taken =
        copy(database + "-wal", "db-wal", false) &&
        (whole ? copy(database, "db", true) && copy(database + "-journal", "db-journal", false) : standIn());
    if (!taken)
        remove();
    return taken;
}

bool BrowserHistorySnapshot::makeFolder(int parent) {
    for (int attempt = 0; attempt < 8; ++attempt) {
        std::string name;
        if (!newCopyName(name))
            return false;
        if (mkdirat(parent, name.c_str(), 0700) != 0) {
            if (errno == EEXIST)
                continue;
            return false;
        }
        UniqueFd folder(openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat info;
        // Another process that removes abandoned copies may have taken it
        // between its making and its locking: it goes, and another is made.
        if (folder && flock(folder.get(), LOCK_EX | LOCK_NB) == 0 && fstat(folder.get(), &info) == 0 &&
            info.st_nlink > 0) {
            m_parent = parent;
            m_name = std::move(name);
            m_folder = std::move(folder);
            return true;
        }
    }
    return false;
}

void BrowserHistorySnapshot::remove() {
    removeCopyFolder(m_parent, m_name, m_folder.get());
    m_folder.reset();
}

}  // namespace ovix
