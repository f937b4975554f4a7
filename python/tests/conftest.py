"""Helpers that the module's test files share: a script in a fresh
interpreter, a wait for a condition, a thread that shows when the interpreter
lock is free, packed vectors written by hand, and the stems' oracle. pytest loads this file before the tests of this
folder, which import what they use from it."""

import functools
import os
import struct
import subprocess
import sys
import textwrap
import threading
import time

import ovix


def run_isolated(script, timeout=120, cwd=None):
    """Runs a script in a fresh interpreter, so that a crash or a hang fails
    the test and not the run. ASan's quarantine is switched off there, so that
    freed memory is reused as it is without sanitizers."""
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "quarantine_size_mb=0"]))
    return subprocess.run([sys.executable, "-c", textwrap.dedent(script)], timeout=timeout, cwd=cwd,
                          capture_output=True, text=True, env=env)


def eventually(condition, limit=20.0):
    """Checks `condition` every 10 ms until it holds (True) or `limit`
    seconds have passed (False)."""
    deadline = time.monotonic() + limit
    while not condition():
        if time.monotonic() > deadline:
            return False
        time.sleep(0.01)
    return True


class LockTicker:
    """A thread that notes the time again and again, giving the interpreter
    lock up after each note, from its first note (which entering waits for)
    to the end of the block: its notes fall where the lock was free."""

    def __init__(self):
        self.ticks = []
        self._first = threading.Event()
        self._stop = threading.Event()
        self._thread = threading.Thread(target=self._run)

    def _run(self):
        while not self._stop.is_set():
            self.ticks.append(time.perf_counter())
            self._first.set()
            time.sleep(0.0002)  # the pause between notes, in which the lock is given up

    def __enter__(self):
        self._thread.start()
        self._first.wait()
        return self

    def __exit__(self, *exception):
        self._stop.set()
        self._thread.join()

    def between(self, start, end):
        """The notes taken strictly between `start` and `end`."""
        return [t for t in self.ticks if start < t < end]


def dvir(entries):
    """A packed vector of (id, weight) entries, in the order given: an int id
    as 64 bits, little-endian, or a fid's text padded with blanks to 8 bytes,
    and the weight as a little-endian float."""
    return b"".join((struct.pack("<Q", fid) if isinstance(fid, int) else ovix.Fid(fid).m_fid.ljust(8, b" "))
                    + struct.pack("<f", weight) for fid, weight in entries)


@functools.cache
def oracle_stemmer():
    """nltk's Porter stemmer (in its MARTIN_EXTENSIONS mode), the oracle that
    stems are checked against. nltk takes about a second to import: only the
    tests that stem pay for it."""
    from nltk.stem.porter import PorterStemmer
    return PorterStemmer(mode=PorterStemmer.MARTIN_EXTENSIONS)
