#!/usr/bin/env bash
# Builds and runs every test: formatting, the Debug suite, the sanitizer suite and the
# installed-package consumer. Installs missing Debian packages when run as root.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages cmake g++ make libgtest-dev libgmock-dev clang-format libcli11-dev nlohmann-json3-dev python3

# A locale with a decimal comma, so the tests can prove a host's locale never reaches numbers.
if ! locale -a 2>/dev/null | grep -qi '^de_DE.utf8$' && [ "$(id -u)" -eq 0 ]; then
    need_packages locales
    localedef -i de_DE -f UTF-8 de_DE.UTF-8 >/dev/null 2>&1 || true
fi

jobs=$(nproc 2>/dev/null || echo 2)
# Real drawings of public test suites, when they sit beside the project.
if [ -z "${VEXLOR_DXF_CORPUS_DIR:-}" ] && [ -d ../shared/corpus ]; then
    VEXLOR_DXF_CORPUS_DIR="$(cd ../shared/corpus && pwd)"
fi
export VEXLOR_DXF_CORPUS_DIR="${VEXLOR_DXF_CORPUS_DIR:-}"

echo "== format check"
git ls-files '*.cpp' '*.h' | xargs clang-format --dry-run --Werror

for preset in dev asan; do
    echo "== $preset: configure, build, test"
    cmake --preset "$preset" >/dev/null
    cmake --build --preset "$preset" -j "$jobs"
    ctest --preset "$preset" -j "$jobs"
done

echo "== installed package consumer"
prefix="$PWD/build/install"
rm -rf "$prefix" build/package-consumer
cmake --install build/dev --prefix "$prefix" >/dev/null
cmake -S tests/package -B build/package-consumer -DCMAKE_PREFIX_PATH="$prefix" >/dev/null
cmake --build build/package-consumer -j "$jobs"
ctest --test-dir build/package-consumer --output-on-failure

# Fuzz harnesses, replayed over the regression inputs and run briefly, and the threads check.
for extra in scripts/fuzz-smoke.sh scripts/threads.sh; do
    if [ -x "$extra" ]; then
        echo "== $extra"
        "$extra"
    fi
done
