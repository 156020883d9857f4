# Type stubs of the vexlor_dxf package.
# SPDX-License-Identifier: MIT
import enum
import os
from collections.abc import Iterable, Sequence
from typing import Any, Callable, Literal, Optional, Protocol, Union, overload

import numpy as np
import numpy.typing as npt

_Path = Union[str, "os.PathLike[str]"]
_Source = Union[_Path, bytes, bytearray, memoryview, Any]

class Result(enum.IntEnum):
    OK = 0
    READ_ERROR = 1
    OPEN_ERROR = 2
    EMPTY = 3
    INTERSECTING = 4

class ExportResult(enum.IntEnum):
    OK = 0
    OPEN_ERROR = 2
    WRITE_ERROR = 3
    CANCELLED = 4

class Contour:
    @property
    def points(self) -> npt.NDArray[np.float64]: ...
    @property
    def closed(self) -> bool: ...
    @property
    def layer(self) -> str: ...
    @property
    def entity(self) -> str: ...
    @property
    def handle(self) -> str: ...
    def __len__(self) -> int: ...
    @property
    def __geo_interface__(self) -> dict[str, Any]: ...

class Gap:
    first: int
    second: int
    first_at_back: bool
    second_at_back: bool
    start: tuple[float, float]
    end: tuple[float, float]
    distance: float

class Crossing:
    first: int
    second: int
    at: tuple[float, float]

class Nesting:
    parent: Optional[int]
    depth: int
    area: float

class Duplicate:
    original: int
    copies: list[int]
    dropped: int

class Region:
    outline: int
    holes: list[int]
    area: float
    counter_clockwise: bool
    @property
    def __geo_interface__(self) -> dict[str, Any]: ...

class ContourImport:
    contours: Sequence[Contour]
    @property
    def result(self) -> Result: ...
    @property
    def error(self) -> str: ...
    @property
    def box(self) -> Optional[tuple[float, float, float, float]]: ...
    @property
    def units(self) -> int: ...
    @property
    def tolerance(self) -> float: ...
    @property
    def scale(self) -> float: ...
    @property
    def binary(self) -> bool: ...
    @property
    def skipped(self) -> dict[str, int]: ...
    @property
    def approximations(self) -> dict[str, int]: ...
    @property
    def report(self) -> dict[str, Any]: ...
    @property
    def recoveries(self) -> list[str]: ...
    @property
    def linking_distance(self) -> float: ...
    @property
    def gaps(self) -> list[Gap]: ...
    @property
    def gaps_complete(self) -> bool: ...
    @property
    def crossings(self) -> list[Crossing]: ...
    @property
    def crossing_count(self) -> int: ...
    @property
    def crossings_complete(self) -> bool: ...
    @property
    def nesting(self) -> list[Nesting]: ...
    @property
    def regions(self) -> list[Region]: ...
    @property
    def open_contours(self) -> list[int]: ...
    @property
    def nesting_well_defined(self) -> bool: ...
    @property
    def duplicates(self) -> list[Duplicate]: ...
    def to_json(self, name: str) -> bytes: ...
    def to_svg(self, name: str, *, y_up: bool = ...) -> bytes: ...
    @property
    def __geo_interface__(self) -> dict[str, Any]: ...
    def __len__(self) -> int: ...

class ClassicPolyline:
    @property
    def points(self) -> npt.NDArray[np.float64]: ...
    @property
    def closed(self) -> bool: ...
    def __len__(self) -> int: ...
    @property
    def __geo_interface__(self) -> dict[str, Any]: ...

class ClassicImport:
    polylines: list[ClassicPolyline]
    @property
    def result(self) -> Result: ...
    @property
    def left_top(self) -> tuple[float, float]: ...
    @property
    def right_bottom(self) -> tuple[float, float]: ...
    def __len__(self) -> int: ...

def import_contours(
    source: _Source,
    *,
    tolerance: float = ...,
    relative_tolerance: float = ...,
    y_down: bool = ...,
    linking_distance: float = ...,
    link_within_tolerance: bool = ...,
    link: bool = ...,
    layers: Union[str, Sequence[str], None] = ...,
    hidden_layers: bool = ...,
    units: Union[int, str] = ...,
    max_points: int = ...,
    analyse: bool = ...,
    gap_distance: float = ...,
    max_reported: int = ...,
    orient: bool = ...,
    drop_duplicates: bool = ...,
    strict_structure: bool = ...,
) -> ContourImport: ...
def import_classic(path: _Path) -> ClassicImport: ...
def export_mesh(
    vertices: npt.ArrayLike,
    faces: npt.ArrayLike,
    path: _Path,
    progress: Optional[Callable[[float], Optional[bool]]] = ...,
    *,
    transform: Optional[npt.ArrayLike] = ...,
    polyface: bool = ...,
    layer: Optional[str] = ...,
    units: Union[int, str, None] = ...,
    version: Optional[Literal["R2000", "R12"]] = ...,
) -> ExportResult: ...

class _HostContour(Protocol):
    @property
    def points(self) -> npt.ArrayLike: ...
    @property
    def closed(self) -> bool: ...
    @property
    def layer(self) -> Optional[str]: ...

_ContourItem = Union[
    Contour,
    _HostContour,
    tuple[npt.ArrayLike],
    tuple[npt.ArrayLike, bool],
    tuple[npt.ArrayLike, bool, Optional[str]],
]

def export_contours(
    contours: Union[ContourImport, Iterable[_ContourItem]],
    path: _Path,
    *,
    version: Literal["R2000", "R12"] = ...,
    units: Union[int, str] = ...,
    y_down: bool = ...,
    progress: Optional[Callable[[float], Optional[bool]]] = ...,
) -> ExportResult: ...

class LayerInfo:
    name: str
    listed: bool
    frozen: bool
    off: bool
    locked: bool
    entities: int

class BlockInfo:
    name: str
    entities: int
    inserts: int

class DrawingInfo:
    @property
    def result(self) -> Result: ...
    error: str
    binary: bool
    version: str
    release: str
    code_page: str
    units: int
    extent: Optional[tuple[tuple[float, float, float], tuple[float, float, float]]]
    layers: list[LayerInfo]
    entities: dict[str, int]
    paper_space_entities: int
    blocks: list[BlockInfo]

def drawing_info(source: _Source) -> DrawingInfo: ...
