#!/usr/bin/env bash
# bench as a user runs it. The node count of the fixed set is the search's signature: when a
# change of the search alters it on purpose, update SIGNATURE in the same commit and say why.
set -u
cli="$1"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

SIGNATURE=46068741

"$cli" make-coe --eval Pellin --out "$work" --random 7 >/dev/null || fail "make-coe"
out=$("$cli" bench --data "$work") || fail "bench exited with $?"
[ "$(echo "$out" | grep -c '^midgame')" -eq 4 ] || fail "four midgame searches expected: $out"
[ "$(echo "$out" | grep -c '^endgame')" -eq 4 ] || fail "four endgame solves expected: $out"
last=$(echo "$out" | tail -n 1)
[ "$last" = "Nodes searched: $SIGNATURE" ] || fail "signature changed: $last (pinned $SIGNATURE)"

# An endgame file: comments skipped, --first/--last select by number, a score that differs from
# the expected one is counted wrong and makes the exit status 1.
pass="O$(printf 'X%.0s' {1..62})O-"
cat >"$work/test.txt" <<END
# number position score moves
1 $pass -64 pa
2 $pass 0 pa
3 $pass -64 pa
END
out=$("$cli" bench endgame "$work/test.txt" --first 1 --last 1 --data "$work") ||
  fail "a right score must exit 0: $out"
[[ "$(echo "$out" | head -n 1)" =~ ^#1\ +empties\ +1\ score\ -64\ expected\ -64\ move\ pa ]] ||
  fail "line: $out"
[ "$(echo "$out" | tail -n 1 | cut -d, -f1-2)" = "total: 1 positions, 0 wrong" ] || fail "$out"
out=$("$cli" bench endgame "$work/test.txt" --data "$work")
[ $? -eq 1 ] || fail "a wrong score must exit 1"
echo "$out" | grep -q '^#2 .*WRONG$' || fail "position 2 must be marked wrong: $out"
[ "$(echo "$out" | tail -n 1 | cut -d, -f1-2)" = "total: 3 positions, 1 wrong" ] || fail "$out"

"$cli" bench endgame "$work/missing.txt" --data "$work" 2>/dev/null
[ $? -eq 2 ] || fail "a missing file is a usage error"
"$cli" bench sideways --data "$work" 2>/dev/null
[ $? -eq 2 ] || fail "an unknown part is a usage error"
echo "bench: ok"
