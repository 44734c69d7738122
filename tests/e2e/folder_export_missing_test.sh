# A folder typed into the picker that does not exist: OK leaves the picker open and a message box
# captioned "LORVANTE" says so; nothing is extracted, neither there nor into the folder shown.
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
xdotool search --onlyvisible --name '^Open$' | grep -qx "$dialog" || fail "the picker closed"
press_until_gone "$box" Return
xdotool search --onlyvisible --name '^Open$' | grep -qx "$dialog" || fail "the picker closed"
press_until_gone "$dialog" Escape
expect_exit 0
[ ! -e "$work/missing" ] || fail "the missing folder was made"
[ -z "$(ls -A "$HOME/Documents")" ] || fail "something was extracted into the folder shown"
echo "ok: missing folder refused, nothing extracted"
