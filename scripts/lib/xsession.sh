# A virtual display with a small window manager in a classic theme, and the waits and key
# strokes that drive programs on it; sourced by scripts/screenshots and scripts/cross-test.
#
# Needs Xvfb, icewm, xdotool and ImageMagick's import (scripts/setup installs them). The
# caller keeps the process ids in its array `pids` and ends them on exit; `xsession_missing`
# names the tools that are not there.

xsession_missing() {
  local tool
  for tool in Xvfb icewm xdotool import; do
    command -v "$tool" >/dev/null || echo "$tool"
  done
}

# Starts Xvfb on a free display and icewm on it, logging into the folder $1; exports DISPLAY.
xsession_start() {
  local logs=$1 n=90
  while [ -e "/tmp/.X11-unix/X$n" ] || [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
  export DISPLAY=:$n
  Xvfb "$DISPLAY" -screen 0 1024x768x24 -dpi 96 -nolisten tcp >"$logs/xvfb.log" 2>&1 &
  pids+=($!)
  for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  mkdir -p "$logs/icewm"
  cat >"$logs/icewm/preferences" <<'PREFS'
Theme="win95/default.theme"
ShowTaskBar=0
TitleFontNameXft="Liberation Sans:size=8:bold"
MenuFontNameXft="Liberation Sans:size=8"
DesktopBackgroundColor="rgb:3A/6E/A5"
PREFS
  echo 'Theme="win95/default.theme"' >"$logs/icewm/theme"
  ICEWM_PRIVCFG="$logs/icewm" icewm >"$logs/icewm.log" 2>&1 &
  pids+=($!)
  sleep 1
}

# Waits (at most $2 seconds, default 60) for a visible window whose name matches the pattern
# $1; prints its id.
wait_window() {
  local id="" tries=$(( ${2:-60} * 10 ))
  for _ in $(seq "$tries"); do
    id=$(xdotool search --onlyvisible --name "$1" 2>/dev/null | tail -1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  echo "no window '$1' appeared" >&2
  return 1
}

# Waits (at most $2 seconds, default 60) until no visible window matches the pattern $1.
wait_gone() {
  local tries=$(( ${2:-60} * 10 ))
  for _ in $(seq "$tries"); do
    xdotool search --onlyvisible --name "$1" >/dev/null 2>&1 || return 0
    sleep 0.1
  done
  echo "window '$1' stayed" >&2
  return 1
}

# Types keys into the window $1, made active and given the input focus first (the window
# manager does not activate every program's windows when asked to: not Wine's).
keys_to() {
  local id=$1
  shift
  xdotool windowactivate "$id" >/dev/null 2>&1 || true
  xdotool windowfocus --sync "$id" >/dev/null 2>&1 || true
  sleep 0.2
  xdotool key --delay 100 "$@"
}

# Saves the window $1 with its frame into the file $2, after it had time to paint.
shoot() {
  sleep 0.7
  import -silent -frame -window "$1" "$2"
}
