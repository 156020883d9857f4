# Sourced by test-windows.sh and package-windows.sh, from the project folder: the MinGW-w64
# cross build for 64-bit Windows and the Wine that runs its programs.
# SPDX-License-Identifier: MIT
source scripts/deps.sh

windows_jobs="${JOBS:-$(nproc 2>/dev/null || echo 2)}"
windows_toolchain="$PWD/cmake/mingw-w64-x86_64.cmake"
windows_deps="$PWD/build/windows-deps"
# What the build needs: the compilers, GoogleTest's sources and the header-only libraries.
windows_packages=(cmake make g++-mingw-w64-x86-64 mingw-w64 googletest libcli11-dev
    nlohmann-json3-dev libfmt-dev)

# The MinGW-w64 runtime DLLs that the programs load: the C++ library, libgcc, winpthreads.
windows_runtime_dlls() {
    local dll
    for dll in libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll; do
        realpath "$(x86_64-w64-mingw32-g++-posix -print-file-name="$dll")"
    done
}

# GoogleTest built for Windows and CMake packages of CLI11, nlohmann-json and fmt, in
# build/windows-deps (cmake/windows-deps/CMakeLists.txt).
windows_build_deps() {
    cmake -S cmake/windows-deps -B "$windows_deps/build" -DCMAKE_BUILD_TYPE=Release \
        -DCMAKE_TOOLCHAIN_FILE="$windows_toolchain" -DCMAKE_INSTALL_PREFIX="$windows_deps" >/dev/null
    cmake --build "$windows_deps/build" -j "$windows_jobs" >/dev/null
    cmake --install "$windows_deps/build" >/dev/null
}

# Configures and builds the project for Windows (Release) in the folder $1, with the CMake
# options that follow.
windows_build() {
    local build=$1
    shift
    cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_TOOLCHAIN_FILE="$windows_toolchain" \
        -DCMAKE_PREFIX_PATH="$windows_deps" -DVEXLOR_DXF_CORPUS_DIR="${VEXLOR_DXF_CORPUS_DIR:-}" \
        "$@" >/dev/null
    cmake --build "$build" -j "$windows_jobs"
}

# The name of the package made of the build in the folder $1, and of its zip without ".zip".
windows_package_name() {
    local version
    version=$(sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt")
    echo "vexlor-dxf-$version-windows-x86_64"
}

# Wine in a prefix of the build's own, quiet, finding the runtime DLLs. Its server, and then its
# services (wineboot, which makes or updates the prefix), are started first: started by a test
# program, they would inherit its output and hold it open after the program ended.
windows_start_wine() {
    export WINEPREFIX="$PWD/build/wine" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
    WINEPATH="$(windows_runtime_dlls | xargs -n1 dirname | sort -u | paste -sd ';')"
    export WINEPATH
    # Wine hands a program the Linux command line and file names decoded by the locale.
    export LC_ALL=C.UTF-8
    mkdir -p "$WINEPREFIX"
    # A server that a killed run left for the prefix goes first: beside it, -p would end with
    # status 2 (tolerated all the same, for one started meanwhile). The server stays until the
    # run ends (the trap below): one that timed out during the build would be started again by
    # the tests listed as they are built, two at once, and one of them then fails to start.
    wineserver -k >/dev/null 2>&1 || true
    local status=0
    wineserver -p </dev/null >/dev/null 2>&1 || status=$?
    if [ "$status" -ne 0 ] && [ "$status" -ne 2 ]; then
        echo "windows.sh: wineserver cannot start for $WINEPREFIX (status $status)" >&2
        return 1
    fi
    trap 'wineserver -k >/dev/null 2>&1 || true' EXIT
    wine wineboot </dev/null >/dev/null 2>&1
}
