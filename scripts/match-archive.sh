#!/usr/bin/env bash
# Plays matches between two 8 x 8 set-ups and keeps their games as a training archive: one line
# "moves black_diff" per game, the format the trainer reads. Arguments after the archive path go
# to `morvane-cli match` unchanged (a results file of its own keeps a stopped run resumable).
# usage: match-archive.sh MORVANE_CLI ARCHIVE.txt MATCH_ARGUMENTS...
set -euo pipefail
cli="$1" archive="$2"
shift 2
"$cli" match "$@" | awk '
  /^game [0-9]+: A / {
    diff = $9 + 0
    if ($7 == "white,") diff = -diff
    print $10, diff
  }' >>"$archive"
