#!/usr/bin/env bash
# Bad input to every command, as a user gives it: exit status 2 for a mistake in the command
# line or in the input it names (missing, a folder for a file, empty, of another board), 1 for a
# run that failed; one line on standard error in plain words, naming what is wrong.
set -u
cli="$1"
dir="$(mktemp -d)"
trap 'rm -rf "$dir"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# expect STATUS WORDS COMMAND...: the status, WORDS in the message, no text of the C++ library.
# With LINES=any the message may follow other lines (messages shown while the command ran).
expect() {
  local status="$1" words="$2"
  shift 2
  "$cli" "$@" > /dev/null 2> "$dir/err"
  local got=$?
  local what="$*"
  [ "$got" -eq "$status" ] || fail "$what: exit status $got, not $status"
  grep -qF -- "$words" "$dir/err" || fail "$what: no \"$words\" in: $(cat "$dir/err")"
  grep -qE 'filesystem error|basic_filebuf|std::|Segmentation' "$dir/err" &&
    fail "$what: a library text: $(cat "$dir/err")"
  [ "${LINES:-one}" = any ] || [ "$(wc -l < "$dir/err")" -eq 1 ] ||
    fail "$what: not one line: $(cat "$dir/err")"
}

mkdir -p "$dir/folder" "$dir/zero"
: > "$dir/empty.txt"
for eval in Pellin Bot8x8 Bot10x10 Bot8x8Oct; do
  "$cli" make-coe --eval $eval --out "$dir/zero" > /dev/null || fail "make-coe $eval"
done
"$cli" selfplay-games --eval Bot10x10 --data "$dir/zero" --games 2 --level 1/4 \
  --out "$dir/ten.bin" > /dev/null || fail "selfplay-games Bot10x10"
"$cli" selfplay-games --eval Bot8x8Oct --data "$dir/zero" --games 2 --level 1/4 \
  --out "$dir/oct.bin" > /dev/null || fail "selfplay-games Bot8x8Oct"

# Positions: solve and bench endgame refuse the same boards, bench naming the line.
full="X$(printf 'X%.0s' {1..64})"
nodisc="X$(printf -- '-%.0s' {1..64})"
expect 2 "no disc" solve --data "$dir/zero" "$nodisc"
expect 2 "no empty square" solve --data "$dir/zero" "$full"
# A character that is no square, an evaluation of another board, a disc on a cut corner.
start="X---------------------------OX------XO---------------------------"
expect 2 "character 12 '?' is no square" solve --data "$dir/zero" "${start:0:11}?${start:12}"
expect 2 "evaluation Bot10x10 belongs to board 10, not to board 88" \
  solve --board 88 --eval Bot10x10 --data "$dir/zero" "X$(printf -- '-%.0s' {1..100})"
expect 2 "evaluation Bot8x8Oct belongs to board 88, not to board 10" \
  search --board 10 --eval Bot8x8Oct --depth 2 --exact 0 --data "$dir/zero" "X$(printf -- '-%.0s' {1..100})"
octagon="XX$(printf -- '-%.0s' {1..44})OX--------XO$(printf -- '-%.0s' {1..44})"
expect 2 "a1 is a cut corner of the octagon" solve --board 88 --data "$dir/zero" "$octagon"
printf '# number position score\n1 %s 64\n' "$full" > "$dir/full.txt"
printf '1 %s 0\n' "$nodisc" > "$dir/nodisc.txt"
printf '1 Z%s 0\n' "${full:2}-" > "$dir/side.txt"
expect 2 "full.txt:2: the position has no empty square" bench endgame "$dir/full.txt" \
  --data "$dir/zero"
expect 2 "nodisc.txt:1: the position has no disc" bench endgame "$dir/nodisc.txt" --data "$dir/zero"
expect 2 "side.txt:1: not a position of this board: character 1 'Z' is no side to move" \
  bench endgame "$dir/side.txt" --data "$dir/zero"
expect 2 "\"$dir/folder\" is a folder" bench endgame "$dir/folder" --data "$dir/zero"
expect 2 "no position in \"$dir/empty.txt\"" bench endgame "$dir/empty.txt" --data "$dir/zero"
expect 2 "--first" bench endgame "$dir/full.txt" --first 3 --last 2 --data "$dir/zero"

# Numbers: not a number, not finite, out of range.
expect 2 "--threshold" mpc-check --eval Bot8x8 --data "$dir/zero" --archives "$dir/folder" \
  --threshold nan
expect 2 "--lambda" train --eval Bot8x8 --archives "$dir/folder" --out "$dir/out" --lambda inf
expect 2 "--blend" fit-selfplay --eval Bot10x10 --out "$dir/out" --blend 2 "$dir/ten.bin"
expect 2 "--depth" search --data "$dir/zero" --depth 61 --exact 0 "$full"

# Archive folders and game files that cannot be read.
expect 2 "archive folder \"$dir/none\"" train --eval Bot8x8 --archives "$dir/none" \
  --out "$dir/out"
expect 2 "archive folder \"$dir/empty.txt\"" probe-stats --eval Bot8x8 --data "$dir/zero" \
  --archives "$dir/empty.txt" --out "$dir/out" --work "$dir/work"
