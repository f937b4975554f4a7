"""Rows of the classifier driver, ClassifierWrapper: argument rules, the
document table, the prediction against a numpy transducer written from its
formulas, and the interpreter lock during the long calls."""

import re
import struct
import threading
import time

import numpy as np
import pytest

import _ovix
import ovix
from conftest import LockTicker

ENTRY = np.dtype([("fid", "<u8"), ("weight", "<f4")])
MAGIC = -3009
BINARY = 1  # the binary document-vector file format


def topic_vectors(n, topics=2, vocabulary=40, length=12, seed=1):
    """n packed document vectors: document i is about topic i % topics (its
    own ids) with a few ids that all topics share."""
    rng = np.random.default_rng(seed)
    vectors = []
    for i in range(n):
        own = rng.integers(0, vocabulary, length) + (i % topics + 1) * vocabulary
        shared = rng.integers(0, 8, 3)
        vector = np.zeros(len(ids := np.unique(np.concatenate([own, shared]))), ENTRY)
        vector["fid"], vector["weight"] = ids, rng.uniform(0.1, 1.0, len(ids))
        vectors.append(vector.tobytes())
    return vectors


def table_of(vectors):
    """A complete FeatureDvecsMem of the vectors."""
    mem = ovix.FeatureDvecsMem(len(vectors))
    for i, vector in enumerate(vectors):
        mem.addFeatures(i, 0, vector)
    return mem


def unit_length(vector):
    entries = np.frombuffer(vector, ENTRY).copy()
    entries["weight"] /= np.sqrt(np.sum(entries["weight"].astype(float) ** 2))
    return entries.tobytes()


def topic_table(n, topics=2, vocabulary=40, length=12, seed=1):
    return table_of(topic_vectors(n, topics, vocabulary, length, seed))


def write_decomposition(path, V):
    """V as a decomposition file: record i is row i, with one (column,
    single-precision value) entry per column."""
    rows, cols = V.shape
    record = np.dtype([("head", "<i4", 4), ("entries", ENTRY, cols)])
    records = np.zeros(rows, record)
    records["head"] = np.column_stack([np.arange(rows), np.arange(rows), np.zeros(rows), np.full(rows, cols)])
    records["entries"]["fid"] = np.arange(cols)
    records["entries"]["weight"] = V
    with open(path, "wb") as f:
        f.write(struct.pack("<4i", MAGIC, rows, 0, 0))
        f.write(records.tobytes())


def read_decomposition(path):
    with open(path, "rb") as f:
        data = f.read()
    magic, rows, _, _ = struct.unpack_from("<4i", data)
    assert magic == MAGIC
    records, offset = [], 16
    for _ in range(rows):
        _, _, _, count = struct.unpack_from("<4i", data, offset)
        offset += 16
        records.append([struct.unpack_from("<Qf", data, offset + 12 * e) for e in range(count)])
        offset += 12 * count
    V = np.zeros((rows, 1 + max((r[-1][0] for r in records if r), default=0)))
    for i, record in enumerate(records):
        for column, value in record:
            V[i, column] = value
    return V


# --- The transducer, from its formulas --------------------------------------


def min_error_threshold(ranks, gamma):
    """The highest threshold of least training error among every rank and a
    value below them all: positives at or below it and negatives above it err."""
    candidates = [ranks.min() - 1] + sorted(set(ranks))
    errors = [((gamma > 0) & (ranks <= t)).sum() + ((gamma < 0) & (ranks > t)).sum() for t in candidates]
    best = min(errors)
    return max(t for t, e in zip(candidates, errors) if e == best)


def transduce_once(V, labels, p, c, npos, nneg, min_err):
    """One solve: the ranks, and the midpoint of the targets that lies at 0."""
    n, m = V.shape
    g_pos = np.sqrt((1 - p) / p)
    g_neg = -1 / g_pos
    gamma = np.where(labels > 0, g_pos, np.where(labels < 0, g_neg, 0.0))
    base = c * 0.5 * (npos + nneg)
    cost = np.where(gamma > 0, base / npos, np.where(gamma < 0, base / nneg, 0.0))
    G = V.T @ (cost[:, None] * V) + np.diag((np.arange(m) + 1.0) ** 2)
    b = V.T @ (cost * gamma)
    P = np.block([[G, -np.eye(m)], [-np.outer(b, b) / n, G]])
    lam = np.linalg.eigvals(P).real.min()
    x = np.linalg.solve(G - lam * np.eye(m), b)
    # lambda* is the root of the secular equation: the solution has the norm
    # the transducer asks for.
    assert x @ x == pytest.approx(n, rel=1e-8)
    midpoint = (g_pos + g_neg) / 2
    ranks = V @ x - midpoint
    if min_err:
        ranks -= min_error_threshold(ranks, gamma)
    return ranks, midpoint


