# The bundled sample converted by the built program: the save dialog appears, a path is typed
# over the offered name, Return saves; the file holds the sample's code page 1250 bytes, nothing
# else is shown, and the program exits 0.
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
mkdir -p "$work/in" "$work/out"
cp "$src/examples/jelentes.txt.des" "$work/in/"

start_program "$work/in/jelentes.txt.des"
dialog=$(wait_window 'Save As')
xdotool windowfocus --sync "$dialog" key ctrl+a
xdotool type --delay 20 "$work/out/kimenet.txt"
xdotool key Return
expect_exit 0
cmp "$work/out/kimenet.txt" "$src/examples/jelentes.cp1250.txt" || fail "the text differs"
[ ! -e "$work/in/jelentes.txt" ] || fail "the offered name was written as well"
echo "ok: sample converted to the typed path, bytes equal, exit 0"
