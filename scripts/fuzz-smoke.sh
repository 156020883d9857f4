#!/usr/bin/env bash
# Builds the fuzz harnesses, replays the kept reproducers and runs each harness briefly. With clang
# and libFuzzer it fuzzes under ASan and UBSan; without clang it builds replay programs and only
# replays. Exits non-zero on any finding.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh

seconds="${VEXLOR_DXF_FUZZ_SECONDS:-40}"
jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
if [ -z "${VEXLOR_DXF_CORPUS_DIR:-}" ] && [ -d ../shared/corpus ]; then
    VEXLOR_DXF_CORPUS_DIR="$(cd ../shared/corpus && pwd)"
fi
corpus="${VEXLOR_DXF_CORPUS_DIR:-}"

if [ "$(id -u)" -eq 0 ]; then
    need_packages clang libclang-rt-14-dev
fi
# Every harness draws its values through libFuzzer's FuzzedDataProvider.h, which comes with
# libclang-rt-14-dev: the replay programs need it too.
need_packages libclang-rt-14-dev
if command -v clang++ >/dev/null; then
    mode=libfuzzer
    build=build/fuzz
    cmake --preset fuzz >/dev/null
else
    echo "clang missing: replaying the inputs only"
    mode=replay
    build=build/fuzz-replay
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Debug -DVEXLOR_DXF_BUILD_TESTS=OFF \
        -DVEXLOR_DXF_BUILD_TOOLS=OFF -DVEXLOR_DXF_BUILD_FUZZERS=ON -DVEXLOR_DXF_FUZZ_REPLAY=ON \
        -DCMAKE_CXX_FLAGS="-fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all" \
        >/dev/null
fi
cmake --build "$build" -j "$jobs" --target fuzz_import fuzz_linking fuzz_export

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
smoke="$build/smoke"
rm -rf "$smoke"
for harness in import linking export; do
    binary="$build/tests/fuzz/fuzz_$harness"
    # Kept inputs (reproducers and a few seeds) are named after their harness:
    # tests/data/fuzz/<harness>-<what>.
    mapfile -t kept < <(find tests/data/fuzz -type f -name "$harness-*" 2>/dev/null | sort)
    seeds=()
    case "$harness" in
        import) max_len=8192; seeds=(tests/data); [ -n "$corpus" ] && seeds+=("$corpus") ;;
        linking) max_len=2048; seeds=(tests/data/fuzz) ;;
        export) max_len=1024; seeds=(tests/data/fuzz) ;;
    esac
    echo "== fuzz_$harness: ${#kept[@]} kept inputs"
    if [ "$mode" = replay ]; then
        "$binary" "${kept[@]}" "${seeds[@]}"
        continue
    fi
    if [ ${#kept[@]} -gt 0 ]; then "$binary" "${kept[@]}"; fi
    mkdir -p "$smoke/$harness"
    echo "== fuzz_$harness: ${seconds} s"
    "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$smoke/$harness-" \
        $([ "$harness" = import ] && echo "-dict=tests/fuzz/dxf.dict") \
        "$smoke/$harness" "${seeds[@]}" 2>"$smoke/$harness.log" || {
        tail -n 60 "$smoke/$harness.log"
        echo "fuzz_$harness found a fault; the input is in $smoke" >&2
        exit 1
    }
    grep -E "^#[0-9]+.*(DONE|pulse)" "$smoke/$harness.log" | tail -n 1
done
