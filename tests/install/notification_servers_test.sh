# The notification at the end of a conversion, shown by a real notification service under Xvfb:
# dunst or notification-daemon ($1), on a private session bus. One bubble per conversion; a
# click on it opens the output's folder (xdg-open stands in for the file manager and notes the
# folder); the helper that waits for the click ends when the bubble is clicked, closed or (dunst)
# expires; twenty conversions in a row leave one helper, the last one's, and (dunst) one bubble.
# Exits 77 (skipped) when the service is not installed.
set -euo pipefail
kind=${1:?usage: notification_servers_test.sh dunst|notification-daemon}
case "$kind" in
  dunst) server=$(command -v dunst || true) ;;
  notification-daemon) server=/usr/lib/notification-daemon/notification-daemon ;;
  *) echo "unknown service $kind" >&2; exit 2 ;;
esac
[ -n "$server" ] && [ -x "$server" ] || { echo "SKIP: $kind is not installed"; exit 77; }
for tool in dbus-daemon dbus-monitor xdotool; do
  command -v "$tool" >/dev/null 2>&1 || { echo "SKIP: $tool is not installed"; exit 77; }
done
if [ "$kind" = dunst ]; then
  command -v dunstctl >/dev/null 2>&1 || { echo "SKIP: dunstctl is not installed"; exit 77; }
fi

source "${LORVANTE_SOURCE_DIR:?}/tests/e2e/x_session.sh"
src=$LORVANTE_SOURCE_DIR
bus_pid=
server_pid=
stop_all() {
  [ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null || true
  [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null || true
  # A helper still waiting (after a failure) goes with the test.
  local pids
  pids=$(pgrep -f "lorvante-open-folder .* $work/out" || true)
  [ -z "$pids" ] || kill $pids 2>/dev/null || true
  cleanup
}
trap stop_all EXIT

source "$LORVANTE_SOURCE_DIR/tests/install/session_bus.sh"

# dunst: a left click runs the notification's action and closes it, and the user counts as
# present (Xvfb has no input, which dunst would take for an idle user whose bubbles it keeps).
cat >"$work/dunstrc" <<'RC'
[global]
    idle_threshold = 0
    mouse_left_click = do_action, close_current
    mouse_right_click = close_current
    font = Monospace 10
RC
case "$kind" in
  dunst) "$server" -config "$work/dunstrc" >"$work/server.log" 2>&1 & ;;
  *) "$server" >"$work/server.log" 2>&1 & ;;
esac
server_pid=$!
service_up() {
  dbus-send --session --print-reply --dest=org.freedesktop.DBus / \
    org.freedesktop.DBus.NameHasOwner string:org.freedesktop.Notifications 2>/dev/null |
    grep 'boolean true' >/dev/null
}
for i in $(seq 1 100); do service_up && break; sleep 0.1; done
service_up || fail "$kind did not take the notification service: $(cat "$work/server.log")"

# The bubbles on screen.
bubble_windows() {
  case "$kind" in
    dunst) xdotool search --onlyvisible --class Dunst 2>/dev/null || true ;;
    *) xdotool search --onlyvisible --class notification-daemon 2>/dev/null || true ;;
  esac
}
bubbles() {
  case "$kind" in
    dunst) dunstctl count displayed ;;
    *) bubble_windows | wc -l ;;
  esac
}
helpers() { pgrep -f "lorvante-open-folder .* $work/out" | wc -l; }
# Waits up to $2 tenths of a second for "$1" to hold.
wait_for() {
  local i
  for i in $(seq 1 "$2"); do eval "$1" && return 0; sleep 0.1; done
  return 1
}

# Converts the bare sample into folder $1 (made here) without a dialog.
convert() {
  mkdir -p "$1"
  "$bin/lorvante" --batch -o "$1/kimenet.txt" "$work/in/jelentes.txt.des" >"$work/out.log" 2>&1 ||
    fail "the conversion failed"
  cmp -s "$1/kimenet.txt" "$src/examples/jelentes.cp1250.txt" || fail "the text differs"
}

# Clicks bubble window $1 at ($2, $3) from its top left corner, or at its middle without them.
click_bubble() {
  local WINDOW X Y WIDTH HEIGHT SCREEN
  eval "$(xdotool getwindowgeometry --shell "$1")"
  xdotool mousemove "$((X + ${2:-$((WIDTH / 2))}))" "$((Y + ${3:-$((HEIGHT / 2))}))"
  sleep 0.2
  xdotool click 1
  # The pointer leaves the bubbles' corner, as a hand does: a service keeps a bubble under it.
  sleep 0.2
  xdotool mousemove 20 "$((Y + 600))"
}

