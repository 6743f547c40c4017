#!/bin/bash
# selfplay plays and learns the opening book under --data; book-info reads what it wrote.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Without coefficients there is nothing to play with: one line, status 2.
"$cli" selfplay --board 8 --level Novice --games 1 --data "$dir" > /dev/null 2> "$dir/err.txt"
status=$?
[ "$status" -eq 2 ] || fail "missing coefficients gave status $status"
[ "$(wc -l < "$dir/err.txt")" -eq 1 ] || fail "expected one line about the missing file"
grep -q "Pellin.coe" "$dir/err.txt" || fail "the missing file is not named"

"$cli" make-coe --eval Pellin --out "$dir" > /dev/null || fail "make-coe failed"
"$cli" selfplay --board 8 --level Novice --games 2 --randomness 2 --data "$dir" > "$dir/out.txt" \
  || fail "selfplay exited $?"
book="$dir/books/Pellin_8x8_Novice/Pellin_8x8_Novice.boo"
[ -s "$book" ] || fail "no book at $book"
[ "$(grep -c '^game [12]/2: black [0-9]* white [0-9]*' "$dir/out.txt")" -eq 2 ] \
  || fail "expected one progress line per game"
grep -q '^games: 2 ' "$dir/out.txt" || fail "no summary"
ls "$dir/books/Pellin_8x8_Novice" | grep -q tmp && fail "a temporary file was left behind"

"$cli" book-info "$book" > "$dir/info.txt" || fail "book-info exited $?"
nodes=$(sed -n 's/^nodes: //p' "$dir/info.txt")
[ -n "$nodes" ] && [ "$nodes" -gt 50 ] || fail "book-info counted ${nodes:-no} nodes"
grep -q '^links: [1-9]' "$dir/info.txt" || fail "the root's symmetric moves are not links"
grep -Eq '^best move: (d3|c4|f5|e6) \(value -?[0-9]+\.[0-9]{3}\)$' "$dir/info.txt" \
  || fail "no best first move"
# The summary and book-info agree on the size.
grep -q "^book: $nodes nodes" "$dir/out.txt" || fail "selfplay and book-info disagree"

# A damaged file is reported, not read.
head -c 10 "$book" > "$dir/short.boo"
"$cli" book-info "$dir/short.boo" > /dev/null 2> "$dir/err.txt" && fail "a truncated book was read"
grep -q "is damaged" "$dir/err.txt" || fail "no word about the damage"

echo "selfplay: all checks passed"
