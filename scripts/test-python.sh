#!/usr/bin/env bash
# Builds the vexlor_dxf Python package (scripts/python-build.sh) and runs its pytest tests with
# Debian's /usr/bin/python3. As root, installs the Debian packages they need; anyone else
# without pybind11 or NumPy sees the tests skipped. Ends with one line:
#   python: N passed, M skipped (why)
# and a non-zero status when a test failed or the package did not build.
# SPDX-License-Identifier: MIT
set -uo pipefail
cd "$(dirname "$0")/.."
python="${PYTHON:-/usr/bin/python3}"

packages=(pybind11-dev python3-pybind11 python3-numpy python3-pytest python3-dask
          python3-distributed python3-shapely)
missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed" ||
        missing+=("$package")
done
if [ ${#missing[@]} -gt 0 ] && [ "$(id -u)" -eq 0 ] && command -v apt-get >/dev/null; then
    echo "== installing ${missing[*]}"
    apt-get update -qq && DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" \
        >/dev/null
fi
if ! "$python" -c "import pybind11, numpy, pytest" 2>/dev/null; then
    echo "python: 0 passed, 0 skipped (not run: pybind11, NumPy or pytest missing for $python;" \
         "install pybind11-dev python3-pybind11 python3-numpy python3-pytest)"
    exit 0
fi

if ! pythonpath=$(PYTHON="$python" WITH_TOOL=1 scripts/python-build.sh | tail -n 1); then
    echo "python: 0 passed, 0 skipped (the package did not build)"
    exit 1
fi
tool="$(dirname "$pythonpath")/tools/vexlor-dxf"
[ -x "$tool" ] && export VEXLOR_DXF_TOOL="$tool"

log=$(mktemp)
trap 'rm -f "$log"' EXIT
PYTHONPATH="$pythonpath" PYTHONDONTWRITEBYTECODE=1 "$python" -m pytest -p no:cacheprovider \
    -q -rs python/tests 2>&1 | tee "$log"
status=${PIPESTATUS[0]}

# "3 failed, 60 passed, 2 skipped in 9.1s" and "SKIPPED [2] file:line: reason" lines.
last=$(grep -E '^[=[:space:]]*[0-9]+ (passed|failed|skipped|error)' "$log" | tail -n 1)
count() { echo "$last" | grep -oE "[0-9]+ $1" | grep -oE '[0-9]+' || echo 0; }
passed=$(count passed)
skipped=$(count skipped)
failed=$(( $(count failed) + $(count error) ))
why=$(grep -E '^SKIPPED' "$log" | sed -E 's/^SKIPPED \[[0-9]+\] [^:]+:[0-9]+: //' | sort -u |
      paste -sd ';' - | sed 's/;/; /g')
line="python: $passed passed, $skipped skipped"
[ "$failed" -gt 0 ] && line="python: $failed FAILED, $passed passed, $skipped skipped"
if [ "$skipped" -gt 0 ]; then line="$line ($why)"; else line="$line (none skipped)"; fi
echo "$line"
[ "$status" -eq 0 ] || exit 1
