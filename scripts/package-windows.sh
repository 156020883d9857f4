#!/usr/bin/env bash
# Makes build/vexlor-dxf-VERSION-windows-x86_64.zip: the library for 64-bit Windows (the DLLs and
# their import libraries), its headers, its CMake package and pkg-config file, vexlor-dxf.exe, the
# MinGW-w64 runtime DLLs they load, the LICENSE, a short README.txt and the project's README.md with
# what it links to (docs/, KNOWN_ISSUES.md, CHANGELOG.md, the samples of examples/). Cross-built
# with MinGW-w64 in build/windows-package, or taken from the Release build named by
# VEXLOR_DXF_WINDOWS_BUILD (as scripts/test-windows.sh does). Installs the Debian packages it needs
# when run as root.
# SPDX-License-Identifier: MIT
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/windows.sh
need_packages "${windows_packages[@]}"

build="${VEXLOR_DXF_WINDOWS_BUILD:-}"
if [ -z "$build" ]; then
    build=build/windows-package
    windows_build_deps
    windows_build "$build" -DVEXLOR_DXF_BUILD_TESTS=OFF
fi
version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$build/CMakeCache.txt")
name=$(windows_package_name "$build")
stage="build/$name"
rm -rf "$stage" "build/$name.zip"
cmake --install "$build" --prefix "$stage" --strip >/dev/null
# The programs and the DLLs find the runtime DLLs beside them, in bin (without their symbols).
for dll in $(windows_runtime_dlls); do
    x86_64-w64-mingw32-strip --strip-unneeded -o "$stage/bin/$(basename "$dll")" "$dll"
done
cp LICENSE "$stage/"
# The README.txt points to README.md, which links to these.
cp -R README.md KNOWN_ISSUES.md CHANGELOG.md docs examples "$stage/"
cat >"$stage/README.txt" <<README
Vexlor.ImportExport.dxf $version for 64-bit Windows, built with MinGW-w64 (GCC, posix threads).

bin\\vexlor-dxf.exe                  the command-line tool (vexlor-dxf --help)
bin\\*.dll                           the library, its platform libraries and the MinGW-w64 runtime
lib\\*.dll.a                         import libraries for MinGW-w64
include\\vexlor-dxf\\                 the headers
lib\\cmake\\VexlorDxf\\                find_package(VexlorDxf CONFIG), target Vexlor::ImportExportDxf
lib\\pkgconfig\\VexlorDxf.pc          the same for pkg-config
README.md, *.md, docs\\              the documentation; docs\\windows.md is about Windows
examples\\                           sample drawings and a mesh:
                                    bin\\vexlor-dxf.exe import examples\\flange_arcs.dxf

The C++ interface is built by MinGW-w64 (GCC): a host compiles with MinGW-w64 too, and keeps
bin\\ on PATH or beside its program. README.md beside this file has the rest.
README
(cd build && cmake -E tar cf "$name.zip" --format=zip "$name")
echo "package-windows.sh: build/$name.zip"
