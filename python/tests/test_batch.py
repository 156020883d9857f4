# Batches on a Dask cluster of two worker processes: the rows are the tool's --summary rows.
# SPDX-License-Identifier: MIT
import json
import os
import subprocess

import pytest

from conftest import CROSSING, PLATE, drawing, line

distributed = pytest.importorskip("distributed", reason="dask.distributed is not installed")
pytest.importorskip("dask", reason="dask is not installed")

from vexlor_dxf import batch  # noqa: E402 - after the skip

pytestmark = pytest.mark.dask


@pytest.fixture(scope="module")
def client():
    # Loopback only, two processes of one thread each, the dashboard on loopback too.
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True,
                                  host="127.0.0.1", dashboard_address="127.0.0.1:0") as cluster:
        with distributed.Client(cluster) as connected:
            yield connected


@pytest.fixture
def drawings(tmp_path, monkeypatch):
    """A folder of drawings with every result, in a subfolder too, named relative to the
    current folder as a user would."""
    monkeypatch.chdir(tmp_path)
    folder = tmp_path / "in"
    (folder / "sub").mkdir(parents=True)
    (folder / "plate.dxf").write_bytes(PLATE)
    (folder / "sub" / "crossing.DXF").write_bytes(CROSSING)
    (folder / "empty.dxf").write_bytes(b"0\nEOF\n")
    (folder / "blank.dxf").write_bytes(b"")
    (folder / "text.dxf").write_bytes(drawing("0\nTEXT\n8\n0\n1\nhello\n"))
    (folder / "broken.dxf").write_bytes(drawing(line(0, "1.5.2", 1, 1)))
    (folder / "notes.txt").write_text("not a drawing")
    (tmp_path / "none").mkdir()
    return ["in", "missing.dxf", "none"]


def without_seconds(rows):
    return [{k: v for k, v in row.items() if k != "seconds"} for row in rows]


def test_the_rows_are_the_tools(client, drawings, tool):
    rows = batch.import_drawings(drawings, client, json_dir="json", svg_dir="svg")
    subprocess.run([tool, "import", "--accurate", "--quiet", "--summary", "tool.jsonl", "--json-dir",
                    "tool-json", *drawings], capture_output=True, check=False)
    with open("tool.jsonl", encoding="utf-8") as summary:
        expected = [json.loads(text) for text in summary]
    assert without_seconds(rows) == without_seconds(expected)
    # The JSON records hold what the tool's hold, number for number, and why a drawing failed.
    for name in ("plate.json", os.path.join("sub", "crossing.json"), "broken.json", "text.json",
                 "blank.json", "missing.json"):
        with open(os.path.join("json", name)) as ours, open(os.path.join("tool-json", name)) as its:
            assert json.load(ours) == json.load(its)


def test_rows_by_hand(client, drawings):
    rows = {os.path.basename(r["path"]): r
            for r in batch.import_drawings(drawings, client, json_beside=True)}
    plate = rows["plate.dxf"]
    assert (plate["result"], plate["status"], plate["contours"], plate["closed"], plate["open"],
            plate["points"], plate["box"]) == (0, 0, 2, 1, 1, 7, [0, 0, 30, 8])
    # Crossing contours are a result to use, not a failure, unless asked to be strict.
    assert (rows["crossing.DXF"]["result"], rows["crossing.DXF"]["status"]) == (4, 0)
    assert rows["empty.dxf"]["status"] == 3 and rows["broken.dxf"]["status"] == 1
    assert "1.5.2" in rows["broken.dxf"]["message"]
    assert rows["missing.dxf"]["message"] == "cannot be opened: No such file or directory (result 2)"
    assert (rows["none"]["result"], rows["none"]["status"]) == (None, 66)
    # Each record went next to its drawing.
    with open(os.path.join("in", "plate.json")) as record:
        assert json.load(record)["box"] == {"left_top": [0, 0], "right_bottom": [30, 8]}
    strict = batch.import_drawings([os.path.join("in", "sub")], client, strict=True)
    assert strict[0]["status"] == 4


def test_without_a_client_dask_runs_it_on_threads(drawings):
    rows = batch.import_drawings(["in"], y_down=True)
    assert [r["box"] for r in rows if r["path"].endswith("plate.dxf")] == [[0, -8, 30, 0]]


def test_two_drawings_under_one_output_name_are_refused(drawings):
    with pytest.raises(ValueError, match="same name"):
        batch.import_drawings(["in/plate.dxf", "in/plate.dxf"], json_dir="out")
    with pytest.raises(TypeError):
        batch.import_drawings(["in"], colour=1)
