#!/usr/bin/env bash
# Installs what is needed, builds Morvane and runs every test.
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
cd "$top/build"
ctest --output-on-failure -j"$(nproc)"
