#!/usr/bin/env python3
# End-to-end tests of vexlor-dxf: runs the built tool and holds its output against the library's.
# SPDX-License-Identifier: MIT
# Usage: python3 -E -X utf8 tool_test.py CASE TOOL REFERENCE HOST CLASSIC_HOST EXAMPLES VERSION
# CASE names a function below, run in a fresh current folder holding copies of the sample drawings
# and mesh (the paths given must be absolute). The checks are assert statements: -E keeps
# PYTHONOPTIMIZE from turning them off.
import ast, csv, glob, json, os, pathlib, re, shutil, signal, struct, subprocess, sys, tempfile, time
import xml.etree.ElementTree as ElementTree

CASE, TOOL, REFERENCE, HOST, CLASSIC_HOST, EXAMPLES, VERSION = sys.argv[1:]
# Windows programs run through the emulator that the cross build names (Wine).
RUNNER = [*filter(None, os.environ.get("VEXLOR_DXF_RUNNER", "").split(";"))]
WINDOWS = TOOL.endswith(".exe")


# -X utf8 makes text=True decode UTF-8 whatever the locale, and passes str arguments as UTF-8 with
# surrogateescape: "\udcff" is the byte 0xff.
def run(*a, **kw):
    r = subprocess.run([*RUNNER, *a], capture_output=True, text=True, errors="replace", **kw)
    r.args = a
    return r
def read(name): return pathlib.Path(name).read_text()


# A run that succeeds talks on stdout alone (no progress bar is drawn on a pipe), one that fails on
# stderr: each text must be on that stream.
def expect(r, status, *texts):
    out, quiet = (r.stderr, "") if status else (r.stdout, r.stderr)
    assert (r.returncode, quiet) == (status, "") and all(t in out for t in texts), (texts, r)


# The bad numbers are the y of a line's start; a second line crosses the first at (0.5, 0.5);
# no_eof.dxf lacks the closing 0/EOF group, its last 6 characters; dir.dxf is a folder of none;
# stray.dxf begins with an ENDSEC outside any section, which only --strict-structure refuses.
LINE = "0\nSECTION\n2\nENTITIES\n0\nLINE\n10\n0\n20\n{}\n11\n1\n21\n0\n{}0\nENDSEC\n0\nEOF\n"
FILES = {"bad.dxf": LINE.format("abc", ""), "huge.dxf": LINE.format("1e999", ""), "dir.dxf": None,
         "crossing.dxf": LINE.format(1, "0\nLINE\n10\n0\n20\n0\n11\n1\n21\n1\n"),
         "no_eof.dxf": LINE.format(1, "")[:-6], "empty.dxf": "0\nEOF\n", "junk.stl": "hi\n",
         "empty.stl": "solid\nendsolid\n", "bad.obj": "v 0 0 0\nv 1 0 0\nv 0 1 0\nf 1 2 4\n",
         "stray.dxf": "0\nENDSEC\n" + LINE.format(1, "")}
