"""Products of the matrix family against numpy on random matrices.

The program named by OVIX_LA_PRODUCTS computes each product with the family
(in float and in double); numpy computes it in float64 from the same inputs,
rounded to the element type first. They must agree within the rounding of
the family's sums: (terms + 3) units in the last place of the element type
times the sum of the terms' magnitudes.
"""

import os
import struct
import subprocess

import numpy as np
import pytest

PROGRAM = os.environ["OVIX_LA_PRODUCTS"]
TYPES = {"float": np.float32, "double": np.float64}


def encode(*matrices):
    parts = []
    for m in matrices:
        m = np.atleast_2d(np.asarray(m, dtype=np.float64))
        parts.append(struct.pack("<ii", *m.shape) + m.astype("<f8").tobytes())
    return b"".join(parts)


def decode(data):
    rows, cols = struct.unpack_from("<ii", data)
    values = np.frombuffer(data, dtype="<f8", offset=8)
    assert values.size == rows * cols
    return values.reshape(rows, cols)


def run(operation, type_name, *matrices):
    done = subprocess.run([PROGRAM, operation, type_name], input=encode(*matrices),
                          capture_output=True, check=True, timeout=120)
    return decode(done.stdout)


def rounded(m, type_name):
    """m as the family holds it: rounded to the element type, in float64."""
    return np.asarray(m).astype(TYPES[type_name]).astype(np.float64)


def check(result, expected, magnitude, terms, type_name):
    unit = np.finfo(TYPES[type_name]).eps / 2
    assert result.shape == expected.shape
    bound = (terms + 3) * unit * magnitude
    excess = np.abs(result - expected) - bound
    assert excess.max(initial=-1) <= 0, f"worst excess {excess.max()} over {bound.max()}"


@pytest.fixture(params=["float", "double"])
def type_name(request):
    return request.param


@pytest.fixture
def rng():
    return np.random.default_rng(20240607)


@pytest.mark.parametrize("shape", [(1, 1, 1), (7, 5, 3), (37, 23, 41), (64, 200, 9)])
def test_product(type_name, rng, shape):
    m, k, n = shape
    A = rounded(rng.uniform(-1, 1, (m, k)), type_name)
    B = rounded(rng.uniform(-3, 3, (k, n)), type_name)
    check(run("product", type_name, A, B), A @ B, np.abs(A) @ np.abs(B), k, type_name)


@pytest.mark.parametrize("shape", [(1, 4), (12, 1), (50, 17), (30, 300)])
def test_product_with_transpose(type_name, rng, shape):
    A = rounded(rng.normal(size=shape), type_name)
    result = run("gram", type_name, A)
    check(result, A @ A.T, np.abs(A) @ np.abs(A).T, shape[1], type_name)
    assert np.array_equal(result, result.T)


@pytest.mark.parametrize("n", [1, 8, 65])
def test_dense_multiply(type_name, rng, n):
    A = rounded(rng.uniform(-2, 2, (n, n)), type_name)
    x = rounded(rng.uniform(-1, 1, (n, 1)), type_name)
    # The operator sums in double whatever the element type.
    check(run("multiply", type_name, A, x), A @ x, np.abs(A) @ np.abs(x), n, "double")


@pytest.mark.parametrize("n", [1, 6, 25])
def test_block_matrix_multiply(type_name, rng, n):
    G = rounded(rng.normal(size=(n, n)), type_name)
    B = rounded(rng.normal(size=(n, n)), type_name)
    x = rounded(rng.normal(size=(2 * n, 1)), type_name)
    # Only the lower triangles count, each read as a symmetric matrix.
    Gs = np.tril(G) + np.tril(G, -1).T
    Bs = np.tril(B) + np.tril(B, -1).T
    P = np.block([[Gs, -np.eye(n)], [Bs, Gs]])
    check(run("block", type_name, G, B, x), P @ x, np.abs(P) @ np.abs(x), 2 * n, "double")


@pytest.mark.parametrize("shape", [(1, 1), (40, 6), (300, 25)])
def test_transpose_diag_product_and_vector(type_name, rng, shape):
    n, m = shape
    V = rounded(rng.normal(size=(n, m)), type_name)
    k = rounded(rng.uniform(0.1, 5, (n, 1)), type_name)
    k[rng.random((n, 1)) < 0.4] = 0  # unlabelled documents cost nothing
    g = rounded(rng.choice([-1.7, 0.0, 0.6], size=(n, 1)), type_name)
    K = np.diagflat(k)

    VtKV = run("vtkv", type_name, V, k)
    # Each term is K(k) V(k, i) V(k, j): two roundings of a product each.
    check(VtKV, V.T @ K @ V, np.abs(V).T @ np.abs(K) @ np.abs(V), n + 2, type_name)
    assert np.array_equal(VtKV, VtKV.T)

    VtKg = run("vtkg", type_name, V, k, g)
    check(VtKg, V.T @ K @ g, np.abs(V).T @ np.abs(K) @ np.abs(g), n + 2, type_name)
