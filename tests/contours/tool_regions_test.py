#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The tool's --regions and --link-distance, end to end: the summary line, the JSON's analysis
and the SVG's marks, on drawings made here with values worked out by hand.

    python3 tool_regions_test.py TOOL
"""
import json
import os
import subprocess
import sys
import tempfile
import xml.etree.ElementTree as ElementTree

TOOL = sys.argv[1]


def lwpolyline(points, closed):
    text = f"0\nLWPOLYLINE\n8\n0\n90\n{len(points)}\n70\n{1 if closed else 0}\n"
    return text + "".join(f"10\n{x!r}\n20\n{y!r}\n" for x, y in points)


def drawing(*entities):
    return "0\nSECTION\n2\nENTITIES\n" + "".join(entities) + "0\nENDSEC\n0\nEOF\n"


def run(*args):
    r = subprocess.run([TOOL, "import", *args], capture_output=True, text=True)
    assert r.returncode == 0, r
    return r.stdout


def main():
    with tempfile.TemporaryDirectory() as folder:
        os.chdir(folder)
        # An outline 10 wide (chord tolerance 1e-4) with a hole, and an open square whose two
        # pieces miss each other by 1.3e-4 at both corners where they should meet.
        square = [(20.0, 0.0), (30.0, 0.0), (30.0, 10.0)]
        rest = [(30.0 - 1.3e-4, 10.0), (20.0, 10.0), (20.0, 0.00013)]
        with open("d.dxf", "w") as out:
            out.write(drawing(lwpolyline([(0, 0), (10, 0), (10, 10), (0, 10)], True),
                              lwpolyline([(2, 2), (2, 8), (8, 8), (8, 2)], True),
                              lwpolyline(square, False), lwpolyline(rest, False)))
        # Extent 30: the chord tolerance, 3e-4, joins the pieces by default.
        out = run("d.dxf", "--regions", "--json", "d.json", "--svg", "d.svg")
        assert "  regions: 2 regions (1 hole), 0 open\n" in out, out
        analysis = json.load(open("d.json"))["analysis"]
        assert analysis["regions"][0] == {"outline": 0, "holes": [1], "area": 64.0,
                                          "counter_clockwise": True}, analysis
        assert analysis["nesting"][1] == {"parent": 0, "depth": 1, "area": -36.0}, analysis
        assert analysis["gaps"] == [] and analysis["crossings"] == [], analysis
        # At 1e-4 they stay apart: two gaps of 1.3e-4, which 2e-4 would close.
        out = run("d.dxf", "--regions", "--link-distance", "1e-4", "--json", "e.json",
                  "--svg", "e.svg")
        assert "  regions: 1 region (1 hole), 2 open; 2 gaps up to 0.00013: " \
               "--link-distance 0.0002 closes them\n" in out, out
        analysis = json.load(open("e.json"))["analysis"]
        assert analysis["linking_distance"] == 1e-4 and analysis["open"] == [2, 3], analysis
        assert [g["contours"] for g in analysis["gaps"]] == [[2, 3], [2, 3]], analysis
        for gap in analysis["gaps"]:
            assert abs(gap["distance"] - 1.3e-4) < 1e-9, gap
        svg = ElementTree.parse("e.svg").getroot()
        ns = "{http://www.w3.org/2000/svg}"
        groups = {g.get("class"): g for g in svg.iter(ns + "g")}
        assert len(groups["gaps"].findall(ns + "circle")) == 2, ElementTree.tostring(svg)
        assert [t.text for t in groups["gaps"].findall(ns + "text")] == ["0.00013"] * 2
        # The region's path: the outline then the hole, cut out by the even-odd rule.
        region = groups["regions"].findall(ns + "path")
        assert len(region) == 1 and region[0].get("d").count("Z") == 2, ElementTree.tostring(svg)
        assert groups["regions"].get("fill-rule") == "evenodd"
        # Two squares crossing at (2, 1) and (1, 2), and a bow tie crossing itself at (11, 1).
        with open("c.dxf", "w") as out:
            out.write(drawing(lwpolyline([(0, 0), (2, 0), (2, 2), (0, 2)], True),
                              lwpolyline([(1, 1), (3, 1), (3, 3), (1, 3)], True),
                              lwpolyline([(10, 0), (12, 2), (12, 0), (10, 2)], True)))
        out = run("c.dxf", "--regions", "--json", "c.json", "--svg", "c.svg")
        assert "2 crossing pairs (1 contour crossing itself); nesting not well defined" in out, out
        analysis = json.load(open("c.json"))["analysis"]
        assert analysis["crossing_count"] == 2 and not analysis["nesting_well_defined"]
        got = sorted((tuple(c["contours"]), tuple(c["at"])) for c in analysis["crossings"])
        assert got[0][0] == (0, 1) and got[0][1] in ((2.0, 1.0), (1.0, 2.0)), got
        assert got[1] == ((2, 2), (11.0, 1.0)), got
        svg = ElementTree.parse("c.svg").getroot()
        crosses = [g for g in svg.iter(ns + "g") if g.get("class") == "crossings"][0]
        assert len(crosses.findall(ns + "path")) == 2
        # Without --regions nothing of it is said or written.
        out = run("c.dxf", "--json", "p.json")
        assert "regions:" not in out and "analysis" not in json.load(open("p.json")), out
    print("tool regions: passed")


if __name__ == "__main__":
    main()