# The arguments, the exit status and texts of the message. With several drawings, each is imported
# whatever happened to the one before, and the most severe status is returned (cannot be opened, bad
# number, unreadable, no contours, crossing). A name that is not UTF-8 is refused. Crossing contours
# fail only with --strict; standard output takes one drawing's record. The accurate import is the
# default; --classic gives the polyline reader's results and statuses.
STATUSES = [
    ("import missing.dxf bad.dxf", 2, "missing.dxf: cannot be opened: No such file or directory "
     "(result 2)", 'bad.dxf: cannot be read: line 9: LINE: group 20 is not a number: "abc" (result 1)'),
    ("import --classic bad.dxf missing.dxf", 2, "bad.dxf: holds a value that is not a number where "
     "the polyline reader needs one; the drawing was not imported (without --classic, the import "
     "names the line)"), ("import --classic bad.dxf empty.dxf", 65),
    ("import missing.dxf", 2), ("import empty.dxf", 3, "empty.dxf: no contours found (result 3)"),
    ("import empty.dxf no_eof.dxf crossing.dxf --strict", 3),
    ("import huge.dxf --classic", 65, "huge.dxf: holds a number out of the range the polyline reader"),
    ("import huge.dxf", 1, 'huge.dxf: cannot be read: line 9: LINE: group 20 is not a number: "1e999"'),
    ("import crossing.dxf", 0, "crossing.dxf: contours cross each other (result 4)"),
    ("import crossing.dxf --strict", 4, "crossing.dxf: contours cross each other (result 4)"),
    ("import crossing.dxf --json -", 0, '"result": 4, "error": null, "crossing": true'),
    ("import crossing.dxf bad.dxf --json - --json x.json", 64, "standard output", "2 drawings"),
    ("import no_eof.dxf --classic", 1, "no_eof.dxf: cannot be read to its end"), ("import", 64),
    ("import no_eof.dxf", 0, "no_eof.dxf: imported (result 0)"),
    ("import stray.dxf", 0, "recovered: 1 break of its structure read past, the first: line 1: "
     "ENDSEC outside a section, ignored"), ("import stray.dxf --json -", 0,
     '"recoveries":["line 1: ENDSEC outside a section, ignored"]'),
    ("import stray.dxf --strict-structure", 1, 'stray.dxf: cannot be read: line 1: "ENDSEC" where '
     "a SECTION should begin (result 1)"),
    ("import binary.dxf --classic", 1, "binary.dxf: cannot be read: it is a binary DXF file, which "
     "the polyline reader (--classic) cannot read; the import without --classic reads it (result 1)"),
    ("import dir.dxf", 66, "dir.dxf: a folder that holds no drawing (*.dxf)"),
    ("import flange_arcs.dxf --svg no/x.svg", 73, "no/x.svg: cannot be written: No such file"),
    ("export missing.stl o.dxf", 66, "missing.stl: cannot be opened: No such file or directory"),
    ("export junk.stl o.dxf", 65, "junk.stl: not a valid STL mesh"), ("export o.stl", 64),
    ("export bad.obj o.dxf", 65, "bad.obj: not a valid OBJ mesh: line 4: '4' names no vertex"),
    ("export empty.stl o.dxf", 3, "empty.stl: holds no triangles; nothing was written (result 3)"),
    ("export bracket.stl no/o.dxf", 2, "no/o.dxf: cannot be opened for writing: No such file"),
    ("export bracket.stl /dev/full", 3, "/dev/full: writing failed", "nothing was removed"),
    ("", 64), ("convert flange_arcs.dxf", 64), ("export --help", 0, "Ctrl-C", "removed"),
    ("import flange_arcs.dxf --frobnicate", 64), ("import flange_arcs.dxf x.dxf --svg o.svg", 64),
    ("import bad-\udcff.dxf", 64, "not valid UTF-8"), ("import --help", 0, "--svg", "--classic"),
    ("import x.dxf --tolerance 0", 64, "0 is not a length above zero"),
    ("import x.dxf --tolerance 5e-324", 2), ("import x.dxf -j 0", 64, "from 1 to 1024"),
    ("info missing.dxf empty.dxf", 2, "missing.dxf: cannot be opened: No such file"),
    ("info no_eof.dxf bad.dxf", 0, "no_eof.dxf: no version given, ASCII, units: no unit"),
    ("info binary.dxf", 1, "binary.dxf: cannot be read: binary DXF: byte 22"),
    ("info dir.dxf", 66, "dir.dxf: a folder that holds no drawing (*.dxf)"),
    ("--help", 0, "Exit status", "64", "65", "66", "70", "73", "most severe"),
    ("--version", 0, f"dxf {VERSION}")]


def statuses():
    [pathlib.Path(n).write_text(t) if t is not None else os.mkdir(n) for n, t in FILES.items()]
    pathlib.Path("binary.dxf").write_bytes(b"AutoCAD Binary DXF\r\n\x1a\0" + bytes(8))
    for args, status, *texts in STATUSES:  # Windows has no full device and no byte names
        if not (WINDOWS and ("/dev/full" in args or "\udcff" in args)):
            expect(run(TOOL, *args.split()), status, *texts)
    assert not [*pathlib.Path().glob("*o.dxf*")], "a failed export left its output"


