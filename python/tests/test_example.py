"""examples/python_map.py as a user runs it."""

import importlib.util
import pathlib
import subprocess
import sys

ROOT = pathlib.Path(__file__).resolve().parents[2]


def test_the_example_prints_morans_i_and_draws_its_map(tmp_path, cli):
    # The 14 sites and 2 supplementary sites of the dialogue's example: the
    # variables that ortelix-pcnm writes for them.
    names, _, _, _ = cli.pcnm(ROOT / "examples" / "sites-sup.txt", "--limit", "mst")
    done = subprocess.run(
        [sys.executable, str(ROOT / "examples" / "python_map.py"), str(ROOT / "examples" / "sites-sup.txt"), "m.png"],
        cwd=tmp_path,
        capture_output=True,
        text=True,
        stdin=subprocess.DEVNULL,
    )
    assert done.returncode == 0, done.stderr
    lines = done.stdout.splitlines()
    assert lines[0].startswith("14 sites, truncated at ")
    assert lines[1].startswith(f"{len(names)} PCNM variables")
    assert [line.split()[0] for line in lines[2 : 2 + len(names)]] == names
    if importlib.util.find_spec("matplotlib"):
        assert (tmp_path / "m.png").read_bytes()[:8] == b"\x89PNG\r\n\x1a\n"
        assert lines[-1] == "map of PCNM1, PCNM2, PCNM3, PCNM4 written to m.png"
    else:
        assert lines[-1].startswith("no map: matplotlib is missing")
