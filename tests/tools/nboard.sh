#!/usr/bin/env bash
# nboard as a GUI runs it: a child process spoken to through pipes. A ping sent during a long
# exact solve is answered promptly, quit ends the process, a piped script gets its answers, and
# bad options exit with 2.
set -u
cli="$1"
work="$(mktemp -d)"
pid=""
cleanup() {
  [ -n "$pid" ] && kill "$pid" 2>/dev/null
  rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAIL: $*"; exit 1; }

"$cli" make-coe --eval Pellin --out "$work" --random 7 >/dev/null || fail "make-coe"

# A piped script: every line answered in order. (A ping stops every search before it, started
# or not: a GUI that sends one no longer waits for those answers.)
start='BO[8 ---------------------------O*------*O--------------------------- *]'
out=$(printf '%s\n' "nboard 2" "set depth 4" "set game (;GM[Othello]TY[8]$start;)" "ping 3" \
  "hint 2" "go" "garbage line" "move Z9" | "$cli" nboard --data "$work" --hash 16) ||
  fail "nboard exited with $?"
[ "$(echo "$out" | head -n 2 | tr '\n' ' ')" = "set myname Morvane4 pong 3 " ] ||
  fail "the first answers: $out"
echo "$out" | grep -qE '^search (C4|D3|E6|F5) -?[0-9]+\.[0-9]{2} 0 4 ?$' ||
  fail "no hint line: $out"
echo "$out" | grep -qE '^=== (C4|D3|E6|F5)/-?[0-9]+\.[0-9]{2}/[0-9.]+$' || fail "no move: $out"
echo "$out" | grep -qx 'status move Z9 is no square of the board; the position stays as it was' ||
  fail "no status for a bad move: $out"
[ "$(echo "$out" | grep -c '^===')" -eq 1 ] || fail "not one move: $out"

# A long search: an exact solve of 24 empties, stopped by a ping.
coproc engine { "$cli" nboard --data "$work" --hash 20 2>&1; }
pid=$engine_PID
to() { printf '%s\n' "$1" >&"${engine[1]}"; }
# Reads lines until one matches; fails after `limit` seconds without it.
seen=""
expect() {
  local pattern="$1" limit="$2" line
  seen=""
  while IFS= read -r -t "$limit" line <&"${engine[0]}"; do
    seen+="$line"$'\n'
    [[ "$line" =~ $pattern ]] && return 0
  done
  return 1
}
game="(;GM[Othello]TY[8]$start"
# 36 plies of a random game, black and white in turn: 24 empties, black to move.
colour=B
for move in C4 C5 F6 D3 E2 B3 B4 B5 E6 F1 D2 F7 A4 G6 B2 B1 A2 E3 F3 C3 A5 G2 G3 G4 C6 B6 D6 \
  F2 F4 D7 H4 G5 D8 E8 F8 C7; do
  game+="$colour[$move]"
  colour=$([ $colour = B ] && echo W || echo B)
done
to "nboard 2"
to "set depth 24"
expect '^set myname Morvane24$' 30 || fail "no name"
to "set game $game;)"
to "go"
expect '^status Morvane is thinking' 30 || fail "no thinking"
sleep 1
to "ping 1"
begin=$(date +%s%N)
expect '^pong 1$' 20 || fail "no pong within 20 seconds of the ping"
elapsed=$(( ($(date +%s%N) - begin) / 1000000 ))
echo "pong after ${elapsed} ms"
[[ "$seen" != *"==="* ]] || fail "the solve ended before the ping came: $seen"
[ "$elapsed" -lt 5000 ] || fail "the pong took ${elapsed} ms"

# The engine still answers, then quits during another long search.
to "set depth 2"
to "go"
expect '^=== [A-H][1-8]/' 30 || fail "no move after the ping"
to "set depth 24"
to "go"
expect '^status Morvane is thinking' 30 || fail "no thinking"
to "quit"
for _ in $(seq 100); do
  kill -0 "$pid" 2>/dev/null || break
  sleep 0.1
done
kill -0 "$pid" 2>/dev/null && fail "still running 10 seconds after quit"
wait "$pid"
status=$?
pid=""
[ "$status" -eq 0 ] || fail "exit status $status after quit"

err=$("$cli" nboard --eval Nope --data "$work" 2>&1 < /dev/null)
[ $? -eq 2 ] || fail "unknown evaluation: not status 2"
[[ "$err" == "morvane-cli nboard: unknown evaluation"* ]] || fail "unknown evaluation: $err"
err=$("$cli" nboard --data "$work/none" 2>&1 < /dev/null)
[ $? -eq 2 ] || fail "missing data: not status 2: $err"
err=$("$cli" nboard --book "$work" --data "$work" 2>&1 < /dev/null)
[ $? -eq 2 ] || fail "a folder for the book: not status 2: $err"
echo "nboard: all checks passed"
