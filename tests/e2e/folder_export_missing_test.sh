# A folder typed into the picker that does not exist: OK asks in a box captioned "LORVANTE"
# whether to make it. No leaves the picker open and nothing made or extracted; Yes then makes the
# folder and extracts the archive into it.
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
start_program "$src/examples/adatok.zip.des"
dialog=$(wait_window '^Open$')
xdotool windowfocus --sync "$dialog"
xdotool key ctrl+a
xdotool type --delay 5 "$work/missing/folder"
sleep 1
click_ok "$dialog"
box=$(wait_window '^LORVANTE$')
screenshot missing_folder_message
xdotool search --onlyvisible --name '^Open$' | grep -x "$dialog" >/dev/null || fail "the picker closed"
press_until_gone "$box" n
xdotool search --onlyvisible --name '^Open$' | grep -x "$dialog" >/dev/null || fail "the picker closed"
[ ! -e "$work/missing" ] || fail "the missing folder was made on No"
# Again, and Yes: the folder is made and chosen.
xdotool windowfocus --sync "$dialog"
click_ok "$dialog"
box=$(wait_window '^LORVANTE$')
press_until_gone "$box" y
expect_exit 0
[ -z "$(ls -A "$HOME/Documents")" ] || fail "something was extracted into the folder shown"
[ -n "$(ls -A "$work/missing/folder" 2>/dev/null)" ] || fail "nothing was extracted into the made folder"
echo "ok: missing folder made only on Yes, archive extracted there"
