# The writers: contours written and read back bit for bit, refused input and cancelling that
# leave an earlier file as it was, and meshes as ezdxf reads them.
# SPDX-License-Identifier: MIT
import os
import re
from pathlib import Path

import numpy as np
import pytest

import vexlor_dxf
from vexlor_dxf import ExportResult

EXAMPLES = Path(__file__).resolve().parents[2] / "examples"


@pytest.mark.parametrize("version", ["R2000", "R12"])
@pytest.mark.parametrize("y_down", [False, True])
@pytest.mark.parametrize("name", ["flange_arcs.dxf", "cover_plate.dxf", "block_hatch.dxf"])
def test_an_imported_drawing_reads_back_bit_for_bit(tmp_path, name, version, y_down):
    first = vexlor_dxf.import_contours(EXAMPLES / name, y_down=y_down)
    target = tmp_path / "out.dxf"
    assert vexlor_dxf.export_contours(first, target, version=version, units=first.units,
                                      y_down=y_down) is ExportResult.OK
    # Read back as the writer promises: linking as the first import did, not within tolerance.
    again = vexlor_dxf.import_contours(target, y_down=y_down, link_within_tolerance=False,
                                       linking_distance=first.linking_distance)
    assert len(first) > 0 and len(again) == len(first) and again.units == first.units
    for a, b in zip(first.contours, again.contours):
        assert np.array_equal(a.points, b.points) and (a.closed, a.layer) == (b.closed, b.layer)
    assert ("LWPOLYLINE" in target.read_text()) == (version == "R2000")
    assert os.listdir(tmp_path) == ["out.dxf"]


def test_the_hosts_own_contours_read_back_with_their_layers(tmp_path):
    # Thirds and tenths have no short decimal form: only the shortest exact digits bring them
    # back. "Blech-\u00e4" goes through the drawing's code page.
    triangle = np.array([[0.1, 1 / 3], [2 / 3, 0.2], [1e-7, 12345.678901234]])
    path = np.array([[100.0, 100.0], [101.5, 100.0]])
    target = tmp_path / "own.dxf"
    vexlor_dxf.export_contours([(triangle, True, "Blech-\u00e4"), (path, False)], target,
                               units="mm")
    again = vexlor_dxf.import_contours(target, link_within_tolerance=False)
    assert [(c.closed, c.layer) for c in again.contours] == [(True, "Blech-\u00e4"), (False, "0")]
    assert np.array_equal(again.contours[0].points, triangle) and again.units == 4
    assert np.array_equal(again.contours[1].points, path)


SQUARE = [[0, 0], [1, 0], [1, 1]]
# (what, contours, options, a part of the message)
REFUSED = [
    ("a NaN", [(SQUARE, True), ([[0, 0], [np.nan, 1]], False)], {}, "contour 1"),
    ("one point", [([[5, 5]], False)], {}, "contour 0"),
    ("a layer with a slash", [(SQUARE, True, "cut/1")], {}, "/"),
    ("a layer with a blank at its end", [(SQUARE, True, "cut ")], {}, "blank"),
    ("a layer of a lone surrogate", [(SQUARE, True, "\udc80")], {}, "UTF-8"),
    ("points of three coordinates", [([[0, 0, 0], [1, 1, 1]], False)], {}, "(N, 2)"),
    ("an unknown version", [(SQUARE, True)], {"version": "R14"}, "version"),
    ("an unknown unit", [(SQUARE, True)], {"units": "furlong"}, "furlong"),
]


@pytest.mark.parametrize("what, contours, options, said", REFUSED, ids=[r[0] for r in REFUSED])
def test_refused_input_is_a_value_error_and_no_file(tmp_path, what, contours, options, said):
    earlier = tmp_path / "earlier.dxf"
    earlier.write_text("earlier")
    for target in (tmp_path / "new.dxf", earlier):
        with pytest.raises(ValueError, match=re.escape(said)):
            vexlor_dxf.export_contours(contours, target, **options)
    assert os.listdir(tmp_path) == ["earlier.dxf"] and earlier.read_text() == "earlier"


def test_a_folder_that_does_not_exist_is_an_os_error(tmp_path):
    with pytest.raises(OSError):
        vexlor_dxf.export_contours([(SQUARE, True)], tmp_path / "no" / "out.dxf")


def raise_halfway(fraction):
    if fraction >= 0.5:
        raise RuntimeError("stop here")


@pytest.mark.parametrize("progress", [lambda fraction: fraction < 0.5, raise_halfway])
def test_cancelling_leaves_the_earlier_file_as_it_was(tmp_path, progress):
    many = [(np.array([[i, 0.0], [i, 1.0], [i + 0.5, 1.0]]), True) for i in range(3000)]
    target = tmp_path / "out.dxf"
    target.write_text("earlier")
    if progress is raise_halfway:
        with pytest.raises(RuntimeError):
            vexlor_dxf.export_contours(many, target, progress=progress)
    else:
        assert vexlor_dxf.export_contours(many, target, progress=progress) is ExportResult.CANCELLED
    assert target.read_text() == "earlier" and os.listdir(tmp_path) == ["out.dxf"]


# An octahedron: six vertices, each shared by four of its eight faces.
OCTAHEDRON = np.array([[1, 0, 0], [-1, 0, 0], [0, 1, 0], [0, -1, 0], [0, 0, 1], [0, 0, -1.5]])
FACES = np.array([[0, 2, 4], [2, 1, 4], [1, 3, 4], [3, 0, 4],
                  [2, 0, 5], [1, 2, 5], [3, 1, 5], [0, 3, 5]])


@pytest.mark.parametrize("polyface", [True, False])
@pytest.mark.parametrize("version", ["R2000", "R12"])
def test_a_mesh_reads_back_in_ezdxf_as_the_same_triangles(tmp_path, polyface, version):
    ezdxf = pytest.importorskip("ezdxf", reason="ezdxf reads the written meshes back")
    from ezdxf.render import MeshBuilder

    shift = np.eye(4)
    shift[3, :3] = [10, 20, 30]  # row-major: the translation is the last row
    target = tmp_path / "mesh.dxf"
    assert vexlor_dxf.export_mesh(OCTAHEDRON, FACES, target, transform=shift, polyface=polyface,
                                  layer="Mesh", units="mm", version=version) is ExportResult.OK
    document = ezdxf.readfile(str(target))
    assert not document.audit().has_errors
    if polyface:
        (entity,) = entities = document.modelspace().query("POLYLINE")
        assert entity.is_poly_face_mesh
        mesh = MeshBuilder.from_polyface(entity)
        triangles = [[tuple(mesh.vertices[i]) for i in face] for face in mesh.faces]
    else:
        entities = document.modelspace().query("3DFACE")
        triangles = [[tuple(f.dxf.get(f"vtx{k}")) for k in range(3)] for f in entities]
    placed = OCTAHEDRON + [10, 20, 30]
    assert triangles == [[tuple(placed[i]) for i in face] for face in FACES]
    assert {e.dxf.layer for e in entities} == {"Mesh"} and document.header["$INSUNITS"] == 4
    assert document.dxfversion == {"R2000": "AC1015", "R12": "AC1009"}[version]


def test_a_mesh_with_a_bad_layer_is_refused_without_a_file(tmp_path):
    target = tmp_path / "earlier.dxf"
    target.write_text("earlier")
    with pytest.raises(ValueError, match="layer"):
        vexlor_dxf.export_mesh(OCTAHEDRON, FACES, target, polyface=True, layer="a|b")
    assert target.read_text() == "earlier" and os.listdir(tmp_path) == ["earlier.dxf"]
