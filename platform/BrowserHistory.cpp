#include "platform/BrowserHistory.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <limits>
#include <memory>
#include <system_error>

#include "compat/system/XdgFolders.h"
#include "platform/BrowserHistorySnapshot.h"

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
    const char* query;  // the URL and the last-visit time, in the store's order
    std::optional<std::int64_t> (*seconds)(std::int64_t time);
};

constexpr StoreKind kGecko{
    "places.sqlite",
    "SELECT url, last_visit_date FROM moz_places WHERE last_visit_date IS NOT NULL ORDER BY id",
    secondsOfGeckoTime,
};
constexpr StoreKind kChromium{
    "History",
    "SELECT url, last_visit_time FROM urls WHERE last_visit_time > 0 ORDER BY id",
    secondsOfChromiumTime,
};

struct Store {
    fs::path database;
    const StoreKind* kind;
};

// The profiles directly under `folder` that hold a database of `kind`, in
// byte order of their names.
void addProfiles(const fs::path& folder, const StoreKind& kind, std::vector<Store>& stores) {
    std::vector<std::string> profiles;
    std::error_code error;
    for (fs::directory_iterator entry(folder, error), end; !error && entry != end; entry.increment(error)) {
        std::error_code ignored;
        if (entry->is_directory(ignored) && fs::exists(entry->path() / kind.fileName, ignored))
            profiles.push_back(entry->path().filename().string());
    }
    std::sort(profiles.begin(), profiles.end());
    for (const std::string& profile : profiles)
        stores.push_back({folder / profile / kind.fileName, &kind});
}

std::vector<Store> findStores() {
    std::vector<Store> stores;
    if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        addProfiles(fs::path(home) / ".mozilla" / "firefox", kGecko, stores);
    if (const fs::path config = compat::configHome(); !config.empty()) {
        addProfiles(config / "chromium", kChromium, stores);
        addProfiles(config / "google-chrome", kChromium, stores);
    }
    return stores;
}

enum class Outcome {
    Read,              // every row, or the rows before an error that is no corruption
    CutByCorruption,   // the rows before a corrupt page
    NoTable,           // no such table or column
    Corrupt,           // not a database, or its schema is corrupt
    Unreadable,        // cannot be opened or prepared for another reason
};

struct Reading {
    Outcome outcome;
    std::vector<BrowserVisit> visits;
};

bool isCorruption(int code) {
    return code == SQLITE_CORRUPT || code == SQLITE_NOTADB;
}

Reading query(const std::string& name, int flags, const StoreKind& kind) {
    sqlite3* openedDb = nullptr;
    const int opened = sqlite3_open_v2(name.c_str(), &openedDb, flags, nullptr);
    const std::unique_ptr<sqlite3, decltype(&sqlite3_close)> db(openedDb, sqlite3_close);
    if (opened != SQLITE_OK)
        return {isCorruption(opened) ? Outcome::Corrupt : Outcome::Unreadable, {}};
    sqlite3_stmt* preparedStatement = nullptr;
    const int prepared = sqlite3_prepare_v2(db.get(), kind.query, -1, &preparedStatement, nullptr);
    const std::unique_ptr<sqlite3_stmt, decltype(&sqlite3_finalize)> statement(preparedStatement, sqlite3_finalize);
    if (prepared != SQLITE_OK) {
        const Outcome failure = prepared == SQLITE_ERROR ? Outcome::NoTable : Outcome::Unreadable;
        return {isCorruption(prepared) ? Outcome::Corrupt : failure, {}};
    }
    Reading reading{Outcome::Read, {}};
    int stepped;
    while ((stepped = sqlite3_step(statement.get())) == SQLITE_ROW) {
        if (sqlite3_column_type(statement.get(), 1) != SQLITE_INTEGER)
            continue;
        const auto seconds = kind.seconds(sqlite3_column_int64(statement.get(), 1));
        const auto* url = reinterpret_cast<const char*>(sqlite3_column_text(statement.get(), 0));
        const int urlBytes = sqlite3_column_bytes(statement.get(), 0);
        if (seconds && url && urlBytes > 0)
            reading.visits.push_back({std::string(url, static_cast<std::size_t>(urlBytes)), *seconds});
    }
    if (isCorruption(stepped))
        reading.outcome = Outcome::CutByCorruption;
    return reading;
}

// "file:" names the database by URI: "%", "?" and "#" would be read as an
// escape, the query or the fragment, and other bytes must be ASCII.
std::string immutableUri(const fs::path& database) {
    static constexpr char kHex[] = "0123456789ABCDEF";
    std::string uri = "file://";
    for (const char c : database.string()) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '%' || c == '?' || c == '#' || byte > 0x7E) {
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0xF];
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

bool isRegularFile(const fs::path& path) {
    struct stat info;
    return stat(path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
}

// A store's visits; nullopt when it cannot be read.
std::optional<std::vector<BrowserVisit>> readStore(const Store& store) {
    // A copy that sqlite finds corrupt was most likely taken while the browser
    // moved its log into the database: it is taken once more.
    for (int attempt = 0; attempt < 2; ++attempt) {
        BrowserHistorySnapshot snapshot;
        if (!snapshot.take(store.database))
            break;
        Reading reading = query(snapshot.copy().string(), SQLITE_OPEN_READWRITE, *store.kind);
        if (reading.outcome == Outcome::Read)
            return std::move(reading.visits);
        if (reading.outcome == Outcome::NoTable)
            return std::nullopt;
        if (reading.outcome == Outcome::Unreadable)
            break;
    }
    // The original as it stands, neither locked nor written, but blind to
    // what is still in its log. sqlite would wait on a FIFO.
    if (!isRegularFile(store.database))
        return std::nullopt;
    Reading reading = query(immutableUri(store.database), SQLITE_OPEN_READONLY | SQLITE_OPEN_URI, *store.kind);
    if (reading.outcome == Outcome::Read || reading.outcome == Outcome::CutByCorruption)
        return std::move(reading.visits);
    return std::nullopt;
}

}  // namespace

std::optional<std::vector<BrowserVisit>> readBrowserHistory() {
    const std::vector<Store> stores = findStores();
    std::vector<BrowserVisit> visits;
    bool anyRead = false;
    for (const Store& store : stores) {
        std::optional<std::vector<BrowserVisit>> read = readStore(store);
        if (!read)
            continue;
        anyRead = true;
        visits.insert(visits.end(), std::make_move_iterator(read->begin()), std::make_move_iterator(read->end()));
    }
    if (!stores.empty() && !anyRead)
        return std::nullopt;
    return visits;
}

}  // namespace ovix
