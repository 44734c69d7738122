#!/usr/bin/env bash
# DES-ECB decryption speed: every kernel of the program (the "table" kernel is the library
# routine the program used before) next to the openssl command line tool, on one file of random
# bytes, in one run. Checks that openssl and the program produce the same plaintext.
#   bench/des_bench.sh [BUILD_DIR] [MIB]      (defaults: build, 256)
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
mib=${2:-256}
key=133457799BBCDFF1

ninja -C "$build" des_bench >/dev/null
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
head -c "$((mib << 20))" /dev/urandom > "$work/cipher.bin"

echo "DES-ECB decryption of $mib MiB on one core; MB/s = 10^6 bytes per second of CPU time"
"$build/bin/des_bench" --key "$key" --in "$work/cipher.bin" --out "$work/kernel.bin"

openssl_enc=(openssl enc -d -des-ecb -nopad -K "$key" -provider legacy -provider default
             -in "$work/cipher.bin" -out "$work/openssl.bin")
# CPU time (user + system) of the whole openssl process, best of three, like the program's
# figures, which count the decrypting thread's CPU time.
TIMEFORMAT='%3U %3S'
best=""
for _ in 1 2 3; do
  t=$( { time "${openssl_enc[@]}" >/dev/null 2>&1; } 2>&1 | awk '{ print $1 + $2 }')
  if [ -z "$best" ] || [ "$(echo "$t < $best" | bc -l)" = 1 ]; then best=$t; fi
done
printf '%-24s %10.1f   (openssl enc -d -des-ecb, whole process incl. file i/o)\n' "openssl-enc" \
  "$(echo "($mib * 1048576) / $best / 1000000" | bc -l)"
# openssl speed reports 1000s of bytes per second; -decrypt measures the decrypting direction.
speed=$(openssl speed -provider legacy -provider default -seconds 3 -bytes 16384 -decrypt \
          -evp des-ecb 2>/dev/null | awk 'toupper($1) == "DES-ECB" { v = $NF; sub(/k$/, "", v); print v / 1000 }')
if [ -n "$speed" ]; then
  printf '%-24s %10.1f   (openssl speed -decrypt -evp des-ecb, 16 KiB buffers)\n' "openssl-speed" "$speed"
fi
cmp "$work/kernel.bin" "$work/openssl.bin" && echo "plaintext identical to openssl's"
