#!/usr/bin/env python3
# Writes the sample drawings, the sample mesh and the mesh's picture into this folder.
# SPDX-License-Identifier: MIT
"""The drawings' pictures come from the tool itself:
    vexlor-dxf import examples/NAME.dxf --svg examples/NAME.svg
and a drawing shown both ways puts the two pictures side by side:
    vexlor-dxf import examples/NAME.dxf --svg /tmp/reader.svg
    vexlor-dxf import examples/NAME.dxf --accurate --svg /tmp/accurate.svg
    examples/make_samples.py --side-by-side /tmp/reader.svg /tmp/accurate.svg examples/NAME.svg
"""
import math
import pathlib
import re
import sys

HERE = pathlib.Path(__file__).resolve().parent


def groups(*pairs):
    """DXF text of (code, value) pairs, codes right-aligned in three columns; coordinates,
    radii and angles (codes 10 to 59) written as decimals."""
    def text(code, value):
        return repr(float(value)) if 10 <= code < 60 else value
    return "".join(f"{code:>3}\n{text(code, value)}\n" for code, value in pairs)


def header(version):
    return groups((0, "SECTION"), (2, "HEADER"), (9, "$ACADVER"), (1, version),
                  (9, "$INSUNITS"), (70, 4), (0, "ENDSEC"))


def section(name, body):
    return groups((0, "SECTION"), (2, name)) + body + groups((0, "ENDSEC"))


def line(a, b):
    return groups((0, "LINE"), (8, "0"), (10, a[0]), (20, a[1]), (30, 0.0),
                  (11, b[0]), (21, b[1]), (31, 0.0))


def arc(centre, radius, start, end):
    return groups((0, "ARC"), (8, "0"), (10, centre[0]), (20, centre[1]), (30, 0.0),
                  (40, radius), (50, start), (51, end))


def circle(centre, radius):
    return groups((0, "CIRCLE"), (8, "0"), (10, centre[0]), (20, centre[1]), (30, 0.0),
                  (40, radius))


def polyline(points):
    """A closed R12 POLYLINE with its VERTEX entities and SEQEND."""
    text = groups((0, "POLYLINE"), (8, "0"), (66, 1), (10, 0.0), (20, 0.0), (30, 0.0), (70, 1))
    for x, y in points:
        text += groups((0, "VERTEX"), (8, "0"), (10, x), (20, y), (30, 0.0))
    return text + groups((0, "SEQEND"), (8, "0"))


def lwpolyline(points):
    pairs = [(0, "LWPOLYLINE"), (100, "AcDbEntity"), (8, "0"), (100, "AcDbPolyline"),
             (90, len(points)), (70, 0)]
    for x, y in points:
        pairs += [(10, x), (20, y)]
    return groups(*pairs)


def bulged(points, closed=True, extrusion=None):
    """An LWPOLYLINE of (x, y, bulge) vertices; a bulge of tan(a / 4) turns through a."""
    pairs = [(0, "LWPOLYLINE"), (100, "AcDbEntity"), (8, "Outline"), (100, "AcDbPolyline"),
             (90, len(points)), (70, 1 if closed else 0)]
    for x, y, bulge in points:
        pairs += [(10, x), (20, y)] + ([(42, bulge)] if bulge else [])
    if extrusion:
        pairs += [(210, extrusion[0]), (220, extrusion[1]), (230, extrusion[2])]
    return groups(*pairs)


def write(name, text):
    (HERE / name).write_text(text, newline="\n")


def plate_lines():
    """An L-shaped plate of loose LINE entities, a slot, a triangular cut-out and a scribe line."""
    outline = [(0, 0), (120, 0), (120, 40), (50, 40), (50, 80), (0, 80)]
    # The outline's lines come in no particular order or direction; the import links them.
    order = [(3, False), (0, True), (5, False), (2, True), (4, False), (1, True)]
    entities = ""
    for index, forward in order:
        a, b = outline[index], outline[(index + 1) % len(outline)]
        entities += line(a, b) if forward else line(b, a)
    entities += polyline([(12, 12), (38, 12), (38, 24), (12, 24)])
    triangle = [(70, 8), (108, 8), (89, 32)]
    for i in range(3):
        entities += line(triangle[i], triangle[(i + 1) % 3])
    entities += line((10, 66), (36, 66))
    write("plate_lines.dxf", header("AC1009") + section("ENTITIES", entities) + groups((0, "EOF")))


def flange_arcs():
    """An obround flange: two arcs and two lines outside, circles inside."""
    entities = (arc((0, 0), 30, 90, 270) + line((0, -30), (100, -30)) +
                arc((100, 0), 30, 270, 90) + line((100, 30), (0, 30)))
    for centre, radius in [((0, 0), 12), ((100, 0), 12), ((50, 0), 10), ((50, 20), 4),
                           ((50, -20), 4)]:
        entities += circle(centre, radius)
    write("flange_arcs.dxf", header("AC1009") + section("ENTITIES", entities) + groups((0, "EOF")))


