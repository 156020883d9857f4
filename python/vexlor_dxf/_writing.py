# The writers of vexlor_dxf: meshes and contours out as DXF drawings, through the native module.
# SPDX-License-Identifier: MIT
from __future__ import annotations

import enum
import os
import secrets
from typing import Any, Callable, Optional

import numpy as np

from . import _native


class ExportResult(enum.IntEnum):
    """The outcome of ``export_mesh`` and ``export_contours``, the library's export codes."""

    OK = 0  #: the file was written completely
    OPEN_ERROR = 2  #: the file cannot be created
    WRITE_ERROR = 3  #: writing failed (the disk is full); an earlier file stays as it was
    CANCELLED = 4  #: the progress callable returned False; an earlier file stays as it was


def _path_bytes(path: "os.PathLike[str] | str") -> bytes:
    return os.fsencode(os.fspath(path))


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
    contours = getattr(contours, "contours", contours)  # an import gives its contours
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
