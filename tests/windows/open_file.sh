#!/usr/bin/env bash
# A .lmk file opened through the shell under wine on a virtual display, as a
# double click opens it (ShellExecute's "open" verb of the file's type): the
# installed window must start with that file open, its name in the title.
# Needs wine, xvfb and xdotool; runs in $WINEPREFIX.
#
# Usage: tests/windows/open_file.sh FILE.lmk
set -euo pipefail
file=$(realpath "$1")
. "$(dirname "$0")/window_driver.sh"

if [ -z "${LUMK_OPEN_INNER:-}" ]; then
  LUMK_OPEN_INNER=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
# A wine session started without this display cannot show a window on it.
wineserver -k 2>/dev/null || true
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

# From a folder without regul.lmk, which would lock the window's file.
(cd "$work" && env -u QT_QPA_PLATFORM wine start /unix "$file") >"$work/start.log" 2>&1
# The file's name heads the title; a note may stand before the caption.
want="$(basename "$file") — …$caption"
win=$(find_window "$work/start.log" "$caption\$")
title=""
for _ in $(seq 100); do
  title=$(xdotool getwindowname "$win")
  [[ $title == "$(basename "$file") — "*"$caption" ]] && { echo "the shell opened $(basename "$file") in the window"; exit 0; }
  sleep 0.2
done
echo "the window's title is '$title', not '$want'" >&2
exit 1
