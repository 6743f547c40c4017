#!/bin/bash
# make-coe writes a .coe file of exactly the set-up's size and refuses unknown names.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

# Pellin: pattern section 9,914,400 bytes plus 147 Bias values.
expected=$((9914400 + 147 * 4))
"$cli" make-coe --eval Pellin --out "$dir/zero" > "$dir/out.txt" || fail "make-coe exited $?"
file="$dir/zero/Pellin/Pellin.coe"
[ -f "$file" ] || fail "no file at $file"
size=$(stat -c %s "$file")
[ "$size" -eq "$expected" ] || fail "size $size, expected $expected"
grep -qF "$file" "$dir/out.txt" || fail "path not printed"
grep -q "$expected bytes" "$dir/out.txt" || fail "size not printed"
cmp -s "$file" <(head -c "$expected" /dev/zero) || fail "zero file holds non-zero bytes"

"$cli" make-coe --eval Pellin --out "$dir/random" --random 5 > /dev/null || fail "--random failed"
random="$dir/random/Pellin/Pellin.coe"
[ "$(stat -c %s "$random")" -eq "$expected" ] || fail "random file has the wrong size"
cmp -s "$file" "$random" && fail "random file is all zeros"

# Unknown names and missing options are usage errors.
"$cli" make-coe --eval Othello --out "$dir/bad" 2> "$dir/err.txt"
status=$?
[ "$status" -eq 2 ] || fail "unknown name gave status $status"
grep -q "Bot8x8, Pellin, Tovrel, Bot10x10, Bot8x8Oct" "$dir/err.txt" || fail "known names not listed"
[ -e "$dir/bad" ] && fail "an unknown name still created a folder"
"$cli" make-coe --eval Pellin 2> /dev/null
[ $? -eq 2 ] || fail "missing --out is not a usage error"
"$cli" make-coe --eval Pellin --out "$dir/x" --random minus 2> /dev/null
[ $? -eq 2 ] || fail "a bad seed is not a usage error"

echo "make-coe: all checks passed"
