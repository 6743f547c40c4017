#!/usr/bin/env bash
# Installs what is needed, builds Morvane and starts it. Arguments go to morvane-cli (default:
# perft 9, the move generator's speed on the standard board).
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"
if [ $# -eq 0 ]; then
  set -- perft 9
fi
exec "$top/build/tools/morvane-cli" "$@"
