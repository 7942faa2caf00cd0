#!/usr/bin/env bash
# Takes docs/screenshot-windows.png from the installed lumk-config.exe under
# wine on a virtual display, and checks that it read the device: a lumk-station
# on a pseudo-terminal is the prefix's COM7, the port is chosen in the port
# selector as an operator would, the read must end with the port in the
# window's title and the table must hold the station's image (saved with
# File > Save and compared byte for byte), then the window is captured.
# Needs wine, xvfb, xdotool, imagemagick and the Linux build's lumk-station.
#
# Usage: docs/take-screenshot-windows.sh [SETUP.exe]
#   With WINEPREFIX set, the program installed in that prefix is used (it is
#   installed there from SETUP.exe first when missing); otherwise SETUP.exe
#   (default: build-windows/lumk-configurator-*-setup.exe) is installed
#   silently into a throwaway prefix. LUMK_SHOT_OUT names another picture file.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
out=${LUMK_SHOT_OUT:-$root/docs/screenshot-windows.png}
station=${LUMK_STATION:-$root/build/tools/station/lumk-station}
port=COM7
. "$root/tests/windows/window_driver.sh"
[ -x "$station" ] || { echo "build lumk-station first: $station" >&2; exit 1; }

if [ -z "${LUMK_SHOT_INNER:-}" ]; then
  LUMK_SHOT_INNER=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi

work=$(mktemp -d)
station_pid=""
cleanup() {
  [ -n "$station_pid" ] && { kill "$station_pid" && wait "$station_pid"; } 2>/dev/null
  wineserver -k 2>/dev/null || true
  rm -rf "$work"
}
trap cleanup EXIT
export WINEDEBUG=-all WINEARCH=win64 WINEDLLOVERRIDES="mscoree,mshtml="
if [ -z "${WINEPREFIX:-}" ]; then
  export WINEPREFIX=$work/prefix
  wineboot -i >/dev/null 2>&1
fi
installed="$WINEPREFIX/drive_c/Program Files/ЛУМ-К конфигуратор"
if [ ! -f "$installed/lumk-config.exe" ]; then
  setup=${1:-$(ls "$root"/build-windows/lumk-configurator-*-setup.exe 2>/dev/null | head -1)}
  [ -f "$setup" ] || { echo "no setup program: run scripts/windows" >&2; exit 1; }
  wine "$setup" /S && wineserver -w
fi

# The station's image (addresses on every page) is what the window must show.
cp tests/windows/station.lmk "$work/station.lmk"
"$station" --image "$work/station.lmk" >"$work/station.out" 2>"$work/station.err" &
station_pid=$!
for _ in $(seq 50); do [ -s "$work/station.out" ] && break; sleep 0.1; done
pty=$(head -1 "$work/station.out")
[ -c "$pty" ] || { echo "lumk-station gave no pseudo-terminal" >&2; exit 1; }
wine reg add 'HKLM\Software\Wine\Ports' /v "$port" /d "$pty" /f >/dev/null 2>&1
wineserver -k || true
ln -sfn "$pty" "$WINEPREFIX/dosdevices/${port,,}"

# Run as installed: no search path beyond the program's own folder, and a
# working folder without regul.lmk.
mkdir "$work/run"
(cd "$work/run" && WINEPATH= exec wine "$installed/lumk-config.exe") >"$work/window.log" 2>&1 &
disown # ended with the prefix's wine session, at exit
win=$(find_window "$work/window.log")
choose_port "$win" "$port"
xdotool mousemove --window "$win" 300 300
sleep 0.5
import -window "$win" "$work/shot.png"

# File > Save: what the table holds, written out, is the station's image.
xdotool mousemove --window "$win" 18 10 click 1
sleep 0.7
xdotool key Down Down Return
dialog=""
for _ in $(seq 50); do
  dialog=$(xdotool search --onlyvisible --class . 2>/dev/null | while read -r w; do
    [ "$w" != "$win" ] && [ -n "$(xdotool getwindowname "$w" 2>/dev/null)" ] && echo "$w"
  done | head -1) || true
  [ -n "$dialog" ] && break
  sleep 0.2
done
[ -n "$dialog" ] || { echo "File > Save opened no dialog" >&2; exit 1; }
sleep 0.5
xdotool type --delay 20 "$(winepath -w "$work/read.lmk")"
xdotool key Return
for _ in $(seq 50); do [ -s "$work/read.lmk" ] && break; sleep 0.2; done
if ! cmp -s "$work/read.lmk" "$work/station.lmk"; then
  echo "the table read from $port is not the station's image:" >&2
  cat "$work/station.lmk" "$work/read.lmk" >&2 2>/dev/null
  exit 1
fi
cp "$work/shot.png" "$out"
echo "lumk-config.exe read $port under wine; wrote ${out#"$root"/}"