# One run over the samples, with an SVG and a JSON file each: the JSON holds what the library gives
# (repr tells -0.0 from 0.0); the SVG's paths, all and closed ones, and the summary count it.
def import_samples():
    result = run(TOOL, "import", "--classic", *(a.format(d) for d in ["plate_lines.dxf", "flange_arcs.dxf",
                 "block_hatch.dxf"] for a in ["{}", "--svg", "{}.svg", "--json", "{}.json"]))
    for d in result.args[3::5]:  # the drawings
        ref = ast.literal_eval(run(REFERENCE, d).stdout)
        want = {"file": d, "result": ref.pop("result"), "error": None, "crossing": False, **ref}
        pl, (x0, y0), (x1, y1) = want["polylines"], *want["box"].values()
        svg, got = ElementTree.parse(f"{d}.svg").findall, repr(json.loads(read(f"{d}.json")))
        count, closed = [len(svg(f"{{*}}g{k}/{{*}}path")) for k in ["", "[@class='closed']"]]
        assert (got, count, closed) == (repr(want), len(pl), sum(p["closed"] for p in pl)), got
        expect(result, 0, f"{d}: imported (result 0)\n  contours: {count} ({closed} closed, "
               f"{count - closed} open", f"), {sum(len(p['points']) for p in pl)} points\n"
               f"  box: x {x0 + 0:.9g} to {x1 + 0:.9g}, y {y0 + 0:.9g} to {y1 + 0:.9g} (y")
    # Hard numbers read back exactly: each went through a float, and y was negated (0 to -0.0).
    hard = ["0.1", "0", "1e-5", "-2.5e-7", "3.4e38", "1.17549435e-38", "16777217", "1e16", "-7"]
    f = lambda t: struct.unpack("f", struct.pack("f", float(t)))[0]
    pathlib.Path("hard.dxf").write_text("0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n" + "".join(
        f"10\n{t}\n20\n{t}\n" for t in hard) + "0\nENDSEC\n0\nEOF\n")
    expect(run(TOOL, "import", "hard.dxf", "--classic", "--json", "hard.json"), 0, "hard.dxf: imported")
    got = json.loads(read("hard.json"))["polylines"]
    assert repr(got) == repr([{"closed": False, "points": [[f(t), -f(t)] for t in hard]}]), got


# The tool's DXF file of bracket.stl is the library's export of the same triangles, byte for byte.
def export_matches_library():
    xyz = re.findall(r"vertex\s+(\S+\s+\S+\s+\S+)", read("bracket.stl"))
    expect(run(REFERENCE, "export", "library.dxf", input="\n".join(xyz)), 0)
    expect(run(TOOL, "export", "bracket.stl", "tool.dxf"), 0,
           f"{len(xyz) // 3} triangles (ASCII STL) written to tool.dxf (result 0)")
    assert pathlib.Path("tool.dxf").read_bytes() == pathlib.Path("library.dxf").read_bytes()


# Ctrl-C while a long export writes, over no file and over an earlier one: status 4, a message, no
# partial file left, the earlier file as it was. The export's temporary file beside o.dxf appears
# after m.stl, a mesh of a million triangles, was read.
def export_sigint():
    pathlib.Path("m.stl").write_bytes(bytes(80) + (10**6).to_bytes(4, "little") + bytes(50 * 10**6))
    for earlier, words in [(None, "the partial file was removed"), ("x", "the earlier file")]:
        if earlier: pathlib.Path("o.dxf").write_text(earlier)
        tool = subprocess.Popen([*RUNNER, TOOL, "export", "m.stl", "o.dxf"], stderr=subprocess.PIPE,
                                text=True)
        while not [*pathlib.Path().glob(".o.dxf.*")] and tool.poll() is None: time.sleep(0.002)
        tool.send_signal(signal.SIGINT)
        err, left = tool.communicate()[1], sorted(map(str, pathlib.Path().glob("*o.dxf*")))
        assert (err.count(f"o.dxf: export cancelled by Ctrl-C; {words}"), tool.returncode, left,
                earlier and read("o.dxf")) == (1, 4, ["o.dxf"] * bool(earlier), earlier), err
    # Started with Ctrl-C ignored, as a shell starts a background job, the export ignores it too.
    if not WINDOWS:
        ignore = lambda: signal.signal(signal.SIGINT, signal.SIG_IGN)
        tool = subprocess.Popen([TOOL, "export", "m.stl", "i.dxf"], preexec_fn=ignore)
        while not [*pathlib.Path().glob(".i.dxf.*")] and tool.poll() is None: time.sleep(0.002)
        tool.send_signal(signal.SIGINT)
        assert tool.wait() == 0
        with open("i.dxf", "rb") as f: f.seek(-4, 2); assert f.read() == b"EOF\n"
    expect(run(TOOL, "export", "m.stl", "-"), 64, "standard output (-) cannot take an export")


