"""CPyth2Win.GetIEHistory side by side in one run with Python's sqlite3
reading the same rows in place, on the store of a running browser: a Gecko
history database in WAL mode whose newest rows are still in its write-ahead
log, held open by a writer for the length of the run.

Two stores: 1,000,000 visits with ordinary addresses, and 200,000 visits of
about 10 KB each (2 GB). Each reading runs in a process of its own and
reports its wall time, its peak memory growth over what it held before the
call (the peak is reset just before), the longest time a ticker thread
waited for the interpreter lock (beyond its 1 ms sleep), and how many copy
folders are left when the call returns. A watcher process meanwhile samples
the bytes in the runtime and temporary folders (the temporary space used).

  PYTHONPATH=build/python /usr/bin/python3 bench/browser_history.py [--runs N] [--folder DIR] [--small]
"""

import argparse
import json
import os
import sqlite3
import statistics
import subprocess
import sys
import tempfile
import time
from pathlib import Path

LOGGED_ROWS = 2000

READER = r"""
import json, os, sys, threading, time
side, folders = sys.argv[1], sys.argv[2:]
if side == "ovix":
    import ovix
    platform = ovix.CPyth2Win()
    read = platform.GetIEHistory
else:
    import sqlite3
    def read():
        db = sqlite3.connect(f"file:{os.environ['STORE']}?mode=ro", uri=True)
        rows = db.execute("SELECT url, last_visit_date FROM moz_places "
                          "WHERE last_visit_date IS NOT NULL ORDER BY id").fetchall()
        db.close()
        return rows

def rss_kib(field):
    with open("/proc/self/status") as status:
        return next(int(line.split()[1]) for line in status if line.startswith(field))

longest, stop = [0.0], threading.Event()
def tick():
    last = time.perf_counter()
    while not stop.is_set():
        time.sleep(0.001)
        now = time.perf_counter()
        longest[0] = max(longest[0], now - last - 0.001)
        last = now
ticker = threading.Thread(target=tick)
ticker.start()
time.sleep(0.05)
with open("/proc/self/clear_refs", "w") as clear:
    clear.write("5")
before = rss_kib("VmRSS:")
start = time.perf_counter()
rows = read()
seconds = time.perf_counter() - start
peak = rss_kib("VmHWM:")
stop.set()
ticker.join()
left = sum(name.startswith("ovix-history-") for folder in folders for name in os.listdir(folder))
print(json.dumps({"rows": len(rows), "seconds": seconds, "peak_mib": (peak - before) / 1024,
                  "lock_ms": 1000 * longest[0], "left": left}))
"""

WATCHER = r"""
import os, sys, time
folders = sys.argv[1:]
def used():
    total = 0
    for folder in folders:
        for root, _, files in os.walk(folder):
            for name in files:
                try:
                    total += os.lstat(os.path.join(root, name)).st_blocks * 512
                except FileNotFoundError:
                    pass
    return total
peak = 0
while not os.path.exists(os.path.join(folders[0], "..", "stop")):
    peak = max(peak, used())
    time.sleep(0.001)
print(peak)
"""


def build_store(path, rows, url_of, filler):
    """A Gecko store with rows visits; the last LOGGED_ROWS only in the log of
    the connection returned, which keeps them there."""
    path.parent.mkdir(parents=True, exist_ok=True)
    db = sqlite3.connect(path, isolation_level=None)
    db.execute("PRAGMA page_size=32768")
    db.execute("PRAGMA journal_mode=WAL")
    db.execute("PRAGMA wal_autocheckpoint=0")
    db.execute("CREATE TABLE moz_places(id INTEGER PRIMARY KEY, url TEXT, title TEXT, last_visit_date INTEGER, "
               "description TEXT)")

    def visits(first, last):
        for i in range(first, last + 1):
            yield i, url_of(i), f"Page {i}", 1_600_000_000_000_000 + i * 1_000_000, filler(i)

    db.execute("BEGIN")
    db.executemany("INSERT INTO moz_places VALUES (?, ?, ?, ?, ?)", visits(1, rows - LOGGED_ROWS))
    db.execute("COMMIT")
    db.execute("PRAGMA wal_checkpoint(TRUNCATE)")
    for first in range(rows - LOGGED_ROWS + 1, rows + 1, 100):
        db.execute("BEGIN")
        db.executemany("INSERT INTO moz_places VALUES (?, ?, ?, ?, ?)", visits(first, min(first + 99, rows)))
        db.execute("COMMIT")
    return db


