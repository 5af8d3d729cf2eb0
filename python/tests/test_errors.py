"""Refusals: ValueError in the command line's words (keyword arguments named
as Python names them), MemoryError for memory, never a crash."""

import subprocess
import sys
import textwrap

import numpy as np
import pytest

import ortelix
from conftest import uniform

SITES = uniform(50, 61, size=100.0)
BIG = uniform(10001, 62)


def run(**kwargs):
    return ortelix.pcnm(SITES, **kwargs)


def pairs(i, j, d, n, **kwargs):
    return ortelix.pcnm_distances(i, j, d, n, **kwargs)


REFUSALS = [
    # The command line's checks of its options, keyword for option.
    (lambda: run(limit="abc"), "limit: 'abc' is neither a positive number nor 'mst'"),
    (lambda: run(limit=-1), "limit: '-1' is neither a positive number nor 'mst'"),
    (lambda: run(limit=float("nan")), "limit: 'nan' is neither a positive number nor 'mst'"),
    (lambda: run(limit="mst,0"), "limit: '0' is neither a positive number nor 'mst'"),
    (lambda: run(limit=[]), "no truncation limit: give a number, 'mst' or a sequence of them"),
    (lambda: run(limit=[2, 2.0]), "limit: '2.0' is given twice"),
    (lambda: run(limit=["mst", 3, "mst"]), "limit: 'mst' is given twice"),
    (lambda: run(count=0), "count: '0' is not a whole number from 1"),
    (lambda: run(count=2.5), "count: '2.5' is not a whole number from 1"),
    (lambda: run(count=True), "count: 'True' is not a whole number from 1"),
    (lambda: run(solver="fast"), "solver: auto, dense or krylov, not 'fast'"),
    (lambda: run(threads=3), "threads: 1, 2 or None, not '3'"),
    # The library's checks of the solver, its options named as keywords.
    (lambda: run(solver="krylov"), "solver='krylov' needs count=K"),
    (lambda: run(solver="krylov", count=49), "solver='krylov': count is at most 48 for 50 sites"),
    (lambda: ortelix.pcnm(BIG), "all the PCNM variables of 10001 sites need the dense decomposition, which takes "
                                "at most 10000 sites: give count=K for the K leading ones"),
    (lambda: ortelix.pcnm(BIG, solver="dense", count=5), "solver='dense' takes at most 10000 sites, not 10001"),
    # Sites that cannot give variables, in the library's words.
    (lambda: ortelix.pcnm(np.zeros((5, 2))), "all the sites have the same coordinates: no spatial variables can be built"),
    (lambda: ortelix.pcnm([[1.0, 2.0]]), "a single site has no distances to truncate"),
    (lambda: ortelix.pcnm(np.zeros((0, 2))), "coords: no sites"),
    (lambda: ortelix.pcnm([[0, 0], [1e308, 1e308], [-1e308, 0]]),
     "the coordinates span a range beyond the largest double: no distances can be computed"),
    (lambda: run(limit=0.001), "no eigenvalue reaches 5e-7: the limit gives no PCNM variable; choose a higher limit"),
    (lambda: ortelix.pcnm(np.arange(20.0), limit=0.5),
     "the limit yields 19 PCNM variables for 20 sites, as many as they allow: any regression on them fits "
     "perfectly (R-square = 1); a higher limit gives fewer"),
    (lambda: ortelix.pcnm(np.arange(20.0), limit=[1, 0.5]),
     "at the limit 0.5: the limit yields 19 PCNM variables for 20 sites, as many as they allow: any regression on "
     "them fits perfectly (R-square = 1); a higher limit gives fewer"),
    # Arrays that are not sites.
    (lambda: ortelix.pcnm([[0, 1], [np.nan, 2]]), "coords[1, 0] is not a finite number"),
    (lambda: ortelix.pcnm([[0, 1], [2, np.inf]]), "coords[1, 1] is not a finite number"),
    (lambda: ortelix.pcnm([[0, 1], [1, 95]], longlat=True), "coords[1, 1]: latitude 95 is outside -90 to 90 degrees"),
    (lambda: ortelix.pcnm(np.zeros((5, 3)), longlat=True),
     "coords: longitude and latitude are 2 coordinates a site, not 3"),
    (lambda: run(supplementary=np.zeros((2, 3))), "supplementary: 3 coordinates a site, where coords have 2"),
    (lambda: run(supplementary=[[1, np.nan]]), "supplementary[0, 1] is not a finite number"),
    (lambda: ortelix.pcnm(np.zeros((2, 2, 2))), "coords: an array of one row per site, (n, p), is needed, not 3 dimensions"),
    (lambda: ortelix.pcnm(["a", "b"]), "coords: an array of numbers is needed, not of <U1"),
    (lambda: ortelix.pcnm(np.ones((3, 2), dtype=complex)), "coords: an array of numbers is needed, not of complex128"),
    (lambda: run().predict(np.zeros((3, 3))), "new_coords: 3 coordinates a site, where the sites of the analysis have 2"),
    (lambda: run().predict([[np.inf, 0]]), "new_coords[0, 0] is not a finite number"),
    (lambda: ortelix.threshold(np.zeros((1, 2))), "a single site has no distances to truncate"),
    # Pairs, numbered from 0.
    (lambda: pairs([0, 1], [1, 3], [1.0, 1.0], 3), "pair 1: site 3 is not one of the 3 sites (0 to 2)"),
    (lambda: pairs([0, -1], [1, 2], [1.0, 1.0], 3), "pair 1: site -1 is not one of the 3 sites (0 to 2)"),
    (lambda: pairs([0, 1], [1, 1], [1.0, 1.0], 3), "pair 1: site 1 paired with itself"),
    (lambda: pairs([0, 1], [1, 2], [1.0, -1.0], 3), "pair 1: the distance is negative"),
    (lambda: pairs([0, 1], [1, 2], [1.0, np.nan], 3), "pair 1: the distance is not a finite number"),
    (lambda: pairs([0, 1, 2, 1, 2], [1, 2, 0, 0, 1], [1.0, 1, 1, 1, 1], 3),
     "pair 3: the pair 0 1 is listed already, as pair 0"),
    (lambda: pairs([0, 1], [1, 2], [1.0], 3), "i, j and d: 2, 2 and 1 values: one of each for every pair"),
    (lambda: pairs([0.0, 1], [1, 2], [1.0, 1], 3), "i: site numbers are whole numbers, not float64"),
    (lambda: pairs([0, 1], [1, 2], ["1", "1"], 3), "d: distances are numbers, not <U1"),
    (lambda: pairs([0, 1], [1, 2], [1.0, 1], 0), "n: 0 sites: expected 1 to 50000000"),
    (lambda: pairs([0, 1], [1, 2], [1.0, 1], 3.0), "n: '3.0' is not a whole number of sites"),
    (lambda: pairs([0], [1], [1.0], 3),
     "limit='mst': the listed pairs leave the sites in 2 groups that no listed pair links: no limit links them all; "
     "list the pairs that link them; give a numeric limit"),
    (lambda: pairs([0], [1], [1.0], 2, limit=5),
     "two sites give one PCNM variable whatever the limit, and any regression on it fits perfectly "
     "(R-square = 1): PCNM variables need at least three sites"),
    (lambda: pairs([0, 1], [1, 2], [1.0, 1.0], 3, limit=2).predict([[0.0]]),
     "new sites cannot be placed among sites known by their distances alone"),
]


