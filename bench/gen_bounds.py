#!/usr/bin/env python3
# Writes small hostile drawings, each under 1 MB, that try to make the accurate import run
# long or hold much memory: arrays and nested blocks that multiply a few entities into billions
# of placed copies, curves whose chord count the drawing's extent blows up, counts that claim
# more than the file holds, and bytes that are no drawing at all. Each file is named for its
# shape; bench/bounds.sh imports them all under a time and memory watch. Seeded: the same files
# on every run.
# usage: bench/gen_bounds.py OUT_FOLDER
# SPDX-License-Identifier: MIT
import math
import os
import random
import sys

MB = 1 << 20


def drawing(blocks, entities, header=""):
    """A drawing with the header variables, block definitions and model space given."""
    return ("0\nSECTION\n2\nHEADER\n" + header + "0\nENDSEC\n"
            "0\nSECTION\n2\nTABLES\n0\nTABLE\n2\nLAYER\n0\nENDTAB\n0\nENDSEC\n"
            "0\nSECTION\n2\nBLOCKS\n" + blocks + "0\nENDSEC\n"
            "0\nSECTION\n2\nENTITIES\n" + entities + "0\nENDSEC\n0\nEOF\n")


def block(name, body):
    return f"0\nBLOCK\n8\n0\n2\n{name}\n70\n0\n10\n0.0\n20\n0.0\n30\n0.0\n3\n{name}\n" + body + \
        "0\nENDBLK\n8\n0\n"


def insert(name, x=0.0, y=0.0, columns=1, rows=1, spacing=3.0, scale=1.0):
    """An INSERT; with more than one column or row, the array of copies a MINSERT places."""
    text = f"0\nINSERT\n8\n0\n2\n{name}\n10\n{x!r}\n20\n{y!r}\n30\n0.0\n"
    if scale != 1.0:
        text += f"41\n{scale!r}\n42\n{scale!r}\n43\n{scale!r}\n"
    if columns != 1 or rows != 1:
        text += f"70\n{columns}\n71\n{rows}\n44\n{spacing!r}\n45\n{spacing!r}\n"
    return text


def circle(x=0.0, y=0.0, r=1.0):
    return f"0\nCIRCLE\n8\n0\n10\n{x!r}\n20\n{y!r}\n30\n0.0\n40\n{r!r}\n"


def line(x1, y1, x2, y2):
    return f"0\nLINE\n8\n0\n10\n{x1!r}\n20\n{y1!r}\n30\n0.0\n11\n{x2!r}\n21\n{y2!r}\n31\n0.0\n"


def ellipse():
    # A whole ellipse of semi-axes 1 and 0.5.
    return ("0\nELLIPSE\n8\n0\n10\n0.0\n20\n0.0\n30\n0.0\n11\n1.0\n21\n0.0\n31\n0.0\n"
            f"40\n0.5\n41\n0.0\n42\n{2 * math.pi!r}\n")


def spline(controls, degree, knots):
    text = (f"0\nSPLINE\n8\n0\n70\n8\n71\n{degree}\n72\n{len(knots)}\n73\n{len(controls)}\n"
            "74\n0\n")
    text += "".join(f"40\n{k!r}\n" for k in knots)
    text += "".join(f"10\n{x!r}\n20\n{y!r}\n30\n0.0\n" for x, y in controls)
    return text


def clamped_knots(controls, degree):
    """Knots that make a spline of `controls` control points start and end on its ends."""
    inner = controls - degree - 1
    return [0.0] * (degree + 1) + [round((i + 1) / (inner + 1), 9) for i in range(inner)] + \
        [1.0] * (degree + 1)


def wavy_controls(count, rng, width=1.0):
    return [(round(width * i / max(count - 1, 1), 6), round(rng.uniform(-0.5, 0.5), 6))
            for i in range(count)]


def bulged_polyline():
    # A closed square of half circles: every side bulges out by 1.
    corners = ((0.0, 0.0), (1.0, 0.0), (1.0, 1.0), (0.0, 1.0))
    text = "0\nLWPOLYLINE\n8\n0\n90\n4\n70\n1\n"
    return text + "".join(f"10\n{x!r}\n20\n{y!r}\n42\n1.0\n" for x, y in corners)


def arc():
    return "0\nARC\n8\n0\n10\n0.0\n20\n0.0\n30\n0.0\n40\n1.0\n50\n0.0\n51\n270.0\n"


