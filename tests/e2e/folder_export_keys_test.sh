# Every way of pressing the picker's OK from the keyboard acts as a click does, in the user's
# language (Hungarian: the button is "Megnyitás", its mnemonic Alt+M): a typed folder that does
# not exist brings the question "create it?", and Yes makes it and extracts the archive there.
# Enter in the name box, Alt+M, and Tab to the button and Space.
source "$(dirname "$0")/x_session.sh"

src=${LORVANTE_SOURCE_DIR:?}
# The program alone speaks Hungarian: Qt reads the language from the environment even where the
# system has no such locale, the shell and xdotool keep theirs.
start_in_hungarian() {
  env LC_ALL=hu_HU.UTF-8 LANGUAGE=hu "$bin/lorvante" "$@" >"$work/out.log" 2>&1 &
  app_pid=$!
}
mkdir -p "$work/expected"
(cd "$work/expected" && unzip -q "$src/examples/adatok.zip")

for way in enter mnemonic space; do
  target="$work/$way/made"
  start_in_hungarian "$src/examples/adatok.zip.des"
  dialog=$(wait_window '^Megnyit[^ ]*s$') # "Megnyitás", whatever xdotool makes of the á
  xdotool windowfocus --sync "$dialog"
  xdotool key ctrl+a
  xdotool type --delay 5 "$target"
  sleep 1
  case $way in
    enter) xdotool key Return ;;
    mnemonic) xdotool key alt+m ;;
    space)
      xdotool key Tab
      sleep 0.3
      xdotool key space
      ;;
  esac
  box=$(wait_window '^LORVANTE$')
  [ "$way" = enter ] && screenshot keys_missing_folder_question
  [ ! -e "$work/$way" ] || fail "$way: the folder was made before the answer"
  press_until_gone "$box" i # Igen (Yes)
  expect_exit 0
  diff -r "$work/expected" "$target" >/dev/null || fail "$way: the archive was not extracted into the made folder"
  [ -z "$(ls -A "$HOME/Documents")" ] || fail "$way: something was extracted into the folder shown"
done
echo "ok: Enter, Alt+M and Space on a typed missing folder ask, and Yes extracts there"