expect 2 "archive folder \"$dir/none\"" mpc-check --eval Bot8x8 --data "$dir/zero" \
  --archives "$dir/none"
expect 2 "no held-out position" mpc-check --eval Bot8x8 --data "$dir/zero" \
  --archives "$dir/folder"
expect 2 "no held-out position" probe-stats --eval Bot8x8 --data "$dir/zero" \
  --archives "$dir/folder" --out "$dir/out" --work "$dir/work" --positions 2
expect 2 "no position to train on" train --eval Bot8x8 --archives "$dir/folder" --out "$dir/out" \
  --checkpoint "$dir/out.fit"
expect 2 "\"$dir/none.gz\" does not exist" solve-labels --eval Bot8x8 --data "$dir/zero" \
  --cache "$dir/cache" "$dir/none.gz"
expect 2 "\"$dir/folder\" is a folder" solve-labels --eval Bot8x8 --data "$dir/zero" \
  --cache "$dir/cache" "$dir/folder"
expect 2 "there is no game" solve-labels --eval Bot8x8 --data "$dir/zero" --cache "$dir/cache" \
  "$dir/empty.txt"
expect 2 "label cache folder \"$dir/none\"" train --eval Bot8x8 --archives "$dir/folder" \
  --out "$dir/out" --labels exact --label-cache "$dir/none"
expect 2 "--checkpoint" fit-selfplay --eval Bot10x10 --out "$dir/out" --checkpoint "$dir/folder" \
  "$dir/ten.bin"
expect 2 "is a folder" fit-selfplay --eval Bot10x10 --out "$dir/out" "$dir/folder"
expect 2 "is not a self-play game file" fit-selfplay --eval Bot10x10 --out "$dir/out" \
  "$dir/empty.txt"
expect 2 "is a folder" selfplay-games --eval Bot10x10 --data "$dir/zero" --games 1 \
  --out "$dir/folder"

# Game files of the other board: refused before any work, nothing written.
expect 2 "ten.bin holds games of the 10 x 10 board" fit-selfplay --eval Bot8x8Oct \
  --out "$dir/fit" "$dir/ten.bin"
expect 2 "oct.bin holds games of the octagon" fit-selfplay --eval Bot10x10 --out "$dir/fit" \
  "$dir/oct.bin"
[ -e "$dir/fit" ] && fail "fit-selfplay wrote for games of another board"
expect 2 "oct.bin holds games of the octagon" probe-stats --eval Bot10x10 --data "$dir/zero" \
  --games "$dir/oct.bin" --out "$dir/probe" --work "$dir/work" --positions 1 --end-positions 1
expect 2 "ten.bin holds games of the 10 x 10 board" selfplay-games --eval Bot8x8Oct \
  --data "$dir/zero" --games 3 --out "$dir/ten.bin"

# Coefficients and set-ups.
expect 2 "Pellin.coe" match --eval-a Pellin --data-a "$dir/folder" --level-a 1/2 --eval-b Pellin \
  --data-b "$dir/zero" --level-b 1/2 --games 2 --results "$dir/match.txt"
expect 2 "unknown evaluation \"Nope\"" match --eval-a Nope --level-a 1/2 --eval-b Pellin \
  --level-b 1/2
expect 2 "\"$dir/folder\" is a folder" match --eval-a Pellin --data-a "$dir/zero" \
  --level-a 1/2 --eval-b Pellin --data-b "$dir/zero" --level-b 1/2 --games 2 \
  --results "$dir/folder"
expect 2 "Bot10x10.coe" selfplay-games --eval Bot10x10 --data "$dir/folder" --games 1 \
  --out "$dir/new.bin"
[ -e "$dir/new.bin" ] && fail "selfplay-games without coefficients left a game file"
expect 2 "Bot8x8.coe" transfer-coe --eval Bot10x10 --from "$dir/folder" --out "$dir/out"
expect 2 "Bot8x8.coe" solve-labels --eval Bot8x8 --data "$dir/folder" --cache "$dir/cache" \
  "$dir/empty.txt"

# Books: book-info only reads, so a book of another board is named as such, never "replaced".
"$cli" selfplay --board 8 --level Novice --games 1 --data "$dir/zero" > /dev/null ||
  fail "selfplay"
book="$dir/zero/books/Pellin_8x8_Novice/Pellin_8x8_Novice.boo"
expect 2 "does not belong to board 10" book-info "$book" --board 10
grep -q "replaced" "$dir/err" && fail "book-info speaks of replacing the book"
expect 2 "\"$dir/none.boo\" does not exist" book-info "$dir/none.boo"
expect 2 "\"$dir/folder\" is a folder" book-info "$dir/folder"
expect 2 "is damaged" book-info "$dir/empty.txt"

# Runs that fail: outputs that cannot be written.
cp -r "$dir/zero/Pellin" "$dir/folder/"
: > "$dir/folder/books"
LINES=any expect 1 "could not be saved" selfplay --board 8 --level Novice --games 2 \
  --data "$dir/folder"
expect 1 "cannot create the folder \"$dir/empty.txt/Bot10x10\"" transfer-coe --eval Bot10x10 \
  --from "$dir/zero" --out "$dir/empty.txt"

[ "$failures" -eq 0 ] || { echo "$failures checks failed"; exit 1; }
echo "errors: all checks passed"
