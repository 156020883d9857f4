# The mesh export: bad input refused before any file, progress, cancelling and Ctrl-C.
# SPDX-License-Identifier: MIT
import os
import signal
import threading

import numpy as np
import pytest

import vexlor_dxf
from vexlor_dxf import ExportResult

TRIANGLE = np.array([[0, 0, 0], [1, 0, 0], [0, 1, 0]], dtype=float)


def faces_of(path):
    return path.read_text().count("3DFACE")


def test_a_mesh_is_written_face_by_face(tmp_path):
    target = tmp_path / "out.dxf"
    vertices = np.vstack([TRIANGLE, [[0, 0, 2]]])
    assert vexlor_dxf.export_mesh(vertices, [[0, 1, 2], [0, 1, 3]], target) is ExportResult.OK
    text = target.read_text()
    assert faces_of(target) == 2 and "AC1009" in text and text.rstrip().endswith("EOF")
    assert os.listdir(tmp_path) == ["out.dxf"]  # no temporary file left


def test_the_transform_places_the_vertices(tmp_path):
    target = tmp_path / "moved.dxf"
    shift = np.eye(4)
    shift[3, :3] = [100, 200, 300]  # row-major: the translation is the last row
    vexlor_dxf.export_mesh(TRIANGLE, [[0, 1, 2]], target, transform=shift)
    values = [v.strip() for v in target.read_text().split("\n")]
    corners = {code: float(values[i + 1]) for i, code in enumerate(values[:-1])
               if code in ("10", "20", "30", "11", "21", "22")}
    assert corners == {"10": 100, "20": 200, "30": 300, "11": 101, "21": 200, "22": 201}


# (vertices, faces, transform) that are refused with ValueError
BAD = [
    ("vertices of two coordinates", TRIANGLE[:, :2], [[0, 1, 2]], None),
    ("vertices of one dimension", TRIANGLE.ravel(), [[0, 1, 2]], None),
    ("vertices that are text", [["a", "b", "c"]] * 3, [[0, 1, 2]], None),
    ("faces of floats", TRIANGLE, [[0.0, 1.0, 2.0]], None),
    ("faces of two corners", TRIANGLE, [[0, 1]], None),
    ("no face", TRIANGLE, np.zeros((0, 3), dtype=int), None),
    ("an index one past the vertices", TRIANGLE, [[0, 1, 3]], None),
    ("a negative index", TRIANGLE, [[0, -1, 2]], None),
    ("a huge index", TRIANGLE, np.array([[0, 1, 2**63]], dtype=np.uint64), None),
    ("a 3x3 transform", TRIANGLE, [[0, 1, 2]], np.eye(3)),
]


@pytest.mark.parametrize("what, vertices, faces, transform", BAD, ids=[b[0] for b in BAD])
def test_bad_input_is_a_value_error_and_no_file(tmp_path, what, vertices, faces, transform):
    new = tmp_path / "new.dxf"
    earlier = tmp_path / "earlier.dxf"
    earlier.write_text("earlier")
    for target in (new, earlier):
        with pytest.raises(ValueError):
            vexlor_dxf.export_mesh(vertices, faces, target, transform=transform)
    assert sorted(os.listdir(tmp_path)) == ["earlier.dxf"] and earlier.read_text() == "earlier"


def test_a_folder_that_does_not_exist_is_an_open_error(tmp_path):
    result = vexlor_dxf.export_mesh(TRIANGLE, [[0, 1, 2]], tmp_path / "no" / "out.dxf")
    assert result is ExportResult.OPEN_ERROR


MANY = np.tile([0, 1, 2], (20_000, 1))


def test_progress_rises_to_one(tmp_path):
    seen = []
    vexlor_dxf.export_mesh(TRIANGLE, MANY, tmp_path / "out.dxf", seen.append)
    assert seen == sorted(seen) and seen[-1] == 1.0 and 10 < len(seen) <= 1002


def stop_halfway(fraction):
    return fraction < 0.5


def raise_halfway(fraction):
    if fraction >= 0.5:
        raise RuntimeError("stop here")


@pytest.mark.parametrize("progress, raised", [(stop_halfway, None), (raise_halfway, RuntimeError)])
def test_cancelling_leaves_the_earlier_file_as_it_was(tmp_path, progress, raised):
    target = tmp_path / "out.dxf"
    target.write_text("earlier")
    os.chmod(target, 0o640)
    if raised:
        with pytest.raises(raised):
            vexlor_dxf.export_mesh(TRIANGLE, MANY, target, progress)
    else:
        assert vexlor_dxf.export_mesh(TRIANGLE, MANY, target, progress) is ExportResult.CANCELLED
    assert target.read_text() == "earlier" and os.listdir(tmp_path) == ["out.dxf"]
    # A complete export replaces it and keeps its permissions.
    assert vexlor_dxf.export_mesh(TRIANGLE, MANY, target) is ExportResult.OK
    assert faces_of(target) == len(MANY) and os.stat(target).st_mode & 0o777 == 0o640


@pytest.mark.skipif(not hasattr(signal, "pthread_kill"), reason="needs POSIX signals")
def test_ctrl_c_cancels_the_export_and_raises_keyboard_interrupt(tmp_path):
    target = tmp_path / "out.dxf"
    target.write_text("earlier")
    main = threading.main_thread().ident
    reports = []

    def press_ctrl_c_a_quarter_in(fraction):
        reports.append(fraction)
        if fraction >= 0.25:
            signal.pthread_kill(main, signal.SIGINT)

    with pytest.raises(KeyboardInterrupt):
        vexlor_dxf.export_mesh(TRIANGLE, MANY, target, press_ctrl_c_a_quarter_in)
    # The export stopped at the first report after Ctrl-C, the earlier file untouched.
    assert max(reports) < 0.3
    assert target.read_text() == "earlier" and os.listdir(tmp_path) == ["out.dxf"]
