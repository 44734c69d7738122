# Shared by the notification runs (source it after tests/e2e/x_session.sh): a private session
# bus in the scratch folder (bus_pid is its process, for the caller's cleanup), an xdg-open that
# stands in for the file manager and notes the folder it is asked to open in $work/opened, and a
# bare file to convert in $work/in.
dbus-daemon --session --nofork --address="unix:path=$work/bus" >"$work/dbus.log" 2>&1 &
bus_pid=$!
export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/bus"
for i in $(seq 1 100); do [ -S "$work/bus" ] && break; sleep 0.1; done
[ -S "$work/bus" ] || fail "the session bus did not start"

mkdir -p "$work/fakebin" "$work/in" "$work/out"
printf '#!/bin/sh\nprintf "%%s\\n" "$1" >> "%s/opened"\n' "$work" >"$work/fakebin/xdg-open"
chmod +x "$work/fakebin/xdg-open"
export PATH="$work/fakebin:$PATH"
cp "${LORVANTE_SOURCE_DIR:?}/examples/jelentes.txt.des" "$work/in/"