# UTF-8 names reach the library intact, whatever the locale (other bytes are refused: STATUSES).
# (Wine hands a Windows program the command line as the locale decodes it: UTF-8 there.)
NAMES_ENV = {**os.environ, "LC_ALL": "C.UTF-8" if WINDOWS else "C"}
def non_ascii_names():
    shutil.copy("plate_lines.dxf", name := "Zeichnung-\u00e4\u20ac\U0001F600.dxf")
    expect(run(TOOL, "import", name, "--json", "\u00e9.json", env=NAMES_ENV), 0,
           f"{name}: imported (result 0)")
    assert json.loads(read("\u00e9.json"))["file"] == name


# The host examples run on the flange (an obround from (-30, -30) to (130, 30) with five circle
# holes), and export a tetrahedron: the accurate one in true geometry (y up, curves flattened), the
# classic one with the polyline reader (circles of 30 points). Both names are beyond ASCII and the
# BMP. Where the documents quote a host whole (its usage line), they quote it as it is.
def host_example():
    shutil.copy("flange_arcs.dxf", name := "Z\u00e4\u20ac\U0001F600.dxf")
    # The accurate host's box is within the chord tolerance (1e-5 of 160) and the rounding of %g
    # (six digits) of the true one.
    for host, texts, tolerance in [(HOST, ["points: CIRCLE on layer 0"], 1.6e-3 + 5e-4),
                                   (CLASSIC_HOST, ["closed contour of 30 points"], 0)]:
        r = run(host, name, "\u00e9\U0001F600.dxf", env=NAMES_ENV)
        expect(r, 0, *texts)
        box = [*map(float, re.search(r"box \((\S+), (\S+)\) to \((\S+), (\S+)\)", r.stdout).groups())]
        assert all(0 <= abs(w) - abs(b) <= tolerance for b, w in zip(box, [-30, -30, 130, 30])), box
        assert read("\u00e9\U0001F600.dxf").count("3DFACE") == 4, "the export is not 4 faces"
    docs = [read(f"{EXAMPLES}/../README.md"), *map(read, glob.glob(f"{EXAMPLES}/../docs/*.md"))]
    quotes = [q for d in docs for q in re.findall(r"```cpp\n(.*?)```", d, re.S) if "int Usage()" in q]
    hosts = [read(f"{n}.cpp") for n in ["host_example", "classic_host_example"]]
    assert quotes and all(q in hosts for q in quotes), "a document quotes a host as it was"


# A folder of three drawings, one .DXF, one in a subfolder, imported at once: a row and a JSON file
# each, in the order of their sorted paths, and a count of the results at the end.
def batch():
    os.makedirs("in/sub"), pathlib.Path("in/a.dxf").write_text(FILES["crossing.dxf"])
    shutil.copy("plate_lines.dxf", "in/b.DXF"), shutil.copy("flange_arcs.dxf", "in/sub/c.dxf")
    r = run(TOOL, "import", "in", "--jobs", "3", "--summary", "s.csv", "--json-dir", "out")
    slash = lambda t: t.replace("\\", "/") if WINDOWS else t  # Windows' paths found use "\\"
    r.stdout = slash(r.stdout)
    expect(r, 0, "\n3 drawings: 2 result 0, 1 crossing\n")
    rows = [{**w, "path": slash(w["path"])} for w in csv.DictReader(open("s.csv"))]
    heads = re.findall(r"^(\S+): ", r.stdout, re.M)
    assert [(w["path"], w["result"], w["status"]) for w in rows] == [(f"in/{n}", c, "0") for n, c
        in zip(["a.dxf", "b.DXF", "sub/c.dxf"], "400")] and heads == [w["path"] for w in rows], r
    for w in rows:
        got = json.loads(read(f'out/{w["path"][3:].rsplit(".", 1)[0]}.json'))
        assert (slash(got["file"]), got["result"], f'{w["path"]}: {w["message"]}' in r.stdout, len(
            got["polylines"])) == (w["path"], int(w["result"]), True, int(w["contours"])), (got, w)


    # A subfolder that cannot be read is named by its own path and the walk goes on past it. Root
    # reads every folder: as root the tool runs as nobody (through setpriv, when there is one).
    user = ["setpriv", "--reuid=65534", "--regid=65534", "--clear-groups"] * (os.geteuid() == 0)
    if not WINDOWS and (not user or shutil.which("setpriv")):
        os.makedirs("in/secret"), os.chmod("in/secret", 0), os.chmod(".", 0o755)
        r = run(*user, TOOL, "import", "in")
        expect(r, 66, "in/secret: the folder cannot be read: Permission denied\n")
        assert "in/sub/c.dxf: imported" in r.stdout, r


