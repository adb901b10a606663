#!/usr/bin/env bash
# Includes run downward only:
#   platform <- app <- data, imaging <- setup <- elements <- model <- files, wizards <- production
#   <- shell, editors, preview <- qtio <- cli, ui <- app (the desktop program, which shows the ui's windows)
# A folder may include its own headers and those of any folder ranked below it; folders of
# equal rank (files and wizards; shell, editors and preview) may not include each other. Elements
# build on the setup objects (a bitmap's colours go through a working palette), never the
# other way round. Below the pattern nothing names OPattern: the objects reach the pattern
# through ODesignOwner. Exits non-zero on the first listing of faults. The build proves the
# same order between the core's libraries: each layer is linked alone with only the
# layers below it (src/core/CMakeLists.txt).
set -euo pipefail
cd "$(dirname "$0")/.."

declare -A rank=(
  [core/platform]=0 [core/app]=1 [core/data]=2 [core/imaging]=2 [core/setup]=3 [core/elements]=4
  [core/model]=5 [core/files]=6 [core/wizards]=6 [core/production]=7 [core/shell]=8
  [core/editors]=8 [core/preview]=8 [qtio]=9 [cli]=10 [ui]=10 [app]=11
)
# The folder an include path names: "setup/Palette.h" is core/setup.
target_of() {
  local first=${1%%/*}
  if [[ -n ${rank[core/$first]+x} && $1 == */* ]]; then
    echo "core/$first"
  elif [[ -n ${rank[$first]+x} && $1 == */* ]]; then
    echo "$first"
  fi
}

# Known faults, each "file: what"; taken out as they are mended. A listed fault that no
# longer occurs is reported so that its line can go.
known=()
is_known() {
  local k
  for k in "${known[@]}"; do
    [[ $k == "$1" ]] && return 0
  done
  return 1
}

faults=()
seen=()
report() {
  if is_known "$1"; then
    seen+=("$1")
  else
    faults+=("$1")
  fi
}

for folder in "${!rank[@]}"; do
  dir=src/$folder
  [[ -d $dir ]] || continue
  while IFS=: read -r file _ path; do
    to=$(target_of "$path")
    [[ -z $to || $to == "$folder" ]] && continue
    if ((rank[$to] >= rank[$folder])); then
      report "$file: $path"
    fi
  done < <(grep -rnoE --include='*.h' --include='*.cpp' --include='*.in' \
             '^#include "[^"]+"' "$dir" | sed -E 's/#include "([^"]+)"/\1/')
done

below_pattern=(src/core/platform src/core/app src/core/data src/core/imaging src/core/setup src/core/elements)
while IFS=: read -r file _; do
  report "$file: OPattern"
done < <(grep -rlw OPattern "${below_pattern[@]}" | sed 's/$/:/')

for k in "${known[@]}"; do
  found=0
  for s in "${seen[@]+"${seen[@]}"}"; do
    [[ $s == "$k" ]] && found=1
  done
  ((found)) || echo "check-includes: no longer needed, remove from the known list: $k"
done

if ((${#faults[@]})); then
  printf 'check-includes: upward dependency: %s\n' "${faults[@]}" | sort -u >&2
  exit 1
fi
echo "check-includes: every include runs downward"
