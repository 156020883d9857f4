# The JSON record and SVG picture of one accurate import, as files for people and programs.
# SPDX-License-Identifier: MIT
from __future__ import annotations

import html
import json
import math
from typing import Any

import numpy as np


def _number(value: float) -> str:
    # The fewest digits that read back to the same double, as the tool writes them; JSON holds
    # no infinity or NaN.
    return repr(float(value)) if math.isfinite(value) else "null"


def _pair(x: float, y: float) -> str:
    return f"[{_number(x)},{_number(y)}]"


def _text(value: str) -> str:
    return json.dumps(value, ensure_ascii=False)


def _counts(counts: dict[str, int]) -> str:
    return "{" + ",".join(f"{_text(k)}:{v}" for k, v in sorted(counts.items())) + "}"


def import_json(imported: Any, name: str, error_text: str) -> bytes:
    """The record in the layout of the tool's ``import --accurate --json``: file, result, error,
    crossing, box, report (with the recoveries), then one polyline a line with its layer, entity, handle and points."""
    code = int(imported.result)
    error = _text(error_text) if error_text else "null"
    parts = [f'{{"file": {_text(name)}, "result": {code}, "error": {error}, '
             f'"crossing": {str(code == 4).lower()}']
    box = imported.box
    if box is None:
        parts.append(', "box": null')
    else:
        parts.append(f', "box": {{"left_top":{_pair(box[0], box[1])},'
                     f'"right_bottom":{_pair(box[2], box[3])}}}')
    # A drawing that could not be opened has no report, as the tool's record has none.
    if code != 2:
        parts.append(
            f', "report": {{"units":{imported.units},"scale":{_number(imported.scale)},'
            f'"tolerance":{_number(imported.tolerance)},"skipped":{_counts(imported.skipped)},'
            f'"approximations":{_counts(imported.approximations)},'
            f'"recoveries":{json.dumps(imported.recoveries, ensure_ascii=False)}}}'
        )
    parts.append(', "polylines": [')
    lines = []
    for contour in imported.contours:
        points = ",".join(_pair(x, y) for x, y in contour.points.tolist())
        lines.append(
            f'{{"closed":{str(contour.closed).lower()},"layer":{_text(contour.layer)},'
            f'"entity":{_text(contour.entity)},"handle":{_text(contour.handle)},'
            f'"points":[{points}]}}'
        )
    parts.append("\n" + ",\n".join(lines) + "\n]}\n" if lines else "]}\n")
    return "".join(parts).encode("utf-8")


def import_svg(imported: Any, name: str, y_up: bool) -> bytes:
    """A picture of the contours about 800 pixels wide: closed ones shaded, open ones dashed,
    upright (y negated when the contours' y points up), captioned with ``name``."""
    size, margin = 800.0, 20.0
    box = imported.box or (0.0, 0.0, 1.0, 1.0)
    x0, y0, x1, y1 = box
    if y_up:
        y0, y1 = -y1, -y0
    extent = max(x1 - x0, y1 - y0) or 1.0
    scale = (size - 2 * margin) / extent if math.isfinite(extent) else 1.0
    width = (x1 - x0) * scale + 2 * margin
    height = (y1 - y0) * scale + 2 * margin
    paths = []
    for contour in imported.contours:
        points = np.array(contour.points, dtype=np.float64)
        if y_up:
            points[:, 1] = -points[:, 1]
        points = points[np.isfinite(points).all(axis=1)]
        if len(points) == 0:
            continue
        xs = (points[:, 0] - x0) * scale + margin
        ys = (points[:, 1] - y0) * scale + margin
        steps = " L".join(f"{x:.2f},{y:.2f}" for x, y in zip(xs.tolist(), ys.tolist()))
        kind = "closed" if contour.closed else "open"
        end = " Z" if contour.closed else ""
        paths.append(f'<path class="{kind}" d="M{steps}{end}"/>')
    caption = f"{html.escape(name)}: {len(imported.contours)} contours"
    text = (
        '<?xml version="1.0" encoding="UTF-8"?>\n'
        f'<svg xmlns="http://www.w3.org/2000/svg" width="{width:.0f}" '
        f'height="{height + 30:.0f}" viewBox="0 0 {width:.2f} {height + 30:.2f}">\n'
        "<style>path{stroke:#124;stroke-width:1.2;fill:none}"
        "path.closed{fill:#8ac;fill-opacity:0.3}path.open{stroke-dasharray:6 3}</style>\n"
        + "\n".join(paths)
        + f'\n<text x="{margin:.0f}" y="{height + 20:.0f}" font-size="14">{caption}</text>\n'
        "</svg>\n"
    )
    return text.encode("utf-8")
