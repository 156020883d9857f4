# The vexlor_dxf package: DXF drawings to contours as NumPy arrays, and triangle meshes to DXF.
# SPDX-License-Identifier: MIT
"""DXF import of 2D contours and export of contours and triangle meshes, with NumPy arrays.

``import_contours`` reads a drawing (a path, bytes or a binary file object) into contours whose
points are (N, 2) float64 arrays over the library's own buffers; ``import_classic`` runs the
polyline reader; ``export_contours`` writes contours back as a clean drawing of polylines;
``export_mesh`` writes an indexed triangle mesh as DXF faces or a polyface mesh. Every call
releases the GIL while the library works, so threads import drawings in parallel.
``vexlor_dxf.batch`` imports many drawings on a Dask cluster.
"""

from __future__ import annotations

import enum
import os
from collections.abc import Sequence
from typing import Any, Iterator, Optional

import numpy as np

from . import _native, _records
from ._writing import ExportResult, _path_bytes, export_contours, export_mesh

__all__ = [
    "Result",
    "ExportResult",
    "Contour",
    "ContourImport",
    "ClassicImport",
    "ClassicPolyline",
    "Region",
    "import_contours",
    "import_classic",
    "drawing_info",
    "DrawingInfo",
    "export_mesh",
    "export_contours",
]


class Result(enum.IntEnum):
    """The outcome of an import, the library's result codes."""

    OK = 0  #: contours, and none crosses another
    READ_ERROR = 1  #: the drawing cannot be read to its end; ``error`` says why
    OPEN_ERROR = 2  #: the file cannot be opened
    EMPTY = 3  #: no contour
    INTERSECTING = 4  #: two contours cross


_OPTION_NAMES = tuple(
    name for name in dir(_native.ContourOptions) if not name.startswith("_")
)


def _options(given: dict[str, Any]) -> _native.ContourOptions:
    options = _native.ContourOptions()
    for name, value in given.items():
        if name not in _OPTION_NAMES:
            raise TypeError(
                f"import_contours() got an unexpected keyword argument {name!r}; "
                f"the options are {', '.join(_OPTION_NAMES)}"
            )
        if name == "units" and isinstance(value, str):
            code = _native.unit_code(value)
            if code == 0:
                raise ValueError(f"{value!r} is not the symbol of a unit (mm, in, m, ...)")
            value = code
        if name == "layers":
            value = [value] if isinstance(value, str) else list(value or [])
        setattr(options, name, value)
    return options


def _ring(points: np.ndarray, closed: bool) -> list[list[float]]:
    coordinates = points.tolist()
    if closed and coordinates:
        coordinates.append(coordinates[0])
    return coordinates


class _Polyline:
    """A polyline held by a native import, by its index: its points and whether it is closed."""

    __slots__ = ("_native", "_index")

    def __init__(self, native, index: int) -> None:
        self._native = native
        self._index = index

    @property
    def points(self) -> np.ndarray:
        return self._native.points(self._index)

    @property
    def closed(self) -> bool:
        return self._native.closed(self._index)


class Contour(_Polyline):
    """One contour of an accurate import: its points and where its first piece came from.

    ``points`` is a read-only (N, 2) float64 array over the import's own buffer (no copy); it
    keeps the import alive. A closed contour does not repeat its first point at the end.
    """

    __slots__ = ()

    @property
    def layer(self) -> str:
        """The layer name (UTF-8 in the drawing)."""
        return self._native.layer(self._index)

    @property
    def entity(self) -> str:
        """The entity kind: "LINE", "LWPOLYLINE", "SPLINE", ..."""
        return self._native.entity(self._index)

    @property
    def handle(self) -> str:
        """The handle as the drawing writes it, or ""."""
        return self._native.handle(self._index)

    def __len__(self) -> int:
        return len(self.points)

    @property
    def __geo_interface__(self) -> dict[str, Any]:
        """A GeoJSON-like LineString; a closed contour's first point is repeated at its end,
        so that it is a ring."""
        return {"type": "LineString", "coordinates": _ring(self.points, self.closed)}

    def __repr__(self) -> str:
        kind = "closed" if self.closed else "open"
        return f"<Contour {self.entity} on {self.layer!r}, {kind}, {len(self)} points>"


