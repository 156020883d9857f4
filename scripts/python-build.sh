#!/usr/bin/env bash
# Builds the vexlor_dxf Python package into build/python, for Debian's /usr/bin/python3, and
# prints the PYTHONPATH that imports it:
#   export PYTHONPATH=$(scripts/python-build.sh | tail -n 1)
# BUILD_DIR and PYTHON change the folder and the interpreter; JOBS the parallel jobs; WITH_TOOL=1
# builds the vexlor-dxf tool there too, which the batch's tests compare with.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
build="${BUILD_DIR:-build/python}"
python="${PYTHON:-/usr/bin/python3}"
jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXLOR_DXF_BUILD_PYTHON=ON \
    -DVEXLOR_DXF_BUILD_TESTS=OFF -DPython_EXECUTABLE="$python" >&2
cmake --build "$build" -j "$jobs" --target vexlor_dxf_python >&2
# The tool is needed only to hold the batch's rows against; the package does without it.
if [ "${WITH_TOOL:-0}" = 1 ] && ! cmake --build "$build" -j "$jobs" --target vexlor-dxf >&2; then
    echo "python-build: the tool did not build; the batch's comparison with it will be skipped" >&2
fi
echo "$(cd "$build" && pwd)/python"
