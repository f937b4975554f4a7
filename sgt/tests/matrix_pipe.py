"""The numpy side of the pipe of sgt/tests/MatrixPipe.h: runs a program of the
matrix family on operands, and checks its result against numpy's.

A program computes each product with the family (in float and in double);
numpy computes it in float64 from the same inputs, rounded to the element type
first. They must agree within the rounding of the family's sums: (terms + 3)
units in the last place of the element type times the sum of the terms'
magnitudes.
"""

import struct
import subprocess

import numpy as np
import pytest

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


def run(program, operation, type_name, *matrices):
    done = subprocess.run([program, operation, type_name], input=encode(*matrices),
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