class _Contours(Sequence):
    """The contours of an import, made as they are asked for."""

    __slots__ = ("_native",)

    def __init__(self, native: _native.AccurateImport) -> None:
        self._native = native

    def __len__(self) -> int:
        return len(self._native)

    def __getitem__(self, index):  # type: ignore[override]
        if isinstance(index, slice):
            return [Contour(self._native, i) for i in range(*index.indices(len(self)))]
        count = len(self)
        if index < 0:
            index += count
        if not 0 <= index < count:
            raise IndexError("contour index out of range")
        return Contour(self._native, index)

    def __iter__(self) -> Iterator[Contour]:
        for i in range(len(self)):
            yield Contour(self._native, i)


class ContourImport:
    """What ``import_contours`` gives back: the result, the contours and the report."""

    __slots__ = ("_native", "contours")

    def __init__(self, native: _native.AccurateImport) -> None:
        self._native = native
        #: The contours in the library's order, a sequence of ``Contour``.
        self.contours: Sequence[Contour] = _Contours(native)

    @property
    def result(self) -> Result:
        return Result(self._native.result)

    @property
    def error(self) -> str:
        """For ``Result.READ_ERROR``: what is wrong, with the line (or byte) and the entity."""
        return self._native.error

    @property
    def box(self) -> Optional[tuple[float, float, float, float]]:
        """(minimum x, minimum y, maximum x, maximum y) of the contours' points; None without
        contours."""
        if len(self._native) == 0:
            return None
        return self._native.minimum + self._native.maximum

    @property
    def units(self) -> int:
        """The drawing's $INSUNITS code (0: unitless)."""
        return self._native.units

    @property
    def tolerance(self) -> float:
        """The chord tolerance used, in the units of the result."""
        return self._native.tolerance

    @property
    def scale(self) -> float:
        """The factor that took drawing units to the units asked for (1 without conversion)."""
        return self._native.scale

    @property
    def binary(self) -> bool:
        return self._native.binary

    @property
    def skipped(self) -> dict[str, int]:
        """What was not turned into contours, by entity kind, and count."""
        return self._native.skipped

    @property
    def approximations(self) -> dict[str, int]:
        """Every approximation the caller should know about, and count."""
        return self._native.approximations

    @property
    def report(self) -> dict[str, Any]:
        """The report as the tool's JSON gives it: units, scale, tolerance, skipped and
        approximations."""
        return {
            "units": self.units,
            "scale": self.scale,
            "tolerance": self.tolerance,
            "skipped": self.skipped,
            "approximations": self.approximations,
        }

    def to_json(self, name: str, *, error: Optional[str] = None) -> bytes:
        """The JSON record in the layout of the tool's ``import --json``, naming the drawing
        ``name``: file, result, error (``error``, by default the import's own; null when
        empty), crossing, box, report, and one polyline a line."""
        return _records.import_json(self, name, self.error if error is None else error)

    def to_svg(self, name: str, *, y_up: bool = True) -> bytes:
        """An SVG picture of the contours, upright and captioned with ``name``. ``y_up``: the
        contours' y points up (imported without ``y_down``), so the picture negates it."""
        return _records.import_svg(self, name, y_up)

    @property
    def __geo_interface__(self) -> dict[str, Any]:
        """A GeoJSON-like FeatureCollection: a Feature per contour, its geometry the contour's
        and its properties the layer, entity, handle and closed flag."""
        return {
            "type": "FeatureCollection",
            "features": [
                {
                    "type": "Feature",
                    "geometry": contour.__geo_interface__,
                    "properties": {
                        "layer": contour.layer,
                        "entity": contour.entity,
                        "handle": contour.handle,
                        "closed": contour.closed,
                    },
                }
                for contour in self.contours
            ],
        }

    def __len__(self) -> int:
        return len(self.contours)

    def __repr__(self) -> str:
        return f"<ContourImport {self.result.name}, {len(self)} contours>"


