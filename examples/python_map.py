#!/usr/bin/python3
"""PCNM variables of a set of sites from Python: their Moran's I, and a map of
the first four.

    /usr/bin/python3 examples/python_map.py [SITES] [MAP.png]

SITES is a coordinate file as ortelix reads it (a line "n p nsup", then one
line per site; supplementary sites last), docs/map-example-sites.txt by
default. The map needs matplotlib (Debian: python3-matplotlib); without it
the script says so and still prints the variables' Moran's I.
"""

import pathlib
import sys

import numpy as np

import ortelix


def read_sites(path):
    """(sites of the analysis, supplementary sites or None) of a coordinate
    file whose records each stand on a line."""
    lines = [line.split() for line in pathlib.Path(path).read_text().splitlines() if line.strip()]
    n, p, nsup = (int(v) for v in lines[0][:3])
    xy = np.array([[float(v) for v in line[:p]] for line in lines[1 : 1 + n + nsup]])
    return xy[:n], (xy[n:] if nsup else None)


def main():
    here = pathlib.Path(__file__).resolve().parent
    path = sys.argv[1] if len(sys.argv) > 1 else here.parent / "docs" / "map-example-sites.txt"
    out = sys.argv[2] if len(sys.argv) > 2 else "pcnm-map.png"
    sites, sup = read_sites(path)

    r = ortelix.pcnm(sites, limit="mst", supplementary=sup)
    print(f"{r.n} sites, truncated at {r.limit:.6g} (the longest edge of a minimum spanning tree)")
    print(f"{len(r.names)} PCNM variables; Moran's I (expectation {-1 / (r.n - 1):.4f}):")
    for name, value, moran in zip(r.names, r.values, r.moran):
        print(f"  {name:>8}  eigenvalue {value:10.4f}  Moran's I {moran:8.4f}")

    try:
        import matplotlib

        matplotlib.use("Agg")  # a file, no window
        import matplotlib.pyplot as plt
    except ImportError:
        print("no map: matplotlib is missing (Debian: apt-get install python3-matplotlib)")
        return

    # One panel per variable, one circle per site, its area proportional to
    # the value's magnitude: filled where positive, open where negative.
    shown = min(4, len(r.names))
    fig, axes = plt.subplots(1, shown, figsize=(4 * shown, 3.6), squeeze=False)
    for k, ax in enumerate(axes[0]):
        v = r.vectors[:, k]
        area = 150 * np.abs(v) / np.abs(v).max()
        positive = v > 0
        ax.scatter(sites[positive, 0], sites[positive, 1], s=area[positive], c="black")
        ax.scatter(sites[~positive, 0], sites[~positive, 1], s=area[~positive], facecolors="none", edgecolors="black")
        ax.set_title(f"{r.names[k]}  (I = {r.moran[k]:.2f})")
        ax.set_aspect("equal")
    fig.tight_layout()
    fig.savefig(out, dpi=100)
    print(f"map of {', '.join(r.names[:shown])} written to {out}")


if __name__ == "__main__":
    main()
