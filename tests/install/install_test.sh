# The install tree: `cmake --install` into a scratch prefix puts every file in its place and
# nothing else (the unzip library private, no header); the desktop entry and the metainfo
# validate; the file types are found by content and by name; the installed program answers
# --help and --version, and extracts the tagged sample in the terminal with its private library.
set -euo pipefail
build=${LORVANTE_BUILD_DIR:?}
src=${LORVANTE_SOURCE_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

prefix="$work/prefix"
cmake --install "$build" --prefix "$prefix" >/dev/null
id=org.lorvante.Lorvante
private=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/lorvante
expected="bin/lorvante
bin/lorvante-pack
$private/liblorvante-qt.so
$private/libunzdll.so
libexec/lorvante/lorvante-open-folder
libexec/lorvante/lorvante-text-worker
libexec/lorvante/lorvante-unzip-worker
share/applications/$id.desktop
share/doc/lorvante/README.md
share/doc/lorvante/changelog.gz
share/doc/lorvante/copyright
share/icons/hicolor/128x128/apps/$id.png
share/icons/hicolor/16x16/apps/$id.png
share/icons/hicolor/256x256/apps/$id.png
share/icons/hicolor/32x32/apps/$id.png
share/icons/hicolor/48x48/apps/$id.png
share/icons/hicolor/64x64/apps/$id.png
share/icons/hicolor/scalable/apps/$id.svg
share/icons/hicolor/scalable/mimetypes/application-x-lorvante-bare.svg
share/icons/hicolor/scalable/mimetypes/application-x-lorvante-tagged.svg
share/man/man1/lorvante-pack.1.gz
share/man/man1/lorvante.1.gz
share/metainfo/$id.metainfo.xml
share/mime/packages/$id.xml"
actual=$(cd "$prefix" && find . -type f -o -type l | sed 's|^\./||' | LC_ALL=C sort)
[ "$actual" = "$(LC_ALL=C sort <<<"$expected")" ] ||
  fail "install tree differs: $(diff <(LC_ALL=C sort <<<"$expected") <(echo "$actual"))"
echo "ok: install tree"

# The programs find the private folder relative to themselves; the helper needs no search path.
readelf -d "$prefix/bin/lorvante" | grep -F "Library runpath: [\$ORIGIN/../$private]" >/dev/null ||
  fail "RUNPATH of lorvante: $(readelf -d "$prefix/bin/lorvante" | grep -i path)"
for size in 16 32 48 64 128 256; do
  file "$prefix/share/icons/hicolor/${size}x${size}/apps/$id.png" | grep "PNG image data, $size x $size" >/dev/null ||
    fail "icon of size $size"
done
zcat "$prefix/share/man/man1/lorvante.1.gz" | grep "lorvante $("$build/bin/lorvante" --version | head -n1 | cut -d' ' -f2)" >/dev/null ||
  fail "the manual page does not carry the version"
# Each file type has a drawing of its own, told apart from the other's and from the program's, and
# named as the type's <icon> element names it.
icons=$prefix/share/icons/hicolor/scalable
for type in bare tagged; do
  name=application-x-lorvante-$type
  grep -q "<icon name=\"$name\"/>" "$prefix/share/mime/packages/$id.xml" ||
    fail "the type $type does not name its icon $name"
  rsvg-convert -w 16 -h 16 -o "$work/$type.png" "$icons/mimetypes/$name.svg" || fail "$name.svg"
  ! cmp -s "$icons/mimetypes/$name.svg" "$icons/apps/$id.svg" || fail "$name is the program's icon"
done
! cmp -s "$icons/mimetypes/application-x-lorvante-bare.svg" \
  "$icons/mimetypes/application-x-lorvante-tagged.svg" || fail "both types have the same icon"
echo "ok: RUNPATH, icon sizes, manual page version, an icon of its own for each type"

desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop entry"
appstreamcli validate --no-net "$prefix/share/metainfo/$id.metainfo.xml" || fail "metainfo"
grep -q "<release version=\"$("$build/bin/lorvante" --version | head -n1 | cut -d' ' -f2)\"" \
  "$prefix/share/metainfo/$id.metainfo.xml" || fail "the metainfo's release is not the version"
echo "ok: desktop entry and metainfo validate"

# File types, as the desktop sees them through the prefix's shared MIME database.
XDG_DATA_HOME="$prefix/share" update-mime-database "$prefix/share/mime"
mkdir "$work/files"
cp "$src/examples/adatok.zip.des" "$work/files/quarterly-report.pdf"  # tagged, misleading name
cp "$src/examples/jelentes.txt.des" "$work/files/x.des"                # bare
cp "$src/examples/adatok.zip.des" "$work/files/adatok.zip.des"         # tagged under the bare name
printf 'dEsM4g!c11 and the rest' >"$work/files/lower-case-tag.bin"       # the tag in other case
printf 'DESM4G\001C11 and the rest' >"$work/files/case-folded-bang.bin"  # only letters fold
printf 'DESM4G!C1' >"$work/files/short-tag.bin"
query() {
  XDG_DATA_HOME="$prefix/share" XDG_CURRENT_DESKTOP= xdg-mime query filetype "$work/files/$1" 2>/dev/null
}
while read -r name type negate; do
  got=$(query "$name")
  if [ -z "$negate" ]; then
    [ "$got" = "$type" ] || fail "$name: $got, expected $type"
  else
    [ "$got" != "$type" ] || fail "$name: taken for $type"
  fi
done <<'CASES'
quarterly-report.pdf application/x-lorvante-tagged
x.des application/x-lorvante-bare
adatok.zip.des application/x-lorvante-tagged
lower-case-tag.bin application/x-lorvante-tagged
case-folded-bang.bin application/x-lorvante-tagged not
short-tag.bin application/x-lorvante-tagged not
CASES
grep -q "^MimeType=.*application/x-lorvante-tagged;" "$prefix/share/applications/$id.desktop" &&
  grep -q "^MimeType=.*application/x-lorvante-bare;" "$prefix/share/applications/$id.desktop" ||
  fail "the desktop entry does not open both types"
# GIO reads the same database: the content wins over the *.des name there as well.
if command -v gio >/dev/null; then
  got=$(XDG_DATA_HOME="$prefix/share" gio info -a standard::content-type "$work/files/adatok.zip.des" |
    sed -n 's/^ *standard::content-type: //p')
  [ "$got" = application/x-lorvante-tagged ] || fail "gio: adatok.zip.des is $got"
fi
if command -v mimetype >/dev/null; then
  got=$(XDG_DATA_HOME="$prefix/share" mimetype -b "$work/files/adatok.zip.des")
  [ "$got" = application/x-lorvante-tagged ] || fail "mimetype: adatok.zip.des is $got"
fi
echo "ok: file types by content and by name"

# The installed program: --help and --version on standard output, exit 0.
lorvante="$prefix/bin/lorvante"
"$lorvante" --help >"$work/help" 2>"$work/err" || fail "--help failed"
grep -q '^usage: lorvante' "$work/help" && [ ! -s "$work/err" ] || fail "--help output"
[ "$("$lorvante" -V)" = "$("$build/bin/lorvante" --version)" ] || fail "-V output"
echo "ok: --help, --version"

# Two files in one terminal run, converted in turn, the first named like an option after "--":
# the tagged sample extracted with the library loaded from the prefix, then the bare one saved.
mkdir "$work/run" "$work/target" "$work/expected" "$work/tmp"
cp "$src/examples/adatok.zip.des" "$work/run/-style"
cp "$src/examples/jelentes.txt.des" "$work/run/"
(cd "$work/expected" && unzip -q "$src/examples/adatok.zip")
printf '%s\n%s\n' "$work/target" "$work/jelentes.txt" |
  (cd "$work/run" && env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM HOME="$work" \
    TMPDIR="$work/tmp" LD_DEBUG=libs LD_DEBUG_OUTPUT="$work/ld" \
    "$lorvante" -- -style jelentes.txt.des) >"$work/out" 2>"$work/err" ||
  fail "the installed program failed: $(cat "$work/err")"
diff -r "$work/expected" "$work/target" || fail "extracted files differ"
cmp "$work/jelentes.txt" "$src/examples/jelentes.cp1250.txt" || fail "the text differs: $(cat "$work/err")"
count=$(find "$work/expected" -type f | wc -l)
grep -qx "LORVANTE: $count állomány kibontva ide: $work/target" "$work/err" ||
  fail "no summary line of the extraction: $(cat "$work/err")"
grep -qx "LORVANTE: A szöveg mentve: $work/jelentes.txt" "$work/err" ||
  fail "no summary line of the text: $(cat "$work/err")"
cat "$work"/ld.* | grep "calling init: $prefix/$private/libunzdll.so" >/dev/null ||
  fail "the library was not loaded from the prefix"
# The terminal run never loads the toolkit or the bus: its front end is a module of its own.
! cat "$work"/ld.* | grep -E "calling init: .*/(libQt6|liblorvante-qt|libdbus)" >/dev/null ||
  fail "the terminal run loaded the toolkit: $(cat "$work"/ld.* | grep -E 'calling init: .*(Qt6|lorvante-qt|dbus)')"
echo "ok: the installed program converted two files in turn, without the toolkit"

# Without a file and without a display: the usage line, nothing else, status 2.
status=0
env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$lorvante" >"$work/out" 2>"$work/err" || status=$?
[ "$status" -eq 2 ] || fail "exit status of a run without a file: $status"
[ ! -s "$work/out" ] && grep -q '^usage: lorvante' "$work/err" && [ "$(wc -l <"$work/err")" -eq 1 ] ||
  fail "a run without a file: $(cat "$work/err")"
echo "ok: usage line without a file"
