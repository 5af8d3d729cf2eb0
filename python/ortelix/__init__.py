"""PCNM spatial variables of sampling sites, on the library of ortelix-pcnm.

The distances among the sites are truncated at a limit (every longer distance
becomes four times the limit), the truncated matrix goes through a principal
coordinate analysis, and the principal coordinates with positive eigenvalues
are the PCNM variables, from broad to fine scales. Every function here runs
the same compiled code as the command-line program ``ortelix-pcnm`` and gives
the same numbers, bit for bit:

>>> import numpy as np, ortelix
>>> sites = np.random.default_rng(1).uniform(0, 100, size=(200, 2))
>>> r = ortelix.pcnm(sites, limit="mst")
>>> r.vectors.shape[0], r.names[0]
(200, 'PCNM1')

Functions: :func:`pcnm` (sites by their coordinates), :func:`pcnm_distances`
(sites by a list of pairwise distances, such as distances along rivers or
across a landscape of resistance), :func:`threshold` (the longest edge of a
minimum spanning tree, the usual limit). Each returns, or works with, a
:class:`Result`.

Long runs release the GIL and can be interrupted with Ctrl-C
(KeyboardInterrupt). Bad data and arguments raise ValueError, in the words of
the command line; memory that runs out raises MemoryError.
"""

import numbers
import re

import numpy as np

from . import _core

__version__ = _core.version
__all__ = ["pcnm", "pcnm_distances", "threshold", "Result"]

# Sites a run takes at most: more would not fit a machine's memory anyway.
_MOST_SITES = 50_000_000

# The library words its messages for the command line; here they name the
# keyword arguments instead of the options.
_WORDS = [
    (re.compile(r"--solver (dense|krylov)"), r"solver='\1'"),
    (re.compile(r"--count (\d+|K)\b"), r"count=\1"),
    (re.compile(r"--count\b"), "count"),
    (re.compile(r"--limit mst\b"), "limit='mst'"),
    (re.compile(r"give a --limit\b"), "give a numeric limit"),
]


def _python_words(text):
    for option, keyword in _WORDS:
        text = option.sub(keyword, text)
    return text


def _call(function, *args):
    try:
        return function(*args)
    except ValueError as e:
        raise ValueError(_python_words(str(e))) from None


def _positive(item):
    """A positive finite number, or None."""
    if isinstance(item, (bool, np.bool_)):
        return None
    if isinstance(item, str):
        try:
            item = float(item)
        except ValueError:
            return None
    if not isinstance(item, numbers.Real):
        return None
    value = float(item)
    return value if np.isfinite(value) and value > 0 else None


def _limits(limit):
    """[(mst, value)] of a number, 'mst', 'mst,2.5' or a sequence of them."""
    if isinstance(limit, str):
        items = limit.split(",")
    elif isinstance(limit, (numbers.Real, np.ndarray)) and np.ndim(limit) == 0:
        items = [limit]
    else:
        try:
            items = list(limit)
        except TypeError:
            raise ValueError(f"limit: {limit!r} is neither a positive number nor 'mst'") from None
    if not items:
        raise ValueError("no truncation limit: give a number, 'mst' or a sequence of them")
    out = []
    for item in items:
        if isinstance(item, str) and item == "mst":
            pair = (True, 0.0)
        else:
            value = _positive(item)
            if value is None:
                shown = item if isinstance(item, str) else repr(item)
                raise ValueError(f"limit: '{shown}' is neither a positive number nor 'mst'")
            pair = (False, value)
        if pair in out:
            raise ValueError(f"limit: '{item}' is given twice")
        out.append(pair)
    return out


def _count(count):
    if count is None:
        return 0
    if isinstance(count, (bool, np.bool_)) or not isinstance(count, numbers.Integral) or not 1 <= count <= _MOST_SITES:
        raise ValueError(f"count: '{count}' is not a whole number from 1")
    return int(count)


