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
import secrets
from collections.abc import Sequence
from typing import Any, Callable, Iterator, Optional

import numpy as np

from . import _native, _records

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


class ExportResult(enum.IntEnum):
    """The outcome of ``export_mesh`` and ``export_contours``, the library's export codes."""

    OK = 0  #: the file was written completely
    OPEN_ERROR = 2  #: the file cannot be created
    WRITE_ERROR = 3  #: writing failed (the disk is full); an earlier file stays as it was
    CANCELLED = 4  #: the progress callable returned False; an earlier file stays as it was


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


def _path_bytes(path: "os.PathLike[str] | str") -> bytes:
    return os.fsencode(os.fspath(path))


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


def _mesh_arrays(vertices: Any, faces: Any) -> tuple[np.ndarray, np.ndarray]:
    try:
        points = np.asarray(vertices, dtype=np.float64)
    except (TypeError, ValueError) as error:
        raise ValueError(f"vertices must be numbers: {error}") from None
    if points.ndim != 2 or points.shape[1] != 3:
        raise ValueError(f"vertices must be an (N, 3) array, not of shape {points.shape}")
    indices = np.asarray(faces)
    if indices.dtype.kind not in "iu":
        raise ValueError(f"faces must be an integer array, not {indices.dtype}")
    if indices.ndim != 2 or indices.shape[1] != 3:
        raise ValueError(f"faces must be an (M, 3) array, not of shape {indices.shape}")
    if indices.shape[0] == 0:
        raise ValueError("faces is empty: a mesh needs at least one face")
    low, high = int(indices.min()), int(indices.max())
    if low < 0 or high >= len(points):
        bad = low if low < 0 else high
        raise ValueError(f"face index {bad} is outside the {len(points)} vertices")
    return np.ascontiguousarray(points), np.ascontiguousarray(indices, dtype=np.uint64)


def _temporary_beside(target: str) -> str:
    folder = os.path.dirname(target) or "."
    stem = os.path.basename(target)
    for _ in range(100):
        candidate = os.path.join(folder, f".{stem}.{secrets.token_hex(4)}.tmp")
        try:
            # 0o666 less the umask, as a new file of the target's own would have.
            os.close(os.open(candidate, os.O_WRONLY | os.O_CREAT | os.O_EXCL, 0o666))
        except FileExistsError:
            continue
        return candidate
    raise FileExistsError(f"no free temporary name beside {target}")


_VERSIONS = {"R2000": 0, "R12": 1}  # the library's EDxfVersion


def _version_code(version: str) -> int:
    code = _VERSIONS.get(version.upper()) if isinstance(version, str) else None
    if code is None:
        raise ValueError(f"version must be 'R2000' or 'R12', not {version!r}")
    return code


def _units_code(units: "int | str") -> int:
    """An $INSUNITS code from a code or a unit symbol; 0 is unitless."""
    if isinstance(units, str):
        code = _native.unit_code(units)
        if code == 0:
            raise ValueError(f"{units!r} is not the symbol of a unit (mm, in, m, ...)")
        return code
    if isinstance(units, bool) or not isinstance(units, (int, np.integer)):
        raise ValueError(f"units must be an $INSUNITS code or a unit symbol, not {units!r}")
    code = int(units)
    if code != 0 and _native.unit_words(code) is None:
        raise ValueError(f"{code} is not the $INSUNITS code of a unit")
    return code


def _layer_bytes(layer: Any, where: str) -> bytes:
    if layer is None:
        return b""
    if not isinstance(layer, str):
        raise ValueError(f"{where}: the layer must be a str, not {type(layer).__name__}")
    # Lone surrogates pass as they are, so that the writer refuses them as not UTF-8.
    return layer.encode("utf-8", "surrogatepass")


def _write_result(outcome: tuple[int, str], path: Any) -> ExportResult:
    code, error = outcome
    if code == 1:  # refused before anything was written
        raise ValueError(error)
    if code in (2, 3):
        raise OSError(f"{os.fspath(path)}: {error or 'cannot be written'}")
    return ExportResult(code)


def _contour_items(contours: Any) -> list[tuple[np.ndarray, bool, bytes]]:
    if isinstance(contours, ContourImport):
        contours = contours.contours
    items = []
    for index, contour in enumerate(contours):
        where = f"contour {index}"
        if hasattr(contour, "points"):
            points = contour.points
            closed = getattr(contour, "closed", False)
            layer = getattr(contour, "layer", None)
        elif isinstance(contour, (tuple, list)) and 1 <= len(contour) <= 3:
            points, closed, layer = (*contour, *(False, None)[len(contour) - 1:])
        else:
            raise ValueError(
                f"{where} must be a Contour, an object with points, closed and layer, or a "
                f"(points, closed, layer) tuple, not {type(contour).__name__}"
            )
        try:
            array = np.asarray(points, dtype=np.float64)
        except (TypeError, ValueError) as error:
            raise ValueError(f"{where}: points must be numbers: {error}") from None
        if array.size == 0:
            array = array.reshape(0, 2)
        if array.ndim != 2 or array.shape[1] != 2:
            raise ValueError(f"{where}: points must be an (N, 2) array, not of shape {array.shape}")
        items.append((np.ascontiguousarray(array), bool(closed), _layer_bytes(layer, where)))
    return items


