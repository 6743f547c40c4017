#!/usr/bin/env bash
# solve and search as a user runs them: the published score of a standard endgame position, the
# pass rule for both, and one-line errors with exit status 2.
set -u
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cli" make-coe --eval Pellin --out "$work" --random 7 >/dev/null || fail "make-coe"

# Standard endgame position 40: black to move wins by 38 with a2, whatever the coefficients.
ffo40="XO--OOOOX-OOOOOOXOOXXOOOXOOXOOOXXOOOOOOXX---OOOOX----O--X--------"
line=$("$cli" solve --data "$work" "$ffo40" | tail -n 1)
[[ "$line" =~ ^score\ 38\ move\ a2\ nodes\ [0-9]+\ ms\ [0-9]+$ ]] || fail "position 40: $line"

# Any number of search threads finds the same exact score; the usual answer (every core) too.
for threads in 1 2 3; do
  line=$("$cli" solve --data "$work" --threads $threads "$ffo40" | tail -n 1)
  [[ "$line" =~ ^score\ 38\ move\ a2\  ]] || fail "position 40 with $threads threads: $line"
done

# White has no move here (one empty square that only black can fill): solved through the pass.
pass="O$(printf 'X%.0s' {1..62})O-"
line=$("$cli" solve --data "$work" "$pass" | tail -n 1)
[[ "$line" =~ ^score\ -64\ move\ pa\  ]] || fail "pass: $line"

# search plays through the pass as solve does. Black has no move here; white has.
pass38="XOXXX-X--OXXXXXXXOOOXXOOXOOOXOXOXOXOOXOXXXXXOOOOX--XXXOOO--O-XOOX"
line=$("$cli" search --data "$work" --depth 4 --exact 20 "$pass38" | tail -n 1)
[[ "$line" =~ ^score\ -38\.000\ move\ pa\ nodes\ [1-9] ]] ||
  fail "exact search through a pass: $line"
# At a midgame depth the answer is the opponent's search negated (one thread: the same search
# twice).
theirs=$("$cli" search --threads 1 --data "$work" --depth 4 --exact 0 "O${pass38:1}" |
  cut -d' ' -f2)
line=$("$cli" search --threads 1 --data "$work" --depth 4 --exact 0 "$pass38" | tail -n 1)
[ "$(echo "$line" | cut -d' ' -f2)" = "$(awk -v v="$theirs" 'BEGIN { printf "%.3f", -v }')" ] &&
  [ "$theirs" != "0.000" ] || fail "search through a pass: $line, the opponent's $theirs"
# A finished game with empties: its final margin, the empties to the winner, for either side.
done="X$(printf 'X%.0s' {1..60})----"
for side in X O; do
  want=$([ $side = X ] && echo 64 || echo -64)
  line=$("$cli" search --data "$work" --depth 4 --exact 0 "$side${done:1}" | tail -n 1)
  [[ "$line" =~ ^score\ $want\.000\ move\ pa\  ]] || fail "finished game, $side to move: $line"
  line=$("$cli" solve --data "$work" "$side${done:1}" | tail -n 1)
  [[ "$line" =~ ^score\ $want\ move\ pa\  ]] || fail "solve of a finished game, $side: $line"
done

line=$("$cli" search --data "$work" --depth 4 --exact 10 "$ffo40" | tail -n 1)
[[ "$line" =~ ^score\ -?[0-9]+\.[0-9]{3}\ move\ [a-h][1-8]\ nodes\ [0-9]+\ ms\ [0-9]+$ ]] ||
  fail "search: $line"

expect_usage_error() {
  local what="$1"; shift
  local err
  err=$("$cli" "$@" 2>&1 >/dev/null)
  local status=$?
  [ "$status" -eq 2 ] || fail "$what: exit status $status, not 2"
  [ "$(printf '%s\n' "$err" | wc -l)" -eq 1 ] || fail "$what: not one line: $err"
}
expect_usage_error "short position" solve --data "$work" "X---"
expect_usage_error "bad side" solve --data "$work" "Z${ffo40:1}"
expect_usage_error "unknown evaluation" solve --eval Nope --data "$work" "$ffo40"
expect_usage_error "missing data" solve --data "$work/none" "$ffo40"
expect_usage_error "full board" solve --data "$work" "X$(printf 'X%.0s' {1..64})"
expect_usage_error "bad board" solve --board 9 --data "$work" "$ffo40"
expect_usage_error "search without depth" search --data "$work" "$ffo40"
expect_usage_error "no thread" solve --threads 0 --data "$work" "$ffo40"
expect_usage_error "too many threads" \
  search --threads 257 --depth 4 --exact 0 --data "$work" "$ffo40"
expect_usage_error "threads of the signature bench" bench --threads 2 --data "$work"
expect_usage_error "no disc" solve --data "$work" "X$(printf -- '-%.0s' {1..64})"
echo "solve: all checks passed"
