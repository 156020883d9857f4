# Batches of drawings imported on a Dask cluster, with the rows of the tool's --summary table.
# SPDX-License-Identifier: MIT
"""Imports many drawings through Dask, on any client: a ``LocalCluster`` of processes, or a
real cluster (``dask-scheduler`` and ``dask-worker``) that a client is pointed at.

    from distributed import Client
    from vexlor_dxf.batch import import_drawings
    rows = import_drawings(["archive/"], Client("tcp://scheduler:8786"), json_dir="out/json")

Each worker imports its drawings with ``vexlor_dxf.import_contours`` and writes their JSON
records and SVG pictures itself, so every worker needs this package (and NumPy) installed and
must see the drawings and the output folders at the same paths as the client.

The rows are the tool's ``vexlor-dxf import --accurate --summary FILE.jsonl`` rows, in the
same order and with the same fields: path, result, status, message, contours, closed, open,
points, box and seconds.
"""

from __future__ import annotations

import json
import os
import secrets
import time
from typing import Any, Iterable, Optional, Sequence

import vexlor_dxf

__all__ = ["list_drawings", "import_drawings", "import_one", "write_summary"]

# The tool's exit statuses that a row can carry besides the import's own result.
STATUS_NO_INPUT = 66  # a folder given holds no drawing
STATUS_SOFTWARE = 70  # anything unexpected, exhausted memory too
STATUS_CANNOT_WRITE = 73  # an output file cannot be written

_WORDS = {
    0: "imported",
    1: "cannot be read to its end (its EOF marker is missing or a group is broken)",
    2: "cannot be opened",
    3: "no contours found",
    4: "contours cross each other",
}


def _is_dxf_name(name: str) -> bool:
    return os.path.splitext(name)[1].lower() == ".dxf"


def list_drawings(arguments: Iterable["str | os.PathLike[str]"]) -> list[dict[str, str]]:
    """The drawings that ``arguments`` name, as the tool lists them: a file as it is given, a
    folder as the *.dxf files (any case) anywhere under it sorted by path, links to folders not
    followed, a folder that cannot be read named in its place and walked past. Each entry has
    "path", "output" (its name under an output folder, extension aside) and "problem" (why
    there is no drawing to import; "" for a drawing)."""
    drawings: list[dict[str, str]] = []
    for argument in map(os.fspath, arguments):
        if not os.path.isdir(argument):
            drawings.append({"path": argument, "output": os.path.basename(argument), "problem": ""})
            continue
        # (the path's parts under the folder given, a folder's problem or "")
        found: list[tuple[tuple[str, ...], str]] = []
        folders: list[tuple[str, ...]] = [()]
        any_drawing = False
        while folders:
            parts = folders.pop()
            folder = os.path.join(argument, *parts)
            try:
                with os.scandir(folder) as entries:
                    for entry in entries:
                        if entry.is_dir() and not entry.is_symlink():
                            folders.append(parts + (entry.name,))
                        elif _is_dxf_name(entry.name) and os.path.isfile(entry.path):
                            found.append((parts + (entry.name,), ""))
                            any_drawing = True
            except OSError as error:
                found.append((parts, "the folder cannot be read: " + (error.strerror or str(error))))
        for parts, problem in sorted(found):
            # The folder given keeps its name as given.
            path = os.path.join(argument, *parts) if parts else argument
            drawings.append({"path": path, "output": os.path.join(*parts) if parts else "",
                             "problem": problem})
        if not any_drawing and not found:
            drawings.append(
                {"path": argument, "output": "", "problem": "a folder that holds no drawing (*.dxf)"}
            )
    return drawings


def _open_failure(path: str, imported: "vexlor_dxf.ContourImport") -> str:
    if os.path.isdir(path):
        return "cannot be opened: it is a directory"
    if imported.error:
        return imported.error
    try:
        with open(path, "rb"):
            return "cannot be opened: not readable"
    except OSError as error:
        return "cannot be opened: " + (error.strerror or "not readable")


def _thousands(count: int) -> str:
    return f"{count:,}"


