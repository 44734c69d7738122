# The word at the end, under a private session bus with the test's own notification service
# (notification_server.py): a text export that worked sends one notification naming the output,
# whose action opens the output's folder (xdg-open stands in); a failed conversion sends none; a
# service without actions gets a notification without them; a service that never answers and a
# bus that cannot be reached both leave the conversion to end as usual.
source "${LORVANTE_SOURCE_DIR:?}/tests/e2e/x_session.sh"

src=$LORVANTE_SOURCE_DIR
here=$(cd "$(dirname "$0")" && pwd)
bus_pid=
server_pid=
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null; cleanup' EXIT

source "$LORVANTE_SOURCE_DIR/tests/install/session_bus.sh"

start_server() {
  [ -n "$server_pid" ] && { kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; }
  rm -f "$work/ready"
  # Debian's own interpreter, which has the D-Bus and GLib bindings.
  /usr/bin/python3 "$here/notification_server.py" "$work/notes.log" "$1" "$work/ready" \
    >"$work/server.log" 2>&1 &
  server_pid=$!
  for i in $(seq 1 100); do [ -e "$work/ready" ] && break; sleep 0.1; done
  [ -e "$work/ready" ] || fail "the notification service did not start: $(cat "$work/server.log")"
}

# Converts the bare sample into $1 through the save dialog.
convert_text() {
  start_program "$work/in/jelentes.txt.des"
  local dialog
  dialog=$(wait_window 'Save As')
  xdotool windowfocus --sync "$dialog" key ctrl+a
  xdotool type --delay 20 "$1"
  xdotool key Return
  expect_exit 0
  cmp "$1" "$src/examples/jelentes.cp1250.txt" || fail "the text differs"
}

# The field $2 of notification number $1 (from 1) in the service's log.
note() {
  python3 -c 'import json,sys; n=[json.loads(l) for l in open(sys.argv[1], encoding="utf-8")]
v=n[int(sys.argv[2])-1][sys.argv[3]]; print(" ".join(v) if isinstance(v, list) else v)' \
    "$work/notes.log" "$1" "$2"
}
notes() { [ -e "$work/notes.log" ] && wc -l <"$work/notes.log" || echo 0; }

# A service with actions: one notification, and its action opens the output's folder.
start_server actions
convert_text "$work/out/kimenet.txt"
[ "$(notes)" -eq 1 ] || fail "$(notes) notifications, expected 1"
[ "$(note 1 body)" = "A szöveg mentve: $work/out/kimenet.txt" ] || fail "body: $(note 1 body)"
[ "$(note 1 summary)" = "LORVANTE" ] || fail "summary: $(note 1 summary)"
[ "$(note 1 desktop_entry)" = "org.lorvante.Lorvante" ] || fail "no desktop entry hint"
note 1 actions | grep -w default >/dev/null || fail "no action offered: $(note 1 actions)"
for i in $(seq 1 100); do [ -s "$work/opened" ] && break; sleep 0.1; done
[ "$(cat "$work/opened" 2>/dev/null)" = "$work/out" ] || fail "the folder was not opened"
echo "ok: one notification naming the output; its action opened $work/out"

# A notification nobody clicks: the helper that waits for the click ends with the service.
start_server hold
convert_text "$work/out/varakozo.txt"
helper() { pgrep -f "lorvante-open-folder .* $work/out\$"; }
for i in $(seq 1 50); do helper >/dev/null && break; sleep 0.1; done
helper >/dev/null || fail "no helper waits for the click"
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
for i in $(seq 1 100); do helper >/dev/null || break; sleep 0.1; done
! helper >/dev/null || fail "the helper outlived the service"
rm -f "$work/notes.log"
echo "ok: the helper waiting for a click ends with the service"

# A service that never reports a notification closed: the helper ends once the notification's
# own time (10 s) and the margin have passed.
start_server hold
convert_text "$work/out/lejart.txt"
for i in $(seq 1 50); do helper >/dev/null && break; sleep 0.1; done
helper >/dev/null || fail "no helper waits for the click"
[ "$(notes)" -eq 1 ] || fail "$(notes) notifications, expected 1"
for i in $(seq 1 250); do helper >/dev/null || break; sleep 0.1; done
! helper >/dev/null || fail "the helper outlived its notification's time"
rm -f "$work/notes.log"
echo "ok: the helper ends after the notification's time"

# Twenty conversions in a row leave one helper at most: each newer one replaces the older, which
# withdraws its notification.
helper_path=$LORVANTE_BIN_DIR/../libexec/lorvante/lorvante-open-folder
for n in $(seq 1 20); do
  "$helper_path" LORVANTE "$n állomány" "$work/out" &
  for i in $(seq 1 50); do [ "$(notes)" -ge "$n" ] && break; sleep 0.1; done
done
sleep 1
[ "$(helper | wc -l)" -le 1 ] || fail "$(helper | wc -l) helpers after twenty conversions"
[ "$(wc -l <"$work/notes.log.closed")" -ge 19 ] || fail "older notifications were not withdrawn"
kill "$server_pid"; wait "$server_pid" 2>/dev/null || true; server_pid=
for i in $(seq 1 100); do helper >/dev/null || break; sleep 0.1; done
! helper >/dev/null || fail "a helper outlived the service"
rm -f "$work/notes.log" "$work/notes.log.closed"
echo "ok: one helper at most after twenty in a row"

# A service that answers slowly: the program does not wait for it, the helper does, and the
# click still opens the folder.
rm -f "$work/opened"
start_server slow
convert_text "$work/out/lassu.txt"
for i in $(seq 1 150); do [ -s "$work/opened" ] && break; sleep 0.1; done
[ "$(cat "$work/opened" 2>/dev/null)" = "$work/out" ] || fail "the folder was not opened (slow)"
rm -f "$work/notes.log"
echo "ok: a slow service: the click opens the folder"

# A failed conversion: the message box, and no notification.
start_server actions
start_program "$work/missing.des"
box=$(wait_window '^LORVANTE$')
press_until_gone "$box" Return
expect_exit 0
[ "$(notes)" -eq 0 ] || fail "a failed conversion sent a notification"
echo "ok: a failed conversion sends none"

# A service without actions: the notification offers none.
start_server plain
convert_text "$work/out/masodik.txt"
[ "$(notes)" -eq 1 ] || fail "$(notes) notifications, expected 1"
[ -z "$(note 1 actions)" ] || fail "actions offered to a service without them: $(note 1 actions)"
echo "ok: no action where the service offers none"

# A service that never answers: the program still ends (the service hangs for a minute, the
# wait for the program's end is far shorter).
start_server stuck
convert_text "$work/out/harmadik.txt"
echo "ok: a service that does not answer does not hold the program"

# No bus at all: nothing to say, the conversion ends as usual.
kill "$server_pid"; server_pid=
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-such-bus"
convert_text "$work/out/negyedik.txt"
echo "ok: without a bus the conversion ends as usual"
