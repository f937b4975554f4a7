"""Rows of the feature dictionary: FeatureDict."""

import ast
import functools
import gc
import hashlib
import math
import pathlib
import random
import re

import pytest

import _ovix
import ovix
from conftest import dvir, oracle_stemmer, run_isolated

LICENSES = pathlib.Path("/usr/share/common-licenses")
STOP_WORDS = frozenset((pathlib.Path(__file__).parent / "stop_words.txt").read_text().split())

# An independent statement of the tokenizer: capital + lower-case run, run of
# capitals, run of lower-case letters; every other byte separates.
TOKEN = re.compile(rb"[A-Z][a-z]+|[A-Z]+|[a-z]+")


@functools.lru_cache(maxsize=None)
def oracle_stem(word):
    return oracle_stemmer().stem(word)


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


def test_a_dictionary_after_many_documents_counts_as_in_a_fresh_process():
    """One dictionary per document, dropped after it, as the main application
    feeds the module: the pool's reused chunk and the per-thread cache of ids
    change nothing that a later dictionary gives."""
    words = pathlib.Path("/usr/share/dict/words").read_text(encoding="utf-8").split()
    rng = random.Random(19)
    probe = " ".join(rng.choices(words, k=3000))
    probe_script = f"""
        import ovix
        d = ovix.FeatureDict(ovix.Fids(False))
        d.applyTokenString({probe!r}, 1, 1)
        print(repr(d.getList()))
    """
    fresh = run_isolated(probe_script)
    assert fresh.returncode == 0, fresh.stderr
    fids = ovix.Fids(False)
    for _ in range(3000):
        d = ovix.FeatureDict(fids)
        d.applyTokenString(" ".join(rng.choices(words, k=rng.randint(80, 220))), 1, 1)
        del d
    d = ovix.FeatureDict(fids)
    d.applyTokenString(probe, 1, 1)
    assert d.getList() == ast.literal_eval(fresh.stdout) == oracle_list([probe.encode()])


class TestApplyTokenString:
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

    def test_factors_are_ints(self, fids):
        d = ovix.FeatureDict(fids)
        for bad in (2.5, 2**31, "1", None):
            with pytest.raises(TypeError, match=r"^in method 'FeatureDict_applyTokenString', argument 3 of type 'int'$"):
                _ovix.FeatureDict_applyTokenString(d, "words", bad, 1)
        with pytest.raises(TypeError, match=r"argument 4 of type 'int'$"):
            _ovix.FeatureDict_applyTokenString(d, "words", 1, 1.0)
        _ovix.FeatureDict_applyTokenString(d, "words", True, -(2**31))
        assert d.getFeatureCount() == -(2**31)


class TestConstructor:
    def test_forms_take_the_defaults_for_missing_arguments_and_ints_for_bools(self, fids):
        text = license_texts()[0]
        lists = []
        for args in ((), (True,), (True, True), (True, True, 2), (True, True, 2, 20), (1, 7, 2, 20)):
            d = _ovix.new_FeatureDict(fids, *args)
            _ovix.FeatureDict_applyTokenString(d, text, 1, 1)
            lists.append(_ovix.FeatureDict_getList(d))
            _ovix.delete_FeatureDict(d)
        assert all(lst == lists[0] for lst in lists)
        assert lists[0] == oracle_list([text])
        d = _ovix.new_FeatureDict(fids, 1, 0)
        _ovix.FeatureDict_applyTokenString(d, text, 1, 1)
        assert _ovix.FeatureDict_getList(d) == oracle_list([text], stop_words=False)

    @pytest.mark.parametrize("args", [(), ("FIDS", True, True, 2.0), ("FIDS", True, True, 2, 20, 1),
                                      ("FIDS", "yes"), (5,), ("FIDS", True, True, 2, 2**31)])
    def test_no_matching_form_raises_not_implemented(self, fids, args):
        args = tuple(fids if a == "FIDS" else a for a in args)
        with pytest.raises(NotImplementedError, match=r"^No matching function for overloaded 'new_FeatureDict'$"):
            _ovix.new_FeatureDict(*args)

    def test_bad_arguments_are_refused_with_a_clear_text(self, fids):
        with pytest.raises(TypeError, match=r"^in method 'new_FeatureDict', argument 1 of type 'Fids \*'$"):
            _ovix.new_FeatureDict(None)
        for max_len in (-1, 2**20 + 1):
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


class TestOtherRows:
    def test_merges_take_a_dictionary_or_any_buffer(self, fids):
        into, other = ovix.FeatureDict(fids), ovix.FeatureDict(fids)
        other.applyTokenString("banana", 1, 5)
        into.mergeFeatureDict(other)
        into.mergeDvir(memoryview(bytearray(dvir([("abc", 3.9)]) + b"\x01\x02")))
        into.mergeDvir(b"")
        assert into.getList() == sorted([(fids.getFid("banana"), 5), (b"abc", 3)])
        assert (into.getFeatureCount(), into.getUniqueFeatureCount()) == (8, 2)
        with pytest.raises(TypeError, match=r"^in method 'FeatureDict_mergeFeatureDict', argument 2 of type 'FeatureDict const \*'$"):
            into.mergeFeatureDict(None)
        for bad in ("text", None, 5):
            with pytest.raises(RuntimeError, match=r"^Need a buffer$"):
                into.mergeDvir(bad)
        assert into.getFeatureCount() == 8

    def test_get_list_gives_fid_texts_as_bytes_without_trailing_blanks(self, fids):
        d = ovix.FeatureDict(fids)
        d.mergeDvir(dvir([("ab", 1.0), (b"\x00\x00", 2.0)]))
        assert d.getList() == [(b"\x00\x00", 2), (b"ab", 1)]
        assert all(type(fid) is bytes and type(n) is int for fid, n in d.getList())

    def test_scale_and_ratio_convert_their_arguments(self, fids):
        d = ovix.FeatureDict(fids)
        dc = ovix.FidsDocCount(fids)
        assert math.isnan(d.getInLanguageRatio(dc))
        d.mergeDvir(dvir([("one", 1.0), ("two", 2.0), ("three", 3.0)]))
        dc.incrDocCount("two")
        _ovix.FeatureDict_scale(d, 2)
        assert (d.getFeatureCount(), d.getDocCountHits(dc)) == (12, 4)
        assert d.getInLanguageRatio(dc) == pytest.approx(1 / 3)
        with pytest.raises(TypeError, match=r"^in method 'FeatureDict_scale', argument 2 of type 'double'$"):
            d.scale("2")
        with pytest.raises(TypeError, match=r"^in method 'FeatureDict_getDocCountHits', argument 2 of type 'FidsDocCount const \*'$"):
            d.getDocCountHits(fids)

    def test_read_only_rows_take_the_const_proxy_type(self, fids):
        for row in ("getList", "getFeatureCount", "getUniqueFeatureCount", "getInLanguageRatio", "begin", "end"):
            args = (ovix.FidsDocCount(fids),) if row == "getInLanguageRatio" else ()
            with pytest.raises(TypeError, match=rf"^in method 'FeatureDict_{row}', argument 1 of type 'FeatureDict const \*'$"):
                getattr(_ovix, f"FeatureDict_{row}")(fids, *args)
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
