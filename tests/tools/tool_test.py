#!/usr/bin/env python3
# End-to-end tests of vexlor-dxf: runs the built tool and holds its output against the library's.
# SPDX-License-Identifier: MIT
"""Usage: tool_test.py --tool T --reference R --host-example H --examples DIR --version V CASE"""
import argparse
import json
import os
import pathlib
import pty
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import xml.etree.ElementTree as ElementTree

SVG = "{http://www.w3.org/2000/svg}"
SAMPLES = ["plate_lines.dxf", "flange_arcs.dxf", "block_hatch.dxf"]
CASES = {}


def case(function):
    CASES[function.__name__] = function
    return function


class Failure(Exception):
    pass


def check(condition, message):
    if not condition:
        raise Failure(message)


def run(args, cwd=None, **kwargs):
    args = [a if isinstance(a, bytes) else str(a) for a in args]
    result = subprocess.run(args, cwd=cwd, capture_output=True, timeout=300,
                            **kwargs)
    result.out = result.stdout.decode("utf-8", "replace")
    result.err = result.stderr.decode("utf-8", "replace")
    return result


def expect(result, status, *messages, stream="err"):
    """The run ended with `status` and its stderr (or stdout) holds every message."""
    text = result.err if stream == "err" else result.out
    where = f"{result.args[1:]}\n--- stdout\n{result.out}--- stderr\n{result.err}"
    check(result.returncode == status, f"status {result.returncode}, expected {status}: {where}")
    for message in messages:
        check(message in text, f"'{message}' missing from the {stream} of {where}")


def dxf(*pairs):
    return "".join(f"{code}\n{value}\n" for code, value in pairs)


def entities(*entity_pairs):
    body = [(0, "SECTION"), (2, "ENTITIES"), *entity_pairs, (0, "ENDSEC"), (0, "EOF")]
    return dxf(*body)


def line(x0, y0, x1, y1):
    return [(0, "LINE"), (10, x0), (20, y0), (11, x1), (21, y1)]


def reference_import(ctx, drawing):
    """The library's own result, box and polylines for `drawing`, read back exactly."""
    lines = run([ctx.reference, "import", drawing]).out.splitlines()
    box = [float.fromhex(v) for v in lines[1].split()[1:]]
    polylines = []
    for text in lines[2:]:
        words = text.split()
        values = [float.fromhex(v) for v in words[1:]]
        polylines.append((words[0] == "closed", list(zip(values[0::2], values[1::2]))))
    return int(lines[0].split()[1]), box, polylines


def hexes(values):
    return [v.hex() for v in values]


def check_svg(path, polylines):
    root = ElementTree.parse(path).getroot()  # raises on XML that is not well-formed
    check(root.tag == SVG + "svg", f"{path}: the root is {root.tag}")
    width, height = (float(v) for v in root.get("viewBox").split()[2:])
    drawn = [p for p in polylines if p[1]]
    paths = root.findall(f".//{SVG}path")
    check(len(paths) == len(drawn), f"{path}: {len(paths)} paths for {len(drawn)} polylines")
    closed = root.findall(f"./{SVG}g[@class='closed']/{SVG}path")
    check(len(closed) == sum(1 for c, _ in drawn if c), f"{path}: closed paths miscounted")
    for element in paths:
        d = element.get("d")
        check(d.endswith("Z") == (element in closed), f"{path}: 'Z' on the wrong path: {d}")
        # Scaled to fit inside the margin, whatever the drawing's own units.
        numbers = [float(v) for v in re.findall(r"-?\d+\.\d+", d)]
        xs, ys = numbers[0::2], numbers[1::2]
        check(min(xs) >= 23.9 and max(xs) <= width - 23.9, f"{path}: x outside the margin")
        check(min(ys) >= 23.9 and max(ys) <= height - 23.9, f"{path}: y outside the margin")
    extent = max(max(float(v) for v in re.findall(r"\d+\.\d+", p.get("d"))) for p in paths)
    check(extent > 700, f"{path}: the drawing is not scaled up to the picture ({extent})")