def transduce(V, labels, c, p, min_err):
    """The prediction with its estimation of p and its search for c."""
    labels = np.asarray(labels, dtype=float)
    n = len(labels)
    npos, nneg = (labels > 0).sum(), (labels < 0).sum()
    c_cur, c_max = (1.0, -c) if c < 0 else (c, c)
    while True:
        p_est = npos / (npos + nneg) if p == 0 else abs(p)
        for _ in range(10 if p < 0 else 1):
            ranks, midpoint = transduce_once(V, labels, p_est, c_cur, npos, nneg, min_err)
            error = int((ranks * labels < 0).sum())
            p_actual = (ranks >= 0).sum() / n
            if abs(p_est - p_actual) / p_est < 0.1:
                break
            p_est += 0.75 * (p_actual - p_est)
        if c < 0 and error and c_cur < c_max:
            c_cur *= 10
        else:
            return ranks, midpoint


def predict(wrapper, learned, c=10.0, p=0.5, min_err=False):
    return wrapper.predict(c, p, learned, min_err, False, 0, 0, 0, False)


def some_labels(n, positives, negatives):
    learned = [0] * n
    for i in positives:
        learned[i] = 1
    for i in negatives:
        learned[i] = -1
    return learned


class TestPredictionAgainstNumpy:
    # (c, p, minErrThreshold): a fixed p, p from the labels, an estimated p,
    # the search for c, and the threshold of least error.
    SETTINGS = [(10.0, 0.5, False), (3.0, 0.0, False), (10.0, -0.3, False), (-1000.0, 0.4, False),
                (10.0, 0.25, True), (-100.0, -0.5, True)]

    @pytest.mark.parametrize("c, p, min_err", SETTINGS)
    def test_orthonormal_eigenvectors_of_a_random_graph(self, tmp_path, c, p, min_err):
        rng = np.random.default_rng(4)
        n, m = 40, 8
        W = np.triu(rng.random((n, n)) * (rng.random((n, n)) < 0.15), 1)
        W = W + W.T
        _, vectors = np.linalg.eigh(np.diag(W.sum(1)) - W)
        V = vectors[:, 1:m + 1].astype(np.float32).astype(float)
        learned = some_labels(n, [0, 5, 9, 22], [1, 2, 17, 30, 33])
        write_decomposition(tmp_path / "v", V)

        w = ovix.ClassifierWrapper(0)
        w.setDecompositionFile(str(tmp_path / "v"), BINARY)
        assert w.readDecompositionFile() == n
        ranks = np.array(predict(w, list(learned), c, p, min_err))
        expected, midpoint = transduce(V, learned, c, p, min_err)
        np.testing.assert_allclose(ranks, expected, atol=1e-4)
        if not min_err:
            # With V orthonormal, ||z||^2 = ||x||^2 = n: so are the ranks
            # before their shift by the targets' midpoint.
            assert np.sum((ranks + midpoint) ** 2) == pytest.approx(n, rel=1e-4)

    @pytest.mark.parametrize("c, p, min_err", SETTINGS[:4])
    def test_eigenvectors_of_the_engines_own_graph(self, tmp_path, c, p, min_err):
        n = 60
        mem = topic_table(n)
        w = ovix.ClassifierWrapper(0)
        w.buildKnnGraph(mem.getDvecs(), n, 6, 0.0)
        w.decomposeLaplacian(10)
        w.setDecompositionFile(str(tmp_path / "v"), BINARY)
        w.writeDecompositionFile()
        V = read_decomposition(tmp_path / "v")
        assert V.shape == (n, 9)
        learned = some_labels(n, [0, 4, 10], [1, 7, 13, 21])
        ranks = np.array(predict(w, learned, c, p, min_err))
        np.testing.assert_allclose(ranks, transduce(V, learned, c, p, min_err)[0], atol=1e-4)
        # The topics are told apart.
        assert ((ranks > 0) == (np.arange(n) % 2 == 0)).mean() > 0.9