# A drawing in inches ($INSUNITS 1) with a LAYER table: Walls and R&D shown, Frozen frozen (flag 1),
# Off off (negative colour). Each layer holds one entity: a closed 2 x 1 rectangle on Walls, then
# lines up x = 4, 8 and 16 of lengths 2, 0.5 and 0.25. Coordinates are powers of two, so that times
# 25.4 they are the doubles nearest the millimetres.
LAYERED = ("0\nSECTION\n2\nHEADER\n9\n$INSUNITS\n70\n1\n0\nENDSEC\n0\nSECTION\n2\nTABLES\n0\nTABLE\n"
           "2\nLAYER\n" + "".join(f"0\nLAYER\n2\n{n}\n70\n{f}\n62\n{c}\n" for n, f, c in
           [("Walls", 0, 1), ("R&D", 0, 3), ("Frozen", 1, 5), ("Off", 0, -7)]) + "0\nENDTAB\n0\nENDSEC\n"
           "0\nSECTION\n2\nENTITIES\n0\nLWPOLYLINE\n8\nWalls\n90\n4\n70\n1\n10\n0\n20\n0\n10\n2\n20\n0\n"
           "10\n2\n20\n1\n10\n0\n20\n1\n" + "".join(f"0\nLINE\n8\n{n}\n10\n{x}\n20\n0\n11\n{x}\n21\n{y}\n"
           for n, x, y in [("R&D", 4, 2), ("Frozen", 8, 0.5), ("Off", 16, 0.25)]) +
           "0\nENDSEC\n0\nEOF\n")
INCHES = {"Walls": [[0, 0], [2, 0], [2, 1], [0, 1]], "R&D": [[4, 0], [4, 2]],
          "Frozen": [[8, 0], [8, 0.5]], "Off": [[16, 0], [16, 0.25]]}


# The accurate import's choice of layers (any case), hidden layers, unit conversion, budget of points
# and SVG picture coloured by layer; and the command lines it refuses.
def accurate_layers():
    pathlib.Path("l.dxf").write_text(LAYERED)
    def record(*options):
        r = run(TOOL, "import", "l.dxf", "--accurate", "--json", "-", *options)
        expect(r, 0)
        return json.loads(r.stdout)
    layers = lambda got: [p["layer"] for p in got["polylines"]]
    got = record()
    assert (layers(got), got["report"]["skipped"]) == (["Walls", "R&D"],
                                                        {"frozen or off layer": 2}), got
    assert [p["points"] for p in got["polylines"]] == [INCHES["Walls"], INCHES["R&D"]], got
    assert layers(record("--layer", "walls")) == ["Walls"]
    assert layers(record("--layer", "WALLS", "--layer", "frozen")) == ["Walls"]
    assert layers(record("--layer", "WALLS", "--layer", "frozen", "--all-layers")) == [
        "Walls", "Frozen"]
    got = record("--all-layers")
    assert [(p["layer"], p["points"]) for p in got["polylines"]] == [*INCHES.items()], got

    # Inches to millimetres: every coordinate times 25.4, and the report says by what.
    for unit in ["mm", "MM", "4"]:
        got = record("--units", unit)
        assert (got["report"]["units"], repr(got["report"]["scale"])) == (1, "25.4"), got
        assert [p["points"] for p in got["polylines"]] == [[[x * 25.4, y * 25.4] for x, y in
                INCHES[n]] for n in ["Walls", "R&D"]], got
    assert abs(record("--units", "ft")["report"]["scale"] - 1 / 12) < 1e-15
    got = record("--units", "in")
    assert (got["report"]["scale"], got["polylines"][1]["points"]) == (1, INCHES["R&D"]), got
    expect(run(TOOL, "import", "l.dxf", "--accurate", "--units", "mm"), 0,
           "box: x 0 to 101.6, y 0 to 50.8 (y points up)\n"
           "  units: inches to millimetres, coordinates times 25.4\n")

    # Four points of the rectangle and two of the line at least: a budget of five is too small.
    expect(run(TOOL, "import", "l.dxf", "--max-points", "5"), 1, "more than 5 points (--max-points)")
    assert len(record("--max-points", "100")["polylines"]) == 2

    # The layers' colours: one group each, in order of first appearance, and a legend entry each.
    expect(run(TOOL, "import", "l.dxf", "--accurate", "--svg-color", "layer", "--svg", "l.svg"), 0)
    assert "R&amp;D (1)" in read("l.svg")
    svg = ElementTree.parse("l.svg").findall
    groups = [(g.get("data-layer"), g.get("stroke"), [p.get("d")[-1] for p in g.findall("{*}path")])
              for g in svg("{*}g[@class='layer']")]
    legend = [(t.text, line.get("stroke")) for line, t in
              zip(svg("{*}g[@class='caption']/{*}line"), svg("{*}g[@class='caption']/{*}text"))]
    (walls, c1, z1), (rd, c2, z2) = groups
    assert (walls, rd, z1, z2, legend) == ("Walls", "R&D", ["Z"], ["0"],
                                           [("Walls (1)", c1), ("R&D (1)", c2)]), groups
    assert c1 != c2 and all(re.fullmatch("#[0-9a-f]{6}", c) for c in (c1, c2)), groups
    # A layer written in another case is the same layer, under the name first written.
    pathlib.Path("same.dxf").write_text(LAYERED.replace("8\nR&D\n", "8\nWALLS\n"))
    expect(run(TOOL, "import", "same.dxf", "--accurate", "--svg-color", "layer", "--svg", "s.svg"), 0)
    svg = ElementTree.parse("s.svg").findall
    assert ([(g.get("data-layer"), len(g)) for g in svg("{*}g[@class='layer']")],
            [t.text for t in svg("{*}g[@class='caption']/{*}text")]) == (
        [("Walls", 2)], ["Walls (2)", "same.dxf"]), read("s.svg")
    # Colouring by kind is the picture without the option, byte for byte.
    expect(run(TOOL, "import", "l.dxf", "--accurate", "--svg-color", "kind", "--svg", "k.svg"), 0)
    expect(run(TOOL, "import", "l.dxf", "--accurate", "--svg", "plain.svg"), 0)
    assert read("k.svg") == read("plain.svg") and "data-layer" not in read("k.svg")

    for args, *texts in [("--units furlong", "furlong is not a unit", "mm, cm, m", "in, ft"),
                         ("--units 0",), ("--units 22",), ("--units -4",), ("--max-points 0",),
                         ("--svg-color blue",)]:
        expect(run(TOOL, "import", "l.dxf", "--accurate", *args.split()), 64, *texts)
    for args in ["--units mm", "--layer Walls", "--all-layers", "--max-points 9",
                 "--svg-color layer", "--accurate"]:  # with the polyline reader
        expect(run(TOOL, "import", "l.dxf", "--classic", *args.split()), 64, "--classic excludes")


