#!/usr/bin/python3
# Compares `vexlor-dxf import --accurate` with the true geometry that ezdxf, an independent
# reader, gives for the model space entities the accurate import covers (lines, polylines and 3D
# polylines seen from above, arcs, circles, ellipses, splines, hatch boundaries, blocks placed by
# their INSERTs; frozen and off layers left out). For each drawing it prints the largest distance
# from our contours to ezdxf's curves and back, as a share of the drawing's size, with our
# tolerance at 1e-5 of that size, and fails when a share reaches 1e-4. A damaged drawing that
# ezdxf reads only with its reader of damaged files is compared all the same: the accurate import
# reads past a broken structure too, and the line says how many recoveries it listed. One that
# ezdxf recovers and the accurate import refuses (result 1) fails.
# Needs the Debian packages python3-ezdxf and python3-numpy (for /usr/bin/python3); without them
# it exits with 77, which ctest takes for a skipped test.
# usage: scripts/compare-ezdxf.py [--jobs N] TOOL DRAWING_OR_FOLDER...
# A folder stands for the .dxf files (any case) in it and below it. --jobs N compares N drawings
# at a time; the lines come out in the drawings' order all the same.
# SPDX-License-Identifier: MIT
import argparse
import contextlib
import functools
import json
import math
import multiprocessing
import os
import subprocess
import sys

try:
    import ezdxf
    import numpy as np
    from ezdxf import path as ezpath
    from ezdxf import recover
    from ezdxf.entities.boundary_paths import BoundaryPathType, EdgeType
    from ezdxf.math import ConstructionArc, Vec2, Vec3, bulge_to_arc
except ImportError as missing:
    print(f"compare-ezdxf.py: skipped, Python cannot import {missing.name}: install the Debian "
          "packages python3-ezdxf and python3-numpy")
    sys.exit(77)

KINDS = {"LINE", "LWPOLYLINE", "POLYLINE", "ARC", "CIRCLE", "ELLIPSE", "SPLINE"}


def placed(document):
    """The model space's entities and, placed by its INSERTs (a MINSERT's every copy), those of
    the blocks they insert, but none on a frozen or off layer; a block's entities on layer 0 are
    on their INSERT's."""
    hidden = {layer.dxf.name.lower() for layer in document.layers
              if layer.is_frozen() or layer.is_off()}

    def walk(entities, outer):
        for entity in entities:
            layer = entity.dxf.get("layer", "0") if entity.dxf.is_supported("layer") else "0"
            if outer is not None and layer == "0":
                layer = outer
            if layer.lower() in hidden:
                continue
            if entity.dxftype() != "INSERT":
                yield entity
                continue
            for copy in entity.multi_insert() if entity.mcount > 1 else [entity]:
                try:
                    inside = list(copy.virtual_entities())
                except Exception:  # a block ezdxf cannot place is left out of the comparison
                    continue
                yield from walk(inside, layer)

    yield from walk(document.modelspace(), None)


def bulge_points(start, end, bulge, distance):
    """The points along a polyline's segment from `start` to `end`, arched by `bulge`."""
    if not bulge:
        return [start, end]
    center, begin, finish, radius = bulge_to_arc(start, end, bulge)
    return ConstructionArc(center, radius, math.degrees(begin), math.degrees(finish)).flattening(
        distance)


def boundaries(hatch, distance):
    """The points along each edge of `hatch`'s boundary paths, by ezdxf's exact curves: its
    paths of them hold arcs as cubic Beziers, one per quarter turn (2.7e-4 of the radius off),
    and rational spline edges as Beziers that can be 2e-4 of the drawing's size off."""
    ocs, elevation = hatch.ocs(), hatch.dxf.elevation.z
    for boundary in hatch.paths:
        if boundary.type == BoundaryPathType.POLYLINE:
            # Closed whatever its flag says: a boundary is a loop.
            corners = [(Vec2(v[0], v[1]), v[2]) for v in boundary.vertices]
            pieces = [bulge_points(a, b, bulge, distance)
                      for (a, bulge), (b, _) in zip(corners, corners[1:] + corners[:1])]
        else:
            pieces = [[edge.start, edge.end] if edge.type == EdgeType.LINE
                      else edge.construction_tool().flattening(distance)
                      for edge in boundary.edges]
        for piece in pieces:
            yield ocs.points_to_wcs(Vec3(v.x, v.y, elevation) for v in map(Vec3, piece))


