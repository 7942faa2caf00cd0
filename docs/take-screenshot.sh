#!/usr/bin/env bash
# Takes docs/screenshot.png from the real lumk-demo under a virtual display:
# selects the simulated station's port, lets the read finish, captures the window.
# With --dark, takes docs/screenshot-dark.png under qt6ct's "darker" colour
# scheme, as a dark desktop theme gives it.
# Needs xvfb, xdotool and imagemagick (and qt6ct for --dark).
# Usage: docs/take-screenshot.sh [--dark] [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
export LUMK_SHOT=${LUMK_SHOT:-screenshot.png}
if [ "${1:-}" = "--dark" ]; then
  shift
  LUMK_SHOT=screenshot-dark.png
  export XDG_CONFIG_HOME
  XDG_CONFIG_HOME=$(mktemp -d)
  mkdir -p "$XDG_CONFIG_HOME/qt6ct"
  printf '[Appearance]\ncolor_scheme_path=/usr/share/qt6ct/colors/darker.conf\ncustom_palette=true\nstyle=Fusion\n' \
    >"$XDG_CONFIG_HOME/qt6ct/qt6ct.conf"
  export QT_QPA_PLATFORMTHEME=qt6ct
fi
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
# The link test, the read and the read that confirms it: the title says so.
for _ in $(seq 60); do
  xdotool getwindowname "$win" | grep -q "как в устройстве" && break
  sleep 0.5
done
xdotool mousemove --window "$win" 300 300
import -window "$win" "$root/docs/$LUMK_SHOT"
echo "wrote docs/$LUMK_SHOT"
