"""Objects that a running call uses: deleting one while another thread's call
works on it with the interpreter lock released is refused, and threads that
call, delete and re-create shared objects touch no freed memory. Each case
runs in a child interpreter, so that a crash fails the test."""

import os
import random
import sys
import threading

import pytest

import _ovix
import ovix
from conftest import run_isolated

VECTOR = _ovix.dvirFromFidsAndWeights([b"a", b"b", b"c"], [1.0, 2.0, 3.0])


def in_child(case, timeout=120):
    """Runs the module function `case` in a fresh interpreter."""
    result = run_isolated(f"import test_objects_in_use as t; t.{case}()", timeout, cwd=os.path.dirname(__file__))
    assert result.returncode == 0, result.stdout + result.stderr
    assert "leak" not in result.stdout + result.stderr


def delete_while_called(make, call, delete, hold=None):
    """Starts call(obj) on a thread, where it waits (for the Fids lock that
    hold() takes, or for its own reasons) with the interpreter lock released,
    and deletes obj meanwhile. A delete that comes before the call begins
    succeeds and the call finds no object: then it tries again with a new one.
    Returns the refusal's text and the object, on which the call has
    completed. With a long switch interval, the thread gives the interpreter
    lock up only of its own accord, so this one goes on once the call waits."""
    sys.setswitchinterval(60)
    for _ in range(50):
        obj = make()
        entered = threading.Event()
        outcome = []

        def run():
            entered.set()
            try:
                outcome.append(call(obj))
            except TypeError:
                outcome.append("deleted before the call")

        release = hold() if hold else (lambda: None)
        thread = threading.Thread(target=run)
        thread.start()
        entered.wait()
        try:
            delete(obj)
            refusal = None
        except RuntimeError as e:
            refusal = str(e)
        release()
        thread.join()
        if refusal:
            assert outcome != ["deleted before the call"]
            return refusal, obj
    raise AssertionError("no delete was refused while the call ran")


def fids_lock_holder(fids):
    """hold() for delete_while_called: an iteration on this thread keeps the
    Fids lock until it is released."""
    table = ovix.FidsDocCount(fids)

    def hold():
        table.getFirst()
        return table.getNextFinish
    return hold


def feature_tables_are_kept_while_called():
    fids = ovix.Fids(False)
    hold = fids_lock_holder(fids)
    make = lambda: ovix.FidsDocCount(fids)
    # The table as an argument, the lock released by the row itself.
    text, dc = delete_while_called(make, lambda dc: _ovix.dvirIncrDocCounts(VECTOR, dc),
                                   _ovix.delete_FidsDocCount, hold)
    assert text == "FidsDocCount is in use by another call"
    assert dc.getDocCount(b"b") == 1
    # The table as the proxy, the lock released while waiting for the Fids.
    text, dc = delete_while_called(make, lambda dc: dc.incrDocCount("x"), _ovix.delete_FidsDocCount, hold)
    assert text == "FidsDocCount is in use by another call"
    assert dc.getDocCount("x") == 1
    _ovix.delete_FidsDocCount(dc)


def feature_dicts_are_kept_while_called():
    fids = ovix.Fids(True)  # keeping tokens, it takes its lock for every token
    text, d = delete_while_called(lambda: ovix.FeatureDict(fids, False, False),
                                  lambda d: d.applyTokenString("some words", 1, 1), _ovix.delete_FeatureDict,
                                  fids_lock_holder(fids))
    assert text == "FeatureDict is in use by another call"
    assert d.getFeatureCount() == 2


def platforms_are_kept_while_waiting_for_a_command():
    made, ready = [], threading.Event()

    def make():
        made.clear()
        ready.clear()
        return None

    def call(_):
        # Made on the waiting thread, whose queue gets the platform's timer.
        made.append(ovix.CPyth2Win())
        ready.set()
        return made[0].GetACmd()

    def delete(_):
        ready.wait()
        try:
            _ovix.delete_CPyth2Win(made[0])
        except RuntimeError:
            made[0].SendSelfQuitMsg()  # the wait ends now rather than at the timer's tick
            raise

    text, _ = delete_while_called(make, call, delete)
    assert text == "CPyth2Win is in use by another call"