def export_contours(
    contours: Any,
    path: "os.PathLike[str] | str",
    *,
    version: str = "R2000",
    units: "int | str" = 0,
    y_down: bool = False,
    progress: Optional[Callable[[float], Optional[bool]]] = None,
) -> ExportResult:
    """Writes contours as a DXF drawing of polylines, in their order: R2000 LWPOLYLINEs
    (``version="R2000"``, the default) or R12 POLYLINEs (``version="R12"``), each closed as it
    is closed and on its layer (None or "" is layer "0"), with the LAYER table, handles,
    ``$INSUNITS`` and ``$EXTMIN``/``$EXTMAX``.

    ``contours`` is what ``import_contours`` gave back (or its ``contours``), or the host's own:
    a sequence of objects with ``points`` (an (N, 2) array), ``closed`` and ``layer``, or of
    ``(points, closed, layer)`` tuples (``closed`` and ``layer`` may be left off). ``units`` is
    an $INSUNITS code or a unit symbol such as "mm" (0: unitless); coordinates are written as
    they are. ``y_down``: the points are y down (imported with ``y_down=True``), so y is negated
    on writing.

    Coordinates are written with the fewest digits that read back to the same double: importing
    the file with ``link`` as the contours were imported with, ``linking_distance`` the import's
    ``linking_distance``, ``link_within_tolerance=False`` and ``y_down`` as here gives the same
    points bit for bit, layers and closed flags, for contours as the import makes them.

    Refused with ValueError, before any file is touched: a coordinate that is not finite, a
    contour of fewer than 2 points, a layer name a DXF cannot hold (the message says which and
    why), a wrong shape, an unknown version or unit. A file that cannot be created or written
    raises OSError. ``progress(fraction)`` is called as for ``export_mesh``: returning False
    cancels (``ExportResult.CANCELLED``), an exception it raises cancels and passes through,
    Ctrl-C cancels and raises KeyboardInterrupt. The library writes a temporary file beside
    ``path`` and renames it over ``path`` when complete, so a refused, cancelled or failed write
    leaves an earlier file exactly as it was. The result is ``ExportResult.OK`` or
    ``CANCELLED``.
    """
    items = _contour_items(contours)
    outcome = _native.write_contours(
        items, _path_bytes(path), _version_code(version), _units_code(units), bool(y_down),
        progress,
    )
    return _write_result(outcome, path)


def _transform_matrix(transform: Any) -> np.ndarray:
    if transform is None:
        return np.eye(4)
    matrix = np.ascontiguousarray(transform, dtype=np.float64)
    if matrix.shape != (4, 4):
        raise ValueError(f"transform must be 4x4, not of shape {matrix.shape}")
    return matrix


def export_mesh(
    vertices: Any,
    faces: Any,
    path: "os.PathLike[str] | str",
    progress: Optional[Callable[[float], Optional[bool]]] = None,
    *,
    transform: Any = None,
    polyface: bool = False,
    layer: Optional[str] = None,
    units: "int | str | None" = None,
    version: Optional[str] = None,
) -> ExportResult:
    """Writes a triangle mesh as an ASCII DXF file: by default as it always was, an AC1009 file
    of one 3DFACE per face with no layer or units; with any of ``polyface=True``, ``layer``,
    ``units`` or ``version`` given, with the library's mesh writer as CAD programs prefer it.

    ``vertices`` is an (N, 3) array of numbers, ``faces`` an (M, 3) integer array of indices
    into it; a wrong shape or type, no face, or an index outside the vertices raises ValueError
    before any file is touched. ``transform`` (optional) is a 4x4 placement matrix applied as
    ``x' = m[0,0] x + m[1,0] y + m[2,0] z + m[3,0]`` (the library's m0..m15 in row-major order).

    ``progress(fraction)`` is called about a thousand times at most; returning False cancels
    (``ExportResult.CANCELLED``), an exception cancels and passes through. Ctrl-C cancels and
    raises KeyboardInterrupt. The file is written beside ``path`` under a temporary name and
    renamed over it only when complete, so a cancelled or failed export leaves an earlier file
    as it was.

    The mesh writer: ``polyface=True`` writes one POLYFACE mesh (a POLYLINE whose vertices are
    written once, bit-identical ones shared, and a face record per triangle; split into several
    beyond 32767 vertices or faces), otherwise one 3DFACE per triangle; ``layer`` is the layer
    of every entity (None: "0"), refused with ValueError when a DXF cannot hold it; ``units``
    an $INSUNITS code or a unit symbol such as "mm" (None: 0, unitless); ``version`` "R2000"
    (the default) or "R12". A placed vertex that is not finite is a ValueError before any file
    is touched. Progress, cancelling, Ctrl-C, the results and the replacing of the file are as
    above.
    """
    points, indices = _mesh_arrays(vertices, faces)
    matrix = _transform_matrix(transform)
    if polyface or layer is not None or units is not None or version is not None:
        outcome = _native.write_mesh(
            points, indices, matrix, _path_bytes(path), progress,
            _version_code("R2000" if version is None else version), bool(polyface),
            _layer_bytes(layer, "the mesh"), _units_code(0 if units is None else units),
        )
        code, error = outcome
        if code == 1:
            raise ValueError(error)
        return ExportResult(code)
    target = os.path.realpath(os.fspath(path))  # a link stays a link
    if os.path.exists(target) and not os.path.isfile(target):
        # A device or a FIFO cannot be replaced: it is written directly.
        return ExportResult(_native.export_mesh(points, indices, matrix, _path_bytes(target), progress))
    try:
        temporary = _temporary_beside(target)
    except OSError:
        return ExportResult.OPEN_ERROR
    try:
        if os.path.exists(target):
            os.chmod(temporary, os.stat(target).st_mode & 0o7777)
        result = ExportResult(
            _native.export_mesh(points, indices, matrix, _path_bytes(temporary), progress)
        )
        if result == ExportResult.OK:
            try:
                os.replace(temporary, target)
            except OSError:
                result = ExportResult.WRITE_ERROR
    finally:
        if os.path.exists(temporary):
            os.remove(temporary)
    return result
