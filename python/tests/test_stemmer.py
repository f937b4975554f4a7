"""Rows of the stemmer: PorterStemmer."""

import re

import pytest

import _ovix
import ovix
from conftest import oracle_stemmer

WORD_LIST = "/usr/share/dict/american-english"


@pytest.fixture(scope="module")
def stemmer():
    return ovix.PorterStemmer()


class TestStem:
    def test_stems_a_copy_and_leaves_the_argument_alone(self, stemmer):
        word = "running"
        assert _ovix.PorterStemmer_stem(stemmer, word) == "run"
        assert word == "running"
        # A bytes argument is read where it lies: stemming it in place would
        # change an immutable object.
        data = b"GENERALIZATIONS"
        assert stemmer.stem(data) == "gener"
        assert data == b"GENERALIZATIONS"

    def test_result_is_str_up_to_the_first_nul(self, stemmer):
        assert stemmer.stem("cats\0dogs") == "cat"
        assert stemmer.stem("") == ""
        assert stemmer.stem("AS") == "as"
        assert type(stemmer.stem(b"ponies")) is str

    def test_bytes_that_are_not_utf8_come_back_as_surrogates(self, stemmer):
        stem = stemmer.stem(b"CAF\xe9S")
        assert stem.encode("utf-8", "surrogateescape") == b"caf\xe9"
        # str arguments travel as UTF-8; their non-ASCII letters are kept.
        assert stemmer.stem("ÉTATS") == "État"

    def test_argument_errors_name_the_row_and_type(self, stemmer):
        for bad in (None, 5, bytearray(b"cats")):
            with pytest.raises(TypeError, match=r"^in method 'PorterStemmer_stem', argument 2 of type 'char \*'$"):
                _ovix.PorterStemmer_stem(stemmer, bad)
        with pytest.raises(TypeError, match=r"^in method 'PorterStemmer_stem', argument 1 of type 'PorterStemmer \*'$"):
            _ovix.PorterStemmer_stem(ovix.Fids(False), "cats")

    def test_new_and_delete(self):
        this = _ovix.new_PorterStemmer()
        assert this.own()
        assert _ovix.delete_PorterStemmer(this) is None
        with pytest.raises(TypeError, match=r"argument 1 of type 'PorterStemmer \*'"):
            _ovix.PorterStemmer_stem(this, "cats")


def test_stems_equal_an_independent_implementation_over_a_dictionary(stemmer):
    oracle = oracle_stemmer()
    with open(WORD_LIST, encoding="utf-8") as f:
        words = [w for w in f.read().split() if re.fullmatch(r"[A-Za-z]+", w)]
    assert len(words) > 70000
    differing = [(w, stemmer.stem(w), oracle.stem(w)) for w in words if stemmer.stem(w) != oracle.stem(w)]
    assert differing == []
