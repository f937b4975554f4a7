"""CPyth2Win_GetIEHistory over browser history databases made here with
Python's sqlite3 under a scratch HOME and XDG_CONFIG_HOME, against Python's
own reading of them with exact integer arithmetic."""

import array
import json
import os
import random
import sqlite3
import struct
import subprocess
import sys
import threading

import pytest

import ovix

FAILED = "reading IE history failed: 0x80004005\n"
# 100-nanosecond intervals from 1601-01-01 to 1970-01-01 UTC.
INTERVALS_BEFORE_1970 = 116444736000000000

GECKO = ("moz_places", "last_visit_date")
CHROMIUM = ("urls", "last_visit_time")


def toward_zero(a, b):
    """a / b truncated toward zero, which Python's // is not for negatives."""
    quotient = abs(a) // abs(b)
    return quotient if (a < 0) == (b < 0) else -quotient


def expected_seconds(kind, time):
    """Seconds since 1970 from the visit's count of 100-ns intervals since
    1601; None when that count does not fit a signed 64-bit integer."""
    intervals = 10 * time + (INTERVALS_BEFORE_1970 if kind == GECKO else 0)
    if not -2**63 <= intervals < 2**63:
        return None
    return toward_zero(intervals - INTERVALS_BEFORE_1970, 10**7)


def make_store(path, kind, rows):
    """A history database at path with rows (id, url, time); a bytes url is
    stored as text, valid UTF-8 or not."""
    table, time_column = kind
    path.parent.mkdir(parents=True, exist_ok=True)
    with sqlite3.connect(path) as db:
        db.execute(f"CREATE TABLE {table}(id INTEGER PRIMARY KEY, url TEXT, {time_column} INTEGER)")
        db.executemany(f"INSERT INTO {table}(id, url, {time_column}) VALUES (?, CAST(? AS TEXT), ?)", rows)
    db.close()


def logged_store(path, rows, logged_rows):
    """A Gecko store in WAL mode with rows (id, url, time) in the database and
    logged_rows only in its log, where the connection returned keeps them."""
    path.parent.mkdir(parents=True, exist_ok=True)
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA journal_mode=WAL")
    db.execute("PRAGMA wal_autocheckpoint=0")
    db.execute("CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, last_visit_date INTEGER)")
    db.executemany("INSERT INTO moz_places VALUES (?, ?, ?)", rows)
    db.execute("PRAGMA wal_checkpoint(TRUNCATE)")
    db.executemany("INSERT INTO moz_places VALUES (?, ?, ?)", logged_rows)
    return db


def python_reading(stores):
    """The rows of each (kind, path), in that order, then by id."""
    visits = []
    for kind, path in stores:
        table, time_column = kind
        db = sqlite3.connect(path)
        db.text_factory = bytes
        for url, time in db.execute(f"SELECT url, {time_column} FROM {table} ORDER BY id"):
            if not url or type(time) is not int or (kind == CHROMIUM and time <= 0):
                continue
            seconds = expected_seconds(kind, time)
            if seconds is not None:
                visits.append((url.decode("utf-8", "surrogateescape"), seconds, 1))
        db.close()
    return visits


def files_of(folder):
    return {path.relative_to(folder): path.read_bytes() for path in folder.rglob("*") if path.is_file()}


class Browsers:
    def __init__(self, root):
        self.home = root / "home"
        self.config = root / "config"
        self.home.mkdir()

    def gecko(self, profile):
        return self.home / ".mozilla" / "firefox" / profile / "places.sqlite"

    def chromium(self, profile, browser="chromium"):
        return self.config / browser / profile / "History"


@pytest.fixture
def browsers(tmp_path, monkeypatch):
    found = Browsers(tmp_path)
    monkeypatch.setenv("HOME", str(found.home))
    monkeypatch.setenv("XDG_CONFIG_HOME", str(found.config))
    return found


@pytest.fixture
def runtime_folder(tmp_path, monkeypatch):
    """The project's folder under a scratch $XDG_RUNTIME_DIR, made ahead."""
    monkeypatch.setenv("XDG_RUNTIME_DIR", str(tmp_path))
    (tmp_path / "ovix").mkdir(mode=0o700)
    return tmp_path / "ovix"


def history():
    return ovix.CPyth2Win().GetIEHistory()


