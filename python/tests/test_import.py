# The accurate import from every kind of source, its options, the polyline reader and GeoJSON.
# SPDX-License-Identifier: MIT
import io
import pathlib

import numpy as np
import pytest

import vexlor_dxf
from vexlor_dxf import Result
from conftest import CROSSING, PLATE, RECTANGLE, drawing, line

# (name, how the test makes the source from the drawing's path and bytes)
SOURCES = [
    ("str path", lambda path, data: str(path)),
    ("pathlib path", lambda path, data: path),
    ("bytes", lambda path, data: data),
    ("bytearray", lambda path, data: bytearray(data)),
    ("memoryview", lambda path, data: memoryview(data)),
    ("memoryview of every second byte", lambda path, data: memoryview(bytes(
        b for pair in zip(data, b"\0" * len(data)) for b in pair))[::2]),
    ("BytesIO", lambda path, data: io.BytesIO(data)),
    ("open binary file", lambda path, data: open(path, "rb")),
]


@pytest.mark.parametrize("name, make", SOURCES, ids=[s[0] for s in SOURCES])
def test_every_source_gives_the_same_contours(tmp_path, name, make):
    path = tmp_path / "plate ü.dxf"  # a name beyond ASCII goes through as UTF-8
    path.write_bytes(PLATE)
    source = make(path, PLATE)
    imported = vexlor_dxf.import_contours(source)
    if hasattr(source, "close"):
        source.close()
    assert imported.result is Result.OK and imported.error == ""
    assert [(c.entity, c.layer, c.closed, c.handle) for c in imported.contours] == [
        ("LWPOLYLINE", "plate", True, ""), ("LINE", "cut", False, "2A")]
    assert imported.contours[0].points.tolist() == [list(p) for p in RECTANGLE]
    # The two lines on "cut" meet at (30, 0) and are linked into one path.
    assert imported.contours[1].points.tolist() == [[20, 0], [30, 0], [30, 8]]
    assert imported.box == (0, 0, 30, 8)


def test_a_file_read_in_small_pieces_gives_the_same_contours():
    class Trickle:  # read() gives at most 7 bytes, as a pipe may
        def __init__(self, data):
            self.stream = io.BytesIO(data)

        def read(self, size=-1):
            return self.stream.read(7)

    assert len(vexlor_dxf.import_contours(Trickle(PLATE)).contours) == 2


@pytest.mark.parametrize("source, error", [
    (io.StringIO(PLATE.decode()), TypeError),  # a text file: no bytes
    (12, TypeError),
])
def test_sources_that_are_no_drawing_are_refused(source, error):
    with pytest.raises(error):
        vexlor_dxf.import_contours(source)


def test_an_exception_of_the_file_object_passes_through():
    class Broken:
        def read(self, size=-1):
            raise OSError("the disk went away")

    with pytest.raises(OSError, match="the disk went away"):
        vexlor_dxf.import_contours(Broken())


@pytest.mark.parametrize("source, result", [
    (b"0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n", Result.READ_ERROR),  # a group cut off
    (b"0\nEOF\n", Result.EMPTY),
    (CROSSING, Result.INTERSECTING),
    (drawing(line(0, "1.5.2", 1, 1)), Result.READ_ERROR),
])
def test_results_of_drawings(source, result):
    assert vexlor_dxf.import_contours(source).result is result


def test_a_missing_file_is_a_result_not_an_exception(tmp_path):
    imported = vexlor_dxf.import_contours(tmp_path / "missing.dxf")
    assert imported.result is Result.OPEN_ERROR and len(imported) == 0 and imported.box is None


def test_a_read_error_names_the_line_and_entity():
    imported = vexlor_dxf.import_contours(drawing(line(0, "1.5.2", 1, 1)))
    assert "LINE" in imported.error and "1.5.2" in imported.error and imported.error.startswith("line ")


INCHES = "9\n$INSUNITS\n70\n1\n"
# (options, the drawing, what the contours' points must then be)
OPTIONS = [
    ({}, PLATE, [RECTANGLE, [(20, 0), (30, 0), (30, 8)]]),
    ({"y_down": True}, PLATE, [[(x, -y) for x, y in RECTANGLE], [(20, 0), (30, 0), (30, -8)]]),
    # Without linking the two lines stay apart.
    ({"link": False}, PLATE, [RECTANGLE, [(20, 0), (30, 0)], [(30, 0), (30, 8)]]),
    # Layers are compared without regard to case; a list or one name.
    ({"layers": ["CUT"]}, PLATE, [[(20, 0), (30, 0), (30, 8)]]),
    ({"layers": "plate"}, PLATE, [RECTANGLE]),
    # Inches to millimetres, by code or by symbol.
    ({"units": 4}, drawing(line(0, 0, 1, 2), header=INCHES), [[(0, 0), (25.4, 50.8)]]),
    ({"units": "mm"}, drawing(line(0, 0, 1, 2), header=INCHES), [[(0, 0), (25.4, 50.8)]]),
    # Ends 0.001 apart are joined only when the linking distance allows it.
    ({"linking_distance": 0.01}, drawing(line(0, 0, 1, 0), line(1.001, 0, 2, 0)),
     [[(0, 0), (1, 0), (2, 0)]]),
    ({}, drawing(line(0, 0, 1, 0), line(1.001, 0, 2, 0)), [[(0, 0), (1, 0)], [(1.001, 0), (2, 0)]]),
]


@pytest.mark.parametrize("options, data, expected", OPTIONS)
def test_options(options, data, expected):
    imported = vexlor_dxf.import_contours(data, **options)
    got = [c.points.tolist() for c in imported.contours]
    assert len(got) == len(expected)
    for points, want in zip(got, expected):
        np.testing.assert_allclose(points, want, rtol=1e-15, atol=0)


