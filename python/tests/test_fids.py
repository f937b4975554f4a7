"""Rows of the feature-id family: Fid, FidHash, Fids and FidsDocCount."""

import gc
import hashlib
import random
import struct
import threading

import pytest

import _ovix
import ovix
from conftest import run_isolated


def md5_fid_text(token: bytes) -> bytes:
    return hashlib.md5(token).digest()[:8].rstrip(b" ")


class TestFid:
    def test_text_is_padded_with_blanks_and_trimmed_back(self):
        f = ovix.Fid("ab")
        assert _ovix.Fid_toPyString(f) == b"ab"
        assert _ovix.Fid_m_fid_get(f) == b"ab      "

    def test_member_set_fills_with_zero_bytes_which_only_the_getter_trims(self):
        f = ovix.Fid("zz")
        _ovix.Fid_m_fid_set(f, "ab")
        assert _ovix.Fid_m_fid_get(f) == b"ab"
        assert _ovix.Fid_toPyString(f) == b"ab" + bytes(6)
        _ovix.Fid_m_fid_set(f, "abcdefgh")
        assert f.m_fid == b"abcdefgh"
        _ovix.Fid_m_fid_set(f, None)
        assert _ovix.Fid_toPyString(f) == bytes(8)
        with pytest.raises(TypeError, match=r"^in method 'Fid_m_fid_set', argument 2 of type 'char \[FID_LEN\]'$"):
            _ovix.Fid_m_fid_set(f, "abcdefghi")
        assert f.m_fid == b""

    def test_inner_zero_bytes_survive_both_directions(self):
        f = ovix.Fid("x")
        f.m_fid = b"a\0b\0"
        assert f.m_fid == b"a\0b"
        assert ovix.Fid(b"\0\0a ").toPyString() == b"\0\0a"

    def test_constructor_forms(self):
        assert ovix.Fid("0123456789").toPyString() == b"01234567"
        assert ovix.Fid(b"\xff ").m_fid == b"\xff       "
        assert ovix.Fid("abc", 3).toPyString() == b"abc"
        assert ovix.Fid("abc", 2).toPyString() == b"ab"
        # never more than the text holds
        assert ovix.Fid("abc", 30).toPyString() == b"abc"
        assert ovix.Fid("abc", -3).toPyString() == b""
        with pytest.raises(RuntimeError, match=r"^Fid constructor only works with strings$"):
            _ovix.new_Fid(5)
        with pytest.raises(ValueError, match=r"^invalid null reference in method 'new_Fid', argument 1 of type 'DocVecI'$"):
            _ovix.new_Fid(None)


class TestFidHash:
    def test_hash_is_the_first_four_bytes_little_endian(self):
        h = ovix.FidHash()
        assert h(ovix.Fid(b"\xff\xff\xff\xffabcd")) == 4294967295
        assert h(ovix.Fid(b"\x01\x02\x03\x04")) == 0x04030201

    def test_order_is_bytewise_unsigned(self):
        h = ovix.FidHash()
        low, high = ovix.Fid(b"\x7f\xff"), ovix.Fid(b"\x80")
        assert h(low, high) is True
        assert h(high, low) is False
        assert h(high, high) is False

    def test_null_fid_is_a_null_reference(self):
        h = ovix.FidHash()
        for args, position in (((None,), 2), ((ovix.Fid("a"), None), 3)):
            with pytest.raises(ValueError, match=rf"argument {position} of type 'Fid const &'$"):
                _ovix.FidHash___call__(h, *args)