class TestVisitTimes:
    INSTANTS = [  # (kind, stored time, seconds since 1970)
        (GECKO, 0, 0),  # 1970-01-01
        (CHROMIUM, 11644473600000000, 0),
        (GECKO, 1104537600000000, 1104537600),  # 2005-01-01
        (CHROMIUM, 12749011200000000, 1104537600),
        (GECKO, -1500000, -1),  # 1.5 s before 1970: toward zero
        (CHROMIUM, 11644473598500000, -1),
        (GECKO, 2208988800000000, 2208988800),  # 2040-01-01: past 32 bits
        (CHROMIUM, 13853462400000000, 2208988800),
    ]

    def test_no_store_gives_an_empty_list_and_instants_give_their_seconds(self, browsers):
        assert history() == []
        for kind, store in ((GECKO, browsers.gecko("p")), (CHROMIUM, browsers.chromium("Default"))):
            make_store(store, kind, [(i, f"http://{i}/", t) for i, (k, t, _) in enumerate(self.INSTANTS) if k == kind])
        expected = [(f"http://{i}/", s, 1) for kind in (GECKO, CHROMIUM)
                    for i, (k, _, s) in enumerate(self.INSTANTS) if k == kind]
        assert history() == expected

    def test_random_stores_read_as_python_reads_them(self, browsers):
        random_rows = random.Random(22)
        # Times at the edges of the 64-bit interval count and of 0, no time and a
        # fraction, among times of ordinary visits.
        gecko_edges = [-((2**63 + INTERVALS_BEFORE_1970) // 10), (2**63 - 1 - INTERVALS_BEFORE_1970) // 10]
        edges = {GECKO: [e + d for e in gecko_edges for d in (-1, 0, 1)] + [-2**63, 2**63 - 1, -999999, 0],
                 CHROMIUM: [(2**63 - 1) // 10 + d for d in (0, 1)] + [-2**63, 2**63 - 1, -1, 0, 1]}
        spans = {GECKO: (-10**15, 3 * 10**15), CHROMIUM: (10**16, 14 * 10**15)}
        urls = [None, "", "https://例え.テスト/ü?q=1", b"http://bad.example/\xff\xfe\xc3", "http://nul.example/\0x"]

        def rows(kind):
            ids = random_rows.sample(range(1, 10**6), 60)
            return [(i, random_rows.choice(urls + [f"http://{i}.example/"] * 5),
                     random_rows.choice(edges[kind] + [None, 1e15 + 0.5, random_rows.randint(*spans[kind])] * 3))
                    for i in ids]

        # Byte order of names: "a" before "a b", upper case before lower, UTF-8 last.
        stores = [(GECKO, browsers.gecko(name)) for name in ("Z", "a", "a b", "é")]
        stores += [(CHROMIUM, browsers.chromium(name)) for name in ("Default", "Profile 1")]
        stores += [(CHROMIUM, browsers.chromium("Default", "google-chrome"))]
        for kind, path in random_rows.sample(stores, len(stores)):
            make_store(path, kind, rows(kind))
        # Folders without a database and files are no profiles.
        (browsers.gecko("empty").parent).mkdir()
        (browsers.gecko("file").parent).write_text("")
        expected = python_reading(stores)
        assert len(expected) > 100
        assert history() == expected


    @pytest.mark.parametrize("link", ["profile folder", "database file"])
    def test_a_store_reached_twice_is_read_once_with_its_log(self, browsers, link):
        # "a" comes first: the store is read through the link, and its log is
        # the one beside the database itself.
        writer = logged_store(browsers.gecko("b"), [(1, "http://a/", 10**6)], [(2, "http://logged/", 2 * 10**6)])
        try:
            if link == "profile folder":
                browsers.gecko("a").parent.symlink_to("b")
            else:
                browsers.gecko("a").parent.mkdir()
                browsers.gecko("a").symlink_to(browsers.gecko("b"))
            assert history() == [("http://a/", 1, 1), ("http://logged/", 2, 1)]
        finally:
            writer.close()


# A hot rollback journal that says the database had one page: rolled back in a
# copy, it cuts the tables away, so every copy reads as corrupt and only the
# original, read as it stands, gives the rows.
TRUNCATING_JOURNAL = (bytes.fromhex("d9d505f920a163d7") + struct.pack(">IIIII", 0, 0, 1, 512, 4096)).ljust(512, b"\0")

LIVE_WRITER = r"""
import sqlite3, sys
db = sqlite3.connect(sys.argv[1], isolation_level=None)
db.execute("CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, last_visit_date INTEGER)")
db.execute("INSERT INTO moz_places VALUES (1, 'http://checkpointed/', 1000000)")
db.execute("PRAGMA locking_mode=EXCLUSIVE")
db.execute("PRAGMA journal_mode=WAL")
db.execute("PRAGMA wal_autocheckpoint=0")
db.execute("INSERT INTO moz_places VALUES (2, 'http://in-the-log/', 2000000)")
print("ready", flush=True)
sys.stdin.read()
"""


class TestLiveBrowser:
    def test_a_locked_store_is_read_whole_and_left_as_it_was(self, browsers, runtime_folder):
        store = browsers.gecko("live")
        store.parent.mkdir(parents=True)
        writer = subprocess.Popen([sys.executable, "-c", LIVE_WRITER, str(store)],
                                  stdin=subprocess.PIPE, stdout=subprocess.PIPE, text=True)
        try:
            assert writer.stdout.readline() == "ready\n"
            platform = ovix.CPyth2Win()
            before, runtime_before = files_of(store.parent), set(os.listdir(runtime_folder))
            assert platform.GetIEHistory() == [("http://checkpointed/", 1, 1), ("http://in-the-log/", 2, 1)]
            assert files_of(store.parent) == before
            assert set(os.listdir(runtime_folder)) == runtime_before
            # The writer holds the store locked, the second row only in its log.
            with pytest.raises(sqlite3.OperationalError, match="locked"):
                sqlite3.connect(f"file:{store}?mode=ro", uri=True, timeout=0).execute("SELECT id FROM moz_places")
            as_it_stands = sqlite3.connect(f"file:{store}?mode=ro&immutable=1", uri=True)
            assert as_it_stands.execute("SELECT id FROM moz_places").fetchall() == [(1,)]
        finally:
            writer.communicate()

    def test_a_copy_that_stays_corrupt_gives_way_to_the_original_at_any_path(self, browsers):
        store = browsers.gecko("odd ?#% é")
        make_store(store, GECKO, [(1, "http://a/", 5000000), (2, "http://b/", None)])
        store.with_name(store.name + "-journal").write_bytes(TRUNCATING_JOURNAL)
        copied = browsers.home / "copied.sqlite"
        copied.write_bytes(store.read_bytes())
        copied.with_name(copied.name + "-journal").write_bytes(TRUNCATING_JOURNAL)
        with pytest.raises(sqlite3.DatabaseError, match="malformed"):
            sqlite3.connect(copied).execute("SELECT * FROM moz_places").fetchall()
        before = files_of(store.parent)
        assert history() == [("http://a/", 5, 1)]
        assert files_of(store.parent) == before

    def test_a_log_that_does_not_fit_the_runtime_folder_is_copied_to_the_temporary_folder(self, browsers, tmp_path):
        if subprocess.run(["unshare", "--mount", "--map-root-user", "true"], capture_output=True).returncode != 0:
            pytest.skip("cannot make a mount namespace here")
        runtime, temporary = tmp_path / "run", tmp_path / "tmp"
        runtime.mkdir(mode=0o700)
        temporary.mkdir()
        logged = [(i, f"http://{i}.example/{'x' * 1000}", i * 10**6) for i in range(2, 200)]
        writer = logged_store(browsers.gecko("p"), [(1, "http://1/", 10**6)], logged)
        try:
            assert os.path.getsize(f"{browsers.gecko('p')}-wal") > 64 * 1024
            # The runtime folder a file system of 64 KiB, in the child's own
            # mount namespace.
            mounted = 'mount -t tmpfs -o size=64k,mode=0700 tmpfs "$XDG_RUNTIME_DIR" && exec "$@"'
            child = subprocess.run(
                ["unshare", "--mount", "--map-root-user", "sh", "-c", mounted, "sh",
                 sys.executable, "-c", READ_IN_CHILD, str(browsers.config)],
                env=dict(os.environ, XDG_RUNTIME_DIR=str(runtime), TMPDIR=str(temporary)),
                capture_output=True, text=True, timeout=60, check=True)
            expected = [["http://1/", 1, 1]] + [[url, time // 10**6, 1] for _, url, time in logged]
            assert json.loads(child.stdout) == [expected]
            assert os.listdir(temporary) == []
        finally:
            writer.close()

    def test_the_list_is_built_in_slices_between_which_other_threads_run(self, browsers):
        rows = 100000
        make_store(browsers.gecko("big"), GECKO, [(i, f"http://{i:040}/", i) for i in range(1, rows + 1)])
        platform = ovix.CPyth2Win()
        # The memory blocks that Python holds, as often as this thread gets
        # the interpreter lock, into a buffer made ahead.
        samples, taken, stop = array.array("q", bytes(8 * 1000000)), [0], threading.Event()

        def sample():
            while not stop.is_set() and taken[0] < len(samples):
                samples[taken[0]] = sys.getallocatedblocks()
                taken[0] += 1

        sampler = threading.Thread(target=sample)
        sampler.start()
        try:
            before = sys.getallocatedblocks()
            visits = platform.GetIEHistory()
            after = sys.getallocatedblocks()
        finally:
            stop.set()
            sampler.join()
        assert len(visits) == rows
        # A tuple and a text a visit: the other thread ran while a good part
        # of them was made, not only before and after.
        assert after - before > rows
        margin = (after - before) // 10
        assert len({b for b in samples[:taken[0]] if before + margin < b < after - margin}) >= 3


def not_a_database(path, kind):
    path.parent.mkdir(parents=True)
    path.write_bytes(b"not a database\n" * 300)


def without_table(path, kind):
    make_store(path, ("other", kind[1]), [])


def without_time_column(path, kind):
    make_store(path, (kind[0], "visit_date"), [])


# Reads the history once for each XDG_CONFIG_HOME given, in a child that a
# store it waits on cannot hold up for ever.
READ_IN_CHILD = r"""
import json, os, sys, ovix
results = []
for config in sys.argv[1:]:
    os.environ["XDG_CONFIG_HOME"] = config
    try:
        results.append(ovix.CPyth2Win().GetIEHistory())
    except RuntimeError as error:
        results.append(str(error))
print(json.dumps(results))
"""


class TestStoresThatCannotBeRead:
    @pytest.mark.parametrize("kind", [GECKO, CHROMIUM], ids=["gecko", "chromium"])
    @pytest.mark.parametrize("spoil", [not_a_database, without_table, without_time_column])
    def test_unreadable_stores_fail_alone_and_are_skipped_beside_a_good_one(self, browsers, kind, spoil):
        spoil(browsers.gecko("a") if kind == GECKO else browsers.chromium("a"), kind)
        with pytest.raises(RuntimeError) as failure:
            history()
        assert str(failure.value) == FAILED
        make_store(browsers.chromium("b", "google-chrome"), CHROMIUM, [(1, "http://good/", 11644473601000000)])
        assert history() == [("http://good/", 1, 1)]

    def test_files_that_are_no_regular_files_are_refused_without_waiting(self, browsers, tmp_path):
        browsers.gecko("fifo").parent.mkdir(parents=True)
        os.mkfifo(browsers.gecko("fifo"))
        good = browsers.chromium("Default")
        make_store(good, CHROMIUM, [(1, "http://good/", 11644473601000000)])
        os.mkfifo(good.with_name("History-wal"))
        configs = [str(tmp_path / "none"), str(browsers.config)]
        child = subprocess.run([sys.executable, "-c", READ_IN_CHILD, *configs],
                               capture_output=True, text=True, timeout=60, check=True)
        assert json.loads(child.stdout) == [FAILED, [["http://good/", 1, 1]]]

    def test_a_profile_folder_that_cannot_be_entered_is_a_store_that_cannot_be_read(self, browsers, tmp_path):
        make_store(browsers.gecko("locked"), GECKO, [(1, "http://locked/", 0)])
        make_store(browsers.chromium("Default"), CHROMIUM, [(1, "http://good/", 11644473601000000)])
        # Root is bound by permissions only without the capabilities that
        # override them.
        as_user = []
        if os.geteuid() == 0:
            as_user = ["setpriv", "--inh-caps=-all", "--bounding-set=-dac_override,-dac_read_search"]
        browsers.gecko("locked").parent.chmod(0)
        try:
            configs = [str(tmp_path / "none"), str(browsers.config)]
            child = subprocess.run([*as_user, sys.executable, "-c", READ_IN_CHILD, *configs],
                                   capture_output=True, text=True, timeout=60, check=True)
        finally:
            browsers.gecko("locked").parent.chmod(0o700)
        assert json.loads(child.stdout) == [FAILED, [["http://good/", 1, 1]]]

    def test_without_home_nothing_is_read(self, browsers, monkeypatch):
        make_store(browsers.gecko("p"), GECKO, [(1, "http://a/", 0)])
        monkeypatch.delenv("HOME")
        monkeypatch.delenv("XDG_CONFIG_HOME")
        assert history() == []