def _passed_through(name: str, doc: str) -> property:
    return property(lambda self: getattr(self._native, name), doc=doc)


# The analysis of ``analyse=True`` (empty without it) and what later parts of the library add,
# as the native records give them; indices are into ``contours``.
_ANALYSIS = {
    "linking_distance": "The linking distance that was used, in the units of the result.",
    "gaps": "Open ends closer than ``gap_distance`` that were not joined, nearest first: "
    "records of first, second, first_at_back, second_at_back, start, end and distance.",
    "gaps_complete": "Whether every gap was reported (False when ``max_reported`` was reached).",
    "crossings": "Crossing pairs of contours (first, second, at), self-crossings among them.",
    "crossing_count": "Every crossing pair found, also beyond ``max_reported``.",
    "crossings_complete": "Whether the search for crossings went to its end.",
    "nesting": "One record per contour: parent (an index or None), depth and signed area.",
    "open_contours": "The indices of the open contours, which belong to no region.",
    "nesting_well_defined": "Whether the nesting follows containment (False when contours "
    "cross).",
    "duplicates": "Contours drawn more than once: original, copies and dropped.",
    "recoveries": "Where the drawing's structure was broken and the import read on, in the "
    "drawing's order, each with its line.",
}
for _name, _doc in _ANALYSIS.items():
    setattr(ContourImport, _name, _passed_through(_name, _doc))


def _regions(self: ContourImport) -> list["Region"]:
    """The regions of ``analyse=True``: each an outline with its holes, in the order of their
    outlines."""
    return [Region(self, record) for record in self._native.regions]


ContourImport.regions = property(_regions)  # type: ignore[attr-defined]


class Region:
    """An outline (a closed contour of even depth) with its holes; ``__geo_interface__`` is the
    GeoJSON-like Polygon of them, which shapely and GeoPandas take directly."""

    __slots__ = ("_import", "outline", "holes", "area", "counter_clockwise")

    def __init__(self, imported: ContourImport, record: Any) -> None:
        self._import = imported
        #: The index of the outline and of each hole in ``contours``.
        self.outline: int = record.outline
        self.holes: list[int] = list(record.holes)
        #: The area covered: the outline's less its holes', without signs.
        self.area: float = record.area
        #: Whether the outline turns counter-clockwise seen with y up.
        self.counter_clockwise: bool = record.counter_clockwise

    @property
    def __geo_interface__(self) -> dict[str, Any]:
        contours = self._import.contours
        rings = [_ring(contours[i].points, True) for i in [self.outline, *self.holes]]
        return {"type": "Polygon", "coordinates": rings}

    def __repr__(self) -> str:
        return f"<Region of contour {self.outline}, {len(self.holes)} holes, area {self.area:g}>"


class ClassicPolyline(_Polyline):
    """One polyline of the polyline reader: a read-only (N, 2) float64 array over the reader's
    buffer, and whether it is closed."""

    __slots__ = ()

    def __len__(self) -> int:
        return len(self.points)

    @property
    def __geo_interface__(self) -> dict[str, Any]:
        return {
            "type": "LineString",
            "coordinates": _ring(self.points, self.closed),
        }


class ClassicImport:
    """What ``import_classic`` gives back: exactly the polyline reader's results."""

    __slots__ = ("_native", "polylines")

    def __init__(self, native: _native.ClassicImport) -> None:
        self._native = native
        self.polylines: list[ClassicPolyline] = [
            ClassicPolyline(native, i) for i in range(len(native))
        ]

    @property
    def result(self) -> Result:
        return Result(self._native.result)

    @property
    def left_top(self) -> tuple[float, float]:
        """(minimum x, minimum y) of every point read; (2147483647, 2147483647) before any."""
        return self._native.left_top

    @property
    def right_bottom(self) -> tuple[float, float]:
        """(maximum x, maximum y) of every point read; (-2147483647, -2147483647) before any."""
        return self._native.right_bottom

    def __len__(self) -> int:
        return len(self.polylines)

    def __repr__(self) -> str:
        return f"<ClassicImport {self.result.name}, {len(self)} polylines>"