class TestFids:
    def test_ids_are_md5_prefixes_over_random_tokens(self):
        rng = random.Random(1)
        fids = ovix.Fids(False)
        with_nul = ending_in_blank = 0
        for i in range(100_000):
            token = bytes(rng.randrange(1, 256) for _ in range(rng.randrange(1, 12)))
            digest = hashlib.md5(token).digest()[:8]
            with_nul += b"\0" in digest
            ending_in_blank += digest.endswith(b" ")
            assert fids.getFid(token) == md5_fid_text(token), token
        for word in ("ascii", "naïve", "日本語", ""):
            assert fids.getFid(word) == md5_fid_text(word.encode())
        assert with_nul > 1000 and ending_in_blank > 100

    def test_blanks_at_the_end_of_an_id_come_back_in_its_fid(self):
        fids = ovix.Fids(False)
        token = next(t for t in (str(i).encode() for i in range(100_000))
                     if hashlib.md5(t).digest()[:8].endswith(b" "))
        assert fids.getFid(token) == md5_fid_text(token)
        assert ovix.Fid(fids.getFid(token)).m_fid == hashlib.md5(token).digest()[:8]
        assert fids.getFidNative(token).m_fid == hashlib.md5(token).digest()[:8]

    def test_new_tokens_come_once_and_in_id_order(self):
        fids = ovix.Fids(True)
        words = ["run", "walk", "jump", "run"]
        for w in words:
            fids.getFid(w)
        tokens = fids.getNewTokens()
        assert tokens == sorted({(md5_fid_text(w.encode()), w) for w in words},
                                key=lambda t: hashlib.md5(t[1].encode()).digest()[:8])
        assert fids.getNewTokens() == []

    def test_undecodable_token_bytes_come_back_unchanged(self):
        fids = ovix.Fids(True)
        fids.getFid(b"caf\xe9")
        [(fid, token)] = fids.getNewTokens()
        assert token.encode("utf-8", "surrogateescape") == b"caf\xe9"
        assert fids.getFid(token) == fid


def plain_records(counts):
    return b"".join(ovix.Fid(k).m_fid.ljust(8, b" ") + struct.pack(">I", v) for k, v in counts.items())