# What the import's own choices left out, with what brings it back, as the tool says it.
_LEFT_OUT = [
    ("frozen or off layer", "entity on a frozen or off layer (--all-layers)",
     "entities on frozen or off layers (--all-layers)"),
    ("layer not chosen", "entity on a layer not chosen by --layer",
     "entities on layers not chosen by --layer"),
    ("paper space", "entity in the paper space", "entities in the paper space"),
    ("INSERT of a missing block", "INSERT of a block the drawing does not define",
     "INSERTs of blocks the drawing does not define"),
]


def _left_out(skipped: dict[str, int]) -> str:
    """What gave no contour, in the tool's words: its reasons first, then the commonest kinds."""
    keys = {key for key, _, _ in _LEFT_OUT}
    parts = [f"{_thousands(skipped[key])} {one if skipped[key] == 1 else many}"
             for key, one, many in _LEFT_OUT if skipped.get(key, 0) != 0]
    kinds = sorted(((count, what) for what, count in sorted(skipped.items()) if what not in keys),
                   key=lambda kind: -kind[0])
    parts += [f"{_thousands(count)} {what}" for count, what in kinds[:6]]
    if len(kinds) > 6:
        parts.append(f"{len(kinds) - 6} kinds more (the JSON's report lists them)")
    return "left out: " + ", ".join(parts) if parts else ""


def _in_tool_words(text: str) -> str:
    return text.replace("ContourOptions::maxPoints", "--max-points").replace(
        "ContourOptions::tolerance", "--tolerance")


def _write_replacing(target: str, data: bytes) -> bool:
    """Writes ``data`` to ``target`` through a temporary file beside it: an earlier file stays
    as it was until the new one is complete. False when it cannot be written."""
    folder = os.path.dirname(target)
    if folder:
        os.makedirs(folder, exist_ok=True)
    temporary = os.path.join(folder, f".{os.path.basename(target)}.{secrets.token_hex(4)}.tmp")
    try:
        with open(temporary, "xb") as out:
            out.write(data)
        os.replace(temporary, target)
        return True
    except OSError:
        if os.path.exists(temporary):
            os.remove(temporary)
        return False


def import_one(
    path: str,
    options: dict[str, Any],
    json_file: Optional[str] = None,
    svg_file: Optional[str] = None,
    strict: bool = False,
    name: Optional[str] = None,
) -> dict[str, Any]:
    """Imports the drawing at ``path``, writes its JSON record and SVG picture when asked, and
    gives its summary row, which names it ``name`` (``path`` by default). Runs on a worker,
    whose current folder need not be the client's: the batch hands it absolute paths."""
    start = time.perf_counter()
    name = path if name is None else name
    row: dict[str, Any] = {
        "path": name,
        "result": None,
        "status": 0,
        "message": "",
        "contours": 0,
        "closed": 0,
        "open": 0,
        "points": 0,
        "box": None,
        "seconds": 0.0,
    }
    try:
        imported = vexlor_dxf.import_contours(path, **options)
        code = int(imported.result)
        row["result"] = code
        failure = ""
        if code == vexlor_dxf.Result.OPEN_ERROR:
            failure = _open_failure(path, imported)
            row["status"] = code
            row["message"] = f"{failure} (result {code})"
        else:
            what = ""
            if os.path.isfile(path) and os.path.getsize(path) == 0:
                what = "it is empty"
            elif code == vexlor_dxf.Result.READ_ERROR:
                what = _in_tool_words(imported.error)
            words = _WORDS[code]
            if what:
                words = "cannot be read: " + what if code == 1 else f"{words}: {what}"
            if code in (vexlor_dxf.Result.READ_ERROR, vexlor_dxf.Result.EMPTY):
                left_out = _left_out(imported.skipped) if code == vexlor_dxf.Result.EMPTY else ""
                failure = f"{words}; {left_out}" if left_out else words
            closed, points = imported._native.counts()
            row.update(
                message=f"{words} (result {code})",
                contours=len(imported),
                closed=closed,
                open=len(imported) - closed,
                points=points,
                box=list(imported.box) if imported.box else None,
            )
            row["status"] = 0 if code == vexlor_dxf.Result.INTERSECTING and not strict else code
        # The records of a drawing that failed say why.
        y_up = not options.get("y_down", False)
        written = True
        if svg_file is not None:
            written = _write_replacing(svg_file, imported.to_svg(name, y_up=y_up))
        if json_file is not None:
            record = imported.to_json(name, error=failure)
            written = _write_replacing(json_file, record) and written
        if not written:
            row["status"] = max(row["status"], STATUS_CANNOT_WRITE)
    except MemoryError:
        row.update(status=STATUS_SOFTWARE, message="out of memory")
    except Exception as error:  # noqa: BLE001 - a row says what went wrong, as the tool's does
        row.update(status=STATUS_SOFTWARE, message=f"unexpected failure: {error}")
    row["seconds"] = round(time.perf_counter() - start, 3)
    return row


