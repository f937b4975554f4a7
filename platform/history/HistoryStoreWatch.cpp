#include "platform/history/HistoryStoreWatch.h"

#include <fcntl.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>
#include <string_view>

#include "base/RegularFile.h"

namespace ovix {

namespace {

bool sameTime(const timespec& a, const timespec& b) {
    return a.tv_sec == b.tv_sec && a.tv_nsec == b.tv_nsec;
}

}  // namespace

bool HistoryStoreWatch::State::operator==(const State& other) const {
    return regular == other.regular && device == other.device && inode == other.inode && size == other.size &&
           sameTime(modified, other.modified) && sameTime(changed, other.changed) && head == other.head;
}

HistoryStoreWatch::HistoryStoreWatch(int folder, const std::string& database)
    : m_folder(folder), m_names{database, database + "-wal", database + "-journal"} {
    m_notifications.reset(inotify_init1(IN_NONBLOCK | IN_CLOEXEC));
    const std::string folderPath = "/proc/self/fd/" + std::to_string(folder);
    constexpr std::uint32_t kEvents = IN_MODIFY | IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ONLYDIR;
    if (m_notifications && inotify_add_watch(m_notifications.get(), folderPath.c_str(), kEvents) < 0)
        m_notifications.reset();
    for (int file = 0; file < kFiles; ++file)
        m_before[file] = stateOf(static_cast<File>(file));
}

bool HistoryStoreWatch::logHasContent() const {
    return m_before[Log].regular && m_before[Log].size > 0;
}

bool HistoryStoreWatch::journalIsHot() const {
    return m_before[Journal].regular && m_before[Journal].size > 0 && m_before[Journal].head[0] != 0;
}

bool HistoryStoreWatch::isDatabase(int fd) const {
    struct stat info;
    return m_before[Database].regular && fstat(fd, &info) == 0 && info.st_dev == m_before[Database].device &&
           info.st_ino == m_before[Database].inode;
}

bool HistoryStoreWatch::databaseChanged() {
    collectNotifications();
    return changed(Database);
}

bool HistoryStoreWatch::anyChanged() {
    collectNotifications();
    return changed(Database) || changed(Log) || changed(Journal);
}

bool HistoryStoreWatch::changed(File file) const {
    return m_notified[file] || !(stateOf(file) == m_before[file]);
}

HistoryStoreWatch::State HistoryStoreWatch::stateOf(File file) const {
    State state;
    const RegularFile opened = openRegularFileAt(m_folder, m_names[file].c_str(), O_RDONLY);
    struct stat info;
    if (!opened.fd || fstat(opened.fd.get(), &info) != 0)
        return state;
    state.regular = true;
    state.device = info.st_dev;
    state.inode = info.st_ino;
    state.size = info.st_size;
    state.modified = info.st_mtim;
    state.changed = info.st_ctim;
    // A head that cannot be read stays zeroed: the size and times still tell.
    if (pread(opened.fd.get(), state.head.data(), state.head.size(), 0) < 0)
        state.head.fill(0);
    return state;
}

void HistoryStoreWatch::collectNotifications() {
    if (!m_notifications)
        return;
    alignas(inotify_event) char buffer[4096];
    for (;;) {
        const ssize_t got = read(m_notifications.get(), buffer, sizeof buffer);
        if (got < 0 && errno == EINTR)
            continue;
        if (got <= 0)
            return;
        for (ssize_t at = 0; at < got;) {
            const auto* event = reinterpret_cast<const inotify_event*>(buffer + at);
            at += static_cast<ssize_t>(sizeof(inotify_event) + event->len);
            if (event->mask & IN_Q_OVERFLOW) {
                m_notified.fill(true);
                continue;
            }
            const std::string_view name(event->name, event->len ? strnlen(event->name, event->len) : 0);
            for (int file = 0; file < kFiles; ++file)
                if (name == m_names[file])
                    m_notified[file] = true;
        }
    }
}

}  // namespace ovix