@pytest.mark.parametrize("call, message", REFUSALS, ids=[m[:50] for _, m in REFUSALS])
def test_refusals_in_the_command_lines_words(call, message):
    with pytest.raises(ValueError) as e:
        call()
    assert str(e.value) == message


def test_memory_that_cannot_be_had_is_a_memory_error():
    # In a process of its own whose address space is capped: the dense
    # decomposition of 8000 sites takes two matrices of 512 MB.
    child = textwrap.dedent(
        """
        import resource
        import numpy as np
        import ortelix
        sites = np.random.default_rng(1).uniform(0, 100, size=(8000, 2))
        small = ortelix.pcnm(sites[:100])
        with open("/proc/self/status") as f:
            size = next(int(l.split()[1]) for l in f if l.startswith("VmSize:")) * 1024
        resource.setrlimit(resource.RLIMIT_AS, (size + 700 * 2**20, resource.RLIM_INFINITY))
        try:
            ortelix.pcnm(sites)
            print("no error")
        except MemoryError:
            print("MemoryError")
        # The process goes on: the run let go of what it had.
        again = ortelix.pcnm(sites[:100])
        print(np.array_equal(again.vectors, small.vectors))
        """
    )
    done = subprocess.run([sys.executable, "-c", child], capture_output=True, text=True, stdin=subprocess.DEVNULL)
    assert done.returncode == 0, done.stderr
    assert done.stdout.split() == ["MemoryError", "True"]
