#!/usr/bin/env bash
# Makes the 8 x 8 self-play archive: 42,000 games of Morvane's own engines from random openings,
# played by `morvane-cli match` at fixed levels (all seeds fixed, so a rerun with the same
# coefficient files gives the same games). Pellin meets the zero-coefficient engine, itself and
# Tovrel, so that the fit sees the lopsided positions that tournament games never reach.
# usage: make-selfplay-8x8.sh MORVANE_CLI DATA_DIR ARCHIVE.txt
#   DATA_DIR holds the Pellin and Tovrel coefficient folders the games are played with.
set -euo pipefail
cli="$1" data="$2" archive="$3"
here="$(cd "$(dirname "$0")" && pwd)"
work="${TMPDIR:-/tmp}/morvane-training/selfplay-8x8"
mkdir -p "$work/zero"
"$cli" make-coe --eval Pellin --out "$work/zero" >/dev/null
[ -f "$archive" ] ||
  echo "# moves diff_black(empties to winner): Morvane's own match games (scripts/make-selfplay-8x8.sh)" >"$archive"
run() {
  local name="$1"
  shift
  # A finished run leaves its results file complete, and a rerun appends nothing.
  "$here/match-archive.sh" "$cli" "$archive" "$@" --results "$work/$name.txt"
}
zero="$work/zero"
run a --eval-a Pellin --data-a "$data" --level-a 2/10 --eval-b Pellin --data-b "$zero" --level-b 2/10 --games 10000 --seed 100000 --random-moves 8
run b --eval-a Pellin --data-a "$data" --level-a 2/10 --eval-b Pellin --data-b "$zero" --level-b 2/10 --games 6000 --seed 200000 --random-moves 14
run c --eval-a Pellin --data-a "$data" --level-a 2/10 --eval-b Pellin --data-b "$data" --level-b 2/10 --games 10000 --seed 300000 --random-moves 6
run d --eval-a Pellin --data-a "$data" --level-a 2/10 --eval-b Tovrel --data-b "$data" --level-b 2/10 --games 10000 --seed 400000 --random-moves 10
run e --eval-a Pellin --data-a "$data" --level-a 1/6 --eval-b Pellin --data-b "$zero" --level-b 1/6 --games 6000 --seed 500000 --random-moves 4
