#!/usr/bin/env bash
# Installs what is missing, builds, and starts the desktop program (arguments pass on, e.g.
# /d=FOLDER for the current design folder).
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh
cmake -S . -B build -DCMAKE_BUILD_TYPE=RelWithDebInfo
cmake --build build -j"$(nproc)"
exec build/src/app/quillane "$@"
