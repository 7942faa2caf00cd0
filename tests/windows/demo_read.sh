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
. "$(dirname "$0")/window_driver.sh"

if [ -z "${LUMK_DEMO_INNER:-}" ]; then
  LUMK_DEMO_INNER=1 exec xvfb-run -a -s "-screen 0 1024x768x24" "$0" "$@"
fi
# A wine session started without this display cannot show a window on it.
wineserver -k 2>/dev/null || true
work=$(mktemp -d)
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT

(cd "$work" && exec env -u QT_QPA_PLATFORM wine "$exe") >"$work/demo.log" 2>&1 &
disown # ended with the prefix's wine session, at exit
win=$(find_window "$work/demo.log")
choose_port "$win" "$port"
echo "lumk-demo.exe read $port"
