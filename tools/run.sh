#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program (arguments pass on, e.g.
# /d=FOLDER for the current design folder).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
# Without a display Qt aborts; say so, and what works instead (both were just installed/built).
if [[ -z "${DISPLAY:-}" && -z "${WAYLAND_DISPLAY:-}" ]]; then
  echo "No display (neither DISPLAY nor WAYLAND_DISPLAY is set): run xvfb-run -a tools/run.sh," \
    "or use the command-line tool, build/src/cli/quillane-cli --help" >&2
  exit 1
fi
exec build/src/app/quillane "$@"
