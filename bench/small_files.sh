#!/usr/bin/env bash
# Many small conversions: the program next to the shell's pipeline that does the same work
# (openssl enc -d -des-ecb | gzip -dc), in turns (every contender once per round, the order
# rotating), with medians of the rounds.
#
#   single   one small bare file in a fresh process: lorvante --batch -o OUT FILE | the pipeline
#   batch    N small files: one lorvante --batch -o DIR over all of them | a shell loop of the
#            pipeline, one per file | a shell loop of lorvante, one process per file (as a file
#            manager or xargs starts it)
#   version  lorvante --version alone, and the number of shared libraries a terminal run loads
#
# Per contender: the median wall time of a round, the time per file, the minor page faults per
# file (all processes of the round, from /usr/bin/time) and the highest peak resident set of any
# one process. Every result is compared with its source. The files are 1-8 KiB of report-like
# text (SIZE_MIN, SIZE_MAX bytes); the work folder is made by mktemp in $TMPDIR.
#
# Usage: [RUNS=n] [FILES=n] bench/small_files.sh [BUILD_DIR]
#        (the batch uses every core the process may run on: taskset -c 0 bench/small_files.sh
#        measures on one)
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
build=${1:-$here/build}
runs=${RUNS:-7}
files=${FILES:-200}
bin=$build/bin
for program in lorvante lorvante-pack bench_text_export; do
  [ -x "$bin/$program" ] || { echo "missing $bin/$program: build it first" >&2; exit 2; }
done
for tool in openssl gzip /usr/bin/time python3; do
  command -v "$tool" >/dev/null || { echo "missing $tool (scripts/setup installs it)" >&2; exit 2; }
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export TMPDIR=$work/tmp  # the program's private temporary folder goes here
mkdir -p "$TMPDIR" "$work/src" "$work/des"
key=$("$bin/bench_text_export" key)
# The terminal, as on a server: no display, no toolkit platform.
unset DISPLAY WAYLAND_DISPLAY QT_QPA_PLATFORM
lorvante=$bin/lorvante

python3 - "$work/src" "$files" "${SIZE_MIN:-1024}" "${SIZE_MAX:-8192}" <<'PY'
import os, random, sys
folder, count, low, high = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(33)
words = [b"raktar", b"keszlet", b"osszesen", b"tetel", b"forint", b"szamla", b"iroda", b"sor",
         b"oszlop", b"datum", b"1", b"15", b"230", b"4500", b"jelentes", b"hatarido", b"\r\n"]
