#!/usr/bin/env bash
# The README's first command: builds the library and vexlor-dxf (Release), imports a sample
# drawing into an SVG picture and exports a sample mesh as DXF. Installs missing Debian
# packages when run as root, or says which to install.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages cmake g++ make libcli11-dev nlohmann-json3-dev libfmt-dev

build=build/demo
out="$build/out"
jobs=$(nproc 2>/dev/null || echo 2)
echo "== configure and build ($build; a minute or two the first time)"
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DVEXLOR_DXF_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" -j "$jobs" >/dev/null
mkdir -p "$out"
tool="$build/tools/vexlor-dxf"

echo "== $tool import examples/flange_arcs.dxf --svg $out/flange_arcs.svg"
"$tool" import examples/flange_arcs.dxf --svg "$out/flange_arcs.svg"
echo "== $tool export examples/bracket.stl $out/bracket.dxf"
"$tool" export examples/bracket.stl "$out/bracket.dxf"
echo
echo "Open $out/flange_arcs.svg in a browser to see the imported contours."
echo "More: $tool --help"