class TestRows:
    def test_constructor_forms(self, tmp_path):
        log = tmp_path / "classifier.log"
        for args in [(1,), (1, None), (-2, str(log)), (3, bytes(log))]:
            w = _ovix.new_ClassifierWrapper(*args)
            assert "'ClassifierWrapper *'" in repr(w)
            _ovix.delete_ClassifierWrapper(w)
        assert log.read_text().count("cleaned up Classifier\n") == 2
        for args in [(), (1, 2), (1.5,), (1, None, 3)]:
            with pytest.raises(NotImplementedError, match=r"^No matching function for overloaded 'new_ClassifierWrapper'$"):
                _ovix.new_ClassifierWrapper(*args)

    @pytest.mark.parametrize("row, args, position, type_name", [
        ("ClassifierWrapper_computeClusters", ([0.5], 5, 2, 0.0), 2, "int"),
        ("ClassifierWrapper_computeClusters", (5, 2, "0", [0.5]), 4, "double"),
        ("ClassifierWrapper_predict", ("1", 0.5, [], False, False, 0, 0, 0, False), 2, "double"),
        ("ClassifierWrapper_predict", (1.0, 0.5, [], False, None, 0, 0, 0, False), 6, "bool"),
        ("ClassifierWrapper_predict", (1.0, 0.5, [], False, False, 0, 0, 2**40, False), 9, "int"),
        ("ClassifierWrapper_setGraphFile", (3, 2, 1, 0), 2, "char *"),
        ("ClassifierWrapper_setDecompositionFile", ("f", "1"), 3, "int"),
        ("ClassifierWrapper_decomposeLaplacian", (None,), 2, "int"),
    ])
    def test_argument_errors_name_the_row_the_position_and_the_type(self, row, args, position, type_name):
        w = ovix.ClassifierWrapper(0)
        with pytest.raises(TypeError, match=rf"^in method '{row}', argument {position} of type '{re.escape(type_name)}'$"):
            getattr(_ovix, row)(w, *args)

    def test_build_forms_and_the_document_table(self, tmp_path):
        mem = topic_table(30)
        table = mem.getDvecs()
        w = ovix.ClassifierWrapper(0)

        def graph_text(name):
            w.setGraphFile(str(tmp_path / name), 2, 1, 0)
            w.writeGraphFile()
            return (tmp_path / name).read_text()

        _ovix.ClassifierWrapper_buildKnnGraph(w, table, 30, 4, 0.0)
        five = graph_text("five")
        _ovix.ClassifierWrapper_buildKnnGraph(w, table, 30, 4, 0.0, True, False)
        assert graph_text("seven") == five
        _ovix.ClassifierWrapper_buildKnnGraph(w, table, 30, 4, 0.0, False)
        assert graph_text("plain") != five
        assert w.readGraphFile() is None

        for docs in (None, table):
            with pytest.raises(RuntimeError, match=r"^KNN value cannot be -ve$"):
                w.buildKnnGraph(docs, 30, 0, 0.0)
        assert w.buildKnnGraph(None, 30, 5, 0.0) is None
        assert graph_text("after_none") == graph_text("plain")
        with pytest.raises(RuntimeError, match=r"^dvec table has 30 rows, not 31$"):
            w.buildKnnGraph(table, 31, 5, 0.0)
        with pytest.raises(NotImplementedError, match="'ClassifierWrapper_buildKnnGraph'"):
            w.buildKnnGraph(mem, 30, 5, 0.0)
        mem.reset()
        with pytest.raises(RuntimeError, match=r"^dvec table was reset$"):
            w.buildKnnGraph(table, 30, 5, 0.0)

    def test_learned_must_be_a_list_of_ints(self, tmp_path):
        w = ovix.ClassifierWrapper(0)
        w.buildKnnGraph(topic_table(30).getDvecs(), 30, 5, 0.0)
        w.decomposeLaplacian(6)
        learned = some_labels(30, [0, 2], [1])
        with pytest.raises(RuntimeError, match=r"^Learned must be a list$"):
            predict(w, tuple(learned))
        with_float = learned[:5] + [1.0] + learned[6:]
        with pytest.raises(RuntimeError, match=r"^learned array must be array of ints$"):
            predict(w, with_float)
        assert with_float[5] == 1.0 and type(with_float[5]) is float

        class Labels(list):
            pass

        ranks = predict(w, Labels(learned))
        assert len(ranks) == 30 and all(type(r) is float for r in ranks)
        assert predict(w, [True if v == 1 else v for v in learned]) == ranks
        with pytest.raises(RuntimeError, match=r"^predict failed: 29 labels for 30 documents$"):
            predict(w, learned[:29])
        # Every document labelled: the labels come back as floats.
        full = [1, -1] * 15
        assert predict(w, full) == [float(v) for v in full]

    def test_cluster_arguments(self):
        w = ovix.ClassifierWrapper(0)
        with pytest.raises(RuntimeError, match=r"^# clusters <= 0$"):
            w.computeClusters(0, 2, 0.0, "not a list")
        with pytest.raises(RuntimeError, match=r"^ranks must be a list$"):
            w.computeClusters(3, 2, 0.0, (0.5, 1.5))
        with pytest.raises(RuntimeError, match=r"^ranks must be a list of floats$"):
            w.computeClusters(3, 2, 0.0, [0.5, 1])


