#!/usr/bin/python3
"""The Python module against the command line on the same large run.

    /usr/bin/python3 bench/python_vs_cli.py [BUILD] [RUNS] [SITES] [COUNT]

(defaults: build 3 100000 100). Sites spread at random over a square, the
limit the longest spanning-tree edge, the COUNT leading variables (the
Krylov path). Each run is a fresh process, the command line's and Python's
taking turns: ortelix-pcnm reading the coordinate file and writing its CSV,
and python3 importing ortelix, reading the same file with NumPy and calling
ortelix.pcnm, whose own time it reports. Medians of wall-clock seconds, and
of the processor seconds (user and system, both threads) of each process,
which another program on the machine disturbs less; the load of the machine
(uptime) before and after, since it may be shared. The first pair of runs
is checked to give the same numbers.

Run it with the module built (make test, or make build-tests) or installed
(make python); BUILD/python is put first on the module path.
"""

import os
import pathlib
import resource
import statistics
import subprocess
import sys
import tempfile
import time

import numpy as np

ROOT = pathlib.Path(__file__).resolve().parents[1]


def cpu_of_children():
    r = resource.getrusage(resource.RUSAGE_CHILDREN)
    return r.ru_utime + r.ru_stime


def load():
    return subprocess.run(["uptime"], capture_output=True, text=True).stdout.strip()


PYTHON_RUN = """
import sys, time
import numpy as np
import ortelix
sites = np.loadtxt(sys.argv[1], skiprows=1)
start = time.perf_counter()
r = ortelix.pcnm(sites, limit="mst", count=int(sys.argv[2]))
call = time.perf_counter() - start
if len(sys.argv) > 3:
    np.save(sys.argv[3], r.vectors)
print(call, r.vectors.shape[1])
"""


def main():
    build = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else "build").resolve()
    runs = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    n = int(sys.argv[3]) if len(sys.argv) > 3 else 100000
    count = int(sys.argv[4]) if len(sys.argv) > 4 else 100
    program = build / "src" / "tools" / "ortelix-pcnm"
    env = dict(os.environ, PYTHONPATH=str(build / "python") + os.pathsep + os.environ.get("PYTHONPATH", ""))

    with tempfile.TemporaryDirectory() as folder:
        folder = pathlib.Path(folder)
        sites = np.round(np.random.default_rng(2024).uniform(0, 1000, size=(n, 2)), 2)
        with open(folder / "sites.txt", "w") as f:
            f.write(f"{n} 2 0\n")
            for x, y in sites:
                f.write(f"{x!r} {y!r}\n")
        print(f"{n} sites spread at random, limit mst, --count {count}; {runs} runs each, taking turns")
        print(f"load before: {load()}")
        cli, whole, call, cli_cpu, python_cpu = [], [], [], [], []
        for k in range(runs):
            start, cpu = time.perf_counter(), cpu_of_children()
            subprocess.run([program, "sites.txt", "--limit", "mst", "--count", str(count), "-o", "v.csv", "-q"],
                           cwd=folder, check=True, stdin=subprocess.DEVNULL)
            cli.append(time.perf_counter() - start)
            cli_cpu.append(cpu_of_children() - cpu)
            extra = ["v.npy"] if k == 0 else []
            start, cpu = time.perf_counter(), cpu_of_children()
            done = subprocess.run([sys.executable, "-c", PYTHON_RUN, "sites.txt", str(count), *extra], cwd=folder,
                                  env=env, check=True, capture_output=True, text=True, stdin=subprocess.DEVNULL)
            whole.append(time.perf_counter() - start)
            python_cpu.append(cpu_of_children() - cpu)
            call.append(float(done.stdout.split()[0]))
            if k == 0:
                lines = (folder / "v.csv").read_text().splitlines()[1:]
                written = np.array([[float(v) for v in line.split(",")[1:]] for line in lines])
                same = np.array_equal(written, np.load(folder / "v.npy"))
                print(f"same variables, bit for bit: {'yes' if same else 'NO'}")
            print(f"  run {k + 1}: command line {cli[-1]:7.2f} ({cli_cpu[-1]:6.2f} cpu)   python process "
                  f"{whole[-1]:7.2f} ({python_cpu[-1]:6.2f} cpu)   ortelix.pcnm call {call[-1]:7.2f}")
        print(f"load after:  {load()}")
        c, w, p = statistics.median(cli), statistics.median(whole), statistics.median(call)
        cc, wc = statistics.median(cli_cpu), statistics.median(python_cpu)
        print("medians                                            wall s   ratio    cpu s   ratio")
        print(f"  ortelix-pcnm (read, compute, write the CSV)    {c:8.2f}          {cc:8.2f}")
        print(f"  python3: import, read with NumPy, ortelix.pcnm {w:8.2f} {w / c:7.3f} {wc:8.2f} {wc / cc:7.3f}")
        print(f"  the ortelix.pcnm call alone                    {p:8.2f} {p / c:7.3f}")


if __name__ == "__main__":
    main()
