#!/usr/bin/env bash
# Builds the fuzz harnesses with clang and libFuzzer under ASan and UBSan, replays the kept
# reproducers and runs each harness briefly. Exits non-zero on any finding.
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

# The harnesses need clang++ and libFuzzer (its runtime and fuzzer/FuzzedDataProvider.h), which
# come with the Debian packages clang and libclang-rt-14-dev: root gets them installed, anyone else
# is told to install them. A program that includes the header and links libFuzzer proves them.
if [ "$(id -u)" -eq 0 ]; then
    need_packages clang libclang-rt-14-dev
fi
probe="$(mktemp -d)"
trap 'rm -rf "$probe"' EXIT
printf '%s\n' '#include <fuzzer/FuzzedDataProvider.h>' \
    'extern "C" int LLVMFuzzerTestOneInput(const unsigned char*, unsigned long) { return 0; }' \
    >"$probe/probe.cpp"
if ! command -v clang++ >/dev/null ||
    ! clang++ -fsanitize=fuzzer "$probe/probe.cpp" -o "$probe/probe" 2>"$probe/log"; then
    [ -s "$probe/log" ] && cat "$probe/log" >&2
    echo "fuzz-smoke.sh needs clang++ with libFuzzer, which are missing: install the Debian" \
        "packages clang and libclang-rt-14-dev (sudo apt-get install clang libclang-rt-14-dev)," \
        "or run this script as root to have them installed" >&2
    exit 1
fi

build=build/fuzz
cmake --preset fuzz >/dev/null
cmake --build "$build" -j "$jobs" --target fuzz_import fuzz_linking fuzz_export fuzz_accurate

export ASAN_OPTIONS="detect_leaks=1:abort_on_error=1"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
smoke="$build/smoke"
rm -rf "$smoke"
for harness in import linking export accurate; do
    binary="$build/tests/fuzz/fuzz_$harness"
    # Kept inputs (reproducers and a few seeds) are named after their harness:
    # tests/data/fuzz/<harness>-<what>.
    mapfile -t kept < <(find tests/data/fuzz -type f -name "$harness-*" 2>/dev/null | sort)
    seeds=()
    case "$harness" in
        import | accurate) max_len=8192; seeds=(tests/data); [ -n "$corpus" ] && seeds+=("$corpus") ;;
        linking) max_len=2048; seeds=(tests/data/fuzz) ;;
        export) max_len=1024; seeds=(tests/data/fuzz) ;;
    esac
    echo "== fuzz_$harness: ${#kept[@]} kept inputs"
    if [ ${#kept[@]} -gt 0 ]; then "$binary" "${kept[@]}"; fi
    mkdir -p "$smoke/$harness"
    echo "== fuzz_$harness: ${seconds} s"
    "$binary" -max_total_time="$seconds" -max_len="$max_len" -timeout=10 -rss_limit_mb=2048 \
        -print_final_stats=1 -artifact_prefix="$smoke/$harness-" \
        $([ "$harness" = import ] || [ "$harness" = accurate ] && echo "-dict=tests/fuzz/dxf.dict") \
        "$smoke/$harness" "${seeds[@]}" 2>"$smoke/$harness.log" || {
        tail -n 60 "$smoke/$harness.log"
        echo "fuzz_$harness found a fault; the input is in $smoke" >&2
        exit 1
    }
    grep -E "^#[0-9]+.*(DONE|pulse)" "$smoke/$harness.log" | tail -n 1
done