def hatch():
    # One edge boundary of two half-circle arc edges round the unit circle.
    return ("0\nHATCH\n8\n0\n10\n0.0\n20\n0.0\n30\n0.0\n2\nSOLID\n70\n1\n71\n0\n91\n1\n"
            "92\n1\n93\n2\n"
            "72\n2\n10\n0.0\n20\n0.0\n40\n1.0\n50\n0.0\n51\n180.0\n73\n1\n"
            "72\n2\n10\n0.0\n20\n0.0\n40\n1.0\n50\n180.0\n51\n360.0\n73\n1\n"
            "97\n0\n75\n0\n76\n1\n98\n0\n")


def minsert_of(body, columns=5000, rows=5000):
    """One block of `body` placed by a MINSERT of columns x rows copies, 3 apart."""
    return drawing(block("B", body), insert("B", columns=columns, rows=rows))


def drawings(rng):
    """The drawings, by name: text for an ASCII drawing, bytes for anything else."""
    out = {}
    out["minsert_circle"] = minsert_of(circle())
    out["minsert_ellipse"] = minsert_of(ellipse())
    out["minsert_spline"] = minsert_of(spline(wavy_controls(5, rng), 3, clamped_knots(5, 3)))
    out["minsert_bulged_lwpolyline"] = minsert_of(bulged_polyline())
    out["minsert_arc"] = minsert_of(arc())
    out["minsert_hatch"] = minsert_of(hatch())
    lines = "".join(line(rng.uniform(0, 2), rng.uniform(0, 2), rng.uniform(0, 2),
                         rng.uniform(0, 2)) for _ in range(1000))
    out["minsert_1000_lines"] = minsert_of(lines)
    # Array counts whose product leaves 32 bits, or the counts' own range.
    out["minsert_counts_2pow32"] = minsert_of(circle(), 65536, 65536)
    out["minsert_counts_int_max"] = minsert_of(circle(), 2147483647, 2147483647)

    # Ten levels of blocks, each placing the next ten times along x, the last a circle:
    # 10^10 circles from eleven blocks.
    levels = 10
    blocks = block(f"L{levels}", circle())
    for level in range(levels - 1, -1, -1):
        step = 3.0 * 10 ** (levels - 1 - level)
        blocks += block(f"L{level}", "".join(insert(f"L{level + 1}", x=i * step)
                                             for i in range(10)))
    out["nested_fanout_10x10"] = drawing(blocks, insert("L0"))

    # A 100 x 100 MINSERT of a block that holds a 100 x 100 MINSERT of a circle: 10^8 circles.
    blocks = block("C", circle()) + block("A", insert("C", columns=100, rows=100))
    out["nested_minsert_100x100x100x100"] = drawing(blocks,
                                                    insert("A", columns=100, rows=100,
                                                           spacing=400.0))

    # A circle so large that the extent makes the tolerance huge, beside a tiny one; and one
    # whose diameter leaves the doubles.
    out["huge_radius_1e300"] = drawing("", circle(0.0, 0.0, 1e300) + circle(5.0, 5.0, 1e-3))
    out["huge_radius_1e308"] = drawing("", circle(0.0, 0.0, 1e308) + circle(5.0, 5.0, 1e-3))
    # Curves far larger than the points that define them: if the extent followed the points
    # alone, the tolerance would be tiny beside the curve and its chords countless.
    out["extent_circle_huge_beside_line"] = drawing(
        "", line(0.0, 0.0, 1.0, 0.0) + circle(0.5, 0.5, 1e9))
    out["extent_scaled_insert"] = drawing(
        block("U", circle()), line(0.0, 0.0, 1.0, 0.0) + insert("U", 0.5, 0.5, scale=1e9))
    # Bulge 1e9 between two points 1 apart: nearly a whole circle of radius 2.5e8.
    out["extent_bulge_1e9"] = drawing(
        "", "0\nLWPOLYLINE\n8\n0\n90\n2\n70\n0\n10\n0.0\n20\n0.0\n42\n1e9\n10\n1.0\n20\n0.0\n")
    # The same bulge many times over: each polyline two points in the file but a whole
    # circle's chords in the result, whether drawn 10,000 times or placed by a MINSERT.
    huge_bulge = "0\nLWPOLYLINE\n8\n0\n90\n2\n70\n0\n10\n{x!r}\n20\n{y!r}\n42\n1e9\n" \
        "10\n{x1!r}\n20\n{y!r}\n"
    out["many_bulges_1e9"] = drawing("", "".join(
        huge_bulge.format(x=float(i % 100), x1=i % 100 + 1.0, y=float(i // 100))
        for i in range(10000)))
    out["minsert_bulge_1e9"] = minsert_of(huge_bulge.format(x=0.0, x1=1.0, y=0.0))
    # The ellipse's minor axis far smaller than its major, its point count led by the ends.
    out["extent_thin_ellipse"] = drawing(
        "", "0\nELLIPSE\n8\n0\n10\n0.0\n20\n0.0\n30\n0.0\n11\n1e9\n21\n0.0\n31\n0.0\n"
        f"40\n1e-12\n41\n0.0\n42\n{2 * math.pi!r}\n" + line(0.0, 0.0, 1.0, 0.0))

    # Splines: many knots at degree 3; a high degree; knots crowded into a tiny span.
    count = 15000
    out["spline_15000_controls"] = drawing(
        "", spline(wavy_controls(count, rng, 1000.0), 3, clamped_knots(count, 3)))
    count, degree = 2000, 200
    out["spline_degree_200"] = drawing(
        "", spline(wavy_controls(count, rng, 10.0), degree, clamped_knots(count, degree)))
    count = 10000
    out["spline_crowded_knots"] = drawing(
        "", spline(wavy_controls(count, rng, 1000.0), 3,
                   [0.0] * 4 + [1e-300 * (i + 1) for i in range(count - 4)] + [1.0] * 4))

    # Counts that claim far more than the file holds, which must not be allocated up front.
    out["claims_lwpolyline_2e9_vertices"] = drawing(
        "", "0\nLWPOLYLINE\n8\n0\n90\n2000000000\n70\n0\n10\n0.0\n20\n0.0\n10\n1.0\n20\n0.0\n")
    out["claims_spline_2e9_knots"] = drawing(
        "", "0\nSPLINE\n8\n0\n70\n8\n71\n3\n72\n2000000000\n73\n2000000000\n40\n0.0\n"
        "10\n0.0\n20\n0.0\n30\n0.0\n")
    out["claims_hatch_2e9_edges"] = drawing(
        "", "0\nHATCH\n8\n0\n91\n2000000000\n92\n1\n93\n2000000000\n"
        "72\n1\n10\n0.0\n20\n0.0\n11\n1.0\n21\n0.0\n97\n0\n")

    # Bytes that are no drawing.
    out["garbage_random_1mb"] = rng.randbytes(MB - 4096)
    out["nul_900kb"] = bytes(900 * 1024)
    out["header_then_garbage"] = (
        "0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$INSUNITS\n70\n4\n0\nENDSEC\n"
        "0\nSECTION\n2\nENTITIES\n").encode() + rng.randbytes(900 * 1024)
    # One value line of 900 KB: a layer name, and a number of 900 KB of digits.
    long_value = 900 * 1024
    out["long_line_layer_name"] = drawing(
        "", "0\nLINE\n8\n" + "L" * long_value + "\n10\n0.0\n20\n0.0\n11\n1.0\n21\n0.0\n")
    out["long_line_number"] = drawing(
        "", "0\nLINE\n8\n0\n10\n0." + "1" * long_value + "\n20\n0.0\n11\n1.0\n21\n0.0\n")

    # Copies whose every one costs much work: a spline of degree 31, and a hatch of 2,000 arc
    # edges; and arrays that stay within the budget, so that linking and the crossing test run
    # on all they give.
    more = random.Random(7)
    count, degree = 2000, 31
    out["minsert_spline_degree_31"] = minsert_of(
        spline(wavy_controls(count, more, 1.0), degree, clamped_knots(count, degree)), 100, 100)
    edges = "".join(f"72\n2\n10\n{k}.0\n20\n0.0\n40\n0.5\n50\n180.0\n51\n360.0\n73\n1\n"
                    for k in range(2000))
    out["minsert_hatch_2000_edges"] = minsert_of(
        f"0\nHATCH\n8\n0\n91\n1\n92\n1\n93\n2000\n{edges}97\n0\n", 1000, 1000)
    out["minsert_lines_within_budget"] = minsert_of(
        line(0.0, 0.0, 1.0, 0.0) + line(0.0, 1.0, 1.0, 1.0), 1000, 1000)
    out["minsert_circles_within_budget"] = minsert_of(circle(), 600, 600)
    # A block that leaves out 5,000 kinds of entity, each copy counting them; and 4,000,000 long
    # parallel lines, which the crossing test sweeps.
    out["minsert_5000_skipped_kinds"] = minsert_of(
        "".join(f"0\nKIND{k}\n8\n0\n" for k in range(5000)), 1000, 1000)
    out["parallel_long_lines_4m"] = drawing(
        block("B", line(0.0, 0.0, 10000.0, 0.0)),
        insert("B", columns=1, rows=4000000, spacing=0.001))
    return out


def main():
    if len(sys.argv) != 2:
        sys.exit("usage: gen_bounds.py OUT_FOLDER")
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    for name, content in drawings(random.Random(20260121)).items():
        data = content.encode() if isinstance(content, str) else content
        assert len(data) < MB, name
        with open(os.path.join(folder, name + ".dxf"), "wb") as f:
            f.write(data)


if __name__ == "__main__":
    main()
