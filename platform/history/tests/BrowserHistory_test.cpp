#include "platform/history/BrowserHistory.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sqlite3.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include "testing/ScratchFolder.h"

namespace ovix {

namespace {

namespace fs = std::filesystem;

using Visits = std::vector<std::pair<std::string, std::int64_t>>;

// Keeps what it is handed; `onAdd` runs before each slice is taken.
class RecordingSink final : public BrowserVisitSink {
public:
    std::function<void()> onAdd;
    Visits visits;

    void add(const BrowserVisitSlice& slice) override {
        if (onAdd)
            onAdd();
        for (std::size_t i = 0; i < slice.size(); ++i)
            visits.emplace_back(slice.url(i), slice.seconds(i));
    }
    std::size_t size() const override { return visits.size(); }
    void truncate(std::size_t count) override { visits.resize(count); }
};

// A browser's connection to its Gecko store: the rows (id, "http://<id>/",
// id seconds) with ids from..to, its journal in `mode`.
class Browser {
public:
    Browser(const fs::path& database, const char* mode) {
        fs::create_directories(database.parent_path());
        EXPECT_EQ(sqlite3_open(database.c_str(), &m_db), SQLITE_OK);
        exec(std::string("PRAGMA journal_mode=") + mode);
        exec("PRAGMA wal_autocheckpoint=0");
        exec("CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, last_visit_date INTEGER)");
    }
    ~Browser() { sqlite3_close(m_db); }
    Browser(const Browser&) = delete;
    Browser& operator=(const Browser&) = delete;

    void exec(const std::string& sql) {
        char* error = nullptr;
        EXPECT_EQ(sqlite3_exec(m_db, sql.c_str(), nullptr, nullptr, &error), SQLITE_OK)
            << sql << ": " << (error ? error : "");
        sqlite3_free(error);
    }
    void insert(int from, int to) {
        exec("WITH RECURSIVE n(i) AS (SELECT " + std::to_string(from) + " UNION ALL SELECT i + 1 FROM n WHERE i < " +
             std::to_string(to) + ") INSERT INTO moz_places SELECT i, 'http://' || i || '/', i * 1000000 FROM n");
    }
    // What the reader should see: the rows as this connection sees them.
    Visits visits() {
        Visits rows;
        sqlite3_stmt* statement = nullptr;
        sqlite3_prepare_v2(m_db, "SELECT url, last_visit_date / 1000000 FROM moz_places ORDER BY id", -1, &statement,
                           nullptr);
        while (sqlite3_step(statement) == SQLITE_ROW)
            rows.emplace_back(reinterpret_cast<const char*>(sqlite3_column_text(statement, 0)),
                              sqlite3_column_int64(statement, 1));
        sqlite3_finalize(statement);
        return rows;
    }

private:
    sqlite3* m_db = nullptr;
};

class BrowserHistoryTest : public ::testing::Test {
protected:
    void SetUp() override {
        for (const char* folder : {"home", "runtime", "tmp"})
            fs::create_directory(m_scratch / folder);
        chmod(runtime().c_str(), 0700);
        setenv("HOME", (m_scratch / "home").c_str(), 1);
        setenv("XDG_CONFIG_HOME", (m_scratch / "config").c_str(), 1);
        setenv("XDG_RUNTIME_DIR", runtime().c_str(), 1);
        setenv("TMPDIR", (m_scratch / "tmp").c_str(), 1);
    }

    fs::path runtime() const { return m_scratch / "runtime"; }
    fs::path store() const { return m_scratch / "home/.mozilla/firefox/profile/places.sqlite"; }
    // The copy folders in `folder`.
    static std::vector<std::string> copiesIn(const fs::path& folder) {
        std::vector<std::string> copies;
        std::error_code ignored;
        for (fs::directory_iterator entry(folder, ignored), end; entry != end; entry.increment(ignored))
            if (entry->path().filename().string().starts_with("ovix-history-"))
                copies.push_back(entry->path().filename());
        return copies;
    }

