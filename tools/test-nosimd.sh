#!/usr/bin/env bash
# Builds the core with the fast paths off (QUILLANE_SIMD=OFF) and runs the core tests: the
# plain loops beside every fast path must give the same results on their own.
set -euo pipefail
cd "$(dirname "$0")/.."
# -O1 without debug information: the results are what is compared, and the build is most of
# the leg's time.
cmake -S . -B build-nosimd -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_SIMD=OFF \
  -DCMAKE_CXX_FLAGS_RELWITHDEBINFO="-O1 -DNDEBUG" \
  -DQUILLANE_BUILD_BENCH=OFF -DQUILLANE_BUILD_CLI=OFF -DQUILLANE_BUILD_DESKTOP=OFF
cmake --build build-nosimd -j"$(nproc)" --target quillane_core_tests
ctest --test-dir build-nosimd --output-on-failure -j"$(nproc)"
