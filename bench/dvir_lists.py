"""dvirListDotProduct and dvirListCentroid over 10,000 packed vectors, side by
side with the same computation on scipy.sparse CSR matrices.

scipy is timed twice: on a CSR matrix built beforehand (the arithmetic alone),
and from the packed vectors themselves (building the matrix from the buffers
is part of the work, as it is for the module). Times are the best of several
runs, in milliseconds.
"""

import argparse
import os
import time

# One BLAS thread: idle BLAS threads that spin would blur the timings, and the
# sparse products do not use them.
os.environ.setdefault("OPENBLAS_NUM_THREADS", "1")

import numpy as np
import scipy.sparse as sp

import ovix

ENTRY = np.dtype([("id", "<u8"), ("w", "<f4")])


def make_vectors(rng, count, vocabulary, mean_length):
    """Documents over a vocabulary whose term frequencies fall off as in text."""
    ids = np.unique(rng.integers(0, 2**64, size=vocabulary, dtype=np.uint64))
    popularity = 1.0 / (np.arange(len(ids)) + 10.0)
    popularity /= popularity.sum()
    vectors = []
    for _ in range(count):
        terms = np.unique(rng.choice(len(ids), size=rng.integers(mean_length // 4, mean_length * 7 // 4), p=popularity))
        entries = np.empty(len(terms), dtype=ENTRY)
        entries["id"] = ids[terms]  # ids are sorted, so are the entries
        entries["w"] = rng.integers(1, 10, size=len(terms))
        vectors.append(entries.tobytes())
    return vectors


def csr_from_buffers(buffers):
    """The packed vectors as the rows of a CSR matrix over their own ids."""
    entries = [np.frombuffer(b, dtype=ENTRY) for b in buffers]
    lengths = np.fromiter((len(e) for e in entries), dtype=np.int64, count=len(entries))
    joined = np.concatenate(entries)
    vocabulary, columns = np.unique(joined["id"], return_inverse=True)
    indptr = np.concatenate(([0], np.cumsum(lengths)))
    matrix = sp.csr_matrix((joined["w"].astype(np.float64), columns, indptr), shape=(len(buffers), len(vocabulary)))
    return matrix, vocabulary


def dense_query(query, vocabulary):
    entries = np.frombuffer(query, dtype=ENTRY)
    positions = np.searchsorted(vocabulary, entries["id"]).clip(max=len(vocabulary) - 1)
    known = vocabulary[positions] == entries["id"]
    v = np.zeros(len(vocabulary))
    v[positions[known]] = entries["w"][known]
    return v


def scipy_dot(matrix, vocabulary, query):
    return matrix @ dense_query(query, vocabulary)


def scipy_centroid(matrix, vocabulary):
    sums = np.asarray(matrix.sum(axis=0)).ravel()
    present = np.flatnonzero(matrix.getnnz(axis=0))
    result = np.empty(len(present), dtype=ENTRY)
    result["id"] = vocabulary[present]
    result["w"] = sums[present] / np.linalg.norm(sums)
    return result.tobytes()


def best_ms(call, repeats):
    times = []
    for _ in range(repeats):
        start = time.perf_counter()
        call()
        times.append(time.perf_counter() - start)
    return min(times) * 1000


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--vectors", type=int, default=10_000)
    parser.add_argument("--vocabulary", type=int, default=50_000)
    parser.add_argument("--length", type=int, default=100, help="mean number of entries per vector")
    parser.add_argument("--repeats", type=int, default=20)
    args = parser.parse_args()

    rng = np.random.default_rng(1)
    vectors = make_vectors(rng, args.vectors, args.vocabulary, args.length)
    query = vectors[0]
    matrix, vocabulary = csr_from_buffers(vectors)
    entries = sum(len(v) // 12 for v in vectors)
    print(f"{len(vectors)} vectors, {entries} entries, {len(vocabulary)} distinct ids; best of {args.repeats} runs\n")

    # Same answers before any timing.
    np.testing.assert_allclose(ovix.dvirListDotProduct(query, vectors), scipy_dot(matrix, vocabulary, query),
                               rtol=1e-12)
    ours = np.frombuffer(ovix.dvirListCentroid(vectors), dtype=ENTRY)
    theirs = np.frombuffer(scipy_centroid(matrix, vocabulary), dtype=ENTRY)
    assert np.array_equal(ours["id"], theirs["id"])
    np.testing.assert_allclose(ours["w"], theirs["w"], rtol=1e-5)

    rows = [
        ("dvirListDotProduct",
         lambda: ovix.dvirListDotProduct(query, vectors),
         lambda: scipy_dot(matrix, vocabulary, query),
         lambda: scipy_dot(*csr_from_buffers(vectors), query)),
        ("dvirListCentroid",
         lambda: ovix.dvirListCentroid(vectors),
         lambda: scipy_centroid(matrix, vocabulary),
         lambda: scipy_centroid(*csr_from_buffers(vectors))),
    ]
    print(f"{'':20} {'ovix ms':>9} {'scipy CSR ms':>13} {'ratio':>7} {'scipy from buffers ms':>22} {'ratio':>7}")
    for name, module, prebuilt, from_buffers in rows:
        ours_ms = best_ms(module, args.repeats)
        prebuilt_ms = best_ms(prebuilt, args.repeats)
        buffers_ms = best_ms(from_buffers, max(3, args.repeats // 4))
        print(f"{name:20} {ours_ms:9.2f} {prebuilt_ms:13.2f} {ours_ms / prebuilt_ms:7.2f} "
              f"{buffers_ms:22.2f} {ours_ms / buffers_ms:7.2f}")
    print("\nratio: ovix time / scipy time (below 1: ovix is faster)")


if __name__ == "__main__":
    main()
