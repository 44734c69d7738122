# The Debian package: cpack makes it from the build tree (into a scratch folder, the build tree
# untouched); it holds the install tree below /usr, depends on the libraries its binaries use, and
# lintian finds no error and no warning in it; its binaries are hardened as Debian builds them
# and carry no .comment section.
set -euo pipefail
build=${LORVANTE_BUILD_DIR:?}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

(cd "$work" && cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1) ||
  fail "cpack: $(cat "$work/cpack.log")"
deb=$(ls "$work"/out/lorvante_*.deb)
version=$("$build/bin/lorvante" --version | head -n1 | cut -d' ' -f2)
[ "$(dpkg-deb -f "$deb" Version)" = "$version" ] || fail "package version"

id=org.lorvante.Lorvante
private=lib/$(dpkg-architecture -qDEB_HOST_MULTIARCH)/lorvante
dpkg-deb -c "$deb" | awk '{print $6}' | sed 's|^\./||' >"$work/contents"
for path in usr/bin/lorvante usr/bin/lorvante-pack usr/$private/libunzdll.so \
    usr/$private/liblorvante-qt.so \
    usr/libexec/lorvante/lorvante-open-folder usr/libexec/lorvante/lorvante-unzip-worker \
    usr/libexec/lorvante/lorvante-text-worker usr/share/applications/$id.desktop \
    usr/share/mime/packages/$id.xml usr/share/metainfo/$id.metainfo.xml \
    usr/share/icons/hicolor/scalable/apps/$id.svg usr/share/icons/hicolor/48x48/apps/$id.png \
    usr/share/man/man1/lorvante.1.gz usr/share/man/man1/lorvante-pack.1.gz \
    usr/share/doc/lorvante/README.md usr/share/doc/lorvante/copyright \
    usr/share/doc/lorvante/changelog.gz; do
  grep -qx "$path" "$work/contents" || fail "$path missing from the package"
done
! grep -E '\.h$|^usr/include|^usr/lib/[^/]*\.so|mime\.cache' "$work/contents" ||
  fail "files that do not belong in the package"
echo "ok: dpkg-deb -c lists the install tree"

# Every sentence of the description whole, with its full stop. (Read once: grep -q ends at its
# first match, and a writer still writing into the pipe would fail the pipeline.)
description=$(dpkg-deb -f "$deb" Description)
grep -q 'starts$' <<<"$description" &&
  grep -q '^ it\. Without a display it runs in the terminal\.' <<<"$description" ||
  fail "description: $description"

depends=$(dpkg-deb -f "$deb" Depends)
for lib in libc6 libqt6widgets6 libqt6dbus6 zlib1g libseccomp2; do
  grep -q "\b$lib\b" <<<"$depends" || fail "no dependency on $lib: $depends"
done
echo "ok: dependencies computed: $depends"

mkdir "$work/root"
dpkg-deb -x "$deb" "$work/root"
for file in usr/bin/lorvante usr/bin/lorvante-pack usr/$private/libunzdll.so \
    usr/$private/liblorvante-qt.so usr/libexec/lorvante/lorvante-open-folder \
    usr/libexec/lorvante/lorvante-unzip-worker usr/libexec/lorvante/lorvante-text-worker; do
  path="$work/root/$file"
  ! readelf -S "$path" | grep '\.comment' >/dev/null || fail "$file has a .comment section"
  readelf -d "$path" | grep -Eq 'BIND_NOW|FLAGS.*NOW' || fail "$file is not bound at start"
  readelf -l "$path" | grep GNU_RELRO >/dev/null || fail "$file has no read-only relocations"
done
# Fortified calls and the stack protector show in the program's imports.
imports=$(readelf --dyn-syms -W "$work/root/usr/bin/lorvante")
grep -q '__stack_chk_fail' <<<"$imports" || fail "lorvante has no stack protector"
grep -q '_chk@' <<<"$(readelf --dyn-syms -W "$work/root/usr/$private/libunzdll.so" "$work/root/usr/bin/lorvante" | grep -v __stack_chk)" ||
  fail "no fortified calls"
! readelf --dyn-syms -W "$work/root/usr/$private/libunzdll.so" | grep -Eq ' (_)?exit(@|$)' ||
  fail "the library calls exit"
echo "ok: hardened binaries without .comment, a library that never exits"

# lintian leaves files of its own in its temporary folder: that is the scratch folder here.
TMPDIR="$work" lintian --tag-display-limit 0 "$deb" >"$work/lintian" 2>&1 || true
cat "$work/lintian"
! grep -q '^E:' "$work/lintian" || fail "lintian errors"
! grep -q '^W:' "$work/lintian" || fail "lintian warnings"
echo "ok: no lintian errors or warnings"
