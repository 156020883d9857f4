#!/usr/bin/env python3
# Writes two drawings of the same 100,000 entities for the accurate import's instancing
# benchmark: blocks.dxf places one block of 100 entities (lines, arcs, circles, bulged
# polylines) 1,000 times, turned and mirrored on a grid; direct.dxf draws every placed entity
# itself, its coordinates worked out here. Seeded: the same files on every run.
# usage: bench/gen_blocks.py OUT_FOLDER
# SPDX-License-Identifier: MIT
import math
import os
import random
import sys

COPIES = 1000
ENTITIES = 100


def block_entities(rng):
    """The block's entities in its own coordinates, as (kind, values) records."""
    out = []
    for i in range(ENTITIES):
        x, y = rng.uniform(0, 80), rng.uniform(0, 80)
        kind = ("LINE", "LINE", "LINE", "ARC", "CIRCLE", "LWPOLYLINE")[i % 6]
        if kind == "LINE":
            out.append(("LINE", (x, y, x + rng.uniform(-10, 10), y + rng.uniform(-10, 10))))
        elif kind == "ARC":
            out.append(("ARC", (x, y, rng.uniform(1, 5), rng.uniform(0, 180),
                                rng.uniform(180, 360))))
        elif kind == "CIRCLE":
            out.append(("CIRCLE", (x, y, rng.uniform(1, 5))))
        else:
            out.append(("LWPOLYLINE", ((x, y, 0.0), (x + 6, y, 0.4), (x + 6, y + 4, 0.0),
                                       (x, y + 4, 0.0))))
    return out


def write(out, kind, values, layer="Parts"):
    if kind == "LINE":
        x1, y1, x2, y2 = values
        out.append(f"0\nLINE\n8\n{layer}\n10\n{x1!r}\n20\n{y1!r}\n30\n0.0\n11\n{x2!r}\n"
                   f"21\n{y2!r}\n31\n0.0\n")
    elif kind == "ARC":
        x, y, r, a, b = values
        out.append(f"0\nARC\n8\n{layer}\n10\n{x!r}\n20\n{y!r}\n30\n0.0\n40\n{r!r}\n"
                   f"50\n{a!r}\n51\n{b!r}\n")
    elif kind == "CIRCLE":
        x, y, r = values
        out.append(f"0\nCIRCLE\n8\n{layer}\n10\n{x!r}\n20\n{y!r}\n30\n0.0\n40\n{r!r}\n")
    else:
        out.append(f"0\nLWPOLYLINE\n8\n{layer}\n90\n{len(values)}\n70\n1\n")
        for x, y, bulge in values:
            out.append(f"10\n{x!r}\n20\n{y!r}\n42\n{bulge!r}\n")


def placed(kind, values, turn, mirror, at):
    """An entity placed as the INSERT places it: mirrored in x, turned, moved."""
    c, s = math.cos(math.radians(turn)), math.sin(math.radians(turn))

    def point(x, y):
        x = -x if mirror else x
        return at[0] + c * x - s * y, at[1] + s * x + c * y

    if kind == "LINE":
        return kind, (*point(*values[:2]), *point(*values[2:]))
    if kind in ("ARC", "CIRCLE"):
        x, y = point(values[0], values[1])
        if kind == "CIRCLE":
            return kind, (x, y, values[2])
        a, b = values[3], values[4]
        if mirror:  # a mirror runs the arc the other way round: its ends swap
            a, b = 180 - b, 180 - a
        return kind, (x, y, values[2], (a + turn) % 360, (b + turn) % 360)
    return kind, tuple((*point(x, y), -bulge if mirror else bulge) for x, y, bulge in values)


def main():
    folder = sys.argv[1]
    os.makedirs(folder, exist_ok=True)
    rng = random.Random(20261206)
    entities = block_entities(rng)
    header = "0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n4\n0\nENDSEC\n"
    blocks, direct = [header, "0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nPART\n70\n0\n10\n0.0\n20\n0.0\n"
                      "30\n0.0\n"], [header, "0\nSECTION\n2\nENTITIES\n"]
    for kind, values in entities:
        write(blocks, kind, values, "0")
    blocks.append("0\nENDBLK\n0\nENDSEC\n0\nSECTION\n2\nENTITIES\n")
    for copy in range(COPIES):
        at = (copy % 40 * 120.0, copy // 40 * 120.0)
        turn = (copy * 37) % 360
        mirror = copy % 3 == 0
        blocks.append(f"0\nINSERT\n8\nParts\n2\nPART\n10\n{at[0]!r}\n20\n{at[1]!r}\n30\n0.0\n"
                      f"41\n{-1.0 if mirror else 1.0}\n42\n1.0\n43\n1.0\n50\n{float(turn)!r}\n")
        for kind, values in entities:
            write(direct, *placed(kind, values, turn, mirror, at))
    for parts in (blocks, direct):
        parts.append("0\nENDSEC\n0\nEOF\n")
    with open(os.path.join(folder, "blocks.dxf"), "w") as f:
        f.write("".join(blocks))
    with open(os.path.join(folder, "direct.dxf"), "w") as f:
        f.write("".join(direct))


if __name__ == "__main__":
    main()