# A drawing's bytes that could drive a terminal (ESC, the C1 CSI) or are not UTF-8, in a layer name
# and a bad number, reach the messages, the CSV table and the SVG picture escaped, as "\x1B".
def drawing_bytes():
    bad = "\x1b[31m\x9b\udcff"  # "\x9b" is U+009B, "\udcff" the byte 0xff
    for name, y, groups in [("good.dxf", "0", f"8\nL{bad}\n"), ("bad.dxf", "0" + bad, "")]:
        pathlib.Path(name).write_bytes(LINE.format(y, groups).encode(errors="surrogateescape"))
    r = subprocess.run([*RUNNER, TOOL, "import", "good.dxf", "bad.dxf", "--accurate", "--svg-dir",
                        "o", "--svg-color", "layer", "--summary", "s.csv"], capture_output=True)
    layer = ElementTree.parse("o/good.svg").find("{*}g[@class='layer']").get("data-layer")
    for what, data in [("messages", r.stdout + r.stderr),
                       *((n, pathlib.Path(n).read_bytes()) for n in ["s.csv", "o/good.svg"])]:
        # Line ends are the system's: CR LF on Windows.
        text = data.decode().replace("\r\n", "\n")
        assert not re.search(r"[\x00-\x09\x0b-\x1f\x7f-\x9f]", text), (what, data)
    assert (r.returncode, rb"bad.dxf: cannot be read: " in r.stderr, rb'"0\x1B[31m' in r.stderr,
            layer.startswith(r"L\x1B[31m\xC2\x9B")) == (1, True, True, True), (r, layer)