def _solver(solver):
    if solver not in ("auto", "dense", "krylov"):
        raise ValueError(f"solver: auto, dense or krylov, not '{solver}'")
    return solver


def _threads(threads):
    if threads is None:
        return 0
    if isinstance(threads, (bool, np.bool_)) or threads not in (1, 2):
        raise ValueError(f"threads: 1, 2 or None, not '{threads}'")
    return int(threads)


def _coordinates(array, what):
    """An (n, p) float64 array, a view of `array` where it already is one."""
    a = np.asarray(array)
    if a.dtype.kind not in "iuf":
        raise ValueError(f"{what}: an array of numbers is needed, not of {a.dtype}")
    a = a.astype(np.float64, copy=False)
    if a.ndim == 1:
        a = a.reshape(-1, 1)  # positions along a line
    if a.ndim != 2:
        raise ValueError(f"{what}: an array of one row per site, (n, p), is needed, not {a.ndim} dimensions")
    return a


def _site_numbers(array, what):
    a = np.asarray(array)
    if a.size == 0:
        return np.zeros(0, dtype=np.int64)
    if a.dtype.kind not in "iu":
        raise ValueError(f"{what}: site numbers are whole numbers, not {a.dtype}")
    if a.dtype.kind == "u" and a.size and a.max() > np.iinfo(np.int64).max:
        raise ValueError(f"{what}: site {a.max()} is out of range")
    return a.astype(np.int64, copy=False)


class Result:
    """The PCNM variables of a run, and what the run decided.

    Attributes
    ----------
    vectors : ndarray, shape (n, k), float64, read-only
        The PCNM variables, one column per variable, one row per site of the
        analysis (supplementary sites are not in it): the numbers
        ``ortelix-pcnm`` writes for the same sites and options, bit for bit.
        A view of the run's own memory (Fortran order), not a copy; use
        ``np.array(r.vectors)`` for a writable copy.
    values : ndarray, shape (k,)
        The eigenvalue of each variable, decreasing within each limit.
    moran : ndarray, shape (k,)
        Moran's I of each variable (its expectation is ``-1 / (n - 1)``).
    names : list of str
        Column names as in the CSV: ``PCNM1, PCNM2, ...`` (the axis) for one
        limit; ``L1_PCNM1, ..., L2_PCNM1, ...`` (the limit's place) for
        several.
    limit : float or list of float
        The truncation limit used, in the units of the coordinates (km with
        ``longlat``); a list when several limits were given.
    limits : list of float
        The same, always as a list.
    notes : list of str
        What the run settled that its caller should know, such as a count
        raised so that equal eigenvalues are kept whole.
    clusters : list of list of int
        Columns of ``vectors`` whose eigenvalues are equal (within 1e-9 of
        the largest): their variables are the basis of their eigenspace that
        depends on the sites alone, not on the solver.
    scales : list of dict
        Per limit: ``limit``, ``mst`` (whether it was the spanning tree's),
        ``moran_expectation``, ``pairs`` (pairs kept, at most the limit
        apart), ``solver`` ('dense' or 'krylov'), ``positive_eigenvalues``,
        ``eigenvalues`` (every one computed) and ``largest_correlation``
        (with supplementary sites: the largest correlation between two
        variables over the sites of the analysis; otherwise None).
    report : str
        The run report of ``ortelix-pcnm --report``.
    n, nsup : int
        Sites of the analysis, and supplementary sites.
    """

    def __init__(self, core):
        self._core = core
        self._vectors = None

    @property
    def vectors(self):
        if self._vectors is None:
            self._vectors = self._core.vectors
        return self._vectors

    @property
    def values(self):
        return np.array(self._core.eigenvalues, dtype=np.float64)

    @property
    def moran(self):
        return np.array(self._core.moran, dtype=np.float64)

    @property
    def names(self):
        return list(self._core.names)

    @property
    def limits(self):
        return [s["limit"] for s in self._core.scales]

    @property
    def limit(self):
        limits = self.limits
        return limits[0] if len(limits) == 1 else limits

    @property
    def notes(self):
        return [_python_words(note) for note in self._core.notes]

    @property
    def clusters(self):
        return [list(c) for c in self._core.clusters]

    @property
    def scales(self):
        return self._core.scales

    @property
    def report(self):
        return _python_words(self._core.report)

    @property
    def n(self):
        return self._core.n

    @property
    def nsup(self):
        return self._core.nsup

    def predict(self, new_coords):
        """The values of the variables at new sites.

        Each new site is placed among the sites of the analysis by Gower's
        formula for adding a point to a principal coordinate analysis, with
        its distances truncated as the run truncated them; a site of the
        analysis given again gets back its own row of ``vectors``.

        Parameters
        ----------
        new_coords : array_like, shape (m, p)
            Positions in the units of the run's coordinates (longitudes and
            latitudes in degrees for a ``longlat`` run).

        Returns
        -------
        ndarray, shape (m, k), float64 (Fortran order)

        Raises
        ------
        ValueError
            For positions that are not finite numbers, of another number of
            coordinates, or a run of :func:`pcnm_distances` (new sites have
            no distances to its sites).
        """
        a = _coordinates(new_coords, "new_coords")
        return _call(self._core.predict, a)

    def to_frame(self):
        """The variables as a pandas DataFrame (a copy), columns named as in
        the CSV of ``ortelix-pcnm`` and the sites numbered from 1 in an
        index named ``site``, as its first column: ``pandas.read_csv(file,
        index_col="site")`` reads that CSV back as this frame. Needs pandas
        (Debian: python3-pandas)."""
        import pandas as pd

        return pd.DataFrame(
            np.array(self.vectors),
            columns=self.names,
            index=pd.RangeIndex(1, self.n + 1, name="site"),
        )

    def __repr__(self):
        limits = ", ".join(f"{v:.6g}" + (" (mst)" if s["mst"] else "") for v, s in zip(self.limits, self.scales))
        sup = f" + {self.nsup} supplementary" if self.nsup else ""
        return (
            f"<ortelix.Result: {self.n}{sup} sites, {len(self.names)} PCNM variables, "
            f"limit{'s' if len(self.scales) > 1 else ''} {limits}>"
        )


