#!/usr/bin/env bash
# Installs the Debian packages the build and its tests need, only those that are missing
# (poppler-utils reads back the production sheet's PDF).
set -euo pipefail

packages=(cmake g++ qt6-base-dev zlib1g-dev libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libcli11-dev xvfb fonts-dejavu-core poppler-utils "$@")
missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done
[[ ${#missing[@]} -eq 0 ]] && exit 0

sudo=()
[[ $(id -u) -eq 0 ]] || sudo=(sudo)
echo "Installing: ${missing[*]}"
"${sudo[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}"
