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


def random_sites(seed, n):
    return np.random.default_rng(seed).uniform(0, 1000, size=(n, 2))


@pytest.mark.parametrize(
    "name, sites, supplementary, kwargs",
    [
        # Some 25 seconds of Krylov work on two cores, were it not stopped.
        pytest.param("pcnm", (71, 150000), None, dict(limit="mst", count=60), id="Krylov from the spanning tree on"),
        pytest.param("pcnm", (71, 150000), None, dict(limit=6.0, count=60, threads=1), id="Krylov, one thread"),
        # Every variable of 4000 sites: half a minute of dense decomposition.
        pytest.param("pcnm", (74, 4000), None, {}, id="dense decomposition"),
        pytest.param("pcnm", (74, 4000), (75, 40), {}, id="dense decomposition with supplementary sites"),
        pytest.param("threshold", (72, 1000000), None, {}, id="spanning tree"),
    ],
)
def test_ctrl_c_stops_the_run(name, sites, supplementary, kwargs):
    sites = random_sites(*sites)
    if supplementary:
        kwargs = dict(kwargs, supplementary=random_sites(*supplementary))
    threads = native_threads()
    events, caught = interrupted(getattr(ortelix, name), getattr(_core, name), sites, **kwargs)
    assert caught
    assert events == ["c_call", "c_exception"]
    assert native_threads() == threads
    # The module is fit for the next run.
    assert ortelix.pcnm(sites[:200]).vectors.shape[0] == 200


def test_another_handler_decides():
    # A handler that does not raise lets the run go on to its end.
    seen = []
    signal.signal(signal.SIGINT, lambda *_: seen.append(True))
    sites = random_sites(73, 30000)
    events, caught = interrupted(ortelix.pcnm, _core.pcnm, sites, limit=9.0, count=10)
    assert not caught
    assert events == ["c_call", "c_return"]
    assert seen
