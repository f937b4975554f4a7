"""The k-nearest-neighbour graph of the classifier (LaPlacian::createKnnGraph)
side by side with scikit-learn's NearestNeighbours(metric='cosine',
algorithm='brute', n_jobs=-1), on the same unit-length tf-idf vectors, at
2,000 and 10,000 documents.

Each side runs in a process of its own, on all cores, and reports its best
time of several runs and the peak memory that the search added to the
process once its input was loaded. The neighbour sets are compared row by
row: agreement is the share of the graph's neighbours that scikit-learn also
found (ties and float rounding may swap the last ones).

    python3 bench/knn_graph.py --program build/bench/knn_graph_bench
"""

import argparse
import json
import os
import subprocess
import sys
import tempfile
import time

import numpy as np

ENTRY = np.dtype([("id", "<u8"), ("w", "<f4")])


def make_tfidf(rng, count, vocabulary, mean_length):
    """Unit-length tf-idf vectors of documents whose terms follow Zipf's law,
    as sorted (id, weight) entries and as a CSR matrix over the same terms."""
    import scipy.sparse as sp

    ids = np.unique(rng.integers(0, 2**64, size=vocabulary, dtype=np.uint64))  # sorted
    vocabulary = len(ids)
    popularity = 1.0 / (np.arange(vocabulary) + 20.0)
    popularity /= popularity.sum()
    term_of_rank = rng.permutation(vocabulary)
    rows, counts = [], []
    for _ in range(count):
        length = int(rng.integers(mean_length // 3, mean_length * 5 // 3))
        drawn = term_of_rank[rng.choice(vocabulary, size=length, p=popularity)]
        terms, tf = np.unique(drawn, return_counts=True)
        rows.append(terms)
        counts.append(tf)
    df = np.zeros(vocabulary)
    for terms in rows:
        df[terms] += 1
    idf = np.log(count / np.maximum(df, 1))
    buffers, indptr, indices, data = [], [0], [], []
    for terms, tf in zip(rows, counts):
        w = (1 + np.log(tf)) * idf[terms]
        keep = w > 0
        terms, w = terms[keep], w[keep]
        w = (w / np.linalg.norm(w)).astype(np.float32)
        entries = np.empty(len(terms), dtype=ENTRY)
        entries["id"] = ids[terms]  # ids ascend with the term number
        entries["w"] = w
        buffers.append(entries.tobytes())
        indices.extend(terms)
        data.extend(w)
        indptr.append(len(indices))
    matrix = sp.csr_matrix((np.array(data, dtype=np.float32), np.array(indices), np.array(indptr)),
                           shape=(count, vocabulary))
    return buffers, matrix


def status_kb(field):
    with open("/proc/self/status") as f:
        for line in f:
            if line.startswith(field + ":"):
                return int(line.split()[1])
    return 0


def run_sklearn(matrix_path, k, repeats, out_path):
    """The peer, in its own process: prints the same JSON line as the program."""
    import scipy.sparse as sp
    from sklearn.neighbors import NearestNeighbors

    matrix = sp.load_npz(matrix_path)
    before = status_kb("VmRSS")
    best = float("inf")
    for _ in range(repeats):
        start = time.perf_counter()
        search = NearestNeighbors(n_neighbors=k + 1, metric="cosine", algorithm="brute", n_jobs=-1).fit(matrix)
        _, found = search.kneighbors(matrix)
        best = min(best, (time.perf_counter() - start) * 1000)
    peak = status_kb("VmHWM") - before
    # Drop each row's own document (or, when a duplicate hid it, the last).
    rows = np.empty((matrix.shape[0], k), dtype=np.int32)
    for i, row in enumerate(found):
        others = [j for j in row if j != i]
        rows[i] = others[:k]
    rows.tofile(out_path)
    print(json.dumps({"ms": round(best, 3), "peak_kb": peak}))


def agreement(ours, theirs):
    shared = total = 0
    for mine, peer in zip(ours, theirs):
        mine = set(int(j) for j in mine if j >= 0)
        shared += len(mine & set(int(j) for j in peer))
        total += len(mine)
    return shared / total if total else 1.0


def compare(program, count, k, repeats, folder):
    import scipy.sparse as sp

    import ovix

    rng = np.random.default_rng(count)
    buffers, matrix = make_tfidf(rng, count, vocabulary=40000, mean_length=150)
    vectors = os.path.join(folder, f"docs{count}.vec")
    sink = ovix.FeatureDvecsFile(vectors)
    for i, b in enumerate(buffers):
        sink.addFeatures(i, 0, b)
    sink.close()
    matrix_path = os.path.join(folder, f"docs{count}.npz")
    sp.save_npz(matrix_path, matrix)

    ours_path = os.path.join(folder, f"ours{count}.bin")
    theirs_path = os.path.join(folder, f"theirs{count}.bin")
    ours = json.loads(subprocess.run([program, vectors, str(k), str(repeats), ours_path],
                                     check=True, capture_output=True, text=True).stdout)
    theirs = json.loads(subprocess.run([sys.executable, __file__, "--peer", matrix_path, str(k), str(repeats),
                                        theirs_path], check=True, capture_output=True, text=True).stdout)
    agree = agreement(np.fromfile(ours_path, dtype=np.int32).reshape(count, k),
                      np.fromfile(theirs_path, dtype=np.int32).reshape(count, k))
    print(f"{count:>6} docs  {matrix.nnz / count:6.1f} terms/doc  "
          f"graph {ours['ms']:9.1f} ms {ours['peak_kb'] / 1024:7.1f} MiB   "
          f"sklearn {theirs['ms']:9.1f} ms {theirs['peak_kb'] / 1024:7.1f} MiB   "
          f"x{theirs['ms'] / ours['ms']:5.1f} faster   agreement {agree * 100:6.2f}%", flush=True)


def main():
    if len(sys.argv) > 1 and sys.argv[1] == "--peer":
        run_sklearn(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), sys.argv[5])
        return
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--program", required=True, help="the knn_graph_bench program")
    parser.add_argument("--k", type=int, default=10)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--sizes", type=int, nargs="+", default=[2000, 10000])
    args = parser.parse_args()
    print(f"k = {args.k}, best of {args.repeats}, {os.cpu_count()} cores", flush=True)
    with tempfile.TemporaryDirectory() as folder:
        for count in args.sizes:
            compare(args.program, count, args.k, args.repeats, folder)


if __name__ == "__main__":
    main()
