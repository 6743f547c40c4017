#!/usr/bin/env bash
# Puts the coefficient folders into OUT: the trained files shipped under data/ (compressed with
# xz where that pays), or zero coefficients made by morvane-cli for a set-up not trained yet.
# usage: prepare-data.sh MORVANE_CLI SOURCE_DATA_DIR OUT_DIR
set -euo pipefail
cli="$1" source="$2" out="$3"
mkdir -p "$out"
for stem in Pellin Tovrel Bot8x8 Bot10x10 Bot8x8Oct; do
  mkdir -p "$out/$stem"
  if [ -f "$source/$stem/$stem.coe.xz" ]; then
    xz -dc "$source/$stem/$stem.coe.xz" >"$out/$stem/$stem.coe.tmp"
    mv -f "$out/$stem/$stem.coe.tmp" "$out/$stem/$stem.coe"
  else
    "$cli" make-coe --eval "$stem" --out "$out" >/dev/null
  fi
  for extension in npc ecc; do
    if [ -f "$source/$stem/$stem.$extension.xz" ]; then
      xz -dc "$source/$stem/$stem.$extension.xz" >"$out/$stem/$stem.$extension.tmp"
      mv -f "$out/$stem/$stem.$extension.tmp" "$out/$stem/$stem.$extension"
    elif [ -f "$source/$stem/$stem.$extension" ]; then
      cp -f "$source/$stem/$stem.$extension" "$out/$stem/$stem.$extension"
    else
      rm -f "$out/$stem/$stem.$extension"
    fi
  done
done
