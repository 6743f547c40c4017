#!/bin/bash
# The training commands end to end on a tiny archive: match games become archive lines, train
# fits them (reporting the malformed line by number) and writes a .coe the engine loads,
# solve-labels resumes its cache, probe-stats writes both statistics files.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cli" make-coe --eval Bot8x8 --out "$dir/zero" > /dev/null || fail "make-coe"
"$cli" make-coe --eval Pellin --out "$dir/zero" > /dev/null || fail "make-coe"

# Six games between two zero engines; A plays black in the odd games.
"$cli" match --eval-a Bot8x8 --data-a "$dir/zero" --level-a 1/6 --eval-b Pellin \
  --data-b "$dir/zero" --level-b 1/6 --games 6 --results "$dir/match.txt" > "$dir/match.out" ||
  fail "match exited $?"
[ "$(grep -c '^game ' "$dir/match.out")" -eq 6 ] || fail "not six result lines"
grep -q "6 games" "$dir/match.out" || fail "no summary"
# Each side's cost per move; six games of some 30 moves a side at 1/6 search some nodes.
per=$(sed -n 's/^per move: A [0-9.]* ms and \([0-9]*\) nodes, B [0-9.]* ms and \([0-9]*\) nodes (\([0-9]*\) and \([0-9]*\) searches)$/\1 \2 \3 \4/p' "$dir/match.out")
read -r nodesA nodesB searchesA searchesB <<< "$per"
[ "${nodesA:-0}" -gt 0 ] && [ "${nodesB:-0}" -gt 0 ] || fail "no cost per move: '$per'"
[ $((searchesA + searchesB)) -gt 60 ] || fail "too few searches counted: '$per'"
# A rerun resumes: no game is played again.
"$cli" match --eval-a Bot8x8 --data-a "$dir/zero" --level-a 1/6 --eval-b Pellin \
  --data-b "$dir/zero" --level-b 1/6 --games 6 --results "$dir/match.txt" > "$dir/again.out"
grep -q '^game ' "$dir/again.out" && fail "a resumed match played games again"
grep -q "resuming after 6 games" "$dir/again.out" || fail "the resumed match did not say so"

mkdir -p "$dir/games"
{
  echo "# moves diff"
  awk '/^game /{ d = $9 + 0; if ($7 == "white,") d = -d; print $10, d, 10 }' "$dir/match.out" |
    head -2
  echo "f5d6c3zz +4 10"
  awk '/^game /{ d = $9 + 0; if ($7 == "white,") d = -d; print $10, d, 10 }' "$dir/match.out" |
    tail -4
} | gzip > "$dir/games/tiny.txt.gz"

"$cli" train --eval Bot8x8 --archives "$dir/games" --out "$dir/trained" --iterations 5 \
  --checkpoint "$dir/fit.ck" > "$dir/train.out" || fail "train exited $?"
grep -q "rejected $dir/games/tiny.txt.gz:4: " "$dir/train.out" || fail "line 4 not reported"
grep -q "1 lines rejected" "$dir/train.out" || fail "rejected count not printed"
coe="$dir/trained/Bot8x8/Bot8x8.coe"
[ -f "$coe" ] || fail "no .coe written"
[ -e "$coe.tmp" ] && fail "the temporary file was left behind"
# Bot8x8's pattern section plus Bias for 4..64 discs.
[ "$(stat -c %s "$coe")" -eq $((2754648 + 61 * 4)) ] || fail "the .coe has the wrong size"
cmp -s "$coe" <(head -c $((2754648 + 61 * 4)) /dev/zero) && fail "the fit wrote only zeros"
"$cli" train --eval Bot8x8 --archives "$dir/games" --out "$dir/trained" --iterations 5 \
  --checkpoint "$dir/fit.ck" > "$dir/train2.out" || fail "second train exited $?"
grep -q "resumed from the checkpoint after iteration 5" "$dir/train2.out" ||
  fail "a rerun did not resume from its checkpoint"

"$cli" solve-labels --eval Bot8x8 --data "$dir/trained" --cache "$dir/labels" --empties 8 \
  "$dir/games/tiny.txt.gz" > "$dir/solve.out" || fail "solve-labels exited $?"