def block_hatch():
    """A sheet block that inserts a tile block; the tile holds a solid hatch."""
    sheet = groups((0, "BLOCK"), (8, "0"), (2, "Sheet"), (70, 0), (10, 0.0), (20, 0.0),
                   (30, 0.0), (3, "Sheet"))
    sheet += lwpolyline([(0, 0), (100, 0), (100, 60), (0, 60), (0, 0)])
    sheet += circle((20, 40), 8)
    sheet += groups((0, "INSERT"), (8, "0"), (2, "Tile"), (10, 45.0), (20, 12.0), (30, 0.0))
    sheet += groups((0, "ENDBLK"), (8, "0"))

    boundary = [(0, 0), (36, 0), (36, 12), (12, 12), (12, 36), (0, 36)]
    hatch = [(0, "HATCH"), (100, "AcDbEntity"), (8, "0"), (100, "AcDbHatch"),
             (10, 0.0), (20, 0.0), (30, 0.0), (210, 0.0), (220, 0.0), (230, 1.0),
             (2, "SOLID"), (70, 1), (71, 0), (91, 1), (92, 3), (72, 0), (73, 1),
             (93, len(boundary))]
    for x, y in boundary:
        hatch += [(10, float(x)), (20, float(y))]
    hatch += [(97, 0), (75, 0), (76, 1), (98, 1), (10, 4.0), (20, 4.0)]
    tile = groups((0, "BLOCK"), (8, "0"), (2, "Tile"), (70, 0), (10, 0.0), (20, 0.0),
                  (30, 0.0), (3, "Tile"))
    tile += groups(*hatch) + groups((0, "ENDBLK"), (8, "0"))

    entities = groups((0, "INSERT"), (8, "0"), (2, "Sheet"), (10, 0.0), (20, 0.0), (30, 0.0))
    write("block_hatch.dxf", header("AC1015") + section("BLOCKS", sheet + tile) +
          section("ENTITIES", entities) + groups((0, "EOF")))


def cover_plate():
    """A cover plate whose outline has filleted corners (bulges), a slot of two half circles,
    an elliptic window, a spline edge and an arc drawn mirrored (extrusion 0, 0, -1)."""
    fillet = math.tan(math.radians(90) / 4)
    outline = [(10, 0, 0), (90, 0, fillet), (100, 10, 0), (100, 50, fillet), (90, 60, 0),
               (40, 60, 0), (40, 60, 0), (10, 60, fillet), (0, 50, 0), (0, 10, fillet)]
    entities = bulged([p for i, p in enumerate(outline) if i != 6])
    entities += bulged([(20, 15, 0), (50, 15, 1.0), (50, 25, 0), (20, 25, 1.0)])
    entities += groups((0, "ELLIPSE"), (100, "AcDbEntity"), (8, "Window"),
                       (100, "AcDbEllipse"), (10, 72.0), (20, 36.0), (30, 0.0),
                       (11, 16.0), (21, 6.0), (31, 0.0), (40, 0.45), (41, 0.0),
                       (42, 2 * math.pi))
    entities += groups((0, "SPLINE"), (100, "AcDbEntity"), (8, "Edge"), (100, "AcDbSpline"),
                       (70, 8), (71, 3), (72, 8), (73, 4), (74, 0),
                       (40, 0.0), (40, 0.0), (40, 0.0), (40, 0.0),
                       (40, 1.0), (40, 1.0), (40, 1.0), (40, 1.0),
                       (10, 12.0), (20, 40.0), (30, 0.0), (10, 20.0), (20, 54.0), (30, 0.0),
                       (10, 30.0), (20, 30.0), (30, 0.0), (10, 36.0), (20, 46.0), (30, 0.0))
    # Mirrored: object x is world -x, so the centre (-80, 12) lies at world (80, 12).
    entities += groups((0, "ARC"), (100, "AcDbEntity"), (8, "Outline"), (100, "AcDbCircle"),
                       (10, -80.0), (20, 12.0), (30, 0.0), (40, 6.0), (100, "AcDbArc"),
                       (50, 0.0), (51, 180.0), (210, 0.0), (220, 0.0), (230, -1.0))
    write("cover_plate.dxf", header("AC1015") + section("ENTITIES", entities) +
          groups((0, "EOF")))


def layered(layer, text):
    """`text`'s entities moved to `layer` (each written with layer "0" or "Outline")."""
    return text.replace("  8\n0\n", f"  8\n{layer}\n").replace("  8\nOutline\n", f"  8\n{layer}\n")