def pcnm(coords, limit="mst", count=None, supplementary=None, positive_moran=False, longlat=False,
         solver="auto", threads=None):
    """The PCNM variables of sites given by their coordinates.

    Parameters
    ----------
    coords : array_like, shape (n, p)
        One row per site of the analysis: its coordinates (usually p = 1 or
        2; a one-dimensional array is a line of positions), or with
        ``longlat`` its longitude and latitude in degrees. Any numeric
        array of any layout: a float64 array (C or Fortran order, or a
        strided view) is read as it is, with no conversion first, straight into
        the library's own set of sites.
    limit : float, 'mst', or a sequence of them
        The truncation limit, in the units of the coordinates (km with
        ``longlat``): distances above it become four times the limit.
        ``'mst'`` takes the longest edge of a minimum spanning tree of all
        the sites (what :func:`threshold` returns). Several limits, such as
        ``['mst', 2.5, 10]`` (or the command line's ``'mst,2.5,10'``), give
        the variables of each side by side, named ``L1_PCNM1, ...``.
    count : int, optional
        Keep the ``count`` leading variables of each limit (the largest
        eigenvalues), computed by a Krylov solver on the truncated operator
        for large site sets; more when ``count`` would cut equal eigenvalues
        (see ``notes``). None: every PCNM variable, by the dense
        decomposition, which takes at most 10000 sites.
    supplementary : array_like, shape (m, p), optional
        Supplementary sites: they take part in the computation but are not
        in ``vectors``, and the variables are then standardized over the n
        sites of the analysis.
    positive_moran : bool
        Keep only the variables whose Moran's I exceeds its expectation
        ``-1 / (n - 1)``: those of positive spatial correlation.
    longlat : bool
        ``coords`` are longitudes and latitudes in degrees; distances are
        great circles in km on a sphere of radius 6371.0088 km.
    solver : {'auto', 'dense', 'krylov'}
        'auto' takes the dense decomposition for every variable or for small
        site sets, the Krylov solver otherwise.
    threads : {None, 1, 2}
        Threads of the Krylov solver's products; None takes two where the
        processor has them. The results do not depend on it.

    Returns
    -------
    Result

    Raises
    ------
    ValueError
        For data that cannot give PCNM variables (sites all at one position,
        a limit that leaves as many variables as the sites allow, ...) and
        wrong arguments, in the words of ``ortelix-pcnm``.
    MemoryError
        When the run's memory cannot be had.
    KeyboardInterrupt
        On Ctrl-C during the run, which then stops and frees what it held.
    """
    limits = _limits(limit)
    options = (_count(count), bool(positive_moran), _solver(solver), _threads(threads))
    a = _coordinates(coords, "coords")
    sup = None if supplementary is None else _coordinates(supplementary, "supplementary")
    return Result(_call(_core.pcnm, a, sup, bool(longlat), limits, *options))