class TestThreads:
    @staticmethod
    def counts_inside(call):
        """Runs call while another thread ticks; whether it ticked in the
        middle half of the call, away from the ends, where a thread
        holding the interpreter lock may still let it run briefly."""
        with LockTicker() as ticker:
            start = time.perf_counter()
            call()
            end = time.perf_counter()
        assert end - start > 0.04, "the call is too short to tell"
        quarter = (end - start) / 4
        return bool(ticker.between(start + quarter, end - quarter))

    def test_the_long_calls_let_other_threads_run(self, tmp_path):
        # Sizes that make each call last a tenth of a second or more.
        n = 10000
        mem = topic_table(n, topics=4, vocabulary=300, length=30)
        assert self.counts_inside(lambda: ovix.ClassifierWrapper(0).buildKnnGraph(mem.getDvecs(), n, 10, 0.0))
        n = 2000
        w = ovix.ClassifierWrapper(0)
        w.buildKnnGraph(topic_table(n, topics=4, vocabulary=300, length=30).getDvecs(), n, 10, 0.0)
        assert self.counts_inside(lambda: w.decomposeLaplacian(60))
        n = 10000
        write_decomposition(tmp_path / "v", np.random.default_rng(0).standard_normal((n, 60)) / np.sqrt(n))
        w = ovix.ClassifierWrapper(0)
        w.setDecompositionFile(str(tmp_path / "v"), BINARY)
        w.readDecompositionFile()
        # Most documents labelled, for a G of many rows, and several solves.
        learned = [0 if i % 10 == 0 else 1 if i % 3 == 0 else -1 for i in range(n)]
        assert self.counts_inside(lambda: predict(w, learned, -1000.0, -0.3))

    def test_a_wrapper_refuses_a_second_call_while_one_runs(self):
        n = 4000
        mem = topic_table(n, topics=4, vocabulary=300, length=30)
        w = ovix.ClassifierWrapper(0)
        w.buildKnnGraph(mem.getDvecs(), n, 10, 0.0)
        worker = threading.Thread(target=w.decomposeLaplacian, args=(40,))
        worker.start()
        while True:
            try:
                w.setGraphFile("g", 2, 1, 0)
            except RuntimeError as e:
                assert str(e) == "ClassifierWrapper is busy with another call"
                break
            assert worker.is_alive(), "no call was refused"
        # The decomposition runs for a good part of a second: deleting is
        # refused too.
        with pytest.raises(RuntimeError, match=r"^ClassifierWrapper is in use by another call$"):
            _ovix.delete_ClassifierWrapper(w)
        assert worker.is_alive()
        worker.join()
        learned = some_labels(n, [0], [1])
        assert len(predict(w, learned)) == n


class TestRanksAreFiniteNumbers:
    def test_identical_documents_labelled_both_ways_are_refused(self):
        # Every eigenvector of the complete graph has the eigenvalue 1: lambda*
        # meets the lowest eigenvalue of G, whose system is then singular.
        n = 50
        w = ovix.ClassifierWrapper(0)
        w.buildKnnGraph(table_of(topic_vectors(1) * n).getDvecs(), n, 10, 0.0)
        w.decomposeLaplacian(10)
        learned = some_labels(n, [0], [1])
        with pytest.raises(RuntimeError, match=r"^predict failed: G - lambda\* I is singular or nearly so: lambda\* = "
                                               r"1\.000000 meets the lowest eigenvalue of G, so the labels do not "
                                               r"determine the ranks$"):
            predict(w, learned)
        assert learned == some_labels(n, [0], [1])

    @pytest.mark.parametrize("row, message", [
        ([0.1, 0.2, float("nan"), 0.1], "eigenvector 2 of document 3 is not a finite number"),
        ([3e38] * 4, "the rank of document 3 is beyond single precision"),
    ])
    def test_eigenvectors_out_of_range_are_refused(self, tmp_path, row, message):
        V = np.linalg.qr(np.random.default_rng(4).standard_normal((40, 4)))[0]
        V[3] = row
        write_decomposition(tmp_path / "v", V)
        w = ovix.ClassifierWrapper(0)
        w.setDecompositionFile(str(tmp_path / "v"), BINARY)
        w.readDecompositionFile()
        with pytest.raises(RuntimeError, match=f"^predict failed: {message}$"):
            predict(w, some_labels(40, [0, 5], [1, 2]))


