"""ortelix.pcnm against ortelix-pcnm on the same sites and options: the same
variables to the last digit of the CSV, the same names, eigenvalues, Moran's
I, notes and report."""

import dataclasses

import numpy as np
import pytest

import ortelix
from conftest import number, read_csv, uniform, write_coordinates, write_pairs, written_in_report


def grid(rows, cols):
    """--grid ROWS COLS: ROWS X positions by COLS Y positions, spacing 1, X
    running fastest."""
    k = np.arange(rows * cols)
    return np.column_stack([k % rows + 1, k // rows + 1]).astype(float)


def lonlat(n, seed):
    """Sites over a region of about 400 by 300 km, to a millionth of a degree."""
    rng = np.random.default_rng(seed)
    return np.round(np.column_stack([rng.uniform(5.0, 10.0, n), rng.uniform(44.0, 47.0, n)]), 6)


def limit_arg(limit):
    """--limit's value for a limit or a list of them, every digit kept."""
    return ",".join(l if l == "mst" else number(l) for l in (limit if isinstance(limit, list) else [limit]))


@dataclasses.dataclass
class Case:
    name: str
    coords: object  # an array, or ("grid", rows, cols), ("transect", n)
    limit: object
    sup: object = None
    count: int = None
    positive_moran: bool = False
    longlat: bool = False
    solver: str = "auto"

    def python_coords(self):
        if isinstance(self.coords, tuple):
            if self.coords[0] == "grid":
                return grid(*self.coords[1:])
            return np.arange(1.0, self.coords[1] + 1)  # a one-dimensional array: a line
        return self.coords

    def cli_args(self, folder):
        if isinstance(self.coords, tuple):
            args = ["--" + self.coords[0], *self.coords[1:]]
        else:
            args = [write_coordinates(folder / "sites.txt", self.coords, self.sup).name]
        args += ["--limit", limit_arg(self.limit)]
        if self.count is not None:
            args += ["--count", self.count]
        if self.positive_moran:
            args.append("--positive-moran")
        if self.longlat:
            args.append("--longlat")
        return args + ["--solver", self.solver]


CASES = [
    Case("uniform, every variable", uniform(300, 1), "mst"),
    Case("supplementary sites", uniform(250, 2), "mst", sup=uniform(20, 3)),
    Case("grid at its spacing", ("grid", 20, 15), 1.0),
    Case("transect", ("transect", 100), 1.0),
    Case("longitudes and latitudes", lonlat(200, 4), "mst", longlat=True),
    Case("several limits", uniform(300, 5), ["mst", 120.0]),
    Case("positive Moran's I only", uniform(300, 6), "mst", positive_moran=True),
    Case("Krylov", uniform(3000, 7), "mst", count=12),
    Case("Krylov, several limits, supplementary sites", uniform(2500, 8), ["mst", 60.0], sup=uniform(30, 9), count=8),
    Case("Krylov on a grid, equal eigenvalues", ("grid", 40, 30), 1.0, count=10, solver="krylov"),
    Case("Krylov, longitudes and latitudes", lonlat(2000, 10), 25.0, count=6, longlat=True, solver="krylov"),
]


def cli_words(text):
    """The command line's option for the keyword that pcnm takes."""
    return text.replace("--count ", "count=")


def same_report(python, cli):
    """The reports line for line, but for where the sites came from and
    where the variables went."""
    p, c = python.splitlines(), [cli_words(line) for line in cli.splitlines()]
    assert len(p) == len(c)
    assert p[0].endswith(" PCNM variables of coords")
    assert p[0].rsplit(" of ", 1)[0] == c[0].rsplit(" of ", 1)[0]
    for a, b in zip(p[1:], c[1:]):
        if a.startswith("Variables written:"):
            assert a.rsplit(" to ", 1)[0] == b.rsplit(" to ", 1)[0]
            assert a.endswith(" to r.vectors") and b.endswith(" to v.csv")
        else:
            assert a == b


@pytest.mark.parametrize("case", CASES, ids=lambda c: c.name)
def test_the_same_variables_to_the_last_digit(case, cli):
    names, values, report, stderr = cli.pcnm(*case.cli_args(cli.folder))
    r = ortelix.pcnm(
        case.python_coords(),
        limit=case.limit,
        count=case.count,
        supplementary=case.sup,
        positive_moran=case.positive_moran,
        longlat=case.longlat,
        solver=case.solver,
    )
    assert r.names == names
    assert r.vectors.shape == values.shape
    assert r.vectors.dtype == np.float64
    assert np.array_equal(r.vectors, values)
    written = written_in_report(report)
    assert r.values.tolist() == [e for e, _ in written]
    assert r.moran.tolist() == [m for _, m in written]
    assert r.notes == [cli_words(line.split(": ", 1)[1]) for line in stderr.splitlines()]
    same_report(r.report, report)


def test_notes_and_clusters_of_a_square_grid(cli):
    # A 30-by-30 grid: its symmetry gives the two broadest variables one
    # eigenvalue (waves along X and along Y); a count of 1 would cut them
    # apart, and is raised to 2.
    names, _, report, stderr = cli.pcnm("--grid", 30, 30, "--limit", 1, "--count", 1, "--solver", "krylov")
    r = ortelix.pcnm(grid(30, 30), limit=1, count=1, solver="krylov")
    assert names == r.names == ["PCNM1", "PCNM2"]
    assert r.notes == [
        "count=1 would cut the 2 equal eigenvalues 1 to 2, whose variables the data do not tell apart: "
        "2 variables kept instead of 1"
    ]
    assert r.clusters == [[0, 1]]
    assert r.values[0] == pytest.approx(r.values[1], rel=1e-12, abs=0)
    assert "Equal eigenvalues:                1-2 " in report
    assert "Count raised:                     to 2" in r.report
    # Several limits: columns of the second limit counted after the first's.
    r = ortelix.pcnm(grid(30, 30), limit=[3.5, 1], count=3, solver="krylov")
    first = r.names.index("L2_PCNM1")
    assert [first, first + 1] in r.clusters


def test_listed_distances_as_the_command_line_reads_them(cli):
    # Sites along a river: distances along the channel, listed up to 30 apart.
    rng = np.random.default_rng(11)
    along = np.sort(np.round(rng.uniform(0, 500, 220), 3))
    i, j = np.triu_indices(len(along), 1)
    d = along[j] - along[i]
    keep = (d <= 30) & (d > 0)
    i, j, d = i[keep], j[keep], d[keep]
    swap = rng.random(len(i)) < 0.5  # either order
    i, j = np.where(swap, j, i), np.where(swap, i, j)
    write_pairs(cli.folder / "pairs.txt", i, j, d, len(along))
    for limit, count in [("mst", None), (20.0, None), (["mst", 25.0], 6)]:
        count_args = ["--count", count] if count else []
        names, values, report, _ = cli.pcnm("--distances", "pairs.txt", "--limit", limit_arg(limit), *count_args)
        r = ortelix.pcnm_distances(i, j, d, len(along), limit=limit, count=count)
        assert r.names == names
        assert np.array_equal(r.vectors, values)
        assert r.values.tolist() == [e for e, _ in written_in_report(report)]


def test_threshold_is_the_command_lines(cli):
    for seed in (21, 22):
        sites = uniform(400, seed)
        write_coordinates(cli.folder / "t.txt", sites)
        printed = float(cli.run("ortelix-threshold", "-q", "t.txt").stdout)
        assert ortelix.threshold(sites) == printed
        assert ortelix.pcnm(sites, limit="mst").limit == printed
    # Supplementary sites count, as in a run.
    sites, extra = uniform(100, 23), uniform(10, 24, size=3000.0)
    write_coordinates(cli.folder / "s.txt", sites, extra)
    printed = float(cli.run("ortelix-threshold", "-q", "s.txt").stdout)
    assert ortelix.threshold(sites, supplementary=extra) == printed
    assert ortelix.threshold(sites) < printed


def longest_tree_edge_on_the_sphere(lonlat_degrees):
    """Prim's algorithm on the whole matrix of great-circle distances (the
    haversine formula, mean Earth radius 6371.0088 km): the longest edge."""
    lon, lat = np.radians(lonlat_degrees).T
    a = np.sin((lat[:, None] - lat[None, :]) / 2) ** 2
    b = np.sin((lon[:, None] - lon[None, :]) / 2) ** 2
    d = 2 * 6371.0088 * np.arcsin(np.sqrt(np.minimum(1, a + np.cos(lat)[:, None] * np.cos(lat)[None, :] * b)))
    n = len(d)
    inside = np.zeros(n, bool)
    inside[0] = True
    best = d[0].copy()
    longest = 0.0
    for _ in range(n - 1):
        k = np.argmin(np.where(inside, np.inf, best))
        longest = max(longest, best[k])
        inside[k] = True
        best = np.minimum(best, d[k])
    return longest


def test_threshold_on_the_sphere():
    sites = lonlat(300, 25)
    limit = ortelix.threshold(sites, longlat=True)
    assert limit == pytest.approx(longest_tree_edge_on_the_sphere(sites), rel=1e-12)
    assert ortelix.pcnm(sites, limit="mst", longlat=True).limit == limit


def test_new_sites_as_the_command_line_places_them(cli):
    sites, new = uniform(400, 31), uniform(60, 32, size=1100.0)
    write_coordinates(cli.folder / "sites.txt", sites)
    write_coordinates(cli.folder / "new.txt", new)
    for limit, count in [("mst", None), ("mst", 15), (["mst", 90.0], None)]:
        solver = "krylov" if count else "auto"
        count_args = ["--count", count] if count else []
        cli.pcnm("sites.txt", "--limit", limit_arg(limit), *count_args, "--solver", solver,
                 "--predict", "new.txt", "--predicted", "p.csv")
        names, placed = read_csv(cli.folder / "p.csv")
        r = ortelix.pcnm(sites, limit=limit, count=count, solver=solver)
        assert r.names == names
        assert np.array_equal(r.predict(new), placed)
