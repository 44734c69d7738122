# Started without a file, as from the desktop's menu: the open dialog appears, offering the
# encrypted files and all files; Escape ends the program silently with exit 0 and nothing written.
source "${LORVANTE_SOURCE_DIR:?}/tests/e2e/x_session.sh"

# A file of each kind in the documents folder, where the dialog opens.
cp "$LORVANTE_SOURCE_DIR/examples/jelentes.txt.des" "$HOME/Documents/"
before=$(cd "$work" && find home/Documents tmp | sort)

start_program
dialog=$(wait_window '^Titkosított állomány megnyitása$')
press_until_gone "$dialog" Escape
# A message box would hold the program: it has ended, so none was shown.
expect_exit 0
after=$(cd "$work" && find home/Documents tmp | sort)
[ "$before" = "$after" ] || fail "files appeared: $(diff <(echo "$before") <(echo "$after"))"
echo "ok: open dialog shown, Escape ended the program silently"