def pcnm_distances(i, j, d, n, limit="mst", count=None, positive_moran=False, solver="auto", threads=None):
    """The PCNM variables of sites given by their pairwise distances.

    For distances that no coordinates give: along rivers, coastlines or
    roads, or across a landscape of resistance. Pair k joins sites ``i[k]``
    and ``j[k]`` at distance ``d[k]``; a pair not listed is farther apart
    than any limit. List at least every pair within the largest limit.

    **Site numbers are 0-based** (Python's convention): sites are 0 to
    n - 1, and row s of ``vectors`` is site s. (The command line's
    ``--distances`` file numbers them from 1.)

    Parameters
    ----------
    i, j : array_like of int, shape (pairs,)
        The two sites of each pair, 0 to n - 1, in either order; a pair is
        listed once.
    d : array_like of float, shape (pairs,)
        Their distances: finite, not negative.
    n : int
        The number of sites.
    limit, count, positive_moran, solver, threads
        As for :func:`pcnm`; ``'mst'`` is the longest edge of a minimum
        spanning tree of the listed distances.

    Returns
    -------
    Result
        Its ``predict`` refuses new sites: they have no distances.

    Raises
    ------
    ValueError, MemoryError, KeyboardInterrupt
        As for :func:`pcnm`; ValueError also names the first pair that is
        out of range, pairs a site with itself, has a negative or non-finite
        distance, or is listed twice.
    """
    limits = _limits(limit)
    options = (_count(count), bool(positive_moran), _solver(solver), _threads(threads))
    first, second = _site_numbers(i, "i"), _site_numbers(j, "j")
    dist = np.asarray(d)
    if dist.size == 0:
        dist = dist.astype(np.float64)
    if dist.dtype.kind not in "iuf":
        raise ValueError(f"d: distances are numbers, not {dist.dtype}")
    dist = dist.astype(np.float64, copy=False)
    if isinstance(n, (bool, np.bool_)) or not isinstance(n, numbers.Integral):
        raise ValueError(f"n: '{n}' is not a whole number of sites")
    return Result(_call(_core.pcnm_pairs, first, second, dist, int(n), limits, *options))


def threshold(coords, longlat=False, supplementary=None):
    """The longest edge of a minimum spanning tree of the sites.

    The smallest truncation limit that keeps every site linked to the others
    through distances the truncation keeps, and what ``limit='mst'`` takes
    (``ortelix-threshold`` prints it). In the units of the coordinates, km
    with ``longlat``. Supplementary sites count, as they do in a run.

    Parameters
    ----------
    coords : array_like, shape (n, p)
    longlat : bool
    supplementary : array_like, shape (m, p), optional

    Returns
    -------
    float
    """
    a = _coordinates(coords, "coords")
    sup = None if supplementary is None else _coordinates(supplementary, "supplementary")
    return _call(_core.threshold, a, sup, bool(longlat))