# A drawing of R2000 in millimetres, with its header's extent, a LAYER table (Walls locked, Hidden
# frozen and off), a block placed twice (once from another block) and entities in both spaces; a
# POLYLINE's VERTEX and SEQEND count with it. The counts, by hand: model space 1 LINE on Walls, 1
# POLYLINE and 1 TEXT on Hidden, 1 INSERT and 1 CIRCLE on Extra (no table entry); paper space 2.
INFO = ("0\nSECTION\n2\nHEADER\n9\n$ACADVER\n1\nAC1015\n9\n$INSUNITS\n70\n4\n9\n$EXTMIN\n10\n-1\n20\n"
        "-2\n30\n0\n9\n$EXTMAX\n10\n30\n20\n40\n30\n0\n0\nENDSEC\n0\nSECTION\n2\nTABLES\n0\nTABLE\n2\n"
        "LAYER\n0\nLAYER\n2\nWalls\n70\n4\n62\n1\n0\nLAYER\n2\nHidden\n70\n1\n62\n-3\n0\nENDTAB\n0\n"
        "ENDSEC\n0\nSECTION\n2\nBLOCKS\n0\nBLOCK\n2\nDoor\n0\nPOINT\n0\nPOINT\n0\nENDBLK\n0\nBLOCK\n2\nWing"
        "\n0\nINSERT\n2\nDOOR\n0\nENDBLK\n0\nBLOCK\n2\n*Paper_Space\n0\nLINE\n0\nENDBLK\n0\nENDSEC\n0\n"
        "SECTION\n2\nENTITIES\n0\nLINE\n8\nwalls\n10\n0\n20\n0\n11\n1\n21\n0\n0\nPOLYLINE\n8\nHidden\n"
        "66\n1\n0\nVERTEX\n10\n0\n20\n0\n0\nVERTEX\n10\n1\n20\n1\n0\nSEQEND\n0\nTEXT\n8\nHidden\n0\n"
        "INSERT\n8\nExtra\n2\nDoor\n0\nCIRCLE\n8\nExtra\n10\n5\n20\n5\n40\n1\n0\nLINE\n67\n1\n0\nENDSEC\n"
        "0\nEOF\n")


# The info command on that drawing, as JSON and as text; a drawing cut short is counted as far as it
# goes, with its error.
def info():
    pathlib.Path("i.dxf").write_text(INFO)
    r = run(TOOL, "info", "i.dxf", "--json")
    expect(r, 0)
    got = json.loads(r.stdout)
    layer = lambda n, l, f, o, k, e: dict(name=n, listed=l, frozen=f, off=o, locked=k, entities=e)
    assert got == {"file": "i.dxf", "result": 0, "error": None, "binary": False, "version": "AC1015",
        "release": "R2000", "code_page": None, "units": 4, "extent": {"min": [-1, -2, 0],
        "max": [30, 40, 0]}, "layers": [layer("Walls", True, False, False, True, 1), layer(
        "Hidden", True, True, True, False, 2), layer("Extra", False, False, False, False, 2)],
        "entities": {"CIRCLE": 1, "INSERT": 1, "LINE": 1, "POLYLINE": 1, "TEXT": 1},
        "paper_space_entities": 2, "blocks": [{"name": "Door", "entities": 2, "inserts": 2},
        {"name": "Wing", "entities": 1, "inserts": 0}]}, got
    expect(run(TOOL, "info", "i.dxf"), 0, "i.dxf: DXF R2000 (AC1015), ASCII, units: millimetres\n"
           "  extent (as its header says): x -1 to 30, y -2 to 40\n  layers: 3 (1 frozen, 0 off)\n",
           "Walls   on, locked", "Hidden  frozen, off", "entities: 5 in the model space, 2 in the "
           "paper space", "Door: 2 entities, placed by 2 INSERTs", "Wing: 1 entity, not placed\n")
    pathlib.Path("cut.dxf").write_text(INFO[:INFO.index("0\nCIRCLE")])
    r = run(TOOL, "info", "cut.dxf", "--json")
    assert (r.returncode, json.loads(r.stdout)["entities"]["INSERT"]) == (1, 1), r
    line = INFO[:INFO.index("0\nSECTION\n2\nENTITIES")].count("\n") + 1
    expect(r, 1, f"cut.dxf: cannot be read: line {line}: section ENTITIES has no ENDSEC (result 1)")


