#!/usr/bin/env bash
# voxpack package from the outside: what goes into a package (the folder's
# contents at the root, voxctrl.ach with voxinst.ini and the banner), the
# settings file's form, and the refusals that must leave nothing behind.
# With BUILD_DIR, also cmake --install and cpack -G DEB of that build: the
# unpacked Debian package's voxpack finds its stub in share/voxkit.
#   test_voxpack_package.sh VOXPACK [BUILD_DIR]
set -u
voxpack=$1
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"

names() { "$voxpack" list --json "$1" | python3 -c 'import json,sys; print(" ".join(sorted(e["name"] for e in json.load(sys.stdin)["entries"])))'; }
# voxinst.ini of a package as UTF-8 text.
settings_of() {
  rm -rf "$work/ctl" "$work/ini" && mkdir -p "$work/ctl" "$work/ini"
  "$voxpack" extract "$1" -o "$work/ctl" voxctrl.ach >/dev/null 2>&1 &&
    "$voxpack" extract "$work/ctl/voxctrl.ach" -o "$work/ini" >/dev/null 2>&1 &&
    python3 -c 'import sys; d=open(sys.argv[1],"rb").read(); assert d[:2]==b"\xff\xfe"; print(d[2:].decode("utf-16-le"))' \
      "$work/ini/voxinst.ini"
}

mkdir -p "$work/src/docs"
echo "hello" >"$work/src/readme.txt"
echo "text" >"$work/src/docs/a.txt"
printf 'MZ stand-in installer' >"$work/src/setup.exe"
fake_stub() { python3 "$(dirname "$0")/fake_stub.py" "$@"; }
fake_stub "$work/stub.exe"

# Defaults: the folder's name, setup.exe, a usable destination.
check "plain package" expect_code 0 "$voxpack" package "$work/src" -o "$work/a.exe" --stub "$work/stub.exe"
check "contents at the root" test "$(names "$work/a.exe")" = "docs\\ docs\\a.txt readme.txt setup.exe voxctrl.ach"
check "the summary on standard output" grep -q "wrote .*a.exe" "$work/out"
check "-q: no summary" expect_code 0 "$voxpack" package "$work/src" -o "$work/q.exe" --stub "$work/stub.exe" -q
check "-q: nothing printed" test ! -s "$work/out" -a ! -s "$work/err"
mkdir -p "$work/src/.git" && echo x >"$work/src/.git/HEAD"
check "excludes" expect_code 0 "$voxpack" package "$work/src" -o "$work/ex.exe" --stub "$work/stub.exe" -x '*.TXT' --exclude-vcs
check "what they leave out stays out, voxctrl.ach stays in" test "$(names "$work/ex.exe")" = "docs\\ setup.exe voxctrl.ach"
rm -rf "$work/src/.git"
ini=$(settings_of "$work/a.exe")
check "name from the folder" grep -q '^Name="src"' <<<"$ini"
check "installer found" grep -q '^SetupApp="setup.exe"' <<<"$ini"
check "usable destination" grep -qF 'DefaultTarget="$(ProgramFiles)\$(AppName)"' <<<"$ini"

# Options over an --ini file; any text survives in quotes.
printf '[Stowage]\nName=From Ini\nTitle=Kept\nLCID=1031\n' >"$work/voxinst.ini"
check "options and ini" expect_code 0 "$voxpack" package "$work/src" -o "$work/b.exe" --stub "$work/stub.exe" \
  --ini "$work/voxinst.ini" --name ' Прибор "x" ' --title-color 255,0,0 --extract-to-temp 0 --log "$work/run.log"
ini=$(settings_of "$work/b.exe")
check "option wins" grep -qF 'Name=" Прибор "x" "' <<<"$ini"
check "ini kept" grep -q '^Title="Kept"' <<<"$ini" && check "ini language" grep -q '^LCID="1031"' <<<"$ini"
check "colour" grep -q '^TitleFontColor="255,0,0"' <<<"$ini"
check "log written" grep -q 'INFO .*voxpack package' "$work/run.log"

# A settings file's problems: every bad line named, another section warned
# about, text in neither encoding refused with its line.
printf '[Stowage]\nName=x\nLCDI=1\ngarbage\n[Other]\nFoo=1\n' >"$work/bad.ini"
check "bad settings, exit 2" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/stub.exe" --ini "$work/bad.ini"
check "each bad line named" eval 'grep -q "bad.ini:3: unknown setting .LCDI." "$work/err" && grep -q "bad.ini:4: not a setting" "$work/err"'
check "another section warned about" grep -q "warning: .*bad.ini:5: section \[Other\]" "$work/err"
printf '[Stowage]\nName=caf\xe9\n' >"$work/latin1.ini"
check "neither UTF-8 nor UTF-16, exit 2" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/stub.exe" --ini "$work/latin1.ini"
check "its line named" says "latin1.ini:2: neither UTF-8"

