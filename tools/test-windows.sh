#!/usr/bin/env bash
# Builds the core and its tests as Windows programs (MinGW-w64) and runs the tests under
# Wine. Needs g++-mingw-w64-x86-64, libz-mingw-w64-dev, googletest and wine64.
#   tools/test-windows.sh [BUILD_DIR]      (default build-windows; extra gtest flags in
#                                           QUILLANE_GTEST_ARGS, e.g. --gtest_filter=App*)
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh g++-mingw-w64-x86-64 libz-mingw-w64-dev googletest wine64 wine
build=${1:-build-windows}
launcher=()
if command -v ccache >/dev/null; then
  launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache -DCMAKE_C_COMPILER_LAUNCHER=ccache)
fi
# -O1 without debug information: the build is most of the leg's time.
cmake -S . -B "$build" -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
  -DCMAKE_BUILD_TYPE=Release -DCMAKE_CXX_FLAGS_RELEASE="-O1 -DNDEBUG" \
  -DQUILLANE_BUILD_DESKTOP=OFF -DQUILLANE_BUILD_CLI=OFF \
  -DQUILLANE_BUILD_BENCH=OFF "${launcher[@]}"
cmake --build "$build" -j"$(nproc)" --target quillane_core_tests

# A throwaway Wine prefix inside the build, so nothing of the user's own Wine is touched;
# a console program needs no display.
export WINEPREFIX="$PWD/$build/wineprefix" WINEDEBUG=-all WINEDLLOVERRIDES="mscoree,mshtml="
unset DISPLAY WAYLAND_DISPLAY
wine=$(command -v wine64 || command -v wine)
"$wine" wineboot --init >/dev/null 2>&1 || true
# shellcheck disable=SC2086
"$wine" "$build/tests/core/quillane_core_tests.exe" ${QUILLANE_GTEST_ARGS:-}
