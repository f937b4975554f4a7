"""Rows of the feature dictionary: FeatureDict."""

import functools
import gc
import hashlib
import math
import os
import pathlib
import re
import struct
import subprocess
import sys
import textwrap

import pytest
from nltk.stem.porter import PorterStemmer as OraclePorterStemmer

import _ovix
import ovix

LICENSES = pathlib.Path("/usr/share/common-licenses")
STOP_WORDS = frozenset((pathlib.Path(__file__).parent / "stop_words.txt").read_text().split())

# An independent statement of the tokenizer: capital + lower-case run, run of
# capitals, run of lower-case letters; every other byte separates.
TOKEN = re.compile(rb"[A-Z][a-z]+|[A-Z]+|[a-z]+")
ORACLE_STEMMER = OraclePorterStemmer(mode=OraclePorterStemmer.MARTIN_EXTENSIONS)


@functools.lru_cache(maxsize=None)
def oracle_stem(word):
    return ORACLE_STEMMER.stem(word)


def oracle_list(texts, stem=True, stop_words=True, min_len=2, max_len=20, weight=1):
    """What getList must give after applyTokenString(text, a, b) of each text,
    with a * b == weight: (fid text, count) in the bytewise order of the ids."""
    counts = {}
    for text in texts:
        for token in TOKEN.findall(text.split(b"\0", 1)[0]):
            if not min_len <= len(token) <= max_len:
                continue
            word = token.lower().decode("ascii")
            if stop_words and word in STOP_WORDS:
                continue
            if stem:
                word = oracle_stem(word)
            fid = hashlib.md5(word.encode("ascii")).digest()[:8]
            counts[fid] = counts.get(fid, 0) + weight
    return [(fid.rstrip(b" "), count) for fid, count in sorted(counts.items())]


def license_texts():
    texts = [path.read_bytes() for path in sorted(LICENSES.iterdir()) if path.is_file()]
    assert sum(map(len, texts)) > 200_000
    return texts


def dvir(entries):
    """A packed vector: 8 id bytes and a little-endian float per entry."""
    return b"".join(ovix.Fid(fid).m_fid.ljust(8, b" ") + struct.pack("<f", weight) for fid, weight in entries)


@pytest.fixture
def fids():
    return ovix.Fids(False)


