# The folder picker cancelled with Escape: no message box, nothing extracted, exit 0.
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
start_program "$src/examples/adatok.zip.des"
dialog=$(wait_window '^Open')
press_until_gone "$dialog" Escape
expect_exit 0
[ -z "$(ls -A "$HOME/Documents")" ] || fail "something was extracted"
echo "ok: cancelled silently"
