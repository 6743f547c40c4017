#!/usr/bin/env bash
# Installs what Morvane needs to build and test on Debian 12. Runs apt-get only when a package
# is missing, as root or through sudo.
set -euo pipefail

packages=(g++ cmake ninja-build libgtest-dev libgmock-dev qt6-base-dev xz-utils zlib1g-dev)

missing=()
for package in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q "install ok installed"; then
    missing+=("$package")
  fi
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi

as_root=()
if [ "$(id -u)" -ne 0 ]; then
  as_root=(sudo)
fi
echo "Installing: ${missing[*]}"
"${as_root[@]}" apt-get update -q
DEBIAN_FRONTEND=noninteractive "${as_root[@]}" apt-get install -y -q --no-install-recommends "${missing[@]}"
