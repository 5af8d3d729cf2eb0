"""to_frame: the CSV of ortelix-pcnm as pandas reads it."""

import numpy as np
import pytest

import ortelix
from conftest import uniform, write_coordinates

pd = pytest.importorskip("pandas")


def test_the_frame_is_the_csv_as_pandas_reads_it(cli):
    sites = uniform(200, 81)
    write_coordinates(cli.folder / "sites.txt", sites)
    for limit in ("mst", "mst,90"):
        cli.pcnm("sites.txt", "--limit", limit)
        csv = pd.read_csv(cli.folder / "v.csv", index_col="site", float_precision="round_trip")
        frame = ortelix.pcnm(sites, limit=limit).to_frame()
        pd.testing.assert_frame_equal(frame, csv, check_exact=True, check_index_type=False)
        assert list(frame.columns) == list(csv.columns)


def test_the_frame_is_a_copy_of_its_own():
    r = ortelix.pcnm(uniform(100, 82))
    frame = r.to_frame()
    frame.iloc[0, 0] = 123.0
    assert r.vectors[0, 0] != 123.0
    assert frame.index[0] == 1 and frame.index.name == "site"
    expected = np.array(r.vectors)
    expected[0, 0] = 123.0
    assert np.array_equal(frame.to_numpy(), expected)
