#!/usr/bin/env bash
# lumk-demo.exe under wine on a virtual display reads its own station: the
# in-process port "station:demo" is chosen in the port selector as an operator
# would, and the read must end with that port in the window's title.
# Needs wine, xvfb and xdotool; runs in $WINEPREFIX.
#
# Usage: tests/windows/demo_read.sh LUMK-DEMO.EXE
set -euo pipefail
exe=$1
[[ $exe = /* ]] || exe=$PWD/$exe
port=station:demo
caption="Программа конфигурирования ЛУМ-К"

if [ -z "${LUMK_DEMO_INNER:-}" ]; then
  LUMK_DEMO_INNER=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
# A wine session started without this display cannot show a window on it.
wineserver -k 2>/dev/null || true
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

(cd "$work" && exec env -u QT_QPA_PLATFORM wine "$exe") >"$work/demo.log" 2>&1 &
disown # ended with the prefix's wine session, at exit
win=""
for _ in $(seq 150); do
  win=$(xdotool search --onlyvisible --name "^$caption" 2>/dev/null | head -1) || true
  [ -n "$win" ] && break
  sleep 0.2
done
[ -n "$win" ] || { echo "the demo's window did not appear" >&2; cat "$work/demo.log" >&2; exit 1; }
sleep 1
# The port selector sits below the menu bar; in its list the port is found by
# typing its name.
xdotool mousemove --window "$win" 100 45 click 1
sleep 1
xdotool type --delay 50 "$port"
xdotool key Return
want="$port — $caption"
title=""
for _ in $(seq 100); do # the link test and the read
  title=$(xdotool getwindowname "$win")
  [ "$title" = "$want" ] && break
  sleep 0.2
done
[ "$title" = "$want" ] || { echo "no read from $port: the window's title is '$title'" >&2; exit 1; }
echo "lumk-demo.exe read $port"
