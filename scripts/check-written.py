#!/usr/bin/python3
# The writers' drawings read by two independent readers, ezdxf and GDAL's ogrinfo.
# SPDX-License-Identifier: MIT
"""Checks every drawing the writers write.

For each drawing given (the test drawings, and with folders every *.dxf under them), the check
program imports it, writes its contours as R2000 and R12 and imports each again; it fails when the
contours come back other than they went. Each file written must then:
  - open in ezdxf with no error from its auditor, nor anything it had to fix;
  - hold as many model-space entities as contours were written (ezdxf), and give ogrinfo as many
    features, with no error from GDAL.
Meshes made by the check program, as polyface meshes and as 3DFACEs, R2000 and R12, must open and
audit alike, and every triangle ezdxf reads back (the polyface's vertices through its face records,
or a 3DFACE's corners) must equal the triangle written, coordinate for coordinate.

    check-written.py [--fast] [--jobs N] [--mesh N] [--tool VEXLOR_DXF] CHECK_PROGRAM DATA_DIR
                     [FOLDER...]

With --tool, the command line's writers too: `vexlor-dxf convert` of each drawing (R2000 and
--r12) must give the very bytes the check program wrote, a folder converted must give a file for
each drawing with contours, and `vexlor-dxf export --polyface --layer Part --units mm` of an STL
mesh must read back in ezdxf to its triangles, on its layer, in millimetres.

--fast checks the drawings of DATA_DIR and DATA_DIR/write and one small mesh; without it also a
mesh of --mesh triangles (default 100000: several polyface meshes, since one holds at most 32767
faces). Status 0: all good; 1: a failure (each is printed); 77: ezdxf or ogrinfo is missing.
"""
import argparse
import concurrent.futures
import os
import re
import shutil
import subprocess
import sys
import tempfile


def load_ezdxf():
    try:
        import ezdxf  # noqa: F401 (Debian's python3-ezdxf)
        return ezdxf
    except ImportError:
        return None


def audit(path):
    """The drawing's problems as ezdxf sees them, and the drawing. A drawing whose names hold
    "\\U+XXXX" escapes (characters beyond code page 1252) is read by ezdxf's recovering reader,
    the one of its readers that decodes them."""
    import ezdxf
    from ezdxf import recover
    with open(path, "rb") as raw:
        escaped = b"\\U+" in raw.read()
    try:
        if escaped:
            doc, auditor = recover.readfile(path)
        else:
            doc = ezdxf.readfile(path)
            auditor = doc.audit()
    except Exception as error:  # any reading failure is what the check reports
        return ["ezdxf cannot read it: %s" % error], None
    problems = ["ezdxf auditor: %s" % e.message for e in auditor.errors]
    problems += ["ezdxf auditor fixed: %s" % e.message for e in auditor.fixes]
    return problems, doc


def ogr_features(path):
    """The number of features ogrinfo reads, and its errors."""
    run = subprocess.run(["ogrinfo", "-ro", "-al", "-so", path], capture_output=True, text=True)
    errors = [line for line in (run.stdout + run.stderr).splitlines() if "ERROR" in line]
    if run.returncode != 0:
        errors.append("ogrinfo status %d" % run.returncode)
    found = re.search(r"Feature Count: (\d+)", run.stdout)
    return (int(found.group(1)) if found else -1), errors


def check_file(path, entities, features):
    """Problems of one written file that should hold `entities` entities and give ogrinfo
    `features` features."""
    problems, doc = audit(path)
    if doc is not None:
        count = len(doc.modelspace())
        if count != entities:
            problems.append("ezdxf reads %d entities, not %d" % (count, entities))
    count, errors = ogr_features(path)
    problems += ["ogrinfo: " + e for e in errors]
    if count != features:
        problems.append("ogrinfo reads %d features, not %d" % (count, features))
    return problems, doc


def check_drawing(program, drawing, folder, number):
    """Imports, writes and re-imports one drawing; checks what was written."""
    prefix = os.path.join(folder, "drawing%d" % number)
    run = subprocess.run([program, "contours", drawing, prefix], capture_output=True, text=True)
    if run.returncode == 3:
        return drawing, "skipped", []
    problems = [] if run.returncode == 0 else ["round trip: " + run.stdout.strip()]
    for line in run.stdout.splitlines():
        found = re.match(r"(.*): (\d+) contours", line)
        if not found:
            continue
        written, contours = found.group(1), int(found.group(2))
        more, _ = check_file(written, contours, contours)
        problems += ["%s: %s" % (os.path.basename(written), p) for p in more]
    return drawing, "checked", problems


