"""CPU-bound processes beside a benchmark: the busy machine of the
benchmarks' --busy option."""

import subprocess
import sys
from contextlib import contextmanager


@contextmanager
def busy_processes(count):
    spinners = [subprocess.Popen([sys.executable, "-c", "while True: pass"]) for _ in range(count)]
    try:
        yield
    finally:
        for spinner in spinners:
            spinner.kill()
            spinner.wait()
