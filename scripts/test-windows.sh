#!/usr/bin/env bash
# Cross-builds the library, vexlor-dxf and the tests for 64-bit Windows with MinGW-w64 and runs
# them under Wine: every unit test, the tool's end-to-end tests, and a host built against the
# package of scripts/package-windows.sh, unpacked. Installs the Debian packages it needs when run
# as root. JOBS sets the parallel jobs. Ends with one line saying what passed and what was
# skipped, and why.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows.sh
need_packages "${windows_packages[@]}" wine64 wine python3
start=$SECONDS
windows_start_wine

echo "== windows: dependencies, configure, build"
windows_build_deps
build=build/windows
windows_build "$build"

echo "== windows: tests under Wine"
junit=$(mktemp --suffix=.xml)
trap 'rm -f "$junit"; wineserver -k >/dev/null 2>&1 || true' EXIT
# Now and then Wine fails to start a program at all (status 1 in no time, no output): a test
# gets up to three tries here, which a real failure fails every time. The counts come from
# ctest's JUnit file: skipped tests (the full-disk rows, ...) are counted apart, with why.
ctest --test-dir "$build" -j "$windows_jobs" --output-on-failure --repeat until-pass:3 \
    --output-junit "$junit"
windows=$(python3 scripts/ctest-summary.py "windows under Wine" "$junit")

echo "== windows: package, and a host built against it"
VEXLOR_DXF_WINDOWS_BUILD="$build" scripts/package-windows.sh
# The zip of this version (build/ may hold those of others too).
name=$(windows_package_name "$build")
unpacked=build/windows-unpacked
rm -rf "$unpacked" build/windows-consumer
mkdir -p "$unpacked"
(cd "$unpacked" && cmake -E tar xf "../$name.zip")
prefix="$PWD/$unpacked/$name"
cmake -S tests/package -B build/windows-consumer -DCMAKE_TOOLCHAIN_FILE="$windows_toolchain" \
    -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build build/windows-consumer -j "$windows_jobs"
# The host finds the package's DLLs, the runtime's included, on its PATH.
WINEPATH="$prefix/bin" ctest --test-dir build/windows-consumer --output-on-failure \
    --repeat until-pass:3 --output-junit "$junit"
consumer=$(python3 scripts/ctest-summary.py "windows package consumer" "$junit")
echo "test-windows.sh: $windows; $consumer ($((SECONDS - start)) s)"
