#!/usr/bin/env bash
# The README's first command: builds the library and vexlor-dxf (Release), tells what a sample
# drawing holds, imports its true geometry (blocks placed, arcs and splines within a tolerance)
# into an SVG picture and exports a sample mesh as DXF. Installs missing Debian
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

drawing=examples/switch_panel.dxf
echo "== $tool info $drawing"
"$tool" info "$drawing"
echo "== $tool import $drawing --svg $out/switch_panel.svg --svg-color layer"
"$tool" import "$drawing" --svg "$out/switch_panel.svg" --svg-color layer
echo "== $tool export examples/bracket.stl $out/bracket.dxf"
"$tool" export examples/bracket.stl "$out/bracket.dxf"
echo
echo "Open $out/switch_panel.svg in a browser to see the imported contours, coloured by layer."
echo "The polyline reader, kept frozen for hosts that need its exact output: $tool import --classic."
echo "More: $tool --help, and docs/tool.md"
