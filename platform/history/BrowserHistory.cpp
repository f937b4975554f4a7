#include "platform/history/BrowserHistory.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <limits>
#include <set>
#include <utility>

#include "base/RegularFile.h"
#include "compat/system/XdgFolders.h"
#include "platform/history/HistoryStore.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;

constexpr std::int64_t kInt64Min = std::numeric_limits<std::int64_t>::min();
constexpr std::int64_t kInt64Max = std::numeric_limits<std::int64_t>::max();
// 100-nanosecond intervals from 1601-01-01 to 1970-01-01 UTC; a multiple of
// 10, so the bounds below are exact.
constexpr std::int64_t kIntervalsBefore1970 = 116444736000000000;
constexpr std::int64_t kMicroseconds = 1000000;

// A Gecko time p (microseconds since 1970) is 10 p + kIntervalsBefore1970
// intervals since 1601; nullopt when that count does not fit 64 bits.
std::optional<std::int64_t> secondsOfGeckoTime(std::int64_t p) {
    if (p < kInt64Min / 10 - kIntervalsBefore1970 / 10 || p > kInt64Max / 10 - kIntervalsBefore1970 / 10)
        return std::nullopt;
    return p / kMicroseconds;
}

// A Chromium time t (microseconds since 1601) is 10 t intervals since 1601.
std::optional<std::int64_t> secondsOfChromiumTime(std::int64_t t) {
    if (t < kInt64Min / 10 || t > kInt64Max / 10)
        return std::nullopt;
    return (t - kIntervalsBefore1970 / 10) / kMicroseconds;
}

struct StoreKind {
    const char* fileName;
    HistoryQuery query;
};

constexpr StoreKind kGecko{
    "places.sqlite",
    {"SELECT url, last_visit_date FROM moz_places WHERE last_visit_date IS NOT NULL ORDER BY id", secondsOfGeckoTime},
};
constexpr StoreKind kChromium{
    "History",
    {"SELECT url, last_visit_time FROM urls WHERE last_visit_time > 0 ORDER BY id", secondsOfChromiumTime},
};

using FileId = std::pair<dev_t, ino_t>;

// sqlite keeps a database's log and journal beside the file that its name
// leads to: the folder of that file and the file's name in it; no folder when
// it cannot be found.
UniqueFd folderOfLinkedFile(int file, std::string& name) {
    char target[PATH_MAX];
    const std::string link = "/proc/self/fd/" + std::to_string(file);
    const ssize_t length = readlink(link.c_str(), target, sizeof target);
    if (length <= 0 || length == static_cast<ssize_t>(sizeof target) || target[0] != '/')
        return {};
    const fs::path path(std::string(target, static_cast<std::size_t>(length)));
    UniqueFd folder(open(path.parent_path().c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat named, opened;
    if (!folder || fstatat(folder.get(), path.filename().c_str(), &named, 0) != 0 || fstat(file, &opened) != 0 ||
        named.st_dev != opened.st_dev || named.st_ino != opened.st_ino)
        return {};
    name = path.filename();
    return folder;
}

// The store of the profile folder `profile` in the browser folder `browser`
// when the profile holds a database of `kind` that was not found before, or
// cannot be entered (a store without a folder, which cannot be read).
std::optional<HistoryStore> storeOfProfile(int browser, const char* profile, const StoreKind& kind,
                                           std::set<FileId>& seen) {
    HistoryStore store{{}, kind.fileName, &kind.query};
    UniqueFd folder(openat(browser, profile, O_PATH | O_DIRECTORY | O_CLOEXEC));
    struct stat database;
    if (!folder)
        return store;
    if (fstatat(folder.get(), kind.fileName, &database, 0) != 0) {
        if (errno == ENOENT)
            return std::nullopt;
        return store;
    }
    if (!seen.insert({database.st_dev, database.st_ino}).second)
        return std::nullopt;
    const RegularFile opened = openRegularFileAt(folder.get(), kind.fileName, O_RDONLY);
    if (!opened.fd)
        return store;
    struct stat entry;
    if (fstatat(folder.get(), kind.fileName, &entry, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(entry.st_mode))
        folder = folderOfLinkedFile(opened.fd.get(), store.name);
    store.folder = std::move(folder);
    return store;
}

// The stores of the profiles directly under `browserFolder`, in byte order of
// the profiles' names.
void addProfiles(const fs::path& browserFolder, const StoreKind& kind, std::set<FileId>& seen,
                 std::vector<HistoryStore>& stores) {
    const UniqueFd browser(open(browserFolder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    DIR* listing = browser ? fdopendir(fcntl(browser.get(), F_DUPFD_CLOEXEC, 0)) : nullptr;
    if (!listing)
        return;
    std::vector<std::string> profiles;
    while (const dirent* entry = readdir(listing)) {
        struct stat info;
        if (std::strcmp(entry->d_name, ".") != 0 && std::strcmp(entry->d_name, "..") != 0 &&
            fstatat(browser.get(), entry->d_name, &info, 0) == 0 && S_ISDIR(info.st_mode))
            profiles.emplace_back(entry->d_name);
    }
    closedir(listing);
    std::sort(profiles.begin(), profiles.end());
    for (const std::string& profile : profiles)
        if (auto store = storeOfProfile(browser.get(), profile.c_str(), kind, seen))
            stores.push_back(std::move(*store));
}

std::vector<HistoryStore> findStores() {
    std::vector<HistoryStore> stores;
    std::set<FileId> seen;
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        addProfiles(fs::path(home) / ".mozilla" / "firefox", kGecko, seen, stores);
    if (const fs::path config = compat::configHome(); !config.empty()) {
        addProfiles(config / "chromium", kChromium, seen, stores);
        addProfiles(config / "google-chrome", kChromium, seen, stores);
    }
    return stores;
}

}  // namespace

bool readBrowserHistory(BrowserVisitSink& sink, const CopyObserver& afterCopy) {
    // Opened first, so that copies left by processes that died go even when
    // no store needs a copy.
    const SnapshotFolders folders;
    const std::vector<HistoryStore> stores = findStores();
    bool anyRead = false;
    for (const HistoryStore& store : stores)
        if (store.folder && readHistoryStore(store, folders, sink, afterCopy))
            anyRead = true;
    return anyRead || stores.empty();
}

}  // namespace ovix
