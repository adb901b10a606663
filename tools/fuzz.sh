#!/usr/bin/env bash
# Builds the libFuzzer targets with clang and runs each for SECONDS (default 20) on its
# seed corpus, within the memory limits every reader must keep.
#   tools/fuzz.sh [SECONDS] [TARGET ...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-20}
shift || true
tools/install-deps.sh clang libclang-rt-14-dev
CXX=clang++ cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILLANE_FUZZ=ON \
  -DQUILLANE_BUILD_TESTS=OFF -DQUILLANE_BUILD_CLI=OFF -DQUILLANE_BUILD_DESKTOP=OFF
cmake --build build-fuzz -j"$(nproc)"

corpus=build-fuzz/corpus
rm -rf "$corpus"
build-fuzz/fuzz/make-corpus "$corpus"
targets=("$@")
if [[ ${#targets[@]} -eq 0 ]]; then
  for t in build-fuzz/fuzz/fuzz_*; do targets+=("$(basename "$t")"); done
fi
status=0
for t in "${targets[@]}"; do
  work=build-fuzz/work/$t
  mkdir -p "$work" "$corpus/$t" fuzz/regressions/"$t"
  echo "== $t: ${seconds}s"
  # Crashing inputs kept under fuzz/regressions are replayed first.
  if ! build-fuzz/fuzz/"$t" -max_total_time="$seconds" -rss_limit_mb=512 -malloc_limit_mb=256 \
       -timeout=10 -artifact_prefix=build-fuzz/"$t"- -print_final_stats=1 \
       "$work" "$corpus/$t" fuzz/regressions/"$t" 2>&1 | tail -n 12; then
    status=1
  fi
done
exit $status
