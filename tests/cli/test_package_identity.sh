#!/usr/bin/env bash
# A package's own icon and version information (voxpack package --icon,
# --version-info, section [VersionInfo] of --ini), written by voxpack into
# its copy of a real stub and read back with pefile: the values asked for,
# the stub's other resources byte for byte, the headers; the same package
# twice gives the same stub bytes; refusals leave nothing behind. With
# WINE_RUN the package is also installed with /QUIET.
#   test_package_identity.sh VOXPACK VOXSTUB_EXE [WINE_RUN]
# Exits 77 (skipped) when the stub or pefile is missing.
set -u
voxpack=$1 stub=$2 wine_run=${3:-}
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "skipped: $*"; exit 77; }
[ -x "$voxpack" ] || skip "no voxpack at $voxpack"
[ -f "$stub" ] || skip "no stub at $stub"
python=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import pefile' 2>/dev/null; then python=$candidate; break; fi
done
[ -n "$python" ] || skip "pefile is missing (Debian: python3-pefile)"

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
. "$(dirname "$0")/checks.sh"
identity() { "$python" "$here/check_package_identity.py" "$@"; }
nothing_left() { [ -z "$(ls "$work/out dir")" ] || { echo "  left behind: $(ls "$work/out dir")"; return 1; }; }

mkdir -p "$work/src/sub" "$work/out dir"
printf 'identity payload\r\n' >"$work/src/readme.txt"
printf 'nested\r\n' >"$work/src/sub/a.txt"
cp "$stub" "$work/src/setup.exe"  # any program will do as the installer
"$python" "$here/make_icon.py" "$work/app.ico" 16 24 32 48 64p 256p
pack() { "$voxpack" package "$work/src" --stub "$stub" "$@"; }

# Everything given: the values, the defaults for the rest (FileDescription
# from the title, OriginalFilename the output's name), an icon of six sizes.
check "package with icon and version information" expect_code 0 pack -o "$work/Setup One.exe" \
  --name 'Vox Sample' --title 'Vox Sample Setup' --icon "$work/app.ico" \
  --version-info 'CompanyName=Vox Éditions' --version-info 'ProductVersion=3.1.4.15' \
  --version-info 'FileVersion=3.1.4' --version-info 'LegalCopyright=© 2026 Vox, Ünïcödé 日本' \
  --version-info 'comments=any case of key'
check "read back with pefile" identity "$work/Setup One.exe" "$stub" "$work/app.ico" \
  'CompanyName=Vox Éditions' 'FileDescription=Vox Sample Setup' 'FileVersion=3.1.4' \
  'LegalCopyright=© 2026 Vox, Ünïcödé 日本' 'OriginalFilename=Setup One.exe' 'ProductName=Vox Sample' \
  'ProductVersion=3.1.4.15' 'Comments=any case of key' --fixed 3.1.4.0 3.1.4.15
check "the package's archive" expect_code 0 "$voxpack" test "$work/Setup One.exe"

# The --ini file's section [VersionInfo], options over it; ProductVersion
# following FileVersion; an empty value leaves a key out.
printf '[Stowage]\nName=From Ini\n[VersionInfo]\nProductName = "Ini Product"\nFileVersion=7.0.1\nCompanyName=Ini Co\nOriginalFilename=\n' \
  >"$work/voxinst.ini"
check "version information from the ini" expect_code 0 pack -o "$work/ini.exe" --ini "$work/voxinst.ini" \
  --version-info 'CompanyName=Option Co'
check "ini values read back" identity "$work/ini.exe" "$stub" - 'ProductName=Ini Product' \
  'FileVersion=7.0.1' 'ProductVersion=7.0.1' 'CompanyName=Option Co' 'FileDescription=From Ini' \
  --fixed 7.0.1.0 7.0.1.0

# Only an icon: the version resource still names the package.
check "only an icon" expect_code 0 pack -o "$work/icon.exe" --icon "$work/app.ico"
check "defaults read back" identity "$work/icon.exe" "$stub" "$work/app.ico" 'ProductName=src' \
  'FileDescription=src' 'OriginalFilename=icon.exe' --fixed 0.0.0.0 0.0.0.0

