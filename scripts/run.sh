#!/usr/bin/env bash
# Installs what is needed, builds Morvane and starts its window.
#
# Morvane reads its coefficient files, skins and opening books from its working directory and
# writes the books there, so it runs in a folder of the user's own outside the build tree:
# ${XDG_DATA_HOME:-$HOME/.local/share}/morvane. Every start refreshes the coefficient folders
# and the skins from the build; the books are never touched and survive every rebuild.
#
#   bash scripts/run.sh [FILE]      builds and starts Morvane (opening a game file)
#   bash scripts/run.sh cli ARGS    builds and runs the command line front end morvane-cli
set -euo pipefail
top="$(cd "$(dirname "$0")/.." && pwd)"
build="$top/build"

bash "$top/scripts/install-deps.sh"
bash "$top/scripts/build.sh"

if [ "${1:-}" = cli ]; then
  shift
  exec "$build/tools/morvane-cli" "$@"
fi

if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
  echo "run.sh: there is no display (neither DISPLAY nor WAYLAND_DISPLAY is set), so the" \
    "Morvane window cannot open. Start it from a desktop session, or use" \
    "'bash scripts/run.sh cli ARGS...' for the command line." >&2
  exit 1
fi

work="${XDG_DATA_HOME:-$HOME/.local/share}/morvane"
mkdir -p "$work"

# Replaces dest by a copy of source; the old copy goes only once the new one is complete.
refresh() {
  local source="$1" dest="$2"
  rm -rf "$dest.new"
  cp -R "$source" "$dest.new"
  rm -rf "$dest"
  mv "$dest.new" "$dest"
}

for folder in "$build/data"/*/; do
  refresh "${folder%/}" "$work/$(basename "$folder")"
done
refresh "$build/Skins" "$work/Skins"
mkdir -p "$work/books"

# A game file named on the command line is opened at start; the window runs in its working
# folder, so the path is made absolute first.
files=()
for file in "$@"; do
  files+=("$(realpath -m -- "$file")")
done
cd "$work"
exec "$build/ui/morvane" "${files[@]}"