class TestFidsDocCount:
    def make(self):
        return ovix.FidsDocCount(ovix.Fids(False))

    def test_fresh_table(self):
        dc = self.make()
        assert dc.repr() == "num fids 0 doccounts min 2147483647 max 0"
        assert (dc.getMaxDocCount(), dc.getMinDocCount()) == (0, 2147483647)

    def test_counts_load_from_any_buffer(self):
        dc = self.make()
        records = plain_records({"a": 3, "b": 0, "c": 70000})
        dc.addFidCounts(memoryview(bytearray(records + b"xx")), 100, False)
        assert [dc.getDocCount(k) for k in "abc"] == [3, 1, 70000]
        assert dc.getDocCount(ovix.Fid("c")) == 70000
        assert (dc.getMaxDocCount(), dc.getMinDocCount()) == (100, 1)
        with pytest.raises(RuntimeError, match=r"^need a buffer$"):
            dc.addFidCounts("text", 1, False)

    def test_compressed_counts(self):
        dc = self.make()
        record = lambda k, v: ovix.Fid(k).m_fid.ljust(8, b" ") + struct.pack(">H", v)
        dc.addFidCounts(record("all", 0) + record("none", 65535), 1000, True)
        assert dc.getDocCount("all") == 1000
        assert dc.getDocCount("none") == 1
        # a negative document total gives no finite count: stored as 1
        dc.addFidCounts(record("neg", 0), -1, True)
        assert dc.getDocCount("neg") == 1

    def test_increment_decrement_and_clear(self):
        dc = self.make()
        dc.incrDocCount("a")
        dc.incrDocCount(ovix.Fid("a"))
        dc.decrDocCount("a")
        assert dc.getDocCount("a") == 1
        dc.decrDocCount("absent")
        assert dc.getDocCount("absent") == 0
        assert dc.repr().startswith("num fids 2 ")
        with pytest.raises(RuntimeError, match=r"^Fid constructor only works with strings$"):
            dc.incrDocCount(5)
        _ovix.FidsDocCount_clearFidCounts(dc)
        assert (dc.getMaxDocCount(), dc.getMinDocCount()) == (0, 2147483647)

    def test_iteration_in_batches(self):
        dc = self.make()
        for k in "abc":
            dc.incrDocCount(k)
        first = dc.getFirst(2)
        rest = dc.getNext(2)
        assert (len(first), len(rest), dc.getNext(2)) == (2, 1, [])
        assert sorted(first + rest) == [(b"a", 1), (b"b", 1), (b"c", 1)]
        with pytest.raises(RuntimeError, match=r"^Iteration already in progress$"):
            dc.getFirst()
        dc.getNextFinish()
        dc.getNextFinish()
        with pytest.raises(RuntimeError, match=r"^Iteration not started$"):
            dc.getNext()

    def test_default_batch_is_a_thousand(self):
        dc = self.make()
        dc.addFidCounts(plain_records({str(i): 1 for i in range(1500)}), 10, False)
        assert len(_ovix.FidsDocCount_getFirst(dc)) == 1000
        assert len(_ovix.FidsDocCount_getNext(dc)) == 500
        dc.getNextFinish()

    def test_iteration_belongs_to_its_thread(self):
        dc = self.make()
        dc.incrDocCount("a")
        dc.getFirst()
        errors = []

        def other():
            for call in (dc.getNext, dc.getNextFinish):
                try:
                    call()
                except RuntimeError as e:
                    errors.append(str(e))
        t = threading.Thread(target=other)
        t.start()
        t.join(10)
        assert errors == ["Iteration belongs to another thread"] * 2
        dc.getNextFinish()

    def test_table_keeps_its_fids_alive(self):
        dc = _ovix.new_FidsDocCount(_ovix.new_Fids(True))
        gc.collect()
        _ovix.FidsDocCount_incrDocCount(dc, "abc")
        assert _ovix.FidsDocCount_getDocCount(dc, "abc") == 1
        proxy = ovix.FidsDocCount(ovix.Fids(False))
        gc.collect()
        proxy.incrDocCount("x")
        assert proxy.repr() == "num fids 1 doccounts min 2147483647 max 1"

    def test_fids_in_use_cannot_be_deleted(self):
        fids = ovix.Fids(False)
        dc = ovix.FidsDocCount(fids)
        with pytest.raises(RuntimeError, match=r"^Fids is still in use by another object$"):
            _ovix.delete_Fids(fids)
        assert fids.getFid("a") == md5_fid_text(b"a")
        _ovix.delete_FidsDocCount(dc)
        _ovix.delete_Fids(fids)

    def test_deleting_the_table_ends_its_iteration(self):
        fids = ovix.Fids(False)
        iterating, other = ovix.FidsDocCount(fids), ovix.FidsDocCount(fids)
        iterating.getFirst()
        del iterating
        gc.collect()
        t = threading.Thread(target=other.incrDocCount, args=("a",))
        t.start()
        t.join(10)
        assert not t.is_alive()
        assert other.getDocCount("a") == 1


def test_a_second_thread_waits_for_an_iteration_without_blocking_the_interpreter():
    result = run_isolated("""
        import sys, threading, ovix
        # With a long switch interval a thread gives the interpreter lock up
        # only of its own accord.
        sys.setswitchinterval(60)
        fids = ovix.Fids(False)
        iterating, other = ovix.FidsDocCount(fids), ovix.FidsDocCount(fids)
        iterating.incrDocCount("a")
        iterating.getFirst()
        t = threading.Thread(target=other.incrDocCount, args=("b",))
        t.start()                  # returns once the thread has let the lock go, to wait for the Fids lock
        assert t.is_alive()
        assert other.getDocCount("b") == 0  # the iterating thread may still use the Fids
        iterating.getNextFinish()  # needs the interpreter lock, which the waiter must not hold
        t.join()
        assert other.getDocCount("b") == 1
        print("done")
    """, timeout=30)
    assert result.returncode == 0, result.stderr
    assert result.stdout == "done\n"


def test_threads_share_a_table():
    fids = ovix.Fids(True)
    dc = ovix.FidsDocCount(fids)

    def work(n):
        for i in range(2000):
            dc.incrDocCount(str(i % 50))
            fids.getFid(f"w{n}-{i}")
    threads = [threading.Thread(target=work, args=(n,)) for n in range(4)]
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    assert all(dc.getDocCount(str(i)) == 160 for i in range(50))
    assert len(fids.getNewTokens()) == 8000
