#!/usr/bin/env bash
# The speed comparison: each conversion of the program, end to end on generated data, next to
# the usual tools doing the same work, in turns (every contender once per round, the order
# rotating), with the median wall time, the median CPU time (user + system of all its
# processes) and the highest peak resident set of any one of its processes.
#
#   text    a bare file of TEXT_MIB (200) MiB of text, gzip -6, decrypted and decompressed:
#           ours (bench_text_export) | openssl enc -d -des-ecb | gzip -dc | the same | igzip -dc
#   folder  a tagged file of a zip with 2000 files of 50 KiB and one of 100 MiB (deflate -6),
#           decrypted and extracted: ours (bench_folder_export) | openssl, then unzip -o -q |
#           openssl, then bsdtar -xf | openssl, then 7z x
#   small   the same with 20,000 files of 1-8 KiB in 200 folders (about 90 MiB)
#
# Every result is compared with the generated source. Each run starts from warm caches, and
# nothing is deleted before the end (see settle; COLD=1 drops the caches before each run). The
# work folder is made by mktemp in $TMPDIR: a file system where many files were deleted shortly
# before (a test run's in /tmp) makes creating files slower for everyone for a while. The
# machine may be shared: the medians are shown, and the figures stay noisy.
#
# Usage: [RUNS=n] [TEXT_MIB=n] [COLD=1] bench/compare.sh [BUILD_DIR] [CASE ...]
#        (default: build text folder small; a wrapper such as TASKSET="taskset -c 0" goes in
#        front of every process of every contender)
#
# To add a case NAME: a function prepare_NAME (makes $work/NAME.des and the source to compare
# with), check_NAME (compares $work/out with it), the variable size_NAME (MiB of output) and
# the list contenders_NAME of functions that each convert $work/NAME.des into $work/out, every
# process started through `timed`. The first contender is ours.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
cases=("$@")
[ ${#cases[@]} -gt 0 ] || cases=(text folder small)
runs=${RUNS:-5}
bin=$build/bin
for program in lorvante-pack bench_text_export bench_folder_export; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: build it first" >&2; exit 2; }
done
"$here/scripts/setup"  # openssl, unzip, bsdtar (libarchive-tools), 7z, igzip (isal), /usr/bin/time
read -r -a wrapper <<<"${TASKSET:-}"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp  # the program's private temporary folder goes here
mkdir -p "$TMPDIR"
key=$("$bin/bench_text_export" key)

# timed COMMAND...: runs one process of a contender, adding its peak and CPU time to the run.
timed() {
  /usr/bin/time -f '%M %U %S' -o "$(mktemp "$work/proc.XXXXXX")" "${wrapper[@]}" "$@"
}

decrypt() {  # decrypt FROM_OFFSET INPUT OUTPUT: DES-ECB with the program's key, as openssl does
  tail -c +"$1" "$2" |
    timed openssl enc -d -des-ecb -nopad -K "$key" -provider legacy -provider default -out "$3"
}

# --- text: a gzip payload ------------------------------------------------------------------
size_text=${TEXT_MIB:-200}
prepare_text() {
  "$bin/bench_text_export" text "$size_text" "$work/text.src"
  "$bin/lorvante-pack" --text "$work/text.src" "$work/text.des"
}
check_text() { cmp -s "$work/out" "$work/text.src"; }
text_ours() { timed "$bin/bench_text_export" convert "$work/text.des" "$work/out"; }
text_pipeline() {
  timed openssl enc -d -des-ecb -nopad -K "$key" -provider legacy -provider default \
    -in "$work/text.des" | { timed gzip -dc >"$work/out" || true; }
}
text_igzip() {
  timed openssl enc -d -des-ecb -nopad -K "$key" -provider legacy -provider default \
    -in "$work/text.des" | { timed igzip -dc >"$work/out" || true; }
}
contenders_text=(text_ours text_pipeline text_igzip)

# --- folder: a zip payload -----------------------------------------------------------------
size_folder=200
prepare_folder() {
  mkdir -p "$work/folder.src/files"
  "$bin/bench_text_export" text 100 "$work/folder.src/large.txt"
  python3 - "$work/folder.src" "$work/folder.zip" <<'PY'
import os, sys, zipfile
src, archive = sys.argv[1], sys.argv[2]
with open(os.path.join(src, "large.txt"), "rb") as f:
    block = f.read(50 * 1024 * 2000)
for i in range(2000):
    with open(os.path.join(src, "files", "f%04d.txt" % i), "wb") as out:
        out.write(block[i * 51200:(i + 1) * 51200])
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for root, _, names in sorted(os.walk(src)):
        for name in sorted(names):
            path = os.path.join(root, name)
            z.write(path, os.path.relpath(path, src))
PY
  "$bin/lorvante-pack" --zip "$work/folder.zip" "$work/folder.des"
  rm -f "$work/folder.zip"
}
check_folder() { diff -rq "$work/folder.src" "$work/out" >/dev/null; }
folder_ours() { mkdir -p "$work/out" && timed "$bin/bench_folder_export" "$work/${1:-folder}.des" "$work/out"; }
folder_unzip() {  # the ciphertext starts after the 10-byte tag
  decrypt 11 "$work/${1:-folder}.des" "$work/ref.zip"
  mkdir -p "$work/out" && (cd "$work/out" && timed unzip -o -q "$work/ref.zip")
}
folder_bsdtar() {
  decrypt 11 "$work/${1:-folder}.des" "$work/ref.zip"
  mkdir -p "$work/out" && timed bsdtar -xf "$work/ref.zip" -C "$work/out"
}
folder_7z() {
  decrypt 11 "$work/${1:-folder}.des" "$work/ref.zip"
  mkdir -p "$work/out" && timed 7z x -y -bd -bso0 -o"$work/out" "$work/ref.zip"
}
contenders_folder=(folder_ours folder_unzip folder_bsdtar folder_7z)

# --- small: many small files -----------------------------------------------------------------
size_small=90
prepare_small() {
  mkdir -p "$work/small.src"
  python3 - "$work/small.src" "$work/small.zip" <<'PY'
import os, random, sys, zipfile
src, archive = sys.argv[1], sys.argv[2]
rng = random.Random(20000)
words = [b"raktar", b"keszlet", b"osszesen", b"tetel", b"forint", b"szamla", b"iroda", b"sor",
         b"oszlop", b"datum", b"1", b"15", b"230", b"4500", b"jelentes", b"hatarido"]
with zipfile.ZipFile(archive, "w", zipfile.ZIP_DEFLATED, compresslevel=6) as z:
    for folder in range(200):
        os.makedirs(os.path.join(src, "d%03d" % folder))
        for i in range(100):
            size = rng.randint(1024, 8192)
            text = b" ".join(rng.choice(words) for _ in range(size // 4))[:size]
            name = "d%03d/f%03d.txt" % (folder, i)
            with open(os.path.join(src, name), "wb") as out:
                out.write(text)
            z.write(os.path.join(src, name), name)
PY
  "$bin/lorvante-pack" --zip "$work/small.zip" "$work/small.des"
  rm -f "$work/small.zip"
  size_small=$(du -sm --apparent-size "$work/small.src" | cut -f1)
}
check_small() { diff -rq "$work/small.src" "$work/out" >/dev/null; }
small_ours() { folder_ours small; }
small_unzip() { folder_unzip small; }
small_bsdtar() { folder_bsdtar small; }
small_7z() { folder_7z small; }
contenders_small=(small_ours small_unzip small_bsdtar small_7z)

# --- measuring -------------------------------------------------------------------------------
median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# settle CASE: the same state of the file system before every run. A run's output is not deleted
# before the whole comparison ends, but set aside: after a deletion the file system avoids the
# freed inodes for half a minute (it has no journal here), and creating 20,000 files then costs
# several times more system time, more with every round. Every contender thus starts with warm
# caches and a file system that only grows. With COLD=1 (as root) the caches are dropped before
# each run as well, and the input, the programs and their libraries read back: every contender
# then also reads the file system's bitmaps and tables from the disk.
settle() {
  if [ -e "$work/out" ]; then
    kept=$((kept + 1))
    mv "$work/out" "$work/kept/$kept"
  fi
  sync
  if [ "${COLD:-0}" = 1 ] && [ -w /proc/sys/vm/drop_caches ]; then
    echo 3 >/proc/sys/vm/drop_caches
    cat "$work/$1.des" "${programs[@]}" >/dev/null 2>&1 || true
  fi
}
kept=0
mkdir -p "$work/kept"
# The programs of every contender and the libraries they load, read back after the caches are
# dropped: no contender starts from the disk.
programs=("$bin"/bench_text_export "$bin"/bench_folder_export "$build"/lib/*/lorvante/*.so
  "$(command -v openssl)" "$(command -v gzip)" "$(command -v igzip)" "$(command -v unzip)"
  "$(command -v bsdtar)" /usr/lib/p7zip/* /usr/lib/*/ossl-modules/*)
mapfile -t libraries < <(ldd "${programs[@]}" 2>/dev/null | awk '$3 ~ /^\// { print $3 }' | sort -u)
programs+=("${libraries[@]}")

# measure CASE CONTENDER: one run; appends "wall cpu peak" to $work/results.CONTENDER.
measure() {
  rm -rf "$work/ref.zip" "$work"/proc.* "${TMPDIR:?}"/*
  settle "$1"
  local start end
  start=$(date +%s.%N)
  "$2"
  end=$(date +%s.%N)
  "check_$1" || { echo "$2: the result differs from the source" >&2; exit 1; }
  awk -v a="$start" -v b="$end" '{ cpu += $2 + $3; if ($1 > peak) peak = $1 }
    END { printf "%.3f %.2f %d\n", b - a, cpu, peak }' "$work"/proc.* >>"$work/results.$2"
}

printf '%-7s %-14s %8s %8s %7s %10s %8s\n' case contender 'wall s' 'MiB/s' 'cpu s' 'peak KiB' 'ours x'
for case in "${cases[@]}"; do
  declare -n contenders="contenders_$case"
  declare -n size="size_$case"
  "prepare_$case"
  cat "$work/$case.des" >/dev/null  # every contender reads it from the page cache
  for round in $(seq 1 "$runs"); do
    count=${#contenders[@]}
    for k in $(seq 0 $((count - 1))); do  # the order rotates from round to round
      measure "$case" "${contenders[$(((k + round) % count))]}"
    done
  done
  ours_wall=
  for contender in "${contenders[@]}"; do
    wall=$(awk '{ print $1 }' "$work/results.$contender" | median)
    cpu=$(awk '{ print $2 }' "$work/results.$contender" | median)
    peak=$(awk '$3 > p { p = $3 } END { print p }' "$work/results.$contender")
    ours_wall=${ours_wall:-$wall}
    awk -v c="$case" -v n="${contender#"${case}_"}" -v w="$wall" -v s="$size" -v u="$cpu" \
      -v p="$peak" -v o="$ours_wall" \
      'BEGIN { printf "%-7s %-14s %8.2f %8.1f %7.2f %10d %8.2f\n", c, n, w, s / w, u, p, w / o }'
  done
  # The sources stay, as the outputs do, until the end: see settle.
done
echo "Medians of $runs runs in rotating order; peak: the largest resident set of one process."
echo "ours x: the contender's wall time over ours (above 1: ours is faster)."
