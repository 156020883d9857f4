# Type stubs of vexlor_dxf.batch.
# SPDX-License-Identifier: MIT
import os
from collections.abc import Iterable, Sequence
from typing import Any, Optional, Union

_Path = Union[str, "os.PathLike[str]"]

STATUS_NO_INPUT: int
STATUS_SOFTWARE: int
STATUS_CANNOT_WRITE: int

def list_drawings(arguments: Iterable[_Path]) -> list[dict[str, str]]: ...
def import_one(
    path: str,
    options: dict[str, Any],
    json_file: Optional[str] = ...,
    svg_file: Optional[str] = ...,
    strict: bool = ...,
    name: Optional[str] = ...,
) -> dict[str, Any]: ...
def import_drawings(
    drawings: Iterable[_Path],
    client: Any = ...,
    *,
    json_dir: Optional[_Path] = ...,
    svg_dir: Optional[_Path] = ...,
    json_beside: bool = ...,
    svg_beside: bool = ...,
    strict: bool = ...,
    **options: Any,
) -> list[dict[str, Any]]: ...
def write_summary(rows: Sequence[dict[str, Any]], path: _Path) -> None: ...
