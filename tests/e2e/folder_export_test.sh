# The tagged sample extracted into a folder typed into the picker's file-name box and chosen with
# one click on OK, while Qt's name completion still shows its list: the files arrive byte for
# byte and the program exits 0. The picker keeps its standard caption ("Open", no suffix).
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
target="$work/target"
mkdir -p "$target" "$work/expected"
(cd "$work/expected" && unzip -q "$src/examples/adatok.zip")

start_program "$src/examples/adatok.zip.des"
dialog=$(wait_window '^Open$')
screenshot picker
xdotool windowfocus --sync "$dialog"
xdotool key ctrl+a
xdotool type --delay 5 "$target"
sleep 1
screenshot picker_typed
click_ok "$dialog"
expect_exit 0
diff -r "$work/expected" "$target" || fail "extracted files differ"
[ -z "$(ls -A "$HOME/Documents")" ] || fail "something was extracted into the initial folder"
echo "ok: sample extracted into the typed folder"
