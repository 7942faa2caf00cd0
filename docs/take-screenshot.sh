#!/usr/bin/env bash
# Takes docs/screenshot.png from the real lumk-demo under a virtual display:
# selects the simulated station's port, lets the read finish, captures the window.
# Needs xvfb, xdotool and imagemagick. Usage: docs/take-screenshot.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
prog=$root/${1:-build}/app/lumk-demo
[ -x "$prog" ] || { echo "build lumk-demo first: $prog" >&2; exit 1; }

if [ -z "${LUMK_SHOT_INNER:-}" ]; then
  LUMK_SHOT_INNER=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
cd "$work" # no regul.lmk here
"$prog" &
pid=$!
win=""
for _ in $(seq 50); do
  win=$(xdotool search --name "Программа конфигурирования ЛУМ-К" 2>/dev/null | head -1) || true
  [ -n "$win" ] && break
  sleep 0.2
done
[ -n "$win" ] || { echo "the window did not appear" >&2; exit 1; }
sleep 1
# The port selector sits at 8,14 in its group, below the 21-pixel menu bar.
xdotool mousemove --window "$win" 100 45 click 1
sleep 0.7
xdotool key Down Return
sleep 5 # link test and the seven-block read
xdotool mousemove --window "$win" 300 300
import -window "$win" "$root/docs/screenshot.png"
echo "wrote docs/screenshot.png"
