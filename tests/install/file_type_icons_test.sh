# The icons of the two file types as the desktop finds them: installed into a scratch prefix, a
# tagged and a bare file each get the icon of their own type first (GIO, which file managers ask),
# and those icons are the type's own drawings. With LORVANTE_E2E_SHOTS set and pcmanfm installed
# (it is not required: `apt-get install pcmanfm`), a picture of both files in pcmanfm's icon view
# is saved there, for a person to look at.
source "${LORVANTE_SOURCE_DIR:?}/tests/e2e/x_session.sh"

build=${LORVANTE_BUILD_DIR:?}
src=$LORVANTE_SOURCE_DIR
prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
update-mime-database "$prefix/share/mime"
export XDG_DATA_HOME="$prefix/share" XDG_CURRENT_DESKTOP=
mkdir -p "$work/files"
cp "$src/examples/adatok.zip.des" "$work/files/adatok.zip.des"
cp "$src/examples/jelentes.txt.des" "$work/files/jelentes.txt.des"

for pair in adatok.zip.des:tagged jelentes.txt.des:bare; do
  file=${pair%%:*}
  type=${pair##*:}
  icons=$(gio info -a standard::icon "$work/files/$file" | sed -n 's/^ *standard::icon: //p')
  [ "${icons%%,*}" = "application-x-lorvante-$type" ] ||
    fail "$file: the icons $icons do not begin with its type's own"
  drawing="$prefix/share/icons/hicolor/scalable/mimetypes/application-x-lorvante-$type.svg"
  cmp -s "$drawing" "$src/data/icons/application-x-lorvante-$type.svg" ||
    fail "$type: the installed icon is not the type's drawing"
done
echo "ok: each file type shows its own icon"

if [ -n "${LORVANTE_E2E_SHOTS:-}" ] && command -v pcmanfm >/dev/null; then
  export XDG_DATA_DIRS="$prefix/share:/usr/share"
  mkdir -p "$HOME/.config/pcmanfm/default"
  printf '[ui]\nview_mode=icon\nshow_hidden=0\n' >"$HOME/.config/pcmanfm/default/pcmanfm.conf"
  pcmanfm --no-desktop "$work/files" >"$work/pcmanfm.log" 2>&1 &
  app_pid=$!
  wait_window 'files' >/dev/null
  sleep 2
  screenshot file_type_icons_pcmanfm
  echo "ok: picture of the icons in pcmanfm saved"
fi
