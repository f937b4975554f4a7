"""dvirIncrDocCounts under contention for the Fids lock, side by side in one
run with the same call alone: a vector of 20,000 entries counted into a
FidsDocCount while one thread loads counts into it (addFidCounts) and
another asks its Fids for ids (getFid; the Fids keeps tokens, so each call
takes the lock). Prints the milliseconds of each call (median and worst of
the rounds) and the longest that one getFid took meanwhile.

  PYTHONPATH=build/python /usr/bin/python3 bench/doc_count_contention.py [--rounds N]
"""

import argparse
import os
import statistics
import struct
import sys
import threading
import time

import ovix


def vector_and_records(entries):
    ids = sorted(os.urandom(8) for _ in range(entries))
    vector = b"".join(i + struct.pack("<f", 1.0) for i in sorted(ids, key=lambda b: int.from_bytes(b, "little")))
    records = b"".join(i + struct.pack(">I", 3) for i in ids[: entries // 4])
    return vector, records


def timed_calls(vector, counts, rounds):
    times = []
    for _ in range(rounds):
        start = time.perf_counter()
        ovix.dvirIncrDocCounts(vector, counts)
        times.append(1000 * (time.perf_counter() - start))
    return times


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--rounds", type=int, default=20)
    parser.add_argument("--entries", type=int, default=20000)
    args = parser.parse_args()

    fids = ovix.Fids(True)
    counts = ovix.FidsDocCount(fids)
    vector, records = vector_and_records(args.entries)
    alone = timed_calls(vector, counts, args.rounds)

    stop = threading.Event()
    longest_get = [0.0]

    def load():
        while not stop.is_set():
            counts.addFidCounts(records, 100, False)

    def ask():
        n = 0
        while not stop.is_set():
            start = time.perf_counter()
            fids.getFid(f"word{n % 1000}")
            longest_get[0] = max(longest_get[0], time.perf_counter() - start)
            n += 1

    threads = [threading.Thread(target=load), threading.Thread(target=ask)]
    for thread in threads:
        thread.start()
    time.sleep(0.1)
    contended = timed_calls(vector, counts, args.rounds)
    stop.set()
    for thread in threads:
        thread.join()

    print(f"dvirIncrDocCounts of {args.entries} entries, {args.rounds} rounds, load {os.getloadavg()[0]:.1f}")
    for name, times in (("alone", alone), ("addFidCounts + getFid beside", contended)):
        print(f"  {name:<30} median {statistics.median(times):8.2f} ms   worst {max(times):8.2f} ms")
    print(f"  longest getFid meanwhile: {1000 * longest_get[0]:.2f} ms "
          f"(the interpreter's switch interval is {1000 * sys.getswitchinterval():.0f} ms)")


if __name__ == "__main__":
    main()