class TestCountsEqualAnIndependentImplementation:
    @pytest.mark.parametrize("settings", [
        {},
        {"stem": False},
        {"stop_words": False},
        {"stem": False, "stop_words": False, "min_len": 1, "max_len": 5},
        {"min_len": 4, "max_len": 40},
    ], ids=["defaults", "unstemmed", "with-stop-words", "short-tokens", "long-tokens"])
    def test_over_real_text_one_document_each(self, fids, settings):
        args = (settings.get("stem", True), settings.get("stop_words", True),
                settings.get("min_len", 2), settings.get("max_len", 20))
        total_unique = 0
        for text in license_texts():
            d = ovix.FeatureDict(fids, *args)
            d.applyTokenString(text, 1, 1)
            expected = oracle_list([text], **settings)
            assert d.getList() == expected
            assert d.getUniqueFeatureCount() == len(expected)
            assert d.getFeatureCount() == sum(count for _, count in expected)
            total_unique += len(expected)
        assert total_unique > 2000

    def test_over_all_texts_in_one_dictionary_as_str_with_factors(self, fids):
        texts = license_texts()
        d = ovix.FeatureDict(fids)
        for text in texts:
            d.applyTokenString(text.decode("utf-8", "surrogateescape"), 2, 3)
        assert d.getList() == oracle_list(texts, weight=6)

    def test_text_ends_at_its_first_nul(self, fids):
        text = license_texts()[0]
        cut = text[: len(text) // 2] + b"\0" + text[len(text) // 2:]
        d = ovix.FeatureDict(fids)
        d.applyTokenString(cut, 1, 1)
        assert d.getList() == oracle_list([cut])
        assert d.getList() != oracle_list([text])


class TestApplyTokenString:
    def test_defaults_drop_stop_words_short_tokens_and_stem(self, fids):
        d = ovix.FeatureDict(fids)
        d.applyTokenString("The ABCs of HTMLParser", 1, 1)
        words = ["abc", "htmlp", "arser"]
        assert d.getList() == sorted((fids.getFid(w), 1) for w in words)
        d = ovix.FeatureDict(fids)
        d.applyTokenString("x1y", 1, 1)
        assert d.getList() == []

    def test_str_and_bytes_count_alike_and_non_ascii_only_separates(self, fids):
        as_str, as_bytes = ovix.FeatureDict(fids), ovix.FeatureDict(fids)
        as_str.applyTokenString("naïve café Straße \ud800words", 1, 1)
        as_bytes.applyTokenString(b"na\xefve caf\xe9 Stra\xdf\xdfe \xffwords", 1, 1)
        assert as_str.getList() == as_bytes.getList() == oracle_list([b"na ve caf Stra e words"])

    def test_text_that_is_no_string_is_ignored(self, fids):
        d = ovix.FeatureDict(fids)
        d.applyTokenString("Some words", 1, 1)
        before = d.getList()
        for ignored in (None, 1, 2.5, bytearray(b"more words"), memoryview(b"more words"), ["words"]):
            assert _ovix.FeatureDict_applyTokenString(d, ignored, 1, 1) is None
        assert d.getList() == before
        assert d.getFeatureCount() == 1  # "Some" is a stop word

    def test_factors_multiply_and_wrap_as_32_bit(self, fids):
        d = ovix.FeatureDict(fids)
        d.applyTokenString("apple banana apple", 2, 3)
        assert (d.getFeatureCount(), d.getUniqueFeatureCount()) == (18, 2)
        d = ovix.FeatureDict(fids)
        d.applyTokenString("apple", 65536, 65536)
        d.applyTokenString("apple", 2**31 - 1, 3)
        assert d.getList() == [(fids.getFid("appl"), 2**31 - 3)]
        d.applyTokenString("apple", 2**31 - 1, 1)
        assert d.getList() == [(fids.getFid("appl"), -4)]
        assert d.getFeatureCount() == -4

    def test_factor_errors_name_the_argument(self, fids):
        d = ovix.FeatureDict(fids)
        for bad in (2.5, 2**31, "1", None):
            with pytest.raises(TypeError, match=r"^in method 'FeatureDict_applyTokenString', argument 3 of type 'int'$"):
                _ovix.FeatureDict_applyTokenString(d, "words", bad, 1)
        with pytest.raises(TypeError, match=r"argument 4 of type 'int'$"):
            _ovix.FeatureDict_applyTokenString(d, "words", 1, 1.0)
        _ovix.FeatureDict_applyTokenString(d, "words", True, 1)
        assert d.getFeatureCount() == 1

    def test_tokens_are_recorded_in_a_fids_that_keeps_them(self):
        keeping = ovix.Fids(True)
        d = ovix.FeatureDict(keeping)
        d.applyTokenString("Running TESTS", 1, 1)
        assert sorted(token for _, token in keeping.getNewTokens()) == ["run", "test"]


class TestConstructor:
    def test_forms_take_the_defaults_for_missing_arguments(self, fids):
        text = license_texts()[0]
        lists = []
        for args in ((), (True,), (True, True), (True, True, 2), (True, True, 2, 20), (1, 7, 2, 20)):
            d = _ovix.new_FeatureDict(fids, *args)
            _ovix.FeatureDict_applyTokenString(d, text, 1, 1)
            lists.append(_ovix.FeatureDict_getList(d))
            _ovix.delete_FeatureDict(d)
        assert all(lst == lists[0] for lst in lists)
        assert lists[0] == oracle_list([text])

    def test_ints_stand_for_bools(self, fids):
        d = _ovix.new_FeatureDict(fids, 1, 0)
        _ovix.FeatureDict_applyTokenString(d, "the Running", 1, 1)
        assert _ovix.FeatureDict_getList(d) == oracle_list([b"the Running"], stop_words=False)

    @pytest.mark.parametrize("args", [(), ("FIDS", True, True, 2.0), ("FIDS", True, True, 2, 20, 1),
                                      ("FIDS", "yes"), (5,), ("FIDS", True, True, 2, 2**31)])
    def test_no_matching_form_raises_not_implemented(self, fids, args):
        args = tuple(fids if a == "FIDS" else a for a in args)
        with pytest.raises(NotImplementedError, match=r"^No matching function for overloaded 'new_FeatureDict'$"):
            _ovix.new_FeatureDict(*args)

    def test_none_for_the_fids_is_refused_with_the_argument_message(self):
        with pytest.raises(TypeError, match=r"^in method 'new_FeatureDict', argument 1 of type 'Fids \*'$"):
            _ovix.new_FeatureDict(None)

    @pytest.mark.parametrize("max_len", [-1, -(2**31), 2**20 + 1, 2**31 - 1])
    def test_max_len_out_of_range_is_refused(self, fids, max_len):
        with pytest.raises(RuntimeError, match=rf"^maxLen must be between 0 and 1048576, not {max_len}$"):
            ovix.FeatureDict(fids, True, True, 2, max_len)

    def test_dictionary_keeps_its_fids_alive_and_in_use(self):
        d = _ovix.new_FeatureDict(_ovix.new_Fids(True))
        gc.collect()
        _ovix.FeatureDict_applyTokenString(d, "surviving words", 1, 1)
        assert _ovix.FeatureDict_getUniqueFeatureCount(d) == 2
        fids = ovix.Fids(False)
        proxy = ovix.FeatureDict(fids)
        with pytest.raises(RuntimeError, match=r"^Fids is still in use by another object$"):
            _ovix.delete_Fids(fids)
        _ovix.delete_FeatureDict(proxy)
        _ovix.delete_Fids(fids)


class TestMerging:
    def test_merge_feature_dict_adds_counts_and_totals(self, fids):
        into, other = ovix.FeatureDict(fids), ovix.FeatureDict(fids)
        into.applyTokenString("apple apple banana", 1, 1)
        other.applyTokenString("banana cherry", 1, 5)
        into.mergeFeatureDict(other)
        assert into.getList() == sorted([(fids.getFid("appl"), 2), (fids.getFid("banana"), 6),
                                         (fids.getFid("cherri"), 5)])
        assert (into.getFeatureCount(), into.getUniqueFeatureCount()) == (13, 3)
        assert other.getFeatureCount() == 10
        other.mergeFeatureDict(other)
        assert sorted(n for _, n in other.getList()) == [10, 10]
        with pytest.raises(TypeError, match=r"^in method 'FeatureDict_mergeFeatureDict', argument 2 of type 'FeatureDict const \*'$"):
            into.mergeFeatureDict(None)

    def test_merge_dvir_truncates_weights(self, fids):
        d = ovix.FeatureDict(fids)
        d.mergeDvir(dvir([("abc", 2.7), ("small", 0.9), ("neg", -1.5), ("nan", math.nan), ("big", 1e30)]))
        assert dict(d.getList()) == {b"abc": 2, b"small": 0, b"neg": -1, b"nan": 0, b"big": 2**31 - 1}
        assert d.getFeatureCount() == 2**31 - 1 + 2 - 1 - 2**32

    def test_merge_dvir_reads_any_buffer_and_ignores_a_partial_entry(self, fids):
        d = ovix.FeatureDict(fids)
        d.mergeDvir(memoryview(bytearray(dvir([("abc", 3.0)]) + b"\x01\x02")))
        d.mergeDvir(b"")
        assert d.getList() == [(b"abc", 3)]
        for bad in ("text", None, 5):
            with pytest.raises(RuntimeError, match=r"^Need a buffer$"):
                d.mergeDvir(bad)
        assert d.getList() == [(b"abc", 3)]


class TestResults:
    def test_get_list_gives_fid_texts_without_trailing_blanks(self, fids):
        d = ovix.FeatureDict(fids)
        d.mergeDvir(dvir([("ab", 1.0), (b"\x00\x00", 2.0)]))
        assert d.getList() == [(b"\x00\x00", 2), (b"ab", 1)]
        assert all(type(fid) is bytes and type(n) is int for fid, n in d.getList())

    def test_scale_takes_ceilings_and_accepts_an_int(self, fids):
        d = ovix.FeatureDict(fids)
        d.mergeDvir(dvir([("one", 1.0), ("two", 2.0), ("three", 3.0)]))
        d.scale(0.5)
        assert dict(d.getList()) == {b"one": 1, b"two": 1, b"three": 2}
        assert d.getFeatureCount() == 4
        _ovix.FeatureDict_scale(d, 2)
        assert d.getFeatureCount() == 8
        d.scale(math.inf)
        assert set(dict(d.getList()).values()) == {2**31 - 1}
        with pytest.raises(TypeError, match=r"^in method 'FeatureDict_scale', argument 2 of type 'double'$"):
            d.scale("2")

    def test_doc_count_hits_and_in_language_ratio(self, fids):
        dc = ovix.FidsDocCount(fids)
        d = ovix.FeatureDict(fids, False, False)
        assert math.isnan(d.getInLanguageRatio(dc))
        assert d.getDocCountHits(dc) == 0
        d.applyTokenString("known known unknown", 1, 1)
        dc.incrDocCount(fids.getFid("known"))
        assert d.getDocCountHits(dc) == 2
        assert d.getInLanguageRatio(dc) == pytest.approx(2 / 3)
        with pytest.raises(TypeError, match=r"^in method 'FeatureDict_getDocCountHits', argument 2 of type 'FidsDocCount const \*'$"):
            d.getDocCountHits(fids)

    def test_read_only_rows_take_the_const_proxy_type(self, fids):
        for row in ("getList", "getFeatureCount", "getUniqueFeatureCount", "begin", "end"):
            with pytest.raises(TypeError, match=rf"^in method 'FeatureDict_{row}', argument 1 of type 'FeatureDict const \*'$"):
                getattr(_ovix, f"FeatureDict_{row}")(fids)
        with pytest.raises(TypeError, match=r"^in method 'FeatureDict_scale', argument 1 of type 'FeatureDict \*'$"):
            _ovix.FeatureDict_scale(fids, 1.0)


class TestIteratorHandles:
    def test_handles_are_owned_pointer_objects_of_the_iterator_type(self, fids):
        d = ovix.FeatureDict(fids)
        d.applyTokenString("words", 1, 1)
        for handle in (d.begin(), d.end(), _ovix.FeatureDict_begin(d)):
            assert type(handle).__name__ == "SwigPyObject"
            assert handle.own()
            assert "FeatureDict::FidMap::const_iterator *" in repr(handle)

    def test_handles_are_freed_without_leak_or_warning(self):
        # Two million handles made and dropped; a leak would keep about 64 MB.
        result = run_isolated("""
            import ovix
            d = ovix.FeatureDict(ovix.Fids(False))
            d.applyTokenString("some words to stand on", 1, 1)
            def resident():
                with open("/proc/self/statm") as f:
                    return int(f.read().split()[1]) * 4096
            def churn(n):
                for _ in range(n):
                    d.begin()
                    d.end()
            churn(100_000)
            before = resident()
            churn(1_000_000)
            print(resident() - before)
            # A handle may outlive its dictionary: freeing it touches no map.
            h = d.begin()
            del d
            del h
        """)
        assert result.returncode == 0, result.stderr
        grown = int(result.stdout.strip())
        assert "leak" not in result.stdout + result.stderr
        assert grown < 16 * 2**20


def run_isolated(script, timeout=120):
    """Runs a script in a fresh interpreter. ASan's quarantine is switched
    off there, so that freed memory is reused as it is without sanitizers."""
    env = dict(os.environ)
    env["ASAN_OPTIONS"] = ":".join(filter(None, [env.get("ASAN_OPTIONS"), "quarantine_size_mb=0"]))
    return subprocess.run([sys.executable, "-c", textwrap.dedent(script)], timeout=timeout,
                          capture_output=True, text=True, env=env)