def _output(folder: Any, beside: bool, drawing: dict[str, str], extension: str) -> Optional[str]:
    if beside:
        return os.path.splitext(drawing["path"])[0] + extension
    if folder is None:
        return None
    return os.path.join(os.fspath(folder), os.path.splitext(drawing["output"])[0] + extension)


def import_drawings(
    drawings: Iterable["str | os.PathLike[str]"],
    client: Any = None,
    *,
    json_dir: "str | os.PathLike[str] | None" = None,
    svg_dir: "str | os.PathLike[str] | None" = None,
    json_beside: bool = False,
    svg_beside: bool = False,
    strict: bool = False,
    **options: Any,
) -> list[dict[str, Any]]:
    """Imports the drawings (files, or folders of *.dxf files) on Dask and gives one summary row
    per drawing, in the order the tool lists them.

    ``client`` is a ``distributed.Client``; without one, Dask's default (a client made current,
    else its threads, which work in parallel since the import releases the GIL). ``json_dir``
    and ``svg_dir`` write each drawing's JSON record and SVG picture into a folder, named by the
    drawing's path under the folder given (as the tool's --json-dir and --svg-dir);
    ``json_beside`` and ``svg_beside`` write them next to the drawing instead. ``strict``: crossing
    contours are a failure (status 4). ``options`` are ``import_contours``'s.
    """
    import dask  # imported here: the rest of the package does not need Dask

    vexlor_dxf._options(options)  # unknown or malformed options fail here, not on a worker
    listed = list_drawings(drawings)
    outputs: dict[str, str] = {}
    rows: list[Optional[dict[str, Any]]] = []
    tasks = []
    for drawing in listed:
        if drawing["problem"]:
            rows.append(_problem_row(drawing))
            continue
        rows.append(None)
        json_file = _output(json_dir, json_beside, drawing, ".json")
        svg_file = _output(svg_dir, svg_beside, drawing, ".svg")
        json_file, svg_file = (None if f is None else os.path.abspath(f) for f in (json_file, svg_file))
        for file in (json_file, svg_file):
            if file is not None and file in outputs:
                raise ValueError(
                    f"{outputs[file]} and {drawing['path']} would be written under the same name {file}"
                )
            if file is not None:
                outputs[file] = drawing["path"]
        tasks.append(
            dask.delayed(import_one, pure=False)(
                os.path.abspath(drawing["path"]), options, json_file, svg_file, strict,
                drawing["path"]
            )
        )
    if client is not None:
        done = iter(client.gather(client.compute(tasks)))
    else:
        done = iter(dask.compute(*tasks))
    return [row if row is not None else next(done) for row in rows]


def _problem_row(drawing: dict[str, str]) -> dict[str, Any]:
    return {
        "path": drawing["path"],
        "result": None,
        "status": STATUS_NO_INPUT,
        "message": drawing["problem"],
        "contours": 0,
        "closed": 0,
        "open": 0,
        "points": 0,
        "box": None,
        "seconds": 0.0,
    }


def write_summary(rows: Sequence[dict[str, Any]], path: "str | os.PathLike[str]") -> None:
    """Writes the rows as JSON Lines, one object per line in the columns' order, as the tool's
    ``--summary FILE.jsonl`` does."""
    text = "".join(json.dumps(row, ensure_ascii=False, separators=(",", ":")) + "\n" for row in rows)
    if not _write_replacing(os.fspath(path), text.encode("utf-8")):
        raise OSError(f"{os.fspath(path)}: cannot be written")
