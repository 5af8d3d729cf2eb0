"""What the tests share: the command-line programs built beside the module,
and writers and readers of their files."""

import os
import pathlib
import subprocess

import numpy as np
import pytest


def _tools_dir():
    named = os.environ.get("ORTELIX_TOOLS")
    if named:
        return pathlib.Path(named)
    # A module imported from the source tree's build folder.
    return pathlib.Path(__file__).resolve().parents[2] / "build" / "src" / "tools"


@pytest.fixture(scope="session")
def tools():
    d = _tools_dir()
    if not (d / "ortelix-pcnm").exists():
        pytest.skip(f"no ortelix-pcnm in {d}: set ORTELIX_TOOLS to the folder of the built programs")
    return d


class Cli:
    """ortelix-pcnm and ortelix-threshold, run in a test's own folder."""

    def __init__(self, tools, folder):
        self.tools = tools
        self.folder = folder

    def run(self, program, *args):
        done = subprocess.run(
            [str(self.tools / program), *map(str, args)],
            cwd=self.folder,
            stdin=subprocess.DEVNULL,
            capture_output=True,
            text=True,
        )
        assert done.returncode == 0, done.stderr
        return done

    def pcnm(self, *args):
        """Runs ortelix-pcnm writing v.csv and r.txt; (names, values, report, stderr)."""
        done = self.run("ortelix-pcnm", *args, "-o", "v.csv", "--report", "r.txt", "-q")
        names, values = read_csv(self.folder / "v.csv")
        return names, values, (self.folder / "r.txt").read_text(), done.stderr


@pytest.fixture
def cli(tools, tmp_path):
    return Cli(tools, tmp_path)


def number(x):
    """Every digit of a double: the text reads back as the same double."""
    return repr(float(x))


def write_coordinates(path, coords, supplementary=None):
    """A coordinate file as the programs read it: n p nsup, then the sites."""
    coords = np.asarray(coords, dtype=float).reshape(len(coords), -1)
    rows = [coords] if supplementary is None else [coords, np.asarray(supplementary, dtype=float)]
    nsup = 0 if supplementary is None else len(supplementary)
    lines = [f"{len(coords)} {coords.shape[1]} {nsup}"]
    for block in rows:
        lines += [" ".join(number(v) for v in row) for row in block]
    path.write_text("\n".join(lines) + "\n")
    return path


def write_pairs(path, i, j, d, n):
    """A distance list as --distances reads it: sites numbered from 1."""
    lines = [str(n)] + [f"{a + 1} {b + 1} {number(x)}" for a, b, x in zip(i, j, d)]
    path.write_text("\n".join(lines) + "\n")
    return path


def read_csv(path):
    """The CSV of ortelix-pcnm: its column names and every value, parsed
    with float(), which reads back its shortest digits exactly."""
    lines = path.read_text().splitlines()
    names = lines[0].split(",")[1:]
    rows = []
    for k, line in enumerate(lines[1:], start=1):
        fields = line.split(",")
        assert fields[0] == str(k)
        rows.append([float(v) for v in fields[1:]])
    return names, np.array(rows, dtype=float).reshape(len(rows), len(names))


def written_in_report(report):
    """(eigenvalue, Moran's I) of each written variable, in the report's order."""
    out = []
    table = False
    for line in report.splitlines():
        if line == "axis eigenvalue moran_i written":
            table = True
            continue
        if not line.strip() or not line[0].isdigit():
            table = False
            continue
        if table:
            fields = line.split()
            if fields[3] == "yes":
                out.append((float(fields[1]), float(fields[2])))
    return out


def uniform(n, seed, size=1000.0):
    """n sites spread at random over a square, to the centimetre."""
    return np.round(np.random.default_rng(seed).uniform(0, size, size=(n, 2)), 2)
