"""Ctrl-C during a long run: the run stops, KeyboardInterrupt comes out of
the call, and nothing of the run is left: no thread, no result.

Whether the call ended by an exception or returned is seen by a profile
hook (the interpreter's c_exception and c_return events of the compiled
function), not by a clock: a run that ignored the interrupt would return
its result first and only then have the interrupt raised."""

import os
import signal
import sys
import threading

import numpy as np
import pytest

import ortelix
from ortelix import _core


def native_threads():
    return len(os.listdir("/proc/self/task"))


def interrupted(function, compiled, *args, **kwargs):
    """Calls function(*args, **kwargs), sending SIGINT to the process once
    the compiled function `compiled` has begun (and a moment more); returns
    the events of `compiled` and whether KeyboardInterrupt came out."""
    events = []
    started = threading.Event()

    def profile(frame, event, arg):
        if arg is compiled and event in ("c_call", "c_return", "c_exception"):
            events.append(event)
            if event == "c_call":
                started.set()

    def send():
        started.wait()
        threading.Event().wait(0.3)  # into the work
        os.kill(os.getpid(), signal.SIGINT)

    sender = threading.Thread(target=send)
    sender.start()
    caught = False
    sys.setprofile(profile)
    try:
        function(*args, **kwargs)
    except KeyboardInterrupt:
        caught = True
    finally:
        sys.setprofile(None)
        started.set()
        sender.join()
    return events, caught


@pytest.fixture(autouse=True)
def default_handler():
    # pytest or a caller may have another handler; these tests are about
    # Python's own.
    before = signal.signal(signal.SIGINT, signal.default_int_handler)
    yield
    signal.signal(signal.SIGINT, before)


@pytest.fixture(scope="module")
def many_sites():
    # Some 25 seconds of Krylov work on two cores, were it not stopped.
    return np.random.default_rng(71).uniform(0, 1000, size=(150000, 2))


@pytest.mark.parametrize(
    "kwargs",
    [dict(limit="mst", count=60), dict(limit=6.0, count=60, threads=1)],
    ids=["from the spanning tree on", "eigen-solver, one thread"],
)
def test_ctrl_c_stops_a_krylov_run(many_sites, kwargs):
    threads = native_threads()
    events, caught = interrupted(ortelix.pcnm, _core.pcnm, many_sites, **kwargs)
    assert caught
    assert events == ["c_call", "c_exception"]
    assert native_threads() == threads
    # The module is fit for the next run.
    assert ortelix.pcnm(many_sites[:200]).vectors.shape[0] == 200


@pytest.mark.parametrize("sup", [None, 40], ids=["alone", "with supplementary sites"])
def test_ctrl_c_stops_the_dense_decomposition(sup):
    # Every variable of 4000 sites: half a minute of dense decomposition.
    sites = np.random.default_rng(74).uniform(0, 1000, size=(4000, 2))
    extra = None if sup is None else np.random.default_rng(75).uniform(0, 1000, size=(sup, 2))
    threads = native_threads()
    events, caught = interrupted(ortelix.pcnm, _core.pcnm, sites, supplementary=extra)
    assert caught
    assert events == ["c_call", "c_exception"]
    assert native_threads() == threads


def test_ctrl_c_stops_the_spanning_tree():
    sites = np.random.default_rng(72).uniform(0, 1000, size=(1000000, 2))
    events, caught = interrupted(ortelix.threshold, _core.threshold, sites)
    assert caught
    assert events == ["c_call", "c_exception"]


def test_another_handler_decides():
    # A handler that does not raise lets the run go on to its end.
    seen = []
    signal.signal(signal.SIGINT, lambda *_: seen.append(True))
    sites = np.random.default_rng(73).uniform(0, 1000, size=(30000, 2))
    events, caught = interrupted(ortelix.pcnm, _core.pcnm, sites, limit=9.0, count=10)
    assert not caught
    assert events == ["c_call", "c_return"]
    assert seen
