# What a drawing holds, told without importing it.
# SPDX-License-Identifier: MIT
import io

import pytest

import vexlor_dxf
from conftest import drawing, line

HEADER = "9\n$ACADVER\n1\nAC1015\n9\n$INSUNITS\n70\n4\n"
INFO = drawing(line(0, 0, 1, 0, "walls"), line(1, 0, 1, 1, "walls"), line(0, 0, 0, 1, "doors"),
               "0\nTEXT\n8\ndoors\n10\n0\n20\n0\n1\nhello\n", header=HEADER)


@pytest.mark.parametrize("make", [lambda: INFO, io.BytesIO], ids=["bytes", "file object"])
def test_the_info_counts_what_the_drawing_holds(make):
    info = vexlor_dxf.drawing_info(make(INFO) if make is io.BytesIO else make())
    assert info.result is vexlor_dxf.Result.OK and info.error == ""
    assert (info.version, info.release, info.units) == ("AC1015", "R2000", 4)
    assert info.entities == {"LINE": 3, "TEXT": 1}
    # No LAYER table: the layers as entities name them, in the order of their first entity.
    assert [(layer.name, layer.listed, layer.entities) for layer in info.layers] == [
        ("walls", False, 2), ("doors", False, 2)]
    assert info.extent is None and info.blocks == []


def test_the_info_of_a_missing_file_is_an_open_error(tmp_path):
    info = vexlor_dxf.drawing_info(tmp_path / "missing.dxf")
    assert info.result is vexlor_dxf.Result.OPEN_ERROR and info.error
