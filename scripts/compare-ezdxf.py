#!/usr/bin/python3
# Compares `vexlor-dxf import --accurate` with the true geometry that ezdxf, an independent
# reader, gives for the model space entities the accurate import covers (lines, polylines, arcs,
# circles, ellipses, splines). For each drawing it prints the largest distance from our contours
# to ezdxf's curves and back, as a share of the drawing's size, with our tolerance at 1e-5 of
# that size, and fails when a share reaches 1e-4.
# Needs the Debian packages python3-ezdxf and python3-numpy (for /usr/bin/python3).
# usage: scripts/compare-ezdxf.py TOOL DRAWING...
# SPDX-License-Identifier: MIT
import json
import subprocess
import sys

import ezdxf
import numpy as np
from ezdxf import path as ezpath

KINDS = {"LINE", "LWPOLYLINE", "POLYLINE", "ARC", "CIRCLE", "ELLIPSE", "SPLINE"}


def reference(document, distance):
    curves = []
    for entity in document.modelspace():
        kind = entity.dxftype()
        if kind not in KINDS or entity.dxf.get("paperspace", 0) == 1:
            continue
        if kind == "POLYLINE" and (entity.is_3d_polyline or entity.is_polygon_mesh
                                   or entity.is_poly_face_mesh):
            continue
        if kind == "POLYLINE" and entity.dxf.flags & 4:
            # ezdxf's path of a spline-fit polyline runs through the frame's control points as
            # well; the curve is its fitted vertices, which CAD programs draw.
            fitted = [v.dxf.location for v in entity.vertices if not v.dxf.flags & 16]
            if len(fitted) >= 2:
                curves.append(np.array([(p.x, p.y) for p in fitted]))
            continue
        try:
            if kind == "SPLINE":
                # The curve itself: ezdxf's path of a rational spline is cubic Beziers that can
                # be 1e-4 of its size off it.
                vertices = entity.construction_tool().flattening(distance)
            else:
                # Many Bezier pieces per quarter turn: ezdxf holds arcs as cubic Beziers, one
                # per quarter turn by default, which are off a circle by 2.7e-4 of its radius.
                vertices = ezpath.make_path(entity, segments=16).flattening(distance)
            points = [(v.x, v.y) for v in vertices]
        except Exception:  # an entity ezdxf cannot make a path of is left out of the comparison
            continue
        if len(points) >= 2:
            curves.append(np.array(points))
    return curves


def ours(tool, drawing, tolerance):
    run = subprocess.run([tool, "import", "--accurate", "--tolerance", repr(tolerance), drawing,
                          "--json", "-", "--quiet"], capture_output=True, text=True)
    record = json.loads(run.stdout)
    curves = []
    for polyline in record["polylines"]:
        points = polyline["points"] + (polyline["points"][:1] if polyline["closed"] else [])
        curves.append(np.array(points, dtype=float))
    return curves


def farthest(points, curves):
    """The largest distance of `points` from the nearest segment of `curves`."""
    best = np.full(len(points), np.inf)
    for curve in curves:
        start, step = curve[:-1], curve[1:] - curve[:-1]
        length = np.maximum((step ** 2).sum(1), 1e-300)
        for i in range(0, len(points), 512):
            p = points[i:i + 512, None, :]
            t = np.clip(((p - start) * step).sum(2) / length, 0, 1)
            d = np.sqrt(((p - start - t[..., None] * step) ** 2).sum(2)).min(1)
            best[i:i + 512] = np.minimum(best[i:i + 512], d)
    return best.max() if len(points) else 0.0


def samples(curves, spacing):
    out = []
    for curve in curves:
        for a, b in zip(curve[:-1], curve[1:]):
            n = max(1, int(np.ceil(np.linalg.norm(b - a) / spacing)))
            out.extend(a + (b - a) * k / n for k in range(n))
        out.append(curve[-1])
    return np.array(out) if out else np.zeros((0, 2))


def main():
    tool, drawings = sys.argv[1], sys.argv[2:]
    worst = 0.0
    for drawing in drawings:
        try:
            document = ezdxf.readfile(drawing)
        except Exception as e:
            print(f"{drawing}: ezdxf cannot read it ({type(e).__name__}), left out")
            continue
        if document.dxfversion == "AC1009" and document.modelspace().query("LWPOLYLINE"):
            # A file without a header is read as R12, which has no LWPOLYLINE: ezdxf then
            # drops their flags (closed ones come out open).
            print(f"{drawing}: ezdxf reads it as R12 and loses its LWPOLYLINE flags, left out")
            continue
        coarse = reference(document, 1.0)
        if not coarse:
            print(f"{drawing}: no entity the accurate import covers")
            continue
        every = np.vstack(coarse)
        size = float(max(np.ptp(every[:, 0]), np.ptp(every[:, 1]))) or 1.0
        truth = reference(document, size * 1e-7)
        mine = ours(tool, drawing, size * 1e-5)
        away = farthest(samples(mine, size / 200), truth) / size
        back = farthest(samples(truth, size / 200), mine) / size if mine else float("inf")
        share = max(away, back)
        worst = max(worst, share)
        print(f"{drawing}: {share:.2e} of its size ({away:.2e} ours to ezdxf, {back:.2e} back)")
    print(f"largest: {worst:.2e} of a drawing's size")
    sys.exit(0 if worst < 1e-4 else 1)


if __name__ == "__main__":
    main()
