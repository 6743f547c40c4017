#!/usr/bin/env bash
# Runs one self-play generation of a 10-wide set-up. Every step resumes where a stopped run left
# it, and a finished step is skipped, so the same command continues a generation across sessions.
#
# Generation 0 picks the better of two starts: the trained 8 x 8 tables carried over
# (transfer-coe) and a short self-play fit to games of the zero-coefficient engine; it plays
# paired matches between them and against the zero engine at "Novice (1/6)" and "Average (2/10)"
# and copies the winner of the direct match to gen0.
# Generation k >= 1 plays GAMES games with generation k-1, fits a correction to generation k-1's
# tables on them (fit-selfplay --prior), measures the error at 12 empties on held-out positions
# for every earlier generation too, and plays paired matches against generation k-1, generation
# 0 and the zero engine at both levels.
#
# usage: selfplay-generation.sh MORVANE_CLI Bot10x10|Bot8x8Oct GEN [GAMES] [WORK_DIR]
#   GAMES     self-play games of the generation (default 6000)
#   WORK_DIR  games, fits and match results (default /tmp/morvane-selfplay); generation k's data
#             folder is WORK_DIR/EVAL/genK (its .coe in WORK_DIR/EVAL/genK/EVAL/)
# Environment: LEVEL of the self-play games (default 4/14), LAMBDA of the correction fits
# (default 3000; generations 1-4 of Bot10x10 were made with 10000), LOW_GAMES and LOW_LEVEL (12000, 2/14; games
# seeded 2000 + k), RELABEL and RELABEL_WEIGHT of the searches (2/14, 1; RELABEL= turns them
# off; generations 1-3 were made with LOW_GAMES=0 RELABEL=), ZERO_GAMES and ZERO_LAMBDA of
# generation 0's self-play fit (2000, 200),
# MATCH_GAMES (1000), BOT8X8 the data folder holding Bot8x8/Bot8x8.coe (default build/data).
set -euo pipefail
cli="$1" eval="$2" gen="$3" games="${4:-6000}" work="${5:-/tmp/morvane-selfplay}"
# The pull of the correction fits, chosen by matches of fits with 1000, 3000 and 10000 on
# generation 1 and generation 4 games (TRAINING.md).
level="${LEVEL:-4/14}" lambda="${LAMBDA:-3000}" matchGames="${MATCH_GAMES:-1000}"
zeroGames="${ZERO_GAMES:-2000}" zeroLambda="${ZERO_LAMBDA:-200}"
lowGames="${LOW_GAMES:-12000}" lowLevel="${LOW_LEVEL:-2/14}"
relabel="${RELABEL-2/14}" relabelWeight="${RELABEL_WEIGHT:-1}"
bot8x8="${BOT8X8:-$(dirname "$0")/../build/data}"
dir="$work/$eval"
mkdir -p "$dir"
say() { echo "[$(date -u +%H:%M:%S)] $eval generation $gen: $*"; }

# match NAME A B: paired games of data folder A against B at both levels, resumable.
match() {
  local name="$1" a="$2" b="$3" level
  for level in 1/6 2/10; do
    local results="$dir/match-$name-${level/\//-}"
    if [ ! -f "$results.summary" ]; then
      say "match $name at $level"
      "$cli" match --eval-a "$eval" --data-a "$a" --level-a "$level" --eval-b "$eval" \
        --data-b "$b" --level-b "$level" --games "$matchGames" --seed 77 --random-moves 10 \
        --results "$results.txt" | tail -1 > "$results.part"
      mv "$results.part" "$results.summary"
    fi
    cat "$results.summary"
  done
}

# The first player's mean score in percent over both levels of a finished match.
score() {
  cat "$dir"/match-"$1"-*.summary | sed -n 's/.*score \([0-9.]*\)%.*/\1/p' |
    awk '{ sum += $1; n += 1 } END { printf "%.1f", sum / n }'
}

coe() { echo "$1/$eval/$eval.coe"; }

if [ "$gen" -eq 0 ]; then
  [ -f "$(coe "$dir/zero")" ] || "$cli" make-coe --eval "$eval" --out "$dir/zero" >/dev/null
  [ -f "$(coe "$dir/transfer")" ] ||
    "$cli" transfer-coe --eval "$eval" --from "$bot8x8" --out "$dir/transfer"
  say "games of the zero engine ($zeroGames at level $level)"
  "$cli" selfplay-games --eval "$eval" --data "$dir/zero" --games "$zeroGames" --level "$level" \
    --seed 1000 --min-random 2 --max-random 30 --out "$dir/games-zero.bin" | tail -1
  if [ ! -f "$dir/selffit/fitted" ]; then
    say "self-play fit"
    "$cli" fit-selfplay --eval "$eval" --out "$dir/selffit" --lambda "$zeroLambda" \
      --checkpoint "$dir/fit-selffit.checkpoint" --compare "$dir/transfer,$dir/zero" \
      "$dir/games-zero.bin" | grep -v iteration | tee "$dir/fit-selffit.log"
    touch "$dir/selffit/fitted"
  fi
  match transfer-zero "$dir/transfer" "$dir/zero"
  match selffit-zero "$dir/selffit" "$dir/zero"
  match transfer-selffit "$dir/transfer" "$dir/selffit"
  if awk "BEGIN { exit !($(score transfer-selffit) >= 50) }"; then start=transfer; else start=selffit; fi
  mkdir -p "$dir/gen0/$eval"
  cp "$(coe "$dir/$start")" "$(coe "$dir/gen0")"
  echo "$start" > "$dir/gen0/source"
  say "generation 0 is the $start start ($(score transfer-selffit)% for the transfer)"
  exit 0
fi

previous="$dir/gen$((gen - 1))"
current="$dir/gen$gen"
[ -f "$(coe "$previous")" ] || { echo "no coefficients in $previous" >&2; exit 1; }
say "games ($games at level $level from $previous)"
"$cli" selfplay-games --eval "$eval" --data "$previous" --games "$games" --level "$level" \
  --seed $((1000 + gen)) --min-random 2 --max-random 30 --out "$dir/games-gen$gen.bin" | tail -1
gameFiles=("$dir/games-gen$gen.bin")
if [ "$lowGames" -gt 0 ]; then
  say "games ($lowGames at level $lowLevel from $previous)"
  "$cli" selfplay-games --eval "$eval" --data "$previous" --games "$lowGames" --level "$lowLevel" \
    --seed $((2000 + gen)) --min-random 2 --max-random 30 --out "$dir/games-gen$gen-low.bin" |
    tail -1
  gameFiles+=("$dir/games-gen$gen-low.bin")
fi
relabelOptions=()
[ -n "$relabel" ] && relabelOptions=(--relabel-level "$relabel" --relabel-weight "$relabelWeight")
if [ ! -f "$current/fitted" ]; then
  say "fit"
  compare="$previous"
  for ((k = gen - 2; k >= 0; --k)); do compare="$compare,$dir/gen$k"; done
  "$cli" fit-selfplay --eval "$eval" --out "$current" --prior "$previous" --lambda "$lambda" \
    --checkpoint "$dir/fit-gen$gen.checkpoint" --compare "$compare,$dir/zero" \
    "${relabelOptions[@]}" "${gameFiles[@]}" | grep -v iteration | tee "$dir/fit-gen$gen.log"
  touch "$current/fitted"
fi
match "gen$gen-gen$((gen - 1))" "$current" "$previous"
[ "$gen" -ge 2 ] && match "gen$gen-gen0" "$current" "$dir/gen0"
match "gen$gen-zero" "$current" "$dir/zero"
say "done"
