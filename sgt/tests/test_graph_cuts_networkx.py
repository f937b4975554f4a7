"""Normalised cuts and spectral two-way splits of LaPlacian against networkx.

The program named by OVIX_GRAPH_CUTS reads a text graph file into a double
LaPlacian and cuts it (see graph_cuts.cpp). networkx computes the same cut on
the graph of the nodes that take part, and the split's partition from the
sign of the Fiedler vector of the same sub-graph.
"""

import os
import subprocess

import networkx as nx
import numpy as np
import pytest
from threadpoolctl import threadpool_limits

PROGRAM = os.environ["OVIX_GRAPH_CUTS"]


def random_graph(seed, n, p):
    """A connected weighted graph without self-loops."""
    rng = np.random.default_rng(seed)
    while True:
        g = nx.gnp_random_graph(n, p, seed=int(rng.integers(1 << 30)))
        if nx.is_connected(g):
            break
    for u, v in g.edges:
        g[u][v]["weight"] = float(rng.uniform(0.1, 2.0))
    return g


def write_graph(g, path):
    """Both directions of every edge, weights to six decimals as the text form writes them."""
    lines = []
    for u, v, w in g.edges(data="weight"):
        w = round(w, 6)
        g[u][v]["weight"] = w
        lines += [f"{u + 1} {v + 1} {w:f}", f"{v + 1} {u + 1} {w:f}"]
    lines.sort(key=lambda line: tuple(int(x) for x in line.split()[:2]))
    path.write_text(f"{g.number_of_nodes()}\n{len(lines)}\n" + "\n".join(lines) + "\n")


def run(path, flags, build, marks, *command):
    done = subprocess.run([PROGRAM, str(path), *map(str, flags), str(build), ",".join(map(str, marks)),
                           *map(str, command)], capture_output=True, text=True, timeout=120)
    if done.returncode != 0:
        raise RuntimeError(done.stderr.strip())
    lines = done.stdout.split("\n")
    return float(lines[0]), [int(m) for m in lines[1].split(",")], lines[2]


# (sumEdges, symmetric, normalized) and whether the Laplacian is built: the
# raw graph and D - W hold the weights up to their sign, so their normalised
# cut is the one networkx computes.
UNSCALED = [((0, 0, 0), 0), ((0, 1, 0), 1), ((0, 1, 0), 0), ((0, 0, 0), 1)]


@pytest.mark.parametrize("flags,build", UNSCALED)
def test_ncut_equals_networkx_on_the_marked_nodes(tmp_path, flags, build):
    g = random_graph(1, 40, 0.15)
    path = tmp_path / "graph.txt"
    write_graph(g, path)
    rng = np.random.default_rng(2)
    for _ in range(5):
        marks = rng.choice([3, 7, -1], size=40, p=[0.4, 0.4, 0.2])  # -1 takes no part
        a = [i for i in range(40) if marks[i] == 3]
        b = [i for i in range(40) if marks[i] == 7]
        expected = nx.normalized_cut_size(g.subgraph(a + b), a, b, weight="weight")
        value, after, _ = run(path, flags, build, marks, "ncut", 3, 7)
        assert value == pytest.approx(expected, rel=1e-6)  # the text form reads weights as floats
        assert after == list(marks)


def fiedler_partition(g, nodes, normalized):
    """The nodes on each side of the sign of the Fiedler vector of their sub-graph's Laplacian
    (D - W, or I - D^-1/2 W D^-1/2 when normalized)."""
    order = sorted(nodes)
    w = nx.to_numpy_array(g.subgraph(nodes), nodelist=order, weight="weight")
    d = w.sum(axis=1)
    laplacian = np.eye(len(order)) - w / np.sqrt(np.outer(d, d)) if normalized else np.diag(d) - w
    # numpy's BLAS on one thread: on matrices this small its threads only
    # spin, and on a loaded machine they spin for seconds.
    with threadpool_limits(limits=1, user_api="blas"):
        values, vectors = np.linalg.eigh(laplacian)
    assert values[2] - values[1] > 1e-6, "the second eigenvalue must be simple for a definite split"
    vector = vectors[:, 1]
    return {frozenset(n for n, x in zip(order, vector) if x < 0), frozenset(n for n, x in zip(order, vector) if x >= 0)}


# Flags of the Laplacians whose sub-graph is undirected and cut as networkx
# cuts it: D - W (unnormalised) and I - D^-1/2 W D^-1/2 (normalised).
SPLITS = [((0, 1, 0), False), ((1, 1, 0), False), ((0, 1, 1), True), ((1, 1, 1), True)]


@pytest.mark.parametrize("flags,normalized", SPLITS)
@pytest.mark.parametrize("n", [30, 130])  # the dense solver, then the iterative one
def test_split_follows_the_fiedler_vector_of_the_marked_sub_graph(tmp_path, flags, normalized, n):
    g = random_graph(n, n, 8.0 / n)
    path = tmp_path / "graph.txt"
    if flags[0]:  # summed edges: each direction carries half of the weight
        halves = g.copy()
        for u, v in halves.edges:
            halves[u][v]["weight"] /= 2
        write_graph(halves, path)
        for u, v in g.edges:
            g[u][v]["weight"] = halves[u][v]["weight"] * 2
    else:
        write_graph(g, path)
    rng = np.random.default_rng(n)
    while True:  # a connected set of marked nodes, the others marked 9
        marks = np.where(rng.random(n) < 0.8, 5, 9)
        inside = [i for i in range(n) if marks[i] == 5]
        if nx.is_connected(g.subgraph(inside)):
            break
    cut, after, sizes = run(path, flags, 1, marks, "cluster", 5, 0, 1)
    parts = {frozenset(i for i in inside if after[i] == 0), frozenset(i for i in inside if after[i] == 1)}
    assert parts == fiedler_partition(g, inside, normalized)
    assert [after[i] for i in range(n) if marks[i] == 9] == [9] * (n - len(inside))
    assert sizes == f"{sum(after[i] == 0 for i in inside)} {sum(after[i] == 1 for i in inside)}"
    assert cut > 0


def test_split_of_disconnected_nodes_is_trivial(tmp_path):
    # Two triangles joined to a hub that is not marked: the marked nodes fall apart.
    g = nx.Graph()
    g.add_weighted_edges_from([(0, 1, 1.0), (1, 2, 1.0), (0, 2, 1.0), (3, 4, 1.0), (4, 5, 1.0), (3, 5, 1.0),
                               (6, 0, 1.0), (6, 3, 1.0)])
    path = tmp_path / "graph.txt"
    write_graph(g, path)
    cut, after, sizes = run(path, (0, 1, 1), 1, [1, 1, 1, 1, 1, 1, 0], "cluster", 1, 0, 1)
    assert cut == 0
    parts = {frozenset(i for i in range(6) if after[i] == 0), frozenset(i for i in range(6) if after[i] == 1)}
    assert parts == {frozenset({0, 1, 2}), frozenset({3, 4, 5})}
    assert after[6] == 0

