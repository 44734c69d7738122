#!/usr/bin/env bash
# Speed and peak memory of the folder export, end to end: a tagged file holding a zip archive of
# 2000 small files and one large one (about 200 MiB unpacked) is decrypted and extracted by the
# conversion as the program runs it (bench_folder_export), and the same ciphertext by the
# reference `openssl enc -d -des-ecb > t.zip && unzip -o -q t.zip`. Both results are compared.
#
# Usage: [RUNS=n] bench/folder_export.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
bin=$build/bin
for program in lorvante-pack bench_folder_export bench_text_export; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: build first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR" "$work/src"
key=$("$bin/bench_text_export" key)

# The archive: 2000 files of 50 KiB and one of 100 MiB, text-like so that it compresses.
"$bin/bench_text_export" text 100 "$work/src/large.txt"
python3 - "$work/src" <<'PY'
import os, sys
src = sys.argv[1]
with open(os.path.join(src, "large.txt"), "rb") as f:
    block = f.read(50 * 1024 * 2000)
os.makedirs(os.path.join(src, "files"), exist_ok=True)
for i in range(2000):
    with open(os.path.join(src, "files", "f%04d.txt" % i), "wb") as out:
        out.write(block[i * 51200:(i + 1) * 51200])
PY
(cd "$work/src" && zip -q -r -6 "$work/t.zip" .) 2>/dev/null ||
  python3 -c "import shutil,sys; shutil.make_archive(sys.argv[1], 'zip', sys.argv[2])" "$work/t" "$work/src"
"$bin/lorvante-pack" --zip "$work/t.zip" "$work/in.des"
cat "$work/in.des" >/dev/null
rm -f "$work/t.zip"

measure() {
  /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" || return 1
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time"
}
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }

ours_s=; ours_kib=0; ref_s=; ref_kib=0
for run in $(seq 1 "${RUNS:-3}"); do
  rm -rf "$work/ours" "$work/ref" "$TMPDIR"/*; mkdir -p "$work/ours" "$work/ref" "$TMPDIR"
  read -r s kib cpu < <(measure "$bin/bench_folder_export" "$work/in.des" "$work/ours")
  diff -rq "$work/src" "$work/ours" >/dev/null || { echo "our result differs" >&2; exit 1; }
  ours_s=$(best "$ours_s" "$s"); ours_kib=$(( kib > ours_kib ? kib : ours_kib ))

  start=$(date +%s.%N)
  # the ciphertext starts after the 10-byte tag
  tail -c +11 "$work/in.des" | /usr/bin/time -f '%M' -o "$work/t1" openssl enc -d -des-ecb -nopad \
    -K "$key" -provider legacy -provider default -out "$work/ref.zip"
  (cd "$work/ref" && /usr/bin/time -f '%M' -o "$work/t2" unzip -o -q "$work/ref.zip" 2>/dev/null || true)
  end=$(date +%s.%N)
  diff -rq "$work/src" "$work/ref" >/dev/null || { echo "reference result differs" >&2; exit 1; }
  rm -f "$work/ref.zip"
  ref_s=$(best "$ref_s" "$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')")
  for k in $(cat "$work/t1" "$work/t2"); do ref_kib=$(( k > ref_kib ? k : ref_kib )); done
done
awk -v os="$ours_s" -v ok="$ours_kib" -v rs="$ref_s" -v rk="$ref_kib" 'BEGIN {
  printf "ours %.2f s (peak %d KiB) | openssl + unzip %.2f s (peak %d KiB) | ratio %.2f\n",
    os, ok, rs, rk, os / rs }'
echo "Best of ${RUNS:-3} runs; ratio below 1: ours is faster."
