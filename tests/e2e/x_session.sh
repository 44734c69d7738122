# Shared by the end-to-end tests: a private X server, a scratch home, and helpers to find
# windows and wait for the program. Source it; it cleans up on exit.
set -euo pipefail

bin=${LORVANTE_BIN_DIR:?}
# The screen of the X server: E2E_SCREEN (WIDTHxHEIGHTxDEPTH) when the test sets it.
screen_size=${E2E_SCREEN:-1280x1024x24}
work=$(mktemp -d)
xvfb_pid=

# Ends the X server and waits until it is gone: a server still shutting down when the next run
# starts its own may give that one its display number and then remove the new server's socket
# with its own, so that the next run loses its display.
stop_xvfb() {
  [ -n "$xvfb_pid" ] || return 0
  kill "$xvfb_pid" 2>/dev/null || true
  wait "$xvfb_pid" 2>/dev/null || true
  xvfb_pid=
}

cleanup() {
  [ -n "${app_pid:-}" ] && kill "$app_pid" 2>/dev/null || true
  stop_xvfb
  rm -rf "$work"
}
trap cleanup EXIT

# Start Xvfb on a free display number, which it reports itself. Servers started at the same
# moment by other tests may race for a number; a start that reports none or does not answer is
# tried again. The server does not reset when its last client leaves (-noreset): while it resets
# it refuses connections, and a run whose program has just ended would find no display.
start_xvfb() {
  local display_fd display_number="" i
  exec {display_fd}<> <(:)
  Xvfb -displayfd "$display_fd" -screen 0 "$screen_size" -nolisten tcp -noreset >"$work/xvfb.log" 2>&1 &
  xvfb_pid=$!
  read -r -t 20 display_number <&"$display_fd" || true
  exec {display_fd}>&-
  [ -n "$display_number" ] || return 1
  export DISPLAY=":$display_number"
  # The server reports its number as it starts; wait until it answers requests.
  for i in $(seq 1 100); do
    xdpyinfo >/dev/null 2>&1 && return 0
    sleep 0.1
  done
  return 1
}
for attempt in 1 2 3; do
  start_xvfb && break
  stop_xvfb
  [ "$attempt" -lt 3 ] || { echo "FAIL: no X server: $(cat "$work/xvfb.log")" >&2; exit 1; }
  sleep 1
done
unset QT_QPA_PLATFORM WAYLAND_DISPLAY

export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" XDG_RUNTIME_DIR="$work/run"
export TMPDIR="$work/tmp" LC_ALL=C.UTF-8
mkdir -p "$HOME/Documents" "$XDG_RUNTIME_DIR" "$TMPDIR"
chmod 700 "$XDG_RUNTIME_DIR"

fail() {
  echo "FAIL: $*" >&2
  [ -s "$work/out.log" ] && { echo "program output:" >&2; cat "$work/out.log" >&2; }
  exit 1
}

# Starts the program in the background: app_pid is its process.
start_program() {
  "$bin/lorvante" "$@" >"$work/out.log" 2>&1 &
  app_pid=$!
}

# Waits for a visible window whose title matches $1 and prints its id.
wait_window() {
  local id
  id=$(timeout 30 xdotool search --sync --onlyvisible --name "$1" | head -n 1) ||
    fail "no window named '$1'"
  echo "$id"
}

# Waits for the program to end; fails unless its exit status is $1.
expect_exit() {
  local status=0 i
  for i in $(seq 1 200); do
    kill -0 "$app_pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -0 "$app_pid" 2>/dev/null && fail "the program did not end"
  wait "$app_pid" || status=$?
  app_pid=
  [ "$status" -eq "$1" ] || fail "exit status $status, expected $1: $(cat "$work/out.log")"
}

# Focuses window $1 and presses key $2 until the window is gone: a key sent while the window
# is still settling under load may be lost.
press_until_gone() {
  local i
  for i in $(seq 1 20); do
    xdotool windowfocus --sync "$1" key "$2" 2>/dev/null || true
    sleep 0.5
    xdotool search --onlyvisible --name . 2>/dev/null | grep -x "$1" >/dev/null || return 0
  done
  fail "window $1 did not go away on $2"
}

# Clicks the folder picker's OK button ("Open"), at the right end of the file-name row, with a
# press and a release as a hand makes them.
click_ok() {
  local width height
  read -r width height < <(xdotool getwindowgeometry --shell "$1" |
    awk -F= '/WIDTH/{w=$2} /HEIGHT/{h=$2} END{print w, h}')
  xdotool mousemove --window "$1" $((width - 52)) $((height - 54))
  sleep 0.3
  xdotool mousedown 1
  sleep 0.2
  xdotool mouseup 1
}

# Saves a picture of the whole screen as $LORVANTE_E2E_SHOTS/$1.png when that folder is given,
# for a person to look at; the tests never read it.
screenshot() {
  [ -n "${LORVANTE_E2E_SHOTS:-}" ] || return 0
  mkdir -p "$LORVANTE_E2E_SHOTS"
  sleep 0.3
  import -window root "$LORVANTE_E2E_SHOTS/$1.png" 2>/dev/null || echo "no screenshot $1" >&2
}
