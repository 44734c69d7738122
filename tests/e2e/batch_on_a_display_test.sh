# --batch with a display asks nothing and shows nothing that waits: no window opens, the failures
# and their reasons go to standard error as in the terminal, the summary of a conversion that
# worked goes to standard error and to the desktop's notification, and the status is the
# terminal's (1: a file failed).
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
bus_pid=
server_pid=
trap '[ -n "$server_pid" ] && kill "$server_pid" 2>/dev/null; [ -n "$bus_pid" ] && kill "$bus_pid" 2>/dev/null; cleanup' EXIT
source "$src/tests/install/session_bus.sh"
rm -f "$work/ready"
/usr/bin/python3 "$src/tests/install/notification_server.py" "$work/notes.log" plain "$work/ready" \
  >"$work/server.log" 2>&1 &
server_pid=$!
for i in $(seq 1 100); do [ -e "$work/ready" ] && break; sleep 0.1; done
[ -e "$work/ready" ] || fail "the notification service did not start: $(cat "$work/server.log")"

# A good tagged file, and one that is not an encrypted file at all.
cp "$src/examples/adatok.zip.des" "$work/in/"
head -c 4096 /dev/zero >"$work/in/broken.des"
# The windows the X server has before the program starts (its root's own).
before=$(xdotool search --onlyvisible --name '.*' 2>/dev/null | sort || true)
"$bin/lorvante" --batch -o "$work/out" "$work/in/adatok.zip.des" "$work/in/broken.des" \
  >"$work/stdout.log" 2>"$work/out.log" &
app_pid=$!
# Until it ends, no window of any kind appears.
while kill -0 "$app_pid" 2>/dev/null; do
  windows=$(xdotool search --onlyvisible --name '.*' 2>/dev/null | sort | comm -13 <(echo "$before") - || true)
  [ -z "$windows" ] || { screenshot batch_window; fail "a window opened: $windows"; }
  sleep 0.1
done
expect_exit 1
grep -Fx "LORVANTE: Az állomány visszafejtése sikertelen." "$work/out.log" >/dev/null ||
  fail "the failure is not on standard error"
grep -Fx "  Állomány: $work/in/broken.des" "$work/out.log" >/dev/null ||
  fail "the failure does not name its file"
summary=$(unzip -Z1 "$src/examples/adatok.zip" | grep -vc "/$")
grep -Fx "LORVANTE: $summary állomány kibontva ide: $work/out" "$work/out.log" >/dev/null ||
  fail "the summary is not on standard error"
[ -n "$(ls -A "$work/out")" ] || fail "nothing was extracted"
for i in $(seq 1 50); do [ -s "$work/notes.log" ] && break; sleep 0.1; done
[ "$(wc -l <"$work/notes.log")" -eq 1 ] || fail "expected one notification: $(cat "$work/notes.log" 2>/dev/null)"
body=$(python3 -c 'import json,sys; print(json.loads(open(sys.argv[1], encoding="utf-8").readline())["body"])' \
  "$work/notes.log")
[ "$body" = "$summary állomány kibontva ide: $work/out" ] ||
  fail "the notification does not hold the summary: $body"
[ ! -s "$work/stdout.log" ] || fail "standard output is not empty: $(cat "$work/stdout.log")"
echo "ok: --batch on a display opened no window, reported on standard error, notified, ended 1"