grep -q "6 games, 6 solved in this run" "$dir/solve.out" || fail "not every game solved"
"$cli" solve-labels --eval Bot8x8 --data "$dir/trained" --cache "$dir/labels" --empties 8 \
  "$dir/games/tiny.txt.gz" > "$dir/solve2.out" || fail "second solve-labels exited $?"
grep -q "6 games, 0 solved in this run" "$dir/solve2.out" || fail "a rerun solved games again"
"$cli" train --eval Bot8x8 --archives "$dir/games" --out "$dir/exact" --labels exact \
  --label-cache "$dir/labels" --iterations 3 --checkpoint "$dir/fit2.ck" > "$dir/exact.out" ||
  fail "exact train exited $?"
grep -q "with exact labels" "$dir/exact.out" || fail "no exact label count"
grep -q " 0 with exact labels" "$dir/exact.out" && fail "the solved labels were not used"
# --exact-only: late positions train only with their own exact value. The solved games keep
# their positions up to 8 empties and lose those before (up to 20 empties, labelled by a later
# value); the results alone have no exact label, so nothing is left to train on.
positions() { sed -n 's/^.* \([0-9]*\) positions (.*/\1/p' "$1"; }
"$cli" train --eval Bot8x8 --archives "$dir/games" --out "$dir/exact20" --labels exact \
  --label-cache "$dir/labels" --iterations 3 --exact-only 20 --checkpoint "$dir/fit3.ck" \
  > "$dir/exact20.out" || fail "train --exact-only 20 exited $?"
[ "$(positions "$dir/exact20.out")" -lt "$(positions "$dir/exact.out")" ] ||
  fail "--exact-only 20 left every position in"
grep -q "training positions at 24 empties against exact scores" "$dir/exact20.out" ||
  fail "no training error at 24 empties"
"$cli" train --eval Bot8x8 --archives "$dir/games" --out "$dir/x60" --iterations 3 \
  --exact-only 60 --checkpoint "$dir/fit4.ck" > /dev/null 2>&1
[ $? -eq 2 ] || fail "--exact-only 60 on results alone did not stop for want of positions"

"$cli" probe-stats --eval Bot8x8 --data "$dir/trained" --archives "$dir/games" \
  --out "$dir/trained" --positions 0 --end-positions 0 --work "$dir/work" > /dev/null ||
  fail "probe-stats exited $?"
[ "$(stat -c %s "$dir/trained/Bot8x8/Bot8x8.npc")" -eq 3244800 ] || fail "bad .npc size"
[ "$(stat -c %s "$dir/trained/Bot8x8/Bot8x8.ecc")" -eq 4032 ] || fail "bad .ecc size"

# An archive with nothing to train on is unusable input: status 2 and no file.
mkdir -p "$dir/empty"
echo "# nothing" | gzip > "$dir/empty/none.txt.gz"
"$cli" train --eval Bot8x8 --archives "$dir/empty" --out "$dir/none" --checkpoint "$dir/n.ck" \
  > /dev/null 2>&1
[ $? -eq 2 ] || fail "an empty archive was not refused"
[ -e "$dir/none/Bot8x8/Bot8x8.coe" ] && fail "an empty archive still wrote a .coe"

# Usage mistakes.
"$cli" train --eval Bot10x10 --archives "$dir/games" --out "$dir/x" 2> /dev/null
[ $? -eq 2 ] || fail "a 10 x 10 set-up is not a usage error"
"$cli" train --eval Pellin --archives "$dir/games" --out "$dir/x" --labels guessed 2> /dev/null
[ $? -eq 2 ] || fail "unknown labels are not a usage error"
"$cli" match --eval-a Pellin --level-a 2 --eval-b Pellin --level-b 2/10 2> /dev/null
[ $? -eq 2 ] || fail "a bad level is not a usage error"
"$cli" match --eval-a Pellin --level-a 2/10 --eval-b Pellin --level-b 2/10 --games 3 2> /dev/null
[ $? -eq 2 ] || fail "an odd game count is not a usage error"

echo "training: all checks passed"