def read_once(side, home, runtime, temporary, store):
    copies = (runtime / "ovix", temporary)
    stop = runtime.parent / "stop"
    stop.unlink(missing_ok=True)
    env = dict(os.environ, HOME=str(home), XDG_CONFIG_HOME=str(home / "config"), XDG_RUNTIME_DIR=str(runtime),
               TMPDIR=str(temporary), STORE=str(store))
    watcher = subprocess.Popen([sys.executable, "-c", WATCHER, str(runtime), str(temporary)],
                               stdout=subprocess.PIPE, text=True)
    try:
        child = subprocess.run([sys.executable, "-c", READER, side, *map(str, copies)], env=env,
                               capture_output=True, text=True, check=True)
    finally:
        stop.touch()
        temporary_peak = int(watcher.communicate()[0])
    result = json.loads(child.stdout)
    result["temporary_mib"] = temporary_peak / 2**20
    return result


def compare(name, home, runtime, temporary, store, runs):
    print(f"\n{name}: {store.stat().st_size / 1e9:.2f} GB database, "
          f"{os.path.getsize(str(store) + '-wal') / 1e6:.1f} MB log")
    print(f"{'run':>4} {'side':>6} {'rows':>8} {'seconds':>8} {'peak MiB':>9} {'lock ms':>8} {'temp MiB':>9} {'left':>5}")
    ratios = {"seconds": [], "peak_mib": []}
    for run in range(1, runs + 1):
        results = {side: read_once(side, home, runtime, temporary, store) for side in ("python", "ovix")}
        for side, r in results.items():
            print(f"{run:>4} {side:>6} {r['rows']:>8} {r['seconds']:>8.3f} {r['peak_mib']:>9.1f} "
                  f"{r['lock_ms']:>8.1f} {r['temporary_mib']:>9.1f} {r['left']:>5}")
        for key in ratios:
            ratios[key].append(results["ovix"][key] / results["python"][key])
    print(f"median ovix/python: time {statistics.median(ratios['seconds']):.2f}x, "
          f"peak memory {statistics.median(ratios['peak_mib']):.2f}x")


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--runs", type=int, default=3)
    parser.add_argument("--folder", help="where to build the stores (default: a temporary folder)")
    parser.add_argument("--small", action="store_true", help="a tenth of the rows, for a quick look")
    args = parser.parse_args()
    scale = 10 if args.small else 1

    with tempfile.TemporaryDirectory(dir=args.folder) as scratch:
        scratch = os.path.realpath(scratch)
        home, runtime, temporary = Path(scratch) / "home", Path(scratch) / "run" / "runtime", Path(scratch) / "tmp"
        for folder in (home, runtime / "ovix", temporary):
            folder.mkdir(parents=True, mode=0o700)
        runtime.chmod(0o700)

        store = home / ".mozilla" / "firefox" / "many" / "places.sqlite"
        start = time.perf_counter()
        writer = build_store(store, 1_000_000 // scale, lambda i: f"https://site{i % 9973}.example/path/{i}?q={i * 7}",
                             lambda i: None)
        print(f"built 1,000,000-visit store in {time.perf_counter() - start:.0f} s")
        compare("1,000,000 visits", home, runtime, temporary, store, args.runs)
        writer.close()
        os.remove(store)

        store = home / ".mozilla" / "firefox" / "large" / "places.sqlite"
        start = time.perf_counter()
        writer = build_store(store, 200_000 // scale, lambda i: f"https://site{i % 9973}.example/article/{i}",
                             lambda i: os.urandom(5000).hex())
        print(f"built 200,000-visit store in {time.perf_counter() - start:.0f} s")
        compare("200,000 visits of 10 KB", home, runtime, temporary, store, args.runs)
        writer.close()


if __name__ == "__main__":
    main()
