# The notification with real servers (dunst, GNOME's notification-daemon) under a private session
# bus in Xvfb: one bubble per conversion, a click on it opens the output's folder (xdg-open
# stands in), no helper is left after the click or after the bubble's time, and twenty
# conversions in a row leave one helper at most.
source "${LORVANTE_SOURCE_DIR:?}/tests/e2e/x_session.sh"

src=$LORVANTE_SOURCE_DIR
bus_pid=
server_pid=
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null; cleanup' EXIT

dbus-daemon --session --nofork --address="unix:path=$work/bus" >"$work/dbus.log" 2>&1 &
bus_pid=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
for i in $(seq 1 100); do [ -S "$work/bus" ] && break; sleep 0.1; done
[ -S "$work/bus" ] || fail "the session bus did not start"

mkdir -p "$work/fakebin" "$work/in" "$work/out" "$HOME/.config/dunst"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened"\n' "$work" >"$work/fakebin/xdg-open"
chmod +x "$work/fakebin/xdg-open"
export PATH="$work/fakebin:$PATH"
cp "$src/examples/jelentes.txt.des" "$work/in/"
# dunst: a left click runs the notification's default action.
printf '[global]\nmouse_left_click = do_action, close_current\n' >"$HOME/.config/dunst/dunstrc"

helper() { pgrep -f "lorvante-open-folder .* $work/out\$" || true; }
service_runs() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus /org/freedesktop/DBus \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null |
    grep -q 'boolean true'
}

convert_text() {
  start_program "$work/in/jelentes.txt.des"
  local dialog
  dialog=$(wait_window 'Save As')
  xdotool windowfocus --sync "$dialog" key ctrl+a
  xdotool type --delay 20 "$1"
  xdotool key Return
  expect_exit 0
}

# The bubble: the one visible window of the server's process.
bubble() {
  local id
  for i in $(seq 1 50); do
    id=$(xdotool search --onlyvisible --pid "$server_pid" 2>/dev/null | head -n 1 || true)
    [ -n "$id" ] && { echo "$id"; return 0; }
    sleep 0.1
  done
  return 1
}

for server in dunst notification-daemon; do
  case $server in
    dunst) command=(dunst) ;;
    notification-daemon) command=(/usr/lib/notification-daemon/notification-daemon) ;;
  esac
  [ -x "$(command -v "${command[0]}")" ] || fail "$server is not installed (scripts/setup)"
  "${command[@]}" >"$work/$server.log" 2>&1 &
  server_pid=$!
  for i in $(seq 1 100); do service_runs && break; sleep 0.1; done
  service_runs || fail "$server did not take the notification service: $(cat "$work/$server.log")"

  # A click on the bubble opens the folder; the helper then ends.
  rm -f "$work/opened"
  convert_text "$work/out/$server.txt"
  id=$(bubble) || fail "$server shows no bubble"
  [ "$(xdotool search --onlyvisible --pid "$server_pid" | wc -l)" -eq 1 ] ||
    fail "$server shows more than one bubble"
  screenshot "bubble_$server"
  eval "$(xdotool getwindowgeometry --shell "$id")"
  xdotool mousemove --sync $((X + WIDTH / 2)) $((Y + HEIGHT / 2)) click 1
  for i in $(seq 1 100); do [ -s "$work/opened" ] && break; sleep 0.1; done
  [ "$(cat "$work/opened" 2>/dev/null)" = "$work/out" ] || fail "$server: the click opened nothing"
  for i in $(seq 1 50); do [ -z "$(helper)" ] && break; sleep 0.1; done
  [ -z "$(helper)" ] || fail "$server: a helper outlived the click"
  echo "ok: $server: one bubble, its click opened the folder, no helper left"

  # A bubble nobody clicks: gone with its time, and the helper with it.
  convert_text "$work/out/$server-2.txt"
  bubble >/dev/null || fail "$server shows no second bubble"
  [ -n "$(helper)" ] || fail "$server: no helper waits for the click"
  for i in $(seq 1 250); do [ -z "$(helper)" ] && break; sleep 0.1; done
  [ -z "$(helper)" ] || fail "$server: the helper outlived the bubble's time"
  echo "ok: $server: no helper after the bubble's time"

  # Twenty conversions in a row: at most one helper, at most one bubble.
  for n in $(seq 1 20); do
    "$bin/../libexec/lorvante/lorvante-open-folder" LORVANTE "$n állomány" "$work/out" &
    sleep 0.3
  done
  sleep 2
  [ "$(helper | wc -l)" -le 1 ] || fail "$server: $(helper | wc -l) helpers after twenty"
  [ "$(xdotool search --onlyvisible --pid "$server_pid" | wc -l)" -le 1 ] ||
    fail "$server: more than one bubble after twenty"
  screenshot "after_twenty_$server"
  kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
  for i in $(seq 1 100); do [ -z "$(helper)" ] && break; sleep 0.1; done
  [ -z "$(helper)" ] || fail "$server: a helper outlived the server"
  echo "ok: $server: one helper at most after twenty in a row"
done
