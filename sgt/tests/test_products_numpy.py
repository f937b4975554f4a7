"""Products of the matrix family against numpy on random matrices (see
matrix_pipe.py), computed by the program named by OVIX_LA_PRODUCTS."""

import os
from functools import partial

import numpy as np
import pytest

import matrix_pipe
from matrix_pipe import check, rng, rounded, type_name  # noqa: F401 (fixtures)

run = partial(matrix_pipe.run, os.environ["OVIX_LA_PRODUCTS"])


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
