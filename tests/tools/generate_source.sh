#!/bin/bash
# generate-source writes Generated.txt in the working directory: 64 square blocks between
# "case wohin of" and "end;", every line ended by CR LF.
set -u
cli="$1"
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
fail() { echo "FAIL: $*"; exit 1; }

(cd "$dir" && "$cli" generate-source > "$dir/out.txt") || fail "generate-source exited $?"
file="$dir/Generated.txt"
[ -f "$file" ] || fail "no Generated.txt in the working directory"
grep -qF "$file" "$dir/out.txt" || fail "path not printed"

lines=$(wc -l < "$file")
grep -q "^$lines lines$" "$dir/out.txt" || fail "line count $lines not printed"
[ "$(head -n 1 "$file")" = $'case wohin of\r' ] || fail "head is not \"case wohin of\""
[ "$(tail -n 1 "$file")" = $'end;\r' ] || fail "tail is not \"end;\""
[ "$(tail -c 2 "$file" | od -An -tx1 | tr -d ' ')" = "0d0a" ] || fail "last line not ended by CR LF"
bare=$(grep -c $'[^\r]$' "$file")
[ "$bare" -eq 0 ] || fail "$bare lines without CR"
blocks=$(grep -c $'^  [0-9][0-9]: begin\r$' "$file")
[ "$blocks" -eq 64 ] || fail "$blocks square blocks, expected 64"
grep -q $'^  11: begin\r$' "$file" || fail "no block for square 11"
grep -q $'^  88: begin\r$' "$file" || fail "no block for square 88"
grep -q $'^          if GegnerBitboard.L and \$00000002<> 0 then begin\r$' "$file" ||
  fail "first opponent test of square 11 missing"

# Extra words are usage errors.
"$cli" generate-source now 2> /dev/null
[ $? -eq 2 ] || fail "an extra word is not a usage error"

echo "generate-source: all checks passed"
