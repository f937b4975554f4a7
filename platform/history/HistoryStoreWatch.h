#pragma once
// Whether a history database, its write-ahead log ("-wal") or its rollback
// journal ("-journal") changed after a moment: the kernel's change
// notifications (inotify) for those names in their folder, and each file's
// identity, size, modification and change times and first 32 bytes (the
// log's header, the database's change counter), noted at that moment and
// compared when asked. Each catches what the other may miss: a notification
// comes once a write has ended, a time may stay within one clock tick. Without
// notifications (the user's inotify instances used up) the states alone
// decide.
//
// Thread safety: one object per thread.

#include <sys/stat.h>
#include <sys/types.h>

#include <array>
#include <ctime>
#include <string>

#include "base/UniqueFd.h"

namespace ovix {

class HistoryStoreWatch {
public:
    // Starts watching `database` in the folder open as `folder`.
    HistoryStoreWatch(int folder, const std::string& database);
    HistoryStoreWatch(const HistoryStoreWatch&) = delete;
    HistoryStoreWatch& operator=(const HistoryStoreWatch&) = delete;

    // As the watch began: the log is a regular file that is not empty.
    bool logHasContent() const;
    // As the watch began: the journal is a regular file whose header is not
    // zeroed, so sqlite would roll it back into the database.
    bool journalIsHot() const;

    // Whether `fd` is the file that the database's name led to as the watch
    // began.
    bool isDatabase(int fd) const;

    // Whether the database changed since the watch began.
    bool databaseChanged();
    // Whether the database, the log or the journal changed since then.
    bool anyChanged();

private:
    enum File { Database, Log, Journal, kFiles };

    struct State {
        bool regular = false;  // a regular file (else absent or of another type)
        dev_t device = 0;
        ino_t inode = 0;
        off_t size = 0;
        timespec modified{};
        timespec changed{};
        std::array<unsigned char, 32> head{};
        bool operator==(const State& other) const;
    };

    State stateOf(File file) const;
    // Notes which files the notifications since the last call name.
    void collectNotifications();
    bool changed(File file) const;

    int m_folder;
    std::array<std::string, kFiles> m_names;
    UniqueFd m_notifications;
    std::array<State, kFiles> m_before;
    std::array<bool, kFiles> m_notified{};
};

}  // namespace ovix
