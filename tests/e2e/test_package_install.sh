#!/usr/bin/env bash
# One package of a Windows build, run for real: built by the native voxpack
# with that build's stub, installed with /QUIET (every extracted byte and a
# file time compared with the source), then started with /RUN so that the
# installer (fake_installer.exe) reports the command line it was given and
# its exit code becomes the stub's.
#
# A short check for machines where the build's Wine is too slow for the
# whole suites (32-bit Wine through qemu-user): VOX_WINE_TIMEOUT gives each
# Wine process its limit.
#   test_package_install.sh NATIVE_VOXPACK WINDOWS_BUILD_DIR
set -uo pipefail
voxpack=$1
build=$(cd "$2" && pwd)
stub=$build/app/voxstub.exe
installer=$build/tests/fake_installer.exe
for f in "$voxpack" "$stub" "$installer" "$build/wine-run"; do
  [ -e "$f" ] || { echo "FAILED: $f is missing (build the native and Windows targets first)"; exit 1; }
done
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

check() {
  local what=$1
  shift
  if "$@"; then echo "ok: $what"; else echo "FAILED: $what"; failures=$((failures + 1)); fi
}
# A Linux path as Wine's Z: drive shows it.
win() { printf 'Z:%s' "${1//\//\\}"; }
run_package() { "$build/wine-run" "$work/pkg.exe" "$@" >>"$work/wine.log" 2>&1; }

src=$work/src
mkdir -p "$src/sub/deep" "$src/empty"
for i in $(seq 1 12); do seq 1 $((i * 400)) >"$src/sub/file$i.txt"; done
head -c 500000 /dev/urandom >"$src/sub/deep/random.bin"
: >"$src/zero.txt"
echo "accents" >"$src/$(printf 'r\xc3\xa9sum\xc3\xa9').txt"
cp "$installer" "$src/fake_installer.exe"
touch -d '2011-03-04 05:06:07' "$src/sub/file3.txt"

check "package built with $(basename "$build")'s stub" \
  "$voxpack" package "$src" -o "$work/pkg.exe" --stub "$stub" --setup-app fake_installer.exe \
  --default-target "$(win "$work/dest")"

check "/QUIET install exits 0" run_package /QUIET
# The control archive is unpacked beside the files, as one of the payload's.
check "every byte installed" diff -r -x voxctrl.ach "$src" "$work/dest"
check "file time kept" test "$(stat -c %Y "$work/dest/sub/file3.txt" 2>/dev/null)" = "$(stat -c %Y "$src/sub/file3.txt")"
check "a quiet run starts no installer" test ! -e "$work/record.txt"

mkdir -p "$work/run"
cp "$installer" "$work/run/fake_installer.exe"
status=0
VOX_E2E_RECORD=$(win "$work/record.txt") VOX_E2E_EXIT=5 run_package /RUN "$(win "$work/run")" || status=$?
check "/RUN: the installer's exit code is the stub's" test "$status" = 5
cmd=$(sed -n 's/^cmd=//p' "$work/record.txt" 2>/dev/null | tr -d '\r')
exe=$(sed -n 's/^exe=//p' "$work/record.txt" 2>/dev/null | tr -d '\r')
check "/RUN: the installer started from the given folder" test "$exe" = "$(win "$work/run")\\fake_installer.exe"
# The default parameters: -r "<the package's short path>" --vox.
check "/RUN: the installer's parameters" eval '[[ "$cmd" == *fake_installer.exe*" -r \""*"\" --vox" ]]'

echo "installer command line: $cmd"
if [ "$failures" -gt 0 ]; then
  echo "== Wine's output"
  tail -n 30 "$work/wine.log"
  echo "$failures check(s) of the $(basename "$build") package failed"
  exit 1
fi
echo "the $(basename "$build") package installed and ran its installer"
