#!/usr/bin/env bash
# Installs a build folder (default build/, with the desktop program) into a temporary prefix
# and checks that exactly the programs, the manual with its pictures and example profile, the
# desktop entry, the pattern file's MIME type and the icons land there: never a test or
# benchmark program.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
prefix=$(mktemp -d)
trap 'rm -rf "$prefix"' EXIT
cmake --install "$build" --prefix "$prefix" >/dev/null

expected=(bin/quillane bin/quillane-cli share/applications/quillane.desktop
  share/doc/quillane/copyright share/quillane/quillane-manual.html
  share/quillane/tufter-4.machine.json
  share/icons/hicolor/48x48/apps/quillane.png share/icons/hicolor/256x256/apps/quillane.png
  share/icons/hicolor/scalable/apps/quillane.svg share/mime/packages/quillane.xml)
for image in docs/images/*.png; do
  [[ -e $image ]] && expected+=("share/quillane/images/$(basename "$image")")
done
diff -u <(printf '%s\n' "${expected[@]}" | sort) \
  <(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | sort) ||
  { echo "cmake --install puts other files in place than expected (- expected, + installed)" >&2; exit 1; }

"$prefix/bin/quillane-cli" --version >/dev/null
if command -v desktop-file-validate >/dev/null; then
  desktop-file-validate "$prefix/share/applications/quillane.desktop"
fi
echo "cmake --install puts the ${#expected[@]} expected files in place."