def switch_panel():
    """A switch panel: a filleted plate; a switch block (a rounded cut-out and a screw hole,
    base point at its middle) placed upright, turned 90 degrees and mirrored; a vent block of one
    slot placed as a MINSERT of 5 columns; a label recess outlined by a HATCH of a line, an arc
    and two more lines; and a layer of dimensions: two lines and a DIMENSION entity."""
    fillet = math.tan(math.radians(90) / 4)
    layers = groups((0, "TABLE"), (2, "LAYER"), (70, 4))
    for name, colour in (("0", 7), ("Outline", 7), ("Cutouts", 1), ("Label", 3),
                         ("Dimensions", 2)):
        layers += groups((0, "LAYER"), (2, name), (70, 0), (62, colour), (6, "CONTINUOUS"))
    layers += groups((0, "ENDTAB"))

    switch = groups((0, "BLOCK"), (8, "0"), (2, "Switch"), (70, 0), (10, 10.0), (20, 6.0),
                    (30, 0.0), (3, "Switch"))
    switch += layered("0", bulged([(2, 0, 0), (18, 0, fillet), (20, 2, 0), (20, 10, fillet),
                                   (18, 12, 0), (2, 12, fillet), (0, 10, 0), (0, 2, fillet)]))
    switch += circle((26, 6), 1.5)
    switch += groups((0, "ENDBLK"), (8, "0"))
    vent = groups((0, "BLOCK"), (8, "0"), (2, "Vent"), (70, 0), (10, 0.0), (20, 0.0),
                  (30, 0.0), (3, "Vent"))
    vent += layered("0", bulged([(0, 0, 1.0), (3, 0, 0), (3, 20, 1.0), (0, 20, 0)]))
    vent += groups((0, "ENDBLK"), (8, "0"))

    def insert(name, at, rotation=0.0, xscale=1.0, columns=1, spacing=0.0):
        pairs = [(0, "INSERT"), (8, "Cutouts"), (2, name), (10, at[0]), (20, at[1]),
                 (30, 0.0), (41, xscale), (42, 1.0), (43, 1.0), (50, rotation)]
        if columns > 1:
            pairs += [(70, columns), (71, 1), (44, spacing), (45, 0.0)]
        return groups(*pairs)

    entities = bulged([(6, 0, 0), (154, 0, fillet), (160, 6, 0), (160, 94, fillet),
                       (154, 100, 0), (6, 100, fillet), (0, 94, 0), (0, 6, fillet)])
    entities += insert("Switch", (30, 75))
    entities += insert("Switch", (70, 75), xscale=-1.0)
    entities += insert("Switch", (130, 70), rotation=90.0)
    entities += insert("Vent", (20, 15), columns=5, spacing=8.0)
    # The label recess: straight sides and a round right end, traced counter-clockwise.
    hatch = [(0, "HATCH"), (100, "AcDbEntity"), (8, "Label"), (100, "AcDbHatch"),
             (10, 0.0), (20, 0.0), (30, 0.0), (210, 0.0), (220, 0.0), (230, 1.0),
             (2, "SOLID"), (70, 1), (71, 0), (91, 1), (92, 1), (93, 4),
             (72, 1), (10, 80.0), (20, 15.0), (11, 130.0), (21, 15.0),
             (72, 2), (10, 130.0), (20, 25.0), (40, 10.0), (50, 270.0), (51, 90.0), (73, 1),
             (72, 1), (10, 130.0), (20, 35.0), (11, 80.0), (21, 35.0),
             (72, 1), (10, 80.0), (20, 35.0), (11, 80.0), (21, 15.0),
             (97, 0), (75, 0), (76, 1), (98, 1), (10, 100.0), (20, 25.0)]
    entities += groups(*hatch)
    entities += layered("Dimensions", line((0, -8), (160, -8)))
    entities += layered("Dimensions", line((168, 0), (168, 100)))
    entities += groups((0, "DIMENSION"), (8, "Dimensions"), (2, "*D1"), (10, 160.0),
                       (20, -8.0), (30, 0.0), (70, 0), (1, "160"))
    write("switch_panel.dxf", header("AC1015") + section("TABLES", layers) +
          section("BLOCKS", switch + vent) + section("ENTITIES", entities) + groups((0, "EOF")))


