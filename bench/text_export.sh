#!/usr/bin/env bash
# Speed and peak memory of the text export, end to end: a bare file holding N MiB of text is
# decrypted and decompressed by the conversion as the program runs it (bench_text_export), and
# the same ciphertext by the reference pipeline `openssl enc -d -des-ecb | gzip -dc`. Both
# outputs are compared with the text. Two sizes by default: the peak memory must not grow with
# the size.
#
# Each side runs RUNS times (default 3; the machine may be shared): the best time and the highest
# peak are shown.
#
# Usage: [RUNS=n] bench/text_export.sh [BUILD_DIR] [MIB ...]     (default: build 20 200)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
shift || true
sizes=("$@")
[ ${#sizes[@]} -gt 0 ] || sizes=(20 200)
bin=$build/bin
for program in lorvante-pack bench_text_export; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: build first" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp
mkdir -p "$TMPDIR"
key=$("$bin/bench_text_export" key)

# Wall seconds and peak resident KiB of one command: "seconds kib".
measure() {
  /usr/bin/time -f '%e %M' -o "$work/time" "$@" || return 1
  cat "$work/time"
}

# The smaller of two times; the second when the first is empty.
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }

printf '%6s %9s %9s %10s | %9s %9s %10s | %6s\n' MiB 'ours s' 'MiB/s' 'peak KiB' \
  'ref s' 'MiB/s' 'peak KiB' 'ratio'
for mib in "${sizes[@]}"; do
  "$bin/bench_text_export" text "$mib" "$work/text"
  "$bin/lorvante-pack" --text "$work/text" "$work/in.des"
  cat "$work/in.des" >/dev/null  # both sides read it from the page cache

  ours_s=; ours_kib=0; ref_s=; ref_kib=0
  for run in $(seq 1 "${RUNS:-3}"); do
    read -r s kib < <(measure "$bin/bench_text_export" convert "$work/in.des" "$work/out.txt")
    cmp -s "$work/out.txt" "$work/text" || { echo "our output differs at $mib MiB" >&2; exit 1; }
    rm -f "$work/out.txt" "$TMPDIR"/*/*
    ours_s=$(best "$ours_s" "$s"); ours_kib=$(( kib > ours_kib ? kib : ours_kib ))

    # The pipeline's two processes: its wall time, and the larger of their peaks.
    start=$(date +%s.%N)
    /usr/bin/time -f '%M' -o "$work/t1" \
      openssl enc -d -des-ecb -nopad -K "$key" -provider legacy -provider default -in "$work/in.des" |
      { /usr/bin/time -f '%M' -o "$work/t2" gzip -dc >"$work/ref.txt" || true; }
    end=$(date +%s.%N)
    cmp -s "$work/ref.txt" "$work/text" || { echo "reference output differs at $mib MiB" >&2; exit 1; }
    rm -f "$work/ref.txt"
    s=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    ref_s=$(best "$ref_s" "$s")
    for kib in $(cat "$work/t1") $(cat "$work/t2"); do ref_kib=$(( kib > ref_kib ? kib : ref_kib )); done
  done

  awk -v m="$mib" -v os="$ours_s" -v ok="$ours_kib" -v rs="$ref_s" -v rk="$ref_kib" 'BEGIN {
    printf "%6d %9.2f %9.1f %10d | %9.2f %9.1f %10d | %6.2f\n", m, os, m / os, ok, rs, m / rs, rk, os / rs
  }'
done
echo "ratio: our time / reference time (below 1: faster). Peaks: resident set of each program;"
echo "the reference's is the larger of its two processes."
