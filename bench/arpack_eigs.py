"""decomposeArpack against scipy.sparse.linalg.eigsh and eigs, side by side in
one run, on the same sparse graph Laplacians with the same ARPACK settings:
the smallest eigenvalues in magnitude (symmetric, "SM") or real part
(non-symmetric, "SR"), ncv = max(2k + 1, 20) capped at n, maxiter =
max(100k, 10000), tol = 0 (machine precision), ARPACK's random start.

The graphs are k-nearest-neighbour graphs of points drawn around a few
centres, as documents fall into topics; the symmetric problem is the
normalised Laplacian I - D^-1/2 W D^-1/2, the non-symmetric one the
random-walk Laplacian I - D^-1 W. The module solves them as its sparse
Laplacian, with the product the road's decompositions use. Per solve, the
median of several runs: the wall time and the processor time (user and
system, all threads of the process) in milliseconds, the matrix products, and
the wall time per product; the eigenvalues are compared rank by rank.
ARPACK's steps run one after another on the thread that calls the solve
(the caller), on both sides; "run" is the caller's own time on a processor
and "share" the part of the time it was ready to run that it had one (from
the system's schedstat). A solve takes at least run / share: on a busy
machine, where the caller waits for a processor too, that bounds it. Both
sides start from ARPACK's random vector, so the number of matrix products
differs from run to run; the time per product compares the two without that.
scipy's products are counted through a LinearOperator around the matrix, one
Python call more per product than eigsh makes itself. Both sides run in the
caller's BLAS environment, as it is when the script starts: the module holds
the BLAS library to one thread during a solve and shares the solve's work over
its own threads; scipy's ARPACK calls the BLAS library at its thread count.
Each side first makes one solve that is not counted, as an application that
has been running has (the first solve of a process also pays for the BLAS
library's threads starting up). --busy K runs K CPU-bound processes beside
both (K = the processors when given without a count); there scipy's threads
wait on each other for seconds, so --peer-repeats 1 keeps its side to one
solve, which is then counted, and --peer-repeats 0 leaves it out.

    arpack_eigs.py PATH_TO_arpack_eigs [--sizes 5000 20000 100000] [--eigen 40] [--repeats 3]
                   [--peer-repeats N] [--problems eigsh eigs] [--busy [K]]
"""

import argparse
import os
import statistics
import subprocess
import tempfile
import time
from contextlib import nullcontext

import numpy as np
import scipy.sparse as sp
import scipy.sparse.linalg as sla
from scipy.spatial import cKDTree

from busy import busy_processes


def knn_graph(rng, n, neighbours=10, topics=8, dims=20):
    """Symmetric weights of a k-nearest-neighbour graph of points around a few
    centres."""
    centres = rng.normal(scale=4.0, size=(topics, dims))
    points = centres[rng.integers(0, topics, size=n)] + rng.normal(size=(n, dims))
    distances, nearest = cKDTree(points).query(points, k=neighbours + 1)
    distances, nearest = distances[:, 1:], nearest[:, 1:]
    scale = np.median(distances) ** 2
    rows = np.repeat(np.arange(n), neighbours)
    W = sp.csr_matrix((np.exp(-distances.ravel() ** 2 / scale), (rows, nearest.ravel())), shape=(n, n))
    return (W + W.T).tocsr()


def laplacians(W):
    n = W.shape[0]
    degree = np.asarray(W.sum(axis=1)).ravel()
    identity = sp.identity(n, format="csr")
    root = sp.diags(1 / np.sqrt(degree))
    symmetric = (identity - root @ W @ root).tocsr()
    random_walk = (identity - sp.diags(1 / degree) @ W).tocsr()
    for L in (symmetric, random_walk):
        L.sort_indices()
    return symmetric, random_walk


def write_csr(L, path):
    with open(path, "wb") as f:
        f.write(np.array([L.shape[0], L.nnz], dtype="<i8").tobytes())
        f.write(L.indptr.astype("<i8").tobytes())
        f.write(L.indices.astype("<i4").tobytes())
        f.write(L.data.astype("<f8").tobytes())


def run_ours(program, path, k, symmetric, repeats):
    out = subprocess.run([program, path, str(k), str(int(symmetric)), str(repeats)], check=True,
                         capture_output=True, text=True, env=os.environ).stdout.splitlines()
    times = [float(t) for t in out[0].split()[1:]]
    processor = [float(t) for t in out[1].split()[1:]]
    caller = [float(t) for t in out[2].split()[1:]]
    products = [int(p) for p in out[3].split()[1:]]
    values = np.array([float(v) for v in out[4].split()[1:]])
    return summary(times, processor, list(zip(caller[0::2], caller[1::2])), products), values


def caller_schedule():
    """The calling thread's time on a processor and time ready to run without
    one, in ms; NaN where the system does not keep them."""
    try:
        with open("/proc/thread-self/schedstat") as f:
            running, ready = f.read().split()[:2]
        return float(running) / 1e6, float(ready) / 1e6
    except (OSError, ValueError):
        return float("nan"), float("nan")


