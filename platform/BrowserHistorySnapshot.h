#pragma once
// A private copy of one sqlite database as it stands on disk: the database and,
// when present, its "-wal" and "-journal" files, copied into a fresh folder
// (mode 0700, a random name) under the user's runtime folder when the session
// has one ($XDG_RUNTIME_DIR), else under the temporary folder. Opened
// read-write, the copy lets sqlite replay the log and roll a hot journal back
// without touching the original. The folder and all in it go with the object.
//
// The originals are only read, never locked: they must be regular files, and
// are opened without blocking, so a FIFO or a device is refused, not waited on.
//
// Thread safety: one object per thread.

#include <filesystem>
#include <string>

namespace ovix {

class BrowserHistorySnapshot {
public:
    BrowserHistorySnapshot() = default;
    ~BrowserHistorySnapshot();
    BrowserHistorySnapshot(const BrowserHistorySnapshot&) = delete;
    BrowserHistorySnapshot& operator=(const BrowserHistorySnapshot&) = delete;

    // Copies `database` and its log files; called once. False when the folder
    // cannot be made or a file present cannot be copied whole.
    bool take(const std::filesystem::path& database);
    // The copied database, after a successful take.
    std::filesystem::path copy() const { return m_folder + "/db"; }

private:
    std::string m_folder;  // empty until made
};

}  // namespace ovix
