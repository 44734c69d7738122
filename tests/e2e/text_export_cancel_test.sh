# The save dialog cancelled with Escape: a message box captioned LORVANTE follows, Return closes
# it, nothing is written and the program exits 0.
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
mkdir -p "$work/in"
cp "$src/examples/jelentes.txt.des" "$work/in/"

start_program "$work/in/jelentes.txt.des"
dialog=$(wait_window 'Save As')
press_until_gone "$dialog" Escape
box=$(wait_window '^LORVANTE$')
press_until_gone "$box" Return
expect_exit 0
[ "$(ls "$work/in")" = "jelentes.txt.des" ] || fail "something was written: $(ls "$work/in")"
[ -z "$(ls "$HOME/Documents")" ] || fail "something was written to the documents folder"
echo "ok: dialog cancelled, message box closed, nothing written, exit 0"
