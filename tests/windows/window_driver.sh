# Drives a window program on a virtual display with xdotool, as an operator
# would (sourced by the scripts that check the window programs under wine).

caption="Программа конфигурирования ЛУМ-К"

# find_window LOG [TITLE]: the id of the program's visible window (its title
# starting with the caption, or the regular expression TITLE), waiting up to
# 30 s; otherwise shows the program's LOG and fails.
find_window() {
  local win="" title=${2:-^$caption}
  for _ in $(seq 150); do
    win=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -1) || true
    [ -n "$win" ] && { echo "$win"; return 0; }
    sleep 0.2
  done
  echo "the window did not appear" >&2
  cat "$1" >&2
  return 1
}

# choose_port WIN PORT: picks PORT in the window's port selector (at 8,14 in
# its group, below the menu bar; in its list the port is found by typing its
# name) and waits up to 20 s for the link test, the read and its confirming
# read to end: the port heads the window's title, followed by the state "как в
# устройстве" (a note may follow it); otherwise names the windows shown and
# fails.
choose_port() {
  local win=$1 port=$2 title="" w
  sleep 1
  xdotool mousemove --window "$win" 100 45 click 1
  sleep 1
  xdotool type --delay 50 "$port"
  xdotool key Return
  for _ in $(seq 100); do
    title=$(xdotool getwindowname "$win")
    [[ $title == "$port — как в устройстве"*"$caption" ]] && return 0
    sleep 0.2
  done
  echo "no read from $port: the window's title is '$title'" >&2
  for w in $(xdotool search --onlyvisible --name . 2>/dev/null); do
    echo "  window: $(xdotool getwindowname "$w")" >&2
  done
  return 1
}
