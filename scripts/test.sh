#!/usr/bin/env bash
# Builds and runs every test: formatting, the Debug suite, the sanitizer suite, the
# installed-package consumer, the Windows build under Wine, the Python module's tests, the fuzz
# smoke run, and the threads and leak checks. Installs missing Debian packages when run as root. JOBS sets the parallel
# jobs (default: the number of cores). Ends with one line saying what ran, what passed and what
# was skipped, and why.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages cmake g++ make libgtest-dev libgmock-dev clang-format libcli11-dev nlohmann-json3-dev \
    libfmt-dev pkg-config python3

# A locale with a decimal comma, so the tests can prove a host's locale never reaches numbers.
if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$' && [ "$(id -u)" -eq 0 ]; then
    need_packages locales
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
fi

# ezdxf and numpy for /usr/bin/python3, which the comparison with ezdxf on the corpus needs
# (AccurateImport.MatchesEzdxfOnCorpus), and GDAL's ogrinfo, which reads the written drawings
# with ezdxf (Writers.ReadByEzdxfAndGdal): root gets them installed, anyone else without them
# sees those tests skipped.
if [ "$(id -u)" -eq 0 ]; then
    need_packages python3-ezdxf python3-numpy gdal-bin
fi

jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
export JOBS="$jobs"
start=$SECONDS
summary=()
# Runs ctest with the given arguments and notes for the summary how many tests passed, failed and
# were skipped, and why (scripts/ctest-summary.py reads ctest's JUnit file). A skipped test is
# never counted as passed.
counted_ctest() {
    local name=$1 junit status=0
    shift
    junit=$(mktemp --suffix=.xml)
    ctest "$@" --output-junit "$junit" || status=$?
    summary+=("$(python3 scripts/ctest-summary.py "$name" "$junit" || true)")
    rm -f "$junit"
    return "$status"
}
# A run that stops at a failure still ends with the summary of what ran until then.
summarize_failure() {
    local status=$? joined
    [ "$status" -eq 0 ] && return
    joined=$(printf '%s; ' "${summary[@]}")
    echo "test.sh: FAILED (status $status) after: ${joined%; } ($((SECONDS - start)) s, $jobs jobs)"
}
trap summarize_failure EXIT
# Real drawings of public test suites, when they sit beside the project.
if [ -z "${VEXLOR_DXF_CORPUS_DIR:-}" ] && [ -d ../shared/corpus ]; then
    VEXLOR_DXF_CORPUS_DIR="$(cd ../shared/corpus && pwd)"
fi
export VEXLOR_DXF_CORPUS_DIR="${VEXLOR_DXF_CORPUS_DIR:-}"

echo "== format check"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror
summary+=("format clean")

for preset in dev asan; do
    echo "== $preset: configure, build, test"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    counted_ctest "$preset" --preset "$preset" -j "$jobs"
done

echo "== installed package consumer"
prefix="$PWD/build/install"
rm -rf "$prefix" build/package-consumer
cmake --install build/dev --prefix "$prefix" >/dev/null
cmake -S tests/package -B build/package-consumer -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build build/package-consumer -j "$jobs"
counted_ctest "package consumer" --test-dir build/package-consumer --output-on-failure

# The Windows build under Wine: root gets its packages installed like the others; anyone else
# without MinGW-w64 and Wine goes without it, and the summary says so.
if [ "$(id -u)" -eq 0 ] ||
    { command -v x86_64-w64-mingw32-g++-posix && command -v wine; } >/dev/null; then
    echo "== scripts/test-windows.sh"
    log=$(mktemp)
    scripts/test-windows.sh | tee "$log"
    summary+=("$(sed -n 's/^test-windows.sh: \(.*\) ([0-9]* s)$/\1/p' "$log")")
    rm -f "$log"
else
    summary+=("windows not run (no MinGW-w64 and Wine: see scripts/test-windows.sh)")
fi

# The Python module's tests, when the module is there: their own closing line joins the summary.
if [ -f scripts/test-python.sh ]; then
    echo "== scripts/test-python.sh"
    log=$(mktemp)
    bash scripts/test-python.sh | tee "$log"
    summary+=("$(grep -v '^[[:space:]]*$' "$log" | tail -n 1)")
    rm -f "$log"
fi

# Fuzz harnesses, replayed over the regression inputs and run briefly, and the threads check.
for extra in scripts/fuzz-smoke.sh scripts/threads.sh; do
    if [ -x "$extra" ]; then
        echo "== $extra"
        "$extra"
        summary+=("$(basename "$extra" .sh) passed")
    fi
done

joined=$(printf '%s; ' "${summary[@]}")
echo "test.sh: ${joined%; } ($((SECONDS - start)) s, $jobs jobs)"