def predict_eliminating(wrapper, learned, elim_min, by_eigenvectors=False):
    return wrapper.predict(10.0, 0.5, learned, False, True, elim_min, 0, 0, by_eigenvectors)


class TestEliminationAndClusters:
    @pytest.mark.parametrize("by_eigenvectors", [False, True])
    def test_eliminated_labels_go_back_into_the_list(self, by_eigenvectors):
        n = 40
        w = ovix.ClassifierWrapper(0)
        # k = 8 keeps the lowest eigenvectors well apart: with fewer
        # neighbours they depend on ARPACK's random start, which moves on
        # with every decomposition that the process has run before.
        w.buildKnnGraph(topic_table(n).getDvecs(), n, 8, 0.0)
        w.decomposeLaplacian(8)
        # Negatives among the even topic's positives, and in the odd topic.
        learned = some_labels(n, [0, 2, 4, 6], [8, 10, 1, 3, 5])
        given = list(learned)
        ranks = predict_eliminating(w, learned, 30, by_eigenvectors)
        changed = [i for i in range(n) if learned[i] != given[i]]
        assert changed and all(given[i] == -1 and learned[i] == 0 and type(learned[i]) is int for i in changed)
        assert any(v == -1 for v in learned), "every negative went"
        # The prediction ran on the labels as the list now holds them.
        assert ranks == predict(w, list(learned))

    def test_a_failed_elimination_is_raised_after_the_prediction(self, tmp_path):
        n = 30
        write_decomposition(tmp_path / "v", np.random.default_rng(2).standard_normal((n, 6)) / np.sqrt(n))
        w = ovix.ClassifierWrapper(0)
        w.setDecompositionFile(str(tmp_path / "v"), BINARY)
        w.readDecompositionFile()
        learned = some_labels(n, [0, 2], [1, 3])
        with pytest.raises(RuntimeError, match=r"^eliminate negatives failed: no graph to eliminate negatives on: "
                                               r"build or read one first$"):
            predict_eliminating(w, learned, 100)
        assert learned == some_labels(n, [0, 2], [1, 3])
        with pytest.raises(RuntimeError, match=r"^predict failed: 29 labels for 30 documents$"):
            predict_eliminating(w, learned[:29], 100)

    def test_clusters_group_the_top_ranked_documents_by_topic(self):
        n = 90
        vectors = [unit_length(v) for v in topic_vectors(n, topics=3)]
        mem = table_of(vectors + [vectors[0]])  # the last document a copy of the first
        w = ovix.ClassifierWrapper(0)
        w.buildKnnGraph(mem.getDvecs(), n + 1, 8, 0.999)
        w.decomposeLaplacian(10)
        ranks = [0.2 if i % 10 == 0 else 0.6 for i in range(n + 1)]
        ids = w.computeClusters(3, 2, 0.5, ranks)
        assert len(ids) == n + 1 and all(type(i) is int for i in ids)
        assert ids[n] == -2
        assert [i for i in range(n) if ids[i] == -1] == list(range(0, n, 10))
        top = [i for i in range(n) if ids[i] >= 0]
        assert {ids[i] for i in top} == {0, 1, 2}
        # Each cluster holds one topic.
        for cluster in range(3):
            topics = [i % 3 for i in top if ids[i] == cluster]
            assert max(topics.count(t) for t in range(3)) >= 0.9 * len(topics)
        assert w.computeClusters(1, 2, 0.5, ranks) == [-2 if i == n else -1 if i % 10 == 0 else 0
                                                      for i in range(n + 1)]
        with pytest.raises(RuntimeError, match=r"^clustering failed: 90 ranks for a graph of 91 documents$"):
            w.computeClusters(3, 2, 0.5, ranks[:n])