def reference(document, distance):
    curves = []
    for entity in placed(document):
        kind = entity.dxftype()
        if kind not in KINDS and kind != "HATCH" or entity.dxf.get("paperspace", 0) == 1:
            continue
        if kind == "HATCH":
            try:
                pieces = [[(v.x, v.y) for v in piece] for piece in boundaries(entity, distance)]
            except Exception:  # a boundary ezdxf cannot draw is left out of the comparison
                continue
            curves.extend(np.array(piece) for piece in pieces if len(piece) >= 2)
            continue
        if kind == "POLYLINE" and (entity.is_polygon_mesh or entity.is_poly_face_mesh):
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
    if record["result"] == 1:
        return None, None
    # The recoveries the import listed (a tool without the list gives None).
    recoveries = record.get("report", {}).get("recoveries")
    curves = []
    for polyline in record["polylines"]:
        points = polyline["points"] + (polyline["points"][:1] if polyline["closed"] else [])
        curves.append(np.array(points, dtype=float))
    return curves, None if recoveries is None else len(recoveries)


def _nearest(points, start, step, length):
    """Each point's distance to the nearest of the segments (start, step) of squared lengths
    `length`, in chunks of at most 2^18 pairs."""
    out = np.empty(len(points))
    rows = max(1, (1 << 18) // max(len(start), 1))
    for i in range(0, len(points), rows):
        p = points[i:i + rows, None, :]
        t = np.clip(((p - start) * step).sum(2) / length, 0, 1)
        out[i:i + rows] = np.sqrt(((p - start - t[..., None] * step) ** 2).sum(2)).min(1)
    return out


def farthest(points, curves, size):
    """The largest distance of `points` from the nearest segment of `curves`, bit for bit what
    comparing every point with every segment gives.

    A grid of square cells of side h, from the drawing's `size`, finds the segments near a
    point: each segment is cut, for the look-up only, into pieces of at most h/2, filed under the
    cell of their middle, and a point is compared with the segments that have a piece in its cell
    or the 8 around it. Those hold every segment nearer to it than 3/4 h, so a nearest distance
    found up to h/2 is the nearest of all (the margin is far beyond rounding); any other point is
    compared with every segment. Distances are computed as every point against every segment
    would, from the whole segments, and a minimum or maximum of them does not depend on their
    order."""
    if not len(points):
        return 0.0
    start = np.vstack([c[:-1] for c in curves] + [np.zeros((0, 2))])
    step = np.vstack([c[1:] - c[:-1] for c in curves] + [np.zeros((0, 2))])
    length = np.maximum((step ** 2).sum(1), 1e-300)
    best = np.full(len(points), np.inf)
    if not len(start):
        return best.max()
    ends = np.vstack([points, start, start + step])
    if np.isfinite(ends).all():
        # Cells of size/64, halved while the points still fall in at most 4000 of them (down to
        # size/1024): a few thousand turns of the loop below, and few segments in each.
        low, extent = ends.min(0), float(np.ptp(ends, 0).max())
        h = max(size / 64, extent / 1e6)

        def cell(xy, h):  # two cells of margin: the keys of neighbours never wrap
            ij = np.floor((xy - low) / h).astype(np.int64) + 2
            return ij[:, 0] * (int(extent / h) + 5) + ij[:, 1]

        while (h / 2 >= max(size / 1024, extent / 1e6)
               and len(np.unique(cell(points, h / 2))) <= 4000):
            h /= 2
        width = int(extent / h) + 5
        pieces = np.ceil(np.sqrt(length) / (h / 2)).clip(1).astype(np.int64)
        owner = np.repeat(np.arange(len(start)), pieces)
        k = np.arange(len(owner)) - np.repeat(np.cumsum(pieces) - pieces, pieces)
        middle = start[owner] + step[owner] * ((k + 0.5) / pieces[owner])[:, None]
        keys = cell(middle, h)
        order = np.argsort(keys, kind="stable")
        keys, owner = keys[order], owner[order]
        point_keys = cell(points, h)
        by_cell = np.argsort(point_keys, kind="stable")
        cells, begin = np.unique(point_keys[by_cell], return_index=True)
        end = np.append(begin[1:], len(by_cell))
        rows = [(np.searchsorted(keys, cells + dx * width - 1, "left"),
                 np.searchsorted(keys, cells + dx * width + 1, "right")) for dx in (-1, 0, 1)]
        for c in range(len(cells)):
            near = np.unique(np.concatenate([owner[lo[c]:hi[c]] for lo, hi in rows]))
            if len(near):
                here = by_cell[begin[c]:end[c]]
                best[here] = _nearest(points[here], start[near], step[near], length[near])
        far = np.flatnonzero(~(best <= h / 2))
    else:
        far = np.arange(len(points))
    if len(far):
        best[far] = _nearest(points[far], start, step, length)
    return best.max()


def samples(curves, spacing):
    out = []
    for curve in curves:
        for a, b in zip(curve[:-1], curve[1:]):
            n = max(1, int(np.ceil(np.linalg.norm(b - a) / spacing)))
            out.extend(a + (b - a) * k / n for k in range(n))
        out.append(curve[-1])
    return np.array(out) if out else np.zeros((0, 2))


def compare(tool, drawing):
    """The line printed for `drawing`, its share (None when it is left out), and whether ezdxf
    or the accurate import read past a broken structure."""
    recovered = False
    try:
        document = ezdxf.readfile(drawing)
    except Exception:
        try:  # ezdxf's reader of damaged files reads what it can
            with open(os.devnull, "w") as quiet, contextlib.redirect_stdout(quiet), \
                    contextlib.redirect_stderr(quiet):
                document, _ = recover.readfile(drawing)
            recovered = True
        except Exception as e:
            return f"{drawing}: ezdxf cannot read it ({type(e).__name__}), left out", None, False
    if document.dxfversion == "AC1009" and document.modelspace().query("LWPOLYLINE"):
        # A file without a header is read as R12, which has no LWPOLYLINE: ezdxf then
        # drops their flags (closed ones come out open).
        return (f"{drawing}: ezdxf reads it as R12 and loses its LWPOLYLINE flags, left out",
                None, False)
    coarse = reference(document, 1.0)
    if not coarse:
        return f"{drawing}: no entity the accurate import covers", None, False
    every = np.vstack(coarse)
    size = float(max(np.ptp(every[:, 0]), np.ptp(every[:, 1]))) or 1.0
    truth = reference(document, size * 1e-7)
    mine, recoveries = ours(tool, drawing, size * 1e-5)
    damaged = "damaged, ezdxf recovers it; " if recovered else ""
    if mine is None:
        return (f"{drawing}: {damaged}the accurate import refuses it (result 1)", float("inf"),
                recovered)
    away = farthest(samples(mine, size / 200), truth, size) / size
    back = farthest(samples(truth, size / 200), mine, size) / size if mine else float("inf")
    share = max(away, back)
    read = (f", read past {recoveries} break{'s' if recoveries > 1 else ''} of its structure"
            if recoveries else "")
    return (f"{drawing}: {damaged}{share:.2e} of its size ({away:.2e} ours to ezdxf, "
            f"{back:.2e} back{read})", share, recovered or bool(recoveries))


def drawings_of(names):
    """The drawings named, a folder standing for the .dxf files in it and below it, sorted."""
    out = []
    for name in names:
        if not os.path.isdir(name):
            out.append(name)
            continue
        out.extend(sorted(os.path.join(folder, file) for folder, _, files in os.walk(name)
                          for file in files if file.lower().endswith(".dxf")))
    return out


def main():
    parser = argparse.ArgumentParser(description="Compares vexlor-dxf's accurate import with "
                                     "ezdxf's geometry.")
    parser.add_argument("--jobs", type=int, default=1, help="drawings compared at a time")
    parser.add_argument("tool", help="the vexlor-dxf program")
    parser.add_argument("drawings", nargs="+", help="drawings, or folders of drawings")
    args = parser.parse_args()
    drawings = drawings_of(args.drawings)
    work = functools.partial(compare, args.tool)
    worst = 0.0
    compared = broken = 0
    pool = multiprocessing.Pool(args.jobs) if args.jobs > 1 else contextlib.nullcontext()
    with pool as workers:
        for line, share, damaged in (workers.imap if workers else map)(work, drawings):
            print(line, flush=True)
            worst = max(worst, share if share is not None else 0.0)
            compared += share is not None
            broken += share is not None and damaged
    print(f"compared: {compared} of {len(drawings)} drawings, {broken} of them with a broken "
          "structure read past")
    print(f"largest: {worst:.2e} of a drawing's size")
    sys.exit(0 if worst < 1e-4 else 1)


if __name__ == "__main__":
    main()
