#!/bin/sh
# The mesh writers against the frozen 3DFACE exporter on the million-triangle mesh, in paired runs.
# SPDX-License-Identifier: MIT
#
#   bench/write-mesh.sh [BUILD_DIR] [MESH.idx] [RUNS]
#
# BUILD_DIR is a Release build with the tests (cmake --preset release -B BUILD_DIR, then
# cmake --build BUILD_DIR --target vexlor-dxf-write-check); MESH.idx the workload generator's
# indexed mesh (by default /work/wl/mesh_1m.idx). Each run writes the mesh with the frozen
# ExportToDxf::Operate, then the polyface writer, then the new 3DFACE writer, one after the other
# on the same machine state, to memory-backed /dev/shm where there is one; each line gives the
# median seconds of the writes alone (reading the mesh is not counted) and the file's size.
set -eu
build=${1:-build/release}
mesh=${2:-/work/wl/mesh_1m.idx}
runs=${3:-5}
program="$build/tests/vexlor-dxf-write-check"
[ -x "$program" ] || { echo "no $program: build the target vexlor-dxf-write-check" >&2; exit 2; }
[ -f "$mesh" ] || { echo "no mesh $mesh" >&2; exit 2; }
folder=$(mktemp -d "$( [ -d /dev/shm ] && echo /dev/shm || echo "${TMPDIR:-/tmp}")/write-mesh.XXXXXX")
trap 'rm -rf "$folder"' EXIT

for run in $(seq "$runs"); do
    for writer in frozen polyface 3dface; do
        "$program" time "$mesh" "$folder/$writer.dxf" "$writer" >> "$folder/$writer.times"
    done
done
median() { sort -n "$1" | awk '{ v[NR] = $1 } END { print v[int((NR + 1) / 2)] }'; }
printf '%-9s %9s %12s\n' writer seconds bytes
for writer in frozen polyface 3dface; do
    printf '%-9s %9s %12s\n' "$writer" "$(median "$folder/$writer.times")" \
        "$(wc -c < "$folder/$writer.dxf" | tr -d ' ')"
done
