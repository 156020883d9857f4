#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""Checks the accurate import's analysis as regions against GEOS (through shapely).

    /usr/bin/python3 scripts/compare-shapely.py [--quick] [--seed N] DUMP [CORPUS]

DUMP is the vexlor_dxf_regions_dump program (built with the tests), which prints a drawing's
contours with their nesting, regions, crossings and gaps as JSON. Every drawing of CORPUS (or,
with --quick, a few of them) and generated sets of nested and of crossing polygons are checked:
- each closed contour's area and turn are shapely's, and each region's area is that of the
  shapely polygon of its outline with its holes (the outline's area less the holes');
- where the import says the nesting is well defined, each closed contour's parent is the
  smallest other closed contour that covers it (within a tolerance), as GEOS finds it;
- each crossing point lies on both of its contours within the tolerance, a contour said to cross
  itself is not simple, and in the generated sets (in general position) the pairs reported are
  exactly the pairs whose boundaries GEOS sees crossing;
- each gap joins ends of the contours it names, as far apart as it says;
- each contour said to repeat another is the same geometry for GEOS.
Prints one line per drawing that disagrees and a summary; exits 1 on any disagreement, 77 when
shapely cannot be imported (Debian: python3-shapely).
"""
import argparse
import json
import math
import os
import random
import subprocess
import sys
import tempfile
import warnings

try:
    from shapely.geometry import LinearRing, LineString, Point, Polygon
    from shapely.strtree import STRtree
except ImportError:
    print("skipped: shapely is not installed (Debian: python3-shapely)")
    sys.exit(77)

warnings.filterwarnings("ignore", message=".*STRtree.*")

QUICK = ["cadquery/gear.dxf", "cadquery/MC_12x31.dxf", "dxf-js/issue29.dxf",
         "dxf-js/openscad_export.dxf", "gdal/hatch.dxf", "ezdxf/small_r13.dxf",
         "dxf-js/floorplan.dxf", "gdal/additional-entities.dxf"]


def run(dump, path):
    out = subprocess.run([dump, path], capture_output=True, text=True, timeout=600)
    if out.returncode != 0:
        raise RuntimeError(f"{dump} {path}: status {out.returncode}: {out.stderr[:200]}")
    return json.loads(out.stdout)


def extent(data):
    xs = [p[0] for c in data["contours"] for p in c["points"]]
    ys = [p[1] for c in data["contours"] for p in c["points"]]
    if not xs:
        return 1.0
    return max(max(xs) - min(xs), max(ys) - min(ys), 1.0)


def check(data, generated=False):
    """The disagreements of one import with GEOS, as lines of text."""
    problems = []
    contours = data["contours"]
    size = extent(data)
    tol = 1e-9 * size
    copies = {c for d in data["duplicates"] for c in d["copies"]}
    polygons = {}
    for i, c in enumerate(contours):
        if not c["closed"] or len(c["points"]) < 3:
            continue
        ring = LinearRing(c["points"])
        area = Polygon(ring).area
        if not math.isclose(abs(c["area"]), area, rel_tol=1e-9, abs_tol=tol * size):
            problems.append(f"contour {i}: area {c['area']!r}, GEOS {area!r}")
        if area > tol * size and (c["area"] > 0) != ring.is_ccw:
            problems.append(f"contour {i}: turn {'ccw' if c['area'] > 0 else 'cw'}, GEOS other")
        polygon = Polygon(ring)
        if not polygon.is_valid:
            # A ring that touches itself is valid once GEOS rebuilds it with the same area; one
            # that crosses itself loses area and takes no part.
            polygon = polygon.buffer(0)
            if not math.isclose(polygon.area, area, rel_tol=1e-9, abs_tol=tol * size):
                continue
        if i not in copies:
            polygons[i] = polygon
    # Regions: the outline less its holes.
    for r in data["regions"]:
        outline = r["outline"]
        expected = abs(contours[outline]["area"]) - sum(abs(contours[h]["area"]) for h in r["holes"])
        if not math.isclose(r["area"], expected, rel_tol=1e-9, abs_tol=tol * size):
            problems.append(f"region of {outline}: area {r['area']!r}, outline less holes {expected!r}")
        if outline in polygons and all(h in polygons for h in r["holes"]):
            shape = Polygon(contours[outline]["points"], [contours[h]["points"] for h in r["holes"]])
            if shape.is_valid and not math.isclose(shape.area, r["area"], rel_tol=1e-9,
                                                   abs_tol=tol * size):
                problems.append(f"region of {outline}: area {r['area']!r}, GEOS {shape.area!r}")
    # Nesting: the smallest other polygon that covers the contour, within the tolerance.
    if data["nestingWellDefined"] and polygons:
        keys = sorted(polygons)
        geometries = [polygons[k] for k in keys]
        tree = STRtree(geometries)
        place = {id(g): k for g, k in zip(geometries, keys)}
        grown = {}
        for i in keys:
            best = None
            for n in tree.query(polygons[i]):
                # shapely 2 gives indices, shapely 1.8 the geometries themselves
                j = place[id(n)] if hasattr(n, "geom_type") else keys[int(n)]
                if j == i or polygons[j].area <= polygons[i].area:
                    continue
                if j not in grown:
                    grown[j] = polygons[j].buffer(max(tol, 1e-7 * size))
                if grown[j].covers(polygons[i]) and (best is None or polygons[j].area < polygons[best].area):
                    best = j
            parent = contours[i]["parent"]
            if (best if best is not None else -1) != parent:
                problems.append(f"contour {i}: parent {parent}, GEOS {best}")
    # Crossings: on both contours; a self-crossing one is not simple.
    def shape_of(k):
        c = contours[k]
        pts = c["points"] + ([c["points"][0]] if c["closed"] else [])
        return LineString(pts)
    for x in data["crossings"]:
        at = Point(x["at"])
        for k in (x["first"], x["second"]):
            d = shape_of(k).distance(at)
            if d > max(tol, 1e-12):
                problems.append(f"crossing {x['first']}/{x['second']} at {x['at']}: {d:g} from contour {k}")
        if x["first"] == x["second"] and shape_of(x["first"]).is_simple:
            problems.append(f"contour {x['first']} said to cross itself, GEOS finds it simple")
    if generated and data["crossingsComplete"]:
        # A contour drawn again crosses its copy where it crosses itself; GEOS calls equal
        # geometries not crossing: such pairs are left out of both.
        same = set()
        for d in data["duplicates"]:
            group = sorted([d["original"], *d["copies"]])
            same |= {(a, b) for a in group for b in group if a < b}
        found = {(x["first"], x["second"]) for x in data["crossings"]} - same
        expected = set()
        shapes = [shape_of(k) for k in range(len(contours))]
        for a in range(len(contours)):
            if not shapes[a].is_simple:
                expected.add((a, a))
            for b in range(a + 1, len(contours)):
                if (a, b) not in same and shapes[a].crosses(shapes[b]):
                    expected.add((a, b))
        if found != expected:
            problems.append(f"crossing pairs {sorted(found ^ expected)[:5]} differ from GEOS")
    # Duplicates: each copy is the same geometry as its original, for GEOS too.
    for d in data["duplicates"]:
        for k in d["copies"]:
            if not shape_of(k).equals(shape_of(d["original"])):
                problems.append(f"contour {k} said to repeat {d['original']}, GEOS finds them apart")
    # Gaps: between the named ends, as far apart as said.
    for g in data["gaps"]:
        for k, p in ((g["first"], g["from"]), (g["second"], g["to"])):
            pts = contours[k]["points"]
            if p not in (pts[0], pts[-1]):
                problems.append(f"gap end {p} is no end of contour {k}")
        d = math.dist(g["from"], g["to"])
        if not math.isclose(d, g["distance"], rel_tol=1e-12):
            problems.append(f"gap {g['from']} {g['to']}: {g['distance']!r}, apart {d!r}")
    return problems


def write_dxf(path, rings):
    with open(path, "w") as out:
        out.write("0\nSECTION\n2\nENTITIES\n")
        for points, closed in rings:
            out.write(f"0\nLWPOLYLINE\n8\n0\n90\n{len(points)}\n70\n{1 if closed else 0}\n")
            for x, y in points:
                out.write(f"10\n{x!r}\n20\n{y!r}\n")
        out.write("0\nENDSEC\n0\nEOF\n")


def nested_set(rng):
    """Regular polygons inside or beside one another, never crossing, in both turns."""
    circles = []

    def add(x, y, r, level):
        for _ in range(6):
            if level >= 4:
                return
            rr = r * rng.uniform(0.1, 0.3)
            a = rng.uniform(0, 2 * math.pi)
            d = (r / 2 - rr) * rng.random()
            c = (x + d * math.cos(a), y + d * math.sin(a), rr)
            if all(math.dist(o[:2], c[:2]) >= o[2] + c[2] or math.dist(o[:2], c[:2]) + c[2] < o[2] / 2
                   or math.dist(o[:2], c[:2]) + o[2] < c[2] / 2 for o in circles):
                circles.append(c)
                if rng.random() < 0.5:
                    add(*c, level + 1)
    add(0.0, 0.0, 100.0, 0)
    rings = []
    for x, y, r in circles:
        n = rng.randint(3, 40)
        turn = rng.choice((1, -1))
        rings.append(([(x + r * math.cos(turn * 2 * math.pi * k / n + 0.1),
                        y + r * math.sin(turn * 2 * math.pi * k / n + 0.1)) for k in range(n)], True))
    return rings


def crossing_set(rng):
    """Random polygons and polylines, some crossing each other or themselves."""
    rings = []
    for _ in range(rng.randint(2, 12)):
        x, y = rng.uniform(0, 50), rng.uniform(0, 50)
        n = rng.randint(3, 9)
        pts = [(x + rng.uniform(-10, 10), y + rng.uniform(-10, 10)) for _ in range(n)]
        rings.append((pts, rng.random() < 0.7))
    # Some closed ones drawn again, from another start and maybe backwards (an open one drawn
    # again is joined to itself or dropped by the linking of pieces).
    closed = [r for r in rings if r[1]]
    for _ in range(rng.randint(0, 2) if closed else 0):
        pts = rng.choice(closed)[0]
        k = rng.randrange(len(pts))
        again = pts[k:] + pts[:k]
        rings.append((again[::-1] if rng.random() < 0.5 else again, True))
    return rings


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("dump")
    parser.add_argument("corpus", nargs="?")
    parser.add_argument("--quick", action="store_true", help="a few drawings and sets only")
    parser.add_argument("--seed", type=int, default=25)
    args = parser.parse_args()
    failed = 0
    checked = 0
    drawings = []
    if args.corpus and os.path.isdir(args.corpus):
        for root, _, files in os.walk(args.corpus):
            for name in files:
                if name.lower().endswith(".dxf"):
                    drawings.append(os.path.join(root, name))
        drawings.sort()
        if args.quick:
            drawings = [d for d in drawings
                        if os.path.relpath(d, args.corpus).replace(os.sep, "/") in QUICK]
    for path in drawings:
        data = run(args.dump, path)
        problems = check(data)
        checked += 1
        if problems:
            failed += 1
            print(f"{path}: {len(problems)} disagreements: " + "; ".join(problems[:3]))
    rng = random.Random(args.seed)
    sets = 10 if args.quick else 100
    with tempfile.TemporaryDirectory() as folder:
        for k in range(sets):
            for kind, make in (("nested", nested_set), ("crossing", crossing_set)):
                path = os.path.join(folder, f"{kind}-{k}.dxf")
                rings = make(rng)
                write_dxf(path, rings)
                data = run(args.dump, path)
                problems = check(data, generated=True)
                copies = sum(len(d["copies"]) for d in data["duplicates"])
                expected = sum(1 for i, r in enumerate(rings)
                               if r[1] and any(o[1] and len(o[0]) == len(r[0]) and
                                               LinearRing(o[0]).equals(LinearRing(r[0]))
                                               for o in rings[:i]))
                if copies != expected:
                    problems.append(f"{copies} contours said drawn again, {expected} were")
                if kind == "nested" and not data["nestingWellDefined"]:
                    problems.append("nesting said not well defined")
                checked += 1
                if problems:
                    failed += 1
                    print(f"{kind} set {k}: {len(problems)} disagreements: " + "; ".join(problems[:3]))
    print(f"shapely: {checked - failed} of {checked} drawings and sets agree "
          f"({len(drawings)} drawings, {2 * sets} generated sets)")
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main())
