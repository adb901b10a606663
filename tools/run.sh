#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program (arguments pass on, e.g.
# /d=FOLDER for the current design folder).
set -euo pipefail
cd "$(dirname "$0")/.."
# Without a display Qt aborts only after the whole build; say so first, and what works instead.
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): run xvfb-run -a tools/run.sh," \
    "or use the command-line tool, build/src/cli/quillane-cli --help" >&2
  exit 1
fi
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
exec build/src/app/quillane "$@"