# Nothing asked for: the stub goes in unchanged.
check "no identity" expect_code 0 pack -o "$work/plain.exe"
check "the stub as it is" cmp -n "$(stat -c %s "$stub")" "$stub" "$work/plain.exe"

# The same package twice: the same stub bytes.
mkdir -p "$work/again"
check "the same package again" expect_code 0 pack -o "$work/again/Setup One.exe" \
  --name 'Vox Sample' --title 'Vox Sample Setup' --icon "$work/app.ico" \
  --version-info 'CompanyName=Vox Éditions' --version-info 'ProductVersion=3.1.4.15' \
  --version-info 'FileVersion=3.1.4' --version-info 'LegalCopyright=© 2026 Vox, Ünïcödé 日本' \
  --version-info 'comments=any case of key'
stub_part() { "$voxpack" unsea "$1" "$2" --overwrite >/dev/null 2>&1 && cat "$2/Seastub.exe"; }
check "identical stub bytes" cmp <(stub_part "$work/Setup One.exe" "$work/u1") <(stub_part "$work/again/Setup One.exe" "$work/u2")
check "the stub grew by little more than the icon" test \
  $(($(stat -c %s "$work/u1/Seastub.exe") - $(stat -c %s "$stub"))) -lt $(($(stat -c %s "$work/app.ico") + 8192))

# Refusals: one clear line, exit 2, nothing written.
out=$work/out\ dir/bad.exe
printf 'just text\n' >"$work/text.ico"
check "not an icon" expect_code 2 pack -o "$out" --icon "$work/text.ico"
check "not an icon named" says "text.ico: not an icon file"
printf '\0\0\1\0\0\0' >"$work/empty.ico"
check "an icon without images" expect_code 2 pack -o "$out" --icon "$work/empty.ico"
check "an icon without images named" says "empty.ico: the icon file holds no image"
check "a missing icon" expect_code 2 pack -o "$out" --icon "$work/none.ico"
check "a missing icon named" says "none.ico: cannot be read"
check "a version that is not numeric" expect_code 2 pack -o "$out" --version-info 'FileVersion=1.0 beta'
check "a version that is not numeric named" says "FileVersion '1.0 beta' is not a version of the form a.b.c.d"
check "a product version out of range" expect_code 2 pack -o "$out" --version-info 'ProductVersion=1.70000'
check "an unknown key" expect_code 2 pack -o "$out" --version-info 'Colour=blue'
check "an unknown key named" says "not 'Colour=blue'"
check "no KEY=VALUE" expect_code 2 pack -o "$out" --version-info 'ProductName'
long=$("$python" -c 'print("x" * 40000)')
check "a value too long" expect_code 2 pack -o "$out" --version-info "LegalCopyright=$long"
check "a value too long named" says "LegalCopyright has 40000 characters"
printf '[VersionInfo]\nColour=blue\n' >"$work/bad.ini"
check "an unknown key in the ini" expect_code 2 pack -o "$out" --ini "$work/bad.ini"
check "an unknown key in the ini named" says "unknown key 'Colour' in section VersionInfo"
printf 'MZ stand-in stub' >"$work/fake.exe"
check "a stub that is no program" expect_code 2 "$voxpack" package "$work/src" -o "$out" --stub "$work/fake.exe" --icon "$work/app.ico"
check "a stub that is no program named" says "fake.exe: not a Windows program"
check "nothing written by the refusals" nothing_left

if [ -n "$wine_run" ]; then
  dest="Z:$(printf '%s' "$work/dest" | tr / '\\')"
  check "an installable package" expect_code 0 pack -o "$work/install.exe" --icon "$work/app.ico" \
    --version-info 'ProductVersion=1.2.3.4' --setup-app setup.exe --default-target "$dest"
  check "/QUIET under Wine" env VOX_WINE_TIMEOUT=120 "$wine_run" "$work/install.exe" /QUIET
  check "installed" cmp "$work/src/sub/a.txt" "$work/dest/sub/a.txt"
fi

report
