#!/usr/bin/env bash
# analyze as a user runs it: one line per ply with the played and the best move's values and the
# loss, the losses adding up to the summary, exact values from the set exact part on (agreeing
# with a known endgame's value and with hint), GGF files, transcripts and their mistakes.
set -u
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cli" make-coe --eval Pellin --out "$work" --random 7 >/dev/null || fail "make-coe Pellin"
"$cli" make-coe --eval Bot10x10 --out "$work" >/dev/null || fail "make-coe Bot10x10"

# A whole random game of 60 moves; white passes once, near the end.
game="e6f4f3f6g6d6f5g7c6b6f7g2g8h6d3c2c7e8f8g4e7h8a5b8h3a6f2e2b7c8g5d7h7h4a7c5b5b4g3d8h5c4c3b3"
game+="e1h2g1f1b1d1a8e3d2b2c1a4a3a2h1a1"
out=$("$cli" analyze --data "$work" --depth 2 --exact 14 "$game") || fail "analyze exited with $?"
moves=$(echo "$out" | grep -v '^summary')
[ "$(echo "$moves" | wc -l)" -eq 61 ] || fail "not 60 moves and a pass: $out"
form='^[0-9]+ (black|white) ([a-h][1-8]|pa) -?[0-9]+\.[0-9]{2} ([a-h][1-8]|pa) -?[0-9]+\.[0-9]{2} [0-9]+\.[0-9]{2}( exact)?$'
echo "$moves" | grep -qvE "$form" && fail "a line of another form: $(echo "$moves" | grep -vE "$form")"
[ "$(echo "$moves" | cut -d' ' -f1 | tr '\n' ' ')" = "$(seq 1 61 | tr '\n' ' ')" ] ||
  fail "plies not numbered 1 to 61: $out"
[ "$(echo "$moves" | head -n 1 | cut -d' ' -f2,3)" = "black e6" ] || fail "first move: $out"
# Every loss is best - played and never negative; a pass loses nothing and is its own best.
echo "$moves" | awk '{ d = $6 - $4; if (d < 0) d = 0;
    if (($7 - d) > 0.011 || (d - $7) > 0.011) { print "loss " $0; exit 1 }
    if ($3 == "pa" && ($5 != "pa" || $7 != "0.00")) { print "pass " $0; exit 1 } }' ||
  fail "losses: $out"
[ "$(echo "$moves" | awk '$3 == "pa"' | cut -d' ' -f2)" = "white" ] || fail "white's pass: $out"
# Exact from 15 empties on (every move there leads to 14): a final run of 15 moves and the pass.
[ "$(echo "$moves" | grep -c ' exact$')" -eq 16 ] || fail "exact lines: $out"
[ "$(echo "$moves" | tail -n 16 | grep -vc ' exact$')" -eq 0 ] || fail "exact not at the end"
# The summary adds up each colour's printed losses (each rounded to the hundredth).
for colour in black white; do
  line=$(echo "$out" | grep "^summary $colour: ") || fail "no summary for $colour: $out"
  [[ "$line" =~ ^summary\ $colour:\ loss\ [0-9]+\.[0-9]{2},\ mistakes\ over\ 2:\ [0-9]+,\ over\ 4:\ [0-9]+,\ over\ 8:\ [0-9]+$ ]] ||
    fail "summary form: $line"
  echo "$moves" | awk -v c="$colour" -v line="$line" '
    $2 == c { sum += $7; n++; if ($7 > 2) o2++; if ($7 > 4) o4++; if ($7 > 8) o8++ }
    END { split(line, w, /[ ,]+/); d = w[4] - sum; if (d < 0) d = -d;
          exit !(d <= 0.005 * n + 0.01 && w[8] == o2 + 0 && w[11] == o4 + 0 && w[14] == o8 + 0) }' ||
    fail "summary of $colour does not add up: $line"
done

# Standard endgame position 40 (black to move, 20 empties) as a GGF set-up: black's best is a2,
# worth 38; the move played is valued as hint values it.
ffo40="O--OOOOX-OOOOOOXOOXXOOOXOOXOOOXXOOOOOOXX---OOOOX----O--X--------"
bo="8 $(echo "$ffo40" | tr X '*') *"
printf '(;GM[Othello]PC[test]PB[a]PW[b]TY[8]\nBO[%s]\nB[b1];)\n' "$bo" > "$work/ffo40.ggf"
out=$("$cli" analyze --data "$work" --depth 4 --exact 20 "$work/ffo40.ggf") || fail "ffo40"
first=$(echo "$out" | head -n 1)
[[ "$first" == "1 black b1 "*" a2 38.00 "*" exact" ]] || fail "ffo40 best: $out"
b1=$("$cli" hint --data "$work" --depth 4 --exact 20 "X$ffo40" | awk '$1 == "b1" { print $2 }')
[ "$first" = "1 black b1 $b1 a2 38.00 $(awk -v v="$b1" 'BEGIN { printf "%.2f", 38 - v }') exact" ] ||
  fail "ffo40 b1 is worth $b1 by hint: $first"

# A transcript file from the standard start, and the 10 x 10 board.
echo "f5 d6 c3" > "$work/short.txt"
out=$("$cli" analyze --data "$work" --depth 3 --exact 0 "$work/short.txt") || fail "transcript file"
[ "$(echo "$out" | grep -vc '^summary')" -eq 3 ] || fail "three moves: $out"
[ "$(echo "$out" | head -n 3 | cut -d' ' -f2,3 | tr '\n' ' ')" = "black f5 white d6 black c3 " ] ||
  fail "transcript moves: $out"
echo "$out" | grep -q exact && fail "a midgame value called exact: $out"
out=$("$cli" analyze --board 10 --data "$work" --level Novice "e4d6") || fail "10 x 10"
[ "$(echo "$out" | head -n 2 | cut -d' ' -f2,3 | tr '\n' ' ')" = "black e4 white d6 " ] ||
  fail "10 x 10: $out"

expect_data_error() {
  local what="$1" needle="$2"; shift 2
  local err
  err=$("$cli" "$@" 2>&1 >/dev/null)
  local status=$?
  [ "$status" -eq 2 ] || fail "$what: exit status $status, not 2"
  [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "$what: not one line: $err"
  [[ "$err" == "morvane-cli analyze: "*"$needle"* ]] || fail "$what: $err"
}
printf '(;GM[Othello]PC[test]TY[8]\nB[f5]W[d6]\nB[a1];)\n' > "$work/illegal.ggf"
expect_data_error "illegal move" "line 3" analyze --data "$work" "$work/illegal.ggf"
printf 'f5d6\nf5z9\n' > "$work/bad.txt"
expect_data_error "bad transcript line" "line 2" analyze --data "$work" "$work/bad.txt"
expect_data_error "bad transcript" "f5d6a1" analyze --data "$work" "f5d6a1"
expect_data_error "missing file" "none.ggf" analyze --data "$work" "$work/none.ggf"
expect_data_error "folder" "folder" analyze --data "$work" "$work"
printf '(;GM[Othello]TY[10]B[e4];)\n' > "$work/ten.ggf"
expect_data_error "10 x 10 game on 8 x 8" "line 1" analyze --data "$work" "$work/ten.ggf"
: > "$work/empty.txt"
expect_data_error "empty file" "" analyze --data "$work" "$work/empty.txt"
expect_data_error "depth alone" "--depth" analyze --data "$work" --depth 2 "f5"
expect_data_error "no game" "usage" analyze --data "$work"
expect_data_error "missing data" "" analyze --data "$work/none" "f5"
echo "analyze: all checks passed"