@case
def import_samples(ctx):
    """Summary, SVG and JSON of each sample agree with what the library produces."""
    for name in SAMPLES:
        drawing = ctx.examples / name
        svg, out_json = ctx.work / (name + ".svg"), ctx.work / (name + ".json")
        result = run([ctx.tool, "import", drawing, "--svg", svg, "--json", out_json])
        code, box, polylines = reference_import(ctx, drawing)
        expect(result, code, f"{drawing}: imported (result 0)", stream="out")
        closed = sum(1 for c, _ in polylines if c)
        points = sum(len(p) for _, p in polylines)
        expect(result, code, f"contours: {len(polylines)} ({closed} closed, "
               f"{len(polylines) - closed} open", f"), {points} points", stream="out")
        shown = [float(v) for v in re.search(r"box: x (\S+) to (\S+), y (\S+) to (\S+) \(y points "
                                             r"down\)", result.out).groups()]
        check(shown == [float(f"{v:.9g}") for v in (box[0], box[2], box[1], box[3])],
              f"{name}: box {shown} against {box}")
        check_svg(svg, polylines)
        record = json.loads(out_json.read_text())
        check(record["result"] == code and record["file"] == str(drawing), f"{name}: JSON head")
        check(hexes(record["box"]["left_top"] + record["box"]["right_bottom"]) == hexes(box),
              f"{name}: JSON box {record['box']} against {box}")
        got = [(p["closed"], [hexes(xy) for xy in p["points"]]) for p in record["polylines"]]
        want = [(c, [hexes(xy) for xy in pts]) for c, pts in polylines]
        check(got == want, f"{name}: the JSON polylines differ from the library's")


@case
def import_errors(ctx):
    """Each failure a user can cause gives its status and a message naming the file."""
    files = {
        "bad_number.dxf": entities(*line("0", "abc", "1", "0")),
        "huge_number.dxf": entities(*line("0", "1e999", "1", "0")),
        "empty.dxf": entities((0, "TEXT"), (1, "hello")),
        "crossing.dxf": entities(*line(0, 0, 10, 10), *line(0, 10, 10, 0)),
        "no_eof.dxf": entities(*line(0, 0, 1, 0)).replace("0\nEOF\n", ""),
    }
    for name, text in files.items():
        (ctx.work / name).write_text(text)
    expect(run([ctx.tool, "import", "bad_number.dxf"], cwd=ctx.work), 65,
           "bad_number.dxf: holds a value that is not a number (std::invalid_argument")
    expect(run([ctx.tool, "import", "huge_number.dxf"], cwd=ctx.work), 65,
           "huge_number.dxf: holds a number out of range (std::out_of_range")
    expect(run([ctx.tool, "import", "empty.dxf"], cwd=ctx.work), 3,
           "empty.dxf: no contours found (result 3)")
    expect(run([ctx.tool, "import", "crossing.dxf"], cwd=ctx.work), 4,
           "crossing.dxf: contours cross each other (result 4)")
    expect(run([ctx.tool, "import", "no_eof.dxf"], cwd=ctx.work), 1,
           "no_eof.dxf: cannot be read to its end")
    expect(run([ctx.tool, "import", "missing.dxf"], cwd=ctx.work), 2,
           "missing.dxf: cannot be opened: No such file or directory (result 2)")
    (ctx.work / "folder.dxf").mkdir()
    expect(run([ctx.tool, "import", "folder.dxf"], cwd=ctx.work), 1,
           "folder.dxf: cannot be read: it is a directory")
    # Several drawings: each in turn, whatever happened to the one before; the highest status.
    sample = ctx.examples / "flange_arcs.dxf"
    result = run([ctx.tool, "import", "missing.dxf", "bad_number.dxf", sample], cwd=ctx.work)
    expect(result, 65, f"{sample}: imported (result 0)", stream="out")
    check(result.err.index("missing.dxf") < result.err.index("bad_number.dxf"), result.err)
    # An output that cannot be written: 73, the import's own summary still shown.
    result = run([ctx.tool, "import", sample, "--svg", ctx.work / "no" / "such" / "x.svg"])
    expect(result, 73, "x.svg: cannot be written: No such file or directory")
    expect(result, 73, "imported (result 0)", stream="out")


