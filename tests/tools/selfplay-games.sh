#!/bin/bash
# The self-play training commands end to end on tiny runs: selfplay-games writes and resumes its
# game file (a cut-off last record is dropped and played again), fit-selfplay fits the games,
# writes a .coe the engine loads and relabels by searches stage by stage from the last,
# transfer-coe carries the 8 x 8 tables over, match plays paired games on the 10-wide boards,
# probe-stats measures on their own boards.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cli" make-coe --eval Bot8x8 --out "$dir/zero8" --random 3 > /dev/null || fail "make-coe Bot8x8"
for eval in Bot10x10 Bot8x8Oct; do
  "$cli" make-coe --eval $eval --out "$dir/zero" > /dev/null || fail "make-coe $eval"
  "$cli" selfplay-games --eval $eval --data "$dir/zero" --games 12 --level 1/8 --seed 4 \
    --out "$dir/$eval.bin" > /dev/null || fail "selfplay-games $eval"
  cp "$dir/$eval.bin" "$dir/$eval.whole"
  # Cut the last record short; the rerun must drop it and play the same game again.
  size=$(stat -c %s "$dir/$eval.bin")
  truncate -s $((size - 7)) "$dir/$eval.bin"
  "$cli" selfplay-games --eval $eval --data "$dir/zero" --games 12 --level 1/8 --seed 4 \
    --out "$dir/$eval.bin" > "$dir/resume.out" || fail "resumed selfplay-games $eval"
  grep -q "11 games in" "$dir/resume.out" || fail "the resumed run did not start after 11 games"
  cmp -s "$dir/$eval.bin" "$dir/$eval.whole" || fail "the resumed $eval file differs"
  "$cli" selfplay-games --eval $eval --data "$dir/zero" --games 20 --level 1/8 --seed 4 \
    --out "$dir/$eval.bin" > /dev/null || fail "longer selfplay-games $eval"
  [ "$(stat -c %s "$dir/$eval.bin")" -gt "$size" ] || fail "no games were added"

  "$cli" fit-selfplay --eval $eval --out "$dir/fit" --iterations 5 --compare "$dir/zero" \
    --checkpoint "$dir/$eval.fit" "$dir/$eval.bin" > "$dir/fit.out" || fail "fit-selfplay $eval"
  grep -q "20 games (0 rejected)" "$dir/fit.out" || fail "fit-selfplay did not read 20 games"
  grep -q "held-out error at 12 empties" "$dir/fit.out" || fail "no held-out error"
  [ -f "$dir/fit/$eval/$eval.coe" ] || fail "no .coe written for $eval"
  # A correction with searches for labels: every stage, from the last to the first.
  "$cli" fit-selfplay --eval $eval --out "$dir/refit" --iterations 5 --prior "$dir/fit" \
    --relabel-level 1/4 --relabel-weight 0.5 --checkpoint "$dir/$eval.refit" "$dir/$eval.bin" \
    > "$dir/refit.out" || fail "fit-selfplay --relabel-level $eval"
  stages=$(sed -n 's/^.*stage \([0-9]*\): [0-9]* positions labelled by searches at 1\/4$/\1/p' \
    "$dir/refit.out" | tr '\n' ' ')
  case "$stages" in
    "4 3 2 1 0 " | "7 6 5 4 3 2 1 0 ") ;;
    *) fail "relabelled stages of $eval: '$stages'" ;;
  esac
  [ -f "$dir/refit/$eval/$eval.coe" ] || fail "no relabelled .coe written for $eval"
  "$cli" fit-selfplay --eval $eval --out "$dir/refit" --relabel-level 2 "$dir/$eval.bin" \
    > /dev/null 2>&1 && fail "a relabel level without its exact empties was taken"

  "$cli" transfer-coe --eval $eval --from "$dir/zero8" --out "$dir/transfer" > /dev/null ||
    fail "transfer-coe $eval"
  [ -f "$dir/transfer/$eval/$eval.coe" ] || fail "no transferred .coe for $eval"
  "$cli" probe-stats --eval $eval --data "$dir/fit" --games "$dir/$eval.bin" --out "$dir/fit" \
    --positions 3 --end-positions 4 --depth 4 --work "$dir/work" > /dev/null ||
    fail "probe-stats $eval"
  [ "$(stat -c %s "$dir/fit/$eval/$eval.npc")" -eq 3244800 ] || fail "no whole .npc for $eval"
  [ "$(stat -c %s "$dir/fit/$eval/$eval.ecc")" -eq 4032 ] || fail "no whole .ecc for $eval"

  "$cli" match --eval-a $eval --data-a "$dir/fit" --level-a 1/6 --eval-b $eval \
    --data-b "$dir/zero" --level-b 1/6 --games 4 --results "$dir/$eval-match.txt" \
    > "$dir/match.out" || fail "match $eval"
  grep -q "4 games" "$dir/match.out" || fail "no match summary for $eval"
  [ "$(wc -l < "$dir/$eval-match.txt")" -eq 4 ] || fail "not four match results"
done
# The 8 x 8 set-ups: games, a correction with searches, measured on an archive's held-out games.
"$cli" make-coe --eval Pellin --out "$dir/pellin" --random 5 > /dev/null || fail "make-coe Pellin"
"$cli" selfplay-games --eval Pellin --data "$dir/pellin" --games 30 --level 1/8 --seed 4 \
  --out "$dir/pellin.bin" > /dev/null || fail "selfplay-games Pellin"
mkdir -p "$dir/archive"
echo "f5d6c3d3c4f4f6f3e6e7d7c6b6 0 2016 32 32 24" > "$dir/archive/games.txt"
"$cli" fit-selfplay --eval Pellin --out "$dir/pellinfit" --iterations 3 --prior "$dir/pellin" \
  --relabel-level 1/6 --compare "$dir/pellin" --archives "$dir/archive" \
  --checkpoint "$dir/pellin.fit" "$dir/pellin.bin" > "$dir/pellinfit.out" || fail "fit-selfplay Pellin"
grep -q "30 games (0 rejected)" "$dir/pellinfit.out" || fail "fit-selfplay did not read 30 Pellin games"
grep -q "stage 0: [0-9]* positions labelled by searches" "$dir/pellinfit.out" ||
  fail "the Pellin positions were not relabelled down to stage 0"
grep -q "held-out error at 24 empties of the archives' games: " "$dir/pellinfit.out" ||
  fail "no archive error for Pellin"
[ -f "$dir/pellinfit/Pellin/Pellin.coe" ] || fail "no Pellin .coe written"
"$cli" fit-selfplay --eval Bot10x10 --out "$dir/x" --archives "$dir/archive" "$dir/Bot10x10.bin" \
  > /dev/null 2>&1 && fail "an archive measure of a 10-wide fit was taken"
"$cli" fit-selfplay --eval Pellin --out "$dir/x" "$dir/Bot10x10.bin" > /dev/null 2>&1 &&
  fail "10 x 10 games fitted to Pellin"
"$cli" match --eval-a Bot10x10 --data-a "$dir/zero" --level-a 1/6 --eval-b Bot8x8Oct \
  --data-b "$dir/zero" --level-b 1/6 --games 2 > /dev/null 2>&1 && fail "a match across boards"
"$cli" selfplay-games --eval Bot10x10 --data "$dir/zero" --games 2 --out "$dir/Bot8x8Oct.bin" \
  > /dev/null 2>&1 && fail "games of another board appended"
echo "selfplay commands: ok"
