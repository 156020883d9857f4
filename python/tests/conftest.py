# Shared drawings and helpers of the vexlor_dxf tests.
# SPDX-License-Identifier: MIT
import os
import shutil

import pytest


def drawing(*entities, header=""):
    """An ASCII DXF drawing of the given entity texts (each its groups, one per line)."""
    head = f"0\nSECTION\n2\nHEADER\n{header}0\nENDSEC\n" if header else ""
    return (head + "0\nSECTION\n2\nENTITIES\n" + "".join(entities) + "0\nENDSEC\n0\nEOF\n").encode()


def line(x0, y0, x1, y1, layer="0", handle=""):
    handle_group = f"5\n{handle}\n" if handle else ""
    return f"0\nLINE\n{handle_group}8\n{layer}\n10\n{x0}\n20\n{y0}\n11\n{x1}\n21\n{y1}\n"


def lwpolyline(points, closed, layer="0"):
    groups = "".join(f"10\n{x}\n20\n{y}\n" for x, y in points)
    return f"0\nLWPOLYLINE\n8\n{layer}\n90\n{len(points)}\n70\n{1 if closed else 0}\n{groups}"


# A closed rectangle on layer "plate" and, apart from it, an open two-line path on "cut".
RECTANGLE = [(0, 0), (10, 0), (10, 5), (0, 5)]
PLATE = drawing(lwpolyline(RECTANGLE, True, "plate"),
                line(20, 0, 30, 0, "cut", "2A"), line(30, 0, 30, 8, "cut", "2B"))
# Two lines that cross at (0.5, 0.5).
CROSSING = drawing(line(0, 0, 1, 1), line(0, 1, 1, 0))


def big_drawing(count):
    """`count` separate short lines: a drawing whose import takes a while."""
    return drawing(*(line(i, 0, i + 0.5, 1) for i in range(count)))


@pytest.fixture
def plate_file(tmp_path):
    path = tmp_path / "plate.dxf"
    path.write_bytes(PLATE)
    return path


@pytest.fixture(scope="session")
def tool():
    """The vexlor-dxf tool the batch rows are held against (VEXLOR_DXF_TOOL, else on PATH)."""
    found = os.environ.get("VEXLOR_DXF_TOOL") or shutil.which("vexlor-dxf")
    if not found or not os.access(found, os.X_OK):
        pytest.skip("no vexlor-dxf tool to compare with (set VEXLOR_DXF_TOOL)")
    return os.path.abspath(found)