for i in range(count):
    size = rng.randint(low, high)
    text = b" ".join(rng.choice(words) for _ in range(size // 4))[:size]
    with open(os.path.join(folder, "r%05d.txt" % i), "wb") as out:
        out.write(text)
PY
for source in "$work"/src/*.txt; do
  name=$(basename "$source")
  "$bin/lorvante-pack" --text "$source" "$work/des/$name.des"
done
single=$work/des/r00000.txt.des
cat "$work"/des/* >/dev/null  # every contender reads them from the page cache

# timed LABEL COMMAND...: one measured process tree; appends "wall minflt peak" to the label's
# results (time's figures cover the command and every process it waited for; the wall time is
# taken here, to the microsecond).
timed() {
  local label=$1 start end
  shift
  start=$(date +%s%N)
  /usr/bin/time -f '%R %M' -o "$work/time" "$@" >/dev/null 2>"$work/err" || true
  end=$(date +%s%N)
  echo "$(((end - start) / 1000)) $(cat "$work/time")" >>"$work/results.$label"
}

# The pipeline of one file, each of its two processes measured, the wall time of both together.
single_pipeline_timed() {
  local start end
  start=$(date +%s%N)
  /usr/bin/time -f '%R %M' -o "$work/time1" openssl enc -d -des-ecb -nopad -K "$key" \
    -provider legacy -provider default -in "$single" |
    { /usr/bin/time -f '%R %M' -o "$work/time2" gzip -dc >"$work/out.txt" 2>/dev/null || true; }
  end=$(date +%s%N)
  awk -v wall=$(((end - start) / 1000)) '{ faults += $1; if ($2 > peak) peak = $2 }
    END { print wall, faults, peak }' "$work/time1" "$work/time2" >>"$work/results.single_pipeline"
}

pipeline() {  # pipeline INPUT OUTPUT
  openssl enc -d -des-ecb -nopad -K "$key" -provider legacy -provider default -in "$1" |
    { gzip -dc >"$2" 2>/dev/null || true; }
}
export -f pipeline
export key

check_single() { cmp -s "$work/out.txt" "$work/src/r00000.txt" || { echo "$1: wrong result" >&2; exit 1; }; }
check_batch() {
  local name
  for source in "$work"/src/*.txt; do
    name=$(basename "$source")
    cmp -s "$work/out/$name" "$source" || { echo "$1: $name differs" >&2; exit 1; }
  done
}

single_ours() { timed single_ours "$lorvante" --batch -o "$work/out.txt" "$single"; check_single ours; }
single_pipeline() { single_pipeline_timed; check_single pipeline; }
batch_ours() { timed batch_ours "$lorvante" --batch -o "$work/out" "$work"/des/*.des; check_batch ours; }
batch_loop() {
  timed batch_loop bash -c 'for f in "$1"/des/*.des; do n=${f##*/}; pipeline "$f" "$1/out/${n%.des}"; done' _ "$work"
  check_batch loop
}
batch_each() {
  timed batch_each bash -c 'for f in "$1"/des/*.des; do "$2" --batch -o "$1/out/" "$f"; done' _ "$work" "$lorvante"
  check_batch "one process per file"
}
version_ours() { timed version_ours "$lorvante" --version; }

round_of() {  # round_of ROUND CONTENDER...: each once, the order rotating
  local round=$1
  shift
  local count=$#
  local list=("$@")
  for k in $(seq 0 $((count - 1))); do
    rm -rf "$work/out" "$work/out.txt" "${TMPDIR:?}"/*
    mkdir -p "$work/out"
    "${list[$(((k + round) % count))]}"
  done
}
for round in $(seq 1 "$runs"); do
  round_of "$round" single_ours single_pipeline version_ours
  round_of "$round" batch_ours batch_loop batch_each
done

libraries=$(LD_DEBUG=libs "$lorvante" --batch -o "$work/out.txt" "$single" 2>&1 | grep -c 'calling init' || true)
echo "files: $files of $(du -sk --apparent-size "$work/src" | cut -f1) KiB of text; $runs rounds;" \
  "cores: $(nproc); a terminal run loads $libraries shared objects"
python3 - "$work" "$files" <<'PY'
import statistics, sys
work, files = sys.argv[1], int(sys.argv[2])
rows = [("single", "single_ours", "lorvante --batch -o (fresh process)", 1),
        ("single", "single_pipeline", "openssl | gzip -dc", 1),
        ("single", "version_ours", "lorvante --version", 1),
        ("batch", "batch_ours", "lorvante --batch over all", files),
        ("batch", "batch_loop", "shell loop of openssl | gzip -dc", files),
        ("batch", "batch_each", "shell loop of lorvante, one per file", files)]
print("%-7s %-38s %9s %10s %12s %10s" % ("case", "contender", "wall s", "ms/file", "minflt/file",
                                         "peak KiB"))
medians = {}
for case, label, text, count in rows:
    with open("%s/results.%s" % (work, label)) as f:
        values = [tuple(float(x) for x in line.split()) for line in f if line.strip()]
    wall = statistics.median(v[0] for v in values) / 1e6
    faults = statistics.median(v[1] for v in values)
    peak = max(v[2] for v in values)
    medians[label] = wall
    print("%-7s %-38s %9.3f %10.2f %12.0f %10d" % (case, text, wall, wall * 1000 / count,
                                                   faults / count, peak))
print("single file: pipeline / ours = %.2fx; batch: loop / ours = %.2fx, one process per file"
      " / ours = %.2fx" % (medians["single_pipeline"] / medians["single_ours"],
                           medians["batch_loop"] / medians["batch_ours"],
                           medians["batch_each"] / medians["batch_ours"]))
PY