def test_units_report_the_conversion():
    imported = vexlor_dxf.import_contours(drawing(line(0, 0, 1, 0), header=INCHES), units="mm")
    assert (imported.units, imported.scale) == (1, 25.4)
    assert imported.report["scale"] == 25.4


def test_a_tolerance_bounds_the_chord_error_of_a_circle():
    circle = b"0\nCIRCLE\n8\n0\n10\n0\n20\n0\n40\n10\n"
    for tolerance in (0.1, 0.001):
        points = vexlor_dxf.import_contours(drawing(circle.decode()), tolerance=tolerance)
        points = points.contours[0].points
        radii = np.hypot(points[:, 0], points[:, 1])
        np.testing.assert_allclose(radii, 10, rtol=0, atol=1e-9)  # vertices on the circle
        # The sagitta of the longest chord is within the tolerance.
        chord = np.max(np.hypot(*np.diff(np.vstack([points, points[:1]]), axis=0).T))
        assert 10 - np.sqrt(100 - (chord / 2) ** 2) <= tolerance * (1 + 1e-9)


@pytest.mark.parametrize("options, error", [
    ({"tolerance": -1}, ValueError),
    ({"linking_distance": 0}, ValueError),
    ({"units": 99}, ValueError),
    ({"units": "furlongs"}, ValueError),
    ({"colour": 1}, TypeError),
    ({"tolerance": "fine"}, TypeError),
])
def test_invalid_options_raise(options, error):
    with pytest.raises(error):
        vexlor_dxf.import_contours(PLATE, **options)


def test_a_budget_too_small_is_a_read_error_not_a_crash():
    imported = vexlor_dxf.import_contours(PLATE, max_points=10)
    assert imported.result is Result.READ_ERROR and imported.error


def test_the_classic_reader_gives_its_exact_results(plate_file):
    classic = vexlor_dxf.import_classic(plate_file)
    assert classic.result is Result.OK
    # Single precision widened to double, y negated: 0.1 is the float nearest it.
    tenth = pathlib.Path(plate_file.parent / "tenth.dxf")
    tenth.write_bytes(drawing(line(0.1, 0.1, 1, 0)))
    polyline = vexlor_dxf.import_classic(tenth).polylines[0]
    assert polyline.points.tolist() == [[float(np.float32(0.1)), -float(np.float32(0.1))], [1.0, -0.0]]
    assert polyline.closed is False


def test_the_classic_reader_raises_value_error_for_a_bad_number(tmp_path):
    bad = tmp_path / "bad.dxf"
    bad.write_bytes(drawing(line(0, "abc", 1, 0)))
    with pytest.raises(ValueError):
        vexlor_dxf.import_classic(bad)
    bad.write_bytes(drawing(line(0, "1e999", 1, 0)))
    with pytest.raises(ValueError):
        vexlor_dxf.import_classic(bad)
    assert vexlor_dxf.import_classic(tmp_path / "missing.dxf").result is Result.OPEN_ERROR


shapely = pytest.importorskip("shapely.geometry", reason="shapely is not installed")


def test_shapely_reads_a_contour_and_the_whole_import():
    imported = vexlor_dxf.import_contours(PLATE)
    ring = shapely.shape(imported.contours[0])
    assert ring.geom_type == "LineString" and ring.is_ring
    assert shapely.Polygon(ring.coords).area == 50  # the 10 by 5 rectangle
    path = shapely.shape(imported.contours[1])
    assert not path.is_ring and path.length == 18
    features = imported.__geo_interface__["features"]
    assert [f["properties"]["layer"] for f in features] == ["plate", "cut"]
    assert [shapely.shape(f["geometry"]).length for f in features] == [30, 18]


def square(x, y, side):
    from conftest import lwpolyline
    return lwpolyline([(x, y), (x + side, y), (x + side, y + side), (x, y + side)], True)


# A 10 by 10 outline with a 3 by 3 hole, and two lines whose ends miss by 0.001.
REGION = drawing(square(0, 0, 10), square(2, 2, 3), line(20, 0, 30, 0), line(30.001, 0, 40, 0))


def test_the_analysis_gives_regions_shapely_reads_and_gaps():
    imported = vexlor_dxf.import_contours(REGION, analyse=True)
    (region,) = imported.regions
    assert (region.outline, region.holes, region.area) == (0, [1], 91)
    polygon = shapely.shape(region)
    assert polygon.geom_type == "Polygon" and polygon.area == 91 and len(polygon.interiors) == 1
    assert polygon.contains(shapely.Point(1, 1)) and not polygon.contains(shapely.Point(3, 3))
    (gap,) = imported.gaps
    assert (gap.first, gap.second, gap.start, gap.end) == (2, 3, (30, 0), (30.001, 0))
    assert gap.distance == pytest.approx(0.001, rel=1e-9)
    assert imported.open_contours == [2, 3] and [n.parent for n in imported.nesting] == [None, 0, None, None]
    # Without the analysis there is none.
    plain = vexlor_dxf.import_contours(REGION)
    assert plain.regions == [] and plain.gaps == []


def test_a_broken_structure_is_read_past_and_listed_unless_strict():
    # The ENTITIES section has no ENDSEC: the EOF marker ends it.
    cut = drawing(line(0, 0, 1, 0)).replace(b"0\nENDSEC\n", b"")
    imported = vexlor_dxf.import_contours(cut)
    assert imported.result is Result.OK and len(imported.recoveries) == 1
    assert "ENDSEC" in imported.recoveries[0]
    strict = vexlor_dxf.import_contours(cut, strict_structure=True)
    assert strict.result is Result.READ_ERROR and "ENDSEC" in strict.error