# 1. One bubble; a click on it opens the output's folder and ends the helper.
convert "$work/out/elso"
wait_for '[ "$(bubbles)" -eq 1 ]' 50 || fail "$(bubbles) bubbles after one conversion"
wait_for '[ "$(helpers)" -eq 1 ]' 50 || fail "$(helpers) helpers wait for the click"
screenshot "notification_${kind}_bubble"
window=$(bubble_windows | head -n 1)
[ -n "$window" ] || fail "no bubble window found"
click_bubble "$window"
wait_for '[ -s "$work/opened" ]' 50 || fail "the click opened nothing"
[ "$(cat "$work/opened")" = "$work/out/elso" ] || fail "opened $(cat "$work/opened")"
wait_for '[ "$(helpers)" -eq 0 ]' 50 || fail "the helper outlived the click"
wait_for '[ "$(bubbles)" -eq 0 ]' 50 || fail "the bubble stayed after the click"
echo "ok: one bubble; the click opened its folder, no helper left"

# 2. A bubble closed without its action: nothing opened, no helper left.
rm -f "$work/opened"
convert "$work/out/masodik"
wait_for '[ "$(bubbles)" -eq 1 ]' 50 || fail "$(bubbles) bubbles after one conversion"
wait_for '[ "$(helpers)" -eq 1 ]' 50 || fail "no helper waits for the click"
case "$kind" in
  dunst) dunstctl close ;;
  *)
    # The close button in the bubble's top right corner.
    window=$(bubble_windows | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$window" | grep WIDTH)"
    click_bubble "$window" "$((WIDTH - 24))" 28
    ;;
esac
wait_for '[ "$(bubbles)" -eq 0 ]' 50 || fail "the bubble was not closed"
wait_for '[ "$(helpers)" -eq 0 ]' 50 || fail "the helper outlived the closed bubble"
[ ! -e "$work/opened" ] || fail "closing the bubble opened $(cat "$work/opened")"
echo "ok: a closed bubble opens nothing and leaves no helper"

# 3. (dunst) A bubble left alone expires, and its helper ends with it.
if [ "$kind" = dunst ]; then
  convert "$work/out/harmadik"
  wait_for '[ "$(helpers)" -eq 1 ]' 50 || fail "no helper waits for the click"
  # The notification asks for ten seconds on screen.
  wait_for '[ "$(bubbles)" -eq 0 ]' 150 || fail "the bubble did not expire ($(bubbles) shown, $(dunstctl count waiting) waiting, $(dunstctl is-paused) paused)"
  wait_for '[ "$(helpers)" -eq 0 ]' 50 || fail "the helper outlived the expired bubble"
  [ ! -e "$work/opened" ] || fail "an expired bubble opened $(cat "$work/opened")"
  echo "ok: an expired bubble leaves no helper"
fi

# 4. Twenty conversions in a row: each newer helper withdraws the older one's bubble, so that
# one helper remains, the last conversion's, and the service is asked to close the others.
dbus-monitor --session \
  "type='method_call',interface='org.freedesktop.Notifications',member='CloseNotification'" \
  >"$work/closes.log" 2>&1 &
monitor_pid=$!
sleep 0.3
for n in $(seq 1 20); do
  convert "$work/out/sor$n"
done
wait_for '[ "$(helpers)" -le 1 ]' 50 || fail "$(helpers) helpers after twenty conversions"
[ "$(helpers)" -eq 1 ] || fail "no helper waits for the last conversion's click"
pgrep -af "lorvante-open-folder .* $work/out/sor20\$" >/dev/null || fail "the helper left is not the last one's"
wait_for '[ "$(grep -c "member=CloseNotification" "$work/closes.log")" -ge 19 ]' 30 ||
  fail "$(grep -c "member=CloseNotification" "$work/closes.log") older bubbles withdrawn, expected 19"
kill "$monitor_pid" 2>/dev/null || true
screenshot "notification_${kind}_after_twenty"
if [ "$kind" = dunst ]; then
  # notification-daemon, without a window manager, leaves a bubble its sender withdrew on
  # screen (unpainted, no longer clickable), so that only dunst's screen is counted.
  wait_for '[ "$(bubbles)" -eq 1 ]' 30 || fail "$(bubbles) bubbles after twenty conversions"
  click_bubble "$(bubble_windows | head -n 1)"
  wait_for '[ -s "$work/opened" ]' 50 || fail "the click opened nothing"
  [ "$(cat "$work/opened")" = "$work/out/sor20" ] || fail "opened $(cat "$work/opened")"
  wait_for '[ "$(helpers)" -eq 0 ]' 50 || fail "a helper outlived the last click"
fi
# The service's end takes the last bubble, and its helper ends with it.
kill "$server_pid"
wait "$server_pid" 2>/dev/null || true
server_pid=
wait_for '[ "$(helpers)" -eq 0 ]' 50 || fail "a helper outlived the service"
echo "ok: twenty conversions left one helper, the last one's, the older bubbles withdrawn; none after"
