#!/usr/bin/env bash
# hint as a user runs it: every legal move with its value, best first; exact values agree with
# solve, the pass of a side without a move is valued through it, and mistakes exit with 2.
set -u
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cli" make-coe --eval Pellin --out "$work" --random 7 >/dev/null || fail "make-coe Pellin"
"$cli" make-coe --eval Bot10x10 --out "$work" >/dev/null || fail "make-coe Bot10x10"

# Standard endgame position 40 (20 empties): black's best is a2, worth 38.
ffo40="XO--OOOOX-OOOOOOXOOXXOOOXOOXOOOXXOOOOOOXX---OOOOX----O--X--------"
out=$("$cli" hint --data "$work" --depth 4 --exact 20 "$ffo40") || fail "hint exited with $?"
echo "$out" | grep -qvE '^[a-h][1-8] -?[0-9]+\.[0-9]{2} exact$' &&
  fail "a line of another form: $out"
[ "$(echo "$out" | head -n 1)" = "a2 38.00 exact" ] || fail "best first: $out"
[ "$(echo "$out" | cut -d' ' -f1 | sort -u | wc -l)" -eq "$(echo "$out" | wc -l)" ] ||
  fail "a move twice: $out"
[ "$(echo "$out" | wc -l)" -ge 5 ] || fail "not every move: $out"
# Best first.
prev=1000
while read -r move value _; do
  awk -v a="$value" -v b="$prev" 'BEGIN { exit !(a <= b) }' || fail "not best first: $out"
  prev=$value
done <<< "$out"

# Black has no move here: the pass is the one move, worth what solve finds through it.
pass38="XOXXX-X--OXXXXXXXOOOXXOOXOOOXOXOXOXOOXOXXXXXOOOOX--XXXOOO--O-XOOX"
out=$("$cli" hint --data "$work" --level Expert "$pass38") || fail "hint of a pass"
[ "$out" = "pa -38.00 exact" ] || fail "pass: $out"

# A midgame level: the four moves of the start, no exact word; the 10 x 10 board too.
start8="X$(printf -- '-%.0s' {1..27})OX------XO$(printf -- '-%.0s' {1..27})"
out=$("$cli" hint --data "$work" --depth 3 --exact 0 "$start8")
[ "$(echo "$out" | cut -d' ' -f1 | sort | tr '\n' ' ')" = "c4 d3 e6 f5 " ] || fail "start: $out"
echo "$out" | grep -q exact && fail "a midgame value called exact: $out"
out=$("$cli" hint --board 10 --data "$work" --level Novice \
  "X$(printf -- '-%.0s' {1..44})OX--------XO$(printf -- '-%.0s' {1..44})") || fail "10 x 10"
[ "$(echo "$out" | cut -d' ' -f1 | sort | tr '\n' ' ')" = "d5 e4 f7 g6 " ] || fail "10 x 10: $out"

expect_usage_error() {
  local what="$1"; shift
  local err
  err=$("$cli" "$@" 2>&1 >/dev/null)
  local status=$?
  [ "$status" -eq 2 ] || fail "$what: exit status $status, not 2"
  [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "$what: not one line: $err"
  [[ "$err" == "morvane-cli hint: "* ]] || fail "$what: $err"
}
expect_usage_error "level and depth" hint --data "$work" --level Expert --depth 2 --exact 0 "$ffo40"
expect_usage_error "depth alone" hint --data "$work" --depth 2 "$ffo40"
expect_usage_error "unknown level" hint --data "$work" --level Nope "$ffo40"
expect_usage_error "short position" hint --data "$work" "X---"
expect_usage_error "no position" hint --data "$work"
expect_usage_error "missing data" hint --data "$work/none" "$ffo40"
expect_usage_error "finished game" hint --data "$work" "X$(printf 'X%.0s' {1..60})----"
echo "hint: all checks passed"