def check_tool(tool, drawing, number, folder):
    """`vexlor-dxf convert` writes the check program's bytes, in both versions."""
    prefix = os.path.join(folder, "drawing%d" % number)
    problems = []
    for version, flags in (("r2000", []), ("r12", ["--r12"])):
        expected = prefix + "." + version + ".dxf"
        if not os.path.exists(expected):
            continue
        out = prefix + ".tool." + version + ".dxf"
        run = subprocess.run([tool, "convert", drawing, out, "-q"] + flags, capture_output=True,
                             text=True)
        if run.returncode != 0:
            problems.append("convert %s: status %d: %s" % (version, run.returncode, run.stderr))
            continue
        with open(expected, "rb") as a, open(out, "rb") as b:
            if a.read() != b.read():
                problems.append("convert %s: not the bytes WriteContours wrote" % version)
    return problems


def check_tool_folder(tool, folder, written):
    """A folder converted gives a file for each drawing with contours, under the same relative
    name, subfolders made, and status 3 for one without contours."""
    import shutil as files
    source = os.path.join(folder, "folder-in")
    os.makedirs(os.path.join(source, "sub"))
    files.copy(written[0], os.path.join(source, "a.dxf"))
    files.copy(written[-1], os.path.join(source, "sub", "b.DXF"))
    with open(os.path.join(source, "nothing.dxf"), "w") as empty:
        empty.write("0\nSECTION\n2\nENTITIES\n0\nENDSEC\n0\nEOF\n")
    out = os.path.join(folder, "folder-out")
    run = subprocess.run([tool, "convert", source, out, "-q"], capture_output=True, text=True)
    problems = []
    if run.returncode != 3:
        problems.append("convert of a folder: status %d, not 3: %s" % (run.returncode, run.stderr))
    found = set()
    for root, _, names in os.walk(out):
        found |= {os.path.relpath(os.path.join(root, f), out) for f in names}
    expected = {"a.dxf", os.path.join("sub", "b.DXF")}
    if found != expected:
        problems.append("convert of a folder wrote %s, not %s" % (sorted(found), sorted(expected)))
    return problems


def check_tool_mesh(tool, folder):
    """An STL mesh exported as one polyface mesh on a layer, in millimetres."""
    import struct
    from ezdxf import recover  # noqa: F401 (ezdxf is there: checked before)
    import ezdxf
    triangles = []
    point = [(i * 0.1, (i % 2) * 0.3, i / 7.0) for i in range(202)]
    for k in range(200):  # a zigzag strip: every inner corner in three triangles
        triangles.append((point[k], point[k + 1], point[k + 2]))
    stl = os.path.join(folder, "strip.stl")
    with open(stl, "wb") as out:
        out.write(b"\0" * 80 + struct.pack("<I", len(triangles)))
        for t in triangles:
            out.write(struct.pack("<3f", 0, 0, 0))
            for corner in t:
                out.write(struct.pack("<3f", *corner))
            out.write(b"\0\0")
    # The mesh as STL holds it: single precision.
    expected = [tuple(tuple(struct.unpack("<3f", struct.pack("<3f", *c))) for c in t)
                for t in triangles]
    dxf = os.path.join(folder, "strip.dxf")
    run = subprocess.run([tool, "export", stl, dxf, "--polyface", "--layer", "Part", "--units",
                          "mm", "-q"], capture_output=True, text=True)
    if run.returncode != 0:
        return ["export --polyface: status %d: %s" % (run.returncode, run.stderr)]
    problems, doc = check_file(dxf, 1, 1)
    if doc is None:
        return problems
    mesh = doc.modelspace()[0]
    got = [corners(v.dxf.location for v in face[:-1]) for face in mesh.faces()]
    if got != expected:
        problems.append("export --polyface: the triangles read back differ")
    if mesh.dxf.layer != "Part" or doc.header.get("$INSUNITS") != 4:
        problems.append("export --polyface: layer %s, units %s"
                        % (mesh.dxf.layer, doc.header.get("$INSUNITS")))
    distinct = len({c for t in expected for c in t})
    vertices = sum(1 for v in mesh.vertices if not v.is_face_record)
    if vertices != distinct:
        problems.append("export --polyface: %d vertices, not the %d distinct corners"
                        % (vertices, distinct))
    return ["strip.dxf: " + p for p in problems]


