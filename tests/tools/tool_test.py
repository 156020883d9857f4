#!/usr/bin/env python3
# End-to-end tests of vexlor-dxf: runs the built tool and holds its output against the library's.
# SPDX-License-Identifier: MIT
# Usage: python3 -E -X utf8 tool_test.py CASE TOOL REFERENCE HOST_EXAMPLE EXAMPLES VERSION
# CASE names a function below, run in a fresh folder holding copies of the sample drawings and mesh.
# The checks are assert statements: -E keeps PYTHONOPTIMIZE from turning them off.
import ast, json, os, pathlib, re, shutil, signal, subprocess, sys, tempfile, time
import xml.etree.ElementTree as ElementTree

CASE, TOOL, REFERENCE, HOST, EXAMPLES, VERSION = sys.argv[1:]


# -X utf8 makes text=True decode UTF-8 whatever the locale.
def run(*args, **kw):
    return subprocess.run(args, cwd=WORK, capture_output=True, text=True, errors="replace", **kw)


# A run that succeeds talks on stdout, one that fails on stderr: each text must be on that stream.
def expect(r, status, *texts):
    ok = r.returncode == status and all(t in (r.stderr if status else r.stdout) for t in texts)
    assert ok, f"expected status {status} and {texts}: {r}"


# The bad numbers are the y of a line's start; a second line crosses the first at (0.5, 0.5);
# no_eof.dxf lacks the closing 0/EOF group, its last 6 characters.
LINE = "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n{}\n11\n1\n21\n0\n{}0\nENDSEC\n0\nEOF\n"
FILES = {"bad.dxf": LINE.format("abc", ""), "huge.dxf": LINE.format("1e999", ""),
         "crossing.dxf": LINE.format(1, "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n"),
         "no_eof.dxf": LINE.format(1, "")[:-6], "empty.dxf": "0\nEOF\n", "junk.stl": "hi\n",
         "empty.stl": "solid\nendsolid\n", "bad.obj": "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n"}
# The arguments, the exit status and texts of the message. With several drawings, each is imported
# whatever happened to the one before, and the highest status is returned.
STATUSES = [
    ("import missing.dxf bad.dxf", 65, "missing.dxf: cannot be opened: No such file or directory "
     "(result 2)", "bad.dxf: holds a value that is not a number (std::invalid_argument"),
    ("import missing.dxf", 2), ("import empty.dxf", 3, "empty.dxf: no contours found (result 3)"),
    ("import huge.dxf", 65, "huge.dxf: holds a number out of range (std::out_of_range"),
    ("import crossing.dxf", 4, "crossing.dxf: contours cross each other (result 4)"),
    ("import no_eof.dxf", 1, "no_eof.dxf: cannot be read to its end"),
    ("import folder.dxf", 1, "folder.dxf: cannot be read: it is a directory"),
    ("import flange_arcs.dxf --svg no/x.svg", 73, "no/x.svg: cannot be written: No such file"),
    ("export missing.stl o.dxf", 66, "missing.stl: cannot be opened: No such file or directory"),
    ("export junk.stl o.dxf", 65, "junk.stl: not a valid STL mesh"),
    ("export bad.obj o.dxf", 65, "bad.obj: not a valid OBJ mesh: line 4: '4' names no vertex"),
    ("export empty.stl o.dxf", 3, "empty.stl: holds no triangles; nothing was written (result 3)"),
    ("export bracket.stl no/o.dxf", 2, "no/o.dxf: cannot be opened for writing: No such file"),
    ("export bracket.stl /dev/full", 3, "/dev/full: writing failed", "nothing was removed"),
    ("", 64), ("convert flange_arcs.dxf", 64), ("import", 64), ("export o.stl", 64),
    ("import flange_arcs.dxf --frobnicate", 64), ("import flange_arcs.dxf x.dxf --svg o.svg", 64),
    ("--help", 0, "Exit status", "64", "65", "66", "70", "73"), ("--version", 0, f"dxf {VERSION}"),
    ("import --help", 0, "--svg", "--json"), ("export --help", 0, "Ctrl-C", "removed")]


def statuses():
    (WORK / "folder.dxf").mkdir()
    [(WORK / name).write_text(text) for name, text in FILES.items()]
    for args, status, *texts in STATUSES:
        expect(run(TOOL, *args.split()), status, *texts)
    assert not (WORK / "o.dxf").exists(), "a failed export left its output"


