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

# Wall seconds, peak resident KiB and CPU seconds (user + system) of one command.
measure() {
  /usr/bin/time -f '%e %M %U %S' -o "$work/time" "$@" || return 1
  awk '{ printf "%s %s %.2f\n", $1, $2, $3 + $4 }' "$work/time"
}

# The smaller of two times; the second when the first is empty.
best() { awk -v a="$1" -v b="$2" 'BEGIN { print (a == "" || b + 0 < a + 0) ? b : a }'; }

printf '%5s | %7s %6s %5s %9s | %7s %6s %5s %9s | %6s %6s\n' MiB 'ours s' 'MiB/s' cpu_s \
  peak_KiB 'ref s' 'MiB/s' cpu_s peak_KiB 'wall' 'cpu'
for mib in "${sizes[@]}"; do
  "$bin/bench_text_export" text "$mib" "$work/text"
  "$bin/lorvante-pack" --text "$work/text" "$work/in.des"
  cat "$work/in.des" >/dev/null  # both sides read it from the page cache

  ours_s=; ours_kib=0; ours_cpu=; ref_s=; ref_kib=0; ref_cpu=
  for run in $(seq 1 "${RUNS:-3}"); do
    read -r s kib cpu < <(measure "$bin/bench_text_export" convert "$work/in.des" "$work/out.txt")
    cmp -s "$work/out.txt" "$work/text" || { echo "our output differs at $mib MiB" >&2; exit 1; }
    rm -f "$work/out.txt" "$TMPDIR"/*/*
    ours_s=$(best "$ours_s" "$s"); ours_cpu=$(best "$ours_cpu" "$cpu")
    ours_kib=$(( kib > ours_kib ? kib : ours_kib ))

    # The pipeline's two processes: its wall time, the larger of their peaks, their CPU time.
    start=$(date +%s.%N)
    /usr/bin/time -f '%M %U %S' -o "$work/t1" \
      openssl enc -d -des-ecb -nopad -K "$key" -provider legacy -provider default -in "$work/in.des" |
      { /usr/bin/time -f '%M %U %S' -o "$work/t2" gzip -dc >"$work/ref.txt" || true; }
    end=$(date +%s.%N)
    cmp -s "$work/ref.txt" "$work/text" || { echo "reference output differs at $mib MiB" >&2; exit 1; }
    rm -f "$work/ref.txt"
    s=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.2f", b - a }')
    ref_s=$(best "$ref_s" "$s")
    for kib in $(awk '{ print $1 }' "$work/t1" "$work/t2"); do
      ref_kib=$(( kib > ref_kib ? kib : ref_kib ))
    done
    ref_cpu=$(best "$ref_cpu" "$(awk '{ c += $2 + $3 } END { printf "%.2f", c }' "$work/t1" "$work/t2")")
  done

  awk -v m="$mib" -v os="$ours_s" -v oc="$ours_cpu" -v ok="$ours_kib" -v rs="$ref_s" \
    -v rc="$ref_cpu" -v rk="$ref_kib" 'BEGIN {
    printf "%5d | %7.2f %6.1f %5.2f %9d | %7.2f %6.1f %5.2f %9d | %6.2f %6.2f\n",
      m, os, m / os, oc, ok, rs, m / rs, rc, rk, os / rs, oc / rc
  }'
done
echo "Best of ${RUNS:-3} runs. wall, cpu: our time / the reference's (below 1: faster); cpu counts"
echo "user + system time of all processes. Peaks: resident set; the reference's is the larger of"
echo "its two processes."
