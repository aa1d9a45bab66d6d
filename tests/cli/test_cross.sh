#!/usr/bin/env bash
# Archives written on Linux extract on Windows (voxpack.exe under Wine) and
# the other way round, byte for byte and with their times.
#   test_cross.sh VOXPACK VOXPACK_EXE WINE_RUN
set -u
native=$1
windows=$2
winerun=$3
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

# A Linux path as Wine's Z: drive shows it.
win() { printf 'Z:%s' "${1//\//\\}"; }
wine_voxpack() { "$winerun" "$windows" "$@" >"$work/wine.log" 2>&1; }

mkdir -p "$work/src/tree/sub/deep" "$work/src/tree/empty"
for i in $(seq 1 20); do seq 1 $((i * 300)) >"$work/src/tree/sub/file$i.txt"; done
head -c 700000 /dev/urandom >"$work/src/tree/sub/deep/random.bin"
: >"$work/src/tree/zero.txt"
echo "accents" >"$work/src/tree/$(printf 'r\xc3\xa9sum\xc3\xa9').txt"
touch -d '2010-05-06 07:08:09' "$work/src/tree/sub/file3.txt"

check "Linux create" "$native" create "$work/linux.ach" "$work/src/tree"
check "Windows extract of the Linux archive" wine_voxpack extract "$(win "$work/linux.ach")" -o "$(win "$work/on-windows")"
check "same tree on Windows" diff -r "$work/src/tree" "$work/on-windows/tree"
check "time kept on Windows" test "$(stat -c %Y "$work/on-windows/tree/sub/file3.txt")" = "$(stat -c %Y "$work/src/tree/sub/file3.txt")"

check "Windows create" wine_voxpack create "$(win "$work/windows.ach")" "$(win "$work/src/tree")" -m store
check "Linux test of the Windows archive" "$native" test "$work/windows.ach"
check "Linux extract of the Windows archive" "$native" extract "$work/windows.ach" -o "$work/on-linux"
check "same tree on Linux" diff -r "$work/src/tree" "$work/on-linux/tree"
check "time kept on Linux" test "$(stat -c %Y "$work/on-linux/tree/sub/file3.txt")" = "$(stat -c %Y "$work/src/tree/sub/file3.txt")"
check "Windows lists the Linux archive" wine_voxpack list --json "$(win "$work/linux.ach")"

# A self-extracting archive whose stored base name climbs out with '/',
# which Windows resolves: unsea on Windows keeps to its destination folder.
set_base_name() {
  python3 - "$1" "$2" <<'PY'
import struct, sys
path, name = sys.argv[1], sys.argv[2].encode("utf-16-le")
data = open(path, "rb").read()
end = data.rindex(b"\x55\x4d\x05\x0c")
comment, base = struct.unpack_from("<II", data, end + 44)
texts = end + 56
record = bytearray(data[end:texts])
struct.pack_into("<I", record, 48, len(name) // 2)
open(path, "wb").write(data[:end] + record + data[texts:texts + 2 * comment] + name + data[texts + 2 * (comment + base):])
PY
}
python3 "$(dirname "$0")/fake_stub.py" "$work/stub.exe" 14C 4000
"$native" create "$work/climb.ach" "$work/src/tree/zero.txt" >/dev/null
"$native" sea "$work/climb.ach" "$work/stub.exe" "$work/climb.exe" >/dev/null
set_base_name "$work/climb.exe" "../../climbed.ach"
mkdir -p "$work/unsea/in"
check "Windows unsea of a climbing base name" wine_voxpack unsea "$(win "$work/climb.exe")" "$(win "$work/unsea/in")"
check "the archive lands in the destination" test -f "$work/unsea/in/climbed.ach"
check "nothing lands outside it" test ! -e "$work/unsea/climbed.ach" -a ! -e "$work/climbed.ach"

[ "$failures" = 0 ] || cat "$work/wine.log"
report
