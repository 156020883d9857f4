#!/usr/bin/env bash
# Checks that the accurate import's point budget bounds its time and memory: with the default
# budget, every drawing under 1 MB must end within 10 s and 2048 MB, with a result or with
# result 1 naming the budget. Imports the hostile drawings of bench/gen_bounds.py one at a time,
# each in a fresh process, and prints its time, peak memory, exit status and summary, marking
# OVER a row beyond the limits and STATUS an exit that is no import result. Then two files far
# beyond 1 MB that only show whether the reading streams, and what a budget point costs in
# memory: the peak at two budgets, its growth divided by the budget's.
# usage: bench/bounds.sh
#   VEXLOR_DXF_TOOL=PATH                 the tool to check (default: build the Release one)
#   VEXLOR_DXF_BOUNDS_TIMEOUT=S          stop each import after S seconds (default 60)
#   VEXLOR_DXF_BOUNDS_STREAM_TIMEOUT=S   the same for the two large files (default 120)
#   VEXLOR_DXF_BOUNDS_MEMORY_MB=MB       address space each import may take, to keep the
#                                        machine up (default 8192); beyond it the tool exits 70
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages python3 time coreutils

seconds_limit=10
memory_limit_mb=2048
timeout_s="${VEXLOR_DXF_BOUNDS_TIMEOUT:-60}"
stream_timeout_s="${VEXLOR_DXF_BOUNDS_STREAM_TIMEOUT:-120}"
address_space_mb="${VEXLOR_DXF_BOUNDS_MEMORY_MB:-8192}"

tool="${VEXLOR_DXF_TOOL:-}"
if [ -z "$tool" ]; then
    need_packages cmake g++ make
    cmake --preset release >/dev/null
    cmake --build --preset release -j "$(nproc)" --target vexlor-dxf >/dev/null
    tool=build/release/tools/vexlor-dxf
fi
tool="$(realpath "$tool")"

out=build/bounds
python3 bench/gen_bounds.py "$out"
drawings=()
for file in "$out"/*.dxf; do
    case $file in */stream_*) ;; *) drawings+=("$(basename "$file")") ;; esac
done
big_nul="$out/stream_nul_256mb.dxf"
sparse="$out/stream_sparse_2gb.dxf"
log="$(mktemp)"
times="$(mktemp)"
trap 'rm -f "$log" "$times" "$big_nul" "$sparse"' EXIT

# Imports FILE with the accurate import under a time limit, any further arguments passed to the
# tool; sets seconds, peak_mb, status and summary (the first line the tool printed, without the
# file's name, its control characters shown as '?', cut to 100 characters). Only the first
# 4 KB of the output are kept: a message may quote a whole line of the file.
run() {
    local file=$1 limit=$2
    shift 2
    set +e
    (
        ulimit -v $((address_space_mb * 1024))
        /usr/bin/time -o "$times" -f '%e %M' \
            timeout -k 5 "$limit" "$tool" import --accurate -j 1 "$@" "$file" 2>&1
    ) | { head -c 4096 >"$log"; cat >/dev/null; }
    status=${PIPESTATUS[0]}
    set -e
    local peak_kb
    read -r seconds peak_kb < <(tail -n 1 "$times") || true
    peak_mb=$(awk -v k="$peak_kb" 'BEGIN { printf "%.1f", k / 1024 }')
    summary=$(head -n 1 "$log" | tr -c '[:print:]\n' '?')
    summary="${summary#"$file: "}"
    case $status in
        124 | 137) summary="stopped after ${limit} s${summary:+: $summary}" ;;
    esac
    summary="${summary:-(no output)}"
    [ ${#summary} -le 100 ] || summary="${summary:0:97}..."
}

row() {
    printf '%-34s %10s %8s %9s %6s %-11s %s\n' "$@"
}

echo "== $(date -u +%Y-%m-%d), $(nproc) cores, $("$tool" --version 2>&1 | head -n 1) ($tool)"
echo "== accurate import, default budget, each drawing < 1 MB: at most ${seconds_limit} s and" \
    "${memory_limit_mb} MB (stopped after ${timeout_s} s)"
row drawing bytes seconds peak_MB exit flag summary
over=0
for name in "${drawings[@]}"; do
    file="$out/$name"
    run "$file" "$timeout_s"
    flags=()
    if awk -v s="$seconds" -v m="$peak_mb" -v sl="$seconds_limit" -v ml="$memory_limit_mb" \
        'BEGIN { exit !(s > sl || m > ml) }' || [ "$status" -eq 124 ] ||
        [ "$status" -eq 137 ] || [ "$status" -eq 70 ]; then
        flags+=(OVER)
    fi
    case $status in
        0 | 1 | 2 | 3 | 4 | 65) ;;
        *) flags+=(STATUS) ;;
    esac
    [ ${#flags[@]} -eq 0 ] || over=$((over + 1))
    flag=$(
        IFS=,
        echo "${flags[*]:--}"
    )
    row "${name%.dxf}" "$(stat -c %s "$file")" "$seconds" "$peak_mb" "$status" "$flag" "$summary"
done
echo "== ${over} of ${#drawings[@]} drawings beyond the limits or without a result"

# Beyond the 1 MB rule: whether the reading streams. A 256 MB file of NUL bytes and a 2 GB
# sparse file (NUL bytes too, but no disk); both are removed at the end.
echo "== streaming, outside the 1 MB rule (stopped after ${stream_timeout_s} s)"
row file bytes seconds peak_MB exit flag summary
head -c 256M /dev/zero >"$big_nul"
truncate -s 2G "$sparse"
for file in "$big_nul" "$sparse"; do
    run "$file" "$stream_timeout_s"
    name=$(basename "$file")
    row "${name%.dxf}" "$(stat -c %s "$file")" "$seconds" "$peak_mb" "$status" - "$summary"
    rm -f "$file"
done

# What a budget point costs: the peak at budgets of 1,000,000 and 4,000,000 points, on drawings
# that give far more than both, so that the import fills each budget before it stops. A given
# tolerance skips the walk that finds the drawing's extent, which keeps nothing: the budget is
# then filled by the pieces themselves. The drawings within the budget finish: their peak
# includes linking, the crossing test and the contours given back.
echo "== memory per budget point: (peak at 4,000,000 - peak at 1,000,000) / 3,000,000"
printf '%-34s %10s %7s %10s %7s %14s\n' drawing peak_1M_MB exit peak_4M_MB exit bytes_per_point
for name in minsert_circle minsert_1000_lines minsert_lines_within_budget \
    minsert_circles_within_budget; do
    run "$out/$name.dxf" "$timeout_s" --tolerance 0.001 --max-points 1000000
    peak1=$peak_mb status1=$status
    run "$out/$name.dxf" "$timeout_s" --tolerance 0.001 --max-points 4000000
    awk -v n="$name" -v p1="$peak1" -v s1="$status1" -v p2="$peak_mb" -v s2="$status" 'BEGIN {
        printf "%-34s %10.1f %7d %10.1f %7d %14.1f\n", n, p1, s1, p2, s2,
               (p2 - p1) * 1024 * 1024 / 3000000 }'
done
