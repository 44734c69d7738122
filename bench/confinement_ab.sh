#!/usr/bin/env bash
# What the kernel's confinement costs the folder export, and what one flush of the file system at
# the end would cost: the conversion of a tagged file of 20,000 small files (1-8 KiB in 200
# folders, as compare.sh's "small") and of 2000 files of 50 KiB and one of 100 MiB ("folder"),
# run in turns confined and with LORVANTE_CONFINE=0, then `sync -f` on the result (the syncfs a
# run would make). Medians of wall times; the machine may be shared, so the turns alternate.
# Every run writes into a fresh folder and nothing is deleted before the end (see compare.sh:
# a file system where many files were just deleted makes files more slowly).
#
# Usage: [RUNS=n] bench/confinement_ab.sh [BUILD_DIR] [small|folder ...]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
shapes=("$@")
[ ${#shapes[@]} -gt 0 ] || shapes=(small folder)
runs=${RUNS:-7}
bin=$build/bin
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"

make_small() {
  python3 - "$work/src" "$work/a.zip" <<'PY'
import os, random, sys, zipfile
src, archive = sys.argv[1], sys.argv[2]
rng = random.Random(20000)
words = [b"raktar", b"keszlet", b"osszesen", b"tetel", b"forint", b"szamla", b"iroda", b"sor"]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for folder in range(200):
        for i in range(100):
            size = rng.randint(1024, 8192)
            z.writestr("d%03d/f%03d.txt" % (folder, i), b" ".join(rng.choice(words) for _ in range(size // 4))[:size])
PY
}
make_folder() {
  "$bin/bench_text_export" text 100 "$work/large.txt"
  python3 - "$work/large.txt" "$work/a.zip" <<'PY'
import sys, zipfile
large, archive = sys.argv[1], sys.argv[2]
block = open(large, "rb").read()
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for i in range(2000):
        z.writestr("files/f%04d.txt" % i, block[i * 51200:(i + 1) * 51200])
    z.write(large, "large.txt")
PY
}

median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
seconds() { local start=$1 end; end=$(date +%s.%N); echo "$end - $start" | bc; }

for shape in "${shapes[@]}"; do
  rm -f "$work/a.zip" "$work/a.des"
  "make_$shape"
  "$bin/lorvante-pack" --zip "$work/a.zip" "$work/a.des"
  : >"$work/on" && : >"$work/off" && : >"$work/sync"
  for ((i = 0; i < runs; i++)); do
    # The order turns each round.
    modes=(on off)
    [ $((i % 2)) = 1 ] && modes=(off on)
    for mode in "${modes[@]}"; do
      out=$work/out-$shape-$i-$mode
      mkdir "$out" && sync
      start=$(date +%s.%N)
      if [ $mode = on ]; then
        "$bin/bench_folder_export" "$work/a.des" "$out"
      else
        LORVANTE_CONFINE=0 "$bin/bench_folder_export" "$work/a.des" "$out"
      fi
      seconds "$start" >>"$work/$mode"
      if [ $mode = off ]; then
        start=$(date +%s.%N)
        sync -f "$out"
        seconds "$start" >>"$work/sync"
      fi
    done
  done
  echo "$shape: confined $(median <"$work/on") s, unconfined $(median <"$work/off") s," \
    "syncfs after it $(median <"$work/sync") s (medians of $runs)"
done
