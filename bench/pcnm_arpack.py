#!/usr/bin/env python3
"""The K leading eigenvalues of the truncated Gower operator that
ortelix-pcnm builds, by ARPACK (scipy.sparse.linalg.eigsh), for the scale
benchmark's side-by-side runs.

    pcnm_arpack.py (SITES | --grid ROWS COLS) --limit L --count K --out VALUES

SITES is a coordinate file as ortelix reads it (header n p nsup, then the
records). The operator is ortelix-pcnm's: each coordinate shifted to a
minimum of 0 and divided by 0.1f times the largest range; pairs at most
limit / divisor + 1e-10f apart kept with a = -d^2 / 2, every other pair
at 4 times that limit; G = C A C with C the centring projector, applied as
C (-f I + S) C with f the far pairs' value and S the near pairs' a - f.
Prints the seconds of the near pairs, of eigsh and in all, and the BLAS
in use; writes the eigenvalues, largest first, one a line.
"""
import argparse
import sys
import time

import numpy as np
import scipy.sparse as sp
from scipy.sparse.linalg import LinearOperator, eigsh
from scipy.spatial import cKDTree

RANGE_FACTOR = float(np.float32(0.1))  # 0.1f
LIMIT_EPSILON = float(np.float32(1e-10))  # 1e-10f


def read_sites(path):
    with open(path) as f:
        header = f.readline().split()
        n, p = int(header[0]), int(header[1])
        values = np.array(f.read().split(), dtype=float)
    return values[: n * p].reshape(n, p)


def grid_sites(rows, cols):
    x, y = np.meshgrid(np.arange(1, rows + 1, dtype=float), np.arange(1, cols + 1, dtype=float))
    return np.column_stack([x.ravel(), y.ravel()])


def blas_in_use():
    try:
        from threadpoolctl import threadpool_info

        info = [i for i in threadpool_info() if i.get("user_api") == "blas"]
        if info:
            i = info[0]
            return "%s %s (%s kernel, %s threads)" % (
                i.get("internal_api"), i.get("version"), i.get("architecture"), i.get("num_threads"))
    except ImportError:
        pass
    return "unknown (no threadpoolctl)"


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("sites", nargs="?")
    parser.add_argument("--grid", nargs=2, type=int)
    parser.add_argument("--limit", type=float, required=True)
    parser.add_argument("--count", type=int, required=True)
    parser.add_argument("--out", required=True)
    args = parser.parse_args()

    begin = time.perf_counter()
    x = grid_sites(*args.grid) if args.grid else read_sites(args.sites)
    n = x.shape[0]
    x = x - x.min(axis=0)
    rangmax = x.max(axis=0).max() * RANGE_FACTOR
    x = x / rangmax
    thresh = args.limit / rangmax + LIMIT_EPSILON

    tree = cKDTree(x)
    pairs = tree.query_pairs(thresh * (1 + 1e-9), output_type="ndarray")
    d = np.sqrt(((x[pairs[:, 0]] - x[pairs[:, 1]]) ** 2).sum(axis=1))
    keep = d <= thresh
    i, j, d = pairs[keep, 0], pairs[keep, 1], d[keep]
    far = -((thresh * 4.0) ** 2 * 0.5)
    w = -(d * d * 0.5) - far
    s = sp.coo_matrix((np.concatenate([w, w]), (np.concatenate([i, j]), np.concatenate([j, i]))), shape=(n, n)).tocsr()
    paired = time.perf_counter()

    def product(v):
        v = v.reshape(n, -1)
        v = v - v.mean(axis=0)
        y = s @ v - far * v
        return y - y.mean(axis=0)

    op = LinearOperator((n, n), matvec=product, matmat=product, dtype=float)
    values = eigsh(op, k=args.count, which="LA", return_eigenvectors=False)
    solved = time.perf_counter()
    values = np.sort(values)[::-1]
    np.savetxt(args.out, values, fmt="%.17g")
    print("sites %d near pairs %d" % (n, len(d)))
    print("seconds pairs %.3f eigsh %.3f total %.3f" % (paired - begin, solved - paired, solved - begin))
    print("blas %s" % blas_in_use())


if __name__ == "__main__":
    sys.exit(main())
