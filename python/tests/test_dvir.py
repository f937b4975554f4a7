"""Rows of the packed-vector functions, against numpy and scipy.sparse.

Tolerances: dot products are exact float products summed in extended
precision, so they match a float64 CSR product to 1e-12 relative; the centroid
sums in single precision and dvir2Weights rounds every step to single
precision, so both match a float64 computation to 1e-5 relative.
"""

import array
import struct
import time

import numpy as np
import pytest
import scipy.sparse as sp

import _ovix
import ovix
from conftest import LockTicker

ENTRY = np.dtype([("id", "<u8"), ("w", "<f4")])


def pack(ids, weights):
    entries = np.empty(len(ids), dtype=ENTRY)
    entries["id"], entries["w"] = ids, weights
    return entries.tobytes()


def unpack(buffer):
    return np.frombuffer(buffer, dtype=ENTRY, count=len(buffer) // 12)


def counts_table(ids, counts, documents):
    """A FidsDocCount holding `counts` for the 8-byte ids."""
    dc = ovix.FidsDocCount(ovix.Fids(False))
    records = b"".join(struct.pack("<Q", i) + struct.pack(">I", c) for i, c in zip(ids, counts))
    dc.addFidCounts(records, documents, False)
    return dc


class Corpus:
    """Random sparse vectors over a vocabulary of random 64-bit ids, as packed
    vectors and as the rows of a CSR matrix whose columns are in id order."""

    def __init__(self, seed, rows=300, vocabulary=2000, longest=60, counts=False):
        rng = np.random.default_rng(seed)
        self.rng = rng
        self.ids = np.unique(rng.integers(0, 2**64, size=vocabulary, dtype=np.uint64))
        self.vectors, indptr, columns, weights = [], [0], [], []
        for _ in range(rows):
            cols = np.sort(rng.choice(len(self.ids), size=rng.integers(0, longest + 1), replace=False))
            w = (rng.integers(1, 20, size=len(cols)) if counts else rng.uniform(0.01, 3, size=len(cols)))
            w = w.astype(np.float32)
            self.vectors.append(pack(self.ids[cols], w))
            columns.extend(cols)
            weights.extend(w)
            indptr.append(len(columns))
        self.matrix = sp.csr_matrix((np.array(weights, dtype=np.float64), columns, indptr),
                                    shape=(rows, len(self.ids)))

    def dense(self, buffer):
        v = np.zeros(len(self.ids))
        entries = unpack(buffer)
        v[np.searchsorted(self.ids, entries["id"])] = entries["w"]
        return v


class TestBuildingAndTakingApart:
    def test_vectors_from_lists_are_sorted_as_unsigned_64_bit_ids(self):
        high_half = b"\0\0\0\0\2\0\0\0"
        fids = ["b", high_half, b"\xff\xff\xff\xff\1\0\0\0", "a", "longer than eight"]
        buffer = ovix.dvirFromFidsAndWeights(fids, [1, 0.1, 3.0, 2**24 + 1, -1e300])
        assert type(buffer) is bytes and len(buffer) == 60
        entries = unpack(buffer)
        assert list(entries["id"]) == sorted(entries["id"])
        texts, weights = ovix.dvir2FidsAndWeights(buffer)
        assert texts == [b"\xff\xff\xff\xff\1\0\0\0", high_half, b"a", b"b", b"longer t"]
        assert weights == [3.0, float(np.float32(0.1)), float(np.float32(2**24 + 1)), 1.0, float("-inf")]
        assert ovix.dvirFromFidsAndWeights([], []) == b""

    def test_list_errors_are_clear_texts(self):
        class Shrinking:
            def __float__(self):
                fids.clear()
                return 1.0
        fids = ["a", "b"]
        cases = [
            ((("a",), [1]), "Need a list of fids and a list of weights"),
            ((["a"], None), "Need a list of fids and a list of weights"),
            ((["a", "b"], [1]), "Fids list and weight list are not the same length"),
            ((["a", 5], [1, 2]), "Fid must be a string"),
            ((["a", "b"], [1, "2"]), "Weight must be a number"),
            ((["a", "b"], [1, None]), "Weight must be a number"),
            ((fids, [Shrinking(), 2]), "Fids list and weight list are not the same length"),
        ]
        for args, message in cases:
            with pytest.raises(RuntimeError, match=f"^{message}$"):
                ovix.dvirFromFidsAndWeights(*args)
        with pytest.raises(OverflowError):
            ovix.dvirFromFidsAndWeights(["a"], [10**400])

    def test_any_buffer_exporter_and_its_bytes_count(self):
        base = pack([5, 7, 9], [1, 2, 3])
        shifted = memoryview(b"\0" + base)[1:]  # not aligned
        for buffer in (base, bytearray(base), memoryview(base), shifted, np.frombuffer(base, dtype=np.uint8)):
            assert ovix.dvir2FidsAndWeights(buffer) == ovix.dvir2FidsAndWeights(base)
            assert ovix.dvirSize(buffer) == len(base) // 12
        floats = array.array("f", [1.0] * 6)  # 24 bytes, though len() is 6
        assert ovix.dvirSize(floats) == 2
        assert ovix.dvir2String(floats) == "flen 2"
        for no_buffer in (5, "text", None, memoryview(base)[::2]):
            with pytest.raises(RuntimeError, match="^Need a buffer$"):
                ovix.dvirSize(no_buffer)

    def test_sizes(self):
        assert [ovix.dvirSize(bytes(n)) for n in (0, 11, 12, 25)] == [0, 0, 1, 2]
        assert [ovix.dvirSize2BufLen(n) for n in (3, 0, -3, 2**31 - 1)] == [36, 0, -36, (2**31 - 1) * 12]
        with pytest.raises(TypeError, match=r"^in method 'dvirSize2BufLen', argument 1 of type 'int'$"):
            ovix.dvirSize2BufLen(2.0)

    def test_fix_trailing_whitespace(self):
        two = pack([1, 2], [1, 2])
        padded = ovix.dvirFixTrailingWhitespace(two, 3)
        assert padded == two + b" " * 12
        assert ovix.dvirFixTrailingWhitespace(two + b"\x7f", 3) == two + b"\x7f" + b" " * 11
        for n in (2, 1, 0, -1):
            assert ovix.dvirFixTrailingWhitespace(two, n) is two

    def test_endianness_round_trips(self):
        corpus = Corpus(2, rows=20)
        for buffer in corpus.vectors:
            entries = unpack(buffer)
            shuffled = entries[corpus.rng.permutation(len(entries))].tobytes()
            big = ovix.dvirChangeEndian(shuffled, _ovix.DVIR_ENDIAN_NATIVE, _ovix.DVIR_ENDIAN_BIG)
            as_big = np.frombuffer(big, dtype=[("id", "<u8"), ("w", ">f4")])
            assert list(as_big["id"]) == list(entries["id"])  # sorted again, ids untouched
            assert np.array_equal(as_big["w"], entries["w"])
            assert ovix.dvirChangeEndian(big, 1, 0) == buffer
            assert ovix.dvirChangeEndian(big, 7, 1) == buffer  # any other code counts as different
        buffer = pack([1], [1])
        for same in ((2, 0), (0, 2), (1, 1), (9, 9)):
            assert ovix.dvirChangeEndian(buffer, *same) is buffer
        with pytest.raises(TypeError, match=r"^in method 'dvirChangeEndian', argument 3 of type 'DvirEndian'$"):
            ovix.dvirChangeEndian(buffer, 0, 1.0)


VERIFY_CASES = [
    (b"", None),
    (pack([1, 2, 3, 2**64 - 1], [0.5, 1, 100000, 1e-30]) + b"\xff" * 11, None),
    (pack([1, 1], [1, 1]), "fids are not ascending"),
    (pack([2, 1], [1, 1]), "fids are not ascending"),
    (pack([1], [np.nan]), "weight is nan"),
    (pack([1], [0]), "weight is negative"),
    (pack([1], [-np.inf]), "weight is negative"),
    (pack([1], [100000.5]), "weight is too large"),
    (pack([1], [np.inf]), "weight is too large"),
    (pack([1], [1.5]), "weight is greater than 1.0 and not an integer"),
    # the first faulty entry decides; within it, the first check that fails
    (pack([1, 1], [1.5, np.nan]), "weight is greater than 1.0 and not an integer"),
    (pack([2, 1], [1, np.nan]), "fids are not ascending"),
    (pack([1, 2, 3], [1, np.nan, -1]), "weight is nan"),
    (pack([1], [-200000.5]), "weight is negative"),
    (pack([1], [200000.5]), "weight is too large"),
    (None, "dvir is null"),
    ("text", "Need a buffer"),
]


@pytest.mark.parametrize("buffer, message", VERIFY_CASES)
def test_verify(buffer, message):
    if message is None:
        assert ovix.dvirVerify(buffer) is None
    else:
        with pytest.raises(RuntimeError, match=f"^{message}$"):
            ovix.dvirVerify(buffer)


class TestAgainstScipy:
    def test_list_dot_product(self):
        corpus = Corpus(3)
        for query in corpus.vectors[:10]:
            products = ovix.dvirListDotProduct(query, corpus.vectors)
            assert type(products) is list and len(products) == len(corpus.vectors)
            np.testing.assert_allclose(products, corpus.matrix @ corpus.dense(query), rtol=1e-12, atol=1e-12)

    def test_dispersion_and_stddev(self):
        corpus = Corpus(4)
        centroid = corpus.vectors[0]
        d = corpus.matrix @ corpus.dense(centroid)
        mean, stddev = ovix.dvirListDispersionAndStddev(centroid, corpus.vectors)
        np.testing.assert_allclose([mean, stddev], [d.mean(), d.std()], rtol=1e-9)
        mean, stddev = ovix.dvirListDispersionAndStddev(centroid, [])
        assert mean == 0 and np.isnan(stddev)

    def test_dot_product_as_dvir(self):
        corpus = Corpus(5, vocabulary=200)
        for a, b in zip(corpus.vectors[:20], corpus.vectors[20:40]):
            product, ea, eb = unpack(ovix.dvirDotProductAsDvir(a, b)), unpack(a), unpack(b)
            common, ia, ib = np.intersect1d(ea["id"], eb["id"], return_indices=True)
            assert list(product["id"]) == list(common)
            assert np.array_equal(product["w"], ea["w"][ia] * eb["w"][ib])

    def test_centroid(self):
        corpus = Corpus(6)
        centroid = unpack(ovix.dvirListCentroid(corpus.vectors))
        sums = np.asarray(corpus.matrix.sum(axis=0)).ravel()
        present = np.flatnonzero(corpus.matrix.getnnz(axis=0))
        assert list(centroid["id"]) == list(corpus.ids[present])
        np.testing.assert_allclose(centroid["w"], sums[present] / np.linalg.norm(sums), rtol=1e-5)
        assert ovix.dvirListCentroid([]) == ovix.dvirListCentroid([b"", bytearray()]) == b""

    @staticmethod
    def weights_oracle(buffer, logTf, idf, topN, alg, minDf, df, documents, lowest):
        entries = unpack(buffer)
        w = entries["w"].astype(np.float64)
        if logTf:
            w = (np.float32(1) + np.log(entries["w"])).astype(np.float64)
        if idf:
            counts = np.array([df.get(i, 0) for i in entries["id"]], dtype=np.float64)
            if alg == _ovix.FIXED_IDF_ALG_FLATLINE:
                counts[counts == 0] = lowest
            dropped = (counts < minDf) | ((alg == _ovix.FIXED_IDF_ALG_IGNORE) & (counts == 0))
            w = np.where(dropped, 0.0, w * np.log((documents + 2.0) / (counts + 1.0)))
        keep = np.arange(len(w))
        if 0 < topN < len(w):
            keep = np.sort(np.argsort(-w, kind="stable")[:topN])
        w, ids = w[keep], entries["id"][keep]
        length = np.sqrt(np.sum(w**2))
        if length:
            w = w / length
        return ids[w != 0], w[w != 0]

    @pytest.mark.parametrize("keepWeights, logTf, idf, topN, alg, minDf", [
        (False, False, False, 0, 0, 0),
        (False, True, False, 0, 0, 0),
        (False, True, True, 0, _ovix.FIXED_IDF_ALG_DROP, 0),
        (False, True, True, 0, _ovix.FIXED_IDF_ALG_DROP, 1),
        (False, True, True, 0, _ovix.FIXED_IDF_ALG_FLATLINE, 0),
        (False, False, True, 0, _ovix.FIXED_IDF_ALG_IGNORE, 3),
        (False, True, True, 10, _ovix.FIXED_IDF_ALG_FLATLINE, 2),
        (True, True, True, 10, 0, 0),
    ])
    def test_weights(self, keepWeights, logTf, idf, topN, alg, minDf):
        corpus = Corpus(7, rows=100, longest=40)
        known = corpus.rng.choice(corpus.ids, size=len(corpus.ids) // 2, replace=False)
        df = dict(zip(known, corpus.rng.integers(1, 500, size=len(known))))
        dc = counts_table(df.keys(), df.values(), 1000)
        for buffer in corpus.vectors:
            result = ovix.dvir2Weights(buffer, keepWeights, logTf, idf, topN, alg, minDf, dc)
            if keepWeights and not 0 < topN < len(buffer) // 12:
                assert result is buffer
                continue
            weighted = unpack(result)
            ids, w = self.weights_oracle(buffer, logTf and not keepWeights, idf and not keepWeights, topN, alg,
                                         minDf, df, 1000, min(df.values()))
            assert list(weighted["id"]) == list(ids)
            np.testing.assert_allclose(weighted["w"], w, rtol=1e-5, atol=1e-7)

    def test_weights_returns_its_argument_when_nothing_changes(self):
        dc = ovix.FidsDocCount(ovix.Fids(False))
        buffer = pack([1, 2, 3], [3, 1, 2])
        assert ovix.dvir2Weights(buffer, True, False, False, 0, 0, 0, dc) is buffer
        assert ovix.dvir2Weights(buffer, True, True, True, 3, 0, 0, dc) is buffer
        two = unpack(ovix.dvir2Weights(buffer, True, False, False, 2, 0, 0, dc))
        assert list(two["id"]) == [1, 3]
        np.testing.assert_allclose(two["w"], np.array([3, 2]) / np.sqrt(13), rtol=1e-6)
        with pytest.raises(RuntimeError, match="^Weight is NaN$"):
            ovix.dvir2Weights(pack([1], [np.nan]), False, False, False, 0, 0, 0, dc)
        for position, bad, kind in ((2, "x", "bool"), (5, 1.5, "int"), (6, None, "FixedIdfAlg"),
                                    (8, None, "FidsDocCount const \\*")):
            args = [buffer, True, False, False, 0, 0, 0, dc]
            args[position - 1] = bad
            with pytest.raises(TypeError, match=rf"^in method 'dvir2Weights', argument {position} of type '{kind}'$"):
                ovix.dvir2Weights(*args)


def test_document_counts():
    corpus = Corpus(9, rows=30)
    known = corpus.ids[::3]
    dc = counts_table(known, [5] * len(known), 10)
    for buffer in corpus.vectors:
        entries = unpack(buffer)
        hit = np.isin(entries["id"], known)
        hits = np.sum(entries["w"][hit].astype(np.float64))
        assert ovix.dvirDocCountHits(buffer, dc) == pytest.approx(hits, rel=1e-12)
        ratio = ovix.dvirInLanguageRatio(buffer, dc)
        if len(entries):
            assert ratio == pytest.approx(hits / np.sum(entries["w"].astype(np.float64)), rel=1e-12)
        else:
            assert np.isnan(ratio)
    fresh = ovix.FidsDocCount(ovix.Fids(False))
    vector = pack(corpus.ids[:4], [1, 2, 3, 4])
    ovix.dvirIncrDocCounts(vector, fresh)
    ovix.dvirIncrDocCounts(bytearray(vector), fresh)
    ovix.dvirDecrDocCounts(vector[:24], fresh)
    assert [fresh.getDocCount(struct.pack("<Q", i)) for i in corpus.ids[:4]] == [1, 1, 2, 2]
    with pytest.raises(TypeError, match=r"^in method 'dvirIncrDocCounts', argument 2 of type 'FidsDocCount \*'$"):
        ovix.dvirIncrDocCounts(vector, None)


def test_trailing_bytes_change_nothing():
    corpus = Corpus(10, rows=3, vocabulary=50)
    a, b, c = corpus.vectors
    dc = counts_table(corpus.ids, [2] * len(corpus.ids), 10)
    calls = [
        lambda x: ovix.dvir2FidsAndWeights(x), lambda x: ovix.dvir2String(x), lambda x: ovix.dvirSize(x),
        lambda x: ovix.dvirChangeEndian(x, 0, 1), lambda x: ovix.dvirDocCountHits(x, dc),
        lambda x: ovix.dvirDotProductAsDvir(x, b), lambda x: ovix.dvirListCentroid([x, c]),
        lambda x: ovix.dvirListDotProduct(x, [b, x]), lambda x: ovix.dvirListDispersionAndStddev(b, [x, c]),
        lambda x: ovix.dvir2Weights(x, False, True, True, 5, 1, 0, dc),
    ]
    for extra in range(1, 12):
        junk = a + bytes(range(255, 255 - extra, -1))
        for call in calls:
            assert call(junk) == call(a)
        ovix.dvirVerify(pack([1], [1]) + b"\0" * extra)  # the zero weight of a partial entry is never read


class TestLists:
    def test_any_list_of_buffers(self):
        class Vectors(list):
            pass
        a, b = pack([1, 2], [1, 2]), pack([2], [3])
        assert ovix.dvirListDotProduct(a, Vectors([b, bytearray(a), memoryview(b"")])) == [6.0, 5.0, 0.0]
        assert ovix.dvirListCentroid(Vectors([a])) == ovix.dvirListCentroid([memoryview(a)])

    @pytest.mark.parametrize("call", [
        lambda l: ovix.dvirListCentroid(l),
        lambda l: ovix.dvirListDotProduct(b"", l),
        lambda l: ovix.dvirListDispersionAndStddev(b"", l),
    ])
    def test_errors_are_clear_texts(self, call):
        for not_a_list in ((b"",), None, b"", iter([b""])):
            with pytest.raises(RuntimeError, match="^Need a list of buffers$"):
                call(not_a_list)
        for item in (None, 5, "text"):
            with pytest.raises(RuntimeError, match="^Need a buffer$"):
                call([b"", item])


def test_a_thread_keeps_counting_while_weights_are_computed():
    """dvir2Weights releases the interpreter lock for its work: a counting
    thread makes progress inside the call's window."""
    n = 2_000_000
    rng = np.random.default_rng(11)
    ids = rng.integers(0, 2**64, size=n, dtype=np.uint64)
    buffer = pack(ids, rng.uniform(1, 10, size=n))
    dc = counts_table(ids[:1000], [3] * 1000, 100)
    with LockTicker() as ticker:
        start = time.perf_counter()
        weighted = ovix.dvir2Weights(buffer, False, True, True, 0, 0, 0, dc)
        end = time.perf_counter()
    assert len(weighted) == len(buffer)
    # Away from the edges of the call, where the lock changes hands anyway.
    margin = (end - start) / 4
    inside = len(ticker.between(start + margin, end - margin))
    assert end - start > 0.05 and inside > 20, (end - start, inside)


class TestFromFeatureDict:
    def test_counts_become_weights_in_packed_vector_order(self):
        d = ovix.FeatureDict(ovix.Fids(False))
        d.applyTokenString("graph graph spectral cuts of a graph", 1, 1)
        d.applyTokenString("spectral", 2, 3)
        packed = _ovix.dvirFromFeatureDict(d)
        entries = unpack(packed)
        assert list(entries["id"]) == sorted(entries["id"])
        fids, weights = _ovix.dvir2FidsAndWeights(packed)
        assert dict(zip(fids, weights)) == {fid: float(count) for fid, count in d.getList()}
        _ovix.dvirVerify(packed)
        assert packed == _ovix.dvirFromFidsAndWeights(*map(list, zip(*d.getList())))

    def test_an_empty_dictionary_gives_an_empty_vector(self):
        assert _ovix.dvirFromFeatureDict(ovix.FeatureDict(ovix.Fids(False))) == b""
        with pytest.raises(TypeError, match=r"argument 1 of type 'FeatureDict const \*'$"):
            _ovix.dvirFromFeatureDict(None)
