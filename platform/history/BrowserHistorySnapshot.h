#pragma once
// Private copies of a history database's files, which the browser cannot
// change while sqlite reads them. Each copy lives in a folder of its own
// ("ovix-history-" and a random suffix, mode 0700), made in the first of the
// snapshot folders that takes it whole: the runtime folder when it is private
// (compat::openPrivateRuntimeFolder), else or when the copy does not fit
// there, the temporary folder. Every folder is used through its descriptor,
// and sqlite opens the copy as "/proc/self/fd/<folder>/db".
//
// A copy's folder stays locked (flock) while the copy lives, and is removed
// with it. Opening the snapshot folders removes every copy folder of the user
// that nobody holds locked, so that a copy left by a process that died goes at
// the next read of any process.
//
// The originals are only read, never locked: they must be regular files, and
// are opened without blocking, so a FIFO or a device is refused, not waited on.
//
// Thread safety: one object per thread.

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/UniqueFd.h"

namespace ovix {

// Told the name of each file of a store once it is copied, before the copy
// is checked against the original: a test's moment to change the original.
using CopyObserver = std::function<void(std::string_view copiedFile)>;

class SnapshotFolders {
public:
    // Opens them, removing the copies that nobody holds.
    SnapshotFolders();
    const std::vector<UniqueFd>& folders() const { return m_folders; }

private:
    std::vector<UniqueFd> m_folders;
};

class BrowserHistorySnapshot {
public:
    enum class Content {
        Log,    // the log only, for sqlite to read with the original database
                // (an empty "db" stands in for it)
        Whole,  // the database, its log and its journal
    };

    BrowserHistorySnapshot() = default;
    ~BrowserHistorySnapshot();
    BrowserHistorySnapshot(const BrowserHistorySnapshot&) = delete;
    BrowserHistorySnapshot& operator=(const BrowserHistorySnapshot&) = delete;

    // Copies `content` of `database` from the folder `storeFolder`, in this
    // order: the log when present, then for Whole the database and the
    // journal when present. Called once. False when no snapshot folder took
    // the copy whole.
    bool take(const SnapshotFolders& folders, int storeFolder, const std::string& database, Content content,
              const CopyObserver& observer);
    // The copy's database as sqlite names it ("db"; its log "db-wal", its
    // journal "db-journal"), after a successful take.
    std::string database() const { return "/proc/self/fd/" + std::to_string(m_folder.get()) + "/db"; }

private:
    bool takeIn(int parent, int storeFolder, const std::string& database, Content content,
                const CopyObserver& observer);
    bool makeFolder(int parent);
    void remove();

    int m_parent = -1;  // the snapshot folder holding the copy's folder
    std::string m_name;
    UniqueFd m_folder;  // locked
};

}  // namespace ovix
