#!/usr/bin/env bash
# Builds the benchmarks in Release, generates the seeded workloads once, and prints one table:
# each workload's import time beside the plain tokenizer floor measured in the same run, the
# ratio, throughput and peak memory, and the accurate import's time against both and its peak;
# then the export, and the scaling in fresh processes and in the Google Benchmark programs.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages cmake g++ make libbenchmark-dev python3

data="${VEXLOR_DXF_BENCH_DATA:-$PWD/build/workloads}"
generator="${VEXLOR_DXF_WORKLOAD_GENERATOR:-../shared/bench/gen_workloads.py}"
if [ ! -f "$data/manifest.json" ]; then
    echo "== generating workloads into $data"
    python3 "$generator" --out "$data" >/dev/null
fi

cmake --preset release >/dev/null
cmake --build --preset release -j "$(nproc)" --target vexlor_dxf_measure vexlor_dxf_bench >/dev/null
measure=build/release/bench/vexlor_dxf_measure
runs=5

# The output of several runs of one measurement, a line each.
repeat() {
    for _ in $(seq $runs); do "$@"; done
}

# The median of a field over the lines given on standard input.
field_median() {
    awk -v f="$1" '{for (i = 1; i < NF; ++i) if ($i == f) print $(i + 1)}' |
        sort -g | awk '{v[NR] = $1} END {print v[int((NR + 1) / 2)]}'
}

# The median of a field over several runs of one measurement.
median() {
    local field=$1
    shift
    repeat "$@" | field_median "$field"
}

echo "== $(date -u +%Y-%m-%d), $(nproc) cores, $(grep -m1 'model name' /proc/cpuinfo | cut -d: -f2 | xargs)"
# The accurate import's columns: its time, that time over the polyline reader's (x_ours), over
# the tokenizer floor (x_floor) and over the plainer tokenizer that converts no value (x_tok), and
# its peak memory.
printf '%-16s %8s %9s %9s %6s %8s %9s %9s %10s %10s %6s %7s %6s %11s\n' workload MB ours_s \
    floor_s ratio MB/s peak_MB out_MB bound_MB accurate_s x_ours x_floor x_tok acc_peak_MB
for name in lines_100k mixed_50mb lwpoly_big lines_10k mixed_5mb lwpoly_100k; do
    file="$data/$name.dxf"
    [ -f "$file" ] || continue
    bytes=$(stat -c %s "$file")
    ours=$(median seconds "$measure" import "$file")
    floor=$(median seconds "$measure" floor "$file")
    tokens=$(median seconds "$measure" tokenize "$file")
    peak=$(median peak_kb "$measure" import "$file")
    out=$(median output_kb "$measure" import "$file")
    accurate_runs=$(repeat "$measure" accurate "$file")
    accurate=$(field_median seconds <<<"$accurate_runs")
    accurate_peak=$(field_median peak_kb <<<"$accurate_runs")
    awk -v n="$name" -v b="$bytes" -v o="$ours" -v f="$floor" -v p="$peak" -v out="$out" \
        -v a="$accurate" -v ap="$accurate_peak" -v t="$tokens" 'BEGIN {
        printf "%-16s %8.1f %9.3f %9.3f %6.2f %8.0f %9.1f %9.1f %10.1f %10.3f %6.2f %7.2f %6.2f %11.1f\n",
               n, b / 1e6, o, f, o / f, b / 1e6 / o, p / 1024, out / 1024, 3 * out / 1024 + 16, a,
               a / o, a / f, a / t, ap / 1024 }'
done

if [ -f "$data/mesh_1m.idx" ]; then
    out_file="$(mktemp --suffix=.dxf)"
    seconds=$(median seconds "$measure" export "$data/mesh_1m.idx" "$out_file")
    peak=$(median peak_kb "$measure" export "$data/mesh_1m.idx" "$out_file")
    input=$(median input_peak_kb "$measure" export "$data/mesh_1m.idx" "$out_file")
    awk -v s="$seconds" -v p="$peak" -v i="$input" -v b="$(stat -c %s "$out_file")" 'BEGIN {
        printf "export mesh_1m: %.3f s, %.0f MB/s, peak %.1f MB, %.1f MB above the input mesh\n",
               s, b / 1e6 / s, p / 1024, (p - i) / 1024 }'
    rm -f "$out_file"
fi

# The accurate import's instancing: one block of 100 entities placed 1,000 times against the
# same 100,000 entities drawn directly; the time should follow the output, not the input.
echo "== accurate import: 1,000 INSERTs of a 100-entity block against the 100,000 entities drawn"
[ -f "$data/blocks/blocks.dxf" ] || python3 bench/gen_blocks.py "$data/blocks"
blocks=$(median seconds "$measure" accurate "$data/blocks/blocks.dxf")
direct=$(median seconds "$measure" accurate "$data/blocks/direct.dxf")
awk -v b="$blocks" -v d="$direct" 'BEGIN { printf "blocks_s %.3f direct_s %.3f ratio %.2f\n", b, d, b / d }'

echo "== scaling: whole import of n shuffled LINE pieces, each run in a fresh process"
printf '%-10s %9s %12s %12s\n' pieces ours_s ratio n_log_n_ratio
previous=""
for n in 10000 100000 1000000; do
    file="$data/bench_lines_$n.dxf"
    [ -f "$file" ] || "$measure" lines "$n" "$file"
    seconds=$(median seconds "$measure" import "$file")
    awk -v n="$n" -v s="$seconds" -v p="$previous" 'BEGIN {
        if (p == "") printf "%-10d %9.4f %12s %12s\n", n, s, "-", "-"
        else printf "%-10d %9.4f %12.1f %12.1f\n", n, s, s / p, 10 * log(n) / log(n / 10) }'
    previous=$seconds
done

# Drawings shaped to make linking and the crossing test work hard: the whole import at n and 4n
# pieces, each in a fresh process; n log n allows a growth of about 4.5.
adversarial="${VEXLOR_DXF_ADVERSARIAL_GENERATOR:-../shared/bench/gen_adversarial.py}"
if [ -f "$adversarial" ]; then
    echo "== adversarial drawings: whole import at n = 100,000 and 400,000 pieces"
    printf '%-10s %9s %9s %7s\n' case n_s 4n_s growth
    for case in parallel diag grid rays star cell zigzag; do
        times=()
        for n in 100000 400000; do
            file="$data/adversarial_${case}_$n.dxf"
            [ -f "$file" ] || python3 "$adversarial" "$case" "$n" "$file"
            times+=("$(median seconds "$measure" import "$file")")
        done
        awk -v c="$case" -v a="${times[0]}" -v b="${times[1]}" \
            'BEGIN { printf "%-10s %9.3f %9.3f %7.1f\n", c, a, b, b / a }'
    done
fi

echo "== scaling (Google Benchmark, in one process on memory it already has)"
VEXLOR_DXF_BENCH_DATA="$data" build/release/bench/vexlor_dxf_bench \
    --benchmark_filter='BM_ImportLines|BM_LinkPieces|BM_CrossingTest|BM_ExportTriangles|BM_GroupReader' \
    --benchmark_repetitions=1
