# The points are the library's own buffer, handed to NumPy without a copy.
# SPDX-License-Identifier: MIT
import gc

import numpy as np
import pytest

import vexlor_dxf
from conftest import PLATE, RECTANGLE


def address(array):
    return array.__array_interface__["data"][0]


@pytest.mark.parametrize("importer", ["accurate", "classic"])
def test_arrays_share_one_buffer_and_keep_it_alive(plate_file, importer):
    if importer == "accurate":
        imported = vexlor_dxf.import_contours(plate_file)
        first = imported.contours[0]
    else:
        imported = vexlor_dxf.import_classic(plate_file)
        first = imported.polylines[0]
    a, b = first.points, first.points
    # A copy would give each array a buffer of its own.
    assert a.dtype == np.float64 and a.shape == (4, 2) and not a.flags.owndata
    assert address(a) == address(b) and np.shares_memory(a, b)
    expected = a.tolist()
    del imported, first, b
    gc.collect()
    # The array holds the import alive: its points are still there.
    assert a.tolist() == expected


def test_arrays_are_read_only_views():
    points = vexlor_dxf.import_contours(PLATE).contours[0].points
    assert points.flags.c_contiguous and points.strides == (16, 8)
    with pytest.raises(ValueError):
        points[0, 0] = 1.0
    changed = points.copy()
    changed[0, 0] = 1.0
    assert points.tolist() == [list(p) for p in RECTANGLE]


def test_contours_are_a_sequence():
    contours = vexlor_dxf.import_contours(PLATE).contours
    assert len(contours) == 2 and contours[-1].entity == "LINE"
    assert [c.entity for c in contours[0:1]] == ["LWPOLYLINE"]
    with pytest.raises(IndexError):
        contours[2]