@case
def usage(ctx):
    """Usage errors give 64; help and version give 0."""
    sample = ctx.examples / "flange_arcs.dxf"
    for args in [[], ["convert", sample], ["import"], ["import", sample, "--frobnicate"],
                 ["import", sample, sample, "--svg", "one.svg"], ["export", "mesh.stl"]]:
        expect(run([ctx.tool, *args], cwd=ctx.work), 64)
    expect(run([ctx.tool, "--help"]), 0, "Exit status", "64", "65", "70", stream="out")
    expect(run([ctx.tool, "import", "--help"]), 0, "--svg", "--json", stream="out")
    expect(run([ctx.tool, "export", "--help"]), 0, "Ctrl-C", "removed", stream="out")
    expect(run([ctx.tool, "--version"]), 0, f"vexlor-dxf {ctx.version}", stream="out")
    # --svg given twice for two drawings goes with them in order.
    result = run([ctx.tool, "import", sample, "--svg", "a.svg", sample, "--svg", "b.svg"],
                 cwd=ctx.work)
    expect(result, 0)
    check((ctx.work / "a.svg").exists() and (ctx.work / "b.svg").exists(), "an SVG is missing")


@case
def non_ascii_names(ctx):
    """UTF-8 names reach the library intact, whatever the locale."""
    name = "Zeichnung-\u00e4\u20ac\U0001F600.dxf"
    shutil.copy(ctx.examples / "plate_lines.dxf", ctx.work / name)
    result = run([ctx.tool, "import", name, "--json", "\u00e9.json"], cwd=ctx.work,
                 env={**os.environ, "LC_ALL": "C"})
    expect(result, 0, f"{name}: imported (result 0)", stream="out")
    check(json.loads((ctx.work / "\u00e9.json").read_text("utf-8"))["file"] == name, "file name")
    expect(run([ctx.tool, "import", b"bad-\xff.dxf"], cwd=ctx.work), 64, "not valid UTF-8")


@case
def export_matches_library(ctx):
    """Binary STL, ASCII STL and OBJ of one mesh give exactly the library's file of the record."""
    stem = ctx.work / "cube"
    check(run([ctx.reference, "mesh", stem]).returncode == 0, "the reference export failed")
    expected = (ctx.work / "cube-expected.dxf").read_bytes()
    for mesh, kind in [("cube.stl", "binary STL"), ("cube-ascii.stl", "ASCII STL"),
                       ("cube.obj", "OBJ")]:
        out = ctx.work / (mesh + ".dxf")
        result = run([ctx.tool, "export", ctx.work / mesh, out])
        expect(result, 0, f"12 triangles ({kind}) written to {out} (result 0)", stream="out")
        check(out.read_bytes() == expected, f"{mesh}: the tool's DXF differs from the library's")
        check("\r" not in result.err, "a progress bar was drawn on a pipe")
    # On a terminal, the bar is drawn on stderr and reaches 100%.
    leader, follower = pty.openpty()
    status = subprocess.run([str(ctx.tool), "export", str(ctx.work / "cube.stl"),
                             str(ctx.work / "bar.dxf")], stderr=follower,
                            stdout=subprocess.DEVNULL, timeout=60).returncode
    os.close(follower)
    bar = os.read(leader, 65536).decode()
    os.close(leader)
    check(status == 0 and "\r" in bar and "100%" in bar, f"no progress bar: {bar!r}")