# Refusals: a clear line, a usage exit code, no output file.
rm -f "$work/src/setup.exe"
check "no installer" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/stub.exe"
check "no installer says how" says "--setup-app"
printf 'MZ' >"$work/src/setup.exe"
check "bad colour" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/stub.exe" --title-color red
check "bad flag value" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/stub.exe" --show-overwrite 2
echo "not a png" >"$work/banner.png"
check "bad banner" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/stub.exe" --banner "$work/banner.png"
check "bad banner named" says "banner.png"
check "a text as the stub" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/src/readme.txt"
check "a text as the stub named" says "readme.txt: not a Windows program"
check "missing stub" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/none.exe"
check "existing output kept" expect_code 2 "$voxpack" package "$work/src" -o "$work/a.exe" --stub "$work/stub.exe"
# The 64-bit stub: named by --arch x64, found through $VOXKIT_STUB64 or as
# voxstub64.exe beside voxpack, and a stub of the other kind refused.
fake_stub "$work/stub32.exe" 14C
mkdir -p "$work/bin"
cp "$voxpack" "$work/bin/voxpack"
fake_stub "$work/bin/voxstub64.exe" 8664
check "x64 stub beside voxpack" expect_code 0 env -u VOXKIT_STUB64 "$work/bin/voxpack" package "$work/src" -o "$work/x64.exe" --arch x64
check "x64 package holds that stub" cmp -n 128 "$work/x64.exe" "$work/bin/voxstub64.exe"
check "x64 stub from the environment" expect_code 0 env VOXKIT_STUB64="$work/bin/voxstub64.exe" "$voxpack" package "$work/src" -o "$work/x64.exe" --arch x64 --force
check "a 32-bit stub for x64" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --arch x64 --stub "$work/stub32.exe"
check "a 32-bit stub for x64 named" says "stub32.exe: not a Windows program for --arch x64"
check "unknown arch" expect_code 2 "$voxpack" package "$work/src" -o "$work/c.exe" --arch arm64 --stub "$work/stub.exe"

# SOURCE_DATE_EPOCH: two packages of copies of one folder, made at other
# times from other folders with other -j, are the same bytes, and hold no
# path of this machine.
mkdir -p "$work/r1" "$work/r2" && cp -a "$work/src" "$work/r1/src" && cp -a "$work/src" "$work/r2/src"
export SOURCE_DATE_EPOCH=1700000000
check "reproducible package" expect_code 0 "$voxpack" package "$work/r1/src" -o "$work/r1/s.exe" --stub "$work/stub.exe" -j 1
sleep 1
(cd "$work/r2" && "$voxpack" package src -o s.exe --stub "$work/stub.exe" -j 2 >/dev/null)
unset SOURCE_DATE_EPOCH
check "the same bytes" cmp "$work/r1/s.exe" "$work/r2/s.exe"
check "no path of the build machine" eval '! strings -el "$work/r1/s.exe" | grep -q "$work"'

: >"$work/src/docs/aux.txt"
check "a name Windows cannot hold, exit 1" expect_code 1 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/stub.exe"
check "it is named" says "docs/aux.txt: refused: a device name"
check "nothing written" test ! -e "$work/c.exe"
rm "$work/src/docs/aux.txt"

printf 'x' >"$work/src/voxctrl.ach"
check "reserved name" expect_code 1 "$voxpack" package "$work/src" -o "$work/c.exe" --stub "$work/stub.exe"
check "nothing half-written" test -z "$(ls "$work" | grep '^c\.exe')"
rm "$work/src/voxctrl.ach"

# An output inside the source: neither it, the one it replaces nor the work
# folder goes in; a folder of the author's named like a work folder stays.
mkdir -p "$work/src/in.exe.work" && echo mine >"$work/src/in.exe.work/keep.txt"
check "package into its source" expect_code 0 "$voxpack" package "$work/src" -o "$work/src/in.exe" --stub "$work/stub.exe"
check "again, over the first" expect_code 0 "$voxpack" package "$work/src" -o "$work/src/in.exe" --stub "$work/stub.exe" --force
check "only the source goes in" test "$(names "$work/src/in.exe")" = "docs\\ docs\\a.txt in.exe.work\\ in.exe.work\\keep.txt readme.txt setup.exe voxctrl.ach"
check "the author's folder kept, no work folder left" test "$(ls "$work/src" | tr '\n' ' ')" = "docs in.exe in.exe.work readme.txt setup.exe "
check "create into its source" expect_code 0 "$voxpack" create "$work/src/self.ach" "$work/src" -r
check "again, over the first" expect_code 0 "$voxpack" create "$work/src/self.ach" "$work/src" -r --force
check "the archive holds neither" test -z "$("$voxpack" list "$work/src/self.ach" | grep 'self\.ach')"

# Installed: voxpack in bin/, the stubs in share/voxkit/ (those of the
# Windows builds when they were there, else a stand-in put where install
# puts them), and a Debian package of the same unpacked with dpkg -x.
if [ -n "${2:-}" ]; then
  build=$(realpath "$2")
  stub=$(sed -n 's/^VOX_STUB:FILEPATH=//p' "$build/CMakeCache.txt")
  check "cmake --install" expect_code 0 cmake --install "$build" --prefix "$work/prefix"
  check "voxpack in bin/" test -x "$work/prefix/bin/voxpack"
  [ -f "$stub" ] && check "the stub in share/voxkit/" cmp "$stub" "$work/prefix/share/voxkit/voxstub.exe"
  check "cpack -G DEB" expect_code 0 cpack -G DEB --config "$build/CPackConfig.cmake" -B "$work/deb"
  check "dpkg -x" expect_code 0 dpkg -x "$(ls "$work"/deb/*.deb | head -1)" "$work/root"
  usr=$work/root/usr
  check "voxpack in /usr/bin" test -x "$usr/bin/voxpack"
  [ -f "$usr/share/voxkit/voxstub.exe" ] || { mkdir -p "$usr/share/voxkit" && fake_stub "$usr/share/voxkit/voxstub.exe"; }
  check "the installed voxpack finds its stub" expect_code 0 env -u VOXKIT_STUB "$usr/bin/voxpack" package "$work/src" -o "$work/inst.exe"
  check "and the package holds it" cmp -n "$(stat -c %s "$usr/share/voxkit/voxstub.exe")" "$usr/share/voxkit/voxstub.exe" "$work/inst.exe"
fi

report
