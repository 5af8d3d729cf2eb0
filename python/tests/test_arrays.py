"""The arrays in and out: any numeric array of sites, read in place where it
is float64; results shown in the run's own memory, never copied."""

import gc

import numpy as np
import pytest

import ortelix
from conftest import uniform


def test_vectors_are_the_runs_own_memory():
    sites, sup = uniform(200, 41), uniform(7, 42)
    r = ortelix.pcnm(sites, supplementary=sup)
    v = r.vectors
    n, k = v.shape
    assert n == 200 and r.nsup == 7
    # Column-major with the run's leading dimension n + nsup: the
    # supplementary sites' rows are there, below each column, not shown.
    assert v.strides == (8, 8 * (200 + 7))
    assert not v.flags.writeable and not v.flags.owndata
    with pytest.raises(ValueError):
        v[0, 0] = 1.0
    # Every access shows the same memory; nothing is copied.
    assert np.shares_memory(v, r._core.vectors)
    assert np.shares_memory(r.vectors, r._core.vectors)


def test_vectors_outlive_their_result():
    r = ortelix.pcnm(uniform(150, 43), count=5, solver="krylov")
    v = r.vectors
    kept = np.array(v)
    del r
    gc.collect()
    ballast = [np.ones(1000) for _ in range(200)]  # memory a freed run would give back
    assert np.array_equal(v, kept)
    assert len(ballast) == 200


def test_without_supplementary_sites_a_fortran_array():
    r = ortelix.pcnm(uniform(120, 44))
    assert r.vectors.flags.f_contiguous
    assert r.vectors.shape == (120, len(r.names)) == (120, len(r.values)) == (120, len(r.moran))


@pytest.mark.parametrize(
    "convert",
    [
        lambda a: np.ascontiguousarray(a),
        lambda a: np.asfortranarray(a),
        lambda a: a.tolist(),
        lambda a: np.round(a * 100).astype(np.int64) / 100,  # the same numbers by another route
        lambda a: np.repeat(a, 2, axis=0)[::2],  # every other row of a larger array
        lambda a: np.ascontiguousarray(a.T).T,
    ],
    ids=["C order", "Fortran order", "list", "computed", "strided rows", "transposed view"],
)
def test_any_layout_of_the_same_sites_gives_the_same_variables(convert):
    sites = uniform(150, 45)
    expected = ortelix.pcnm(sites, limit=["mst", 100])
    r = ortelix.pcnm(convert(sites), limit=["mst", 100])
    assert np.array_equal(r.vectors, expected.vectors)


def test_whole_numbers_are_coordinates_too():
    k = np.arange(60)
    ints = np.column_stack([k % 10, k // 10])
    floats = ortelix.pcnm(ints.astype(float), limit=1).vectors
    for dtype in (np.int64, np.int32):
        assert np.array_equal(ortelix.pcnm(ints.astype(dtype), limit=1).vectors, floats)


def test_predict_returns_a_fresh_array_of_its_own():
    sites = uniform(200, 46)
    r = ortelix.pcnm(sites)
    p = r.predict(sites[:30])
    assert p.shape == (30, r.vectors.shape[1]) and p.dtype == np.float64
    assert p.flags.f_contiguous and p.flags.writeable
    p[:] = 0  # the user's own array: the run's variables stay as they were
    assert r.vectors.any()
    assert r.predict(np.zeros((0, 2))).shape == (0, r.vectors.shape[1])


def test_sites_of_the_analysis_placed_again_get_back_their_values():
    # Gower's formula for a site of the analysis reproduces its own values
    # but for rounding, and on the dense path for the QL iteration's
    # absolute tolerance 1e-8, shared out by each eigenvalue.
    sites, sup = uniform(300, 47), uniform(10, 48)
    rng = np.random.default_rng(49)
    lonlat = np.column_stack([rng.uniform(-3, 3, 200), rng.uniform(50, 53, 200)])
    for s, kwargs in [(sites, dict()), (sites, dict(supplementary=sup)), (sites, dict(count=10, solver="krylov")),
                      (sites, dict(limit=["mst", 80])), (lonlat, dict(longlat=True, count=8, solver="krylov"))]:
        r = ortelix.pcnm(s, **kwargs)
        placed = r.predict(s)
        size = np.sqrt((r.vectors**2).sum(axis=0))
        bound = 1e-9 + (1e-7 / np.abs(r.values) if r.scales[0]["solver"] == "dense" else 0)
        worst = np.abs(placed - r.vectors).max(axis=0) / size
        assert np.all(worst <= bound), (kwargs, worst.max())


def test_result_attributes():
    sites = uniform(250, 50)
    r = ortelix.pcnm(sites, limit=["mst", 150.0], count=4, solver="krylov")
    assert isinstance(r.limit, list) and len(r.limit) == 2 and r.limit[1] == 150.0
    assert r.limits == r.limit
    assert r.limit[0] == ortelix.threshold(sites)
    assert r.names == [f"L{j}_PCNM{a}" for j in (1, 2) for a in (1, 2, 3, 4)]
    assert [s["mst"] for s in r.scales] == [True, False]
    assert all(s["solver"] == "krylov" for s in r.scales)
    assert all(s["moran_expectation"] == -1 / 249 for s in r.scales)
    for j in (0, 4):  # decreasing within each limit
        assert np.all(np.diff(r.values[j:j + 4]) <= 0)
    one = ortelix.pcnm(sites, limit=150.0)
    assert one.limit == 150.0 and one.n == 250 and one.nsup == 0
    assert "250 sites" in repr(one) and f"{len(one.names)} PCNM variables" in repr(one)
    assert ortelix.__version__ and ortelix.__version__ in one.report.splitlines()[0]


def test_moran_and_eigenvalues_by_hand():
    # Moran's I of each variable from its definition, with the weights of
    # the truncated matrix: 1 - (d / 4t)^2 for pairs within the limit t,
    # 0 for the others and a site with itself; the eigenvalues from the
    # variables' sums of squares (each variable is an eigenvector scaled to
    # the square root of its eigenvalue, in single precision).
    sites = uniform(120, 51)
    t = 150.0
    r = ortelix.pcnm(sites, limit=t)
    d = np.sqrt(((sites[:, None, :] - sites[None, :, :]) ** 2).sum(axis=2))
    w = np.where((d <= t) & (d > 0), 1 - (d / (4 * t)) ** 2, 0.0)
    v = r.vectors
    z = v - v.mean(axis=0)
    n = len(sites)
    moran = n / w.sum() * np.einsum("ik,ij,jk->k", z, w, z) / (z**2).sum(axis=0)
    np.testing.assert_allclose(r.moran, moran, rtol=1e-9, atol=1e-12)
    assert np.all(r.moran[: len(r.moran) // 4] > -1 / (n - 1))  # the broad scales are positively correlated
    np.testing.assert_allclose((v**2).sum(axis=0), r.values, rtol=1e-6)
