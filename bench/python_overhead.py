#!/usr/bin/env python3
# The Python module's cost over the C++ call: the accurate import of one drawing timed in paired
# runs, each in a fresh process, alternating the C++ measuring program and the module; and the
# throughput of two worker threads against one, for the GIL.
# Usage: /usr/bin/python3 bench/python_overhead.py [--drawing FILE] [--runs N]
#            [--measure build/python/bench/vexlor_dxf_measure] [--pythonpath build/python/python]
# SPDX-License-Identifier: MIT
import argparse
import os
import statistics
import subprocess
import sys

# One run of the module in a fresh process: the import alone, then with every contour's array
# taken (what a caller that reads all the points adds).
PYTHON_RUN = r"""
import sys, time
import vexlor_dxf
start = time.perf_counter()
imported = vexlor_dxf.import_contours(sys.argv[1])
call = time.perf_counter() - start
points = sum(len(c.points) for c in imported.contours)
every = time.perf_counter() - start
print(int(imported.result), len(imported.contours), points, f"{call:.4f}", f"{every:.4f}")
"""

# Throughput: the drawing imported `count` times by a pool of one worker thread, then by a pool of
# two, round after round, each worker warmed by one import first. A worker that lives
# on reuses its memory, as a long-running pool does; a thread's first import also takes its
# memory fresh from the system, at a cost the rounds leave out.
THREADS_RUN = r"""
import sys, time
from concurrent.futures import ThreadPoolExecutor
import vexlor_dxf
data = open(sys.argv[1], "rb").read()
count, rounds = int(sys.argv[2]), int(sys.argv[3])
def timed(pool):
    start = time.perf_counter()
    list(pool.map(vexlor_dxf.import_contours, [data] * count))
    return time.perf_counter() - start
with ThreadPoolExecutor(max_workers=1) as one, ThreadPoolExecutor(max_workers=2) as two:
    list(one.map(vexlor_dxf.import_contours, [data]))
    list(two.map(vexlor_dxf.import_contours, [data] * 2))
    print(" ".join(f"{timed(one):.4f},{timed(two):.4f}" for _ in range(rounds)))
"""


def main():
    root = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
    parser = argparse.ArgumentParser(description=__doc__)
    parser.add_argument("--drawing", default="/work/wl/mixed_50mb.dxf")
    parser.add_argument("--runs", type=int, default=5)
    parser.add_argument("--measure", default=os.path.join(root, "build/python/bench/vexlor_dxf_measure"))
    parser.add_argument("--pythonpath", default=os.path.join(root, "build/python/python"))
    args = parser.parse_args()
    environment = dict(os.environ, PYTHONPATH=args.pythonpath)
    python = sys.executable

    cpp, call, every = [], [], []
    for _ in range(args.runs):
        fields = subprocess.run([args.measure, "accurate", args.drawing], check=True,
                                capture_output=True, text=True).stdout.split()
        cpp.append(float(fields[fields.index("seconds") + 1]))
        result, contours, points, c, e = subprocess.run(
            [python, "-c", PYTHON_RUN, args.drawing], check=True, capture_output=True, text=True,
            env=environment).stdout.split()
        call.append(float(c))
        every.append(float(e))
    ratios = [p / c for p, c in zip(call, cpp)]
    ratios_every = [p / c for p, c in zip(every, cpp)]
    print(f"{os.path.basename(args.drawing)}: result {result}, {contours} contours, {points} points")
    print(f"C++ ImportContours        median {statistics.median(cpp):.3f} s  runs {cpp}")
    print(f"vexlor_dxf.import_contours median {statistics.median(call):.3f} s  "
          f"cost over C++ (paired) median {100 * (statistics.median(ratios) - 1):+.1f} %")
    print(f"  and every contour's array median {statistics.median(every):.3f} s  "
          f"cost over C++ (paired) median {100 * (statistics.median(ratios_every) - 1):+.1f} %")

    # Each round pairs the two pools' imports made at about the same time.
    fields = subprocess.run([python, "-c", THREADS_RUN, args.drawing, "6", str(args.runs)],
                            check=True, capture_output=True, text=True,
                            env=environment).stdout.split()
    rounds = [tuple(map(float, f.split(","))) for f in fields]
    speedups = sorted(one / two for one, two in rounds)
    print(f"two worker threads against one: throughput x{statistics.median(speedups):.2f} "
          f"(rounds of 6 imports: {', '.join(f'{x:.2f}' for x in speedups)}; "
          f"{os.cpu_count()} cores)")

if __name__ == "__main__":
    main()
