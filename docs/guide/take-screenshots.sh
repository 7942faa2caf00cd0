#!/usr/bin/env bash
# Takes the operator guide's pictures from the real lumk-demo under a virtual
# display: the window after a read (guide-main.png), the cell popup open over a
# mode cell (guide-popup.png), the state line after an edit (guide-state.png)
# and the network-port dialog (guide-network.png).
# Needs xvfb, xdotool and imagemagick.
# Usage: docs/guide/take-screenshots.sh [BUILD_DIR]
set -euo pipefail
cd "$(dirname "$0")/../.."
root=$PWD
out=$root/docs/guide
prog=$root/${1:-build}/app/lumk-demo
[ -x "$prog" ] || { echo "build lumk-demo first: $prog" >&2; exit 1; }

if [ -z "${LUMK_SHOT_INNER:-}" ]; then
  LUMK_SHOT_INNER=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d)
trap 'kill "$pid" 2>/dev/null || true; rm -rf "$work"' EXIT
# No remembered port, folder or network address; no regul.lmk.
export XDG_CONFIG_HOME=$work/config XDG_DATA_HOME=$work/data
cd "$work"
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
# Small palette PNGs: the pictures have few colours.
small() { convert "$1" -strip -colors 64 "PNG8:$2"; }

# The port selector sits at 8,14 in its group, below the 21-pixel menu bar;
# the simulated station is the last port before "Сетевой порт…".
xdotool mousemove --window "$win" 100 45 click 1
sleep 0.7
xdotool key End Up Return
# The link test, the read and the read that confirms it: the title says so.
for _ in $(seq 60); do
  xdotool getwindowname "$win" | grep -q "как в устройстве" && break
  sleep 0.5
done
xdotool mousemove --window "$win" 660 440
sleep 0.3
import -window "$win" "$work/main.png"
small "$work/main.png" "$out/guide-main.png"

# The mode cell of address 3 (first grid, column 1, row 3), its list dropped.
xdotool mousemove --window "$win" 77 168 click 1
sleep 0.5
xdotool key alt+Down
sleep 0.7
eval "$(xdotool getwindowgeometry --shell "$win")"
import -window root -crop "260x230+${X}+$((Y + 100))" +repage "$work/popup.png"
small "$work/popup.png" "$out/guide-popup.png"
xdotool key Escape Escape
sleep 0.3

# A click on the first grid's "Режим" header: the table differs from the device,
# and the state line says so in its warning tone.
xdotool mousemove --window "$win" 80 118 click 1
sleep 0.5
xdotool mousemove --window "$win" 660 440
sleep 0.3
import -window "$win" "$work/state.png"
small "$work/state.png" "$out/guide-state.png"
xdotool key ctrl+z
sleep 0.3

# "Сетевой порт…", the selector's last entry, with an address typed in.
xdotool mousemove --window "$win" 100 45 click 1
sleep 0.7
xdotool key End Return
dialog=""
for _ in $(seq 25); do
  dialog=$(xdotool search --name "^Сетевой порт$" 2>/dev/null | head -1) || true
  [ -n "$dialog" ] && break
  sleep 0.2
done
[ -n "$dialog" ] || { echo "the network-port dialog did not appear" >&2; exit 1; }
sleep 0.5
xdotool key ctrl+a
xdotool type --delay 20 "rfc2217://serial-server:7000"
sleep 0.5
import -window "$dialog" "$work/network.png"
small "$work/network.png" "$out/guide-network.png"
xdotool key Escape
echo "wrote docs/guide/guide-main.png guide-popup.png guide-state.png guide-network.png"
