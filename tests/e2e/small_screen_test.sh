# The picker on a small screen (1024x600) with a large scale factor (2 and 1.5): it fits the
# screen, so that its OK and Cancel can be reached. A click where OK stands chooses the typed
# folder, a click where Cancel stands ends the program with nothing extracted.
E2E_SCREEN=1024x600x24
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
mkdir -p "$work/expected"
(cd "$work/expected" && unzip -q "$src/examples/adatok.zip")

# The geometry of window $1 as "x y width height".
geometry() {
  xdotool getwindowgeometry --shell "$1" |
    awk -F= '/^X=/{x=$2} /^Y=/{y=$2} /WIDTH/{w=$2} /HEIGHT/{h=$2} END{print x, y, w, h}'
}

# Clicks inside window $1 at $2,$3 pixels of scale 1 from its bottom right corner, scaled by $4.
click_from_corner() {
  local x y width height
  read -r x y width height < <(geometry "$1")
  xdotool mousemove --window "$1" \
    "$(awk -v w="$width" -v d="$2" -v s="$4" 'BEGIN{printf "%d", w - d * s}')" \
    "$(awk -v h="$height" -v d="$3" -v s="$4" 'BEGIN{printf "%d", h - d * s}')"
  sleep 0.3
  xdotool mousedown 1
  sleep 0.2
  xdotool mouseup 1
}

# Starts the program at scale $1 and waits for the picker, which must lie on the screen.
open_picker() {
  export QT_SCALE_FACTOR=$1
  start_program "$src/examples/adatok.zip.des"
  dialog=$(wait_window '^Open$')
  sleep 0.5
  local x y width height
  read -r x y width height < <(geometry "$dialog")
  [ "$x" -ge 0 ] && [ "$y" -ge 0 ] && [ $((x + width)) -le 1024 ] && [ $((y + height)) -le 600 ] ||
    fail "scale $1: the picker at $x,$y, ${width}x$height, is not on the 1024x600 screen"
}

for scale in 2 1.5; do
  open_picker "$scale"
  screenshot "small_screen_picker_$scale"
  target="$work/chosen-$scale"
  mkdir -p "$target"
  xdotool windowfocus --sync "$dialog"
  xdotool key ctrl+a
  xdotool type --delay 5 "$target"
  sleep 1
  click_from_corner "$dialog" 52 54 "$scale" # OK
  expect_exit 0
  diff -r "$work/expected" "$target" >/dev/null || fail "scale $scale: OK did not extract into $target"

  open_picker "$scale"
  click_from_corner "$dialog" 52 20 "$scale" # Cancel
  expect_exit 0
  [ -z "$(ls -A "$HOME/Documents")" ] || fail "scale $scale: Cancel extracted something"
done
echo "ok: at 1024x600, scale 2 and 1.5, the picker fits, and its OK and Cancel are reached"