# What the import left out is said in the summary, with the option that brings it back; a failed
# drawing's JSON and SVG say why; --layer with a name the drawing lacks warns, naming the closest.
def left_out():
    pathlib.Path("i.dxf").write_text(INFO)
    # The block's two POINTs count once per copy placed.
    expect(run(TOOL, "import", "i.dxf"), 0, "\n  left out: 1 entity on a frozen or off layer "
           "(--all-layers), 1 entity in the paper space, 2 POINT, 1 TEXT\n")
    expect(run(TOOL, "import", "i.dxf", "--all-layers"), 0, "  contours: 2 (", "left out: 1 entity "
           "in the paper space, 2 POINT, 1 TEXT\n")
    # The block's entities on layer 0 take the INSERT's layer, Extra.
    r = run(TOOL, "import", "i.dxf", "--layer", "hiden", "--layer", "extra", "--layer", "WALL")
    assert (r.returncode, "left out: 1 entity on a frozen or off layer (--all-layers), 1 entity on a"
            " layer not chosen by --layer, 1 entity" in r.stdout) == (0, True), r
    assert r.stderr == 'i.dxf: warning: the drawing has no layer "hiden"; the closest: "Hidden", ' \
        '"Walls", "Extra"\ni.dxf: warning: the drawing has no layer "WALL"; the closest: "Walls", ' \
        '"Extra", "Hidden"\n', r
    r = run(TOOL, "import", "i.dxf", "--layer", "hiden", "--layer", "walls", "-q")
    assert (r.returncode, r.stdout, r.stderr) == (0, "", ""), r
    pathlib.Path("bad.dxf").write_text(LINE.format("abc", ""))
    pathlib.Path("empty0.dxf").write_text("")
    r = run(TOOL, "import", "empty0.dxf")  # result 1 or 3 as the reader has it; both say why
    assert r.returncode in (1, 3) and f": it is empty (result {r.returncode})\n" in r.stderr, r
    pathlib.Path("f.dxf").write_text(INFO.replace("Extra", "Hidden").replace("walls", "Hidden"))
    for args, status, error in [
            ("f.dxf", 3, "no contours found; left out: 4 entities on frozen or off layers "
             "(--all-layers), 1 entity in the paper space, 1 TEXT"),
            ("bad.dxf", 1, 'cannot be read: line 9: LINE: group 20 is not a number: "abc"'),
            ("bad.dxf --classic", 65, "holds a value that is not a number where the polyline "
             "reader needs one; the drawing was not imported (without --classic, the import names "
             "the line)"), ("no.dxf", 2, "cannot be opened: No such file or directory")]:
        r = run(TOOL, "import", *args.split(), "--json", "o.json", "--svg", "o.svg")
        got, svg = json.loads(read("o.json")), ElementTree.parse("o.svg").findall
        shown = " ".join(t.text for t in svg("{*}g[@class='caption']/{*}text[@class='error']"))
        assert (r.returncode, got["error"], shown, got["polylines"]) == (status, error, error, []), r
    # A batch returns the most severe status, not the highest: cannot be opened (2) outranks a bad
    # number (65), and cannot be read (1) no contours (3).
    expect(run(TOOL, "import", "--classic", "i.dxf", "bad.dxf", "no.dxf"), 2)
    expect(run(TOOL, "import", "f.dxf", "bad.dxf", "--json-dir", "j"), 1)


# A picture of 60 open lines, each on a layer of its own: 60 colours, all different; no dots at the
# pieces' ends (more than 50 pieces) unless asked for; a long name cut in its middle to fit.
def pictures():
    name = "n" * 200 + ".dxf"
    pathlib.Path(name).write_text("0\nSECTION\n2\nENTITIES\n" + "".join(f"0\nLINE\n8\nL{i}\n10\n{i}\n"
                                  f"20\n0\n11\n{i}\n21\n1\n" for i in range(60)) + "0\nENDSEC\n0\nEOF\n")
    for args, dots in [([], 0), (["--svg-ends"], 120)]:
        expect(run(TOOL, "import", name, "--svg-color", "layer", "--svg", "m.svg", *args), 0)
        svg = ElementTree.parse("m.svg")
        colours = [g.get("stroke") for g in svg.findall("{*}g[@class='layer']")]
        assert (len(colours), len(set(colours)), len(svg.findall("{*}g[@class='ends']/{*}circle"))
                ) == (60, 60, dots), colours
    title = svg.findall("{*}g[@class='caption']/{*}text")[-1].text
    assert (title[:3], title[-5:], "\u2026" in title) == ("nnn", "n.dxf", True), title
    assert len(title) * 7 <= float(svg.getroot().get("width")) - 48, title


with tempfile.TemporaryDirectory(prefix=f"vexlor-dxf-{CASE}-") as folder:
    os.chdir(shutil.copytree(EXAMPLES, folder, dirs_exist_ok=True))
    globals()[CASE]()
