#!/usr/bin/env bash
# The unzip library next to `unzip -o -q` on the same archive: 2000 small files and one large
# file (~200 MiB in all), made on the fly in a temporary folder. Usage:
#   bench/unzip_bench.sh [BUILD_DIR]    (default: build; needs the target unzip_bench_host)
set -euo pipefail
build=${1:-build}
host="$build/bin/unzip_bench_host"
[ -x "$host" ] || { echo "build $host first (ninja -C $build unzip_bench_host)" >&2; exit 2; }
command -v unzip >/dev/null && command -v zip >/dev/null || { echo "needs zip and unzip" >&2; exit 2; }

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/files"
# Compressible but not trivial contents: text-like lines with varying numbers.
python3 - "$work/src" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(42)
words = [bytes(rng.choice(b"abcdefghijklmnopqrstuvwxyz") for _ in range(rng.randint(2, 9))) for _ in range(4000)]
def text(size):
    out = bytearray()
    while len(out) < size:
        out += b" ".join(rng.choice(words) for _ in range(12)) + b" %d\n" % rng.randint(0, 10**9)
    return bytes(out[:size])
for i in range(2000):
    sub = os.path.join(root, "files", "d%02d" % (i % 40))
    os.makedirs(sub, exist_ok=True)
    with open(os.path.join(sub, "f%04d.txt" % i), "wb") as f:
        f.write(text(rng.randint(1000, 40000)))
block = text(8 << 20)
with open(os.path.join(root, "large.bin"), "wb") as f:
    for k in range(22):
        f.write(block[k:] + block[:k])
PY
(cd "$work/src" && zip -q -r -6 "$work/bench.zip" .)
bytes=$(du -sb "$work/src" | cut -f1)
echo "archive: $(du -b "$work/bench.zip" | cut -f1) bytes, $(find "$work/src" -type f | wc -l) files, $bytes bytes unpacked"

run() {  # name command...
  local best=
  for _ in 1 2 3; do
    rm -rf "$work/out" && mkdir "$work/out" && sync
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null
    end=$(date +%s.%N)
    local t
    t=$(echo "$end - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

t_unzip=$(run unzip -o -q "$work/bench.zip" -d "$work/out")
t_lib=$(run "$host" "$work/bench.zip" "$work/out")
cmp -s "$work/src/large.bin" "$work/out/large.bin" || { echo "large.bin differs" >&2; exit 1; }
diff -r -q "$work/src" "$work/out" >/dev/null || { echo "extracted tree differs" >&2; exit 1; }
mbps() { echo "scale=1; $bytes / $1 / 1000000" | bc; }
echo "unzip -o -q : ${t_unzip}s  $(mbps "$t_unzip") MB/s"
echo "libunzdll   : ${t_lib}s  $(mbps "$t_lib") MB/s"
echo "speed-up    : $(echo "scale=2; $t_unzip / $t_lib" | bc)x (best of 3 each)"
