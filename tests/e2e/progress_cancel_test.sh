# A large archive extracted into the folder the picker opens in (OK clicked in the picker's
# initial state), stopped with Escape in the progress window: the extraction ends early (fewer
# files than the archive holds, each of them whole), no window is left and the program exits 0.
source "$(dirname "$0")/x_session.sh"

# Small to make, long to extract: 2 GiB of zeros in 2000 deflated files of 1 MiB each, so that
# the extraction is still going when Escape arrives, however fast it has become.
files=2000
size=$((1024 * 1024))
python3 - "$work/big.zip" "$files" "$size" <<'PY'
import sys, zipfile
zeros = bytes(int(sys.argv[3]))
with zipfile.ZipFile(sys.argv[1], "w", zipfile.ZIP_DEFLATED, compresslevel=1) as archive:
    for i in range(int(sys.argv[2])):
        # Deep names: the window shows their middle left out and the file name whole.
        folder = f"adatok/{i % 20:02}/negyedeves-osszesites-a-reszlegek-szerint-bontva"
        archive.writestr(f"{folder}/kimutatas-{i:05}.bin", zeros)
PY
"$bin/lorvante-pack" --zip "$work/big.zip" "$work/big.zip.des" >/dev/null
rm "$work/big.zip"

start_program "$work/big.zip.des"
dialog=$(wait_window '^Open$')
click_ok "$dialog"
progress=$(wait_window '^LORVANTE$')
screenshot progress
press_until_gone "$progress" Escape
expect_exit 0
extracted=$(find "$HOME/Documents" -type f | wc -l)
[ "$extracted" -lt "$files" ] || fail "all $files files were extracted"
[ -z "$(find "$HOME/Documents" -type f ! -size "${size}c")" ] || fail "a file is left incomplete"
[ -z "$(xdotool search --onlyvisible --name . 2>/dev/null)" ] || fail "a window is left"
echo "ok: stopped after $extracted of $files files"
