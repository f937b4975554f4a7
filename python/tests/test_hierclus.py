"""Rows of the clustering front: HierClus. Results are checked against a
k-means of numpy's written here from the published rules (the 15-bit
generator, the first most similar centroid), and the files against a reader
of their own, written with struct."""

import struct
import sys
import time

import numpy as np
import pytest

import _ovix
import ovix
from conftest import LockTicker

MAGIC = -3009
ENTRY = np.dtype([("id", "<u8"), ("w", "<f4")])


def read_binary(path):
    """The records (id, label, entry bytes) of a binary document-vector file
    without sub-files; fails on any byte that does not belong where it is."""
    with open(path, "rb") as f:
        data = f.read()
    magic, n_docs, n_sub_files, first_index = struct.unpack_from("<4i", data, 0)
    assert (magic, n_sub_files, first_index) == (MAGIC, 0, 0)
    offset, records = 16, []
    for expected_index in range(n_docs):
        index, doc_id, label, n = struct.unpack_from("<4i", data, offset)
        assert index == expected_index
        offset += 16
        records.append((doc_id, label, data[offset:offset + 12 * n]))
        offset += 12 * n
    assert offset == len(data), "bytes after the last record"
    return records


def entries(dvir_bytes):
    return [struct.unpack_from("<Qf", dvir_bytes, 12 * i) for i in range(len(dvir_bytes) // 12)]


class Corpus:
    """Documents over a small vocabulary, as a file and as a dense matrix of
    the weights the file stores."""

    def __init__(self, folder, count=150, vocabulary=120, seed=4, labels=None):
        rng = np.random.default_rng(seed)
        self.ids = np.sort(np.unique(rng.integers(0, 2**63, size=vocabulary, dtype=np.int64)).astype(np.uint64))
        self.matrix = np.zeros((count, vocabulary))
        self.path = str(folder / "docs.vec")
        self.doc_ids = [1000 + i for i in range(count)]
        sink = ovix.FeatureDvecsFile(self.path)
        for i in range(count):
            terms = np.sort(rng.choice(vocabulary, size=int(rng.integers(3, 12)), replace=False))
            w = rng.random(len(terms)) + 0.05
            w = (w / np.linalg.norm(w)).astype(np.float32)
            self.matrix[i, terms] = w
            packed = np.empty(len(terms), dtype=ENTRY)
            packed["id"], packed["w"] = self.ids[terms], w
            buffer = packed.tobytes()
            sink.addFeatures(self.doc_ids[i], 0 if labels is None else labels[i], buffer)
        sink.close()


def rand15(seed):
    s = seed
    while True:
        s = (s * 214013 + 2531011) & 0xFFFFFFFF
        yield (s >> 16) & 0x7FFF


def normalised_sums(matrix, assignment, k):
    centroids = np.zeros((k, matrix.shape[1]))
    for child in range(k):
        centroids[child] = matrix[assignment == child].sum(axis=0)
        norm = np.linalg.norm(centroids[child])
        if norm:
            centroids[child] /= norm
    return centroids


def reference_kmeans(matrix, k, max_iterations, seed=12345):
    """Documents 0..k-1 seed children 0..k-1, every other one a child drawn
    from the generator; then assignment to the first most similar centroid
    (child 0 when none is similar) and recomputation, until the sum of
    similarities grows by less than 1% or the iterations are done."""
    draws = rand15(seed)
    assignment = np.array([j if j < k else min(int(next(draws) * k / 32767.0), k - 1) for j in range(len(matrix))])
    centroids = normalised_sums(matrix, assignment, k)
    iteration, previous = 1, np.float32(0)
    while True:
        similarity = matrix @ centroids.T
        best = similarity.max(axis=1)
        assignment = np.where(best > 0, similarity.argmax(axis=1), 0)
        total = best[best > 0].sum()
        iteration += 1
        if max_iterations >= 2:
            centroids = normalised_sums(matrix, assignment, k)
        if iteration > max_iterations or (total - previous) / total < 0.01:
            return assignment, centroids
        previous = np.float32(total)


class TestClustering:
    @pytest.mark.parametrize("alg, iterations", [(ovix.CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT, 1),
                                                 (ovix.CLASSIFIER_CLUSTERING_ALG_KMEANS, 5)])
    def test_kmeans_matches_the_reference(self, tmp_path, alg, iterations):
        corpus = Corpus(tmp_path)
        clustering = ovix.HierClus(corpus.path, 6, False, 0, False, 0, alg)
        assignment, centroids = reference_kmeans(corpus.matrix, 6, iterations)
        assert clustering.getDocs() == [(doc_id, 1 + int(c)) for doc_id, c in zip(corpus.doc_ids, assignment)]
        leaves = clustering.getClusters()
        assert [(leaf[0], leaf[1]) for leaf in leaves] == [(c + 1, int((assignment == c).sum())) for c in range(6)]
        index = {int(fid): t for t, fid in enumerate(corpus.ids)}
        for leaf in leaves:
            got = np.zeros(corpus.matrix.shape[1])
            for fid, weight in entries(leaf[2]):
                got[index[fid]] = weight
            np.testing.assert_allclose(got, centroids[leaf[0] - 1], atol=1e-6)

    def test_seed_from_labels_starts_from_the_labelled_documents(self, tmp_path):
        labels = [(i % 5) + 1 if i % 10 < 5 else 0 for i in range(100)]
        corpus = Corpus(tmp_path, count=100, labels=labels)
        clustering = ovix.HierClus(corpus.path, 3, False, 0, True, 0, ovix.CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT)
        # Labels 4 and 5 lie beyond the 3 clusters: those documents seed nothing.
        seeds = np.array([label - 1 if 1 <= label <= 3 else -1 for label in labels])
        similarity = corpus.matrix @ normalised_sums(corpus.matrix, seeds, 3).T
        expected = np.where(similarity.max(axis=1) > 0, similarity.argmax(axis=1), 0) + 1
        assert [c for _, c in clustering.getDocs()] == expected.tolist()

    def test_near_duplicates_are_mapped_to_their_representative(self, tmp_path):
        path = str(tmp_path / "dups.vec")
        sink = ovix.FeatureDvecsFile(path)
        vectors = [[(1, 0.6), (2, 0.8)], [(3, 1.0)], [(1, 0.6), (2, 0.8)], [(4, 0.6), (5, 0.8)]]
        for i, vector in enumerate(vectors):
            sink.addFeatures(i, 0, b"".join(struct.pack("<Qf", f, w) for f, w in vector))
        sink.close()
        clustering = ovix.HierClus(path, 2, False, 0, False, 0, ovix.CLASSIFIER_CLUSTERING_ALG_GRAPH, 2, 0.99)
        duplicates = clustering.getWithinSimilarityMap()
        assert duplicates.keys() == {2}
        of, similarity = duplicates[2]
        assert of == 0 and type(similarity) is float and similarity == pytest.approx(1, abs=1e-6)


class TestFiles:
    def test_centroid_file_holds_the_root_then_every_cluster(self, tmp_path):
        corpus = Corpus(tmp_path)
        clustering = ovix.HierClus(corpus.path, 10)
        records = read_binary(corpus.path + ".clusters")
        assert [(doc_id, label) for doc_id, label, _ in records] == [(i, 0) for i in range(11)]
        assert records[0][2] == b""
        leaves = clustering.getClusters()
        assert [leaf[0] for leaf in leaves] == list(range(1, 11))
        for leaf in leaves:
            assert leaf[2] == records[leaf[0]][2]
            fids = [fid for fid, _ in entries(leaf[2])]
            assert fids == sorted(fids)
            assert sum(w * w for _, w in entries(leaf[2])) == pytest.approx(1, abs=1e-5)

    def test_member_files_hold_each_leafs_documents(self, tmp_path):
        corpus = Corpus(tmp_path, count=60)
        clustering = ovix.HierClus(corpus.path, 4, True)
        docs = clustering.getDocs()
        source = read_binary(corpus.path)
        for leaf_id, size, _, member_file in clustering.getClusters():
            if size == 0:
                assert member_file is None
                continue
            assert member_file == f"{corpus.path}.clu{leaf_id}"
            members = read_binary(member_file)
            expected = [(doc_id, 0, source[i][2]) for i, (doc_id, c) in enumerate(docs) if c == leaf_id]
            assert members == expected

    def test_get_clusters_with_top_n_keeps_the_heaviest_entries(self, tmp_path):
        corpus = Corpus(tmp_path)
        clustering = ovix.HierClus(corpus.path, 3)
        full = clustering.getClusters()
        assert clustering.getClusters(0) == full
        for whole, cut in zip(full, clustering.getClusters(5)):
            heaviest = sorted(entries(whole[2]), key=lambda e: -e[1])[:5]
            assert entries(cut[2]) == sorted(heaviest)
            assert whole[:2] == cut[:2]

    def test_max_centroid_features_cuts_the_stored_centroids(self, tmp_path):
        corpus = Corpus(tmp_path)
        for leaf in ovix.HierClus(corpus.path, 3, False, 0, False, 4).getClusters():
            assert len(entries(leaf[2])) == 4
            assert sum(w * w for _, w in entries(leaf[2])) == pytest.approx(1, abs=1e-5)


class TestBinding:
    def test_defaults_make_ten_kmeans_clusters(self, tmp_path):
        corpus = Corpus(tmp_path)
        clustering = _ovix.new_HierClus(corpus.path, 10)
        assert [leaf[0] for leaf in _ovix.HierClus_getClusters(clustering)] == list(range(1, 11))
        assert (tmp_path / "docs.vec.clusters").exists()

    def test_results_have_their_types(self, tmp_path):
        corpus = Corpus(tmp_path, count=30)
        clustering = ovix.HierClus(corpus.path, 2, True)
        doc = clustering.getDocs()[0]
        assert type(doc) is tuple and [type(x) for x in doc] == [int, int]
        leaf = clustering.getClusters()[0]
        assert [type(x) for x in leaf] == [int, int, bytearray, str]
        assert clustering.getWithinSimilarityMap() == {}

    def test_every_argument_count_from_two_to_nine_is_a_form(self, tmp_path):
        corpus = Corpus(tmp_path, count=30)
        args = [corpus.path.encode(), 2, True, 1, False, 3, ovix.CLASSIFIER_CLUSTERING_ALG_GRAPH, 5, 0.5]
        for n in range(2, 10):
            clustering = _ovix.new_HierClus(*args[:n])
            assert len(_ovix.HierClus_getDocs(clustering)) == 30
            _ovix.delete_HierClus(clustering)

    @pytest.mark.parametrize("args", [("x",), ("x", 2, False, 0, False, 0, 2, 100, 0.0, 1), ("x", "2"),
                                      ("x", 2, False, 0, False, 0, "graph")])
    def test_no_matching_form_raises_not_implemented(self, args):
        with pytest.raises(NotImplementedError, match=r"^No matching function for overloaded 'new_HierClus'$"):
            _ovix.new_HierClus(*args)

    def test_get_clusters_dispatch_and_conversions(self, tmp_path):
        corpus = Corpus(tmp_path, count=30)
        clustering = ovix.HierClus(corpus.path, 2)
        assert _ovix.HierClus_getClusters(clustering) == _ovix.HierClus_getClusters(clustering, 0)
        for args in [(clustering, 1, 2), (clustering, "1")]:
            with pytest.raises(NotImplementedError, match=r"^No matching function for overloaded 'HierClus_getClusters'$"):
                _ovix.HierClus_getClusters(*args)
        with pytest.raises(TypeError, match=r"^in method 'new_HierClus', argument 1 of type 'char const \*'$"):
            _ovix.new_HierClus(None, 2)
        with pytest.raises(TypeError, match=r"^in method 'HierClus_getDocs', argument 1 of type 'HierClus \*'$"):
            _ovix.HierClus_getDocs(ovix.Fid("x"))

    def test_thrown_texts_are_runtime_errors_and_leave_no_object(self, tmp_path):
        corpus = Corpus(tmp_path, count=30)
        with pytest.raises(RuntimeError, match=r"^Unknown alg$"):
            ovix.HierClus(corpus.path, 2, False, 0, False, 0, 3)
        with pytest.raises(RuntimeError) as missing:
            ovix.HierClus(str(tmp_path / "missing.vec"), 2)
        assert str(missing.value) == "..\\..\\Cluster 45 0\n"
        with pytest.raises(RuntimeError) as depth:
            ovix.HierClus(corpus.path, 1, False, 0, False, 0, ovix.CLASSIFIER_CLUSTERING_ALG_GRAPH)
        assert str(depth.value) == "..\\..\\CluGraph 45 0\n"

    def test_delete_takes_the_object_away(self, tmp_path):
        corpus = Corpus(tmp_path, count=30)
        clustering = ovix.HierClus(corpus.path, 2)
        _ovix.delete_HierClus(clustering)
        with pytest.raises(TypeError, match=r"argument 1 of type 'HierClus \*'"):
            clustering.getDocs()

    def test_clustering_holds_the_interpreter_lock(self, tmp_path):
        corpus = Corpus(tmp_path, count=10000, vocabulary=2000)
        # With a long switch interval the caller keeps the lock from `start`
        # to `end` unless the call itself gives it up, however loaded the
        # machine is.
        interval = sys.getswitchinterval()
        sys.setswitchinterval(60)
        try:
            with LockTicker() as ticker:
                start = time.perf_counter()
                ovix.HierClus(corpus.path, 100)
                end = time.perf_counter()
        finally:
            sys.setswitchinterval(interval)
        assert end - start > 0.05, "too short a run to tell"
        assert not ticker.between(start, end)