    testing::ScratchFolder m_scratch;
};

// Beside a browser that commits and moves its log into the database while
// the store is copied or read, the rows are those of one committed state:
// here the last, as the read is made again once the change is seen.
TEST_F(BrowserHistoryTest, EachStoreIsReadAsOneCommittedStateBesideAWriter) {
    const struct {
        const char* name;
        const char* journal;
        bool changeAfterLogCopy;  // else while the rows are read, after the first slice
    } cases[] = {
        {"log copied, then a commit and a checkpoint", "WAL", true},
        {"database read in place, rewritten between slices", "DELETE", false},
    };
    constexpr int kRows = 3 * static_cast<int>(BrowserVisitSlice::kRows);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove_all(store().parent_path());
        Browser browser(store(), c.journal);
        browser.insert(1, kRows / 2);
        browser.exec("PRAGMA wal_checkpoint(TRUNCATE)");
        browser.insert(kRows / 2 + 1, kRows);
        int changes = 0;
        const auto change = [&] {
            if (changes++ > 0)
                return;
            browser.exec("BEGIN; DELETE FROM moz_places WHERE id % 3 = 0; UPDATE moz_places SET id = id + " +
                         std::to_string(kRows) + " WHERE id % 3 = 1;");
            browser.insert(2 * kRows + 1, 3 * kRows);
            browser.exec("COMMIT; PRAGMA wal_checkpoint(TRUNCATE)");
        };
        RecordingSink sink;
        if (!c.changeAfterLogCopy)
            sink.onAdd = change;
        ASSERT_TRUE(readBrowserHistory(sink, [&](std::string_view copied) {
            if (c.changeAfterLogCopy && copied == "places.sqlite-wal")
                change();
        }));
        EXPECT_GT(changes, 0) << "the change was made";
        EXPECT_TRUE(sink.visits == browser.visits()) << sink.visits.size() << " rows";
        EXPECT_TRUE(copiesIn(runtime() / "ovix").empty());
    }
}

// A reader that dies holding a copy leaves it; the next read of any process
// removes it, yet never the copy of a reader that lives. The runtime folder
// holds the copies only when nobody else can reach it, else the temporary
// folder does.
TEST_F(BrowserHistoryTest, ACopyLeftByAReaderThatDiedGoesAtTheNextReadWhileALiveOneStays) {
    const struct {
        const char* name;
        mode_t runtimeMode;
        const char* copies;
    } cases[] = {
        {"private runtime folder", 0700, "runtime/ovix"},
        {"runtime folder open to others", 0755, "tmp"},
    };
    Browser browser(store(), "WAL");
    browser.insert(1, 100);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        chmod(runtime().c_str(), c.runtimeMode);
        int copied[2];
        ASSERT_EQ(pipe2(copied, O_CLOEXEC), 0);
        const pid_t reader = fork();
        if (reader == 0) {
            RecordingSink sink;
            readBrowserHistory(sink, [&](std::string_view) {
                if (write(copied[1], "c", 1) == 1)
                    for (;;)
                        pause();
            });
            _exit(1);
        }
        ASSERT_GT(reader, 0);
        close(copied[1]);
        struct Reader {
            pid_t pid;
            void kill() {
                if (pid > 0 && ::kill(pid, SIGKILL) == 0)
                    waitpid(pid, nullptr, 0);
                pid = -1;
            }
            ~Reader() { kill(); }
        } child{reader};
        char byte;
        ASSERT_EQ(read(copied[0], &byte, 1), 1) << "the reader has copied";
        close(copied[0]);
        const auto copies = copiesIn(m_scratch / c.copies);
        ASSERT_EQ(copies.size(), 1u);
        EXPECT_TRUE(copiesIn(runtime() / "ovix").size() + copiesIn(m_scratch / "tmp").size() == 1);

        RecordingSink beside;
        EXPECT_TRUE(readBrowserHistory(beside));
        EXPECT_TRUE(beside.visits == browser.visits());
        EXPECT_EQ(copiesIn(m_scratch / c.copies), copies) << "the live reader's copy stays";

        child.kill();
        RecordingSink next;
        EXPECT_TRUE(readBrowserHistory(next));
        EXPECT_TRUE(copiesIn(m_scratch / c.copies).empty()) << "the dead reader's copy is gone";
    }
}

}  // namespace

}  // namespace ovix
