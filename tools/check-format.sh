#!/usr/bin/env bash
# Fails when a source file differs from the repository's clang-format style. Pinned to the
# clang-format Debian 12 ships (14), since other versions format some constructs differently.
set -euo pipefail
cd "$(dirname "$0")/.."
tools/install-deps.sh clang-format
version=$(clang-format --version | sed -n 's/.*version \([0-9]*\)\..*/\1/p')
if [[ "$version" != 14 ]]; then
  echo "clang-format 14 is needed for the format check; found: $(clang-format --version)" >&2
  exit 1
fi
git ls-files -z '*.cpp' '*.h' | xargs -0 clang-format --dry-run -Werror
echo "Every source file matches the format."