def bracket_mesh():
    """An L-profile bracket extruded along z: 20 triangles, as ASCII STL, and its picture."""
    profile = [(0, 0), (60, 0), (60, 8), (8, 8), (8, 40), (0, 40)]
    depth = 30
    bottom = [(x, y, 0.0) for x, y in profile]
    top = [(x, y, float(depth)) for x, y in profile]
    # The profile splits into two convex quads: (0, 1, 2, 3) and (0, 3, 4, 5).
    triangles = []
    for quad in [(0, 1, 2, 3), (0, 3, 4, 5)]:
        a, b, c, d = quad
        triangles += [(bottom[a], bottom[c], bottom[b]), (bottom[a], bottom[d], bottom[c]),
                      (top[a], top[b], top[c]), (top[a], top[c], top[d])]
    for i in range(len(profile)):
        j = (i + 1) % len(profile)
        triangles += [(bottom[i], bottom[j], top[j]), (bottom[i], top[j], top[i])]

    def normal(t):
        u = [t[1][k] - t[0][k] for k in range(3)]
        v = [t[2][k] - t[0][k] for k in range(3)]
        n = [u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]]
        length = math.sqrt(sum(c * c for c in n))
        return [c / length for c in n]

    text = "solid bracket\n"
    for t in triangles:
        n = normal(t)
        text += f"  facet normal {n[0]:g} {n[1]:g} {n[2]:g}\n    outer loop\n"
        for x, y, z in t:
            text += f"      vertex {x:g} {y:g} {z:g}\n"
        text += "    endloop\n  endfacet\n"
    write("bracket.stl", text + "endsolid bracket\n")

    # The picture: a parallel view from the front, right and above; faces turned away are
    # dropped, the rest painted back to front and shaded by how much they face the light.
    def unit(v):
        length = math.sqrt(sum(c * c for c in v))
        return [c / length for c in v]

    def dot(u, v):
        return sum(a * b for a, b in zip(u, v))

    view = unit((1.0, 1.1, 2.0))
    right = unit((view[2], 0.0, -view[0]))
    up = [view[1] * right[2] - view[2] * right[1], view[2] * right[0] - view[0] * right[2],
          view[0] * right[1] - view[1] * right[0]]
    light = unit((0.4, 1.0, 0.7))

    def project(p):
        return dot(p, right), -dot(p, up)

    faces = []
    for t in triangles:
        n = normal(t)
        if dot(n, view) <= 0:
            continue
        depth_key = sum(dot(p, view) for p in t) / 3
        shade = 0.25 + 0.75 * max(0.0, dot(n, light))
        faces.append((depth_key, [project(p) for p in t], shade))
    faces.sort(key=lambda face: face[0])
    xs = [x for _, pts, _ in faces for x, _ in pts]
    ys = [y for _, pts, _ in faces for _, y in pts]
    scale, margin = 6.0, 20
    width = (max(xs) - min(xs)) * scale + 2 * margin
    height = (max(ys) - min(ys)) * scale + 2 * margin
    svg = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width:.0f}" height="{height:.0f}">',
           "<title>bracket.stl: 20 triangles</title>",
           '<rect width="100%" height="100%" fill="#ffffff"/>']
    for _, pts, shade in faces:
        grey = int(40 + 200 * shade)
        d = " ".join(f"{(x - min(xs)) * scale + margin:.1f},{(y - min(ys)) * scale + margin:.1f}"
                     for x, y in pts)
        svg.append(f'<polygon points="{d}" fill="rgb({grey // 2},{grey * 3 // 4},{grey})" '
                   'stroke="#1d4f86" stroke-width="0.8" stroke-linejoin="round"/>')
    svg.append("</svg>\n")
    write("bracket.svg", "\n".join(svg))


def side_by_side(left, right, out):
    """One SVG of two of the tool's pictures, titled by the import that drew each."""
    pictures = [re.sub(r"<\?xml[^>]*>\s*", "", pathlib.Path(name).read_text())
                for name in (left, right)]
    sizes = [tuple(float(v) for v in re.search(r'width="([\d.]+)" height="([\d.]+)"', p).groups())
             for p in pictures]
    width = sum(w for w, _ in sizes) + 24
    height = max(h for _, h in sizes) + 40
    text = [f'<svg xmlns="http://www.w3.org/2000/svg" width="{width:.0f}" height="{height:.0f}">',
            '<rect width="100%" height="100%" fill="#ffffff"/>']
    x = 0.0
    for picture, (w, _), title in zip(pictures, sizes, ("vexlor-dxf import (the polyline reader)",
                                                        "vexlor-dxf import --accurate")):
        text.append(f'<text x="{x + w / 2:.0f}" y="28" font-family="sans-serif" font-size="20" '
                    f'text-anchor="middle">{title}</text>')
        text.append(picture.replace("<svg ", f'<svg x="{x:.0f}" y="40" ', 1).strip())
        x += w + 24
    text.append("</svg>\n")
    pathlib.Path(out).write_text("\n".join(text))


if __name__ == "__main__" and sys.argv[1:2] == ["--side-by-side"]:
    side_by_side(*sys.argv[2:5])
elif __name__ == "__main__":
    plate_lines()
    flange_arcs()
    block_hatch()
    cover_plate()
    switch_panel()
    bracket_mesh()
