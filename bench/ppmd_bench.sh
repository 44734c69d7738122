#!/usr/bin/env bash
# PPMd (zip method 98) side by side: one entry of real text (C headers of the system, cut to
# DATA_MB megabytes, or the file DATA), stored by `7z a -tzip -mm=PPMd -mx=9` plus SWITCHES,
# extracted by the unzip library (unzip_bench_host: read, decode, check, write the file), by
# `7z x` and checked by `7z t`, in turns (every contender once per round, the order rotating).
# Shows the median wall time and the median CPU time (user + system) of RUNS rounds.
#
# The decoder refuses models over its memory limit (codecs/window_limit.h, 128 MiB). For files
# over 8 MB, -mx=9 asks for a 256 MiB model, so the default SWITCHES bring it to the limit;
# everything else is what -mx=9 chooses (order 12, the model cut down when full).
#
# Usage: [RUNS=n] [DATA_MB=n] [DATA=file] [SWITCHES=...] bench/ppmd_bench.sh [BUILD_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
host=$build/bin/unzip_bench_host
[ -x "$host" ] || { echo "missing $host: build it first" >&2; exit 2; }
"$here/scripts/setup"  # 7z, /usr/bin/time
runs=${RUNS:-5}
data_mb=${DATA_MB:-22}
switches=${SWITCHES:--mmem=128m}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src"
if [ -n "${DATA:-}" ]; then
  cp "$DATA" "$work/src/data.txt"
else
  find /usr/include -type f -name '*.h' -print0 | LC_ALL=C sort -z | xargs -0 cat 2>/dev/null |
    head -c "$((data_mb * 1000000))" >"$work/src/data.txt" || true
fi
read -r -a extra <<<"$switches"
(cd "$work/src" && 7z a -tzip -mm=PPMd -mx=9 "${extra[@]}" "$work/ppmd.zip" data.txt >/dev/null)
size=$(stat -c %s "$work/src/data.txt")
echo "data: $size bytes, archive: $(stat -c %s "$work/ppmd.zip") bytes (-mx=9 $switches)"

# timed COMMAND...: the one process of a contender, its times written to $work/time.
timed() { /usr/bin/time -f '%e %U %S' -o "$work/time" "$@"; }
ours() { timed "$host" "$work/ppmd.zip" "$work/out" >/dev/null; }
seven_x() { timed 7z x -y -bd -bso0 -o"$work/out" "$work/ppmd.zip"; }
seven_t() { timed 7z t -bd -bso0 "$work/ppmd.zip"; }
check_ours() { cmp -s "$work/out/data.txt" "$work/src/data.txt"; }
check_seven_x() { check_ours; }
check_seven_t() { true; }
contenders=(ours seven_x seven_t)

median() { sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }

# measure CONTENDER: one run; appends "wall cpu" to $work/results.CONTENDER.
measure() {
  rm -rf "$work/out" && mkdir "$work/out"
  "$1"
  "check_$1" || { echo "$1: the result differs from the source" >&2; exit 1; }
  awk '{ printf "%.2f %.2f\n", $1, $2 + $3 }' "$work/time" >>"$work/results.$1"
}

cat "$work/ppmd.zip" >/dev/null  # every contender reads it from the page cache
for round in $(seq 1 "$runs"); do
  for k in $(seq 0 $((${#contenders[@]} - 1))); do  # the order rotates from round to round
    measure "${contenders[$(((k + round) % ${#contenders[@]}))]}"
  done
done

printf '%-8s %8s %8s %7s %8s\n' contender 'wall s' 'MB/s' 'cpu s' 'ours x'
ours_wall=
for contender in "${contenders[@]}"; do
  wall=$(awk '{ print $1 }' "$work/results.$contender" | median)
  cpu=$(awk '{ print $2 }' "$work/results.$contender" | median)
  ours_wall=${ours_wall:-$wall}
  awk -v n="$contender" -v w="$wall" -v s="$size" -v u="$cpu" -v o="$ours_wall" \
    'BEGIN { printf "%-8s %8.2f %8.1f %7.2f %8.2f\n", n, w, s / w / 1e6, u, w / o }'
done
echo "Medians of $runs runs in rotating order. ours x: the contender's wall time over ours" \
  "(above 1: ours is faster)."
