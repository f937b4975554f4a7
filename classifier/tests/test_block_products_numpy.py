"""The product of the classifier's block matrix [[G, -I], [B, G]] against
numpy on random matrices (see sgt/tests/matrix_pipe.py), computed by the
program named by OVIX_BLOCK_PRODUCTS."""

import os
from functools import partial

import numpy as np
import pytest

import matrix_pipe
from matrix_pipe import check, rng, rounded, type_name  # noqa: F401 (fixtures)

run = partial(matrix_pipe.run, os.environ["OVIX_BLOCK_PRODUCTS"])


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