@pytest.mark.parametrize("case", ["feature_tables_are_kept_while_called", "feature_dicts_are_kept_while_called",
                                  "platforms_are_kept_while_waiting_for_a_command"])
def test_an_object_in_use_by_a_call_is_not_deleted(case):
    in_child(case)


# --- Stress ---------------------------------------------------------------------

EXPECTED_FAILURES = ("is in use by another call", "is still in use by another object", "Iteration",
                     "dvec not complete", "Too many elements")


def shared_objects_survive_threads_that_delete_them(steps=1000, workers=8):
    """Workers call, delete and re-create Fids, FidsDocCount, FeatureDict and
    FeatureDvecsMem objects that they share, `steps` times each."""
    fids = [ovix.Fids(True) for _ in range(2)]
    tables = [ovix.FidsDocCount(fids[i % 2]) for i in range(3)]
    dicts = [ovix.FeatureDict(fids[i % 2]) for i in range(3)]
    sinks = [ovix.FeatureDvecsMem(4) for _ in range(2)]
    kinds = {
        "Fids": (fids, lambda rng: ovix.Fids(True)),
        "FidsDocCount": (tables, lambda rng: ovix.FidsDocCount(rng.choice(fids))),
        "FeatureDict": (dicts, lambda rng: ovix.FeatureDict(rng.choice(fids))),
        "FeatureDvecsMem": (sinks, lambda rng: ovix.FeatureDvecsMem(4)),
    }
    words = " ".join(f"word{i}" for i in range(400))
    big_vector = _ovix.dvirFromFidsAndWeights([f"w{i}" for i in range(5000)], [1.0] * 5000)

    def iterate(dc):
        dc.getFirst(10)
        try:
            dc.getNext(10)
        finally:
            dc.getNextFinish()

    def fill(mem):
        for i in range(4):
            mem.addFeatures(i, 1, VECTOR)
        table = mem.getDvecs()
        mem.close()
        return table

    calls = [
        lambda rng: rng.choice(fids).getFid(f"t{rng.randrange(1000)}"),
        lambda rng: rng.choice(fids).getNewTokens(),
        lambda rng: _ovix.dvirIncrDocCounts(big_vector, rng.choice(tables)),
        lambda rng: _ovix.dvirDecrDocCounts(VECTOR, rng.choice(tables)),
        lambda rng: _ovix.dvirDocCountHits(big_vector, rng.choice(tables)),
        lambda rng: rng.choice(tables).incrDocCount("a"),
        lambda rng: rng.choice(tables).repr(),
        lambda rng: iterate(rng.choice(tables)),
        lambda rng: rng.choice(dicts).applyTokenString(words, 1, 1),
        lambda rng: rng.choice(dicts).mergeFeatureDict(rng.choice(dicts)),
        lambda rng: rng.choice(dicts).getInLanguageRatio(rng.choice(tables)),
        lambda rng: _ovix.dvirFromFeatureDict(rng.choice(dicts)),
        lambda rng: fill(rng.choice(sinks)),
        lambda rng: rng.choice(sinks).reset(),
    ]
    unexpected = []
    counts = [0] * workers

    def work(n):
        rng = random.Random(n)
        for _ in range(steps):
            kind = rng.choice(list(kinds))
            objects, make = kinds[kind]
            try:
                roll = rng.random()
                if roll < 0.1:
                    getattr(_ovix, "delete_" + kind)(rng.choice(objects))
                elif roll < 0.2:
                    objects[rng.randrange(len(objects))] = make(rng)
                else:
                    rng.choice(calls)(rng)
                counts[n] += 1
            except RuntimeError as e:
                if not any(text in str(e) for text in EXPECTED_FAILURES):
                    unexpected.append(repr(e))
            except TypeError as e:  # an object deleted by another worker
                if not str(e).startswith("in method "):
                    unexpected.append(repr(e))
            except Exception as e:
                unexpected.append(repr(e))

    threads = [threading.Thread(target=work, args=(n,)) for n in range(workers)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert unexpected == [], sorted(set(unexpected))
    assert all(counts)


def test_shared_objects_survive_threads_that_delete_them():
    in_child("shared_objects_survive_threads_that_delete_them")