# One run over the samples, with an SVG and a JSON file each: the JSON holds what the library gives
# (repr tells -0.0 from 0.0); the summary and the SVG's paths, all and closed ones, count it.
def import_samples():
    names, texts = ["plate_lines", "flange_arcs", "block_hatch"], []
    result = run(TOOL, "import", *(a.format(n) for n in names for a in [
        "{}.dxf", "--svg", "{}.out.svg", "--json", "{}.json"]))
    for name in names:
        want = ast.literal_eval(run(REFERENCE, f"{name}.dxf").stdout)
        got = json.loads((WORK / f"{name}.json").read_text())
        assert got.pop("file") == f"{name}.dxf" and repr(got) == repr(want), (got, want)
        lines, (x0, y0), (x1, y1) = want["polylines"], *want["box"].values()
        count, closed = len(lines), sum(p["closed"] for p in lines)
        svg = ElementTree.parse(WORK / f"{name}.out.svg")
        paths = [len(svg.findall(f"./{{*}}g{k}/{{*}}path")) for k in ["", "[@class='closed']"]]
        assert paths == [count, closed], f"{name}: {paths} paths, all and closed, in the SVG"
        texts += [f"{name}.dxf: imported (result 0)\n  contours: {count} ({closed} closed, "
                  f"{count - closed} open", f"), {sum(len(p['points']) for p in lines)} points\n"
                  f"  box: x {x0 + 0:.9g} to {x1 + 0:.9g}, y {y0 + 0:.9g} to {y1 + 0:.9g} (y"]
    expect(result, 0, *texts)


# The tool's DXF file of bracket.stl is the library's export of the same triangles, byte for byte.
def export_matches_library():
    xyz = re.findall(r"vertex\s+(\S+\s+\S+\s+\S+)", (WORK / "bracket.stl").read_text())
    assert run(REFERENCE, "export", "library.dxf", input="\n".join(xyz)).returncode == 0
    result = run(TOOL, "export", "bracket.stl", "tool.dxf")
    expect(result, 0, f"{len(xyz) // 3} triangles (ASCII STL) written to tool.dxf (result 0)")
    assert (WORK / "tool.dxf").read_bytes() == (WORK / "library.dxf").read_bytes(), "DXF differs"
    assert result.stderr == "", "a progress bar was drawn on a pipe"


# Ctrl-C while a long export writes: status 4, a message, and no partial file left. The output
# appears when the export opens it, after the mesh of a million triangles was read.
def export_sigint():
    (WORK / "big.stl").write_bytes(bytes(80) + (10**6).to_bytes(4, "little") + bytes(50 * 10**6))
    tool = subprocess.Popen([TOOL, "export", "big.stl", "o.dxf"], cwd=WORK, stderr=subprocess.PIPE)
    while not (out := WORK / "o.dxf").exists() and tool.poll() is None: time.sleep(0.002)
    tool.send_signal(signal.SIGINT)
    err = tool.communicate()[1].decode()
    assert (tool.returncode, out.exists()) == (4, False), err
    assert "o.dxf: export cancelled by Ctrl-C; the partial file was removed (result 4)" in err, err


# UTF-8 names reach the library intact, whatever the locale; other bytes are refused.
def non_ascii_names():
    shutil.copy(WORK / "plate_lines.dxf", WORK / (name := "Zeichnung-\u00e4\u20ac\U0001F600.dxf"))
    expect(run(TOOL, "import", name, "--json", "\u00e9.json", env={**os.environ, "LC_ALL": "C"}),
           0, f"{name}: imported (result 0)")
    assert json.loads((WORK / "\u00e9.json").read_text("utf-8"))["file"] == name
    expect(run(TOOL, "import", b"bad-\xff.dxf"), 64, "not valid UTF-8")


# The README's host example runs on the flange (an obround from (-30, -30) to (130, 30) with
# circle holes of 30 points), exports a tetrahedron, and is quoted in the README as it is.
def host_example():
    expect(run(HOST, "flange_arcs.dxf", "t.dxf"), 0, "closed contour of 30 points",
           "box (-30, -30) to (130, 30)")
    assert (WORK / "t.dxf").read_text().count("3DFACE") == 4, "the export is not 4 faces"
    readme = pathlib.Path(EXAMPLES, "..", "README.md").read_text()
    assert f"```cpp\n{(WORK / 'host_example.cpp').read_text()}```" in readme, "not quoted as it is"


with tempfile.TemporaryDirectory(prefix=f"vexlor-dxf-{CASE}-") as folder:
    WORK = pathlib.Path(shutil.copytree(EXAMPLES, folder, dirs_exist_ok=True))
    globals()[CASE]()
