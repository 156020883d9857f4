#!/usr/bin/env bash
# Runs the threads test under ThreadSanitizer, then a representative part of the Debug suite
# under Valgrind's leak check.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/deps.sh
need_packages cmake g++ make libgtest-dev valgrind
jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"

echo "== threads test under ThreadSanitizer"
tsan=build/robust-tsan
cmake -S . -B "$tsan" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DVEXLOR_DXF_BUILD_TESTS=ON \
    -DVEXLOR_DXF_BUILD_TOOLS=OFF -DCMAKE_CXX_FLAGS="-fsanitize=thread -fno-omit-frame-pointer" \
    >/dev/null
cmake --build "$tsan" -j "$jobs" --target vexlor_dxf_robustness_tests
# Some kernels place memory where ThreadSanitizer cannot map it; without address randomisation
# it always can.
run=()
if command -v setarch >/dev/null && setarch "$(uname -m)" -R true 2>/dev/null; then
    run=(setarch "$(uname -m)" -R)
fi
TSAN_OPTIONS="halt_on_error=1" "${run[@]}" "$tsan/tests/vexlor_dxf_robustness_tests" \
    --gtest_filter='Robustness.Threads'

echo "== leak check under Valgrind"
# The Debug build of scripts/test.sh, or another one named by VEXLOR_DXF_DEBUG_BUILD.
debug="${VEXLOR_DXF_DEBUG_BUILD:-build/dev}"
if [ ! -f "$debug/CMakeCache.txt" ]; then
    cmake --preset dev >/dev/null
    debug=build/dev
fi
cmake --build "$debug" -j "$jobs" --target vexlor_dxf_export_tests vexlor_dxf_import_tests \
    vexlor_dxf_robustness_tests
# GoogleTest prints test parameters byte by byte, padding included; those reads are its own. The
# C library's vectorised wmemcmp reads whole 32-byte words past a string's end, within its page.
suppressions="$debug/gtest-padding.supp"
cat >"$suppressions" <<'SUPP'
{
   gtest-prints-padding-bytes-cond
   Memcheck:Cond
   ...
   fun:*PrintBytesInObjectTo*
}
{
   gtest-prints-padding-bytes-value
   Memcheck:Value8
   ...
   fun:*PrintBytesInObjectTo*
}
{
   libc-vectorised-wmemcmp
   Memcheck:Addr32
   fun:__wmemcmp_*
}
SUPP
memcheck=(valgrind -q --leak-check=full --errors-for-leak-kinds=definite,indirect
    --error-exitcode=1 --child-silent-after-fork=yes --suppressions="$suppressions")
"${memcheck[@]}" "$debug/tests/vexlor_dxf_export_tests" --gtest_brief=1
"${memcheck[@]}" "$debug/tests/vexlor_dxf_import_tests" --gtest_brief=1 --gtest_filter='Cases/*'
"${memcheck[@]}" "$debug/tests/vexlor_dxf_robustness_tests" --gtest_brief=1 \
    --gtest_filter='Robustness.LinesOfAMebibyte:Robustness.Threads'
