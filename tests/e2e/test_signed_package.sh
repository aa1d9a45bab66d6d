#!/usr/bin/env bash
# A package signed with Authenticode (a throw-away key and certificate) still
# passes `voxpack test` and unpacks under Wine: the signature is appended
# behind the archive, and both the packager and the stub must look past it.
# Twice: a plain package, and one with its own icon and version information
# (the stub's resources rewritten by voxpack), whose signature also verifies
# and whose values read back from the signed file.
#   test_signed_package.sh NATIVE_VOXPACK VOXSTUB_EXE WINE_RUN
# Exits 77 (skipped) when a tool or the native build is missing.
set -euo pipefail
voxpack=$1 stub=$2 wine_run=$3
here=$(cd "$(dirname "$0")" && pwd)
skip() { echo "skipped: $*"; exit 77; }
[ -x "$voxpack" ] || skip "no native voxpack at $voxpack (build the native preset first)"
[ -f "$stub" ] && [ -x "$wine_run" ] || skip "no Windows build"
command -v openssl >/dev/null && command -v osslsigncode >/dev/null || skip "openssl or osslsigncode is missing"
python=
for candidate in python3 /usr/bin/python3; do
  if "$candidate" -c 'import pefile' 2>/dev/null; then python=$candidate; break; fi
done

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/src/sub"
printf 'signed payload\r\n' >"$work/src/readme.txt"
head -c 300000 /dev/urandom >"$work/src/sub/data.bin"
openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=voxkit e2e" \
  -keyout "$work/key.pem" -out "$work/cert.pem" >/dev/null 2>&1
python3 "$here/../cli/make_icon.py" "$work/app.ico" 16 32 256p

# packs NAME [voxpack options]: builds, signs, verifies, tests and installs
# NAME.exe under Wine into dest-NAME.
signed_install() {
  local name=$1
  shift
  # The destination as Wine sees the Unix folder: drive Z:.
  local dest="Z:$(printf '%s' "$work/dest-$name" | tr / '\\')"
  "$voxpack" package "$work/src" -o "$work/$name-unsigned.exe" --stub "$stub" --setup-app setup.exe \
    --default-target "$dest" "$@" >"$work/pack.log" 2>&1 || { cat "$work/pack.log"; exit 1; }
  osslsigncode sign -certs "$work/cert.pem" -key "$work/key.pem" -n "voxkit e2e" \
    -in "$work/$name-unsigned.exe" -out "$work/$name.exe" >"$work/sign.log" 2>&1 || { cat "$work/sign.log"; exit 1; }
  if cmp -s "$work/$name-unsigned.exe" "$work/$name.exe"; then echo "osslsigncode changed nothing"; exit 1; fi
  osslsigncode verify -CAfile "$work/cert.pem" -in "$work/$name.exe" >"$work/verify.log" 2>&1 ||
    { echo "the signature of $name.exe does not verify"; cat "$work/verify.log"; exit 1; }

  "$voxpack" test "$work/$name.exe" || { echo "voxpack test failed on the signed package $name.exe"; exit 1; }

  local status=0
  VOX_WINE_TIMEOUT=120 "$wine_run" "$work/$name.exe" /QUIET >"$work/wine.log" 2>&1 || status=$?
  if [ "$status" != 0 ]; then
    echo "the signed package $name.exe exited with $status under Wine"
    cat "$work/wine.log"
    exit 1
  fi
  cmp "$work/src/readme.txt" "$work/dest-$name/readme.txt"
  cmp "$work/src/sub/data.bin" "$work/dest-$name/sub/data.bin"
}

signed_install plain
signed_install identity --icon "$work/app.ico" --version-info 'ProductName=Signed Product' \
  --version-info 'FileVersion=4.3.2.1' --version-info 'CompanyName=Vox'
if [ -n "$python" ]; then
  "$python" - "$work/identity.exe" <<'PY' || exit 1
import sys
import pefile
pe = pefile.PE(sys.argv[1])
values = {}
for info in pe.FileInfo[0]:
    if info.Key == b"StringFileInfo":
        for table in info.StringTable:
            values = {k.decode(): v.decode() for k, v in table.entries.items()}
assert values.get("ProductName") == "Signed Product", values
assert values.get("FileVersion") == "4.3.2.1", values
assert pe.VS_FIXEDFILEINFO[0].FileVersionMS == 0x00040003, hex(pe.VS_FIXEDFILEINFO[0].FileVersionMS)
assert pe.OPTIONAL_HEADER.DATA_DIRECTORY[4].Size > 0, "no certificate table after signing"
assert pe.verify_checksum(), "the signed package's checksum is wrong"
groups = [e for e in pe.DIRECTORY_ENTRY_RESOURCE.entries if e.id == 14]
assert groups, "no icon group"
PY
fi
echo "signed packages (plain, and with icon and version information): verified, tested and unpacked"