@case
def export_errors(ctx):
    """Each failure a user can cause on export gives its status and a clear message."""
    (ctx.work / "text.stl").write_text("hello\n")
    (ctx.work / "empty.stl").write_text("solid nothing\nendsolid nothing\n")
    (ctx.work / "bad.obj").write_text("v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n")
    run([ctx.reference, "mesh", ctx.work / "cube"])
    data = (ctx.work / "cube.stl").read_bytes()
    (ctx.work / "short.stl").write_bytes(data[:-10])
    out = ctx.work / "out.dxf"
    expect(run([ctx.tool, "export", "missing.stl", out], cwd=ctx.work), 66,
           "missing.stl: cannot be opened: No such file or directory")
    expect(run([ctx.tool, "export", "text.stl", out], cwd=ctx.work), 65,
           "text.stl: not a valid STL mesh")
    expect(run([ctx.tool, "export", "short.stl", out], cwd=ctx.work), 65,
           "short.stl: not a valid STL mesh")
    expect(run([ctx.tool, "export", "bad.obj", out], cwd=ctx.work), 65,
           "bad.obj: not a valid OBJ mesh: line 4: '4' names no vertex")
    expect(run([ctx.tool, "export", "empty.stl", out], cwd=ctx.work), 3,
           "empty.stl: holds no triangles; nothing was written (result 3)")
    check(not out.exists(), "an output was written for an empty mesh")
    expect(run([ctx.tool, "export", "cube.stl", "no/such/out.dxf"], cwd=ctx.work), 2,
           "no/such/out.dxf: cannot be opened for writing: No such file or directory (result 2)")
    if os.path.exists("/dev/full"):
        expect(run([ctx.tool, "export", "cube.stl", "/dev/full"], cwd=ctx.work), 3,
               "/dev/full: writing failed", "nothing was removed")
        check(stat.S_ISCHR(os.stat("/dev/full").st_mode), "/dev/full is no longer a device")


@case
def export_sigint(ctx):
    """Ctrl-C during a long export: status 4, a message, and no partial file left."""
    mesh, out = ctx.work / "big.stl", ctx.work / "big.dxf"
    check(run([ctx.reference, "bigmesh", mesh, 1000000]).returncode == 0, "no big mesh")
    process = subprocess.Popen([str(ctx.tool), "export", str(mesh), str(out)],
                               stdout=subprocess.PIPE, stderr=subprocess.PIPE)
    # The output appears when the export opens it, after the mesh was read: then interrupt.
    deadline = time.monotonic() + 120
    while not out.exists() and process.poll() is None and time.monotonic() < deadline:
        time.sleep(0.002)
    process.send_signal(signal.SIGINT)
    stdout, stderr = process.communicate(timeout=120)
    err = stderr.decode()
    check(process.returncode == 4, f"status {process.returncode}, expected 4: {err}")
    check(f"{out}: export cancelled by Ctrl-C; the partial file was removed (result 4)" in err,
          err)
    check(not out.exists(), "the partial file was left")


@case
def host_example(ctx):
    """The README's host example builds (CI compiles it), runs on a sample and is quoted whole."""
    out = ctx.work / "tetrahedron.dxf"
    result = run([ctx.host_example, ctx.examples / "flange_arcs.dxf", out])
    expect(result, 0, "closed contour of 30 points", "box (-30, -30) to (130, 30)", stream="out")
    check(out.read_text().count("3DFACE") == 4, "the example's export is not 4 faces")
    readme = (ctx.examples.parent / "README.md").read_text("utf-8")
    source = (ctx.examples / "host_example.cpp").read_text("utf-8")
    check(f"```cpp\n{source}```" in readme, "README.md does not quote host_example.cpp as it is")


def main():
    parser = argparse.ArgumentParser()
    for option in ["--tool", "--reference", "--host-example", "--examples"]:
        parser.add_argument(option, type=lambda p: pathlib.Path(p).resolve(), required=True)
    parser.add_argument("--version", required=True)
    parser.add_argument("case", choices=sorted(CASES))
    ctx = parser.parse_args()
    with tempfile.TemporaryDirectory(prefix=f"vexlor-dxf-{ctx.case}-") as work:
        ctx.work = pathlib.Path(work)
        try:
            CASES[ctx.case](ctx)
        except Failure as failure:
            print(f"FAILED {ctx.case}: {failure}", file=sys.stderr)
            return 1
    print(f"passed {ctx.case}")
    return 0


if __name__ == "__main__":
    sys.exit(main())