def corners(vertices):
    return tuple(tuple(float(c) for c in v) for v in vertices)


def check_mesh(program, count, folder):
    prefix = os.path.join(folder, "mesh%d" % count)
    run = subprocess.run([program, "mesh", str(count), prefix], capture_output=True, text=True)
    if run.returncode != 0:
        return "mesh %d" % count, "checked", ["not written: " + run.stdout + run.stderr]
    with open(prefix + ".tri") as lines:
        expected = []
        for line in lines:
            v = [float(x) for x in line.split()]
            expected.append((tuple(v[0:3]), tuple(v[3:6]), tuple(v[6:9])))
    problems = []
    for path in sorted(p for p in os.listdir(folder) if p.startswith(os.path.basename(prefix))):
        if not path.endswith(".dxf"):
            continue
        full = os.path.join(folder, path)
        polyface = ".polyface." in path
        meshes = (len(expected) + 32766) // 32767 if polyface else len(expected)
        more, doc = check_file(full, meshes if polyface else len(expected), meshes)
        if doc is not None:
            got = []
            for entity in doc.modelspace():
                if polyface:
                    for face in entity.faces():
                        # The face's vertices, then its face record.
                        got.append(corners(v.dxf.location for v in face[:-1]))
                else:
                    got.append(corners([entity.dxf.vtx0, entity.dxf.vtx1, entity.dxf.vtx2]))
                    if entity.dxf.vtx3 != entity.dxf.vtx2:
                        more.append("a 3DFACE's fourth corner is not its third")
            if got != expected:
                wrong = next((i for i, (a, b) in enumerate(zip(got, expected)) if a != b),
                             min(len(got), len(expected)))
                more.append("%d triangles read back, the first different is %d"
                            % (len(got), wrong))
        problems += ["%s: %s" % (path, p) for p in more]
    return "mesh %d" % count, "checked", problems


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--fast", action="store_true")
    parser.add_argument("--jobs", type=int, default=2)
    parser.add_argument("--mesh", type=int, default=100000)
    parser.add_argument("--tool")
    parser.add_argument("program")
    parser.add_argument("data")
    parser.add_argument("folders", nargs="*")
    args = parser.parse_args()
    if load_ezdxf() is None or shutil.which("ogrinfo") is None:
        print("skipped: ezdxf (python3-ezdxf) or ogrinfo (gdal-bin) is missing")
        return 77
    drawings = []
    for folder in [args.data, os.path.join(args.data, "write")]:
        if os.path.isdir(folder):
            drawings += sorted(os.path.join(folder, f) for f in os.listdir(folder)
                               if f.lower().endswith(".dxf"))
    for top in args.folders:
        for root, _, files in os.walk(top):
            drawings += sorted(os.path.join(root, f) for f in files if f.lower().endswith(".dxf"))
    failures = 0
    counts = {"checked": 0, "skipped": 0}
    with tempfile.TemporaryDirectory(prefix="check-written-") as folder, \
            concurrent.futures.ThreadPoolExecutor(max_workers=max(1, args.jobs)) as pool:
        jobs = [pool.submit(check_drawing, args.program, d, folder, i)
                for i, d in enumerate(drawings)]
        meshes = [300] if args.fast else [300, args.mesh]
        jobs += [pool.submit(check_mesh, args.program, n, folder) for n in meshes]
        written = []
        for job in jobs:
            name, outcome, problems = job.result()
            counts[outcome] += 1
            if outcome == "checked" and not name.startswith("mesh "):
                written.append(name)
            for problem in problems:
                print("FAIL %s: %s" % (name, problem))
            failures += bool(problems)
        if args.tool:
            tool_problems = []
            for i, d in enumerate(drawings):
                if d in written:
                    tool_problems += ["%s: %s" % (d, p)
                                      for p in check_tool(args.tool, d, i, folder)]
            if written:
                tool_problems += check_tool_folder(args.tool, folder, written)
            tool_problems += check_tool_mesh(args.tool, folder)
            for problem in tool_problems:
                print("FAIL vexlor-dxf: %s" % problem)
            failures += bool(tool_problems)
    print("written drawings: %d checked, %d without contours skipped, %d failed"
          % (counts["checked"], counts["skipped"], failures))
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