def run_scipy(L, k, symmetric, repeats):
    ncv = min(max(2 * k + 1, 20), L.shape[0])
    maxiter = max(100 * k, 10000)
    times, processor, caller, products = [], [], [], []
    first = 1 if repeats > 1 else 0  # the solve not counted
    for _ in range(first + repeats):
        count = [0]

        def product(x):
            count[0] += 1
            return L @ x

        A = sla.LinearOperator(L.shape, matvec=product, dtype=L.dtype)
        schedule_start = caller_schedule()
        processor_start, start = time.process_time(), time.perf_counter()
        if symmetric:
            values = sla.eigsh(A, k=k, which="SM", ncv=ncv, maxiter=maxiter, tol=0, return_eigenvectors=True)[0]
        else:
            values = sla.eigs(A, k=k, which="SR", ncv=ncv, maxiter=maxiter, tol=0, return_eigenvectors=True)[0]
        times.append((time.perf_counter() - start) * 1000)
        processor.append((time.process_time() - processor_start) * 1000)
        caller.append(tuple(b - a for a, b in zip(schedule_start, caller_schedule())))
        products.append(count[0])
    return (summary(times[first:], processor[first:], caller[first:], products[first:]),
            np.sort(np.real(values)))


def summary(times, processor, caller, products):
    """Median wall and processor time of a solve (ms), median time of the
    caller on a processor (ms) and its share of the time it was ready, median
    products, median wall time per product (us)."""
    per_product = [1000 * t / p for t, p in zip(times, products)]
    share = [running / (running + ready) if running + ready > 0 else float("nan") for running, ready in caller]
    return (statistics.median(times), statistics.median(processor), statistics.median([r for r, _ in caller]),
            statistics.median(share), statistics.median(products), statistics.median(per_product))


def main():
    parser = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("program")
    parser.add_argument("--sizes", type=int, nargs="+", default=[5000, 20000, 100000])
    parser.add_argument("--eigen", type=int, default=40)
    parser.add_argument("--repeats", type=int, default=3)
    parser.add_argument("--peer-repeats", type=int, help="scipy's solves (default: --repeats; 0: none)")
    parser.add_argument("--problems", nargs="+", choices=["eigsh", "eigs"], default=["eigsh", "eigs"])
    parser.add_argument("--busy", type=int, nargs="?", const=os.cpu_count(), default=0,
                        help="CPU-bound processes running beside both sides")
    args = parser.parse_args()

    peer_repeats = args.repeats if args.peer_repeats is None else args.peer_repeats
    print(f"{os.cpu_count()} processors, load {os.getloadavg()[0]:.1f}, {args.busy} busy processes; "
          f"{args.eigen} eigenpairs, median of {args.repeats} (scipy {peer_repeats})")
    print(f"{'n':>6} {'problem':<9} {'ours ms':>8} {'scipy ms':>8} {'ratio':>6} {'ours cpu':>8} {'scipy cpu':>9} "
          f"{'ratio':>6} {'ours run':>8} {'share':>5} {'scipy run':>9} {'share':>5} {'ours Ax':>7} {'scipy Ax':>8} "
          f"{'ours us/Ax':>10} {'scipy us/Ax':>11} {'max |dλ|':>9}")
    rng = np.random.default_rng(5)
    with tempfile.TemporaryDirectory() as folder, busy_processes(args.busy) if args.busy else nullcontext():
        for n in args.sizes:
            symmetric, random_walk = laplacians(knn_graph(rng, n))
            for name, L, is_symmetric in (("eigsh SM", symmetric, True), ("eigs SR", random_walk, False)):
                if name.split()[0] not in args.problems:
                    continue
                path = os.path.join(folder, f"L{n}.csr")
                write_csr(L, path)
                (ours_ms, ours_cpu, ours_run, ours_share, ours_ax, ours_per), ours = run_ours(
                    args.program, path, args.eigen, is_symmetric, args.repeats)
                if peer_repeats == 0:
                    print(f"{n:>6} {name:<9} {ours_ms:>8.1f} {'-':>8} {'-':>6} {ours_cpu:>8.1f} {'-':>9} {'-':>6} "
                          f"{ours_run:>8.1f} {ours_share:>5.2f} {'-':>9} {'-':>5} {ours_ax:>7.0f} {'-':>8} "
                          f"{ours_per:>10.1f} {'-':>11} {'-':>9}", flush=True)
                    continue
                (scipy_ms, scipy_cpu, scipy_run, scipy_share, scipy_ax, scipy_per), theirs = run_scipy(
                    L, args.eigen, is_symmetric, peer_repeats)
                ranks = min(len(ours), len(theirs), args.eigen)
                gap = np.max(np.abs(ours[:ranks] - theirs[:ranks]))
                print(f"{n:>6} {name:<9} {ours_ms:>8.1f} {scipy_ms:>8.1f} {scipy_ms / ours_ms:>6.2f} "
                      f"{ours_cpu:>8.1f} {scipy_cpu:>9.1f} {scipy_cpu / ours_cpu:>6.2f} "
                      f"{ours_run:>8.1f} {ours_share:>5.2f} {scipy_run:>9.1f} {scipy_share:>5.2f} "
                      f"{ours_ax:>7.0f} {scipy_ax:>8.0f} {ours_per:>10.1f} {scipy_per:>11.1f} {gap:>9.1e}",
                      flush=True)


if __name__ == "__main__":
    main()