def import_contours(source: Any, **options: Any) -> ContourImport:
    """Imports the contours of a DXF drawing (ASCII or binary).

    ``source`` is a path (str or os.PathLike), the drawing's bytes (bytes, bytearray,
    memoryview), or a binary file object (anything with ``read``). ``options`` are the
    library's ContourOptions with the same defaults and names in snake case: ``tolerance``,
    ``relative_tolerance``, ``y_down``, ``linking_distance``, ``link_within_tolerance``,
    ``link``, ``layers`` (a list, or one name), ``hidden_layers``, ``units`` (an $INSUNITS code
    or a symbol such as "mm"), ``max_points``, and for the analysis ``analyse``,
    ``gap_distance``, ``max_reported``, ``orient`` and ``drop_duplicates``; and
    ``strict_structure``.

    Every outcome of the drawing is a ``Result``; a path that cannot be opened is
    ``Result.OPEN_ERROR``, not an exception. Invalid options raise ValueError, an unknown one
    TypeError, exhausted memory MemoryError; an exception of the file object's ``read`` passes
    through.
    """
    native_options = _options(options)
    if isinstance(source, (bytes, bytearray, memoryview)):
        if isinstance(source, memoryview) and not source.c_contiguous:
            source = source.tobytes()  # the library reads one run of bytes
        native = _native.import_buffer(source, native_options)
    elif isinstance(source, (str, os.PathLike)):
        native = _native.import_path(_path_bytes(source), native_options)
    elif hasattr(source, "read"):
        native = _native.import_file(source, native_options)
    else:
        raise TypeError(
            "source must be a path (str or os.PathLike), bytes or a binary file object, "
            f"not {type(source).__name__}"
        )
    return ContourImport(native)


class DrawingInfo:
    """What ``drawing_info`` tells of a drawing: ``result`` (``Result.OK``, ``READ_ERROR`` or
    ``OPEN_ERROR``), ``error``, ``binary``, ``version`` ("AC1027"), ``release`` ("R2013"),
    ``code_page``, ``units``, ``extent`` (((x, y, z), (x, y, z)) from the header, or None),
    ``layers`` (records of name, listed, frozen, off, locked and entities), ``entities`` (the
    model space's by kind), ``paper_space_entities`` and ``blocks`` (records of name, entities
    and inserts)."""

    def __init__(self, native: Any) -> None:
        self._native = native

    @property
    def result(self) -> Result:
        return Result(self._native.result)

    def __getattr__(self, name: str) -> Any:
        if name.startswith("_"):
            raise AttributeError(name)
        return getattr(self._native, name)

    def __repr__(self) -> str:
        return f"<DrawingInfo {self.result.name} {self._native.version or 'no version'}>"


def drawing_info(source: Any) -> DrawingInfo:
    """What the drawing holds, told without importing it, as the tool's ``info`` command tells
    it: its version, units, extent, layers, entity kinds and blocks. ``source`` is a path, bytes
    or a binary file object, as for ``import_contours``."""
    if isinstance(source, (bytes, bytearray, memoryview)):
        if isinstance(source, memoryview) and not source.c_contiguous:
            source = source.tobytes()
        return DrawingInfo(_native.info_buffer(source))
    if isinstance(source, (str, os.PathLike)):
        return DrawingInfo(_native.info_path(_path_bytes(source)))
    if hasattr(source, "read"):
        return DrawingInfo(_native.info_file(source))
    raise TypeError(
        "source must be a path (str or os.PathLike), bytes or a binary file object, "
        f"not {type(source).__name__}"
    )


def import_classic(path: "os.PathLike[str] | str") -> ClassicImport:
    """Runs the polyline reader on the drawing at ``path``: its exact results (y negated, single
    precision, blocks not instanced). A value that is not a number, or out of range, raises
    ValueError, as the reader throws; a stream that fails on a file that opened raises OSError."""
    return ClassicImport(_native.import_classic(_path_bytes(path)))
