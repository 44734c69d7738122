# Names with double quotes typed as a user types them: the folder picker extracts into
# ~/x/Project "Alpha" (not into the folder it showed, where an older copy of a user's file
# lies), and the save dialog writes .../reports/report "final".txt (not final.txt in the folder it
# started in). Both are taken literally, quotes and all.
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
target="$HOME/x/Project \"Alpha\""
mkdir -p "$target" "$work/expected" "$HOME/Documents/adatok"
(cd "$work/expected" && unzip -q "$src/examples/adatok.zip")
older="$HOME/Documents/adatok/tabla.csv"
printf 'the user own older table\n' >"$older"
touch -d '2001-01-01' "$older"

start_program "$src/examples/adatok.zip.des"
dialog=$(wait_window '^Open$')
xdotool windowfocus --sync "$dialog"
xdotool key ctrl+a
xdotool type --delay 5 '~/x/Project "Alpha"'
sleep 1
screenshot quoted_folder_typed
click_ok "$dialog"
expect_exit 0
diff -r "$work/expected" "$target" || fail "the files did not arrive in the typed folder"
[ "$(cat "$older")" = "the user own older table" ] || fail "a file in the folder shown was replaced"
[ "$(ls -A "$HOME/Documents/adatok")" = "tabla.csv" ] || fail "something was extracted into the folder shown"

mkdir -p "$work/in" "$work/reports"
cp "$src/examples/jelentes.txt.des" "$work/in/"
start_program "$work/in/jelentes.txt.des"
dialog=$(wait_window 'Save As')
xdotool windowfocus --sync "$dialog" key ctrl+a
xdotool type --delay 20 "$work/reports/report \"final\".txt"
sleep 0.5
screenshot quoted_save_typed
xdotool key Return
expect_exit 0
cmp "$work/reports/report \"final\".txt" "$src/examples/jelentes.cp1250.txt" ||
  fail "the text is not under the typed name"
[ -z "$(find "$work/in" "$work/reports" -name 'final*')" ] || fail "final.txt was written"
echo "ok: quoted folder and file names taken literally"
