#!/usr/bin/env bash
# cmake --install and cpack -G DEB: voxpack lands in bin/, the stubs in
# share/voxkit/, and voxpack run from a scratch root finds its stub there.
#   test_install.sh BUILD_DIR
set -u
build=$(realpath "$1")
here=$(dirname "$(realpath "$0")")
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
passes=0

check() {
  local what=$1
  shift
  if "$@" >"$work/out" 2>&1; then passes=$((passes + 1)); else echo "FAILED: $what"; cat "$work/out"; failures=$((failures + 1)); fi
}

stub=$(sed -n 's/^VOX_STUB:FILEPATH=//p' "$build/CMakeCache.txt")
check "cmake --install" cmake --install "$build" --prefix "$work/prefix"
check "voxpack in bin/" test -x "$work/prefix/bin/voxpack"
if [ -f "$stub" ]; then check "the stub in share/voxkit/" cmp "$stub" "$work/prefix/share/voxkit/voxstub.exe"; fi

check "cpack -G DEB" cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb"
deb=$(ls "$work"/deb/*.deb 2>/dev/null | head -1)
check "dpkg -x" dpkg -x "$deb" "$work/root"
usr=$work/root/usr
check "voxpack in /usr/bin" test -x "$usr/bin/voxpack"
# Without a Windows build there is no stub to install: a stand-in goes
# where install puts the stubs.
if [ ! -f "$usr/share/voxkit/voxstub.exe" ]; then
  mkdir -p "$usr/share/voxkit" && python3 "$here/fake_stub.py" "$usr/share/voxkit/voxstub.exe"
fi
mkdir -p "$work/src" && printf 'MZ' >"$work/src/setup.exe"
check "the installed voxpack finds its stub" env -u VOXKIT_STUB "$usr/bin/voxpack" package "$work/src" -o "$work/out.exe"
check "and the package holds it" cmp -n "$(stat -c %s "$usr/share/voxkit/voxstub.exe")" "$usr/share/voxkit/voxstub.exe" "$work/out.exe"

echo "$passes passed, $failures failed"
[ "$failures" = 0 ]
